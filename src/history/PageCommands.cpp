#include "history/PageCommands.h"

#include "composition/TextLayer.h"

#include <exception>
#include <filesystem>

namespace qv {

TEdit::TEdit(THistory& H, const TBaseProperty& Object, std::string Name, int MergeId)
    : fHistory(H), fName(std::move(Name)), fMergeId(MergeId) {
  H.Settle();
  fRef = RefOf(H.Page(), Object);
  if (fRef) fBefore = TObjectState::Take(Object);
  fGestures = H.GesturesOpened();
}

bool TEdit::Finish() {
  if (fDone) return false;
  fDone = true;
  if (!fRef || fHistory.Applying()) return false;
  if (fHistory.GesturesOpened() != fGestures) {
    fHistory.Settle();  // the grid's own element recorded it
    return false;
  }
  TBaseProperty* p = Resolve(fHistory.Page(), *fRef);
  if (p == nullptr) return false;
  // Automatic keying keys the values the action changed, not those it set again as they were.
  if (const TAnimationManager* am = p->AnimationManager(); am != nullptr && am->AutoAnimationMode) {
    fBefore.KeepTracksOfUnchangedValues(*p);
  }
  TObjectState after = TObjectState::Take(*p);
  if (after == fBefore) return false;
  std::string name = fName.empty() ? ChangeName(fHistory.Page(), *fRef) : fName;
  fHistory.Push(std::make_unique<TObjectStep>(std::move(name), *fRef, std::move(fBefore), std::move(after), fMergeId));
  return true;
}

void RecordInsertedLayer(THistory& H, const TLayer& Layer) {
  const int i = H.Page().IndexOf(&Layer);
  if (i < 0) return;
  H.Push(std::make_unique<TLayerStep>("Insert " + LayerTitle(H.Page(), i), true, H.Page(), i));
}

void DeleteLayer(THistory& H, TLayer& Layer) {
  H.Settle();
  TQVSystem& page = H.Page();
  const int i = page.IndexOf(&Layer);
  if (i < 0) return;
  auto step = std::make_unique<TLayerStep>("Delete " + LayerTitle(page, i), false, page, i);
  page.DeleteLayer(&Layer);
  H.Push(std::move(step));
}

namespace {

void MoveTo(THistory& H, TLayer& Layer, bool Front) {
  H.Settle();
  TQVSystem& page = H.Page();
  const int from = page.IndexOf(&Layer);
  if (from < 0) return;
  const std::string name = Front ? "Bring " + LayerTitle(page, from) + " to front" : "Send " + LayerTitle(page, from) + " to back";
  if (Front) {
    page.BringToFront(&Layer);
  } else {
    page.SendToBack(&Layer);
  }
  const int to = page.IndexOf(&Layer);
  if (to != from) H.Push(std::make_unique<TLayerMoveStep>(name, from, to));
}

template <class T>
bool Align(THistory& H, TEnum<T>& (TTextLayer::*Property)() const, T Value, const char* Word) {
  TQVSystem& page = H.Page();
  auto* text = dynamic_cast<TTextLayer*>(page._SelectedLayer());
  if (text == nullptr) return false;
  TEdit edit(H, (text->*Property)(), std::string("Align ") + LayerTitle(page, page.IndexOf(text)) + " " + Word);
  (text->*Property)().SetValue(Value);
  edit.Finish();
  return true;
}

}  // namespace

void BringToFront(THistory& H, TLayer& Layer) { MoveTo(H, Layer, true); }
void SendToBack(THistory& H, TLayer& Layer) { MoveTo(H, Layer, false); }

bool AlignSelectedText(THistory& H, THTextAlig Value) {
  static constexpr const char* kWords[] = {"left", "center", "right"};
  return Align(H, &TTextLayer::HorizontalAlignmentProperty, Value, kWords[Value <= haRight ? Value : haLeft]);
}

bool AlignSelectedText(THistory& H, TVTextAlig Value) {
  static constexpr const char* kWords[] = {"top", "middle", "bottom"};
  return Align(H, &TTextLayer::VerticalAlignmentProperty, Value, kWords[Value <= vaBottom ? Value : vaTop]);
}

void NewPage(THistory& H, const std::function<void()>& Reset) {
  H.Settle();
  TQVSystem& page = H.Page();
  page.SetSelectedLayer(nullptr);
  const TPageState before = TPageState::Take(H);
  std::vector<std::unique_ptr<TStep>> steps;
  while (!page.Layers.empty()) {
    const int top = static_cast<int>(page.Layers.size()) - 1;
    steps.push_back(std::make_unique<TLayerStep>("Delete " + LayerTitle(page, top), false, page, top));
    page.DeleteLayer(page.Layers.back().get());
  }
  {
    // A new page's settings have no tracks, and setting them adds no key.
    TAnimationManager* am = page.AnimationManager();
    TAutoKeyingOff keyingOff(am);
    if (am != nullptr) {
      for (const auto& child : page.Properties()) am->Remove(child.get());
    }
    Reset();
  }
  page.ProjectFolder.clear();
  H.SetFileName({});
  steps.push_back(std::make_unique<TPageStep>("New Page", before, TPageState::Take(H)));
  H.Push(std::make_unique<TStepGroup>("New Page", std::move(steps), TStep::kNoLayer, TStep::kNoLayer));
  H.SetClean();
}

void ReadOntoPage(THistory& H, const std::string& StepName, const std::function<void()>& Read,
                  const std::string& FileName) {
  H.Settle();
  TQVSystem& page = H.Page();
  const TPageState before = TPageState::Take(H);
  const std::size_t first = page.Layers.size();
  std::exception_ptr failure;
  {
    TAutoKeyingOff keyingOff(page.AnimationManager());
    try {
      Read();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  if (!failure) H.SetFileName(FileName);
  TPageState after = TPageState::Take(H);
  if (first < page.Layers.size() || !(after == before)) {
    std::vector<std::unique_ptr<TStep>> steps;
    steps.push_back(std::make_unique<TPageStep>(StepName, before, std::move(after)));
    for (std::size_t i = first; i < page.Layers.size(); ++i) {
      steps.push_back(std::make_unique<TLayerStep>(StepName, true, page, static_cast<int>(i)));
    }
    const int select = page.Layers.empty() ? TStep::kNoLayer : 0;
    H.Push(std::make_unique<TStepGroup>(StepName, std::move(steps), TStep::kNoLayer, select));
  }
  if (failure) std::rethrow_exception(failure);
  if (!page.Layers.empty()) page.SetSelectedLayer(page.Layers.front().get());
}

void OpenProject(THistory& H, const std::string& FileName) {
  const bool hadLayers = !H.Page().Layers.empty();
  ReadOntoPage(
      H, "Open " + std::filesystem::path(FileName).filename().string(), [&] { H.Page().LoadFromFile(FileName); },
      FileName);
  if (!hadLayers) H.SetClean();
}

// ---- the work area --------------------------------------------------------------------------

void TWorkAreaRecorder::MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  TQVSystem& page = fHistory.Page();
  fDrag.reset();
  // The layer under the pointer is the one the composition takes hold of.
  if (page.MouseLayer != nullptr && (Shift & ssLeft) != 0) {
    fArea = page.MouseEvent;
    fDrag.emplace(fHistory, *page.MouseLayer);
  }
  page.MouseDown(Button, Shift, X, Y);
}

void TWorkAreaRecorder::MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor) {
  fHistory.Page().MouseMove(Shift, X, Y, Cursor);
}

void TWorkAreaRecorder::MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  TQVSystem& page = fHistory.Page();
  TLayer* dragged = page._SelectedLayer();
  page.MouseUp(Button, Shift, X, Y);
  if (!fDrag) return;
  if (dragged != nullptr) {
    fDrag->SetName((fArea == maBody ? "Move " : "Resize ") + LayerTitle(page, page.IndexOf(dragged)));
  }
  fDrag->Finish();
  fDrag.reset();
}

void TWorkAreaRecorder::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  TQVSystem& page = fHistory.Page();
  TLayer* s = page._SelectedLayer();
  if (s == nullptr) return;
  if (Key == VK_DELETE) {
    page.MouseLayer = nullptr;
    DeleteLayer(fHistory, *s);
    return;
  }
  const bool arrow = Key == VK_LEFT || Key == VK_RIGHT || Key == VK_UP || Key == VK_DOWN;
  if (!arrow) {
    page.KeyDown(Key, Shift);
    return;
  }
  // Alt with Left or Right changes the width (without Ctrl); everything else moves.
  const bool resize = (Key == VK_LEFT || Key == VK_RIGHT) && (Shift & ssCtrl) == 0 && (Shift & ssAlt) != 0;
  const std::string name = (resize ? "Resize " : "Move ") + LayerTitle(page, page.IndexOf(s));
  TEdit nudge(fHistory, *s, name, resize ? TObjectStep::kNudgeId + 1 : TObjectStep::kNudgeId);
  page.KeyDown(Key, Shift);
  nudge.Finish();
}

}  // namespace qv

#include "composition/QvSystem.h"
#include "base/FrameRate.h"

#include "base/NumberText.h"
#include "composition/LayerClasses.h"
#include "model/BasicTypes.h"
#include "project/ProjectFile.h"
#include "project/TextFile.h"

#include <algorithm>
#include <cstdlib>

namespace qv {

QV_PUBLISHED(TQVSystem,
             QV_MEMBER("ShowTime", fshowtime),
             QV_MEMBER("Time", fsec),
             QV_MEMBER("DurationType", fdurt),
             QV_MEMBER("Duration", fdur))

TQVSystem::TQVSystem(std::int32_t Width, std::int32_t Height, TRichEdit* richedit, bool CreateBitmap)
    : TQVSystem(Width, Height, TCompositionContext{.RichEdit = richedit}, CreateBitmap) {}

TQVSystem::TQVSystem(std::int32_t Width, std::int32_t Height, const TCompositionContext& Context, bool CreateBitmap)
    : RichEdit1(Context.RichEdit), fwidth(Width), fheight(Height), fContext(Context) {
  if (Context.Ticks != nullptr) fTicks = Context.Ticks;
  if (Context.TimeOfDay != nullptr) fTimeOfDay = Context.TimeOfDay;
  if (Context.Animations == nullptr) fOwnAnimations = std::make_unique<TAnimationManager>();
  if (Context.Undo == nullptr) fOwnUndo = std::make_unique<TUndoEngine>(TUndoEngine::kStandardCapacity);
  fServices = {Context.Animations ? Context.Animations : fOwnAnimations.get(), Context.Undo ? Context.Undo : fOwnUndo.get()};
  AttachPage(&fServices);
  if (CreateBitmap) work = std::make_unique<TmemoryBitmap>(TmemoryBitmap::CreateAsDib(Width, Height, 32));
}

void TQVSystem::AfterConstruction() {
  TContainerObject::AfterConstruction();
  fPageWidth = Make<TMinMaxInteger>();
  fPageHeight = Make<TMinMaxInteger>();
  fPageWidth->Name = "Width";
  fPageHeight->Name = "Height";
  fPageWidth->SetMinMax(1, kMaxPageWidth);
  fPageHeight->SetMinMax(1, kMaxPageHeight);
  fPageWidth->SetValue(fwidth);
  fPageHeight->SetValue(fheight);
  auto follow = [this](TBaseProperty*, void*, const std::string&, std::int32_t) {
    if (!fSyncingSize) SetPageSize(fPageWidth->Value(), fPageHeight->Value());
  };
  fPageWidth->AddChangeNotify(this, follow);
  fPageHeight->AddChangeNotify(this, follow);
  MouseLayer = nullptr;
  SetSelectedLayer(nullptr);
  frame = 0;
  fshowtime->SetValue(stAllClip);
  fsec->Name = "Time";
  fdur->Name = "Duration";
  fdur->SetValue(3.0);
}

TQVSystem::~TQVSystem() {
  // Layers go first, in list order, while the composition they point at is still whole.
  MouseLayer = nullptr;
  fSelectedLayer = nullptr;
  for (auto& layer : Layers) layer.reset();
  Layers.clear();
  // The page's own properties leave its registry now, while it still exists (the registry may be
  // this composition's own, which goes before the base class's children do).
  AttachPage(nullptr);
}

std::string& TQVSystem::Meta(int i) {
  std::string* slots[] = {&Meta1, &Meta2, &Meta3, &Meta4};
  return *slots[std::clamp(i, 0, 3)];
}

std::string& TQVSystem::NextMeta(int i) {
  std::string* slots[] = {&nextMeta1, &nextMeta2, &nextMeta3, &nextMeta4};
  return *slots[std::clamp(i, 0, 3)];
}

void TQVSystem::SetSelectedLayer(TLayer* Value) {
  fSelectedLayer = Value;
  onSelectItem(this);
}

int TQVSystem::IndexOf(const TLayer* layer) const {
  for (std::size_t i = 0; i < Layers.size(); ++i) {
    if (Layers[i].get() == layer) return static_cast<int>(i);
  }
  return -1;
}

TLayer* TQVSystem::NewLayerOfClass(std::string_view Keyword) {
  return CreateLayerOfClass(*this, Keyword);
}

void TQVSystem::DeleteLayer(TLayer* layer) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  std::unique_ptr<TLayer> owned = std::move(Layers[static_cast<std::size_t>(i)]);
  Layers.erase(Layers.begin() + i);
  if (MouseLayer == layer) MouseLayer = nullptr;
  if (fSelectedLayer == layer) SetSelectedLayer(nullptr);
  owned.reset();
  onLayersChanged(this);
}

void TQVSystem::BringToFront(TLayer* layer) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  std::rotate(Layers.begin() + i, Layers.begin() + i + 1, Layers.end());
  onLayersChanged(this);
}

void TQVSystem::SendToBack(TLayer* layer) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  std::rotate(Layers.begin(), Layers.begin() + i, Layers.begin() + i + 1);
  onLayersChanged(this);
}

void TQVSystem::MoveLayer(TLayer* layer, int Index) {
  const int i = IndexOf(layer);
  if (i < 0) return;
  const int to = std::clamp(Index, 0, static_cast<int>(Layers.size()) - 1);
  if (to == i) return;
  if (to > i) {
    std::rotate(Layers.begin() + i, Layers.begin() + i + 1, Layers.begin() + to + 1);
  } else {
    std::rotate(Layers.begin() + to, Layers.begin() + i, Layers.begin() + i + 1);
  }
  onLayersChanged(this);
}

bool TQVSystem::Shows(const TLayer& L, std::int32_t Frame) const {
  if (ShowTime() == stAllClip) return true;
  // stAfterStart, stBeforeEnd (and any other stored ordinal) apply the time rule.
  if (DurationType() == dtFixed) {
    const std::int64_t in = L.LayerIN();
    const std::int64_t f = Frame;
    return !(f < in || f > in + L.Duration());
  }
  return Duration() > Frame / double(kFramesPerSecond);
}

void TQVSystem::TakeSnapshot() {
  fSnapshot.clear();
  for (const auto& layer : Layers) fSnapshot.push_back(layer.get());
}

void TQVSystem::RestartAfterPause() {
  const std::uint32_t now = fTicks->TickCount();
  if (static_cast<std::uint32_t>(now - lasttick) > 2000u) frame = 0;
  lasttick = fTicks->TickCount();
}

void TQVSystem::Advance() {
  RestartAfterPause();
  TakeSnapshot();
  const double f = frame;
  for (TLayer* L : fSnapshot) {
    L->SetFrame(f);
    if (Shows(*L, frame) && L->Visible() && L->Opacity() > 0) L->Advance(f);
  }
}

void TQVSystem::Compose(std::int32_t Frame, TmemoryBitmap& Target) {
  const double f = Frame;
  for (TLayer* L : fSnapshot) {
    Target.SetFactor(L->Opacity());
    if (Shows(*L, Frame) && L->Visible() && L->Opacity() > 0) L->Draw(Target, f);
  }
}

void TQVSystem::Render(std::int32_t Frame, TmemoryBitmap& Target) {
  TakeSnapshot();
  for (TLayer* L : fSnapshot) L->SetFrame(Frame);
  Compose(Frame, Target);
}

void TQVSystem::DrawAll(TmemoryBitmap* Dst) {
  TmemoryBitmap* target = Dst != nullptr ? Dst : work.get();
  if (target == nullptr) {
    RestartAfterPause();
    return;
  }
  // Advance evaluated the tracks at `frame` and took the snapshot that composing walks.
  Advance();
  Compose(frame, *target);
}

std::string TQVSystem::ResolveMedia(const std::string& Stored, TMediaKind Kind) const {
  return ResolveMediaPath(Stored, ProjectFolder, Kind);
}

void TQVSystem::ReportMediaProblem(const std::string& Message) const {
  if (OnMediaProblem) OnMediaProblem(Message);
}

// ---- files ------------------------------------------------------------------------------------

void TQVSystem::SetPageSize(std::int32_t Width, std::int32_t Height) {
  Width = std::clamp(Width, 1, kMaxPageWidth);
  Height = std::clamp(Height, 1, kMaxPageHeight);
  if (fPageWidth && fPageHeight) {
    fSyncingSize = true;
    if (fPageWidth->Value() != Width) fPageWidth->SetValue(Width);
    if (fPageHeight->Value() != Height) fPageHeight->SetValue(Height);
    fSyncingSize = false;
  }
  if (Width == fwidth && Height == fheight) return;
  fwidth = Width;
  fheight = Height;
  if (work) work = std::make_unique<TmemoryBitmap>(TmemoryBitmap::CreateAsDib(Width, Height, 32));
  onPageSizeChanged(this);
}

std::uint64_t TQVSystem::DefaultSequenceMemoryBudget() {
  static const std::uint64_t budget = [] {
    if (const char* mb = std::getenv("QV_SEQUENCE_MEMORY_MB")) {
      char* end = nullptr;
      const unsigned long long v = std::strtoull(mb, &end, 10);
      if (end != mb && *end == '\0' && v > 0 && v < (1ull << 40)) return std::uint64_t(v) << 20;
    }
    return std::uint64_t(1) << 30;
  }();
  return budget;
}

void TQVSystem::CloseObject() {
  TContainerObject::CloseObject();
  SetPageSize(fPageWidth->Value(), fPageHeight->Value());
}

TBaseProperty* TQVSystem::GetProperty(std::string_view Name) const {
  if (TBaseProperty* p = TContainerObject::GetProperty(Name)) return p;
  if (SameText(Name, "Width")) return fPageWidth.get();
  if (SameText(Name, "Height")) return fPageHeight.get();
  return nullptr;
}

void TQVSystem::SaveToStream(const std::string& Space, TLineWriter& Writer) const {
  if (StandardSize()) {
    TContainerObject::SaveToStream(Space, Writer);
    return;
  }
  // The block as always, with the size put in before its "End".
  struct THoldLast final : TLineWriter {
    TLineWriter& Out;
    std::string Held;
    bool Holding = false;
    explicit THoldLast(TLineWriter& O) : Out(O) {}
    void WriteLine(const std::string& Line) override {
      if (Holding) Out.WriteLine(Held);
      Held = Line;
      Holding = true;
    }
    std::string ValueText(const TBaseProperty& Property) const override { return Out.ValueText(Property); }
  } hold(Writer);
  TContainerObject::SaveToStream(Space, hold);
  Writer.WriteLine(Space + "\tWidth = " + std::to_string(fwidth));
  Writer.WriteLine(Space + "\tHeight = " + std::to_string(fheight));
  if (hold.Holding) Writer.WriteLine(hold.Held);
}

void TQVSystem::WriteProject(TLineWriter& Writer) const {
  SaveToStream("\t", Writer);
  for (const auto& layer : Layers) layer->SaveToStream("\t", Writer);
}

void TQVSystem::SaveToFile(const std::string& FileName) const {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(FileName, ec);
  TProjectTextWriter writer(ProjectFolder, (ec ? std::filesystem::path(FileName) : absolute).parent_path());
  WriteProject(writer);
  writer.SaveTo(FileName);
}

std::string TQVSystem::ProjectText() const {
  TProjectTextWriter writer;
  WriteProject(writer);
  return writer.Text();
}

void TQVSystem::DiscardHalfRead(TContainerObject* obj) {
  for (const auto& layer : Layers) {
    if (layer.get() == obj) {
      DeleteLayer(layer.get());
      return;
    }
  }
}

void TQVSystem::ReadProjectText(const std::string& Text, const std::string& Source) {
  ParseProjectLines(DecodeTextLines(Text), Source, *this, [this](TContainerObject* obj) { DiscardHalfRead(obj); });
}

TContainerObject* TQVSystem::GetObject(std::string_view Name, std::string_view ClassName) {
  // The reader asks the composition for its own block and for each layer block (the object name
  // does not matter); a layer block makes a new layer on top.
  if (SameText(ClassName, "TOBJECTS") || SameText(ClassName, "TQVSYSTEM")) return this;
  return NewLayerOfClass(ClassName);
}

void TQVSystem::LoadFromFile(const std::string& FileName) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(FileName, ec);
  ProjectFolder = (ec ? std::filesystem::path(FileName) : absolute).parent_path();

  // A layer whose block was still open when the file turned out damaged is taken out again,
  // so no half-read layer stays behind.
  LoadProjectFile(FileName, *this, [this](TContainerObject* obj) { DiscardHalfRead(obj); });
  ffilename = FileName;
}

}  // namespace qv

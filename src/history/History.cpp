#include "history/History.h"

#include "composition/QvSystem.h"
#include "model/UndoEngine.h"
#include "platform/Clock.h"

#include <algorithm>

namespace qv {

// ---- steps ----------------------------------------------------------------------------------

void TObjectStep::Undo(THistory& H) {
  if (TBaseProperty* p = Resolve(H.Page(), fRef)) fBefore.Apply(*p);
}

void TObjectStep::Redo(THistory& H) {
  if (TBaseProperty* p = Resolve(H.Page(), fRef)) fAfter.Apply(*p);
}

bool TObjectStep::MergeWith(const TStep& Next) {
  const auto* next = dynamic_cast<const TObjectStep*>(&Next);
  if (next == nullptr || fMergeId < 0 || next->fMergeId != fMergeId || !(next->fRef == fRef)) return false;
  if (static_cast<std::uint32_t>(next->At - At) >= kMergeWindowMs) return false;
  fAfter = next->fAfter;
  At = next->At;
  return true;
}

void TPropertyEditStep::Undo(THistory& H) {
  TBaseProperty* p = Resolve(H.Page(), fRef);
  TUndoEngine& engine = H.Engine();
  if (fElement != nullptr && engine.Count() > 0 && engine.Element(engine.Count() - 1) == fElement) {
    auto* e = dynamic_cast<TPropertyChangedElement*>(fElement);
    // The element restores what it recorded, as the engine always has it do.
    if (e != nullptr && p != nullptr && e->Valid() && e->AObject() == p) {
      TAutoKeyingOff keyingOff(p->AnimationManager());
      engine.PopUndoAction();
    } else {
      engine.RemoveUndoAction();
    }
  }
  // What the element does not carry: a string's text, the tracks.
  if (p != nullptr) fBefore.Apply(*p);
}

void TPropertyEditStep::Redo(THistory& H) {
  TBaseProperty* p = Resolve(H.Page(), fRef);
  if (p == nullptr) return;
  H.BindElement(this, H.Engine().PushUndoAction(std::make_unique<TPropertyChangedElement>(p)));
  fAfter.Apply(*p);
}

// ---- the history ----------------------------------------------------------------------------

// While a step is undone or redone: automatic keying off, and what changes meanwhile is no step.
class THistory::TApplying {
 public:
  explicit TApplying(THistory& H) : fHistory(H), fKeyingOff(H.fPage.AnimationManager()) { fHistory.fApplying = true; }
  ~TApplying() { fHistory.fApplying = false; }
  TApplying(const TApplying&) = delete;
  TApplying& operator=(const TApplying&) = delete;

 private:
  THistory& fHistory;
  TAutoKeyingOff fKeyingOff;
};

THistory::THistory(TQVSystem& Page, TTickSource& Clock)
    : fPage(Page), fEngine(*Page.UndoEngine()), fClock(Clock) {
  for (std::size_t i = 0; i < fEngine.Count(); ++i) fMirror.push_back(fEngine.Element(i));
  fEngine.OnChanged = [this](TUndoEngine*) { EngineChanged(); };
}

THistory::~THistory() { fEngine.OnChanged = nullptr; }

void THistory::Changed() {
  if (OnChanged) OnChanged();
}

void THistory::BindElement(TPropertyEditStep* Step, TUndoElement* Element) {
  if (Step->fElement != nullptr) fElementSteps.erase(Step->fElement);
  Step->fElement = Element;
  if (Element != nullptr) fElementSteps[Element] = Step;
}

void THistory::DropStep(std::unique_ptr<TStep>& Step) {
  if (auto* edit = dynamic_cast<TPropertyEditStep*>(Step.get()); edit != nullptr && edit->fElement != nullptr) {
    fElementSteps.erase(edit->fElement);
  }
  Step.reset();
}

void THistory::EngineChanged() {
  std::vector<const TUndoElement*> now;
  now.reserve(fEngine.Count());
  for (std::size_t i = 0; i < fEngine.Count(); ++i) now.push_back(fEngine.Element(i));
  // Elements that left the engine (popped, removed, or dropped as the oldest) are no step's any
  // more: a later element made at the same address must not be taken for theirs.
  bool pendingGone = false;
  for (const TUndoElement* old : fMirror) {
    if (std::find(now.begin(), now.end(), old) != now.end()) continue;
    if (auto it = fElementSteps.find(old); it != fElementSteps.end()) {
      it->second->fElement = nullptr;
      fElementSteps.erase(it);
    }
    if (fPending != nullptr && fPending->fElement == old) pendingGone = true;
  }
  TUndoElement* pushed = nullptr;
  if (!now.empty() && std::find(fMirror.begin(), fMirror.end(), now.back()) == fMirror.end()) {
    pushed = fEngine.Element(fEngine.Count() - 1);
  }
  fMirror = std::move(now);
  if (fApplying) return;
  // The grid took its element back: the gesture changed nothing.
  if (pendingGone) {
    fPending.reset();
    Changed();
  }
  if (pushed != nullptr) OpenGesture(pushed);
}

void THistory::OpenGesture(TUndoElement* Element) {
  Settle();  // the previous gesture has ended
  auto* e = dynamic_cast<TPropertyChangedElement*>(Element);
  if (e == nullptr || !e->Valid()) return;
  const std::optional<TObjectRef> ref = RefOf(fPage, *e->AObject());
  if (!ref) return;
  ++fGestures;
  fPending = std::make_unique<TPropertyEditStep>(ChangeName(fPage, *ref), *ref, TObjectState::Take(*e->AObject()),
                                                 nullptr);
  BindElement(fPending.get(), Element);
  Changed();
}

void THistory::Settle() {
  if (fPending == nullptr) return;
  std::unique_ptr<TPropertyEditStep> step = std::move(fPending);
  TBaseProperty* p = Resolve(fPage, step->Ref());
  if (p != nullptr) step->SetAfter(TObjectState::Take(*p));
  if (p == nullptr || step->After() == step->Before()) {
    std::unique_ptr<TStep> dropped = std::move(step);
    DropStep(dropped);
    Changed();
    return;
  }
  PushSettled(std::move(step));
}

void THistory::Push(std::unique_ptr<TStep> Step) {
  if (fApplying || Step == nullptr) return;
  Settle();
  PushSettled(std::move(Step));
}

void THistory::Do(std::unique_ptr<TStep> Step) {
  if (fApplying || Step == nullptr) return;
  Settle();
  {
    TApplying applying(*this);
    Step->Redo(*this);
  }
  PushSettled(std::move(Step));
}

void THistory::PushSettled(std::unique_ptr<TStep> Step) {
  Step->At = fClock.TickCount();
  while (fSteps.size() > fIndex) {
    DropStep(fSteps.back());
    fSteps.pop_back();
  }
  if (fClean > static_cast<std::int64_t>(fIndex)) fClean = -1;
  ++fChanges;
  if (fIndex > 0 && fClean != static_cast<std::int64_t>(fIndex)) {
    TStep& newest = *fSteps[fIndex - 1];
    if (newest.Id() >= 0 && newest.Id() == Step->Id() && newest.MergeWith(*Step)) {
      DropStep(Step);
      Changed();
      return;
    }
  }
  fSteps.push_back(std::move(Step));
  ++fIndex;
  if (fLimit > 0) {
    while (fSteps.size() > fLimit) {
      DropStep(fSteps.front());
      fSteps.erase(fSteps.begin());
      --fIndex;
      fClean = fClean > 0 ? fClean - 1 : -1;
    }
  }
  Changed();
}

std::string THistory::UndoName() const {
  if (fPending != nullptr) return fPending->Name();
  return fIndex > 0 ? fSteps[fIndex - 1]->Name() : std::string();
}

std::string THistory::RedoName() const { return CanRedo() ? fSteps[fIndex]->Name() : std::string(); }

void THistory::Select(int Layer) {
  if (Layer == TStep::kKeepSelection) return;
  if (Layer >= 0 && static_cast<std::size_t>(Layer) < fPage.Layers.size()) {
    fPage.SetSelectedLayer(fPage.Layers[static_cast<std::size_t>(Layer)].get());
  } else {
    fPage.SetSelectedLayer(nullptr);
  }
}

void THistory::Undo() {
  Settle();
  if (fIndex == 0) return;
  TStep& step = *fSteps[fIndex - 1];
  {
    TApplying applying(*this);
    step.Undo(*this);
  }
  --fIndex;
  ++fChanges;
  Select(step.SelectAfter(true));
  Changed();
}

void THistory::Redo() {
  Settle();
  if (fIndex >= fSteps.size()) return;
  TStep& step = *fSteps[fIndex];
  {
    TApplying applying(*this);
    step.Redo(*this);
  }
  ++fIndex;
  ++fChanges;
  Select(step.SelectAfter(false));
  Changed();
}

void THistory::Clear() {
  if (fPending != nullptr) {
    std::unique_ptr<TStep> pending = std::move(fPending);
    DropStep(pending);
  }
  for (auto& s : fSteps) DropStep(s);
  fSteps.clear();
  fIndex = 0;
  fClean = 0;
  Changed();
}

void THistory::SetUndoLimit(std::size_t Limit) { fLimit = Limit; }

void THistory::SetClean() {
  Settle();
  fClean = static_cast<std::int64_t>(fIndex);
  Changed();
}

void THistory::SetFileName(std::string FileName) {
  if (FileName == fFileName) return;
  fFileName = std::move(FileName);
  Changed();
}

}  // namespace qv

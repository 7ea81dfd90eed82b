#include "editor_logic/KeyCommands.h"

#include "base/NumberText.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

namespace qv {

// ---- where a property sits ----------------------------------------------------------------

TCustomContainerObject* RootOf(const TBaseProperty& P) {
  const TBaseProperty* node = &P;
  while (node->Owner() != nullptr) node = node->Owner();
  return dynamic_cast<TCustomContainerObject*>(const_cast<TBaseProperty*>(node));
}

std::optional<TPropertyPath> PathOf(const TQVSystem& Sys, const TBaseProperty& P) {
  TPropertyPath path;
  const TBaseProperty* node = &P;
  while (const TCustomContainerObject* owner = node->Owner()) {
    const auto& children = owner->Properties();
    const auto it = std::find_if(children.begin(), children.end(), [&](const auto& c) { return c.get() == node; });
    if (it == children.end()) return std::nullopt;
    path.Children.push_back(static_cast<std::uint32_t>(it - children.begin()));
    node = owner;
  }
  std::reverse(path.Children.begin(), path.Children.end());
  if (node == &Sys) {
    path.Layer = -1;
    return path;
  }
  for (std::size_t i = 0; i < Sys.Layers.size(); ++i) {
    if (Sys.Layers[i].get() == node) {
      path.Layer = static_cast<std::int32_t>(i);
      return path;
    }
  }
  return std::nullopt;
}

TBaseProperty* Resolve(const TQVSystem& Sys, const TPropertyPath& Path) {
  TBaseProperty* node = nullptr;
  if (Path.Layer < 0) {
    node = const_cast<TQVSystem*>(&Sys);
  } else if (static_cast<std::size_t>(Path.Layer) < Sys.Layers.size()) {
    node = Sys.Layers[static_cast<std::size_t>(Path.Layer)].get();
  }
  for (const std::uint32_t i : Path.Children) {
    const auto* c = dynamic_cast<const TCustomContainerObject*>(node);
    if (c == nullptr || i >= c->Count()) return nullptr;
    node = c->Child(i);
  }
  return node;
}

std::string DisplayName(const TBaseProperty& P) {
  if (P.Owner() == nullptr) {
    if (const auto* layer = dynamic_cast<const TLayer*>(&P)) return layer->layerName();
    return P.Name;
  }
  std::string name = P.Name;
  for (const TBaseProperty* node = P.Owner(); node->Owner() != nullptr; node = node->Owner())
    name = node->Name + "." + name;
  return name;
}

bool FollowsTracks(const TBaseProperty& P) {
  return dynamic_cast<const TDouble*>(&P) != nullptr || dynamic_cast<const TInteger*>(&P) != nullptr ||
         dynamic_cast<const TString*>(&P) != nullptr;
}

void TrackedLeaves(TBaseProperty& P, std::vector<TBaseProperty*>& Out) {
  if (FollowsTracks(P)) {
    Out.push_back(&P);
    return;
  }
  // Containers pass frames on to their named children only.
  if (const auto* c = dynamic_cast<const TCustomContainerObject*>(&P)) {
    for (const auto& child : c->Properties())
      if (!child->Name.empty()) TrackedLeaves(*child, Out);
  }
}

bool IsAnimated(const TBaseProperty& P) {
  const Tkeys* t = P.Animation(false);
  return t != nullptr && t->Count() > 0;
}

void AnimatedLeaves(TBaseProperty& P, std::vector<TBaseProperty*>& Out) {
  std::vector<TBaseProperty*> leaves;
  TrackedLeaves(P, leaves);
  for (TBaseProperty* leaf : leaves)
    if (IsAnimated(*leaf)) Out.push_back(leaf);
}

std::vector<std::int32_t> KeyFrames(const TBaseProperty& P) {
  std::vector<std::int32_t> frames;
  if (const Tkeys* t = P.Animation(false)) {
    for (int i = 0; i < t->Count(); ++i) frames.push_back(RoundToInt32(t->key(i)->fframe));
  }
  return frames;
}

std::vector<TBaseProperty*> KeyTargets(TBaseProperty& Row) {
  std::vector<TBaseProperty*> targets;
  if (auto* layer = dynamic_cast<TLayer*>(&Row)) {
    AnimatedLeaves(*layer, targets);
    if (targets.empty()) {
      targets = {&layer->XProperty(), &layer->YProperty(), &layer->WidthProperty(), &layer->HeightProperty(),
                 &layer->OpacityProperty()};
    }
    return targets;
  }
  TrackedLeaves(Row, targets);
  return targets;
}

TKeyMark KeyMarkOf(TBaseProperty& Row, std::int32_t Frame) {
  std::vector<TBaseProperty*> animated;
  AnimatedLeaves(Row, animated);
  if (animated.empty()) return TKeyMark::kmNone;
  for (const TBaseProperty* p : animated)
    if (p->Animation(false)->HasKeyAt(Frame)) return TKeyMark::kmFilled;
  return TKeyMark::kmHollow;
}

namespace {

std::vector<TBaseProperty*> LeavesOf(std::span<TBaseProperty* const> Targets) {
  std::vector<TBaseProperty*> leaves;
  for (TBaseProperty* t : Targets)
    if (t != nullptr) TrackedLeaves(*t, leaves);
  // A group and one of its members may both be targets.
  std::vector<TBaseProperty*> unique;
  for (TBaseProperty* p : leaves)
    if (std::find(unique.begin(), unique.end(), p) == unique.end()) unique.push_back(p);
  return unique;
}

}  // namespace

std::optional<std::int32_t> PreviousKey(std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  std::optional<std::int32_t> best;
  for (const TBaseProperty* p : LeavesOf(Targets))
    for (const std::int32_t f : KeyFrames(*p))
      if (f < Frame && (!best || f > *best)) best = f;
  return best;
}

std::optional<std::int32_t> NextKey(std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  std::optional<std::int32_t> best;
  for (const TBaseProperty* p : LeavesOf(Targets))
    for (const std::int32_t f : KeyFrames(*p))
      if (f > Frame && (!best || f < *best)) best = f;
  return best;
}

void SetPageFrame(TQVSystem& Sys, std::int32_t Frame) {
  Sys.frame = Frame;
  if (TAnimationManager* am = Sys.AnimationManager()) am->SetFrame(Frame);
}

// ---- snapshots ------------------------------------------------------------------------------

std::vector<TKeyState> TrackKeys(const Tkeys& Track) {
  std::vector<TKeyState> keys;
  keys.reserve(static_cast<std::size_t>(Track.Count()));
  for (int i = 0; i < Track.Count(); ++i) {
    const Tkeyframe* k = Track.key(i);
    keys.push_back({k->fframe, k->fvalue, k->fstr, k->fTag});
  }
  return keys;
}

void SetTrackKeys(Tkeys& Track, std::span<const TKeyState> Keys) {
  Track.Clear();
  for (const TKeyState& k : Keys) {
    Tkeyframe* key = Track.AddKey(k.Frame, k.Value);
    key->fstr = k.Str;
    key->fTag = k.Tag;
  }
}

TPropertyState CaptureState(const TQVSystem& Sys, TBaseProperty& P) {
  TPropertyState s;
  if (std::optional<TPropertyPath> path = PathOf(Sys, P)) s.Path = std::move(*path);
  s.Value.resize(static_cast<std::size_t>(std::max(P.DataSize(), 0)));
  if (!s.Value.empty()) P.PushValue(s.Value.data());
  if (const auto* str = dynamic_cast<const TString*>(&P)) s.Text = str->Value();
  if (const Tkeys* t = P.Animation(false)) {
    s.HasTrack = true;
    s.In = t->finat;
    s.Out = t->Foutat;
    s.Keys = TrackKeys(*t);
  }
  return s;
}

namespace {

// Sets values with automatic keying off for the while: restoring and timing are no key edits.
class TNoAutoKeys {
 public:
  explicit TNoAutoKeys(const TQVSystem& Sys) : fAm(Sys.AnimationManager()) {
    if (fAm != nullptr) {
      fWas = fAm->AutoAnimationMode;
      fAm->AutoAnimationMode = false;
    }
  }
  ~TNoAutoKeys() {
    if (fAm != nullptr) fAm->AutoAnimationMode = fWas;
  }
  TNoAutoKeys(const TNoAutoKeys&) = delete;
  TNoAutoKeys& operator=(const TNoAutoKeys&) = delete;

 private:
  TAnimationManager* fAm;
  bool fWas = false;
};

}  // namespace

void RestoreState(TQVSystem& Sys, const TPropertyState& State) {
  TBaseProperty* p = Resolve(Sys, State.Path);
  if (p == nullptr) return;
  TNoAutoKeys noKeys(Sys);
  // The value first: a setter moves the curve, which the track below puts back.
  if (!State.Value.empty() && static_cast<std::size_t>(p->DataSize()) == State.Value.size()) {
    p->PopValue(State.Value.data());
  } else if (auto* str = dynamic_cast<TString*>(p)) {
    if (str->Value() != State.Text) str->SetValue(State.Text);
  }
  if (Tkeys* t = p->Animation(State.HasTrack)) {
    SetTrackKeys(*t, State.Keys);
    if (State.HasTrack) {
      t->finat = State.In;
      t->Foutat = State.Out;
    }
  }
}

// ---- steps ---------------------------------------------------------------------------------

TPropertyStep::TPropertyStep(TQVSystem& Sys, std::string Text, std::vector<TPropertyPath> Targets,
                             TOperation Operation)
    : fSys(Sys), fText(std::move(Text)), fTargets(std::move(Targets)), fOperation(std::move(Operation)) {}

TPropertyStep::TPropertyStep(TQVSystem& Sys, std::string Text, std::vector<TPropertyState> Before,
                             std::vector<TPropertyState> After)
    : fSys(Sys), fText(std::move(Text)), fBefore(std::move(Before)), fAfter(std::move(After)), fDone(true), fFresh(true) {}

std::vector<TPropertyState> TPropertyStep::Capture() const {
  std::vector<TPropertyState> states;
  states.reserve(fTargets.size());
  for (const TPropertyPath& path : fTargets)
    if (TBaseProperty* p = Resolve(fSys, path)) states.push_back(CaptureState(fSys, *p));
  return states;
}

void TPropertyStep::Redo() {
  if (fFresh) {
    // Made from a change already made: the page is in its after state.
    fFresh = false;
    return;
  }
  if (!fDone) {
    fBefore = Capture();
    fOperation(fSys);
    fAfter = Capture();
    fDone = true;
    return;
  }
  for (const TPropertyState& s : fAfter) RestoreState(fSys, s);
}

void TPropertyStep::Undo() {
  fFresh = false;
  for (auto it = fBefore.rbegin(); it != fBefore.rend(); ++it) RestoreState(fSys, *it);
}

namespace {

// An engine element that undoes a step when popped.
class TStepElement final : public TUndoElement {
 public:
  explicit TStepElement(std::unique_ptr<TEditStep> Step) : fStep(std::move(Step)) {}
  void PushAction() override { fStep->Redo(); }
  void PopAction() override { fStep->Undo(); }

 private:
  std::unique_ptr<TEditStep> fStep;
};

}  // namespace

void PushStep(TUndoEngine& Engine, std::unique_ptr<TEditStep> Step) {
  if (Step) Engine.PushUndoAction(std::make_unique<TStepElement>(std::move(Step)));
}

namespace {

std::string TargetName(std::span<TBaseProperty* const> Targets) {
  for (const TBaseProperty* t : Targets) {
    if (t == nullptr) continue;
    const TCustomContainerObject* root = RootOf(*t);
    if (const auto* layer = dynamic_cast<const TLayer*>(root)) return layer->layerName();
    return "page";
  }
  return "page";
}

std::vector<TPropertyPath> PathsOf(const TQVSystem& Sys, std::span<TBaseProperty* const> Props) {
  std::vector<TPropertyPath> paths;
  for (const TBaseProperty* p : Props)
    if (std::optional<TPropertyPath> path = PathOf(Sys, *p)) paths.push_back(std::move(*path));
  return paths;
}

// Runs Change on each property still found at Paths.
template <class F>
void ForEachResolved(TQVSystem& Sys, const std::vector<TPropertyPath>& Paths, F&& Change) {
  for (const TPropertyPath& path : Paths)
    if (TBaseProperty* p = Resolve(Sys, path)) Change(*p);
}

// The value a key of P holds: its current value.
void KeyCurrentValue(TBaseProperty& P, Tkeys& Track, std::int32_t Frame) {
  if (const auto* d = dynamic_cast<const TDouble*>(&P)) {
    Track.AddKey(Frame, d->Value());
  } else if (const auto* i = dynamic_cast<const TInteger*>(&P)) {
    Track.AddKey(Frame, static_cast<int>(i->Value()));
  } else if (const auto* s = dynamic_cast<const TString*>(&P)) {
    Track.AddKey(Frame, s->Value());
  }
}

bool HasKeyWithCurrentValue(const TBaseProperty& P, std::int32_t Frame) {
  const Tkeys* t = P.Animation(false);
  if (t == nullptr || !t->HasKeyAt(Frame)) return false;
  for (int i = 0; i < t->Count(); ++i) {
    const Tkeyframe* k = t->key(i);
    if (k->fframe != Frame) continue;
    if (const auto* d = dynamic_cast<const TDouble*>(&P)) return k->fvalue == d->Value();
    if (const auto* n = dynamic_cast<const TInteger*>(&P)) return k->fvalue == n->Value();
    if (const auto* s = dynamic_cast<const TString*>(&P)) return k->fstr == s->Value();
  }
  return false;
}

void RemoveKeysAt(Tkeys& Track, const std::set<std::int32_t>& Frames) {
  std::vector<TKeyState> keys = TrackKeys(Track);
  std::erase_if(keys, [&](const TKeyState& k) { return Frames.contains(RoundToInt32(k.Frame)); });
  SetTrackKeys(Track, keys);
}

// The file keeps four decimals: keys the editor makes hold what a reload will read.
double FileValue(double v) {
  double read = v;
  ParseFloat(FormatFixed(v, 4), read);
  return read;
}

// The segment an ease works on: from the key at or before Frame to the next one, or, from the
// last key, the segment that ends there. None when the keys are neighbouring frames.
std::optional<std::pair<TKeyState, TKeyState>> EaseSegment(const Tkeys& Track, std::int32_t Frame) {
  if (Track.Count() < 2) return std::nullopt;
  const std::vector<TKeyState> keys = TrackKeys(Track);
  std::size_t b = 0;
  while (b < keys.size() && keys[b].Frame <= Frame) ++b;
  if (b == 0) return std::nullopt;
  if (b == keys.size()) {
    if (keys.back().Frame != Frame) return std::nullopt;
    b = keys.size() - 1;
  }
  const TKeyState& A = keys[b - 1];
  const TKeyState& B = keys[b];
  if (B.Frame - A.Frame <= 1) return std::nullopt;
  return std::make_pair(A, B);
}

}  // namespace

std::unique_ptr<TEditStep> AddKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  const std::vector<TBaseProperty*> leaves = LeavesOf(Targets);
  if (std::all_of(leaves.begin(), leaves.end(), [&](const TBaseProperty* p) { return HasKeyWithCurrentValue(*p, Frame); }))
    return nullptr;
  std::vector<TPropertyPath> paths = PathsOf(Sys, leaves);
  return std::make_unique<TPropertyStep>(Sys, "Add Key to " + TargetName(Targets), paths, [paths, Frame](TQVSystem& S) {
    ForEachResolved(S, paths, [&](TBaseProperty& p) {
      if (Tkeys* t = p.Animation(true)) KeyCurrentValue(p, *t, Frame);
    });
  });
}

std::unique_ptr<TEditStep> DeleteKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets,
                                         std::int32_t Frame) {
  std::vector<TBaseProperty*> keyed;
  for (TBaseProperty* p : LeavesOf(Targets)) {
    const Tkeys* t = p->Animation(false);
    if (t != nullptr && t->HasKeyAt(Frame)) keyed.push_back(p);
  }
  if (keyed.empty()) return nullptr;
  std::vector<TPropertyPath> paths = PathsOf(Sys, keyed);
  return std::make_unique<TPropertyStep>(Sys, "Delete Key from " + TargetName(Targets), paths,
                                         [paths, Frame](TQVSystem& S) {
                                           ForEachResolved(S, paths, [&](TBaseProperty& p) {
                                             if (Tkeys* t = p.Animation(false)) RemoveKeysAt(*t, {Frame});
                                           });
                                         });
}

std::unique_ptr<TEditStep> ClearAnimationStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets) {
  std::vector<TBaseProperty*> animated;
  for (TBaseProperty* p : LeavesOf(Targets))
    if (IsAnimated(*p)) animated.push_back(p);
  if (animated.empty()) return nullptr;
  std::vector<TPropertyPath> paths = PathsOf(Sys, animated);
  return std::make_unique<TPropertyStep>(Sys, "Clear Animation of " + TargetName(Targets), paths,
                                         [paths](TQVSystem& S) {
                                           ForEachResolved(S, paths, [](TBaseProperty& p) { p.ClearAnimation(); });
                                         });
}

std::span<const TAnimationTypeName> AnimationTypeNames() {
  static constexpr TAnimationTypeName names[] = {{atConstant, "Constant"}, {atCycle, "Cycle"},
                                                 {atLoop, "Loop"},         {atPingPong, "PingPong"},
                                                 {atLinear, "Linear"},     {atRelativeRepeat, "RelativeRepeat"}};
  return names;
}

std::unique_ptr<TEditStep> AnimationTypeStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets,
                                             Tanimationtype Type) {
  std::vector<TBaseProperty*> tracked;
  for (TBaseProperty* p : LeavesOf(Targets)) {
    const Tkeys* t = p->Animation(false);
    if (t != nullptr && (t->finat != Type || t->Foutat != Type)) tracked.push_back(p);
  }
  if (tracked.empty()) return nullptr;
  std::string name = "Constant";
  for (const TAnimationTypeName& n : AnimationTypeNames())
    if (n.Type == Type) name = n.Name;
  std::vector<TPropertyPath> paths = PathsOf(Sys, tracked);
  return std::make_unique<TPropertyStep>(Sys, name + " out of range on " + TargetName(Targets), paths,
                                         [paths, Type](TQVSystem& S) {
                                           ForEachResolved(S, paths, [&](TBaseProperty& p) { p.SetAnimationType(Type); });
                                         });
}

double EasedValue(const TKeyState& A, const TKeyState& B, double Frame) {
  const double t = (Frame - A.Frame) / (B.Frame - A.Frame);
  const double m = (1 - std::cos(t * std::numbers::pi)) / 2;
  return A.Value * (1 - m) + B.Value * m;
}

std::unique_ptr<TEditStep> EaseStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  std::vector<TBaseProperty*> eased;
  for (TBaseProperty* p : LeavesOf(Targets)) {
    if (dynamic_cast<const TString*>(p) != nullptr) continue;  // texts step from key to key
    const Tkeys* t = p->Animation(false);
    if (t != nullptr && EaseSegment(*t, Frame)) eased.push_back(p);
  }
  if (eased.empty()) return nullptr;
  std::vector<TPropertyPath> paths = PathsOf(Sys, eased);
  return std::make_unique<TPropertyStep>(
      Sys, "Ease In/Out on " + TargetName(Targets), paths, [paths, Frame](TQVSystem& S) {
        ForEachResolved(S, paths, [&](TBaseProperty& p) {
          Tkeys* t = p.Animation(false);
          if (t == nullptr) return;
          const auto segment = EaseSegment(*t, Frame);
          if (!segment) return;
          const auto& [A, B] = *segment;
          for (auto g = static_cast<std::int64_t>(A.Frame) + 1; g < static_cast<std::int64_t>(B.Frame); ++g)
            t->AddKey(static_cast<double>(g), FileValue(EasedValue(A, B, static_cast<double>(g))));
        });
      });
}

namespace {

// Keys grouped by their property, in the order first met.
std::vector<std::pair<TBaseProperty*, std::set<std::int32_t>>> ByProperty(std::span<const TKeyRef> Keys) {
  std::vector<std::pair<TBaseProperty*, std::set<std::int32_t>>> groups;
  for (const TKeyRef& k : Keys) {
    if (k.Property == nullptr) continue;
    auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == k.Property; });
    if (it == groups.end()) {
      groups.push_back({k.Property, {}});
      it = groups.end() - 1;
    }
    it->second.insert(k.Frame);
  }
  return groups;
}

bool ShiftFits(const std::vector<std::pair<TBaseProperty*, std::set<std::int32_t>>>& Groups, std::int64_t Delta) {
  for (const auto& [p, moving] : Groups) {
    const std::vector<std::int32_t> frames = KeyFrames(*p);
    for (const std::int32_t f : moving) {
      const std::int64_t to = f + Delta;
      if (to < 0) return false;
      for (const std::int32_t other : frames)
        if (other == to && !moving.contains(other)) return false;
    }
  }
  return true;
}

}  // namespace

std::int32_t AllowedKeyShift(std::span<const TKeyRef> Keys, std::int32_t Delta) {
  const auto groups = ByProperty(Keys);
  const std::int32_t step = Delta > 0 ? -1 : 1;
  for (std::int32_t d = Delta; d != 0; d += step)
    if (ShiftFits(groups, d)) return d;
  return 0;
}

std::unique_ptr<TEditStep> MoveKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys, std::int32_t Delta) {
  const std::int32_t d = AllowedKeyShift(Keys, Delta);
  if (d == 0) return nullptr;
  std::vector<std::pair<TPropertyPath, std::set<std::int32_t>>> moves;
  std::vector<TPropertyPath> paths;
  std::size_t count = 0;
  for (const auto& [p, frames] : ByProperty(Keys)) {
    std::optional<TPropertyPath> path = PathOf(Sys, *p);
    if (!path) continue;
    moves.emplace_back(*path, frames);
    paths.push_back(*path);
    count += frames.size();
  }
  if (moves.empty()) return nullptr;
  return std::make_unique<TPropertyStep>(Sys, count == 1 ? "Move Key" : "Move Keys", paths, [moves, d](TQVSystem& S) {
    for (const auto& [path, frames] : moves) {
      TBaseProperty* p = Resolve(S, path);
      Tkeys* t = p != nullptr ? p->Animation(false) : nullptr;
      if (t == nullptr) continue;
      std::vector<TKeyState> keys = TrackKeys(*t);
      for (TKeyState& k : keys)
        if (frames.contains(RoundToInt32(k.Frame))) k.Frame += d;
      std::stable_sort(keys.begin(), keys.end(), [](const TKeyState& a, const TKeyState& b) { return a.Frame < b.Frame; });
      SetTrackKeys(*t, keys);
    }
  });
}

std::unique_ptr<TEditStep> DeleteKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys) {
  std::vector<std::pair<TPropertyPath, std::set<std::int32_t>>> removals;
  std::vector<TPropertyPath> paths;
  std::size_t count = 0;
  for (const auto& [p, frames] : ByProperty(Keys)) {
    std::optional<TPropertyPath> path = PathOf(Sys, *p);
    if (!path) continue;
    removals.emplace_back(*path, frames);
    paths.push_back(*path);
    count += frames.size();
  }
  if (removals.empty()) return nullptr;
  return std::make_unique<TPropertyStep>(Sys, count == 1 ? "Delete Key" : "Delete Keys", paths,
                                         [removals](TQVSystem& S) {
                                           for (const auto& [path, frames] : removals) {
                                             TBaseProperty* p = Resolve(S, path);
                                             if (Tkeys* t = p != nullptr ? p->Animation(false) : nullptr)
                                               RemoveKeysAt(*t, frames);
                                           }
                                         });
}

std::unique_ptr<TEditStep> LayerTimingStep(TQVSystem& Sys, TLayer& Layer, std::int32_t LayerIN, std::int32_t Duration) {
  if (Layer.LayerIN() == LayerIN && Layer.Duration() == Duration) return nullptr;
  std::optional<TPropertyPath> in = PathOf(Sys, Layer.LayerINProperty());
  std::optional<TPropertyPath> dur = PathOf(Sys, Layer.DurationProperty());
  if (!in || !dur) return nullptr;
  const std::string text =
      (Layer.Duration() == Duration ? "Move " : "Trim ") + Layer.layerName() + (Layer.Duration() == Duration ? " in time" : "");
  std::vector<TPropertyPath> paths{*in, *dur};
  return std::make_unique<TPropertyStep>(Sys, text, paths, [in = *in, dur = *dur, LayerIN, Duration](TQVSystem& S) {
    TNoAutoKeys noKeys(S);
    if (auto* p = dynamic_cast<TInteger*>(Resolve(S, in))) p->SetValue(LayerIN);
    if (auto* p = dynamic_cast<TInteger*>(Resolve(S, dur))) p->SetValue(Duration);
  });
}

// ---- gestures ------------------------------------------------------------------------------

namespace {

// Every value under P (containers are walked, not captured).
void ValueLeaves(TBaseProperty& P, std::vector<TBaseProperty*>& Out) {
  if (const auto* c = dynamic_cast<const TCustomContainerObject*>(&P)) {
    for (const auto& child : c->Properties()) ValueLeaves(*child, Out);
    return;
  }
  Out.push_back(&P);
}

}  // namespace

void TPropertyGesture::Begin(TQVSystem& Sys, std::span<TBaseProperty* const> Roots) {
  fSys = &Sys;
  fBefore.clear();
  std::vector<TBaseProperty*> leaves;
  for (TBaseProperty* r : Roots)
    if (r != nullptr) ValueLeaves(*r, leaves);
  for (TBaseProperty* p : leaves)
    if (PathOf(Sys, *p)) fBefore.push_back(CaptureState(Sys, *p));
}

std::unique_ptr<TEditStep> TPropertyGesture::End(std::string Text) {
  TQVSystem* sys = fSys;
  fSys = nullptr;
  if (sys == nullptr) return nullptr;
  const TAnimationManager* am = sys->AnimationManager();
  const bool autoKeys = am != nullptr && am->AutoAnimationMode;
  std::vector<TPropertyState> before;
  std::vector<TPropertyState> after;
  for (TPropertyState& b : fBefore) {
    TBaseProperty* p = Resolve(*sys, b.Path);
    if (p == nullptr) continue;
    TPropertyState a = CaptureState(*sys, *p);
    if (autoKeys && a.SameValue(b) && !a.SameTrack(b)) {
      // Keyed by a setter that left the value as it was.
      RestoreState(*sys, b);
      continue;
    }
    if (a.SameValue(b) && a.SameTrack(b)) continue;
    before.push_back(std::move(b));
    after.push_back(std::move(a));
  }
  fBefore.clear();
  if (before.empty()) return nullptr;
  return std::make_unique<TPropertyStep>(*sys, std::move(Text), std::move(before), std::move(after));
}

// ---- curve shift ---------------------------------------------------------------------------

std::string SignedAmount(double Delta) {
  std::string text = FormatFixed(std::fabs(Delta), 4);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return (Delta < 0 ? "-" : "+") + text;
}

void TCurveWatch::Reset(TBaseProperty* Root) {
  fRoot = Root;
  Take();
}

void TCurveWatch::Take() {
  fMarks.clear();
  if (fRoot == nullptr) return;
  std::vector<TBaseProperty*> animated;
  AnimatedLeaves(*fRoot, animated);
  for (TBaseProperty* p : animated) fMarks.push_back({p, DisplayName(*p), TrackKeys(*p->Animation(false))});
}

std::string TCurveWatch::Check() {
  if (fRoot == nullptr) return {};
  std::vector<TMark> old = std::move(fMarks);
  Take();
  const TAnimationManager* am = fRoot->AnimationManager();
  if (am != nullptr && am->AutoAnimationMode) return {};
  std::string text;
  for (const TMark& now : fMarks) {
    const auto was = std::find_if(old.begin(), old.end(), [&](const TMark& m) { return m.Property == now.Property; });
    if (was == old.end() || was->Keys.size() != now.Keys.size() || now.Keys.empty()) continue;
    const double delta = now.Keys[0].Value - was->Keys[0].Value;
    if (delta == 0 || !std::isfinite(delta)) continue;
    bool shifted = true;
    for (std::size_t i = 0; i < now.Keys.size() && shifted; ++i) {
      const double d = now.Keys[i].Value - was->Keys[i].Value;
      const double tolerance = 1e-9 * std::max({1.0, std::fabs(now.Keys[i].Value), std::fabs(was->Keys[i].Value)});
      shifted = now.Keys[i].Frame == was->Keys[i].Frame && std::fabs(d - delta) <= tolerance;
    }
    if (!shifted) continue;
    if (!text.empty()) text += ", ";
    text += now.Name + ": curve moved by " + SignedAmount(delta);
  }
  if (text.empty()) return {};
  return text + " \u2014 automatic keying is off";
}

}  // namespace qv

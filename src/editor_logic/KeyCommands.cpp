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

// ---- keys ---------------------------------------------------------------------------------

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

// ---- steps ---------------------------------------------------------------------------------

TKeyStep::TKeyStep(std::string Name, std::vector<TObjectRef> Targets, TOperation Operation)
    : TStep(std::move(Name)), fTargets(std::move(Targets)), fOperation(std::move(Operation)) {}

namespace {

std::vector<TObjectState> TakeStates(TQVSystem& Page, const std::vector<TObjectRef>& Refs) {
  std::vector<TObjectState> states;
  states.reserve(Refs.size());
  for (const TObjectRef& ref : Refs) {
    const TBaseProperty* p = Resolve(Page, ref);
    states.push_back(p != nullptr ? TObjectState::Take(*p) : TObjectState());
  }
  return states;
}

void PutStates(TQVSystem& Page, const std::vector<TObjectRef>& Refs, const std::vector<TObjectState>& States) {
  for (std::size_t i = Refs.size(); i-- > 0;) {
    if (TBaseProperty* p = Resolve(Page, Refs[i]); p != nullptr && i < States.size()) States[i].Apply(*p);
  }
}

}  // namespace

void TKeyStep::Redo(THistory& H) {
  if (fDone) {
    PutStates(H.Page(), fTargets, fAfter);
    return;
  }
  fDone = true;
  fBefore = TakeStates(H.Page(), fTargets);
  {
    // Keys are set as the command says, never by a setter's automatic keying.
    TAutoKeyingOff keyingOff(H.Page().AnimationManager());
    fOperation(H.Page());
  }
  fAfter = TakeStates(H.Page(), fTargets);
  fOperation = nullptr;  // what it captured is no longer needed
}

void TKeyStep::Undo(THistory& H) { PutStates(H.Page(), fTargets, fBefore); }

int TKeyStep::SelectAfter(bool) const {
  if (fTargets.empty()) return kKeepSelection;
  const int layer = fTargets.front().Layer;
  for (const TObjectRef& r : fTargets)
    if (r.Layer != layer) return kKeepSelection;
  return layer >= 0 ? layer : kNoLayer;
}

namespace {

// The references of the properties of Props that are part of the page.
std::vector<TObjectRef> RefsOf(const TQVSystem& Sys, std::span<TBaseProperty* const> Props) {
  std::vector<TObjectRef> refs;
  for (const TBaseProperty* p : Props)
    if (std::optional<TObjectRef> ref = RefOf(Sys, *p)) refs.push_back(std::move(*ref));
  return refs;
}

// How a step names what it changes: "X of logo" for one property, "Font.FontColor of Text000" for
// several of one group, "logo" for several of the layer, "Duration of the page", "layers" for
// properties of several layers.
std::string TargetName(TQVSystem& Sys, const std::vector<TObjectRef>& Refs) {
  if (Refs.empty()) return "layers";
  std::vector<std::uint32_t> common = Refs.front().Path;
  for (const TObjectRef& r : Refs) {
    if (r.Layer != Refs.front().Layer) return "layers";
    std::size_t n = 0;
    while (n < common.size() && n < r.Path.size() && common[n] == r.Path[n]) ++n;
    common.resize(n);
  }
  const std::string layer = LayerTitle(Sys, Refs.front().Layer);
  if (common.empty()) return layer;
  TObjectRef group = Refs.front();
  group.Path = std::move(common);
  const TBaseProperty* p = Resolve(Sys, group);
  return p != nullptr ? DisplayName(*p) + " of " + layer : layer;
}

// Runs Change on each property still found at Refs.
template <class F>
void ForEachResolved(TQVSystem& Sys, const std::vector<TObjectRef>& Refs, F&& Change) {
  for (const TObjectRef& ref : Refs)
    if (TBaseProperty* p = Resolve(Sys, ref)) Change(*p);
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

std::unique_ptr<TStep> AddKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  std::vector<TBaseProperty*> unkeyed;
  for (TBaseProperty* p : LeavesOf(Targets))
    if (!HasKeyWithCurrentValue(*p, Frame)) unkeyed.push_back(p);
  if (unkeyed.empty()) return nullptr;
  // Every target is keyed (a key there already takes the current value).
  std::vector<TObjectRef> refs = RefsOf(Sys, LeavesOf(Targets));
  if (refs.empty()) return nullptr;
  std::string name = "Add Key to " + TargetName(Sys, refs);
  return std::make_unique<TKeyStep>(std::move(name), refs, [refs, Frame](TQVSystem& S) {
    ForEachResolved(S, refs, [&](TBaseProperty& p) {
      if (Tkeys* t = p.Animation(true)) KeyCurrentValue(p, *t, Frame);
    });
  });
}

std::unique_ptr<TStep> DeleteKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  std::vector<TBaseProperty*> keyed;
  for (TBaseProperty* p : LeavesOf(Targets)) {
    const Tkeys* t = p->Animation(false);
    if (t != nullptr && t->HasKeyAt(Frame)) keyed.push_back(p);
  }
  std::vector<TObjectRef> refs = RefsOf(Sys, keyed);
  if (refs.empty()) return nullptr;
  std::string name = "Delete Key from " + TargetName(Sys, refs);
  return std::make_unique<TKeyStep>(std::move(name), refs, [refs, Frame](TQVSystem& S) {
    ForEachResolved(S, refs, [&](TBaseProperty& p) {
      if (Tkeys* t = p.Animation(false)) RemoveKeysAt(*t, {Frame});
    });
  });
}

std::unique_ptr<TStep> ClearAnimationStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets) {
  std::vector<TBaseProperty*> animated;
  for (TBaseProperty* p : LeavesOf(Targets))
    if (IsAnimated(*p)) animated.push_back(p);
  std::vector<TObjectRef> refs = RefsOf(Sys, animated);
  if (refs.empty()) return nullptr;
  std::string name = "Clear Animation of " + TargetName(Sys, refs);
  return std::make_unique<TKeyStep>(std::move(name), refs, [refs](TQVSystem& S) {
    ForEachResolved(S, refs, [](TBaseProperty& p) { p.ClearAnimation(); });
  });
}

std::span<const TAnimationTypeName> AnimationTypeNames() {
  static constexpr TAnimationTypeName names[] = {{atConstant, "Constant"}, {atCycle, "Cycle"},
                                                 {atLoop, "Loop"},         {atPingPong, "PingPong"},
                                                 {atLinear, "Linear"},     {atRelativeRepeat, "RelativeRepeat"}};
  return names;
}

std::unique_ptr<TStep> AnimationTypeStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets,
                                         Tanimationtype Type) {
  std::vector<TBaseProperty*> tracked;
  for (TBaseProperty* p : LeavesOf(Targets)) {
    const Tkeys* t = p->Animation(false);
    if (t != nullptr && (t->finat != Type || t->Foutat != Type)) tracked.push_back(p);
  }
  std::vector<TObjectRef> refs = RefsOf(Sys, tracked);
  if (refs.empty()) return nullptr;
  std::string mode = "Constant";
  for (const TAnimationTypeName& n : AnimationTypeNames())
    if (n.Type == Type) mode = n.Name;
  std::string name = "Set " + mode + " Out of Range on " + TargetName(Sys, refs);
  return std::make_unique<TKeyStep>(std::move(name), refs, [refs, Type](TQVSystem& S) {
    ForEachResolved(S, refs, [&](TBaseProperty& p) { p.SetAnimationType(Type); });
  });
}

double EasedValue(const TKeyState& A, const TKeyState& B, double Frame) {
  const double t = (Frame - A.Frame) / (B.Frame - A.Frame);
  const double m = (1 - std::cos(t * std::numbers::pi)) / 2;
  return A.Value * (1 - m) + B.Value * m;
}

std::unique_ptr<TStep> EaseStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame) {
  std::vector<TBaseProperty*> eased;
  for (TBaseProperty* p : LeavesOf(Targets)) {
    if (dynamic_cast<const TString*>(p) != nullptr) continue;  // texts step from key to key
    const Tkeys* t = p->Animation(false);
    if (t != nullptr && EaseSegment(*t, Frame)) eased.push_back(p);
  }
  std::vector<TObjectRef> refs = RefsOf(Sys, eased);
  if (refs.empty()) return nullptr;
  std::string name = "Ease In/Out " + TargetName(Sys, refs);
  return std::make_unique<TKeyStep>(std::move(name), refs, [refs, Frame](TQVSystem& S) {
    ForEachResolved(S, refs, [&](TBaseProperty& p) {
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

// The keys of a timeline edit, by property: their references and frames, and how many keys.
struct TKeyGroups {
  std::vector<TObjectRef> Refs;
  std::vector<std::set<std::int32_t>> Frames;
  std::size_t Count = 0;
};

TKeyGroups GroupsOf(const TQVSystem& Sys, std::span<const TKeyRef> Keys) {
  TKeyGroups g;
  for (const auto& [p, frames] : ByProperty(Keys)) {
    std::optional<TObjectRef> ref = RefOf(Sys, *p);
    if (!ref) continue;
    g.Refs.push_back(std::move(*ref));
    g.Frames.push_back(frames);
    g.Count += frames.size();
  }
  return g;
}

// "Move Keys of logo", "Delete Key of logo", "Move Keys" (several layers).
std::string KeysName(TQVSystem& Sys, const char* Verb, const TKeyGroups& G) {
  std::string name = std::string(Verb) + (G.Count == 1 ? " Key" : " Keys");
  for (const TObjectRef& r : G.Refs)
    if (r.Layer != G.Refs.front().Layer) return name;
  return name + " of " + LayerTitle(Sys, G.Refs.front().Layer);
}

}  // namespace

std::int32_t AllowedKeyShift(std::span<const TKeyRef> Keys, std::int32_t Delta) {
  const auto groups = ByProperty(Keys);
  const std::int32_t step = Delta > 0 ? -1 : 1;
  for (std::int32_t d = Delta; d != 0; d += step)
    if (ShiftFits(groups, d)) return d;
  return 0;
}

std::unique_ptr<TStep> MoveKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys, std::int32_t Delta) {
  const std::int32_t d = AllowedKeyShift(Keys, Delta);
  if (d == 0) return nullptr;
  TKeyGroups g = GroupsOf(Sys, Keys);
  if (g.Refs.empty()) return nullptr;
  std::string name = KeysName(Sys, "Move", g);
  return std::make_unique<TKeyStep>(std::move(name), g.Refs, [refs = g.Refs, frames = g.Frames, d](TQVSystem& S) {
    for (std::size_t i = 0; i < refs.size(); ++i) {
      TBaseProperty* p = Resolve(S, refs[i]);
      Tkeys* t = p != nullptr ? p->Animation(false) : nullptr;
      if (t == nullptr) continue;
      std::vector<TKeyState> keys = TrackKeys(*t);
      for (TKeyState& k : keys)
        if (frames[i].contains(RoundToInt32(k.Frame))) k.Frame += d;
      std::stable_sort(keys.begin(), keys.end(), [](const TKeyState& a, const TKeyState& b) { return a.Frame < b.Frame; });
      SetTrackKeys(*t, keys);
    }
  });
}

std::unique_ptr<TStep> DeleteKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys) {
  TKeyGroups g = GroupsOf(Sys, Keys);
  if (g.Refs.empty()) return nullptr;
  std::string name = KeysName(Sys, "Delete", g);
  return std::make_unique<TKeyStep>(std::move(name), g.Refs, [refs = g.Refs, frames = g.Frames](TQVSystem& S) {
    for (std::size_t i = 0; i < refs.size(); ++i) {
      TBaseProperty* p = Resolve(S, refs[i]);
      if (Tkeys* t = p != nullptr ? p->Animation(false) : nullptr) RemoveKeysAt(*t, frames[i]);
    }
  });
}

std::unique_ptr<TStep> LayerTimingStep(TQVSystem& Sys, TLayer& Layer, std::int32_t LayerIN, std::int32_t Duration) {
  if (Layer.LayerIN() == LayerIN && Layer.Duration() == Duration) return nullptr;
  std::optional<TObjectRef> in = RefOf(Sys, Layer.LayerINProperty());
  std::optional<TObjectRef> dur = RefOf(Sys, Layer.DurationProperty());
  if (!in || !dur) return nullptr;
  const std::string title = LayerTitle(Sys, in->Layer);
  std::string name = Layer.Duration() == Duration ? "Move " + title + " in time" : "Change Timing of " + title;
  std::vector<TObjectRef> refs{*in, *dur};
  return std::make_unique<TKeyStep>(std::move(name), refs, [refs, LayerIN, Duration](TQVSystem& S) {
    if (auto* p = dynamic_cast<TInteger*>(Resolve(S, refs[0]))) p->SetValue(LayerIN);
    if (auto* p = dynamic_cast<TInteger*>(Resolve(S, refs[1]))) p->SetValue(Duration);
  });
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

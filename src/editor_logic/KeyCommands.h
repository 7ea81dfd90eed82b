#pragma once
// Keys in the editor, without any widget: where a property sits in a page, snapshots of a
// property's value and track, and the key commands as steps of the document's history (Add Key,
// Delete Key, Clear Animation, the out-of-range mode, Ease In/Out, moving and deleting keys from the
// timeline, a layer's in-point and duration), Previous / Next key, the key marks of grid rows, and
// what automatic keying and the curve shift do to a gesture (the status text that says a curve
// moved).
//
// Every step stores what it needs to restore exactly — the touched properties' values and
// current-slot tracks, addressed by their place in the page, never by pointer — and applies it
// when the history redoes or undoes it. Restoring never runs the keyframe side of a setter, so
// undo and redo add no key in automatic keying.
#include "composition/QvSystem.h"
#include "model/UndoEngine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

// ---- where a property sits ----------------------------------------------------------------

// A property of a page: the layer's place in the stack (-1: the page's own properties) and the
// child positions from there down.
struct TPropertyPath {
  std::int32_t Layer = -1;
  std::vector<std::uint32_t> Children;
  friend bool operator==(const TPropertyPath&, const TPropertyPath&) = default;
};
// None when P belongs to no layer of Sys and is not part of Sys itself.
std::optional<TPropertyPath> PathOf(const TQVSystem& Sys, const TBaseProperty& P);
// None when the page no longer has such a property.
TBaseProperty* Resolve(const TQVSystem& Sys, const TPropertyPath& Path);
// The layer (or the page) at the root of P.
TCustomContainerObject* RootOf(const TBaseProperty& P);
// P's name from below its layer: "X", "Font.FontColor.Red".
std::string DisplayName(const TBaseProperty& P);

// Whether P takes values from tracks (floating-point, integer and string properties).
bool FollowsTracks(const TBaseProperty& P);
// The properties at and under P that take values from tracks, in child order.
void TrackedLeaves(TBaseProperty& P, std::vector<TBaseProperty*>& Out);
// Whether P has a current-slot track with at least one key.
bool IsAnimated(const TBaseProperty& P);
// The animated properties at and under P, in child order.
void AnimatedLeaves(TBaseProperty& P, std::vector<TBaseProperty*>& Out);
// The key frames of P's current-slot track, ascending (none without a track).
std::vector<std::int32_t> KeyFrames(const TBaseProperty& P);

// What Add Key keys on a row: the property itself, or the tracked properties of a group; on a
// layer, its animated properties, or, while it has none, its position, size and opacity.
std::vector<TBaseProperty*> KeyTargets(TBaseProperty& Row);

// A grid row's key mark: none for rows without animation, hollow for animated ones, filled when a
// key sits on Frame.
enum class TKeyMark : std::uint8_t { kmNone, kmHollow, kmFilled };
TKeyMark KeyMarkOf(TBaseProperty& Row, std::int32_t Frame);

// The nearest key frame before (after) Frame on the tracks of the properties under Targets.
std::optional<std::int32_t> PreviousKey(std::span<TBaseProperty* const> Targets, std::int32_t Frame);
std::optional<std::int32_t> NextKey(std::span<TBaseProperty* const> Targets, std::int32_t Frame);

// Moves the page to Frame: the composition's frame and the registry's (where automatic keys go).
void SetPageFrame(TQVSystem& Sys, std::int32_t Frame);

// ---- snapshots ------------------------------------------------------------------------------

struct TKeyState {
  double Frame = 0;
  double Value = 0;
  std::string Str;
  std::int32_t Tag = 0;
  friend bool operator==(const TKeyState&, const TKeyState&) = default;
};

// A property's value and its current-slot track.
struct TPropertyState {
  TPropertyPath Path;
  std::vector<std::byte> Value;  // the undo snapshot's bytes
  std::string Text;              // string properties, which have no snapshot bytes
  bool HasTrack = false;
  Tanimationtype In = atConstant;
  Tanimationtype Out = atConstant;
  std::vector<TKeyState> Keys;
  bool SameTrack(const TPropertyState& O) const {
    return HasTrack == O.HasTrack && In == O.In && Out == O.Out && Keys == O.Keys;
  }
  bool SameValue(const TPropertyState& O) const { return Value == O.Value && Text == O.Text; }
};

TPropertyState CaptureState(const TQVSystem& Sys, TBaseProperty& P);
// Puts the value back without the keyframe side, then the track as it was (an empty track stays
// where there was none: the registry keeps tracks until their property goes).
void RestoreState(TQVSystem& Sys, const TPropertyState& State);

// Rewrites a track with the keys as listed (frames unique), keeping its out-of-range modes.
void SetTrackKeys(Tkeys& Track, std::span<const TKeyState> Keys);
std::vector<TKeyState> TrackKeys(const Tkeys& Track);

// ---- steps ---------------------------------------------------------------------------------

// A step of the document's history: redoes and undoes itself and names itself for the Edit menu.
// The history calls Redo once when it takes the step (as QUndoStack::push does) and then Undo and
// Redo in turn.
class TEditStep {
 public:
  virtual ~TEditStep() = default;
  virtual std::string Text() const = 0;
  virtual void Redo() = 0;
  virtual void Undo() = 0;
  // Steps of the same Id may merge (-1: never).
  virtual int Id() const { return -1; }
  virtual bool MergeWith(const TEditStep& Next) { return false; }
};

// Does Step and makes it an element of the page's undo engine, whose undo undoes it: the key
// commands and gestures join the one history the page's engine keeps. None: nothing happens.
void PushStep(TUndoEngine& Engine, std::unique_ptr<TEditStep> Step);

// A step over properties of a page: the states of the touched properties before and after. Made
// either with an operation that its first Redo runs (the key commands), or from two snapshots of
// a change already made (a gesture), whose first Redo changes nothing.
class TPropertyStep final : public TEditStep {
 public:
  using TOperation = std::function<void(TQVSystem&)>;
  TPropertyStep(TQVSystem& Sys, std::string Text, std::vector<TPropertyPath> Targets, TOperation Operation);
  TPropertyStep(TQVSystem& Sys, std::string Text, std::vector<TPropertyState> Before,
                std::vector<TPropertyState> After);

  std::string Text() const override { return fText; }
  void Redo() override;
  void Undo() override;

  const std::vector<TPropertyState>& Before() const { return fBefore; }
  const std::vector<TPropertyState>& After() const { return fAfter; }

 private:
  std::vector<TPropertyState> Capture() const;
  TQVSystem& fSys;
  std::string fText;
  std::vector<TPropertyPath> fTargets;
  TOperation fOperation;
  std::vector<TPropertyState> fBefore;
  std::vector<TPropertyState> fAfter;
  bool fDone = false;
  bool fFresh = false;  // made after the change: the first Redo has nothing to do
};

// The key commands on a grid row or a track (Targets as KeyTargets gives them, or any properties:
// groups stand for their tracked properties). Each answers none when it would change nothing.
// Named after the layer ("Add Key to logo").
std::unique_ptr<TEditStep> AddKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame);
std::unique_ptr<TEditStep> DeleteKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame);
std::unique_ptr<TEditStep> ClearAnimationStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets);
// Both ends of every existing track (the file keeps the out-of-range one).
std::unique_ptr<TEditStep> AnimationTypeStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets,
                                             Tanimationtype Type);
// Between the key at or before Frame and the next one, on every track that has both: a key on
// every whole frame between them on the cosine curve (slow out of the first key, slow into the
// second), values kept to the file's four decimals. The file stores straight segments only, so the
// ease is baked into keys.
std::unique_ptr<TEditStep> EaseStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame);
// The value the eased curve has at Frame between keys A and B.
double EasedValue(const TKeyState& A, const TKeyState& B, double Frame);

// One key of one property.
struct TKeyRef {
  TBaseProperty* Property = nullptr;
  std::int32_t Frame = 0;
  friend bool operator==(const TKeyRef&, const TKeyRef&) = default;
  friend auto operator<=>(const TKeyRef&, const TKeyRef&) = default;
};
// The shift nearest to Delta (towards 0) that moves no key below frame 0 and none onto a key of
// its track that stays.
std::int32_t AllowedKeyShift(std::span<const TKeyRef> Keys, std::int32_t Delta);
std::unique_ptr<TEditStep> MoveKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys, std::int32_t Delta);
std::unique_ptr<TEditStep> DeleteKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys);

// A layer's in-point and duration (frames), as a timeline bar drag leaves them. Set without
// automatic keys: timing is not animation.
std::unique_ptr<TEditStep> LayerTimingStep(TQVSystem& Sys, TLayer& Layer, std::int32_t LayerIN, std::int32_t Duration);

// ---- gestures ------------------------------------------------------------------------------

// A change made by a gesture on the work area (drag, resize, nudge) or by a grid edit: Begin takes
// the properties' states, End the states after and answers the step for the history. With
// automatic keying on, tracks that a setter keyed although its value did not change (a move's Y
// when only X moved) go back to what they were: only changed properties get keys.
class TPropertyGesture {
 public:
  void Begin(TQVSystem& Sys, std::span<TBaseProperty* const> Roots);
  bool Active() const { return fSys != nullptr; }
  // None when nothing changed.
  std::unique_ptr<TEditStep> End(std::string Text);
  void Cancel() { fSys = nullptr; }

 private:
  TQVSystem* fSys = nullptr;
  std::vector<TPropertyState> fBefore;
};

// Says when an edit moved a whole curve (automatic keying off, a value set on an animated
// property): every key of a track moved by the same amount.
class TCurveWatch {
 public:
  // Watches the animated properties under Root (none: nothing).
  void Reset(TBaseProperty* Root);
  // The curves that moved since the last call or Reset, as the status bar says it:
  // "X: curve moved by +100 — automatic keying is off"; empty when none moved.
  std::string Check();

 private:
  struct TMark {
    TBaseProperty* Property;
    std::string Name;
    std::vector<TKeyState> Keys;
  };
  void Take();
  TBaseProperty* fRoot = nullptr;
  std::vector<TMark> fMarks;
};

// "+100", "-2.5": a shift as the status bar writes it.
std::string SignedAmount(double Delta);

// The out-of-range modes as the menus name them, in the file's order.
struct TAnimationTypeName {
  Tanimationtype Type;
  const char* Name;
};
std::span<const TAnimationTypeName> AnimationTypeNames();

}  // namespace qv

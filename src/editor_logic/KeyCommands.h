#pragma once
// Keys in the editor, without any widget: the key commands as steps of the document's history
// (Add Key, Delete Key, Clear Animation, the out-of-range mode, Ease In/Out, moving and deleting
// keys from the timeline, a layer's in-point and duration), Previous / Next key, the key marks of
// grid rows, and the status text that says an edit moved a whole curve.
//
// Every step keeps the states (TObjectState: value and tracks) of the properties it touches,
// before and after, each found by its place in the page (TObjectRef), never by pointer. The
// history does a step once (THistory::Do) and then undoes and redoes it by putting those states
// back, with automatic keying off, so undo and redo never add a key.
#include "composition/QvSystem.h"
#include "history/History.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

// ---- properties and their keys --------------------------------------------------------------

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

// ---- keys ---------------------------------------------------------------------------------

struct TKeyState {
  double Frame = 0;
  double Value = 0;
  std::string Str;
  std::int32_t Tag = 0;
  friend bool operator==(const TKeyState&, const TKeyState&) = default;
};

// Rewrites a track with the keys as listed (frames unique), keeping its out-of-range modes.
void SetTrackKeys(Tkeys& Track, std::span<const TKeyState> Keys);
std::vector<TKeyState> TrackKeys(const Tkeys& Track);

// ---- steps ---------------------------------------------------------------------------------

// A key command as a step of the history. The first Redo (THistory::Do) takes the states of the
// targets, runs the command and takes their states after it; Undo and later Redos put those
// states back.
class TKeyStep final : public TStep {
 public:
  using TOperation = std::function<void(TQVSystem&)>;
  TKeyStep(std::string Name, std::vector<TObjectRef> Targets, TOperation Operation);
  void Undo(THistory& H) override;
  void Redo(THistory& H) override;
  // The targets' layer is selected (the page's own properties: nothing is; several layers: the
  // selection stays).
  int SelectAfter(bool Undone) const override;
  const std::vector<TObjectRef>& Targets() const { return fTargets; }

 private:
  std::vector<TObjectRef> fTargets;
  TOperation fOperation;
  std::vector<TObjectState> fBefore;
  std::vector<TObjectState> fAfter;
  bool fDone = false;
};

// The key commands on a grid row or a track (Targets as KeyTargets gives them, or any properties:
// groups stand for their tracked properties), as steps for THistory::Do, not done yet. Each
// answers none when it would change nothing. Named after the properties they change and their
// layer: "Add Key to X of logo", "Delete Key from logo" (several properties of the layer), "Clear
// Animation of Font.FontColor of Text000" (several of one group), "Add Key to Duration of the page".
std::unique_ptr<TStep> AddKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame);
std::unique_ptr<TStep> DeleteKeyStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame);
std::unique_ptr<TStep> ClearAnimationStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets);
// Both ends of every existing track (the file keeps the out-of-range one).
std::unique_ptr<TStep> AnimationTypeStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets,
                                         Tanimationtype Type);
// Between the key at or before Frame and the next one, on every track that has both: a key on
// every whole frame between them on the cosine curve (slow out of the first key, slow into the
// second), values kept to the file's four decimals. The file stores straight segments only, so the
// ease is baked into keys.
std::unique_ptr<TStep> EaseStep(TQVSystem& Sys, std::span<TBaseProperty* const> Targets, std::int32_t Frame);
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
// The timeline's keys moved by the shift AllowedKeyShift allows, or deleted: "Move Keys of logo",
// "Delete Key of logo"; keys of several layers: "Move Keys".
std::unique_ptr<TStep> MoveKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys, std::int32_t Delta);
std::unique_ptr<TStep> DeleteKeysStep(TQVSystem& Sys, std::span<const TKeyRef> Keys);

// A layer's in-point and duration (frames), as a timeline bar drag leaves them: "Move strap in
// time" (the duration kept), "Change Timing of strap". Set without automatic keys: timing is not
// animation.
std::unique_ptr<TStep> LayerTimingStep(TQVSystem& Sys, TLayer& Layer, std::int32_t LayerIN, std::int32_t Duration);

// ---- curve shift ---------------------------------------------------------------------------

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

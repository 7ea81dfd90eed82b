#pragma once
// The animation registry: for every animated object (a property or a container) a record of 16
// track slots, the current slot, the slots taking part in evaluation, automatic keying and the
// queue of one-shot frame procedures. One per page: the page's objects reach it through their
// owner, and only the thread that runs the page uses it.
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "animation/UBezier.h"

namespace qv {

constexpr int kAnimationSlots = 16;

struct TAnimRec {
  std::array<std::unique_ptr<Tkeys>, kAnimationSlots> AnimationList;  // owned tracks
  std::uint16_t Occupied = 0;  // bit n set: AnimationList[n] holds a track (the registry keeps it)
};

struct TAnimationRec {
  bool enabled = false;
};

using TAnimationProc = void (*)(void* Data);

struct TProcRec {
  TAnimationProc Proc = nullptr;
  std::int32_t Frame = 0;
  void* Data = nullptr;
};

class TAnimationManager {
 public:
  TAnimationManager();  // slot 0 enabled, the others disabled
  ~TAnimationManager();
  TAnimationManager(const TAnimationManager&) = delete;
  TAnimationManager& operator=(const TAnimationManager&) = delete;

  std::int32_t Slot = 0;           // current slot, used for aslot == -1
  bool AutoAnimationMode = false;  // automatic keying
  double Frame = 0.0;              // the frame automatic keys are set at
  std::array<TAnimationRec, kAnimationSlots> Anims;

  // The track of Sender in aslot (-1: the current slot, Slot mod 16). With ForceCreation a
  // missing record and track are created. A slot outside 0..15 (an explicit one, or a negative
  // current Slot) addresses no track: the answer is none and nothing is created.
  Tkeys* getAnimation(const void* Sender, bool ForceCreation, int aslot = -1);
  // The track in Slot mod 16, or none; never creates. A negative remainder gives none.
  Tkeys* trygetAnimation(const void* Sender, int Slot) const;
  // The record of Sender, or none; the fast path of frame evaluation (one lookup for 16 slots).
  const TAnimRec* Find(const void* Sender) const;

  void Remove(const void* obj);
  void DeleteAnimation(const void* Sender) { Remove(Sender); }

  // Stores f in Frame and fires, in queue order, every queued procedure whose frame is reached.
  // A procedure is taken off the queue before it runs, so it may queue others or call SetFrame.
  void SetFrame(double f);
  void addProc(TAnimationProc P, std::int32_t Frame, void* Data);
  void SetAutoAnimation(bool Value) { AutoAnimationMode = Value; }

  void GetValue(const void* Sender) { getAnimation(Sender, false); }
  void SetValue(const void* Sender) { getAnimation(Sender, true); }

  std::size_t RegisteredCount() const { return animations.size(); }
  std::size_t QueuedProcs() const { return Procs.size(); }
  // Changes whenever a record is created or removed, and only then: a record found while it
  // holds one value is still the object's record (at the same address) while it holds it.
  std::uint64_t Revision() const { return fRevision; }
  // Changes whenever an object tree of the page gains a child (containers that skip children
  // without tracks in SetFrame look again).
  std::uint64_t TreeRevision() const { return fTreeRevision; }
  void NoteTreeChanged() { ++fTreeRevision; }

 private:
  std::uint64_t fRevision = 0;
  std::uint64_t fTreeRevision = 0;
  std::unordered_map<const void*, std::unique_ptr<TAnimRec>> animations;
  std::vector<TProcRec> Procs;
};

}  // namespace qv

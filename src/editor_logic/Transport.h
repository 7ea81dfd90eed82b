#pragma once
// The editor's transport: which frame of the page to show while it plays. Frames come from a
// steady clock, not from counting timer ticks: frame slot n begins n * 40 ms after playback started
// (or changed speed), and a slot that passed while the editor was busy is dropped, never shown late,
// so after 60 s of play the page is at frame 1500 however slow the machine was. Play, pause, stop,
// loop, J / K / L with speeds doubling up to 8x either way, steps and the two ends; no toolkit, so
// tests drive it with a clock they move by hand.
#include "base/FrameRate.h"
#include "video/Pacer.h"

#include <cstdint>
#include <functional>

namespace qv {

class TQVSystem;

// The frames playback runs over: those at which the page's Duration (seconds) still shows a layer
// (frame / 25 < Duration), at least one.
std::int32_t PlaybackFrames(double DurationSeconds);
std::int32_t PlaybackFrames(const TQVSystem& Sys);

class TTransport {
 public:
  static constexpr std::int32_t kMaxSpeed = 8;

  // Clock: microseconds of a steady clock (its sleep is never used). Not owned.
  explicit TTransport(video::TPaceClock& Clock, std::int64_t PeriodUs = kMsPerFrame * 1000)
      : fClock(Clock), fPeriod(PeriodUs) {}

  // Playback covers frames 0 .. End - 1 (at least one frame).
  void SetEnd(std::int32_t Frames);
  std::int32_t End() const { return fEnd; }
  std::int32_t LastFrame() const { return fEnd - 1; }
  // Looping playback wraps at the ends; without, it pauses on the last (or, in reverse, the first)
  // frame.
  void SetLoop(bool Value);
  bool Loop() const { return fLoop; }

  std::int32_t Frame() const { return fFrame; }
  // Frames moved per frame slot: 1, 2, 4, 8 forward, -1 … -8 in reverse, 0 while paused.
  std::int32_t Speed() const { return fSpeed; }
  bool Playing() const { return fSpeed != 0; }

  // Space: plays forward at normal speed from the current frame, or pauses when playing. Playing
  // from the last frame without looping starts from the first.
  void TogglePlay();
  void Play() { StartAt(1); }
  void Pause();
  // Pauses and goes back to the page's start.
  void Stop();
  // L: forward at normal speed, or twice as fast when already playing forward (up to 8x).
  void Forward();
  // J: the same in reverse.
  void Reverse();
  // K.
  void Hold() { Pause(); }
  // Scrubbing the ruler or typing a time: pauses on the frame (never below 0; beyond the end is
  // allowed, the ruler reaches further than the Duration).
  void Seek(std::int32_t Frame);
  void StepForward() { Seek(fFrame + 1); }
  void StepBack() { Seek(fFrame - 1); }
  void GoToStart() { Seek(0); }
  void GoToEnd() { Seek(LastFrame()); }

  // Reads the clock: when a new frame slot began since the last call, moves Frame on by the speed
  // times the slots passed, counts the slots nobody showed as dropped and answers true (a frame
  // is due). Answers false while paused or within the slot already shown.
  bool Tick();
  // Microseconds until the next frame slot begins (0 when one is due now; -1 while paused).
  std::int64_t UsUntilNextFrame() const;

  // Since the transport was made: frame slots shown, slots that passed unshown, and their sum.
  std::int64_t Shown() const { return fShown; }
  std::int64_t Dropped() const { return fDropped; }
  std::int64_t Due() const { return fShown + fDropped; }
  void ResetCounts() {
    fShown = 0;
    fDropped = 0;
  }

  // Raised whenever Frame, Speed or Loop change (from a command or from Tick).
  std::function<void()> OnChange;

 private:
  // Plays at Speed from the current frame, the current frame being slot 0 and already shown.
  void StartAt(std::int32_t Speed);
  // The frame Slots slots after the anchor, wrapped or held at the ends.
  std::int32_t FrameAfter(std::int64_t Slots, bool& Ended) const;
  void Changed() const {
    if (OnChange) OnChange();
  }

  video::TPaceClock& fClock;
  std::int64_t fPeriod;
  std::int32_t fEnd = 1;
  bool fLoop = false;
  std::int32_t fFrame = 0;
  std::int32_t fSpeed = 0;
  std::int64_t fStartUs = 0;     // when the anchor frame's slot began
  std::int32_t fAnchor = 0;      // the frame shown in slot 0
  std::int64_t fLastSlot = 0;    // the slot last shown
  std::int64_t fShown = 0;
  std::int64_t fDropped = 0;
};

}  // namespace qv

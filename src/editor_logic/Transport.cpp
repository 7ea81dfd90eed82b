#include "editor_logic/Transport.h"

#include "composition/QvSystem.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qv {

std::int32_t PlaybackFrames(double DurationSeconds) {
  constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max() / 2;
  if (!(DurationSeconds > 0)) return 1;  // NaN too
  if (DurationSeconds * kFramesPerSecond >= kMost) return kMost;
  // The frames f with f / 25 < Duration, compared as the composition compares them.
  auto shows = [&](std::int32_t f) { return DurationSeconds > f / double(kFramesPerSecond); };
  auto n = static_cast<std::int32_t>(std::ceil(DurationSeconds * kFramesPerSecond));
  while (n > 0 && !shows(n - 1)) --n;
  while (shows(n)) ++n;
  return std::max(n, 1);
}

std::int32_t PlaybackFrames(const TQVSystem& Sys) { return PlaybackFrames(Sys.Duration()); }

void TTransport::SetEnd(std::int32_t Frames) { fEnd = std::max(Frames, 1); }

void TTransport::SetLoop(bool Value) {
  if (Value == fLoop) return;
  fLoop = Value;
  if (Playing()) {
    // Go on from the frame shown, on the same slots.
    fStartUs += fLastSlot * fPeriod;
    fAnchor = fFrame;
    fLastSlot = 0;
  }
  Changed();
}

void TTransport::TogglePlay() {
  if (Playing())
    Pause();
  else
    Play();
}

void TTransport::Pause() {
  if (!Playing()) return;
  fSpeed = 0;
  Changed();
}

void TTransport::Stop() {
  fSpeed = 0;
  fFrame = 0;
  Changed();
}

void TTransport::Forward() { StartAt(fSpeed > 0 ? std::min(fSpeed * 2, kMaxSpeed) : 1); }

void TTransport::Reverse() { StartAt(fSpeed < 0 ? std::max(fSpeed * 2, -kMaxSpeed) : -1); }

void TTransport::Seek(std::int32_t Frame) {
  fSpeed = 0;
  fFrame = std::max(Frame, 0);
  Changed();
}

void TTransport::StartAt(std::int32_t Speed) {
  if (Playing()) {
    // A change of speed keeps the cadence: the next frame comes on the next slot.
    fStartUs += fLastSlot * fPeriod;
  } else {
    fStartUs = fClock.NowUs();
    // From an end that playback would stop at at once, start from the other end.
    if (!fLoop && Speed > 0 && fFrame >= LastFrame()) fFrame = 0;
    if (!fLoop && Speed < 0 && fFrame <= 0) fFrame = LastFrame();
    if (!fLoop && Speed < 0 && fFrame > LastFrame()) fFrame = LastFrame();
  }
  fAnchor = fFrame;
  fLastSlot = 0;
  fSpeed = Speed;
  Changed();
}

std::int32_t TTransport::FrameAfter(std::int64_t Slots, bool& Ended) const {
  Ended = false;
  const std::int64_t target = fAnchor + fSpeed * Slots;
  if (fLoop) {
    const std::int64_t m = target % fEnd;
    return static_cast<std::int32_t>(m < 0 ? m + fEnd : m);
  }
  if (target > LastFrame()) {
    Ended = true;
    return LastFrame();
  }
  if (target < 0) {
    Ended = true;
    return 0;
  }
  return static_cast<std::int32_t>(target);
}

bool TTransport::Tick() {
  if (!Playing()) return false;
  const std::int64_t elapsed = fClock.NowUs() - fStartUs;
  if (elapsed < 0) return false;
  const std::int64_t slot = elapsed / fPeriod;
  if (slot <= fLastSlot) return false;
  fDropped += slot - fLastSlot - 1;
  ++fShown;
  fLastSlot = slot;
  bool ended = false;
  fFrame = FrameAfter(slot, ended);
  if (ended) fSpeed = 0;
  Changed();
  return true;
}

std::int64_t TTransport::UsUntilNextFrame() const {
  if (!Playing()) return -1;
  const std::int64_t next = fStartUs + (fLastSlot + 1) * fPeriod;
  return std::max<std::int64_t>(next - fClock.NowUs(), 0);
}

}  // namespace qv

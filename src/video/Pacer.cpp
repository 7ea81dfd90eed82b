#include "video/Pacer.h"

#include <chrono>
#include <thread>

namespace qv::video {

std::int64_t TSteadyPaceClock::NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void TSteadyPaceClock::SleepUntilUs(std::int64_t us) {
  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::microseconds(us)));
}

std::int64_t TPacer::Next() {
  const std::int64_t now = fClock.NowUs();
  if (fNext == 0) {
    fStart = now;
    fNext = 1;
    return 0;
  }
  std::int64_t frame = fNext;
  // The slot running now; a frame before it is too late to send.
  const std::int64_t current = (now - fStart) / fPeriod;
  if (current > frame) {
    fDropped += current - frame;
    frame = current;
  }
  const std::int64_t due = fStart + frame * fPeriod;
  if (due > now) fClock.SleepUntilUs(due);
  fNext = frame + 1;
  return frame;
}

void TPacer::CountMissed() {
  if (fNext == 0) return;
  // Slots fNext .. current - 1 began and ended without a frame.
  const std::int64_t current = (fClock.NowUs() - fStart) / fPeriod;
  if (current > fNext) {
    fDropped += current - fNext;
    fNext = current;
  }
}

}  // namespace qv::video

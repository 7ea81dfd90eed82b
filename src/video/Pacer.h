#pragma once
// Live playout's pacing: frame n is due n * 40 ms after the first. A frame that could not go out
// in its slot (the consumer took too long over the ones before) is dropped, never sent late, so
// the picture keeps time with the clock. Pure logic over a clock interface, so that tests step
// time by hand.
#include <cstdint>
#include "base/FrameRate.h"

namespace qv::video {

class TPaceClock {
 public:
  virtual ~TPaceClock() = default;
  // Microseconds of a steady clock.
  virtual std::int64_t NowUs() = 0;
  virtual void SleepUntilUs(std::int64_t Us) = 0;
};

// std::chrono::steady_clock and a sleep until a time point.
class TSteadyPaceClock final : public TPaceClock {
 public:
  std::int64_t NowUs() override;
  void SleepUntilUs(std::int64_t Us) override;
};

class TPacer {
 public:
  explicit TPacer(TPaceClock& Clock, std::int64_t PeriodUs = kMsPerFrame * 1000) : fClock(Clock), fPeriod(PeriodUs) {}

  // The number of the frame to send now: waits for its slot to begin; frames whose slot passed
  // while the caller was busy are skipped and counted as dropped. The first call starts the clock
  // and returns 0.
  std::int64_t Next();

  // When the playout stops while a frame is still going out (a consumer that stopped reading):
  // the slots that passed since, up to the one running now, count as dropped too.
  void CountMissed();

  std::int64_t Dropped() const { return fDropped; }
  std::int64_t Sent() const { return fNext; }  // frames handed out so far, dropped ones included

 private:
  TPaceClock& fClock;
  std::int64_t fPeriod;
  std::int64_t fStart = 0;
  std::int64_t fNext = 0;  // the earliest frame the next call may return
  std::int64_t fDropped = 0;
};

}  // namespace qv::video

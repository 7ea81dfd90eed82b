#pragma once
// Time as the engine sees it: a 32-bit wrapping millisecond tick count (the composition resets
// its frame after a long pause) and the local time of day (clock layers). Both are injectable so
// that a renderer asking for one frame, or a test, gets repeatable results.
#include <chrono>
#include <cstdint>
#include <ctime>

namespace qv {

class TTickSource {
 public:
  virtual ~TTickSource() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32.
  virtual std::uint32_t TickCount() = 0;
};

struct TTimeOfDay {
  int Hour = 0;         // 0..23
  int Minute = 0;       // 0..59
  int Second = 0;       // 0..59
  int Millisecond = 0;  // 0..999
  friend bool operator==(const TTimeOfDay&, const TTimeOfDay&) = default;
};

class TTimeOfDaySource {
 public:
  virtual ~TTimeOfDaySource() = default;
  virtual TTimeOfDay Now() = 0;
};

// The machine's monotonic clock.
class TSteadyTickSource final : public TTickSource {
 public:
  std::uint32_t TickCount() override {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
  }
};

// A tick count that moves only when told to: a renderer that composes a chosen frame never sees a
// pause, and tests can step over the reset threshold or the wrap of the counter.
class TManualTickSource final : public TTickSource {
 public:
  explicit TManualTickSource(std::uint32_t Start = 0) : fNow(Start) {}
  std::uint32_t TickCount() override { return fNow; }
  void Set(std::uint32_t Now) { fNow = Now; }
  void Advance(std::uint32_t Ms) { fNow += Ms; }  // wraps like the real counter

 private:
  std::uint32_t fNow;
};

// The machine's local time of day.
class TSystemTimeOfDay final : public TTimeOfDaySource {
 public:
  TTimeOfDay Now() override {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms < 0 ? ms + 1000 : ms)};
  }
};

// A fixed time of day that advances only when told to (40 ms per frame in a rendered sequence).
class TFixedTimeOfDay final : public TTimeOfDaySource {
 public:
  explicit TFixedTimeOfDay(TTimeOfDay Start) : fMs(ToMs(Start)) {}
  TTimeOfDay Now() override {
    const std::int64_t ms = fMs;
    return {static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
            static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
  }
  void Advance(std::int64_t Ms) {
    constexpr std::int64_t day = 24LL * 3600 * 1000;
    fMs = ((fMs + Ms) % day + day) % day;
  }

 private:
  static std::int64_t ToMs(const TTimeOfDay& T) {
    return ((static_cast<std::int64_t>(T.Hour) * 60 + T.Minute) * 60 + T.Second) * 1000 +
           T.Millisecond;
  }
  std::int64_t fMs;
};

}  // namespace qv

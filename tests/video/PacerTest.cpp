// Live playout's pacing with a clock the test moves by hand: frames go out on their slots, a slow
// consumer costs frames (never a late frame), and the count of drops is right.
#include "video/Pacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::test {
namespace {

class TFakeClock final : public video::TPaceClock {
 public:
  std::int64_t now = 1'000'000;  // an arbitrary start
  std::vector<std::int64_t> sleeps;
  std::int64_t NowUs() override { return now; }
  void SleepUntilUs(std::int64_t us) override {
    sleeps.push_back(us);
    if (us > now) now = us;
  }
};

struct TCase {
  const char* name;
  std::vector<std::int64_t> work;     // microseconds the caller spends on each frame it gets
  std::vector<std::int64_t> frames;   // the frame numbers handed out
  std::int64_t dropped;
};

TEST(Pacer, FramesKeepTheirSlots) {
  const std::vector<TCase> cases = {
      {"fast consumer", {1000, 1000, 1000, 1000}, {0, 1, 2, 3}, 0},
      {"exactly one slot each", {40000, 40000, 40000}, {0, 1, 2}, 0},
      // 50 ms on frame 0: frame 1's slot (40..80 ms) is still running at 50 ms, so it goes out.
      {"a little late", {50000, 1000, 1000}, {0, 1, 2}, 0},
      // 130 ms on frame 0: slots 1 and 2 have passed; frame 3 goes out, two are dropped.
      {"one long stall", {130000, 1000, 1000}, {0, 3, 4}, 2},
      {"slow throughout", {100000, 100000, 100000}, {0, 2, 5}, 3},
  };
  for (const TCase& c : cases) {
    TFakeClock clock;
    const std::int64_t start = clock.now;
    video::TPacer pacer(clock);
    std::vector<std::int64_t> got;
    for (std::int64_t w : c.work) {
      const std::int64_t n = pacer.Next();
      got.push_back(n);
      // Never before its slot, never after it.
      EXPECT_GE(clock.now, start + n * 40000) << c.name;
      EXPECT_LT(clock.now, start + (n + 1) * 40000) << c.name;
      clock.now += w;
    }
    EXPECT_EQ(got, c.frames) << c.name;
    EXPECT_EQ(pacer.Dropped(), c.dropped) << c.name;
  }
}

// A stop while frame 2 still goes out, 330 ms after frame 0 began: slots 3 to 7 went by without
// a frame; slot 8, running now, is not missed yet. Counting twice counts nothing more.
TEST(Pacer, SlotsAStalledWriteMissedAreCountedAtTheStop) {
  TFakeClock clock;
  video::TPacer pacer(clock);
  const std::int64_t start = clock.now;
  pacer.CountMissed();
  EXPECT_EQ(pacer.Dropped(), 0) << "nothing was due before the first frame";
  EXPECT_EQ(pacer.Next(), 0);
  EXPECT_EQ(pacer.Next(), 1);
  EXPECT_EQ(pacer.Next(), 2);
  clock.now = start + 330000;
  pacer.CountMissed();
  EXPECT_EQ(pacer.Dropped(), 5);
  pacer.CountMissed();
  EXPECT_EQ(pacer.Dropped(), 5);
  EXPECT_EQ(pacer.Next(), 8);
  EXPECT_EQ(pacer.Dropped(), 5);
}

TEST(Pacer, AFastConsumerWaitsForEachSlot) {
  TFakeClock clock;
  video::TPacer pacer(clock);
  const std::int64_t start = clock.now;
  for (int i = 0; i < 4; ++i) pacer.Next();
  EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{start + 40000, start + 80000, start + 120000}));
}

}  // namespace
}  // namespace qv::test

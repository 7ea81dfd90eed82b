// The editor's transport with a clock the test moves by hand: frames keep time with the clock
// however long each frame takes (slow frames are dropped, never shown late), loops wrap at the
// page's Duration, J / K / L change speed and direction, and steps, seeks and the ends pause.
#include "editor_logic/Transport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace qv::test {
namespace {

class TFakeClock final : public video::TPaceClock {
 public:
  std::int64_t now = 5'000'000;  // an arbitrary start
  std::int64_t NowUs() override { return now; }
  void SleepUntilUs(std::int64_t us) override { ADD_FAILURE() << "the transport never sleeps"; }
};

constexpr std::int64_t kSlot = 40'000;

TEST(Transport, SixtySecondsOfPlayReachFrame1500HoweverLongFramesTake) {
  struct {
    const char* name;
    std::vector<std::int64_t> costs;  // microseconds each frame takes, repeated
    bool drops;
  } cases[] = {
      {"an idle machine polling every millisecond", {1000}, false},
      {"exactly one slot a frame", {40000}, false},
      {"a frame of 41 ms", {41000}, true},
      {"every frame 100 ms", {100000}, true},
      {"a stall of 1.3 s now and then", {20000, 20000, 1'300'000, 20000}, true},
      {"uneven", {13000, 77000, 5000, 39000, 61000}, true},
  };
  for (const auto& c : cases) {
    TFakeClock clock;
    TTransport t(clock);
    t.SetEnd(10'000);
    t.Play();
    const std::int64_t start = clock.now;
    std::size_t i = 0;
    while (clock.now - start < 60'000'000) {
      t.Tick();
      clock.now += c.costs[i++ % c.costs.size()];
    }
    clock.now = start + 60'000'000;
    t.Tick();
    EXPECT_NEAR(t.Frame(), 1500, 1) << c.name;
    EXPECT_TRUE(t.Playing()) << c.name;
    EXPECT_EQ(t.Due(), 1500) << c.name;  // every slot is either shown or dropped
    EXPECT_EQ(t.Shown() + t.Dropped(), t.Due()) << c.name;
    if (c.drops)
      EXPECT_GT(t.Dropped(), 0) << c.name;
    else
      EXPECT_EQ(t.Dropped(), 0) << c.name;
  }
}

TEST(Transport, ASlowFrameDropsTheSlotsItCoveredAndTheNextFrameIsOnTime) {
  TFakeClock clock;
  TTransport t(clock);
  t.SetEnd(1000);
  t.Play();
  struct {
    std::int64_t advance;  // microseconds since the previous step
    bool due;
    std::int32_t frame;
    std::int64_t dropped;
  } steps[] = {
      {0, false, 0, 0},          // frame 0 shows as play starts
      {39'999, false, 0, 0},     // still its slot
      {1, true, 1, 0},           // slot 1 begins
      {40'000, true, 2, 0},
      {130'000, true, 5, 2},     // a frame of 130 ms: slots 3 and 4 passed unshown
      {10'000, false, 5, 2},
      {20'000, true, 6, 2},      // and slot 6 comes on its time (240 ms)
  };
  for (const auto& s : steps) {
    clock.now += s.advance;
    EXPECT_EQ(t.Tick(), s.due) << "at " << s.frame;
    EXPECT_EQ(t.Frame(), s.frame);
    EXPECT_EQ(t.Dropped(), s.dropped);
  }
  EXPECT_EQ(t.UsUntilNextFrame(), 40'000);
  clock.now += 25'000;
  EXPECT_EQ(t.UsUntilNextFrame(), 15'000);
  t.Pause();
  EXPECT_EQ(t.UsUntilNextFrame(), -1);
  EXPECT_FALSE(t.Tick());
}

TEST(Transport, PlaybackWrapsOrStopsAtTheEnds) {
  struct {
    const char* name;
    std::int32_t from;
    bool loop;
    const char* key;  // "L" forward, "J" reverse
    std::int64_t slots;
    std::int32_t frame;
    bool playing;
  } cases[] = {
      {"loop wraps at the Duration", 0, true, "L", 100, 25, true},
      {"loop lands on the first frame", 0, true, "L", 75, 0, true},
      {"without loop the last frame holds", 0, false, "L", 100, 74, false},
      {"the last frame itself", 0, false, "L", 74, 74, true},
      {"reverse wraps to the end", 10, true, "J", 11, 74, true},
      {"reverse stops on the first frame", 10, false, "J", 11, 0, false},
      {"play from the last frame starts over", 74, false, "L", 5, 5, true},
      {"reverse from the first frame starts at the end", 0, false, "J", 4, 70, true},
      {"play from beyond the Duration without loop starts over", 200, false, "L", 3, 3, true},
      {"play from beyond the Duration with loop wraps", 200, true, "L", 3, 53, true},
  };
  for (const auto& c : cases) {
    TFakeClock clock;
    TTransport t(clock);
    t.SetEnd(PlaybackFrames(3.0));  // the page lasts 3 s: frames 0 .. 74
    t.SetLoop(c.loop);
    t.Seek(c.from);
    if (std::string(c.key) == "L")
      t.Forward();
    else
      t.Reverse();
    clock.now += c.slots * kSlot;
    t.Tick();
    EXPECT_EQ(t.Frame(), c.frame) << c.name;
    EXPECT_EQ(t.Playing(), c.playing) << c.name;
  }
}

TEST(Transport, JklAndSpaceSetSpeedAndDirection) {
  struct {
    const char* keys;  // one letter a key: J, K, L, and S for Space
    std::int32_t speed;
    std::int32_t frameAfter10Slots;  // from frame 500
  } cases[] = {
      {"L", 1, 510},      {"LL", 2, 520},     {"LLL", 4, 540},    {"LLLL", 8, 580},
      {"LLLLL", 8, 580},  {"J", -1, 490},     {"JJ", -2, 480},    {"JJJJJ", -8, 420},
      {"LLJ", -1, 490},   {"JJL", 1, 510},    {"LLK", 0, 500},    {"S", 1, 510},
      {"SS", 0, 500},     {"JS", 0, 500},     {"KS", 1, 510},     {"LLKL", 1, 510},
  };
  for (const auto& c : cases) {
    TFakeClock clock;
    TTransport t(clock);
    t.SetEnd(1000);
    t.Seek(500);
    for (const char* k = c.keys; *k != 0; ++k) {
      switch (*k) {
        case 'J': t.Reverse(); break;
        case 'K': t.Hold(); break;
        case 'L': t.Forward(); break;
        case 'S': t.TogglePlay(); break;
      }
    }
    EXPECT_EQ(t.Speed(), c.speed) << c.keys;
    clock.now += 10 * kSlot;
    t.Tick();
    EXPECT_EQ(t.Frame(), c.frameAfter10Slots) << c.keys;
  }
}

TEST(Transport, ASpeedChangeKeepsTheCadenceAndGoesOnFromTheFrameShown) {
  TFakeClock clock;
  TTransport t(clock);
  t.SetEnd(1000);
  t.Play();
  clock.now += 3 * kSlot + 10'000;  // 10 ms into slot 3
  t.Tick();
  ASSERT_EQ(t.Frame(), 3);
  t.Forward();  // 2x
  EXPECT_EQ(t.UsUntilNextFrame(), 30'000);
  clock.now += 30'000;
  EXPECT_TRUE(t.Tick());
  EXPECT_EQ(t.Frame(), 5);
  t.SetLoop(true);  // from the same frame, on the same slots
  EXPECT_EQ(t.UsUntilNextFrame(), 40'000);
  clock.now += 40'000;
  t.Tick();
  EXPECT_EQ(t.Frame(), 7);
}

TEST(Transport, StepsSeeksAndTheEndsPause) {
  struct {
    const char* name;
    void (*action)(TTransport&);
    std::int32_t frame;
  } cases[] = {
      {"step forward", [](TTransport& t) { t.StepForward(); }, 41},
      {"step back", [](TTransport& t) { t.StepBack(); }, 39},
      {"go to start", [](TTransport& t) { t.GoToStart(); }, 0},
      {"go to end", [](TTransport& t) { t.GoToEnd(); }, 74},
      {"stop", [](TTransport& t) { t.Stop(); }, 0},
      {"scrub", [](TTransport& t) { t.Seek(12); }, 12},
      {"scrub below the start", [](TTransport& t) { t.Seek(-5); }, 0},
      {"a typed time beyond the Duration", [](TTransport& t) { t.Seek(300); }, 300},
  };
  for (const auto& c : cases) {
    TFakeClock clock;
    TTransport t(clock);
    t.SetEnd(75);
    t.Seek(40);
    t.Forward();
    int changes = 0;
    t.OnChange = [&] { ++changes; };
    c.action(t);
    EXPECT_EQ(t.Frame(), c.frame) << c.name;
    EXPECT_FALSE(t.Playing()) << c.name;
    EXPECT_GE(changes, 1) << c.name;
    clock.now += 10 * kSlot;
    EXPECT_FALSE(t.Tick()) << c.name;
    EXPECT_EQ(t.Frame(), c.frame) << c.name;
  }
  TFakeClock clock;
  TTransport t(clock);
  t.StepBack();
  EXPECT_EQ(t.Frame(), 0);
}

TEST(Transport, PlaybackCoversTheFramesTheDurationShows) {
  struct {
    double seconds;
    std::int32_t frames;
  } cases[] = {{10.0, 250}, {3.0, 75}, {1.001, 26}, {0.05, 2}, {0.02, 1}, {0.0, 1}, {-4.0, 1},
               {std::numeric_limits<double>::quiet_NaN(), 1}, {1e300, std::numeric_limits<std::int32_t>::max() / 2}};
  for (const auto& c : cases) EXPECT_EQ(PlaybackFrames(c.seconds), c.frames) << c.seconds;
}

}  // namespace
}  // namespace qv::test

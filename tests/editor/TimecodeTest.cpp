#include "model/Timecode.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::test {
namespace {

TEST(Timecode, MiliToTC) {
  struct Case {
    std::int32_t Ms;
    std::uint8_t Rate;
    const char* Expected;
  };
  const Case cases[] = {
      {0, 25, "00:00:00.00"},
      {-5, 25, "00:00:00.00"},
      {1500, 25, "00:00:01.12"},      // 500 ms is 12 whole frames of 40 ms
      {3723040, 25, "01:02:03.01"},
      {39, 25, "00:00:00.00"},         // under one frame
      {40, 25, "00:00:00.01"},
      {999, 25, "00:00:00.24"},        // never frame 25
      {86399960, 25, "23:59:59.24"},
      {360000000, 25, "100:00:00.00"},  // hours above 99 widen the text
      {2147483647, 25, "596:31:23.16"},
      {1500, 30, "00:00:01.15"},       // 33 ms frames
  };
  for (const Case& c : cases) EXPECT_EQ(MiliToTC(c.Ms, c.Rate), c.Expected) << c.Ms;
}

TEST(Timecode, TCToMili) {
  struct Case {
    const char* Text;
    std::int32_t Expected;
  };
  const Case cases[] = {
      {"00:00:01.12", 1480},
      {"01:02:03.01", 3723040},
      {"00:00:00.00", 0},
      {"23:59:59.24", 86399960},
      {"ab:00:00.00", -1},   // hour characters are letters
      {"00:0x:00.00", -1},
      {"00:00:00.", -1},     // no frames
      {"", -1},
      {"00-01-02-03", 62120},  // the separators are not examined
      {"100:00:00.00", -1},    // the fixed places read "10" and "0:"
  };
  for (const Case& c : cases) EXPECT_EQ(TCToMili(c.Text), c.Expected) << c.Text;
}

TEST(Timecode, OneAndAHalfSecondsComeBackAsWholeFrames) {
  TTimecodeState s;
  s.GetMilisecs(1500);
  EXPECT_EQ(s.Text, "00:00:01.12");
  EXPECT_DOUBLE_EQ(s.tm(), 1.48);
  s.DoExit();
  EXPECT_EQ(s.FMilisecs, 1480);
}

TEST(Timecode, GoodFormat) {
  struct Case {
    const char* Text;
    bool Expected;
  };
  const Case cases[] = {
      {"23:59:59.24", true},  {"00:00:00.00", true},  {"24:00:00.00", false},
      {"00:60:00.00", false}, {"00:00:60.00", false}, {"00:00:00.25", false},
      {"0:00:00.00", false},  {"00-00-00-00", false}, {"00:00:00:00", false},
      {"00:00:00.000", false}, {"0a:00:00.00", false}, {"30:00:00.00", false},
      {"100:00:00.00", false},
  };
  for (const Case& c : cases) {
    TTimecodeState s;
    s.Text = c.Text;
    EXPECT_EQ(s.GoodFormat(), c.Expected) << c.Text;
  }
  // The limits are the field's own.
  TTimecodeState wide;
  wide.FMaxHours = 29;
  wide.Text = "24:00:00.00";
  EXPECT_TRUE(wide.GoodFormat());
}

TEST(Timecode, TmOfBadText) {
  TTimecodeState s;
  s.Text = "xx:00:00.00";
  EXPECT_DOUBLE_EQ(s.tm(), -0.001);
}

TEST(Timecode, LeavingWithBadTextKeepsTheTime) {
  TTimecodeState s;
  s.GetMilisecs(2000);
  s.Text = "00:0:00.00";
  s.DoExit();
  EXPECT_EQ(s.FMilisecs, 2000);
  s.Text = "00:00:03.01";
  s.DoExit();
  EXPECT_EQ(s.FMilisecs, 3040);
}

TEST(Timecode, PartSettersKeepWithinTheirMaxima) {
  TTimecodeState s;
  s.GetHours(24);  // above MaxHours 23
  EXPECT_EQ(s.Text, "00:00:00.00");
  EXPECT_EQ(s.FHours, 0);
  s.GetFrames(24);
  EXPECT_EQ(s.Text, "00:00:00.24");
  EXPECT_EQ(s.FMilisecs, 960);
  s.GetFrames(25);
  EXPECT_EQ(s.FFrames, 24);
  s.GetMins(60);
  s.GetSecs(60);
  EXPECT_EQ(s.Text, "00:00:00.24");
  s.GetHours(23);
  s.GetMins(59);
  s.GetSecs(59);
  EXPECT_EQ(s.Text, "23:59:59.24");
  EXPECT_EQ(s.FMilisecs, 86399960);
  // Hours above 99 are allowed when the maximum says so; the text widens and no longer converts.
  TTimecodeState big;
  big.FMaxHours = 200;
  big.GetHours(120);
  EXPECT_EQ(big.Text, "120:00:00.00");
  EXPECT_FALSE(big.GoodFormat());
}

TEST(Timecode, MilisecsSetterOnlyOnChange) {
  TTimecodeState s;
  s.Text = "typed";
  s.GetMilisecs(0);  // same value: text untouched
  EXPECT_EQ(s.Text, "typed");
  s.GetMilisecs(40);
  EXPECT_EQ(s.Text, "00:00:00.01");
}

TEST(Timecode, BadTimeResets) {
  TTimecodeState s;
  s.GetMilisecs(5000);
  s.FDoFrames = true;
  s.FOffset = true;
  s.BadTime();
  EXPECT_EQ(s.FMilisecs, -1);
  EXPECT_EQ(s.Text, "00:00:00.00");
  EXPECT_FALSE(s.FDoFrames);
  EXPECT_FALSE(s.FOffset);
}

TEST(Timecode, SecondsToTimecode) {
  struct Case {
    double Seconds;
    double Rate;
    const char* Expected;
  };
  const Case cases[] = {
      {0, 25, "00:00:00.00"},
      {3725.5, 25, "01:02:05.12"},   // 12.5 frames: halves to even
      {0.98, 25, "00:00:00.24"},     // 24.5 frames: halves to even, not 25
      {0.99, 25, "00:00:01.00"},     // 24.75 rounds to 25: the next second
      {59.99, 25, "00:01:00.00"},    // and on into the minutes
      {3599.99, 25, "01:00:00.00"},  // and the hours
      {1.5, 25, "00:00:01.12"},
      {0.5, 25, "00:00:00.12"},
      {360000.04, 25, "100:00:00.01"},
      {1.5, 30, "00:00:01.15"},
  };
  for (const Case& c : cases) EXPECT_EQ(SecondsToTimecode(c.Seconds, c.Rate), c.Expected) << c.Seconds;
}

}  // namespace
}  // namespace qv::test

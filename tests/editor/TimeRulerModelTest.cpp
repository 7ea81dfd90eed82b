#include "editor_logic/TimeRulerModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include <string>
#include <vector>

namespace qv::test {
namespace {

// A ruler that counts its notifications and keeps the bound field's text.
struct Ruler : ::testing::Test {
  Ruler() {
    r.OnChange = [this] { ++changes; };
    r.Repaint = [this] { ++repaints; };
  }
  void Bind() {
    r.OnFieldText = [this](const std::string& t) { field = t; };
  }
  std::vector<std::string> Labels() const {
    std::vector<TRulerTick> ticks;
    r.Ticks(ticks);
    std::vector<std::string> out;
    for (const TRulerTick& t : ticks)
      if (t.Major) out.push_back(t.Label);
    return out;
  }
  TTimeRulerModel r;
  int changes = 0;
  int repaints = 0;
  std::string field;
};

TEST_F(Ruler, ScaleTableRow) {
  struct Case {
    double Scale;
    std::int32_t FrameBlock, NbSteps;
    double Step;
  };
  const Case cases[] = {
      {0.75, 125, 25, 7.5},      // the default: 5 s blocks, 5-frame steps
      {7.0, 5, 5, 14.0},         // 35 px of 5 frames: the finest row
      {6.9, 25, 25, 13.8},
      {2.4, 25, 25, 4.8},        // 60 px of 25 frames
      {2.39, 125, 25, 23.9},
      {0.64, 125, 25, 6.4},      // 80 px of 125 frames
      {0.63, 250, 10, 31.5},
      {0.32, 250, 10, 16.0},
      {0.2, 500, 20, 10.0},      // 375 * 0.2 = 75 < 80
      {0.4, 250, 10, 20.0},
      {0.001, 90000, 10, 18.0},  // the coarsest row takes every smaller scale
  };
  for (const Case& c : cases) {
    r.SetScale(c.Scale);
    EXPECT_EQ(r.FrameBlock(), c.FrameBlock) << c.Scale;
    EXPECT_EQ(r.NbSteps(), c.NbSteps) << c.Scale;
    EXPECT_NEAR(r.Step(), c.Step, 1e-9) << c.Scale;
    EXPECT_NEAR(r.FrameSize(), 2 * c.Scale, 1e-9) << c.Scale;
    EXPECT_NEAR(r.PixelSize(), 1 / (2 * c.Scale), 1e-9) << c.Scale;
  }
  r.SetScale(0.75);
  EXPECT_DOUBLE_EQ(r.Step(), 7.5);
}

TEST_F(Ruler, Defaults) {
  TTimeRulerModel fresh;
  EXPECT_EQ(fresh.Debut(), 0);
  EXPECT_DOUBLE_EQ(fresh.Scale(), 0.75);
  EXPECT_EQ(fresh.LeftMargin(), 8);
  EXPECT_EQ(fresh.RightMargin(), 8);
  EXPECT_EQ(fresh.LastFrame(), 100);
  EXPECT_EQ(fresh.MouseMode(), -1);
  EXPECT_EQ(fresh.Frame(), 0);
  EXPECT_DOUBLE_EQ(fresh.FrameSize(), 1.5);
  EXPECT_DOUBLE_EQ(fresh.FrameWidth(), 1.5);
  EXPECT_FALSE(fresh.AutoScrolling());
}

TEST_F(Ruler, ClickInTheUpperHalfTakesTheNearestFrame) {
  r.ButtonDown(TRulerButton::rbLeft, 8 + 150, 10);
  EXPECT_EQ(r.Frame(), 100);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(r.FrameToPixel(r.Frame()), 158);
  EXPECT_EQ(r.LeftMargin() + r.FramePosition(), 158);
  EXPECT_EQ(r.MouseMode(), 0);
  EXPECT_TRUE(r.AutoScrolling());
  // 151 / 1.5 = 100.67: a click rounds, a drag takes the frame whose span holds the pointer.
  EXPECT_EQ(r.PixelToFrame(8 + 151), 101);
  r.MouseMove(8 + 151, 10);
  EXPECT_EQ(r.Frame(), 100);
  r.MouseMove(8 + 153, 10);
  EXPECT_EQ(r.Frame(), 102);
  r.MouseMove(-40, 10);  // left of the ruler: never below 0
  EXPECT_EQ(r.Frame(), 0);
  r.ButtonUp();
  EXPECT_EQ(r.MouseMode(), -1);
  EXPECT_FALSE(r.AutoScrolling());
  const int before = changes;
  r.MouseMove(300, 10);  // idle: moving changes nothing
  EXPECT_EQ(r.Frame(), 0);
  EXPECT_EQ(changes, before);
}

TEST_F(Ruler, ButtonsAndHalves) {
  struct Case {
    TRulerButton Button;
    std::int32_t Y;
    std::int32_t Mode;
    bool Scrolls;
  };
  const Case cases[] = {
      {TRulerButton::rbLeft, 27, 0, true},     // 27 < 56 div 2
      {TRulerButton::rbLeft, 28, 1, false},    // lower half pans
      {TRulerButton::rbRight, 5, 1, false},
      {TRulerButton::rbRight, 50, 1, false},
      {TRulerButton::rbMiddle, 5, -1, false},  // no mode
      {TRulerButton::rbMiddle, 40, 1, false},
  };
  for (const Case& c : cases) {
    r.ButtonDown(c.Button, 100, c.Y);
    EXPECT_EQ(r.MouseMode(), c.Mode) << c.Y;
    EXPECT_EQ(r.AutoScrolling(), c.Scrolls) << c.Y;
    r.ButtonUp();
  }
}

TEST_F(Ruler, AutoScrollLeftStopsAtZero) {
  r.SetDebut(40);
  r.ButtonDown(TRulerButton::rbLeft, 100, 10);
  std::vector<std::int32_t> debuts;
  for (int i = 0; i < 4; ++i) {
    r.AutoScrollStep(3);  // left of the 8-pixel margin
    debuts.push_back(r.Debut());
  }
  EXPECT_EQ(debuts, (std::vector<std::int32_t>{25, 10, 0, 0}));  // 15 = truncate(7.5 * 2)
  EXPECT_EQ(r.Frame(), 0);
}

TEST_F(Ruler, AutoScrollRightHasNoLimit) {
  r.ButtonDown(TRulerButton::rbLeft, 100, 10);
  for (int i = 1; i <= 200; ++i) {
    r.AutoScrollStep(r.Width() + 5);
    ASSERT_EQ(r.Debut(), 15 * i);
  }
  // The playhead follows the right end of the ruler area.
  EXPECT_EQ(r.Frame(), r.PixelToFrame(625 - 8));
  EXPECT_EQ(r.Frame(), 2000 + 406);
  const std::int32_t d = r.Debut();
  r.AutoScrollStep(300);  // inside: nothing
  EXPECT_EQ(r.Debut(), d);
  r.ButtonUp();
  r.AutoScrollStep(r.Width() + 5);  // no drag, no scroll
  EXPECT_EQ(r.Debut(), d);
}

TEST_F(Ruler, LosingCaptureEndsTheDrag) {
  r.ButtonDown(TRulerButton::rbLeft, 100, 10);
  ASSERT_TRUE(r.AutoScrolling());
  r.CaptureLost();
  EXPECT_FALSE(r.AutoScrolling());
  EXPECT_EQ(r.MouseMode(), -1);
  const std::int32_t f = r.Frame();
  r.AutoScrollStep(r.Width() + 5);
  r.MouseMove(400, 10);
  EXPECT_EQ(r.Debut(), 0);
  EXPECT_EQ(r.Frame(), f);
}

TEST_F(Ruler, PanningMovesTheViewNeverBelowZero) {
  r.ButtonDown(TRulerButton::rbRight, 300, 10);
  EXPECT_EQ(r.MouseMode(), 1);
  r.MouseMove(250, 10);  // pointer left: the view moves right
  EXPECT_EQ(r.Debut(), 50);
  r.MouseMove(260, 10);
  EXPECT_EQ(r.Debut(), 40);
  r.MouseMove(500, 10);
  EXPECT_EQ(r.Debut(), 0);
  r.MouseMove(450, 10);  // Dx followed the pointer even at 0
  EXPECT_EQ(r.Debut(), 50);
  EXPECT_EQ(r.Frame(), 0);  // panning never moves the playhead frame
  r.ButtonUp();
}

TEST_F(Ruler, SetFramePos) {
  Bind();
  r.SetFramePos(-10, true);
  EXPECT_EQ(r.Frame(), 0);
  EXPECT_EQ(changes, 1);
  r.SetFramePos(1537, true);
  EXPECT_EQ(field, "01:01:12");
  EXPECT_EQ(r.FramePosition(), 2305);  // truncate(1537 * 1.5)
  r.SetFramePos(40, false);  // moves the playhead without OnChange
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(r.FramePosition(), 60);
  EXPECT_EQ(field, "00:01:15");
}

TEST_F(Ruler, SetFrameCentres) {
  struct Case {
    std::int32_t Frame, Debut;
  };
  // Half of 625 is 312 pixels, 208 frames at 1.5 pixels.
  const Case cases[] = {{1000, 1500 - 312}, {100, 0}, {208, 0}, {-5, 0}};
  for (const Case& c : cases) {
    r.SetDebut(7);
    r.SetFrame(c.Frame);
    EXPECT_EQ(r.Debut(), c.Frame == 208 ? 7 : c.Debut) << c.Frame;  // 312 = half: unchanged
    EXPECT_EQ(r.LeftMargin() + r.FramePosition(), r.FrameToPixel(r.Frame())) << c.Frame;
  }
  r.SetFrame(1000);
  EXPECT_EQ(r.FramePosition(), 312);
}

TEST_F(Ruler, LabelsEveryFiveSecondsAtTheDefaultScale) {
  r.SetSize(3200, 56);
  std::vector<std::string> labels = Labels();
  labels.resize(14);
  EXPECT_EQ(labels, (std::vector<std::string>{"00s", "05s", "10s", "15s", "20s", "25s", "30s",
                                               "35s", "40s", "45s", "50s", "55s", "01:00s",
                                               "01:05s"}));
}

TEST_F(Ruler, TickWalk) {
  std::vector<TRulerTick> ticks;
  r.Ticks(ticks);
  ASSERT_GE(ticks.size(), 3u);
  EXPECT_EQ(ticks[0].X, 8);
  EXPECT_TRUE(ticks[0].Major);
  EXPECT_EQ(ticks[1].X, 15);  // truncate(15.5)
  EXPECT_FALSE(ticks[1].Major);
  EXPECT_EQ(ticks[25].X, 195);  // 8 + 187.5
  EXPECT_TRUE(ticks[25].Major);
  EXPECT_LE(ticks.back().X, 625 + 80);
  EXPECT_GT(ticks.back().X + 7.5, 625 + 80);
  // Scrolled into a block: the walk starts at the step left of the view and labels the next block.
  r.SetDebut(200);
  r.Ticks(ticks);
  EXPECT_EQ(ticks[0].X, 3);  // step 26: 8 - 200 + 195
  EXPECT_FALSE(ticks[0].Major);
  const auto major = std::find_if(ticks.begin(), ticks.end(), [](auto& t) { return t.Major; });
  ASSERT_NE(major, ticks.end());
  EXPECT_EQ(major->Label, "10s");
  EXPECT_EQ(major->X, 8 - 200 + 375);
}

TEST_F(Ruler, LabelAndFieldTexts) {
  struct Case {
    std::int32_t Frame;
    const char* Label;
    const char* Field;
  };
  const Case cases[] = {
      {0, "00s", "00:00:00"},
      {130, "05s:05f", "00:05:05"},
      {1500, "01:00s", "01:00:00"},
      {1537, "01:01s:12f", "01:01:12"},
      {90000, "00s", "00:00:00"},      // hours dropped
      {90000 + 1537, "01:01s:12f", "01:01:12"},
      {24, "00s:24f", "00:00:24"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TTimeRulerModel::LabelText(c.Frame), c.Label) << c.Frame;
    EXPECT_EQ(TTimeRulerModel::FieldText(c.Frame), c.Field) << c.Frame;
  }
}

TEST_F(Ruler, FieldEnter) {
  struct Case {
    const char* Text;
    std::int32_t Frame;
  };
  const Case cases[] = {
      {"01:01:12", 1537}, {"1a:00", 0}, {"12", 12},      {"3:04", 79},     {"", 0},
      {"::7", 7},         {"2::", 3000}, {"00:00:0-1", 0}, {"1.5", 0},      {"1:2:3:4", 4 + 75},
      {"99999999999", 0},  // a part that does not fit is invalid
  };
  Bind();
  for (const Case& c : cases) {
    r.SetFramePos(500, true);
    r.FieldEnter(c.Text);
    EXPECT_EQ(r.Frame(), c.Frame) << c.Text;
  }
  EXPECT_EQ(TTimeRulerModel::ParseFieldText("1:2:3:4"), 79);  // "1:2" as minutes is not a number
}

TEST_F(Ruler, SmallScalesStopInvertingFrames) {
  r.SetScale(0.4);
  EXPECT_DOUBLE_EQ(r.FrameSize(), 0.8);
  EXPECT_DOUBLE_EQ(r.FrameWidth(), 1.0);
  EXPECT_EQ(r.FrameToPixel(100), 8 + 80);
  EXPECT_EQ(r.PixelToFrame(r.FrameToPixel(100)), 80);
  EXPECT_EQ(r.PixelToFrame2(8 + 100), 100);
  r.SetDebut(50);
  EXPECT_EQ(r.PixelToFrame(8 + 100), 150);
  EXPECT_EQ(r.PixelToFrame2(8 + 100), 100);
}

TEST_F(Ruler, EveryLayoutChangeNotifies) {
  r.SetDebut(10);
  r.SetLeftMargin(12);
  r.SetRightMargin(4);
  r.SetLastFrame(5000);
  EXPECT_EQ(changes, 4);
  r.SetScale(1.5);  // its own recalculation, then SetFramePos
  EXPECT_EQ(changes, 6);
  EXPECT_EQ(r.FrameToPixel(10), 12 + 30 - 10);
  EXPECT_EQ(r.LastFrame(), 5000);
}

TEST_F(Ruler, ScalesWithoutTicksAreRefused) {
  for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    r.SetScale(bad);
    EXPECT_DOUBLE_EQ(r.Scale(), 0.75);
  }
  EXPECT_FALSE(Labels().empty());
}

}  // namespace
}  // namespace qv::test

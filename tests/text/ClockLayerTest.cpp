// The clock layer: the text built from the time of day and the format settings, what a draw
// notifies, the image kept while the time text stays, and the settings that change nothing.
#include "TextTestSupport.h"
#include "composition/ClockLayer.h"

#include <gtest/gtest.h>

#include <climits>

namespace qv::test {
namespace {

struct FormatCase {
  const char* name;
  bool h, m, s, ms;
  const char* sep;
  TTimeOfDay time;
  const char* expected;
};

TEST(ClockSettings, TextOfTheSettings) {
  const TTimeOfDay t{9, 5, 3, 7};
  const FormatCase cases[] = {
      {"defaults", true, true, true, false, ":", t, "09:05:03"},
      {"with milliseconds", true, true, true, true, ":", t, "09:05:03:007"},
      {"no hours, dot", false, true, true, false, ".", t, "05.03"},
      {"milliseconds only", false, false, false, true, ":", t, "007"},
      {"nothing", false, false, false, false, ":", t, ""},
      {"empty separator", true, true, true, false, "", t, "090503"},
      {"hours only", true, false, false, false, ":", t, "09"},
      {"hours and seconds", true, false, true, false, ":", t, "09:03"},
      {"long separator", true, true, false, false, " h ", t, "09 h 05"},
      {"end of day", true, true, true, true, ":", {23, 59, 59, 999}, "23:59:59:999"},
      {"midnight", true, true, true, true, ".", {0, 0, 0, 0}, "00.00.00.000"},
  };
  auto settings = Make<TClockSettings>();
  for (const FormatCase& c : cases) {
    settings->SetHours(c.h);
    settings->SetMinutes(c.m);
    settings->SetSeconds(c.s);
    settings->SetMilliSeconds(c.ms);
    settings->SetSeparator(c.sep);
    EXPECT_EQ(settings->Format(c.time), c.expected) << c.name;
  }
}

TEST(ClockSettings, Defaults) {
  auto s = Make<TClockSettings>();
  EXPECT_TRUE(s->Hours());
  EXPECT_TRUE(s->Minutes());
  EXPECT_TRUE(s->Seconds());
  EXPECT_FALSE(s->MilliSeconds());
  EXPECT_EQ(s->Separator(), ":");
  EXPECT_EQ(Make<TChronoSettings>()->ChronoType(), ctAscendant);
}

class Clock : public ::testing::Test {
 protected:
  TClockLayer& NewClock() { return sys->NewLayer<TClockLayer>(); }
  void Frame() { sys->DrawAll(nullptr); }

  TFixedTimeOfDay time{{9, 5, 3, 7}};
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys =
      Make<TQVSystem>(768, 576, TCompositionContext{.TextRenderer = &QtRenderer(), .Ticks = &ticks, .TimeOfDay = &time}, true);
};

TEST_F(Clock, MadeAsATextLayerWithItsTextHidden) {
  TClockLayer& c = NewClock();
  EXPECT_EQ(c.Text(), "Text");  // until the first draw
  EXPECT_FALSE(c.TextProperty().Attributes.Has(paVisible));
  EXPECT_EQ(c.ClockType(), ctTimer);
  EXPECT_EQ(c.ChronoSettings().ChronoType(), ctAscendant);
  EXPECT_EQ(c.Dx, 8);
  EXPECT_EQ(c.X(), (768 - c.Width()) / 2);
  std::vector<std::string> names;
  for (const auto& p : c.Properties()) names.push_back(p->Name);
  const std::vector<std::string> expected = {
      "FormatSettings", "ChronoSettings", "ClockType", "Text",    "TextSource", "HorizontalAlignment",
      "VerticalAlignment", "MaxWidth",    "Font",      "Shadow",  "Contour",    "TextDirection",
      "layerName",      "Visible",        "Opacity",   "X",       "Y",          "Width",
      "Height",         "LayerIN",        "Duration"};
  EXPECT_EQ(names, expected);
  names.clear();
  for (const auto& p : c.FormatSettings().Properties()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Hours", "Minutes", "Seconds", "MilliSeconds", "Separator"}));
  // Through the keyword a project file names it by, too.
  TLayer* read = sys->NewLayerOfClass("TCLOCKLAYER");
  ASSERT_NE(dynamic_cast<TClockLayer*>(read), nullptr);
  EXPECT_FALSE(static_cast<TClockLayer*>(read)->TextProperty().Attributes.Has(paVisible));
  EXPECT_NE(dynamic_cast<TTextLayer*>(sys->NewLayerOfClass("TTEXTLAYER")), nullptr);
}

TEST_F(Clock, ShowsTheTimeOfDayOfEachDraw) {
  TClockLayer& c = NewClock();
  Frame();
  EXPECT_EQ(c.Text(), "09:05:03");
  EXPECT_EQ(c.ShownText(), std::optional<std::string>("09:05:03"));
  c.FormatSettings().SetMilliSeconds(true);
  time.Advance(40);
  Frame();
  EXPECT_EQ(c.Text(), "09:05:03:047");
  // The composition's frame plays no part.
  sys->frame = 1000;
  Frame();
  EXPECT_EQ(c.Text(), "09:05:03:047");
}

TEST_F(Clock, ALayerThatIsNotDrawnKeepsItsLastText) {
  TClockLayer& c = NewClock();
  Frame();
  c.SetVisible(false);
  time.Advance(5000);
  Frame();
  EXPECT_EQ(c.Text(), "09:05:03");
  c.SetVisible(true);
  Frame();
  EXPECT_EQ(c.Text(), "09:05:08");
}

// The text is set through its setter on every draw (its own subscribers hear of it, the text
// layer's rendering among them) while the layer's propagation upwards is muted.
TEST_F(Clock, EachDrawNotifiesTheTextButNotTheLayersContainer) {
  TClockLayer& c = NewClock();
  int layerChanges = 0, textChanges = 0;
  c.AddChangeNotify(&layerChanges, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++layerChanges; });
  c.TextProperty().AddChangeNotify(&textChanges,
                                   [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++textChanges; });
  Frame();
  Frame();  // the same text again
  EXPECT_EQ(textChanges, 2);
  EXPECT_EQ(layerChanges, 0);
  c.SetX(10);  // propagation is back after the draw
  EXPECT_EQ(layerChanges, 1);
}

// The clock draws 25 times a second; while the text stays the same the image is kept, and is
// exactly what a fresh rendering gives.
TEST_F(Clock, KeepsTheImageWhileTheTextStays) {
  TClockLayer& c = NewClock();
  Frame();
  const std::uint64_t first = c.RenderCount();
  for (int i = 0; i < 20; ++i) {
    time.Advance(40);
    Frame();
  }
  EXPECT_EQ(c.Text(), "09:05:03");
  EXPECT_EQ(c.RenderCount(), first);
  time.Advance(200);  // 09:05:04.007
  Frame();
  EXPECT_EQ(c.Text(), "09:05:04");
  EXPECT_EQ(c.RenderCount(), first + 1);

  int dx = 0, dy = 0;
  const auto fresh = RenderTextImage(QtRenderer(), "09:05:04", &c.Shadow(), &c.Contour(), 4, "Tahoma", 32, "LEFT", 0xFFFFFF, dx,
                                     dy, false, 0);
  ASSERT_EQ(fresh->Width(), c.Image->Width());
  ASSERT_EQ(fresh->Height(), c.Image->Height());
  EXPECT_EQ(0, std::memcmp(fresh->Bits, c.Image->Bits, fresh->ByteSize()));
}

TEST_F(Clock, TheChronoDirectionChangesNothingOnATimeOfDayClock) {
  TClockLayer& c = NewClock();
  sys->work->Fill(0);
  Frame();
  const std::vector<std::uint8_t> before(sys->work->Bits, sys->work->Bits + sys->work->ByteSize());
  const std::uint64_t renders = c.RenderCount();
  c.ChronoSettings().SetChronoType(ctDescendant);
  sys->work->Fill(0);
  Frame();
  EXPECT_EQ(std::vector<std::uint8_t>(sys->work->Bits, sys->work->Bits + sys->work->ByteSize()), before);
  EXPECT_EQ(c.RenderCount(), renders);
  EXPECT_EQ(c.Text(), "09:05:03");
}

struct ChronoCase {
  const char* name;
  TChronoType type;
  std::int32_t in, duration, frame;
  bool ms;
  const char* expected;
};

TEST_F(Clock, AChronometerCountsTheFramesOfItsTimeWindow) {
  const ChronoCase cases[] = {
      {"up: the in-point", ctAscendant, 0, 250, 0, false, "00:00:00"},
      {"up: last frame of the first second", ctAscendant, 0, 250, 24, false, "00:00:00"},
      {"up: the next second at frame 25", ctAscendant, 0, 250, 25, false, "00:00:01"},
      {"up: from a later in-point", ctAscendant, 100, 250, 149, false, "00:00:01"},
      {"up: milliseconds per frame", ctAscendant, 0, 250, 26, true, "00:00:01:040"},
      {"up: across a minute", ctAscendant, 0, 100000, 1500, false, "00:01:00"},
      {"up: across an hour", ctAscendant, 0, 200000, 90000, false, "01:00:00"},
      {"up: hours go past a day", ctAscendant, 0, INT32_MAX, 2160000, false, "24:00:00"},
      {"down: the whole duration first", ctDescendant, 0, 250, 0, false, "00:00:10"},
      {"down: a second shows until it has gone", ctDescendant, 0, 250, 24, false, "00:00:10"},
      {"down: nine at frame 25", ctDescendant, 0, 250, 25, false, "00:00:09"},
      {"down: the last second", ctDescendant, 0, 250, 249, false, "00:00:01"},
      {"down: zero at the end", ctDescendant, 0, 250, 250, false, "00:00:00"},
      {"down: holds at zero", ctDescendant, 0, 250, 400, false, "00:00:00"},
      {"down: exact with milliseconds", ctDescendant, 0, 250, 1, true, "00:00:09:960"},
      {"down: from a later in-point", ctDescendant, 50, 1500, 75, false, "00:00:59"},
      {"down: a minute and more", ctDescendant, 0, 1525, 0, false, "00:01:01"},
  };
  TClockLayer& c = NewClock();
  c.SetClockType(ctChrono);
  for (const ChronoCase& k : cases) {
    c.ChronoSettings().SetChronoType(k.type);
    c.SetLayerIN(k.in);
    c.SetDuration(k.duration);
    c.FormatSettings().SetMilliSeconds(k.ms);
    sys->frame = k.frame;
    Frame();
    EXPECT_EQ(c.Text(), k.expected) << k.name;
  }
}

TEST_F(Clock, AChronometerNeverSkipsOrRepeatsASecond) {
  TClockLayer& c = NewClock();
  c.SetClockType(ctChrono);
  c.SetDuration(100000);
  for (TChronoType type : {ctAscendant, ctDescendant}) {
    c.ChronoSettings().SetChronoType(type);
    std::string last;
    int changes = 0;
    int run = 0;
    for (std::int32_t f = 0; f <= 3000; ++f) {
      const TTimeOfDay t = c.ChronoTime(f);
      const std::string text = c.FormatSettings().Format(t);
      if (f > 0 && text != last) {
        ++changes;
        // Each shown second lasts 25 frames (the first of a count down is whole too).
        EXPECT_EQ(run, 25) << "before frame " << f << " (" << type << ")";
        const int seconds = t.Hour * 3600 + t.Minute * 60 + t.Second;
        const TTimeOfDay p = c.ChronoTime(f - 1);
        const int previous = p.Hour * 3600 + p.Minute * 60 + p.Second;
        EXPECT_EQ(seconds - previous, type == ctAscendant ? 1 : -1) << "at frame " << f;
        run = 0;
      }
      ++run;
      last = text;
    }
    EXPECT_EQ(changes, 120);
  }
}

// The text layer's metadata rule still applies after the time is set.
TEST_F(Clock, AMetadataSourceOverridesTheTime) {
  TClockLayer& c = NewClock();
  c.SetTextSource(tsMeta1);
  sys->Meta1 = "LIVE";
  Frame();
  EXPECT_EQ(c.Text(), "LIVE");
}

}  // namespace
}  // namespace qv::test

// The clock layer: the text built from the time of day and the format settings, what a draw
// notifies, the image kept while the time text stays, and the settings that change nothing.
#include "TextTestSupport.h"
#include "composition/ClockLayer.h"

#include <gtest/gtest.h>

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

TEST_F(Clock, ClockAndChronoTypesChangeNothingOnScreen) {
  TClockLayer& c = NewClock();
  sys->work->Fill(0);
  Frame();
  const std::vector<std::uint8_t> before(sys->work->Bits, sys->work->Bits + sys->work->ByteSize());
  const std::uint64_t renders = c.RenderCount();
  c.SetClockType(ctChrono);
  c.ChronoSettings().SetChronoType(ctDescendant);
  sys->work->Fill(0);
  Frame();
  EXPECT_EQ(std::vector<std::uint8_t>(sys->work->Bits, sys->work->Bits + sys->work->ByteSize()), before);
  EXPECT_EQ(c.RenderCount(), renders);
  EXPECT_EQ(c.Text(), "09:05:03");
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

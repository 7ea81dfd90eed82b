// The crawl layer with fake engines: the placeholder, the worker's hand-over, scrolling on two
// fields in both directions, restarts, speed 0 and negative, the retry rules, stale results,
// destroying a layer while its worker runs, saving and loading.
#include "CrawlFakes.h"
#include "composition/RollLayer.h"
#include "project/ProjectFile.h"
#include "raster/StreamBitmaps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace qv::test {
namespace {

// Two crawl items ("Hello", "World  "), blank lines between them, mixed line ends.
const char* const kTwoLines = "Hello\r\n\r\nWorld  \n   \n";

struct RollLayer : ::testing::Test {
  TCrawlScene scene;
  TTestDir dir{"crawl"};
  TRollLayer& roll = scene.NewRoll();

  // Sets the file, lets the first frame start the worker and waits for it.
  void Load(const std::string& text, const std::string& name = "crawl.txt") {
    roll.SetTextFile(dir.Write(name, text));
    scene.Frame(roll);
    EXPECT_TRUE(roll.Rendering() || roll.waiting.size() > 0 || !roll.TextFile().empty());
    roll.WaitForWorker();
  }
  TInkSpan Even() const { return InkColumns(scene.target, 0); }
  TInkSpan Odd() const { return InkColumns(scene.target, 1); }
};

TEST_F(RollLayer, NewLayerShowsThePlaceholder) {
  EXPECT_EQ(roll.Width(), 768);
  EXPECT_EQ(roll.X(), 0);
  EXPECT_EQ(roll.Speed(), 2);
  EXPECT_EQ(roll.TextSpace(), 40);
  EXPECT_EQ(roll.TextDirection(), tdRighttoLeft);
  EXPECT_EQ(roll.ScrollDirection(), tdLefttoRight);
  EXPECT_FALSE(roll.Shadow().Enabled());
  EXPECT_FALSE(roll.Contour().Enabled());
  ASSERT_NE(roll.Image, nullptr);
  // 39 characters of 8 pixels (the fake's cells at 32 points), text 17 rows high.
  EXPECT_EQ(roll.Image->Width(), 39 * 8 + 1);
  EXPECT_EQ(roll.Height(), roll.Image->Height());
  roll.SetY(100);
  scene.Frame(roll);
  EXPECT_EQ(Even().Left, 0);
  EXPECT_GE(Even().Right, 39 * 8 - 2);
  EXPECT_EQ(roll.WorkersStarted(), 0u);
}

// A repaint (hover, drag) draws the frame again without scrolling it; a layout made before the
// separator was dropped or the strips were replaced never reaches what went.
TEST_F(RollLayer, DrawingAgainWithoutAdvancingShowsTheSameFrame) {
  TStreamedBitmap separator(12, 12);
  separator.Fill(0xFFFFFFFFu);
  separator.SaveToFile((dir / "sep.png").string());
  roll.SetSeparatorImage((dir / "sep.png").string());
  ASSERT_TRUE(roll.Bitmap);
  Load(kTwoLines);
  for (int i = 0; i < 25; ++i) scene.Frame(roll);  // the separator after "Hello" is in view
  const std::int32_t pos = roll.Pos;
  TmemoryBitmap first(768, 576), again(768, 576);
  roll.DrawLayer(first, 0);
  roll.DrawLayer(again, 0);
  EXPECT_EQ(roll.Pos, pos);
  EXPECT_EQ(0, std::memcmp(first.Bits, again.Bits, first.ByteSize()));
  EXPECT_EQ(InkColumns(first, 0).Left, InkColumns(scene.target, 0).Left);  // the last advanced frame
  EXPECT_NE(InkColumns(first, 0).Left, -1);

  roll.SetSeparatorImage("");  // dropped after the layout: the strips still draw, it does not
  TmemoryBitmap noSeparator(768, 576);
  roll.DrawLayer(noSeparator, 0);
  EXPECT_EQ(InkColumns(noSeparator, 0).Left, InkColumns(first, 0).Left);
  EXPECT_NE(0, std::memcmp(noSeparator.Bits, first.Bits, first.ByteSize()));

  roll.SetTextFile(dir.Write("other.txt", "Other\r\n"));  // a new render replaces the strips
  roll.PrepareStrips();
  TmemoryBitmap replaced(768, 576);
  roll.DrawLayer(replaced, 0);  // the old layout is gone with its strips: nothing drawn
  EXPECT_EQ(InkColumns(replaced, 0).Left, -1);
  EXPECT_EQ(InkColumns(replaced, 1).Left, -1);
}

TEST_F(RollLayer, FirstStripEntersAtTheRightEdgeAndMovesTwoPixelsPerField) {
  roll.SetTextFile(dir.Write("crawl.txt", kTwoLines));
  scene.Frame(roll);
  EXPECT_EQ(roll.WorkersStarted(), 1u);
  EXPECT_EQ(InkColumns(scene.target, 0).Left, -1) << "nothing is drawn while the worker runs";
  roll.WaitForWorker();
  ASSERT_EQ(roll.working.size(), 2u);
  EXPECT_EQ(roll.working[0]->Width, 5 * 8 + 1);
  EXPECT_EQ(roll.working[1]->Width, 7 * 8 + 1) << "trailing blanks are kept";
  EXPECT_EQ(roll.Height(), 17);
  EXPECT_EQ(roll.Pos, 768);

  // Field 0 (even rows) at 768, invisible; field 1 (odd rows) at 766.
  scene.Frame(roll);
  EXPECT_EQ(Even().Left, -1);
  EXPECT_EQ(Odd().Left, 766);
  for (int frame = 1; frame <= 5; ++frame) {
    scene.Frame(roll);
    EXPECT_EQ(Even().Left, 768 - 4 * frame) << frame;
    EXPECT_EQ(Odd().Left, 766 - 4 * frame) << frame;
  }
  EXPECT_EQ(roll.WorkersStarted(), 1u);
}

TEST_F(RollLayer, FieldsFollowTheCompositionsRowsWhateverTheLayersY) {
  roll.SetY(7);
  Load(kTwoLines);
  scene.Frame(roll);
  scene.Frame(roll);
  // Field 0 (the earlier position, 764) on even composition rows, field 1 (762) on odd ones.
  EXPECT_EQ(Even().Left, 764);
  EXPECT_EQ(Odd().Left, 762);
}

TEST_F(RollLayer, RightToLeftScrollingStartsAtTheLeftAndMovesRight) {
  roll.SetScrollDirection(tdRighttoLeft);
  Load(kTwoLines);
  EXPECT_EQ(roll.Pos, 0);
  scene.Frame(roll);
  const TInkSpan odd0 = Odd();
  EXPECT_EQ(Even().Left, -1) << "the first strip ends at x 0 in field 0";
  ASSERT_GE(odd0.Right, 0);
  for (int frame = 1; frame <= 5; ++frame) {
    scene.Frame(roll);
    EXPECT_EQ(Even().Right, odd0.Right + 4 * frame - 2) << frame;
    EXPECT_EQ(Odd().Right, odd0.Right + 4 * frame) << frame;
  }
}

TEST_F(RollLayer, SpeedZeroStandsStillAndNegativeSpeedRunsBackwards) {
  struct Case {
    int speed;
    int perFrame;  // movement of the ink's left edge per frame
  };
  for (const Case c : {Case{0, 0}, Case{-3, 6}}) {
    TCrawlScene s;
    TTestDir d{"crawl"};
    TRollLayer& r = s.NewRoll();
    r.SetTextFile(d.Write("crawl.txt", kTwoLines));
    s.Frame(r);
    r.WaitForWorker();
    for (int frame = 0; frame < 40; ++frame) s.Frame(r);  // well inside the layer
    r.SetSpeed(c.speed);
    s.Frame(r);
    const int first = InkColumns(s.target, 1).Left;
    ASSERT_GE(first, 0) << c.speed;
    for (int frame = 1; frame < 200; ++frame) {
      s.Frame(r);
      r.WaitForWorker();
      if (first + c.perFrame * frame < 700) {
        EXPECT_EQ(InkColumns(s.target, 1).Left, first + c.perFrame * frame) << c.speed;
      }
    }
    EXPECT_EQ(r.WorkersStarted(), 1u) << "speed " << c.speed << " never ends the crawl";
  }
}

TEST_F(RollLayer, TheCrawlStartsOverWhenEverythingHasPassed) {
  roll.SetSpeed(10);
  Load(kTwoLines);
  int frames = 0;
  while (roll.WorkersStarted() == 1 && frames < 500) {
    scene.Frame(roll);
    ++frames;
  }
  ASSERT_EQ(roll.WorkersStarted(), 2u);
  // 768 + 41 + 40 + 57 pixels at 20 per frame, then the frame that starts the new worker.
  EXPECT_EQ(frames, (768 + 41 + 40 + 57) / 20 + 2);
  EXPECT_EQ(Even().Left, -1) << "the frame that starts the worker draws nothing";
  roll.WaitForWorker();
  scene.Frame(roll);
  EXPECT_EQ(Odd().Left, 758) << "from the start position again";
}

// Every pass reads the file again, but only a file or looks that changed are rendered again: a
// crawl on air for hours shows the same strips, not a new set of the same pictures every pass.
TEST_F(RollLayer, EachPassReadsTheFileAndRendersOnlyWhatChanged) {
  struct Case {
    const char* name;
    std::string text;
    std::string edited;  // as long as text, other words
  };
  const Case cases[] = {
      {"crawl.txt", kTwoLines, "Jello\r\n\r\nWorld  \n   \n"},
      {"crawl.rtf", "{\\rtf1\\ansi\\pard AB\\par\\pard CD\\par}", "{\\rtf1\\ansi\\pard AB\\par\\pard CE\\par}"},
  };
  for (const Case& c : cases) {
    TCrawlScene s;
    TRollLayer& r = s.NewRoll();
    r.SetSpeed(10);
    r.SetTextFile(dir.Write(c.name, c.text));
    s.Frame(r);
    r.WaitForWorker();
    const auto work = [&s] { return s.renderer.Draws.load() + s.engine.Loads; };
    // Runs frames until the crawl has passed and read its file again, then shows the next frame.
    const auto pass = [&] {
      const std::uint64_t started = r.WorkersStarted();
      for (int frame = 0; frame < 500 && r.WorkersStarted() == started; ++frame) s.Frame(r);
      r.WaitForWorker();
      s.Frame(r);
    };
    ASSERT_EQ(r.working.size(), 2u) << c.name;
    const TTextStrip* firstStrip = r.working[0].get();
    const int firstWork = work();
    const int height = r.Height();

    pass();
    EXPECT_EQ(r.WorkersStarted(), 2u) << c.name;
    EXPECT_EQ(work(), firstWork) << c.name << ": the same bytes are not rendered again";
    ASSERT_EQ(r.working.size(), 2u) << c.name;
    EXPECT_EQ(r.working[0].get(), firstStrip) << c.name;
    EXPECT_EQ(r.Height(), height) << c.name;
    EXPECT_EQ(InkColumns(s.target, 1).Left, 758) << c.name << ": from the start again";

    dir.Write(c.name, c.edited);
    pass();
    EXPECT_GT(work(), firstWork) << c.name << ": other bytes of the same length are";
    ASSERT_EQ(r.working.size(), 2u) << c.name;
    EXPECT_NE(r.working[0].get(), firstStrip) << c.name;

    // New looks are rendered at once; going back to the old ones renders again too, as the
    // strips shown are of the new ones.
    const int beforeLooks = work();
    r.Font().SetFontSize(64);
    s.Frame(r);
    r.WaitForWorker();
    EXPECT_GT(work(), beforeLooks) << c.name;
    const int atNewLooks = work();
    r.Font().SetFontSize(32);
    s.Frame(r);
    r.WaitForWorker();
    EXPECT_GT(work(), atNewLooks) << c.name;
  }
}

TEST_F(RollLayer, AMissingFileIsTriedOnceASecondAndReportedOnce) {
  roll.SetTextFile((dir / "missing.txt").string());
  for (int frame = 0; frame < 100; ++frame) {  // four seconds
    scene.Frame(roll);
    roll.WaitForWorker();
  }
  EXPECT_GE(roll.WorkersStarted(), 4u);
  EXPECT_LE(roll.WorkersStarted(), 5u);
  ASSERT_EQ(scene.problems.size(), 1u);
  EXPECT_NE(scene.problems[0].find("missing.txt"), std::string::npos);
  // Once the file appears, the next try shows it.
  dir.Write("missing.txt", kTwoLines);
  for (int frame = 0; frame < 30 && roll.working.empty(); ++frame) {
    scene.Frame(roll);
    roll.WaitForWorker();
  }
  EXPECT_EQ(roll.working.size(), 2u);
}

TEST_F(RollLayer, AFileWithoutTextIsLookedAtOnceASecond) {
  Load(" \r\n\t\n\n");
  EXPECT_TRUE(roll.working.empty());
  for (int frame = 0; frame < 100; ++frame) {
    scene.Frame(roll);
    roll.WaitForWorker();
  }
  EXPECT_LE(roll.WorkersStarted(), 6u);
  EXPECT_TRUE(scene.problems.empty());
}

TEST_F(RollLayer, ARestyleDuringARenderDropsItsResult) {
  scene.renderer.DelayMicroseconds = 2000;
  roll.SetTextFile(dir.Write("crawl.txt", kTwoLines));
  scene.Frame(roll);  // starts the worker at 32 points
  roll.Font().SetFontSize(64);
  while (roll.Rendering()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  scene.renderer.DelayMicroseconds = 0;
  scene.Frame(roll);
  EXPECT_EQ(roll.WorkersStarted(), 2u) << "a new worker for the new font";
  EXPECT_TRUE(roll.working.empty()) << "the old strips were not shown";
  roll.WaitForWorker();
  ASSERT_EQ(roll.working.size(), 2u);
  EXPECT_EQ(roll.working[0]->Width, 5 * 16 + 1);
  EXPECT_EQ(roll.Height(), 33);
}

TEST_F(RollLayer, PrepareStripsDuringAStaleRenderShowsTheLatestStyle) {
  scene.renderer.DelayMicroseconds = 2000;
  roll.SetTextFile(dir.Write("crawl.txt", kTwoLines));
  scene.Frame(roll);  // starts the worker at 32 points
  ASSERT_TRUE(roll.Rendering());
  roll.Font().SetFontSize(64);
  roll.PrepareStrips();
  EXPECT_FALSE(roll.Rendering());
  ASSERT_EQ(roll.working.size(), 2u) << "the strips of the new font are ready for the next frame";
  EXPECT_EQ(roll.working[0]->Width, 5 * 16 + 1);
  EXPECT_EQ(roll.Height(), 33);
  EXPECT_EQ(roll.WorkersStarted(), 2u);
}

// A page's crawls, prepared together (as a page is before its first frame), render side by side,
// each on its worker: the first one's drawing waits until the second one draws too.
TEST(RollLayers, PreparedTogetherRenderSideBySide) {
  TCrawlScene scene;
  TTestDir dir{"crawls"};
  TRollLayer& a = scene.NewRoll();
  TRollLayer& b = scene.NewRoll();
  a.SetTextFile(dir.Write("a.txt", "Hello\n"));
  b.SetTextFile(dir.Write("b.txt", "World\n"));
  scene.renderer.MostInFlight = 0;
  scene.renderer.WaitForCompany = 2;
  PrepareStrips({&a, &b});
  scene.renderer.WaitForCompany = 0;
  EXPECT_EQ(scene.renderer.MostInFlight.load(), 2);
  for (TRollLayer* roll : {&a, &b}) {
    EXPECT_FALSE(roll->Rendering());
    ASSERT_EQ(roll->working.size(), 1u) << "the strips are in for the next frame";
    EXPECT_EQ(roll->working[0]->Width, 5 * 8 + 1);
  }
}

TEST_F(RollLayer, DestroyingALayerStopsItsWorkerFirst) {
  std::string many;
  for (int i = 0; i < 300; ++i) many += "line " + std::to_string(i) + "\n";
  scene.renderer.DelayMicroseconds = 500;
  struct Case {
    const char* how;
    std::function<void(TCrawlScene&, TRollLayer&)> destroy;
  };
  const Case cases[] = {
      {"DeleteLayer", [](TCrawlScene& s, TRollLayer& r) { s.sys->DeleteLayer(&r); }},
      {"the Delete key",
       [](TCrawlScene& s, TRollLayer& r) {
         s.sys->SetSelectedLayer(&r);
         std::uint16_t key = VK_DELETE;
         s.sys->KeyDown(key, 0);
       }},
      {"the composition", [](TCrawlScene& s, TRollLayer&) { s.sys.reset(); }},
  };
  for (const Case& c : cases) {
    TCrawlScene s;
    s.renderer.DelayMicroseconds = 500;
    TRollLayer& r = s.NewRoll();
    r.SetTextFile(dir.Write("many.txt", many));
    s.Frame(r);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(r.Rendering()) << c.how;
    c.destroy(s, r);
    EXPECT_EQ(s.renderer.InFlight.load(), 0) << c.how;
    const int draws = s.renderer.Draws.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(s.renderer.Draws.load(), draws) << c.how << ": nothing renders after the layer is gone";
    EXPECT_LT(draws, 300) << c.how << ": the worker gave up early";
  }
}

TEST_F(RollLayer, RtfNamedFilesGoThroughTheRichTextEngine) {
  // Content that is not RTF is taken as plain text by the engine, one line per paragraph.
  Load("First\n\nSecond line\n", "crawl.rtf");
  EXPECT_EQ(scene.engine.Loads, 1);
  ASSERT_EQ(roll.working.size(), 2u);
  // The fake's default 12 points: ascent 12, descent 4, 8 pixels per character.
  EXPECT_EQ(roll.MaxAscent, 12);
  EXPECT_EQ(roll.Maxdescent, 4);
  EXPECT_EQ(roll.Height(), 16);
  EXPECT_EQ(roll.working[1]->Width, 11 * 8);
  EXPECT_EQ(roll.working[1]->Tag2, 12);
  EXPECT_EQ(roll.working[1]->Tag1, 4);
}

TEST_F(RollLayer, RtfLinesKeepTheirColoursAndShareOneBaseline) {
  Load("{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\n"
       "\\pard\\fs24\\cf1 AB\\par\n\\pard\\par\n\\pard\\fs48\\cf2 CD\\par}",
       "news.RTF");
  ASSERT_EQ(roll.working.size(), 2u);
  // 24 half points: ascent 12, descent 4; 48: ascent 24, descent 8.
  EXPECT_EQ(roll.MaxAscent, 24);
  EXPECT_EQ(roll.Maxdescent, 8);
  EXPECT_EQ(roll.Height(), 32);
  // Crawl until both are inside the layer, then find each line's ink: red and blue, both ending
  // on the common baseline, Height - DY - Maxdescent = 24 below the layer's top.
  roll.SetSpeed(10);
  for (int frame = 0; frame < 30; ++frame) scene.Frame(roll);
  int redBottom = -1, blueBottom = -1;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 768; ++x) {
      const std::uint32_t px = scene.target.Pixel(x, y);
      if (px == 0xFFFF0000u) redBottom = y;
      if (px == 0xFF0000FFu) blueBottom = y;
    }
  }
  EXPECT_EQ(redBottom, 23);
  EXPECT_EQ(blueBottom, 23);
}

TEST_F(RollLayer, TheSeparatorIsWeightedByItsAlpha) {
  TStreamedBitmap sep(12, 6);
  sep.Fill(0x80C86432u);  // alpha 128, red 200, green 100, blue 50
  const std::string file = (dir / "sep.png").string();
  sep.SaveToFile(file);
  roll.SetSeparatorImage(file);
  ASSERT_NE(roll.Bitmap, nullptr);
  EXPECT_EQ(roll.sepWidth, 12);
  EXPECT_EQ(roll.sepHeight, 6);
  // round(200 * 128 / 255) = 100, round(100 * 128 / 255) = 50, round(50 * 128 / 255) = 25.
  EXPECT_EQ(roll.Bitmap->Pixel(3, 3), 0x80643219u);
  roll.SetSeparatorImage((dir / "none.png").string());
  EXPECT_EQ(roll.Bitmap, nullptr);
  EXPECT_EQ(roll.sepWidth, 0);
}

TEST_F(RollLayer, SavesItsPropertiesInOrderAndReadsThemBack) {
  roll.SetTextFile("news.txt");
  roll.SetSpeed(-3);
  roll.SetTextSpace(60);
  roll.SetSeparatorPosition(4);
  roll.SetScrollDirection(tdRighttoLeft);
  roll.SetlayerName("ticker");
  const std::string first = (dir / "a.QV").string();
  scene.sys->SaveToFile(first);

  std::ifstream in(first, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string saved = text.str();
  std::vector<std::string> names;
  std::istringstream lines(saved);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("\t\t", 0) == 0 && line[2] != '\t') names.push_back(line.substr(2, line.find_first_of(" \r") - 2));
  }
  const std::vector<std::string> expected = {
      // the composition's own
      "ShowTime", "Time", "DurationType", "Duration",
      // the crawl's, then the layer's
      "Object", "End", "Object", "End", "Object", "End", "TextDirection", "TextFile", "Speed", "TextSpace", "SeparatorImage",
      "SeparatorPosition", "ScrollDirection", "layerName", "Visible", "Opacity", "X", "Y", "Width", "Height",
      "LayerIN", "Duration"};
  EXPECT_EQ(names, expected);
  EXPECT_NE(saved.find("\tObject '':TRollLayer\r\n\t\tObject 'Font':TTextFont\r\n"), std::string::npos);
  EXPECT_NE(saved.find("\t\tTextFile = news.txt\r\n\t\tSpeed = -3\r\n\t\tTextSpace = 60\r\n"), std::string::npos);

  TCrawlScene other;
  other.sys->LoadFromFile(first);
  ASSERT_EQ(other.sys->Layers.size(), 1u);
  auto* loaded = dynamic_cast<TRollLayer*>(other.sys->Layers[0].get());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Speed(), -3);
  EXPECT_EQ(loaded->ScrollDirection(), tdRighttoLeft);
  EXPECT_EQ(loaded->Pos, 0) << "right-to-left crawls start at 0";
  EXPECT_TRUE(loaded->refreshList.load());
  const std::string second = (dir / "b.QV").string();
  other.sys->SaveToFile(second);
  std::ifstream in2(second, std::ios::binary);
  std::stringstream text2;
  text2 << in2.rdbuf();
  EXPECT_EQ(text2.str(), saved);
}

}  // namespace
}  // namespace qv::test

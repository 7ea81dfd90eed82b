// The editor's arithmetic without a window: the checkerboard file, the frame pacing, the tick count
// the composition sees, the object list's rows and the media summary.
#include "editor_logic/Checkerboard.h"
#include "editor_logic/ExportRequest.h"
#include "editor_logic/MediaProblems.h"
#include "editor_logic/ObjectListRows.h"
#include "editor_logic/RenderLoop.h"

#include "composition/ClockLayer.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "composition/TextLayer.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kGrey = 0xFFCCCCCCu;

TEST(Checkerboard, SquaresOfEightAlternateWhiteAndGreyFromAWhiteCorner) {
  const TStreamedBitmap grid = MakeCheckerboard(21, 10);  // partial squares at the right and bottom
  struct {
    int x, y;
    std::uint32_t expected;
  } cases[] = {{0, 0, kWhite}, {7, 7, kWhite}, {8, 0, kGrey}, {0, 8, kGrey}, {8, 8, kWhite},
               {15, 9, kWhite}, {16, 0, kWhite}, {20, 9, kGrey}, {16, 8, kGrey}};
  for (const auto& c : cases) EXPECT_EQ(grid.Pixel(c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(Checkerboard, AMissingFileIsWrittenThenReusedUntilItsWidthDiffers) {
  TTestDir dir("qv-grid");
  const fs::path file = dir / kGridFileName;

  TCheckerboard first = LoadCheckerboard({dir.Path()}, 768, 576);
  ASSERT_EQ(first.File, file);
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(first.Image.Width(), 768);
  EXPECT_EQ(first.Image.Height(), 576);
  EXPECT_EQ(first.Image.Pixel(0, 0), kWhite);
  EXPECT_EQ(first.Image.Pixel(8, 0), kGrey);
  EXPECT_EQ(first.Image.Pixel(0, 8), kGrey);
  EXPECT_EQ(first.Image.Pixel(767, 575), kWhite);  // square (95, 71): both odd

  // The same width and another height is used as it is; the file is not written again.
  GenerateGrid(file, 768, 100);
  const auto written = fs::last_write_time(file);
  TCheckerboard sameWidth = LoadCheckerboard({dir.Path()}, 768, 576);
  EXPECT_EQ(sameWidth.Image.Height(), 100);
  EXPECT_EQ(fs::last_write_time(file), written);

  // Another width is replaced.
  GenerateGrid(file, 320, 576);
  TCheckerboard replaced = LoadCheckerboard({dir.Path()}, 768, 576);
  EXPECT_EQ(replaced.Image.Width(), 768);
  TStreamedBitmap onDisk;
  onDisk.LoadFromFile(file.string());
  EXPECT_EQ(onDisk.Width(), 768);
  EXPECT_EQ(onDisk.Pixel(8, 8), kWhite);
}

TEST(Checkerboard, ADamagedFileIsWrittenAnewAndAnUnwritableFolderIsSkipped) {
  TTestDir dir("qv-grid");
  EXPECT_EQ(GridFileName(768, 576), "grid.png");
  EXPECT_EQ(GridFileName(64, 48), "grid-64x48.png");
  dir.Write(GridFileName(64, 48), "\x89PNG\r\n\x1a\n not really");
  TCheckerboard mended = LoadCheckerboard({dir.Path()}, 64, 48);
  EXPECT_EQ(mended.File, dir / GridFileName(64, 48));
  EXPECT_EQ(mended.Image.Width(), 64);
  EXPECT_EQ(mended.Image.Pixel(8, 0), kGrey);

  // A folder below a plain file can never be made: the next folder holds the grid.
  const fs::path blocked = fs::path(dir.Write("plain", "x")) / "sub";
  TTestDir cache("qv-grid-cache");
  TCheckerboard second = LoadCheckerboard({blocked, cache.Path()}, 64, 48);
  EXPECT_EQ(second.File, cache / GridFileName(64, 48));

  // Nowhere to keep it: made in memory, and the editor still starts.
  TCheckerboard none = LoadCheckerboard({blocked}, 64, 48);
  EXPECT_TRUE(none.File.empty());
  EXPECT_EQ(none.Image.Pixel(0, 8), kGrey);
}

TEST(FramePacer, AFrameComesAtMostEveryFortyMilliseconds) {
  TFramePacer pacer;
  EXPECT_TRUE(pacer.Due(123));  // the first frame at once
  pacer.Rendered(1000);
  struct {
    std::uint32_t now;
    bool due;
    std::uint32_t wait;
  } cases[] = {{1000, false, 40}, {1001, false, 39}, {1039, false, 1}, {1040, true, 0}, {1500, true, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(pacer.Due(c.now), c.due) << c.now;
    EXPECT_EQ(pacer.MsUntilDue(c.now), c.wait) << c.now;
  }
  // Across the wrap of the 32-bit tick count.
  pacer.Rendered(0xFFFFFFF0u);
  EXPECT_FALSE(pacer.Due(0x10u));
  EXPECT_TRUE(pacer.Due(0x18u));
}

TEST(EditorTicks, SpansSpentAsleepAreLeftOut) {
  TManualTickSource machine(5000);
  TEditorTicks ticks(machine);
  EXPECT_EQ(ticks.TickCount(), 5000u);
  machine.Advance(100);
  ticks.Sleep();
  machine.Advance(10000);  // ten seconds of a page left alone
  EXPECT_EQ(ticks.TickCount(), 5100u);
  ticks.Wake();
  machine.Advance(40);
  EXPECT_EQ(ticks.TickCount(), 5140u);
  ticks.Wake();  // waking twice changes nothing
  ticks.Sleep();
  ticks.Sleep();  // nor does sleeping twice
  machine.Advance(3000);
  ticks.Wake();
  EXPECT_EQ(ticks.TickCount(), 5140u);
}

TEST(EditorTicks, AnIdlePageIsNotSentBackToFrameZero) {
  TManualTickSource machine(0);
  TEditorTicks ticks(machine);
  TCompositionContext context;
  context.Ticks = &ticks;
  auto sys = Make<TQVSystem>(64, 48, context, true);
  sys->frame = 120;
  sys->DrawAll(nullptr);
  ticks.Sleep();
  machine.Advance(60000);
  ticks.Wake();
  sys->DrawAll(nullptr);
  EXPECT_EQ(sys->frame, 120);
  // A handler that holds the window while frames are wanted is a pause, as before.
  machine.Advance(2500);
  sys->DrawAll(nullptr);
  EXPECT_EQ(sys->frame, 0);
}

TEST(RenderLoop, OnlyTimeOfDayClocksAndCrawlsThatShowKeepFramesComing) {
  auto sys = Make<TQVSystem>(64, 48, TCompositionContext{}, true);
  EXPECT_FALSE(NeedsContinuousFrames(*sys));
  sys->NewLayer<TImageLayer>();
  sys->NewLayer<TTextLayer>();
  EXPECT_FALSE(NeedsContinuousFrames(*sys));
  TClockLayer& clock = sys->NewLayer<TClockLayer>();
  EXPECT_TRUE(NeedsContinuousFrames(*sys));
  clock.SetClockType(ctChrono);  // counts with the frame, which holds
  EXPECT_FALSE(NeedsContinuousFrames(*sys));
  clock.SetClockType(ctTimer);
  clock.SetVisible(false);
  EXPECT_FALSE(NeedsContinuousFrames(*sys));
  sys->NewLayer<TRollLayer>();
  EXPECT_TRUE(NeedsContinuousFrames(*sys));
}

TEST(RenderLoop, TheCheckerboardReplacesTheLastFrame) {
  auto sys = Make<TQVSystem>(32, 16, TCompositionContext{}, true);
  const TStreamedBitmap grid = MakeCheckerboard(32, 16);
  sys->work->Fill(0x80102030u);
  sys->work->SetFactor(17);
  RenderEditorFrame(*sys, grid);
  EXPECT_EQ(sys->work->Pixel(0, 0), kWhite);
  EXPECT_EQ(sys->work->Pixel(8, 0), kGrey);
  EXPECT_EQ(sys->work->Pixel(31, 7), kGrey);
  EXPECT_EQ(sys->work->Pixel(31, 15), kWhite);
}

TEST(ObjectListRows, TheRootThenTheStackBottomFirstWithMembersNested) {
  auto sys = Make<TQVSystem>(64, 48, TCompositionContext{}, false);
  TImageLayer& image = sys->NewLayer<TImageLayer>();
  image.SetlayerName("bg");
  TTextLayer& text = sys->NewLayer<TTextLayer>();
  text.SetlayerName("title");
  TClockLayer& clock = sys->NewLayer<TClockLayer>();
  clock.SetlayerName("clock");
  text.Childs.push_back(&clock);
  text.Childs.push_back(&text);  // a layer among its own members appears once on its path

  const std::vector<TObjectRow> rows = ObjectListRows(*sys);
  struct {
    const TContainerObject* object;
    int depth;
    const char* text;
    int icon;
  } expected[] = {{sys.get(), 0, "", -1}, {&image, 1, "bg", 0}, {&text, 1, "title", 2},
                  {&clock, 2, "clock", 4}, {&clock, 1, "clock", 4}};
  ASSERT_EQ(rows.size(), std::size(expected));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].Object, expected[i].object) << i;
    EXPECT_EQ(rows[i].Depth, expected[i].depth) << i;
    EXPECT_EQ(rows[i].Text, expected[i].text) << i;
    EXPECT_EQ(rows[i].IconIndex, expected[i].icon) << i;
  }
}

TEST(MediaProblems, ManyMissingFilesGiveOneSummaryWithACappedList) {
  TMediaProblems problems;
  EXPECT_TRUE(problems.Empty());
  problems.Add("\"a.png\": no such file");
  EXPECT_EQ(problems.Summary(), "1 picture or folder could not be loaded; its layer shows nothing.");
  for (int i = 0; i < 44; ++i) problems.Add("\"f" + std::to_string(i) + ".png\": no such file");
  EXPECT_NE(problems.Summary().find("45 pictures"), std::string::npos);
  const std::string details = problems.Details(40);
  EXPECT_NE(details.find("\"a.png\""), std::string::npos);
  EXPECT_NE(details.find("\"f38.png\""), std::string::npos);
  EXPECT_EQ(details.find("\"f39.png\""), std::string::npos);
  EXPECT_NE(details.find("and 5 more"), std::string::npos);
}

TEST(ExportRequest, NamesBecomeFramePatternsOrVideoFilesAndBadRangesAreRefused) {
  using video::TExportKind;
  using video::TVideoCodec;
  struct {
    TExportKind kind;
    TVideoCodec codec;
    int from, to;
    const char* output;
    const char* expected;  // "" when refused
  } cases[] = {
      {TExportKind::ekPng, TVideoCodec::vcFfv1, 0, 9, "/out/news", "/out/news_%05d.png"},
      {TExportKind::ekPng, TVideoCodec::vcFfv1, 0, 9, "/out/news.PNG", "/out/news_%05d.png"},
      {TExportKind::ekTga, TVideoCodec::vcFfv1, 0, 9, "/out/f_%03d.tga", "/out/f_%03d.tga"},
      {TExportKind::ekTga, TVideoCodec::vcFfv1, 5, 5, "/out/news.png", "/out/news.png_%05d.tga"},
      {TExportKind::ekVideo, TVideoCodec::vcProRes4444, 0, 9, "/out/clip", "/out/clip.mov"},
      {TExportKind::ekVideo, TVideoCodec::vcFfv1, 0, 9, "/out/clip.MKV", "/out/clip.MKV"},
      {TExportKind::ekVideo, TVideoCodec::vcH264, 0, 9, "/out/clip.mov", "/out/clip.mov.mp4"},
      {TExportKind::ekVideo, TVideoCodec::vcQtrle, 4, 3, "/out/clip", ""},
      {TExportKind::ekPng, TVideoCodec::vcQtrle, -1, 3, "/out/f", ""},
      {TExportKind::ekPng, TVideoCodec::vcQtrle, 0, 3, "", ""},
      {TExportKind::ekPng, TVideoCodec::vcQtrle, 0, 3, "/out/100%", ""},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto s = ExportSettingsFor({c.kind, c.codec, c.from, c.to, c.output}, error);
    if (*c.expected == '\0') {
      EXPECT_FALSE(s) << c.output;
      EXPECT_FALSE(error.empty()) << c.output;
      continue;
    }
    ASSERT_TRUE(s) << c.output << ": " << error;
    EXPECT_EQ(s->Output, c.expected);
    EXPECT_EQ(s->From, c.from);
    EXPECT_EQ(s->To, c.to);
  }
  EXPECT_EQ(ExportProjectFile("/nowhere/at/all", 42).filename(), ".qveditor-export-42.QV");
  EXPECT_EQ(ExportProjectFile(fs::temp_directory_path(), 7), fs::temp_directory_path() / ".qveditor-export-7.QV");
}

}  // namespace
}  // namespace qv::test

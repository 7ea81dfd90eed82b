// The server's model with its worker: cues made off air while a playout thread draws the
// program, takes, edits saved to the file and shown on air, take outs, Next, and cues that fail.
// Pages load on the worker and draw on the playout thread at once; the fake text engine stands
// in for Qt, so ThreadSanitizer sees every access.
#include "ServeFixtures.h"
#include "support/Files.h"
#include "TextFakes.h"
#include "raster/StreamBitmaps.h"
#include "serve/OnAir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using serve::TJson;

class OnAirTest : public ::testing::Test {
 protected:
  OnAirTest() {
    settings.RundownFile = rundown;
    settings.Tools = tools;
    onAir = std::make_unique<serve::TOnAir>(settings, serve::ReadRundownFile(rundown), program);
  }
  ~OnAirTest() override {
    StopPlayout();
    onAir.reset();
  }

  // The playout thread: program frames one after the other, as fast as they come.
  void StartPlayout() {
    playout = std::thread([this] {
      for (std::int64_t n = 0; !stop; ++n) program.Frame(n);
    });
  }
  void StopPlayout() {
    stop = true;
    if (playout.joinable()) playout.join();
  }
  // Waits until Done holds (the playout and the worker move on by themselves).
  static bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(5ms);
    return done();
  }
  // The page drawn alone at Frame with Fields.
  std::string Alone(const serve::TFieldList& fields, int frame) {
    serve::TServePage page(tools);
    page.Load(dir / "l3.QV", fields, guard);
    const TmemoryBitmap& b = page.Compose(frame);
    return std::string(reinterpret_cast<const char*>(b.Bits), b.ByteSize());
  }
  // Whether the last program picture is layer 1's page as Fields make it, where it stands.
  bool ShowsOnLayer1(const serve::TFieldList& fields) {
    std::vector<std::uint8_t> picture;
    std::int64_t frame = -1;
    const std::vector<serve::TOnAirLayer> state = program.State();
    if (state.size() != 1 || !program.CopyLastPicture(picture, &frame)) return false;
    const int pageFrame = static_cast<int>(frame - state[0].Since);
    return std::string(picture.begin(), picture.end()) == Alone(fields, pageFrame);
  }

  TTestDir dir{"serve-onair"};
  std::string rundown = WriteServeFolder(dir.Path());
  serve::TFolderGuard guard{dir.Path()};
  TFakeTextRenderer text;
  serve::TPageTools tools{&text, {}, {}};
  serve::TOnAirSettings settings;
  serve::TProgram program{kPageW, kPageH};
  std::unique_ptr<serve::TOnAir> onAir;
  std::atomic<bool> stop{false};
  std::thread playout;
};

TEST_F(OnAirTest, CueMakesThePreviewOffAirAndTakePutsItOnAir) {
  StartPlayout();
  const serve::TResult cue = onAir->Cue("anna");
  EXPECT_EQ(cue.Status, 202);
  EXPECT_EQ(cue.Body["state"], "loading");
  onAir->WaitForWorker();
  EXPECT_EQ(onAir->State()["cue"]["state"], "ready");
  EXPECT_TRUE(program.State().empty()) << "a cue stays off air";

  // The preview is the page once its strap has faded in (the last key, frame 6).
  serve::TServePage page(tools);
  page.Load(dir / "l3.QV", {{"Meta1", "Anna Berg"}, {"title.Text", "Reporter"}}, guard);
  EXPECT_EQ(page.PreviewFrame(), 6);
  const std::vector<std::uint8_t> png = TStreamedBitmap::StraightAlphaPng(page.Compose(6));
  ASSERT_NE(onAir->PreviewPng(), nullptr);
  EXPECT_EQ(*onAir->PreviewPng(), std::string(png.begin(), png.end()));

  const serve::TResult take = onAir->Take();
  ASSERT_EQ(take.Status, 200) << take.Body.dump();
  EXPECT_EQ(take.Body["layer"], 1);
  EXPECT_EQ(onAir->State()["cue"]["state"], "none");
  EXPECT_EQ(onAir->PreviewPng(), nullptr);
  ASSERT_TRUE(Eventually([&] { return program.State().size() == 1; }));
  EXPECT_TRUE(ShowsOnLayer1({{"Meta1", "Anna Berg"}, {"title.Text", "Reporter"}}));
  EXPECT_EQ(onAir->Take().Status, 409) << "nothing is cued any more";
}

TEST_F(OnAirTest, AnEditOfARowOnAirIsSavedAndShowsOnAir) {
  StartPlayout();
  ASSERT_EQ(onAir->Cue("anna").Status, 202);
  onAir->WaitForWorker();
  ASSERT_EQ(onAir->Take().Status, 200);
  ASSERT_TRUE(Eventually([&] { return program.State().size() == 1; }));

  const serve::TResult edit = onAir->EditRow("anna", TJson::parse(R"({"fields": {"Meta1": "Anna B. Berg"}})"));
  ASSERT_EQ(edit.Status, 200) << edit.Body.dump();
  EXPECT_EQ(serve::ReadRundownFile(rundown).Find("anna")->Fields.front().second, "Anna B. Berg");
  onAir->WaitForWorker();
  EXPECT_TRUE(Eventually([&] { return ShowsOnLayer1({{"Meta1", "Anna B. Berg"}, {"title.Text", "Reporter"}}); }));
  // The take is the same: the page went on from where the old one stood.
  EXPECT_EQ(program.State()[0].Take, 1u);

  // Taken out, the layer is empty from the next frame.
  EXPECT_EQ(onAir->TakeOut(1).Status, 200);
  EXPECT_TRUE(Eventually([&] { return program.State().empty(); }));
  EXPECT_EQ(onAir->TakeOut(1).Status, 409);
}

// Each edit keeps the version it replaced under a name of its own until the worker removes it
// (freeing its blocks off the request's path); what a killed server left is removed at start.
TEST_F(OnAirTest, OldVersionsOfTheFileGoAway) {
  auto olds = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      n += e.path().filename().string().rfind(".rundown.json.old-", 0) == 0;
    return n;
  };
  for (int i = 0; i < 5; ++i)
    ASSERT_EQ(onAir->EditRow("ben", TJson{{"fields", {{"Meta2", std::to_string(i)}}}}).Status, 200);
  EXPECT_TRUE(Eventually([&] { return olds() == 0; }));
  EXPECT_EQ(*serve::ReadRundownFile(rundown).Find("ben")->Field("Meta2"), "4");
  onAir.reset();
  dir.Write(".rundown.json.old-12", "{}");
  onAir = std::make_unique<serve::TOnAir>(settings, serve::ReadRundownFile(rundown), program);
  EXPECT_EQ(olds(), 0);
}

TEST_F(OnAirTest, AnEditOfTheCuedRowCuesItAgain) {
  ASSERT_EQ(onAir->Cue("ben").Status, 202);
  onAir->WaitForWorker();
  const std::uint64_t seq = onAir->State()["cue"]["seq"];
  ASSERT_EQ(onAir->EditRow("ben", TJson::parse(R"({"fields": {"title.Text": "Chief forecaster"}})")).Status, 200);
  onAir->WaitForWorker();
  const TJson cue = onAir->State()["cue"];
  EXPECT_EQ(cue["state"], "ready");
  EXPECT_GT(cue["seq"].get<std::uint64_t>(), seq);
  serve::TServePage page(tools);
  page.Load(dir / "l3.QV", {{"Meta1", "Ben Okafor"}, {"title.Text", "Chief forecaster"}}, guard);
  const std::vector<std::uint8_t> png = TStreamedBitmap::StraightAlphaPng(page.Compose(page.PreviewFrame()));
  EXPECT_EQ(*onAir->PreviewPng(), std::string(png.begin(), png.end()));
}

TEST_F(OnAirTest, NextCuesTheFollowingRows) {
  const std::vector<std::pair<std::string, int>> steps = {{"bug", 202}, {"anna", 202}, {"ben", 202}, {"cara", 202}, {"", 409}};
  for (const auto& [row, status] : steps) {
    const serve::TResult next = onAir->Next();
    EXPECT_EQ(next.Status, status) << row;
    if (status == 202) {
      EXPECT_EQ(next.Body["row"], row);
    }
  }
  onAir->WaitForWorker();
  EXPECT_EQ(onAir->State()["cue"]["state"], "ready");
}

TEST_F(OnAirTest, ACueThatCannotBeMadeSaysWhy) {
  // The page's file goes away after the row was checked.
  std::filesystem::remove(dir / "bug.QV");
  ASSERT_EQ(onAir->Cue("bug").Status, 202);
  onAir->WaitForWorker();
  const TJson cue = onAir->State()["cue"];
  EXPECT_EQ(cue["state"], "failed");
  EXPECT_NE(cue["error"].get<std::string>().find("bug.QV"), std::string::npos) << cue.dump();
  const serve::TResult take = onAir->Take();
  EXPECT_EQ(take.Status, 409);
  EXPECT_NE(take.Body["error"].get<std::string>().find("could not be cued"), std::string::npos);
}

// Cues, edits and takes from one thread while the playout draws on another and the worker loads:
// whatever the interleaving, the program ends showing the last row taken as it was last edited.
TEST_F(OnAirTest, ManyCuesAndEditsWhileThePlayoutRuns) {
  StartPlayout();
  for (int i = 0; i < 12; ++i) {
    const std::string row = i % 2 == 0 ? "anna" : "ben";
    ASSERT_EQ(onAir->Cue(row).Status, 202);
    ASSERT_EQ(onAir->EditRow(row, TJson{{"fields", {{"title.Text", "Take " + std::to_string(i)}}}}).Status, 200);
    onAir->WaitForWorker();
    ASSERT_EQ(onAir->Take().Status, 200);
    ASSERT_EQ(onAir->EditRow(row, TJson{{"fields", {{"title.Text", "Edit " + std::to_string(i)}}}}).Status, 200);
  }
  onAir->WaitForWorker();
  EXPECT_TRUE(Eventually([&] { return ShowsOnLayer1({{"Meta1", "Ben Okafor"}, {"title.Text", "Edit 11"}}); }));
  StopPlayout();
  EXPECT_EQ(*serve::ReadRundownFile(rundown).Find("anna")->Field("title.Text"), "Edit 10");
}

}  // namespace
}  // namespace qv::test

// Several pages on air at once: each layer's page from its first frame, composited bottom layer
// first, taken and taken out independently, an outro played before a page leaves, and a page
// replaced where it stands. Every program frame equals the pages drawn alone and composited by
// hand. The fake text engine stands in for Qt, so ThreadSanitizer sees every access.
#include "ServeFixtures.h"
#include "support/Files.h"
#include "TextFakes.h"
#include "composition/ImageLayers.h"
#include "serve/Program.h"
#include "serve/ServePage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qv::test {
namespace {

using serve::TFieldList;
using serve::TProgram;
using serve::TServePage;

const TFieldList kAnna = {{"Meta1", "Anna Berg"}, {"title.Text", "Reporter"}};
const TFieldList kBen = {{"Meta1", "Ben Okafor"}, {"title.Text", "Weather"}};

class ProgramTest : public ::testing::Test {
 protected:
  std::unique_ptr<TServePage> Page(const std::string& file, const TFieldList& fields) {
    auto page = std::make_unique<TServePage>(tools);
    page->Load(dir / file, fields, guard);
    return page;
  }
  // The page drawn alone, frames 0 .. Count - 1; its outro starts at OutroAt (if not -1).
  std::vector<std::string> Alone(const std::string& file, const TFieldList& fields, int count, int outroAt = -1) {
    auto page = Page(file, fields);
    std::vector<std::string> frames;
    for (int f = 0; f < count; ++f) {
      if (f == outroAt) page->StartOutro(f);
      const TmemoryBitmap& b = page->Compose(f);
      frames.emplace_back(reinterpret_cast<const char*>(b.Bits), b.ByteSize());
    }
    return frames;
  }
  static std::string Bytes(const TmemoryBitmap& b) { return std::string(reinterpret_cast<const char*>(b.Bits), b.ByteSize()); }

  TTestDir dir{"serve-program"};
  std::string rundown = WriteServeFolder(dir.Path());
  serve::TFolderGuard guard{dir.Path()};
  TFakeTextRenderer text;
  serve::TPageTools tools{&text, {}, {}};
  const std::string empty = std::string(std::size_t(kPageW) * kPageH * 4, '\0');
};

TEST_F(ProgramTest, LayersTakenAndTakenOutIndependentlyCompositeBottomFirst) {
  const std::vector<std::string> l3 = Alone("l3.QV", kAnna, 40);
  // The bug is taken at program frame 8 and out at 25: its page is then at frame 17.
  const std::vector<std::string> bug = Alone("bug.QV", {}, 40, 17);
  ASSERT_NE(l3[0], l3[6]) << "the strap fades in";
  ASSERT_NE(bug[4], bug[5]) << "the badge moves";
  ASSERT_NE(Over(l3[10], bug[10]), Over(bug[10], l3[10])) << "the pages overlap";

  TProgram program(kPageW, kPageH);
  for (std::int64_t n = 0; n < 32; ++n) {
    if (n == 3) program.Take(1, "anna", Page("l3.QV", kAnna));
    if (n == 8) program.Take(2, "bug", Page("bug.QV", {}));
    if (n == 20) program.TakeOut(1);
    if (n == 25) program.TakeOut(2);
    std::string want = empty;
    if (n >= 3 && n < 20) want = Over(want, l3[std::size_t(n - 3)]);
    if (n >= 8 && n < 28) want = Over(want, bug[std::size_t(n - 8)]);
    ASSERT_EQ(Bytes(program.Frame(n)), want) << "program frame " << n;

    // The state after a frame: what the next frame shows (the outro's last frame is 27).
    std::vector<int> layers;
    for (const serve::TOnAirLayer& l : program.State()) layers.push_back(l.Layer);
    const std::vector<int> onAir = n < 3 ? std::vector<int>{} : n < 8 ? std::vector<int>{1}
                                 : n < 20 ? std::vector<int>{1, 2} : n < 27 ? std::vector<int>{2} : std::vector<int>{};
    EXPECT_EQ(layers, onAir) << "program frame " << n;
  }
  // Pages that left were handed back, to be freed off the playout thread.
  EXPECT_EQ(program.Released().size(), 2u);
}

// The outro the bug played: the badge left its loop for its last three pictures, then held.
TEST_F(ProgramTest, TakingOutPlaysTheSequencesOutroFromThatFrame) {
  auto page = Page("bug.QV", {});
  auto* badge = dynamic_cast<TMultiImageLayer*>(page->Sys().Layers[1].get());
  ASSERT_NE(badge, nullptr);
  ASSERT_EQ(badge->FrameCount(), std::size_t(kBadgeFrames));
  // Intro 0, 1; loop 2, 3, 4 (the outro's pictures 5, 6, 7 are not in it).
  const std::vector<int> looping = {0, 1, 2, 3, 4, 2, 3, 4, 2, 3, 4};
  for (int f = 0; f < int(looping.size()); ++f) EXPECT_EQ(badge->FrameIndex(f), looping[std::size_t(f)]) << f;
  EXPECT_EQ(page->StartOutro(11), kBadgeOut);
  const std::vector<std::pair<int, int>> out = {{10, 4}, {11, 5}, {12, 6}, {13, 7}, {14, 7}, {40, 7}};
  for (const auto& [f, picture] : out) EXPECT_EQ(badge->FrameIndex(f), picture) << f;
  // A page without sequences has no outro to play.
  EXPECT_EQ(Page("l3.QV", kAnna)->StartOutro(3), 0);
}

TEST_F(ProgramTest, ATakeStartsItsPageOverAndAReplacementKeepsThePlace) {
  const std::vector<std::string> anna = Alone("l3.QV", kAnna, 30);
  const std::vector<std::string> ben = Alone("l3.QV", kBen, 30);
  ASSERT_NE(anna[10], ben[10]);

  TProgram program(kPageW, kPageH);
  const std::uint64_t first = program.Take(1, "anna", Page("l3.QV", kAnna));
  for (std::int64_t n = 0; n < 30; ++n) {
    if (n == 5) {
      // Anna's row edited on air: the same row anew, moved on to where the layer stands.
      auto again = Page("l3.QV", kBen);
      again->AdvanceTo(4);
      program.Replace(1, first, std::move(again));
    }
    if (n == 12) program.Take(1, "ben", Page("l3.QV", kBen));
    // A replacement for a take that has left changes nothing.
    if (n == 15) program.Replace(1, first, Page("l3.QV", kAnna));
    const std::string& want = n < 5 ? anna[std::size_t(n)] : n < 12 ? ben[std::size_t(n)] : ben[std::size_t(n - 12)];
    ASSERT_EQ(Bytes(program.Frame(n)), Over(empty, want)) << "program frame " << n;
  }
  const std::vector<serve::TOnAirLayer> state = program.State();
  ASSERT_EQ(state.size(), 1u);
  EXPECT_EQ(state[0].Row, "ben");
  EXPECT_EQ(state[0].Since, 12);
  EXPECT_EQ(program.PageFrame(first), -1);
  EXPECT_EQ(program.PageFrame(state[0].Take), 29 - 12);
  // Anna's first page, the page that replaced it, and the late replacement.
  EXPECT_EQ(program.Released().size(), 3u);
}

}  // namespace
}  // namespace qv::test

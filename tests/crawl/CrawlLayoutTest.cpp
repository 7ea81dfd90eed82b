// Where the crawl's items go in a field: positions along the crawl, which items meet the layer,
// the vertical placement, and when the crawl has passed.
#include "composition/RollLayer.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

std::vector<std::unique_ptr<TTextStrip>> Strips(std::initializer_list<int> widths, int tag2 = 30, int height = 30) {
  std::vector<std::unique_ptr<TTextStrip>> v;
  for (int w : widths) {
    auto s = std::make_unique<TTextStrip>();
    s->Width = w;
    s->Height = height;
    s->Tag2 = tag2;
    v.push_back(std::move(s));
  }
  return v;
}

TCrawlGeometry Geometry(std::int64_t pos, TTextDirection dir, int sep) {
  TCrawlGeometry g;
  g.Pos = pos;
  g.X = 0;
  g.Width = 768;
  g.Height = 30;
  g.Space = 40;
  g.SeparatorWidth = sep;
  g.SeparatorPosition = 5;
  g.Scroll = dir;
  return g;
}

TEST(CrawlLayout, ItemsFollowEachOtherWithGapsAndSeparators) {
  struct Case {
    const char* name;
    TTextDirection dir;
    std::int64_t pos;
    int sep;
    std::vector<TCrawlPlacement> expected;  // X relative to the layer
    bool passed;
  };
  const auto strips = Strips({300, 200});
  const Case cases[] = {
      // 300 + 40 = 340 for the first strip, 20 + 40 for the separator, then the second strip.
      {"left to right from 0", tdLefttoRight, 0, 20, {{0, 0, 0}, {-1, 340, 5}, {1, 400, 0}, {-1, 640, 5}}, false},
      {"left to right, entering at the right edge", tdLefttoRight, 768, 20, {{0, 768, 0}}, false},
      {"left to right, first strip gone", tdLefttoRight, -330, 20, {{-1, 10, 5}, {1, 70, 0}, {-1, 310, 5}}, false},
      {"left to right, a strip just touching the left edge", tdLefttoRight, -300, 0, {{0, -300, 0}, {1, 40, 0}}, false},
      {"left to right, a separator of 8 pixels is not drawn", tdLefttoRight, 0, 8, {{0, 0, 0}, {1, 340, 0}}, false},
      // The last separator's right end is at p + 660.
      {"left to right, all passed", tdLefttoRight, -661, 20, {}, true},
      {"left to right, the last separator's right end at the left edge", tdLefttoRight, -660, 20, {{-1, -20, 5}},
       false},
      {"left to right, no separator: the last strip's right end", tdLefttoRight, -541, 0, {}, true},
      // Right to left: items run leftwards from the position.
      {"right to left from 768", tdRighttoLeft, 768, 20, {{0, 468, 0}, {-1, 408, 5}, {1, 168, 0}, {-1, 108, 5}}, false},
      {"right to left from 0", tdRighttoLeft, 0, 20, {{0, -300, 0}}, false},
      // The last separator's left end is at p - 660.
      {"right to left, all passed", tdRighttoLeft, 768 + 661, 20, {}, true},
      {"right to left, the last separator's left end at the right edge", tdRighttoLeft, 768 + 660, 20, {{-1, 768, 5}},
       true},
      {"right to left, the last separator's left end inside", tdRighttoLeft, 768 + 659, 20, {{-1, 767, 5}}, false},
  };
  for (const Case& c : cases) {
    std::vector<TCrawlPlacement> out;
    const bool passed = LayOutCrawlField(Geometry(c.pos, c.dir, c.sep), strips, out);
    EXPECT_EQ(out, c.expected) << c.name;
    EXPECT_EQ(passed, c.passed) << c.name;
  }
}

TEST(CrawlLayout, NoStripsNeverPass) {
  std::vector<TCrawlPlacement> out;
  const std::vector<std::unique_ptr<TTextStrip>> none;
  EXPECT_FALSE(LayOutCrawlField(Geometry(-100000, tdLefttoRight, 20), none, out));
  EXPECT_FALSE(LayOutCrawlField(Geometry(100000, tdRighttoLeft, 20), none, out));
  EXPECT_TRUE(out.empty());
}

TEST(CrawlLayout, StripsOfOneCrawlShareTheirBaseline) {
  // Rich-text lines: Tag2 is the line's ascent, the strips are as tall as the line plus margins.
  // Their baselines (top + DY + ascent) meet at Height - DY - Maxdescent in both directions.
  std::vector<std::unique_ptr<TTextStrip>> strips;
  for (auto [ascent, height] : {std::pair{20, 40}, std::pair{32, 56}}) {
    auto s = std::make_unique<TTextStrip>();
    s->Width = 100;
    s->Height = height;
    s->Tag2 = ascent;
    strips.push_back(std::move(s));
  }
  for (TTextDirection dir : {tdLefttoRight, tdRighttoLeft}) {
    TCrawlGeometry g = Geometry(dir == tdLefttoRight ? 0 : 768, dir, 0);
    g.DY = 6;
    g.Maxdescent = 8;
    g.Height = 8 + 32 + 12;
    std::vector<TCrawlPlacement> out;
    LayOutCrawlField(g, strips, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].Y + g.DY + 20, g.Height - g.DY - g.Maxdescent) << dir;
    EXPECT_EQ(out[1].Y + g.DY + 32, g.Height - g.DY - g.Maxdescent) << dir;
  }
}

TEST(CrawlLayout, FarPositionsDoNotOverflow) {
  const auto strips = Strips({1000000000, 1000000000});
  std::vector<TCrawlPlacement> out;
  EXPECT_FALSE(LayOutCrawlField(Geometry(INT32_MAX, tdLefttoRight, 20), strips, out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(LayOutCrawlField(Geometry(INT32_MIN, tdLefttoRight, 20), strips, out));
}

}  // namespace
}  // namespace qv

// The Qt text renderer, headless: sizes, grey coverage, centring, font fallback, right-to-left
// order and shaping, drawing in pieces and from several threads.
#include "TextTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace qv::test {
namespace {

const TFontSpec kTahoma64{"Tahoma", 64, false};

TEST(PointsToPixels, ConvertsAt96PixelsPerInchRoundingToNearest) {
  struct Case {
    int points, pixels;
  };
  for (const Case c : {Case{1, 1}, Case{3, 4}, Case{4, 5}, Case{5, 7}, Case{9, 12}, Case{32, 43}, Case{128, 171},
                       Case{3072, 4096}}) {
    EXPECT_EQ(PointsToPixels(c.points), c.pixels) << c.points;
  }
}

TEST(QtTextRenderer, MeasureScalesWithTextAndSize) {
  const TTextExtent one = QtRenderer().Measure("Text", kTahoma64);
  const TTextExtent two = QtRenderer().Measure("TextText", kTahoma64);
  const TTextExtent big = QtRenderer().Measure("Text", {"Tahoma", 128, false});
  ASSERT_GT(one.Width, 0);
  ASSERT_GT(one.Height, 0);
  EXPECT_NEAR(two.Width, 2 * one.Width, 2 + one.Width / 50);  // kerning between the words
  EXPECT_EQ(two.Height, one.Height);
  EXPECT_NEAR(big.Width, 2 * one.Width, 3);
  EXPECT_NEAR(big.Height, 2 * one.Height, 3);
  // A line is at least as high as the font's pixel size.
  EXPECT_GE(one.Height, PointsToPixels(64));
  EXPECT_GT(QtRenderer().Measure("Text", {"Tahoma", 64, true}).Width, one.Width);
}

// Lines are as high as Windows makes them: Tahoma's 2049 units above and 423 below the baseline
// per 2048 to the em give 85 + 18 pixels at 85 pixels to the em (64 points), with the baseline 85
// below the top (where the feet of capitals stand).
TEST(QtTextRenderer, LineHeightAndBaselineFollowTheFontsWindowsMetrics) {
  EXPECT_EQ(QtRenderer().Measure("Text", kTahoma64).Height, 103);
  EXPECT_EQ(QtRenderer().Measure("Text\nText", kTahoma64).Height, 206);
  int w = 0, h = 0;
  const auto bits = DrawWithQt("HHHH", kTahoma64, TReadingOrder::roLeftToRight, w, h);
  const TInk ink = InkOf(bits.data(), w, h);
  EXPECT_NEAR(ink.Bottom, 85, 1);
}

TEST(QtTextRenderer, EmptyTextIsOneLineHighAndNothingWide) {
  const TTextExtent e = QtRenderer().Measure("", kTahoma64);
  EXPECT_EQ(e.Width, 0);
  EXPECT_EQ(e.Height, QtRenderer().Measure("Text", kTahoma64).Height);
}

TEST(QtTextRenderer, LineBreaksStackLinesAndMeasureTheWidest) {
  const TTextExtent line = QtRenderer().Measure("Wide line", kTahoma64);
  const TTextExtent narrow = QtRenderer().Measure("ab", kTahoma64);
  for (const char* text : {"Wide line\nab", "ab\r\nWide line", "ab\rWide line"}) {
    const TTextExtent e = QtRenderer().Measure(text, kTahoma64);
    EXPECT_EQ(e.Width, line.Width) << text;
    EXPECT_NEAR(e.Height, 2 * line.Height, 1) << text;
  }
  // Each line is centred on its own: the short line's ink sits in the middle of the box.
  int w = 0, h = 0;
  const auto bits = DrawWithQt("Wide line\nab", kTahoma64, TReadingOrder::roLeftToRight, w, h);
  const TInk second = InkOf(bits.data() + std::size_t(line.Height) * w * 4, w, h - line.Height);
  ASSERT_FALSE(second.Empty());
  EXPECT_NEAR(second.CentreX, w / 2.0, narrow.Width / 4.0);
}

TEST(QtTextRenderer, CoverageIsGreyInEveryByteWithSoftEdges) {
  int w = 0, h = 0;
  const auto bits = DrawWithQt("Breaking News", kTahoma64, TReadingOrder::roLeftToRight, w, h);
  int partial = 0, full = 0;
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    // White on black without sub-pixel colour: blue, green, red and alpha all hold the coverage.
    ASSERT_EQ(bits[i], bits[i + 1]) << i / 4;
    ASSERT_EQ(bits[i], bits[i + 2]) << i / 4;
    ASSERT_EQ(bits[i], bits[i + 3]) << i / 4;
    partial += bits[i] > 0 && bits[i] < 255;
    full += bits[i] == 255;
  }
  EXPECT_GT(full, 1000);
  EXPECT_GT(partial, 100);  // antialiased edges
}

TEST(QtTextRenderer, CentresHorizontallyAndDrawsFromTheTop) {
  const TTextExtent e = QtRenderer().Measure("HHHH", kTahoma64);
  for (int box : {e.Width + 4, e.Width + 200}) {
    std::vector<std::uint8_t> bits(std::size_t(box) * e.Height * 4, 0);
    QtRenderer().Draw("HHHH", kTahoma64, TReadingOrder::roLeftToRight, box, {bits.data(), box, e.Height, 0, 0});
    const TInk ink = InkOf(bits.data(), box, e.Height);
    ASSERT_FALSE(ink.Empty());
    EXPECT_NEAR((ink.Left + ink.Right) / 2.0, box / 2.0, 1.5) << box;
    // The capital's top is below the line's top (the ascent holds accents) and its foot is above
    // the line's bottom (the descent).
    EXPECT_GT(ink.Top, 0);
    EXPECT_LT(ink.Top, e.Height / 3);
    EXPECT_LT(ink.Bottom, e.Height);
  }
}

// The default face of every text layer: Wine's Tahoma (installed with the project's packages),
// narrower than the sans that would stand in for it.
TEST(QtTextRenderer, TahomaIsSupplied) {
  EXPECT_EQ(QtRenderer().ResolvedFamily({"Tahoma", 32, false}), "Tahoma");
  EXPECT_EQ(QtRenderer().ResolvedFamily({"tahoma", 32, true}), "Tahoma");
  EXPECT_LT(QtRenderer().Measure("Breaking News", {"Tahoma", 128, false}).Width,
            QtRenderer().Measure("Breaking News", {"DejaVu Sans", 128, false}).Width);
}

TEST(QtTextRenderer, UnknownFaceFallsBackToTheSystemSubstitute) {
  const TFontSpec unknown{"No Such Face 4711", 64, false};
  EXPECT_FALSE(QtRenderer().ResolvedFamily(unknown).empty());
  EXPECT_NE(QtRenderer().ResolvedFamily(unknown), "No Such Face 4711");
  EXPECT_GT(QtRenderer().Measure("Text", unknown).Width, 0);
  int w = 0, h = 0;
  const auto bits = DrawWithQt("Text", unknown, TReadingOrder::roLeftToRight, w, h);
  EXPECT_GT(InkOf(bits.data(), w, h).Mass, 255 * 200);
}

// Characters the chosen face lacks come from another installed font, never as empty boxes.
TEST(QtTextRenderer, MissingCharactersComeFromFallbackFonts) {
  struct Case {
    const char* script;
    const char* text;
  };
  const Case cases[] = {
      {"Greek", "Καλημέρα"},  {"Cyrillic", "Привет мир"}, {"Arabic", "مرحبا بالعالم"},
      {"Hebrew", "שלום עולם"}, {"symbols", "☺☎✈★"},       {"emoji", "😀🎉"},
  };
  for (const char* face : {"Tahoma", "Liberation Sans", "DejaVu Serif"}) {
    for (const Case& c : cases) {
      const TFontSpec font{face, 48, false};
      EXPECT_EQ(QtRenderer().MissingGlyphs(c.text, font), 0) << face << " " << c.script;
      int w = 0, h = 0;
      const auto bits = DrawWithQt(c.text, font, TReadingOrder::roLeftToRight, w, h);
      EXPECT_GT(InkOf(bits.data(), w, h).Mass, 255 * 50) << face << " " << c.script;
    }
  }
  // The count does see a character no font has (a private-use code point).
  EXPECT_GT(QtRenderer().MissingGlyphs("a\xEE\x80\x80" "b", {"Tahoma", 48, false}), 0);
}

// The ink centre of Text drawn in its own measure, relative to the box's centre (-: left).
double InkOffset(const std::string& text, const TFontSpec& font, TReadingOrder order) {
  int w = 0, h = 0;
  const auto bits = DrawWithQt(text, font, order, w, h);
  const TInk ink = InkOf(bits.data(), w, h);
  EXPECT_FALSE(ink.Empty()) << text;
  return ink.CentreX - w / 2.0;
}

// The widths of the runs of inked columns, left to right: letters that do not touch are runs of
// their own.
std::vector<int> InkRuns(const std::string& text, const TFontSpec& font, TReadingOrder order) {
  int w = 0, h = 0;
  const auto bits = DrawWithQt(text, font, order, w, h);
  std::vector<int> runs;
  int start = -1;
  for (int x = 0; x <= w; ++x) {
    bool inked = false;
    for (int y = 0; x < w && y < h && !inked; ++y) inked = bits[(std::size_t(y) * w + x) * 4] > 32;
    if (inked && start < 0) start = x;
    if (!inked && start >= 0) {
      runs.push_back(x - start);
      start = -1;
    }
  }
  return runs;
}

// Shin is a broad letter, vav a thin stroke: whichever is written first must stand on the right,
// whatever the paragraph's direction.
TEST(QtTextRenderer, HebrewReadsRightToLeft) {
  const TFontSpec font{"Tahoma", 64, false};
  for (TReadingOrder order : {TReadingOrder::roRightToLeft, TReadingOrder::roLeftToRight}) {
    const std::vector<int> shinFirst = InkRuns("שו", font, order);
    ASSERT_EQ(shinFirst.size(), 2u) << int(order);
    EXPECT_LT(shinFirst[0], shinFirst[1]) << int(order);  // vav left, shin right
    const std::vector<int> vavFirst = InkRuns("וש", font, order);
    ASSERT_EQ(vavFirst.size(), 2u) << int(order);
    EXPECT_GT(vavFirst[0], vavFirst[1]) << int(order);
  }
}

// Arabic letters join: three behs written together are much narrower than three alone, and form
// one run of ink; alef, which never joins the letter after it, stands apart on the right.
TEST(QtTextRenderer, ArabicIsShapedAndReadsRightToLeft) {
  const TFontSpec font{"Tahoma", 64, false};
  const int single = QtRenderer().Measure("ب", font).Width;
  const int joined = QtRenderer().Measure("ببب", font).Width;
  EXPECT_LT(joined, 0.8 * 3 * single);
  for (TReadingOrder order : {TReadingOrder::roRightToLeft, TReadingOrder::roLeftToRight}) {
    const std::vector<int> runs = InkRuns("اببب", font, order);
    ASSERT_GE(runs.size(), 2u) << int(order);
    EXPECT_GT(runs.front(), 3 * runs.back()) << int(order);  // joined behs left, alef right
  }
}

// In a right-to-left paragraph the first run stands at the right, also when it is Latin, and
// trailing punctuation goes to the left end; left to right it is the other way round.
TEST(QtTextRenderer, ReadingOrderPlacesRunsOfMixedText) {
  const TFontSpec font{"Tahoma", 64, false};
  EXPECT_GT(InkOffset("WWWW ו", font, TReadingOrder::roRightToLeft), 10);
  EXPECT_LT(InkOffset("WWWW ו", font, TReadingOrder::roLeftToRight), -10);
  EXPECT_GT(InkOffset("WWWW ...........", font, TReadingOrder::roRightToLeft), 10);
  EXPECT_LT(InkOffset("WWWW ...........", font, TReadingOrder::roLeftToRight), -10);
  // A line of one left-to-right run looks the same in either paragraph direction.
  int w = 0, h = 0;
  const auto bits = DrawWithQt("AWWWW", font, TReadingOrder::roRightToLeft, w, h);
  const auto ref = DrawWithQt("AWWWW", font, TReadingOrder::roLeftToRight, w, h);
  EXPECT_EQ(bits, ref);
}

// Pixel for pixel: a piece's origin moves every glyph by whole pixels, and a glyph's coverage
// depends only on where in its pixel it starts.
TEST(QtTextRenderer, DrawingInPiecesGivesTheSamePixels) {
  const std::string text = "Breaking News שלום";
  const TTextExtent e = QtRenderer().Measure(text, kTahoma64);
  const int box = e.Width + 3;
  std::vector<std::uint8_t> whole(std::size_t(box) * e.Height * 4, 0);
  QtRenderer().Draw(text, kTahoma64, TReadingOrder::roRightToLeft, box, {whole.data(), box, e.Height, 0, 0});
  const int tw = 100, th = 40;
  for (int oy = 0; oy < e.Height; oy += th) {
    for (int ox = 0; ox < box; ox += tw) {
      const int w = std::min(tw, box - ox), h = std::min(th, e.Height - oy);
      std::vector<std::uint8_t> tile(std::size_t(w) * h * 4, 0);
      QtRenderer().Draw(text, kTahoma64, TReadingOrder::roRightToLeft, box, {tile.data(), w, h, ox, oy});
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w * 4; ++x) {
          const int a = tile[std::size_t(y) * w * 4 + x];
          const int b = whole[(std::size_t(oy + y) * box + ox) * 4 + x];
          ASSERT_EQ(a, b) << "tile " << ox << "," << oy << " at " << x / 4 << "," << y;
        }
      }
    }
  }
}

// A glyph is drawn once per face, size and offset within its pixel and then reused: a renderer
// that drew other texts first (the same letters at other places, other sizes, other faces) draws
// each text as a renderer that draws nothing else. Letters too large to keep (the last case) are
// filled straight into the surface, in the same place.
TEST(QtTextRenderer, GlyphsReusedFromOtherTextsGiveTheSamePixels) {
  struct Case {
    std::string Text;
    TFontSpec Font;
    TReadingOrder Order;
  };
  const std::vector<Case> cases = {
      {"Headline of the hour", {"Tahoma", 72, false}, TReadingOrder::roLeftToRight},
      {"Hour of the headline", {"Tahoma", 72, false}, TReadingOrder::roLeftToRight},
      {"Headline of the hour", {"Tahoma", 72, true}, TReadingOrder::roLeftToRight},
      {"Headline of the hour", {"Tahoma", 54, false}, TReadingOrder::roLeftToRight},
      {"Headline\nof the hour", {"DejaVu Serif", 40, false}, TReadingOrder::roRightToLeft},
      {"מרחבא שלום hour", {"Liberation Sans", 60, false}, TReadingOrder::roRightToLeft},
      {"eeee eeee eeee", {"Tahoma", 33, false}, TReadingOrder::roLeftToRight},
      {"W", {"Tahoma", 1000, false}, TReadingOrder::roLeftToRight},
  };
  auto draw = [](const TQtTextRenderer& renderer, const Case& c) {
    const TTextExtent e = renderer.Measure(c.Text, c.Font);
    const int w = e.Width + 8;
    std::vector<std::uint8_t> bits(std::size_t(w) * std::size_t(e.Height) * 4, 0);
    renderer.Draw(c.Text, c.Font, c.Order, w, {bits.data(), w, e.Height, 0, 0});
    return bits;
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const TQtTextRenderer alone;
    const std::vector<std::uint8_t> expected = draw(alone, cases[i]);
    const TTextExtent e = alone.Measure(cases[i].Text, cases[i].Font);
    const TInk ink = InkOf(expected.data(), e.Width + 8, e.Height);
    ASSERT_FALSE(ink.Empty()) << cases[i].Text;
    EXPECT_NEAR(ink.CentreX, (e.Width + 8) / 2.0, e.Width / 10.0) << cases[i].Text;  // centred in the box
    const TQtTextRenderer used;
    for (std::size_t k = 0; k < cases.size(); ++k) {
      if (k != i) draw(used, cases[k]);
    }
    EXPECT_TRUE(draw(used, cases[i]) == expected) << cases[i].Text;
    EXPECT_TRUE(draw(used, cases[i]) == expected) << cases[i].Text << ", drawn again";
  }
}

TEST(QtTextRenderer, ThreadsDrawingAtOnceGetTheSinglyDrawnPixels) {
  const std::vector<std::pair<std::string, TFontSpec>> jobs = {
      {"Breaking News", {"Tahoma", 128, false}}, {"مرحبا بالعالم", {"Tahoma", 96, false}},
      {"שלום עולם", {"Liberation Sans", 80, true}}, {"Καλημέρα ☺", {"DejaVu Serif", 72, false}},
      {"12:34:56", {"Tahoma", 128, false}}};
  auto render = [&](std::size_t i) {
    int w = 0, h = 0;
    return DrawWithQt(jobs[i].first, jobs[i].second,
                      i % 2 ? TReadingOrder::roRightToLeft : TReadingOrder::roLeftToRight, w, h);
  };
  std::vector<std::vector<std::uint8_t>> expected;
  for (std::size_t i = 0; i < jobs.size(); ++i) expected.push_back(render(i));

  constexpr int kRounds = 6;
  std::vector<std::vector<std::uint8_t>> got[2];
  auto worker = [&](int t) {
    for (int r = 0; r < kRounds; ++r) {
      for (std::size_t k = 0; k < jobs.size(); ++k) got[t].push_back(render((k + std::size_t(t) * 2) % jobs.size()));
    }
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();
  for (int t = 0; t < 2; ++t) {
    ASSERT_EQ(got[t].size(), jobs.size() * kRounds);
    for (std::size_t n = 0; n < got[t].size(); ++n) {
      const std::size_t k = (n % jobs.size() + std::size_t(t) * 2) % jobs.size();
      EXPECT_TRUE(got[t][n] == expected[k]) << "thread " << t << " job " << k;
    }
  }
}

}  // namespace
}  // namespace qv::test

// The Qt rich-text engine: lines and characters, metrics, and drawing in the runs' own colours,
// in pieces as whole; a rich-text line through the rasteriser.
#include "composition/RichTextRender.h"
#include "platform/QtRichEdit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qv {
namespace {

TRichRun RichRun(const std::string& text, int halfPoints, std::uint32_t color, bool bold = false) {
  TRichRun r;
  r.Text = text;
  r.Face = "Tahoma";
  r.HalfPoints = halfPoints;
  r.Bold = bold;
  r.Color = color;
  r.AutoColor = false;
  return r;
}

TRichDocument Doc(std::vector<TRichParagraph> paragraphs) {
  TRichDocument d;
  d.Paragraphs = std::move(paragraphs);
  return d;
}

struct Surface {
  int W, H;
  std::vector<std::uint8_t> Bits;
  Surface(int w, int h) : W(w), H(h), Bits(std::size_t(w) * h * 4, 0) {}
  const std::uint8_t* At(int x, int y) const { return Bits.data() + (std::size_t(y) * W + x) * 4; }
};

struct QtRichEdit : ::testing::Test {
  TQtRichEdit engine;
};

TEST_F(QtRichEdit, LinesAreParagraphsCountedInCharacters) {
  engine.Load(Doc({{{RichRun("Hello ", 24, 0xFF0000), RichRun("world", 48, 0x0000FF)}, false},
                   {{}, false},
                   {{RichRun("\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", 24, 0x00FF00)}, true}}));
  ASSERT_EQ(engine.LineCount(), 3);
  EXPECT_EQ(engine.LineStart(0), 0);
  EXPECT_EQ(engine.LineLength(0), 11);
  EXPECT_EQ(engine.LineStart(1), 12);
  EXPECT_EQ(engine.LineLength(1), 0);
  EXPECT_EQ(engine.LineStart(2), 13);
  EXPECT_EQ(engine.LineLength(2), 5);
  EXPECT_EQ(engine.Text(0, 11), "Hello world");
  EXPECT_EQ(engine.Text(6, 5), "world");
  EXPECT_EQ(engine.Text(13, 5), "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7");

  const TRichFontMetrics small = engine.CharMetrics(0);
  const TRichFontMetrics big = engine.CharMetrics(6);
  EXPECT_GT(small.Ascent, 10);  // 12 points are 16 pixels
  EXPECT_NEAR(big.Ascent, 2 * small.Ascent, 2);
  EXPECT_EQ(engine.RangeHeight(0, 11), big.Ascent + big.Descent);
  EXPECT_GT(engine.RangeWidth(0, 11), engine.RangeWidth(0, 6));
  EXPECT_GT(engine.RangeWidth(13, 5), 0);
}

TEST_F(QtRichEdit, DrawsEachRunInItsColourAndInPiecesAsWhole) {
  engine.Load(Doc({{{RichRun("HHHH", 48, 0xFF0000), RichRun("HHHH", 48, 0x0000FF)}, false}}));
  const int s = 4;
  const int w = engine.RangeWidth(0, 8) * s;
  const int h = engine.RangeHeight(0, 8) * s;
  Surface whole(w, h);
  engine.Render(0, 8, s, {whole.Bits.data(), w, h, 0, 0});
  // Red ink in the left half, blue in the right, premultiplied.
  long red = 0, blue = 0, wrongLeft = 0, wrongRight = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = whole.At(x, y);
      ASSERT_LE(p[0], p[3]);
      ASSERT_LE(p[2], p[3]);
      if (x < w / 2 - 8) {
        red += p[2];
        wrongLeft += p[0];
      } else if (x > w / 2 + 8) {
        blue += p[0];
        wrongRight += p[2];
      }
    }
  }
  EXPECT_GT(red, 1000 * 255);
  EXPECT_GT(blue, 1000 * 255);
  EXPECT_EQ(wrongLeft, 0);
  EXPECT_EQ(wrongRight, 0);

  // The same box drawn as four tiles of odd sizes.
  Surface tiled(w, h);
  const int tw = w / 3 + 5, th = h / 2 + 3;
  for (int ty = 0; ty < h; ty += th) {
    for (int tx = 0; tx < w; tx += tw) {
      const int cw = std::min(tw, w - tx), ch = std::min(th, h - ty);
      Surface tile(cw, ch);
      engine.Render(0, 8, s, {tile.Bits.data(), cw, ch, tx, ty});
      for (int y = 0; y < ch; ++y) std::memcpy(&tiled.Bits[(std::size_t(ty + y) * w + tx) * 4], tile.At(0, y), std::size_t(cw) * 4);
    }
  }
  int differ = 0;
  for (std::size_t i = 0; i < whole.Bits.size(); ++i) differ += std::abs(int(whole.Bits[i]) - int(tiled.Bits[i])) > 2;
  EXPECT_LT(differ, 20) << "of " << whole.Bits.size() << " bytes";
}

TEST_F(QtRichEdit, LinesOfTwoSizesShareTheirBaselineInACrawl) {
  // Capital H has no descender: its ink ends on the baseline, DY + ascent below the strip's top.
  engine.Load(Doc({{{RichRun("HHH", 24, 0xFFFFFF)}, false}, {{RichRun("HHH", 60, 0xFFFFFF)}, false}}));
  for (int line : {0, 1}) {
    int dx = 0, dy = 0, descent = 0, ascent = 0;
    const auto strip = RenderRichTextLine(engine, line, {}, {true, 0, 2, 255}, 4, dx, dy, descent, ascent);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(dy, 2);
    int bottom = -1;
    const TmemoryBitmap& p = *strip->Pieces[0];
    for (int y = 0; y < p.Height(); ++y) {
      // Only the text's own columns, not the contour.
      for (int x = dx + 2; x < p.Width() - dx - 2; ++x) {
        if ((p.Pixel(x, y) & 0xFF) > 200) bottom = y;  // bright: the white text
      }
    }
    EXPECT_NEAR(bottom, dy + ascent - 1, 1) << "line " << line;
  }
}

}  // namespace
}  // namespace qv

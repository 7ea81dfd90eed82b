// Lines rendered as strips of pieces: the same pixels as one image, whatever the piece width, for
// plain text and for rich-text lines; what the rich-text rasteriser keeps of a line.
#include "TextFakes.h"
#include "composition/RichTextRender.h"
#include "composition/TextRender.h"
#include "raster/RowKernels.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::test {
namespace {

// The strip's pieces side by side in one bitmap.
TmemoryBitmap Joined(const TTextStrip& s) {
  TmemoryBitmap out(s.Width, s.Height);
  int x = 0;
  for (const auto& p : s.Pieces) {
    EXPECT_EQ(p->Height(), s.Height);
    p->CopyRectTo(out, x, 0, p->Width(), p->Height(), 0, 0);
    x += p->Width();
  }
  EXPECT_EQ(x, s.Width);
  return out;
}

// Pixel (x, y) of the strip, found in its piece.
std::uint32_t StripPixel(const TTextStrip& s, int x, int y) {
  for (const auto& p : s.Pieces) {
    if (x < p->Width()) return p->Pixel(x, y);
    x -= p->Width();
  }
  ADD_FAILURE() << "outside the strip";
  return 0;
}

bool SamePixels(const TmemoryBitmap& a, const TmemoryBitmap& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && std::memcmp(a.Bits, b.Bits, a.ByteSize()) == 0;
}

TTextImageParams Styled(const std::string& text, bool shadow, bool contour) {
  TTextImageParams p;
  p.Text = text;
  p.FontName = "Tahoma";
  p.FontSize = 32;
  p.Color = 0x2080FF;
  p.Factor = 4;
  if (shadow) p.Shadow = {true, 0x0000FF, -7, 5, 4, 200};
  if (contour) p.Contour = {true, 0x00FF00, 3, 180};
  return p;
}

TEST(TextStrip, PiecesGiveTheWholeImage) {
  TFakeTextRenderer r;
  for (bool shadow : {false, true}) {
    for (bool contour : {false, true}) {
      const TTextImageParams p = Styled("Crawl along, mind the seams", shadow, contour);
      int dx = 0, dy = 0;
      const auto whole = RenderTextImage(r, p, dx, dy);
      for (int pieceWidth : {1, 7, 37, 100, 4096}) {
        int sdx = 0, sdy = 0;
        const auto strip = RenderTextStrip(r, p, sdx, sdy, pieceWidth);
        EXPECT_EQ(sdx, dx);
        EXPECT_EQ(sdy, dy);
        for (const auto& piece : strip->Pieces) EXPECT_LE(piece->Width(), pieceWidth);
        EXPECT_TRUE(SamePixels(Joined(*strip), *whole))
            << "shadow " << shadow << " contour " << contour << " pieces of " << pieceWidth;
      }
    }
  }
}

TEST(TextStrip, LinesWiderThanABitmapRenderInFull) {
  // 5 000 characters of 8 pixels: 40 000 pixels, more than a bitmap's side may be.
  TFakeTextRenderer r;
  std::string text;
  for (int i = 0; i < 5000; ++i) text += static_cast<char>('a' + i % 26);
  const TTextImageParams p = Styled(text, true, true);
  int dx = 0, dy = 0;
  EXPECT_THROW(RenderTextImage(r, p, dx, dy), std::length_error);
  const auto strip = RenderTextStrip(r, p, dx, dy);
  // The drawing is rounded up to whole blocks: one pixel more than the text.
  ASSERT_EQ(strip->Width, 5000 * 8 + 1 + 2 * dx);
  std::size_t bytes = 0;
  for (const auto& piece : strip->Pieces) {
    EXPECT_LE(piece->Width(), kStripPieceWidth);
    bytes += piece->ByteSize();
  }
  EXPECT_EQ(bytes, std::size_t(strip->Width) * strip->Height * 4);
  // Every character's bar is there in the text colour, at its place.
  const int row = dy + 2;
  for (int i = 0; i < 5000; ++i) {
    const std::uint32_t px = StripPixel(*strip, dx + i * 8 + 3, row);
    // The text colour (platform 0x2080FF: red FF, green 80, blue 20), opaque.
    ASSERT_GE(px >> 24, 250u) << "character " << i;
    ASSERT_GE((px >> 16) & 0xFF, 250u) << "character " << i;
    ASSERT_NEAR(double((px >> 8) & 0xFF), 0x80, 4) << "character " << i;
    ASSERT_NEAR(double(px & 0xFF), 0x20, 4) << "character " << i;
  }
}

TRichDocument Doc(std::initializer_list<std::vector<TRichRun>> paragraphs) {
  TRichDocument d;
  for (const auto& runs : paragraphs) d.Paragraphs.push_back({runs, false});
  return d;
}

TRichRun RichRun(const std::string& text, int halfPoints, std::uint32_t color) {
  TRichRun r;
  r.Text = text;
  r.HalfPoints = halfPoints;
  r.Color = color;
  r.AutoColor = false;
  return r;
}

TEST(RichTextLine, KeepsEachRunsColourAndTheLinesMetrics) {
  TFakeRichEdit e;
  e.Load(Doc({{RichRun("AB", 24, 0xFF0000), RichRun("CD", 48, 0x00FF00)}, {RichRun("   ", 24, 0)}, {}}));
  int dx = -1, dy = -1, descent = -1, ascent = -1;
  EXPECT_EQ(RenderRichTextLine(e, 1, {}, {}, 4, dx, dy, descent, ascent), nullptr) << "a blank line";
  EXPECT_EQ(RenderRichTextLine(e, 2, {}, {}, 4, dx, dy, descent, ascent), nullptr) << "an empty line";
  EXPECT_EQ(RenderRichTextLine(e, 3, {}, {}, 4, dx, dy, descent, ascent), nullptr) << "no such line";

  const auto strip = RenderRichTextLine(e, 0, {}, {}, 4, dx, dy, descent, ascent);
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
  EXPECT_EQ(ascent, 24);
  EXPECT_EQ(descent, 8);
  EXPECT_EQ(strip->Tag2, 24);
  EXPECT_EQ(strip->Tag1, 8);
  EXPECT_EQ(strip->Width, 8 + 8 + 16 + 16);
  EXPECT_EQ(strip->Height, 32);
  const TmemoryBitmap all = Joined(*strip);
  // Just above the baseline (row 23): red bars, then green ones, opaque.
  EXPECT_EQ(all.Pixel(3, 23), 0xFFFF0000u);
  EXPECT_EQ(all.Pixel(16 + 5, 23), 0xFF00FF00u);
  // Below the baseline nothing; the small run's bars are lower than the big run's.
  EXPECT_EQ(all.Pixel(3, 25), 0u);
  EXPECT_EQ(all.Pixel(3, 10), 0u);
  EXPECT_EQ(all.Pixel(16 + 5, 10), 0xFF00FF00u);
}

TEST(RichTextLine, PiecesGiveTheWholeImage) {
  TFakeRichEdit e;
  e.Load(Doc({{RichRun("Rich ", 30, 0xFF8000), RichRun("text", 44, 0x3050FF), RichRun(" crawls", 20, 0xFFFFFF)}}));
  const TShadowStyle shadow{true, 0x000040, 4, -3, 3, 255};
  const TContourStyle contour{true, 0x202020, 2, 200};
  int dx = 0, dy = 0, descent = 0, ascent = 0;
  const auto whole = RenderRichTextLine(e, 0, shadow, contour, 4, dx, dy, descent, ascent, 100000);
  ASSERT_NE(whole, nullptr);
  ASSERT_EQ(whole->Pieces.size(), 1u);
  for (int pieceWidth : {5, 33, 64}) {
    const auto strip = RenderRichTextLine(e, 0, shadow, contour, 4, dx, dy, descent, ascent, pieceWidth);
    EXPECT_TRUE(SamePixels(Joined(*strip), *whole->Pieces[0])) << pieceWidth;
  }
  // The shadow and contour lie around the text: margins on each side.
  EXPECT_GT(dx, 0);
  EXPECT_EQ(whole->Width, e.RangeWidth(0, e.LineLength(0)) + 2 * dx);
}

TEST(RichTextLine, DownsamplingAveragesColourAndTakesCoverageFromAlpha) {
  // One 2 x 2 block: two opaque red pixels and two empty ones.
  const std::uint32_t src[4] = {0xFFFF0000u, 0, 0, 0xFFFF0000u};
  std::uint32_t p = 0, m = 0;
  DownsampleRichText(reinterpret_cast<const std::uint8_t*>(src), 8, reinterpret_cast<std::uint8_t*>(&p),
                     reinterpret_cast<std::uint8_t*>(&m), 4, 1, 1, 2);
  EXPECT_EQ(p, 0x7F7F0000u);
  EXPECT_EQ(m, 0x7F7F7F7Fu);
}

}  // namespace
}  // namespace qv::test

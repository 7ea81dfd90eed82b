// TmemoryBitmap: construction, resizing with anchors, copying, clipping, the blend modes and
// their fields, the tile map and TGA output.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "TestImages.h"
#include "raster/Bitmap.h"
#include "support/Files.h"

namespace qv {
namespace {

using test::Filled;
using test::Hex;
using test::MarkedBitmap;
using test::Marker;

TEST(Bitmap, ConstructorsSetSizeAndDefaults) {
  TmemoryBitmap empty;
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.Height(), 0);
  EXPECT_EQ(empty.Bits, nullptr);
  EXPECT_EQ(empty.Factor(), 255);
  EXPECT_EQ(empty.Color(), TmemoryBitmap::NoColor);
  EXPECT_EQ(empty.Mask(), nullptr);
  EXPECT_EQ(empty.MaskChannel(), mcAlpha);
  EXPECT_EQ(empty.Anchor(), atCenterMiddle);
  EXPECT_TRUE(empty.PreserveContent());
  EXPECT_EQ(empty.Field, -1);
  EXPECT_EQ(empty.Kind, 0);

  TmemoryBitmap sized(7, 5);
  ASSERT_NE(sized.Bits, nullptr);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(sized.Pixel(x, y), 0u);
  EXPECT_EQ(sized.ClipW, 7);
  EXPECT_EQ(sized.ClipH, 5);
  EXPECT_EQ(sized.PixelPtr(3, 2), sized.Bits + (2 * 7 + 3) * 4);
}

TEST(Bitmap, CopyConstructorCopiesPixelsOnly) {
  TmemoryBitmap src = MarkedBitmap(7, 5);
  src.SetFactor(100);
  src.SetColor(0x123456);
  src.Field = 1;
  src.HotSpotX = 9;
  TmemoryBitmap copy(src);
  ASSERT_EQ(copy.Width(), 7);
  ASSERT_EQ(copy.Height(), 5);
  EXPECT_NE(copy.Bits, src.Bits);
  EXPECT_EQ(copy.Factor(), 255);
  EXPECT_EQ(copy.Color(), TmemoryBitmap::NoColor);
  EXPECT_EQ(copy.Field, -1);
  EXPECT_EQ(copy.HotSpotX, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(copy.Pixel(x, y), Marker(x, y));
}

TEST(Bitmap, ForeignMemoryIsNeitherClearedNorFreed) {
  std::vector<std::uint32_t> mem(6, 0xDEADBEEF);
  {
    TmemoryBitmap b(3, 2, mem.data());
    EXPECT_FALSE(b.FreeMemory);
    EXPECT_EQ(b.Pixel(2, 1), 0xDEADBEEFu);
    b.SetPixel(0, 0, 0x11223344);
    // Resizing gives the bitmap pixels of its own; the foreign block stays as it was.
    b.SetResizeType(atLeftTop, true);
    b.SetSize(4, 2);
    EXPECT_TRUE(b.FreeMemory);
    EXPECT_NE(b.Bits, reinterpret_cast<std::uint8_t*>(mem.data()));
    EXPECT_EQ(b.Pixel(0, 0), 0x11223344u);
    EXPECT_EQ(b.Pixel(3, 0), 0u);
  }
  EXPECT_EQ(mem[0], 0x11223344u);
  EXPECT_EQ(mem[5], 0xDEADBEEFu);
}

TEST(Bitmap, SurfaceKind) {
  TmemoryBitmap dib = TmemoryBitmap::CreateAsDib(0, 0, 32);
  EXPECT_EQ(dib.Kind, 1);
  EXPECT_EQ(dib.Width(), 1);
  EXPECT_EQ(dib.Height(), 1);
  EXPECT_EQ(dib.Pixel(0, 0), 0u);
  TmemoryBitmap big = TmemoryBitmap::CreateAsDib(768, 576);
  EXPECT_EQ(big.Width(), 768);
  EXPECT_EQ(big.ByteSize(), 768u * 576 * 4);
  EXPECT_THROW(TmemoryBitmap::CreateAsDib(4, 4, 24), std::invalid_argument);
}

TEST(Bitmap, MoveHandsOverThePixels) {
  TmemoryBitmap a = MarkedBitmap(4, 3);
  a.SetFactor(50);
  std::uint8_t* bits = a.Bits;
  TmemoryBitmap b(std::move(a));
  EXPECT_EQ(b.Bits, bits);
  EXPECT_EQ(b.Factor(), 50);
  EXPECT_EQ(a.Bits, nullptr);
  EXPECT_EQ(a.Width(), 0);
  EXPECT_EQ(a.Factor(), 255);
  TmemoryBitmap c(2, 2);
  c = std::move(b);
  EXPECT_EQ(c.Bits, bits);
  EXPECT_EQ(c.Pixel(3, 2), Marker(3, 2));
}

TEST(Bitmap, PropertySetters) {
  TmemoryBitmap b;
  b.SetFactor(300);
  EXPECT_EQ(b.Factor(), 255);
  b.SetFactor(-4);
  EXPECT_EQ(b.Factor(), 0);
  b.SetColor(0xFFFFFF);
  EXPECT_EQ(b.Color(), 0xFFFFFFu);
  b.SetColor(TmemoryBitmap::NoColor);  // cannot be set back through the property
  EXPECT_EQ(b.Color(), 0u);
  b.SetBlendParam(nullptr, mcRed, TmemoryBitmap::NoColor);
  EXPECT_EQ(b.Color(), TmemoryBitmap::NoColor);
  EXPECT_EQ(b.MaskChannel(), mcRed);
  b.SetWidth(6);
  b.SetHeight(4);
  EXPECT_EQ(b.Width(), 6);
  EXPECT_EQ(b.Height(), 4);
  ASSERT_NE(b.Bits, nullptr);
}

// Resize keeps the old picture at (dx, dy) of the new one, by anchor.
struct AnchorCase {
  TAnchortype anchor;
  int newW, newH;
  int dx, dy;
};

TEST(Bitmap, ResizeAnchorsTheOldContent) {
  const AnchorCase cases[] = {
      {atLeftTop, 13, 13, 0, 0},       {atCenterTop, 13, 13, 1, 0},     {atRightTop, 13, 13, 3, 0},
      {atLeftMiddle, 13, 13, 0, 1},    {atCenterMiddle, 13, 13, 1, 1},  {atRightMiddle, 13, 13, 3, 1},
      {atLeftBottom, 13, 13, 0, 3},    {atCenterBottom, 13, 13, 1, 3},  {atRightBottom, 13, 13, 3, 3},
      // Shrinking: halves truncate toward zero, -3 div 2 = -1.
      {atCenterMiddle, 7, 7, -1, -1},  {atRightBottom, 7, 7, -3, -3},   {atCenterTop, 7, 7, -1, 0},
      {atRightMiddle, 14, 7, 4, -1},   {atLeftBottom, 10, 20, 0, 10},   {atCenterMiddle, 11, 10, 0, 0},
  };
  for (const AnchorCase& c : cases) {
    TmemoryBitmap b = MarkedBitmap(10, 10);
    b.SetResizeType(c.anchor, true);
    b.Resize(c.newW, c.newH, true);
    ASSERT_EQ(b.Width(), c.newW);
    ASSERT_EQ(b.Height(), c.newH);
    EXPECT_EQ(b.ClipW, c.newW);
    for (int y = 0; y < c.newH; ++y)
      for (int x = 0; x < c.newW; ++x) {
        const int ox = x - c.dx, oy = y - c.dy;
        const std::uint32_t want = (ox >= 0 && ox < 10 && oy >= 0 && oy < 10) ? Marker(ox, oy) : 0u;
        ASSERT_EQ(b.Pixel(x, y), want) << "anchor " << int(c.anchor) << " at " << x << "," << y;
      }
  }
}

TEST(Bitmap, ResizeWithoutPreserveClearsAndAnAnchorOutOfRangeCopiesNothing) {
  TmemoryBitmap b = MarkedBitmap(4, 4);
  b.SetResizeType(atLeftTop, false);
  b.SetSize(5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(b.Pixel(x, y), 0u);

  TmemoryBitmap c = MarkedBitmap(4, 4);
  c.SetResizeType(TAnchortype(9), true);
  c.SetSize(5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(c.Pixel(x, y), 0u);
}

TEST(Bitmap, ResizeToNothingKeepsClipFieldsAndSides) {
  struct Case {
    int w, h, wantW, wantH;
  } cases[] = {{0, 5, 0, 5}, {5, 0, 5, 0}, {-3, 5, 0, 5}, {-1, -1, 0, 0}};
  for (const Case& c : cases) {
    TmemoryBitmap b = MarkedBitmap(8, 8);
    b.ClipX = 3;
    b.Resize(c.w, c.h, true);
    EXPECT_EQ(b.Bits, nullptr);
    EXPECT_EQ(b.Width(), c.wantW);
    EXPECT_EQ(b.Height(), c.wantH);
    EXPECT_EQ(b.ClipX, 3);
    EXPECT_EQ(b.ClipW, 8);
    // Width and Height set one after the other through 0 end at the final size.
    b.SetWidth(6);
    b.SetHeight(2);
    EXPECT_EQ(b.Width(), 6);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_NE(b.Bits, nullptr);
  }
}

TEST(Bitmap, AbsurdSizesAreRefusedBeforeAllocation) {
  for (auto [w, h] : {std::pair{100000, 100000}, {16385, 1}, {1, 16385}, {16384, 16384}, {INT_MAX, INT_MAX}}) {
    TmemoryBitmap b = MarkedBitmap(3, 3);
    EXPECT_THROW(b.Resize(w, h, true), std::length_error) << w << " x " << h;
    EXPECT_EQ(b.Bits, nullptr);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
  }
  EXPECT_THROW(TmemoryBitmap(200000, 3), std::length_error);
}

struct CopyCase {
  int xd, yd, w, h, xs, ys;
};

TEST(Bitmap, CopyRectToClipsAgainstTheDestination) {
  const CopyCase cases[] = {
      {0, 0, 7, 5, 0, 0}, {2, 1, 3, 2, 1, 1}, {-2, -1, 5, 4, 0, 0}, {5, 3, 7, 5, 0, 0},
      {-6, 0, 7, 5, 0, 0}, {-7, 0, 7, 5, 0, 0}, {6, 4, 9, 9, 0, 0}, {7, 0, 3, 3, 0, 0}, {0, 5, 3, 3, 0, 0},
  };
  for (const CopyCase& c : cases) {
    const TmemoryBitmap src = MarkedBitmap(7, 5, 0x11);
    TmemoryBitmap dst = Filled(7, 5, 0xCAFEBABE);
    src.CopyRectTo(dst, c.xd, c.yd, c.w, c.h, c.xs, c.ys);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        const int u = x - c.xd, v = y - c.yd;
        const bool inside = u >= 0 && u < c.w && v >= 0 && v < c.h;
        const std::uint32_t want = inside ? Marker(c.xs + u, c.ys + v, 0x11) : 0xCAFEBABEu;
        ASSERT_EQ(Hex(dst.Pixel(x, y)), Hex(want)) << c.xd << "," << c.yd << " at " << x << "," << y;
      }
  }
}

TEST(Bitmap, CopyRectToWithinOneBitmap) {
  for (auto [dx, dy] : {std::pair{0, 2}, {0, -2}, {2, 0}, {-2, 0}, {1, 1}, {-1, -1}}) {
    TmemoryBitmap b = MarkedBitmap(8, 8);
    b.CopyRectTo(b, 2 + dx, 2 + dy, 3, 3, 2, 2);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x)
        ASSERT_EQ(b.Pixel(2 + dx + x, 2 + dy + y), Marker(2 + x, 2 + y)) << dx << "," << dy << " at " << x << "," << y;
  }
}

// ClipBlendRect: source first, then destination.
struct ClipCase {
  int xd, yd, w, h, xs, ys;
  bool draws;
  int oxd, oyd, ow, oh, oxs, oys;
};

TEST(Bitmap, ClipBlendRect) {
  // Destination 20 x 10, source 8 x 6.
  const ClipCase cases[] = {
      {0, 0, 8, 6, 0, 0, true, 0, 0, 8, 6, 0, 0},
      {-5, 0, 10, 6, 0, 0, true, 0, 0, 3, 6, 5, 0},    // rectangle wider than the source, then clipped left
      {-5, 0, 8, 6, 0, 0, true, 0, 0, 3, 6, 5, 0},
      {15, 7, 8, 6, 0, 0, true, 15, 7, 5, 3, 0, 0},
      {2, 2, 8, 6, -3, -2, true, 5, 4, 5, 4, 0, 0},    // negative source origin moves the destination
      {0, 0, 8, 6, 8, 0, false, 0, 0, 0, 0, 0, 0},     // source origin past the source
      {20, 0, 8, 6, 0, 0, false, 0, 0, 0, 0, 0, 0},    // right of the destination
      {-8, 0, 8, 6, 0, 0, false, 0, 0, 0, 0, 0, 0},    // left of the destination
      {0, -6, 8, 6, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 6, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {0, 0, 8, -1, 0, 0, false, 0, 0, 0, 0, 0, 0},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 0, false, 0, 0, 0, 0, 0, 0},
      {INT_MAX, 0, INT_MAX, 6, 0, 0, false, 0, 0, 0, 0, 0, 0},
  };
  const TmemoryBitmap dst(20, 10), src(8, 6);
  for (const ClipCase& c : cases) {
    int xd = c.xd, yd = c.yd, w = c.w, h = c.h, xs = c.xs, ys = c.ys;
    const bool draws = TmemoryBitmap::ClipBlendRect(dst, src, xd, yd, w, h, xs, ys);
    ASSERT_EQ(draws, c.draws) << c.xd << "," << c.yd << " " << c.w << "x" << c.h;
    if (!draws) continue;
    EXPECT_EQ((std::vector<int>{xd, yd, w, h, xs, ys}), (std::vector<int>{c.oxd, c.oyd, c.ow, c.oh, c.oxs, c.oys}))
        << c.xd << "," << c.yd << " " << c.w << "x" << c.h;
  }
}

TEST(Bitmap, BlendOffTheLeftEdgeDrawsTheRightHandColumns) {
  TmemoryBitmap opaque(10, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x) opaque.SetPixel(x, y, Marker(x, y) | 0xFF000000u);
  TmemoryBitmap dst(8, 2);
  dst.Blend(-5, 0, opaque, 0, 0, 10, 2);
  for (int x = 0; x < 8; ++x) {
    const std::uint32_t want = x < 5 ? (Marker(x + 5, 0) | 0xFF000000u) : 0u;
    EXPECT_EQ(Hex(dst.Pixel(x, 0)), Hex(want)) << x;
  }
}

// One pixel blended in image mode with the given factors; the destination pixel 0xC8C8C8C8.
std::uint32_t BlendOne(std::uint32_t s, int dstFactor, int srcFactor) {
  TmemoryBitmap src = Filled(1, 1, s), dst = Filled(1, 1, 0xC8C8C8C8u);
  src.SetFactor(srcFactor);
  dst.SetFactor(dstFactor);
  dst.Blend(0, 0, src);
  return dst.Pixel(0, 0);
}

TEST(Bitmap, ImageModeFactors) {
  struct Case {
    int dstF, srcF;
    std::uint32_t s, want;
  } cases[] = {
      // 255 * 255: plain over. s + (255 - 0x80) * 200 >> 8 = s + 99.
      {255, 255, 0x80402010u, 0xE3A38373u},
      {255, 255, 0xFFC8C8C8u, 0xFFC8C8C8u},
      // 255 * 254 div 255 = 254: t = (198, 198, 198, 253), 2 * 200 >> 8 = 1.
      {255, 254, 0xFFC8C8C8u, 0xFEC7C7C7u},
      // 200 * 200 div 255 = 156: t = (121, 121, 121, 155), 100 * 200 >> 8 = 78.
      {200, 200, 0xFFC8C8C8u, 0xE9C7C7C7u},
      // f = 0: only 255 * d >> 8 remains.
      {0, 255, 0xFF102030u, 0xC7C7C7C7u},
      {255, 0, 0xFF102030u, 0xC7C7C7C7u},
      // The destination's factor 128 acts as opacity: t = (100, 100, 100, 127), 128 * 200 >> 8 = 100.
      {128, 255, 0xFFC8C8C8u, 0xE3C8C8C8u},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Hex(BlendOne(c.s, c.dstF, c.srcF)), Hex(c.want)) << c.dstF << " " << c.srcF;
}

TEST(Bitmap, ColourModeUsesTheSourceFactorAndColor) {
  // Coverage 255 in the blue byte, colour red 0xFF, green 0x80, blue 0x00.
  TmemoryBitmap cov = Filled(2, 1, 0x000000FFu);
  cov.SetColor(0xFF8000);
  TmemoryBitmap dst(2, 1);
  dst.SetFactor(0);  // not used by the colour mode
  dst.Blend(0, 0, cov);
  // a = 254; red (254 * 254) >> 8 = 252; green (127 * 254) >> 8 = 126; alpha a * a >> 8 = 252.
  EXPECT_EQ(Hex(dst.Pixel(0, 0)), Hex(0xFCFC7E00u));

  // Writing NoColor through the property stores 0: the coverage is painted black.
  TmemoryBitmap black = Filled(1, 1, 0x000000FFu);
  black.SetColor(TmemoryBitmap::NoColor);
  TmemoryBitmap white = Filled(1, 1, 0xFFFFFFFFu);
  white.Blend(0, 0, black);
  // Colour lanes 0 + (1 * 255 >> 8) = 0, alpha (254 * 254 >> 8) + 0 = 252.
  EXPECT_EQ(Hex(white.Pixel(0, 0)), Hex(0xFC000000u));
}

TEST(Bitmap, SourcesThatAreNotDrawn) {
  TmemoryBitmap dst = Filled(2, 2, 0x40404040u);
  TmemoryBitmap odd = Filled(2, 2, 0xFFFFFFFFu);
  odd.SetBlendParam(nullptr, mcAlpha, 0x1000001);
  dst.Blend(0, 0, odd);
  EXPECT_EQ(dst.Pixel(1, 1), 0x40404040u);

  TmemoryBitmap masked = Filled(2, 2, 0xFFFFFFFFu);
  const TmemoryBitmap mask = Filled(2, 2, 0xFFFFFFFFu);
  masked.SetMask(&mask);
  dst.Blend(0, 0, masked);
  EXPECT_EQ(dst.Pixel(1, 1), 0x40404040u);
  // The masked overload changes nothing either, whatever its rectangles.
  dst.Blend(-100, -100, masked, 0, 0, 5, 5, 1000, 1000);
  EXPECT_EQ(dst.Pixel(0, 0), 0x40404040u);
}

TEST(Bitmap, FieldLimitsTheRowsWritten) {
  for (int field : {-1, 0, 1}) {
    TmemoryBitmap dst(3, 6);
    dst.Field = field;
    dst.Blend(0, 0, Filled(3, 6, 0xFFFFFFFFu));
    TmemoryBitmap cov = Filled(3, 6, 0x000000FFu);
    cov.SetColor(0x00FF00);
    dst.Blend(0, 0, cov);
    for (int y = 0; y < 6; ++y) {
      const bool written = field < 0 || (y % 2) == field;
      EXPECT_EQ(dst.Pixel(1, y) != 0, written) << "field " << field << " row " << y;
    }
  }
}

// Blends as wide as both images run over whole rows at once; the result is the row-by-row one
// (here made of the two fields' blends), also with a factor, a vertical offset and a cut height.
TEST(Bitmap, FullWidthBlendsEqualRowByRowBlends) {
  struct Case {
    int y, ysrc, h, factor;
  } cases[] = {{0, 0, 9, 255}, {0, 0, 9, 200}, {2, 0, 5, 255}, {-3, 1, 9, 128}, {4, 3, 20, 255}};
  for (const Case& c : cases) {
    const TmemoryBitmap src = MarkedBitmap(37, 9, 0x55);
    TmemoryBitmap whole = MarkedBitmap(37, 11, 0xA0);
    TmemoryBitmap rows = MarkedBitmap(37, 11, 0xA0);
    whole.SetFactor(c.factor);
    rows.SetFactor(c.factor);
    whole.Blend(0, c.y, src, 0, c.ysrc, 37, c.h);
    for (int field : {0, 1}) {
      rows.Field = field;
      rows.Blend(0, c.y, src, 0, c.ysrc, 37, c.h);
    }
    ASSERT_EQ(0, std::memcmp(whole.Bits, rows.Bits, whole.ByteSize())) << c.y << " " << c.h << " " << c.factor;
  }
}

TEST(Bitmap, ClipXIsTheLeftBoundOfImageBlends) {
  TmemoryBitmap dst(8, 1);
  dst.ClipX = 3;
  dst.Blend(0, 0, MarkedBitmap(8, 1) /* alpha 255 - x */);
  EXPECT_EQ(dst.Pixel(2, 0), 0u);
  EXPECT_EQ(dst.Pixel(3, 0), Marker(3, 0));
  dst.ClipX = 100;
  dst.Blend(0, 0, Filled(8, 1, 0xFFFFFFFFu));
  EXPECT_EQ(dst.Pixel(7, 0), Marker(7, 0));
}

TEST(Bitmap, ImageBlendsMarkDirtyTiles) {
  TmemoryBitmap dst(64, 48);
  dst.MakeTiles();
  ASSERT_TRUE(dst.IsTiles());
  ASSERT_EQ(dst.TilesWidth(), 4);
  ASSERT_EQ(dst.TilesHeight(), 3);
  auto marked = [&] {
    std::string s;
    for (int ty = 0; ty < 3; ++ty) {
      for (int tx = 0; tx < 4; ++tx) s += dst.Tiles()[ty * 4 + tx] ? '#' : '.';
      s += '/';
    }
    return s;
  };
  EXPECT_EQ(marked(), "..../..../..../");
  // x 20..29, y 5..14: tile columns 1 .. (20 + 10 + 15) div 16 = 2, rows 0 .. (5 + 10 + 15) div 16 = 1.
  dst.Blend(20, 5, Filled(10, 10, 0x80808080u));
  EXPECT_EQ(marked(), ".##./.##./..../");
  dst.BeginTiles();
  EXPECT_EQ(marked(), "..../..../..../");
  // Clipped to x 50..63, y 40..47: columns 3 .. (50 + 14 + 15) div 16 = 4, limited to the map's 3.
  dst.Blend(50, 40, Filled(30, 30, 0x80808080u));
  EXPECT_EQ(marked(), "..../..../...#/");
  // The colour mode marks nothing.
  dst.BeginTiles();
  TmemoryBitmap cov = Filled(8, 8, 0xFFu);
  cov.SetColor(0xFF);
  dst.Blend(0, 0, cov);
  EXPECT_EQ(marked(), "..../..../..../");
}

TEST(Bitmap, BlendsOutsideBothBitmapsTouchNothing) {
  const TmemoryBitmap src = Filled(16, 16, 0xFFFFFFFFu);
  const int far = 1 << 30;
  const int rects[][6] = {{-far, 0, 16, 16, 0, 0},   {far, far, 16, 16, 0, 0}, {0, 0, far, far, -far, -far},
                          {0, 0, INT_MAX, INT_MAX, 0, 0}, {INT_MIN, INT_MIN, 16, 16, 0, 0},
                          {0, 0, 16, 16, 16, 0},     {0, 0, 16, 16, 0, INT_MIN}};
  for (const auto& r : rects) {
    TmemoryBitmap dst(8, 8);
    dst.Blend(r[0], r[1], src, r[4], r[5], r[2], r[3]);
    TmemoryBitmap cov(src);
    cov.SetColor(0x123456);
    dst.Blend(r[0], r[1], cov, r[4], r[5], r[2], r[3]);
    src.CopyRectTo(dst, r[0], r[1], r[2], r[3], r[4], r[5]);
  }
  // A huge rectangle from the origin is cut to the bitmaps and fills the destination.
  TmemoryBitmap dst(8, 8);
  dst.Blend(0, 0, src, 0, 0, INT_MAX, INT_MAX);
  EXPECT_EQ(dst.Pixel(7, 7), 0xFFFFFFFFu);
  // Blending into or from an empty bitmap does nothing.
  TmemoryBitmap none;
  none.Blend(0, 0, src);
  dst.Blend(0, 0, none);
}

std::vector<unsigned char> ReadFile(const std::string& path) {
  const std::string bytes = test::ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(Bitmap, SaveTgaWritesHeaderAndRowsBottomFirst) {
  const test::TTestDir dir("bitmap");
  const std::string path = (dir / "savetga.tga").string();
  TmemoryBitmap b(2, 2);
  b.SetPixel(0, 0, 0x04030201u);
  b.SetPixel(1, 0, 0x08070605u);
  b.SetPixel(0, 1, 0x0C0B0A09u);
  b.SetPixel(1, 1, 0x100F0E0Du);
  b.SaveTga(path);
  const std::vector<unsigned char> want = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0,
                                           9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(ReadFile(path), want);

  TmemoryBitmap one(2, 1);
  one.SaveTga(path);
  const auto bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 18u + 8u);
  EXPECT_EQ((std::vector<unsigned char>(bytes.begin() + 12, bytes.begin() + 16)),
            (std::vector<unsigned char>{2, 0, 1, 0}));
}

TEST(Bitmap, SaveTgaErrors) {
  const test::TTestDir dir("bitmap");
  const std::string path = (dir / "toowide.tga").string();
  std::vector<std::uint32_t> wide(70000);
  const TmemoryBitmap b(70000, 1, wide.data());
  EXPECT_THROW(b.SaveTga(path), std::range_error);
  EXPECT_FALSE(std::filesystem::exists(path));  // refused before the file is created

  const TmemoryBitmap small(2, 2);
  try {
    small.SaveTga("/nonexistent-dir/x.tga");
    FAIL() << "no error";
  } catch (const EImageError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent-dir/x.tga"), std::string::npos) << e.what();
  }
}

TEST(Bitmap, BitbltShowsTheWholeBitmapOnTheSurfaceGiven) {
  const TmemoryBitmap b(3, 2);
  b.Bitblt(nullptr, 1, 2);  // no surface: nothing happens
  struct Surface : TmemoryBitmap::TSurface {
    const TmemoryBitmap* seen = nullptr;
    int sx = 0, sy = 0;
    void Show(const TmemoryBitmap& bmp, int x, int y) override {
      seen = &bmp;
      sx = x;
      sy = y;
    }
  } surface;
  b.Bitblt(&surface, 4, 5);
  EXPECT_EQ(surface.seen, &b);
  EXPECT_EQ(surface.sx, 4);
  EXPECT_EQ(surface.sy, 5);
}

}  // namespace
}  // namespace qv

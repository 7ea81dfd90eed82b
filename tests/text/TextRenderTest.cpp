// The text rasteriser's arithmetic, on a fake renderer whose coverage is known: glyph image size
// and downsampling, margins, the positions and colours of shadow, contour and text, their order,
// zero blur and zero contour, MaxWidth fitting and drawing in tiles.
#include "TextTestSupport.h"
#include "composition/TextRender.h"
#include "raster/GaussianBlur.h"
#include "raster/RowKernels.h"

#include <gtest/gtest.h>

#include <random>

namespace qv::test {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;  // platform colours 0x00BBGGRR
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0xFF0000;

// Full coverage painted in a colour at full opacity: each lane 255 * 255 >> 8 = 254, then
// 254 * 254 >> 8 = 252 (the colour blend scales the colour by the factor and by the coverage).
constexpr std::uint32_t kFullWhite = 0xFCFCFCFC;
constexpr std::uint32_t kFullRed = 0xFCFC0000;
constexpr std::uint32_t kFullGreen = 0xFC00FC00;

// A fake whose every text measures W x H at the drawing scale and is drawn as full coverage over
// the whole box: the glyph image is then a solid block of (W4 / 4) x (H4 / 4).
class Rasteriser : public ::testing::Test {
 protected:
  void MeasureAs(int w, int h) {
    fake.Extent = [w, h](std::string_view, const TFontSpec&) { return TTextExtent{w, h}; };
  }
  std::unique_ptr<TmemoryBitmap> Render(TTextImageParams p) {
    dx = dy = -1;
    return RenderTextImage(fake, p, dx, dy);
  }
  TTextImageParams Plain() {
    TTextImageParams p;
    p.Text = "Text";
    p.FontName = "Tahoma";
    p.FontSize = 32;
    p.Color = kWhite;
    return p;
  }
  static TShadowStyle Shadow(int deltaX, int deltaY, int blur, std::uint32_t color = kRed, int opacity = 255) {
    return {true, color, deltaX, deltaY, blur, opacity};
  }
  static TContourStyle Contour(int size, std::uint32_t color = kGreen, int opacity = 255) {
    return {true, color, size, opacity};
  }

  TFakeTextRenderer fake;
  int dx = -1, dy = -1;
};

// W4 = w + 4 - (w mod 4): always raised, also from a multiple of 4.
TEST_F(Rasteriser, GlyphImageIsTheMeasureRaisedToWholeBlocks) {
  struct Case {
    int w, h, gw, gh;
  };
  for (const Case c : {Case{40, 20, 11, 6}, Case{41, 21, 11, 6}, Case{43, 23, 11, 6}, Case{44, 24, 12, 7},
                       Case{0, 0, 1, 1}, Case{1, 3, 1, 1}}) {
    MeasureAs(c.w, c.h);
    const auto img = Render(Plain());
    ASSERT_TRUE(img) << c.w;
    EXPECT_EQ(img->Width(), c.gw) << c.w;
    EXPECT_EQ(img->Height(), c.gh) << c.h;
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    ASSERT_EQ(fake.drawn.size(), 1u);
    EXPECT_EQ(fake.drawn[0].BoxWidth, c.gw * 4);  // the text is centred in the whole drawing
    EXPECT_EQ(fake.drawn[0].Width, c.gw * 4);
    EXPECT_EQ(fake.drawn[0].Height, c.gh * 4);
    fake.drawn.clear();
  }
}

TEST_F(Rasteriser, DrawsAtFourTimesTheSizeWithTheArguments) {
  TTextImageParams p = TTextImageParams::Make("Hello", nullptr, nullptr, 4, "Liberation Sans", 20, "right",
                                              kWhite, true, 0);
  Render(p);
  ASSERT_EQ(fake.drawn.size(), 1u);
  EXPECT_EQ(fake.drawn[0].Text, "Hello");
  EXPECT_EQ(fake.drawn[0].Font, (TFontSpec{"Liberation Sans", 80, true}));
  EXPECT_EQ(fake.drawn[0].Order, TReadingOrder::roRightToLeft);  // "RIGHT" in any letter case
  // Only one measure without a width limit.
  EXPECT_EQ(fake.measured.size(), 1u);
}

TEST(TextImageParams, DirectionWordsAndLimits) {
  struct Case {
    const char* direction;
    TReadingOrder order;
  };
  for (const Case c : {Case{"RIGHT", TReadingOrder::roRightToLeft}, Case{"Right", TReadingOrder::roRightToLeft},
                       Case{"LEFT", TReadingOrder::roLeftToRight}, Case{"left", TReadingOrder::roLeftToRight},
                       Case{"UP", TReadingOrder::roLeftToRight}, Case{"", TReadingOrder::roLeftToRight}}) {
    EXPECT_EQ(TTextImageParams::Make("x", nullptr, nullptr, 4, "f", 32, c.direction, 0, false, 0).Order, c.order)
        << c.direction;
  }
  // Sizes beyond the font range and negative limits are taken at their nearest sensible value.
  const auto p = TTextImageParams::Make("x", nullptr, nullptr, 0, "f", 100000, "LEFT", 0x12345678, false, -5);
  EXPECT_EQ(p.FontSize, 768);
  EXPECT_EQ(p.Factor, 1);
  EXPECT_EQ(p.MaxWidth, 0);
  EXPECT_EQ(p.Color, 0x345678u);
}

TEST_F(Rasteriser, DownsamplingAveragesTheBlueByteOfEachBlock) {
  MeasureAs(30, 10);  // box 32 x 12, glyph image 8 x 3
  // Every pixel of the box gets its own blue value; the other bytes carry noise that must not count.
  auto blue = [](int x, int y) { return std::uint8_t((x * 37 + y * 11 + x * y) & 0xFF); };
  fake.Coverage = blue;
  TTextImageParams p = Plain();
  p.Color = kWhite;
  const auto img = Render(p);
  ASSERT_EQ(img->Width(), 8);
  ASSERT_EQ(img->Height(), 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 8; ++x) {
      int sum = 0;
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) sum += blue(x * 4 + i, y * 4 + j);
      const int k = sum / 16;
      // Colour-mode blend of white at factor 255 onto transparent: a = k * 255 >> 8,
      // colour lanes 254 * a >> 8, alpha a * a >> 8.
      const int a = k * 255 >> 8;
      const std::uint32_t c = std::uint32_t(254 * a >> 8);
      const std::uint32_t expected = std::uint32_t(a * a >> 8) << 24 | c << 16 | c << 8 | c;
      EXPECT_EQ(img->Pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST(DownsampleCoverage, VectorisedVariantMatchesTheFormula) {
  std::mt19937 rng(7);
  for (int outW : {1, 3, 4, 5, 8, 13, 31}) {
    for (int s : {1, 2, 3, 4, 5}) {
      const int outH = 3;
      const int srcStride = (outW * s + 3) * 4;  // rows longer than the blocks
      std::vector<std::uint8_t> src(std::size_t(srcStride) * outH * s + 16);
      for (auto& b : src) b = std::uint8_t(rng());
      const int dstStride = (outW + 2) * 4;
      std::vector<std::uint8_t> a(std::size_t(dstStride) * outH, 0xAB), b(a);
      DownsampleCoverage(src.data() + 4, srcStride, a.data(), dstStride, outW, outH, s);
      KernelsScalar().DownsampleCoverage(src.data() + 4, srcStride, b.data(), dstStride, outW, outH, s);
      ASSERT_EQ(a, b) << outW << " " << s;
      for (int y = 0; y < outH; ++y) {
        for (int x = 0; x < outW; ++x) {
          unsigned sum = 0;
          for (int j = 0; j < s; ++j)
            for (int i = 0; i < s; ++i) sum += src[4 + std::size_t(y * s + j) * srcStride + (x * s + i) * 4];
          const std::uint8_t* px = &b[std::size_t(y) * dstStride + x * 4];
          ASSERT_EQ(px[0], sum / (s * s));
          ASSERT_EQ(px[1] | px[2] | px[3], 0);
        }
        ASSERT_EQ(b[std::size_t(y) * dstStride + outW * 4], 0xAB);  // nothing beyond the row
      }
    }
  }
}

struct MarginCase {
  const char* name;
  bool shadowOn;
  int deltaX, deltaY, blur;
  bool contourOn;
  int size;
  int dx, dy;
};

// Blur 2 gives a kernel of radius 5; blur 0 none.
TEST_F(Rasteriser, MarginsFollowShadowAndContour) {
  const MarginCase cases[] = {
      {"default", true, 3, 3, 2, true, 2, 8, 8},
      {"both off", false, 3, 3, 2, false, 2, 0, 0},
      {"contour only", false, 3, 3, 2, true, 2, 2, 2},
      {"contour wider", true, 1, 0, 0, true, 7, 7, 7},
      {"sharp shadow", true, 3, 4, 0, false, 0, 3, 4},
      {"shadow cast up-left", true, -10, -4, 2, true, 2, 15, 9},
      {"contour size 0", false, 0, 0, 0, true, 0, 0, 0},
      {"contour size 0 with shadow", true, 3, 3, 2, true, 0, 8, 8},
  };
  MeasureAs(40, 40);
  for (const MarginCase& c : cases) {
    TTextImageParams p = Plain();
    if (c.shadowOn) p.Shadow = Shadow(c.deltaX, c.deltaY, c.blur);
    if (c.contourOn) {
      // Through the container, as a layer hands it over: size 0 must turn the contour off.
      auto contour = Make<TContour>();
      contour->SetSize(c.size);
      p.Contour = TContourStyle::Of(contour.get());
    }
    const auto img = Render(p);
    EXPECT_EQ(dx, c.dx) << c.name;
    EXPECT_EQ(dy, c.dy) << c.name;
    EXPECT_EQ(img->Width(), 11 + 2 * c.dx) << c.name;
    EXPECT_EQ(img->Height(), 11 + 2 * c.dy) << c.name;
    EXPECT_EQ(img->HotSpotX, c.dx) << c.name;
    EXPECT_EQ(img->HotSpotY, c.dy) << c.name;
  }
}

// A sharp red shadow at (3, 3): the text block at (dx, dy), the shadow block 3 pixels right and
// down, nothing else.
TEST_F(Rasteriser, SharpShadowLandsAtItsOffsetInItsColour) {
  MeasureAs(40, 24);  // glyph block 11 x 7
  TTextImageParams p = Plain();
  p.Shadow = Shadow(3, 3, 0);
  const auto img = Render(p);
  ASSERT_EQ(dx, 3);
  ASSERT_EQ(img->Width(), 17);
  ASSERT_EQ(img->Height(), 13);
  for (int y = 0; y < img->Height(); ++y) {
    for (int x = 0; x < img->Width(); ++x) {
      const bool text = x >= 3 && x < 14 && y >= 3 && y < 10;
      const bool shadow = x >= 6 && x < 17 && y >= 6 && y < 13;
      const std::uint32_t expected = text ? kFullWhite : shadow ? kFullRed : 0;
      ASSERT_EQ(img->Pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST_F(Rasteriser, ShadowOpacityAndColourChannels) {
  MeasureAs(40, 24);
  TTextImageParams p = Plain();
  p.Shadow = Shadow(3, 3, 0, kBlue, 128);
  const auto img = Render(p);
  // f = 128: a = 255 * 128 >> 8 = 127, blue lane 255 * 128 >> 8 = 127, then 127 * 127 >> 8 = 63.
  EXPECT_EQ(img->Pixel(16, 12), 0x3F00003Fu);
  // The platform colour 0x00BBGGRR reaches the bitmap as 0x00RRGGBB.
  p.Shadow = Shadow(3, 3, 0, 0x336699);
  const auto img2 = Render(p);
  // Each lane c: (c * 255 >> 8) * 254 >> 8.
  auto lane = [](unsigned c) { return ((c * 255 >> 8) * 254) >> 8; };
  EXPECT_EQ(img2->Pixel(16, 12), 0xFCu << 24 | lane(0x99) << 16 | lane(0x66) << 8 | lane(0x33));
}

TEST_F(Rasteriser, BlurredShadowSpreadsByTheKernelRadius) {
  MeasureAs(40, 40);  // block 11 x 11
  TTextImageParams p = Plain();
  p.Shadow = Shadow(3, 3, 2);  // weights 2 7 17 31 45 51 45 31 17 7 2: radius 5, margins 8
  const auto img = Render(p);
  ASSERT_EQ(dx, 8);
  ASSERT_EQ(img->Width(), 27);
  // Shadow glyphs at 11..21. Four pixels out the two outer weights still leave a trace
  // (255 * 9 >> 8 = 8, then 7 down the column, coverage 6, red 254 * 6 >> 8 = 5); five out the
  // single weight 2 rounds away.
  const TInk red = InkOf(*img, 2);
  EXPECT_EQ(red.Left, 7);
  EXPECT_EQ(red.Top, 7);
  EXPECT_EQ(red.Right, 26);
  EXPECT_EQ(red.Bottom, 26);
  auto redAt = [&](int x, int y) { return (img->Pixel(x, y) >> 16) & 0xFF; };
  EXPECT_EQ(redAt(25, 16), 5u);
  // One pixel inside the shadow's right edge: taps -5..1 cover it (sum 198): 197, 196, coverage
  // 195, red 193.
  EXPECT_EQ(redAt(20, 16), 193u);
}

// A shadow cast up and to the left is not cut off: the margin grows to hold it, and the image is
// the mirror of the one cast down and to the right.
TEST_F(Rasteriser, ShadowCastUpLeftIsWhole) {
  MeasureAs(40, 40);
  TTextImageParams up = Plain();
  up.Color = 0;
  up.Shadow = Shadow(-10, -10, 2);
  TTextImageParams down = up;
  down.Shadow = Shadow(10, 10, 2);
  const auto a = Render(up);
  const int dxUp = dx;
  const auto b = Render(down);
  EXPECT_EQ(dxUp, 15);
  EXPECT_EQ(dx, 15);
  ASSERT_EQ(a->Width(), b->Width());
  const TInk inkA = InkOf(*a, 2), inkB = InkOf(*b, 2);  // the red of the shadow
  EXPECT_DOUBLE_EQ(inkA.Mass, inkB.Mass);
  EXPECT_EQ(inkA.Left, 1);  // 15 - 10, then 4 pixels of spread
  EXPECT_EQ(inkA.Left + inkB.Right, a->Width());
  EXPECT_EQ(inkA.Top + inkB.Bottom, a->Height());
}

// A contour of size 2 widens the glyphs by two solid pixels on each side (the flat kernel times
// 12 saturates there) and by nothing more.
TEST_F(Rasteriser, ContourWidensTheGlyphsInItsColour) {
  MeasureAs(40, 40);  // block 11 x 11
  TTextImageParams p = Plain();
  p.Contour = Contour(2);
  const auto img = Render(p);
  ASSERT_EQ(dx, 2);
  ASSERT_EQ(img->Width(), 15);
  const int mid = 7;
  for (int x = 0; x < 15; ++x) {
    const std::uint32_t expected = (x >= 2 && x < 13) ? kFullWhite : kFullGreen;
    EXPECT_EQ(img->Pixel(x, mid), expected) << x;
    EXPECT_EQ(img->Pixel(mid, x), expected) << x;
  }
}

TEST_F(Rasteriser, ContourCoversShadowAndTextCoversBoth) {
  MeasureAs(40, 40);  // block 11 x 11
  TTextImageParams p = Plain();
  p.Shadow = Shadow(3, 3, 0);
  p.Contour = Contour(2);
  const auto img = Render(p);
  ASSERT_EQ(dx, 3);  // max(3 + 0, 2)
  // Text at 3..13, contour ring at 1..2 and 14..15, shadow at 6..16.
  EXPECT_EQ(img->Pixel(8, 8), kFullWhite);    // all three: text on top
  EXPECT_EQ(img->Pixel(14, 8), kFullGreen);   // contour over shadow
  EXPECT_EQ(img->Pixel(15, 8), kFullGreen);
  // Shadow alone, under the contour's empty border, which lets 255/256 through like any
  // transparent source pixel: 252 becomes 251.
  EXPECT_EQ(img->Pixel(16, 8), 0xFBFB0000u);
  EXPECT_EQ(img->Pixel(2, 8), kFullGreen);    // contour alone
  EXPECT_EQ(img->Pixel(0, 8), 0u);
}

TEST_F(Rasteriser, ZeroSizeContourDrawsNothing) {
  MeasureAs(40, 40);
  auto contour = Make<TContour>();
  contour->SetSize(0);
  TTextImageParams p = Plain();
  p.Contour = TContourStyle::Of(contour.get());
  EXPECT_FALSE(p.Contour.On);
  const auto img = Render(p);
  EXPECT_EQ(img->Width(), 11);
  for (int y = 0; y < img->Height(); ++y)
    for (int x = 0; x < img->Width(); ++x) ASSERT_EQ(img->Pixel(x, y), kFullWhite);
}

TEST_F(Rasteriser, DisabledOrMissingGroupsDrawNothing) {
  auto shadow = Make<TShadow>();
  auto contour = Make<TContour>();
  EXPECT_TRUE(TShadowStyle::Of(shadow.get()).On);
  EXPECT_TRUE(TContourStyle::Of(contour.get()).On);
  shadow->SetEnabled(false);
  contour->SetEnabled(false);
  EXPECT_FALSE(TShadowStyle::Of(shadow.get()).On);
  EXPECT_FALSE(TContourStyle::Of(contour.get()).On);
  EXPECT_FALSE(TShadowStyle::Of(nullptr).On);
  EXPECT_FALSE(TContourStyle::Of(nullptr).On);
}

// Values loaded from a file bypass the limits; rendering takes them at the limits.
TEST_F(Rasteriser, OutOfRangeStyleValuesAreLimited) {
  auto shadow = Make<TShadow>();
  auto contour = Make<TContour>();
  TString big("100000"), negative("-7");
  shadow->DeltaXProperty().GetValueFrom(&big);
  shadow->BlurProperty().GetValueFrom(&negative);
  shadow->OpacityProperty().GetValueFrom(&big);
  contour->SizeProperty().GetValueFrom(&big);
  const TShadowStyle s = TShadowStyle::Of(shadow.get());
  EXPECT_EQ(s.DeltaX, 50);
  EXPECT_EQ(s.Blur, 0);
  EXPECT_EQ(s.Opacity, 255);
  EXPECT_EQ(TContourStyle::Of(contour.get()).Size, 10);
}

// MaxWidth 100 with a text of 150 pixels at size 32: measured at four times the size against 400,
// one point at a time, down to the first size that fits.
TEST_F(Rasteriser, MaxWidthLowersTheSizePointByPoint) {
  TTextImageParams p = Plain();
  p.Text = "ABCDE";  // 5 x CharWidth(128) = 600 = 4 x 150
  ASSERT_EQ(5 * TFakeTextRenderer::CharWidth(128), 600);
  p.MaxWidth = 100;
  const auto img = Render(p);
  std::vector<int> sizes;
  for (const TFontSpec& f : fake.measured) sizes.push_back(f.PointSize);
  // 128 down to 85 (5 x CharWidth(85) = 400), then the final measure at 85.
  std::vector<int> expected;
  for (int s = 128; s >= 85; --s) expected.push_back(s);
  expected.push_back(85);
  EXPECT_EQ(sizes, expected);
  ASSERT_EQ(fake.drawn.size(), 1u);
  EXPECT_EQ(fake.drawn[0].Font.PointSize, 85);
  EXPECT_EQ(img->Width(), 101);  // 400 raised to 404
}

TEST_F(Rasteriser, MaxWidthNeverGoesBelowOnePoint) {
  fake.Extent = [](std::string_view, const TFontSpec&) { return TTextExtent{1000, 10}; };
  TTextImageParams p = Plain();
  p.MaxWidth = 10;
  Render(p);
  ASSERT_EQ(fake.drawn.size(), 1u);
  EXPECT_EQ(fake.drawn[0].Font.PointSize, 1);
  EXPECT_EQ(FittedFontSize(fake, "x", "f", 3, false, 4, 10), 1);
  EXPECT_EQ(FittedFontSize(fake, "x", "f", 3, false, 4, 0), 12);  // no limit
}

// A drawing larger than one tile is drawn piece by piece; the glyph image is the same as the
// block averages of the whole drawing.
TEST_F(Rasteriser, LargeTextIsDrawnInTiles) {
  MeasureAs(9000, 1100);  // box 9004 x 1104: 5 x 2 tiles
  auto cover = [](int x, int y) { return std::uint8_t((x * 31 + y * 17 + (x * y) % 7) & 0xFF); };
  fake.Coverage = cover;
  TTextImageParams p = Plain();
  p.Color = kWhite;
  const auto img = Render(p);
  ASSERT_EQ(img->Width(), 2251);
  ASSERT_EQ(img->Height(), 276);
  EXPECT_GT(fake.drawn.size(), 1u);
  for (const auto& d : fake.drawn) {
    EXPECT_EQ(d.BoxWidth, 9004);
    EXPECT_EQ(d.OriginX % 4, 0);
    EXPECT_EQ(d.OriginY % 4, 0);
    EXPECT_LE(std::int64_t(d.Width) * d.Height, 2048 * 1024);
  }
  for (int y = 0; y < img->Height(); y += 7) {
    for (int x = 0; x < img->Width(); x += 3) {
      int sum = 0;
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) sum += cover(x * 4 + i, y * 4 + j);
      const int a = (sum / 16) * 255 >> 8;
      ASSERT_EQ(img->Pixel(x, y) >> 24, std::uint32_t(a * a >> 8)) << x << "," << y;
    }
  }
}

TEST_F(Rasteriser, ImageBeyondABitmapsLimitsIsRefused) {
  MeasureAs(4 * (TmemoryBitmap::MaxSide + 1), 40);
  EXPECT_THROW(Render(Plain()), std::length_error);
  EXPECT_TRUE(fake.drawn.empty());
}

// With the real renderer: the form with the layers' arguments gives what the one with prepared
// parameters gives, and the default style's margins.
TEST(RenderTextImage, LayerArgumentsAndDefaultStyle) {
  auto shadow = Make<TShadow>();
  auto contour = Make<TContour>();
  int dx = 0, dy = 0;
  const auto a = RenderTextImage(QtRenderer(), "Breaking News", shadow.get(), contour.get(), 4, "Tahoma", 32, "LEFT", 0xFFFFFF,
                                 dx, dy, false, 0);
  EXPECT_EQ(dx, 8);
  EXPECT_EQ(dy, 8);
  int dx2 = 0, dy2 = 0;
  const auto b = RenderTextImage(QtRenderer(),
                                 TTextImageParams::Make("Breaking News", shadow.get(), contour.get(), 4, "Tahoma",
                                                        32, "LEFT", 0xFFFFFF, false, 0),
                                 dx2, dy2);
  ASSERT_EQ(a->Width(), b->Width());
  ASSERT_EQ(a->Height(), b->Height());
  EXPECT_EQ(0, std::memcmp(a->Bits, b->Bits, a->ByteSize()));
  // The text is white inside, its contour black: some pixels are opaque white, some opaque black.
  bool white = false, black = false;
  for (int y = 0; y < a->Height(); ++y) {
    for (int x = 0; x < a->Width(); ++x) {
      const std::uint32_t px = a->Pixel(x, y);
      white |= px == kFullWhite;
      black |= (px >> 24) >= 0xF0 && (px & 0xFFFFFF) == 0;
    }
  }
  EXPECT_TRUE(white);
  EXPECT_TRUE(black);
}

}  // namespace
}  // namespace qv::test

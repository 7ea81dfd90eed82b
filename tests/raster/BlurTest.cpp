// Kernel builders and the separable blur, including the edge behaviour and tiny bitmaps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "TestImages.h"
#include "raster/Bitmap.h"
#include "raster/GaussianBlur.h"
#include "raster/RowKernels.h"

namespace qv {
namespace {

using test::Filled;
using test::MarkedBitmap;

std::vector<int> IntegerWeights(const TKernel& k) {
  std::vector<int> w;
  for (int j = -k.Size; j <= k.Size; ++j) {
    const std::uint16_t* e = k.IWeight(j);
    EXPECT_TRUE(e[0] == e[1] && e[1] == e[2] && e[2] == e[3]) << "lanes differ at " << j;
    w.push_back(e[0]);
  }
  return w;
}

TEST(KernelBuilders, GaussianSizesAndWeights) {
  struct Case {
    double sigma;
    int size;
    std::vector<int> weights;  // empty: only size and sum are checked
    int sum;
  } cases[] = {
      {1, 2, {14, 62, 103, 62, 14}, 255},
      {2, 5, {2, 7, 17, 31, 45, 51, 45, 31, 17, 7, 2}, 255},
      {3, 8, {}, 254},
      {5, 14, {}, 256},
      {10, 30, {}, -1},
  };
  for (const Case& c : cases) {
    TKernel k;
    BuildGaussianKernel(k, c.sigma, 255, 1);
    EXPECT_EQ(k.Size, c.size) << "sigma " << c.sigma;
    const auto w = IntegerWeights(k);
    if (!c.weights.empty()) {
      EXPECT_EQ(w, c.weights) << "sigma " << c.sigma;
    }
    if (c.sum >= 0) {
      EXPECT_EQ(std::accumulate(w.begin(), w.end(), 0), c.sum) << "sigma " << c.sigma;
    }
    double real = 0;
    for (int j = -k.Size; j <= k.Size; ++j) real += k.Weight(j);
    EXPECT_NEAR(real, 1.0, 1e-12);
  }
}

TEST(KernelBuilders, RadiusWeights) {
  struct Case {
    int r;
    std::vector<int> weights;
  } cases[] = {
      {1, {80, 94, 80}},
      {2, {46, 52, 55, 52, 46}},
      {3, {33, 36, 38, 39, 38, 36, 33}},
  };
  for (const Case& c : cases) {
    TKernel k;
    BuildRadiusKernel(k, c.r);
    EXPECT_EQ(k.Size, c.r);
    EXPECT_EQ(IntegerWeights(k), c.weights) << "r " << c.r;
  }
  TKernel big;
  BuildRadiusKernel(big, 500);
  EXPECT_EQ(big.Size, TKernel::MaxSize);
}

TEST(KernelBuilders, ZeroSigmaOrRadiusGiveTheEmptyKernel) {
  for (double sigma : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    TKernel k;
    BuildGaussianKernel(k, sigma, 255, 1);
    EXPECT_EQ(k.Size, 0) << sigma;
  }
  for (int r : {0, -3}) {
    TKernel k;
    BuildRadiusKernel(k, r);
    EXPECT_EQ(k.Size, 0) << r;
  }
}

TKernel Gaussian(double sigma) {
  TKernel k;
  BuildGaussianKernel(k, sigma, 255, 1);
  return k;
}

TEST(GaussianBlur, WhiteDotSpreadsOverNineByNine) {
  const TKernel k = Gaussian(2);  // s = 5
  const int s = 5, n = 4 * s + 1;  // the dot padded by 2s on every side
  TmemoryBitmap b(n, n);
  b.SetPixel(2 * s, 2 * s, 0xFFFFFFFFu);

  // Horizontal pass alone, through its kernel: the centre byte is 255 * 51 >> 8 = 50.
  std::vector<std::uint16_t> w;
  for (int j = -s; j <= s; ++j) w.insert(w.end(), k.IWeight(j), k.IWeight(j) + 4);
  std::vector<std::uint8_t> row(std::size_t(n - 2 * s) * 4);
  ConvolveRow(b.PixelPtr(0, 2 * s), row.data(), n - 2 * s, 2 * s + 1, w.data());
  EXPECT_EQ(row[std::size_t(s) * 4], 50);
  EXPECT_EQ(row[0], 1);  // 255 * 2 >> 8: the horizontal result is 11 wide

  b.GaussianBlur(k);
  // Centre 50 * 51 >> 8 = 9; the outer ring truncates to zero, so the non-zero pixels fill 9 x 9.
  EXPECT_EQ(b.Pixel(2 * s, 2 * s), 0x09090909u);
  int minX = n, maxX = -1, minY = n, maxY = -1;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      if (b.Pixel(x, y) != 0) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
  EXPECT_EQ(maxX - minX + 1, 9);
  EXPECT_EQ(maxY - minY + 1, 9);
  EXPECT_EQ(minX, 2 * s - 4);
  EXPECT_EQ(minY, 2 * s - 4);
}

// A flat area of 255 blurred: inside the border floor(floor(255 * S / 256) * S / 256); rows of the
// top and bottom border keep their content; the side columns of the rows between become zero.
TEST(GaussianBlur, FlatAreaAndBorders) {
  struct Case {
    double sigma;
    int inside;
  } cases[] = {
      {2, 253},  // weights sum to 255: 254 after the horizontal pass, 254 * 255 >> 8 = 253
      {5, 255},  // weights sum to 256: unchanged
      {3, 251},  // sum 254: 253, then 253 * 254 >> 8 = 251
  };
  for (const Case& c : cases) {
    const TKernel k = Gaussian(c.sigma);
    const int s = k.Size, W = 2 * s + 9, H = 2 * s + 7;
    TmemoryBitmap b = Filled(W, H, 0xFFFFFFFFu);
    b.GaussianBlur(k);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        std::uint32_t want;
        if (y < s || y >= H - s)
          want = 0xFFFFFFFFu;
        else if (x < s || x >= W - s)
          want = 0;
        else
          want = std::uint32_t(c.inside) * 0x01010101u;
        ASSERT_EQ(b.Pixel(x, y), want) << "sigma " << c.sigma << " at " << x << "," << y;
      }
  }
}

TEST(GaussianBlur, TableMapsTheVerticalResultOnly) {
  TTable t;
  for (int i = 0; i < 256; ++i) t[i] = std::uint8_t(std::min(255, 12 * i));
  const TKernel k = Gaussian(5);  // weights sum to 256: a flat area keeps its value through both passes
  struct Case {
    std::uint8_t flat, want;
  } cases[] = {{22, 255}, {10, 120}, {0, 0}, {21, 252}};
  for (const Case& c : cases) {
    const int W = 40, H = 40, s = k.Size;
    TmemoryBitmap b = Filled(W, H, std::uint32_t(c.flat) * 0x01010101u);
    b.GaussianBlurTable(k, t);
    // Mapped once: had the horizontal pass been mapped too, 10 would come out as 255.
    EXPECT_EQ(b.Pixel(W / 2, H / 2), std::uint32_t(c.want) * 0x01010101u) << int(c.flat);
    EXPECT_EQ(b.Pixel(0, s), std::uint32_t(t[0]) * 0x01010101u);
    EXPECT_EQ(b.Pixel(W / 2, 0), std::uint32_t(c.flat) * 0x01010101u);  // border rows untouched
  }
}

// Bitmaps no larger than the kernel: a pass whose extent is at most 2s does nothing; nothing is
// read or written outside the pixel block.
TEST(GaussianBlur, SmallBitmaps) {
  const TKernel k = Gaussian(2);  // s = 5
  struct Case {
    int w, h;
    bool middleRowsZero;  // rows s..H-s-1 become zero (the temporary is all zero there)
  } cases[] = {{1, 1, false}, {10, 10, false}, {10, 30, true}, {30, 10, false}, {11, 11, false}, {3, 11, true}};
  for (const Case& c : cases) {
    TmemoryBitmap b = MarkedBitmap(c.w, c.h);
    const TmemoryBitmap before(b);
    b.GaussianBlur(k);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const bool middle = y >= 5 && y < c.h - 5;
        if (c.middleRowsZero && middle) {
          ASSERT_EQ(b.Pixel(x, y), 0u) << c.w << "x" << c.h << " at " << x << "," << y;
        } else if (!middle || c.w <= 10) {
          ASSERT_EQ(b.Pixel(x, y), before.Pixel(x, y)) << c.w << "x" << c.h << " at " << x << "," << y;
        }
      }
  }
}

TEST(GaussianBlur, EmptyKernelAndEmptyBitmapChangeNothing) {
  TKernel none;
  BuildGaussianKernel(none, 0, 255, 1);
  TmemoryBitmap b = MarkedBitmap(20, 20);
  const TmemoryBitmap before(b);
  b.GaussianBlur(none);
  TTable t;
  b.GaussianBlurTable(none, t);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(b.Pixel(x, y), before.Pixel(x, y));
  TmemoryBitmap empty;
  empty.GaussianBlur(Gaussian(2));
  EXPECT_EQ(empty.Bits, nullptr);
}

// The blur equals the two passes written out with the scalar kernels.
TEST(GaussianBlur, MatchesTheTwoPassesOfTheScalarKernels) {
  const TKernel k = Gaussian(3);
  const int s = k.Size, W = 53, H = 41;
  TmemoryBitmap b(W, H);
  std::uint32_t v = 12345;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b.SetPixel(x, y, v = v * 1103515245u + 12345u);
  const TmemoryBitmap src(b);
  std::vector<std::uint16_t> w;
  for (int j = -s; j <= s; ++j) w.insert(w.end(), k.IWeight(j), k.IWeight(j) + 4);
  TmemoryBitmap tmp(W, H), want(src);
  for (int y = 0; y < H; ++y) KernelsScalar().ConvolveRow(src.PixelPtr(0, y), tmp.PixelPtr(s, y), W - 2 * s, 2 * s + 1, w.data());
  for (int y = 0; y + 2 * s < H; ++y)
    KernelsScalar().ConvolveColumn(tmp.PixelPtr(0, y), want.PixelPtr(0, y + s), W, W * 4, 2 * s + 1, w.data());
  b.GaussianBlur(k);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(b.Pixel(x, y), want.Pixel(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace qv

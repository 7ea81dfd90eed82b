// Every vector variant of every row kernel against the scalar one, byte for byte, and the
// scalar one against hand-worked values of its formula.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "raster/Bitmap.h"
#include "raster/RowKernels.h"

namespace qv {
namespace {

std::vector<const TRowKernels*> VectorVariants() {
  std::vector<const TRowKernels*> v;
  if (KernelsSse2()) v.push_back(KernelsSse2());
  if (KernelsAvx2()) v.push_back(KernelsAvx2());
  if (KernelsAvx512()) v.push_back(KernelsAvx512());
  return v;
}

// Random bytes with the values that matter for saturation and rounding over-represented.
std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t n) {
  static const std::uint8_t special[] = {0, 1, 127, 128, 254, 255};
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) {
    const unsigned r = rng();
    b = (r & 3) == 0 ? special[(r >> 2) % 6] : std::uint8_t(r >> 8);
  }
  return v;
}

// Lengths 1..300 (all of 1..40, then a spread of odd and even ones) and start offsets 0..15
// pixels into the buffers (every pixel position within the widest vector), plus a misaligned byte
// offset for the source, so that vector bodies, row ends and unaligned addresses are all exercised.
struct RowCase {
  int n, srcOff, dstOff;
};
std::vector<RowCase> RowCases() {
  std::vector<RowCase> cases;
  std::vector<int> lengths;
  for (int n = 1; n <= 40; ++n) lengths.push_back(n);
  for (int n : {63, 64, 65, 127, 128, 129, 191, 255, 256, 257, 299, 300}) lengths.push_back(n);
  int k = 0;
  for (int n : lengths) {
    cases.push_back({n, k % 16, (7 * k + 1) % 16});
    ++k;
  }
  return cases;
}

TEST(RowKernels, DispatchChoosesTheBestVariantThisCpuHas) {
  ASSERT_NE(KernelsSse2(), nullptr);
  const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  EXPECT_EQ(KernelsAvx512() != nullptr, avx512);
  if (avx512) {
    EXPECT_EQ(&Kernels(), KernelsAvx512());
  } else if (__builtin_cpu_supports("avx2")) {
    ASSERT_NE(KernelsAvx2(), nullptr);
    EXPECT_EQ(&Kernels(), KernelsAvx2());
  } else {
    EXPECT_EQ(KernelsAvx2(), nullptr);
    EXPECT_EQ(&Kernels(), KernelsSse2());
  }
}

TEST(RowKernels, BlendVariantsMatchScalarByteForByte) {
  std::mt19937 rng(1234);
  const TRowKernels& ref = KernelsScalar();
  for (const TRowKernels* k : VectorVariants()) {
    for (const RowCase& c : RowCases()) {
      // One extra byte in front of the source makes its start unaligned for any vector width.
      const auto src = RandomBytes(rng, std::size_t(c.n + 24) * 4 + 1);
      const auto dst = RandomBytes(rng, std::size_t(c.n + 24) * 4);
      const std::uint8_t* s = src.data() + 1 + 4 * c.srcOff;
      const std::uint32_t f = rng() % 256;
      const std::uint32_t color = rng() & 0xFFFFFF;
      const std::uint32_t scale = std::uint32_t(rng());
      auto check = [&](const char* what, auto&& run) {
        auto want = dst, got = dst;
        run(ref, want.data() + 4 * c.dstOff);
        run(*k, got.data() + 4 * c.dstOff);
        ASSERT_EQ(want, got) << k->Name << " " << what << " n=" << c.n << " f=" << f;
      };
      check("BlendRowOver", [&](const TRowKernels& kk, std::uint8_t* d) { kk.BlendRowOver(s, d, c.n); });
      check("BlendRowOverScaled",
            [&](const TRowKernels& kk, std::uint8_t* d) { kk.BlendRowOverScaled(s, d, c.n, f); });
      for (std::uint32_t ff : {f, 0u, 255u})
        check("BlendRowColor",
              [&](const TRowKernels& kk, std::uint8_t* d) { kk.BlendRowColor(s, d, c.n, ff, color); });
      check("ScaleRow", [&](const TRowKernels& kk, std::uint8_t* d) {
        std::memcpy(d, s, std::size_t(c.n) * 4);
        kk.ScaleRow(d, c.n, scale);
      });
    }
  }
}

TEST(RowKernels, ConvolutionVariantsMatchScalarByteForByte) {
  std::mt19937 rng(99);
  const TRowKernels& ref = KernelsScalar();
  TTable table;
  for (int i = 0; i < 256; ++i) table[i] = std::uint8_t((i * 37 + 11) & 0xFF);
  for (const TRowKernels* k : VectorVariants()) {
    for (const RowCase& c : RowCases()) {
      for (int taps : {1, 3, 11, 29}) {
        // Per-lane weights, sometimes summing far above 256 so that the 16-bit saturation shows.
        std::vector<std::uint16_t> w(std::size_t(taps) * 4);
        const bool heavy = rng() % 3 == 0;
        for (auto& x : w) x = std::uint16_t(heavy ? 200 + rng() % 56 : rng() % 64);
        const std::ptrdiff_t stride = std::ptrdiff_t(c.n + 5) * 4 + 4 * (rng() % 3);
        const auto src = RandomBytes(rng, std::size_t(stride) * taps + std::size_t(c.n + taps + 24) * 4 + 1);
        const std::uint8_t* s = src.data() + 1 + 4 * c.srcOff;
        std::vector<std::uint8_t> want(std::size_t(c.n + 24) * 4, 0xAB), got = want;
        std::uint8_t* dw = want.data() + 4 * c.dstOff;
        std::uint8_t* dg = got.data() + 4 * c.dstOff;

        ref.ConvolveRow(s, dw, c.n, taps, w.data());
        k->ConvolveRow(s, dg, c.n, taps, w.data());
        ASSERT_EQ(want, got) << k->Name << " ConvolveRow n=" << c.n << " taps=" << taps;

        ref.ConvolveColumn(s, dw, c.n, stride, taps, w.data());
        k->ConvolveColumn(s, dg, c.n, stride, taps, w.data());
        ASSERT_EQ(want, got) << k->Name << " ConvolveColumn n=" << c.n << " taps=" << taps;

        ref.ConvolveColumnTable(s, dw, c.n, stride, taps, w.data(), table);
        k->ConvolveColumnTable(s, dg, c.n, stride, taps, w.data(), table);
        ASSERT_EQ(want, got) << k->Name << " ConvolveColumnTable n=" << c.n << " taps=" << taps;
      }
    }
  }
}

// The kernels write exactly n pixels: the bytes around the run stay as they were.
TEST(RowKernels, WriteExactlyTheRun) {
  for (const TRowKernels* k : {&KernelsScalar(), KernelsSse2(), KernelsAvx2(), KernelsAvx512()}) {
    if (!k) continue;
    for (int n : {1, 3, 4, 7, 8, 9, 17}) {
      std::vector<std::uint8_t> src(std::size_t(n + 40) * 4, 0xFF), dst(std::size_t(n + 2) * 4, 0x55);
      std::uint16_t w[4] = {255, 255, 255, 255};
      auto check = [&](const char* what) {
        for (int b = 0; b < 4; ++b) {
          EXPECT_EQ(dst[b], 0x55) << k->Name << " " << what << " n=" << n;
          EXPECT_EQ(dst[std::size_t(n + 1) * 4 + b], 0x55) << k->Name << " " << what << " n=" << n;
        }
      };
      k->BlendRowOver(src.data(), dst.data() + 4, n);
      check("over");
      k->BlendRowOverScaled(src.data(), dst.data() + 4, n, 99);
      check("scaled");
      k->BlendRowColor(src.data(), dst.data() + 4, n, 99, 0x123456);
      check("color");
      k->ConvolveRow(src.data(), dst.data() + 4, n, 1, w);
      check("row");
      k->ConvolveColumn(src.data(), dst.data() + 4, n, 4, 1, w);
      check("column");
      k->ScaleRow(dst.data() + 4, n, 0x80808080u);
      check("scale");
    }
  }
}

// The downsamplers: every supersampling factor 1..16, output widths around each vector width (so
// that both the vector steps and the per-pixel rest run), unaligned source and destination starts,
// rows and a destination stride longer than the blocks. Bytes beyond the written pixels must stay.
TEST(RowKernels, DownsampleVariantsMatchScalarByteForByte) {
  std::mt19937 rng(4242);
  const TRowKernels& ref = KernelsScalar();
  for (const TRowKernels* k : VectorVariants()) {
    for (int s = 1; s <= 16; ++s) {
      for (int outW : {1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 64, 67}) {
        const int outH = 1 + int(rng() % 3);
        const int srcOff = 1 + int(rng() % 7);  // bytes: any alignment
        const std::ptrdiff_t srcStride = std::ptrdiff_t(outW * s + int(rng() % 5)) * 4 + int(rng() % 4);
        const std::ptrdiff_t dstStride = std::ptrdiff_t(outW + 1 + int(rng() % 3)) * 4;
        const auto src = RandomBytes(rng, std::size_t(srcStride) * outH * s + std::size_t(srcOff) + 64);
        const std::uint8_t* from = src.data() + srcOff;
        const int dstOff = 1 + int(rng() % 3);
        const auto dst = RandomBytes(rng, std::size_t(dstStride) * outH + 8);

        auto want = dst, got = dst;
        ref.DownsampleCoverage(from, srcStride, want.data() + dstOff, dstStride, outW, outH, s);
        k->DownsampleCoverage(from, srcStride, got.data() + dstOff, dstStride, outW, outH, s);
        ASSERT_EQ(want, got) << k->Name << " DownsampleCoverage s=" << s << " outW=" << outW << " outH=" << outH;

        auto wantP = dst, gotP = dst, wantM = dst, gotM = dst;
        ref.DownsampleRichText(from, srcStride, wantP.data() + dstOff, wantM.data() + dstOff, dstStride, outW,
                               outH, s);
        k->DownsampleRichText(from, srcStride, gotP.data() + dstOff, gotM.data() + dstOff, dstStride, outW, outH,
                              s);
        ASSERT_EQ(wantP, gotP) << k->Name << " DownsampleRichText colour s=" << s << " outW=" << outW;
        ASSERT_EQ(wantM, gotM) << k->Name << " DownsampleRichText mask s=" << s << " outW=" << outW;
      }
    }
  }
}

struct Px {
  std::uint8_t b, g, r, a;
};

// One pixel through the chosen kernels.
Px Over(Px s, Px d) {
  KernelsScalar().BlendRowOver(&s.b, &d.b, 1);
  return d;
}

TEST(RowKernels, OverFormula) {
  struct Case {
    Px s, d, want;
  } cases[] = {
      // A transparent source only lets (255 - 0) / 256 of the destination through.
      {{0, 0, 0, 0}, {255, 128, 1, 255}, {254, 127, 0, 254}},
      // An opaque source replaces the destination exactly.
      {{10, 20, 30, 255}, {200, 200, 200, 200}, {10, 20, 30, 255}},
      // Half alpha: 60 + (127 * 200 >> 8) = 60 + 99.
      {{60, 0, 255, 128}, {200, 0, 200, 100}, {159, 0, 255, 177}},
  };
  for (const Case& c : cases) {
    const Px got = Over(c.s, c.d);
    EXPECT_EQ(std::memcmp(&got, &c.want, 4), 0)
        << int(got.b) << "," << int(got.g) << "," << int(got.r) << "," << int(got.a);
  }
}

TEST(RowKernels, OverScaledAndColorFormulas) {
  // t = s * f >> 8 on all lanes, then over with t's alpha.
  Px s{200, 100, 0, 200}, d{100, 100, 100, 100};
  KernelsScalar().BlendRowOverScaled(&s.b, &d.b, 1, 128);
  // t = (100, 50, 0, 100); 155 * 100 >> 8 = 60.
  EXPECT_EQ(d.b, 160);
  EXPECT_EQ(d.g, 110);
  EXPECT_EQ(d.r, 60);
  EXPECT_EQ(d.a, 160);

  // Coverage 255 at factor 255: a = 254; colour lanes (C * 255 >> 8) * 254 >> 8 over 1/256 of d;
  // alpha a * a >> 8 = 252.
  Px cov{255, 0, 0, 0}, e{0, 0, 0, 0};
  KernelsScalar().BlendRowColor(&cov.b, &e.b, 1, 255, 0x00FF8000);  // red 255, green 128, blue 0
  EXPECT_EQ(e.b, 0);
  EXPECT_EQ(e.g, (127 * 254) >> 8);
  EXPECT_EQ(e.r, (254 * 254) >> 8);
  EXPECT_EQ(e.a, (254 * 254) >> 8);
}

// The scalar downsamplers against the block averages worked by hand: a 3 x 3 block (factor 3)
// and, at factor 4, a block whose sums do not divide evenly.
TEST(RowKernels, DownsampleFormulas) {
  struct Case {
    int s;
    Px fill, corner;  // every source pixel is `fill` except the top-left one
    Px coverage, colour;
  } cases[] = {
      // 8 * 90 + 255 = 975, / 9 = 108 (blue); green 8 * 10 / 9 = 8; alpha (8 * 200 + 0) / 9 = 177.
      {3, {90, 10, 0, 200}, {255, 0, 255, 0}, {108, 0, 0, 0}, {108, 8, 28, 177}},
      // 15 * 17 + 1 = 256, / 16 = 16; alpha 15 * 255 / 16 = 239.
      {4, {17, 255, 1, 255}, {1, 0, 0, 0}, {16, 0, 0, 0}, {16, 239, 0, 239}},
  };
  for (const Case& c : cases) {
    std::vector<Px> src(std::size_t(c.s) * c.s, c.fill);
    src[0] = c.corner;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(src.data());
    Px cov{1, 2, 3, 4}, p{}, m{};
    KernelsScalar().DownsampleCoverage(bytes, c.s * 4, &cov.b, 4, 1, 1, c.s);
    KernelsScalar().DownsampleRichText(bytes, c.s * 4, &p.b, &m.b, 4, 1, 1, c.s);
    EXPECT_EQ(std::memcmp(&cov, &c.coverage, 4), 0) << c.s << ": " << int(cov.b) << "," << int(cov.g);
    EXPECT_EQ(std::memcmp(&p, &c.colour, 4), 0)
        << c.s << ": " << int(p.b) << "," << int(p.g) << "," << int(p.r) << "," << int(p.a);
    const Px mask{c.colour.a, c.colour.a, c.colour.a, c.colour.a};
    EXPECT_EQ(std::memcmp(&m, &mask, 4), 0) << c.s;
  }
}

TEST(RowKernels, ScaleRowAndSwapRedBlue) {
  Px p{200, 200, 200, 200};
  KernelsScalar().ScaleRow(&p.b, 1, 0xFF0000FFu);
  EXPECT_EQ(p.b, 199);
  EXPECT_EQ(p.g, 0);
  EXPECT_EQ(p.r, 0);
  EXPECT_EQ(p.a, 199);
  EXPECT_EQ(SwapRedBlue(0x00112233u), 0x00332211u);
  EXPECT_EQ(SwapRedBlue(0xAA112233u), 0xAA332211u);
}

}  // namespace
}  // namespace qv

// The vector row kernels, written once. A file per instruction set (kernels_sse2.cpp,
// kernels_avx2.cpp, kernels_avx512.cpp) defines QV_KERNELS_NS, its vector helpers in
// qv::QV_KERNELS_NS with internal linkage, and then includes this file, which compiles the kernels
// with that file's flags into that namespace and fills `kTable` with them.
//
// The helpers: V holds kPixels pixels; Load / Store (unaligned); Zero, Splat16, Splat32; And, Or,
// Xor, AndNot (~a & b); Shl16/Shr16/Shl32/Shr32<k> (logical); Add16, Add32, AddSat8, AddSat16
// (unsigned saturating); MulHi16 (unsigned), MulLo16; InvAlphaWords (255 - alpha in both 16-bit
// words of each pixel); and, lane by lane of 128 bits: UnpackLo8/Hi8, UnpackLo64/Hi64, Pack32To16
// (signed saturation), PackU16To8 (unsigned saturation), MAddPairs16 (pairs of words summed into
// 32 bits); LaneColumnsInOrder puts the 32-bit element j of 128-bit lane l, which holds pixel
// j * (kPixels / 4) + l after such lane-by-lane packing, at pixel 4 l + j's place.
//
// A pixel seen as two 16-bit words is (blue | green << 8, red | alpha << 8). The "even" bytes
// (blue, red) are x & 0x00FF, the "odd" ones (green, alpha) x >> 8, so one 16-bit multiply handles
// a byte lane of two pixels without unpacking. For a byte b and a multiplier m <= 255:
//   mulhi(b << 8, m) = (b * m) >> 8                  (lands in the low byte)
//   mullo(b, m) & 0xFF00 = ((b * m) >> 8) << 8       (lands in the high byte)
// Runs of at least kPixels pixels are covered by whole vectors (Run); shorter runs, and the pixels
// of a downsampled row that no whole vector covers, go through the one-pixel forms of
// KernelsPixel.h. So each variant writes the scalar variant's bytes.
#ifndef QV_KERNELS_NS
#error "define QV_KERNELS_NS and the vector helpers before including KernelsBody.h"
#endif

#include <cstdint>

#include "raster/KernelsPixel.h"
#include "raster/RowKernels.h"

namespace qv {
namespace QV_KERNELS_NS {
namespace {

// Every byte b of x times the word m of its lane pair, >> 8, packed back into bytes.
inline V MulBytes(V x, V mEven, V mOdd) {
  const V even = MulHi16(Shl16<8>(x), mEven);
  const V odd = And(MulLo16(Shr16<8>(x), mOdd), Splat16(0xFF00));
  return Or(even, odd);
}

// s over d, s already weighted by its alpha.
inline V Over(V s, V d) {
  const V ia = InvAlphaWords(s);
  return AddSat8(s, MulBytes(d, ia, ia));
}

// Writes a run of n >= kPixels pixels of dst: put(address, pixels(i)) for the kPixels results
// from pixel i. pixels(i) may read dst at those pixels only, so the first and last vectors of the
// run, computed before anything is written, give the same bytes as the vectors they overlap. In
// between, the vectors start on whole vector widths of dst, so no store and no load of dst
// straddles two cache lines.
template <class Pixels, class Put>
inline void Run(std::uint8_t* dst, int n, Pixels&& pixels, Put&& put) {
  const V first = pixels(0), last = pixels(n - kPixels);
  const std::uintptr_t toAligned = (std::uintptr_t(0) - reinterpret_cast<std::uintptr_t>(dst)) % (4 * kPixels);
  for (int i = int(toAligned / 4); i + kPixels <= n; i += kPixels) put(dst + 4 * i, pixels(i));
  put(dst, first);
  put(dst + 4 * (n - kPixels), last);
}

template <class Pixels>
inline void Run(std::uint8_t* dst, int n, Pixels&& pixels) {
  Run(dst, n, pixels, [](std::uint8_t* p, V v) { Store(p, v); });
}

void OverRow(const std::uint8_t* src, std::uint8_t* dst, int n) {
  if (n >= kPixels) {
    Run(dst, n, [&](int i) { return Over(Load(src + 4 * i), Load(dst + 4 * i)); });
  } else {
    for (int i = 0; i < n; ++i) px::Over(src + 4 * i, dst + 4 * i);
  }
}

void OverScaledRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f) {
  const V fw = Splat16(std::uint16_t(f));
  if (n >= kPixels) {
    Run(dst, n, [&](int i) { return Over(MulBytes(Load(src + 4 * i), fw, fw), Load(dst + 4 * i)); });
  } else {
    for (int i = 0; i < n; ++i) px::OverScaled(src + 4 * i, dst + 4 * i, f);
  }
}

void ColorRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f, std::uint32_t color) {
  std::uint32_t p[3];
  px::ColorLanes(color, f, p);
  if (n < kPixels) {
    for (int i = 0; i < n; ++i) px::Color(src + 4 * i, dst + 4 * i, f, p);
    return;
  }
  const V fw = Splat16(std::uint16_t(f));
  const V low = Splat32(0xFF);
  const V hiMask = Splat16(0xFF00);
  const V lowWords = Splat16(0x00FF);
  // Colour words << 8, ready for MulHi16: even (blue, red), odd (green, and alpha filled per pixel).
  const V pEven = Splat32((p[0] << 8) | (p[2] << 24));
  const V pOdd = Splat32(p[1] << 8);
  Run(dst, n, [&](int i) {
    const V s = Load(src + 4 * i), d = Load(dst + 4 * i);
    const V a = Shr16<8>(MulLo16(And(s, low), fw));  // a in the low word of each pixel
    const V aw = Or(a, Shl32<16>(a));
    const V ia = Xor(aw, lowWords);
    const V srcEven = MulHi16(pEven, aw);
    const V srcOdd = Shl16<8>(MulHi16(Or(pOdd, Shl32<24>(a)), aw));
    const V dEven = MulHi16(Shl16<8>(d), ia);
    const V dOdd = And(MulLo16(Shr16<8>(d), ia), hiMask);
    return AddSat8(Or(srcEven, srcOdd), Or(dEven, dOdd));
  });
}

// The weight words of every tap, even (w_blue, w_red) and odd (w_green, w_alpha) per pixel.
struct Weights {
  V even[2 * TKernel::MaxSize + 1], odd[2 * TKernel::MaxSize + 1];
  Weights(int taps, const std::uint16_t* w) {
    for (int t = 0; t < taps; ++t, w += 4) {
      even[t] = Splat32(w[0] | (std::uint32_t(w[2]) << 16));
      odd[t] = Splat32(w[1] | (std::uint32_t(w[3]) << 16));
    }
  }
};

// kPixels output pixels: the sum over taps of the pixels at s + t * step, >> 8, packed.
inline V Convolve(const std::uint8_t* s, std::ptrdiff_t step, int taps, const Weights& k) {
  const V lowMask = Splat16(0x00FF);
  V accE = Zero(), accO = Zero();
  for (int t = 0; t < taps; ++t, s += step) {
    const V v = Load(s);
    accE = AddSat16(accE, MulLo16(And(v, lowMask), k.even[t]));
    accO = AddSat16(accO, MulLo16(Shr16<8>(v), k.odd[t]));
  }
  return Or(Shr16<8>(accE), AndNot(lowMask, accO));
}

void ConvRow(const std::uint8_t* src, std::uint8_t* dst, int n, int taps, const std::uint16_t* w) {
  if (n < kPixels) {
    for (int i = 0; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, 4, taps, w);
    return;
  }
  const Weights k(taps, w);
  Run(dst, n, [&](int i) { return Convolve(src + 4 * i, 4, taps, k); });
}

void ConvColumn(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                const std::uint16_t* w) {
  if (n < kPixels) {
    for (int i = 0; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, stride, taps, w);
    return;
  }
  const Weights k(taps, w);
  Run(dst, n, [&](int i) { return Convolve(src + 4 * i, stride, taps, k); });
}

void ConvColumnTable(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                     const std::uint16_t* w, const TTable& table) {
  if (n < kPixels) {
    for (int i = 0; i < n; ++i) px::ConvolveTable(src + 4 * i, dst + 4 * i, stride, taps, w, table);
    return;
  }
  const Weights k(taps, w);
  Run(
      dst, n, [&](int i) { return Convolve(src + 4 * i, stride, taps, k); },
      [&](std::uint8_t* to, V v) {
        alignas(64) std::uint8_t r[4 * kPixels];
        Store(r, v);
        for (int b = 0; b < 4 * kPixels; ++b) to[b] = table.v[r[b]];
      });
}

void ScaleRowVec(std::uint8_t* pixels, int n, std::uint32_t F) {
  const V fe = Splat32((F & 0xFF) | (F & 0xFF0000));
  const V fo = Splat32(((F >> 8) & 0xFF) | ((F >> 24) << 16));
  if (n >= kPixels) {
    Run(pixels, n, [&](int i) { return MulBytes(Load(pixels + 4 * i), fe, fo); });
  } else {
    for (int i = 0; i < n; ++i) px::Scale(pixels + 4 * i, F);
  }
}

// The downsamplers are vectorised for the usual factor 4: kPixels output pixels per step from four
// vectors of each of the block's 4 rows. Vector q covers output pixels q * L .. q * L + L - 1
// (L = kPixels / 4), one per 128-bit lane; the lane-by-lane packing leaves them lane-major.
constexpr int kLanes = kPixels / 4;

void CoverageDown(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* Dst, std::ptrdiff_t DstStride,
                  int OutW, int OutH, int S) {
  const V blue = Splat32(0xFF);
  for (int y = 0; y < OutH; ++y) {
    const std::uint8_t* r = Src + std::ptrdiff_t(y) * S * SrcStride;
    std::uint8_t* out = Dst + std::ptrdiff_t(y) * DstStride;
    int x = 0;
    if (S == 4) {
      for (; x + kPixels <= OutW; x += kPixels) {
        // Blue bytes as 32-bit lanes summed down the rows, then across each block's 4 lanes with
        // two pack-and-add-pairs rounds (sums stay below 4096, well inside 16 bits).
        V acc[4];
        for (int q = 0; q < 4; ++q) {
          const std::uint8_t* b = r + (std::ptrdiff_t(x) + q * kLanes) * 16;
          V a = And(Load(b), blue);
          for (int j = 1; j < 4; ++j) a = Add32(a, And(Load(b + j * SrcStride), blue));
          acc[q] = a;
        }
        const V m01 = MAddPairs16(Pack32To16(acc[0], acc[1]));
        const V m23 = MAddPairs16(Pack32To16(acc[2], acc[3]));
        const V sums = MAddPairs16(Pack32To16(m01, m23));
        Store(out + 4 * x, LaneColumnsInOrder(Shr32<4>(sums)));
      }
    }
    for (; x < OutW; ++x) px::Coverage(r + std::ptrdiff_t(x) * S * 4, SrcStride, S, out + 4 * x);
  }
}

void RichTextDown(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* P, std::uint8_t* M,
                  std::ptrdiff_t DstStride, int OutW, int OutH, int S) {
  const V zero = Zero();
  for (int y = 0; y < OutH; ++y) {
    const std::uint8_t* r = Src + std::ptrdiff_t(y) * S * SrcStride;
    std::uint8_t* p = P + std::ptrdiff_t(y) * DstStride;
    std::uint8_t* m = M + std::ptrdiff_t(y) * DstStride;
    int x = 0;
    if (S == 4) {
      for (; x + kPixels <= OutW; x += kPixels) {
        // Bytes widened to words and summed down the rows; each 128-bit lane then holds the
        // block's pixels 0 + 2 and 1 + 3 in its two halves, which the 64-bit unpacks add up.
        V half[4];
        for (int q = 0; q < 4; ++q) {
          const std::uint8_t* b = r + (std::ptrdiff_t(x) + q * kLanes) * 16;
          V lo = zero, hi = zero;
          for (int j = 0; j < 4; ++j) {
            const V v = Load(b + j * SrcStride);
            lo = Add16(lo, UnpackLo8(v, zero));
            hi = Add16(hi, UnpackHi8(v, zero));
          }
          half[q] = Add16(lo, hi);
        }
        const V s01 = Add16(UnpackLo64(half[0], half[1]), UnpackHi64(half[0], half[1]));
        const V s23 = Add16(UnpackLo64(half[2], half[3]), UnpackHi64(half[2], half[3]));
        const V avg = LaneColumnsInOrder(PackU16To8(Shr16<4>(s01), Shr16<4>(s23)));
        Store(p + 4 * x, avg);
        const V a = Shr32<24>(avg);
        const V aa = Or(a, Shl32<8>(a));
        Store(m + 4 * x, Or(aa, Shl32<16>(aa)));
      }
    }
    for (; x < OutW; ++x) px::RichText(r + std::ptrdiff_t(x) * S * 4, SrcStride, S, p + 4 * x, m + 4 * x);
  }
}

#define QV_KERNELS_STR2(x) #x
#define QV_KERNELS_STR(x) QV_KERNELS_STR2(x)
const TRowKernels kTable{QV_KERNELS_STR(QV_KERNELS_NS), OverRow,     OverScaledRow, ColorRow,     ConvRow,
                         ConvColumn,      ConvColumnTable, ScaleRowVec, CoverageDown, RichTextDown};

}  // namespace
}  // namespace QV_KERNELS_NS
}  // namespace qv

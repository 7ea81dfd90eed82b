// SSE2 row kernels: 4 pixels per step, the remainder through the one-pixel forms.
//
// A pixel seen as two 16-bit words is (blue | green << 8, red | alpha << 8). The "even" bytes
// (blue, red) are x & 0x00FF, the "odd" ones (green, alpha) x >> 8, so one 16-bit multiply handles
// a byte lane of two pixels without unpacking. For a product q of a byte by a byte:
//   mulhi(b << 8, m) = (b * m) >> 8     (lands in the low byte)
//   mullo(b, m) & 0xFF00 = ((b * m) >> 8) << 8   (lands in the high byte)
#include <emmintrin.h>

#include "raster/KernelsPixel.h"
#include "raster/MMXBlend.h"

namespace qv {
namespace {

inline __m128i Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Every byte b of x times the word m of its lane pair, >> 8, packed back into bytes.
inline __m128i MulBytes(__m128i x, __m128i mEven, __m128i mOdd) {
  const __m128i hiMask = _mm_set1_epi16(short(0xFF00));
  const __m128i even = _mm_mulhi_epu16(_mm_slli_epi16(x, 8), mEven);
  const __m128i odd = _mm_and_si128(_mm_mullo_epi16(_mm_srli_epi16(x, 8), mOdd), hiMask);
  return _mm_or_si128(even, odd);
}

// The word (255 - alpha) in both words of each pixel.
inline __m128i InvAlphaWords(__m128i s) {
  const __m128i a = _mm_srli_epi32(s, 24);
  const __m128i aw = _mm_or_si128(a, _mm_slli_epi32(a, 16));
  return _mm_xor_si128(aw, _mm_set1_epi16(0x00FF));
}

void OverRow(const std::uint8_t* src, std::uint8_t* dst, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i s = Load(src + 4 * i), d = Load(dst + 4 * i);
    const __m128i ia = InvAlphaWords(s);
    Store(dst + 4 * i, _mm_adds_epu8(s, MulBytes(d, ia, ia)));
  }
  for (; i < n; ++i) px::Over(src + 4 * i, dst + 4 * i);
}

void OverScaledRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f) {
  const __m128i fw = _mm_set1_epi16(short(f));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i t = MulBytes(Load(src + 4 * i), fw, fw);
    const __m128i d = Load(dst + 4 * i);
    const __m128i ia = InvAlphaWords(t);
    Store(dst + 4 * i, _mm_adds_epu8(t, MulBytes(d, ia, ia)));
  }
  for (; i < n; ++i) px::OverScaled(src + 4 * i, dst + 4 * i, f);
}

void ColorRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f, std::uint32_t color) {
  std::uint32_t p[3];
  px::ColorLanes(color, f, p);
  const __m128i fw = _mm_set1_epi16(short(f));
  const __m128i low = _mm_set1_epi32(0xFF);
  const __m128i hiMask = _mm_set1_epi16(short(0xFF00));
  // Colour words << 8, ready for mulhi: even (blue, red), odd (green, and alpha filled per pixel).
  const __m128i pEven = _mm_set1_epi32(int((p[0] << 8) | (p[2] << 24)));
  const __m128i pOdd = _mm_set1_epi32(int(p[1] << 8));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i s = Load(src + 4 * i), d = Load(dst + 4 * i);
    const __m128i a = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(s, low), fw), 8);  // a in word 0
    const __m128i aw = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    const __m128i ia = _mm_xor_si128(aw, _mm_set1_epi16(0x00FF));
    const __m128i srcEven = _mm_mulhi_epu16(pEven, aw);
    const __m128i odd = _mm_or_si128(pOdd, _mm_slli_epi32(a, 24));
    const __m128i srcOdd = _mm_slli_epi16(_mm_mulhi_epu16(odd, aw), 8);
    const __m128i dEven = _mm_mulhi_epu16(_mm_slli_epi16(d, 8), ia);
    const __m128i dOdd = _mm_and_si128(_mm_mullo_epi16(_mm_srli_epi16(d, 8), ia), hiMask);
    Store(dst + 4 * i, _mm_adds_epu8(_mm_or_si128(srcEven, srcOdd), _mm_or_si128(dEven, dOdd)));
  }
  for (; i < n; ++i) px::Color(src + 4 * i, dst + 4 * i, f, p);
}

// Even and odd weight words of tap t: (w_blue, w_red) and (w_green, w_alpha) per pixel.
inline __m128i WeightsEven(const std::uint16_t* w) { return _mm_set1_epi32(int(w[0] | (std::uint32_t(w[2]) << 16))); }
inline __m128i WeightsOdd(const std::uint16_t* w) { return _mm_set1_epi32(int(w[1] | (std::uint32_t(w[3]) << 16))); }

// 4 output pixels: sum over taps of the pixels at s + t * step, >> 8, packed.
inline __m128i Convolve4(const std::uint8_t* s, std::ptrdiff_t step, int taps, const __m128i* we, const __m128i* wo) {
  const __m128i lowMask = _mm_set1_epi16(0x00FF);
  __m128i accE = _mm_setzero_si128(), accO = _mm_setzero_si128();
  for (int t = 0; t < taps; ++t, s += step) {
    const __m128i v = Load(s);
    accE = _mm_adds_epu16(accE, _mm_mullo_epi16(_mm_and_si128(v, lowMask), we[t]));
    accO = _mm_adds_epu16(accO, _mm_mullo_epi16(_mm_srli_epi16(v, 8), wo[t]));
  }
  return _mm_or_si128(_mm_srli_epi16(accE, 8), _mm_andnot_si128(lowMask, accO));
}

struct Weights {
  __m128i even[2 * TKernel::MaxSize + 1], odd[2 * TKernel::MaxSize + 1];
  Weights(int taps, const std::uint16_t* w) {
    for (int t = 0; t < taps; ++t) {
      even[t] = WeightsEven(w + 4 * t);
      odd[t] = WeightsOdd(w + 4 * t);
    }
  }
};

void ConvRow(const std::uint8_t* src, std::uint8_t* dst, int n, int taps, const std::uint16_t* w) {
  const Weights k(taps, w);
  int i = 0;
  for (; i + 4 <= n; i += 4) Store(dst + 4 * i, Convolve4(src + 4 * i, 4, taps, k.even, k.odd));
  for (; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, 4, taps, w);
}

void ConvColumn(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                const std::uint16_t* w) {
  const Weights k(taps, w);
  int i = 0;
  for (; i + 4 <= n; i += 4) Store(dst + 4 * i, Convolve4(src + 4 * i, stride, taps, k.even, k.odd));
  for (; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, stride, taps, w);
}

void ConvColumnTable(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                     const std::uint16_t* w, const TTable& table) {
  const Weights k(taps, w);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    alignas(16) std::uint8_t r[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(r), Convolve4(src + 4 * i, stride, taps, k.even, k.odd));
    for (int b = 0; b < 16; ++b) dst[4 * i + b] = table.v[r[b]];
  }
  for (; i < n; ++i) px::ConvolveTable(src + 4 * i, dst + 4 * i, stride, taps, w, table);
}

void ScaleRowSse2(std::uint8_t* pixels, int n, std::uint32_t F) {
  const __m128i fe = _mm_set1_epi32(int((F & 0xFF) | ((F & 0xFF0000) )));
  const __m128i fo = _mm_set1_epi32(int(((F >> 8) & 0xFF) | ((F >> 24) << 16)));
  int i = 0;
  for (; i + 4 <= n; i += 4) Store(pixels + 4 * i, MulBytes(Load(pixels + 4 * i), fe, fo));
  for (; i < n; ++i) px::Scale(pixels + 4 * i, F);
}

}  // namespace

const TRowKernels* KernelsSse2() {
  static const TRowKernels k{"sse2",  OverRow,    OverScaledRow,   ColorRow,
                             ConvRow, ConvColumn, ConvColumnTable, ScaleRowSse2};
  return &k;
}

}  // namespace qv

// AVX2 row kernels: 8 pixels per step, the remainder through the one-pixel forms. Compiled with
// -mavx2 and reached only through KernelsAvx2(), which answers null on a CPU without AVX2.
// Same even/odd byte arithmetic as kernels_sse2.cpp. This file calls no inline function with
// external linkage (a copy compiled here could be picked by the linker for other callers): only
// intrinsics and the internal one-pixel helpers.
#include <immintrin.h>

#include "raster/KernelsPixel.h"
#include "raster/MMXBlend.h"

namespace qv {
namespace {

inline __m256i Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void Store(std::uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

inline __m256i MulBytes(__m256i x, __m256i mEven, __m256i mOdd) {
  const __m256i hiMask = _mm256_set1_epi16(short(0xFF00));
  const __m256i even = _mm256_mulhi_epu16(_mm256_slli_epi16(x, 8), mEven);
  const __m256i odd = _mm256_and_si256(_mm256_mullo_epi16(_mm256_srli_epi16(x, 8), mOdd), hiMask);
  return _mm256_or_si256(even, odd);
}

// Byte 3 of each pixel into the low byte of both its words, zero above.
inline __m256i AlphaWordsShuffle() {
  const char z = char(0x80);
  return _mm256_setr_epi8(3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z,
                          3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z);
}

// (255 - alpha) in both words of each pixel: the complemented alpha byte, spread.
inline __m256i InvAlphaWords(__m256i s, __m256i spread) {
  return _mm256_shuffle_epi8(_mm256_xor_si256(s, _mm256_set1_epi32(-1)), spread);
}

void OverRow(const std::uint8_t* src, std::uint8_t* dst, int n) {
  const __m256i spread = AlphaWordsShuffle();
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i s = Load(src + 4 * i), d = Load(dst + 4 * i);
    const __m256i ia = InvAlphaWords(s, spread);
    Store(dst + 4 * i, _mm256_adds_epu8(s, MulBytes(d, ia, ia)));
  }
  for (; i < n; ++i) px::Over(src + 4 * i, dst + 4 * i);
}

void OverScaledRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f) {
  const __m256i spread = AlphaWordsShuffle();
  const __m256i fw = _mm256_set1_epi16(short(f));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i t = MulBytes(Load(src + 4 * i), fw, fw);
    const __m256i d = Load(dst + 4 * i);
    const __m256i ia = InvAlphaWords(t, spread);
    Store(dst + 4 * i, _mm256_adds_epu8(t, MulBytes(d, ia, ia)));
  }
  for (; i < n; ++i) px::OverScaled(src + 4 * i, dst + 4 * i, f);
}

void ColorRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f, std::uint32_t color) {
  std::uint32_t p[3];
  px::ColorLanes(color, f, p);
  const __m256i fw = _mm256_set1_epi16(short(f));
  const __m256i low = _mm256_set1_epi32(0xFF);
  const __m256i hiMask = _mm256_set1_epi16(short(0xFF00));
  const __m256i pEven = _mm256_set1_epi32(int((p[0] << 8) | (p[2] << 24)));
  const __m256i pOdd = _mm256_set1_epi32(int(p[1] << 8));
  const char z = char(0x80);
  // Byte 0 of each pixel into the low byte of both its words.
  const __m256i spread0 = _mm256_setr_epi8(0, z, 0, z, 4, z, 4, z, 8, z, 8, z, 12, z, 12, z,
                                           0, z, 0, z, 4, z, 4, z, 8, z, 8, z, 12, z, 12, z);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i s = Load(src + 4 * i), d = Load(dst + 4 * i);
    const __m256i a = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low), fw), 8);  // a in word 0
    const __m256i aw = _mm256_shuffle_epi8(a, spread0);
    const __m256i ia = _mm256_xor_si256(aw, _mm256_set1_epi16(0x00FF));
    const __m256i srcEven = _mm256_mulhi_epu16(pEven, aw);
    const __m256i odd = _mm256_or_si256(pOdd, _mm256_slli_epi32(a, 24));
    const __m256i srcOdd = _mm256_slli_epi16(_mm256_mulhi_epu16(odd, aw), 8);
    const __m256i dEven = _mm256_mulhi_epu16(_mm256_slli_epi16(d, 8), ia);
    const __m256i dOdd = _mm256_and_si256(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), ia), hiMask);
    Store(dst + 4 * i, _mm256_adds_epu8(_mm256_or_si256(srcEven, srcOdd), _mm256_or_si256(dEven, dOdd)));
  }
  for (; i < n; ++i) px::Color(src + 4 * i, dst + 4 * i, f, p);
}

struct Weights {
  __m256i even[2 * TKernel::MaxSize + 1], odd[2 * TKernel::MaxSize + 1];
  Weights(int taps, const std::uint16_t* w) {
    for (int t = 0; t < taps; ++t, w += 4) {
      even[t] = _mm256_set1_epi32(int(w[0] | (std::uint32_t(w[2]) << 16)));
      odd[t] = _mm256_set1_epi32(int(w[1] | (std::uint32_t(w[3]) << 16)));
    }
  }
};

inline __m256i Convolve8(const std::uint8_t* s, std::ptrdiff_t step, int taps, const Weights& k) {
  const __m256i lowMask = _mm256_set1_epi16(0x00FF);
  __m256i accE = _mm256_setzero_si256(), accO = _mm256_setzero_si256();
  for (int t = 0; t < taps; ++t, s += step) {
    const __m256i v = Load(s);
    accE = _mm256_adds_epu16(accE, _mm256_mullo_epi16(_mm256_and_si256(v, lowMask), k.even[t]));
    accO = _mm256_adds_epu16(accO, _mm256_mullo_epi16(_mm256_srli_epi16(v, 8), k.odd[t]));
  }
  return _mm256_or_si256(_mm256_srli_epi16(accE, 8), _mm256_andnot_si256(lowMask, accO));
}

void ConvRow(const std::uint8_t* src, std::uint8_t* dst, int n, int taps, const std::uint16_t* w) {
  const Weights k(taps, w);
  int i = 0;
  for (; i + 8 <= n; i += 8) Store(dst + 4 * i, Convolve8(src + 4 * i, 4, taps, k));
  for (; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, 4, taps, w);
}

void ConvColumn(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                const std::uint16_t* w) {
  const Weights k(taps, w);
  int i = 0;
  for (; i + 8 <= n; i += 8) Store(dst + 4 * i, Convolve8(src + 4 * i, stride, taps, k));
  for (; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, stride, taps, w);
}

void ConvColumnTable(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                     const std::uint16_t* w, const TTable& table) {
  const Weights k(taps, w);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    alignas(32) std::uint8_t r[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(r), Convolve8(src + 4 * i, stride, taps, k));
    for (int b = 0; b < 32; ++b) dst[4 * i + b] = table.v[r[b]];
  }
  for (; i < n; ++i) px::ConvolveTable(src + 4 * i, dst + 4 * i, stride, taps, w, table);
}

void ScaleRowAvx2(std::uint8_t* pixels, int n, std::uint32_t F) {
  const __m256i fe = _mm256_set1_epi32(int((F & 0xFF) | (F & 0xFF0000)));
  const __m256i fo = _mm256_set1_epi32(int(((F >> 8) & 0xFF) | ((F >> 24) << 16)));
  int i = 0;
  for (; i + 8 <= n; i += 8) Store(pixels + 4 * i, MulBytes(Load(pixels + 4 * i), fe, fo));
  for (; i < n; ++i) px::Scale(pixels + 4 * i, F);
}

const TRowKernels kAvx2{"avx2",  OverRow,    OverScaledRow,   ColorRow,
                        ConvRow, ConvColumn, ConvColumnTable, ScaleRowAvx2};

}  // namespace

// Defined here so the table's address needs no AVX2 instruction; the caller checks the CPU.
const TRowKernels* KernelsAvx2Table() { return &kAvx2; }

}  // namespace qv

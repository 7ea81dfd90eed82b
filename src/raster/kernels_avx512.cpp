// AVX-512 (F and BW) row kernels: the vector helpers of KernelsBody.h on 512-bit registers, 16
// pixels each. Compiled with -mavx512f -mavx512bw and reached only through KernelsAvx512(), which
// answers null on a CPU without them. Everything here has internal linkage, as in kernels_avx2.cpp.
#include <immintrin.h>

#include <cstdint>

#define QV_KERNELS_NS avx512

namespace qv {
namespace avx512 {
namespace {

using V = __m512i;
constexpr int kPixels = 16;

inline V Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
inline void Store(std::uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
inline V Zero() { return _mm512_setzero_si512(); }
inline V Splat16(std::uint16_t w) { return _mm512_set1_epi16(short(w)); }
inline V Splat32(std::uint32_t w) { return _mm512_set1_epi32(int(w)); }
inline V And(V a, V b) { return _mm512_and_si512(a, b); }
inline V Or(V a, V b) { return _mm512_or_si512(a, b); }
inline V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
inline V AndNot(V a, V b) { return _mm512_andnot_si512(a, b); }
template <int k> V Shl16(V a) { return _mm512_slli_epi16(a, k); }
template <int k> V Shr16(V a) { return _mm512_srli_epi16(a, k); }
template <int k> V Shl32(V a) { return _mm512_slli_epi32(a, k); }
template <int k> V Shr32(V a) { return _mm512_srli_epi32(a, k); }
inline V Add16(V a, V b) { return _mm512_add_epi16(a, b); }
inline V Add32(V a, V b) { return _mm512_add_epi32(a, b); }
inline V AddSat8(V a, V b) { return _mm512_adds_epu8(a, b); }
inline V AddSat16(V a, V b) { return _mm512_adds_epu16(a, b); }
inline V MulHi16(V a, V b) { return _mm512_mulhi_epu16(a, b); }
inline V MulLo16(V a, V b) { return _mm512_mullo_epi16(a, b); }
// The complemented alpha byte of each pixel spread into the low byte of both its words.
inline V InvAlphaWords(V s) {
  const char z = char(0x80);
  const V spread = _mm512_broadcast_i32x4(_mm_setr_epi8(3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z));
  return _mm512_shuffle_epi8(_mm512_xor_si512(s, _mm512_set1_epi32(-1)), spread);
}
inline V UnpackLo8(V a, V b) { return _mm512_unpacklo_epi8(a, b); }
inline V UnpackHi8(V a, V b) { return _mm512_unpackhi_epi8(a, b); }
inline V UnpackLo64(V a, V b) { return _mm512_unpacklo_epi64(a, b); }
inline V UnpackHi64(V a, V b) { return _mm512_unpackhi_epi64(a, b); }
inline V Pack32To16(V a, V b) { return _mm512_packs_epi32(a, b); }
inline V PackU16To8(V a, V b) { return _mm512_packus_epi16(a, b); }
inline V MAddPairs16(V a) { return _mm512_madd_epi16(a, _mm512_set1_epi16(1)); }
inline V LaneColumnsInOrder(V a) {
  return _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), a);
}

}  // namespace
}  // namespace avx512
}  // namespace qv

#include "raster/KernelsBody.h"

namespace qv {
// Defined here so the table's address needs no AVX-512 instruction; the caller checks the CPU.
const TRowKernels* KernelsAvx512Table() { return &avx512::kTable; }
}  // namespace qv

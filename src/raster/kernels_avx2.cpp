// AVX2 row kernels: the vector helpers of KernelsBody.h on 256-bit registers, 8 pixels each.
// Compiled with -mavx2 and reached only through KernelsAvx2(), which answers null on a CPU without
// AVX2. Everything here has internal linkage (a copy of an inline function with external linkage
// compiled here could be picked by the linker for other callers).
#include <immintrin.h>

#include <cstdint>

#define QV_KERNELS_NS avx2

namespace qv {
namespace avx2 {
namespace {

using V = __m256i;
constexpr int kPixels = 8;

inline V Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
inline void Store(std::uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
inline V Zero() { return _mm256_setzero_si256(); }
inline V Splat16(std::uint16_t w) { return _mm256_set1_epi16(short(w)); }
inline V Splat32(std::uint32_t w) { return _mm256_set1_epi32(int(w)); }
inline V And(V a, V b) { return _mm256_and_si256(a, b); }
inline V Or(V a, V b) { return _mm256_or_si256(a, b); }
inline V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
inline V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
template <int k> V Shl16(V a) { return _mm256_slli_epi16(a, k); }
template <int k> V Shr16(V a) { return _mm256_srli_epi16(a, k); }
template <int k> V Shl32(V a) { return _mm256_slli_epi32(a, k); }
template <int k> V Shr32(V a) { return _mm256_srli_epi32(a, k); }
inline V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
inline V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
inline V AddSat8(V a, V b) { return _mm256_adds_epu8(a, b); }
inline V AddSat16(V a, V b) { return _mm256_adds_epu16(a, b); }
inline V MulHi16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
inline V MulLo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
// The complemented alpha byte of each pixel spread into the low byte of both its words.
inline V InvAlphaWords(V s) {
  const char z = char(0x80);
  const V spread = _mm256_setr_epi8(3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z,
                                    3, z, 3, z, 7, z, 7, z, 11, z, 11, z, 15, z, 15, z);
  return _mm256_shuffle_epi8(_mm256_xor_si256(s, _mm256_set1_epi32(-1)), spread);
}
inline V UnpackLo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
inline V UnpackHi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
inline V UnpackLo64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
inline V UnpackHi64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
inline V Pack32To16(V a, V b) { return _mm256_packs_epi32(a, b); }
inline V PackU16To8(V a, V b) { return _mm256_packus_epi16(a, b); }
inline V MAddPairs16(V a) { return _mm256_madd_epi16(a, _mm256_set1_epi16(1)); }
inline V LaneColumnsInOrder(V a) { return _mm256_permutevar8x32_epi32(a, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)); }

}  // namespace
}  // namespace avx2
}  // namespace qv

#include "raster/KernelsBody.h"

namespace qv {
// Defined here so the table's address needs no AVX2 instruction; the caller checks the CPU.
const TRowKernels* KernelsAvx2Table() { return &avx2::kTable; }
}  // namespace qv

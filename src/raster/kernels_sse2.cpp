// SSE2 row kernels: the vector helpers of KernelsBody.h on 128-bit registers, 4 pixels each.
#include <emmintrin.h>

#include <cstdint>

#define QV_KERNELS_NS sse2

namespace qv {
namespace sse2 {
namespace {

using V = __m128i;
constexpr int kPixels = 4;

inline V Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
inline void Store(std::uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
inline V Zero() { return _mm_setzero_si128(); }
inline V Splat16(std::uint16_t w) { return _mm_set1_epi16(short(w)); }
inline V Splat32(std::uint32_t w) { return _mm_set1_epi32(int(w)); }
inline V And(V a, V b) { return _mm_and_si128(a, b); }
inline V Or(V a, V b) { return _mm_or_si128(a, b); }
inline V Xor(V a, V b) { return _mm_xor_si128(a, b); }
inline V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
template <int k> V Shl16(V a) { return _mm_slli_epi16(a, k); }
template <int k> V Shr16(V a) { return _mm_srli_epi16(a, k); }
template <int k> V Shl32(V a) { return _mm_slli_epi32(a, k); }
template <int k> V Shr32(V a) { return _mm_srli_epi32(a, k); }
inline V Add16(V a, V b) { return _mm_add_epi16(a, b); }
inline V Add32(V a, V b) { return _mm_add_epi32(a, b); }
inline V AddSat8(V a, V b) { return _mm_adds_epu8(a, b); }
inline V AddSat16(V a, V b) { return _mm_adds_epu16(a, b); }
inline V MulHi16(V a, V b) { return _mm_mulhi_epu16(a, b); }
inline V MulLo16(V a, V b) { return _mm_mullo_epi16(a, b); }
inline V InvAlphaWords(V s) {
  const V a = _mm_srli_epi32(s, 24);
  return _mm_xor_si128(_mm_or_si128(a, _mm_slli_epi32(a, 16)), _mm_set1_epi16(0x00FF));
}
inline V UnpackLo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
inline V UnpackHi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
inline V UnpackLo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
inline V UnpackHi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
inline V Pack32To16(V a, V b) { return _mm_packs_epi32(a, b); }
inline V PackU16To8(V a, V b) { return _mm_packus_epi16(a, b); }
inline V MAddPairs16(V a) { return _mm_madd_epi16(a, _mm_set1_epi16(1)); }
inline V LaneColumnsInOrder(V a) { return a; }  // one lane: already in order

}  // namespace
}  // namespace sse2
}  // namespace qv

#include "raster/KernelsBody.h"

namespace qv {
const TRowKernels* KernelsSse2() { return &sse2::kTable; }
}  // namespace qv

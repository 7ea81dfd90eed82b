#pragma once
// One-pixel forms of the row kernels, shared by the scalar kernels and the short runs and row ends
// of the vector ones so that every variant computes the same bytes. Internal to the raster library.
// The helpers have internal linkage: the AVX2 and AVX-512 files compile them with those
// instructions enabled, and the linker must never hand that copy to the scalar or SSE2 code.
#include <cstddef>
#include <cstdint>

#include "raster/GaussianBlur.h"

namespace qv {
namespace {
namespace px {

inline std::uint32_t Min255(std::uint32_t v) { return v < 255 ? v : 255; }

inline void Over(const std::uint8_t* s, std::uint8_t* d) {
  const std::uint32_t ia = 255 - s[3];
  for (int c = 0; c < 4; ++c) d[c] = std::uint8_t(Min255(s[c] + ((ia * d[c]) >> 8)));
}

inline void OverScaled(const std::uint8_t* s, std::uint8_t* d, std::uint32_t f) {
  std::uint32_t t[4];
  for (int c = 0; c < 4; ++c) t[c] = (s[c] * f) >> 8;
  const std::uint32_t ia = 255 - t[3];
  for (int c = 0; c < 4; ++c) d[c] = std::uint8_t(Min255(t[c] + ((ia * d[c]) >> 8)));
}

// p holds the colour lanes already scaled by f (p_c = C_c * f >> 8).
inline void Color(const std::uint8_t* s, std::uint8_t* d, std::uint32_t f, const std::uint32_t p[3]) {
  const std::uint32_t a = (s[0] * f) >> 8;
  const std::uint32_t ia = 255 - a;
  for (int c = 0; c < 3; ++c) d[c] = std::uint8_t(Min255(((p[c] * a) >> 8) + ((ia * d[c]) >> 8)));
  d[3] = std::uint8_t(Min255(((a * a) >> 8) + ((ia * d[3]) >> 8)));
}

// One output pixel of a convolution whose taps are `step` bytes apart.
inline void Convolve(const std::uint8_t* s, std::uint8_t* d, std::ptrdiff_t step, int taps, const std::uint16_t* w) {
  std::uint32_t acc[4] = {0, 0, 0, 0};
  for (int t = 0; t < taps; ++t, s += step, w += 4)
    for (int c = 0; c < 4; ++c) acc[c] += std::uint32_t(s[c]) * w[c];
  for (int c = 0; c < 4; ++c) d[c] = std::uint8_t((acc[c] < 65535 ? acc[c] : 65535) >> 8);
}

inline void ConvolveTable(const std::uint8_t* s, std::uint8_t* d, std::ptrdiff_t step, int taps,
                          const std::uint16_t* w, const TTable& table) {
  Convolve(s, d, step, taps, w);
  for (int c = 0; c < 4; ++c) d[c] = table.v[d[c]];
}

inline void Scale(std::uint8_t* p, std::uint32_t F) {
  for (int c = 0; c < 4; ++c) p[c] = std::uint8_t((p[c] * ((F >> (8 * c)) & 0xFF)) >> 8);
}

// One output pixel of coverage: the blue average of the S x S block whose top-left pixel is at s.
inline void Coverage(const std::uint8_t* s, std::ptrdiff_t stride, int S, std::uint8_t* d) {
  std::uint32_t sum = 0;
  for (int j = 0; j < S; ++j, s += stride)
    for (int i = 0; i < S; ++i) sum += s[4 * i];
  const std::uint32_t area = std::uint32_t(S) * std::uint32_t(S);
  d[0] = std::uint8_t(sum / area);
  d[1] = d[2] = d[3] = 0;
}

// One output pixel of rich text: every byte the block average into p, the alpha average into all
// bytes of m.
inline void RichText(const std::uint8_t* s, std::ptrdiff_t stride, int S, std::uint8_t* p, std::uint8_t* m) {
  std::uint32_t sum[4] = {0, 0, 0, 0};
  for (int j = 0; j < S; ++j, s += stride)
    for (int i = 0; i < S; ++i)
      for (int c = 0; c < 4; ++c) sum[c] += s[4 * i + c];
  const std::uint32_t area = std::uint32_t(S) * std::uint32_t(S);
  for (int c = 0; c < 4; ++c) p[c] = std::uint8_t(sum[c] / area);
  for (int c = 0; c < 4; ++c) m[c] = p[3];
}

inline void ColorLanes(std::uint32_t color, std::uint32_t f, std::uint32_t p[3]) {
  for (int c = 0; c < 3; ++c) p[c] = (((color >> (8 * c)) & 0xFF) * f) >> 8;
}

}  // namespace px
}  // namespace
}  // namespace qv

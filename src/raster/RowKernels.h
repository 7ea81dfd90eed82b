#pragma once
// The row-kernel dispatch table of the raster engine. Each kernel has a scalar version that states
// its formula (kernels_scalar.cpp) and one vector body (KernelsBody.h) compiled once per instruction
// set (kernels_sse2.cpp, kernels_avx2.cpp, kernels_avx512.cpp); the table is chosen once from the
// CPU's features. All variants give identical bytes.
//
// Pixels are 4 bytes blue, green, red, alpha. Arithmetic is per byte lane, unsigned; ">> 8" drops
// the fraction; stored sums are capped at 255. n is a pixel count (n <= 0 does nothing).
#include <cstddef>
#include <cstdint>

#include "raster/GaussianBlur.h"

namespace qv {

struct TRowKernels {
  const char* Name;
  // out_c = min(255, s_c + ((255 - s_alpha) * d_c >> 8))
  void (*BlendRowOver)(const std::uint8_t* src, std::uint8_t* dst, int n);
  // t_c = s_c * f >> 8; out_c = min(255, t_c + ((255 - t_alpha) * d_c >> 8)); f in 0..255
  void (*BlendRowOverScaled)(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f);
  // Coverage k = source blue byte, a = k * f >> 8, p_c = C_c * f >> 8 (C = 0x00RRGGBB):
  // colour lanes out_c = min(255, (p_c * a >> 8) + ((255 - a) * d_c >> 8)),
  // alpha out = min(255, (a * a >> 8) + ((255 - a) * d_alpha >> 8)); f in 0..255
  void (*BlendRowColor)(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f,
                        std::uint32_t color);
  // Horizontal convolution: dst[x] = sum_t src[x + t] * w[t] for x = 0..n-1, t = 0..taps-1, per
  // lane; w[t] is four words (one per lane, each 0..255) at weights + 4t. The sum saturates at
  // 65535 and is stored >> 8. Reads pixels src[0 .. n + taps - 2].
  void (*ConvolveRow)(const std::uint8_t* src, std::uint8_t* dst, int n, int taps, const std::uint16_t* weights);
  // Vertical convolution of n neighbouring pixels: dst[x] = sum_t src[x + t * stride] * w[t]
  // (stride in bytes between taps, i.e. one row), same arithmetic as ConvolveRow.
  void (*ConvolveColumn)(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                         const std::uint16_t* weights);
  // ConvolveColumn with every result byte replaced by table[byte].
  void (*ConvolveColumnTable)(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride,
                              int taps, const std::uint16_t* weights, const TTable& table);
  // p_c = p_c * F_c >> 8 with F read as 0xAARRGGBB (F_blue the low byte).
  void (*ScaleRow)(std::uint8_t* pixels, int n, std::uint32_t F);
  // Supersampled coverage down by S: output pixel (x, y) gets blue = (sum of the blue bytes of the
  // S x S block at column x * S, row y * S of Src) div S^2, and 0 in its other bytes. Src holds
  // OutW * S pixels of each of OutH * S rows; strides in bytes.
  void (*DownsampleCoverage)(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* Dst,
                             std::ptrdiff_t DstStride, int OutW, int OutH, int S);
  // Supersampled premultiplied colour down by S: each byte of P's pixel is the block average (sum
  // div S^2) of that byte, and every byte of M's pixel is P's alpha. P and M share DstStride.
  void (*DownsampleRichText)(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* P, std::uint8_t* M,
                             std::ptrdiff_t DstStride, int OutW, int OutH, int S);
};

// The variant chosen for this CPU (the widest it has: AVX-512, AVX2, else SSE2).
const TRowKernels& Kernels();
// Each variant, for tests and benchmarks. KernelsAvx2 and KernelsAvx512 are null when the CPU
// lacks the instruction set.
const TRowKernels& KernelsScalar();
const TRowKernels* KernelsSse2();
const TRowKernels* KernelsAvx2();
const TRowKernels* KernelsAvx512();

// Calls through the chosen variant.
inline void BlendRowOver(const std::uint8_t* src, std::uint8_t* dst, int n) {
  Kernels().BlendRowOver(src, dst, n);
}
inline void BlendRowOverScaled(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f) {
  Kernels().BlendRowOverScaled(src, dst, n, f);
}
inline void BlendRowColor(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f, std::uint32_t color) {
  Kernels().BlendRowColor(src, dst, n, f, color);
}
inline void ConvolveRow(const std::uint8_t* src, std::uint8_t* dst, int n, int taps, const std::uint16_t* weights) {
  Kernels().ConvolveRow(src, dst, n, taps, weights);
}
inline void ConvolveColumn(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                           const std::uint16_t* weights) {
  Kernels().ConvolveColumn(src, dst, n, stride, taps, weights);
}
inline void ConvolveColumnTable(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                                const std::uint16_t* weights, const TTable& table) {
  Kernels().ConvolveColumnTable(src, dst, n, stride, taps, weights, table);
}
inline void ScaleRow(std::uint8_t* pixels, int n, std::uint32_t F) { Kernels().ScaleRow(pixels, n, F); }
inline void DownsampleCoverage(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* Dst,
                               std::ptrdiff_t DstStride, int OutW, int OutH, int S) {
  Kernels().DownsampleCoverage(Src, SrcStride, Dst, DstStride, OutW, OutH, S);
}
inline void DownsampleRichText(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* P, std::uint8_t* M,
                               std::ptrdiff_t DstStride, int OutW, int OutH, int S) {
  Kernels().DownsampleRichText(Src, SrcStride, P, M, DstStride, OutW, OutH, S);
}

// The masked row blend: it has no effect on the destination.
inline void BlendRowMasked(const std::uint8_t*, std::uint8_t*, const std::uint8_t*, int, std::uint32_t, int) {}

}  // namespace qv

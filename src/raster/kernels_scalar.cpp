// Scalar row kernels: the formulas, one pixel at a time. The reference for the vector variants.
#include "raster/KernelsPixel.h"
#include "raster/RowKernels.h"

namespace qv {
namespace {

void OverRow(const std::uint8_t* src, std::uint8_t* dst, int n) {
  for (int i = 0; i < n; ++i) px::Over(src + 4 * i, dst + 4 * i);
}

void OverScaledRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f) {
  for (int i = 0; i < n; ++i) px::OverScaled(src + 4 * i, dst + 4 * i, f);
}

void ColorRow(const std::uint8_t* src, std::uint8_t* dst, int n, std::uint32_t f, std::uint32_t color) {
  std::uint32_t p[3];
  px::ColorLanes(color, f, p);
  for (int i = 0; i < n; ++i) px::Color(src + 4 * i, dst + 4 * i, f, p);
}

void ConvRow(const std::uint8_t* src, std::uint8_t* dst, int n, int taps, const std::uint16_t* w) {
  for (int i = 0; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, 4, taps, w);
}

void ConvColumn(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                const std::uint16_t* w) {
  for (int i = 0; i < n; ++i) px::Convolve(src + 4 * i, dst + 4 * i, stride, taps, w);
}

void ConvColumnTable(const std::uint8_t* src, std::uint8_t* dst, int n, std::ptrdiff_t stride, int taps,
                     const std::uint16_t* w, const TTable& table) {
  for (int i = 0; i < n; ++i) px::ConvolveTable(src + 4 * i, dst + 4 * i, stride, taps, w, table);
}

void ScaleRowScalar(std::uint8_t* pixels, int n, std::uint32_t F) {
  for (int i = 0; i < n; ++i) px::Scale(pixels + 4 * i, F);
}

void CoverageDown(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* Dst, std::ptrdiff_t DstStride,
                  int OutW, int OutH, int S) {
  for (int y = 0; y < OutH; ++y)
    for (int x = 0; x < OutW; ++x)
      px::Coverage(Src + y * S * SrcStride + std::ptrdiff_t(x) * S * 4, SrcStride, S, Dst + y * DstStride + 4 * x);
}

void RichTextDown(const std::uint8_t* Src, std::ptrdiff_t SrcStride, std::uint8_t* P, std::uint8_t* M,
                  std::ptrdiff_t DstStride, int OutW, int OutH, int S) {
  for (int y = 0; y < OutH; ++y)
    for (int x = 0; x < OutW; ++x)
      px::RichText(Src + y * S * SrcStride + std::ptrdiff_t(x) * S * 4, SrcStride, S, P + y * DstStride + 4 * x,
                   M + y * DstStride + 4 * x);
}

}  // namespace

const TRowKernels& KernelsScalar() {
  static const TRowKernels k{"scalar",       OverRow,       OverScaledRow,   ColorRow,      ConvRow,
                             ConvColumn,     ConvColumnTable, ScaleRowScalar, CoverageDown, RichTextDown};
  return k;
}

}  // namespace qv

// Blending a 768 x 576 premultiplied layer onto a 768 x 576 frame, against Qt's raster engine,
// pixman and memcpy, all on the same buffers.
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>

#include "BenchImages.h"
#include "Ratio.h"
#include "raster/Bitmap.h"
#include "raster/RowKernels.h"

namespace {

using namespace qvbench;

struct Frames {
  std::vector<std::uint32_t> layer = PremultipliedLayer();
  std::vector<std::uint32_t> frame = Background();
};

void BM_BlendOver(benchmark::State& state) {
  Frames f;
  qv::TmemoryBitmap src(kFrameW, kFrameH, f.layer.data());
  qv::TmemoryBitmap dst(kFrameW, kFrameH, f.frame.data());
  for (auto _ : state) {
    dst.Blend(0, 0, src);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlendOver);

void BM_BlendOverScaled(benchmark::State& state) {
  Frames f;
  qv::TmemoryBitmap src(kFrameW, kFrameH, f.layer.data());
  qv::TmemoryBitmap dst(kFrameW, kFrameH, f.frame.data());
  dst.SetFactor(128);
  for (auto _ : state) {
    dst.Blend(0, 0, src);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlendOverScaled);

// The OVER row kernel of one instruction set over the whole frame, row by row, to compare the
// variants on this machine (Blend itself uses the one Kernels() chose).
void OverWithVariant(benchmark::State& state, const qv::TRowKernels* k) {
  if (!k) {
    state.SkipWithError("this CPU lacks the instruction set");
    return;
  }
  Frames f;
  for (auto _ : state) {
    for (int y = 0; y < kFrameH; ++y) {
      const std::size_t row = std::size_t(y) * kFrameW;
      k->BlendRowOver(reinterpret_cast<const std::uint8_t*>(f.layer.data() + row),
                      reinterpret_cast<std::uint8_t*>(f.frame.data() + row), kFrameW);
    }
    benchmark::ClobberMemory();
  }
}
void BM_BlendOverRowSse2(benchmark::State& state) { OverWithVariant(state, qv::KernelsSse2()); }
void BM_BlendOverRowAvx2(benchmark::State& state) { OverWithVariant(state, qv::KernelsAvx2()); }
void BM_BlendOverRowAvx512(benchmark::State& state) { OverWithVariant(state, qv::KernelsAvx512()); }
BENCHMARK(BM_BlendOverRowSse2);
BENCHMARK(BM_BlendOverRowAvx2);
BENCHMARK(BM_BlendOverRowAvx512);

void QPainterDraw(benchmark::State& state, double opacity) {
  Frames f;
  QImage src(reinterpret_cast<uchar*>(f.layer.data()), kFrameW, kFrameH, kFrameW * 4,
             QImage::Format_ARGB32_Premultiplied);
  QImage dst(reinterpret_cast<uchar*>(f.frame.data()), kFrameW, kFrameH, kFrameW * 4,
             QImage::Format_ARGB32_Premultiplied);
  QPainter p(&dst);
  p.setOpacity(opacity);
  for (auto _ : state) {
    p.drawImage(0, 0, src);
    benchmark::ClobberMemory();
  }
}
void BM_QPainterDrawImage(benchmark::State& state) { QPainterDraw(state, 1.0); }
void BM_QPainterDrawImageHalf(benchmark::State& state) { QPainterDraw(state, 0.5); }
BENCHMARK(BM_QPainterDrawImage);
BENCHMARK(BM_QPainterDrawImageHalf);

void BM_PixmanOver(benchmark::State& state) {
  Frames f;
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameW, kFrameH, f.layer.data(), kFrameW * 4);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameW, kFrameH, f.frame.data(), kFrameW * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kFrameW, kFrameH);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
}
BENCHMARK(BM_PixmanOver);

void BM_Memcpy(benchmark::State& state) {
  Frames f;
  for (auto _ : state) {
    std::memcpy(f.frame.data(), f.layer.data(), f.layer.size() * 4);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy);

// Colour mode: a coverage picture (blue byte) painted in a colour.
void BM_BlendColor(benchmark::State& state) {
  Frames f;
  const auto cov = Coverage();
  std::vector<std::uint32_t> covPx(cov.size());
  for (std::size_t i = 0; i < cov.size(); ++i) covPx[i] = cov[i];
  qv::TmemoryBitmap src(kFrameW, kFrameH, covPx.data());
  src.SetColor(0x3080F0);
  qv::TmemoryBitmap dst(kFrameW, kFrameH, f.frame.data());
  for (auto _ : state) {
    dst.Blend(0, 0, src);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlendColor);

// pixman: a solid colour OVER the frame through an 8-bit mask.
void BM_PixmanSolidMask(benchmark::State& state) {
  Frames f;
  auto cov = Coverage();
  const int maskStride = (kFrameW + 3) & ~3;
  std::vector<std::uint8_t> mask(std::size_t(maskStride) * kFrameH);
  for (int y = 0; y < kFrameH; ++y) std::memcpy(&mask[std::size_t(y) * maskStride], &cov[std::size_t(y) * kFrameW], kFrameW);
  pixman_color_t color{0x3030, 0x8080, 0xF0F0, 0xFFFF};
  pixman_image_t* solid = pixman_image_create_solid_fill(&color);
  pixman_image_t* m = pixman_image_create_bits(PIXMAN_a8, kFrameW, kFrameH, reinterpret_cast<uint32_t*>(mask.data()), maskStride);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameW, kFrameH, f.frame.data(), kFrameW * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, solid, m, dst, 0, 0, 0, 0, 0, 0, kFrameW, kFrameH);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(solid);
  pixman_image_unref(m);
  pixman_image_unref(dst);
}
BENCHMARK(BM_PixmanSolidMask);

QV_RATIO(blend_over_vs_qpainter, "BM_BlendOver", "BM_QPainterDrawImage");
QV_RATIO(blend_over_vs_pixman, "BM_BlendOver", "BM_PixmanOver");
QV_RATIO(blend_over_vs_memcpy, "BM_BlendOver", "BM_Memcpy");
QV_RATIO(blend_scaled_vs_qpainter, "BM_BlendOverScaled", "BM_QPainterDrawImageHalf");
QV_RATIO(blend_color_vs_pixman, "BM_BlendColor", "BM_PixmanSolidMask");

}  // namespace

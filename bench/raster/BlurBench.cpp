// Gaussian blur with the sigma-2 kernel (11 taps) of a 768 x 576 frame, against OpenCV's
// GaussianBlur 11 x 11 on the same 8-bit four-channel data, both on one thread.
#include <benchmark/benchmark.h>

#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "BenchImages.h"
#include "Ratio.h"
#include "raster/Bitmap.h"
#include "raster/GaussianBlur.h"

namespace {

using namespace qvbench;

void BM_GaussianBlur(benchmark::State& state) {
  auto px = PremultipliedLayer();
  qv::TmemoryBitmap bmp(kFrameW, kFrameH, px.data());
  qv::TKernel k;
  qv::BuildGaussianKernel(k, 2.0, 255, 1);
  if (k.Size != 5) state.SkipWithError("unexpected kernel size");
  for (auto _ : state) {
    bmp.GaussianBlur(k);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GaussianBlur);

void BM_OpenCvGaussianBlur(benchmark::State& state) {
  cv::setNumThreads(1);
  auto px = PremultipliedLayer();
  cv::Mat src(kFrameH, kFrameW, CV_8UC4, px.data());
  cv::Mat dst(kFrameH, kFrameW, CV_8UC4);
  for (auto _ : state) {
    cv::GaussianBlur(src, dst, cv::Size(11, 11), 2.0, 2.0, cv::BORDER_CONSTANT);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_OpenCvGaussianBlur);

QV_RATIO(blur_vs_opencv, "BM_GaussianBlur", "BM_OpenCvGaussianBlur");

}  // namespace

// Image files and resampling: loading a 768 x 576 RGBA PNG and a 32-bit TGA, writing the frame
// as a PNG (qvrender's frames), and resizing 768 x 576 to 1536 x 1152 bicubically; each against
// OpenImageIO (or OpenCV) doing the same.
#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "BenchImages.h"
#include "Ratio.h"
#include "raster/StreamBitmaps.h"

namespace {

using namespace qvbench;

// Resizeto of a fresh copy of the frame (the still-image layer copies its picture, then resamples
// the copy); the copy is part of the measured time.
void BM_Resizeto(benchmark::State& state) {
  auto px = PremultipliedLayer();
  const qv::TmemoryBitmap src(kFrameW, kFrameH, px.data());
  for (auto _ : state) {
    qv::TStreamedBitmap b(src);
    b.Resizeto(kFrameW * 2, kFrameH * 2, true);
    benchmark::DoNotOptimize(b.Bits);
  }
}
BENCHMARK(BM_Resizeto)->Unit(benchmark::kMillisecond);

void BM_OpenCvResizeCubic(benchmark::State& state) {
  cv::setNumThreads(1);
  auto px = PremultipliedLayer();
  const cv::Mat src(kFrameH, kFrameW, CV_8UC4, px.data());
  cv::Mat dst(kFrameH * 2, kFrameW * 2, CV_8UC4);
  for (auto _ : state) {
    cv::resize(src, dst, dst.size(), 0, 0, cv::INTER_CUBIC);
    benchmark::DoNotOptimize(dst.data);
  }
}
BENCHMARK(BM_OpenCvResizeCubic)->Unit(benchmark::kMillisecond);

// 0xAARRGGBB pixels as the bytes R, G, B, A that OpenImageIO writes from.
std::vector<std::uint8_t> RgbaBytes(const std::vector<std::uint32_t>& px) {
  std::vector<std::uint8_t> rgba(px.size() * 4);
  for (std::size_t i = 0; i < px.size(); ++i) {
    rgba[4 * i + 0] = std::uint8_t(px[i] >> 16);
    rgba[4 * i + 1] = std::uint8_t(px[i] >> 8);
    rgba[4 * i + 2] = std::uint8_t(px[i]);
    rgba[4 * i + 3] = std::uint8_t(px[i] >> 24);
  }
  return rgba;
}

// A 768 x 576 RGBA PNG with photographic-like content, written once per process.
const std::string& PngPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("qvbench-" + std::to_string(::getpid()) + ".png")).string();
    auto px = PremultipliedLayer();
    const std::vector<std::uint8_t> rgba = RgbaBytes(px);
    auto out = OIIO::ImageOutput::create(p);
    OIIO::ImageSpec layout(kFrameW, kFrameH, 4, OIIO::TypeDesc::UINT8);
    layout.attribute("oiio:UnassociatedAlpha", 1);
    if (!out || !out->open(p, layout) || !out->write_image(OIIO::TypeDesc::UINT8, rgba.data()) || !out->close())
      return std::string();
    std::atexit([] { std::filesystem::remove(PngPath()); });
    return p;
  }();
  return path;
}

// Our decoder and OpenImageIO's reading the same file (what "missing" names when it could not be
// written).
void LoadWithOurs(benchmark::State& state, const std::string& path, const char* missing) {
  if (path.empty()) state.SkipWithError(missing);
  qv::TStreamedBitmap b;
  for (auto _ : state) {
    b.LoadFromFile(path, false, true);
    benchmark::DoNotOptimize(b.Bits);
  }
}

void ReadWithOiio(benchmark::State& state, const std::string& path, const char* missing) {
  OIIO::attribute("threads", 1);
  if (path.empty()) state.SkipWithError(missing);
  std::vector<std::uint8_t> buf(std::size_t(kFrameW) * kFrameH * 4);
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  for (auto _ : state) {
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in || !in->read_image(0, 0, 0, 4, OIIO::TypeDesc::UINT8, buf.data())) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(buf.data());
  }
}

void BM_LoadPng(benchmark::State& state) { LoadWithOurs(state, PngPath(), "cannot write the PNG"); }
BENCHMARK(BM_LoadPng)->Unit(benchmark::kMillisecond);

void BM_OiioReadPng(benchmark::State& state) { ReadWithOiio(state, PngPath(), "cannot write the PNG"); }
BENCHMARK(BM_OiioReadPng)->Unit(benchmark::kMillisecond);

// The frame as our 32-bit TGA writer stores it, written once per process.
const std::string& TgaPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("qvbench-" + std::to_string(::getpid()) + ".tga")).string();
    auto px = PremultipliedLayer();
    const qv::TmemoryBitmap frame(kFrameW, kFrameH, px.data());
    try {
      frame.SaveTga(p);
    } catch (const std::exception&) {
      return std::string();
    }
    std::atexit([] { std::filesystem::remove(TgaPath()); });
    return p;
  }();
  return path;
}

void BM_LoadTga(benchmark::State& state) { LoadWithOurs(state, TgaPath(), "cannot write the TGA"); }
BENCHMARK(BM_LoadTga)->Unit(benchmark::kMillisecond);

void BM_OiioReadTga(benchmark::State& state) { ReadWithOiio(state, TgaPath(), "cannot write the TGA"); }
BENCHMARK(BM_OiioReadTga)->Unit(benchmark::kMillisecond);

// A frame to PNG bytes in memory, as qvrender writes its frames.
void BM_EncodePng(benchmark::State& state) {
  auto px = PremultipliedLayer();
  const qv::TStreamedBitmap frame(qv::TmemoryBitmap(kFrameW, kFrameH, px.data()));
  for (auto _ : state) {
    auto bytes = frame.EncodeToMemory("png");
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond);

void BM_OiioWritePng(benchmark::State& state) {
  OIIO::attribute("threads", 1);
  auto px = PremultipliedLayer();
  const std::vector<std::uint8_t> rgba = RgbaBytes(px);
  OIIO::ImageSpec layout(kFrameW, kFrameH, 4, OIIO::TypeDesc::UINT8);
  layout.attribute("oiio:UnassociatedAlpha", 1);
  for (auto _ : state) {
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput proxy(bytes);
    auto out = OIIO::ImageOutput::create("frame.png");
    out->set_ioproxy(&proxy);
    if (!out->open("frame.png", layout) || !out->write_image(OIIO::TypeDesc::UINT8, rgba.data()) || !out->close())
      state.SkipWithError("write failed");
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_OiioWritePng)->Unit(benchmark::kMillisecond);

QV_RATIO(resize_vs_opencv, "BM_Resizeto", "BM_OpenCvResizeCubic");
QV_RATIO(load_tga_vs_oiio, "BM_LoadTga", "BM_OiioReadTga");
QV_RATIO(encode_png_vs_oiio, "BM_EncodePng", "BM_OiioWritePng");
QV_RATIO(load_png_vs_oiio, "BM_LoadPng", "BM_OiioReadPng");

}  // namespace

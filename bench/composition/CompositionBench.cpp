// The composition's cost per frame against the blends a page needs, and the parallel loading of
// an image sequence against loading it one file after the other.
#include <OpenImageIO/imageio.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "Ratio.h"
#include "composition/FrameLoader.h"
#include "composition/ImageLayers.h"

namespace {

namespace fs = std::filesystem;

// An RGBA picture with soft gradients, some noise and an alpha ramp (photographic-like for the
// PNG coder, partly transparent for the blends).
void WritePicture(const fs::path& file, int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> rgba(std::size_t(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &rgba[(std::size_t(y) * w + x) * 4];
      const unsigned n = rng() & 15;
      p[0] = std::uint8_t((x * 255 / w + seed * 7 + n) & 255);
      p[1] = std::uint8_t((y * 255 / h + n) & 255);
      p[2] = std::uint8_t(((x + y) * 128 / (w + h) + seed * 31) & 255);
      p[3] = std::uint8_t(x < w / 8 ? x * 255 / (w / 8) : 255);
    }
  }
  auto out = OIIO::ImageOutput::create(file.string());
  OIIO::ImageSpec spec(w, h, 4, OIIO::TypeDesc::UINT8);
  spec.attribute("oiio:UnassociatedAlpha", 1);
  out->open(file.string(), spec);
  out->write_image(OIIO::TypeDesc::UINT8, rgba.data());
  out->close();
}

fs::path BenchFolder() {
  static const fs::path dir = [] {
    const fs::path d = fs::temp_directory_path() / ("qvbench-comp-" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

fs::path MakeSequence(const std::string& name, int frames, int w, int h) {
  const fs::path folder = BenchFolder() / name;
  if (!fs::exists(folder)) {
    fs::create_directories(folder);
    for (int i = 0; i < frames; ++i) WritePicture(folder / (name + "_" + std::to_string(i) + ".png"), w, h, unsigned(i));
  }
  return folder;
}

// ---- drawall_vs_blends -------------------------------------------------------------------------

// A page of eight layers: a full-frame background, stills at 400 x 300 (one scaled from another
// size), a strap at reduced opacity, an animated still and three sequences (one looping).
struct Page {
  qv::TManualTickSource ticks;
  std::unique_ptr<qv::TQVSystem> sys = qv::Make<qv::TQVSystem>(768, 576, qv::TCompositionContext{.Ticks = &ticks}, true);

  Page() {
    const fs::path d = BenchFolder();
    WritePicture(d / "bg.png", 768, 576, 1);
    WritePicture(d / "still400.png", 400, 300, 2);
    WritePicture(d / "small.png", 200, 150, 3);
    WritePicture(d / "strap.png", 640, 72, 4);
    WritePicture(d / "logo.png", 200, 100, 5);
    auto still = [&](const char* file, int x, int y, int w, int h, int opacity) -> qv::TImageLayer& {
      qv::TImageLayer& l = sys->NewLayer<qv::TImageLayer>();
      l.SetFileName((d / file).string());
      l.SetX(x), l.SetY(y), l.SetWidth(w), l.SetHeight(h), l.SetOpacity(opacity);
      return l;
    };
    auto sequence = [&](const fs::path& folder, int x, int y, bool loop) {
      qv::TMultiImageLayer& l = sys->NewLayer<qv::TMultiImageLayer>();
      l.SetDirectory(folder.string());
      l.SetX(x), l.SetY(y), l.SetLoop(loop);
      if (loop) l.SetINFrames(5);
    };
    still("bg.png", 0, 0, 768, 576, 255);
    still("still400.png", 20, 40, 400, 300, 255);
    still("small.png", 340, 200, 400, 300, 255);  // drawn from its resampled copy
    still("strap.png", 64, 460, 640, 72, 200);
    qv::TImageLayer& logo = still("logo.png", 0, 20, 200, 100, 255);
    qv::Tkeys* track = logo.XProperty().Animation(true, 0);
    track->AddKey(0.0, 0.0);
    track->AddKey(24.0, 560.0);
    sequence(MakeSequence("seqA", 25, 256, 144), 480, 30, false);
    sequence(MakeSequence("seqB", 25, 128, 128), 40, 380, true);
    sequence(MakeSequence("seqC", 25, 96, 96), 650, 360, false);
  }
};

Page& ThePage() {
  static Page page;
  return page;
}

void BM_DrawAll(benchmark::State& state) {
  Page& page = ThePage();
  int f = 0;
  for (auto _ : state) {
    page.sys->frame = f;
    page.sys->DrawAll(nullptr);
    benchmark::DoNotOptimize(page.sys->work->Bits);
    f = (f + 1) % 25;
  }
}
BENCHMARK(BM_DrawAll)->Unit(benchmark::kMicrosecond);

// The same blends, from the same bitmaps onto the same target, without the composition.
void BM_PageBlends(benchmark::State& state) {
  Page& page = ThePage();
  struct BlendCall {
    const qv::TmemoryBitmap* src;
    int x, y, w, h, factor;
  };
  std::vector<std::vector<BlendCall>> frames(25);
  for (int f = 0; f < 25; ++f) {
    page.sys->frame = f;
    page.sys->DrawAll(nullptr);  // evaluates the tracks and builds the resampled copies
    for (const auto& layer : page.sys->Layers) {
      if (auto* still = dynamic_cast<qv::TImageLayer*>(layer.get())) {
        const bool native = still->Width() == still->Bitmap->Width() && still->Height() == still->Bitmap->Height();
        const qv::TmemoryBitmap* src = native ? still->Bitmap.get() : still->SBitmap.get();
        frames[std::size_t(f)].push_back({src, still->X(), still->Y(), still->Width(), still->Height(), still->Opacity()});
      } else if (auto* seq = dynamic_cast<qv::TMultiImageLayer*>(layer.get())) {
        const qv::TmemoryBitmap* src = seq->Bitmaps[std::size_t(seq->FrameIndex(f))].get();
        frames[std::size_t(f)].push_back({src, seq->X(), seq->Y(), src->Width(), src->Height(), seq->Opacity()});
      }
    }
  }
  qv::TmemoryBitmap& dst = *page.sys->work;
  int f = 0;
  for (auto _ : state) {
    for (const BlendCall& c : frames[std::size_t(f)]) {
      dst.SetFactor(c.factor);
      dst.Blend(c.x, c.y, *c.src, 0, 0, c.w, c.h);
    }
    benchmark::DoNotOptimize(dst.Bits);
    f = (f + 1) % 25;
  }
}
BENCHMARK(BM_PageBlends)->Unit(benchmark::kMicrosecond);

QV_RATIO(drawall_vs_blends, "BM_DrawAll", "BM_PageBlends");

// ---- load_sequence_parallel_vs_serial ----------------------------------------------------------

const std::vector<std::string>& SequenceFiles() {
  static const std::vector<std::string> files = qv::ListSequenceFiles(MakeSequence("seq100", 100, 384, 288).string());
  return files;
}

void BM_LoadSequenceParallel(benchmark::State& state) {
  const auto& files = SequenceFiles();
  for (auto _ : state) {
    auto frames = qv::LoadFrames(files, 0);
    benchmark::DoNotOptimize(frames.data());
  }
}
BENCHMARK(BM_LoadSequenceParallel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadSequenceSerial(benchmark::State& state) {
  const auto& files = SequenceFiles();
  for (auto _ : state) {
    auto frames = qv::LoadFrames(files, 1);
    benchmark::DoNotOptimize(frames.data());
  }
}
BENCHMARK(BM_LoadSequenceSerial)->Unit(benchmark::kMillisecond)->UseRealTime();

QV_RATIO(load_sequence_parallel_vs_serial, "BM_LoadSequenceParallel/real_time", "BM_LoadSequenceSerial/real_time");

}  // namespace

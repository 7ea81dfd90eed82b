// sequence_window_vs_preloaded: playing a 500-frame 1280 × 720 sequence at 25 frames per second
// through the window of frames decoded ahead (the frames would take 1.8 GB) against the same
// playback with every frame decoded beforehand. Each side reports the resident memory it added at
// its peak. Playback is paced by a steady clock; a frame that comes late makes the run longer.
#include "Ratio.h"

#include "composition/ImageLayers.h"
#include "composition/QvSystem.h"

#include <OpenImageIO/imageio.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
constexpr int kFrames = 500;
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

fs::path SequenceFolder() {
  static const fs::path folder = [] {
    const fs::path d = fs::temp_directory_path() / ("qvbench-window-" + std::to_string(::getpid()));
    fs::create_directories(d);
    std::vector<std::uint8_t> rgba(std::size_t(kWidth) * kHeight * 4);
    for (int i = 0; i < kFrames; ++i) {
      // A moving gradient with a soft alpha edge: each frame differs, as a real animation's do.
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          std::uint8_t* p = &rgba[(std::size_t(y) * kWidth + x) * 4];
          p[0] = std::uint8_t(x + i * 3);
          p[1] = std::uint8_t(y + i);
          p[2] = std::uint8_t((x ^ y) + i * 7);
          p[3] = std::uint8_t(x < 64 ? x * 4 : 255);
        }
      }
      const fs::path file = d / ("frame_" + std::to_string(i) + ".png");
      auto out = OIIO::ImageOutput::create(file.string());
      OIIO::ImageSpec spec(kWidth, kHeight, 4, OIIO::TypeDesc::UINT8);
      spec.attribute("oiio:UnassociatedAlpha", 1);
      spec.attribute("png:compressionLevel", 1);
      out->open(file.string(), spec);
      out->write_image(OIIO::TypeDesc::UINT8, rgba.data());
      out->close();
    }
    return d;
  }();
  return folder;
}

double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void Play(benchmark::State& state, std::uint64_t Budget) {
  const fs::path folder = SequenceFolder();
  for (auto _ : state) {
    const double before = ResidentMiB();
    double peak = before;
    qv::TManualTickSource ticks;
    auto sys = qv::Make<qv::TQVSystem>(kWidth, kHeight, qv::TCompositionContext{.Ticks = &ticks}, true);
    sys->SequenceMemoryBudget = Budget;
    qv::TMultiImageLayer& seq = sys->NewLayer<qv::TMultiImageLayer>();
    seq.SetDirectory(folder.string());  // the whole sequence decodes here when it fits
    seq.SetDuration(kFrames);
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * f);
      ticks.Advance(40);
      sys->frame = f;
      sys->DrawAll(nullptr);
      peak = std::max(peak, ResidentMiB());
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * kFrames);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.counters["peak_MiB"] = peak - before;
    state.counters["window"] = seq.Window ? double(seq.Window->Capacity()) : 0.0;
  }
}

// Only playback is timed, from the first frame on: loading beforehand is not playback.
void BM_SequenceWindow(benchmark::State& state) { Play(state, std::uint64_t(1) << 30); }
void BM_SequencePreloaded(benchmark::State& state) { Play(state, ~std::uint64_t(0)); }
BENCHMARK(BM_SequenceWindow)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();
BENCHMARK(BM_SequencePreloaded)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

}  // namespace

QV_RATIO(sequence_window_vs_preloaded, "BM_SequenceWindow/iterations:1/manual_time",
         "BM_SequencePreloaded/iterations:1/manual_time");

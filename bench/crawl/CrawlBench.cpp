// The crawl: one frame of a 768-wide crawl showing three strips against the bare blends that
// frame needs, and the worker's time for one plain-text line against rendering that line directly.
#include "BenchTextRenderer.h"
#include "Ratio.h"
#include "composition/RollLayer.h"
#include "composition/TextRender.h"
#include "platform/Clock.h"
#include "platform/QtRichEdit.h"
#include "platform/QtTextRenderer.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

using namespace qv;

std::string WriteFile(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

const char* const kLine = "Markets close higher as tech shares rally";

// A crawl of three short items standing still with all three inside the layer.
struct CrawlScene {
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys;
  TRollLayer* roll = nullptr;
  TmemoryBitmap dest{768, 576};
  CrawlScene() {
    sys = Make<TQVSystem>(768, 576, TCompositionContext{.TextRenderer = &qvbench::BenchTextRenderer(), .Ticks = &ticks},
                          false);
    roll = &sys->NewLayer<TRollLayer>();
    roll->SetTextDirection(tdLefttoRight);
    roll->Shadow().SetEnabled(true);
    roll->SetY(500);
    roll->SetTextFile(WriteFile("qvbench-crawl.txt", "Sport\r\nWeather today\r\nMarkets\r\n"));
    roll->PrepareStrips();
    roll->SetSpeed(0);
    roll->Pos = 40;
  }
  ~CrawlScene() { sys.reset(); }
};

void BM_CrawlFrame(benchmark::State& state) {
  CrawlScene s;
  int shown = 0;
  for (const auto& strip : s.roll->working) shown += strip->Width + 40;
  if (s.roll->working.size() != 3 || shown > 768) state.SkipWithError("the three strips do not fit");
  for (auto _ : state) {
    s.roll->Advance(0);
    s.roll->DrawLayer(s.dest, 0);
    benchmark::DoNotOptimize(s.dest.Bits);
  }
}
BENCHMARK(BM_CrawlFrame)->Unit(benchmark::kMicrosecond);

// What that frame needs at least: clear the work image, blend each strip on each field's rows,
// blend the work image onto the page.
void BM_CrawlBareBlends(benchmark::State& state) {
  CrawlScene s;
  TmemoryBitmap work(s.roll->Width(), s.roll->Height());
  for (auto _ : state) {
    std::memset(work.Bits, 0, work.ByteSize());
    for (int f = 0; f < 2; ++f) {
      work.Field = f;
      int x = 40;
      for (const auto& strip : s.roll->working) {
        for (const auto& piece : strip->Pieces) work.Blend(x, 0, *piece, 0, 0, piece->Width(), piece->Height());
        x += strip->Width + 40;
      }
    }
    work.Field = -1;
    s.dest.Blend(0, 500, work, 0, 0, work.Width(), work.Height());
    benchmark::DoNotOptimize(s.dest.Bits);
  }
}
BENCHMARK(BM_CrawlBareBlends)->Unit(benchmark::kMicrosecond);

QV_RATIO(crawl_frame_vs_blends, "BM_CrawlFrame", "BM_CrawlBareBlends");

// The worker rendering a file of one line at 32 points with shadow and contour, from the request
// to the strips taken in.
void BM_CrawlPrepareLine(benchmark::State& state) {
  TManualTickSource ticks;
  auto sys = Make<TQVSystem>(768, 576, TCompositionContext{.TextRenderer = &qvbench::BenchTextRenderer(), .Ticks = &ticks},
                             false);
  TRollLayer& roll = sys->NewLayer<TRollLayer>();
  roll.SetTextDirection(tdLefttoRight);
  roll.Shadow().SetEnabled(true);
  roll.Contour().SetEnabled(true);
  const std::string file = WriteFile("qvbench-line.txt", std::string(kLine) + "\r\n");
  for (auto _ : state) {
    roll.SetTextFile(file);  // asks for the file to be rendered again
    roll.PrepareStrips();
    benchmark::DoNotOptimize(roll.working.data());
  }
  if (roll.working.size() != 1) state.SkipWithError("no strip");
}
BENCHMARK(BM_CrawlPrepareLine)->Unit(benchmark::kMicrosecond);

void BM_RenderTextImageLine(benchmark::State& state) {
  qvbench::BenchTextRenderer();
  auto shadow = Make<TShadow>();
  auto contour = Make<TContour>();
  for (auto _ : state) {
    int dx = 0, dy = 0;
    auto img = RenderTextImage(qvbench::BenchTextRenderer(), kLine, shadow.get(), contour.get(), 4, "Tahoma", 32, "LEFT",
                               0xFFFFFF, dx, dy, false, 0);
    benchmark::DoNotOptimize(img->Bits);
  }
}
BENCHMARK(BM_RenderTextImageLine)->Unit(benchmark::kMicrosecond);

QV_RATIO(crawl_prepare_per_line, "BM_CrawlPrepareLine", "BM_RenderTextImageLine");

}  // namespace

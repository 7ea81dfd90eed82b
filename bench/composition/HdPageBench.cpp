// hd_frame_vs_budget: one played frame (Advance and Render) of the example page made 1920 × 1080
// (every layer's place and pictures scaled with the page, the crawls across its whole width)
// against the 40 ms a frame may take at 25 frames per second.
#include "Ratio.h"

#include "BenchTextRenderer.h"
#include "composition/ImageLayers.h"
#include "composition/QvSystem.h"
#include "composition/RollLayer.h"
#include "platform/QtRichEdit.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

struct HdPage {
  qv::TManualTickSource ticks;
  qv::TQtRichEdit richEdit;
  std::unique_ptr<qv::TQVSystem> sys;
  std::vector<qv::TRollLayer*> crawls;

  HdPage() {
    qv::TCompositionContext context;
    context.TextRenderer = &qvbench::BenchTextRenderer();
    context.RichEdit = &richEdit;
    context.Ticks = &ticks;
    sys = qv::Make<qv::TQVSystem>(768, 576, context, true);
    sys->LoadFromFile(QV_EXAMPLES_DIR "/news/news.QV");
    sys->SetPageSize(1920, 1080);
    const double sx = 1920.0 / 768.0;
    const double sy = 1080.0 / 576.0;
    for (const auto& layer : sys->Layers) {
      layer->SetX(static_cast<std::int32_t>(std::lround(layer->X() * sx)));
      layer->SetY(static_cast<std::int32_t>(std::lround(layer->Y() * sy)));
      if (dynamic_cast<qv::TImageLayer*>(layer.get()) != nullptr || dynamic_cast<qv::TRollLayer*>(layer.get()) != nullptr) {
        layer->SetWidth(static_cast<std::int32_t>(std::lround(layer->Width() * sx)));
      }
      if (dynamic_cast<qv::TImageLayer*>(layer.get()) != nullptr) {
        layer->SetHeight(static_cast<std::int32_t>(std::lround(layer->Height() * sy)));
      }
      if (auto* roll = dynamic_cast<qv::TRollLayer*>(layer.get())) crawls.push_back(roll);
    }
    qv::PrepareStrips(crawls);
  }
};

void BM_HdFrame(benchmark::State& state) {
  static HdPage page;
  qv::TQVSystem& sys = *page.sys;
  int f = 0;
  for (auto _ : state) {
    page.ticks.Advance(40);
    sys.frame = f;
    sys.Advance();
    for (qv::TRollLayer* roll : page.crawls) roll->WaitForWorker();
    sys.work->Fill(0);
    sys.Render(f, *sys.work);
    benchmark::DoNotOptimize(sys.work->Bits);
    f = (f + 1) % 250;
  }
}
BENCHMARK(BM_HdFrame)->Unit(benchmark::kMillisecond);

// The budget itself: every iteration counts as exactly 40 ms.
void BM_FrameBudget(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(0.040);
}
BENCHMARK(BM_FrameBudget)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

QV_RATIO(hd_frame_vs_budget, "BM_HdFrame", "BM_FrameBudget/iterations:10/manual_time");

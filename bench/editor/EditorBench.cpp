// editor_hd_frame_vs_budget: the editor's whole frame — checkerboard, the composition's frame, the
// editing overlay and the work area's scaled presentation — of the example page made 1920 × 1080
// and shown scaled to its panel in the real window (offscreen platform), against the 40 ms a frame
// may take at 25 frames per second. The parts of a standard page's frame are measured beside it.
#include "Ratio.h"

#include "editor_widgets/MainWindow.h"
#include "editor_logic/KeyCommands.h"
#include "editor_logic/RenderLoop.h"
#include "editor_widgets/WorkAreaWidget.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

// Widgets need a QApplication, and there can be only one: made before any benchmark asks Qt for
// fonts, so the text benchmarks share it.
QApplication& Application() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "qvbench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}
[[maybe_unused]] QApplication& kMadeFirst = Application();

// Every layer of the example page in, the crawls running. The editor holds the frame the ruler
// chose; it is set before each frame as the loop would find it.
constexpr std::int32_t kFrame = 200;

struct EditorPage {
  std::unique_ptr<qv::TForm5> window;
  EditorPage() {
    qv::TEditorOptions options;
    options.GridFolders = {std::filesystem::temp_directory_path() / "qvbench-editor"};
    window = std::make_unique<qv::TForm5>(std::move(options));
    window->show();
    window->OpenProjectFile(QString::fromUtf8(QV_EXAMPLES_DIR "/news/news.QV"));
    for (int i = 0; i < 10; ++i) {
      window->Composition().frame = kFrame;
      qv::RenderEditorFrame(window->Composition(), window->Checkerboard().Image, window->Checkerboard().Opaque);
      window->WorkArea().repaint();
    }
  }
};

EditorPage& ThePage() {
  static EditorPage page;
  return page;
}

void BM_EditorFrame(benchmark::State& state) {
  EditorPage& page = ThePage();
  qv::TQVSystem& sys = page.window->Composition();
  const qv::TCheckerboard& grid = page.window->Checkerboard();
  for (auto _ : state) {
    sys.frame = kFrame;
    qv::RenderEditorFrame(sys, grid.Image, grid.Opaque);
    page.window->WorkArea().repaint();
    benchmark::DoNotOptimize(sys.work->Bits);
  }
}
BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);

void BM_EditorDrawAll(benchmark::State& state) {
  EditorPage& page = ThePage();
  qv::TQVSystem& sys = page.window->Composition();
  for (auto _ : state) {
    sys.frame = kFrame;
    sys.DrawAll(nullptr);
    benchmark::DoNotOptimize(sys.work->Bits);
  }
}
BENCHMARK(BM_EditorDrawAll)->Unit(benchmark::kMicrosecond);

// The parts of a frame beyond the composition's, to see where the difference goes.
void BM_EditorOverlay(benchmark::State& state) {
  qv::TQVSystem& sys = ThePage().window->Composition();
  for (auto _ : state) {
    sys.DrawEditor();
    benchmark::DoNotOptimize(sys.work->Bits);
  }
}
BENCHMARK(BM_EditorOverlay)->Unit(benchmark::kMicrosecond);

void BM_EditorBackground(benchmark::State& state) {
  EditorPage& page = ThePage();
  qv::TmemoryBitmap& work = *page.window->Composition().work;
  const qv::TmemoryBitmap& grid = page.window->Checkerboard().Image;
  for (auto _ : state) {
    grid.CopyRectTo(work, 0, 0, work.Width(), work.Height(), 0, 0);
    benchmark::DoNotOptimize(work.Bits);
  }
}
BENCHMARK(BM_EditorBackground)->Unit(benchmark::kMicrosecond);

void BM_EditorPresent(benchmark::State& state) {
  qv::TWorkArea& area = ThePage().window->WorkArea();
  for (auto _ : state) area.repaint();
}
BENCHMARK(BM_EditorPresent)->Unit(benchmark::kMicrosecond);

// The example page made 1920 × 1080 (places and pictures scaled with it), the window 1120 × 900:
// the page is shown scaled to fit its panel, as an HD page is in the editor.
struct EditorHdPage {
  std::unique_ptr<qv::TForm5> window;
  EditorHdPage() {
    qv::TEditorOptions options;
    options.GridFolders = {std::filesystem::temp_directory_path() / "qvbench-editor"};
    window = std::make_unique<qv::TForm5>(std::move(options));
    window->resize(1120, 900);
    window->show();
    window->OpenProjectFile(QString::fromUtf8(QV_EXAMPLES_DIR "/news/news.QV"));
    qv::TQVSystem& sys = window->Composition();
    sys.SetPageSize(1920, 1080);
    const double sx = 1920.0 / 768.0;
    const double sy = 1080.0 / 576.0;
    for (const auto& layer : sys.Layers) {
      layer->SetX(static_cast<std::int32_t>(std::lround(layer->X() * sx)));
      layer->SetY(static_cast<std::int32_t>(std::lround(layer->Y() * sy)));
      if (dynamic_cast<qv::TImageLayer*>(layer.get()) != nullptr || dynamic_cast<qv::TRollLayer*>(layer.get()) != nullptr) {
        layer->SetWidth(static_cast<std::int32_t>(std::lround(layer->Width() * sx)));
      }
      if (dynamic_cast<qv::TImageLayer*>(layer.get()) != nullptr) {
        layer->SetHeight(static_cast<std::int32_t>(std::lround(layer->Height() * sy)));
      }
    }
    sys.SetSelectedLayer(sys.Layers.front().get());  // the overlay has handles to draw
    QApplication::processEvents();
  }
};

// One played frame as the editor shows it: the frame moves on, the page is drawn over the
// checkerboard with its overlay, and the work area presents it scaled.
void BM_EditorHdFrame(benchmark::State& state) {
  static EditorHdPage page;
  qv::TQVSystem& sys = page.window->Composition();
  const qv::TCheckerboard& grid = page.window->Checkerboard();
  int f = 0;
  for (auto _ : state) {
    qv::SetPageFrame(sys, f);
    qv::RenderEditorFrame(sys, grid.Image, grid.Opaque);
    page.window->WorkArea().repaint();
    benchmark::DoNotOptimize(sys.work->Bits);
    f = (f + 1) % 250;
  }
  state.counters["scale"] = page.window->WorkArea().Scale();
}
BENCHMARK(BM_EditorHdFrame)->Unit(benchmark::kMillisecond);

}  // namespace

// BM_FrameBudget (composition/HdPageBench.cpp) counts every iteration as exactly 40 ms.
QV_RATIO(editor_hd_frame_vs_budget, "BM_EditorHdFrame", "BM_FrameBudget/iterations:10/manual_time");

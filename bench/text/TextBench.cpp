// Text rendering against Qt drawing the same string at the drawing scale (the platform's bare
// cost), and a frame with a clock whose text stays the same against one blend of its image.
#include "BenchTextRenderer.h"
#include "Ratio.h"
#include "composition/ClockLayer.h"
#include "composition/TextRender.h"
#include "platform/Clock.h"
#include "platform/QtTextRenderer.h"

#include <benchmark/benchmark.h>

#include <QFont>
#include <QImage>
#include <QPainter>

#include <memory>

namespace {

using namespace qv;

const char* const kText = "Breaking News";

void BM_RenderTextImage(benchmark::State& state) {
  const qv::TTextRenderer& renderer = qvbench::BenchTextRenderer();
  auto shadow = Make<TShadow>();
  auto contour = Make<TContour>();
  for (auto _ : state) {
    int dx = 0, dy = 0;
    auto img = RenderTextImage(renderer, kText, shadow.get(), contour.get(), 4, "Tahoma", 32, "LEFT", 0xFFFFFF, dx, dy,
                               false, 0);
    benchmark::DoNotOptimize(img->Bits);
  }
}
BENCHMARK(BM_RenderTextImage)->Unit(benchmark::kMicrosecond);

// Qt alone: the string at four times 32 points drawn white into a fresh transparent image of the
// size the rasteriser draws into.
void BM_QtDrawText4x(benchmark::State& state) {
  const TTextExtent e = qvbench::BenchTextRenderer().Measure(kText, {"Tahoma", 128, false});
  const int w = e.Width + 4 - e.Width % 4;
  const int h = e.Height + 4 - e.Height % 4;
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(PointsToPixels(128));
  font.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  const QString text = QString::fromUtf8(kText);
  for (auto _ : state) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, w, h), Qt::AlignHCenter | Qt::AlignTop, text);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QtDrawText4x)->Unit(benchmark::kMicrosecond);

QV_RATIO(text_render_vs_qt_draw, "BM_RenderTextImage", "BM_QtDrawText4x");

// A composition with one default clock whose text stays the same from frame to frame.
struct ClockScene {
  TFixedTimeOfDay time{{12, 34, 56, 0}};
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(
      768, 576, TCompositionContext{.TextRenderer = &qvbench::BenchTextRenderer(), .Ticks = &ticks, .TimeOfDay = &time},
      true);
  TClockLayer* clock = nullptr;
  ClockScene() {
    clock = &sys->NewLayer<TClockLayer>();
    sys->DrawAll(nullptr);  // the first frame renders the time text
  }
};

void BM_ClockFrame(benchmark::State& state) {
  ClockScene scene;
  for (auto _ : state) {
    scene.sys->DrawAll(nullptr);
    benchmark::DoNotOptimize(scene.sys->work->Bits);
  }
  if (scene.clock->RenderCount() != 2) state.SkipWithError("the clock rendered its text again");
}
BENCHMARK(BM_ClockFrame)->Unit(benchmark::kMicrosecond);

void BM_ClockImageBlend(benchmark::State& state) {
  ClockScene scene;
  const TRect r = scene.clock->BoundsRect();
  TmemoryBitmap& work = *scene.sys->work;
  work.SetFactor(255);
  for (auto _ : state) {
    work.Blend(r.Left, r.Top, *scene.clock->Image, 0, 0, scene.clock->Image->Width(), scene.clock->Image->Height());
    benchmark::DoNotOptimize(work.Bits);
  }
}
BENCHMARK(BM_ClockImageBlend)->Unit(benchmark::kMicrosecond);

QV_RATIO(clock_frame_vs_blend, "BM_ClockFrame", "BM_ClockImageBlend");

}  // namespace

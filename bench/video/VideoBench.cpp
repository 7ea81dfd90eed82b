// Exporting a video against encoding alone: a full export of 250 frames of the example page
// (load, compose each frame, convert, encode, write) against encoding 250 frames of that page
// prepared beforehand, with the same codec (FFV1, the lossless codec with alpha). The ratio says
// what composing and the export's own work add to the codec's time.
#include "BenchTextRenderer.h"
#include "Ratio.h"
#include "platform/QtRichEdit.h"
#include "video/Export.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace {

using namespace qv;

constexpr int kFrames = 250;
constexpr auto kCodec = video::TVideoCodec::vcFfv1;

const std::string kProject = std::string(QV_EXAMPLES_DIR) + "/news/news.QV";

std::string OutFile() {
  return (std::filesystem::temp_directory_path() / ("qvbench-video-" + std::to_string(::getpid()) + ".mkv")).string();
}

TCompositionContext Context() {
  static TQtRichEdit* richEdit = new TQtRichEdit();  // lives as long as the process
  TCompositionContext c;
  c.TextRenderer = &qvbench::BenchTextRenderer();
  c.RichEdit = richEdit;
  return c;
}

void BM_ExportVideo(benchmark::State& state) {
  video::TExportSettings s;
  s.Output = OutFile();
  s.Kind = video::TExportKind::ekVideo;
  s.Codec = kCodec;
  s.From = 0;
  s.To = kFrames - 1;
  const TCompositionContext context = Context();
  for (auto _ : state) {
    if (!video::ExportProject(kProject, context, s)) state.SkipWithError("the export stopped");
  }
  std::filesystem::remove(s.Output);
}

// The page's 250 frames, composed once.
const std::vector<TmemoryBitmap>& PreparedFrames() {
  static const std::vector<TmemoryBitmap> frames = [] {
    TManualTickSource ticks;
    TCompositionContext c = Context();
    c.Ticks = &ticks;
    auto sys = Make<TQVSystem>(768, 576, c, true);
    sys->LoadFromFile(kProject);
    video::TFrameRenderer r(*sys, ticks);
    r.Prepare();
    std::vector<TmemoryBitmap> out;
    out.reserve(kFrames);
    for (int f = 0; f < kFrames; ++f) out.emplace_back(r.Compose(f));
    return out;
  }();
  return frames;
}

void BM_EncodeOnly(benchmark::State& state) {
  const std::vector<TmemoryBitmap>& frames = PreparedFrames();
  video::TVideoSettings s;
  s.FileName = OutFile();
  s.Codec = kCodec;
  s.Interlaced = true;  // the page has a crawl
  for (auto _ : state) {
    video::TVideoEncoder enc;
    enc.Open(s);
    for (const TmemoryBitmap& f : frames) enc.WriteFrame(f);
    enc.Finish();
  }
  std::filesystem::remove(s.FileName);
}

BENCHMARK(BM_ExportVideo)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EncodeOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
QV_RATIO(export_video_vs_encode_only, "BM_ExportVideo/iterations:3", "BM_EncodeOnly/iterations:3");

}  // namespace

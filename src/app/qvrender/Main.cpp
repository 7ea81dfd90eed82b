// qvrender: loads a project and composes its frames without a window, as the editor would.
#include "app/qvrender/Batch.h"
#include "app/qvrender/OnDemandQt.h"
#include "app/qvrender/Options.h"
#include "app/qvrender/Output.h"
#include "composition/QvSystem.h"
#include "composition/RollLayer.h"
#include "composition/TextRender.h"
#include "crawlinput/CrawlFile.h"
#include "platform/Clock.h"
#include "platform/QtCanvas.h"
#include "project/ProjectError.h"
#include "raster/Bitmap.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace qv::render {
namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr int kMsPerFrame = 40;

// The composition with the clocks of a repeatable render: ticks that move 40 ms per frame (so
// the reset of the frame after a long pause cannot fire) and, with --time, a time of day that
// starts there at frame 0 and moves on with the frames.
struct Session {
  TManualTickSource ticks;
  std::unique_ptr<TFixedTimeOfDay> fixedTime;
  TSystemTimeOfDay systemTime;
  TQtCanvasFactory canvases;
  TOnDemandTextRenderer textRenderer;  // text and clock layers draw their glyphs through it
  TOnDemandRichEdit richEdit;          // crawls of RTF files lay their lines out with it
  std::unique_ptr<TQVSystem> sys;
  std::vector<TRollLayer*> crawls;  // the page's crawl layers, found once it is loaded
  std::optional<int> shown;          // the last frame the page was advanced to
  int warnings = 0;

  explicit Session(const TOptions& o) {
    if (o.Time) fixedTime = std::make_unique<TFixedTimeOfDay>(*o.Time);
    TCompositionContext context;
    context.TextRenderer = &textRenderer;
    context.RichEdit = &richEdit;
    context.Ticks = &ticks;
    context.TimeOfDay = fixedTime ? static_cast<TTimeOfDaySource*>(fixedTime.get()) : &systemTime;
    context.Canvases = &canvases;
    sys = Make<TQVSystem>(kWidth, kHeight, context, true);
    sys->OnMediaProblem = [this](const std::string& message) {
      ++warnings;
      std::cerr << "qvrender: warning: " << message << "\n";
    };
    for (int i = 0; i < 4; ++i) {
      if (o.Meta[i]) sys->Meta(i) = *o.Meta[i];
      if (o.NextMeta[i]) sys->NextMeta(i) = *o.NextMeta[i];
    }
  }

  ~Session() { sys.reset(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads the project and renders every crawl's strips before the first frame, so that frames
  // do not depend on how fast the workers are.
  void Load(const std::string& project) {
    sys->LoadFromFile(project);
    for (const auto& layer : sys->Layers) {
      if (auto* roll = dynamic_cast<TRollLayer*>(layer.get())) crawls.push_back(roll);
    }
    for (TRollLayer* roll : crawls) roll->PrepareStrips();
  }


  // Moves the page on to `frame` as a playout from its start would have: each frame before it is
  // advanced, not drawn (a crawl scrolls, a clock's time moves on 40 ms a frame). The page starts
  // at frame 0, or at the first frame asked for when that is before 0.
  void AdvanceTo(int frame) {
    if (shown && frame <= *shown) return;
    int f = shown ? *shown + 1 : std::min(frame, 0);
    if (crawls.empty() && f < frame) {
      // Only crawls remember the frames they were shown in: the rest stands at `frame` as it
      // would after every frame before it.
      const std::int64_t skipped = std::int64_t(frame) - f;
      MoveClocks(skipped * kMsPerFrame);
      sys->lasttick = ticks.TickCount();
      f = frame;
    }
    for (;; ++f) {
      if (shown) MoveClocks(kMsPerFrame);
      sys->frame = f;
      sys->Advance();
      // A crawl that starts over renders its file again: the next frame waits for it, as a
      // playout that is not in a hurry would.
      for (TRollLayer* roll : crawls) roll->WaitForWorker();
      shown = f;
      if (f == frame) break;  // frame may be INT_MAX
    }
  }

  // A playout draws one frame every 40 ms: the tick count and the clock move on alike.
  void MoveClocks(std::int64_t ms) {
    ticks.Advance(static_cast<std::uint32_t>(ms));
    if (fixedTime) fixedTime->Advance(ms);
  }

  // Frame `frame` into the work image, over transparent black or the editor's checkerboard.
  void Compose(int frame, bool checkerboard, const TmemoryBitmap* grid) {
    TmemoryBitmap& work = *sys->work;
    if (checkerboard && grid != nullptr) {
      work.SetFactor(255);
      work.Blend(0, 0, *grid, 0, 0, work.Width(), work.Height());
    } else {
      work.Fill(0);
    }
    AdvanceTo(frame);
    sys->Render(frame, work);
  }
};

void WriteImage(const TmemoryBitmap& work, const std::string& file, TImageFormat format) {
  WriteFrame(work, file, format == TImageFormat::ifTga);
}

// The editor's checkerboard, made only when the frames show it.
TStreamedBitmap CheckerboardIfAsked(const TOptions& o) {
  return o.Checkerboard ? MakeCheckerboard(kWidth, kHeight) : TStreamedBitmap();
}

int RunRender(const TOptions& o, Session& s) {
  s.Load(o.Project);
  const TStreamedBitmap grid = CheckerboardIfAsked(o);
  s.Compose(o.Frame, o.Checkerboard, &grid);
  WriteImage(*s.sys->work, o.Output, o.Format);
  return 0;
}

int RunSequence(const TOptions& o, Session& s) {
  s.Load(o.Project);
  const TStreamedBitmap grid = CheckerboardIfAsked(o);
  for (int f = o.From; f <= o.To; ++f) {
    s.Compose(f, o.Checkerboard, &grid);
    if (!o.NoOutput) WriteImage(*s.sys->work, FormatFramePattern(o.Output, f), o.Format);
    if (f == o.To) break;  // o.To may be INT_MAX
  }
  return 0;
}

int RunResave(const TOptions& o, Session& s) {
  s.sys->LoadFromFile(o.Project);
  s.sys->SaveToFile(o.Output);
  return 0;
}

int RunInfo(const TOptions& o, Session& s) {
  s.Load(o.Project);
  s.Compose(o.Frame, false, nullptr);
  std::fputs(DescribeLayers(*s.sys).c_str(), stdout);
  return 0;
}

// The crawl items of a text or RTF file, one per line.
int RunItems(const TOptions& o) {
  for (const std::string& item : ReadCrawlItems(o.Project)) {
    std::fwrite(item.data(), 1, item.size(), stdout);
    std::fputc('\n', stdout);
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help" || args[0] == "help")) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (!args.empty() && args[0] == "batch") return RunBatch({args.begin() + 1, args.end()});
  std::string error;
  const auto options = ParseOptions(args, error);
  if (!options) {
    std::cerr << "qvrender: " << error << "\n" << UsageText();
    return 2;
  }
  try {
    if (options->Command == TCommand::cmItems) return RunItems(*options);
    Session s(*options);
    switch (options->Command) {
      case TCommand::cmRender: return RunRender(*options, s);
      case TCommand::cmSequence: return RunSequence(*options, s);
      case TCommand::cmResave: return RunResave(*options, s);
      case TCommand::cmInfo: return RunInfo(*options, s);
      case TCommand::cmItems: break;
    }
  } catch (const std::exception& e) {
    // Project and image errors name their file (and line).
    std::cerr << "qvrender: " << e.what() << "\n";
    return 1;
  }
  return 1;
}

}  // namespace
}  // namespace qv::render

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return qv::render::Run(args);
}

// Read only by LeakSanitizer (sanitizer builds): fontconfig, under Qt's font database, keeps its
// configuration until the process ends. The report of used suppressions stays off, so that
// the program's error output holds only its own messages.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

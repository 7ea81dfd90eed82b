// qvrender: loads a project and composes its frames without a window, as the editor would.
#include "app/qvrender/Batch.h"
#include "app/qvrender/OnDemandQt.h"
#include "app/qvrender/Options.h"
#include "app/qvrender/Output.h"
#include "app/qvrender/Play.h"
#include "app/qvrender/Playout.h"
#include "app/qvrender/Progress.h"
#include "app/qvrender/Serve.h"
#include "composition/QvSystem.h"
#include "composition/TextRender.h"
#include "crawlinput/CrawlFile.h"
#include "platform/Clock.h"
#include "project/ProjectError.h"
#include "project/ProjectFile.h"
#include "raster/Bitmap.h"
#include "raster/Checkerboard.h"
#include "video/Export.h"
#include "video/FrameRenderer.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace qv::render {
namespace {

// A page is 768 × 576 until its project says otherwise.
constexpr int kWidth = TQVSystem::kStandardWidth;
constexpr int kHeight = TQVSystem::kStandardHeight;

// Set by SIGINT and SIGTERM: a render in progress stops and removes what it had written.
std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) { gInterrupted.store(true); }

// The composition with the clocks of a repeatable render: ticks that move 40 ms per frame (so
// the reset of the frame after a long pause cannot fire) and, with --time, a time of day that
// starts there at frame 0 and moves on with the frames.
struct Session {
  TManualTickSource ticks;
  std::unique_ptr<TFixedTimeOfDay> fixedTime;
  TSystemTimeOfDay systemTime;
  TOnDemandCanvasFactory canvases;
  TOnDemandTextRenderer textRenderer;  // text and clock layers draw their glyphs through it
  TOnDemandRichEdit richEdit;          // crawls of RTF files lay their lines out with it
  std::unique_ptr<TQVSystem> sys;
  std::unique_ptr<video::TFrameRenderer> frames;
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
    frames = std::make_unique<video::TFrameRenderer>(*sys, ticks, fixedTime.get());
  }

  ~Session() {
    frames.reset();
    sys.reset();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads the project and renders every crawl's strips before the first frame.
  void Load(const std::string& project) {
    sys->LoadFromFile(project);
    frames->Prepare();
  }

  // Frame `frame` into the work image, over transparent black or the editor's checkerboard.
  void Compose(int frame, bool checkerboard, const TmemoryBitmap* grid) {
    frames->Compose(frame, checkerboard && grid != nullptr ? grid : nullptr);
  }
};

void WriteImage(const TmemoryBitmap& work, const std::string& file, TImageFormat format) {
  WriteFrame(work, file, format == TImageFormat::ifTga);
}

// The editor's checkerboard at the page's size, made only when the frames show it.
TStreamedBitmap CheckerboardIfAsked(const TOptions& o, const TQVSystem& Sys) {
  return o.Checkerboard ? MakeCheckerboard(Sys.fwidth, Sys.fheight) : TStreamedBitmap();
}

int RunRender(const TOptions& o, Session& s) {
  s.Load(o.Project);
  const TStreamedBitmap grid = CheckerboardIfAsked(o, *s.sys);
  s.Compose(o.Frame, o.Checkerboard, &grid);
  WriteImage(*s.sys->work, o.Output, o.Format);
  return 0;
}

int RunSequence(const TOptions& o, Session& s) {
  s.Load(o.Project);
  const TStreamedBitmap grid = CheckerboardIfAsked(o, *s.sys);
  const long long total = static_cast<long long>(o.To) - o.From + 1;
  TProgressLine progress(total > INT_MAX ? INT_MAX : static_cast<int>(total), !o.Quiet);
  TFrameWriter frames;
  for (int f = o.From; f <= o.To; ++f) {
    if (gInterrupted) {
      progress.Finish();
      frames.Flush();  // what was written stays, whole
      std::cerr << "qvrender: interrupted\n";
      return 1;
    }
    s.Compose(f, o.Checkerboard, &grid);
    if (!o.NoOutput) frames.Write(*s.sys->work, FormatFramePattern(o.Output, f), o.Format == TImageFormat::ifTga);
    progress.Update(f - o.From + 1);
    if (f == o.To) break;  // o.To may be INT_MAX
  }
  progress.Finish();
  frames.Flush();
  return 0;
}

int RunVideo(const TOptions& o, Session& s) {
  s.Load(o.Project);
  video::TExportSettings e;
  e.Output = o.Output;
  e.Kind = video::TExportKind::ekVideo;
  e.Codec = o.Codec;
  e.From = o.From;
  e.To = o.To;
  e.Background = o.Background;
  e.Threads = 2;
  const long long total = static_cast<long long>(o.To) - o.From + 1;
  TProgressLine progress(total > INT_MAX ? INT_MAX : static_cast<int>(total), !o.Quiet);
  const bool done = video::ExportRange(*s.frames, e, [&](int d, int) { progress.Update(d); }, &gInterrupted);
  if (!done) {
    progress.Finish();
    std::cerr << "qvrender: interrupted; " << o.Output << " was not written\n";
    return 1;
  }
  progress.Finish();
  return 0;
}

int RunPlay(const TOptions& o, Session& s) {
  s.Load(o.Project);
  return Play(o, *s.frames, gInterrupted);
}

// The project written again as it was read: media paths stay as the file stores them, wherever
// the copy goes (a move of the project with its media is the editor's Save As).
int RunResave(const TOptions& o, Session& s) {
  s.sys->LoadFromFile(o.Project);
  TProjectTextWriter writer;
  s.sys->WriteProject(writer);
  writer.SaveTo(o.Output);
  return 0;
}

int RunInfo(const TOptions& o, Session& s) {
  s.Load(o.Project);
  s.Compose(o.Frame, false, nullptr);
  std::printf("# page %d x %d\n", s.sys->fwidth, s.sys->fheight);
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
    std::fputs(HelpText(), stdout);
    return 0;
  }
  if (!args.empty() && args[0] == "batch") return RunBatch({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == "serve") return RunServe({args.begin() + 1, args.end()}, gInterrupted);
  std::string error;
  const auto options = ParseOptions(args, error);
  if (!options) {
    std::cerr << "qvrender: " << error << "\n" << UsageText();
    return 2;
  }
  const TCommand c = options->Command;
  if (c == TCommand::cmSequence || c == TCommand::cmVideo) {
    // Long runs stop at the next frame and clean up after themselves.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
  } else if (c == TCommand::cmPlay) {
    // Also when the consumer has stopped reading.
    InstallStopSignals(gInterrupted);
  }
  try {
    if (options->Command == TCommand::cmItems) return RunItems(*options);
    Session s(*options);
    int status = 1;
    switch (options->Command) {
      case TCommand::cmResave: return RunResave(*options, s);
      case TCommand::cmInfo: return RunInfo(*options, s);
      case TCommand::cmRender: status = RunRender(*options, s); break;
      case TCommand::cmSequence: status = RunSequence(*options, s); break;
      case TCommand::cmVideo: status = RunVideo(*options, s); break;
      case TCommand::cmPlay: status = RunPlay(*options, s); break;
      case TCommand::cmItems:
      case TCommand::cmBatch:
      case TCommand::cmServe: break;
    }
    // What was written lacks what could not be loaded: not a success unless that is allowed.
    const int final = StatusWithMedia(status, s.warnings, options->AllowMissingMedia);
    if (final == kMissingMediaStatus) std::cerr << kMissingMediaLine << "\n";
    return final;
  } catch (const std::exception& e) {
    // Project and image errors name their file (and line).
    std::cerr << "qvrender: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace
}  // namespace qv::render

int main(int argc, char** argv) {
  // A consumer that closes the pipe gives EPIPE to the write, which reports it; a file that hits
  // its size limit gives EFBIG likewise.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  return qv::render::Run(args);
}

// Read only by LeakSanitizer (sanitizer builds): fontconfig, under Qt's font database, keeps its
// configuration until the process ends. The report of used suppressions stays off, so that
// the program's error output holds only its own messages.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

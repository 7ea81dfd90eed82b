#include "video/Export.h"

#include "raster/StreamBitmaps.h"
#include "video/FrameFiles.h"

#include <unistd.h>

#include <vector>

namespace qv::video {

namespace {

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

bool ExportImages(TFrameRenderer& r, const TExportSettings& s, const TExportProgress& progress,
                  const std::atomic<bool>* cancel) {
  if (!IsValidFramePattern(s.Output))
    throw std::runtime_error("the output of a sequence needs one frame-number field such as %05d: " + s.Output);
  std::vector<std::string> written;
  auto removeWritten = [&] {
    for (const std::string& f : written) ::unlink(f.c_str());
  };
  const int total = s.To - s.From + 1;
  try {
    for (int f = s.From; f <= s.To; ++f) {
      if (Cancelled(cancel)) {
        removeWritten();
        return false;
      }
      const TmemoryBitmap& frame = r.Compose(f);
      const std::string name = FormatFramePattern(s.Output, f);
      WriteFrame(frame, name, s.Kind == TExportKind::ekTga);
      written.push_back(name);
      if (progress) progress(f - s.From + 1, total);
      if (f == s.To) break;  // To may be INT_MAX
    }
  } catch (...) {
    removeWritten();
    throw;
  }
  return true;
}

bool ExportVideo(TFrameRenderer& r, const TExportSettings& s, const TExportProgress& progress,
                 const std::atomic<bool>* cancel) {
  const TmemoryBitmap& work = *r.System().work;
  const TmemoryBitmap background =
      s.Codec == TVideoCodec::vcH264 ? LoadBackground(s.Background, work.Width(), work.Height()) : TmemoryBitmap();
  TVideoSettings vs;
  vs.FileName = s.Output;
  vs.Codec = s.Codec;
  vs.Width = work.Width();
  vs.Height = work.Height();
  vs.Interlaced = r.HasFieldLayers();
  vs.Background = background.Empty() ? nullptr : &background;
  vs.Threads = s.Threads;
  TVideoEncoder encoder;  // removes its partial file when left unfinished
  encoder.Open(vs);
  const int total = s.To - s.From + 1;
  for (int f = s.From; f <= s.To; ++f) {
    if (Cancelled(cancel)) return false;
    encoder.WriteFrame(r.Compose(f));
    if (progress) progress(f - s.From + 1, total);
    if (f == s.To) break;
  }
  encoder.Finish();
  return true;
}

}  // namespace

TmemoryBitmap LoadBackground(const std::string& fileName, int width, int height) {
  if (fileName.empty()) return TmemoryBitmap();
  TStreamedBitmap picture;
  picture.LoadFromFile(fileName);
  if (picture.Width() != width || picture.Height() != height) picture.Resizeto(width, height);
  TmemoryBitmap out(width, height);
  out.Blend(0, 0, picture, 0, 0, width, height);  // premultiplied, over transparent black
  return out;
}

bool ExportRange(TFrameRenderer& r, const TExportSettings& s, const TExportProgress& progress,
                 const std::atomic<bool>* cancel) {
  if (s.From > s.To) throw std::runtime_error("the first frame must not be after the last");
  if (s.Kind == TExportKind::ekVideo) return ExportVideo(r, s, progress, cancel);
  return ExportImages(r, s, progress, cancel);
}

bool ExportProject(const std::string& project, const TCompositionContext& context, const TExportSettings& s,
                   const TExportProgress& progress, const std::atomic<bool>* cancel) {
  TManualTickSource ticks;
  TCompositionContext c = context;
  c.Ticks = &ticks;
  c.Canvases = nullptr;  // frames never show the editing overlay
  std::unique_ptr<TFixedTimeOfDay> clock;
  if (s.Time) {
    clock = std::make_unique<TFixedTimeOfDay>(*s.Time);
    c.TimeOfDay = clock.get();
  }
  auto sys = Make<TQVSystem>(TQVSystem::kStandardWidth, TQVSystem::kStandardHeight, c, true);  // the project may resize it
  sys->LoadFromFile(project);
  TFrameRenderer r(*sys, ticks, clock.get());
  r.Prepare();
  return ExportRange(r, s, progress, cancel);
}

}  // namespace qv::video

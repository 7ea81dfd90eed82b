#pragma once
// Exports a frame range of a composition to numbered image files or to a video file, with
// progress and a cancel flag; output of an export that is cancelled or fails is removed. No
// toolkit: the editor's export dialog and qvrender call the same code.
//
// From the editor (any thread that may draw text):
//   qv::video::TExportSettings s;
//   s.Output = "/clips/news.mov"; s.Kind = qv::video::TExportKind::ekVideo;
//   s.Codec = qv::video::TVideoCodec::vcProRes4444; s.From = 0; s.To = 249;
//   std::atomic<bool> cancel{false};
//   const bool done = qv::video::ExportProject("news.QV", context, s,
//       [&](int done, int total) { /* update the bar */ }, &cancel);  // throws on errors
#include "composition/CompositionContext.h"
#include "platform/Clock.h"
#include "video/FrameRenderer.h"
#include "video/VideoEncoder.h"

#include <atomic>
#include <optional>
#include <functional>
#include <string>

namespace qv::video {

enum class TExportKind { ekPng, ekTga, ekVideo };

struct TExportSettings {
  // The video file, or a pattern with one frame-number field ("frames/news_%05d.png").
  std::string Output;
  TExportKind Kind = TExportKind::ekVideo;
  TVideoCodec Codec = TVideoCodec::vcProRes4444;
  int From = 0;
  int To = 0;  // inclusive
  // H.264: a picture the frames are laid over (empty: black).
  std::string Background;
  int Threads = 2;  // the video codec's worker threads
  // The time of day the page's clocks show at From, moving on 40 ms a frame, as qvrender --time
  // gives it; none: the clocks read the context's time of day as they go.
  std::optional<TTimeOfDay> Time;
};

// Frames done so far and in all; called after each frame.
using TExportProgress = std::function<void(int Done, int Total)>;

// Renders From..To with Renderer (already prepared) and writes them. Returns false when Cancel
// became true (the output is then removed); throws std::exception with a message naming the file
// when the output cannot be written (the output is removed then too).
bool ExportRange(TFrameRenderer& Renderer, const TExportSettings& Settings, const TExportProgress& Progress = {},
                 const std::atomic<bool>* Cancel = nullptr);

// Loads Project into a composition of its own with Context's text engines (its clocks are
// replaced by the export's), and exports it as ExportRange does.
bool ExportProject(const std::string& Project, const TCompositionContext& Context, const TExportSettings& Settings,
                   const TExportProgress& Progress = {}, const std::atomic<bool>* Cancel = nullptr);

// The background picture for H.264, loaded and brought to the page's size (empty name: none).
TmemoryBitmap LoadBackground(const std::string& FileName, int Width, int Height);

}  // namespace qv::video

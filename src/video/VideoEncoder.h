#pragma once
// Video files for playout: clips with an alpha channel for a video server (ProRes 4444, QuickTime
// Animation, FFV1) and previews over a background (H.264). Frames come in as the work image's
// premultiplied BGRA; the encoder turns them into straight alpha or lays them over the background
// itself, and the video plug-in (FFmpeg's libraries, loaded on the first video) encodes them. No
// toolkit here.
#include "raster/Bitmap.h"
#include "base/FrameRate.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace qv::video {

enum class TVideoCodec { vcProRes4444, vcQtrle, vcFfv1, vcH264 };

// "prores4444", "qtrle", "ffv1", "h264": the names the command line and the export settings use.
const char* CodecName(TVideoCodec Codec);
std::optional<TVideoCodec> CodecFromName(const std::string& Name);
// The container's usual extension with its dot: ".mov", ".mkv", ".mp4".
const char* CodecExtension(TVideoCodec Codec);
// Whether the file keeps the alpha channel (every codec but H.264).
bool CodecKeepsAlpha(TVideoCodec Codec);

// The colour matrix of a page: BT.601 for standard-definition pages, BT.709 for larger ones.
enum class TColourMatrix { cmBt601, cmBt709 };
TColourMatrix ColourMatrixFor(int Width, int Height);

struct TVideoSettings {
  std::string FileName;
  TVideoCodec Codec = TVideoCodec::vcProRes4444;
  int Width = 768;
  int Height = 576;
  // Interlaced, top field first (pages with field-based layers), or progressive.
  bool Interlaced = false;
  // H.264 only: the picture the frames are laid over, of the page's size (none: black).
  const TmemoryBitmap* Background = nullptr;
  // An encoder of the libraries to use instead of the codec's usual one (empty: the usual one).
  std::string Encoder;
  // The codec's own worker threads; kept low so that an export never takes more cores than it has.
  int Threads = 2;
};

// A failed open, write or finish; the message names the file and the reason.
class EVideoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The video plug-in (qv_video_plugin.so) is found next to the running executable, in ../lib/qv
// beside it, or where the build put it. UseVideoPlugin(path) replaces the search with one file
// ("" restores the search); without a plug-in, opening a video throws EVideoError.
void UseVideoPlugin(const std::string& Path);

// One video file being written. The frames go to a file beside the output that is renamed over it
// by Finish, so the output is either complete or not there: Abort (and the destructor of an
// encoder that was not finished) removes what was written.
class TVideoEncoder {
 public:
  TVideoEncoder();
  ~TVideoEncoder();
  TVideoEncoder(const TVideoEncoder&) = delete;
  TVideoEncoder& operator=(const TVideoEncoder&) = delete;

  // Throws EVideoError when the installed libraries lack the codec or the file cannot be made.
  void Open(const TVideoSettings& Settings);
  // One frame of the settings' size, premultiplied BGRA.
  void WriteFrame(const TmemoryBitmap& Frame);
  // Flushes the codec, closes the file and puts it in place.
  void Finish();
  // Stops and removes the partial file; never throws.
  void Abort() noexcept;

  int FramesWritten() const;
  // The encoder the libraries gave for the codec ("prores_ks", "libx264", ...).
  std::string EncoderName() const;

 private:
  struct TState;
  std::unique_ptr<TState> f;
};

}  // namespace qv::video

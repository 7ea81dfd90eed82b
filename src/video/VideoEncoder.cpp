#include "video/VideoEncoder.h"

#include "base/Plugin.h"
#include "video/FrameConvert.h"
#include "video/VideoPlugin.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qv::video {

namespace {

// One row per codec: its name, the container's extension and whether the frames keep their
// alpha. The plug-in numbers the codecs as TVideoCodec does.
struct TCodecRow {
  TVideoCodec Codec;
  const char* Name;
  const char* Extension;
  bool Alpha;
};

const TCodecRow kCodecs[] = {
    {TVideoCodec::vcProRes4444, "prores4444", ".mov", true},
    {TVideoCodec::vcQtrle, "qtrle", ".mov", true},
    {TVideoCodec::vcFfv1, "ffv1", ".mkv", true},
    {TVideoCodec::vcH264, "h264", ".mp4", false},
};
static_assert(int(TVideoCodec::vcProRes4444) == QV_VIDEO_PRORES4444 && int(TVideoCodec::vcQtrle) == QV_VIDEO_QTRLE &&
              int(TVideoCodec::vcFfv1) == QV_VIDEO_FFV1 && int(TVideoCodec::vcH264) == QV_VIDEO_H264);

const TCodecRow& RowOf(TVideoCodec c) {
  for (const TCodecRow& r : kCodecs) {
    if (r.Codec == c) return r;
  }
  return kCodecs[0];
}

#ifndef QV_VIDEO_PLUGIN_BUILT
#define QV_VIDEO_PLUGIN_BUILT ""
#endif

TPluginSlot& Slot() {
  static TPluginSlot slot{"qv_video_plugin.so", QV_VIDEO_ENTRY, QV_VIDEO_PLUGIN_BUILT, QV_VIDEO_ABI};
  return slot;
}

}  // namespace

const TQvVideoPlugin& VideoPlugin() {
  const auto* p = static_cast<const TQvVideoPlugin*>(Slot().Table());
  if (p == nullptr)
    throw EVideoError(std::string("video needs the plug-in ") + Slot().File() +
                      " (FFmpeg's libraries), which is missing or cannot be loaded");
  return *p;
}

void UseVideoPlugin(const std::string& path) { Slot().Choose(path); }

const char* CodecName(TVideoCodec c) { return RowOf(c).Name; }

std::optional<TVideoCodec> CodecFromName(const std::string& name) {
  for (const TCodecRow& r : kCodecs) {
    if (name == r.Name) return r.Codec;
  }
  return std::nullopt;
}

const char* CodecExtension(TVideoCodec c) { return RowOf(c).Extension; }
bool CodecKeepsAlpha(TVideoCodec c) { return RowOf(c).Alpha; }

TColourMatrix ColourMatrixFor(int width, int height) {
  return width > 768 || height > 576 ? TColourMatrix::cmBt709 : TColourMatrix::cmBt601;
}

struct TVideoEncoder::TState {
  TVideoSettings settings;
  std::string partName;  // the file being written, renamed over settings.FileName at the end
  const TQvVideoPlugin* plugin = nullptr;
  void* encoder = nullptr;  // the plug-in's
  std::unique_ptr<TFrameRows> rows;
  std::int64_t frames = 0;
  bool open = false;
  std::string encoderName;

  ~TState() { Free(); }

  void Free() {
    if (encoder != nullptr) plugin->close(encoder);
    encoder = nullptr;
    rows.reset();
  }

  // The plug-in's failure as an error that names the file.
  void Check(int status, const char* message) const {
    if (status != QV_VIDEO_OK) throw EVideoError(settings.FileName + ": " + message);
  }
};

TVideoEncoder::TVideoEncoder() = default;
TVideoEncoder::~TVideoEncoder() { Abort(); }

void TVideoEncoder::Open(const TVideoSettings& s) {
  Abort();
  try {
    f = std::make_unique<TState>();
    TState& st = *f;
    st.settings = s;
    st.plugin = &VideoPlugin();
    const TCodecRow& row = RowOf(s.Codec);
    st.partName = s.FileName + ".partial";
    TQvVideoOpen o{};
    o.file = st.partName.c_str();
    o.codec = static_cast<int>(s.Codec);
    o.encoder = s.Encoder.c_str();
    o.width = s.Width;
    o.height = s.Height;
    o.interlaced = s.Interlaced ? 1 : 0;
    o.bt709 = ColourMatrixFor(s.Width, s.Height) == TColourMatrix::cmBt709 ? 1 : 0;
    o.threads = s.Threads;
    char message[1024] = "";
    const int status = st.plugin->open(&o, &st.encoder, message, sizeof message);
    if (status == QV_VIDEO_NO_ENCODER)
      throw EVideoError(s.FileName + ": the installed FFmpeg libraries have no encoder for " + row.Name +
                        (s.Encoder.empty() ? std::string() : " named " + s.Encoder));
    // The plug-in may have made the file before it failed.
    if (status != QV_VIDEO_OK) ::unlink(st.partName.c_str());
    st.Check(status, message);
    st.open = true;
    st.encoderName = st.plugin->encoderName(st.encoder);
    st.rows = std::make_unique<TFrameRows>(s.Width, s.Height, !row.Alpha, s.Background);
  } catch (...) {
    Abort();
    throw;
  }
}

void TVideoEncoder::WriteFrame(const TmemoryBitmap& bmp) {
  if (!f || !f->open) throw EVideoError("no video file is open");
  try {
    TState& st = *f;
    char message[1024] = "";
    st.Check(st.plugin->write(st.encoder, st.rows->Convert(bmp), message, sizeof message), message);
    ++st.frames;
  } catch (...) {
    Abort();
    throw;
  }
}

void TVideoEncoder::Finish() {
  if (!f || !f->open) throw EVideoError("no video file is open");
  try {
    TState& st = *f;
    char message[1024] = "";
    st.Check(st.plugin->finish(st.encoder, message, sizeof message), message);
    if (std::rename(st.partName.c_str(), st.settings.FileName.c_str()) != 0)
      throw EVideoError(st.settings.FileName + ": cannot put the file in place: " + std::strerror(errno));
    st.open = false;
    st.Free();
  } catch (...) {
    Abort();
    throw;
  }
}

void TVideoEncoder::Abort() noexcept {
  if (!f) return;
  const bool remove = f->open;
  const std::string part = f->partName;
  f->open = false;
  f->Free();
  if (remove) ::unlink(part.c_str());
  f.reset();
}

int TVideoEncoder::FramesWritten() const { return f ? static_cast<int>(f->frames) : 0; }
std::string TVideoEncoder::EncoderName() const { return f ? f->encoderName : ""; }

}  // namespace qv::video

#include "video/VideoEncoder.h"

#include "video/FrameConvert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qv::video {

namespace {

// One row per codec: the encoders to try in order (an empty list ends with "any encoder of the
// codec id"), the container, the pixel format and whether the frames keep their alpha.
struct TCodecRow {
  TVideoCodec Codec;
  const char* Name;
  const char* Encoders[3];
  AVCodecID Id;
  const char* Muxer;
  const char* Extension;
  AVPixelFormat Format;
  bool Alpha;
};

const TCodecRow kCodecs[] = {
    {TVideoCodec::vcProRes4444, "prores4444", {"prores_ks"}, AV_CODEC_ID_PRORES, "mov", ".mov", AV_PIX_FMT_YUVA444P10LE, true},
    {TVideoCodec::vcQtrle, "qtrle", {"qtrle"}, AV_CODEC_ID_QTRLE, "mov", ".mov", AV_PIX_FMT_ARGB, true},
    {TVideoCodec::vcFfv1, "ffv1", {"ffv1"}, AV_CODEC_ID_FFV1, "matroska", ".mkv", AV_PIX_FMT_BGRA, true},
    {TVideoCodec::vcH264, "h264", {"libx264"}, AV_CODEC_ID_H264, "mp4", ".mp4", AV_PIX_FMT_YUV420P, false},
};

const TCodecRow& RowOf(TVideoCodec c) {
  for (const TCodecRow& r : kCodecs) {
    if (r.Codec == c) return r;
  }
  return kCodecs[0];
}

std::string AvText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

// Whether Encoder takes Format (encoders that list none take anything).
bool TakesFormat(const AVCodec* encoder, AVPixelFormat format) {
  if (encoder->pix_fmts == nullptr) return true;
  for (const AVPixelFormat* p = encoder->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
    if (*p == format) return true;
  }
  return false;
}

const AVCodec* FindEncoder(const TCodecRow& row, const std::string& chosen) {
  if (!chosen.empty()) {
    const AVCodec* c = avcodec_find_encoder_by_name(chosen.c_str());
    return c != nullptr && c->id == row.Id && TakesFormat(c, row.Format) ? c : nullptr;
  }
  for (const char* name : row.Encoders) {
    if (name == nullptr) break;
    if (const AVCodec* c = avcodec_find_encoder_by_name(name); c != nullptr && TakesFormat(c, row.Format)) return c;
  }
  // H.264 may come from whichever encoder the libraries have; the alpha codecs need theirs.
  if (row.Codec != TVideoCodec::vcH264) return nullptr;
  void* it = nullptr;
  while (const AVCodec* c = av_codec_iterate(&it)) {
    if (av_codec_is_encoder(c) && c->id == row.Id && TakesFormat(c, row.Format) &&
        (c->capabilities & AV_CODEC_CAP_HARDWARE) == 0 && (c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) == 0) {
      return c;
    }
  }
  return nullptr;
}

}  // namespace

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
  const AVCodec* encoder = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  std::unique_ptr<TFrameConverter> converter;
  std::int64_t frames = 0;
  bool open = false;

  ~TState() { Free(); }

  void Free() {
    converter.reset();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    if (format != nullptr) {
      if (format->pb != nullptr) avio_closep(&format->pb);
      avformat_free_context(format);
      format = nullptr;
    }
  }

  [[noreturn]] void Fail(const std::string& what, int err) const {
    throw EVideoError(settings.FileName + ": " + what + (err < 0 ? ": " + AvText(err) : std::string()));
  }

  // Hands the packets the codec has ready to the muxer.
  void Drain() {
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
      if (r < 0) Fail("cannot encode a frame", r);
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      const int w = av_interleaved_write_frame(format, packet);
      if (w < 0) Fail("cannot write", w);
      if (format->pb != nullptr && format->pb->error < 0) Fail("cannot write", format->pb->error);
    }
  }
};

TVideoEncoder::TVideoEncoder() = default;
TVideoEncoder::~TVideoEncoder() { Abort(); }

void TVideoEncoder::Open(const TVideoSettings& s) {
  Abort();
  // The libraries' chatter (encoder statistics) stays off standard error; their errors do not.
  if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
  try {
    OpenFile(s);
  } catch (...) {
    Abort();
    throw;
  }
}

void TVideoEncoder::OpenFile(const TVideoSettings& s) {
  f = std::make_unique<TState>();
  TState& st = *f;
  st.settings = s;
  const TCodecRow& row = RowOf(s.Codec);
  st.encoder = FindEncoder(row, s.Encoder);
  if (st.encoder == nullptr)
    throw EVideoError(s.FileName + ": the installed FFmpeg libraries have no encoder for " + row.Name +
                      (s.Encoder.empty() ? std::string() : " named " + s.Encoder));
  if (s.Width <= 0 || s.Height <= 0) st.Fail("bad frame size", 0);

  st.partName = s.FileName + ".partial";
  int r = avformat_alloc_output_context2(&st.format, nullptr, row.Muxer, st.partName.c_str());
  if (r < 0 || st.format == nullptr) st.Fail("cannot make a container", r);
  st.codec = avcodec_alloc_context3(st.encoder);
  st.stream = avformat_new_stream(st.format, nullptr);
  st.frame = av_frame_alloc();
  st.packet = av_packet_alloc();
  if (st.codec == nullptr || st.stream == nullptr || st.frame == nullptr || st.packet == nullptr)
    st.Fail("out of memory", 0);

  AVCodecContext& c = *st.codec;
  c.width = s.Width;
  c.height = s.Height;
  c.pix_fmt = row.Format;
  c.time_base = AVRational{1, kFramesPerSecond};
  c.framerate = AVRational{kFramesPerSecond, 1};
  c.sample_aspect_ratio = AVRational{1, 1};
  c.thread_count = s.Threads < 1 ? 1 : s.Threads;
  c.gop_size = kFramesPerSecond;
  const bool yuv = row.Format != AV_PIX_FMT_BGRA && row.Format != AV_PIX_FMT_ARGB;
  if (yuv) {
    const bool hd = ColourMatrixFor(s.Width, s.Height) == TColourMatrix::cmBt709;
    c.colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    c.color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    c.color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    c.color_range = AVCOL_RANGE_MPEG;
  } else {
    c.colorspace = AVCOL_SPC_RGB;
    c.color_range = AVCOL_RANGE_JPEG;
  }
  c.field_order = s.Interlaced ? AV_FIELD_TT : AV_FIELD_PROGRESSIVE;
  if (s.Interlaced) c.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
  if (st.format->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  AVDictionary* options = nullptr;
  switch (s.Codec) {
    case TVideoCodec::vcProRes4444:
      av_dict_set(&options, "profile", "4444", 0);
      av_dict_set(&options, "vendor", "apl0", 0);
      av_dict_set(&options, "alpha_bits", "16", 0);
      break;
    case TVideoCodec::vcFfv1:
      // Version 3 cuts frames into slices, which the codec's threads share; every slice checked.
      av_dict_set(&options, "level", "3", 0);
      av_dict_set(&options, "slicecrc", "1", 0);
      av_dict_set(&options, "g", "1", 0);
      break;
    case TVideoCodec::vcH264:
      if (std::strcmp(st.encoder->name, "libx264") == 0) {
        av_dict_set(&options, "preset", "medium", 0);
        av_dict_set(&options, "crf", "18", 0);
      }
      break;
    case TVideoCodec::vcQtrle: break;
  }
  r = avcodec_open2(st.codec, st.encoder, &options);
  av_dict_free(&options);
  if (r < 0) st.Fail(std::string("cannot open the encoder ") + st.encoder->name, r);
  r = avcodec_parameters_from_context(st.stream->codecpar, st.codec);
  if (r < 0) st.Fail("cannot describe the stream", r);
  st.stream->time_base = c.time_base;
  st.stream->avg_frame_rate = c.framerate;
  st.stream->r_frame_rate = c.framerate;

  st.frame->format = row.Format;
  st.frame->width = s.Width;
  st.frame->height = s.Height;
  r = av_frame_get_buffer(st.frame, 0);
  if (r < 0) st.Fail("out of memory", r);
  st.converter = std::make_unique<TFrameConverter>(s.Width, s.Height, row.Format, ColourMatrixFor(s.Width, s.Height),
                                                   !row.Alpha, s.Background);

  r = avio_open(&st.format->pb, st.partName.c_str(), AVIO_FLAG_WRITE);
  if (r < 0) {
    st.format->pb = nullptr;
    throw EVideoError(s.FileName + ": cannot create the file: " + AvText(r));
  }
  st.open = true;
  // One tick of the file's clock per frame where the container lets us choose it.
  AVDictionary* muxOptions = nullptr;
  if (std::strcmp(row.Muxer, "mov") == 0 || std::strcmp(row.Muxer, "mp4") == 0)
    av_dict_set(&muxOptions, "video_track_timescale", std::to_string(kFramesPerSecond).c_str(), 0);
  r = avformat_write_header(st.format, &muxOptions);
  av_dict_free(&muxOptions);
  if (r < 0) st.Fail("cannot write the header", r);
}

void TVideoEncoder::WriteFrame(const TmemoryBitmap& bmp) {
  if (!f || !f->open) throw EVideoError("no video file is open");
  try {
    Encode(bmp);
  } catch (...) {
    Abort();
    throw;
  }
}

void TVideoEncoder::Encode(const TmemoryBitmap& bmp) {
  TState& st = *f;
  int r = av_frame_make_writable(st.frame);
  if (r < 0) st.Fail("out of memory", r);
  st.converter->Convert(bmp, *st.frame);
  st.frame->pts = st.frames;
  st.frame->interlaced_frame = st.settings.Interlaced ? 1 : 0;
  st.frame->top_field_first = st.settings.Interlaced ? 1 : 0;
  st.frame->color_range = st.codec->color_range;
  st.frame->colorspace = st.codec->colorspace;
  r = avcodec_send_frame(st.codec, st.frame);
  if (r < 0) st.Fail("cannot encode a frame", r);
  ++st.frames;
  st.Drain();
}

void TVideoEncoder::Finish() {
  if (!f || !f->open) throw EVideoError("no video file is open");
  try {
    Close();
  } catch (...) {
    Abort();
    throw;
  }
}

void TVideoEncoder::Close() {
  TState& st = *f;
  int r = avcodec_send_frame(st.codec, nullptr);
  if (r < 0) st.Fail("cannot finish encoding", r);
  st.Drain();
  r = av_write_trailer(st.format);
  if (r < 0) st.Fail("cannot finish the file", r);
  avio_flush(st.format->pb);
  if (st.format->pb->error < 0) st.Fail("cannot write", st.format->pb->error);
  r = avio_closep(&st.format->pb);
  if (r < 0) st.Fail("cannot close", r);
  if (std::rename(st.partName.c_str(), st.settings.FileName.c_str()) != 0)
    throw EVideoError(st.settings.FileName + ": cannot put the file in place: " + std::strerror(errno));
  st.open = false;
  st.Free();
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
std::string TVideoEncoder::EncoderName() const { return f && f->encoder ? f->encoder->name : ""; }

}  // namespace qv::video

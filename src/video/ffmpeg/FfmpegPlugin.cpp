// The video plug-in: video files through FFmpeg's libraries (the encoder, the container, the
// conversion of BGRA frames into the codec's pixel format and colour matrix), and frames into
// Y'CbCr planes for the YUV4MPEG stream. Loaded only by processes that write video.
#include "video/VideoPlugin.h"
#include "base/FrameRate.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

// One row per codec (numbered as QV_VIDEO_...): the encoders to try in order (an empty list ends
// with "any encoder of the codec id"), the container and the pixel format.
struct TCodecRow {
  const char* Name;
  const char* Encoders[3];
  AVCodecID Id;
  const char* Muxer;
  AVPixelFormat Format;
};

const TCodecRow kCodecs[] = {
    {"prores4444", {"prores_ks"}, AV_CODEC_ID_PRORES, "mov", AV_PIX_FMT_YUVA444P10LE},
    {"qtrle", {"qtrle"}, AV_CODEC_ID_QTRLE, "mov", AV_PIX_FMT_ARGB},
    {"ffv1", {"ffv1"}, AV_CODEC_ID_FFV1, "matroska", AV_PIX_FMT_BGRA},
    {"h264", {"libx264"}, AV_CODEC_ID_H264, "mp4", AV_PIX_FMT_YUV420P},
};

struct TFailure {
  std::string text;
};

std::string AvText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

[[noreturn]] void Fail(const std::string& what, int err) {
  throw TFailure{what + (err < 0 ? ": " + AvText(err) : std::string())};
}

void Tell(const std::string& text, char* message, size_t size) {
  if (size > 0) std::snprintf(message, size, "%s", text.c_str());
}

// Whether Encoder takes Format (encoders that list none take anything).
bool TakesFormat(const AVCodec* encoder, AVPixelFormat format) {
  if (encoder->pix_fmts == nullptr) return true;
  for (const AVPixelFormat* p = encoder->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
    if (*p == format) return true;
  }
  return false;
}

const AVCodec* FindEncoder(const TCodecRow& row, bool anyEncoder, const char* chosen) {
  if (chosen != nullptr && *chosen) {
    const AVCodec* c = avcodec_find_encoder_by_name(chosen);
    return c != nullptr && c->id == row.Id && TakesFormat(c, row.Format) ? c : nullptr;
  }
  for (const char* name : row.Encoders) {
    if (name == nullptr) break;
    if (const AVCodec* c = avcodec_find_encoder_by_name(name); c != nullptr && TakesFormat(c, row.Format)) return c;
  }
  // H.264 may come from whichever encoder the libraries have; the alpha codecs need theirs.
  if (!anyEncoder) return nullptr;
  void* it = nullptr;
  while (const AVCodec* c = av_codec_iterate(&it)) {
    if (av_codec_is_encoder(c) && c->id == row.Id && TakesFormat(c, row.Format) &&
        (c->capabilities & AV_CODEC_CAP_HARDWARE) == 0 && (c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) == 0) {
      return c;
    }
  }
  return nullptr;
}

int SwsMatrix(bool bt709) { return bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601; }

// BGRA into Format; none when the format is BGRA itself.
SwsContext* MakeScaler(int w, int h, AVPixelFormat format, bool bt709) {
  if (format == AV_PIX_FMT_BGRA) return nullptr;
  SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, format,
                                   SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, nullptr,
                                   nullptr, nullptr);
  if (sws == nullptr) Fail(std::string("cannot convert frames to the pixel format ") + av_get_pix_fmt_name(format), 0);
  if (format != AV_PIX_FMT_ARGB) {
    // Studio range Y'CbCr in the page's matrix.
    const int* coefficients = sws_getCoefficients(SwsMatrix(bt709));
    sws_setColorspaceDetails(sws, coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
  }
  return sws;
}

// Rows of BGRA into Out (already allocated in the scaler's format and size).
void Convert(SwsContext* sws, const unsigned char* bgra, int w, int h, AVFrame& out) {
  const std::size_t stride = std::size_t(w) * 4;
  if (sws == nullptr) {
    for (int y = 0; y < h; ++y) std::memcpy(out.data[0] + std::ptrdiff_t(out.linesize[0]) * y, bgra + stride * y, stride);
    return;
  }
  const std::uint8_t* srcPlanes[1] = {bgra};
  const int srcStrides[1] = {static_cast<int>(stride)};
  sws_scale(sws, srcPlanes, srcStrides, 0, h, out.data, out.linesize);
}

struct TEncoder {
  TQvVideoOpen settings{};
  const TCodecRow* row = nullptr;
  const AVCodec* encoder = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* sws = nullptr;
  std::int64_t frames = 0;

  ~TEncoder() {
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    if (format != nullptr) {
      if (format->pb != nullptr) avio_closep(&format->pb);
      avformat_free_context(format);
    }
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

  void Open() {
    const TQvVideoOpen& s = settings;
    const TCodecRow& r = *row;
    int e = avformat_alloc_output_context2(&format, nullptr, r.Muxer, s.file);
    if (e < 0 || format == nullptr) Fail("cannot make a container", e);
    codec = avcodec_alloc_context3(encoder);
    stream = avformat_new_stream(format, nullptr);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (codec == nullptr || stream == nullptr || frame == nullptr || packet == nullptr) Fail("out of memory", 0);

    AVCodecContext& c = *codec;
    c.width = s.width;
    c.height = s.height;
    c.pix_fmt = r.Format;
    c.time_base = AVRational{1, qv::kFramesPerSecond};
    c.framerate = AVRational{qv::kFramesPerSecond, 1};
    c.sample_aspect_ratio = AVRational{1, 1};
    c.thread_count = s.threads < 1 ? 1 : s.threads;
    c.gop_size = qv::kFramesPerSecond;
    const bool yuv = r.Format != AV_PIX_FMT_BGRA && r.Format != AV_PIX_FMT_ARGB;
    if (yuv) {
      c.colorspace = s.bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
      c.color_primaries = s.bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
      c.color_trc = s.bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
      c.color_range = AVCOL_RANGE_MPEG;
    } else {
      c.colorspace = AVCOL_SPC_RGB;
      c.color_range = AVCOL_RANGE_JPEG;
    }
    c.field_order = s.interlaced ? AV_FIELD_TT : AV_FIELD_PROGRESSIVE;
    if (s.interlaced) c.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    switch (s.codec) {
      case QV_VIDEO_PRORES4444:
        av_dict_set(&options, "profile", "4444", 0);
        av_dict_set(&options, "vendor", "apl0", 0);
        av_dict_set(&options, "alpha_bits", "16", 0);
        break;
      case QV_VIDEO_FFV1:
        // Version 3 cuts frames into slices, which the codec's threads share; every slice checked.
        av_dict_set(&options, "level", "3", 0);
        av_dict_set(&options, "slicecrc", "1", 0);
        av_dict_set(&options, "g", "1", 0);
        break;
      case QV_VIDEO_H264:
        if (std::strcmp(encoder->name, "libx264") == 0) {
          av_dict_set(&options, "preset", "medium", 0);
          av_dict_set(&options, "crf", "18", 0);
        }
        break;
      default: break;
    }
    e = avcodec_open2(codec, encoder, &options);
    av_dict_free(&options);
    if (e < 0) Fail(std::string("cannot open the encoder ") + encoder->name, e);
    e = avcodec_parameters_from_context(stream->codecpar, codec);
    if (e < 0) Fail("cannot describe the stream", e);
    stream->time_base = c.time_base;
    stream->avg_frame_rate = c.framerate;
    stream->r_frame_rate = c.framerate;

    frame->format = r.Format;
    frame->width = s.width;
    frame->height = s.height;
    e = av_frame_get_buffer(frame, 0);
    if (e < 0) Fail("out of memory", e);
    sws = MakeScaler(s.width, s.height, r.Format, s.bt709 != 0);

    e = avio_open(&format->pb, s.file, AVIO_FLAG_WRITE);
    if (e < 0) {
      format->pb = nullptr;
      Fail("cannot create the file", e);
    }
    // One tick of the file's clock per frame where the container lets us choose it.
    AVDictionary* muxOptions = nullptr;
    if (std::strcmp(r.Muxer, "mov") == 0 || std::strcmp(r.Muxer, "mp4") == 0)
      av_dict_set(&muxOptions, "video_track_timescale", std::to_string(qv::kFramesPerSecond).c_str(), 0);
    e = avformat_write_header(format, &muxOptions);
    av_dict_free(&muxOptions);
    if (e < 0) Fail("cannot write the header", e);
  }

  void Write(const unsigned char* bgra) {
    int e = av_frame_make_writable(frame);
    if (e < 0) Fail("out of memory", e);
    Convert(sws, bgra, settings.width, settings.height, *frame);
    frame->pts = frames;
    frame->interlaced_frame = settings.interlaced ? 1 : 0;
    frame->top_field_first = settings.interlaced ? 1 : 0;
    frame->color_range = codec->color_range;
    frame->colorspace = codec->colorspace;
    e = avcodec_send_frame(codec, frame);
    if (e < 0) Fail("cannot encode a frame", e);
    ++frames;
    Drain();
  }

  void Finish() {
    int e = avcodec_send_frame(codec, nullptr);
    if (e < 0) Fail("cannot finish encoding", e);
    Drain();
    e = av_write_trailer(format);
    if (e < 0) Fail("cannot finish the file", e);
    avio_flush(format->pb);
    if (format->pb->error < 0) Fail("cannot write", format->pb->error);
    e = avio_closep(&format->pb);
    if (e < 0) Fail("cannot close", e);
  }
};

// Runs f, turning a failure into its status and message.
template <class F>
int Guarded(F&& f, char* message, size_t size) {
  try {
    f();
    return QV_VIDEO_OK;
  } catch (const TFailure& failure) {
    Tell(failure.text, message, size);
  } catch (const std::bad_alloc&) {
    Tell("out of memory", message, size);
  }
  return QV_VIDEO_FAILED;
}

int OpenEncoder(const TQvVideoOpen* s, void** out, char* message, size_t size) {
  *out = nullptr;
  if (s->codec < 0 || s->codec >= int(sizeof kCodecs / sizeof kCodecs[0])) {
    Tell("unknown codec", message, size);
    return QV_VIDEO_FAILED;
  }
  // The libraries' chatter (encoder statistics) stays off standard error; their errors do not.
  if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
  const TCodecRow& row = kCodecs[s->codec];
  const AVCodec* encoder = FindEncoder(row, s->codec == QV_VIDEO_H264, s->encoder);
  if (encoder == nullptr) return QV_VIDEO_NO_ENCODER;
  if (s->width <= 0 || s->height <= 0) {
    Tell("bad frame size", message, size);
    return QV_VIDEO_FAILED;
  }
  TEncoder* e = new (std::nothrow) TEncoder;
  if (e == nullptr) {
    Tell("out of memory", message, size);
    return QV_VIDEO_FAILED;
  }
  e->settings = *s;
  e->row = &row;
  e->encoder = encoder;
  const int status = Guarded([&] { e->Open(); }, message, size);
  if (status != QV_VIDEO_OK) {
    delete e;
    return status;
  }
  *out = e;
  return QV_VIDEO_OK;
}

int WriteFrame(void* e, const unsigned char* bgra, char* message, size_t size) {
  return Guarded([&] { static_cast<TEncoder*>(e)->Write(bgra); }, message, size);
}

int FinishEncoder(void* e, char* message, size_t size) {
  return Guarded([&] { static_cast<TEncoder*>(e)->Finish(); }, message, size);
}

void CloseEncoder(void* e) { delete static_cast<TEncoder*>(e); }

const char* EncoderName(void* e) { return static_cast<TEncoder*>(e)->encoder->name; }

struct TPlanes {
  int w = 0, h = 0;
  SwsContext* sws = nullptr;
  AVFrame* frame = nullptr;
  ~TPlanes() {
    sws_freeContext(sws);
    av_frame_free(&frame);
  }
};

void* OpenPlanes(int w, int h, int bt709) {
  if (w <= 0 || h <= 0) return nullptr;
  auto* p = new (std::nothrow) TPlanes;
  if (p == nullptr) return nullptr;
  p->w = w;
  p->h = h;
  char message[8];
  const int status = Guarded(
      [&] {
        p->sws = MakeScaler(w, h, AV_PIX_FMT_YUV444P, bt709 != 0);
        p->frame = av_frame_alloc();
        if (p->frame == nullptr) throw std::bad_alloc();
        p->frame->format = AV_PIX_FMT_YUV444P;
        p->frame->width = w;
        p->frame->height = h;
        if (av_frame_get_buffer(p->frame, 0) < 0) throw std::bad_alloc();
      },
      message, sizeof message);
  if (status != QV_VIDEO_OK) {
    delete p;
    return nullptr;
  }
  return p;
}

int Planes(void* converter, const unsigned char* bgra, unsigned char* out) {
  auto* p = static_cast<TPlanes*>(converter);
  if (av_frame_make_writable(p->frame) < 0) return QV_VIDEO_FAILED;
  Convert(p->sws, bgra, p->w, p->h, *p->frame);
  for (int plane = 0; plane < 3; ++plane) {
    for (int y = 0; y < p->h; ++y, out += p->w)
      std::memcpy(out, p->frame->data[plane] + std::ptrdiff_t(p->frame->linesize[plane]) * y, std::size_t(p->w));
  }
  return QV_VIDEO_OK;
}

void ClosePlanes(void* converter) { delete static_cast<TPlanes*>(converter); }

const TQvVideoPlugin kPlugin = {QV_VIDEO_ABI, OpenEncoder, WriteFrame, FinishEncoder, CloseEncoder, EncoderName,
                                OpenPlanes,   Planes,      ClosePlanes};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void* qv_video_plugin(void) { return &kPlugin; }

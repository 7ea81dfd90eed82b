#pragma once
// The interface between the video code and its plug-in (qv_video_plugin.so, opened on first
// need), in plain C. The plug-in holds everything that needs FFmpeg's libraries: the encoders and
// muxers of the video files, and the conversion of frames into Y'CbCr. Processes that never write
// a video or a YUV4MPEG stream never load those libraries (and the codec libraries behind them).
//
// Frames reach the plug-in as straight-alpha BGRA (codecs that keep alpha) or opaque BGRA (those
// that do not): the video code straightens or flattens the composition's premultiplied frames
// itself.
#include <stddef.h>

extern "C" {

enum {
  QV_VIDEO_OK = 0,
  QV_VIDEO_FAILED = 1,      // message: what failed and the libraries' reason
  QV_VIDEO_NO_ENCODER = 2,  // the libraries have no (such) encoder for the codec
};

// Codecs, as numbered by TVideoCodec.
enum { QV_VIDEO_PRORES4444 = 0, QV_VIDEO_QTRLE = 1, QV_VIDEO_FFV1 = 2, QV_VIDEO_H264 = 3 };

struct TQvVideoOpen {
  const char* file;     // the file to write (made by the plug-in)
  int codec;            // QV_VIDEO_...
  const char* encoder;  // an encoder of the libraries to use instead of the codec's usual one ("": usual)
  int width, height;
  int interlaced;       // top field first
  int bt709;            // the colour matrix of Y'CbCr codecs: BT.709 (else BT.601)
  int threads;
};

struct TQvVideoPlugin {
  int abi;  // QV_VIDEO_ABI
  // Opens the encoder and the file and writes the container's header. On success *encoder holds
  // the encoder's state, to be given to the calls below and then to close.
  int (*open)(const struct TQvVideoOpen* settings, void** encoder, char* message, size_t messageSize);
  // One frame of width x height BGRA pixels, rows of width * 4 bytes.
  int (*write)(void* encoder, const unsigned char* bgra, char* message, size_t messageSize);
  // Flushes the codec, writes the trailer and closes the file.
  int (*finish)(void* encoder, char* message, size_t messageSize);
  // Frees the encoder's state (closing the file unfinished if need be).
  void (*close)(void* encoder);
  // The libraries' name of the encoder in use ("prores_ks", "libx264", ...).
  const char* (*encoderName)(void* encoder);

  // Opaque BGRA frames of width x height into 4:4:4 studio-range Y'CbCr planes (BT.709 or BT.601):
  // a converter, null when it cannot be made.
  void* (*openPlanes)(int width, int height, int bt709);
  // Y, Cb and Cr, width * height bytes each, one after the other in `planes`.
  int (*planes)(void* converter, const unsigned char* bgra, unsigned char* planes);
  void (*closePlanes)(void* converter);
};

#define QV_VIDEO_ABI 1
#define QV_VIDEO_ENTRY "qv_video_plugin"
}

#ifdef __cplusplus
namespace qv::video {
// The plug-in's table, opened on first need (video/VideoEncoder.h says where it is looked for);
// throws EVideoError when there is none.
const TQvVideoPlugin& VideoPlugin();
}  // namespace qv::video
#endif

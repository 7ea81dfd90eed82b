#pragma once
// Premultiplied BGRA frames into the pixel formats of video: straight alpha, or laid over an
// opaque background, then into the codec's format and colour matrix. Shared by the video files
// and the YUV4MPEG stream of live playout.
#include "raster/Bitmap.h"
#include "video/VideoEncoder.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <vector>

struct SwsContext;

namespace qv::video {

// Lays premultiplied BGRA over an opaque background (BGRA, alpha ignored) into opaque BGRA:
// out = src + bg * (255 - a) / 255, rounded. `bg` none: black.
void OverBackgroundRow(const std::uint8_t* src, const std::uint8_t* bg, std::uint8_t* out, int w);

class TFrameConverter {
 public:
  // Background: used when Over is set (none: black); it must outlive the converter.
  TFrameConverter(int Width, int Height, AVPixelFormat Format, TColourMatrix Matrix, bool Over,
                  const TmemoryBitmap* Background);
  ~TFrameConverter();
  TFrameConverter(const TFrameConverter&) = delete;
  TFrameConverter& operator=(const TFrameConverter&) = delete;

  // Fills Out (already allocated in the converter's format and size) from Frame.
  void Convert(const TmemoryBitmap& Frame, AVFrame& Out);

 private:
  int fWidth, fHeight;
  AVPixelFormat fFormat;
  bool fOver;
  const TmemoryBitmap* fBackground;
  std::vector<std::uint8_t> fRows;  // the straight or flattened frame, BGRA
  SwsContext* fSws = nullptr;       // none when the format is BGRA itself
};

}  // namespace qv::video

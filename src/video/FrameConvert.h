#pragma once
// Premultiplied BGRA frames into what video takes: straight alpha, or laid over an opaque
// background; and, through the video plug-in, into Y'CbCr planes. Shared by the video files and
// the YUV4MPEG stream of live playout.
#include "raster/Bitmap.h"
#include "video/VideoEncoder.h"

#include <cstdint>
#include <vector>

namespace qv::video {

// Lays premultiplied BGRA over an opaque background (BGRA, alpha ignored) into opaque BGRA:
// out = src + bg * (255 - a) / 255, rounded. `bg` none: black.
void OverBackgroundRow(const std::uint8_t* src, const std::uint8_t* bg, std::uint8_t* out, int w);

// A frame's straight-alpha BGRA (Over false) or the frame over a background as opaque BGRA.
class TFrameRows {
 public:
  // Background: used when Over is set (none: black); it must outlive the converter.
  TFrameRows(int Width, int Height, bool Over, const TmemoryBitmap* Background);

  // The rows of Frame, which must have the converter's size (else EVideoError).
  const std::uint8_t* Convert(const TmemoryBitmap& Frame);

 private:
  int fWidth, fHeight;
  bool fOver;
  const TmemoryBitmap* fBackground;
  std::vector<std::uint8_t> fRows;
};

// Frames over a background as 4:4:4 studio-range Y'CbCr planes in the page's matrix (play's
// YUV4MPEG stream), converted by the video plug-in.
class TYuvPlanes {
 public:
  // Throws EVideoError when the video plug-in is missing.
  TYuvPlanes(int Width, int Height, const TmemoryBitmap* Background);
  ~TYuvPlanes();
  TYuvPlanes(const TYuvPlanes&) = delete;
  TYuvPlanes& operator=(const TYuvPlanes&) = delete;

  // Y, Cb and Cr of Frame, Width * Height bytes each, one after the other into Out.
  void Convert(const TmemoryBitmap& Frame, std::uint8_t* Out);

 private:
  TFrameRows fRows;
  void* fConverter = nullptr;
};

}  // namespace qv::video

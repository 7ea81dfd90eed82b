#include "video/FrameConvert.h"

#include "raster/ImageFormats.h"
#include "video/VideoPlugin.h"

namespace qv::video {

namespace {

// x / 255 rounded, for x up to 255 * 255.
inline unsigned Div255(unsigned x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

}  // namespace

void OverBackgroundRow(const std::uint8_t* src, const std::uint8_t* bg, std::uint8_t* out, int w) {
  if (bg == nullptr) {
    for (int x = 0; x < w; ++x, src += 4, out += 4) {
      out[0] = src[0];
      out[1] = src[1];
      out[2] = src[2];
      out[3] = 255;
    }
    return;
  }
  for (int x = 0; x < w; ++x, src += 4, bg += 4, out += 4) {
    const unsigned rest = 255u - src[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned v = src[c] + Div255(bg[c] * rest);
      out[c] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
    }
    out[3] = 255;
  }
}

TFrameRows::TFrameRows(int width, int height, bool over, const TmemoryBitmap* background)
    : fWidth(width), fHeight(height), fOver(over), fBackground(background),
      fRows(std::size_t(width) * height * 4) {}

const std::uint8_t* TFrameRows::Convert(const TmemoryBitmap& frame) {
  if (frame.Width() != fWidth || frame.Height() != fHeight || frame.Bits == nullptr)
    throw EVideoError("a frame of " + std::to_string(frame.Width()) + " x " + std::to_string(frame.Height()) +
                      " pixels does not fit a video of " + std::to_string(fWidth) + " x " + std::to_string(fHeight));
  const std::size_t stride = std::size_t(fWidth) * 4;
  const bool bgOk = fBackground != nullptr && fBackground->Bits != nullptr &&
                    fBackground->Width() == fWidth && fBackground->Height() == fHeight;
  for (int y = 0; y < fHeight; ++y) {
    const std::uint8_t* src = frame.Bits + stride * y;
    std::uint8_t* row = fRows.data() + stride * y;
    if (fOver) {
      OverBackgroundRow(src, bgOk ? fBackground->Bits + stride * y : nullptr, row, fWidth);
    } else {
      image::UnpremultiplyRow(src, row, fWidth);
    }
  }
  return fRows.data();
}

TYuvPlanes::TYuvPlanes(int width, int height, const TmemoryBitmap* background)
    : fRows(width, height, true, background) {
  const TQvVideoPlugin& p = VideoPlugin();
  fConverter = p.openPlanes(width, height, ColourMatrixFor(width, height) == TColourMatrix::cmBt709 ? 1 : 0);
  if (fConverter == nullptr) throw EVideoError("cannot convert frames of " + std::to_string(width) + " x " +
                                               std::to_string(height) + " pixels to Y'CbCr");
}

TYuvPlanes::~TYuvPlanes() {
  if (fConverter != nullptr) VideoPlugin().closePlanes(fConverter);
}

void TYuvPlanes::Convert(const TmemoryBitmap& frame, std::uint8_t* out) {
  if (VideoPlugin().planes(fConverter, fRows.Convert(frame), out) != QV_VIDEO_OK)
    throw EVideoError("cannot convert a frame to Y'CbCr");
}

}  // namespace qv::video

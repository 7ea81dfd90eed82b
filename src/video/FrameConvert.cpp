#include "video/FrameConvert.h"

#include "raster/ImageFormats.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace qv::video {

namespace {

// x / 255 rounded, for x up to 255 * 255.
inline unsigned Div255(unsigned x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

int SwsMatrix(TColourMatrix m) { return m == TColourMatrix::cmBt709 ? SWS_CS_ITU709 : SWS_CS_ITU601; }

bool IsRgb(AVPixelFormat f) { return f == AV_PIX_FMT_BGRA || f == AV_PIX_FMT_ARGB; }

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

TFrameConverter::TFrameConverter(int width, int height, AVPixelFormat format, TColourMatrix matrix, bool over,
                                 const TmemoryBitmap* background)
    : fWidth(width), fHeight(height), fFormat(format), fOver(over), fBackground(background),
      fRows(std::size_t(width) * height * 4) {
  if (format == AV_PIX_FMT_BGRA) return;
  fSws = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, format,
                        SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, nullptr, nullptr,
                        nullptr);
  if (fSws == nullptr) throw EVideoError("cannot convert frames to the pixel format " + std::string(av_get_pix_fmt_name(format)));
  if (!IsRgb(format)) {
    // Studio range YUV in the page's matrix.
    const int* coefficients = sws_getCoefficients(SwsMatrix(matrix));
    sws_setColorspaceDetails(fSws, coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
  }
}

TFrameConverter::~TFrameConverter() { sws_freeContext(fSws); }

void TFrameConverter::Convert(const TmemoryBitmap& frame, AVFrame& out) {
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
  if (fSws == nullptr) {
    for (int y = 0; y < fHeight; ++y) std::memcpy(out.data[0] + std::ptrdiff_t(out.linesize[0]) * y, fRows.data() + stride * y, stride);
    return;
  }
  const std::uint8_t* srcPlanes[1] = {fRows.data()};
  const int srcStrides[1] = {static_cast<int>(stride)};
  sws_scale(fSws, srcPlanes, srcStrides, 0, fHeight, out.data, out.linesize);
}

}  // namespace qv::video

#pragma once
// TStreamedBitmap: a TmemoryBitmap that fills itself from an image file or stream and resamples
// itself. Decoded pixels arrive as 8-bit blue, green, red, alpha whatever the file held (grey,
// grey + alpha, palette, 16-bit, RGB, RGBA); formats without alpha arrive opaque. The codec never
// premultiplies.
#include <iosfwd>
#include <string>
#include <vector>

#include "raster/Bitmap.h"

namespace qv {

class TStreamedBitmap : public TmemoryBitmap {
 public:
  TStreamedBitmap() = default;
  TStreamedBitmap(int Width, int Height) : TmemoryBitmap(Width, Height) {}
  // A copy of Src's pixels (see TmemoryBitmap(const TmemoryBitmap&)).
  explicit TStreamedBitmap(const TmemoryBitmap& Src) : TmemoryBitmap(Src) {}
  TStreamedBitmap(TStreamedBitmap&&) noexcept = default;
  TStreamedBitmap& operator=(TStreamedBitmap&&) noexcept = default;

  // CreateFromFile / CreateFromStream: defaults, then loaded as LoadFromStream does. AsDib marks the
  // bitmap as the surface kind (Kind 1); its pixels are plain memory either way.
  static TStreamedBitmap CreateFromFile(const std::string& filename, bool AsDib = false, bool unmatte = false);
  static TStreamedBitmap CreateFromStream(std::istream& Stream, bool AsDib = false, bool unmatte = false);

  // Loads an image, recognised by content through the format table (raster/ImageFormats.h); TGA,
  // which has no signature, by a header that makes sense.
  // - Content no reader recognises: the bitmap becomes empty (0 x 0); not an error.
  // - Unreadable or damaged file (truncated, corrupt data, bad checksum), or an image larger than
  //   MaxSide / MaxPixels: throws EImageError naming the file, before the bitmap is touched, so it
  //   keeps its size and pixels.
  // On success the bitmap has the image's size and pixels; with unmatte every colour byte is
  // multiplied by its alpha (c * a / 256). `resize` has no effect.
  void LoadFromFile(const std::string& filename, bool unmatte = false, bool resize = true);
  void LoadFromStream(std::istream& Stream, bool unmatte = false, bool resize = true);

  // Writes the pixels, 32-bit with alpha, in the format the extension names (PNG and TGA with our
  // own writers; BMP, TIFF, JPEG without alpha, ... through the codec plug-in). The alpha byte is stored as it is (not divided out). EImageError
  // naming the file on failure or for an extension no writer knows.
  void SaveToFile(const std::string& filename) const;
  // The same into a stream, colour only (alpha dropped), format chosen by Ext ("png", ".png", "jpg").
  void SaveToStream(const std::string& Ext, std::ostream& Stream) const;
  // The bytes SaveToFile would write to a file with extension Ext ("png", ".png"), alpha kept: for
  // callers that put the file in place themselves. EImageError as SaveToFile.
  std::vector<std::uint8_t> EncodeToMemory(const std::string& Ext) const;
  // PNG bytes of a premultiplied bitmap with straight alpha: each colour byte becomes c * 255 / a
  // rounded (at most 255), fully transparent pixels 0; converted row by row as they are written,
  // without a copy of the picture. EImageError as EncodeToMemory.
  static std::vector<std::uint8_t> StraightAlphaPng(const TmemoryBitmap& Premultiplied);

  // Resamples the image to W x H with a bicubic filter (all four bytes filtered alike), through
  // the resampling plug-in (std::runtime_error, the bitmap untouched, when it is missing). From an
  // empty bitmap, or to a size <= 0, the result is W x H of zero pixels (empty for sizes <= 0).
  // `ClearData` has no effect.
  void Resizeto(int W, int H, bool ClearData = true);

  // Multiplies the colour bytes of every pixel by its alpha: c = c * a div 256; alpha unchanged.
  void UnmatteImage();
};

}  // namespace qv

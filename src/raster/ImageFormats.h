#pragma once
// The image formats the raster engine reads: one row per format, in front of its decoder. A row
// names the format, recognises it from the first bytes of a file, reads the size its header
// states (checked against the bitmap limits before any decoder allocates) and names the decoder
// that serves it: one of our own readers, or the codec plug-in. A new codec is one new row.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "raster/Bitmap.h"

namespace qv::image {

// The first bytes of a file that the rows look at (more than any of them needs).
constexpr std::size_t kHeadBytes = 64;

// One decoded image in a pixel block not yet given to the bitmap being loaded: 4 bytes per pixel,
// either already blue, green, red, alpha (our own readers) or the first `channels` bytes of each
// pixel in red, green, blue, alpha order (grey, grey + alpha with 1 or 2), as the plug-in leaves them.
struct TDecoded {
  TmemoryBitmap pixels;  // empty when the content was not recognised
  bool bgra = true;
  int channels = 4;
  bool hasAlpha = true;
  // The pixels in our order into `to` (which may be pixels.Bits): the one conversion pass.
  void ConvertTo(std::uint8_t* to) const;
};

// What a decoder reads: the whole file in memory, or (data == nullptr) the file `name` itself.
struct TImageInput {
  const std::string& name;  // the file, or "<stream>": named in errors
  const std::uint8_t* data;
  std::size_t size;
};

struct TImageFormat;
using TSniff = bool (*)(const std::uint8_t* head, std::size_t n);
// The size the header states, when it sits at a fixed place; false when it cannot tell.
using TStatedSize = bool (*)(const std::uint8_t* head, std::size_t n, std::int64_t& w, std::int64_t& h);
// Fills `out`; throws EImageError for a damaged file.
using TDecode = void (*)(const TImageInput& in, const TImageFormat& format, TDecoded& out);

struct TImageFormat {
  const char* name;         // as in messages: "damaged <name> image"
  const char* extensions;   // the file name extensions it goes by, lower case, separated by blanks
  TSniff sniff;
  TStatedSize statedSize;   // nullptr: the decoder checks the size it reads before allocating
  TDecode decode;
  bool wantsWholeFile;      // false: the decoder may open the file by name (the plug-in)
};

std::span<const TImageFormat> ImageFormats();
// The row whose sniff accepts `head`, first match in table order; nullptr for none.
const TImageFormat* FindImageFormat(const std::uint8_t* head, std::size_t n);
// Every extension of the rows, in table order ("png", "jpg", "jpeg", ...).
std::vector<std::string> PictureExtensions();
// Whether a file name's extension (with or without its dot, any letter case) is a picture's.
bool IsPictureExtension(std::string_view Extension);

bool TooLarge(std::int64_t w, std::int64_t h);
// EImageError "image of W x H pixels is too large".
[[noreturn]] void ThrowTooLarge(const std::string& name, std::int64_t w, std::int64_t h);
// EImageError "damaged <format> image: <detail>".
[[noreturn]] void ThrowDamaged(const std::string& name, const TImageFormat& format, const std::string& detail);
// The pixel block of a w x h image, once the size is checked against the limits (ThrowTooLarge).
std::uint8_t* Reserve(TDecoded& out, const std::string& name, std::int64_t w, std::int64_t h);

// The decoders.
void DecodeTga(const TImageInput& in, const TImageFormat& format, TDecoded& out);
void DecodeBmp(const TImageInput& in, const TImageFormat& format, TDecoded& out);
void DecodePng(const TImageInput& in, const TImageFormat& format, TDecoded& out);
void DecodeJpeg(const TImageInput& in, const TImageFormat& format, TDecoded& out);
void DecodeGif(const TImageInput& in, const TImageFormat& format, TDecoded& out);
void DecodeWithPlugin(const TImageInput& in, const TImageFormat& format, TDecoded& out);

// The writers. `bgra` holds w x h pixels in our order; withAlpha false writes colour only;
// straighten divides premultiplied colours by their alpha row by row as they are written.
std::vector<std::uint8_t> EncodePng(const std::string& name, const std::uint8_t* bgra, int w, int h, bool withAlpha,
                                    bool straighten = false);
// Premultiplied BGRA back to straight colours, w pixels: c * 255 / a rounded, capped at 255; 0
// where a is 0. `to` may be `from`.
void UnpremultiplyRow(const std::uint8_t* from, std::uint8_t* to, int w);
std::vector<std::uint8_t> EncodeTga(const std::uint8_t* bgra, int w, int h, bool withAlpha);
// Through the plug-in, into the file `name` (toMemory false) or into the returned bytes, the
// format chosen by name's extension. shownName is the name errors carry.
std::vector<std::uint8_t> EncodeWithPlugin(const std::string& name, const std::string& shownName,
                                           const std::uint8_t* bgra, int w, int h, bool withAlpha, bool toMemory);

// The plug-ins (qv_oiio_plugin.so, qv_resize_plugin.so): found next to the running executable,
// in ../lib/qv beside it, or where the build put them. Use...Plugin(path) replaces the search with
// one file ("" restores the search); a file that cannot be opened leaves the plug-in's work undone.
void UseCodecPlugin(const std::string& path);
void UseResizePlugin(const std::string& path);
// Bicubic resampling of 4-byte pixels (all bytes alike) through the resampling plug-in; false
// when there is none.
bool ResizeBicubic(const std::uint8_t* src, int sw, int sh, std::uint8_t* dst, int dw, int dh);

}  // namespace qv::image

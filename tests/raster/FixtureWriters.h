#pragma once
// Writers of small image files whose every pixel is known, for the image-file tests. TGA, BMP
// and GIF are written byte by byte; PNG through libpng and JPEG through libjpeg so that each of
// their variants (palette, 16-bit, interlaced, progressive, grey) can be asked for precisely.
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// An RGBA picture, rows top to bottom, 4 bytes per pixel in the order red, green, blue, alpha.
struct Rgba {
  int w = 0, h = 0;
  std::vector<std::uint8_t> px;
  const std::uint8_t* at(int x, int y) const { return &px[(std::size_t(y) * w + x) * 4]; }
  std::uint8_t* at(int x, int y) { return &px[(std::size_t(y) * w + x) * 4]; }
  // The pixel in bitmap order, 0xAARRGGBB.
  std::uint32_t Argb(int x, int y) const {
    const std::uint8_t* p = at(x, y);
    return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
  }
};

// 7 x 5 (by default) with a different colour and alpha at every pixel; (0, 0) is opaque and the
// bottom-right pixel fully transparent.
Rgba KnownPicture(int w = 7, int h = 5);
// Four solid quadrants (red, green, blue, white) for lossy formats.
Rgba Quadrants(int w = 32, int h = 32);

enum class TgaKind { TrueColor, Grey, ColorMapped };
struct TgaOptions {
  TgaKind kind = TgaKind::TrueColor;
  int bpp = 32;          // 16 (A1R5G5B5), 24 or 32 for true colour; 8 for grey and colour-mapped
  bool rle = false;
  bool topLeft = false;  // origin; false: bottom-left (rows stored bottom first)
  int entryBits = 24;    // colour-mapped: 16 (A1R5G5B5), 24 or 32 bits per palette entry
  int attributeBits = -1;  // alpha bits the header declares; -1: 8 for 32-bit pixels, else 0
  bool rightToLeft = false;  // columns stored right first
  int paletteFirst = 0;  // the colour map's first index (pixels store index + paletteFirst)
};
// Grey pictures use the red byte; colour-mapped ones a palette of the picture's distinct colours.
// 16-bit pixels and entries keep the top 5 bits of each colour and set the top bit for alpha >= 128.
std::vector<std::uint8_t> EncodeTga(const Rgba& pic, const TgaOptions& o);

enum class PngKind { Rgb, Rgba, Grey, GreyAlpha, Palette };
struct PngOptions {
  PngKind kind = PngKind::Rgba;
  int depth = 8;          // 8 or 16 (16: every sample is v * 257)
  bool interlaced = false;
  bool gamma = false;     // add a gAMA chunk (it must not change the pixels)
};
// Grey kinds use the red byte. Palette: one entry per distinct colour, with a tRNS chunk of alphas.
std::vector<std::uint8_t> EncodePng(const Rgba& pic, const PngOptions& o);

struct JpegOptions {
  bool grey = false;
  bool progressive = false;
};
std::vector<std::uint8_t> EncodeJpeg(const Rgba& pic, const JpegOptions& o);

// 24-bit BMP, rows bottom first, padded to 4 bytes.
std::vector<std::uint8_t> EncodeBmp24(const Rgba& pic);
struct BmpOptions {
  int bpp = 24;            // 1, 2, 4, 8 (palette), 16, 24, 32
  int headerSize = 40;     // 12 (core), 40, 56, 108, 124
  int compression = 0;     // 0 none, 1 RLE8 (8 bits), 3 bit fields (16, 32), 4 RLE24 (24 bits)
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha: in the header from 56 bytes on,
                                          // else after it (compression 3)
  bool topDown = false;    // rows stored top first (negative height)
};
// Palettes hold the picture's distinct colours (no alpha). 16 bits without masks: X1R5G5B5;
// 32 bits without masks: blue, green, red, alpha bytes. Masked channels keep the top bits of each
// byte. RLE8: one run packet per pixel, an end-of-line after each row, an end-of-bitmap at the end.
// RLE24 likewise, but each row starts with an absolute run of its first three pixels.
std::vector<std::uint8_t> EncodeBmp(const Rgba& pic, const BmpOptions& o);

struct GifOptions {
  bool interlaced = false;  // rows stored in the four passes
  int left = 0, top = 0;    // where the image sits on the logical screen
  int screenW = 0, screenH = 0;  // 0: the picture's size
};
// GIF89a with a global palette of the picture's distinct colours; pixels with alpha 0 use a
// transparent index. LZW data written uncompressed (a clear code every 250 codes).
std::vector<std::uint8_t> EncodeGif(const Rgba& pic, const GifOptions& o = {});

}  // namespace qv::test

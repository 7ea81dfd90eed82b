#include "raster/ImageFormats.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace qv::image {

namespace {

bool StartsWith(const std::uint8_t* h, std::size_t n, std::string_view sig) {
  return n >= sig.size() && std::memcmp(h, sig.data(), sig.size()) == 0;
}

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }
std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool IsPng(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "\x89PNG\r\n\x1a\n"); }
bool IsJpeg(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "\xff\xd8\xff"); }
bool IsGif(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "GIF87a") || StartsWith(h, n, "GIF89a"); }
bool IsBmp(const std::uint8_t* h, std::size_t n) {
  if (!StartsWith(h, n, "BM") || n < 18) return false;
  const std::uint32_t hs = Le32(h + 14);
  return hs == 12 || hs == 40 || hs == 52 || hs == 56 || hs == 64 || hs == 108 || hs == 124;
}
bool IsTiff(const std::uint8_t* h, std::size_t n) {
  return StartsWith(h, n, std::string_view("II*\0", 4)) || StartsWith(h, n, std::string_view("MM\0*", 4));
}
bool IsPsd(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "8BPS"); }
bool IsDds(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "DDS "); }
bool IsHdr(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "#?RADIANCE") || StartsWith(h, n, "#?RGBE"); }
bool IsExr(const std::uint8_t* h, std::size_t n) { return StartsWith(h, n, "\x76\x2f\x31\x01"); }
bool IsWebp(const std::uint8_t* h, std::size_t n) {
  return n >= 12 && StartsWith(h, n, "RIFF") && std::memcmp(h + 8, "WEBP", 4) == 0;
}
bool IsPnm(const std::uint8_t* h, std::size_t n) {
  return n >= 3 && h[0] == 'P' && ((h[1] >= '1' && h[1] <= '6') || h[1] == 'f' || h[1] == 'F') &&
         (h[2] == '\n' || h[2] == '\r' || h[2] == ' ' || h[2] == '\t');
}

// A TGA header that makes sense: TGA files carry no signature, so this is all there is to go on.
bool IsTga(const std::uint8_t* h, std::size_t n) {
  if (n < 18) return false;
  const int cmapType = h[1], type = h[2], bpp = h[16];
  const int w = h[12] | (h[13] << 8), hgt = h[14] | (h[15] << 8);
  if (cmapType > 1 || w == 0 || hgt == 0) return false;
  switch (type) {
    case 1: case 9:  // colour-mapped
      return cmapType == 1 && (bpp == 8 || bpp == 16) &&
             (h[7] == 15 || h[7] == 16 || h[7] == 24 || h[7] == 32);
    case 2: case 10:  // true colour
      return bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32;
    case 3: case 11:  // grey
      return bpp == 8 || bpp == 16;
    default:
      return false;
  }
}

bool PngSize(const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {  // IHDR
  if (n < 24) return false;
  w = Be32(h + 16);
  ht = Be32(h + 20);
  return true;
}
bool GifSize(const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {  // logical screen
  if (n < 10) return false;
  w = Le16(h + 6);
  ht = Le16(h + 8);
  return true;
}
bool BmpSize(const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {
  if (Le32(h + 14) == 12) {
    if (n < 22) return false;
    w = Le16(h + 18);
    ht = Le16(h + 20);
  } else {
    if (n < 26) return false;
    w = std::int32_t(Le32(h + 18));
    ht = std::int32_t(Le32(h + 22));
    if (ht < 0) ht = -ht;  // top-down rows
  }
  return true;
}
bool TgaSize(const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {
  if (n < 16) return false;
  w = Le16(h + 12);
  ht = Le16(h + 14);
  return true;
}
bool PsdSize(const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {
  if (n < 22) return false;
  ht = Be32(h + 14);
  w = Be32(h + 18);
  return true;
}
bool DdsSize(const std::uint8_t* h, std::size_t n, std::int64_t& w, std::int64_t& ht) {
  if (n < 20) return false;
  ht = Le32(h + 12);
  w = Le32(h + 16);
  return true;
}

// In the order they are tried: signatures first, TGA (a plausible header) last.
const TImageFormat kFormats[] = {
    {"png", "png", IsPng, PngSize, DecodePng, true},
    {"jpeg", "jpg jpeg jpe jfif", IsJpeg, nullptr, DecodeJpeg, true},
    {"gif", "gif", IsGif, GifSize, DecodeGif, true},
    {"bmp", "bmp dib", IsBmp, BmpSize, DecodeBmp, true},
    {"tiff", "tif tiff", IsTiff, nullptr, DecodeWithPlugin, false},
    {"psd", "psd", IsPsd, PsdSize, DecodeWithPlugin, false},
    {"dds", "dds", IsDds, DdsSize, DecodeWithPlugin, false},
    {"hdr", "hdr", IsHdr, nullptr, DecodeWithPlugin, false},
    {"openexr", "exr", IsExr, nullptr, DecodeWithPlugin, false},
    {"webp", "webp", IsWebp, nullptr, DecodeWithPlugin, false},
    {"pnm", "pnm pbm pgm ppm pfm", IsPnm, nullptr, DecodeWithPlugin, false},
    {"targa", "tga", IsTga, TgaSize, DecodeTga, true},
};

}  // namespace

std::span<const TImageFormat> ImageFormats() { return kFormats; }

const TImageFormat* FindImageFormat(const std::uint8_t* head, std::size_t n) {
  for (const TImageFormat& f : kFormats)
    if (f.sniff(head, n)) return &f;
  return nullptr;
}

std::vector<std::string> PictureExtensions() {
  std::vector<std::string> all;
  for (const TImageFormat& f : kFormats) {
    std::string_view list = f.extensions;
    while (!list.empty()) {
      const std::size_t blank = list.find(' ');
      all.emplace_back(list.substr(0, blank));
      list = blank == std::string_view::npos ? std::string_view() : list.substr(blank + 1);
    }
  }
  return all;
}

bool IsPictureExtension(std::string_view ext) {
  if (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
  if (ext.empty()) return false;
  std::string lower(ext);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const std::string& e : PictureExtensions()) {
    if (e == lower) return true;
  }
  return false;
}

bool TooLarge(std::int64_t w, std::int64_t h) {
  return w > TmemoryBitmap::MaxSide || h > TmemoryBitmap::MaxSide || w * h > TmemoryBitmap::MaxPixels;
}

void ThrowTooLarge(const std::string& name, std::int64_t w, std::int64_t h) {
  throw EImageError(name, "image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large");
}

void ThrowDamaged(const std::string& name, const TImageFormat& format, const std::string& detail) {
  throw EImageError(name, std::string("damaged ") + format.name + " image: " + detail);
}

std::uint8_t* Reserve(TDecoded& out, const std::string& name, std::int64_t w, std::int64_t h) {
  if (TooLarge(w, h)) ThrowTooLarge(name, w, h);
  out.pixels.Resize(int(w), int(h), false);
  return out.pixels.Bits;
}

void TDecoded::ConvertTo(std::uint8_t* to) const {
  const std::size_t count = pixels.ByteSize() / 4;
  if (bgra) {
    if (to != pixels.Bits) std::memcpy(to, pixels.Bits, count * 4);
    return;
  }
  const std::uint32_t* p = reinterpret_cast<const std::uint32_t*>(pixels.Bits);
  std::uint32_t* q = reinterpret_cast<std::uint32_t*>(to);
  switch (channels) {
    case 1:
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t g = p[i] & 0xFF;
        q[i] = 0xFF000000u | (g << 16) | (g << 8) | g;
      }
      break;
    case 2:
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t g = p[i] & 0xFF;
        const std::uint32_t a = hasAlpha ? (p[i] >> 8) & 0xFF : 0xFF;
        q[i] = (a << 24) | (g << 16) | (g << 8) | g;
      }
      break;
    case 3:
      for (std::size_t i = 0; i < count; ++i) q[i] = 0xFF000000u | SwapRedBlue(p[i] & 0xFFFFFF);
      break;
    default:
      if (hasAlpha)
        for (std::size_t i = 0; i < count; ++i) q[i] = SwapRedBlue(p[i]);
      else
        for (std::size_t i = 0; i < count; ++i) q[i] = 0xFF000000u | SwapRedBlue(p[i] & 0xFFFFFF);
      break;
  }
}

}  // namespace qv::image

// Our TGA reader and writer. Reading: true colour (15, 16, 24, 32 bits), grey (8 bits, 16 with alpha) and colour-mapped
// (8- or 16-bit indices into 15-, 16-, 24- or 32-bit entries), each raw or run-length encoded,
// with any origin. Alpha: the fourth byte of 32-bit pixels and entries; the top bit of 16-bit ones
// only when the header declares an attribute bit; the second byte of 16-bit grey; none of them
// when a TGA 2.0 extension area says the attribute bits hold no alpha. Writing:
// uncompressed 32-bit with 8 alpha bits, or 24-bit, rows bottom first.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

// 5 bits to 8 by repeating the top bits.
constexpr std::uint32_t Five(std::uint32_t v) { return (v << 3) | (v >> 2); }

// A pixel or colour-map entry of `bytes` bytes as 0xAARRGGBB.
struct TPixelForm {
  int bytes;         // 1 (grey), 2 (16-bit colour or grey + alpha), 3, 4
  bool grey;
  bool alpha;        // the stored alpha counts (otherwise opaque)

  std::uint32_t operator()(const std::uint8_t* p) const {
    switch (bytes) {
      case 1:
        return 0xFF000000u | (std::uint32_t(p[0]) * 0x010101u);
      case 2:
        if (grey) return (alpha ? std::uint32_t(p[1]) << 24 : 0xFF000000u) | (std::uint32_t(p[0]) * 0x010101u);
        {
          const std::uint32_t v = Le16(p);
          const std::uint32_t a = alpha ? ((v & 0x8000) ? 0xFF000000u : 0u) : 0xFF000000u;
          return a | (Five((v >> 10) & 31) << 16) | (Five((v >> 5) & 31) << 8) | Five(v & 31);
        }
      case 3:
        return 0xFF000000u | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
      default:
        return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    }
  }
};

// The attributes type of a TGA 2.0 extension area (0 to 2: the alpha bits mean nothing; 3
// alpha; 4 premultiplied alpha), or -1 when the file has no extension area.
int AttributesType(const std::uint8_t* d, std::size_t n) {
  if (n < 18 + 26 || std::memcmp(d + n - 18, "TRUEVISION-XFILE.\0", 18) != 0) return -1;
  const std::size_t ext = Le16(d + n - 26) | (std::size_t(Le16(d + n - 24)) << 16);
  if (ext < 18 || ext > n - 26 || n - 26 - ext < 495 || Le16(d + ext) < 495) return -1;
  return d[ext + 494];
}

}  // namespace

void DecodeTga(const TImageInput& in, const TImageFormat& format, TDecoded& out) {
  const std::uint8_t* d = in.data;
  const std::size_t n = in.size;
  auto damaged = [&](const char* why) { ThrowDamaged(in.name, format, why); };
  if (n < 18) damaged("the header is cut short");
  const int idLength = d[0], cmapType = d[1], type = d[2];
  const int cmapFirst = int(Le16(d + 3)), cmapLength = int(Le16(d + 5)), cmapBits = d[7];
  const int w = int(Le16(d + 12)), h = int(Le16(d + 14)), bpp = d[16], descriptor = d[17];
  // Alpha bits count unless an extension area says they hold nothing.
  const int attributesType = AttributesType(d, n);
  const bool alphaMeant = attributesType < 0 || attributesType >= 3;
  const int attributeBits = alphaMeant ? descriptor & 0x0F : 0;
  const bool rightToLeft = descriptor & 0x10, topDown = descriptor & 0x20;
  const bool rle = type >= 9;
  const bool mapped = (type & 7) == 1, grey = (type & 7) == 3;

  std::size_t at = 18 + std::size_t(idLength);
  // Colour map: stored whenever the header says there is one, also before true-colour pixels.
  std::vector<std::uint32_t> palette;
  if (cmapType == 1) {
    const int entryBytes = (cmapBits + 7) / 8;
    const std::size_t mapBytes = std::size_t(cmapLength) * std::size_t(entryBytes);
    if (at > n || n - at < mapBytes) damaged("the colour map is cut short");
    if (mapped) {
      const TPixelForm entry{entryBytes, false, (entryBytes == 4 && alphaMeant) || (entryBytes == 2 && attributeBits > 0)};
      palette.resize(std::size_t(cmapLength));
      for (int i = 0; i < cmapLength; ++i) palette[std::size_t(i)] = entry(d + at + std::size_t(i) * entryBytes);
    }
    at += mapBytes;
  }
  if (mapped && palette.empty()) damaged("no colour map");

  const int pixelBytes = (bpp + 7) / 8;
  const TPixelForm form{pixelBytes, grey, (pixelBytes == 4 && alphaMeant) || (pixelBytes == 2 && (grey ? alphaMeant : attributeBits > 0))};
  std::uint8_t* bits = Reserve(out, in.name, w, h);
  const std::size_t count = std::size_t(w) * std::size_t(h);

  // One stored pixel's colour; indices outside the colour map make the file damaged.
  std::uint32_t* px = reinterpret_cast<std::uint32_t*>(bits);
  auto colour = [&](const std::uint8_t* p) -> std::uint32_t {
    if (!mapped) return form(p);
    const int index = (pixelBytes == 1 ? p[0] : int(Le16(p))) - cmapFirst;
    if (index < 0 || index >= cmapLength) damaged("a colour index lies outside the colour map");
    return palette[std::size_t(index)];
  };

  // Pixels in stored order first; rows are put in place afterwards.
  if (at > n) damaged("the pixels are cut short");
  const std::uint8_t* p = d + at;
  const std::uint8_t* end = d + n;
  if (!rle) {
    if (std::size_t(end - p) / std::size_t(pixelBytes) < count) damaged("the pixels are cut short");
    for (std::size_t i = 0; i < count; ++i, p += pixelBytes) px[i] = colour(p);
  } else {
    std::size_t i = 0;
    while (i < count) {
      if (p >= end) damaged("the pixels are cut short");
      const int header = *p++;
      const std::size_t length = std::min<std::size_t>(std::size_t(header & 0x7F) + 1, count - i);
      if (header & 0x80) {
        if (end - p < pixelBytes) damaged("the pixels are cut short");
        const std::uint32_t c = colour(p);
        p += pixelBytes;
        for (std::size_t k = 0; k < length; ++k) px[i + k] = c;
      } else {
        if (std::size_t(end - p) / std::size_t(pixelBytes) < length) damaged("the pixels are cut short");
        for (std::size_t k = 0; k < length; ++k, p += pixelBytes) px[i + k] = colour(p);
      }
      // A packet that runs past the last pixel is cut there.
      i += length;
    }
  }

  // Stored rows bottom first unless the origin is at the top; columns mirrored for a right origin.
  if (!topDown) {
    const std::size_t row = std::size_t(w);
    for (int y = 0; y < h / 2; ++y) std::swap_ranges(px + row * std::size_t(y), px + row * std::size_t(y + 1),
                                                     px + row * std::size_t(h - 1 - y));
  }
  if (rightToLeft)
    for (int y = 0; y < h; ++y) std::reverse(px + std::size_t(y) * w, px + std::size_t(y + 1) * w);
  out.bgra = true;
}

std::vector<std::uint8_t> EncodeTga(const std::uint8_t* bgra, int w, int h, bool withAlpha) {
  if (w > 65535 || h > 65535) throw std::range_error("a TGA file holds at most 65535 pixels on a side");
  const int bytesPP = withAlpha ? 4 : 3;
  std::vector<std::uint8_t> v(18 + std::size_t(w) * std::size_t(h) * std::size_t(bytesPP), 0);
  v[2] = 2;
  v[12] = std::uint8_t(w & 0xFF);
  v[13] = std::uint8_t(w >> 8);
  v[14] = std::uint8_t(h & 0xFF);
  v[15] = std::uint8_t(h >> 8);
  v[16] = std::uint8_t(bytesPP * 8);
  v[17] = withAlpha ? 8 : 0;  // alpha bits; rows bottom first
  std::uint8_t* to = v.data() + 18;
  for (int i = 0; i < h; ++i) {
    const std::uint8_t* from = bgra + std::size_t(h - 1 - i) * std::size_t(w) * 4;
    if (withAlpha) {
      std::memcpy(to, from, std::size_t(w) * 4);
      to += std::size_t(w) * 4;
    } else {
      for (int x = 0; x < w; ++x, to += 3) std::memcpy(to, from + 4 * x, 3);
    }
  }
  return v;
}

}  // namespace qv::image

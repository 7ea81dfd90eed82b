// Our BMP reader: the core (OS/2 1.x) header and the Windows headers of 40 to 124 bytes; 1-, 2-, 4-
// and 8-bit palettes, RLE4 and RLE8; 16- and 32-bit pixels with or without bit masks; 24-bit
// pixels, raw or run-length encoded (OS/2's RLE24);
// rows bottom first or (negative height) top first. Pixels that RLE data skips stay transparent
// black. Alpha: the fourth byte of 32-bit pixels without masks, or the alpha mask; a picture
// whose every alpha is 0 is opaque (the writer left the byte unused).
#include <algorithm>
#include <cstring>
#include <vector>

#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

// One channel of a masked pixel, scaled to 8 bits by repeating its top bits (5 bits: v << 3 | v >> 2).
struct TMask {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  explicit TMask(std::uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  std::uint32_t operator()(std::uint32_t v) const {
    if (!mask) return 0;
    const std::uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return (x >> (bits - 8)) & 0xFF;
    std::uint32_t y = x << (8 - bits);
    for (int s = bits; s < 8; s += bits) y |= y >> s;
    return y & 0xFF;
  }
};

// Compression 4 is JPEG data in Windows files and RLE24 in OS/2 ones: with 24 bits per pixel it
// can only be the latter.
enum { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kRle24 = 4, kAlphaBitfields = 6 };

}  // namespace

void DecodeBmp(const TImageInput& in, const TImageFormat& format, TDecoded& out) {
  const std::uint8_t* d = in.data;
  const std::size_t n = in.size;
  auto damaged = [&](const char* why) { ThrowDamaged(in.name, format, why); };
  if (n < 26) damaged("the header is cut short");
  const std::uint32_t offset = Le32(d + 10);
  const std::uint32_t headerSize = Le32(d + 14);
  const bool core = headerSize == 12;
  if (n < 14 + std::size_t(headerSize)) damaged("the header is cut short");
  std::int64_t w, h;
  int bpp;
  std::uint32_t compression = kRgb, colours = 0;
  if (core) {
    w = Le16(d + 18);
    h = Le16(d + 20);
    bpp = int(Le16(d + 24));
  } else {
    w = std::int32_t(Le32(d + 18));
    h = std::int32_t(Le32(d + 22));
    bpp = int(Le16(d + 28));
    compression = Le32(d + 30);
    colours = Le32(d + 46);
  }
  const bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0) damaged("invalid size");
  if (TooLarge(w, h)) ThrowTooLarge(in.name, w, h);

  // Masks: in the header from 52 bytes on, or after a 40-byte header that asks for them.
  std::size_t at = 14 + headerSize;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  const bool masked = compression == kBitfields || compression == kAlphaBitfields;
  if (masked) {
    const int count = compression == kAlphaBitfields ? 4 : 3;
    if (headerSize == 40) {
      if (n < at + 4 * std::size_t(count)) damaged("the bit masks are cut short");
      for (int i = 0; i < count; ++i) masks[i] = Le32(d + at + 4 * i);
      at += 4 * std::size_t(count);
    } else if (headerSize >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = Le32(d + 54 + 4 * i);
      if (headerSize >= 56) masks[3] = Le32(d + 66);
    } else {
      damaged("unsupported header");
    }
  } else if (compression != kRgb && compression != kRle8 && compression != kRle4 &&
             !(compression == kRle24 && bpp == 24)) {
    damaged("unsupported compression");
  }
  if (compression == kRle8 && bpp != 8) damaged("RLE8 data needs 8 bits per pixel");
  if (compression == kRle4 && bpp != 4) damaged("RLE4 data needs 4 bits per pixel");
  if (masked && bpp != 16 && bpp != 32) damaged("bit masks need 16 or 32 bits per pixel");
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) damaged("unsupported bit count");

  // Palette: the entries the header counts (all 2^bpp when it says 0), as many as fit before the pixels.
  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    const std::size_t entryBytes = core ? 3 : 4;
    std::size_t entries = colours == 0 || colours > (1u << bpp) ? (std::size_t(1) << bpp) : colours;
    const std::size_t room = offset > at ? (std::min<std::size_t>(offset, n) - std::min(at, n)) / entryBytes : 0;
    entries = std::min(entries, room);
    if (entries == 0) damaged("no palette");
    palette.assign(std::size_t(1) << bpp, 0xFF000000u);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* e = d + at + i * entryBytes;
      palette[i] = 0xFF000000u | (std::uint32_t(e[2]) << 16) | (std::uint32_t(e[1]) << 8) | e[0];
    }
  }
  if (offset >= n) damaged("the pixels are cut short");

  std::uint8_t* bits = Reserve(out, in.name, w, h);
  std::uint32_t* px = reinterpret_cast<std::uint32_t*>(bits);
  auto rowOf = [&](std::int64_t stored) { return px + std::size_t(topDown ? stored : h - 1 - stored) * std::size_t(w); };
  const std::uint8_t* p = d + offset;
  const std::uint8_t* end = d + n;

  if (compression == kRle8 || compression == kRle4 || compression == kRle24) {
    std::fill(px, px + std::size_t(w) * std::size_t(h), 0u);
    std::int64_t x = 0, y = 0;
    // An index (RLE4, RLE8) or, for RLE24, the three bytes at `q`.
    auto put = [&](std::uint32_t index, const std::uint8_t* q = nullptr) {
      if (x < w && y < h) {
        rowOf(y)[x] = q != nullptr ? 0xFF000000u | (std::uint32_t(q[2]) << 16) | (std::uint32_t(q[1]) << 8) | q[0]
                                   : palette[index & ((1u << bpp) - 1)];
      }
      ++x;
    };
    while (y < h) {
      if (end - p < 2) damaged("the pixels are cut short");
      const int count = p[0], value = p[1];
      if (count > 0 && bpp == 24) {  // a run of one colour
        if (end - p < 4) damaged("the pixels are cut short");
        for (int k = 0; k < count; ++k) put(0, p + 1);
        p += 4;
        continue;
      }
      p += 2;
      if (count > 0) {  // a run: one index, or two alternating nibbles
        for (int k = 0; k < count; ++k) put(bpp == 8 ? value : (k & 1 ? value & 15 : value >> 4));
      } else if (value == 0) {  // end of line
        x = 0;
        ++y;
      } else if (value == 1) {  // end of bitmap
        break;
      } else if (value == 2) {  // move right and down
        if (end - p < 2) damaged("the pixels are cut short");
        x += p[0];
        y += p[1];
        p += 2;
      } else {  // `value` indices stored as they are, padded to 16 bits
        const std::size_t bytes = bpp == 24 ? 3 * std::size_t(value)
                                  : bpp == 8 ? std::size_t(value)
                                             : (std::size_t(value) + 1) / 2;
        const std::size_t padded = (bytes + 1) & ~std::size_t(1);
        if (std::size_t(end - p) < padded) damaged("the pixels are cut short");
        for (int k = 0; k < value; ++k) {
          if (bpp == 24) put(0, p + 3 * k);
          else put(bpp == 8 ? p[k] : (k & 1 ? p[k / 2] & 15 : p[k / 2] >> 4));
        }
        p += padded;
      }
    }
    out.bgra = true;
    return;
  }

  const std::size_t stride = ((std::size_t(w) * std::size_t(bpp) + 31) / 32) * 4;
  if (std::size_t(end - p) / stride < std::size_t(h)) damaged("the pixels are cut short");
  if (!masked && bpp == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  const TMask r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  for (std::int64_t y = 0; y < h; ++y, p += stride) {
    std::uint32_t* row = rowOf(y);
    switch (bpp) {
      case 1: case 2: case 4: case 8: {
        const int perByte = 8 / bpp;
        const std::uint32_t lowMask = (1u << bpp) - 1;
        for (std::int64_t x = 0; x < w; ++x) {
          const int shift = 8 - bpp * (int(x % perByte) + 1);
          row[x] = palette[(p[x / perByte] >> shift) & lowMask];
        }
        break;
      }
      case 24:
        for (std::int64_t x = 0; x < w; ++x) {
          const std::uint8_t* q = p + 3 * x;
          row[x] = 0xFF000000u | (std::uint32_t(q[2]) << 16) | (std::uint32_t(q[1]) << 8) | q[0];
        }
        break;
      case 32:
        if (!masked) {
          for (std::int64_t x = 0; x < w; ++x) {
            const std::uint8_t* q = p + 4 * x;
            row[x] = (std::uint32_t(q[3]) << 24) | (std::uint32_t(q[2]) << 16) | (std::uint32_t(q[1]) << 8) | q[0];
          }
          break;
        }
        [[fallthrough]];
      default:  // 16 bits, or 32 with masks
        for (std::int64_t x = 0; x < w; ++x) {
          const std::uint32_t v = bpp == 16 ? Le16(p + 2 * x) : Le32(p + 4 * x);
          const std::uint32_t alpha = masks[3] ? a(v) : 255;
          row[x] = (alpha << 24) | (r(v) << 16) | (g(v) << 8) | b(v);
        }
        break;
    }
  }
  // Many writers leave the alpha byte (or bits) at zero: a picture with no visible pixel at all
  // is taken as one without alpha.
  const bool alphaStored = (bpp == 32 && !masked) || masks[3] != 0;
  if (alphaStored) {
    const std::size_t count = std::size_t(w) * std::size_t(h);
    if (std::all_of(px, px + count, [](std::uint32_t v) { return (v >> 24) == 0; }))
      for (std::size_t i = 0; i < count; ++i) px[i] |= 0xFF000000u;
  }
  out.bgra = true;
}

}  // namespace qv::image

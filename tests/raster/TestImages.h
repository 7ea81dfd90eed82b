#pragma once
// Helpers for raster tests: bitmaps whose every pixel is known.
#include <cstdint>
#include <string>

#include "raster/Bitmap.h"

namespace qv::test {

// A pixel value that tells where it came from: blue = x, green = y, red = tag, alpha = 255 - x.
inline std::uint32_t Marker(int x, int y, int tag = 0x80) {
  return (std::uint32_t(255 - x) << 24) | (std::uint32_t(tag & 0xFF) << 16) | (std::uint32_t(y & 0xFF) << 8) |
         std::uint32_t(x & 0xFF);
}

inline TmemoryBitmap MarkedBitmap(int w, int h, int tag = 0x80) {
  TmemoryBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, Marker(x, y, tag));
  return b;
}

inline TmemoryBitmap Filled(int w, int h, std::uint32_t argb) {
  TmemoryBitmap b(w, h);
  b.Fill(argb);
  return b;
}

inline std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

}  // namespace qv::test

#include "raster/Checkerboard.h"

#include <cstdint>

namespace qv {

TStreamedBitmap MakeCheckerboard(int Width, int Height) {
  TStreamedBitmap grid(Width, Height);
  if (grid.Empty()) return grid;
  constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
  constexpr std::uint32_t kGrey = 0xFFCCCCCCu;
  for (int y = 0; y < Height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(grid.PixelPtr(0, y));
    const int j = y / 8;
    for (int x = 0; x < Width; ++x) row[x] = ((x / 8 + j) & 1) == 0 ? kWhite : kGrey;
  }
  return grid;
}

}  // namespace qv

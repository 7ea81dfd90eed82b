#pragma once
// Reads back the frames qvrender and the raster engine write: uncompressed 32-bit TGA, an 18-byte
// header and rows bottom first.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace qv::test {

struct TTgaImage {
  int w = 0, h = 0;
  std::string pixels;  // rows top first, 4 bytes a pixel: blue, green, red, alpha
  // Blue, green, red, alpha of the pixel (x, y), y counted from the top.
  std::array<std::uint8_t, 4> At(int x, int y) const {
    const char* p = &pixels[(std::size_t(y) * w + x) * 4];
    return {std::uint8_t(p[0]), std::uint8_t(p[1]), std::uint8_t(p[2]), std::uint8_t(p[3])};
  }
};

// The picture of File; an empty one (0 x 0) when the file is missing or not of that form.
TTgaImage ReadTga(const std::filesystem::path& File);

}  // namespace qv::test

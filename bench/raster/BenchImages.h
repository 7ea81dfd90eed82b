#pragma once
// Shared test pictures for the raster benchmarks: the composition's 768 x 576 frame size.
#include <cstdint>
#include <random>
#include <vector>

namespace qvbench {

constexpr int kFrameW = 768, kFrameH = 576;

// A premultiplied layer with varied alpha: soft gradients with a ramp of transparency, plus
// fully transparent and fully opaque stretches, as graphics pages have.
inline std::vector<std::uint32_t> PremultipliedLayer(int w = kFrameW, int h = kFrameH) {
  std::vector<std::uint32_t> px(std::size_t(w) * h);
  std::mt19937 rng(7);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t a = (x * 255 / (w - 1) + (rng() & 15)) & 0xFF;
      if (y < h / 8) a = 0;
      if (y > h * 7 / 8) a = 255;
      const std::uint32_t r = (x ^ y) & 0xFF, g = (x + 2 * y) & 0xFF, b = (3 * x + y) & 0xFF;
      px[std::size_t(y) * w + x] = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
    }
  return px;
}

// An opaque background.
inline std::vector<std::uint32_t> Background(int w = kFrameW, int h = kFrameH) {
  std::vector<std::uint32_t> px(std::size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[std::size_t(y) * w + x] = 0xFF000000u | ((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | 0x40;
  return px;
}

// A coverage picture (text-like: mostly 0 or 255 with soft edges), one byte per pixel.
inline std::vector<std::uint8_t> Coverage(int w = kFrameW, int h = kFrameH) {
  std::vector<std::uint8_t> c(std::size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int v = ((x / 9 + y / 13) % 3 == 0) ? 255 : ((x % 9) * 30);
      c[std::size_t(y) * w + x] = std::uint8_t(v > 255 ? 255 : v);
    }
  return c;
}

}  // namespace qvbench

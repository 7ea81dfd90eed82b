#pragma once
// Test pictures written with the codec library directly, so the files do not depend on the
// raster code under test.
#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::test {

// Straight (unweighted) RGBA bytes, rows top first.
struct TRgbaImage {
  int w = 0, h = 0;
  std::vector<std::uint8_t> rgba;
  TRgbaImage() = default;
  TRgbaImage(int W, int H) : w(W), h(H), rgba(std::size_t(W) * H * 4) {}
  void Set(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    std::uint8_t* p = &rgba[(std::size_t(y) * w + x) * 4];
    p[0] = r, p[1] = g, p[2] = b, p[3] = a;
  }
  // Every pixel different: the image shows a flipped row or swapped channels at once.
  static TRgbaImage Pattern(int W, int H, std::uint8_t seed, std::uint8_t alpha = 255) {
    TRgbaImage img(W, H);
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        img.Set(x, y, std::uint8_t(seed + x * 7), std::uint8_t(seed + y * 13), std::uint8_t(seed ^ (x + y)), alpha);
      }
    }
    return img;
  }
};

inline void WriteImage(const std::filesystem::path& file, const TRgbaImage& img) {
  auto out = OIIO::ImageOutput::create(file.string());
  if (!out) throw std::runtime_error("no writer for " + file.string());
  OIIO::ImageSpec spec(img.w, img.h, 4, OIIO::TypeDesc::UINT8);
  spec.attribute("oiio:UnassociatedAlpha", 1);
  if (!out->open(file.string(), spec) || !out->write_image(OIIO::TypeDesc::UINT8, img.rgba.data())) {
    throw std::runtime_error("cannot write " + file.string());
  }
  out->close();
}

// Reads an image's bytes as they are stored (no alpha weighting), as RGBA.
inline TRgbaImage ReadImage(const std::filesystem::path& file) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(file.string(), &config);
  if (!in) throw std::runtime_error("cannot open " + file.string());
  const OIIO::ImageSpec& spec = in->spec();
  TRgbaImage img(spec.width, spec.height);
  std::vector<std::uint8_t> raw(std::size_t(spec.width) * spec.height * spec.nchannels);
  in->read_image(0, 0, 0, spec.nchannels, OIIO::TypeDesc::UINT8, raw.data());
  for (std::size_t i = 0; i < std::size_t(spec.width) * spec.height; ++i) {
    for (int c = 0; c < 4; ++c) {
      img.rgba[i * 4 + c] = c < spec.nchannels ? raw[i * spec.nchannels + c] : 255;
    }
  }
  return img;
}

}  // namespace qv::test

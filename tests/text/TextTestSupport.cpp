#include "TextTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {

namespace {

std::unique_ptr<TQtTextRenderer> gQt;

// Creates the application and the Qt renderer on the main thread before any test runs.
class TQtEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    gQt = std::make_unique<TQtTextRenderer>();
  }
  void TearDown() override { gQt.reset(); }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace

const TQtTextRenderer& QtRenderer() { return *gQt; }

TInk InkOf(const std::uint8_t* bits, int width, int height, int byteIndex) {
  TInk ink;
  int left = width, top = height, right = 0, bottom = 0;
  double sx = 0, sy = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int c = bits[(std::size_t(y) * width + x) * 4 + byteIndex];
      if (c == 0) continue;
      left = std::min(left, x);
      top = std::min(top, y);
      right = std::max(right, x + 1);
      bottom = std::max(bottom, y + 1);
      ink.Mass += c;
      sx += double(c) * (x + 0.5);
      sy += double(c) * (y + 0.5);
    }
  }
  if (ink.Mass > 0) {
    ink.Left = left;
    ink.Top = top;
    ink.Right = right;
    ink.Bottom = bottom;
    ink.CentreX = sx / ink.Mass;
    ink.CentreY = sy / ink.Mass;
  }
  return ink;
}

std::vector<std::uint8_t> DrawWithQt(const std::string& Text, const TFontSpec& Font, TReadingOrder Order,
                                     int& Width, int& Height) {
  const TTextExtent e = QtRenderer().Measure(Text, Font);
  Width = e.Width + 8;
  Height = e.Height + 8;
  std::vector<std::uint8_t> bits(std::size_t(Width) * Height * 4, 0);
  QtRenderer().Draw(Text, Font, Order, Width, TTextSurface{bits.data(), Width, Height, 0, 0});
  return bits;
}

}  // namespace qv::test

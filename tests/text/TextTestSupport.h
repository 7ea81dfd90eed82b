#pragma once
// Shared by the text tests: a fake renderer that draws known coverage, the installed Qt renderer,
// and measurements of ink in a bitmap.
#include "composition/CompositionContext.h"
#include "composition/TextRender.h"
#include "platform/QtTextRenderer.h"
#include "platform/TextRenderer.h"
#include "raster/Bitmap.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qv::test {

// The Qt renderer the test program makes before the first test (with the application).
const TQtTextRenderer& QtRenderer();

// Measures every text as CharWidth(p) per byte by 2p pixels (p = point size), unless Extent says
// otherwise, and draws Coverage(x, y) at each pixel of the layout box (255 everywhere unless told
// otherwise), honouring the surface's origin. Records what it was asked.
class TFakeTextRenderer final : public TTextRenderer {
 public:
  static int CharWidth(int p) { return (p * 15 + 15) / 16; }

  std::function<TTextExtent(std::string_view, const TFontSpec&)> Extent;
  std::function<std::uint8_t(int x, int y)> Coverage;

  TTextExtent Measure(std::string_view Text, const TFontSpec& Font) const override {
    std::lock_guard lock(fMutex);
    measured.push_back(Font);
    if (Extent) return Extent(Text, Font);
    return {static_cast<int>(Text.size()) * CharWidth(Font.PointSize), 2 * Font.PointSize};
  }
  void Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder Order, int BoxWidth,
            const TTextSurface& S) const override {
    {
      std::lock_guard lock(fMutex);
      drawn.push_back({std::string(Text), Font, Order, BoxWidth, S.Width, S.Height, S.OriginX, S.OriginY});
    }
    for (int y = 0; y < S.Height; ++y) {
      for (int x = 0; x < S.Width; ++x) {
        const std::uint8_t c = Coverage ? Coverage(S.OriginX + x, S.OriginY + y) : 255;
        std::uint8_t* p = S.Bits + (std::size_t(y) * S.Width + x) * 4;
        p[0] = p[1] = p[2] = p[3] = c;
      }
    }
  }

  struct TDrawCall {
    std::string Text;
    TFontSpec Font;
    TReadingOrder Order;
    int BoxWidth, Width, Height, OriginX, OriginY;
  };
  mutable std::vector<TFontSpec> measured;
  mutable std::vector<TDrawCall> drawn;

 private:
  mutable std::mutex fMutex;
};

// A composition's context whose text goes through Renderer (the Qt one unless told otherwise).
inline TCompositionContext TextContext(const TTextRenderer* Renderer) { return {.TextRenderer = Renderer}; }
inline TCompositionContext TextContext() { return TextContext(&QtRenderer()); }

// Where the ink of a surface is: coverage taken from one byte of each pixel.
struct TInk {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // bounding box, Right/Bottom excluded; empty: all 0
  double Mass = 0;                              // sum of coverage
  double CentreX = 0, CentreY = 0;              // coverage-weighted centre
  bool Empty() const { return Mass == 0; }
};
TInk InkOf(const std::uint8_t* bits, int width, int height, int byteIndex = 0);
inline TInk InkOf(const TmemoryBitmap& b, int byteIndex = 0) { return InkOf(b.Bits, b.Width(), b.Height(), byteIndex); }

// Draws Text with the Qt renderer into a fresh surface as large as its measure plus Pad on each
// side (centred box), and returns the surface.
std::vector<std::uint8_t> DrawWithQt(const std::string& Text, const TFontSpec& Font, TReadingOrder Order,
                                     int& Width, int& Height);

}  // namespace qv::test

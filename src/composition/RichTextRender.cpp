#include "composition/RichTextRender.h"

#include "raster/GaussianBlur.h"
#include "raster/RowKernels.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace qv {

namespace {

// The contour's widening table for rich text: T[i] = min(255, 6 i).
TTable RichContourTable() {
  TTable t;
  for (int i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(std::min(255, 6 * i));
  return t;
}

bool Blank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

}  // namespace

std::unique_ptr<TTextStrip> RenderRichTextLine(const TRichEdit& Engine, int Line, const TShadowStyle& Shadow,
                                               const TContourStyle& Contour, int Factor, int& Dx, int& Dy,
                                               int& Descent, int& Ascent, int PieceWidth) {
  Dx = Dy = Descent = Ascent = 0;
  // 1.
  if (Line < 0 || Line >= Engine.LineCount()) return nullptr;
  const int start = Engine.LineStart(Line);
  const int len = Engine.LineLength(Line);
  if (len <= 0 || Blank(Engine.Text(start, len))) return nullptr;

  // 2. The line's largest font ascent and descent.
  for (int i = start; i < start + len; ++i) {
    const TRichFontMetrics m = Engine.CharMetrics(i);
    Descent = std::max(Descent, m.Descent);
    Ascent = std::max(Ascent, m.Ascent);
  }

  // 3. The line's size, and at s times.
  const int s = std::clamp(Factor, 1, 16);
  const std::int64_t w = std::max(Engine.RangeWidth(start, len), 0);
  const std::int64_t h = std::max(Engine.RangeHeight(start, len), 0);
  if (w == 0 || h == 0) return nullptr;
  if (w > kMaxStripWidth || h > TmemoryBitmap::MaxSide) {
    throw std::length_error("rich-text line of " + std::to_string(w) + " x " + std::to_string(h) +
                            " pixels is larger than a strip may be");
  }
  const int gw = static_cast<int>(w);
  const int gh = static_cast<int>(h);

  // 7. Margins and kernels.
  TKernel shadowKernel;
  int s1 = 0;
  if (Shadow.On) {
    BuildGaussianKernel(shadowKernel, Shadow.Blur, 255, 1);
    s1 = shadowKernel.Size;
  }
  TextImageMargins(Shadow, Contour, Dx, Dy);
  const int dx = Dx;
  const int dy = Dy;

  // The finished image of glyph columns [g0, g1): 4-6 draw and scale down, 8-10 compose.
  auto local = [&](int g0, int g1) {
    const int pw = g1 - g0;
    TmemoryBitmap colour(pw, gh);  // P
    TmemoryBitmap mask(pw, gh);    // M
    if (pw > 0) {
      const int x0 = g0 * s;
      const int x1 = g1 * s;
      const int boxH = gh * s;
      const int tileW = std::min(x1 - x0, std::max(s, kTextTileWidth / s * s));
      const int tileH = std::min(boxH, std::max(s, kTextTileHeight / s * s));
      TmemoryBitmap tile;
      tile.Resize(tileW, tileH, false);
      for (int ty = 0; ty < boxH; ty += tileH) {
        for (int tx = x0; tx < x1; tx += tileW) {
          const int tw = std::min(tileW, x1 - tx);
          const int th = std::min(tileH, boxH - ty);
          std::memset(tile.Bits, 0, std::size_t(tw) * std::size_t(th) * 4);
          Engine.Render(start, len, s, TTextSurface{tile.Bits, tw, th, tx, ty});
          DownsampleRichText(tile.Bits, std::ptrdiff_t(tw) * 4, colour.PixelPtr((tx - x0) / s, ty / s),
                             mask.PixelPtr((tx - x0) / s, ty / s), std::ptrdiff_t(pw) * 4, tw / s, th / s, s);
        }
      }
    }

    auto result = std::make_unique<TmemoryBitmap>(pw + 2 * dx, gh + 2 * dy);

    // 8. Shadow: the mask tinted, blurred, at the shadow's offset.
    if (Shadow.On) {
      TmemoryBitmap shadow(mask);
      shadow.SetSize(pw + 4 * s1, gh + 4 * s1);
      if (!shadow.Empty()) {
        ScaleRow(shadow.Bits, shadow.Width() * shadow.Height(), SwapRedBlue(Shadow.Color) | 0xFF000000u);
      }
      shadow.GaussianBlur(shadowKernel);
      shadow.SetFactor(Shadow.Opacity);
      result->Blend(dx + Shadow.DeltaX - s1, dy + Shadow.DeltaY - s1, shadow, s1, s1, shadow.Width(), shadow.Height());
    }

    // 9. Contour: the mask widened (the table acts on all four bytes), tinted.
    if (Contour.On) {
      const int size = Contour.Size;
      TKernel k;
      BuildRadiusKernel(k, size);
      static const TTable table = RichContourTable();
      TmemoryBitmap outline(mask);
      outline.SetSize(pw + 4 * size, gh + 4 * size);
      if (!outline.Empty()) {
        ScaleRow(outline.Bits, outline.Width() * outline.Height(), SwapRedBlue(Contour.Color) | 0xFF000000u);
      }
      outline.GaussianBlurTable(k, table);
      outline.SetFactor(Contour.Opacity);
      result->Blend(dx - size, dy - size, outline, size, size, outline.Width(), outline.Height());
    }

    // 10. The line in its own colours.
    result->Blend(dx, dy, colour, 0, 0, pw, gh);

    // 11.
    result->HotSpotX = dx;
    result->HotSpotY = dy;
    return result;
  };

  auto strip = AssembleStrip(gw, dx, StripPiecePadding(Shadow, Contour), PieceWidth, local);
  strip->Tag1 = Descent;
  strip->Tag2 = Ascent;
  return strip;
}

}  // namespace qv

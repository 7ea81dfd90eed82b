#include "composition/RichTextRender.h"

#include "crawlinput/CrawlFile.h"
#include "raster/RowKernels.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace qv {

std::unique_ptr<TTextStrip> RenderRichTextLine(const TRichEdit& Engine, int Line, const TShadowStyle& Shadow,
                                               const TContourStyle& Contour, int Factor, int& Dx, int& Dy,
                                               int& Descent, int& Ascent, int PieceWidth) {
  Dx = Dy = Descent = Ascent = 0;
  // No such line, or a blank one: no strip.
  if (Line < 0 || Line >= Engine.LineCount()) return nullptr;
  const int start = Engine.LineStart(Line);
  const int len = Engine.LineLength(Line);
  if (len <= 0 || IsBlankLine(Engine.Text(start, len))) return nullptr;

  // The line's largest font ascent and descent.
  for (int i = start; i < start + len; ++i) {
    const TRichFontMetrics m = Engine.CharMetrics(i);
    Descent = std::max(Descent, m.Descent);
    Ascent = std::max(Ascent, m.Ascent);
  }

  // The line's size, and at s times.
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

  // Margins.
  TextImageMargins(Shadow, Contour, Dx, Dy);
  const int dx = Dx;
  const int dy = Dy;

  // The finished image of glyph columns [g0, g1): drawn, scaled down, then composed.
  auto local = [&](int g0, int g1) {
    const int pw = g1 - g0;
    TmemoryBitmap colour(pw, gh);  // P
    TmemoryBitmap mask(pw, gh);    // M
    DrawTextTiles(
        g0 * s, g1 * s, gh * s, s, [&](const TTextSurface& tile) { Engine.Render(start, len, s, tile); },
        [&](const std::uint8_t* tile, int w, int h, int x, int y) {
          DownsampleRichText(tile, std::ptrdiff_t(w) * 4, colour.PixelPtr(x, y), mask.PixelPtr(x, y),
                             std::ptrdiff_t(pw) * 4, w / s, h / s, s);
        });
    return ComposeStyledText(TStyledTextKind::Tinted, mask, colour, 0, Shadow, Contour, dx, dy);
  };

  auto strip = AssembleStrip(gw, dx, StripPiecePadding(Shadow, Contour), PieceWidth, local);
  strip->Tag1 = Descent;
  strip->Tag2 = Ascent;
  return strip;
}

}  // namespace qv

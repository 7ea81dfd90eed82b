#include "composition/TextRender.h"

#include "raster/GaussianBlur.h"
#include "raster/RowKernels.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace qv {

namespace {

constexpr int kMaxFactor = 16;

// The contour's widening table: T[i] = min(255, Gain i).
TTable ContourTable(int Gain) {
  TTable t;
  for (int i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(std::min(255, Gain * i));
  return t;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// a + s - (a mod s): the next multiple of s, always moving up (40 -> 44, 41 -> 44 for s = 4).
std::int64_t RaiseToMultiple(std::int64_t a, int s) { return a + s - a % s; }

}  // namespace

TShadowStyle TShadowStyle::Of(const TShadow* Shadow) {
  TShadowStyle s;
  if (Shadow == nullptr || !Shadow->Enabled()) return s;
  s.On = true;
  s.Color = Shadow->Color() & 0xFFFFFFu;
  s.DeltaX = std::clamp(Shadow->DeltaX(), -50, 50);
  s.DeltaY = std::clamp(Shadow->DeltaY(), -50, 50);
  s.Blur = std::clamp(Shadow->Blur(), 0, 10);
  s.Opacity = std::clamp(Shadow->Opacity(), 0, 255);
  return s;
}

TContourStyle TContourStyle::Of(const TContour* Contour) {
  TContourStyle c;
  if (Contour == nullptr || !Contour->Enabled()) return c;
  const int size = std::clamp(Contour->Size(), 0, 10);
  if (size == 0) return c;  // nothing to draw, no margin to add
  c.On = true;
  c.Color = Contour->Color() & 0xFFFFFFu;
  c.Size = size;
  c.Opacity = std::clamp(Contour->Opacity(), 0, 255);
  return c;
}

TTextImageParams TTextImageParams::Make(const std::string& Text, const TShadow* Shadow, const TContour* Contour,
                                        int Factor, const std::string& FontName, int FontSize,
                                        const std::string& Direction, std::uint32_t Color, bool Bold,
                                        int MaxWidth) {
  return Make(Text, Shadow, Contour, Factor, FontName, FontSize,
              Upper(Direction) == "RIGHT" ? TReadingOrder::roRightToLeft : TReadingOrder::roLeftToRight, Color, Bold,
              MaxWidth);
}

TTextImageParams TTextImageParams::Make(const std::string& Text, const TShadow* Shadow, const TContour* Contour,
                                        int Factor, const std::string& FontName, int FontSize, TReadingOrder Order,
                                        std::uint32_t Color, bool Bold, int MaxWidth) {
  TTextImageParams p;
  p.Text = Text;
  p.FontName = FontName;
  p.FontSize = std::clamp(FontSize, 1, 768);
  p.Bold = Bold;
  p.Order = Order;
  p.Color = Color & 0xFFFFFFu;
  p.MaxWidth = std::max(MaxWidth, 0);
  p.Factor = std::clamp(Factor, 1, kMaxFactor);
  p.Shadow = TShadowStyle::Of(Shadow);
  p.Contour = TContourStyle::Of(Contour);
  return p;
}

namespace {

// The radius of the shadow's blur kernel (0 for a sharp shadow) and the kernel itself.
int ShadowKernel(const TShadowStyle& shadow, TKernel& K) {
  BuildGaussianKernel(K, shadow.Blur, 255, 1);
  return K.Size;
}

}  // namespace

void TextImageMargins(const TShadowStyle& Shadow, const TContourStyle& Contour, int& Dx, int& Dy) {
  Dx = 0;
  Dy = 0;
  if (Shadow.On) {
    TKernel k;
    const int s1 = ShadowKernel(Shadow, k);
    Dx = std::max(Dx, std::abs(Shadow.DeltaX) + s1);
    Dy = std::max(Dy, std::abs(Shadow.DeltaY) + s1);
  }
  if (Contour.On) {
    Dx = std::max(Dx, Contour.Size);
    Dy = std::max(Dy, Contour.Size);
  }
}

int FittedFontSize(const TTextRenderer& Renderer, const std::string& Text, const std::string& FontName, int Size,
                   bool Bold, int S, int MaxWidth) {
  const std::int64_t scaled = std::int64_t(std::max(Size, 1)) * std::max(S, 1);
  int size = static_cast<int>(std::min<std::int64_t>(scaled, 1 << 20));
  if (MaxWidth <= 0) return size;
  const std::int64_t limit = std::int64_t(MaxWidth) * std::max(S, 1);
  while (size > 1 && Renderer.Measure(Text, {FontName, size, Bold}).Width > limit) --size;
  return size;
}

// ---- drawing in tiles and composing, for both line rasterisers -----------------------------------

void DrawTextTiles(int X0, int X1, int BoxH, int S, const std::function<void(const TTextSurface& Tile)>& Draw,
                   const std::function<void(const std::uint8_t* Tile, int W, int H, int OutX, int OutY)>& Take) {
  const int tileW = std::min(X1 - X0, std::max(S, kTextTileWidth / S * S));
  const int tileH = std::min(BoxH, std::max(S, kTextTileHeight / S * S));
  if (tileW <= 0 || tileH <= 0) return;
  TmemoryBitmap tile;
  tile.Resize(tileW, tileH, false);  // cleared piece by piece below
  for (int ty = 0; ty < BoxH; ty += tileH) {
    for (int tx = X0; tx < X1; tx += tileW) {
      const int w = std::min(tileW, X1 - tx);
      const int h = std::min(tileH, BoxH - ty);
      std::memset(tile.Bits, 0, std::size_t(w) * std::size_t(h) * 4);
      Draw(TTextSurface{tile.Bits, w, h, tx, ty});
      Take(tile.Bits, w, h, (tx - X0) / S, ty / S);
    }
  }
}

namespace {

// Paints a style layer grown from the mask: colour mode takes the colour when blended, a tinted
// layer has it multiplied into its grey pixels (all four bytes) before the blur.
void Tint(TmemoryBitmap& B, std::uint32_t Color) {
  if (!B.Empty()) ScaleRow(B.Bits, B.Width() * B.Height(), SwapRedBlue(Color) | 0xFF000000u);
}

}  // namespace

std::unique_ptr<TmemoryBitmap> ComposeStyledText(TStyledTextKind Kind, const TmemoryBitmap& Mask, TmemoryBitmap& Text,
                                                 std::uint32_t TextColor, const TShadowStyle& Shadow,
                                                 const TContourStyle& Contour, int Dx, int Dy) {
  const bool tinted = Kind == TStyledTextKind::Tinted;
  const int gw = Text.Width();
  const int gh = Text.Height();

  // The result, transparent.
  auto result = std::make_unique<TmemoryBitmap>(gw + 2 * Dx, gh + 2 * Dy);

  // Shadow: the mask padded by twice the blur radius, blurred, in the shadow colour, so that its
  // glyphs land at (Dx + DeltaX, Dy + DeltaY). A blur of 0 leaves them sharp.
  if (Shadow.On) {
    TKernel k;
    const int s1 = ShadowKernel(Shadow, k);
    TmemoryBitmap shadow(Mask);
    shadow.SetSize(gw + 4 * s1, gh + 4 * s1);  // centred: the mask now sits at (2 s1, 2 s1)
    if (tinted) Tint(shadow, Shadow.Color);
    shadow.GaussianBlur(k);
    shadow.SetFactor(Shadow.Opacity);
    if (!tinted) shadow.SetColor(SwapRedBlue(Shadow.Color));
    result->Blend(Dx + Shadow.DeltaX - s1, Dy + Shadow.DeltaY - s1, shadow, s1, s1, shadow.Width(), shadow.Height());
  }

  // Contour: the mask widened by about Size pixels (a flat blur, then the table), in the contour
  // colour around the text's own place.
  if (Contour.On) {
    const int size = Contour.Size;
    TKernel k;
    BuildRadiusKernel(k, size);
    static const TTable coverageTable = ContourTable(12);
    static const TTable tintedTable = ContourTable(6);
    TmemoryBitmap outline(Mask);
    outline.SetSize(gw + 4 * size, gh + 4 * size);
    if (tinted) Tint(outline, Contour.Color);
    outline.GaussianBlurTable(k, tinted ? tintedTable : coverageTable);
    outline.SetFactor(Contour.Opacity);
    if (!tinted) outline.SetColor(SwapRedBlue(Contour.Color));
    result->Blend(Dx - size, Dy - size, outline, size, size, outline.Width(), outline.Height());
  }

  // The text on top: in its colour, or in its own colours.
  if (!tinted) Text.SetColor(SwapRedBlue(TextColor));
  result->Blend(Dx, Dy, Text, 0, 0, gw, gh);

  result->HotSpotX = Dx;
  result->HotSpotY = Dy;
  return result;
}

// ---- the rasteriser -----------------------------------------------------------------------------

namespace {

// The glyph image G of the box columns [G0 * s, G1 * s) of a text laid out in a BoxW x BoxH box
// (both multiples of s): drawn white on black in tiles of whole blocks, the blue byte's block
// averages kept. G is (G1 - G0) x BoxH / s, coverage in blue and nothing else.
std::unique_ptr<TmemoryBitmap> DrawGlyphColumns(const TTextRenderer& Renderer, const TTextImageParams& P,
                                                const TFontSpec& Font, int BoxW, int BoxH, int s, int G0, int G1) {
  auto glyphs = std::make_unique<TmemoryBitmap>(G1 - G0, BoxH / s);
  DrawTextTiles(
      G0 * s, G1 * s, BoxH, s,
      [&](const TTextSurface& tile) { Renderer.Draw(P.Text, Font, P.Order, BoxW, tile); },
      [&](const std::uint8_t* tile, int w, int h, int x, int y) {
        DownsampleCoverage(tile, std::ptrdiff_t(w) * 4, glyphs->PixelPtr(x, y), std::ptrdiff_t(glyphs->Width()) * 4,
                           w / s, h / s, s);
      });
  return glyphs;
}

// Steps 6 to 11: the glyph image G with margins, shadow, contour and the text in its colour.
std::unique_ptr<TmemoryBitmap> FinishTextImage(TmemoryBitmap& glyphs, const TTextImageParams& P, int& Dx, int& Dy) {
  TextImageMargins(P.Shadow, P.Contour, Dx, Dy);
  return ComposeStyledText(TStyledTextKind::Coverage, glyphs, glyphs, P.Color, P.Shadow, P.Contour, Dx, Dy);
}

// The measured box of P at factor s, its sides raised to whole blocks.
struct TTextBox {
  TFontSpec Font;
  int W = 0;  // multiples of s
  int H = 0;
};

TTextBox MeasureTextBox(const TTextRenderer& Renderer, const TTextImageParams& P, int s, std::int64_t MaxGlyphWidth) {
  // 1-2. The font at s times the size (fitted to MaxWidth), and the drawing's size rounded up to
  // whole blocks of s x s.
  TTextBox box;
  box.Font = TFontSpec{P.FontName, FittedFontSize(Renderer, P.Text, P.FontName, P.FontSize, P.Bold, s, P.MaxWidth),
                       P.Bold};
  const TTextExtent extent = Renderer.Measure(P.Text, box.Font);
  const std::int64_t w4 = RaiseToMultiple(std::max(extent.Width, 0), s);
  const std::int64_t h4 = RaiseToMultiple(std::max(extent.Height, 0), s);
  if (w4 / s > MaxGlyphWidth || h4 / s > TmemoryBitmap::MaxSide) {
    throw std::length_error("text image of " + std::to_string(w4 / s) + " x " + std::to_string(h4 / s) +
                            " pixels is larger than a bitmap may be");
  }
  box.W = static_cast<int>(w4);
  box.H = static_cast<int>(h4);
  return box;
}

}  // namespace

std::unique_ptr<TmemoryBitmap> RenderTextImage(const TTextRenderer& Renderer, const TTextImageParams& P, int& Dx,
                                               int& Dy) {
  const int s = std::clamp(P.Factor, 1, kMaxFactor);
  const TTextBox box = MeasureTextBox(Renderer, P, s, TmemoryBitmap::MaxSide);
  auto glyphs = DrawGlyphColumns(Renderer, P, box.Font, box.W, box.H, s, 0, box.W / s);
  return FinishTextImage(*glyphs, P, Dx, Dy);
}

int StripPiecePadding(const TShadowStyle& Shadow, const TContourStyle& Contour) {
  int pad = 4;
  if (Shadow.On) {
    TKernel k;
    pad += std::abs(Shadow.DeltaX) + 2 * ShadowKernel(Shadow, k) + 1;
  }
  if (Contour.On) {
    TKernel k;
    BuildRadiusKernel(k, Contour.Size);
    pad += 2 * (k.Size + Contour.Size) + 1;
  }
  return pad;
}

std::unique_ptr<TTextStrip> AssembleStrip(int GlyphWidth, int Dx, int Pad, int PieceWidth,
                                          const std::function<std::unique_ptr<TmemoryBitmap>(int G0, int G1)>& Local) {
  auto strip = std::make_unique<TTextStrip>();
  const int pieceW = std::max(PieceWidth, 1);
  const std::int64_t total = std::int64_t(GlyphWidth) + 2 * std::int64_t(Dx);
  if (total <= pieceW) {
    std::unique_ptr<TmemoryBitmap> whole = Local(0, GlyphWidth);
    strip->Width = whole->Width();
    strip->Height = whole->Height();
    strip->Pieces.push_back(std::move(whole));
    return strip;
  }
  for (std::int64_t c0 = 0; c0 < total; c0 += pieceW) {
    const int c1 = static_cast<int>(std::min<std::int64_t>(c0 + pieceW, total));
    // The glyph columns that can reach result columns [c0, c1) through the margins, shadow and
    // contour, and a little more, so that the piece's pixels are those of the whole image.
    const int g0 = static_cast<int>(std::clamp<std::int64_t>(c0 - Dx - Pad, 0, GlyphWidth));
    const int g1 = static_cast<int>(std::min<std::int64_t>(GlyphWidth, std::int64_t(c1) - Dx + Pad));
    std::unique_ptr<TmemoryBitmap> local = Local(g0, std::max(g0, g1));
    // Column k of the local image is column g0 + k of the whole one.
    auto piece = std::make_unique<TmemoryBitmap>(c1 - static_cast<int>(c0), local->Height());
    local->CopyRectTo(*piece, 0, 0, piece->Width(), piece->Height(), static_cast<int>(c0) - g0, 0);
    piece->HotSpotX = local->HotSpotX;
    piece->HotSpotY = local->HotSpotY;
    strip->Height = piece->Height();
    strip->Pieces.push_back(std::move(piece));
  }
  strip->Width = static_cast<int>(total);
  return strip;
}

std::unique_ptr<TTextStrip> RenderTextStrip(const TTextRenderer& Renderer, const TTextImageParams& P, int& Dx, int& Dy,
                                            int PieceWidth) {
  const int s = std::clamp(P.Factor, 1, kMaxFactor);
  // The strip is as wide as its text, whatever that is: only its height is bounded.
  const TTextBox box = MeasureTextBox(Renderer, P, s, kMaxStripWidth);
  TextImageMargins(P.Shadow, P.Contour, Dx, Dy);
  const int pad = StripPiecePadding(P.Shadow, P.Contour);
  return AssembleStrip(box.W / s, Dx, pad, PieceWidth, [&](int g0, int g1) {
    auto glyphs = DrawGlyphColumns(Renderer, P, box.Font, box.W, box.H, s, g0, g1);
    int dx = 0, dy = 0;
    return FinishTextImage(*glyphs, P, dx, dy);
  });
}

std::unique_ptr<TmemoryBitmap> RenderTextImage(const TTextRenderer& Renderer, const std::string& Text,
                                               const TShadow* Shadow, const TContour* Contour, int Factor,
                                               const std::string& FontName, int FontSize,
                                               const std::string& Direction, std::uint32_t Color, int& Dx, int& Dy,
                                               bool Bold, int MaxWidth) {
  return RenderTextImage(
      Renderer, TTextImageParams::Make(Text, Shadow, Contour, Factor, FontName, FontSize, Direction, Color, Bold, MaxWidth),
      Dx, Dy);
}

}  // namespace qv

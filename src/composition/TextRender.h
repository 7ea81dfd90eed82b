#pragma once
// The text rasteriser: a string with its font, colour, shadow and contour becomes a bitmap with
// margins. The platform renderer draws the glyphs at several times the final size (white on
// black); everything after that (scaling down, margins, shadow, contour, colouring) is the raster
// engine's. Text, clock and crawl layers all render through here.
//
// Lines of rich-text (RTF) documents, which keep their own fonts and colours, get a rasteriser of
// their own beside this one (on the composition's shared rich-text engine); both draw in tiles
// (DrawTextTiles) and compose with one compositor (ComposeStyledText), and they share the style
// groups and their margins (TShadowStyle, TContourStyle, TextImageMargins).
#include "composition/TextRenderStyle.h"
#include "platform/TextRenderer.h"
#include "raster/Bitmap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// What a shadow draws, its values limited to their ranges (a project file may carry values
// beyond them, which loading stores unchecked). Off when the shadow is disabled.
struct TShadowStyle {
  bool On = false;
  std::uint32_t Color = 0;  // platform colour 0x00BBGGRR
  int DeltaX = 0;           // -50..50
  int DeltaY = 0;           // -50..50
  int Blur = 0;             // 0..10; 0 draws a sharp shadow
  int Opacity = 0;          // 0..255
  static TShadowStyle Of(const TShadow* Shadow);
  friend bool operator==(const TShadowStyle&, const TShadowStyle&) = default;
};

// What a contour draws; off when disabled or of size 0 (which would add nothing).
struct TContourStyle {
  bool On = false;
  std::uint32_t Color = 0;  // platform colour 0x00BBGGRR
  int Size = 0;             // 1..10 when on
  int Opacity = 0;          // 0..255
  static TContourStyle Of(const TContour* Contour);
  friend bool operator==(const TContourStyle&, const TContourStyle&) = default;
};

// Every input that decides the pixels of a text image. Two equal values render identical images
// (with the same renderer), which lets a layer keep its image while nothing changed.
struct TTextImageParams {
  std::string Text;
  std::string FontName;
  int FontSize = 32;  // points, 1..768
  bool Bold = false;
  TReadingOrder Order = TReadingOrder::roLeftToRight;
  std::uint32_t Color = 0xFFFFFF;  // platform colour 0x00BBGGRR
  int MaxWidth = 0;                // pixels; 0 (or below) = no limit
  int Factor = 4;                  // supersampling, 1..16
  TShadowStyle Shadow;
  TContourStyle Contour;
  friend bool operator==(const TTextImageParams&, const TTextImageParams&) = default;

  // Direction "RIGHT" (any letter case) reads right to left; "LEFT" and anything else left to
  // right. Shadow and contour may be none. Out-of-range values are limited.
  static TTextImageParams Make(const std::string& Text, const TShadow* Shadow, const TContour* Contour,
                               int Factor, const std::string& FontName, int FontSize,
                               const std::string& Direction, std::uint32_t Color, bool Bold, int MaxWidth);
  static TTextImageParams Make(const std::string& Text, const TShadow* Shadow, const TContour* Contour,
                               int Factor, const std::string& FontName, int FontSize, TReadingOrder Order,
                               std::uint32_t Color, bool Bold, int MaxWidth);
};

// The margins a style adds around the glyph image on each side: the shadow's offset plus its
// blur radius (in either direction, so a shadow cast up or left is not cut off) and the contour's
// size, whichever is larger.
void TextImageMargins(const TShadowStyle& Shadow, const TContourStyle& Contour, int& Dx, int& Dy);

// Renders P through Renderer. The result is the glyph image grown by Dx on the left and right and
// Dy on top and bottom, its HotSpotX/HotSpotY set to Dx/Dy, holding (bottom to top) the shadow,
// the contour and the text, each painted in its colour through its coverage, colours weighted by
// alpha. Throws std::length_error when the image would exceed a bitmap's limits.
std::unique_ptr<TmemoryBitmap> RenderTextImage(const TTextRenderer& Renderer, const TTextImageParams& P, int& Dx,
                                               int& Dy);

// The same with the arguments as the layers hold them.
std::unique_ptr<TmemoryBitmap> RenderTextImage(const TTextRenderer& Renderer, const std::string& Text, const TShadow* Shadow,
                                               const TContour* Contour, int Factor, const std::string& FontName,
                                               int FontSize, const std::string& Direction, std::uint32_t Color,
                                               int& Dx, int& Dy, bool Bold, int MaxWidth);

// A rendered line of any length, as pieces side by side: each piece at most a set width (the
// last one narrower), all as tall as the line's image, together exactly the image RenderTextImage
// would make if a bitmap could be that wide. A crawl line of thousands of characters is far wider
// than one bitmap may be; in pieces it needs memory only in proportion to its size.
struct TTextStrip {
  std::vector<std::unique_ptr<TmemoryBitmap>> Pieces;  // left to right
  int Width = 0;   // the sum of the pieces' widths
  int Height = 0;  // every piece's height
  int Tag1 = 0;    // crawl lines of rich text: the line's largest font descent
  int Tag2 = 0;    // the line's vertical reference (plain text: Height; rich text: largest ascent)
};

// The largest piece of the supersampled drawing held in memory at once. A big font at four times
// its size would otherwise need a surface of hundreds of megabytes, or one wider than a bitmap may
// be; drawn piece by piece it needs a few megabytes whatever the text.
constexpr int kTextTileWidth = 2048;
constexpr int kTextTileHeight = 1024;

// The width of a strip's pieces, and the widest strip that is rendered at all.
constexpr int kStripPieceWidth = 1024;
constexpr int kMaxStripWidth = 1 << 22;

// RenderTextImage's result for P as a strip (for the crawl, which takes no MaxWidth). Throws
// std::length_error for a text wider than kMaxStripWidth or taller than a bitmap may be.
std::unique_ptr<TTextStrip> RenderTextStrip(const TTextRenderer& Renderer, const TTextImageParams& P, int& Dx, int& Dy,
                                            int PieceWidth = kStripPieceWidth);

// Shared by the line rasterisers: how far beyond a piece's own columns the glyphs must be drawn
// for its shadow and contour to come out as in the whole image.
int StripPiecePadding(const TShadowStyle& Shadow, const TContourStyle& Contour);
// Cuts a line image of GlyphWidth glyph columns plus Dx margins into pieces of PieceWidth. Local
// (G0, G1) renders the finished image (margins included) of glyph columns G0..G1 as if nothing
// lay outside them; a single call covers a line that fits in one piece.
std::unique_ptr<TTextStrip> AssembleStrip(int GlyphWidth, int Dx, int Pad, int PieceWidth,
                                          const std::function<std::unique_ptr<TmemoryBitmap>(int G0, int G1)>& Local);

// Draws the columns [X0, X1) and rows [0, BoxH) of a drawing at S times the final size (all
// multiples of S) tile by tile, each tile whole blocks of S x S and at most kTextTileWidth x
// kTextTileHeight: every tile is cleared to zero, drawn by Draw, then handed to Take with its size
// and the final-size position of its first block (column counted from X0 / S, row).
void DrawTextTiles(int X0, int X1, int BoxH, int S, const std::function<void(const TTextSurface& Tile)>& Draw,
                   const std::function<void(const std::uint8_t* Tile, int W, int H, int OutX, int OutY)>& Take);

// How styled text takes its colours.
enum class TStyledTextKind {
  // Plain text: one coverage image (blue byte) is the text and what shadow and contour grow from;
  // each is painted in its colour as it is blended (colour mode). The contour's table is 12 i.
  Coverage,
  // Rich text: the text keeps its own colours (an image-mode blend); shadow and contour grow from
  // a grey mask (coverage in every byte), tinted in their colours before the blur. The contour's
  // table is 6 i, as it acts on all four bytes.
  Tinted,
};

// The styled text with margins Dx, Dy (TextImageMargins): a transparent image of Text's size plus
// the margins, holding (bottom to top) the shadow and the contour grown from Mask and the text,
// HotSpotX/HotSpotY set to Dx/Dy. Mask has Text's size; for Coverage they may be one bitmap, whose
// colour TextColor (platform colour 0x00BBGGRR) then becomes.
std::unique_ptr<TmemoryBitmap> ComposeStyledText(TStyledTextKind Kind, const TmemoryBitmap& Mask, TmemoryBitmap& Text,
                                                 std::uint32_t TextColor, const TShadowStyle& Shadow,
                                                 const TContourStyle& Contour, int Dx, int Dy);

// The font size RenderTextImage draws with at factor S: Size * S points, lowered point by point
// (not below 1) while the text measures wider than MaxWidth * S; MaxWidth <= 0 sets no limit.
int FittedFontSize(const TTextRenderer& Renderer, const std::string& Text, const std::string& FontName, int Size,
                   bool Bold, int S, int MaxWidth);

}  // namespace qv

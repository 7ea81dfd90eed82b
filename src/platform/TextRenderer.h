#pragma once
// Measuring and drawing a string in a font, for the text rasteriser. The engine stays free of any
// toolkit: the editor and the tools plug a real renderer in (platform/QtTextRenderer.h), tests may
// plug in a fake that draws known coverage.
//
// A renderer must allow Measure and Draw from several threads at once, each Draw on its own
// surface: crawl strips are rendered on worker threads while the main thread renders text layers.
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// A font as the layers name it: a face name (an unknown name gets the platform's substitute), a
// size in points at 96 pixels per inch (so 3 points are 4 pixels) and the weight.
struct TFontSpec {
  std::string Face;
  int PointSize = 0;  // 1 or more
  bool Bold = false;
  friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// The paragraph's reading order. Runs of the other direction inside it are still ordered by the
// bidirectional algorithm (a Hebrew word inside left-to-right text reads right to left).
enum class TReadingOrder : std::uint8_t { roLeftToRight, roRightToLeft };

// The extent of a text in whole pixels (fractions rounded up, so the drawing fits).
struct TTextExtent {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TTextExtent&, const TTextExtent&) = default;
};

// A 32-bit surface (4 bytes per pixel: blue, green, red, alpha; stride Width * 4; top row first)
// that shows the part of a larger drawing box starting at (OriginX, OriginY). Drawing into it in
// pieces gives the same pixels as drawing the whole box at once.
struct TTextSurface {
  std::uint8_t* Bits = nullptr;
  int Width = 0;
  int Height = 0;
  int OriginX = 0;
  int OriginY = 0;
};

class TTextRenderer {
 public:
  virtual ~TTextRenderer() = default;

  // Width and height of Text (UTF-8) in Font. A text with line breaks ("\n", "\r\n" or "\r")
  // measures as its widest line by the sum of its lines' heights; an empty text is 0 pixels wide
  // and one line high.
  virtual TTextExtent Measure(std::string_view Text, const TFontSpec& Font) const = 0;

  // Draws Text white on black into Surface: grey-scale antialiased outlines (no sub-pixel colour),
  // every colour byte and the alpha byte of a pixel holding its coverage 0..255. The layout box is
  // BoxWidth pixels wide; each line is centred horizontally in it, the first line at its top, and
  // lines are stacked downwards. Surface pixels must be zero on entry; pixels outside the text stay
  // zero.
  virtual void Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder Order, int BoxWidth,
                    const TTextSurface& Surface) const = 0;
};

}  // namespace qv

#pragma once
// Drawing on a 32-bit pixel surface for the editing overlay: outlines in copy or XOR mode, filled
// squares with an outline, and text on an opaque background. The engine stays free of any toolkit;
// the editor and the tools plug a real implementation in (platform/QtCanvas.h).
#include <cstdint>
#include <memory>
#include <string_view>

namespace qv {

// A rectangle in pixels; Right and Bottom are excluded, as with every rectangle of the system.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

enum class TPenMode : std::uint8_t { pmCopy, pmXor };

// Colours are 0x00RRGGBB (the bitmap's order); pixels drawn in copy mode are opaque.
class TCanvas {
 public:
  virtual ~TCanvas() = default;
  // A one-pixel outline along the inside of R (columns Left and Right-1, rows Top and Bottom-1),
  // every covered pixel touched once, so an XOR outline drawn twice restores the surface.
  virtual void FrameRect(const TRect& R, std::uint32_t Color, TPenMode Mode) = 0;
  // R filled with Fill and outlined (one pixel, inside R) with Outline, both in copy mode.
  virtual void FillRect(const TRect& R, std::uint32_t Fill, std::uint32_t Outline) = 0;
  // Text (UTF-8) in the canvas's default font, its cell's top-left corner at (X, Y), on an opaque
  // rectangle of Background that covers the text's cell.
  virtual void TextOut(int X, int Y, std::string_view Text, std::uint32_t TextColor,
                       std::uint32_t Background) = 0;
};

// Opens a canvas on caller-owned pixels (4 bytes per pixel, blue, green, red, alpha, stride
// Width * 4, top row first). The pixels must outlive the canvas; drawing is finished when the
// canvas is destroyed.
class TCanvasFactory {
 public:
  virtual ~TCanvasFactory() = default;
  virtual std::unique_ptr<TCanvas> Open(std::uint8_t* Bits, int Width, int Height) = 0;
};

}  // namespace qv

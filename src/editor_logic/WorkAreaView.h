#pragma once
// How the work area shows the page: at what zoom and where. A zoom is a fraction of screen pixels
// per page pixel, so that a screen point maps to its page pixel exactly at every zoom (no
// floating point between the pointer and the page). "Fit" shows the whole page, never enlarged:
// 100 % when it fits, which is the pixel-exact 1:1 view, smaller when it does not. A page smaller
// than the view sits in its middle; a larger one scrolls, with a margin around it.
#include "platform/Canvas.h"

#include <cstdint>
#include <span>

namespace qv {

struct TZoom {
  std::int32_t Num = 1;  // screen pixels ...
  std::int32_t Den = 1;  // ... per this many page pixels
  friend bool operator==(const TZoom& a, const TZoom& b) { return std::int64_t(a.Num) * b.Den == std::int64_t(b.Num) * a.Den; }
  friend bool operator<(const TZoom& a, const TZoom& b) { return std::int64_t(a.Num) * b.Den < std::int64_t(b.Num) * a.Den; }
  // In per cent, rounded (66 for 2/3).
  std::int32_t Percent() const;
};

// The zooms Ctrl+wheel steps through, smallest first: 1/8 to 8/1.
std::span<const TZoom> ZoomLadder();

struct TPagePoint {
  std::int64_t X = 0;
  std::int64_t Y = 0;
  friend bool operator==(const TPagePoint&, const TPagePoint&) = default;
};

class TWorkAreaView {
 public:
  // The space kept around the page, in screen pixels (as around a standard page at 1:1).
  static constexpr std::int32_t kMarginX = 16;
  static constexpr std::int32_t kMarginY = 12;

  // The page's size in pixels and the view's in screen pixels; a fitting view fits again, any
  // other keeps its zoom and the page where it is, as far as the margins allow.
  void SetPage(std::int32_t Width, std::int32_t Height);
  void SetViewport(std::int32_t Width, std::int32_t Height);

  // The whole page, never enlarged; it stays so when the page or the view changes size.
  void Fit();
  bool Fitting() const { return fFitting; }
  // Zoom about the view's centre.
  void SetZoom(TZoom Zoom);
  // Zoom with the page point under the screen point (X, Y) staying under it: at a zoom of one
  // screen pixel or more per page pixel the same page pixel stays there.
  void ZoomAbout(TZoom Zoom, std::int32_t X, std::int32_t Y);
  // Ctrl+wheel: Steps up (positive) or down the ladder from the zoom shown, about (X, Y); the
  // ends of the ladder stop it.
  void ZoomStep(int Steps, std::int32_t X, std::int32_t Y);
  TZoom Zoom() const { return fZoom; }

  // Moves the page by (dX, dY) screen pixels, as far as it scrolls.
  void ScrollBy(std::int32_t dX, std::int32_t dY);
  // The scroll bars: the page with its margins across and down, and how far it is scrolled.
  std::int64_t ContentWidth() const;
  std::int64_t ContentHeight() const;
  std::int64_t ScrollX() const { return kMarginX - fOriginX; }
  std::int64_t ScrollY() const { return kMarginY - fOriginY; }
  void SetScroll(std::int64_t X, std::int64_t Y);

  // The page pixel under a screen point (it may lie outside the page).
  TPagePoint PagePoint(std::int32_t X, std::int32_t Y) const;
  // The screen column or row where a page column or row begins.
  std::int64_t ScreenX(std::int64_t PageX) const;
  std::int64_t ScreenY(std::int64_t PageY) const;
  // The same for a position in half pixels (2 · page x), as a snap guide on a centre line has.
  std::int64_t ScreenX2(std::int64_t PageX2) const;
  std::int64_t ScreenY2(std::int64_t PageY2) const;
  // The page on screen.
  TRect PageOnScreen() const;
  std::int64_t OriginX() const { return fOriginX; }
  std::int64_t OriginY() const { return fOriginY; }
  std::int32_t PageWidth() const { return fPageW; }
  std::int32_t PageHeight() const { return fPageH; }

 private:
  // Keeps the page centred along a side it fits on, and its edges within the margins otherwise.
  void Clamp();
  std::int64_t ScaledWidth() const;
  std::int64_t ScaledHeight() const;

  std::int32_t fPageW = 1;
  std::int32_t fPageH = 1;
  std::int32_t fViewW = 1;
  std::int32_t fViewH = 1;
  TZoom fZoom;
  bool fFitting = true;
  std::int64_t fOriginX = 0;  // screen position of the page's top-left corner
  std::int64_t fOriginY = 0;
};

}  // namespace qv

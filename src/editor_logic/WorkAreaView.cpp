#include "editor_logic/WorkAreaView.h"

#include <algorithm>
#include <numeric>

namespace qv {

namespace {

// Floor of a / b for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

constexpr TZoom kLadder[] = {{1, 8}, {1, 6}, {1, 4}, {1, 3}, {1, 2}, {2, 3}, {1, 1},
                             {2, 1}, {3, 1}, {4, 1}, {6, 1}, {8, 1}};

TZoom Reduced(std::int64_t Num, std::int64_t Den) {
  const std::int64_t g = std::gcd(Num, Den);
  return {static_cast<std::int32_t>(Num / g), static_cast<std::int32_t>(Den / g)};
}

}  // namespace

std::int32_t TZoom::Percent() const { return static_cast<std::int32_t>((std::int64_t(Num) * 200 + Den) / (2 * Den)); }

std::span<const TZoom> ZoomLadder() { return kLadder; }

void TWorkAreaView::SetPage(std::int32_t Width, std::int32_t Height) {
  fPageW = std::max(1, Width);
  fPageH = std::max(1, Height);
  if (fFitting) {
    Fit();
  } else {
    Clamp();
  }
}

void TWorkAreaView::SetViewport(std::int32_t Width, std::int32_t Height) {
  // The page stays where it is (scroll bars that come or go cover or uncover the view's right and
  // bottom edges, and the pointer keeps its page pixel).
  fViewW = std::max(1, Width);
  fViewH = std::max(1, Height);
  if (fFitting) {
    Fit();
    return;
  }
  Clamp();
}

void TWorkAreaView::Fit() {
  fFitting = true;
  const std::int64_t w = std::max(1, fViewW - 2 * kMarginX);
  const std::int64_t h = std::max(1, fViewH - 2 * kMarginY);
  if (w >= fPageW && h >= fPageH) {
    fZoom = {1, 1};
  } else if (w * fPageH <= h * fPageW) {
    fZoom = Reduced(w, fPageW);  // the width decides
  } else {
    fZoom = Reduced(h, fPageH);
  }
  Clamp();
}

void TWorkAreaView::SetZoom(TZoom Zoom) { ZoomAbout(Zoom, fViewW / 2, fViewH / 2); }

void TWorkAreaView::ZoomAbout(TZoom Zoom, std::int32_t X, std::int32_t Y) {
  if (Zoom.Num <= 0 || Zoom.Den <= 0) return;
  fFitting = false;
  const TZoom old = fZoom;
  fZoom = Reduced(Zoom.Num, Zoom.Den);
  // The page point under (X, Y) is (X - origin) · Den / Num exactly; at the new zoom it lies
  // floor(that · Num' / Den') screen pixels right of the new origin.
  auto keep = [&](std::int32_t at, std::int64_t origin) {
    const std::int64_t num = (at - origin) * std::int64_t(old.Den) * fZoom.Num;
    const std::int64_t den = std::int64_t(old.Num) * fZoom.Den;
    return at - FloorDiv(num, den);
  };
  fOriginX = keep(X, fOriginX);
  fOriginY = keep(Y, fOriginY);
  Clamp();
}

void TWorkAreaView::ZoomStep(int Steps, std::int32_t X, std::int32_t Y) {
  TZoom z = fZoom;
  for (; Steps > 0; --Steps) {
    const TZoom* next = std::find_if(std::begin(kLadder), std::end(kLadder), [&](const TZoom& l) { return z < l; });
    if (next == std::end(kLadder)) break;
    z = *next;
  }
  for (; Steps < 0; ++Steps) {
    const TZoom* below = nullptr;
    for (const TZoom& l : kLadder) {
      if (l < z) below = &l;
    }
    if (below == nullptr) break;
    z = *below;
  }
  if (!(z == fZoom)) ZoomAbout(z, X, Y);
}

std::int64_t TWorkAreaView::ScaledWidth() const { return FloorDiv(std::int64_t(fPageW) * fZoom.Num + fZoom.Den - 1, fZoom.Den); }
std::int64_t TWorkAreaView::ScaledHeight() const { return FloorDiv(std::int64_t(fPageH) * fZoom.Num + fZoom.Den - 1, fZoom.Den); }
std::int64_t TWorkAreaView::ContentWidth() const { return ScaledWidth() + 2 * kMarginX; }
std::int64_t TWorkAreaView::ContentHeight() const { return ScaledHeight() + 2 * kMarginY; }

void TWorkAreaView::Clamp() {
  auto clamp = [](std::int64_t origin, std::int64_t scaled, std::int64_t view, std::int64_t margin) {
    if (scaled + 2 * margin <= view) return (view - scaled) / 2;
    return std::clamp(origin, view - scaled - margin, margin);
  };
  fOriginX = clamp(fOriginX, ScaledWidth(), fViewW, kMarginX);
  fOriginY = clamp(fOriginY, ScaledHeight(), fViewH, kMarginY);
}

void TWorkAreaView::ScrollBy(std::int32_t dX, std::int32_t dY) {
  fOriginX -= dX;
  fOriginY -= dY;
  Clamp();
}

void TWorkAreaView::SetScroll(std::int64_t X, std::int64_t Y) {
  fOriginX = kMarginX - X;
  fOriginY = kMarginY - Y;
  Clamp();
}

TPagePoint TWorkAreaView::PagePoint(std::int32_t X, std::int32_t Y) const {
  return {FloorDiv((X - fOriginX) * fZoom.Den, fZoom.Num), FloorDiv((Y - fOriginY) * fZoom.Den, fZoom.Num)};
}

std::int64_t TWorkAreaView::ScreenX(std::int64_t PageX) const { return ScreenX2(2 * PageX); }
std::int64_t TWorkAreaView::ScreenY(std::int64_t PageY) const { return ScreenY2(2 * PageY); }

// The first screen pixel whose page position is at or right of the position: the screen column
// c maps to page position c · Den / Num, so it is ceil(position · Num / Den).
std::int64_t TWorkAreaView::ScreenX2(std::int64_t PageX2) const {
  return fOriginX - FloorDiv(-PageX2 * fZoom.Num, 2 * std::int64_t(fZoom.Den));
}
std::int64_t TWorkAreaView::ScreenY2(std::int64_t PageY2) const {
  return fOriginY - FloorDiv(-PageY2 * fZoom.Num, 2 * std::int64_t(fZoom.Den));
}

TRect TWorkAreaView::PageOnScreen() const {
  return {static_cast<int>(ScreenX(0)), static_cast<int>(ScreenY(0)), static_cast<int>(ScreenX(fPageW)),
          static_cast<int>(ScreenY(fPageH))};
}

}  // namespace qv

#include "editor_logic/Snapping.h"

#include "editor_logic/SafeAreas.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace qv {

namespace {

std::int64_t FloorHalf(std::int64_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

// The edges of Start (half pixels) that a drag on Area moves along one direction.
std::vector<std::int64_t> MovingEdges(const TRect& r, TMouseArea Area, bool Across) {
  const std::int64_t lo = 2 * std::int64_t(Across ? r.Left : r.Top);
  const std::int64_t hi = 2 * std::int64_t(Across ? r.Right : r.Bottom);
  if (Area == maBody) return {lo, (lo + hi) / 2, hi};
  if (Across) {
    switch (Area) {
      case maLeft: case maTopLeft: case maBottomLeft: return {lo};
      case maRight: case maBottomRight: case maTopRight: return {hi};
      default: return {};
    }
  }
  switch (Area) {
    case maTop: case maTopLeft: case maTopRight: return {lo};
    case maBottom: case maBottomRight: case maBottomLeft: return {hi};
    default: return {};
  }
}

// The drag d along one direction pulled onto the nearest line in reach; the lines that hold.
std::int64_t SnapAxis(const std::vector<std::int64_t>& edges, std::int64_t d, const std::vector<TSnapLine>& lines,
                      TZoom zoom, bool vertical, std::vector<TSnapGuide>& guides) {
  std::optional<std::int64_t> best;  // line - edge, half pixels
  for (const TSnapLine& line : lines) {
    for (std::int64_t e : edges) {
      const std::int64_t diff = line.Position2 - (e + 2 * d);
      // |diff| / 2 page pixels are |diff| · Num / (2 · Den) screen pixels.
      if (std::abs(diff) * zoom.Num > 2 * std::int64_t(kSnapReach) * zoom.Den) continue;
      if (!best || std::abs(diff) < std::abs(*best)) best = diff;
    }
  }
  if (!best) return d;
  const std::int64_t snapped = d + FloorHalf(*best);
  for (const TSnapLine& line : lines) {
    for (std::int64_t e : edges) {
      if (std::abs(line.Position2 - (e + 2 * snapped)) > 1) continue;  // within half a pixel
      const bool seen = std::any_of(guides.begin(), guides.end(), [&](const TSnapGuide& g) {
        return g.Vertical == vertical && g.Position2 == line.Position2;
      });
      if (!seen) guides.push_back({vertical, line.Position2, line.Kind});
    }
  }
  return snapped;
}

void AddFrame(TSnapLines& lines, const TRect& r, TSnapKind kind) {
  lines.X.push_back({2 * std::int64_t(r.Left), kind});
  lines.X.push_back({2 * std::int64_t(r.Right), kind});
  lines.Y.push_back({2 * std::int64_t(r.Top), kind});
  lines.Y.push_back({2 * std::int64_t(r.Bottom), kind});
}

}  // namespace

TSnapLines SnapLinesFor(const TQVSystem& Sys, const TLayer* Dragged, bool SafeAreas) {
  TSnapLines lines;
  const std::int64_t w = Sys.fwidth;
  const std::int64_t h = Sys.fheight;
  lines.X = {{0, TSnapKind::skPage}, {2 * w, TSnapKind::skPage}, {w, TSnapKind::skPage}};
  lines.Y = {{0, TSnapKind::skPage}, {2 * h, TSnapKind::skPage}, {h, TSnapKind::skPage}};
  if (SafeAreas) {
    const TSafeAreas a = SafeAreasFor(Sys.fwidth, Sys.fheight);
    AddFrame(lines, a.Action, TSnapKind::skSafeArea);
    AddFrame(lines, a.Graphics, TSnapKind::skSafeArea);
    if (a.CentreCut) {
      lines.X.push_back({2 * std::int64_t(a.CentreCut->Left), TSnapKind::skSafeArea});
      lines.X.push_back({2 * std::int64_t(a.CentreCut->Right), TSnapKind::skSafeArea});
    }
  }
  for (const auto& layer : Sys.Layers) {
    if (layer.get() == Dragged || !layer->Visible()) continue;
    const TRect r = layer->BoundsRect();
    lines.X.push_back({2 * std::int64_t(r.Left), TSnapKind::skLayer});
    lines.X.push_back({std::int64_t(r.Left) + r.Right, TSnapKind::skLayer});
    lines.X.push_back({2 * std::int64_t(r.Right), TSnapKind::skLayer});
    lines.Y.push_back({2 * std::int64_t(r.Top), TSnapKind::skLayer});
    lines.Y.push_back({std::int64_t(r.Top) + r.Bottom, TSnapKind::skLayer});
    lines.Y.push_back({2 * std::int64_t(r.Bottom), TSnapKind::skLayer});
  }
  return lines;
}

TSnapResult Snap(const TRect& Start, TMouseArea Area, std::int64_t dX, std::int64_t dY, const TSnapLines& Lines,
                 TZoom Zoom) {
  TSnapResult r;
  r.dX = SnapAxis(MovingEdges(Start, Area, true), dX, Lines.X, Zoom, true, r.Guides);
  r.dY = SnapAxis(MovingEdges(Start, Area, false), dY, Lines.Y, Zoom, false, r.Guides);
  return r;
}

void TSnappingMouse::MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  fSys.MouseDown(Button, Shift, X, Y);
  Pressed(X, Y);
}

void TSnappingMouse::Pressed(std::int32_t X, std::int32_t Y) {
  fGuides.clear();
  fLayer = nullptr;
  TLayer* s = fSys._SelectedLayer();
  if (s == nullptr || s->tag0 != 1) return;
  fLayer = s;
  fArea = fSys.MouseEvent;
  fStart = s->BoundsRect();
  fPressX = X;
  fPressY = Y;
  fAppliedX = fAppliedY = 0;
  fLines = SnapLinesFor(fSys, s, SafeAreas);
}

bool TSnappingMouse::DragGoesOn() const {
  // The selection is cleared before a layer is deleted, so a layer still selected is alive.
  return fLayer != nullptr && fSys._SelectedLayer() == fLayer && fLayer->tag0 == 1;
}

void TSnappingMouse::MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor) {
  if (!DragGoesOn()) {
    fLayer = nullptr;
    fGuides.clear();
    fSys.MouseMove(Shift, X, Y, Cursor);
    return;
  }
  const std::int64_t dX = std::int64_t(X) - fPressX;
  const std::int64_t dY = std::int64_t(Y) - fPressY;
  TSnapResult r;
  if ((Shift & ssShift) != 0) {
    r.dX = dX;
    r.dY = dY;
  } else {
    r = Snap(fStart, fArea, dX, dY, fLines, Zoom);
  }
  DragLayerArea(*fLayer, fArea, r.dX - fAppliedX, r.dY - fAppliedY);
  fAppliedX = r.dX;
  fAppliedY = r.dY;
  fSys.Dx = X;
  fSys.DY = Y;
  fGuides = std::move(r.Guides);
}

void TSnappingMouse::MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  fSys.MouseUp(Button, Shift, X, Y);
  Released();
}

void TSnappingMouse::Released() {
  fLayer = nullptr;
  fGuides.clear();
}

}  // namespace qv

// The work area's editing: hover detection, selection, drags of the nine handles and areas, the
// arrow-key nudges, the Delete key, and the editing overlay.
#include "composition/WorkArea.h"

#include "composition/QvSystem.h"

#include <algorithm>
#include <climits>

namespace qv {

namespace {

// Sums of positions and sizes saturate: nothing limits the values a file or a drag gives them.
std::int32_t Add(std::int32_t a, std::int64_t b) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(a + b, INT32_MIN, INT32_MAX));
}

// Within 2 pixels of a (the handle zone is 5 x 5 pixels).
bool Near(std::int32_t v, std::int32_t a) { return std::int64_t(a) - 3 < v && v < std::int64_t(a) + 3; }

}  // namespace

std::optional<TAreaHit> HitTestLayer(const TLayer& L, std::int32_t X, std::int32_t Y) {
  const TRect r = L.BoundsRect();
  const std::int32_t hw = static_cast<std::int32_t>((std::int64_t(r.Right) - r.Left) / 2);
  const std::int32_t hh = static_cast<std::int32_t>((std::int64_t(r.Bottom) - r.Top) / 2);
  const std::int32_t midX = static_cast<std::int32_t>(std::int64_t(r.Left) + hw);
  const std::int32_t midY = static_cast<std::int32_t>(std::int64_t(r.Top) + hh);
  const bool rx = L.AccpetResizeX;
  const bool ry = L.AccpetResizeY;
  if (rx && Near(X, r.Left) && Near(Y, midY)) return TAreaHit{maLeft, TCursor::crSizeWE};
  if (rx && Near(X, r.Right) && Near(Y, midY)) return TAreaHit{maRight, TCursor::crSizeWE};
  if (ry && Near(X, midX) && Near(Y, r.Top)) return TAreaHit{maTop, TCursor::crSizeNS};
  if (ry && Near(X, midX) && Near(Y, r.Bottom)) return TAreaHit{maBottom, TCursor::crSizeNS};
  if (rx && ry && Near(X, r.Left) && Near(Y, r.Top)) return TAreaHit{maTopLeft, TCursor::crSizeNWSE};
  if (rx && ry && Near(X, r.Right) && Near(Y, r.Bottom)) return TAreaHit{maBottomRight, TCursor::crSizeNWSE};
  if (rx && ry && Near(X, r.Right) && Near(Y, r.Top)) return TAreaHit{maTopRight, TCursor::crSizeNESW};
  if (rx && ry && Near(X, r.Left) && Near(Y, r.Bottom)) return TAreaHit{maBottomLeft, TCursor::crSizeNESW};
  if (r.Left < X && X < r.Right && r.Top < Y && Y < r.Bottom) return TAreaHit{maBody, TCursor::crSizeAll};
  return std::nullopt;
}

void DragLayerArea(TLayer& L, TMouseArea Area, std::int64_t dX, std::int64_t dY) {
  switch (Area) {
    case maLeft:
      L.SetX(Add(L.X(), dX));
      L.SetWidth(Add(L.Width(), -dX));
      break;
    case maRight:
      L.SetWidth(Add(L.Width(), dX));
      break;
    case maTop:
      L.SetY(Add(L.Y(), dY));
      L.SetHeight(Add(L.Height(), -dY));
      break;
    case maBottom:
      L.SetHeight(Add(L.Height(), dY));
      break;
    case maTopLeft:
      L.SetX(Add(L.X(), dX));
      L.SetWidth(Add(L.Width(), -dX));
      L.SetY(Add(L.Y(), dY));
      L.SetHeight(Add(L.Height(), -dY));
      break;
    case maBottomRight:
      L.SetWidth(Add(L.Width(), dX));
      L.SetHeight(Add(L.Height(), dY));
      break;
    case maTopRight:
      L.SetWidth(Add(L.Width(), dX));
      L.SetHeight(Add(L.Height(), -dY));
      L.SetY(Add(L.Y(), dY));
      break;
    case maBottomLeft:
      L.SetWidth(Add(L.Width(), -dX));
      L.SetHeight(Add(L.Height(), dY));
      L.SetX(Add(L.X(), dX));
      break;
    case maBody:
      L.SetX(Add(L.X(), dX));
      L.SetY(Add(L.Y(), dY));
      break;
  }
}

void TQVSystem::MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  if (MouseLayer == nullptr) {
    SetSelectedLayer(nullptr);
    return;
  }
  if ((Shift & ssLeft) != 0) {
    MouseLayer->tag0 = 1;
    SetSelectedLayer(MouseLayer);
    Dx = X;
    DY = Y;
  }
}

void TQVSystem::MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor) {
  if (TLayer* s = fSelectedLayer; s != nullptr && s->tag0 == 1) {
    DragLayerArea(*s, MouseEvent, std::int64_t(X) - Dx, std::int64_t(Y) - DY);
    Dx = X;
    DY = Y;
    return;
  }
  // Hover: top layer first; all nine tests on a layer before the layer below it. Over no layer
  // there is no hover layer: its mark leaves the page, and a click there selects nothing (a
  // hover kept from before would have the click select, and a drag move, a layer the pointer
  // left).
  for (auto it = Layers.rbegin(); it != Layers.rend(); ++it) {
    if (const std::optional<TAreaHit> hit = HitTestLayer(**it, X, Y)) {
      MouseLayer = it->get();
      MouseEvent = hit->Area;
      Cursor = hit->Cursor;
      return;
    }
  }
  MouseLayer = nullptr;
}

void TQVSystem::MouseLeave() {
  if (fSelectedLayer != nullptr && fSelectedLayer->tag0 == 1) return;  // a drag goes on outside
  MouseLayer = nullptr;
}

void TQVSystem::MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
  if (fSelectedLayer != nullptr) fSelectedLayer->tag0 = 0;
}

void TQVSystem::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  TLayer* s = fSelectedLayer;
  if (s == nullptr) return;
  if (Key == VK_DELETE) {
    DeleteLayer(s);
    MouseLayer = nullptr;
    return;
  }
  const bool ctrl = (Shift & ssCtrl) != 0;
  const bool alt = (Shift & ssAlt) != 0;
  std::int32_t dx = 0;
  std::int32_t dy = 0;
  std::int32_t dw = 0;
  switch (Key) {
    case VK_UP:
      dy = ctrl ? -4 : -1;
      break;
    case VK_DOWN:
      dy = ctrl ? 4 : 1;
      break;
    case VK_LEFT:
      if (ctrl) {
        dx = -4;
      } else if (alt) {
        dw = -1;
      } else {
        dx = -1;
      }
      break;
    case VK_RIGHT:
      if (ctrl) {
        dx = 4;
      } else if (alt) {
        dw = 1;
      } else {
        dx = 1;
      }
      break;
    default:
      break;
  }
  if (dx == 0 && dy == 0 && dw == 0) return;
  s->SetX(Add(s->X(), dx));
  s->SetY(Add(s->Y(), dy));
  s->SetWidth(Add(s->Width(), dw));
}

void TQVSystem::DrawEditor() {
  if (work) DrawEditor(*work);
}

void TQVSystem::DrawEditor(TmemoryBitmap& Target) {
  TCanvasFactory* canvases = fContext.Canvases;
  if (Target.Empty() || canvases == nullptr) return;
  std::unique_ptr<TCanvas> canvas = canvases->Open(Target.Bits, Target.Width(), Target.Height());
  if (!canvas) return;

  for (const auto& layer : Layers) {
    if (layer->Visible()) layer->DrawEditor(Target, *canvas);
  }
  constexpr std::uint32_t white = 0xFFFFFF;
  constexpr std::uint32_t blue = 0x0000FF;  // 0x00RRGGBB
  if (MouseLayer != nullptr && MouseLayer != fSelectedLayer) {
    canvas->FrameRect(MouseLayer->BoundsRect(), white, TPenMode::pmXor);
  }
  if (MouseLayer != nullptr) {
    canvas->TextOut(MouseLayer->X(), MouseLayer->Y(), MouseLayer->layerName(), 0x000000, white);
  }
  if (TLayer* s = fSelectedLayer) {
    canvas->FrameRect(s->BoundsRect(), white, TPenMode::pmXor);
    const int x = s->X();
    const int y = s->Y();
    const int w = s->Width();
    const int h = s->Height();
    auto handle = [&](int cx, int cy) { canvas->FillRect({cx - 3, cy - 3, cx + 3, cy + 3}, blue, white); };
    if (s->AccpetResizeX) {
      handle(x, y + h / 2);
      handle(x + w, y + h / 2);
    }
    if (s->AccpetResizeY) {
      handle(x + w / 2, y + h);
      handle(x + w / 2, y);
    }
    if (s->AccpetResizeX && s->AccpetResizeY) {
      handle(x, y);
      handle(x + w, y);
      handle(x, y + h);
      handle(x + w, y + h);
    }
  }
}

}  // namespace qv

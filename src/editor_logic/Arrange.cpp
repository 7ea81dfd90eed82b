#include "editor_logic/Arrange.h"

#include "editor_logic/SafeAreas.h"

#include <algorithm>
#include <climits>

namespace qv {

namespace {

constexpr TArrangeCommand kCommands[] = {
    {TArrangeEdge::aeLeft, "Align Left"},     {TArrangeEdge::aeCentre, "Align Centre"},
    {TArrangeEdge::aeRight, "Align Right"},   {TArrangeEdge::aeTop, "Align Top"},
    {TArrangeEdge::aeMiddle, "Align Middle"}, {TArrangeEdge::aeBottom, "Align Bottom"},
};

// Floor of a / 2.
std::int64_t Half(std::int64_t a) { return a >= 0 ? a / 2 : -((-a + 1) / 2); }

}  // namespace

std::span<const TArrangeCommand> ArrangeCommands() { return kCommands; }

TRect ArrangeFrameRect(TArrangeFrame Frame, std::int32_t Width, std::int32_t Height) {
  if (Frame == TArrangeFrame::afGraphicsSafe) return SafeAreasFor(Width, Height).Graphics;
  return {0, 0, Width, Height};
}

std::int64_t ArrangeOffset(const TRect& b, const TRect& f, TArrangeEdge Edge) {
  switch (Edge) {
    case TArrangeEdge::aeLeft: return std::int64_t(f.Left) - b.Left;
    case TArrangeEdge::aeRight: return std::int64_t(f.Right) - b.Right;
    case TArrangeEdge::aeCentre:
      return Half(std::int64_t(f.Left) + f.Right - (std::int64_t(b.Left) + b.Right));
    case TArrangeEdge::aeTop: return std::int64_t(f.Top) - b.Top;
    case TArrangeEdge::aeBottom: return std::int64_t(f.Bottom) - b.Bottom;
    case TArrangeEdge::aeMiddle:
      return Half(std::int64_t(f.Top) + f.Bottom - (std::int64_t(b.Top) + b.Bottom));
  }
  return 0;
}

bool ArrangeSelected(TQVSystem& Sys, TArrangeEdge Edge, TArrangeFrame Frame) {
  TLayer* l = Sys._SelectedLayer();
  if (l == nullptr) return false;
  const std::int64_t d = ArrangeOffset(l->BoundsRect(), ArrangeFrameRect(Frame, Sys.fwidth, Sys.fheight), Edge);
  auto moved = [d](std::int32_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v + d, INT32_MIN, INT32_MAX));
  };
  const bool across = Edge == TArrangeEdge::aeLeft || Edge == TArrangeEdge::aeCentre || Edge == TArrangeEdge::aeRight;
  if (across) {
    l->SetX(moved(l->X()));
  } else {
    l->SetY(moved(l->Y()));
  }
  return true;
}

}  // namespace qv

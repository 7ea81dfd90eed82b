#pragma once
// The work area's editing: which handle or area of a layer the pointer is on, and what a drag
// on each of them changes. TQVSystem's mouse, key and overlay operations (WorkArea.cpp) use it.
#include "platform/Canvas.h"
#include "platform/Input.h"

#include <cstdint>
#include <optional>

namespace qv {

class TLayer;

// The nine places of a layer the pointer can take hold of, in the order hover detection tries
// them (the values are those the composition's MouseEvent has always held).
enum TMouseArea : std::int32_t {
  maLeft = 0,         // left edge: X and Width
  maRight = 1,        // right edge: Width
  maTop = 2,          // top edge: Y and Height
  maBottom = 3,       // bottom edge: Height
  maTopLeft = 4,      // X, Width, Y, Height
  maBottomRight = 5,  // Width, Height
  maTopRight = 6,     // Width, Height, Y
  maBottomLeft = 7,   // Width, Height, X
  maBody = 8,         // X, Y: the move
};

struct TAreaHit {
  TMouseArea Area = maBody;
  TCursor Cursor = TCursor::crDefault;
};

// The handle or area of L that (X, Y) is on, with the cursor it shows; none when the point is
// neither within 2 pixels of an applicable handle nor strictly inside L's bounds.
std::optional<TAreaHit> HitTestLayer(const TLayer& L, std::int32_t X, std::int32_t Y);

// Applies a drag by (dX, dY) on Area to L, each change through its setter in the order the
// area's comment gives. Sums saturate at the 32-bit range.
void DragLayerArea(TLayer& L, TMouseArea Area, std::int64_t dX, std::int64_t dY);

}  // namespace qv

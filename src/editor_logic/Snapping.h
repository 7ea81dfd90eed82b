#pragma once
// Snapping while a layer is dragged or resized on the work area: the edges that move (all three
// lines of a move: left, centre, right and top, middle, bottom; only the dragged edge of a
// resize) are pulled onto the nearest line of the page (its edges and centre lines), of the
// safe-area frames when they are shown, and of the other visible layers (their edges and centres),
// when one lies within 6 screen pixels. Positions are counted in half pixels, so that the centre
// of an odd size is a line like any other. Shift frees the drag.
#include "composition/QvSystem.h"
#include "editor_logic/WorkAreaView.h"

#include <cstdint>
#include <vector>

namespace qv {

// How far a line pulls, in screen pixels.
inline constexpr std::int32_t kSnapReach = 6;

enum class TSnapKind : std::uint8_t { skPage, skSafeArea, skLayer };

struct TSnapLine {
  std::int64_t Position2 = 0;  // in half pixels: 2 · x (a vertical line) or 2 · y
  TSnapKind Kind = TSnapKind::skPage;
  friend bool operator==(const TSnapLine&, const TSnapLine&) = default;
};

struct TSnapLines {
  std::vector<TSnapLine> X;  // vertical lines
  std::vector<TSnapLine> Y;  // horizontal lines
};

// The lines a drag of Dragged snaps to on Sys: the page's, the safe areas' when SafeAreas, and
// each other visible layer's, in that order.
TSnapLines SnapLinesFor(const TQVSystem& Sys, const TLayer* Dragged, bool SafeAreas);

// A line that holds: drawn across the page while the drag rests on it.
struct TSnapGuide {
  bool Vertical = true;
  std::int64_t Position2 = 0;
  TSnapKind Kind = TSnapKind::skPage;
  friend bool operator==(const TSnapGuide&, const TSnapGuide&) = default;
};

struct TSnapResult {
  std::int64_t dX = 0;  // the drag's move, pulled onto the lines
  std::int64_t dY = 0;
  std::vector<TSnapGuide> Guides;
};

// The drag (dX, dY) from the start of a gesture on Area of a layer whose bounds were Start, pulled
// so that its nearest moving edge within reach (kSnapReach screen pixels at Zoom) lies on a line;
// each direction on its own. The nearest line wins, the first of Lines on a tie.
TSnapResult Snap(const TRect& Start, TMouseArea Area, std::int64_t dX, std::int64_t dY, const TSnapLines& Lines,
                 TZoom Zoom);

// The work area's mouse with snapping: hands presses, moves and releases to the composition,
// except the moves of a drag it started, which it makes itself: the drag's whole move since the
// press, snapped unless Shift is held, applied through the drag of the composition (so each change
// goes through its setter in the order the composition makes it).
class TSnappingMouse {
 public:
  explicit TSnappingMouse(TQVSystem& Sys) : fSys(Sys) {}

  // Whether the safe-area frames pull (they do while they are shown).
  bool SafeAreas = false;
  // The zoom the reach is measured at.
  TZoom Zoom;

  void MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  void MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor);
  void MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  // The halves of MouseDown and MouseUp that are its own, for a caller that hands the press and
  // the release to the composition through something else (a recorder of the history): after the
  // composition's MouseDown at (X, Y), and after its MouseUp.
  void Pressed(std::int32_t X, std::int32_t Y);
  void Released();
  // Whether a drag is running (from a press on a layer to the release).
  bool Dragging() const { return fLayer != nullptr; }
  // The lines the drag rests on now; empty without a drag or while nothing holds.
  const std::vector<TSnapGuide>& Guides() const { return fGuides; }

 private:
  bool DragGoesOn() const;
  TQVSystem& fSys;
  TLayer* fLayer = nullptr;  // the layer dragged, while the composition drags it
  TMouseArea fArea = maBody;
  TRect fStart;              // its bounds at the press
  std::int32_t fPressX = 0;
  std::int32_t fPressY = 0;
  std::int64_t fAppliedX = 0;  // the move made so far
  std::int64_t fAppliedY = 0;
  TSnapLines fLines;
  std::vector<TSnapGuide> fGuides;
};

}  // namespace qv

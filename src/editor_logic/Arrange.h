#pragma once
// The Arrange menu: the selected layer lined up with the page or with its graphics-safe frame.
// A layer is lined up by what is seen of it (its bounds), and moved through its X or Y.
#include "composition/QvSystem.h"

#include <cstdint>
#include <span>

namespace qv {

enum class TArrangeEdge : std::uint8_t { aeLeft, aeCentre, aeRight, aeTop, aeMiddle, aeBottom };
enum class TArrangeFrame : std::uint8_t { afPage, afGraphicsSafe };

// One row per command of the menu, in its order.
struct TArrangeCommand {
  TArrangeEdge Edge;
  const char* Text;  // "Align Left", ...
};
std::span<const TArrangeCommand> ArrangeCommands();

// The frame a layer is lined up with on a Width x Height page.
TRect ArrangeFrameRect(TArrangeFrame Frame, std::int32_t Width, std::int32_t Height);

// How far Bounds moves (along x for left, centre and right, along y for the others) to line up
// with Frame. A centre that falls between two pixels is taken at the left or upper one.
std::int64_t ArrangeOffset(const TRect& Bounds, const TRect& Frame, TArrangeEdge Edge);

// Moves the selected layer; false (nothing done) without a selection. Its X or Y is set through
// the setter, also when it does not move.
bool ArrangeSelected(TQVSystem& Sys, TArrangeEdge Edge, TArrangeFrame Frame);

}  // namespace qv

#pragma once
// The safe areas of a page as broadcast practice frames them: action-safe (93 % of the width and
// of the height, centred) and graphics-safe (90 %), the same on 4:3 and on 16:9 pages; and on a
// 16:9 page the 4:3 centre cut, the full-height 4:3 rectangle in its middle that a 4:3 set shows.
// The editor draws them over the work area; they are never part of a page's pixels.
#include "platform/Canvas.h"

#include <cstdint>
#include <optional>

namespace qv {

struct TSafeAreas {
  TRect Action;
  TRect Graphics;
  std::optional<TRect> CentreCut;  // 16:9 pages only
};

// Whether a page is wide (nearer 16:9 than 4:3): wider than 14:9, the ratio between the two.
bool WidePage(std::int32_t Width, std::int32_t Height);

// The frames of a Width x Height page. Each margin is its share of the side rounded to the nearest
// pixel (halves up), the same on both sides, so the frames sit on the page's centre lines.
TSafeAreas SafeAreasFor(std::int32_t Width, std::int32_t Height);

}  // namespace qv

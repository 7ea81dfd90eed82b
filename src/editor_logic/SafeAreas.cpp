#include "editor_logic/SafeAreas.h"

namespace qv {

namespace {

// Per mille of Side left free on each side: (1000 - Share) / 2 of it, rounded half up.
std::int32_t Margin(std::int32_t Side, std::int32_t SharePerMille) {
  return static_cast<std::int32_t>((std::int64_t(Side) * (1000 - SharePerMille) + 1000) / 2000);
}

TRect Inset(std::int32_t Width, std::int32_t Height, std::int32_t SharePerMille) {
  const std::int32_t mx = Margin(Width, SharePerMille);
  const std::int32_t my = Margin(Height, SharePerMille);
  return {mx, my, Width - mx, Height - my};
}

}  // namespace

bool WidePage(std::int32_t Width, std::int32_t Height) { return std::int64_t(Width) * 9 > std::int64_t(Height) * 14; }

TSafeAreas SafeAreasFor(std::int32_t Width, std::int32_t Height) {
  TSafeAreas a;
  a.Action = Inset(Width, Height, 930);
  a.Graphics = Inset(Width, Height, 900);
  if (WidePage(Width, Height)) {
    // Height * 4 / 3 wide, rounded to the nearest pixel, centred; an odd leftover goes right.
    const std::int32_t cut = static_cast<std::int32_t>((std::int64_t(Height) * 8 + 3) / 6);
    const std::int32_t left = (Width - cut) / 2;
    a.CentreCut = TRect{left, 0, left + cut, Height};
  }
  return a;
}

}  // namespace qv

#pragma once
// Mouse, key and cursor values as the work area hands them to the composition.
#include <cstdint>

namespace qv {

enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

// The held buttons and modifier keys.
enum TShiftStateBit : std::uint8_t {
  ssShift = 1 << 0,
  ssAlt = 1 << 1,
  ssCtrl = 1 << 2,
  ssLeft = 1 << 3,
  ssRight = 1 << 4,
  ssMiddle = 1 << 5,
};
using TShiftState = std::uint8_t;

// The platform's standard cursor shapes the work area shows.
enum class TCursor : std::uint8_t {
  crDefault,
  crSizeWE,    // horizontal resize
  crSizeNS,    // vertical resize
  crSizeNWSE,  // diagonal, top-left to bottom-right
  crSizeNESW,  // diagonal, top-right to bottom-left
  crSizeAll,   // four-way move
};

// Virtual-key codes the composition reacts to.
enum TVirtualKey : std::uint16_t {
  VK_LEFT = 37,
  VK_UP = 38,
  VK_RIGHT = 39,
  VK_DOWN = 40,
  VK_DELETE = 46,
};

}  // namespace qv

#pragma once
// File-name order for image sequences: runs of digits compare by their numeric value, so
// "frame_2" comes before "frame_10"; letters compare without regard to case.
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// True when A sorts before B. A strict weak order that is total on distinct names: names equal
// under the natural rules (for example "a01" and "a1", or "A" and "a") fall back to byte order.
bool NaturalLess(std::string_view A, std::string_view B);

void SortNatural(std::vector<std::string>& Names);

}  // namespace qv

#pragma once
// The one frame rate of every page: keys sit on whole frames, 25 of them a second, and a frame
// lasts 40 ms. Rulers, timecodes, clocks, playout, files and the editor's pacing all count in it.
#include <cstdint>

namespace qv {

inline constexpr std::int32_t kFramesPerSecond = 25;
inline constexpr std::int32_t kMsPerFrame = 1000 / kFramesPerSecond;

}  // namespace qv

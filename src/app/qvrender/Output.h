#pragma once
// What qvrender writes: images for people to look at, layer listings.
#include "raster/StreamBitmaps.h"
#include "video/FrameFiles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {
class TQVSystem;
}

namespace qv::render {

// A premultiplied bitmap as the bytes of an RGBA PNG with straight (unweighted) alpha: each colour
// byte becomes c * 255 / a rounded, fully transparent pixels become 0.
std::vector<std::uint8_t> StraightAlphaPng(const TmemoryBitmap& Bmp);

// Frames are written by qv::WriteFrame (video/FrameFiles.h).
using qv::WriteFrame;

// One line per layer, bottom first, tab-separated: index, class name, layerName, X, Y, Width,
// Height, the four sides of BoundsRect, and the Text of layers that have one.
std::string DescribeLayers(const TQVSystem& Sys);

}  // namespace qv::render

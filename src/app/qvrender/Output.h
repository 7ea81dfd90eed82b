#pragma once
// What qvrender writes: images for people to look at, layer listings.
#include "raster/StreamBitmaps.h"

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

// Writes a frame, PNG (as above) or TGA, so that the file is either complete or not changed: the
// image is encoded in memory first and then put in place like a project file (a new file renamed
// over the old one). A full disk or an unwritable folder throws an error naming the file and the
// reason; no partial image is left behind.
void WriteFrame(const TmemoryBitmap& Bmp, const std::string& FileName, bool Tga);

// One line per layer, bottom first, tab-separated: index, class name, layerName, X, Y, Width,
// Height, the four sides of BoundsRect, and the Text of layers that have one.
std::string DescribeLayers(const TQVSystem& Sys);

}  // namespace qv::render

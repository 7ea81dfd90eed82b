#pragma once
// What qvrender writes: images for people to look at, the editor's checkerboard, layer listings.
#include "raster/StreamBitmaps.h"

#include <string>

namespace qv {
class TQVSystem;
}

namespace qv::render {

// Writes a premultiplied bitmap as an RGBA PNG with straight (unweighted) alpha: each colour byte
// becomes c * 255 / a rounded, fully transparent pixels become 0. Throws EImageError naming the
// file when it cannot be written.
void WriteStraightAlphaPng(const TmemoryBitmap& Bmp, const std::string& FileName);

// The editor's background: 8 x 8 squares, white where column and row have the same parity,
// #CCCCCC elsewhere, opaque.
TStreamedBitmap MakeCheckerboard(int Width, int Height);

// One line per layer, bottom first, tab-separated: index, class name, layerName, X, Y, Width,
// Height, the four sides of BoundsRect, and the Text of layers that have one.
std::string DescribeLayers(const TQVSystem& Sys);

}  // namespace qv::render

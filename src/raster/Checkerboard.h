#pragma once
// The background people look at pages over: 8 × 8 squares, white where column and row have the
// same parity and light grey (#CCCCCC) elsewhere, opaque, starting white at the top-left corner.
#include "raster/StreamBitmaps.h"

namespace qv {

// The checkerboard at Width × Height (a partial last square is covered).
TStreamedBitmap MakeCheckerboard(int Width, int Height);

}  // namespace qv

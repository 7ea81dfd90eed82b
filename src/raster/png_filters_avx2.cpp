// The PNG filters compiled for AVX2 (this file's own flags, -mavx2); reached only through
// FilterRowAvx2(), which answers null on a CPU without AVX2.
#define QV_PNG_FILTERS_NS avx2
#include "raster/PngFiltersBody.h"

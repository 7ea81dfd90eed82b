// The baseline build of the PNG filters, and the choice of the variant for this CPU.
#define QV_PNG_FILTERS_NS baseline
#include "raster/PngFiltersBody.h"

namespace qv::image {

namespace avx2 {
TPngFilter FilterRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp, std::uint8_t* out,
                     std::uint8_t* candidates);  // png_filters_avx2.cpp
}

TFilterRowFn FilterRowBaseline() { return baseline::FilterRow; }

TFilterRowFn FilterRowAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has ? avx2::FilterRow : nullptr;
}

TPngFilter FilterRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp, std::uint8_t* out,
                     TFilterScratch& scratch) {
  static const TFilterRowFn chosen = FilterRowAvx2() ? FilterRowAvx2() : FilterRowBaseline();
  return chosen(cur, prev, n, bpp, out, scratch.Rows());
}

void ApplyFilter(TPngFilter filter, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp,
                 std::uint8_t* out) {
  baseline::ApplyFilter(filter, cur, prev, n, bpp, out);
}

}  // namespace qv::image

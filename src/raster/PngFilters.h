#pragma once
// PNG's five row filters (filter method 0): each byte of a row minus a prediction from the byte
// one pixel to its left (a), the byte above (b) and the byte above-left (c); none, a, b,
// (a + b) / 2 or Paeth's choice among a, b and c. The writer chooses for each row the filter whose
// bytes, read as signed, have the smallest sum of magnitudes (the measure PNG encoders use).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::image {

enum TPngFilter { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };

// Rows are read from kFilterPad bytes before their first byte: the bytes left of the first pixel,
// which must be zero.
constexpr std::size_t kFilterPad = 16;

// Room for the candidate rows of one row of n bytes.
class TFilterScratch {
 public:
  explicit TFilterScratch(std::size_t n = 0) { Resize(n); }
  void Resize(std::size_t n) {
    fRows.resize(5 * n);
    fN = n;
  }
  std::uint8_t* Rows() { return fRows.data(); }

 private:
  std::vector<std::uint8_t> fRows;
  std::size_t fN = 0;
};

// Filters row `cur` (n bytes, bpp bytes a pixel: 3 or 4) against `prev` (the row above; zeros for
// the first row) into `out` with the filter chosen for it, which it answers. A row equal to the
// one above takes pfUp (all zeros) without trying the others.
TPngFilter FilterRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp, std::uint8_t* out,
                     TFilterScratch& scratch);

// The variants FilterRow chooses from once, by the CPU: the baseline build and the AVX2 build (null
// on a CPU without AVX2). Both give the same choice and the same bytes. Candidates: room for five
// rows of n bytes (TFilterScratch::Rows).
using TFilterRowFn = TPngFilter (*)(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp,
                                    std::uint8_t* out, std::uint8_t* candidates);
TFilterRowFn FilterRowBaseline();
TFilterRowFn FilterRowAvx2();

// One given filter, for tests: out = cur filtered with `filter`.
void ApplyFilter(TPngFilter filter, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp,
                 std::uint8_t* out);

}  // namespace qv::image

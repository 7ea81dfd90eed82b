// The PNG filters' body, written once. A file per instruction set (PngFilters.cpp for the
// baseline, png_filters_avx2.cpp) defines QV_PNG_FILTERS_NS and includes this file, which compiles
// the filters with that file's flags into qv::image::QV_PNG_FILTERS_NS. Everything but the two
// entries has internal linkage and nothing calls an inline function of a header, so that no copy
// compiled for AVX2 serves other callers.
#ifndef QV_PNG_FILTERS_NS
#error "define QV_PNG_FILTERS_NS before including PngFiltersBody.h"
#endif

#include <cstring>

#include "raster/PngFilters.h"

namespace qv::image::QV_PNG_FILTERS_NS {

namespace {

// A filtered byte read as signed, as a magnitude: v for 0..127, 256 - v for 128..255.
inline unsigned Magnitude(std::uint8_t v) { return v < std::uint8_t(-v) ? v : std::uint8_t(-v); }

// Paeth's predictor: of a, b and c, the one nearest to a + b - c (ties to a, then b).
inline std::uint8_t Paeth(std::int16_t a, std::int16_t b, std::int16_t c) {
  const std::int16_t pa = std::int16_t(b > c ? b - c : c - b);
  const std::int16_t pb = std::int16_t(a > c ? a - c : c - a);
  const std::int16_t s = std::int16_t(a + b - 2 * c);
  const std::int16_t pc = std::int16_t(s < 0 ? -s : s);
  return std::uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Each filter writes its bytes and answers their measure. One loop per filter, without branches
// inside, so that the compiler turns each into vector code.
template <int Bpp>
unsigned Sub(const std::uint8_t* cur, const std::uint8_t*, std::size_t n, std::uint8_t* out) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = std::uint8_t(cur[i] - cur[std::ptrdiff_t(i) - Bpp]);
    sum += Magnitude(out[i]);
  }
  return sum;
}

template <int Bpp>
unsigned Up(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::uint8_t* out) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = std::uint8_t(cur[i] - prev[i]);
    sum += Magnitude(out[i]);
  }
  return sum;
}

template <int Bpp>
unsigned Average(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::uint8_t* out) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t a = cur[std::ptrdiff_t(i) - Bpp], b = prev[i];
    // (a + b) / 2 without leaving the byte
    out[i] = std::uint8_t(cur[i] - ((a & b) + ((a ^ b) >> 1)));
    sum += Magnitude(out[i]);
  }
  return sum;
}

template <int Bpp>
unsigned PaethRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::uint8_t* out) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = std::uint8_t(cur[i] - Paeth(cur[std::ptrdiff_t(i) - Bpp], prev[i], prev[std::ptrdiff_t(i) - Bpp]));
    sum += Magnitude(out[i]);
  }
  return sum;
}

unsigned None(const std::uint8_t* cur, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += Magnitude(cur[i]);
  return sum;
}

template <int Bpp>
TPngFilter Choose(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::uint8_t* out,
                  std::uint8_t* candidates) {
  const auto row = [&](TPngFilter f) { return candidates + std::size_t(f) * n; };
  if (std::memcmp(cur, prev, n) == 0) {
    std::memset(out, 0, n);
    return pfUp;
  }
  unsigned best = None(cur, n);
  TPngFilter chosen = pfNone;
  const auto consider = [&](TPngFilter f, unsigned sum) {
    if (sum < best) {
      best = sum;
      chosen = f;
    }
  };
  consider(pfSub, Sub<Bpp>(cur, prev, n, row(pfSub)));
  consider(pfUp, Up<Bpp>(cur, prev, n, row(pfUp)));
  consider(pfAverage, Average<Bpp>(cur, prev, n, row(pfAverage)));
  consider(pfPaeth, PaethRow<Bpp>(cur, prev, n, row(pfPaeth)));
  std::memcpy(out, chosen == pfNone ? cur : row(chosen), n);
  return chosen;
}

template <int Bpp>
void Apply(TPngFilter filter, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::uint8_t* out) {
  switch (filter) {
    case pfNone: std::memcpy(out, cur, n); break;
    case pfSub: Sub<Bpp>(cur, prev, n, out); break;
    case pfUp: Up<Bpp>(cur, prev, n, out); break;
    case pfAverage: Average<Bpp>(cur, prev, n, out); break;
    case pfPaeth: PaethRow<Bpp>(cur, prev, n, out); break;
  }
}

}  // namespace

TPngFilter FilterRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp, std::uint8_t* out,
                     std::uint8_t* candidates) {
  return bpp == 4 ? Choose<4>(cur, prev, n, out, candidates) : Choose<3>(cur, prev, n, out, candidates);
}

void ApplyFilter(TPngFilter filter, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, int bpp,
                 std::uint8_t* out) {
  if (bpp == 4) {
    Apply<4>(filter, cur, prev, n, out);
  } else {
    Apply<3>(filter, cur, prev, n, out);
  }
}

}  // namespace qv::image::QV_PNG_FILTERS_NS

#include "composition/NaturalOrder.h"

#include <algorithm>

namespace qv {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// -1, 0, 1 under the natural rules alone.
int NaturalCompare(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Skip leading zeros, then the longer run of significant digits is the larger number;
      // equal lengths compare digit by digit. No overflow, whatever the length of the run.
      std::size_t ia = i;
      std::size_t jb = j;
      while (ia < a.size() && a[ia] == '0') ++ia;
      while (jb < b.size() && b[jb] == '0') ++jb;
      std::size_t ea = ia;
      std::size_t eb = jb;
      while (ea < a.size() && IsDigit(a[ea])) ++ea;
      while (eb < b.size() && IsDigit(b[eb])) ++eb;
      const std::size_t la = ea - ia;
      const std::size_t lb = eb - jb;
      if (la != lb) return la < lb ? -1 : 1;
      for (std::size_t k = 0; k < la; ++k) {
        if (a[ia + k] != b[jb + k]) return a[ia + k] < b[jb + k] ? -1 : 1;
      }
      i = ea;
      j = eb;
      continue;
    }
    const char ca = Lower(a[i]);
    const char cb = Lower(b[j]);
    if (ca != cb) {
      return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
    }
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  const int c = NaturalCompare(a, b);
  if (c != 0) return c < 0;
  return a < b;
}

void SortNatural(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
}

}  // namespace qv

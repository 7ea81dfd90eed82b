#include "base/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qv {

double RoundHalfEven(double x) {
  double r = std::round(x);  // halves away from zero
  if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
  return r;
}

namespace {
template <class Int>
Int SaturatedInt(double r) {
  if (std::isnan(r)) return 0;
  constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
  // max() + 1 is a power of two and exact as a double.
  constexpr double hiExclusive = -lo;
  if (r < lo) return std::numeric_limits<Int>::min();
  if (r >= hiExclusive) return std::numeric_limits<Int>::max();
  return static_cast<Int>(r);
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::int32_t RoundToInt32(double x) { return SaturatedInt<std::int32_t>(RoundHalfEven(x)); }
std::int64_t RoundToInt64(double x) { return SaturatedInt<std::int64_t>(RoundHalfEven(x)); }
std::int32_t TruncToInt32(double x) { return SaturatedInt<std::int32_t>(std::trunc(x)); }

std::string FormatFixed(double value, int decimals) {
  // The largest double has 309 integer digits; 32 decimals is more than any caller asks for.
  if (decimals < 0) decimals = 0;
  if (decimals > 32) decimals = 32;
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return std::string();
  std::string s(buf, res.ptr);
  if (!s.empty() && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

bool ParseFloat(std::string_view text, double& value) {
  text = TrimBlanks(text);
  std::string norm;
  norm.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') norm.push_back('-');
    ++i;
  }
  int digits = 0;
  bool sep = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (IsDigit(c)) {
      ++digits;
      norm.push_back(c);
    } else if ((c == '.' || c == ',') && !sep) {
      sep = true;
      norm.push_back('.');
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    norm.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) norm.push_back(text[i++]);
    int expDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++expDigits) norm.push_back(text[i]);
    if (expDigits == 0) return false;
  }
  if (i != text.size()) return false;
  double v = 0.0;
  auto res = std::from_chars(norm.data(), norm.data() + norm.size(), v);
  if (res.ec != std::errc() || res.ptr != norm.data() + norm.size()) return false;
  value = v;
  return true;
}

bool ParseInt(std::string_view text, std::int32_t& value) {
  value = 0;
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  // Accumulate the magnitude; stop before a digit that would overflow.
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t mag = 0;
  int digits = 0;
  bool stoppedEarly = false;
  for (; i < text.size(); ++i) {
    int d = hex ? HexDigit(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (d < 0) {
      stoppedEarly = true;
      break;
    }
    std::uint64_t next = mag * (hex ? 16u : 10u) + static_cast<std::uint64_t>(d);
    if (next > limit) {
      stoppedEarly = true;
      break;
    }
    mag = next;
    ++digits;
  }
  std::int64_t signedMag;
  if (hex) {
    signedMag = static_cast<std::int32_t>(static_cast<std::uint32_t>(mag));
  } else {
    signedMag = static_cast<std::int64_t>(mag);
  }
  std::int64_t v = negative ? -signedMag : signedMag;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    v = 0;  // "-$80000000" wraps past the range: keep nothing rather than a wrong number
  value = static_cast<std::int32_t>(v);
  return digits > 0 && !stoppedEarly;
}

bool ParseBool(std::string_view text, bool& value) {
  double d = 0.0;
  if (ParseFloat(text, d)) {
    value = d != 0.0;
    return true;
  }
  if (SameText(text, "True")) {
    value = true;
    return true;
  }
  if (SameText(text, "False")) {
    value = false;
    return true;
  }
  return false;
}

std::string_view TrimBlanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Upper(c);
  return r;
}

}  // namespace qv

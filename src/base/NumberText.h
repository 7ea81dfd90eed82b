#pragma once
// Numbers as text, independent of any locale: values are always written with "." and read
// with "." or "," as the decimal separator, so a file saved on one machine opens on every other.
// Real-to-integer conversions round to nearest with halves to the even neighbour.
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2); NaN and infinities pass
// through. Independent of the floating-point rounding mode.
double RoundHalfEven(double x);

// RoundHalfEven saturated into the 32-bit range; NaN gives 0 (a plain conversion would be
// undefined for values outside the range).
std::int32_t RoundToInt32(double x);
std::int64_t RoundToInt64(double x);

// Truncation toward zero, saturated the same way.
std::int32_t TruncToInt32(double x);

// Fixed-point text with exactly `decimals` digits after ".", like printf's "%1.<decimals>f" in
// the C locale. A result whose digits are all zero carries no minus sign.
std::string FormatFixed(double value, int decimals);

// A real number: optional blanks, optional sign, digits with at most one decimal separator
// ("." or ","), optional exponent, optional blanks. No thousands separators, no "inf"/"nan".
// On failure `value` is left unchanged and the result is false.
bool ParseFloat(std::string_view text, double& value);

// A 32-bit integer: optional leading blanks, optional sign, then decimal digits, or hexadecimal
// digits after "$" or "0x". On success the whole text was used. On failure `value` holds the
// number made of the digits read before the first character that is not a digit (0 when there
// are none), the way loaded integers keep what could be read; a digit that would overflow counts
// as such a character. Hexadecimal takes up to 32 bits as a bit pattern ("$FFFFFFFF" is -1).
bool ParseInt(std::string_view text, std::int32_t& value);

// A boolean: a number (ParseFloat) is true when it is not 0; otherwise "True" or "False" in any
// letter case. On failure `value` is left unchanged.
bool ParseBool(std::string_view text, bool& value);

// ASCII helpers shared by the readers.
std::string_view TrimBlanks(std::string_view s);  // removes leading and trailing chars <= ' '
bool SameText(std::string_view a, std::string_view b);  // ASCII case-insensitive equality
std::string UpperCase(std::string_view s);              // ASCII upper case

}  // namespace qv

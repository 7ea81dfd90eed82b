#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>

#include "base/NumberText.h"

namespace qv {
namespace {

struct RoundCase {
  double x;
  double expected;
};

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const RoundCase cases[] = {{2.5, 2.0},  {3.5, 4.0},   {-2.5, -2.0}, {-3.5, -4.0}, {0.5, 0.0},   {1.5, 2.0},
                             {2.4, 2.0},  {2.6, 3.0},   {-2.6, -3.0}, {127.5, 128.0}, {126.5, 126.0},
                             {1e300, 1e300}, {4503599627370497.0, 4503599627370497.0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.x), c.expected) << c.x;
}

TEST(RoundHalfEven, IntegerConversionsSaturateInsteadOfOverflowing) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(RoundToInt32(1e20), kMax);
  EXPECT_EQ(RoundToInt32(-1e20), kMin);
  EXPECT_EQ(RoundToInt32(std::nan("")), 0);
  EXPECT_EQ(RoundToInt32(2147483647.4), kMax);
  EXPECT_EQ(RoundToInt32(-2147483648.4), kMin);
  EXPECT_EQ(RoundToInt32(2.5), 2);
  EXPECT_EQ(TruncToInt32(-7.9), -7);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(RoundToInt64(1e30), std::numeric_limits<std::int64_t>::max());
}

struct FormatCase {
  double value;
  int decimals;
  const char* expected;
};

TEST(FormatFixed, WritesPointAndExactDecimals) {
  const FormatCase cases[] = {
      {0.5, 8, "0.50000000"},     {10.0, 8, "10.00000000"},    {-1.25, 4, "-1.2500"},
      {255.0, 4, "255.0000"},     {-0.0, 8, "0.00000000"},     {-1e-10, 8, "0.00000000"},
      {1234567.125, 4, "1234567.1250"}, {0.00005, 4, "0.0001"}, {2.0 / 3.0, 12, "0.666666666667"},
      {3.0, 0, "3"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.value, c.decimals), c.expected) << c.value;
}

// A locale whose decimal separator is a comma, as on a machine set to a European language.
struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(FormatFixed, IgnoresTheProcessLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  const std::string text = FormatFixed(1.5, 8);
  double back = 0.0;
  const bool ok = ParseFloat("2.25", back);
  std::locale::global(previous);
  EXPECT_EQ(text, "1.50000000");
  EXPECT_TRUE(ok);
  EXPECT_EQ(back, 2.25);
}

struct FloatCase {
  const char* text;
  bool ok;
  double value;
};

TEST(ParseFloat, AcceptsPointOrCommaAndRejectsTheRest) {
  const FloatCase cases[] = {
      {"1.5", true, 1.5},       {"1,5", true, 1.5},      {" -2.25 ", true, -2.25}, {"+3", true, 3.0},
      {".5", true, 0.5},        {"5.", true, 5.0},       {"1e3", true, 1000.0},    {"1,5E2", true, 150.0},
      {"10.00000000", true, 10.0}, {"-0,0001", true, -0.0001},
      {"abc", false, 0},        {"", false, 0},          {"   ", false, 0},         {"1.2.3", false, 0},
      {"1,2.3", false, 0},      {"inf", false, 0},       {"nan", false, 0},        {"1e", false, 0},
      {"-", false, 0},          {"1 2", false, 0},       {"12abc", false, 0},      {"1e999", false, 0},
      {"1 000", false, 0},
  };
  for (const auto& c : cases) {
    double v = -99.0;
    EXPECT_EQ(ParseFloat(c.text, v), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v, c.ok ? c.value : -99.0) << '"' << c.text << '"';
  }
}

struct IntCase {
  const char* text;
  bool ok;
  std::int32_t value;
};

TEST(ParseInt, DecimalHexAndTheDigitsBeforeAFault) {
  const IntCase cases[] = {
      {"42", true, 42},
      {"  -7", true, -7},
      {"+5", true, 5},
      {"$FF", true, 255},
      {"0x10", true, 16},
      {"-$10", true, -16},
      {"$FFFFFFFF", true, -1},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
      {"12abc", false, 12},
      {"", false, 0},
      {"abc", false, 0},
      {"-", false, 0},
      {"1.5", false, 1},
      {"300 ", false, 300},
      {"2147483648", false, 214748364},
      {"$", false, 0},
      {"$1G", false, 1},
  };
  for (const auto& c : cases) {
    std::int32_t v = -99;
    EXPECT_EQ(ParseInt(c.text, v), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v, c.value) << '"' << c.text << '"';
  }
}

struct BoolCase {
  const char* text;
  bool ok;
  bool value;
};

TEST(ParseBool, NumbersAndWordsInAnyCase) {
  const BoolCase cases[] = {
      {"TRUE", true, true}, {"true", true, true},  {"False", true, false}, {"1", true, true},
      {"-3", true, true},   {"0", true, false},    {"0.0", true, false},   {"0,5", true, true},
      {"yes", false, false}, {"", false, false},   {"Truee", false, false},
  };
  for (const auto& c : cases) {
    bool v = false;
    EXPECT_EQ(ParseBool(c.text, v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(TextHelpers, TrimSameTextUpperCase) {
  EXPECT_EQ(TrimBlanks("\t  a b \r\n"), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_TRUE(SameText("Opacity", "oPACITY"));
  EXPECT_FALSE(SameText("Opacity", "Opacit"));
  EXPECT_EQ(UpperCase("TImageLayer"), "TIMAGELAYER");
}

}  // namespace
}  // namespace qv

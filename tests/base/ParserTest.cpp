#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Parser.h"

namespace qv {
namespace {

struct ParseCase {
  const char* delimiters;
  const char* text;
  std::vector<std::string> tokens;
};

TEST(TParser, SplitsOnRunsOfDelimiters) {
  const ParseCase cases[] = {
      {" ", "Anim0 Constant 0 0.0000 25 255.0000 ", {"Anim0", "Constant", "0", "0.0000", "25", "255.0000"}},
      {",", "1.00000000 , 2.50000000 ,3", {"1.00000000 ", " 2.50000000 ", "3"}},
      {" ", "   a   b  ", {"a", "b"}},
      {",", ",,a,,b", {"a", "b"}},
      {" ", "", {}},
      {" ", "    ", {}},
      {", ", "x, y ,z", {"x", "y", "z"}},
      {" ", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", {"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC"}},  // UTF-8 bytes are never delimiters
  };
  for (const auto& c : cases) {
    TParser p(c.delimiters);
    p.beginParse(c.text);
    std::vector<std::string> got;
    for (std::string t = p.Parse(); !t.empty(); t = p.Parse()) got.push_back(t);
    EXPECT_EQ(got, c.tokens) << '"' << c.text << '"';
    EXPECT_EQ(p.Parse(), "");  // stays empty once used up
  }
}

TEST(TParser, PositionAndLength) {
  TParser p(" ");
  p.beginParse("  ab cd");
  EXPECT_EQ(p.Len, 7);
  EXPECT_EQ(p.idx, 3);
  EXPECT_EQ(p.Parse(), "ab");
  EXPECT_EQ(p.idx, 6);
  EXPECT_EQ(p.Parse(), "cd");
  EXPECT_EQ(p.idx, 8);
}

}  // namespace
}  // namespace qv

#include "composition/NaturalOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace qv {
namespace {

TEST(NaturalOrder, Pairs) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  };
  const Case cases[] = {
      {"frame_2.png", "frame_10.png", true},   {"frame_10.png", "frame_2.png", false},
      {"f9", "f10", true},                     {"a", "B", true},
      {"B", "a", false},                       {"x1y2", "x1y10", true},
      {"img007.tga", "img8.tga", true},        {"a", "a1", true},
      {"2", "10", true},                       {"99999999999999999999", "100000000000000000000", true},
      {"a01", "a1", true},                     {"a1", "a01", false},  // equal numbers: byte order
      {"A", "a", true},                        {"same", "same", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(NaturalOrder, SortsAShuffledSequenceIntoPlayOrder) {
  std::vector<std::string> expected;
  for (int i = 1; i <= 120; ++i) expected.push_back("shot_" + std::to_string(i) + ".png");
  auto names = expected;
  std::mt19937 rng(7);
  std::shuffle(names.begin(), names.end(), rng);
  SortNatural(names);
  EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace qv

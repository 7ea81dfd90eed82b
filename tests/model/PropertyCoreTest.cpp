#include <gtest/gtest.h>

#include "TestClasses.h"

namespace qv::test {
namespace {

std::vector<std::string> ChildNames(const TCustomContainerObject& c) {
  std::vector<std::string> names;
  for (auto& p : c.Properties()) names.push_back(p->Name);
  return names;
}

TEST(Discovery, OwnMembersFirstThenAncestorsInDeclarationOrder) {
  auto layer = Make<TKindLayer>();
  EXPECT_EQ(ChildNames(*layer), (std::vector<std::string>{"Text", "VerticalAlignment", "Font", "Speed",
                                                           "layerName", "Visible", "Opacity", "X"}));
  EXPECT_EQ(layer->ClassName(), "TKindLayer");
  EXPECT_EQ(layer->Font()->ClassName(), "TGroup");
  EXPECT_EQ(ChildNames(*layer->Font()), (std::vector<std::string>{"Size", "Color"}));
}

}  // namespace
}  // namespace qv::test

#include <gtest/gtest.h>

#include "TestClasses.h"
#include "model/UndoEngine.h"

namespace qv::test {
namespace {

// Properties with static storage are destroyed after main returns; their destructors still
// reach the registry, which therefore must outlive them (the sanitizer build checks the exit).
TDouble gStaticValue;
std::unique_ptr<TKindLayer> gStaticLayer;

TEST(StaticLifetime, StaticPropertiesWithTracksAndUndoElementsOutliveTheTest) {
  gStaticValue.Animation(true)->AddKey(0.0, 1.0);
  gStaticLayer = Make<TKindLayer>();
  gStaticLayer->Font()->Size()->Animation(true)->AddKey(3.0, 4.0);
  UndoEngine().PushUndoAction(std::make_unique<TPropertyChangedElement>(gStaticLayer->X()));
  EXPECT_TRUE(gStaticValue.HasAnimation());
  EXPECT_NE(AnimationManager().Find(gStaticLayer->Font()->Size()), nullptr);
}

}  // namespace
}  // namespace qv::test

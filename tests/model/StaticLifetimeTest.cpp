#include <gtest/gtest.h>

#include "TestClasses.h"
#include "model/UndoEngine.h"

namespace qv::test {
namespace {

// Objects with static storage are destroyed after main returns, in the reverse order of their
// making: a page declared before its objects outlives them, and their destructors still reach its
// registry (the sanitizer build checks the exit). An object outside any page reaches nothing.
TestPage gStaticPage;
TDouble gStaticValue;
std::unique_ptr<TKindLayer> gStaticLayer;
TDouble gLoneValue;

TEST(StaticLifetime, StaticPropertiesWithTracksAndUndoElementsOutliveTheTest) {
  gStaticPage.Join(gStaticValue);
  gStaticValue.Animation(true)->AddKey(0.0, 1.0);
  gStaticLayer = Make<TKindLayer>();
  gStaticPage.Join(*gStaticLayer);
  gStaticLayer->Font()->Size()->Animation(true)->AddKey(3.0, 4.0);
  gStaticPage.Undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(gStaticLayer->X()));
  EXPECT_TRUE(gStaticValue.HasAnimation());
  EXPECT_NE(gStaticPage.Animations.Find(gStaticLayer->Font()->Size()), nullptr);
}

// Outside a page nothing can be keyed: no track is made, frames and the writer find none, and a
// value set with automatic keying on elsewhere stays a plain value.
TEST(StaticLifetime, AnObjectOutsideAPageHoldsNoTracks) {
  EXPECT_EQ(gLoneValue.Animation(true), nullptr);
  EXPECT_FALSE(gLoneValue.HasAnimation());
  EXPECT_EQ(gLoneValue.AnimationManager(), nullptr);
  EXPECT_EQ(gLoneValue.UndoEngine(), nullptr);
  gLoneValue.SetValue(3.5);
  gLoneValue.SetFrame(10);
  EXPECT_EQ(gLoneValue.Value(), 3.5);
  TMemoryLineWriter w;
  gLoneValue.Name = "Lone";
  gLoneValue.SaveToStream("", w);
  EXPECT_EQ(w.Lines, (std::vector<std::string>{"Lone = 3.50000000"}));
}

}  // namespace
}  // namespace qv::test

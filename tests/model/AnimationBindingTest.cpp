#include <gtest/gtest.h>

#include <limits>

#include "TestClasses.h"

namespace qv::test {
namespace {

std::vector<std::pair<double, double>> Keys(const Tkeys* k) {
  std::vector<std::pair<double, double>> out;
  for (int i = 0; k && i < k->Count(); ++i) out.emplace_back(k->key(i)->fframe, k->key(i)->fvalue);
  return out;
}

using KeyList = std::vector<std::pair<double, double>>;

class Binding : public ::testing::Test {
 protected:
  TestPage page;  // every test has a registry of its own
  TAnimationManager& am = page.Animations;
};

TEST_F(Binding, DoubleFollowsItsTrackAndNotifiesOnlyOnChange) {
  TDouble d;
  page.Join(d);
  Tkeys* k = d.Animation(true);
  k->AddKey(0.0, 0.0);
  k->AddKey(10.0, 100.0);
  ChangeCounter c(&d);
  d.SetFrame(5);
  EXPECT_EQ(d.Value(), 50.0);
  EXPECT_EQ(c.count, 1);
  d.SetFrame(5);
  EXPECT_EQ(c.count, 1);
}

TEST_F(Binding, FrameEvaluationIgnoresLimits) {
  TMinMaxInteger i;
  page.Join(i);
  i.SetMinMax(0, 20);
  Tkeys* k = i.Animation(true);
  k->AddKey(0.0, 0.0);
  k->AddKey(10.0, 100.0);
  i.SetFrame(5);
  EXPECT_EQ(i.Value(), 50);
}

struct IntFrameCase {
  double k0, k1;  // values at frames 0 and 1
  double frame;
  std::int32_t expected;
};

TEST_F(Binding, IntegerRoundsHalvesToEven) {
  const IntFrameCase cases[] = {
      {0, 1, 0.5, 0}, {1, 2, 0.5, 2}, {2, 3, 0.5, 2}, {0, 1, 0.6, 1}, {-1, 0, 0.5, 0}, {0, 1e12, 1, 2147483647},
  };
  for (const auto& c : cases) {
    TInteger i;
    page.Join(i);
    Tkeys* k = i.Animation(true);
    k->AddKey(0.0, c.k0);
    k->AddKey(1.0, c.k1);
    i.SetFrame(c.frame);
    EXPECT_EQ(i.Value(), c.expected) << c.k0 << ".." << c.k1 << " at " << c.frame;
  }
}

TEST_F(Binding, WithoutAutomaticKeyingASetValueShiftsTheWholeCurve) {
  TDouble d;
  page.Join(d);
  d.SetValue(10.0);
  Tkeys* k = d.Animation(true);
  k->AddKey(0.0, 0.0);
  k->AddKey(10.0, 100.0);
  d.SetValue(30.0);
  EXPECT_EQ(Keys(k), (KeyList{{0, 20}, {10, 120}}));
  EXPECT_EQ(d.Value(), 30.0);
}

TEST_F(Binding, ClampedValueShiftsByTheClampedDifference) {
  TMinMaxDouble d;
  page.Join(d);
  d.SetMinMax(0, 50);
  d.SetValue(10.0);
  Tkeys* k = d.Animation(true);
  k->AddKey(0.0, 0.0);
  k->AddKey(10.0, 100.0);
  d.SetValue(80.0);  // becomes 50: the curve moves by 40
  EXPECT_EQ(Keys(k), (KeyList{{0, 40}, {10, 140}}));
}

TEST_F(Binding, IntegerCurveShiftCannotOverflow) {
  TInteger i;
  page.Join(i);
  i.SetValue(std::numeric_limits<std::int32_t>::min());
  Tkeys* k = i.Animation(true);
  k->AddKey(0.0, 0.0);
  i.SetValue(std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(k->key(0)->fvalue, 4294967295.0);
}

struct AutoKeyCase {
  double registryFrame;
  KeyList expected;
};

TEST_F(Binding, AutomaticKeyingOnADouble) {
  const AutoKeyCase cases[] = {
      {12.0, {{0, 3}, {12, 7}}},
      {0.0, {{0, 7}}},
      {12.5, {{0, 3}, {12.5, 7}}},  // real-valued frames keep their fraction
  };
  for (const auto& c : cases) {
    TDouble d;
    page.Join(d);
    d.SetValue(3.0);
    am.AutoAnimationMode = true;
    am.Frame = c.registryFrame;
    d.SetValue(7.0);
    am.AutoAnimationMode = false;
    EXPECT_EQ(Keys(d.Animation(false)), c.expected) << c.registryFrame;
    EXPECT_EQ(d.Value(), 7.0);
  }
}

TEST_F(Binding, AutomaticKeyingOnAnInteger) {
  const AutoKeyCase cases[] = {
      {12.7, {{0, 3}, {12, 7}}},  // the frame is truncated
      {0.0, {{0, 7}}},            // the old-value key at 0 is replaced at once
      {-2.5, {{-2, 7}, {0, 3}}},
  };
  for (const auto& c : cases) {
    TInteger i;
    page.Join(i);
    i.SetValue(3);
    am.AutoAnimationMode = true;
    am.Frame = c.registryFrame;
    i.SetValue(7);
    am.AutoAnimationMode = false;
    EXPECT_EQ(Keys(i.Animation(false)), c.expected) << c.registryFrame;
  }
}

TEST_F(Binding, AutomaticKeyingAddsToAnExistingTrack) {
  TDouble d;
  page.Join(d);
  am.AutoAnimationMode = true;
  am.Frame = 5.0;
  d.SetValue(1.0);
  am.Frame = 9.0;
  d.SetValue(2.0);
  am.Frame = 5.0;
  d.SetValue(4.0);
  EXPECT_EQ(Keys(d.Animation(false)), (KeyList{{0, 0}, {5, 4}, {9, 2}}));
}

TEST_F(Binding, DisabledSlotsAreNotEvaluatedAndTheLastEnabledSlotDecides) {
  TDouble d;
  page.Join(d);
  d.Animation(true, 1)->AddKey(0.0, 42.0);
  d.SetFrame(0);
  EXPECT_EQ(d.Value(), 0.0);
  am.Anims[1].enabled = true;
  d.SetFrame(0);
  EXPECT_EQ(d.Value(), 42.0);
  d.Animation(true, 0)->AddKey(0.0, 7.0);
  d.SetFrame(0);
  EXPECT_EQ(d.Value(), 42.0);  // slot 0, then slot 1
  d.Animation(true, 1)->Clear();  // an empty track is not evaluated
  d.SetFrame(0);
  EXPECT_EQ(d.Value(), 7.0);
}

TEST_F(Binding, ASubscriberThatDropsTheTracksDuringEvaluationStopsIt) {
  TDouble d;
  page.Join(d);
  am.Anims[1].enabled = true;
  d.Animation(true, 0)->AddKey(0.0, 5.0);
  d.Animation(true, 1)->AddKey(0.0, 9.0);
  int key = 0, calls = 0;
  d.AddChangeNotify(&key, [&](TBaseProperty* s, void*, const std::string&, std::int32_t) {
    ++calls;
    am.Remove(s);
  });
  d.SetFrame(0);
  EXPECT_EQ(d.Value(), 5.0);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(d.HasAnimation(1));
}

TEST_F(Binding, StringTrackNotifiesOnEveryEvaluation) {
  TString s;
  page.Join(s);
  Tkeys* k = s.Animation(true);
  k->AddKey(0.0, std::string("A"));
  k->AddKey(10.0, std::string("B"));
  ChangeCounter c(&s);
  s.SetFrame(3);
  EXPECT_EQ(s.Value(), "A");
  EXPECT_EQ(c.count, 1);
  s.SetFrame(4);
  EXPECT_EQ(s.Value(), "A");
  EXPECT_EQ(c.count, 2);
  s.SetFrame(10);
  EXPECT_EQ(s.Value(), "B");
}

TEST_F(Binding, StringSetValueLeavesItsTrackAlone) {
  TString s;
  page.Join(s);
  Tkeys* k = s.Animation(true);
  k->AddKey(0.0, std::string("A"));
  am.AutoAnimationMode = true;
  s.SetValue("typed");
  EXPECT_EQ(k->Count(), 1);
  EXPECT_EQ(k->key(0)->fstr, "A");
}

TEST_F(Binding, BooleansAndEnumerationsHoldTracksButNeverFollowThem) {
  TBoolean b;
  page.Join(b);
  TEnum<TVTextAlig> e;
  page.Join(e);
  b.Animation(true)->AddKey(0.0, 1.0);
  e.Animation(true)->AddKey(0.0, 2.0);
  ChangeCounter cb(&b), ce(&e);
  b.SetFrame(0);
  e.SetFrame(0);
  EXPECT_FALSE(b.Value());
  EXPECT_EQ(e.Value(), vaTop);
  EXPECT_EQ(cb.count + ce.count, 0);
  EXPECT_TRUE(b.HasAnimation());
}

TEST_F(Binding, GetAnimationFromCopiesKeysOfTheSameClassWithAnOffset) {
  TDouble src, dst;
  page.Join(src, dst);
  src.Animation(true)->AddKey(0.0, 1.0);
  src.Animation(true)->AddKey(10.0, 2.0)->fstr = "not copied";
  dst.Animation(true)->AddKey(3.0, 9.0);  // cleared first
  dst.getAnimationFrom(&src, 25);
  EXPECT_EQ(Keys(dst.Animation(false)), (KeyList{{25, 1}, {35, 2}}));
  EXPECT_EQ(dst.Animation(false)->key(1)->fstr, "");

  TInteger other;
  page.Join(other);
  other.Animation(true)->AddKey(0.0, 5.0);
  dst.getAnimationFrom(&other, 0);  // another class: nothing happens
  EXPECT_EQ(Keys(dst.Animation(false)), (KeyList{{25, 1}, {35, 2}}));

  TDouble fresh, empty;
  page.Join(fresh, empty);
  fresh.getAnimationFrom(&empty, 0);  // the source gets an empty track, the target one too
  EXPECT_TRUE(empty.HasAnimation());
  EXPECT_TRUE(fresh.HasAnimation());
  EXPECT_EQ(fresh.Animation(false)->Count(), 0);

  src.getAnimationFrom(&src, 5);  // from itself: the cleared track has nothing to copy
  EXPECT_EQ(src.Animation(false)->Count(), 0);
}

TEST_F(Binding, ContainerGetAnimationFromPairsChildrenByPosition) {
  auto a = Make<TKindLayer>();
  page.Join(*a);
  auto b = Make<TKindLayer>();
  page.Join(*b);
  a->X()->Animation(true)->AddKey(0.0, 5.0);
  a->Font()->Color()->Blue()->Animation(true)->AddKey(2.0, 0.5);
  b->getAnimationFrom(a.get(), 10);
  EXPECT_EQ(Keys(b->X()->Animation(false)), (KeyList{{10, 5}}));
  EXPECT_EQ(Keys(b->Font()->Color()->Blue()->Animation(false)), (KeyList{{12, 0.5}}));
  auto g = Make<TGroup>();
  page.Join(*g);
  g->getAnimationFrom(a.get(), 0);  // another class
  EXPECT_FALSE(g->Size()->HasAnimation());
}

TEST_F(Binding, SetFrameReachesTheChannelsOfANestedColour) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Tkeys* k = layer->Font()->Color()->Green()->Animation(true);
  k->AddKey(0.0, 0.0);
  k->AddKey(10.0, 1.0);
  ChangeCounter layerChanges(layer.get());
  layer->SetFrame(5);
  EXPECT_EQ(layer->Font()->Color()->Green()->Value(), 0.5);
  EXPECT_EQ(layerChanges.count, 1);
}

TEST_F(Binding, ClearAndAnimationTypeAffectOnlyExistingTracks) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Tkeys* x = layer->X()->Animation(true);
  x->AddKey(0.0, 1.0);
  layer->SetAnimationType(atPingPong);
  EXPECT_EQ(x->finat, atPingPong);
  EXPECT_EQ(x->Foutat, atPingPong);
  EXPECT_FALSE(layer->Speed()->HasAnimation());  // nothing created for the others
  layer->ClearAnimation();
  EXPECT_EQ(layer->X()->Animation(false), x);  // the track stays, empty
  EXPECT_EQ(x->Count(), 0);
  EXPECT_FALSE(layer->Text()->HasAnimation());
}

TEST_F(Binding, TracksFollowTheCurrentSlot) {
  TDouble d;
  page.Join(d);
  am.Slot = 3;
  Tkeys* k = d.Animation(true);
  EXPECT_EQ(am.trygetAnimation(&d, 3), k);
  EXPECT_TRUE(d.HasAnimation());
  EXPECT_FALSE(d.HasAnimation(0));
  EXPECT_TRUE(d.HasAnimation(3));
}

TEST_F(Binding, ANegativeCurrentSlotAddressesNoTrackAndNothingFails) {
  TDouble d;
  page.Join(d);
  am.Slot = -5;
  EXPECT_EQ(d.Animation(true), nullptr);
  EXPECT_FALSE(d.HasAnimation());
  am.AutoAnimationMode = true;
  d.SetValue(3.0);
  EXPECT_EQ(d.Value(), 3.0);
  d.ClearAnimation();
  d.SetAnimationType(atLoop);
  const double v[] = {1.0};
  const std::int32_t f[] = {0};
  d.MakeAnimation(v, f, 0);
  TDouble src;
  page.Join(src);
  d.getAnimationFrom(&src, 0);
  EXPECT_EQ(am.Find(&d), nullptr);
}

TEST_F(Binding, MakeAnimationWithScaleRoundsFramesHalvesToEven) {
  TDouble d;
  page.Join(d);
  const double values[] = {1, 2, 3, 4};
  const std::int32_t frames[] = {10, 11, 12, 15};
  d.MakeAnimation(values, frames, 2.0f, 10);
  EXPECT_EQ(Keys(d.Animation(false)), (KeyList{{10, 1}, {12, 2}, {14, 3}, {20, 4}}));

  TDouble half;
  page.Join(half);
  const std::int32_t odd[] = {1, 3, 5};
  half.MakeAnimation(std::span<const double>(values, 3), odd, 0.5f, 0);
  // 0.5 -> 0, 1.5 -> 2, 2.5 -> 2: the third key replaces the second.
  EXPECT_EQ(Keys(half.Animation(false)), (KeyList{{0, 1}, {2, 3}}));
}

TEST_F(Binding, MakeAnimationWithoutScaleStoresTheFirstValueSilently) {
  TDouble d;
  page.Join(d);
  ChangeCounter c(&d);
  const double values[] = {4, 5, 6};
  const std::int32_t frames[] = {0, 10, 20};
  d.MakeAnimation(values, frames, 100);
  EXPECT_EQ(d.Value(), 4.0);
  EXPECT_EQ(c.count, 0);
  EXPECT_EQ(Keys(d.Animation(false)), (KeyList{{100, 4}, {110, 5}, {120, 6}}));

  TDouble shortValues;
  page.Join(shortValues);
  shortValues.MakeAnimation(std::span<const double>(values, 1), frames, 0);  // fewer values than frames
  EXPECT_EQ(Keys(shortValues.Animation(false)), (KeyList{{0, 4}}));
}

TEST_F(Binding, MakeAnimationOfStrings) {
  TString s;
  page.Join(s);
  const std::string values[] = {"one", "two"};
  const std::int32_t frames[] = {0, 4};
  s.MakeAnimation(values, frames, 2.5f, 0);
  Tkeys* k = s.Animation(false);
  ASSERT_EQ(k->Count(), 2);
  EXPECT_EQ(k->key(1)->fframe, 10.0);
  s.SetFrame(11);
  EXPECT_EQ(s.Value(), "two");
}

}  // namespace
}  // namespace qv::test

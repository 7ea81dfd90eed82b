#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "base/NumberText.h"
#include "animation/UBezier.h"

namespace qv {
namespace {

std::vector<double> Frames(const Tkeys& k) {
  std::vector<double> f;
  for (int i = 0; i < k.Count(); ++i) f.push_back(k.key(i)->fframe);
  return f;
}

TEST(TkeysAddKey, SameFrameReplacesInPlace) {
  Tkeys k;
  k.AddKey(0.0, 1.0);
  Tkeyframe* first = k.AddKey(5.0, 2.0);
  first->fstr = "kept";
  first->fTag = 9;
  Tkeyframe* again = k.AddKey(5.0, 7.0);
  EXPECT_EQ(again, first);
  EXPECT_EQ(k.Count(), 2);
  EXPECT_EQ(again->fvalue, 7.0);
  EXPECT_EQ(again->fstr, "kept");
  EXPECT_EQ(again->fTag, 9);

  // A string key at the same frame keeps the numeric value.
  Tkeyframe* s = k.AddKey(5.0, std::string("txt"));
  EXPECT_EQ(s, first);
  EXPECT_EQ(s->fvalue, 7.0);
  EXPECT_EQ(s->fstr, "txt");
}

TEST(TkeysAddKey, KeysComeOutSorted) {
  Tkeys k;
  k.AddKey(10.0, 1);
  k.AddKey(0.0, 2);
  k.AddKey(5.0, 3);
  k.AddKey(-2.5, std::string("s"));
  EXPECT_EQ(Frames(k), (std::vector<double>{-2.5, 0.0, 5.0, 10.0}));
  EXPECT_EQ(k.key(0)->Owner, &k);
  EXPECT_EQ(k.key(1)->fvalue, 2.0);
}

TEST(TkeysAddKey, BoundsOnlyWidenAndSurviveClear) {
  Tkeys k("T");
  EXPECT_EQ(k.startframe, 268435455.0);
  EXPECT_EQ(k.EndFrame, 0.0);
  EXPECT_EQ(k.Minvalue, 16777215.0);
  EXPECT_EQ(k.maxvalue, -16777215.0);
  k.AddKey(-10.0, 5.0);
  k.AddKey(-4.0, -3.0);
  EXPECT_EQ(k.startframe, -10.0);
  EXPECT_EQ(k.EndFrame, 0.0);  // all keys negative: the end stays at its start value
  EXPECT_EQ(k.Minvalue, -3.0);
  EXPECT_EQ(k.maxvalue, 5.0);
  k.AddKey(30.0, std::string("text"));  // string keys move the frame bounds only
  EXPECT_EQ(k.EndFrame, 30.0);
  EXPECT_EQ(k.maxvalue, 5.0);
  EXPECT_EQ(k.P.size(), 2u);  // and leave the coefficients alone
  k.finat = atLoop;
  k.Clear();
  EXPECT_EQ(k.Count(), 0);
  EXPECT_EQ(k.startframe, -10.0);
  EXPECT_EQ(k.EndFrame, 30.0);
  EXPECT_EQ(k.Minvalue, -3.0);
  EXPECT_EQ(k.maxvalue, 5.0);
  EXPECT_EQ(k.finat, atLoop);
  EXPECT_EQ(k.Name, "T");
}

TEST(TkeysKey, ClampsTheIndexAndFailsCleanlyWhenEmpty) {
  Tkeys k;
  EXPECT_THROW(k.key(0), std::out_of_range);
  k.AddKey(0.0, 1.0);
  k.AddKey(10.0, 2.0);
  EXPECT_EQ(k.key(-5)->fframe, 0.0);
  EXPECT_EQ(k.key(2)->fframe, 10.0);
  EXPECT_EQ(k.key(99)->fframe, 10.0);
  EXPECT_TRUE(k.HasKeyAt(10.0));
  EXPECT_FALSE(k.HasKeyAt(10.5));
}

struct EvalCase {
  double x;
  double expected;
};

TEST(TkeysEvaluate, LinearClampsToTheKeys) {
  Tkeys k;
  k.AddKey(0.0, 0.0);
  k.AddKey(10.0, 100.0);
  k.Foutat = atLoop;  // not consulted by the linear evaluator
  k.finat = atPingPong;
  const EvalCase cases[] = {{5, 50}, {-3, 0}, {12, 100}, {10, 100}, {0, 0}, {2.5, 25}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(k.LinearKeyframe(c.x), c.expected) << c.x;
}

TEST(TkeysEvaluate, CosineEasesBetweenKeys) {
  Tkeys k;
  k.AddKey(0.0, 0.0);
  k.AddKey(10.0, 100.0);
  const EvalCase cases[] = {{5, 50}, {-1, 0}, {11, 100}, {2.5, 100 * (1 - std::cos(std::numbers::pi / 4)) / 2}};
  for (const auto& c : cases) EXPECT_NEAR(k.CosineKeyframe(c.x), c.expected, 1e-9) << c.x;
}

struct StrCase {
  Tanimationtype in;
  Tanimationtype out;
  double x;
  const char* expected;
};

TEST(TkeysEvaluate, StrKeyFrameRemapsOutOfRange) {
  Tkeys k;
  k.AddKey(0.0, std::string("A"));
  k.AddKey(5.0, std::string("B"));
  k.AddKey(10.0, std::string("C"));
  const StrCase cases[] = {
      {atConstant, atConstant, 4.9, "A"},  {atConstant, atConstant, 5, "B"},
      {atConstant, atConstant, 99, "C"},   {atConstant, atConstant, -99, "A"},
      {atConstant, atLoop, 12, "A"},       {atConstant, atLoop, 17, "B"},
      {atConstant, atLoop, 10, "C"},       {atLoop, atConstant, -3, "B"},
      {atLoop, atConstant, -8, "A"},       {atPingPong, atConstant, -3, "A"},
      {atPingPong, atConstant, -7, "B"},   {atConstant, atPingPong, 13, "B"},   // 13 -> 7
      {atConstant, atPingPong, 23, "A"},   // 23 -> 3
      {atConstant, atCycle, 12, "C"},      {atConstant, atLinear, 15, "C"},
      {atConstant, atRelativeRepeat, 15, "C"}, {atRelativeRepeat, atConstant, -3, "A"},
      {atCycle, atConstant, -3, "A"},
  };
  for (const auto& c : cases) {
    k.finat = c.in;
    k.Foutat = c.out;
    EXPECT_EQ(k.StrKeyFrame(c.x), c.expected) << "in " << int(c.in) << " out " << int(c.out) << " x " << c.x;
  }
}

TEST(TkeysEvaluate, StrKeyFrameLoopAndPingPongExamples) {
  Tkeys loop;
  loop.AddKey(0.0, std::string("A"));
  loop.AddKey(10.0, std::string("B"));
  loop.Foutat = atLoop;
  EXPECT_EQ(loop.StrKeyFrame(9), "A");
  EXPECT_EQ(loop.StrKeyFrame(10), "B");
  EXPECT_EQ(loop.StrKeyFrame(12), "A");

  // Keys at 0 and 100 with a key at 50 to show where x lands: 150 and 250 both land on 50.
  Tkeys pp;
  pp.AddKey(0.0, std::string("low"));
  pp.AddKey(50.0, std::string("mid"));
  pp.AddKey(100.0, std::string("high"));
  pp.Foutat = atPingPong;
  EXPECT_EQ(pp.StrKeyFrame(150), "mid");
  EXPECT_EQ(pp.StrKeyFrame(250), "mid");
  EXPECT_EQ(pp.StrKeyFrame(149), "mid");   // 51
  EXPECT_EQ(pp.StrKeyFrame(151), "low");   // 49
}

TEST(TkeysEvaluate, OneKeyAnswersItsValueEverywhere) {
  Tkeys k;
  Tkeyframe* key = k.AddKey(7.0, 3.25);
  key->fstr = "only";
  for (Tanimationtype mode : {atConstant, atLoop, atPingPong, atCycle}) {
    k.finat = k.Foutat = mode;
    for (double x : {-100.0, 0.0, 7.0, 8.5, 1e9}) {
      EXPECT_EQ(k.LinearKeyframe(x), 3.25);
      EXPECT_EQ(k.IntKeyframe(x), 3.25);
      EXPECT_EQ(k.CosineKeyframe(x), 3.25);
      EXPECT_EQ(k.QuadraticKeyFrame(x), 3.25);
      EXPECT_EQ(k.PolynomialKeyFrame(x), 3.25);
      EXPECT_EQ(k.KoKeyframe(x), 3.25);
      EXPECT_EQ(k.StrKeyFrame(x), "only");
    }
  }
}

TEST(TkeysEvaluate, EmptyTrackAnswersZeroAndEmpty) {
  Tkeys k;
  EXPECT_EQ(k.LinearKeyframe(3), 0.0);
  EXPECT_EQ(k.IntKeyframe(3), 0.0);
  EXPECT_EQ(k.CosineKeyframe(3), 0.0);
  EXPECT_EQ(k.QuadraticKeyFrame(3), 0.0);
  EXPECT_EQ(k.PolynomialKeyFrame(3), 0.0);
  EXPECT_EQ(k.KoKeyframe(3), 0.0);
  EXPECT_EQ(k.Kochanek(0, 3), 0.0);
  EXPECT_EQ(k.StrKeyFrame(3), "");
}

TEST(TkeysCurve, TwoKeysMakeAStraightCubic) {
  Tkeys k;
  k.AddKey(0.0, 0.0);
  k.AddKey(10.0, 30.0);
  EXPECT_DOUBLE_EQ(k.key(0)->firstControlPoint, 10.0);
  EXPECT_DOUBLE_EQ(k.key(0)->secondControlPoint, 20.0);
  const EvalCase cases[] = {{0, 0}, {2.5, 7.5}, {5, 15}, {10, 30}, {-4, 0}, {14, 30}};
  for (const auto& c : cases) EXPECT_NEAR(k.IntKeyframe(c.x), c.expected, 1e-12) << c.x;
}

TEST(TkeysCurve, ControlPointsMakeASmoothNaturalSpline) {
  Tkeys k;
  const double values[] = {0.0, 10.0, -5.0, 20.0, 3.0};
  for (int i = 0; i < 5; ++i) k.AddKey(i * 10.0, values[i]);
  const int n = k.Count() - 1;
  auto K = [&](int i) { return k.key(i)->fvalue; };
  auto P1 = [&](int i) { return k.key(i)->firstControlPoint; };
  auto P2 = [&](int i) { return k.key(i)->secondControlPoint; };
  for (int i = 0; i + 1 < n; ++i) {
    // Equal first and second derivatives where segment i meets segment i+1.
    EXPECT_NEAR(K(i + 1) - P2(i), P1(i + 1) - K(i + 1), 1e-9) << i;
    EXPECT_NEAR(P1(i) - 2 * P2(i) + K(i + 1), K(i + 1) - 2 * P1(i + 1) + P2(i + 1), 1e-9) << i;
  }
  // Natural ends: no curvature at the first and the last key.
  EXPECT_NEAR(K(0) - 2 * P1(0) + P2(0), 0.0, 1e-9);
  EXPECT_NEAR(P1(n - 1) - 2 * P2(n - 1) + K(n), 0.0, 1e-9);
  // The curve passes through every key.
  for (int i = 0; i <= n; ++i) EXPECT_NEAR(k.IntKeyframe(i * 10.0), K(i), 1e-9) << i;
}

TEST(TkeysCurve, IntKeyframeFollowsOutOfRangeModes) {
  Tkeys k;
  k.AddKey(0.0, 0.0);
  k.AddKey(10.0, 30.0);
  k.Foutat = atLoop;
  EXPECT_NEAR(k.IntKeyframe(12.5), 7.5, 1e-12);
  k.Foutat = atConstant;
  EXPECT_NEAR(k.IntKeyframe(12.5), 30.0, 1e-12);
}

TEST(TkeysQuadratic, ParabolaThroughThreeKeysAndLinearWhereThereAreNotThree) {
  Tkeys k;
  k.AddKey(0.0, 0.0);
  k.AddKey(10.0, 100.0);
  k.AddKey(20.0, 400.0);  // 100 * (x / 10)^2
  const EvalCase cases[] = {
      {15, 225},  // segment 10..20 uses keys 0, 10, 20
      {12, 144},
      {5, 50},    // first segment: only two distinct keys, read as a line
      {20, 400},  // at and past the last key
      {25, 400},
      {-5, 0},
  };
  for (const auto& c : cases) EXPECT_NEAR(k.QuadraticKeyFrame(c.x), c.expected, 1e-9) << c.x;

  Tkeys two;
  two.AddKey(0.0, 0.0);
  two.AddKey(10.0, 10.0);
  EXPECT_DOUBLE_EQ(two.QuadraticKeyFrame(4.0), 4.0);
  EXPECT_TRUE(std::isfinite(two.QuadraticKeyFrame(10.0)));
}

TEST(TkeysPolynomial, UsesTheCoefficientsAndHoldsTheEnds) {
  Tkeys k;
  k.AddKey(0.0, 1.0);
  k.AddKey(5.0, 2.0);
  k.AddKey(10.0, 3.0);
  ASSERT_EQ(k.P.size(), 3u);
  EXPECT_EQ(k.PolynomialKeyFrame(5.0), 0.0);  // nothing fits the coefficients
  EXPECT_EQ(k.PolynomialKeyFrame(-1.0), 1.0);
  EXPECT_EQ(k.PolynomialKeyFrame(11.0), 3.0);
  k.P = {1.0, 0.0, 0.5};  // a^2 + 0.5
  EXPECT_DOUBLE_EQ(k.PolynomialKeyFrame(5.0), 0.75);
  EXPECT_DOUBLE_EQ(k.PolynomialKeyFrame(10.0), 1.5);
  // A string key adds a key without a coefficient: the missing one counts as 0.
  k.AddKey(7.0, std::string("x"));
  EXPECT_EQ(k.P.size(), 3u);
  EXPECT_TRUE(std::isfinite(k.PolynomialKeyFrame(6.0)));
}

TEST(TkeysKochanek, CatmullRomRoundedToWholeNumbers) {
  Tkeys line;
  for (int i = 0; i <= 3; ++i) line.AddKey(i * 10.0, i * 10.0);
  // Inside, the tangents follow the line; at the ends the clamped neighbour halves the tangent
  // (first segment at 5: 4.375).
  const EvalCase onLine[] = {{15, 15}, {12, 12}, {5, 4}, {30, 30}, {35, 30}, {-5, 0}};
  for (const auto& c : onLine) EXPECT_EQ(line.KoKeyframe(c.x), c.expected) << c.x;

  Tkeys step;
  step.AddKey(0.0, 0.0);
  step.AddKey(10.0, 1.0);
  EXPECT_EQ(step.KoKeyframe(5.0), 0.0);  // exactly 0.5, halves to even
  EXPECT_EQ(step.KoKeyframe(6.0), 1.0);  // 0.624
  EXPECT_EQ(step.KoKeyframe(4.0), 0.0);  // 0.376
  EXPECT_EQ(step.KoKeyframe(10.0), 1.0);
  // A segment index past the end has no length; it answers the end value instead of dividing by 0.
  EXPECT_EQ(step.Kochanek(1, 12.0), 1.0);
}

TEST(AnimationTypeWords, RoundTripIgnoringCase) {
  const char* words[] = {"Constant", "Cycle", "Loop", "PingPong", "Linear", "RelRepeat"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(AnimationTypeWord(static_cast<Tanimationtype>(i)), words[i]);
    Tanimationtype t = atConstant;
    EXPECT_TRUE(AnimationTypeFromWord(UpperCase(words[i]), t));
    EXPECT_EQ(t, static_cast<Tanimationtype>(i));
  }
  Tanimationtype t = atLoop;
  EXPECT_FALSE(AnimationTypeFromWord("Bounce", t));
  EXPECT_EQ(t, atLoop);
  EXPECT_EQ(AnimationTypeWord(static_cast<Tanimationtype>(17)), "");
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <cmath>
#include <locale>

#include "TestClasses.h"

namespace qv::test {
namespace {

TEST(TDoubleValue, SetterNotifiesEvenWithTheSameValue) {
  TDouble d;
  ChangeCounter c(&d);
  d.SetValue(0.0);
  d.SetValue(0.0);
  EXPECT_EQ(c.count, 2);
  EXPECT_EQ(d.ValueKind(), vkFloat);
  EXPECT_EQ(d.DataSize(), 8);
  EXPECT_EQ(d.ratio, 0.025f);
}

struct DoubleConvCase {
  double value;
  std::int32_t asInt;
  bool asBool;
  const char* asString;
};

TEST(TDoubleValue, Conversions) {
  const DoubleConvCase cases[] = {
      {2.5, 2, true, "2.50000000"},    {3.5, 4, true, "3.50000000"},   {0.0, 0, false, "0.00000000"},
      {-1.0, -1, false, "-1.00000000"}, {-2.5, -2, false, "-2.50000000"}, {0.5, 0, true, "0.50000000"},
      {1e12, 2147483647, true, "1000000000000.00000000"},
  };
  for (const auto& c : cases) {
    TDouble d;
    d.SetValue(c.value);
    std::int32_t i = 0;
    bool b = false;
    std::string s;
    double f = 0;
    EXPECT_TRUE(d.AsInt(i));
    EXPECT_TRUE(d.AsBool(b));
    EXPECT_TRUE(d.AsString(s));
    EXPECT_TRUE(d.AsFloat(f));
    EXPECT_EQ(i, c.asInt) << c.value;
    EXPECT_EQ(b, c.asBool) << c.value;
    EXPECT_EQ(s, c.asString) << c.value;
    EXPECT_EQ(d.StringForm(), c.asString);
    EXPECT_EQ(f, c.value);
  }
}

struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(TDoubleValue, TextIsTheSameUnderADecimalCommaLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  TDouble d;
  d.SetValue(10.0);
  const std::string text = d.StringForm();
  TString comma("0,25"), point("0.75");
  TDouble a, b;
  const bool okComma = a.GetValueFrom(&comma);
  const bool okPoint = b.GetValueFrom(&point);
  std::locale::global(previous);
  EXPECT_EQ(text, "10.00000000");
  EXPECT_TRUE(okComma);
  EXPECT_TRUE(okPoint);
  EXPECT_EQ(a.Value(), 0.25);
  EXPECT_EQ(b.Value(), 0.75);
}

TEST(TDoubleValue, LoadingGoesThroughTheSetterAndKeepsTheValueOnBadText) {
  TMinMaxDouble d;
  d.SetMinMax(0.0, 1.0);
  d.SetValue(0.5);
  ChangeCounter c(&d);
  TString five("5"), bad("five");
  EXPECT_TRUE(d.GetValueFrom(&five));
  EXPECT_EQ(d.Value(), 1.0);  // limits apply to loaded reals
  EXPECT_EQ(c.count, 1);
  EXPECT_FALSE(d.GetValueFrom(&bad));
  EXPECT_EQ(d.Value(), 1.0);
  EXPECT_EQ(c.count, 1);
}

struct ClampCase {
  double min, max, in, expected;
};

TEST(TMinMaxDoubleValue, ClampsMaxFirstThenMin) {
  const ClampCase cases[] = {
      {0, 1, 1.7, 1},   {0, 1, -0.2, 0},  {0, 1, 0.3, 0.3}, {-5, 5, 7, 5},
      {10, 0, 5, 0},    // minimum above maximum: greater than the maximum becomes the maximum
      {10, 0, -1, 10},  // every other value below the minimum becomes the minimum
      {0, 0, 3, 0},     // limits never set
  };
  for (const auto& c : cases) {
    TMinMaxDouble d;
    d.SetMinMax(c.min, c.max);
    d.SetValue(c.in);
    EXPECT_EQ(d.Value(), c.expected) << c.min << ".." << c.max << " " << c.in;
  }
}

TEST(TMinMaxDoubleValue, SetMinMaxDoesNotClampAgain) {
  TMinMaxDouble d;
  d.SetMinMax(0, 100);
  d.SetValue(80);
  d.SetMinMax(0, 10);
  EXPECT_EQ(d.Value(), 80);
}

TEST(TZeroOneDoubleValue, UnitRangeAndAFinerDrag) {
  TZeroOneDouble z;
  z.SetValue(1.7);
  EXPECT_EQ(z.Value(), 1.0);
  z.SetValue(-0.2);
  EXPECT_EQ(z.Value(), 0.0);
  EXPECT_EQ(z.ratio, 0.025f / 20.0f);
  EXPECT_EQ(z.Min(), 0.0);
  EXPECT_EQ(z.Max(), 1.0);
  EXPECT_EQ(z.ClassName(), "TZeroOneDouble");
}

TEST(TIntegerValue, ConversionsAndSnapshot) {
  TInteger i;
  i.SetValue(-12);
  std::string s;
  double f = 0;
  bool b = true;
  EXPECT_TRUE(i.AsString(s));
  EXPECT_EQ(s, "-12");
  EXPECT_TRUE(i.AsFloat(f));
  EXPECT_EQ(f, -12.0);
  EXPECT_TRUE(i.AsBool(b));
  EXPECT_FALSE(b);
  EXPECT_EQ(i.ValueKind(), vkInt);
  EXPECT_EQ(i.DataSize(), 4);
}

struct IntLoadCase {
  const char* text;
  bool ok;
  std::int32_t value;
};

TEST(TIntegerValue, LoadingStoresWhatReadsWithoutLimitsOrNotification) {
  const IntLoadCase cases[] = {
      {"300", true, 300}, {"12abc", false, 12}, {"", false, 0}, {"$1F", true, 31}, {"-5", true, -5},
  };
  for (const auto& c : cases) {
    TMinMaxInteger i;
    i.SetMinMax(0, 255);
    i.SetValue(100);
    ChangeCounter counter(&i);
    TString src(c.text);
    EXPECT_EQ(i.GetValueFrom(&src), c.ok) << c.text;
    EXPECT_EQ(i.Value(), c.value) << c.text;
    EXPECT_EQ(counter.count, 0);
  }
}

TEST(TMinMaxIntegerValue, NeverSetLimitsHoldZeroAndSetterClamps) {
  TMinMaxInteger never;
  for (std::int32_t v : {5, -5, 1000}) {
    never.SetValue(v);
    EXPECT_EQ(never.Value(), 0);
  }
  TMinMaxInteger opacity;
  opacity.SetMinMax(0, 255);
  opacity.SetValue(300);
  EXPECT_EQ(opacity.Value(), 255);
  opacity.SetValue(-1);
  EXPECT_EQ(opacity.Value(), 0);
}

TEST(TStringValue, ConversionsParseTheText) {
  TString s("1,5");
  double f = 0;
  EXPECT_TRUE(s.AsFloat(f));
  EXPECT_EQ(f, 1.5);
  std::int32_t i = 0;
  TString hex("0x20");
  EXPECT_TRUE(hex.AsInt(i));
  EXPECT_EQ(i, 32);
  TString word("word");
  EXPECT_FALSE(word.AsFloat(f));
  EXPECT_EQ(f, 0.0);
  bool b = true;
  EXPECT_FALSE(word.AsBool(b));
  EXPECT_EQ(s.ValueKind(), vkStr);
  EXPECT_EQ(s.DataSize(), 0);
}

TEST(TStringValue, SetterNotifiesAndLoadingDoesNot) {
  TString s;
  ChangeCounter c(&s);
  s.SetValue("a");
  s.SetValue("a");
  EXPECT_EQ(c.count, 2);
  TString src("  spaced  ");
  EXPECT_TRUE(s.GetValueFrom(&src));
  EXPECT_EQ(s.Value(), "  spaced  ");
  EXPECT_EQ(c.count, 2);
}

struct BoolLoadCase {
  const char* text;
  bool ok;
  bool value;
};

TEST(TBooleanValue, LoadingReadsNumbersAndWordsAndKeepsTheValueOtherwise) {
  const BoolLoadCase cases[] = {
      {"yes", false, true}, {"TRUE", true, true}, {"1", true, true}, {"-3", true, true},
      {"0", true, false},   {"false", true, false}, {"", false, true},
  };
  for (const auto& c : cases) {
    TBoolean b;
    b.SetValue(true);
    TString src(c.text);
    EXPECT_EQ(b.GetValueFrom(&src), c.ok) << c.text;
    EXPECT_EQ(b.Value(), c.value) << c.text;
  }
}

TEST(TBooleanValue, TextAndFourByteSnapshot) {
  TBoolean b;
  std::string s;
  b.AsString(s);
  EXPECT_EQ(s, "False");
  b.SetValue(true);
  EXPECT_EQ(b.StringForm(), "True");
  EXPECT_EQ(b.DataSize(), 4);
  std::byte buf[4];
  b.PushValue(buf);
  b.SetValue(false);
  b.PopValue(buf);
  EXPECT_TRUE(b.Value());
  EXPECT_EQ(b.ValueKind(), vkBool);
}

TEST(TEnumValue, IdentifierOrdinalAndSavedForm) {
  TEnum<TVTextAlig> e;
  EXPECT_EQ(e.Value(), vaTop);
  e.SetValue(vaBottom);
  std::string s;
  std::int32_t i = 0;
  EXPECT_TRUE(e.AsString(s));
  EXPECT_EQ(s, "vaBottom");
  EXPECT_EQ(e.StringForm(), "2");
  EXPECT_TRUE(e.AsInt(i));
  EXPECT_EQ(i, 2);
  double f = 1;
  bool b = true;
  EXPECT_FALSE(e.AsFloat(f));
  EXPECT_FALSE(e.AsBool(b));
  EXPECT_FALSE(e.ValueKind().has_value());
  EXPECT_EQ(e.DataSize(), 4);
}

struct EnumLoadCase {
  const char* text;
  std::int32_t ordinal;
  bool named;
};

TEST(TEnumValue, OrdinalsFromAFileAreKeptAsReadEvenWithoutAName) {
  const EnumLoadCase cases[] = {{"1", 1, true}, {"7", 7, false}, {"300", 300, false}, {"-1", -1, false},
                                {"255", 255, false}};
  for (const auto& c : cases) {
    TEnum<TVTextAlig> e;
    ChangeCounter counter(&e);
    TString src(c.text);
    EXPECT_TRUE(e.GetValueFrom(&src));
    EXPECT_EQ(counter.count, 0);
    EXPECT_EQ(e.Ordinal(), c.ordinal);
    EXPECT_EQ(e.StringForm(), c.text);  // survives a resave
    EXPECT_EQ(e.InRange(), c.named);
    std::string s = "x";
    EXPECT_EQ(e.AsString(s), c.named) << c.text;
    if (!c.named) {
      EXPECT_EQ(s, "");
      EXPECT_NE(e.Value(), vaTop);
      EXPECT_NE(e.Value(), vaCenter);
      EXPECT_NE(e.Value(), vaBottom);
    }
  }
}

TEST(TEnumValue, EveryEnumerationHasItsNamesAndClassName) {
  EXPECT_EQ(TEnum<TTextSource>::ValueNames().size(), 9u);
  EXPECT_EQ(TEnum<TTextSource>::ValueNames()[8], "tsNextMeta4");
  EXPECT_EQ(TEnum<THTextAlig>::ValueNames()[2], "haRight");
  EXPECT_EQ(TEnum<TTextDirection>::ValueNames()[1], "tdRighttoLeft");
  EXPECT_EQ(TEnum<TChronoType>::ValueNames()[1], "ctDescendant");
  EXPECT_EQ(TEnum<TClockType>::ValueNames()[0], "ctTimer");
  EXPECT_EQ(TEnum<TShowTime>::ValueNames()[2], "stBeforeEnd");
  EXPECT_EQ(TEnum<TDurationType>::ValueNames()[1], "dtFixed");
  TEnum<TShowTime> st;
  EXPECT_EQ(st.ClassName(), "TEnum<TShowTime>");
  auto fresh = st.NewInstance();
  EXPECT_EQ(fresh->ClassName(), "TEnum<TShowTime>");
}

TEST(TEnumValue, SnapshotGoesThroughTheSetter) {
  TEnum<TClockType> e;
  e.SetValue(ctChrono);
  std::byte buf[4];
  e.PushValue(buf);
  e.SetValue(ctTimer);
  ChangeCounter c(&e);
  e.PopValue(buf);
  EXPECT_EQ(e.Value(), ctChrono);
  EXPECT_EQ(c.count, 1);
}

TEST(DerivedValueClasses, BehaveAsTheirBases) {
  TTimeCode t;
  t.SetValue(3.0);
  EXPECT_EQ(t.StringForm(), "3.00000000");
  EXPECT_EQ(t.ClassName(), "TTimeCode");
  TImageFileName f;
  TDirectory d;
  TTextFile x;
  EXPECT_EQ(f.ClassName(), "TImageFileName");
  EXPECT_EQ(d.ClassName(), "TDirectory");
  EXPECT_EQ(x.ClassName(), "TTextFile");
  TString src("D:\\media\\logo.png");
  EXPECT_TRUE(f.GetValueFrom(&src));
  EXPECT_EQ(f.Value(), "D:\\media\\logo.png");
  EXPECT_EQ(f.NewInstance()->ClassName(), "TImageFileName");
}

TEST(TColor4Value, SetWinColorSetsFourChannelsWithFourNotifications) {
  auto c = Make<TColor4>();
  ChangeCounter counter(c.get());
  c->SetWinColor(0x000000FF);
  EXPECT_EQ(c->Red()->Value(), 1.0);
  EXPECT_EQ(c->Green()->Value(), 0.0);
  EXPECT_EQ(c->Blue()->Value(), 0.0);
  EXPECT_EQ(c->Alpha()->Value(), 1.0);
  EXPECT_EQ(counter.count, 4);
  EXPECT_EQ(c->GetWinColor(), 0x000000FFu);
}

struct WinColorCase {
  double r, g, b;
  std::uint32_t truncated, rounded;
};

TEST(TColor4Value, WinColorTruncatesAndAsWinColorRoundsHalfToEven) {
  const WinColorCase cases[] = {
      {0.5, 0.5, 0.5, 0x7F7F7F, 0x808080},
      {1.0, 0.0, 0.0, 0x0000FF, 0x0000FF},
      {0.0, 0.0, 1.0, 0xFF0000, 0xFF0000},
      {126.5 / 255, 1.0 / 255, 0.999, 0x00FE017E, 0x00FF017E},
  };
  for (const auto& c : cases) {
    auto color = Make<TColor4>();
    color->SetVector(c.r, c.g, c.b, 1.0);
    EXPECT_EQ(color->GetWinColor(), c.truncated) << c.r;
    EXPECT_EQ(color->aswinColor(), c.rounded) << c.r;
  }
}

TEST(TColor4Value, ChannelsOutsideTheUnitRangeDoNotSpillIntoNeighbours) {
  TestPage page;
  auto color = Make<TColor4>();
  page.Join(*color);
  Tkeys* k = color->Red()->Animation(true);
  k->AddKey(0.0, 2.0);  // frame evaluation ignores limits
  k->AddKey(10.0, -1.0);
  color->SetFrame(0);
  EXPECT_EQ(color->Red()->Value(), 2.0);
  EXPECT_EQ(color->GetWinColor(), 0x0000FFu);
  EXPECT_EQ(color->aswinColor(), 0x0000FFu);
  color->SetFrame(10);
  EXPECT_EQ(color->GetWinColor(), 0u);
}

TEST(TColor4Value, VectorForms) {
  auto c = Make<TColor4>();
  c->SetVector(0.25f, 0.5f, 0.75f);
  EXPECT_EQ(c->asVector(), (std::array<float, 4>{0.25f, 0.5f, 0.75f, 1.0f}));
  c->SetVector(0.1f, 0.2f, 0.3f, 0.4f);
  EXPECT_EQ(c->asAffineVector(), (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
  EXPECT_EQ(c->Alpha()->Value(), static_cast<double>(0.4f));
  c->SetVector(2.0, -1.0, 0.5, 0.5);  // through the setters: clamped
  EXPECT_EQ(c->asVector(), (std::array<float, 4>{1.0f, 0.0f, 0.5f, 0.5f}));
}

}  // namespace
}  // namespace qv::test

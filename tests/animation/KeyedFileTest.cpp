#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "animation/KeyedFile.h"
#include "animation/UBezier.h"
#include "support/Files.h"

namespace qv {
namespace {

TEST(TFileSave, WritesKeyedLinesWithThreeBlankIndent) {
  std::ostringstream out;
  {
    TFileSave f(out);
    Tkeys obj;
    f.OpenObjectKey(&obj, "Outer");
    f.AddIntKey("Count", -3);
    f.AddDoubleKey("Ratio", 0.1);
    f.AddStrKey("Title", "a \"b\"");
    f.OpenObjectKey(nullptr, "Inner");
    const double values[] = {1.0, -2.5, 3.125};
    f.AddDoubleArrayKey("Arr", values, 2);
    f.AddDoubleArrayKey("One", values, 0);
    f.CloseObjectKey();
    f.CloseObjectKey();
    f.CloseObjectKey();  // one too many: the indent cannot go below nothing
  }
  EXPECT_EQ(out.str(),
            "Object Outer : Tkeys\r\n"
            "   Count = -3\r\n"
            "   Ratio = 0.100000000000\r\n"
            "   Title = \"a \"b\"\"\r\n"
            "   Object Inner : \r\n"
            "      Arr = 1.00000000 , -2.50000000 , 3.12500000\r\n"
            "      One = 1.00000000\r\n"
            "   End Object\r\n"
            "End Object\r\n"
            "End Object\r\n");
}

TEST(TFileSave, CreatesAFileAndReportsOneItCannotCreate) {
  const test::TTestDir dir("keyed");
  const auto path = dir / "keyed.txt";
  {
    TFileSave f(path.string());
    f.AddIntKey("A", 1);
  }
  EXPECT_EQ(test::ReadBytes(path), "A = 1\r\n");
  EXPECT_THROW(TFileSave("/nonexistent-dir/x/y.txt"), std::runtime_error);
}

TEST(TkeysKeyed, SaveWritesEveryKeyWithFrameValueAndTag) {
  Tkeys k("Opacity");
  k.AddKey(0.0, 1.5);
  Tkeyframe* second = k.AddKey(25.0, -2.25);
  second->fTag = 7;
  std::ostringstream out;
  {
    TFileSave f(out);
    k.Save(f);
  }
  EXPECT_EQ(out.str(),
            "Object KeysOpacity : Tkeys\r\n"
            "   NumKeyFrames = 2\r\n"
            "   Key0 = 0.00000000 , 1.50000000 , 0.00000000\r\n"
            "   Key1 = 25.00000000 , -2.25000000 , 7.00000000\r\n"
            "End Object\r\n");
}

TEST(TkeysKeyed, SetValueReadsKeyEntries) {
  Tkeys k;
  k.SetValue("Key0", "12.7 , 3.5 , 2.5");    // frame truncated, tag rounded halves to even
  k.SetValue("Key1", " 30,-1.25");           // no tag: 0
  k.SetValue("NumKeyFrames", "2");           // not a key entry
  k.SetValue("key2", "40 , 1 , 1");          // "Key" is matched with its letter case
  k.SetValue("Key3", "abc , 1 , 1");         // a frame that is no number adds nothing
  k.SetValue("Key4", "50");                  // nor does a missing value
  k.SetValue("Key5", "60 , 2 , x");          // a tag that is no number is 0
  ASSERT_EQ(k.Count(), 3);
  EXPECT_EQ(k.key(0)->fframe, 12.0);
  EXPECT_EQ(k.key(0)->fvalue, 3.5);
  EXPECT_EQ(k.key(0)->fTag, 2);
  EXPECT_EQ(k.key(1)->fframe, 30.0);
  EXPECT_EQ(k.key(1)->fvalue, -1.25);
  EXPECT_EQ(k.key(1)->fTag, 0);
  EXPECT_EQ(k.key(2)->fframe, 60.0);
  EXPECT_EQ(k.key(2)->fTag, 0);
}

TEST(TkeysKeyed, SaveThenSetValueRoundTrips) {
  Tkeys src("X");
  src.AddKey(0.0, 10.0)->fTag = 3;
  src.AddKey(5.0, -0.125)->fTag = -4;
  src.AddKey(12.0, 1e6);
  std::ostringstream out;
  {
    TFileSave f(out);
    src.Save(f);
  }
  Tkeys dst;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto eq = line.find(" = ");
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    key.erase(0, key.find_first_not_of(' '));
    dst.SetValue(key, line.substr(eq + 3));
  }
  ASSERT_EQ(dst.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(dst.key(i)->fframe, src.key(i)->fframe);
    EXPECT_EQ(dst.key(i)->fvalue, src.key(i)->fvalue);
    EXPECT_EQ(dst.key(i)->fTag, src.key(i)->fTag);
  }
}

TEST(TPersistentClass, HooksDoNothingByDefault) {
  TPersistentClass obj;
  EXPECT_EQ(obj.getObject("a", "b"), nullptr);
  obj.SetValue("a", "b");
  obj.CloseObject();
  EXPECT_EQ(obj.ClassName(), "TPersistentClass");
}

}  // namespace
}  // namespace qv

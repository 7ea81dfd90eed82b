// The newsroom's data file: values from a complete file, a rewrite by rename or in place picked up
// once, and a file caught half-written never read.
#include "support/Files.h"
#include "video/DataFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

TEST(MetaJson, TakesTheSlotsItNames) {
  const auto v = video::ParseMetaJson(
      R"({"Meta1": "Storm warning", "NextMeta4": "Ünïcode ✓", "Meta3": 42, "Other": "x", "Meta2": null})");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Meta[0], "Storm warning");
  EXPECT_EQ(v->NextMeta[3], "Ünïcode ✓");
  EXPECT_EQ(v->Meta[2], "42");
  EXPECT_FALSE(v->Meta[1]);
  EXPECT_FALSE(v->Meta[3]);
  EXPECT_FALSE(v->NextMeta[0]);
  for (const char* bad : {"", R"({"Meta1": "Storm)", R"({"Meta1": "a"} trailing)", R"(["Meta1"])", "{"})
    EXPECT_FALSE(video::ParseMetaJson(bad)) << bad;
}

class DataFile : public ::testing::Test {
 protected:
  TTestDir dir{"video-data"};
  std::string file = (dir / "data.json").string();

  void WriteInPlace(const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
  }
  void WriteByRename(const std::string& text) {
    const std::string tmp = file + ".new";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out << text;
    }
    ASSERT_EQ(std::rename(tmp.c_str(), file.c_str()), 0);
  }
};

TEST_F(DataFile, ARenamedVersionIsTakenOnce) {
  video::TDataFileWatcher w(file);
  EXPECT_FALSE(w.Poll()) << "no file yet";
  WriteByRename(R"({"Meta1": "first"})");
  auto v = w.Poll();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Meta[0], "first");
  EXPECT_FALSE(w.Poll()) << "the same version again";
  WriteByRename(R"({"Meta1": "second"})");
  v = w.Poll();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Meta[0], "second");
}

TEST_F(DataFile, AHalfWrittenFileIsReadOnlyOnceComplete) {
  video::TDataFileWatcher w(file);
  WriteInPlace(R"({"Meta1": "old"})");
  ASSERT_TRUE(w.Poll());
  // The writer has put down half of the new version.
  const std::string next = R"({"Meta1": "new headline", "NextMeta1": "after it"})";
  WriteInPlace(next.substr(0, next.size() / 2));
  EXPECT_FALSE(w.Poll());
  EXPECT_FALSE(w.Poll()) << "still half";
  // The rest arrives (same size as a complete file would have, or not: the content decides).
  WriteInPlace(next);
  const auto v = w.Poll();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Meta[0], "new headline");
  EXPECT_EQ(v->NextMeta[0], "after it");
}

TEST_F(DataFile, ARewriteOfTheSameSizeIsSeen) {
  video::TDataFileWatcher w(file);
  WriteInPlace(R"({"Meta1": "AAAA"})");
  ASSERT_TRUE(w.Poll());
  WriteInPlace(R"({"Meta1": "BBBB"})");
  // The stamp moves with the write even when size and second stay the same.
  const auto v = w.Poll();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Meta[0], "BBBB");
}

}  // namespace
}  // namespace qv::test

#include "project/MediaPath.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

namespace fs = std::filesystem;

class MediaPath : public ::testing::Test {
 protected:
  void SetUp() override {
    project = root / "show";
    fs::create_directories(project / "media" / "frames");
    fs::create_directories(project / "flat");
    Touch(project / "media" / "logo.png");
    Touch(project / "bare.png");
    Touch(project / "flat" / "f1.png");
    Touch(root / "elsewhere.png");
  }
  static void Touch(const fs::path& p) { test::WriteBytes(p, "x"); }
  test::TTestDir root{"media"};
  fs::path project;
};

TEST_F(MediaPath, LookupOrder) {
  struct Case {
    std::string stored;
    TMediaKind kind;
    std::string expected;  // relative to the project folder; "=" means the stored text itself
  };
  const std::string elsewhere = (root / "elsewhere.png").string();
  const Case cases[] = {
      {elsewhere, TMediaKind::mkFile, "="},  // exists as stored
      {"D:\\media\\logo.png", TMediaKind::mkFile, "media/logo.png"},
      {"d:/media/logo.png", TMediaKind::mkFile, "media/logo.png"},
      {"\\media\\logo.png", TMediaKind::mkFile, "media/logo.png"},
      {"\\\\server\\share\\media\\logo.png", TMediaKind::mkFile, "media/logo.png"},
      // tried as old/place/media/logo.png, then as logo.png beside the project: neither exists
      {"/old/place/media/logo.png", TMediaKind::mkFile, "="},
      {"media\\logo.png", TMediaKind::mkFile, "media/logo.png"},
      {"media/logo.png", TMediaKind::mkFile, "media/logo.png"},
      {"C:\\Users\\op\\Desktop\\bare.png", TMediaKind::mkFile, "bare.png"},
      {"D:\\media\\frames", TMediaKind::mkDirectory, "media/frames"},
      {"D:\\media\\frames\\", TMediaKind::mkDirectory, "media/frames"},
      {"E:\\old\\flat", TMediaKind::mkDirectory, "flat"},
      {"D:\\media\\frames", TMediaKind::mkFile, "="},  // a folder is not a file
      {"D:\\nowhere\\gone.png", TMediaKind::mkFile, "="},
      {"", TMediaKind::mkFile, "="},
      {"D:\\", TMediaKind::mkDirectory, "="},
  };
  for (const auto& c : cases) {
    const std::string expected = c.expected == "=" ? c.stored : (project / c.expected).string();
    EXPECT_EQ(ResolveMediaPath(c.stored, project, c.kind), expected) << c.stored;
  }
}

TEST_F(MediaPath, RelativePathsBelongToTheProjectNotToTheWorkingFolder) {
  fs::create_directories(root / "media");
  Touch(root / "media" / "logo.png");  // a decoy beside the working folder
  const fs::path cwd = fs::current_path();
  fs::current_path(root.Path());
  const std::string a = ResolveMediaPath("media/logo.png", project, TMediaKind::mkFile);
  const std::string b = ResolveMediaPath("media/logo.png", fs::path(), TMediaKind::mkFile);
  fs::current_path(cwd);
  EXPECT_EQ(a, (project / "media/logo.png").string());
  EXPECT_EQ(b, "media/logo.png");  // no project folder: the working folder it is
}

TEST_F(MediaPath, WithoutAProjectFolderOnlyTheStoredPathCounts) {
  EXPECT_EQ(ResolveMediaPath("D:\\media\\logo.png", fs::path(), TMediaKind::mkFile), "D:\\media\\logo.png");
}

}  // namespace
}  // namespace qv

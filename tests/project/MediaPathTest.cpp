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


// What a project written into a folder keeps for each media path: relative inside the folder (or
// below it), absolute elsewhere, unchanged when nothing is known of where it lies.
TEST(PortableMediaPath, RelativeInsideTheProjectFolderAbsoluteElsewhere) {
  struct Case {
    const char* Kind;
    std::string Stored, From, To, Expected;
  };
  const Case cases[] = {
      {"below the folder", "/show/media/strap.png", "", "/show", "media\\strap.png"},
      {"beside the project", "/show/strap.png", "", "/show", "strap.png"},
      {"two levels down", "/show/media/badge/b_1.png", "/other", "/show", "media\\badge\\b_1.png"},
      {"a folder below", "/show/media/badge", "", "/show", "media\\badge"},
      {"a folder with its separator", "/show/media/badge/", "", "/show", "media\\badge"},
      {"outside: a sibling", "/media/strap.png", "", "/show", "/media/strap.png"},
      {"outside: the parent", "/show/../lib/a.png", "", "/show/sub", "/lib/a.png"},
      {"outside: a longer name", "/showtime/a.png", "", "/show", "/showtime/a.png"},
      {"relative, same folder: as it was", "media/strap.png", "/show", "/show", "media/strap.png"},
      {"relative, same folder, dots kept", "..\\shared\\x.png", "/show", "/show/", "..\\shared\\x.png"},
      {"relative, written elsewhere below", "media\\strap.png", "/show", "/show/..", "show\\media\\strap.png"},
      {"relative, written elsewhere outside", "media\\strap.png", "/show", "/backup/show", "/show/media/strap.png"},
      {"relative, folder unknown", "media\\strap.png", "", "/show", "media\\strap.png"},
      {"another system's drive", "D:\\media\\logo.png", "/show", "/elsewhere", "D:\\media\\logo.png"},
      {"another system's server", "\\\\srv\\share\\a.png", "/show", "/elsewhere", "\\\\srv\\share\\a.png"},
      {"empty", "", "/show", "/elsewhere", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PortableMediaPath(c.Stored, c.From, c.To), c.Expected) << c.Kind;
  }
}

}  // namespace
}  // namespace qv

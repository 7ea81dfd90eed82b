// Saving a project where the disk fails: a file system that fills up during the write, a folder
// nobody may write in, and /dev/full. The previous file stays byte for byte and the caller gets
// one error naming the file and the reason. The file systems are small tmpfs mounts the test
// makes itself (skipped, with the reason, where mounting is not permitted).
#include "composition/LayerClasses.h"
#include "composition/QvSystem.h"
#include "project/ProjectError.h"
#include "project/TextFile.h"
#include "support/Files.h"
#include "support/ScratchMount.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TScratchMount;
using test::TTestDir;

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A composition with Layers image layers (about 200 bytes of project text each).
std::unique_ptr<TQVSystem> Composition(int layers) {
  auto sys = Make<TQVSystem>(768, 576, nullptr, false);
  for (int i = 0; i < layers; ++i) {
    TLayer* l = sys->NewLayerOfClass("TIMAGELAYER");
    l->SetlayerName("layer " + std::to_string(i));
    l->SetX(i);
  }
  return sys;
}

// Saves and returns the error (empty when the save succeeded).
std::string SaveError(const TQVSystem& sys, const std::string& file, std::string* fileNamed = nullptr) {
  try {
    sys.SaveToFile(file);
  } catch (const EProjectError& e) {
    if (fileNamed) *fileNamed = e.FileName();
    return e.what();
  }
  return {};
}

TEST(FailingDisk, FileSystemFillingUpDuringTheSaveKeepsThePreviousFile) {
  TScratchMount disk(64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Error();
  const std::string file = (disk.Path() / "page.QV").string();
  Composition(2)->SaveToFile(file);
  const std::string before = ReadBytes(file);
  ASSERT_FALSE(before.empty());

  disk.Fill(8 * 1024);
  auto big = Composition(300);  // some 60 KB of text: runs out of space part way
  std::string named;
  const std::string error = SaveError(*big, file, &named);
  EXPECT_EQ(named, file);
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_EQ(Entries(disk.Path()), (std::vector<std::string>{"filler", "page.QV"}));  // no temporary file left

  // Once there is room again the same save succeeds.
  fs::remove(disk.Path() / "filler");
  EXPECT_EQ(SaveError(*big, file), "");
  EXPECT_GT(ReadBytes(file).size(), before.size());
}

// A folder nobody may write in: a read-only mount (root writes into any folder whatever its
// mode bits), or for other users a folder without write permission.
TEST(FailingDisk, UnwritableFolderKeepsThePreviousFile) {
  TScratchMount disk(64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Error();
  const std::string file = (disk.Path() / "page.QV").string();
  Composition(2)->SaveToFile(file);
  const std::string before = ReadBytes(file);
  ASSERT_TRUE(disk.MakeReadOnly()) << disk.Error();

  const std::string error = SaveError(*Composition(5), file);
  EXPECT_NE(error.find(file), std::string::npos) << error;
  EXPECT_NE(error.find("Read-only file system"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_EQ(Entries(disk.Path()), std::vector<std::string>{"page.QV"});
}

TEST(FailingDisk, FolderWithoutWritePermissionForAnOrdinaryUser) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write in any folder; the read-only mount case covers root";
  const TTestDir dir("nowrite");
  const std::string file = (dir / "page.QV").string();
  Composition(2)->SaveToFile(file);
  const std::string before = ReadBytes(file);
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  const std::string error = SaveError(*Composition(5), file);
  fs::permissions(dir.Path(), fs::perms::owner_all);
  EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"page.QV"});
}

// /dev/full, named directly or through a link: a device is written in place (never replaced by a
// renamed file, which would put a plain file where the device was) and reports the full disk.
TEST(FailingDisk, DevFullReportsTheFullDiskAndStaysADevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full";
  const TTestDir dir("devfull");
  fs::create_symlink("/dev/full", dir / "page.QV");
  for (const std::string& file : {std::string("/dev/full"), (dir / "page.QV").string()}) {
    std::string named;
    const std::string error = SaveError(*Composition(2), file, &named);
    EXPECT_EQ(named, file);
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << file << ": " << error;
  }
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_TRUE(fs::is_symlink(dir / "page.QV"));
  for (const std::string& name : Entries("/dev")) EXPECT_EQ(name.find(".full.tmp-"), std::string::npos) << name;
}

}  // namespace
}  // namespace qv

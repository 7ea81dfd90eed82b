#include "project/ProjectError.h"
#include "project/TextFile.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/resource.h>
#include <unistd.h>

namespace qv {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;

class TempDir : public ::testing::Test {
 protected:
  // Every entry of the folder: a failed save must leave no temporary file behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  test::TTestDir dir{"textfile"};
};

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(DecodeTextLines, LineEndsAndByteOrderMarks) {
  const DecodeCase cases[] = {
      {"crlf", "a\r\nb\r\n", {"a", "b"}},
      {"lf", "a\nb\n", {"a", "b"}},
      {"cr", "a\rb\r", {"a", "b"}},
      {"mixed and unterminated", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"empty lines kept", "a\r\n\r\nb", {"a", "", "b"}},
      {"utf8 bom", "\xEF\xBB\xBFX = 1\r\n", {"X = 1"}},
      {"utf8 without bom", "layerName = caf\xC3\xA9\r\n", {"layerName = caf\xC3\xA9"}},
      {"utf16le bom", std::string("\xFF\xFE" "a\0=\0\xE9\0\r\0\n\0", 12), {"a=\xC3\xA9"}},
      {"utf16be bom", std::string("\xFE\xFF\0a\0=\0\xE9\0\r\0\n", 12), {"a=\xC3\xA9"}},
      {"utf16le surrogate pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), {"\xF0\x9F\x98\x80"}},
      {"utf16le lone surrogate", std::string("\xFF\xFE\x3D\xD8", 4), {"\xEF\xBF\xBD"}},
      {"nothing", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeTextLines(c.bytes), c.lines) << c.name;
  }
}

TEST_F(TempDir, ReadingAMissingFileNamesIt) {
  const std::string name = (dir / "missing.QV").string();
  try {
    ReadTextLines(name);
    FAIL() << "no error";
  } catch (const EProjectError& e) {
    EXPECT_EQ(e.FileName(), name);
    EXPECT_EQ(e.Line(), 0);
    EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
  }
}

TEST_F(TempDir, AtomicWriteCreatesAndReplaces) {
  const fs::path f = dir / "a.QV";
  WriteFileAtomically(f.string(), "first\r\n");
  EXPECT_EQ(ReadBytes(f), "first\r\n");
  WriteFileAtomically(f.string(), "second\r\n");
  EXPECT_EQ(ReadBytes(f), "second\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.QV"});
}

// Left unflushed, the replacement is the same for readers; SyncFile flushes it later.
TEST_F(TempDir, AtomicWriteFlushedLater) {
  const fs::path f = dir / "a.QV";
  WriteFileAtomically(f.string(), "first\r\n", false);
  WriteFileAtomically(f.string(), "second\r\n", false);
  EXPECT_EQ(ReadBytes(f), "second\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.QV"});
  EXPECT_TRUE(SyncFile(f.string()));
  EXPECT_FALSE(SyncFile((dir / "none.QV").string()));
}

TEST_F(TempDir, AtomicWriteKeepsPermissionsOfTheOldFile) {
  const fs::path f = dir / "a.QV";
  WriteBytes(f, "old");
  fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  WriteFileAtomically(f.string(), "new");
  EXPECT_EQ(fs::status(f).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(TempDir, AtomicWriteThroughASymlinkReplacesTheTarget) {
  const fs::path real = dir / "real.QV";
  const fs::path link = dir / "link.QV";
  WriteBytes(real, "old");
  fs::create_symlink(real, link);
  WriteFileAtomically(link.string(), "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "new");
}

// A write that fails half-way (here the file-size limit, as a full disk would) leaves the old
// file byte for byte and no temporary file.
TEST_F(TempDir, FailedWriteLeavesTheOldFileUntouched) {
  const fs::path f = dir / "a.QV";
  const std::string old = "\tObject '':TQVSystem\r\n\tEnd\r\n";
  WriteBytes(f, old);
  const std::string big(1 << 20, 'x');

  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  std::string message;
  try {
    WriteFileAtomically(f.string(), big);
  } catch (const EProjectError& e) {
    threw = true;
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_TRUE(threw);
  EXPECT_NE(message.find(f.string()), std::string::npos) << message;
  EXPECT_EQ(ReadBytes(f), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.QV"});
}

TEST_F(TempDir, UnwritableFolderReportsTheFile) {
  // root writes into any folder whatever its mode bits, so a folder nobody can create files in
  // is taken from /proc there.
  fs::path folder = dir / "ro";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() == 0) folder = "/proc";
  const std::string name = (folder / "a.QV").string();
  try {
    WriteFileAtomically(name, "x");
    FAIL() << "no error";
  } catch (const EProjectError& e) {
    EXPECT_EQ(e.FileName(), name);
    EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(name));
}

TEST_F(TempDir, SavingOverAFolderFails) {
  fs::create_directories(dir / "x.QV");
  EXPECT_THROW(WriteFileAtomically((dir / "x.QV").string(), "x"), EProjectError);
  EXPECT_TRUE(fs::is_directory(dir / "x.QV"));
}

}  // namespace
}  // namespace qv

// Frames written many at a time: each file is whole and equal to the one WriteFrame writes, in
// every folder a run writes to; a flush that cannot reach the disk is an error naming the folder.
#include "support/Files.h"
#include "video/FrameFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

TmemoryBitmap Pattern(int n) {
  TmemoryBitmap b(40, 30);
  for (int i = 0; i < 40 * 30; ++i) {
    const std::uint8_t a = std::uint8_t((i * 7 + n * 31) & 255);
    b.Bits[i * 4 + 0] = std::uint8_t((i + n) % (a + 1));
    b.Bits[i * 4 + 1] = std::uint8_t((i * 3) % (a + 1));
    b.Bits[i * 4 + 2] = std::uint8_t((n * 5) % (a + 1));
    b.Bits[i * 4 + 3] = a;
  }
  return b;
}

TEST(FrameWriter, WritesWhatWriteFrameWritesInEveryFolder) {
  const TTestDir dir("framewriter");
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  TFrameWriter writer;
  for (const bool tga : {false, true}) {
    for (int n = 0; n < 4; ++n) {
      const std::string ext = tga ? ".tga" : ".png";
      const std::string name = (n % 2 == 0 ? "a/" : "b/") + std::to_string(n) + ext;
      writer.Write(Pattern(n), (dir / name).string(), tga);
      WriteFrame(Pattern(n), (dir / ("single" + std::to_string(n) + ext)).string(), tga);
      const std::string written = ReadBytes(dir / name);
      EXPECT_FALSE(written.empty()) << name;
      EXPECT_EQ(written, ReadBytes(dir / ("single" + std::to_string(n) + ext))) << name;
    }
  }
  EXPECT_NO_THROW(writer.Flush());
  EXPECT_NO_THROW(writer.Flush());  // nothing left: nothing to do
  // No temporary file stays beside the frames.
  for (const auto& e : fs::recursive_directory_iterator(dir.Path())) {
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
  }
}

TEST(FrameWriter, AFlushThatCannotReachTheFolderNamesIt) {
  const TTestDir dir("framewriter");
  fs::create_directories(dir / "gone");
  TFrameWriter writer;
  writer.Write(Pattern(0), (dir / "gone" / "0.png").string(), false);
  fs::remove_all(dir / "gone");
  try {
    writer.Flush();
    ADD_FAILURE() << "the flush of a folder that went was taken for done";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find((dir / "gone").string()), std::string::npos) << e.what();
  }
  // The failure is reported once; the writer is then empty.
  EXPECT_NO_THROW(writer.Flush());
}

}  // namespace
}  // namespace qv::test

// qvrender's crawl commands: the items of text and RTF files, and sequences that wait for the
// crawls' strips, so that they come out the same every time.
#include "support/Files.h"
#include "support/Qvrender.h"
#include "support/Tga.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

std::string Data(const std::string& name) { return std::string(QV_TEST_DATA_DIR) + "/" + name; }

TEST(CrawlItems, TextAndRtfFiles) {
  struct Case {
    const char* file;
    std::string expected;
  };
  const Case cases[] = {
      // CR LF, LF and CR line ends; blank and white-space lines dropped; blanks inside kept.
      {"lines.txt", "First item\nSecond  item \n\tThird\nLast, without a line end\n"},
      {"utf8-bom.txt", "caf\xC3\xA9 cr\xC3\xA8me\n\xE2\x82\xAC 5\n"},
      {"utf16le.txt", "caf\xC3\xA9 cr\xC3\xA8me\n\xE2\x82\xAC 5\n"},
      {"blank.txt", ""},
      // Not UTF-8: Windows-1252.
      {"cp1252.txt", "caf\xC3\xA9 \xE2\x82\xAC 5\nplain ASCII\n"},
      // RTF: the paragraphs' text, whatever their formatting; blank paragraphs dropped.
      {"items.rtf", "First bold and red\nCaf\xC3\xA9 \xE2\x82\xAC 5\nLast paragraph\n"},
  };
  for (const Case& c : cases) {
    const TRunResult r = RunQvrender({"items", Data(c.file)});
    EXPECT_EQ(r.code, 0) << c.file << ": " << r.err;
    EXPECT_EQ(r.out, c.expected) << c.file;
  }
}

TEST(CrawlItems, AMissingFileFails) {
  const TRunResult r = RunQvrender({"items", Data("missing.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
}

TEST(CrawlSequence, WaitsForTheStripsAndRepeats) {
  const TTestDir dir("crawlseq");
  const std::string project = dir.Write(
      "c.QV", "Object '':TRollLayer\r\nTextFile = " + Data("lines.txt") + "\r\nSpeed = 10\r\nY = 100\r\nEnd\r\n");
  std::vector<std::string> first;
  for (int run = 0; run < 2; ++run) {
    const std::string prefix = run == 0 ? "first_" : "second_";
    const std::string pattern = (dir / (prefix + "%d.tga")).string();
    const TRunResult r = RunQvrender({"sequence", project, "-o", pattern, "--from", "0", "--to", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (int f = 0; f <= 3; ++f) {
      const std::string bytes = ReadBytes(dir / (prefix + std::to_string(f) + ".tga"));
      if (run == 0) {
        first.push_back(bytes);
      } else {
        EXPECT_EQ(bytes, first[static_cast<std::size_t>(f)]) << "frame " << f;
      }
    }
  }
  // The first frame already crawls: 20 pixels a frame from the right edge, so frames differ.
  EXPECT_NE(first[0], first[1]);
  // Some pixel of the layer's rows near the right edge is inked in frame 3 (the strip entered 60
  // pixels ago).
  const TTgaImage f3 = ReadTga(dir / "first_3.tga");
  ASSERT_EQ(f3.w, 768);
  ASSERT_EQ(f3.h, 576);
  bool ink = false;
  for (int y = 100; y < 130 && !ink; ++y) {
    for (int x = 700; x < 768; ++x) ink = ink || f3.At(x, y)[3] > 0;
  }
  EXPECT_TRUE(ink);
}

// A single frame shows the page as it stands that many frames after it starts: the crawl is as
// far along as in a sequence from frame 0, and a sequence that starts later is the same frames.
TEST(CrawlSequence, AFrameAloneIsThatFrameOfTheSequence) {
  const TTestDir dir("crawlframe");
  const std::string project = dir.Write(
      "c.QV", "Object '':TRollLayer\r\nTextFile = " + Data("lines.txt") + "\r\nSpeed = 10\r\nY = 100\r\nEnd\r\n");
  ASSERT_EQ(RunQvrender({"sequence", project, "-o", (dir / "s_%d.tga").string(), "--from", "0", "--to", "12"}).code, 0);
  ASSERT_EQ(RunQvrender({"render", project, "-o", (dir / "alone.tga").string(), "--frame", "12"}).code, 0);
  ASSERT_EQ(
      RunQvrender({"sequence", project, "-o", (dir / "late_%d.tga").string(), "--from", "11", "--to", "12"}).code, 0);
  ASSERT_EQ(RunQvrender({"render", project, "-o", (dir / "start.tga").string(), "--frame", "0"}).code, 0);
  const std::string twelve = ReadBytes(dir / "s_12.tga");
  EXPECT_EQ(ReadBytes(dir / "alone.tga"), twelve);
  EXPECT_EQ(ReadBytes(dir / "late_12.tga"), twelve);
  EXPECT_EQ(ReadBytes(dir / "late_11.tga"), ReadBytes(dir / "s_11.tga"));
  EXPECT_EQ(ReadBytes(dir / "start.tga"), ReadBytes(dir / "s_0.tga"));
  EXPECT_NE(twelve, ReadBytes(dir / "s_0.tga"));
}

}  // namespace
}  // namespace qv::test

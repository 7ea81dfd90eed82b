// qvrender's crawl commands: the items of text and RTF files, and sequences that wait for the
// crawls' strips, so that they come out the same every time.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out;
};

// Runs qvrender with Args (quoted for the shell); standard error goes to the test's log.
Result Qvrender(const std::vector<std::string>& args) {
  std::string cmd = QVRENDER_BIN;
  for (const std::string& a : args) {
    cmd += " '";
    for (char c : a) {
      if (c == '\'') {
        cmd += "'\\''";
      } else {
        cmd.push_back(c);
      }
    }
    cmd += "'";
  }
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  std::array<char, 4096> buf{};
  std::size_t n = 0;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Data(const std::string& name) { return std::string(QV_TEST_DATA_DIR) + "/" + name; }

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

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
    const Result r = Qvrender({"items", Data(c.file)});
    EXPECT_EQ(r.code, 0) << c.file;
    EXPECT_EQ(r.out, c.expected) << c.file;
  }
}

TEST(CrawlItems, AMissingFileFails) {
  const Result r = Qvrender({"items", Data("missing.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
}

TEST(CrawlSequence, WaitsForTheStripsAndRepeats) {
  std::random_device rd;
  const fs::path dir = fs::temp_directory_path() / ("qv-crawlseq-" + std::to_string(rd()));
  fs::create_directories(dir);
  const std::string project = (dir / "c.QV").string();
  std::ofstream(project, std::ios::binary) << "Object '':TRollLayer\r\nTextFile = " << Data("lines.txt")
                                           << "\r\nSpeed = 10\r\nY = 100\r\nEnd\r\n";
  std::vector<std::string> first;
  for (int run = 0; run < 2; ++run) {
    const std::string prefix = run == 0 ? "first_" : "second_";
    const std::string pattern = (dir / (prefix + "%d.tga")).string();
    ASSERT_EQ(Qvrender({"sequence", project, "-o", pattern, "--from", "0", "--to", "3"}).code, 0);
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
  // TGA: 18-byte header, bottom row first, BGRA. Some pixel of the layer's rows near the right
  // edge is inked in frame 3 (the strip entered 60 pixels ago).
  const std::string& f3 = first[3];
  bool ink = false;
  for (int y = 100; y < 130 && !ink; ++y) {
    const std::size_t row = 18 + std::size_t(575 - y) * 768 * 4;
    for (int x = 700; x < 768; ++x) ink = ink || static_cast<unsigned char>(f3[row + std::size_t(x) * 4 + 3]) > 0;
  }
  EXPECT_TRUE(ink);
  fs::remove_all(dir);
}

// A single frame shows the page as it stands that many frames after it starts: the crawl is as
// far along as in a sequence from frame 0, and a sequence that starts later is the same frames.
TEST(CrawlSequence, AFrameAloneIsThatFrameOfTheSequence) {
  std::random_device rd;
  const fs::path dir = fs::temp_directory_path() / ("qv-crawlframe-" + std::to_string(rd()));
  fs::create_directories(dir);
  const std::string project = (dir / "c.QV").string();
  std::ofstream(project, std::ios::binary) << "Object '':TRollLayer\r\nTextFile = " << Data("lines.txt")
                                           << "\r\nSpeed = 10\r\nY = 100\r\nEnd\r\n";
  ASSERT_EQ(Qvrender({"sequence", project, "-o", (dir / "s_%d.tga").string(), "--from", "0", "--to", "12"}).code, 0);
  ASSERT_EQ(Qvrender({"render", project, "-o", (dir / "alone.tga").string(), "--frame", "12"}).code, 0);
  ASSERT_EQ(Qvrender({"sequence", project, "-o", (dir / "late_%d.tga").string(), "--from", "11", "--to", "12"}).code,
            0);
  ASSERT_EQ(Qvrender({"render", project, "-o", (dir / "start.tga").string(), "--frame", "0"}).code, 0);
  const std::string twelve = ReadBytes(dir / "s_12.tga");
  EXPECT_EQ(ReadBytes(dir / "alone.tga"), twelve);
  EXPECT_EQ(ReadBytes(dir / "late_12.tga"), twelve);
  EXPECT_EQ(ReadBytes(dir / "late_11.tga"), ReadBytes(dir / "s_11.tga"));
  EXPECT_EQ(ReadBytes(dir / "start.tga"), ReadBytes(dir / "s_0.tga"));
  EXPECT_NE(twelve, ReadBytes(dir / "s_0.tga"));
  fs::remove_all(dir);
}

}  // namespace

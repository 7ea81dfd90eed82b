// qvrender with text and clock layers: metadata slots and the time of day from the command line,
// the clock advancing 40 ms per frame of a sequence, and the text shown by `info`.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The rows of `info`, split at tabs.
std::vector<std::vector<std::string>> Rows(const std::string& out) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      cells.push_back(line.substr(start, tab - start));
    cells.push_back(line.substr(start));
    rows.push_back(cells);
  }
  return rows;
}

// The pixels of a TGA written by qvrender, rows top first.
std::string TgaPixels(const fs::path& file, int& w, int& h) {
  const std::string b = ReadBytes(file);
  if (b.size() < 18) return {};
  w = std::uint8_t(b[12]) | std::uint8_t(b[13]) << 8;
  h = std::uint8_t(b[14]) | std::uint8_t(b[15]) << 8;
  const std::size_t row = std::size_t(w) * 4;
  std::string pixels;
  for (int y = 0; y < h; ++y) pixels += b.substr(18 + row * std::size_t(h - 1 - y), row);
  return pixels;
}

class QvrenderText : public ::testing::Test {
 protected:
  struct Result {
    int code = -1;
    std::string out, err;
  };
  void SetUp() override {
    dir = fs::temp_directory_path() / ("qv-qvrender-text-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    project = (dir / "p.QV").string();
    // A text layer fed by metadata slot 1, one by next-metadata slot 2, and a clock with
    // milliseconds.
    std::ofstream(project, std::ios::binary) << "\tObject '':TTextLayer\r\n"
                                                "\t\tText = no metadata\r\n"
                                                "\t\tTextSource = 1\r\n"
                                                "\t\tlayerName = meta\r\n"
                                                "\t\tX = 20\r\n"
                                                "\t\tY = 20\r\n"
                                                "\tEnd\r\n"
                                                "\tObject '':TTextLayer\r\n"
                                                "\t\tText = no next\r\n"
                                                "\t\tTextSource = 6\r\n"
                                                "\t\tlayerName = next\r\n"
                                                "\t\tX = 20\r\n"
                                                "\t\tY = 120\r\n"
                                                "\tEnd\r\n"
                                                "\tObject '':TClockLayer\r\n"
                                                "\t\tObject 'FormatSettings':TClockSettings\r\n"
                                                "\t\t\tMilliSeconds = True\r\n"
                                                "\t\tEnd\r\n"
                                                "\t\tlayerName = clock\r\n"
                                                "\t\tX = 20\r\n"
                                                "\t\tY = 300\r\n"
                                                "\tEnd\r\n";
  }
  void TearDown() override { fs::remove_all(dir); }

  Result Run(const std::vector<std::string>& args) {
    std::string cmd = Quote(QVRENDER_BIN);
    for (const auto& a : args) cmd += ' ' + Quote(a);
    cmd += " >" + Quote((dir / "stdout.txt").string()) + " 2>" + Quote((dir / "stderr.txt").string());
    const int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadBytes(dir / "stdout.txt");
    r.err = ReadBytes(dir / "stderr.txt");
    return r;
  }

  fs::path dir;
  std::string project;
};

TEST_F(QvrenderText, InfoShowsTheTextsFromMetadataAndTime) {
  const Result r = Run({"info", project, "--meta1", "Élection ce soir", "--next-meta2", "שלום", "--time",
                        "09:05:03.007"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto rows = Rows(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_EQ(rows[0][1], "TTextLayer");
  EXPECT_EQ(rows[0].back(), "Élection ce soir");
  EXPECT_EQ(rows[1].back(), "שלום");
  EXPECT_EQ(rows[2][1], "TClockLayer");
  EXPECT_EQ(rows[2].back(), "09:05:03:007");
  // Without metadata the texts stay as stored.
  const auto bare = Rows(Run({"info", project, "--time", "23:59:59"}).out);
  ASSERT_EQ(bare.size(), 3u);
  EXPECT_EQ(bare[0].back(), "no metadata");
  EXPECT_EQ(bare[1].back(), "no next");
  EXPECT_EQ(bare[2].back(), "23:59:59:000");
}

TEST_F(QvrenderText, RendersTextAndTheGivenTime) {
  ASSERT_EQ(Run({"render", project, "-o", (dir / "a.tga").string(), "--time", "09:05:03.007"}).code, 0);
  ASSERT_EQ(Run({"render", project, "-o", (dir / "b.tga").string(), "--time", "09:05:03.007"}).code, 0);
  ASSERT_EQ(Run({"render", project, "-o", (dir / "c.tga").string(), "--time", "10:15:03.007"}).code, 0);
  int w = 0, h = 0;
  const std::string a = TgaPixels(dir / "a.tga", w, h);
  ASSERT_EQ(w, 768);
  ASSERT_EQ(h, 576);
  EXPECT_EQ(a, TgaPixels(dir / "b.tga", w, h));  // the same time, the same picture
  const std::string c = TgaPixels(dir / "c.tga", w, h);
  // Text is drawn near each anchor; the clock's pixels differ with the time, the rest does not.
  auto inkIn = [&](const std::string& px, int top, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < w; ++x) n += px[(std::size_t(y) * w + x) * 4 + 3] != 0;
    return n;
  };
  EXPECT_GT(inkIn(a, 12, 100), 500);
  EXPECT_GT(inkIn(a, 112, 200), 500);
  EXPECT_GT(inkIn(a, 292, 380), 500);
  EXPECT_EQ(a.substr(0, std::size_t(w) * 4 * 280), c.substr(0, std::size_t(w) * 4 * 280));
  EXPECT_NE(a.substr(std::size_t(w) * 4 * 280), c.substr(std::size_t(w) * 4 * 280));
}

// A sequence advances the clock by 40 ms per frame: from 09:05:03.950 the second changes at the
// third frame.
TEST_F(QvrenderText, SequenceAdvancesTheClock) {
  const std::string pattern = (dir / "f%d.tga").string();
  ASSERT_EQ(Run({"sequence", project, "-o", pattern, "--from", "0", "--to", "2", "--time", "09:05:03.950"}).code, 0);
  ASSERT_EQ(Run({"render", project, "-o", (dir / "at990.tga").string(), "--time", "09:05:03.990"}).code, 0);
  ASSERT_EQ(Run({"render", project, "-o", (dir / "at030.tga").string(), "--time", "09:05:04.030"}).code, 0);
  int w = 0, h = 0;
  EXPECT_EQ(TgaPixels(dir / "f1.tga", w, h), TgaPixels(dir / "at990.tga", w, h));
  EXPECT_EQ(TgaPixels(dir / "f2.tga", w, h), TgaPixels(dir / "at030.tga", w, h));
  EXPECT_NE(TgaPixels(dir / "f0.tga", w, h), TgaPixels(dir / "f1.tga", w, h));  // milliseconds shown
}

// The example project holds a text with shadow and contour, an Arabic line, a metadata headline
// and a clock; each shows.
TEST_F(QvrenderText, TheExampleProjectShowsItsTextLayers) {
  const std::string example = std::string(QV_EXAMPLES_DIR) + "/news/news.QV";
  const Result r = Run({"info", example, "--meta1", "Markets close higher", "--time", "18:30:00"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> texts;
  for (const auto& row : Rows(r.out)) {
    if (row[1] == "TTextLayer" || row[1] == "TClockLayer") texts.push_back(row.back());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"BREAKING NEWS", "Markets close higher", "مرحبا بكم في نشرة الأخبار",
                                             "18:30:00"}));
}

}  // namespace
}  // namespace qv::test

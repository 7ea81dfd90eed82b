// qvrender with text and clock layers: metadata slots and the time of day from the command line,
// the clock advancing 40 ms per frame of a sequence, and the text shown by `info`.
#include "support/Files.h"
#include "support/Qvrender.h"
#include "support/Tga.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qv::test {
namespace {

// The rows of `info`, split at tabs.
std::vector<std::vector<std::string>> Rows(const std::string& out) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("# ")) continue;  // the page's size
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      cells.push_back(line.substr(start, tab - start));
    cells.push_back(line.substr(start));
    rows.push_back(cells);
  }
  return rows;
}

class QvrenderText : public ::testing::Test {
 protected:
  using Result = TRunResult;
  void SetUp() override {
    project = (dir / "p.QV").string();
    // A text layer fed by metadata slot 1, one by next-metadata slot 2, and a clock with
    // milliseconds.
    WriteBytes(project, "\tObject '':TTextLayer\r\n"
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
                        "\tEnd\r\n");
  }
  Result Run(const std::vector<std::string>& args) { return RunQvrender(args); }

  TTestDir dir{"qvrender-text"};
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
  const TTgaImage frame = ReadTga(dir / "a.tga");
  const int w = frame.w;
  ASSERT_EQ(frame.w, 768);
  ASSERT_EQ(frame.h, 576);
  const std::string& a = frame.pixels;
  EXPECT_EQ(a, ReadTga(dir / "b.tga").pixels);  // the same time, the same picture
  const std::string c = ReadTga(dir / "c.tga").pixels;
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
  EXPECT_EQ(ReadTga(dir / "f1.tga").pixels, ReadTga(dir / "at990.tga").pixels);
  EXPECT_EQ(ReadTga(dir / "f2.tga").pixels, ReadTga(dir / "at030.tga").pixels);
  EXPECT_NE(ReadTga(dir / "f0.tga").pixels, ReadTga(dir / "f1.tga").pixels);  // milliseconds shown
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

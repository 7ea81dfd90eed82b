// RTF written by other programs (made once by data/make-fixtures.sh from one HTML document): every
// non-blank paragraph must come out with its exact text, sizes, styles, colours and direction.
#include "platform/RichText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace qv;

namespace {

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(QV_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct TFace {
  std::string Name;
};

TRichRun R(const TFace& face, std::string text, int halfPoints = 24) {
  TRichRun r;
  r.Text = std::move(text);
  r.Face = face.Name;
  r.HalfPoints = halfPoints;
  return r;
}
TRichRun B(TRichRun r) { r.Bold = true; return r; }
TRichRun I(TRichRun r) { r.Italic = true; return r; }
TRichRun U(TRichRun r) { r.Underline = true; return r; }
TRichRun C(TRichRun r, std::uint32_t rgb) {
  r.Color = rgb;
  r.AutoColor = false;
  return r;
}
TRichParagraph P(std::vector<TRichRun> runs, bool rtl = false) {
  TRichParagraph p;
  p.Runs = std::move(runs);
  p.RightToLeft = rtl;
  return p;
}

const char* const kAccents =
    "Plain caf\u00E9, na\u00EFve \u00C6r\u00F8 \u2014 \u201Cquoted\u201D and \u2018single\u2019 \u2013 end";
const char* const kHebrew = "\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD";
const char* const kArabic =
    "\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645";
const char* const kOthers = "\u041F\u0440\u0438\u0432\u0435\u0442 \u03B1\u03B2\u03B3 \u017C\u00F3\u0142w";

std::vector<TRichParagraph> NonBlank(const TRichDocument& doc) {
  std::vector<TRichParagraph> out;
  for (const TRichParagraph& p : doc.Paragraphs) {
    if (p.Text().find_first_not_of(" \t") != std::string::npos) out.push_back(p);
  }
  return out;
}

void ExpectDocument(const std::string& file, const std::vector<TRichParagraph>& want) {
  const std::vector<TRichParagraph> got = NonBlank(ReadRtf(ReadFixture(file)));
  ASSERT_EQ(got.size(), want.size()) << file;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].Text(), want[i].Text()) << file << " paragraph " << i;
    EXPECT_EQ(got[i].RightToLeft, want[i].RightToLeft) << file << " paragraph " << i;
    ASSERT_EQ(got[i].Runs.size(), want[i].Runs.size()) << file << " paragraph " << i;
    for (std::size_t k = 0; k < got[i].Runs.size(); ++k) {
      const TRichRun& g = got[i].Runs[k];
      EXPECT_EQ(g, want[i].Runs[k]) << file << " paragraph " << i << " run " << k << " \"" << g.Text
                                    << "\" face \"" << g.Face << "\" size " << g.HalfPoints
                                    << " b" << g.Bold << " i" << g.Italic << " u" << g.Underline
                                    << " colour " << std::hex << g.Color << " auto "
                                    << g.AutoColor;
    }
  }
}

TEST(RtfFixtures, Pandoc) {
  const TFace f{"Helvetica"};
  ExpectDocument("pandoc.rtf",
                 {
                     P({B(R(f, "crawl", 36))}),  // the HTML title
                     P({R(f, kAccents)}),
                     P({B(R(f, "Bold")), R(f, " "), I(R(f, "italic")), R(f, " "), U(R(f, "under")),
                        R(f, " normal")}),
                     P({R(f, "Red and blue")}),  // pandoc keeps neither colours nor sizes
                     P({R(f, "Big small")}),
                     P({R(f, kHebrew)}),  // nor the direction
                     P({R(f, kArabic)}),
                     P({R(f, kOthers)}),
                 });
}

TEST(RtfFixtures, LibreOfficeWriter) {
  const TFace f{"Liberation Serif"};
  ExpectDocument("writer.rtf",
                 {
                     P({R(f, kAccents)}),
                     P({B(R(f, "Bold")), R(f, " "), I(R(f, "italic")), R(f, " "), U(R(f, "under")),
                        R(f, " normal")}),
                     P({C(R(f, "Red"), 0xFF0000), R(f, " and "), C(R(f, "blue"), 0x0000FF)}),
                     P({R(f, "Big", 40), R(f, " small")}),
                     P({R(f, kHebrew)}, true),
                     P({R(f, kArabic)}, true),
                     P({R(f, kOthers)}),
                 });
}

}  // namespace

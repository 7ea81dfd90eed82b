// RTF written by other programs (made once by data/make-fixtures.sh from one HTML document): every
// non-blank paragraph must come out with its exact text, sizes, styles, colours and direction.
#include "RichRuns.h"
#include "crawlinput/RtfReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace qv;
using namespace qv::test;

namespace {

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(QV_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
  const std::string f = "Helvetica";
  ExpectDocument("pandoc.rtf",
                 {
                     Para({Bold(TextRun("crawl", f, 36))}),  // the HTML title
                     Para({TextRun(kAccents, f)}),
                     Para({Bold(TextRun("Bold", f)), TextRun(" ", f), Italic(TextRun("italic", f)), TextRun(" ", f),
                           Under(TextRun("under", f)), TextRun(" normal", f)}),
                     Para({TextRun("Red and blue", f)}),  // pandoc keeps neither colours nor sizes
                     Para({TextRun("Big small", f)}),
                     Para({TextRun(kHebrew, f)}),  // nor the direction
                     Para({TextRun(kArabic, f)}),
                     Para({TextRun(kOthers, f)}),
                 });
}

TEST(RtfFixtures, LibreOfficeWriter) {
  const std::string f = "Liberation Serif";
  ExpectDocument("writer.rtf",
                 {
                     Para({TextRun(kAccents, f)}),
                     Para({Bold(TextRun("Bold", f)), TextRun(" ", f), Italic(TextRun("italic", f)), TextRun(" ", f),
                           Under(TextRun("under", f)), TextRun(" normal", f)}),
                     Para({Colour(TextRun("Red", f), 0xFF0000), TextRun(" and ", f),
                           Colour(TextRun("blue", f), 0x0000FF)}),
                     Para({TextRun("Big", f, 40), TextRun(" small", f)}),
                     Para({TextRun(kHebrew, f)}, true),
                     Para({TextRun(kArabic, f)}, true),
                     Para({TextRun(kOthers, f)}),
                 });
}

}  // namespace

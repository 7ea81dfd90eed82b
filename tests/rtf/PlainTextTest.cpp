// How the crawl decodes a plain-text file: the byte-order mark, else UTF-8 when valid, else
// Windows-1252; and how its lines end.
#include "crawlinput/PlainText.h"
#include "crawlinput/RtfReader.h"
#include "project/ProjectError.h"
#include "project/TextFile.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace qv;

namespace {

struct Case {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(DecodePlainTextLines, EncodingsAndLineEnds) {
  const Case cases[] = {
      {"ascii", "a\r\nb", {"a", "b"}},
      {"lf, cr, crlf and none at the end", "a\nb\rc\r\nd", {"a", "b", "c", "d"}},
      {"blank and empty lines kept", "a\n\n  \r\n\r\nb\n", {"a", "", "  ", "", "b"}},
      {"cr lf is one end, lf cr two", "a\n\rb", {"a", "", "b"}},
      {"nothing", "", {}},
      {"valid utf-8", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", {"caf\u00E9 \u20AC \U0001F600"}},
      {"utf-8 bom dropped", "\xEF\xBB\xBF" "a\r\n", {"a"}},
      {"broken utf-8 after a utf-8 bom", "\xEF\xBB\xBF" "a\xE9" "b", {"a\uFFFDb"}},
      {"latin byte: 1252", "caf\xE9", {"caf\u00E9"}},
      {"one bad byte makes the whole file 1252", "\xC3\xA9 \xE9", {"\u00C3\u00A9 \u00E9"}},
      {"1252 upper half", "\x80\x8A\x8C\x91\x92\x93\x94\x96\x97\x99\x9F",
       {"\u20AC\u0160\u0152\u2018\u2019\u201C\u201D\u2013\u2014\u2122\u0178"}},
      {"1252 undefined bytes are C1 controls", "\x81\x8D\x8F\x90\x9D",
       {"\u0081\u008D\u008F\u0090\u009D"}},
      {"overlong utf-8 is not utf-8", "\xC0\xAF", {"\u00C0\u00AF"}},
      {"overlong three bytes", "\xE0\x80\xAF", {"\u00E0\u20AC\u00AF"}},
      {"encoded surrogate is not utf-8", "\xED\xA0\x80", {"\u00ED\u00A0\u20AC"}},
      {"above U+10FFFF is not utf-8", "\xF4\x90\x80\x80", {"\u00F4\u0090\u20AC\u20AC"}},
      {"U+10FFFF is utf-8", "\xF4\x8F\xBF\xBF", {"\U0010FFFF"}},
      {"truncated sequence is not utf-8", "ab\xE2\x82", {"ab\u00E2\u201A"}},
      {"utf-16le", std::string("\xFF\xFE" "a\0\xE9\0\r\0\n\0b\0", 12), {"a\u00E9", "b"}},
      {"utf-16be", std::string("\xFE\xFF\0a\0\xE9\0\n\0b", 10), {"a\u00E9", "b"}},
      {"utf-16 surrogate pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), {"\U0001F600"}},
      {"utf-16 lone high surrogate", std::string("\xFF\xFE\x3D\xD8" "a\0", 6), {"\uFFFDa"}},
      {"utf-16 lone low surrogate", std::string("\xFE\xFF\xDE\x00\0a", 6), {"\uFFFDa"}},
      {"utf-16 odd trailing byte dropped", std::string("\xFF\xFE" "a\0b", 5), {"a"}},
      {"utf-16 cr lf", std::string("\xFF\xFE" "a\0\r\0\n\0\r\0b\0", 12), {"a", "", "b"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodePlainTextLines(c.bytes), c.lines) << c.name;
  }
}

// The plain-text fallback and the RTF reader's own 1252 table must agree on every upper byte.
TEST(DecodePlainTextLines, Windows1252AgreesWithTheRtfReader) {
  for (int b = 0x80; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::vector<std::string> plain = DecodePlainTextLines(byte);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", b);
    const TRichDocument rtf = ReadRtf(std::string("{\\rtf1\\ansi\\ansicpg1252 \\'") + hex + "}");
    ASSERT_EQ(plain.size(), 1u) << b;
    ASSERT_EQ(rtf.Paragraphs.size(), 1u) << b;
    EXPECT_EQ(plain[0], rtf.Paragraphs[0].Text()) << "byte " << b;
  }
}

// Any bytes decode to valid lines: random input, every encoding path.
TEST(DecodePlainTextLines, ArbitraryBytes) {
  std::uint32_t seed = 7;
  for (int round = 0; round < 64; ++round) {
    std::string bytes;
    const char* const prefixes[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    bytes = prefixes[round % 4];
    for (int i = 0; i < 4001; ++i) {
      seed = seed * 1664525u + 1013904223u;
      bytes += static_cast<char>(seed >> 24);
    }
    for (const std::string& line : DecodePlainTextLines(bytes)) {
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
      // Valid UTF-8 by the decoder's own judgement: decoding it again changes nothing.
      const std::vector<std::string> again = DecodePlainTextLines(line);
      EXPECT_EQ(again.empty() ? std::string() : again[0], line) << "round " << round;
    }
  }
}

class PlainTextFile : public ::testing::Test {
 protected:
  qv::test::TTestDir dir{"plaintext"};
};

TEST_F(PlainTextFile, ReadsAFile) {
  const std::string name = dir.Write("crawl.txt", "first\r\n\r\ncaf\xE9\r\n");
  EXPECT_EQ(ReadPlainTextLines(name), (std::vector<std::string>{"first", "", "caf\u00E9"}));
}

TEST_F(PlainTextFile, ErrorsNameTheFile) {
  const std::string missing = (dir / "missing.txt").string();
  try {
    ReadPlainTextLines(missing);
    FAIL() << "no error";
  } catch (const EProjectError& e) {
    EXPECT_EQ(e.FileName(), missing);
  }
  EXPECT_THROW(ReadPlainTextLines(dir.Path().string()), EProjectError);

  // A file beyond the limit is refused before it is read; one at the limit is read.
  const std::string large = (dir / "large.txt").string();
  {
    std::ofstream out(large, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kMaxPlainTextBytes));
    out.put('x');
  }
  try {
    ReadPlainTextLines(large);
    FAIL() << "no error";
  } catch (const EProjectError& e) {
    EXPECT_EQ(e.FileName(), large);
    EXPECT_NE(std::string(e.what()).find("larger"), std::string::npos) << e.what();
  }
  std::filesystem::resize_file(large, kMaxPlainTextBytes);
  EXPECT_NO_THROW(ReadPlainTextLines(large));
}

}  // namespace

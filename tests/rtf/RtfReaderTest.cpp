#include "RichRuns.h"
#include "crawlinput/RtfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace qv;
using namespace qv::test;

namespace {

// A document with two fonts (the second Cyrillic) and two colours around Body.
std::string Doc(const std::string& body, const std::string& header = "\\ansi\\deff0") {
  return "{\\rtf1" + header +
         "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset204 Times New Roman;}}"
         "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}\n" +
         body + "}";
}

std::vector<std::string> Texts(const TRichDocument& doc) {
  std::vector<std::string> texts;
  for (const TRichParagraph& p : doc.Paragraphs) texts.push_back(p.Text());
  return texts;
}

bool ValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

struct TextCase {
  const char* name;
  std::string rtf;
  std::vector<std::string> paragraphs;
};

TEST(ReadRtf, TextOfParagraphs) {
  const TextCase cases[] = {
      {"paragraphs", Doc("Hello\\par World"), {"Hello", "World"}},
      {"empty paragraphs kept, a final empty one not", Doc("a\\par\\par b\\par"), {"a", "", "b"}},
      {"escapes", Doc("\\{a\\} \\\\b"), {"{a} \\b"}},
      {"named characters", Doc("\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote"),
       {"\u2014\u2013\u2022\u2018\u2019\u201C\u201D"}},
      {"non-breaking space, optional and non-breaking hyphen", Doc("a\\~b\\-c\\_d"),
       {"a\u00A0bc\u2011d"}},
      {"tab and cell", Doc("a\\tab b\\cell c"), {"a\tb\tc"}},
      {"table rows", Doc("\\trowd a\\cell b\\tab\\cell\\row c\\cell d\\cell{\\trowd\\row}x\\cell\\cell\\row"),
       {"a\tb\t", "c\td", "x\t"}},
      {"line, page, section and row end a line", Doc("a\\line b\\page c\\sect d\\row e"),
       {"a", "b", "c", "d", "e"}},
      {"backslash before a line end is a paragraph", Doc("a\\\nb"), {"a", "b"}},
      {"line ends in the file are no text", Doc("a\r\nb\nc"), {"abc"}},
      {"control characters are dropped", Doc("a\x01" "b\x7F" "c"), {"abc"}},
      {"a space ends a control word and is eaten", Doc("\\b x\\b0  y"), {"x y"}},
      {"a number ends a control word", Doc("\\fs30x"), {"x"}},
      {"a word longer than 32 letters is unknown", Doc("\\abcdefghijklmnopqrstuvwxyzabcdefghij x"), {"x"}},
      {"hex in the document's code page", Doc("caf\\'e9 \\'80\\'9f"), {"caf\u00E9 \u20AC\u0178"}},
      {"undefined 1252 byte is its C1 control", Doc("\\'81"), {"\u0081"}},
      {"ansicpg1251", Doc("\\'cf\\'f0\\'e8", "\\ansi\\ansicpg1251\\deff0"), {"\u041F\u0440\u0438"}},
      {"font charset picks the code page", Doc("\\'cf{\\f1 \\'cf}\\'cf"), {"\u00CF\u041F\u00CF"}},
      {"cpg overrides", "{\\rtf1{\\fonttbl{\\f0\\cpg1253 G;}}\\f0\\'e1}", {"\u03B1"}},
      {"unsupported ansicpg falls back to 1252", Doc("\\'e9", "\\ansi\\ansicpg65001"), {"\u00E9"}},
      {"double-byte code page", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0x\\'b1}", {"\u3042x\uFF71"}},
      {"a lead byte alone", "{\\rtf1\\ansi\\ansicpg936 {\\'82}y}", {"\uFFFDy"}},
      {"a lead byte and a literal trail", "{\\rtf1\\ansi\\ansicpg932 \\'82@z}", {"\uFFFDz"}},
      {"unicode", Doc("\\u233?\\u8212-"), {"\u00E9\u2014"}},
      {"negative unicode", Doc("\\u-4064?"), {"\uF020"}},
      {"surrogate pair", Doc("\\u-10179?\\u-8704?"), {"\U0001F600"}},
      {"surrogate pair with hex fallbacks", Doc("\\u55357\\'3f\\u56832\\'3f!"), {"\U0001F600!"}},
      {"lone high surrogate", Doc("\\u-10179?x"), {"\uFFFDx"}},
      {"lone low surrogate", Doc("\\u-8704?x"), {"\uFFFDx"}},
      {"two high surrogates", Doc("\\u55357?\\u55357?\\u56832?"), {"\uFFFD\U0001F600"}},
      {"uc between the halves, unsigned form", Doc("\\uc0 \\u55357\\uc1 \\u56832\\'3f!"), {"\U0001F600!"}},
      {"uc between the halves, negative form", Doc("\\uc1\\u-10179?\\uc2\\u-8704?\?!"), {"\U0001F600!"}},
      {"uc0 pair, no fallbacks", Doc("\\uc0\\u-10179\\u-8704 x"), {"\U0001F600x"}},
      {"pair with a space after each", Doc("\\u55357 ?\\u56832 ?"), {"\U0001F600"}},
      {"pair with skipped control-word fallbacks", Doc("\\uc1\\u-10179\\emdash\\u-8704\\'3fx"),
       {"\U0001F600x"}},
      {"uc in a group between the halves", Doc("\\u55357?{\\uc0\\u56832}x"), {"\uFFFD\uFFFDx"}},
      {"a high half then \\uc then text", Doc("\\u55357?\\uc0 x"), {"\uFFFDx"}},
      {"highest plane", Doc("\\u-9217?\\u-8193?"), {"\U0010FFFF"}},
      {"uc2 skips two", Doc("\\uc2\\u233\\'e9\\'e9x"), {"\u00E9x"}},
      {"uc0 skips none", Doc("\\uc0\\u233 x"), {"\u00E9x"}},
      {"uc counts a control word as one", Doc("\\u233\\emdash x"), {"\u00E9x"}},
      {"uc is kept per group", Doc("{\\uc2\\u233 ab}\\u233 ab"), {"\u00E9\u00E9b"}},
      {"a brace ends the skipping", Doc("{\\uc3\\u233 a}b"), {"\u00E9b"}},
      {"unknown starred destination", Doc("{\\*\\unknown secret {\\b deeper}}visible"), {"visible"}},
      {"field result kept, instruction dropped",
       Doc("{\\field{\\*\\fldinst{HYPERLINK \"http://x\"}}{\\fldrslt{\\ul link}}} end"), {"link end"}},
      {"ignorable groups",
       Doc("{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}{\\header H\\par}{\\footer F}"
           "{\\pict\\pngblip 89504e47}{\\object{\\*\\objdata 01}}{\\*\\bkmkstart b}x"),
       {"x"}},
      {"binary data skipped", Doc("a\\bin3 {}}b"), {"ab"}},
      {"binary data past the end", Doc("a\\bin999999999999 xyz"), {"a"}},
      {"negative binary length", Doc("a\\bin-5 b"), {"ab"}},
      {"hidden text", Doc("a{\\v hidden\\par}b"), {"ab"}},
      {"upr keeps the Unicode half", Doc("{\\upr{ansi}{\\*\\ud{uni\\u233?}}}"), {"uni\u00E9"}},
      {"ud outside upr is ignored", Doc("{\\*\\ud x}y"), {"y"}},
      {"text after the document is ignored", "{\\rtf1 a}b", {"a"}},
      {"a byte-order mark before the document", "\xEF\xBB\xBF{\\rtf1 x}", {"x"}},
      {"white space before the document", " \r\n\t{\\rtf1 x}", {"x"}},
      {"no font table", "{\\rtf1 x}", {"x"}},
      {"bad hex dropped", Doc("a\\'zzb\\'4"), {"azzb4"}},
      {"numbers too large", Doc("\\fs99999999999999999999999 a\\u99999999999999999?b\\u-99999999999999999?c"),
       {"a\uFFFDb\uFFFDc"}},
      {"huge uc is bounded", Doc("\\uc99999999999 \\u233 abcdefghijklmnopqrstuvwxyz"),
       {"\u00E9qrstuvwxyz"}},
  };
  for (const auto& c : cases) {
    try {
      EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
    } catch (const ERtfError& e) {
      ADD_FAILURE() << c.name << ": " << e.Message;
    }
  }
}

TEST(ReadRtf, CodePageTables) {
  struct Case {
    int codePage;
    const char* hex;
    const char* text;
  };
  const Case cases[] = {
      {874, "a1", "\u0E01"},  {1250, "9a", "\u0161"}, {1251, "e0", "\u0430"}, {1252, "9f", "\u0178"},
      {1253, "e1", "\u03B1"}, {1254, "f0", "\u011F"}, {1255, "e0", "\u05D0"}, {1256, "c7", "\u0627"},
      {1257, "e0", "\u0105"}, {1258, "d0", "\u0110"}, {874, "db", "\uFFFD"},  {1252, "41", "A"},
  };
  for (const auto& c : cases) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg" + std::to_string(c.codePage) + " \\'" + c.hex + "}";
    EXPECT_EQ(Texts(ReadRtf(rtf)), std::vector<std::string>{c.text}) << c.codePage << " " << c.hex;
  }
  // The same bytes through a font's \fcharset in a document of another code page.
  const struct {
    int charset;
    const char* hex;
    const char* text;
  } charsets[] = {{238, "9a", "\u0161"}, {161, "e1", "\u03B1"}, {177, "e0", "\u05D0"},
                  {178, "c7", "\u0627"}, {222, "a1", "\u0E01"}, {162, "f0", "\u011F"},
                  {186, "e0", "\u0105"}, {163, "d0", "\u0110"}, {0, "e9", "\u00E9"}};
  for (const auto& c : charsets) {
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f5\\fcharset" + std::to_string(c.charset) +
                            " F;}}\\f5\\'" + c.hex + "}";
    EXPECT_EQ(Texts(ReadRtf(rtf)), std::vector<std::string>{c.text}) << "charset " << c.charset;
  }
}

// Double-byte, Mac and DOS code pages go through the system's converter, by the document's code
// page or a font's charset; a pair the page does not hold is one U+FFFD.
TEST(ReadRtf, ConvertedCodePages) {
  const TextCase cases[] = {
      {"932 pairs", "{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96\\'7b}", {"\u65E5\u672C"}},
      {"932 trail byte written as itself", "{\\rtf1\\ansi\\ansicpg932 \\'83Y}", {"\u30BA"}},
      {"932 pair the page lacks", "{\\rtf1\\ansi\\ansicpg932 \\'85\\'40x}", {"\uFFFDx"}},
      {"936 pairs and its euro byte", "{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4\\'80}",
       {"\u4E2D\u6587\u20AC"}},
      {"949 pairs", "{\\rtf1\\ansi\\ansicpg949 \\'c7\\'d1\\'b1\\'db}", {"\uD55C\uAE00"}},
      {"950 pairs", "{\\rtf1\\ansi\\ansicpg950 \\'a4\\'a4\\'a4\\'e5}", {"\u4E2D\u6587"}},
      {"ASCII between pairs", "{\\rtf1\\ansi\\ansicpg949 a\\'c7\\'d1 b}", {"a\uD55C b"}},
      {"\\u with its fallback pair skipped", "{\\rtf1\\ansi\\ansicpg932\\uc2 \\u26085\\'93\\'fa!}",
       {"\u65E5!"}},
      {"Mac Roman by \\mac", "{\\rtf1\\mac \\'8e\\'d2x\\'d3}", {"\u00E9\u201Cx\u201D"}},
      {"Mac Roman by \\ansicpg10000", "{\\rtf1\\ansi\\ansicpg10000 \\'8e}", {"\u00E9"}},
      {"Mac Cyrillic", "{\\rtf1\\ansi\\ansicpg10007 \\'80}", {"\u0410"}},
      {"Mac Central European", "{\\rtf1\\ansi\\ansicpg10029 \\'80\\'84}", {"\u00C4\u0104"}},
      {"Mac Japanese", "{\\rtf1\\ansi\\ansicpg10001 \\'82\\'a0}", {"\u3042"}},
      {"DOS 437 by \\pc", "{\\rtf1\\pc \\'82\\'c4}", {"\u00E9\u2500"}},
      {"DOS 850 by \\pca", "{\\rtf1\\pca \\'82\\'d5}", {"\u00E9\u0131"}},
      {"a Latin font in a double-byte document reads 1252",
       "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset128 Gothic;}}\\f0 \\'a9 \\'93x\\'94{\\f1 \\'82\\'a0}}",
       {"\u00A9 \u201Cx\u201D\u3042"}},
      {"a font without a charset follows the document", "{\\rtf1\\ansicpg932{\\fonttbl{\\f0 Mincho;}}\\f0\\'82\\'a0}",
       {"\u3042"}},
      {"a code page nobody knows stays 1252", "{\\rtf1\\ansi\\ansicpg12345 \\'e9}", {"\u00E9"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
  const struct {
    int charset;
    const char* hex;
    const char* text;
  } charsets[] = {{128, "\\'82\\'a0", "\u3042"},      {129, "\\'c7\\'d1", "\uD55C"},
                  {134, "\\'d6\\'d0", "\u4E2D"},      {136, "\\'a4\\'a4", "\u4E2D"},
                  {77, "\\'8e", "\u00E9"},              {89, "\\'80", "\u0410"},
                  {78, "\\'82\\'a0", "\u3042"}};
  for (const auto& c : charsets) {
    // An English font around the Asian one: its bytes stay 1252.
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f5\\fcharset" +
                            std::to_string(c.charset) + " F;}}\\'e9{\\f5 " + c.hex + "}\\'e9}";
    EXPECT_EQ(Texts(ReadRtf(rtf)), std::vector<std::string>{std::string("\u00E9") + c.text + "\u00E9"})
        << "charset " << c.charset;
  }
}

// A font's \cpgN wins over its \fcharsetN; 65001 is UTF-8, whose characters writers cut into
// one \'hh per byte.
TEST(ReadRtf, Utf8Fonts) {
  const std::string fonts =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fcharset128\\cpg65001 Arial Unicode MS;}"
      "{\\f1\\cpg65001\\fcharset128 Gothic;}{\\f2\\cpg1253\\fcharset204 Greek;}{\\f3\\fcharset128 Mincho;}}";
  const TextCase cases[] = {
      {"a UTF-8 font", fonts + "\\'e4\\'b8\\'ad\\'e5\\'9c\\'8b}", {"\u4E2D\u570B"}},
      {"cpg before fcharset", fonts + "\\f1\\'e4\\'b8\\'ad}", {"\u4E2D"}},
      {"cpg wins for a single-byte page too", fonts + "\\f2\\'e1}", {"\u03B1"}},
      {"fcharset alone as before", fonts + "\\f3\\'82\\'a0}", {"\u3042"}},
      {"a character cut by a line end", fonts + "\\'e4\\'b8\r\n\\'ad}", {"\u4E2D"}},
      {"bytes as themselves and escaped", fonts + "\xE4\\'b8\xAD}", {"\u4E2D"}},
      {"four bytes", fonts + "\\'f0\\'9f\\'98\\'80}", {"\U0001F600"}},
      {"two bytes and ASCII", fonts + "caf\\'c3\\'a9!}", {"caf\u00E9!"}},
      {"a sequence broken off by a letter", fonts + "\\'e4\\'b8x}", {"\uFFFDx"}},
      {"a sequence broken off by a group", fonts + "{\\'e4\\'b8}x}", {"\uFFFDx"}},
      {"a sequence broken off by another lead byte", fonts + "\\'e4\\'e4\\'b8\\'ad}", {"\uFFFD\u4E2D"}},
      {"a continuation byte alone", fonts + "\\'adx}", {"\uFFFDx"}},
      {"an overlong form", fonts + "\\'c0\\'80\\'e0\\'80x}", {"\uFFFD\uFFFD\uFFFD\uFFFDx"}},
      {"a surrogate's form", fonts + "\\'ed\\'a0\\'80x}", {"\uFFFD\uFFFD\uFFFDx"}},
      {"beyond U+10FFFF", fonts + "\\'f4\\'90\\'80\\'80x}", {"\uFFFD\uFFFD\uFFFD\uFFFDx"}},
      {"a \\u with its fallback bytes skipped", fonts + "\\uc3\\u20013\\'e4\\'b8\\'ad!}", {"\u4E2D!"}},
      {"the file ends inside a character", fonts + "a\\'e4\\'b8", {"a\uFFFD"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
}

// Word writes an inner table's rows with \nestcell and \nestrow, the row's properties (and its
// \nestrow) in \*\nesttableprops, and a plain-text copy for older readers in \nonesttables.
TEST(ReadRtf, NestedTables) {
  const TextCase cases[] = {
      {"one-cell rows", Doc("A\\nestcell{\\*\\nesttableprops\\trowd\\cellx100\\nestrow}"
                            "B\\nestcell{\\*\\nesttableprops\\trowd\\cellx100\\nestrow}"),
       {"A", "B"}},
      {"inside an outer cell",
       Doc("\\trowd\\intbl A\\cell\\itap2 x\\nestcell y\\nestcell{\\*\\nesttableprops\\trowd\\nestrow}"
           "{\\nonesttables x y\\par}\\itap1 B\\cell\\row after"),
       {"A\tx\ty", "B", "after"}},
      {"a nestcell inside the properties", Doc("x\\nestcell y{\\*\\nesttableprops\\trowd\\nestcell\\nestrow}z"),
       {"x\ty", "z"}},
      {"the properties' other words and text are no text",
       Doc("a{\\*\\nesttableprops\\trowd\\b junk{\\par}\\cellx9 more\\nestrow}b"), {"a", "b"}},
      {"the fallback is skipped", Doc("a{\\nonesttables fallback\\par}b"), {"ab"}},
      {"a row outside the text ends nothing", Doc("a{\\*\\unknown\\row}b"), {"ab"}},
      {"a cell's text inside the properties",
       Doc("\\trowd\\intbl A\\cell\\itap2 x\\nestcell{\\*\\nesttableprops\\trowd\\cellx9 y\\nestcell\\nestrow}"
           "\\itap1 B\\cell\\row"),
       {"A\tx\ty", "B"}},
      {"a cell of paragraphs inside the properties, in the font's code page",
       Doc("x\\nestcell{\\*\\nesttableprops\\trowd\\f1 \\'c1.\\'c3\\'f3\\'eb\\'fc\\'ea\\'ee\\par "
           "\\'c2.\\'c0.\\nestcell\\nestrow}z"),
       {"x\t\u0411.\u0413\u0443\u043B\u044C\u043A\u043E", "\u0412.\u0410.", "z"}},
      {"text after the properties' last nestcell is none",
       Doc("a{\\*\\nesttableprops\\trowd b\\nestcell c\\nestrow}d"), {"ab", "d"}},
      {"text and paragraphs without a nestcell are none", Doc("a{\\*\\nesttableprops junk\\par more}b"), {"ab"}},
      {"properties in an ignored destination", Doc("{\\header{\\*\\nesttableprops h\\nestcell\\nestrow}}x"), {"x"}},
      // Found by the fuzzer: the properties' end rolled the text of a text box back to a mark of the
      // body and cut a character in two.
      {"a text box inside the properties keeps whole characters",
       "{\\rtf*\\nesttableprops\\cell{\\do\\n\\dptxbx{\\?v\x8f{{{}}}}\\*\\y}}", {"*\t", "v\u008F"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
}

// Text in text boxes (shapes, and the drawing objects of older writers) comes after the body's
// text, one paragraph per paragraph of the box, boxes in the order of the file.
TEST(ReadRtf, TextBoxes) {
  const TextCase cases[] = {
      {"a shape's text box",
       Doc("before{\\shp{\\*\\shpinst\\shpleft0{\\sp{\\sn shapeType}{\\sv 202}}"
           "{\\shptxt \\pard boxed\\par second}}}after\\par end"),
       {"beforeafter", "end", "boxed", "second"}},
      {"the shape's copy for older readers is not read twice",
       Doc("a{\\shp{\\*\\shpinst{\\shptxt box}}{\\shprslt{\\*\\do\\dptxbx{\\dptxbxtext box}}}}b"),
       {"ab", "box"}},
      {"an old drawing object's text box",
       Doc("a{\\*\\do\\dobxcolumn\\dptxbx{\\dptxbxtext\\pard old\\par}\\dpx0}b"), {"ab", "old"}},
      {"two boxes in order", Doc("{\\shp{\\*\\shpinst{\\shptxt one}}}x{\\shp{\\*\\shpinst{\\shptxt two}}}"),
       {"x", "one", "two"}},
      {"a shape's properties are no text", Doc("{\\shp{\\*\\shpinst{\\sp{\\sn t}{\\sv 1}}}}x"), {"x"}},
      {"a box inside a box", Doc("{\\shp{\\*\\shpinst{\\shptxt a{\\shp{\\*\\shpinst{\\shptxt b}}}c}}}x"),
       {"x", "a", "b", "c"}},
      {"a table in a box", Doc("{\\shp{\\*\\shpinst{\\shptxt p\\cell q\\cell\\row}}}"), {"p\tq"}},
      {"a box in an ignored destination is not read", Doc("{\\header{\\shp{\\*\\shpinst{\\shptxt h}}}}x"), {"x"}},
      {"a file that ends inside a box", Doc("x{\\shp{\\*\\shpinst{\\shptxt cut"), {"x", "cut"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
  // The body's run goes on after a box, with its own format.
  const TRichDocument doc = ReadRtf(Doc("{\\b a{\\shp{\\*\\shpinst{\\shptxt\\plain c}}}b}"));
  ASSERT_EQ(doc.Paragraphs.size(), 2u);
  ASSERT_EQ(doc.Paragraphs[0].Runs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[0].Runs[0], Bold(TextRun("ab")));
  ASSERT_EQ(doc.Paragraphs[1].Runs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[1].Runs[0], TextRun("c"));
}

// A numbered paragraph keeps the label its writer drew ("1.", "a)"); bullets are dropped.
TEST(ReadRtf, ListLabels) {
  const TextCase cases[] = {
      {"numbers", Doc("{\\listtext\\pard\\plain\\f0 1.\\tab}One\\par{\\listtext\\pard\\plain\\f0 2.\\tab}Two"),
       {"1.\tOne", "2.\tTwo"}},
      {"a leading tab and spaces are dropped", Doc("{\\listtext\\tab  a)\\tab}x"), {"a)\tx"}},
      {"roman numbers in old paragraph numbering", Doc("{\\pntext\\pard\\plain\\f0 IV.\\tab}x"), {"IV.\tx"}},
      {"a number without punctuation", Doc("{\\pntext\\f1 1\\tab}x"), {"1\tx"}},
      {"bullet character", Doc("{\\listtext\\tab \\bullet \\tab}x"), {"x"}},
      {"symbol-font bullet", Doc("{\\pntext\\f1\\'B7\\tab}x"), {"x"}},
      {"private-use bullet", Doc("{\\listtext\\pard\\plain \\u-3913\\'b7\\tab}x"), {"x"}},
      {"dash", Doc("{\\listtext\\tab \\endash \\tab}x"), {"x"}},
      {"a letter alone is a bullet", Doc("{\\listtext\\f0 o\\tab}x"), {"x"}},
      {"a bullet after text in the paragraph", Doc("{\\b a}{\\listtext\\'b7\\tab}b"), {"ab"}},
      {"the label's format is its own", Doc("{\\listtext\\b 3.}\\tab x"), {"3.\tx"}},
      {"the number definitions stay out", Doc("{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}{\\pntext 1.\\tab}x"),
       {"1.\tx"}},
      {"a label in an ignored destination", Doc("{\\header{\\listtext 1.}}x"), {"x"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
  const TRichDocument doc = ReadRtf(Doc("{\\listtext\\b 3.}\\tab x"));
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  ASSERT_EQ(doc.Paragraphs[0].Runs.size(), 2u);
  EXPECT_EQ(doc.Paragraphs[0].Runs[0], Bold(TextRun("3.")));
  EXPECT_EQ(doc.Paragraphs[0].Runs[1], TextRun("\tx"));
}

// Where the writer drew no label, the reader numbers the paragraph itself: old-style numbering
// (\pn) counts on over adjacent numbered paragraphs and takes outline levels from the section.
TEST(ReadRtf, OldStyleNumbers) {
  const std::string dec = "{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}";
  const TextCase cases[] = {
      {"numbers count on", Doc(dec + "One\\par Two\\par Three"), {"1.\tOne", "2.\tTwo", "3.\tThree"}},
      {"a start and a text after",
       Doc("{\\*\\pn\\pnlvlbody\\pndec\\pnstart4{\\pntxta )}}a\\par b"), {"4)\ta", "5)\tb"}},
      {"letters with texts before and after",
       Doc("{\\*\\pn\\pnlvlbody\\pnlcltr{\\pntxtb (}{\\pntxta )}}x\\par y"), {"(a)\tx", "(b)\ty"}},
      {"upper roman", Doc("{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart3{\\pntxta .}}x\\par y"), {"III.\tx", "IV.\ty"}},
      {"ordinals", Doc("{\\*\\pn\\pnlvlbody\\pnord\\pnstart11}x\\par y\\par\\par z"),
       {"11th\tx", "12th\ty", "", "14th\tz"}},
      {"a paragraph without numbering restarts the count",
       Doc(dec + "a\\par\\pard b\\par" + dec + "c"), {"1.\ta", "b", "1.\tc"}},
      {"a continuing paragraph keeps the count",
       Doc(dec + "a\\par\\pard{\\*\\pn\\pnlvlcont}more\\par\\pard" + dec + "b"), {"1.\ta", "more", "2.\tb"}},
      {"the writer's label counts", Doc("{\\pntext 1.\\tab}" + dec + "a\\par b"), {"1.\ta", "2.\tb"}},
      {"the same numbering written again counts on", Doc(dec + "a\\par\\pard" + dec + "b"), {"1.\ta", "2.\tb"}},
      {"another numbering starts over",
       Doc(dec + "a\\par b\\par\\pard{\\*\\pn\\pnlvlbody\\pnlcltr{\\pntxta )}}c"), {"1.\ta", "2.\tb", "a)\tc"}},
      {"a line break numbers nothing", Doc(dec + "a\\line b\\par c"), {"1.\ta", "b", "2.\tc"}},
      {"bullets stay out", Doc("{\\*\\pn\\pnlvlblt{\\pntxtb \\'b7}}a\\par b"), {"a", "b"}},
      {"outline levels from the section",
       Doc("{\\*\\pnseclvl1\\pnucrm\\pnstart1{\\pntxta .}}{\\*\\pnseclvl2\\pnlcltr{\\pntxta )}}"
           "\\pard{\\*\\pn\\pnlvl1}A\\par\\pard{\\*\\pn\\pnlvl2}b\\par\\pard{\\*\\pn\\pnlvl2}c\\par"
           "\\pard{\\*\\pn\\pnlvl1}B\\par\\pard{\\*\\pn\\pnlvl2\\pndec\\pnstart5}d"),
       {"I.\tA", "a)\tb", "b)\tc", "II.\tB", "5)\td"}},
      {"numbering in an ignored destination", Doc("{\\header" + dec + "h\\par}x"), {"x"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
}

// A list table of our own: list 10 with three levels ("1.", "a)", "1.a.i."), list 20 of bullets,
// list 30 in upper roman from 4 with a colon and a space; override 4 starts list 10 at 7.
const char* const kListTable =
    "{\\*\\listtable"
    "{\\list\\listtemplateid1"
    "{\\listlevel\\levelnfc0\\levelnfcn0\\levelstartat1{\\leveltext\\leveltemplateid5\\'02\\'00.;}{\\levelnumbers\\'01;}}"
    "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'02\\'01);}{\\levelnumbers\\'01;}\\f1\\fs20}"
    "{\\listlevel\\levelnfc2\\levelstartat1{\\leveltext\\'06\\'00.\\'01.\\'02.;}{\\levelnumbers\\'01\\'03\\'05;}}"
    "{\\listname ;}\\listid10}"
    "{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\u-3913 ?;}{\\levelnumbers;}}\\listid20}"
    "{\\list{\\listlevel\\levelnfc1\\levelstartat4\\levelfollow1{\\leveltext\\'02\\'00:;}{\\levelnumbers\\'01;}}"
    "\\listid30}}"
    "{\\*\\listoverridetable{\\listoverride\\listid10\\listoverridecount0\\ls1}"
    "{\\listoverride\\listid20\\listoverridecount0\\ls2}{\\listoverride\\listid30\\listoverridecount0\\ls3}"
    "{\\listoverride\\listid10\\listoverridecount1{\\lfolevel\\listoverridestartat\\levelstartat7}\\ls4}}";

std::string ListDoc(const std::string& body) { return Doc(body, std::string("\\ansi\\deff0") + kListTable); }

// The list table numbers paragraphs that name a list (\ls) and level (\ilvl) and have no label.
TEST(ReadRtf, ListTableNumbers) {
  const TextCase cases[] = {
      {"numbers", ListDoc("\\pard\\ls1 a\\par b\\par c"), {"1.\ta", "2.\tb", "3.\tc"}},
      {"levels",
       ListDoc("\\pard\\ls1\\ilvl0 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1\\ilvl1 c\\par"
               "\\pard\\ls1\\ilvl2 d\\par\\pard\\ls1\\ilvl0 e\\par\\pard\\ls1\\ilvl1 f"),
       {"1.\ta", "a)\tb", "b)\tc", "1.b.i.\td", "2.\te", "a)\tf"}},
      {"the count goes on past other paragraphs", ListDoc("\\pard\\ls1 a\\par\\pard b\\par\\pard\\ls1 c"),
       {"1.\ta", "b", "2.\tc"}},
      {"bullets stay out", ListDoc("\\pard\\ls2 a\\par b"), {"a", "b"}},
      {"a start, roman numbers and a space after", ListDoc("\\pard\\ls3 a\\par b"), {"IV: a", "V: b"}},
      {"an override's own start", ListDoc("\\pard\\ls4 a\\par b"), {"7.\ta", "8.\tb"}},
      {"the writer's label wins and counts", ListDoc("{\\listtext 1.\\tab}\\pard\\ls1 a\\par b"),
       {"1.\ta", "2.\tb"}},
      {"an empty paragraph counts", ListDoc("\\pard\\ls1 a\\par\\par b"), {"1.\ta", "", "3.\tb"}},
      {"a list nobody defined", ListDoc("\\pard\\ls9 a"), {"a"}},
      {"a level the list lacks", ListDoc("\\pard\\ls3\\ilvl5 a"), {"a"}},
      {"the list table before old-style numbering",
       ListDoc("\\pard\\ls3{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}a"), {"IV: a"}},
      {"old-style numbering where the list table has no such list",
       ListDoc("\\pard\\ls9{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}a"), {"1.\ta"}},
      {"numbered cells, the tab between them no paragraph's",
       ListDoc("\\trowd\\pard\\intbl\\ls1 a\\cell\\pard\\intbl\\ls1 b\\cell\\row\\pard\\intbl\\ls1 c\\cell\\row"),
       {"1.\ta\t2.\tb", "3.\tc"}},
      {"an empty numbered cell counts without a number",
       ListDoc("\\trowd\\pard\\intbl\\ls1 \\cell\\pard\\intbl\\ls1 b\\cell\\row"), {"\t2.\tb"}},
      {"levels written without levelnumbers",
       Doc("x", "\\ansi{\\*\\listtable{\\list{\\listlevel\\levelnfc3{\\leveltext\\'03(\\'00);}}\\listid1}}"
                "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\ls1"),
       {"(A)\tx"}},
      {"only the places levelnumbers names are numbers",
       Doc("x", "\\ansi{\\*\\listtable{\\list{\\listlevel{\\leveltext\\'03\\'00.\\'01;}{\\levelnumbers\\'01;}}"
                "{\\listlevel{\\leveltext\\'01\\'01;}{\\levelnumbers\\'01;}}\\listid1}}"
                "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\ls1"),
       {"1.\tx"}},
      {"a list table in an ignored destination", Doc("\\ls1 x", "\\ansi{\\header" + std::string(kListTable) + "}"), {"x"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
  // The number takes the look of the text it stands before.
  const TRichDocument doc = ReadRtf(ListDoc("\\pard\\ls1{\\b a}b"));
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  ASSERT_EQ(doc.Paragraphs[0].Runs.size(), 2u);
  EXPECT_EQ(doc.Paragraphs[0].Runs[0], Bold(TextRun("1.\ta")));
  EXPECT_EQ(doc.Paragraphs[0].Runs[1], TextRun("b"));
}

// Numbers in every format a list level or old-style numbering shows.
TEST(ReadRtf, NumberFormats) {
  const struct {
    int nfc;
    int start;
    const char* first;
    const char* second;
  } cases[] = {
      {0, 9, "9", "10"},         {1, 3998, "MMMCMXCVIII", "MMMCMXCIX"}, {1, 3999, "MMMCMXCIX", "4000"},
      {2, 48, "xlviii", "xlix"}, {3, 26, "Z", "AA"},                       {4, 52, "zz", "aaa"},
      {4, 0, "0", "a"},          {5, 1, "1st", "2nd"},                     {5, 12, "12th", "13th"},
      {5, 22, "22nd", "23rd"},   {22, 9, "09", "10"},                      {0, -1, "-1", "0"},
      {6, 1, "1", "2"},          {7, 3, "3rd", "4th"},                     {47, 1, "1", "2"},
  };
  for (const auto& c : cases) {
    const std::string rtf =
        Doc("\\pard\\ls1 a\\par b", "\\ansi{\\*\\listtable{\\list{\\listlevel\\levelnfc" + std::to_string(c.nfc) +
                                         "\\levelstartat" + std::to_string(c.start) +
                                         "\\levelfollow2{\\leveltext\\'01\\'00;}{\\levelnumbers\\'01;}}\\listid1}}"
                                         "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}");
    EXPECT_EQ(Texts(ReadRtf(rtf)), (std::vector<std::string>{std::string(c.first) + "a", std::string(c.second) + "b"}))
        << "levelnfc" << c.nfc << " from " << c.start;
  }
}

// Results a field stores as a control word: the page number and a footnote's number.
TEST(ReadRtf, FieldResults) {
  const TextCase cases[] = {
      {"the page number is 1", Doc("page \\chpgn  of {\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 3}}"), {"page 1 of 3"}},
      {"footnotes numbered in order, the notes themselves left out",
       Doc("a\\chftn{\\footnote{\\up6\\chftn} one}b{\\super\\chftn{\\*\\footnote\\pard\\plain{\\chftn} two}}c"),
       {"a1b2c"}},
      {"in upper roman", Doc("a\\chftn{\\footnote\\chftn x}b\\chftn", "\\ansi\\deff0\\ftnnruc"), {"aIbII"}},
      {"in lower letters", Doc("x\\chftn , y\\chftn", "\\ansi\\deff0\\ftnnalc"), {"xa, yb"}},
      {"in ignored destinations", Doc("{\\header \\chpgn}{\\*\\unknown \\chftn}x\\chftn"), {"x1"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
}

struct RunCase {
  const char* name;
  std::string rtf;
  std::vector<TRichParagraph> paragraphs;
};

TEST(ReadRtf, RunsAndTheirFormat) {
  const RunCase cases[] = {
      {"styles", Doc("a{\\b b}{\\i i}{\\ul u\\ulnone n}{\\uldb d\\ul0 e}"),
       {Para({TextRun("a"), Bold(TextRun("b")), Italic(TextRun("i")), Under(TextRun("u")), TextRun("n"),
              Under(TextRun("d")), TextRun("e")})}},
      {"switches with a parameter", Doc("\\b1 a\\b0 b\\i1 c\\i0 d"),
       {Para({Bold(TextRun("a")), TextRun("b"), Italic(TextRun("c")), TextRun("d")})}},
      {"sizes and fonts", Doc("\\fs20 a\\f1 b{\\fs48 c}d"),
       {Para({Size(TextRun("a"), 20), Size(TextRun("b", "Times New Roman"), 20),
              Size(TextRun("c", "Times New Roman"), 48), Size(TextRun("d", "Times New Roman"), 20)})}},
      {"colours", Doc("{\\cf1 r}{\\cf2 g}{\\cf0 a}{\\cf99 o}"),
       {Para({Colour(TextRun("r"), 0xFF0000), Colour(TextRun("g"), 0x0080FF), TextRun("ao")})}},
      {"an explicit first colour", "{\\rtf1{\\colortbl\\red1\\green2\\blue3;}\\cf0 x}",
       {Para({Colour(TextRun("x", ""), 0x010203)})}},
      {"colour table without a final semicolon", "{\\rtf1{\\colortbl;\\red9\\green8\\blue7}\\cf1 x}",
       {Para({Colour(TextRun("x", ""), 0x090807)})}},
      {"the same look merges", Doc("a{\\b0 b}{\\f0 c}\\cf0 d"), {Para({TextRun("abcd")})}},
      {"plain resets", Doc("{\\f1\\b\\i\\ul\\cf1\\fs30\\rtlch x\\plain y}"),
       {Para({Size(Colour(Rtl(Under(Italic(Bold(TextRun("x", "Times New Roman"))))), 0xFF0000), 30),
              TextRun("y")})}},
      {"group restores", Doc("{\\b{\\i a}b}c"), {Para({Italic(Bold(TextRun("a"))), Bold(TextRun("b")), TextRun("c")})}},
      {"default font", Doc("x", "\\ansi\\deff1"), {Para({TextRun("x", "Times New Roman")})}},
      {"unknown font", Doc("\\f7 x"), {Para({TextRun("x", "")})}},
      {"font table without groups",
       "{\\rtf1{\\fonttbl\\f0\\froman Times;\\f1\\fswiss Arial;}\\f1 x}", {Para({TextRun("x", "Arial")})}},
      {"font name with alternate and panose",
       "{\\rtf1{\\fonttbl{\\f0{\\*\\panose 0202}Liberation Serif{\\*\\falt Times};}}x}",
       {Para({TextRun("x", "Liberation Serif")})}},
      {"font name in Unicode", "{\\rtf1{\\fonttbl{\\f0\\fcharset204 \\'d2\\u233?;}}x}",
       {Para({TextRun("x", "\u0422\u00E9")})}},
      {"font name in UTF-8", "{\\rtf1{\\fonttbl{\\f0\\fcharset134\\cpg65001 \\'e5\\'ae\\'8b\\'e4\\'bd\\'93;}}x}",
       {Para({TextRun("x", "\u5B8B\u4F53")})}},
      {"size out of range", Doc("\\fs0 a\\fs99999999 b\\fs-3 c"),
       {Para({TextRun("a"), Size(TextRun("b"), 3276), TextRun("c")})}},
      {"right-to-left paragraphs and runs",
       Doc("\\rtlpar{\\rtlch \\u1513?}{\\ltrch a}\\par\\pard b\\par\\rtlpar c\\ltrpar\\par"),
       {Para({Rtl(TextRun("\u05E9")), TextRun("a")}, true), Para({TextRun("b")}), Para({TextRun("c")})}},
      {"a line inherits the paragraph's direction", Doc("\\rtlpar a\\line b"),
       {Para({TextRun("a")}, true), Para({TextRun("b")}, true)}},
  };
  for (const auto& c : cases) {
    const TRichDocument doc = ReadRtf(c.rtf);
    ASSERT_EQ(doc.Paragraphs.size(), c.paragraphs.size()) << c.name;
    for (std::size_t i = 0; i < doc.Paragraphs.size(); ++i) {
      const TRichParagraph& got = doc.Paragraphs[i];
      const TRichParagraph& want = c.paragraphs[i];
      EXPECT_EQ(got.RightToLeft, want.RightToLeft) << c.name << " paragraph " << i;
      ASSERT_EQ(got.Runs.size(), want.Runs.size()) << c.name << " paragraph " << i << ": " << got.Text();
      for (std::size_t k = 0; k < got.Runs.size(); ++k) {
        const TRichRun& g = got.Runs[k];
        const TRichRun& w = want.Runs[k];
        EXPECT_EQ(g, w) << c.name << " paragraph " << i << " run " << k << ": got \"" << g.Text
                        << "\" face \"" << g.Face << "\" size " << g.HalfPoints << " b" << g.Bold
                        << " i" << g.Italic << " u" << g.Underline << " colour " << std::hex
                        << g.Color << " auto " << g.AutoColor << " rtl " << g.RightToLeft;
      }
    }
  }
}

TEST(LooksLikeRtf, Prefixes) {
  EXPECT_TRUE(LooksLikeRtf("{\\rtf1 x}"));
  EXPECT_TRUE(LooksLikeRtf(" \r\n\t{\\rtf"));
  EXPECT_FALSE(LooksLikeRtf(""));
  EXPECT_FALSE(LooksLikeRtf("{\\rt"));
  EXPECT_FALSE(LooksLikeRtf("hello {\\rtf1}"));
  EXPECT_TRUE(LooksLikeRtf("\xEF\xBB\xBF{\\rtf1}"));
  EXPECT_FALSE(LooksLikeRtf("\xEF\xBB{\\rtf1}"));
  EXPECT_FALSE(LooksLikeRtf("\xFF\xFE{\0\\\0r\0t\0f\0"));
  EXPECT_FALSE(LooksLikeRtf("{\\RTF1}"));
}

TEST(ReadRtf, RefusesWhatIsNotRtf) {
  EXPECT_THROW(ReadRtf("plain text"), ERtfError);
  EXPECT_THROW(ReadRtf(""), ERtfError);
}

// Damaged documents give what could be read.
TEST(ReadRtf, DamagedDocuments) {
  const TextCase cases[] = {
      {"unclosed groups", "{\\rtf1 a{\\b b{\\i c", {"abc"}},
      {"too many closing braces", "{\\rtf1 a}}}}}b", {"a"}},
      {"closing braces inside", "{\\rtf1 {a}}}b}", {"a"}},
      {"ends after a backslash", "{\\rtf1 a\\", {"a"}},
      {"ends inside hex", "{\\rtf1 a\\'e", {"ae"}},  // as any bad hex: the letter stays
      {"ends after \\u", "{\\rtf1 a\\u", {"a"}},
      {"ends after \\u and minus", "{\\rtf1 a\\u-", {"a"}},
      {"ends after \\bin", "{\\rtf1 a\\bin", {"a"}},
      {"ends inside the font table", "{\\rtf1{\\fonttbl{\\f0 Ari", {}},
      {"ends inside the colour table", "{\\rtf1{\\colortbl;\\red", {}},
      {"ends with a pending high surrogate", "{\\rtf1 a\\u-10179?", {"a\uFFFD"}},
      {"ends with a pending lead byte", "{\\rtf1\\ansicpg932 a\\'82", {"a\uFFFD"}},
      {"NUL bytes", std::string("{\\rtf1 a\0b}", 11), {"ab"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Texts(ReadRtf(c.rtf)), c.paragraphs) << c.name;
  }
}

// Mail clients wrap HTML in RTF thousands of groups deep: nesting is bounded by the input alone.
TEST(ReadRtf, DeepNesting) {
  const struct {
    const char* name;
    int depth;
    const char* open;  // what each level opens with
  } cases[] = {
      {"bare braces", 3000, "{"},
      {"a control word per level", 3000, "{\\b "},
      {"alternating states", 3000, "{\\i\\b0 {\\b\\i0 "},
      {"inside an ignored destination", 3000, "{\\*\\x "},
      {"a million", 1000000, "{"},
  };
  for (const auto& c : cases) {
    std::string rtf = "{\\rtf1 a";
    for (int i = 0; i < c.depth; ++i) rtf += c.open;
    rtf += "x";
    const std::size_t closes = std::count(rtf.begin(), rtf.end(), '{') - 1;
    rtf += std::string(closes, '}') + "b}";
    const std::string want = std::string(c.open).find("\\*") != std::string::npos ? "ab" : "axb";
    EXPECT_EQ(Texts(ReadRtf(rtf)), std::vector<std::string>{want}) << c.name;
  }
  // Unclosed at the end of the input: what was read.
  EXPECT_EQ(Texts(ReadRtf("{\\rtf1 a" + std::string(100000, '{') + "x")), std::vector<std::string>{"ax"});
  // The state comes back right at every level.
  std::string levels = "{\\rtf1 ";
  for (int i = 0; i < 1000; ++i) levels += i % 2 == 0 ? "{\\b " : "{\\b0 ";
  levels += std::string(999, '}') + "y}z}";
  const TRichDocument leveled = ReadRtf(levels);
  ASSERT_EQ(leveled.Paragraphs.size(), 1u);
  ASSERT_EQ(leveled.Paragraphs[0].Runs.size(), 2u);
  EXPECT_EQ(leveled.Paragraphs[0].Runs[0], Bold(TextRun("y", "")));
  EXPECT_EQ(leveled.Paragraphs[0].Runs[1], TextRun("z", ""));
  // Many groups one after another are no nesting.
  std::string flat = "{\\rtf1 ";
  for (int i = 0; i < 10000; ++i) flat += "{\\b x}";
  flat += "}";
  const TRichDocument doc = ReadRtf(flat);
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  ASSERT_EQ(doc.Paragraphs[0].Runs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[0].Runs[0].Text, std::string(10000, 'x'));
}

TEST(ReadRtf, ALongParagraph) {
  std::string text;
  for (int i = 0; i < (1 << 20); ++i) text += static_cast<char>('a' + i % 26);
  const TRichDocument doc = ReadRtf("{\\rtf1 " + text + "\\par}");
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  ASSERT_EQ(doc.Paragraphs[0].Runs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[0].Runs[0].Text, text);
}

TEST(ReadRtf, SizesAreLimited) {
  EXPECT_THROW(ReadRtf("{\\rtf1 " + std::string(kRtfMaxInputBytes, 'x') + "}"), ERtfError);
  // Exactly the most text; one character more.
  EXPECT_EQ(ReadRtf("{\\rtf1 " + std::string(kRtfMaxOutputChars, 'x') + "}").Paragraphs.size(), 1u);
  EXPECT_THROW(ReadRtf("{\\rtf1 " + std::string(kRtfMaxOutputChars + 1, 'x') + "}"), ERtfError);
  // Paragraphs and runs cost memory beyond their characters: both are bounded too.
  std::string paragraphs = "{\\rtf1 ";
  for (int i = 0; i < (1 << 20) + 1; ++i) paragraphs += "\\par ";
  EXPECT_THROW(ReadRtf(paragraphs + "}"), ERtfError);
  std::string runs = "{\\rtf1 ";
  for (int i = 0; i < (1 << 19) + 1; ++i) runs += "\\b a\\b0 a";
  EXPECT_THROW(ReadRtf(runs + "}"), ERtfError);
  // A long font name is cut, not copied into every run at full length.
  const TRichDocument doc =
      ReadRtf("{\\rtf1{\\fonttbl{\\f0 " + std::string(100000, 'F') + ";}}\\f0 x}");
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[0].Runs.at(0).Face, std::string(256, 'F'));
  // A colour table of a hundred thousand entries.
  EXPECT_EQ(Texts(ReadRtf("{\\rtf1{\\colortbl" + std::string(100000, ';') + "}\\cf70000 y}")),
            std::vector<std::string>{"y"});
}

// Random bytes after an RTF start: read or refused, never a crash, and text always UTF-8.
TEST(ReadRtf, BinaryGarbage) {
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  const char alphabet[] = "{}\\'*;uxbcfs0123456789- \r\n";
  for (int round = 0; round < 40; ++round) {
    std::string bytes = "{\\rtf1";
    const bool rtfish = round % 2 == 0;  // half of them drawn from RTF's own characters
    for (int i = 0; i < 50000; ++i) {
      bytes += rtfish ? alphabet[next() % (sizeof alphabet - 1)] : static_cast<char>(next());
    }
    try {
      const TRichDocument doc = ReadRtf(bytes);
      for (const TRichParagraph& p : doc.Paragraphs) {
        for (const TRichRun& r : p.Runs) {
          EXPECT_TRUE(ValidUtf8(r.Text)) << "round " << round;
          EXPECT_TRUE(ValidUtf8(r.Face)) << "round " << round;
          EXPECT_EQ(r.Text.find_first_of("\r\n"), std::string::npos) << "round " << round;
          EXPECT_FALSE(r.Text.empty()) << "round " << round;
        }
      }
    } catch (const ERtfError&) {
      // refused (too much text) is an answer too
    }
  }
}

}  // namespace

// The RTF reader: a single pass over the bytes with an explicit stack of group states, so that no
// input can exhaust the call stack, and with limits on everything the input can make grow.
#include "crawlinput/RtfReader.h"

#include "base/Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv {

namespace {

#include "crawlinput/RtfCodePages.inc"

constexpr int kMaxFonts = 4096;                       // font table entries kept
constexpr std::size_t kMaxColors = 65536;             // colour table entries kept
constexpr std::size_t kMaxFontName = 256;             // bytes of a font name kept
constexpr std::size_t kMaxPieces = std::size_t{1} << 20;  // paragraphs plus runs
constexpr long long kMaxNumber = 2000000000;          // control word parameters saturate here
constexpr std::size_t kMaxLists = 4096;               // lists and list overrides kept
constexpr std::size_t kMaxLevels = 9;                 // levels of a list
constexpr std::size_t kMaxLevelText = 256;            // characters of a level's text kept
constexpr std::size_t kMaxNumberings = 4096;          // distinct old-style paragraph numberings kept
constexpr std::size_t kMaxNumberText = 32;            // characters of the text around an old-style number
constexpr int kUtf8 = 65001;                          // a font's \cpg for UTF-8

const char16_t* SingleByteTable(int codePage) {
  for (const TCodePageTable& t : kCodePages) {
    if (t.CodePage == codePage) return t.High;
  }
  return nullptr;
}

// The converter's name of a code page the tables above do not hold: the double-byte Asian pages,
// the DOS pages and the Mac pages. The Mac pages glibc has no converter for are read as Mac Roman,
// which shares their ASCII half and their punctuation.
const char* ConverterName(int codePage) {
  switch (codePage) {
    case 437: return "CP437";
    case 850: return "CP850";
    case 852: return "CP852";
    case 860: return "CP860";
    case 861: return "CP861";
    case 862: return "CP862";
    case 863: return "CP863";
    case 865: return "CP865";
    case 866: return "CP866";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1361: return "CP1361";
    case 10001: return "CP932";   // Mac Japanese: Shift JIS
    case 10002: return "BIG5";    // Mac Traditional Chinese
    case 10003: return "EUC-KR";  // Mac Korean
    case 10007: return "MAC-CYRILLIC";
    case 10008: return "EUC-CN";  // Mac Simplified Chinese
    case 10017: return "MAC-UK";
    case 10029: return "MAC-CENTRALEUROPE";
    case 10079: return "MAC-IS";
    default: return codePage >= 10000 && codePage <= 10082 ? "MACINTOSH" : nullptr;
  }
}

bool IsDoubleByte(int codePage) {
  switch (codePage) {
    case 932: case 936: case 949: case 950: case 1361:
    case 10001: case 10002: case 10003: case 10008: return true;
    default: return false;
  }
}

bool IsLeadByte(int codePage, unsigned b) {
  switch (codePage) {
    case 932:
    case 10001: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 1361: return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9);
    case 10003:
    case 10008: return b >= 0xA1 && b <= 0xFE;
    default: return b >= 0x81 && b <= 0xFE;
  }
}

// Converters by code page, opened when first needed and closed with the reader.
class TConverters {
 public:
  TConverters() = default;
  TConverters(const TConverters&) = delete;
  TConverters& operator=(const TConverters&) = delete;
  ~TConverters() {
    for (auto& [cp, cd] : fOpen) {
      if (cd != kNone) iconv_close(cd);
    }
  }

  // The character Bytes (one or two) stand for, or U+FFFD.
  char32_t Decode(int codePage, const unsigned char* bytes, std::size_t n) {
    iconv_t cd = Get(codePage);
    if (cd == kNone) return 0xFFFD;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {static_cast<char>(bytes[0]), n > 1 ? static_cast<char>(bytes[1]) : '\0'};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = n, outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
        sizeof out - outLeft != 4) {
      return 0xFFFD;  // not a character of the page, or more than one
    }
    const char32_t c = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
    return c == 0 || c > 0x10FFFF ? 0xFFFD : c;
  }

  // The upper half of a single-byte page through its converter, made once per reader.
  const char32_t* High(int codePage) {
    auto it = fHigh.find(codePage);
    if (it == fHigh.end()) {
      std::array<char32_t, 128> table{};
      for (unsigned b = 0x80; b < 0x100; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        table[b - 0x80] = Decode(codePage, &byte, 1);
      }
      it = fHigh.emplace(codePage, table).first;
    }
    return it->second.data();
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

  iconv_t Get(int codePage) {
    const auto it = fOpen.find(codePage);
    if (it != fOpen.end()) return it->second;
    const char* name = ConverterName(codePage);
    const iconv_t cd = name != nullptr ? iconv_open("UTF-32LE", name) : kNone;
    fOpen.emplace(codePage, cd);
    return cd;
  }

  std::map<int, iconv_t> fOpen;
  std::map<int, std::array<char32_t, 128>> fHigh;
};

// The code page a font's \fcharsetN selects; 0 means the document's own (\ansicpg).
int CodePageOfCharset(long long charset) {
  switch (charset) {
    case 2: return 1252;    // symbol fonts: their bytes taken as Windows-1252
    case 77: return 10000;  // the Mac charsets
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;      // 0 (ANSI), 1 (default) and the rest: the document's code page
  }
}

bool IsSupportedCodePage(long long cp) {
  if (cp < 0 || cp > 65535) return false;
  return SingleByteTable(static_cast<int>(cp)) != nullptr || ConverterName(static_cast<int>(cp)) != nullptr;
}

// How a list level or an old-style paragraph number shows its number. Text numbers ("One",
// "First") and the East Asian numerals are shown in Arabic digits.
enum class ENumberFormat : std::uint8_t {
  Decimal, UpperRoman, LowerRoman, UpperLetter, LowerLetter, Ordinal, DecimalZero, Bullet, None
};

// A list level's \levelnfcN.
ENumberFormat FormatOfNfc(long long nfc) {
  switch (nfc) {
    case 1: return ENumberFormat::UpperRoman;
    case 2: return ENumberFormat::LowerRoman;
    case 3: return ENumberFormat::UpperLetter;
    case 4: return ENumberFormat::LowerLetter;
    case 5:
    case 7: return ENumberFormat::Ordinal;
    case 22: return ENumberFormat::DecimalZero;
    case 23: return ENumberFormat::Bullet;
    case 255: return ENumberFormat::None;
    default: return ENumberFormat::Decimal;
  }
}

bool ShowsNumber(ENumberFormat f) { return f != ENumberFormat::Bullet && f != ENumberFormat::None; }

std::string RomanNumber(long long n, bool upper) {
  static const struct {
    int Value;
    const char* Upper;
    const char* Lower;
  } kDigits[] = {{1000, "M", "m"}, {900, "CM", "cm"}, {500, "D", "d"}, {400, "CD", "cd"}, {100, "C", "c"},
                 {90, "XC", "xc"}, {50, "L", "l"},    {40, "XL", "xl"}, {10, "X", "x"},    {9, "IX", "ix"},
                 {5, "V", "v"},     {4, "IV", "iv"},  {1, "I", "i"}};
  std::string out;
  for (const auto& d : kDigits) {
    for (; n >= d.Value; n -= d.Value) out += upper ? d.Upper : d.Lower;
  }
  return out;
}

// A list number as its format shows it; numbers a format cannot show (zero or less in letters,
// 4000 in Roman) fall back to digits.
std::string FormatNumber(long long n, ENumberFormat format) {
  switch (format) {
    case ENumberFormat::UpperRoman:
    case ENumberFormat::LowerRoman:
      if (n >= 1 && n <= 3999) return RomanNumber(n, format == ENumberFormat::UpperRoman);
      break;
    case ENumberFormat::UpperLetter:
    case ENumberFormat::LowerLetter:
      if (n >= 1 && n <= 26 * 30) {  // a, ..., z, aa, bb, ...
        const char letter = static_cast<char>((format == ENumberFormat::UpperLetter ? 'A' : 'a') + (n - 1) % 26);
        return std::string(static_cast<std::size_t>((n - 1) / 26 + 1), letter);
      }
      break;
    case ENumberFormat::Ordinal:
      if (n >= 0) {
        const long long tens = n % 100, ones = n % 10;
        const char* suffix = tens >= 11 && tens <= 13 ? "th"
                             : ones == 1              ? "st"
                             : ones == 2              ? "nd"
                             : ones == 3              ? "rd"
                                                      : "th";
        return std::to_string(n) + suffix;
      }
      break;
    case ENumberFormat::DecimalZero:
      if (n >= 0 && n <= 9) return {'0', static_cast<char>('0' + n)};
      break;
    case ENumberFormat::Bullet:
    case ENumberFormat::None: return {};
    case ENumberFormat::Decimal: break;
  }
  return std::to_string(n);
}

enum class EWord {
  Unknown,
  // document and tables
  Ansi, Mac, Pc, Pca, AnsiCpg, Deff, FontTbl, ColorTbl, F, FCharset, Cpg, Red, Green, Blue,
  // character format
  Fs, B, I, Ul, UlNone, Cf, Plain, V, RtlCh, LtrCh,
  // paragraphs
  Pard, RtlPar, LtrPar, Par, Line, Page, Sect, Row, Cell, Tab,
  // characters
  EmDash, EnDash, Bullet, LQuote, RQuote, LDblQuote, RDblQuote, EmSpace, EnSpace, QmSpace,
  Zwj, Zwnj, LtrMark, RtlMark,
  // Unicode
  U, Uc, Upr, Ud,
  // binary data
  Bin,
  // nested tables: the inner table's row properties, and the fallback for readers without them
  NestTableProps,
  // shapes and old drawing objects, and the text of their text boxes
  Shape, ShapeText,
  // a list paragraph's label as the writer drew it
  ListText,
  // the list table: lists, their levels, and the overrides paragraphs name with \ls
  ListTable, List, ListId, ListLevel, LevelNfc, LevelStartAt, LevelFollow, LevelText, LevelNumbers,
  ListOverrideTable, ListOverride, LfoLevel,
  // a paragraph's list and level
  Ls, Ilvl,
  // old-style paragraph numbering: a paragraph's \pn, a section's levels, their words
  Pn, PnSecLvl, PnLvl, PnLvlBody, PnLvlBlt, PnLvlCont, PnFormat, PnStart, PnTxta, PnTxtb,
  // results the writer leaves to the reader: the page number, a footnote's number and its format
  Chpgn, Chftn, FtnFormat,
  // groups whose content is not text
  Skip,
};

// A control word and, for a family of words, the value it stands for (a number format).
struct TWordInfo {
  constexpr TWordInfo(EWord word, ENumberFormat format = ENumberFormat::Decimal) : Word(word), Format(format) {}
  EWord Word;
  ENumberFormat Format;
};

const std::unordered_map<std::string_view, TWordInfo>& Words() {
  static const std::unordered_map<std::string_view, TWordInfo> words = {
      {"ansi", EWord::Ansi}, {"mac", EWord::Mac}, {"pc", EWord::Pc}, {"pca", EWord::Pca},
      {"ansicpg", EWord::AnsiCpg}, {"deff", EWord::Deff},
      {"fonttbl", EWord::FontTbl}, {"colortbl", EWord::ColorTbl}, {"f", EWord::F},
      {"fcharset", EWord::FCharset}, {"cpg", EWord::Cpg}, {"red", EWord::Red},
      {"green", EWord::Green}, {"blue", EWord::Blue},
      {"fs", EWord::Fs}, {"b", EWord::B}, {"i", EWord::I}, {"ul", EWord::Ul},
      {"uld", EWord::Ul}, {"uldb", EWord::Ul}, {"ulw", EWord::Ul}, {"ulth", EWord::Ul},
      {"ulwave", EWord::Ul}, {"uldash", EWord::Ul}, {"uldashd", EWord::Ul},
      {"uldashdd", EWord::Ul}, {"ulhwave", EWord::Ul}, {"ulldash", EWord::Ul},
      {"ululdbwave", EWord::Ul}, {"ulthd", EWord::Ul}, {"ulthdash", EWord::Ul},
      {"ulthdashd", EWord::Ul}, {"ulthdashdd", EWord::Ul}, {"ulthldash", EWord::Ul},
      {"ulnone", EWord::UlNone}, {"cf", EWord::Cf}, {"plain", EWord::Plain}, {"v", EWord::V},
      {"rtlch", EWord::RtlCh}, {"ltrch", EWord::LtrCh},
      {"pard", EWord::Pard}, {"rtlpar", EWord::RtlPar}, {"ltrpar", EWord::LtrPar},
      {"par", EWord::Par}, {"line", EWord::Line}, {"page", EWord::Page}, {"sect", EWord::Sect},
      {"row", EWord::Row}, {"nestrow", EWord::Row}, {"cell", EWord::Cell},
      {"nestcell", EWord::Cell}, {"tab", EWord::Tab},
      {"emdash", EWord::EmDash}, {"endash", EWord::EnDash}, {"bullet", EWord::Bullet},
      {"lquote", EWord::LQuote}, {"rquote", EWord::RQuote}, {"ldblquote", EWord::LDblQuote},
      {"rdblquote", EWord::RDblQuote}, {"emspace", EWord::EmSpace},
      {"enspace", EWord::EnSpace}, {"qmspace", EWord::QmSpace}, {"zwj", EWord::Zwj},
      {"zwnj", EWord::Zwnj}, {"ltrmark", EWord::LtrMark}, {"rtlmark", EWord::RtlMark},
      {"u", EWord::U}, {"uc", EWord::Uc}, {"upr", EWord::Upr}, {"ud", EWord::Ud},
      {"bin", EWord::Bin}, {"nesttableprops", EWord::NestTableProps},
      {"nonesttables", EWord::Skip},
      {"listtable", EWord::ListTable}, {"list", EWord::List}, {"listid", EWord::ListId},
      {"listlevel", EWord::ListLevel}, {"levelnfc", EWord::LevelNfc}, {"levelnfcn", EWord::LevelNfc},
      {"levelstartat", EWord::LevelStartAt}, {"levelfollow", EWord::LevelFollow},
      {"leveltext", EWord::LevelText}, {"levelnumbers", EWord::LevelNumbers},
      {"listoverridetable", EWord::ListOverrideTable}, {"listoverride", EWord::ListOverride},
      {"lfolevel", EWord::LfoLevel}, {"ls", EWord::Ls}, {"ilvl", EWord::Ilvl},
      {"pn", EWord::Pn}, {"pnseclvl", EWord::PnSecLvl}, {"pnlvl", EWord::PnLvl},
      {"pnlvlbody", EWord::PnLvlBody}, {"pnlvlblt", EWord::PnLvlBlt}, {"pnlvlcont", EWord::PnLvlCont},
      {"pndec", EWord::PnFormat}, {"pnucrm", {EWord::PnFormat, ENumberFormat::UpperRoman}},
      {"pnlcrm", {EWord::PnFormat, ENumberFormat::LowerRoman}},
      {"pnucltr", {EWord::PnFormat, ENumberFormat::UpperLetter}},
      {"pnlcltr", {EWord::PnFormat, ENumberFormat::LowerLetter}},
      {"pnord", {EWord::PnFormat, ENumberFormat::Ordinal}}, {"pncard", EWord::PnFormat},
      {"pnordt", {EWord::PnFormat, ENumberFormat::Ordinal}}, {"pnstart", EWord::PnStart},
      {"pntxta", EWord::PnTxta}, {"pntxtb", EWord::PnTxtb},
      {"chpgn", EWord::Chpgn}, {"chftn", EWord::Chftn}, {"ftnnar", EWord::FtnFormat},
      {"ftnnalc", {EWord::FtnFormat, ENumberFormat::LowerLetter}},
      {"ftnnauc", {EWord::FtnFormat, ENumberFormat::UpperLetter}},
      {"ftnnrlc", {EWord::FtnFormat, ENumberFormat::LowerRoman}},
      {"ftnnruc", {EWord::FtnFormat, ENumberFormat::UpperRoman}},
      // Destinations and groups that hold no text of the document's body.
      {"info", EWord::Skip}, {"stylesheet", EWord::Skip}, {"pict", EWord::Skip},
      {"object", EWord::Skip}, {"objdata", EWord::Skip}, {"fldinst", EWord::Skip},
      {"header", EWord::Skip}, {"headerl", EWord::Skip}, {"headerr", EWord::Skip},
      {"headerf", EWord::Skip}, {"footer", EWord::Skip}, {"footerl", EWord::Skip},
      {"footerr", EWord::Skip}, {"footerf", EWord::Skip}, {"footnote", EWord::Skip},
      {"annotation", EWord::Skip}, {"atnid", EWord::Skip}, {"atnauthor", EWord::Skip},
      {"listtext", EWord::ListText}, {"pntext", EWord::ListText}, {"revtbl", EWord::Skip},
      {"rsidtbl", EWord::Skip}, {"filetbl", EWord::Skip}, {"bkmkstart", EWord::Skip},
      {"bkmkend", EWord::Skip}, {"shp", EWord::Shape}, {"shpinst", EWord::Shape},
      {"do", EWord::Shape}, {"shptxt", EWord::ShapeText}, {"dptxbx", EWord::ShapeText},
      // a shape's copy as an old drawing object or picture, for readers without shapes
      {"shprslt", EWord::Skip},
      {"shppict", EWord::Skip}, {"nonshppict", EWord::Skip}, {"themedata", EWord::Skip},
      {"colorschememapping", EWord::Skip}, {"latentstyles", EWord::Skip},
      {"datastore", EWord::Skip}, {"xmlnstbl", EWord::Skip}, {"generator", EWord::Skip},
      {"pgdsctbl", EWord::Skip}, {"docvar", EWord::Skip}, {"template", EWord::Skip},
      {"ftnsep", EWord::Skip}, {"ftnsepc", EWord::Skip}, {"aftnsep", EWord::Skip},
      {"aftnsepc", EWord::Skip}, {"xe", EWord::Skip}, {"tc", EWord::Skip},
      {"txe", EWord::Skip}, {"userprops", EWord::Skip}, {"mmathPr", EWord::Skip},
      {"author", EWord::Skip}, {"title", EWord::Skip}, {"subject", EWord::Skip},
      {"keywords", EWord::Skip}, {"comment", EWord::Skip}, {"operator", EWord::Skip},
      {"doccomm", EWord::Skip}, {"company", EWord::Skip}, {"creatim", EWord::Skip},
      {"revtim", EWord::Skip}, {"printim", EWord::Skip}, {"buptim", EWord::Skip},
  };
  return words;
}

// NestProps: the properties of a nested table's row. Some writers put the text of the row's last
// cells there: text up to a \nestcell is the cell's, other text is none.
// Shape: a shape or drawing object, no text but that of its text box (Box).
// Label: a list paragraph's label, kept when it numbers the paragraph, dropped when it is a bullet.
// ListTable, ListOverrides, LevelText, LevelNumbers: the list table and what it holds.
// Numbering, NumberBefore, NumberAfter: an old-style paragraph numbering (\pn, \pnseclvl) and the
// texts around its number.
enum class EDest : std::uint8_t {
  Text, Skip, FontTable, ColorTable, Upr, NestProps, Shape, Box, Label,
  ListTable, ListOverrides, LevelText, LevelNumbers, Numbering, NumberBefore, NumberAfter
};

bool IsText(EDest d) { return d == EDest::Text || d == EDest::Box; }
// Where the document's text goes, for the time being in the case of a nested row's properties.
bool IsBody(EDest d) { return IsText(d) || d == EDest::NestProps; }

// What a group saves and restores.
struct TState {
  EDest Dest = EDest::Text;
  int Font = -1;  // -1: the default font (\deffN)
  int HalfPoints = 24;
  int ColorIndex = 0;
  int UnicodeSkip = 1;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Hidden = false;
  bool RtlCh = false;
  bool RtlPar = false;
  // The paragraph's numbering: its list override (\lsN, -1: none) and level, and its old-style
  // numbering (an index of the parser's numberings, -1: none).
  int List = -1;
  int Level = 0;
  int Numbering = -1;
  bool operator==(const TState&) const = default;
};

struct TFont {
  std::string Name;
  int CodePage = 0;  // \fcharsetN's; 0: the document's
  int Cpg = 0;       // \cpgN's, which wins over \fcharsetN; 0: none
  bool Ansi = false;  // \fcharset0: a Latin font
  bool NameDone = false;
};

// A level of a list in the list table.
struct TListLevel {
  ENumberFormat Format = ENumberFormat::Decimal;
  long long Start = 1;
  int Follow = 0;            // after the number: 0 a tab, 1 a space, 2 nothing
  std::u32string Text;       // \leveltext: its length, then its characters; \'00..\'08 stand for levels
  std::string Numbers;       // \levelnumbers: where in Text the level numbers stand
  bool HasNumbers = false;
};

struct TList {
  long long Id = 0;
  std::vector<TListLevel> Levels;
};

// A list override (\lsN), which paragraphs name: its list, start numbers of its own, and the
// numbers its paragraphs have reached.
struct TListOverride {
  long long ListId = 0;
  int ListIndex = -1;  // found at the first paragraph; -1: not yet, -2: no such list
  std::array<long long, kMaxLevels> Start{};
  std::array<bool, kMaxLevels> HasStart{};
  std::array<long long, kMaxLevels> Count{};
  std::array<bool, kMaxLevels> Counting{};
};

// An old-style paragraph numbering (\pn), or a section's definition of an outline level (\pnseclvlN).
enum class EOldKind : std::uint8_t { None, Body, Bullet, Continue, Outline };
struct TOldNumbering {
  EOldKind Kind = EOldKind::None;
  int Outline = 0;  // \pnlvlN: 1..9
  int Section = 0;  // \pnseclvlN: 1..9; 0 for a paragraph's own
  ENumberFormat Format = ENumberFormat::Decimal;
  long long Start = 1;
  std::u32string Before, After;  // \pntxtb, \pntxta
  bool HasFormat = false, HasStart = false, HasBefore = false, HasAfter = false;
  bool operator==(const TOldNumbering&) const = default;
};

struct TColor {
  std::uint32_t Rgb = 0;
  bool Auto = true;
};

// The character format a run is keyed by, before names and colours are looked up.
struct TKey {
  int Font, HalfPoints, ColorIndex;
  bool Bold, Italic, Underline, RtlCh;
  bool operator==(const TKey&) const = default;
};

class TRtfParser {
 public:
  explicit TRtfParser(std::string_view bytes) : fIn(bytes) {}

  TRichDocument Read() {
    fPos = fIn.find('{');  // white space before the document's group is no text
    while (fPos < fIn.size() && !fDone) {
      const char c = fIn[fPos];
      switch (c) {
        case '{':
          ++fPos;
          OpenGroup();
          break;
        case '}':
          ++fPos;
          CloseGroup();
          break;
        case '\\':
          ++fPos;
          ReadControl();
          break;
        case '\r':
        case '\n':
          ++fPos;
          break;
        default:
          ++fPos;
          Literal(static_cast<unsigned char>(c));
          break;
      }
    }
    FlushPending();
    while (fBoxDepth > 0) LeaveBox();  // a file that ends inside a text box
    if (!fPara.Runs.empty()) EndParagraph();
    // Text boxes follow the body, in the order they stand in the file.
    for (TRichParagraph& p : fBoxParagraphs) fDoc.Paragraphs.push_back(std::move(p));
    return std::move(fDoc);
  }

 private:
  void OpenGroup() {
    FlushPending();
    fSkip = 0;
    fStarred = false;
    // Groups that open with the state of the group around them share its entry, so a run of
    // braces costs nothing and the stack grows at most with the control words between them.
    if (!fStack.empty() && fStack.back().State == fState) {
      ++fStack.back().Count;
    } else {
      fStack.push_back({fState, 1});
    }
    ++fDepth;
  }

  void CloseGroup() {
    FlushPending();
    fSkip = 0;
    fStarred = false;
    if (fDepth == 0) {  // a stray closing brace
      fDone = true;
      return;
    }
    const TState& outer = fStack.back().State;
    if (fState.Dest == EDest::FontTable && outer.Dest != EDest::FontTable) FinishFontName();
    if (fState.Dest == EDest::ColorTable && outer.Dest != EDest::ColorTable && fColorSet) {
      PushColor();
    }
    if (fState.Dest == EDest::Label && outer.Dest != EDest::Label) FinishLabel();
    if (fState.Dest == EDest::Box && outer.Dest != EDest::Box) LeaveBox();
    if (fState.Dest == EDest::NestProps && outer.Dest != EDest::NestProps) RollBack(fNestMark);
    const bool numbering = fState.Dest == EDest::Numbering && outer.Dest != EDest::Numbering;
    if (fDepth == 1) {  // the document's own group closes: its last paragraph ends
      fDone = true;
      if (!fPara.Runs.empty()) EndParagraph();
    }
    fState = outer;
    --fDepth;
    if (--fStack.back().Count == 0) fStack.pop_back();
    if (numbering) FinishNumbering();
  }

  // A number after a control word: optional minus, digits, saturating well inside int.
  bool ReadNumber(long long& value) {
    bool negative = false;
    std::size_t p = fPos;
    if (p < fIn.size() && fIn[p] == '-' && p + 1 < fIn.size() && IsDigit(fIn[p + 1])) {
      negative = true;
      ++p;
    }
    if (p >= fIn.size() || !IsDigit(fIn[p])) return false;
    long long v = 0;
    while (p < fIn.size() && IsDigit(fIn[p])) {
      if (v < kMaxNumber) v = v * 10 + (fIn[p] - '0');
      ++p;
    }
    v = std::min(v, kMaxNumber);
    value = negative ? -v : v;
    fPos = p;
    return true;
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void ReadControl() {
    if (fPos >= fIn.size()) return;
    const char c = fIn[fPos];
    if (!IsLetter(c)) {
      ++fPos;
      ControlSymbol(c);
      return;
    }
    const std::size_t start = fPos;
    while (fPos < fIn.size() && IsLetter(fIn[fPos])) ++fPos;
    const std::string_view word = fIn.substr(start, fPos - start);
    long long param = 0;
    const bool hasParam = ReadNumber(param);
    if (fPos < fIn.size() && fIn[fPos] == ' ') ++fPos;

    const auto found = word.size() <= 32 ? Words().find(word) : Words().end();
    const EWord w = found == Words().end() ? EWord::Unknown : found->second.Word;
    const ENumberFormat format = found == Words().end() ? ENumberFormat::Decimal : found->second.Format;

    if (w == EWord::Bin) {  // binary data is skipped whatever the state
      const long long n = hasParam ? std::max(param, 0LL) : 0;
      fPos += std::min(static_cast<std::size_t>(n), fIn.size() - fPos);
      if (fSkip > 0) --fSkip;
      return;
    }
    if (fSkip > 0) {  // a fallback after \uN
      --fSkip;
      return;
    }
    const bool starred = fStarred;
    fStarred = false;
    // \ucN may stand between the two halves of a surrogate pair.
    if (w != EWord::U && w != EWord::Uc) FlushPending();
    if (starred && !IsReadDestination(w)) {
      // \*\word: a destination this reader does not know or does not show.
      fState.Dest = EDest::Skip;
      return;
    }
    Word(w, hasParam, param, format);
  }

  // The destinations a writer may mark with \* that this reader reads.
  static bool IsReadDestination(EWord w) {
    switch (w) {
      case EWord::Ud: case EWord::FontTbl: case EWord::ColorTbl: case EWord::NestTableProps:
      case EWord::Shape: case EWord::ShapeText: case EWord::ListText: case EWord::ListTable:
      case EWord::ListOverrideTable: case EWord::Pn: case EWord::PnSecLvl: return true;
      default: return false;
    }
  }

  void ControlSymbol(char c) {
    if (c == '\'') {
      const int hi = fPos < fIn.size() ? HexValue(fIn[fPos]) : -1;
      const int lo = fPos + 1 < fIn.size() ? HexValue(fIn[fPos + 1]) : -1;
      if (hi < 0 || lo < 0) return;  // not a byte: the symbol is dropped
      fPos += 2;
      if (fSkip > 0) {
        --fSkip;
        return;
      }
      FlushHighSurrogate();
      Byte(static_cast<unsigned>(hi * 16 + lo));
      return;
    }
    if (fSkip > 0) {
      --fSkip;
      return;
    }
    if (c == '*') {
      fStarred = true;
      return;
    }
    FlushPending();
    switch (c) {
      case '{':
      case '}':
      case '\\':
        Char(static_cast<unsigned char>(c));
        break;
      case '~': Char(0x00A0); break;
      case '_': Char(0x2011); break;
      case '-': break;  // an optional hyphen: nothing wraps, so it never shows
      case '\r':
      case '\n': Break(); break;
      case '\t': Char('\t'); break;
      default: break;  // \: \| and unknown symbols
    }
  }

  void Word(EWord w, bool hasParam, long long param, ENumberFormat format) {
    const bool on = !hasParam || param != 0;
    const int value = static_cast<int>(param);
    switch (w) {
      case EWord::Unknown: break;
      case EWord::Ansi: fCodePage = 1252; break;
      case EWord::Mac: fCodePage = 10000; break;
      case EWord::Pc: fCodePage = 437; break;
      case EWord::Pca: fCodePage = 850; break;
      case EWord::AnsiCpg:
        fCodePage = IsSupportedCodePage(param) ? value : 1252;
        break;
      case EWord::Deff:
        if (hasParam) fDefaultFont = value;
        break;
      case EWord::FontTbl:
        fState.Dest = EDest::FontTable;
        fFontDef = nullptr;
        break;
      case EWord::ColorTbl:
        fState.Dest = EDest::ColorTable;
        fColorSet = false;
        fRed = fGreen = fBlue = 0;
        break;
      case EWord::F:
        if (fState.Dest == EDest::FontTable) {
          FinishFontName();
          fFontDef = nullptr;
          if (hasParam && (fFonts.size() < static_cast<std::size_t>(kMaxFonts) || fFonts.count(value) != 0)) {
            fFontDef = &fFonts[value];
            *fFontDef = TFont{};
          }
        } else if (hasParam) {
          fState.Font = value;
        }
        break;
      case EWord::FCharset:
        if (fState.Dest == EDest::FontTable && fFontDef != nullptr) {
          fFontDef->CodePage = CodePageOfCharset(param);
          fFontDef->Ansi = param == 0;
        }
        break;
      case EWord::Cpg:
        if (fState.Dest == EDest::FontTable && fFontDef != nullptr &&
            (IsSupportedCodePage(param) || param == kUtf8)) {
          fFontDef->Cpg = value;
        }
        break;
      case EWord::Red:
      case EWord::Green:
      case EWord::Blue:
        if (fState.Dest == EDest::ColorTable) {
          const int v = static_cast<int>(std::clamp(param, 0LL, 255LL));
          (w == EWord::Red ? fRed : w == EWord::Green ? fGreen : fBlue) = v;
          fColorSet = true;
        }
        break;
      case EWord::Fs:
        fState.HalfPoints = hasParam && param > 0 ? static_cast<int>(std::min(param, 3276LL)) : 24;
        break;
      case EWord::B: fState.Bold = on; break;
      case EWord::I: fState.Italic = on; break;
      case EWord::Ul: fState.Underline = on; break;
      case EWord::UlNone: fState.Underline = false; break;
      case EWord::Cf: fState.ColorIndex = hasParam ? static_cast<int>(std::max(param, 0LL)) : 0; break;
      case EWord::V: fState.Hidden = on; break;
      case EWord::Plain:
        fState.Font = -1;
        fState.HalfPoints = 24;
        fState.ColorIndex = 0;
        fState.Bold = fState.Italic = fState.Underline = fState.Hidden = fState.RtlCh = false;
        break;
      case EWord::RtlCh: fState.RtlCh = true; break;
      case EWord::LtrCh: fState.RtlCh = false; break;
      case EWord::Pard:
        fState.RtlPar = false;
        fState.List = -1;
        fState.Level = 0;
        fState.Numbering = -1;
        break;
      case EWord::RtlPar: fState.RtlPar = true; break;
      case EWord::LtrPar: fState.RtlPar = false; break;
      case EWord::Row:
        if (!IsBody(fState.Dest)) break;
        // Text of a nested row's properties that no \nestcell claimed is none.
        if (fState.Dest == EDest::NestProps) RollBack(fNestMark);
        // A row is a line of its cells' texts between tabs, with no tab after the last.
        if (fCellTab && !fPara.Runs.empty() && !fPara.Runs.back().Text.empty() &&
            fPara.Runs.back().Text.back() == '\t') {
          fPara.Runs.back().Text.pop_back();
          --fChars;
          if (fPara.Runs.back().Text.empty()) {
            fPara.Runs.pop_back();
            fKeyValid = false;
          }
        }
        if (!fState.Hidden) ParagraphDone(false);  // a row's paragraphs ended with its cells
        Break();
        if (fState.Dest == EDest::NestProps) fNestMark = Mark();
        break;
      case EWord::Par:
        if (IsBody(fState.Dest) && !fState.Hidden) ParagraphDone(true);
        Break();
        break;
      case EWord::Sect:
        if (IsBody(fState.Dest) && !fState.Hidden) ParagraphDone(false);
        Break();
        break;
      case EWord::Line:
      case EWord::Page: Break(); break;
      case EWord::Cell:
        fCellTab = Char('\t', false);
        if (fCellTab) ParagraphDone(true);  // each cell is a paragraph of its own
        if (fState.Dest == EDest::NestProps) fNestMark = Mark();  // the cell's text is the row's
        break;
      case EWord::Tab: Char('\t'); break;
      case EWord::EmDash: Char(0x2014); break;
      case EWord::EnDash: Char(0x2013); break;
      case EWord::Bullet: Char(0x2022); break;
      case EWord::LQuote: Char(0x2018); break;
      case EWord::RQuote: Char(0x2019); break;
      case EWord::LDblQuote: Char(0x201C); break;
      case EWord::RDblQuote: Char(0x201D); break;
      case EWord::EmSpace: Char(0x2003); break;
      case EWord::EnSpace: Char(0x2002); break;
      case EWord::QmSpace: Char(0x2005); break;
      case EWord::Zwj: Char(0x200D); break;
      case EWord::Zwnj: Char(0x200C); break;
      case EWord::LtrMark: Char(0x200E); break;
      case EWord::RtlMark: Char(0x200F); break;
      case EWord::U: Unicode(param); break;
      case EWord::Uc:
        if (hasParam) fState.UnicodeSkip = static_cast<int>(std::clamp(param, 0LL, 16LL));
        break;
      case EWord::Upr:
        if (IsText(fState.Dest)) fState.Dest = EDest::Upr;
        break;
      case EWord::Ud:
        // The Unicode half of \upr; elsewhere an unknown destination.
        if (!fStack.empty() && fStack.back().State.Dest == EDest::Upr) {
          fState.Dest = EDest::Text;
        } else {
          fState.Dest = EDest::Skip;
        }
        break;
      case EWord::Skip: fState.Dest = EDest::Skip; break;
      case EWord::NestTableProps:
        if (IsText(fState.Dest)) {
          fState.Dest = EDest::NestProps;
          fNestMark = Mark();
        } else if (fState.Dest != EDest::NestProps) {
          fState.Dest = EDest::Skip;
        }
        break;
      case EWord::ListText:
        if (IsBody(fState.Dest)) {
          fParaLabelled = true;
          fState.Dest = EDest::Label;
          fLabel.clear();
          fLabelRuns = fPara.Runs.size();
          fLabelLastSize = fPara.Runs.empty() ? 0 : fPara.Runs.back().Text.size();
        } else {
          fState.Dest = EDest::Skip;
        }
        break;
      case EWord::Shape:
        if (IsBody(fState.Dest)) fState.Dest = EDest::Shape;
        break;
      case EWord::ShapeText:
        if (fState.Dest == EDest::Shape || fState.Dest == EDest::Text) {
          EnterBox();
          fState.Dest = EDest::Box;
        }
        break;
      case EWord::Bin: break;
      case EWord::ListTable:
      case EWord::ListOverrideTable:
        fState.Dest = fState.Dest != EDest::Text ? EDest::Skip
                      : w == EWord::ListTable    ? EDest::ListTable
                                                 : EDest::ListOverrides;
        fListDef = nullptr;
        fLevelDef = nullptr;
        fOverrideDef = nullptr;
        break;
      case EWord::List:
        if (fState.Dest != EDest::ListTable) break;
        fListDef = nullptr;
        fLevelDef = nullptr;
        if (fLists.size() < kMaxLists) fListDef = &fLists.emplace_back();
        break;
      case EWord::ListId:
        if (fState.Dest == EDest::ListTable && fListDef != nullptr) fListDef->Id = param;
        if (fState.Dest == EDest::ListOverrides && fOverrideDef != nullptr) fOverrideDef->ListId = param;
        break;
      case EWord::ListLevel:
        if (fState.Dest != EDest::ListTable) break;
        fLevelDef = nullptr;
        if (fListDef != nullptr && fListDef->Levels.size() < kMaxLevels) fLevelDef = &fListDef->Levels.emplace_back();
        break;
      case EWord::LevelNfc:
        if (fState.Dest == EDest::ListTable && fLevelDef != nullptr) fLevelDef->Format = FormatOfNfc(param);
        break;
      case EWord::LevelFollow:
        if (fState.Dest == EDest::ListTable && fLevelDef != nullptr) fLevelDef->Follow = value;
        break;
      case EWord::LevelStartAt:
        if (fState.Dest == EDest::ListTable && fLevelDef != nullptr) fLevelDef->Start = param;
        if (fState.Dest == EDest::ListOverrides && fOverrideDef != nullptr && fOverrideLevel >= 0 &&
            fOverrideLevel < static_cast<int>(kMaxLevels)) {
          fOverrideDef->Start[static_cast<std::size_t>(fOverrideLevel)] = param;
          fOverrideDef->HasStart[static_cast<std::size_t>(fOverrideLevel)] = true;
        }
        break;
      case EWord::LevelText:
      case EWord::LevelNumbers:
        if (fState.Dest != EDest::ListTable || fLevelDef == nullptr) {
          fState.Dest = EDest::Skip;
        } else if (w == EWord::LevelText) {
          fState.Dest = EDest::LevelText;
          fLevelDef->Text.clear();
        } else {
          fState.Dest = EDest::LevelNumbers;
          fLevelDef->Numbers.clear();
          fLevelDef->HasNumbers = true;
        }
        break;
      case EWord::ListOverride:
        if (fState.Dest != EDest::ListOverrides) break;
        fOverride = TListOverride{};
        fOverrideDef = &fOverride;
        fOverrideLevel = -1;
        break;
      case EWord::LfoLevel:
        if (fState.Dest == EDest::ListOverrides) ++fOverrideLevel;
        break;
      case EWord::Ls:
        if (fState.Dest == EDest::ListOverrides) {
          // \lsN ends an override: paragraphs name it by N.
          if (fOverrideDef != nullptr && (fOverrides.size() < kMaxLists || fOverrides.count(value) != 0)) {
            fOverrides[value] = *fOverrideDef;
          }
          fOverrideDef = nullptr;
        } else {
          fState.List = value;
        }
        break;
      case EWord::Ilvl: fState.Level = value; break;
      case EWord::Pn:
      case EWord::PnSecLvl:
        if (!IsBody(fState.Dest) || (w == EWord::PnSecLvl && (param < 1 || param > 9))) {
          fState.Dest = EDest::Skip;
          break;
        }
        fState.Dest = EDest::Numbering;
        fNumberingDef = TOldNumbering{};
        if (w == EWord::PnSecLvl) {
          fNumberingDef.Section = value;
          fNumberingDef.Kind = EOldKind::Outline;
          fNumberingDef.Outline = value;
        }
        break;
      case EWord::PnLvl:
        if (fState.Dest == EDest::Numbering && param >= 1 && param <= 9) {
          fNumberingDef.Kind = EOldKind::Outline;
          fNumberingDef.Outline = value;
        }
        break;
      case EWord::PnLvlBody:
      case EWord::PnLvlBlt:
      case EWord::PnLvlCont:
        if (fState.Dest == EDest::Numbering) {
          fNumberingDef.Kind = w == EWord::PnLvlBody ? EOldKind::Body
                               : w == EWord::PnLvlBlt ? EOldKind::Bullet
                                                      : EOldKind::Continue;
        }
        break;
      case EWord::PnFormat:
        if (fState.Dest == EDest::Numbering) {
          fNumberingDef.Format = format;
          fNumberingDef.HasFormat = true;
        }
        break;
      case EWord::PnStart:
        if (fState.Dest == EDest::Numbering && hasParam) {
          fNumberingDef.Start = param;
          fNumberingDef.HasStart = true;
        }
        break;
      case EWord::PnTxta:
      case EWord::PnTxtb:
        if (fState.Dest != EDest::Numbering) {
          fState.Dest = EDest::Skip;
        } else if (w == EWord::PnTxta) {
          fState.Dest = EDest::NumberAfter;
          fNumberingDef.After.clear();
          fNumberingDef.HasAfter = true;
        } else {
          fState.Dest = EDest::NumberBefore;
          fNumberingDef.Before.clear();
          fNumberingDef.HasBefore = true;
        }
        break;
      case EWord::Chpgn:
        if (IsBody(fState.Dest)) Char('1');  // a crawl is one page
        break;
      case EWord::Chftn:
        // The reference in the text; the footnote itself, which repeats it, is not read.
        if (IsBody(fState.Dest)) {
          fFootnotes = std::min(fFootnotes + 1, kMaxNumber);
          for (const char ch : FormatNumber(fFootnotes, fFootnoteFormat)) Char(static_cast<unsigned char>(ch));
        }
        break;
      case EWord::FtnFormat: fFootnoteFormat = format; break;
    }
  }

  void Unicode(long long n) {
    FlushLeadByte();
    fSkip = fState.UnicodeSkip;
    if (n < 0) n += 65536;
    if (n < 0 || n > 0xFFFF) {
      FlushHighSurrogate();
      Char(0xFFFD);
      return;
    }
    const auto unit = static_cast<char32_t>(n);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushHighSurrogate();
      fHighSurrogate = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (fHighSurrogate != 0) {
        const char32_t c = 0x10000 + ((fHighSurrogate - 0xD800) << 10) + (unit - 0xDC00);
        fHighSurrogate = 0;
        Char(c);
      } else {
        Char(0xFFFD);
      }
    } else {
      FlushHighSurrogate();
      Char(unit);
    }
  }

  // A byte in the text, from \'hh or as itself.
  void Byte(unsigned b) {
    const int cp = CodePage();
    if (fLeadByte >= 0) {  // the second byte of a double-byte character
      const unsigned char pair[2] = {static_cast<unsigned char>(fLeadByte), static_cast<unsigned char>(b)};
      fLeadByte = -1;
      Char(fConverters.Decode(cp, pair, 2));
      return;
    }
    if (cp == kUtf8) {
      Utf8Byte(b);
      return;
    }
    if (IsDoubleByte(cp)) {
      if (b >= 0x80 && IsLeadByte(cp, b)) {
        fLeadByte = static_cast<int>(b);
      } else if (b < 0x80) {
        Char(b);
      } else if (cp == 932 && b >= 0xA1 && b <= 0xDF) {
        Char(0xFF61 + (b - 0xA1));  // half-width katakana
      } else {
        const unsigned char single = static_cast<unsigned char>(b);
        Char(fConverters.Decode(cp, &single, 1));  // the page's single bytes (936's euro sign)
      }
      return;
    }
    if (b < 0x80) {
      Char(b);
      return;
    }
    if (const char16_t* table = SingleByteTable(cp)) {
      Char(table[b - 0x80]);
    } else if (ConverterName(cp) != nullptr) {
      Char(fConverters.High(cp)[b - 0x80]);
    } else {
      Char(kCodePage1252[b - 0x80]);
    }
  }

  // A byte of UTF-8: a character's bytes are joined across the \'hh escapes that hold them; a
  // sequence that breaks off, and a byte that starts none, is one U+FFFD.
  void Utf8Byte(unsigned b) {
    if (fUtf8Need > 0) {
      const bool second = fUtf8Have == 1;
      const bool fits = b >= 0x80 && b <= 0xBF &&
                        !(second && ((fUtf8Lead == 0xE0 && b < 0xA0) || (fUtf8Lead == 0xED && b > 0x9F) ||
                                     (fUtf8Lead == 0xF0 && b < 0x90) || (fUtf8Lead == 0xF4 && b > 0x8F)));
      if (fits) {
        fUtf8Code = fUtf8Code << 6 | (b & 0x3F);
        ++fUtf8Have;
        if (--fUtf8Need == 0) Char(fUtf8Code);
        return;
      }
      fUtf8Need = 0;
      Char(0xFFFD);
    }
    const auto start = [&](int need, unsigned bits) {
      fUtf8Lead = b;
      fUtf8Have = 1;
      fUtf8Need = need;
      fUtf8Code = b & bits;
    };
    if (b < 0x80) {
      Char(b);
    } else if (b >= 0xC2 && b <= 0xDF) {
      start(1, 0x1F);
    } else if (b >= 0xE0 && b <= 0xEF) {
      start(2, 0x0F);
    } else if (b >= 0xF0 && b <= 0xF4) {
      start(3, 0x07);
    } else {
      Char(0xFFFD);
    }
  }

  void Literal(unsigned char b) {
    if (fSkip > 0) {
      --fSkip;
      return;
    }
    fStarred = false;
    if (fState.Dest == EDest::ColorTable) {
      if (b == ';') PushColor();
      return;
    }
    if (fState.Dest == EDest::FontTable && b == ';') {
      FlushPending();
      FinishFontName();
      return;
    }
    if (fLeadByte >= 0 || b >= 0x80) {
      FlushHighSurrogate();
      Byte(b);
      return;
    }
    FlushPending();
    Char(b);
  }

  void FlushLeadByte() {
    if (fLeadByte >= 0) {
      fLeadByte = -1;
      Char(0xFFFD);
    }
    if (fUtf8Need > 0) {
      fUtf8Need = 0;
      Char(0xFFFD);
    }
  }
  void FlushHighSurrogate() {
    if (fHighSurrogate != 0) {
      fHighSurrogate = 0;
      Char(0xFFFD);
    }
  }
  void FlushPending() {
    FlushLeadByte();
    FlushHighSurrogate();
  }

  int CodePage() const {
    const TFont* font = fState.Dest == EDest::FontTable ? fFontDef : FindFont(fState.Font);
    if (font != nullptr && font->Cpg != 0) return font->Cpg;
    if (font != nullptr && font->CodePage != 0) return font->CodePage;
    // A Latin font in a double-byte document: its bytes are Windows-1252 (a copyright sign, curly
    // quotes), not halves of Asian characters.
    if (font != nullptr && font->Ansi && IsDoubleByte(fCodePage)) return 1252;
    return fCodePage;
  }

  const TFont* FindFont(int index) const {
    if (index < 0) index = fDefaultFont >= 0 ? fDefaultFont : 0;
    const auto it = fFonts.find(index);
    return it == fFonts.end() ? nullptr : &it->second;
  }

  void FinishFontName() {
    if (fFontDef == nullptr || fFontDef->NameDone) return;
    std::string& name = fFontDef->Name;
    const auto first = name.find_first_not_of(' ');
    name.erase(0, first == std::string::npos ? name.size() : first);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    fFontDef->NameDone = true;
  }

  void PushColor() {
    if (fColors.size() < kMaxColors) {
      TColor color;
      color.Auto = !fColorSet;
      color.Rgb = fColorSet ? (std::uint32_t(fRed) << 16 | std::uint32_t(fGreen) << 8 | std::uint32_t(fBlue)) : 0;
      fColors.push_back(color);
    }
    fColorSet = false;
    fRed = fGreen = fBlue = 0;
  }

  // A character for the current destination; true when it went into the text. The first of a
  // paragraph's characters (but the tab that ends a cell) brings the paragraph's number first.
  bool Char(char32_t c, bool starts = true) {
    fCellTab = false;
    switch (fState.Dest) {
      case EDest::Text:
      case EDest::Box:
      case EDest::NestProps: break;
      case EDest::Label:
        if (fLabel.empty() && (c == ' ' || c == '\t')) return false;  // writers indent the label
        if (fState.Hidden || c < 0x20 || c == 0x7F) break;
        AppendUtf8(fLabel, c);
        break;
      case EDest::FontTable:
        if (fFontDef != nullptr && !fFontDef->NameDone && c >= 0x20) {
          std::string piece;
          AppendUtf8(piece, c);
          if (fFontDef->Name.size() + piece.size() <= kMaxFontName) fFontDef->Name += piece;
        }
        return false;
      case EDest::LevelText:  // the level numbers' places are characters below U+0009
        if (fLevelDef != nullptr && fLevelDef->Text.size() < kMaxLevelText) fLevelDef->Text += c;
        return false;
      case EDest::LevelNumbers:
        if (fLevelDef != nullptr && fLevelDef->Numbers.size() < kMaxLevelText && c < 0x100) {
          fLevelDef->Numbers += static_cast<char>(c);
        }
        return false;
      case EDest::NumberBefore:
      case EDest::NumberAfter:
        if (c >= 0x20 && c != 0x7F) {
          std::u32string& text = fState.Dest == EDest::NumberBefore ? fNumberingDef.Before : fNumberingDef.After;
          if (text.size() < kMaxNumberText) text += c;
        }
        return false;
      default: return false;
    }
    if (fState.Hidden) return false;
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    if (starts && !fParaCounted && !fParaLabelled && fState.Dest != EDest::Label) {
      for (const char32_t ch : NumberParagraph()) Char(ch);
    }
    if (++fChars > kRtfMaxOutputChars) {
      throw ERtfError{"more than " + std::to_string(kRtfMaxOutputChars) + " characters of text"};
    }
    const TKey key{fState.Font, fState.HalfPoints, fState.ColorIndex, fState.Bold,
                   fState.Italic, fState.Underline, fState.RtlCh};
    if (!fPara.Runs.empty() && fKeyValid && key == fKey) {
      AppendUtf8(fPara.Runs.back().Text, c);
      return true;
    }
    TRichRun run;
    const TFont* font = FindFont(key.Font);
    if (font != nullptr) run.Face = font->Name;
    run.HalfPoints = key.HalfPoints;
    run.Bold = key.Bold;
    run.Italic = key.Italic;
    run.Underline = key.Underline;
    run.RightToLeft = key.RtlCh;
    if (key.ColorIndex >= 0 && static_cast<std::size_t>(key.ColorIndex) < fColors.size() &&
        !fColors[static_cast<std::size_t>(key.ColorIndex)].Auto) {
      run.AutoColor = false;
      run.Color = fColors[static_cast<std::size_t>(key.ColorIndex)].Rgb;
    }
    fKey = key;
    fKeyValid = true;
    if (!fPara.Runs.empty() && SameLook(fPara.Runs.back(), run)) {  // another key, the same look
      AppendUtf8(fPara.Runs.back().Text, c);
      return true;
    }
    CountPiece();
    AppendUtf8(run.Text, c);
    fPara.Runs.push_back(std::move(run));
    return true;
  }

  static bool SameLook(const TRichRun& a, const TRichRun& b) {
    return a.Face == b.Face && a.HalfPoints == b.HalfPoints && a.Bold == b.Bold &&
           a.Italic == b.Italic && a.Underline == b.Underline && a.Color == b.Color &&
           a.AutoColor == b.AutoColor && a.RightToLeft == b.RightToLeft;
  }

  // The end of a paragraph or line.
  void Break() {
    if (!IsBody(fState.Dest) || fState.Hidden) return;
    EndParagraph();
  }

  void EndParagraph() {
    CountPiece();
    fPara.RightToLeft = fState.RtlPar;
    Finished().push_back(std::move(fPara));
    fPara = TRichParagraph{};
    fKeyValid = false;
  }

  // Where finished paragraphs go: the body's, or those of the text boxes.
  std::vector<TRichParagraph>& Finished() { return fBoxDepth > 0 ? fBoxParagraphs : fDoc.Paragraphs; }

  // Where the text stands, to go back to.
  struct TMark {
    std::size_t Paragraphs = 0, Runs = 0, LastSize = 0;
    bool CellTab = false;
    bool InBox = false;  // taken among the text boxes' paragraphs
  };
  TMark Mark() {
    return {Finished().size(), fPara.Runs.size(), fPara.Runs.empty() ? 0 : fPara.Runs.back().Text.size(), fCellTab,
            fBoxDepth > 0};
  }
  void RollBack(const TMark& mark) {
    // A mark of the body means nothing inside a text box, and the other way round.
    if (mark.InBox != (fBoxDepth > 0)) return;
    std::vector<TRichParagraph>& finished = Finished();
    if (finished.size() > mark.Paragraphs) {
      fPara = std::move(finished[mark.Paragraphs]);
      finished.resize(mark.Paragraphs);
    }
    CutRuns(mark.Runs, mark.LastSize);
    fCellTab = mark.CellTab;
  }
  // The open paragraph back to Runs runs, the last of them LastSize bytes long.
  void CutRuns(std::size_t runs, std::size_t lastSize) {
    if (fPara.Runs.size() < runs) return;
    fPara.Runs.erase(fPara.Runs.begin() + static_cast<std::ptrdiff_t>(runs), fPara.Runs.end());
    if (!fPara.Runs.empty() && fPara.Runs.back().Text.size() > lastSize) {
      std::string& text = fPara.Runs.back().Text;
      // Never inside a character: back to the start of the one the cut would split.
      while (lastSize > 0 && (static_cast<unsigned char>(text[lastSize]) & 0xC0) == 0x80) --lastSize;
      text.resize(lastSize);
    }
    fKeyValid = false;
  }

  // Numbers and letters with their punctuation ("1.", "a)", "IV.") number a paragraph; anything
  // else (a bullet, a dash, a symbol font's private character, a lone "o") is a bullet.
  static bool IsNumberLabel(const std::string& label) {
    bool letter = false, punctuation = false;
    for (const char ch : label) {
      if (ch >= '0' && ch <= '9') return true;
      if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) letter = true;
      if (ch == '.' || ch == ')' || ch == '(' || ch == ']' || ch == ':') punctuation = true;
    }
    return letter && punctuation;
  }

  void FinishLabel() {
    if (!IsNumberLabel(fLabel)) CutRuns(fLabelRuns, fLabelLastSize);
  }

  // The end of a paragraph: one the writer numbered with a label of its own still counts in its
  // list, and so does one without text where countEmpty (\par, \cell; not \row, whose cells
  // ended their paragraphs, nor \sect, which writers put after a \par).
  void ParagraphDone(bool countEmpty) {
    if (!fParaCounted && (countEmpty || fParaLabelled)) NumberParagraph();
    fParaCounted = fParaLabelled = false;
  }

  // Counts the paragraph in its list and gives its label ("1.\t", "a)\t"); empty for a paragraph
  // that is not numbered, or whose list draws bullets. A list of the list table (\ls) comes before
  // the old-style numbering (\pn) that writers add for older readers.
  std::u32string NumberParagraph() {
    fParaCounted = true;
    std::u32string label;
    bool continues = false;  // whether the next old-style numbered paragraph goes on counting
    if (!ListLabel(label) && fState.Numbering >= 0) {
      const TOldNumbering& own = fNumberings[static_cast<std::size_t>(fState.Numbering)];
      TOldNumbering n = own;
      if (own.Kind == EOldKind::Outline) {  // the section's level, with what the paragraph changes
        n = fSections[static_cast<std::size_t>(own.Outline - 1)];
        if (own.HasFormat) n.Format = own.Format;
        if (own.HasStart) n.Start = own.Start;
        if (own.HasBefore) n.Before = own.Before;
        if (own.HasAfter) n.After = own.After;
      }
      long long number = 0;
      switch (own.Kind) {
        case EOldKind::Body:
          // Another numbering (a new format, start or text) starts a list of its own.
          fBodyNumber = fBodyCounting && own == fBodyNumbering ? fBodyNumber + 1 : n.Start;
          fBodyNumbering = own;
          number = fBodyNumber;
          continues = true;
          break;
        case EOldKind::Outline: {
          const auto level = static_cast<std::size_t>(own.Outline - 1);
          fOutlineNumber[level] = fOutlineCounting[level] ? fOutlineNumber[level] + 1 : n.Start;
          fOutlineCounting[level] = true;
          for (std::size_t k = level + 1; k < fOutlineCounting.size(); ++k) fOutlineCounting[k] = false;
          number = fOutlineNumber[level];
          break;
        }
        case EOldKind::Continue: continues = fBodyCounting; break;
        case EOldKind::Bullet:
        case EOldKind::None: break;
      }
      if (own.Kind == EOldKind::Body || own.Kind == EOldKind::Outline) {
        label = n.Before;
        for (const char ch : FormatNumber(number, n.Format)) label += char32_t(ch);
        label += n.After + U"\t";
      }
    }
    fBodyCounting = continues;  // old-style numbering counts on over adjacent paragraphs only
    return label;
  }

  // The label of a paragraph in a list of the list table; false when its \ls and \ilvl name none.
  bool ListLabel(std::u32string& label) {
    const auto it = fOverrides.find(fState.List);
    if (it == fOverrides.end()) return false;
    TListOverride& o = it->second;
    if (o.ListIndex == -1) {
      const auto list = std::find_if(fLists.begin(), fLists.end(), [&](const TList& l) { return l.Id == o.ListId; });
      o.ListIndex = list == fLists.end() ? -2 : static_cast<int>(list - fLists.begin());
    }
    if (o.ListIndex < 0) return false;
    const TList& list = fLists[static_cast<std::size_t>(o.ListIndex)];
    if (fState.Level < 0 || static_cast<std::size_t>(fState.Level) >= list.Levels.size()) return false;
    const auto level = static_cast<std::size_t>(fState.Level);
    const auto start = [&](std::size_t k) { return o.HasStart[k] ? o.Start[k] : list.Levels[k].Start; };
    o.Count[level] = o.Counting[level] ? o.Count[level] + 1 : start(level);
    o.Counting[level] = true;
    for (std::size_t k = level + 1; k < kMaxLevels; ++k) o.Counting[k] = false;

    // \leveltext: its length, then its text, where the characters \levelnumbers points at (or,
    // without \levelnumbers, those below U+0009) stand for the numbers of the levels they name.
    const TListLevel& def = list.Levels[level];
    const std::size_t length = def.Text.empty() ? 0 : std::min<std::size_t>(def.Text[0], def.Text.size() - 1);
    std::string places = def.Numbers;
    if (!places.empty() && places.back() == ';') places.pop_back();
    bool number = false;
    for (std::size_t i = 1; i <= length; ++i) {
      const char32_t c = def.Text[i];
      const bool place = def.HasNumbers ? places.find(static_cast<char>(i)) != std::string::npos : c < 9;
      if (place && c < list.Levels.size()) {
        const auto k = static_cast<std::size_t>(c);
        const ENumberFormat format = list.Levels[k].Format;
        if (!ShowsNumber(format)) continue;
        for (const char ch : FormatNumber(o.Counting[k] ? o.Count[k] : start(k), format)) label += char32_t(ch);
        number = true;
      } else if (!place && c >= 0x20 && c != 0x7F) {
        label += c;
      }
    }
    if (!number) {
      label.clear();  // a bullet, or a level without a number
    } else if (def.Follow == 0) {
      label += '\t';
    } else if (def.Follow == 1) {
      label += ' ';
    }
    return true;
  }

  // A \pn or \pnseclvlN group ends: the numbering of the paragraph it stands in, or a level of
  // the section's.
  void FinishNumbering() {
    if (fNumberingDef.Section > 0) {
      fSections[static_cast<std::size_t>(fNumberingDef.Section - 1)] = fNumberingDef;
      return;
    }
    if (fNumberingDef.Kind == EOldKind::None) return;
    if (fNumberings.empty() || !(fNumberings.back() == fNumberingDef)) {
      if (fNumberings.size() >= kMaxNumberings) return;
      fNumberings.push_back(fNumberingDef);
    }
    fState.Numbering = static_cast<int>(fNumberings.size() - 1);
  }

  // A text box's paragraphs are kept apart from the body's; the body's open paragraph waits.
  void EnterBox() {
    if (fBoxDepth++ > 0) {  // a box inside a box: its own paragraph
      if (!fPara.Runs.empty()) EndParagraph();
      return;
    }
    fHeld = {std::move(fPara), fKey, fKeyValid, fCellTab, fParaCounted, fParaLabelled};
    fPara = TRichParagraph{};
    fKeyValid = false;
    fCellTab = false;
    fParaCounted = fParaLabelled = false;
  }

  void LeaveBox() {
    if (!fPara.Runs.empty()) EndParagraph();
    if (--fBoxDepth > 0) return;
    fPara = std::move(fHeld.Para);
    fKey = fHeld.Key;
    fKeyValid = fHeld.KeyValid;
    fCellTab = fHeld.CellTab;
    fParaCounted = fHeld.Counted;
    fParaLabelled = fHeld.Labelled;
  }

  void CountPiece() {
    if (++fPieces > kMaxPieces) {
      throw ERtfError{"more than " + std::to_string(kMaxPieces) + " paragraphs and runs"};
    }
  }

  std::string_view fIn;
  std::size_t fPos = 0;
  bool fDone = false;
  struct TSaved {
    TState State;
    std::size_t Count;  // groups opened in this state
  };
  std::vector<TSaved> fStack;
  std::size_t fDepth = 0;  // open groups
  TState fState;
  TRichDocument fDoc;
  TRichParagraph fPara;
  std::map<int, TFont> fFonts;
  TFont* fFontDef = nullptr;  // the font table entry being read
  std::vector<TColor> fColors;
  int fRed = 0, fGreen = 0, fBlue = 0;
  bool fColorSet = false;
  int fCodePage = 1252;
  int fDefaultFont = -1;
  std::size_t fChars = 0;
  std::size_t fPieces = 0;
  int fSkip = 0;             // characters of a \uN fallback still to skip
  bool fStarred = false;     // \* seen, its control word not yet
  bool fCellTab = false;     // the text ends in the tab of a \cell
  char32_t fHighSurrogate = 0;
  int fLeadByte = -1;        // first byte of a double-byte character, waiting for its second
  TConverters fConverters;
  TKey fKey{};
  bool fKeyValid = false;
  int fBoxDepth = 0;  // text boxes open
  std::string fLabel;  // the list label being read, without its leading white space
  std::size_t fLabelRuns = 0, fLabelLastSize = 0;  // where the paragraph stood before it
  std::vector<TRichParagraph> fBoxParagraphs;
  struct THeld {
    TRichParagraph Para;
    TKey Key{};
    bool KeyValid = false;
    bool CellTab = false;
    bool Counted = false;
    bool Labelled = false;
  } fHeld;  // the body's paragraph while a text box is read
  unsigned fUtf8Lead = 0;    // a UTF-8 character being joined: its first byte,
  int fUtf8Have = 0;         // the bytes read,
  int fUtf8Need = 0;         // the bytes still to come,
  char32_t fUtf8Code = 0;    // and its bits so far
  TMark fNestMark;           // where a nested row's properties began, or their last \nestcell
  // The list table, its overrides by \lsN, and what is being read of them.
  std::deque<TList> fLists;
  std::map<int, TListOverride> fOverrides;
  TList* fListDef = nullptr;
  TListLevel* fLevelDef = nullptr;
  TListOverride fOverride;
  TListOverride* fOverrideDef = nullptr;
  int fOverrideLevel = -1;
  // Old-style numbering: the paragraphs' numberings, the section's levels, the one being read,
  // and the numbers reached.
  std::vector<TOldNumbering> fNumberings;
  std::array<TOldNumbering, 9> fSections{};
  TOldNumbering fNumberingDef;
  long long fBodyNumber = 0;
  TOldNumbering fBodyNumbering;  // of the last paragraph counted
  bool fBodyCounting = false;
  std::array<long long, 9> fOutlineNumber{};
  std::array<bool, 9> fOutlineCounting{};
  bool fParaCounted = false;   // the open paragraph is counted in its list
  bool fParaLabelled = false;  // the open paragraph has its writer's label (\listtext, \pntext)
  long long fFootnotes = 0;    // footnote references so far
  ENumberFormat fFootnoteFormat = ENumberFormat::Decimal;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) {
  std::size_t i = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // a UTF-8 mark some editors add
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n')) ++i;
  return bytes.substr(i, 5) == "{\\rtf";
}

TRichDocument ReadRtf(std::string_view bytes) {
  if (bytes.size() > kRtfMaxInputBytes) {
    throw ERtfError{"larger than " + std::to_string(kRtfMaxInputBytes >> 20) + " MiB"};
  }
  if (!LooksLikeRtf(bytes)) throw ERtfError{"not an RTF document"};
  return TRtfParser(bytes).Read();
}

}  // namespace qv

#pragma once
// A rich-text document as the crawl reads it from an RTF file: paragraphs of formatted runs.
// Toolkit-free: the RTF reader fills it, the rich-text engine lays it out and draws it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A stretch of text with one format. Text is UTF-8 and holds no line breaks (a tab stays "\t").
struct TRichRun {
  std::string Text;
  std::string Face;            // the font table's name of the run's font; empty when none is named
  int HalfPoints = 24;         // size in half points (\fsN), 12 points when the file names none
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  std::uint32_t Color = 0;     // 0x00RRGGBB
  bool AutoColor = true;       // no colour chosen (\cf0 or none): the engine's default text colour
  bool RightToLeft = false;    // \rtlch
  friend bool operator==(const TRichRun&, const TRichRun&) = default;
};

// One paragraph (one line of the crawl: nothing wraps). \par, \line, \page, \sect and \row each
// end one; empty paragraphs are kept, so blank lines are the caller's to skip.
struct TRichParagraph {
  std::vector<TRichRun> Runs;
  bool RightToLeft = false;    // \rtlpar
  friend bool operator==(const TRichParagraph&, const TRichParagraph&) = default;
  std::string Text() const;    // the runs' texts joined
};

struct TRichDocument {
  std::vector<TRichParagraph> Paragraphs;
};

// The reader's limits: deeper nesting, larger input or more text throw ERtfError.
constexpr int kRtfMaxDepth = 512;                            // open groups at once
constexpr std::size_t kRtfMaxInputBytes = 64u << 20;         // 64 MiB
constexpr std::size_t kRtfMaxOutputChars = 16u << 20;        // characters of text, all paragraphs

// True when Bytes start like an RTF file ("{\rtf", after an optional UTF-8 byte-order mark and
// white space).
bool LooksLikeRtf(std::string_view Bytes);

// Thrown by ReadRtf for input it refuses (too deep, too large, not RTF at all).
struct ERtfError {
  std::string Message;
};

// Reads an RTF document. Text comes from the body only (the font and colour tables, style sheet,
// information, headers and footers, pictures, objects, field instructions, list numbers, hidden
// text and unknown \* destinations are left out); \'hh is decoded with the code page of the
// font's \fcharsetN or \cpgN, else the document's \ansicpgN (Windows 874 and 1250..1258;
// double-byte Asian code pages give U+FFFD per character, as \uN is what their writers rely on).
// \tab and \cell give a tab; a row's cells are one paragraph joined by tabs. Damaged input (unbalanced braces, a truncated file, unknown control
// words) gives what could be read; input beyond the reader's limits throws ERtfError. Never
// recurses on the input's nesting, so no input can exhaust the stack.
TRichDocument ReadRtf(std::string_view Bytes);

}  // namespace qv

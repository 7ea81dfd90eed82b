#pragma once
// A rich-text document as the crawl reads it from an RTF file: paragraphs of formatted runs.
// Toolkit-free: the RTF reader (crawlinput/RtfReader.h) fills it, the rich-text engine
// (platform/RichEdit.h) lays it out and draws it.
#include <cstdint>
#include <string>
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
  // The runs' texts joined.
  std::string Text() const {
    std::string text;
    for (const TRichRun& run : Runs) text += run.Text;
    return text;
  }
};

struct TRichDocument {
  std::vector<TRichParagraph> Paragraphs;
};

}  // namespace qv

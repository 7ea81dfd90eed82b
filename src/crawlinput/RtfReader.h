#pragma once
// The RTF reader: an RTF file's bytes to a rich-text document (platform/RichText.h).
#include "platform/RichText.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

// The reader's limits: larger input or more text throw ERtfError. Groups nest as deep as the
// input holds braces; the reader's own stack grows at most linearly with the input.
constexpr std::size_t kRtfMaxInputBytes = 64u << 20;         // 64 MiB
constexpr std::size_t kRtfMaxOutputChars = 16u << 20;        // characters of text, all paragraphs

// True when Bytes start like an RTF file ("{\rtf", after an optional UTF-8 byte-order mark and
// white space).
bool LooksLikeRtf(std::string_view Bytes);

// Thrown by ReadRtf for input it refuses (too large, too much text, not RTF at all).
struct ERtfError {
  std::string Message;
};

// Reads an RTF document. Text comes from the body (the font and colour tables, style sheet,
// information, headers and footers, footnotes, pictures, objects, field instructions, list
// bullets, hidden text and unknown \* destinations are left out); the text of text boxes
// (\shptxt, \dptxbx) follows the body's, in file order.
// Numbered paragraphs keep the labels their writer drew (\listtext, \pntext: "1.", "a)"); where
// there is none, the reader numbers them itself from the list table (\ls, \ilvl and the list's
// \levelnfc, \levelstartat, \leveltext, \levelnumbers, \levelfollow) or from old-style
// numbering (\pn with \pnlvlbody, \pnlvlN and the section's \pnseclvlN, \pnlvlcont, \pndec,
// \pnucrm, \pnlcrm, \pnucltr, \pnlcltr, \pnord, \pnstart, \pntxtb, \pntxta), which counts on
// over adjacent paragraphs only. Bullets are left out. \chpgn gives 1 (a crawl is one page) and
// \chftn the footnote's number, counted in the order of the document (\ftnnar, \ftnnalc,
// \ftnnauc, \ftnnrlc, \ftnnruc choose the format).
// \'hh is decoded with the code page of the font's \cpgN (which wins over its \fcharsetN; 65001
// is UTF-8, a character's bytes joined across escapes) or \fcharsetN, else the document's
// \ansicpgN, \mac, \pc or \pca: Windows 874 and 1250..1258 from our tables, the double-byte Asian
// pages (932, 936, 949, 950, 1361), the DOS pages and the Mac pages through the C library's iconv.
// \tab and \cell give a tab; a row's cells are one paragraph joined by tabs (\nestcell and
// \nestrow likewise for a nested table, whose last cells' text some writers put in the row's
// \*\nesttableprops). Damaged input (unbalanced braces, a truncated file, unknown control words)
// gives what could be read; input beyond the reader's limits throws ERtfError. Never recurses on
// the input's nesting, so no input can exhaust the stack.
TRichDocument ReadRtf(std::string_view Bytes);

}  // namespace qv

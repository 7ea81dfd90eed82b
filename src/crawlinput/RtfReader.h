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
// information, headers and footers, pictures, objects, field instructions, list bullets, hidden
// text and unknown \* destinations are left out); numbered lists keep their labels ("1.", "a)");
// the text of text boxes (\shptxt, \dptxbx) follows the body's, in file order. \'hh is decoded
// with the code page of the font's \fcharsetN or \cpgN, else the document's \ansicpgN, \mac,
// \pc or \pca: Windows 874 and 1250..1258 from our tables, the double-byte Asian pages (932,
// 936, 949, 950, 1361), the DOS pages and the Mac pages through the C library's iconv.
// \tab and \cell give a tab; a row's cells are one paragraph joined by tabs (\nestcell and
// \nestrow likewise for a nested table). Damaged input (unbalanced braces, a truncated file,
// unknown control words) gives what could be read; input beyond the reader's limits throws
// ERtfError. Never recurses on the input's nesting, so no input can exhaust the stack.
TRichDocument ReadRtf(std::string_view Bytes);

}  // namespace qv

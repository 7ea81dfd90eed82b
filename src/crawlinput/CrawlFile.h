#pragma once
// Reading a crawl's file: which kind it is, the document of an RTF file and the items of either.
#include "platform/RichText.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Whether a line is blank: nothing but spaces and control characters. Blank lines are no items.
bool IsBlankLine(std::string_view Line);

// Whether FileName names an RTF file (its extension, in any letter case, is ".rtf").
bool IsRichTextFileName(const std::string& FileName);
// The document a crawl makes of a file named as RTF: the RTF read, or any other content as plain
// text, one paragraph per line. Throws std::runtime_error (EProjectError, naming the file) when
// the file cannot be read or the RTF is beyond the reader's limits.
TRichDocument ReadCrawlDocument(const std::string& FileName);
// The two halves of ReadCrawlDocument, for a reader that looks at the bytes before it parses
// them: the file's bytes (throws as above), and the document made of them (FileName names the
// file in errors).
std::string ReadCrawlFileBytes(const std::string& FileName);
TRichDocument CrawlDocumentOf(const std::string& FileName, std::string_view Bytes);
// The crawl items of a file, in order, as a crawl layer reads it: the non-blank lines of a plain
// text file, or the non-blank paragraphs of an RTF file (UTF-8). Throws as ReadCrawlDocument.
std::vector<std::string> ReadCrawlItems(const std::string& FileName);

}  // namespace qv

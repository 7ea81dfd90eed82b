#include "crawlinput/CrawlFile.h"

#include "base/NumberText.h"
#include "crawlinput/PlainText.h"
#include "crawlinput/RtfReader.h"
#include "project/ProjectError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qv {

bool IsBlankLine(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string ReadCrawlFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EProjectError(fileName, 0, std::strerror(errno));
  // A crawl's file is text a person wrote: anything larger than a plain-text file may be is not.
  std::error_code ec;
  const auto size = std::filesystem::file_size(fileName, ec);
  if (!ec && size > kMaxPlainTextBytes) throw EProjectError(fileName, 0, "too large for a crawl's text");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EProjectError(fileName, 0, "cannot be read");
  return bytes;
}

namespace {

// A paragraph's text as the rich-text engine lays it out: one line, line breaks as blanks.
std::string OneLine(const TRichParagraph& p) {
  std::string s;
  for (const TRichRun& r : p.Runs) s += r.Text;
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return s;
}

}  // namespace

bool IsRichTextFileName(const std::string& FileName) {
  const std::string ext = std::filesystem::path(FileName).extension().string();
  return SameText(ext, ".rtf");
}

TRichDocument ReadCrawlDocument(const std::string& FileName) {
  return CrawlDocumentOf(FileName, ReadCrawlFileBytes(FileName));
}

TRichDocument CrawlDocumentOf(const std::string& FileName, std::string_view bytes) {
  if (LooksLikeRtf(bytes)) {
    try {
      return ReadRtf(bytes);
    } catch (const ERtfError& e) {
      throw EProjectError(FileName, 0, e.Message);
    }
  }
  // Not RTF after all: each line a paragraph of the engine's default format.
  TRichDocument doc;
  for (std::string& line : DecodePlainTextLines(bytes)) {
    TRichParagraph p;
    if (!line.empty()) {
      TRichRun run;
      run.Text = std::move(line);
      p.Runs.push_back(std::move(run));
    }
    doc.Paragraphs.push_back(std::move(p));
  }
  return doc;
}

std::vector<std::string> ReadCrawlItems(const std::string& FileName) {
  std::vector<std::string> items;
  if (IsRichTextFileName(FileName)) {
    for (const TRichParagraph& p : ReadCrawlDocument(FileName).Paragraphs) {
      std::string s = OneLine(p);
      if (!IsBlankLine(s)) items.push_back(std::move(s));
    }
  } else {
    for (std::string& line : ReadPlainTextLines(FileName)) {
      if (!IsBlankLine(line)) items.push_back(std::move(line));
    }
  }
  return items;
}

}  // namespace qv

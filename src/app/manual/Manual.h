#pragma once
// A program's manual as data, written as a manual page (roff, man macros) and as the plain text of
// the program's --help, so that the two say the same.
#include <string>
#include <vector>

namespace qv::manual {

// A term and what it means: a command, an option, an exit status.
struct TManualEntry {
  std::string Term;
  std::string Text;
};

struct TManualSection {
  std::string Title;  // "DESCRIPTION", "OPTIONS"; a manual page shows it in capitals
  std::vector<std::string> Paragraphs;
  std::vector<TManualEntry> Entries;  // after the paragraphs
};

struct TManual {
  std::string Name;     // "qvrender"
  std::string Summary;  // what it is, in a few words: "compose ... without a window"
  std::string Source;   // the suite it belongs to: "QV 0.1.0"
  std::vector<std::string> Synopsis;  // lines without the program's name: "render PROJECT.QV ..."
  std::vector<TManualSection> Sections;
};

// The manual page, section 1.
std::string Roff(const TManual& Manual);

// Text filled to Width columns: Lead, then the words of Text, later lines indented by Indent.
std::string Filled(std::string Lead, const std::string& Text, std::size_t Indent, std::size_t Width = 100);

}  // namespace qv::manual

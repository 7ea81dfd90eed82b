#include "app/manual/Manual.h"

#include <cctype>

namespace qv::manual {

namespace {

// Text as roff shows it literally: backslashes and dashes escaped (a dash in a manual page is
// an option's minus sign), and a line never starting with a control character.
std::string Escaped(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    lineStart = c == '\n';
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string Roff(const TManual& m) {
  std::string out;
  out += ".TH " + Upper(m.Name) + " 1 \"\" \"" + Escaped(m.Source) + "\" \"User Commands\"\n";
  out += ".SH NAME\n" + Escaped(m.Name) + " \\- " + Escaped(m.Summary) + "\n";
  out += ".SH SYNOPSIS\n";
  // .SY and .YS: the name in bold, the rest of a long line hanging after it.
  for (const std::string& line : m.Synopsis) out += ".SY " + Escaped(m.Name) + "\n" + Escaped(line) + "\n.YS\n";
  for (const TManualSection& s : m.Sections) {
    out += ".SH " + Escaped(Upper(s.Title)) + "\n";
    for (std::size_t i = 0; i < s.Paragraphs.size(); ++i) {
      if (i > 0) out += ".PP\n";
      out += Escaped(s.Paragraphs[i]) + "\n";
    }
    for (const TManualEntry& e : s.Entries) {
      out += ".TP\n.B \"" + Escaped(e.Term) + "\"\n" + Escaped(e.Text) + "\n";
    }
  }
  return out;
}

std::string Filled(std::string lead, const std::string& text, std::size_t indent, std::size_t width) {
  std::string out;
  std::string line = std::move(lead);
  bool empty = true;  // no word on the line yet
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    at = end + 1;
    if (!empty && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line = std::string(indent, ' ');
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
  }
  return out + line + "\n";
}

}  // namespace qv::manual

// The manual pages against the tables and texts the programs' usage and --help are made of.
#include "app/manual/Manual.h"
#include "app/qveditor/Manual.h"
#include "app/qvrender/Manual.h"
#include "app/qvrender/Options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace qv {
namespace {

// What a reader of the page sees of roff's text: escapes undone, lines joined by spaces.
std::string Shown(const std::string& roff) {
  std::string text;
  std::istringstream in(roff);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(".SY ", 0) == 0 || line.rfind(".B ", 0) == 0 || line.rfind(".SH ", 0) == 0) {
      line = line.substr(line.find(' ') + 1);
      if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
    } else if (!line.empty() && line[0] == '.') {
      continue;
    }
    // \- is a dash, \e a backslash, \& nothing.
    for (std::size_t at = 0; at < line.size(); ++at) {
      if (line[at] != '\\' || at + 1 == line.size()) {
        text += line[at];
        continue;
      }
      const char next = line[++at];
      if (next == '-') text += '-';
      if (next == 'e') text += '\\';
    }
    text += ' ';
  }
  return text;
}

TEST(Manual, RoffEscapesWhatItWouldOtherwiseRead) {
  manual::TManual m;
  m.Name = "tool";
  m.Summary = "a-b";
  m.Source = "QV";
  m.Synopsis = {"--flag"};
  m.Sections = {{"Notes", {".starts with a dot", "'and a quote", "back\\slash", "two\nlines .x"}, {{"-x", "y"}}}};
  const std::string roff = manual::Roff(m);
  EXPECT_EQ(roff,
            ".TH TOOL 1 \"\" \"QV\" \"User Commands\"\n"
            ".SH NAME\ntool \\- a\\-b\n"
            ".SH SYNOPSIS\n.SY tool\n\\-\\-flag\n.YS\n"
            ".SH NOTES\n\\&.starts with a dot\n.PP\n\\&'and a quote\n.PP\nback\\eslash\n.PP\ntwo\nlines .x\n"
            ".TP\n.B \"\\-x\"\ny\n");
  EXPECT_NE(Shown(roff).find("tool - a-b"), std::string::npos) << Shown(roff);
  EXPECT_NE(Shown(roff).find("back\\slash"), std::string::npos) << Shown(roff);
}

TEST(Manual, FilledBreaksBetweenWordsAtTheWidth) {
  struct Case {
    const char* lead;
    const char* text;
    std::size_t indent, width;
    const char* filled;
  };
  for (const Case& c : {
           Case{"  ", "one two three", 4, 20, "  one two three\n"},
           Case{"  ", "one two three", 4, 9, "  one two\n    three\n"},
           Case{"> ", "averyveryverylongword x", 2, 8, "> averyveryverylongword\n  x\n"},
           Case{"", "", 0, 10, "\n"},
       }) {
    EXPECT_EQ(manual::Filled(c.lead, c.text, c.indent, c.width), c.filled) << c.text;
  }
}

// Every command's synopsis and help line, every option with its value, help line and commands,
// every exit status: the page holds what the usage and --help hold.
TEST(Manual, QvrenderPageHoldsEveryCommandOptionAndExitStatus) {
  using namespace render;
  const std::string page = Shown(manual::Roff(QvrenderManual()));
  for (const TCommandSpec& c : CommandTable()) {
    EXPECT_NE(page.find("qvrender " + CommandSynopsis(c) + " "), std::string::npos) << c.Name;
    EXPECT_NE(page.find(std::string(c.Name) + " " + c.Help), std::string::npos) << c.Name;
  }
  for (const TOptionSpec& o : OptionTable()) {
    EXPECT_NE(page.find(OptionTitle(o) + " " + o.Help + " (" + CommandNames(o.Commands) + ")"), std::string::npos)
        << o.Name;
  }
  for (const TExitStatusSpec& e : ExitStatusTable()) {
    EXPECT_NE(page.find("EXIT STATUS"), std::string::npos);
    EXPECT_NE(page.find(std::to_string(e.Status) + " " + e.Meaning), std::string::npos) << e.Status;
  }
  EXPECT_NE(page.find("qvrender --help"), std::string::npos);
}

// --help and the page of the editor: each line of the help's lists is an entry of the page.
TEST(Manual, QveditorPageHoldsItsHelp) {
  const std::string page = Shown(manual::Roff(editor::QveditorManual()));
  std::istringstream help(editor::QveditorHelp());
  std::string entry;
  int entries = 0;
  auto flush = [&] {
    if (entry.empty()) return;
    EXPECT_NE(page.find(entry), std::string::npos) << entry;
    ++entries;
    entry.clear();
  };
  for (std::string line; std::getline(help, line);) {
    if (line.empty() || line.back() == ':') {
      flush();
      continue;
    }
    std::istringstream words(line);
    const bool continued = line.rfind("     ", 0) == 0;  // a wrapped line, or an option's help
    if (!continued) flush();
    for (std::string w; words >> w;) entry += (entry.empty() ? "" : " ") + w;
  }
  flush();
  EXPECT_GE(entries, 6);  // two synopsis lines, three options, two exit statuses
}

#ifdef QV_MANUAL_DIR
// The pages the package installs are the pages these tests read.
TEST(Manual, BuiltPagesAreTheOnesTested) {
  for (const manual::TManual& m : {render::QvrenderManual(), editor::QveditorManual()}) {
    std::ifstream in(std::string(QV_MANUAL_DIR) + "/" + m.Name + ".1", std::ios::binary);
    std::ostringstream built;
    built << in.rdbuf();
    EXPECT_EQ(built.str(), manual::Roff(m)) << m.Name;
  }
}
#endif

}  // namespace
}  // namespace qv

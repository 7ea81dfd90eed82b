#pragma once
// A CSV file as a table: the first record names the columns, each further record is a row. The
// text is RFC 4180 (fields in double quotes may hold commas, doubled quotes and line breaks;
// records end in CR LF or LF), UTF-8 with or without a byte-order mark. Fields keep their
// blanks. Rows may be ragged: each keeps the fields it has, and the caller decides.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct TCsvRow {
  std::vector<std::string> Fields;
  int Line = 0;  // the file line the record starts on (1-based)
};

struct TCsvTable {
  std::vector<std::string> Header;
  std::vector<TCsvRow> Rows;
};

// A table that cannot be read: the file (may be empty), the line (0: the file as a whole) and why.
class ECsvError : public std::runtime_error {
 public:
  ECsvError(const std::string& FileName, int Line, const std::string& Reason);
  int Line() const { return fLine; }

 private:
  int fLine;
};

// Blank lines between records are skipped; a file without a header record is an error, and so
// is a quote that does not close or stray text after a closing quote. FileName only names the
// source in errors.
TCsvTable ParseCsv(std::string_view Text, const std::string& FileName = std::string());
TCsvTable ReadCsvFile(const std::string& FileName);

}  // namespace qv

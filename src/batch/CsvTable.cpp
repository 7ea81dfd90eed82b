#include "batch/CsvTable.h"

#include <csv.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace qv {

namespace {

std::string Where(const std::string& file, int line) {
  std::string s = file.empty() ? std::string("CSV") : file;
  if (line > 0) {
    s += ':';
    s += std::to_string(line);
  }
  return s;
}

struct TBuilder {
  TCsvTable table;
  std::vector<std::string> fields;
  int line = 0;        // the line being fed
  int recordLine = 0;  // where the record under way started; 0 between records
  bool header = true;

  static void Field(void* s, std::size_t len, void* data) {
    auto& b = *static_cast<TBuilder*>(data);
    b.fields.emplace_back(static_cast<const char*>(s), len);
  }
  static void Record(int, void* data) {
    auto& b = *static_cast<TBuilder*>(data);
    if (b.header) {
      b.table.Header = std::move(b.fields);
      b.header = false;
    } else {
      b.table.Rows.push_back({std::move(b.fields), b.recordLine});
    }
    b.fields.clear();
    b.recordLine = 0;
  }
};

// A line of nothing but its end starts no record (libcsv skips it too, outside quotes).
bool IsBlankLine(std::string_view l) { return l == "\n" || l == "\r\n" || l == "\r"; }

// RFC 4180 keeps blanks around unquoted fields.
int NoSpace(unsigned char) { return 0; }

}  // namespace

ECsvError::ECsvError(const std::string& FileName, int Line, const std::string& Reason)
    : std::runtime_error(Where(FileName, Line) + ": " + Reason), fLine(Line) {}

TCsvTable ParseCsv(std::string_view text, const std::string& fileName) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw ECsvError(fileName, 0, "out of memory");
  std::unique_ptr<csv_parser, void (*)(csv_parser*)> guard(&parser, [](csv_parser* p) { csv_free(p); });
  csv_set_space_func(&parser, NoSpace);

  TBuilder b;
  // Fed a line at a time, so that every record knows the line it starts on.
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t nl = text.find('\n', at);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    const std::string_view line = text.substr(at, end - at);
    ++b.line;
    if (b.recordLine == 0 && !IsBlankLine(line)) b.recordLine = b.line;
    if (csv_parse(&parser, line.data(), line.size(), TBuilder::Field, TBuilder::Record, &b) != line.size()) {
      throw ECsvError(fileName, b.line, std::string("malformed field: ") + csv_strerror(csv_error(&parser)));
    }
    at = end;
  }
  if (csv_fini(&parser, TBuilder::Field, TBuilder::Record, &b) != 0) {
    throw ECsvError(fileName, b.recordLine, "a quoted field does not end before the end of the file");
  }
  if (b.header) throw ECsvError(fileName, 0, "no header row naming the columns");
  return std::move(b.table);
}

TCsvTable ReadCsvFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw ECsvError(fileName, 0, "cannot be opened");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ECsvError(fileName, 0, "cannot be read");
  return ParseCsv(text, fileName);
}

}  // namespace qv

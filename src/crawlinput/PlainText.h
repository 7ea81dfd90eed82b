#pragma once
// A crawl's plain-text file: its bytes decoded into lines, whatever encoding a person saved it in.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The lines of a plain-text file to show (a crawl's text file), as UTF-8. A byte-order mark selects
// UTF-8, UTF-16 LE or UTF-16 BE (and is dropped); without one the bytes are UTF-8 when they are
// valid UTF-8 throughout, else Windows-1252. Broken UTF-8 after a UTF-8 mark and unpaired UTF-16
// surrogates become U+FFFD; an odd trailing byte of UTF-16 is dropped. CR, LF and CR LF end a
// line; empty lines are kept (the caller skips blank ones). Any bytes are accepted.
std::vector<std::string> DecodePlainTextLines(std::string_view Bytes);

// Reads and decodes a plain-text file as DecodePlainTextLines does. Throws EProjectError naming
// the file when it cannot be read or is larger than kMaxPlainTextBytes.
constexpr std::size_t kMaxPlainTextBytes = std::size_t{64} << 20;
std::vector<std::string> ReadPlainTextLines(const std::string& FileName);

}  // namespace qv

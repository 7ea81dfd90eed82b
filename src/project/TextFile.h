#pragma once
// Plain-text files of the project: reading lines whatever the encoding mark and line ends, and
// replacing a file so that a failure never destroys the previous one.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The lines of a text file as UTF-8. A byte-order mark selects UTF-8, UTF-16 LE or UTF-16 BE
// (and is dropped); without one the text is taken as UTF-8. CR, LF and CR LF all end a line; a
// final line without an end is kept. Throws EProjectError naming the file when it cannot be read.
std::vector<std::string> ReadTextLines(const std::string& FileName);

// The same decoding of bytes already in memory.
std::vector<std::string> DecodeTextLines(std::string_view Bytes);

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

// Replaces (or creates) FileName with Bytes: the bytes go to a new file in the same folder, which
// is flushed to the disk and then renamed over the old name, so readers see either the old or the
// new file, never a part. On any failure the temporary file is removed, an existing file is left
// as it was, and EProjectError names FileName and the reason ("cannot write: No space left on
// device"). An existing file's permissions are kept; a symbolic link is followed and its target
// replaced. A target that is not a regular file (a device such as /dev/null, a pipe) is written in
// place instead, since renaming would put a file where it was.
void WriteFileAtomically(const std::string& FileName, std::string_view Bytes);

}  // namespace qv

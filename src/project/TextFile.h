#pragma once
// Text files of the project: reading lines whatever the encoding mark and line ends, and
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

// The pieces the text decoders are made of (this one and the crawl's, crawlinput/PlainText.h).
// UTF-16 of either byte order as UTF-8; unpaired surrogates become U+FFFD, and so does an odd
// trailing byte unless DropOddByte.
std::string Utf16ToUtf8(std::string_view Bytes, bool BigEndian, bool DropOddByte = false);
// Text cut into lines at CR, LF and CR LF; a final line without an end is kept.
std::vector<std::string> SplitLines(const std::string& Text);
// The bytes of a file. Throws EProjectError naming the file when it is a folder, cannot be read,
// or holds more than Limit bytes (when Limit is not 0).
std::string ReadWholeFile(const std::string& FileName, std::size_t Limit);

// Replaces (or creates) FileName with Bytes: the bytes go to a new file in the same folder, which
// is flushed to the disk and then renamed over the old name, so readers see either the old or the
// new file, never a part. On any failure the temporary file is removed, an existing file is left
// as it was, and EProjectError names FileName and the reason ("cannot write: No space left on
// device"). An existing file's permissions are kept; a symbolic link is followed and its target
// replaced. A target that is not a regular file (a device such as /dev/null, a pipe) is written in
// place instead, since renaming would put a file where it was.
// With Flush false the two flushes (the new file's bytes, then the folder) are left for a later
// SyncFile: the replacement is as atomic for every reader and survives the program's end, but a
// power cut before SyncFile may lose it (never leaving a part of it). An editing server answers
// each edit at once this way and flushes a moment later.
void WriteFileAtomically(const std::string& FileName, std::string_view Bytes, bool Flush = true);
// Flushes FileName and its folder to the disk (what WriteFileAtomically left unflushed). Answers
// false when the file cannot be opened or flushed.
bool SyncFile(const std::string& FileName);

}  // namespace qv

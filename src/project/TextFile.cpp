#include "project/TextFile.h"

#include "base/Utf8.h"
#include "project/ProjectError.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace fs = std::filesystem;

EProjectError::EProjectError(const std::string& fileName, int line, const std::string& what)
    : std::runtime_error(fileName + (line > 0 ? ": line " + std::to_string(line) : std::string()) +
                         ": " + what),
      fFileName(fileName),
      fLine(line),
      fReason(what) {}

std::string Utf16ToUtf8(std::string_view b, bool bigEndian, bool dropOddByte) {
  std::string out;
  out.reserve(b.size());
  auto unit = [&](std::size_t i) -> char32_t {
    const auto lo = static_cast<unsigned char>(b[i]);
    const auto hi = static_cast<unsigned char>(b[i + 1]);
    return bigEndian ? (char32_t(lo) << 8 | hi) : (char32_t(hi) << 8 | lo);
  };
  std::size_t i = 0;
  while (i + 1 < b.size()) {
    char32_t c = unit(i);
    i += 2;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < b.size()) {
        const char32_t d = unit(i);
        if (d >= 0xDC00 && d <= 0xDFFF) {
          i += 2;
          AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
          continue;
        }
      }
      c = 0xFFFD;  // a lone high surrogate
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone low surrogate
    }
    AppendUtf8(out, c);
  }
  if (i < b.size() && !dropOddByte) AppendUtf8(out, 0xFFFD);  // an odd trailing byte
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text, start, i - start);
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text, start, text.size() - start);
  return lines;
}

namespace {

std::string Errno(int e) { return std::strerror(e); }

// Writes all of Bytes to fd; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void WriteInPlace(const std::string& fileName, const fs::path& target, std::string_view bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) throw EProjectError(fileName, 0, "cannot write: " + Errno(errno));
  if (!WriteAll(fd, bytes)) {
    const int e = errno;
    ::close(fd);
    throw EProjectError(fileName, 0, "cannot write: " + Errno(e));
  }
  if (::close(fd) != 0) throw EProjectError(fileName, 0, "cannot write: " + Errno(errno));
}

}  // namespace

std::vector<std::string> DecodeTextLines(std::string_view bytes) {
  std::string text;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text = std::string(bytes.substr(3));
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    text = Utf16ToUtf8(bytes.substr(2), false);
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
    text = Utf16ToUtf8(bytes.substr(2), true);
  } else {
    text = std::string(bytes);
  }
  return SplitLines(text);
}

std::string ReadWholeFile(const std::string& fileName, std::size_t limit) {
  std::error_code ec;
  if (fs::is_directory(fileName, ec)) throw EProjectError(fileName, 0, "is a folder, not a file");
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EProjectError(fileName, 0, "cannot open: " + Errno(errno));
  auto tooLarge = [&] {
    throw EProjectError(fileName, 0, "is larger than " + std::to_string(limit >> 20) + " MiB");
  };
  if (limit != 0) {
    const auto size = fs::file_size(fileName, ec);
    if (!ec && size > limit) tooLarge();
  }
  std::string bytes;
  char buffer[65536];
  while (in) {
    in.read(buffer, sizeof buffer);
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (limit != 0 && bytes.size() > limit) tooLarge();  // the file grew while being read
  }
  if (in.bad()) throw EProjectError(fileName, 0, "cannot read: " + Errno(errno));
  return bytes;
}

std::vector<std::string> ReadTextLines(const std::string& fileName) {
  return DecodeTextLines(ReadWholeFile(fileName, 0));
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes, bool flush) {
  fs::path target(fileName);
  std::error_code ec;
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = resolved;
  }
  if (fs::is_directory(target, ec)) throw EProjectError(fileName, 0, "is a folder, not a file");

  // A device or a pipe (/dev/null, /dev/full, a FIFO) cannot be replaced by renaming: a new file
  // would take its place. Such a target is written in place, every write checked.
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    WriteInPlace(fileName, target, bytes);
    return;
  }

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tmpl = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) throw EProjectError(fileName, 0, "cannot write: " + Errno(errno));

  auto fail = [&](const std::string& what, int e) {
    ::close(fd);
    ::unlink(tmpl.c_str());
    throw EProjectError(fileName, 0, what + ": " + Errno(e));
  };

  // The new file gets the old one's permissions, or the usual ones for a new file.
  struct stat old {};
  mode_t mode;
  if (::stat(target.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) fail("cannot write", errno);

  if (!WriteAll(fd, bytes)) fail("cannot write", errno);
  if (flush && ::fsync(fd) != 0) fail("cannot write", errno);
  if (::close(fd) != 0) {
    const int e = errno;
    ::unlink(tmpl.c_str());
    throw EProjectError(fileName, 0, "cannot write: " + Errno(e));
  }
  if (::rename(tmpl.c_str(), target.c_str()) != 0) {
    const int e = errno;
    ::unlink(tmpl.c_str());
    throw EProjectError(fileName, 0, "cannot replace the file: " + Errno(e));
  }
  if (!flush) return;
  // Make the rename itself durable.
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

bool SyncFile(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  const fs::path target(fileName);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return false;
  const bool folderSynced = ::fsync(dfd) == 0;
  ::close(dfd);
  return synced && folderSynced;
}

}  // namespace qv

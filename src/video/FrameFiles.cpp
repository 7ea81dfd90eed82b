#include "video/FrameFiles.h"

#include "project/TextFile.h"
#include "raster/StreamBitmaps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace qv {

namespace {

// Scans a pattern: the number of integer fields and whether every "%" is understood.
bool ScanPattern(const std::string& p, int& fields) {
  fields = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] != '%') continue;
    ++i;
    if (i < p.size() && p[i] == '%') continue;
    if (i < p.size() && p[i] == '0') ++i;
    std::size_t digits = 0;
    while (i < p.size() && std::isdigit(static_cast<unsigned char>(p[i]))) {
      ++i;
      ++digits;
    }
    if (digits > 2 || i >= p.size() || p[i] != 'd') return false;
    ++fields;
  }
  return true;
}

}  // namespace

bool IsValidFramePattern(const std::string& p) {
  int fields = 0;
  return ScanPattern(p, fields) && fields == 1;
}

std::string FormatFramePattern(const std::string& p, int frame) {
  std::string out;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] != '%') {
      out += p[i];
      continue;
    }
    ++i;
    if (i < p.size() && p[i] == '%') {
      out += '%';
      continue;
    }
    bool zero = false;
    if (i < p.size() && p[i] == '0') {
      zero = true;
      ++i;
    }
    int width = 0;
    while (i < p.size() && std::isdigit(static_cast<unsigned char>(p[i]))) width = width * 10 + (p[i++] - '0');
    // p[i] is the 'd'
    char buf[64];
    std::snprintf(buf, sizeof buf, zero ? "%0*d" : "%*d", width, frame);
    out += buf;
  }
  return out;
}

namespace {

void WriteFrameFile(const TmemoryBitmap& bmp, const std::string& fileName, bool tga, bool flush) {
  const std::vector<std::uint8_t> bytes = tga ? bmp.TgaBytes() : TStreamedBitmap::StraightAlphaPng(bmp);
  WriteFileAtomically(fileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), flush);
}

}  // namespace

void WriteFrame(const TmemoryBitmap& bmp, const std::string& fileName, bool tga) {
  WriteFrameFile(bmp, fileName, tga, true);
}

void TFrameWriter::Write(const TmemoryBitmap& bmp, const std::string& fileName, bool tga) {
  WriteFrameFile(bmp, fileName, tga, false);
  std::string folder = std::filesystem::path(fileName).parent_path().string();
  if (folder.empty()) folder = ".";
  if (folder == fLastFolder) return;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return;  // it was written there a moment ago
  if (std::none_of(fUnflushed.begin(), fUnflushed.end(), [&](const auto& u) { return u.first == st.st_dev; }))
    fUnflushed.emplace_back(st.st_dev, folder);
  fLastFolder = std::move(folder);
}

void TFrameWriter::Flush() {
  std::vector<std::pair<dev_t, std::string>> folders;
  folders.swap(fUnflushed);
  fLastFolder.clear();
  for (const auto& [device, folder] : folders) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int failure = fd < 0 ? errno : 0;
    if (fd >= 0) {
      if (::syncfs(fd) != 0) failure = errno;
      ::close(fd);
    }
    if (failure != 0) {
      throw std::runtime_error(folder + ": the frames written there could not be flushed to the disk: " +
                               std::strerror(failure));
    }
  }
}

}  // namespace qv

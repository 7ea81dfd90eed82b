#include "video/FrameFiles.h"

#include "project/TextFile.h"
#include "raster/StreamBitmaps.h"

#include <cctype>
#include <cstdio>
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

void WriteFrame(const TmemoryBitmap& bmp, const std::string& fileName, bool tga) {
  const std::vector<std::uint8_t> bytes = tga ? bmp.TgaBytes() : TStreamedBitmap::StraightAlphaPng(bmp);
  WriteFileAtomically(fileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace qv

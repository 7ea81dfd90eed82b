#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace qv::fuzz {

void Fail(const std::string& what) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int n;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;  // truncated sequence
    for (int k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

namespace {
std::string gFolder;
void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(gFolder, ec);
}
}  // namespace

const std::string& ScratchFolder() {
  if (gFolder.empty()) {
    std::string tmpl = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/qv-fuzz-XXXXXX" : "/tmp/qv-fuzz-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) Fail("cannot make a scratch folder");
    gFolder = tmpl;
    std::atexit(RemoveFolder);
  }
  return gFolder;
}

}  // namespace qv::fuzz

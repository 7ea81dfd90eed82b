#include "crawlinput/PlainText.h"

#include "base/Utf8.h"
#include "project/TextFile.h"

namespace qv {

namespace {

// Walks UTF-8 strictly (no overlong forms, no surrogates, nothing above U+10FFFF). Returns whether
// all of it was valid; with out, writes the text with every invalid byte replaced by U+FFFD.
bool CheckUtf8(std::string_view b, std::string* out) {
  bool valid = true;
  std::size_t i = 0;
  const std::size_t n = b.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(b[i]);
    std::size_t len = 0;
    if (c < 0x80) {
      len = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
    }
    bool ok = len > 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      ok = (static_cast<unsigned char>(b[i + k]) & 0xC0) == 0x80;
    }
    if (ok && len >= 3) {
      const auto d = static_cast<unsigned char>(b[i + 1]);
      if (c == 0xE0 && d < 0xA0) ok = false;        // overlong
      if (c == 0xED && d >= 0xA0) ok = false;       // a surrogate
      if (c == 0xF0 && d < 0x90) ok = false;        // overlong
      if (c == 0xF4 && d >= 0x90) ok = false;       // above U+10FFFF
    }
    if (!ok) {
      valid = false;
      if (out == nullptr) return false;
      AppendUtf8(*out, 0xFFFD);
      ++i;
      continue;
    }
    if (out != nullptr) out->append(b.substr(i, len));
    i += len;
  }
  return valid;
}

// Windows-1252 bytes 0x80..0x9F; the five it leaves undefined stay the C1 controls of their
// number, as Windows decodes them. 0xA0..0xFF are Latin-1.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string Windows1252ToUtf8(std::string_view b) {
  std::string out;
  out.reserve(b.size() + b.size() / 2);
  for (const char ch : b) {
    const auto c = static_cast<unsigned char>(ch);
    AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kWindows1252[c - 0x80] : c);
  }
  return out;
}

}  // namespace

std::vector<std::string> DecodePlainTextLines(std::string_view bytes) {
  std::string text;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    CheckUtf8(bytes.substr(3), &text);
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    text = Utf16ToUtf8(bytes.substr(2), false, true);
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
    text = Utf16ToUtf8(bytes.substr(2), true, true);
  } else if (CheckUtf8(bytes, nullptr)) {
    text = std::string(bytes);
  } else {
    text = Windows1252ToUtf8(bytes);
  }
  return SplitLines(text);
}

std::vector<std::string> ReadPlainTextLines(const std::string& fileName) {
  return DecodePlainTextLines(ReadWholeFile(fileName, kMaxPlainTextBytes));
}

}  // namespace qv

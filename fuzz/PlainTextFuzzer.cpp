// Fuzz target: the decoding of plain-text files into lines: a project file's (byte-order marks,
// UTF-8, UTF-16) and a crawl text file's (the same, and Windows-1252 for bytes that are not
// UTF-8). No line may hold a line end, and a crawl's lines must be well-formed UTF-8 whatever the
// bytes were.
#include "FuzzSupport.h"
#include "crawlinput/PlainText.h"
#include "project/TextFile.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : qv::DecodeTextLines(bytes)) {
    if (line.find_first_of("\r\n") != std::string::npos) qv::fuzz::Fail("a project line holds a line end");
  }
  for (const std::string& line : qv::DecodePlainTextLines(bytes)) {
    if (line.find_first_of("\r\n") != std::string::npos) qv::fuzz::Fail("a crawl line holds a line end");
    if (!qv::fuzz::IsValidUtf8(line)) qv::fuzz::Fail("a crawl line is not UTF-8");
  }
  return 0;
}

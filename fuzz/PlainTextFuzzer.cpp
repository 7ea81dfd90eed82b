// Fuzz target: the decoding of a plain-text file into lines (byte-order marks, UTF-8, UTF-16,
// line ends), as project files and crawl text files are read. Every line must be free of line
// ends.
#include "FuzzSupport.h"
#include "project/TextFile.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = qv::DecodeTextLines(bytes);
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) qv::fuzz::Fail("a line holds a line end");
  }
  return 0;
}

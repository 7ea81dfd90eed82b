#pragma once
// Files for tests: whole files as bytes, and a fresh folder of a test's own that goes away with it.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

// The whole file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& File);
// A text from its lines, each ended with CR LF, as project files are written.
std::string Lines(std::initializer_list<std::string> Lines);
// Writes Bytes as the whole file; throws std::runtime_error when the file cannot be written.
void WriteBytes(const std::filesystem::path& File, std::string_view Bytes);
void WriteBytes(const std::filesystem::path& File, const std::vector<std::uint8_t>& Bytes);

// A new empty folder under the temporary directory, named after Prefix, the process, a count and
// the running test (so that parallel test programs and tests never share one), removed with all
// it holds when the object goes, also after a test made it or its files read-only.
class TTestDir {
 public:
  explicit TTestDir(std::string_view Prefix);
  ~TTestDir();
  TTestDir(const TTestDir&) = delete;
  TTestDir& operator=(const TTestDir&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  std::filesystem::path operator/(const std::filesystem::path& Name) const { return fPath / Name; }
  // Writes the file Name in the folder and returns its path.
  std::string Write(const std::string& Name, std::string_view Bytes) const;

 private:
  std::filesystem::path fPath;
};

}  // namespace qv::test

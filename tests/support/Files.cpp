#include "Files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace qv::test {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& File) {
  std::ifstream in(File, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& File, std::string_view Bytes) {
  std::ofstream out(File, std::ios::binary | std::ios::trunc);
  out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + File.string());
}

void WriteBytes(const fs::path& File, const std::vector<std::uint8_t>& Bytes) {
  WriteBytes(File, std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}

namespace {

std::string RunningTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return "none";
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';  // parameterised tests
  }
  return name;
}

}  // namespace

TTestDir::TTestDir(std::string_view Prefix) {
  static std::atomic<int> count{0};
  fPath = fs::temp_directory_path() / ("qv-" + std::string(Prefix) + "-" + std::to_string(::getpid()) + "-" +
                                       std::to_string(count++) + "-" + RunningTestName());
  fs::remove_all(fPath);
  fs::create_directories(fPath);
}

TTestDir::~TTestDir() {
  std::error_code ec;
  fs::permissions(fPath, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(fPath, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(fPath, ec);
}

std::string TTestDir::Write(const std::string& Name, std::string_view Bytes) const {
  const fs::path p = fPath / Name;
  WriteBytes(p, Bytes);
  return p.string();
}

std::string Lines(std::initializer_list<std::string> Lines) {
  std::string s;
  for (const std::string& l : Lines) s += l + "\r\n";
  return s;
}

}  // namespace qv::test

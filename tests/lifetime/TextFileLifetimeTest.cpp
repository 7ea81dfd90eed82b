// A text file that changes or disappears while it is being read: every read gives either the
// lines of some state of the file (a rewrite caught half-way gives a cut last line) or the file
// error naming it; nothing else, no crash, no hang.
#include "crawlinput/PlainText.h"
#include "project/ProjectError.h"
#include "project/TextFile.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>


namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(TextFileLifetime, FileRewrittenAndRemovedWhileItIsRead) {
  const test::TTestDir dir("lifetime-text");
  const fs::path file = dir / "crawl.txt";
  const std::string alpha = "alpha item";
  const std::string beta = "beta item";
  auto contents = [](const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line + "\r\n";
    return s;
  };
  { std::ofstream(file, std::ios::binary) << contents(alpha, 200); }

  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  // The other side: rewrites the file in place (readers may catch it half written), replaces it
  // by renaming, and removes it, over and over.
  std::thread writer([&] {
    const fs::path tmp = dir / "crawl.tmp";
    for (int i = 0; !stop.load(); ++i) {
      switch (i % 3) {
        case 0: {
          std::ofstream out(file, std::ios::binary | std::ios::trunc);
          out << contents(beta, 150);
          break;
        }
        case 1: {
          { std::ofstream(tmp, std::ios::binary) << contents(alpha, 200); }
          std::error_code ec;
          fs::rename(tmp, file, ec);
          break;
        }
        default: {
          std::error_code ec;
          fs::remove(file, ec);
          break;
        }
      }
      rounds.fetch_add(1);
    }
  });

  int read = 0;
  int missing = 0;
  for (int i = 0; i < 3000 || rounds.load() < 30; ++i) {
    try {
      // As a project file is read, and as a crawl reads its text file.
      const std::vector<std::string> lines = i % 2 == 0 ? ReadTextLines(file.string()) : ReadPlainTextLines(file.string());
      ++read;
      for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string& l = lines[k];
        const bool whole = l == alpha || l == beta;
        const bool cut = k + 1 == lines.size() && (alpha.rfind(l, 0) == 0 || beta.rfind(l, 0) == 0);
        ASSERT_TRUE(whole || cut) << "line " << k << " of " << lines.size() << ": \"" << l << "\"";
      }
    } catch (const EProjectError& e) {
      ++missing;
      ASSERT_EQ(e.FileName(), file.string());
    }
  }
  stop = true;
  writer.join();
  EXPECT_GT(read, 0);
}

}  // namespace
}  // namespace qv

// Crawl layers and compositions going away, or being loaded over, while the crawls' workers
// render; and crawl files that change or disappear while a worker reads them. Runs on the fake
// text engines of the crawl tests (no Qt, so ThreadSanitizer sees every access) under
// ThreadSanitizer and AddressSanitizer in CI: no race, no use after free, no leak, no hang.
#include "../crawl/CrawlFakes.h"
#include "composition/RollLayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace qv::test {
namespace {

std::string ManyLines(int n, const std::string& word) {
  std::string s;
  for (int i = 0; i < n; ++i) s += word + " " + std::to_string(i) + "\r\n";
  return s;
}

// The same items as an RTF file, so the worker goes through the shared rich-text engine.
std::string ManyParagraphs(int n, const std::string& word) {
  std::string s = "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs24 ";
  for (int i = 0; i < n; ++i) s += word + " " + std::to_string(i) + "\\par\n";
  return s + "}";
}

bool AnyRendering(const TQVSystem& sys) {
  for (const auto& l : sys.Layers) {
    if (auto* r = dynamic_cast<TRollLayer*>(l.get()); r != nullptr && r->Rendering()) return true;
  }
  return false;
}

class CrawlLifetime : public ::testing::Test {
 protected:
  TTestDir dir{"crawl"};
  const std::string plain = dir.Write("crawl.txt", ManyLines(120, "plain"));
  const std::string rich = dir.Write("crawl.rtf", ManyParagraphs(120, "rich"));

  // Roll layers reading both files, their workers started by a frame and slowed down so that they
  // are still rendering when the test strikes.
  void AddRunningCrawls(TCrawlScene& s, int count) {
    s.renderer.DelayMicroseconds = 200;
    for (int i = 0; i < count; ++i) {
      TRollLayer& r = s.NewRoll();
      r.SetTextFile(i % 2 == 0 ? plain : rich);
      r.SetY(40 * i);
    }
    s.sys->DrawAll(nullptr);
    s.ticks.Advance(40);
  }

  // A project of Count crawls over the two files.
  std::string Project(int count) {
    std::string text = "\tObject '':TQVSystem\r\n\tEnd\r\n";
    for (int i = 0; i < count; ++i) {
      text += "\tObject '':TRollLayer\r\n\t\tTextFile = " + std::string(i % 2 == 0 ? plain : rich) +
              "\r\n\t\tSpeed = 8\r\n\t\tY = " + std::to_string(60 * i) + "\r\n\tEnd\r\n";
    }
    return dir.Write("crawls.QV", text);
  }
};

TEST_F(CrawlLifetime, DeleteKeyWhileWorkersRender) {
  TCrawlScene s;
  for (int round = 0; round < 6; ++round) {
    AddRunningCrawls(s, 4);
    ASSERT_TRUE(AnyRendering(*s.sys)) << round;
    // Delete them one by one with the key, top first, drawing between the deletions.
    while (!s.sys->Layers.empty()) {
      s.sys->SetSelectedLayer(s.sys->Layers.back().get());
      std::uint16_t key = VK_DELETE;
      s.sys->KeyDown(key, 0);
      s.sys->DrawAll(nullptr);
    }
    EXPECT_EQ(s.renderer.InFlight.load(), 0) << round;
  }
}

TEST_F(CrawlLifetime, LoadingAProjectOverRunningCrawls) {
  TCrawlScene s;
  const std::string project = Project(3);
  AddRunningCrawls(s, 2);
  for (int round = 0; round < 4; ++round) {
    ASSERT_TRUE(AnyRendering(*s.sys)) << round;
    // Loading adds to what runs; opening a project as the editor does takes the old layers out
    // first, while their workers are still busy.
    s.sys->LoadFromFile(project);
    s.sys->DrawAll(nullptr);
    if (round % 2 == 1) {
      while (s.sys->Layers.size() > 3) s.sys->DeleteLayer(s.sys->Layers.front().get());
      s.sys->LoadFromFile(project);
      s.sys->DrawAll(nullptr);
    }
  }
  // Every crawl left comes to show its strips.
  s.renderer.DelayMicroseconds = 0;
  for (const auto& l : s.sys->Layers) {
    auto& r = dynamic_cast<TRollLayer&>(*l);
    r.PrepareStrips();
    EXPECT_EQ(r.working.size(), 120u);
  }
}

TEST_F(CrawlLifetime, DestroyingTheCompositionWhileWorkersRender) {
  for (int round = 0; round < 6; ++round) {
    TCrawlScene s;
    AddRunningCrawls(s, 4);
    ASSERT_TRUE(AnyRendering(*s.sys)) << round;
    s.sys.reset();
    EXPECT_EQ(s.renderer.InFlight.load(), 0) << round;
  }
}

// The crawl files are rewritten in place (a worker may read half a file), replaced by renaming
// and removed, over and over, while the crawls restart and read them again. When the files settle
// every crawl shows the settled items.
TEST_F(CrawlLifetime, FilesThatChangeOrDisappearWhileWorkersReadThem) {
  TCrawlScene s;
  s.renderer.DelayMicroseconds = 20;
  AddRunningCrawls(s, 2);
  s.renderer.DelayMicroseconds = 20;
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const std::string tmp = (dir / "next.tmp").string();
    for (int i = 0; !stop.load(); ++i) {
      const bool rtf = i % 2 == 1;
      const std::string& file = rtf ? rich : plain;
      const int n = 5 + i % 40;
      const std::string text = rtf ? ManyParagraphs(n, "changed") : ManyLines(n, "changed");
      switch (i % 3) {
        case 0:
          std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
          break;
        case 1: {
          std::ofstream(tmp, std::ios::binary | std::ios::trunc) << text;
          std::error_code ec;
          std::filesystem::rename(tmp, file, ec);
          break;
        }
        default: {
          std::error_code ec;
          std::filesystem::remove(file, ec);
          break;
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  // The crawls are restarted again and again: a fast crawl passes quickly and reads its file
  // anew, and setting the file asks for a new render at once.
  for (int i = 0; i < 400; ++i) {
    if (i % 25 == 0) {
      for (const auto& l : s.sys->Layers) {
        auto& r = dynamic_cast<TRollLayer&>(*l);
        r.SetSpeed(100);
        r.SetTextFile(r.TextFile());
      }
    }
    s.sys->DrawAll(nullptr);
    s.ticks.Advance(1100);  // past the retry pause of a file that could not be read
  }
  stop = true;
  writer.join();

  // Settled: both files hold 7 items.
  std::ofstream(plain, std::ios::binary | std::ios::trunc) << ManyLines(7, "final");
  std::ofstream(rich, std::ios::binary | std::ios::trunc) << ManyParagraphs(7, "final");
  s.renderer.DelayMicroseconds = 0;
  for (const auto& l : s.sys->Layers) {
    auto& r = dynamic_cast<TRollLayer&>(*l);
    r.WaitForWorker();  // a render begun before the files settled
    r.SetTextFile(r.TextFile());
    r.PrepareStrips();
    EXPECT_EQ(r.working.size(), 7u) << r.TextFile();
  }
}

}  // namespace
}  // namespace qv::test

// Two pages with animated layers drawn on two threads at once: each page has its own registry
// and undo engine, so neither sees the other's tracks and no lock is needed between them. Every
// frame equals the same page drawn alone. Runs on the fake text engine (no Qt), so
// ThreadSanitizer sees every access.
#include "../crawl/TextFakes.h"
#include "composition/QvSystem.h"
#include "platform/Clock.h"
#include "raster/Bitmap.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {
namespace {

constexpr int kFrames = 500;

std::uint64_t Fnv1a(const TmemoryBitmap& b) {
  std::uint64_t h = 1469598103934665603ull;
  const std::size_t n = static_cast<std::size_t>(b.Width()) * static_cast<std::size_t>(b.Height()) * 4;
  for (std::size_t i = 0; i < n; ++i) h = (h ^ b.Bits[i]) * 1099511628211ull;
  return h;
}

// A picture of W x H in one colour with a ramp of alpha, so that opacity and position show.
std::string Picture(const TTestDir& dir, const std::string& name, int w, int h, std::uint8_t shade) {
  TmemoryBitmap b(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b.Bits + (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4;
      const auto a = static_cast<std::uint8_t>(64 + (x * 191) / std::max(1, w - 1));
      p[0] = static_cast<std::uint8_t>(shade * a / 255);
      p[1] = static_cast<std::uint8_t>((255 - shade) * a / 255);
      p[2] = static_cast<std::uint8_t>(a / 2);
      p[3] = a;
    }
  }
  const std::string path = (dir / name).string();
  b.SaveTga(path);
  return path;
}

// A 200 x 120 page: two pictures and a text, each with tracks of its own (position, opacity,
// width, font size), differing between the two pages by Shift.
std::string Project(const TTestDir& dir, const std::string& name, int shift) {
  const std::string a = Picture(dir, name + "-a.tga", 40, 30, static_cast<std::uint8_t>(40 + shift));
  const std::string b = Picture(dir, name + "-b.tga", 24, 24, static_cast<std::uint8_t>(200 - shift));
  const std::string s = std::to_string(shift);
  std::string t = "\tObject '':TQVSystem\r\n\t\tWidth = 200\r\n\t\tHeight = 120\r\n\tEnd\r\n";
  t += "\tObject '':TImageLayer\r\n\t\tFileName = " + a +
       "\r\n\t\tlayerName = a\r\n\t\tOpacity = 255\r\n\t\tAnim0 PingPong 0 40.0000 97 255.0000 \r\n\t\tX = 0\r\n"
       "\t\tAnim0 Loop 0 -40.0000 123 200.0000 \r\n\t\tY = " + s + "\r\n\t\tWidth = 40\r\n"
       "\t\tAnim0 PingPong 0 20.0000 61 90.0000 \r\n\t\tHeight = 30\r\n\t\tLayerIN = 0\r\n\t\tDuration = 1000\r\n\tEnd\r\n";
  t += "\tObject '':TImageLayer\r\n\t\tFileName = " + b +
       "\r\n\t\tlayerName = b\r\n\t\tOpacity = 200\r\n\t\tX = 150\r\n\t\tAnim0 PingPong 0 150.0000 " +
       std::to_string(70 + shift) + " -10.0000 \r\n\t\tY = 60\r\n\t\tAnim0 Cycle 0 60.0000 45 " +
       std::to_string(10 + shift) + ".0000 \r\n\t\tWidth = 24\r\n\t\tHeight = 24\r\n\t\tLayerIN = 0\r\n\t\tDuration = 1000\r\n\tEnd\r\n";
  t += "\tObject '':TTextLayer\r\n\t\tText = page " + name +
       "\r\n\t\tlayerName = caption\r\n\t\tX = 10\r\n\t\tY = 80\r\n\t\tLayerIN = 0\r\n\t\tDuration = 1000\r\n"
       "\t\tObject 'Font':TTextFont\r\n\t\t\tFontSize = 12\r\n\t\t\tAnim0 PingPong 0 12.0000 " +
       std::to_string(40 + shift) + " 30.0000 \r\n\t\tEnd\r\n\tEnd\r\n";
  return dir.Write(name + ".QV", t);
}

// One page with its own services, drawn frame after frame into its work image.
struct Page {
  TFakeTextRenderer text;
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys;
  explicit Page(const std::string& file) {
    sys = Make<TQVSystem>(TQVSystem::kStandardWidth, TQVSystem::kStandardHeight,
                          TCompositionContext{.TextRenderer = &text, .Ticks = &ticks}, true);
    sys->LoadFromFile(file);
  }
  std::vector<std::uint64_t> Draw() {
    std::vector<std::uint64_t> frames;
    frames.reserve(kFrames);
    for (int f = 0; f < kFrames; ++f) {
      sys->work->Fill(0);
      sys->Render(f, *sys->work);
      frames.push_back(Fnv1a(*sys->work));
    }
    return frames;
  }
};

TEST(PagesOnThreads, TwoAnimatedPagesOnTwoThreadsDrawWhatEachDrawsAlone) {
  TTestDir dir("pages-on-threads");
  const std::string fileA = Project(dir, "first", 0);
  const std::string fileB = Project(dir, "second", 17);

  std::vector<std::uint64_t> aloneA, aloneB;
  {
    Page a(fileA);
    ASSERT_EQ(a.sys->Layers.size(), 3u);
    ASSERT_EQ(a.sys->work->Width(), 200);
    aloneA = a.Draw();
  }
  {
    Page b(fileB);
    aloneB = b.Draw();
  }
  // The two pages differ, and each moves: a shared registry would show in either.
  ASSERT_NE(aloneA, aloneB);
  ASSERT_NE(aloneA[0], aloneA[50]);

  std::vector<std::uint64_t> sideA, sideB;
  // Each page is made, loaded, drawn and freed by its own thread.
  std::thread ta([&] { sideA = Page(fileA).Draw(); });
  std::thread tb([&] { sideB = Page(fileB).Draw(); });
  ta.join();
  tb.join();
  ASSERT_EQ(sideA.size(), static_cast<std::size_t>(kFrames));
  for (int f = 0; f < kFrames; ++f) {
    ASSERT_EQ(sideA[f], aloneA[f]) << "first page, frame " << f;
    ASSERT_EQ(sideB[f], aloneB[f]) << "second page, frame " << f;
  }
}

}  // namespace
}  // namespace qv::test

#include "CrawlFakes.h"

#include <algorithm>
#include <fstream>
#include <random>

namespace qv::test {

TCrawlScene::TCrawlScene() {
  sys = Make<TQVSystem>(768, 576, TCompositionContext{.TextRenderer = &renderer, .RichEdit = &engine, .Ticks = &ticks},
                        true);
  sys->OnMediaProblem = [this](const std::string& m) { problems.push_back(m); };
}

TCrawlScene::~TCrawlScene() { sys.reset(); }

TRollLayer& TCrawlScene::NewRoll() { return sys->NewLayer<TRollLayer>(); }

void TCrawlScene::Frame(TRollLayer& L) {
  target.Fill(0);
  target.SetFactor(255);
  L.Advance(0);
  L.DrawLayer(target, 0);
  ticks.Advance(40);
}

TTempDir::TTempDir() {
  std::random_device rd;
  Dir = std::filesystem::temp_directory_path() / ("qv-crawl-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(Dir);
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(Dir, ec);
}

std::string TTempDir::Write(const std::string& Name, const std::string& Bytes) const {
  const std::filesystem::path p = Dir / Name;
  std::ofstream(p, std::ios::binary) << Bytes;
  return p.string();
}

TInkSpan InkColumns(const TmemoryBitmap& B, int Parity) {
  TInkSpan s;
  for (int y = Parity; y < B.Height(); y += 2) {
    for (int x = 0; x < B.Width(); ++x) {
      if ((B.Pixel(x, y) >> 24) == 0) continue;
      if (s.Left < 0 || x < s.Left) s.Left = x;
      s.Right = std::max(s.Right, x);
    }
  }
  return s;
}

}  // namespace qv::test

#include "CrawlFakes.h"

#include <algorithm>

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

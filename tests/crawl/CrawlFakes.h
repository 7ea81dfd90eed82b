#pragma once
// The crawl tests' scene: a composition with the fake engines and a manual tick count, and where
// ink lies in a frame. Their files go to a TTestDir (support/Files.h).
#include "TextFakes.h"
#include "composition/QvSystem.h"
#include "composition/RollLayer.h"
#include "platform/Clock.h"
#include "support/Files.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qv::test {

// A composition of 768 x 576 with a manual tick count and the fake text engines.
struct TCrawlScene {
  TFakeTextRenderer renderer;
  TFakeRichEdit engine;
  TManualTickSource ticks;
  std::vector<std::string> problems;
  std::unique_ptr<TQVSystem> sys;
  TCrawlScene();
  ~TCrawlScene();
  TRollLayer& NewRoll();
  // Advances L by one frame, draws it onto a fresh transparent target (kept in `target`) and
  // moves the ticks 40 ms.
  void Frame(TRollLayer& L);
  TmemoryBitmap target{768, 576};
};

// The leftmost and rightmost inked column among the rows of one parity (-1 when none).
struct TInkSpan {
  int Left = -1;
  int Right = -1;
};
TInkSpan InkColumns(const TmemoryBitmap& B, int Parity);

}  // namespace qv::test

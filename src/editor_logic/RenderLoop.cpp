#include "editor_logic/RenderLoop.h"

#include "composition/ClockLayer.h"
#include "composition/RollLayer.h"

#include <algorithm>

namespace qv {

void RenderEditorFrame(TQVSystem& Sys, const TmemoryBitmap& Checkerboard, bool CheckerboardOpaque) {
  TmemoryBitmap* work = Sys.work.get();
  if (work == nullptr) return;
  work->SetFactor(255);
  if (CheckerboardOpaque) {
    Checkerboard.CopyRectTo(*work, 0, 0, std::min(work->Width(), Checkerboard.Width()),
                            std::min(work->Height(), Checkerboard.Height()), 0, 0);
  } else {
    work->Blend(0, 0, Checkerboard, 0, 0, work->Width(), work->Height());
  }
  Sys.DrawAll(nullptr);
  Sys.DrawEditor();
}

bool IsOpaque(const TmemoryBitmap& Bmp) {
  std::uint8_t all = 0xFF;
  for (int y = 0; y < Bmp.Height(); ++y) {
    const std::uint8_t* p = Bmp.PixelPtr(0, y);
    for (int x = 0; x < Bmp.Width(); ++x) all &= p[x * 4 + 3];
  }
  return all == 0xFF;
}

bool NeedsContinuousFrames(const TQVSystem& Sys) {
  for (const auto& layer : Sys.Layers) {
    if (!layer->Visible()) continue;
    // A chronometer counts with the frame, which holds while nobody plays it.
    const auto* clock = dynamic_cast<const TClockLayer*>(layer.get());
    if ((clock != nullptr && clock->ClockType() == ctTimer) || dynamic_cast<const TRollLayer*>(layer.get()) != nullptr) {
      return true;
    }
  }
  return false;
}

}  // namespace qv

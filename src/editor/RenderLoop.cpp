#include "editor/RenderLoop.h"

#include "composition/ClockLayer.h"
#include "composition/RollLayer.h"

namespace qv {

void RenderEditorFrame(TQVSystem& Sys, const TmemoryBitmap& Checkerboard) {
  TmemoryBitmap* work = Sys.work.get();
  if (work == nullptr) return;
  work->SetFactor(255);
  work->Blend(0, 0, Checkerboard, 0, 0, work->Width(), work->Height());
  Sys.DrawAll(nullptr);
  Sys.DrawEditor();
}

bool NeedsContinuousFrames(const TQVSystem& Sys) {
  for (const auto& layer : Sys.Layers) {
    if (!layer->Visible()) continue;
    if (dynamic_cast<const TClockLayer*>(layer.get()) != nullptr ||
        dynamic_cast<const TRollLayer*>(layer.get()) != nullptr) {
      return true;
    }
  }
  return false;
}

}  // namespace qv

#include "video/FrameRenderer.h"

#include "composition/RollLayer.h"

#include <algorithm>

namespace qv::video {

TFrameRenderer::TFrameRenderer(TQVSystem& sys, TManualTickSource& ticks, TFixedTimeOfDay* timeOfDay)
    : fSys(sys), fTicks(ticks), fTimeOfDay(timeOfDay) {}

void TFrameRenderer::Prepare() {
  fCrawls.clear();
  for (const auto& layer : fSys.Layers) {
    if (auto* roll = dynamic_cast<TRollLayer*>(layer.get())) fCrawls.push_back(roll);
  }
  PrepareStrips(fCrawls);
}

void TFrameRenderer::AdvanceTo(int frame) {
  if (fShown && frame <= *fShown) return;
  int f = fShown ? *fShown + 1 : std::min(frame, 0);
  if (fCrawls.empty() && f < frame) {
    // Only crawls remember the frames they were shown in: the rest stands at `frame` as it
    // would after every frame before it.
    const std::int64_t skipped = std::int64_t(frame) - f;
    MoveClocks(skipped * kMsPerFrame);
    fSys.lasttick = fTicks.TickCount();
    f = frame;
  }
  for (;; ++f) {
    if (fShown) MoveClocks(kMsPerFrame);
    fSys.frame = f;
    fSys.Advance();
    if (OnAdvanced) OnAdvanced();
    // A crawl that starts over renders its file again: the next frame waits for it, as a
    // playout that is not in a hurry would.
    for (TRollLayer* roll : fCrawls) roll->WaitForWorker();
    fShown = f;
    if (f == frame) break;  // frame may be INT_MAX
  }
}

void TFrameRenderer::MoveClocks(std::int64_t ms) {
  fTicks.Advance(static_cast<std::uint32_t>(ms));
  if (fTimeOfDay) fTimeOfDay->Advance(ms);
}

const TmemoryBitmap& TFrameRenderer::Compose(int frame, const TmemoryBitmap* underlay) {
  TmemoryBitmap& work = *fSys.work;
  if (underlay != nullptr) {
    work.SetFactor(255);
    work.Blend(0, 0, *underlay, 0, 0, work.Width(), work.Height());
  } else {
    work.Fill(0);
  }
  AdvanceTo(frame);
  fSys.Render(frame, work);
  return work;
}

}  // namespace qv::video

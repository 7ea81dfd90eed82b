#pragma once
// The editor's frame: the checkerboard, the composition's current frame and the editing overlay,
// composed into the composition's work image, which the work area shows as it is. Frames come at
// most every 40 ms, and only while something can change: a page with a clock or a crawl moves on
// its own and keeps 25 frames per second; any other page is drawn again when it was touched.
#include "composition/QvSystem.h"
#include "base/FrameRate.h"
#include "platform/Clock.h"

#include <cstdint>
#include <vector>

namespace qv {

inline constexpr std::uint32_t kFrameIntervalMs = kMsPerFrame;

// One frame into Sys.work: the checkerboard blended over the whole image (copied, when it is
// opaque, which gives the same pixels), then DrawAll and DrawEditor. Nothing happens without a
// work image.
void RenderEditorFrame(TQVSystem& Sys, const TmemoryBitmap& Checkerboard, bool CheckerboardOpaque = false);

// Whether every pixel of Bmp has alpha 255.
bool IsOpaque(const TmemoryBitmap& Bmp);

// Whether the page changes with nothing touched: a time-of-day clock or a crawl that shows.
bool NeedsContinuousFrames(const TQVSystem& Sys);

// When the next frame may come: at most one every kFrameIntervalMs.
class TFramePacer {
 public:
  // Whether a frame may be drawn at Now (always the first time).
  bool Due(std::uint32_t Now) const { return !fStarted || Now - fLast >= kFrameIntervalMs; }
  // Milliseconds until a frame may be drawn (0 when it may be now).
  std::uint32_t MsUntilDue(std::uint32_t Now) const {
    return Due(Now) ? 0 : kFrameIntervalMs - (Now - fLast);
  }
  void Rendered(std::uint32_t Now) {
    fLast = Now;
    fStarted = true;
  }

 private:
  std::uint32_t fLast = 0;
  bool fStarted = false;
};

// The tick count the editor's composition sees: the machine's, less the spans in which the editor
// drew nothing because nothing changed. A page left alone is not "paused" (which would send the
// composition back to frame 0 under the ruler's playhead); a handler that holds the window for
// more than two seconds still is.
class TEditorTicks final : public TTickSource {
 public:
  explicit TEditorTicks(TTickSource& Machine) : fMachine(Machine) {}
  std::uint32_t TickCount() override {
    return fMachine.TickCount() - fIdle - (fSleeping ? fMachine.TickCount() - fSleptAt : 0);
  }
  // The editor stops drawing until something changes.
  void Sleep() {
    if (fSleeping) return;
    fSleeping = true;
    fSleptAt = fMachine.TickCount();
  }
  // It draws again; the span since Sleep is left out of the count.
  void Wake() {
    if (!fSleeping) return;
    fSleeping = false;
    fIdle += fMachine.TickCount() - fSleptAt;
  }
  bool Sleeping() const { return fSleeping; }

 private:
  TTickSource& fMachine;
  std::uint32_t fIdle = 0;
  std::uint32_t fSleptAt = 0;
  bool fSleeping = false;
};

}  // namespace qv

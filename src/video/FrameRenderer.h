#pragma once
// Frames of a composition as a playout makes them: the page starts at frame 0, every frame before
// the one asked for is advanced (not drawn), and the clocks move on 40 ms a frame. Shared by
// qvrender's commands and the export.
#include "composition/QvSystem.h"
#include "base/FrameRate.h"
#include "platform/Clock.h"
#include "raster/Bitmap.h"

#include <functional>
#include <optional>
#include <vector>

namespace qv {
class TRollLayer;
}

namespace qv::video {

class TFrameRenderer {
 public:
  // Sys must take its tick count from Ticks (and its time of day from TimeOfDay when one is
  // given), so that each frame moves them on by 40 ms.
  TFrameRenderer(TQVSystem& Sys, TManualTickSource& Ticks, TFixedTimeOfDay* TimeOfDay = nullptr);

  // After the project is loaded: finds the crawls and renders their strips before the first frame,
  // so that frames do not depend on how fast the workers are.
  void Prepare();

  // Moves the page on to Frame (frames before it are advanced, not drawn). Going back is not
  // possible: a frame at or before the last one shown leaves the page as it stands.
  void AdvanceTo(int Frame);

  // Frame into the work image, over transparent black or Underlay (the page's size, opaque).
  const TmemoryBitmap& Compose(int Frame, const TmemoryBitmap* Underlay = nullptr);

  // The page starts again from its first frame at the next AdvanceTo (a batch's next row).
  void Restart() { fShown.reset(); }
  // Called after each frame's Advance, before the crawls are waited for.
  std::function<void()> OnAdvanced;

  // Whether the page draws field by field (crawls), so that its video is interlaced.
  bool HasFieldLayers() const { return !fCrawls.empty(); }
  const std::vector<TRollLayer*>& Crawls() const { return fCrawls; }
  TQVSystem& System() { return fSys; }

 private:
  void MoveClocks(std::int64_t Ms);

  TQVSystem& fSys;
  TManualTickSource& fTicks;
  TFixedTimeOfDay* fTimeOfDay;
  std::vector<TRollLayer*> fCrawls;
  std::optional<int> fShown;  // the last frame the page was advanced to
};

}  // namespace qv::video

#pragma once
// Live playout shared by qvrender play and serve: frames paced by a steady clock to 25 a second
// (dropped rather than sent late) and written as raw BGRA or YUV4MPEG to standard output or a
// file or FIFO. A consumer that stops reading never holds the program: the write waits only
// until SIGINT or SIGTERM (InstallStopSignals), which end it within a frame time.
#include "app/qvrender/Options.h"
#include "raster/Bitmap.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::render {

// SIGINT and SIGTERM set Flag and wake a write that waits for a stalled consumer. The handlers do
// not restart interrupted calls, so a write to a terminal returns too.
void InstallStopSignals(std::atomic<bool>& Flag);

struct TPlayoutTarget {
  std::string Output;  // "-" for standard output
  TStreamFormat Stream = TStreamFormat::sfRaw;
  std::string Background;          // --y4m: the picture under the frames
  std::optional<long long> Frames;  // stop after that many frame times
};

// Plays until Stop, Target.Frames or an error (which throws with a message naming the output).
// Frame(N) gives program frame N (rising, with gaps where frames were dropped) as a W x H
// premultiplied picture; OnDropped hears the running count of dropped frames. Answers the exit
// status.
int RunPlayout(const TPlayoutTarget& Target, int W, int H, bool Interlaced,
               const std::function<const TmemoryBitmap&(std::int64_t N)>& Frame, const std::atomic<bool>& Stop,
               const std::function<void(std::int64_t Dropped)>& OnDropped = {});

}  // namespace qv::render

#pragma once
// qvrender play: the page live, frame after frame, to standard output (or a file or FIFO), paced
// to 25 frames per second by a steady clock.
#include "app/qvrender/Options.h"
#include "video/FrameRenderer.h"

#include <atomic>

namespace qv::render {

// Runs until Stop, --frames or an error (which throws with a message). Returns the exit status.
int Play(const TOptions& Options, video::TFrameRenderer& Frames, const std::atomic<bool>& Stop);

}  // namespace qv::render

#pragma once
// The decoded frames of an image sequence too large to hold whole: the frame shown and those
// about to be shown, decoded ahead on a worker thread, and nothing else. Playback asks for a frame
// and names the frames that follow it; the worker decodes them in that order while the frame is
// on screen, so a frame is ready when its turn comes unless decoding is slower than playback.
#include "raster/StreamBitmaps.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class TFrameWindow {
 public:
  // Files in play order; Capacity: how many decoded frames may be held at once (at least 2).
  TFrameWindow(std::vector<std::string> Files, std::size_t Capacity);
  ~TFrameWindow();
  TFrameWindow(const TFrameWindow&) = delete;
  TFrameWindow& operator=(const TFrameWindow&) = delete;

  std::size_t Count() const { return fFiles.size(); }
  std::size_t Capacity() const { return fCapacity; }
  // Frame Index (decoded here and now when the worker has not got to it), never none: a file
  // that cannot be read gives an empty bitmap. Upcoming: the frames that will be asked for next,
  // in order. Frames that are neither are let go. The frame stays valid until the next call. Called
  // from one thread.
  const TStreamedBitmap& Frame(int Index, std::span<const int> Upcoming);
  // Frames decoded and held now.
  std::size_t Held() const;
  // What could not be read since the last call (each file once), naming the files.
  std::vector<std::string> TakeProblems();

 private:
  void Work();
  // Decodes file Index; an empty bitmap (and a problem) when it cannot be read.
  std::unique_ptr<TStreamedBitmap> Decode(int Index);

  const std::vector<std::string> fFiles;
  const std::size_t fCapacity;
  mutable std::mutex fMutex;
  std::condition_variable fChanged;
  std::vector<std::unique_ptr<TStreamedBitmap>> fSlots;  // by frame; none when not held
  std::vector<int> fWanted;                              // the frame shown, then those ahead
  std::vector<bool> fReported;
  std::vector<std::string> fProblems;
  int fInProgress = -1;  // the frame the worker is decoding
  bool fStop = false;
  std::thread fWorker;
};

}  // namespace qv

#include "composition/FrameWindow.h"

#include "composition/FrameLoader.h"

#include <algorithm>
#include <utility>

namespace qv {

TFrameWindow::TFrameWindow(std::vector<std::string> Files, std::size_t Capacity)
    : fFiles(std::move(Files)), fCapacity(std::max<std::size_t>(2, Capacity)), fSlots(fFiles.size()),
      fReported(fFiles.size(), false) {
  fWorker = std::thread([this] { Work(); });
}

TFrameWindow::~TFrameWindow() {
  {
    std::lock_guard lock(fMutex);
    fStop = true;
  }
  fChanged.notify_all();
  fWorker.join();
}

std::unique_ptr<TStreamedBitmap> TFrameWindow::Decode(int Index) {
  const std::string& file = fFiles[std::size_t(Index)];
  std::string problem;
  std::unique_ptr<TStreamedBitmap> frame;
  try {
    frame = LoadPremultiplied(file);
    if (frame->Empty()) problem = "\"" + file + "\": not an image that can be read; shown as an empty frame";
  } catch (const std::exception& e) {
    problem = e.what();
  } catch (...) {
    problem = "\"" + file + "\": cannot be read";
  }
  if (!frame) frame = std::make_unique<TStreamedBitmap>();
  if (!problem.empty()) {
    std::lock_guard lock(fMutex);
    if (!fReported[std::size_t(Index)]) {
      fReported[std::size_t(Index)] = true;
      fProblems.push_back(problem);
    }
  }
  return frame;
}

const TStreamedBitmap& TFrameWindow::Frame(int Index, std::span<const int> Upcoming) {
  Index = std::clamp(Index, 0, int(fFiles.size()) - 1);
  std::unique_lock lock(fMutex);
  fWanted.clear();
  fWanted.push_back(Index);
  for (int i : Upcoming) {
    if (fWanted.size() >= fCapacity) break;
    if (i >= 0 && std::size_t(i) < fFiles.size() && std::find(fWanted.begin(), fWanted.end(), i) == fWanted.end()) {
      fWanted.push_back(i);
    }
  }
  // Let go of what is not wanted; the frame being decoded is kept by the worker if still wanted.
  for (std::size_t i = 0; i < fSlots.size(); ++i) {
    if (fSlots[i] && std::find(fWanted.begin(), fWanted.end(), int(i)) == fWanted.end()) fSlots[i].reset();
  }
  fChanged.notify_all();
  while (!fSlots[std::size_t(Index)]) {
    if (fInProgress == Index) {
      fChanged.wait(lock);  // the worker has it in hand
      continue;
    }
    lock.unlock();
    std::unique_ptr<TStreamedBitmap> frame = Decode(Index);
    lock.lock();
    if (!fSlots[std::size_t(Index)]) fSlots[std::size_t(Index)] = std::move(frame);
  }
  return *fSlots[std::size_t(Index)];
}

void TFrameWindow::Work() {
  std::unique_lock lock(fMutex);
  for (;;) {
    int next = -1;
    for (int i : fWanted) {
      if (!fSlots[std::size_t(i)]) {
        next = i;
        break;
      }
    }
    if (fStop) return;
    if (next < 0) {
      fChanged.wait(lock);
      continue;
    }
    fInProgress = next;
    lock.unlock();
    std::unique_ptr<TStreamedBitmap> frame = Decode(next);
    lock.lock();
    fInProgress = -1;
    const bool wanted = std::find(fWanted.begin(), fWanted.end(), next) != fWanted.end();
    if (wanted && !fSlots[std::size_t(next)]) fSlots[std::size_t(next)] = std::move(frame);
    fChanged.notify_all();
  }
}

std::size_t TFrameWindow::Held() const {
  std::lock_guard lock(fMutex);
  return std::size_t(std::count_if(fSlots.begin(), fSlots.end(), [](const auto& s) { return s != nullptr; }));
}

std::vector<std::string> TFrameWindow::TakeProblems() {
  std::lock_guard lock(fMutex);
  return std::exchange(fProblems, {});
}

}  // namespace qv

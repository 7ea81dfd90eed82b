#include "serve/Program.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace qv::serve {

TProgram::TProgram(int width, int height) : fWidth(width), fHeight(height), fPicture(width, height) {}

TProgram::~TProgram() = default;

std::uint64_t TProgram::Take(int layer, std::string row, std::unique_ptr<TServePage> page) {
  std::lock_guard<std::mutex> hold(fLock);
  const std::uint64_t take = fNextTake++;
  fRequests.push_back({TRequest::rqTake, layer, take, std::move(row), std::move(page)});
  return take;
}

void TProgram::TakeOut(int layer) {
  std::lock_guard<std::mutex> hold(fLock);
  fRequests.push_back({TRequest::rqTakeOut, layer, 0, {}, nullptr});
}

void TProgram::Replace(int layer, std::uint64_t take, std::unique_ptr<TServePage> page) {
  std::lock_guard<std::mutex> hold(fLock);
  fRequests.push_back({TRequest::rqReplace, layer, take, {}, std::move(page)});
}

void TProgram::Release(std::unique_ptr<TServePage> page) {
  if (!page) return;
  std::lock_guard<std::mutex> hold(fLock);
  fReleased.push_back(std::move(page));
}

void TProgram::Carry(TRequest& r, std::int64_t n, bool& changed) {
  const auto at = fSlots.find(r.Layer);
  switch (r.Kind) {
    case TRequest::rqTake: {
      if (at != fSlots.end()) Release(std::move(at->second.Page));
      TSlot& slot = fSlots[r.Layer];
      slot.Page = std::move(r.Page);
      slot.Info = {r.Layer, std::move(r.Row), r.Take, n, false};
      slot.OutroFrom = slot.OutroEnd = -1;
      changed = true;
      break;
    }
    case TRequest::rqTakeOut: {
      if (at == fSlots.end() || at->second.Info.TakingOut) break;
      TSlot& slot = at->second;
      const int f = static_cast<int>(std::clamp<std::int64_t>(n - slot.Info.Since, 0, INT_MAX));
      const int outro = slot.Page->StartOutro(f);
      if (outro == 0) {
        Release(std::move(slot.Page));
        fSlots.erase(at);
      } else {
        slot.Info.TakingOut = true;
        slot.OutroFrom = f;
        slot.OutroEnd = f + outro - 1;
      }
      changed = true;
      break;
    }
    case TRequest::rqReplace: {
      if (at == fSlots.end() || at->second.Info.Take != r.Take) {
        Release(std::move(r.Page));  // that take has left the air meanwhile
        break;
      }
      TSlot& slot = at->second;
      Release(std::move(slot.Page));
      slot.Page = std::move(r.Page);
      if (slot.Info.TakingOut) slot.Page->StartOutro(slot.OutroFrom);
      break;
    }
  }
}

const TmemoryBitmap& TProgram::Frame(std::int64_t n) {
  std::vector<TRequest> requests;
  {
    std::lock_guard<std::mutex> hold(fLock);
    requests.swap(fRequests);
  }
  bool changed = false;
  for (TRequest& r : requests) Carry(r, n, changed);

  fPicture.Fill(0);
  for (auto it = fSlots.begin(); it != fSlots.end();) {
    TSlot& slot = it->second;
    const int f = static_cast<int>(std::clamp<std::int64_t>(n - slot.Info.Since, 0, INT_MAX));
    fPicture.SetFactor(255);
    fPicture.Blend(0, 0, slot.Page->Compose(f));
    if (slot.OutroEnd >= 0 && f >= slot.OutroEnd) {
      // The outro's last frame is out: the layer is empty from the next frame on.
      Release(std::move(slot.Page));
      it = fSlots.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }

  {
    std::lock_guard<std::mutex> hold(fLock);
    fLastFrame = n;
    fLastPicture.assign(fPicture.Bits, fPicture.Bits + fPicture.ByteSize());
    fPageFrames.clear();
    for (const auto& [layer, slot] : fSlots)
      fPageFrames[slot.Info.Take] = static_cast<int>(std::clamp<std::int64_t>(n - slot.Info.Since, 0, INT_MAX));
    if (changed) {
      fState.clear();
      for (const auto& [layer, slot] : fSlots) fState.push_back(slot.Info);
    }
  }
  if (changed && OnChanged) OnChanged();
  return fPicture;
}

std::vector<TOnAirLayer> TProgram::State() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fState;
}

int TProgram::PageFrame(std::uint64_t take) const {
  std::lock_guard<std::mutex> hold(fLock);
  const auto it = fPageFrames.find(take);
  return it == fPageFrames.end() ? -1 : it->second;
}

std::int64_t TProgram::LastFrame() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fLastFrame;
}

bool TProgram::CopyLastPicture(std::vector<std::uint8_t>& bgra, std::int64_t* frame) const {
  std::lock_guard<std::mutex> hold(fLock);
  if (fLastFrame < 0) return false;
  bgra = fLastPicture;
  if (frame != nullptr) *frame = fLastFrame;
  return true;
}

std::vector<std::unique_ptr<TServePage>> TProgram::Released() {
  std::vector<std::unique_ptr<TServePage>> pages;
  std::lock_guard<std::mutex> hold(fLock);
  pages.swap(fReleased);
  return pages;
}

}  // namespace qv::serve

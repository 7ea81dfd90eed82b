#include "animation/AnimationManager.h"

namespace qv {

TAnimationManager::TAnimationManager() { Anims[0].enabled = true; }

TAnimationManager::~TAnimationManager() {
  Procs.clear();
  animations.clear();
}

Tkeys* TAnimationManager::getAnimation(const void* Sender, bool ForceCreation, int aslot) {
  const int slot = aslot == -1 ? Slot % kAnimationSlots : aslot;
  if (slot < 0 || slot >= kAnimationSlots) return nullptr;
  auto it = animations.find(Sender);
  if (it == animations.end()) {
    if (!ForceCreation) return nullptr;
    it = animations.emplace(Sender, std::make_unique<TAnimRec>()).first;
    ++fRevision;
  }
  auto& entry = it->second->AnimationList[static_cast<std::size_t>(slot)];
  if (!entry && ForceCreation) {
    entry = std::make_unique<Tkeys>(std::string());
    it->second->Occupied = static_cast<std::uint16_t>(it->second->Occupied | (1u << slot));
  }
  return entry.get();
}

Tkeys* TAnimationManager::trygetAnimation(const void* Sender, int aSlot) const {
  const int slot = aSlot % kAnimationSlots;
  if (slot < 0) return nullptr;
  const TAnimRec* rec = Find(Sender);
  return rec ? rec->AnimationList[static_cast<std::size_t>(slot)].get() : nullptr;
}

const TAnimRec* TAnimationManager::Find(const void* Sender) const {
  auto it = animations.find(Sender);
  return it == animations.end() ? nullptr : it->second.get();
}

void TAnimationManager::Remove(const void* obj) {
  if (animations.erase(obj) != 0) ++fRevision;
}

void TAnimationManager::SetFrame(double f) {
  Frame = f;
  std::size_t i = 0;
  while (i < Procs.size()) {
    if (f >= static_cast<double>(Procs[i].Frame)) {
      TProcRec rec = Procs[i];
      Procs.erase(Procs.begin() + static_cast<std::ptrdiff_t>(i));
      if (rec.Proc) rec.Proc(rec.Data);
    } else {
      ++i;
    }
  }
}

void TAnimationManager::addProc(TAnimationProc P, std::int32_t aFrame, void* Data) {
  Procs.push_back({P, aFrame, Data});
}

}  // namespace qv

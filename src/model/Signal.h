#pragma once
// A hook with several listeners. Connect returns a TConnection that disconnects when it is
// destroyed, so a panel that listens goes away without leaving a dangling callback behind; a
// connection may also outlive its signal. Listeners run in the order they connected. A listener
// may connect or disconnect listeners (itself too) while the signal runs: one connected during a
// run is first called on the next one, one disconnected during a run is not called after that.
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qv {

namespace detail {
// What a connection shares with its listener's slot, and (weakly) with the signal.
struct TSignalSlotBase {
  bool Connected = true;
};
struct TSignalLife {};
}  // namespace detail

class TConnection {
 public:
  TConnection() = default;
  TConnection(std::weak_ptr<detail::TSignalLife> Life, std::shared_ptr<detail::TSignalSlotBase> Slot)
      : fLife(std::move(Life)), fSlot(std::move(Slot)) {}
  ~TConnection() { Disconnect(); }
  TConnection(TConnection&& Other) noexcept = default;
  TConnection& operator=(TConnection&& Other) noexcept {
    if (this != &Other) {
      Disconnect();
      fLife = std::move(Other.fLife);
      fSlot = std::move(Other.fSlot);
    }
    return *this;
  }
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  // Stops the listener; nothing when it is not connected or its signal is gone.
  void Disconnect() {
    if (fSlot) fSlot->Connected = false;
    fSlot.reset();
    fLife.reset();
  }
  bool Connected() const { return fSlot && fSlot->Connected && !fLife.expired(); }

 private:
  std::weak_ptr<detail::TSignalLife> fLife;
  std::shared_ptr<detail::TSignalSlotBase> fSlot;
};

template <class... Args>
class TSignal {
 public:
  using TListener = std::function<void(Args...)>;

  TSignal() = default;
  TSignal(const TSignal&) = delete;
  TSignal& operator=(const TSignal&) = delete;

  [[nodiscard]] TConnection Connect(TListener Listener) {
    if (fDepth == 0) Compact();
    auto slot = std::make_shared<TSlot>();
    slot->Listener = std::move(Listener);
    fSlots.push_back(slot);
    return TConnection(fLife, slot);
  }

  // Calls every connected listener in connection order.
  void operator()(Args... args) const {
    const std::size_t n = fSlots.size();  // listeners connected during this run wait for the next
    ++fDepth;
    struct Leave {
      const TSignal& s;
      ~Leave() {
        if (--s.fDepth == 0) s.Compact();
      }
    } leave{*this};
    for (std::size_t i = 0; i < n && i < fSlots.size(); ++i) {
      // Held while it runs: the listener may disconnect itself (and so drop its function).
      const std::shared_ptr<TSlot> slot = fSlots[i];
      if (slot->Connected && slot->Listener) slot->Listener(args...);
    }
  }

  bool Empty() const {
    for (const auto& s : fSlots) {
      if (s->Connected) return false;
    }
    return true;
  }
  std::size_t ListenerCount() const {
    std::size_t n = 0;
    for (const auto& s : fSlots) n += s->Connected ? 1 : 0;
    return n;
  }

 private:
  struct TSlot : detail::TSignalSlotBase {
    TListener Listener;
  };
  // Drops disconnected slots, never while a run walks the list.
  void Compact() const {
    std::erase_if(fSlots, [](const std::shared_ptr<TSlot>& s) { return !s->Connected; });
  }

  std::shared_ptr<detail::TSignalLife> fLife = std::make_shared<detail::TSignalLife>();
  mutable std::vector<std::shared_ptr<TSlot>> fSlots;
  mutable int fDepth = 0;
};

}  // namespace qv

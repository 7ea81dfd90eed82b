#pragma once
// A bounded stack of undo elements. A property-change element snapshots a property's value when
// it is pushed and applies the snapshot back through the property's setter when it is popped.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/BaseLib.h"

namespace qv {

class TUndoElement {
 public:
  virtual ~TUndoElement() = default;
  virtual void PushAction() = 0;  // records the state, once, when the element is pushed
  virtual void PopAction() = 0;   // restores it
};

class TPropertyChangedElement : public TUndoElement {
 public:
  explicit TPropertyChangedElement(TBaseProperty* Obj);

  TBaseProperty* AObject() const { return fObject; }
  // Whether the property still exists; an element whose property is gone applies nothing.
  bool Valid() const { return fObject && !fAlive.expired(); }
  std::size_t SnapshotSize() const { return fSize; }
  const std::byte* Value() const { return fValue.get(); }

  void PushAction() override;  // DataSize bytes from PushValue; none for a size of 0
  void PopAction() override;   // PopValue through the setter, when the property still exists

 private:
  TBaseProperty* fObject;
  std::weak_ptr<const void> fAlive;
  std::unique_ptr<std::byte[]> fValue;
  std::size_t fSize = 0;
};

class TUndoEngine {
 public:
  // The capacity of a page's engine.
  static constexpr std::int32_t kStandardCapacity = 20;
  explicit TUndoEngine(std::int32_t MaxCount);
  ~TUndoEngine();
  TUndoEngine(const TUndoEngine&) = delete;
  TUndoEngine& operator=(const TUndoEngine&) = delete;

  std::function<void(TUndoEngine* Sender)> OnChanged;

  // Snapshots E, appends it and drops the oldest element beyond the capacity. Returns E (none
  // when E was dropped at once because the capacity is below 1).
  TUndoElement* PushUndoAction(std::unique_ptr<TUndoElement> E);
  // Undoes and discards the newest element. The element leaves the stack before it is applied,
  // so subscribers that push elements while it applies cannot disturb the stack.
  void PopUndoAction();
  // Discards the newest element without undoing it.
  void RemoveUndoAction();

  std::int32_t Capacity() const { return fMax; }
  std::size_t Count() const { return UndoBuffer.size(); }
  TUndoElement* Element(std::size_t i) const { return UndoBuffer[i].get(); }  // 0 is the oldest

 private:
  void NotifyChanged();
  std::int32_t fMax;
  std::vector<std::unique_ptr<TUndoElement>> UndoBuffer;
};

}  // namespace qv

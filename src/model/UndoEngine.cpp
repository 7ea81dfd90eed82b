#include "model/UndoEngine.h"

namespace qv {

TPropertyChangedElement::TPropertyChangedElement(TBaseProperty* Obj)
    : fObject(Obj), fAlive(Obj ? Obj->LifetimeToken() : std::weak_ptr<const void>()) {}

void TPropertyChangedElement::PushAction() {
  if (!Valid()) return;
  const std::int32_t size = fObject->DataSize();
  if (size <= 0) return;
  fSize = static_cast<std::size_t>(size);
  fValue = std::make_unique<std::byte[]>(fSize);
  fObject->PushValue(fValue.get());
}

void TPropertyChangedElement::PopAction() {
  if (!Valid() || !fValue) return;
  // The snapshot is only applied when it still matches the property's layout.
  if (static_cast<std::size_t>(fObject->DataSize()) != fSize) return;
  fObject->PopValue(fValue.get());
}

TUndoEngine::TUndoEngine(std::int32_t MaxCount) : fMax(MaxCount) {}
TUndoEngine::~TUndoEngine() = default;

void TUndoEngine::NotifyChanged() {
  if (OnChanged) OnChanged(this);
}

TUndoElement* TUndoEngine::PushUndoAction(std::unique_ptr<TUndoElement> E) {
  if (!E) return nullptr;
  E->PushAction();
  TUndoElement* raw = E.get();
  UndoBuffer.push_back(std::move(E));
  if (static_cast<std::int64_t>(UndoBuffer.size()) > fMax) {
    if (UndoBuffer.front().get() == raw) raw = nullptr;
    UndoBuffer.erase(UndoBuffer.begin());
  }
  NotifyChanged();
  return raw;
}

void TUndoEngine::PopUndoAction() {
  if (UndoBuffer.empty()) return;
  std::unique_ptr<TUndoElement> e = std::move(UndoBuffer.back());
  UndoBuffer.pop_back();
  e->PopAction();
  e.reset();
  NotifyChanged();
}

void TUndoEngine::RemoveUndoAction() {
  if (UndoBuffer.empty()) return;
  UndoBuffer.pop_back();
  NotifyChanged();
}

}  // namespace qv

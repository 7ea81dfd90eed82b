#include "history/ObjectRef.h"

#include "composition/QvSystem.h"

#include <algorithm>

namespace qv {

std::optional<TObjectRef> RefOf(const TQVSystem& Page, const TBaseProperty& Object) {
  TObjectRef ref;
  const TBaseProperty* p = &Object;
  while (const TCustomContainerObject* owner = p->Owner()) {
    const auto& children = owner->Properties();
    const auto it = std::find_if(children.begin(), children.end(), [&](const auto& c) { return c.get() == p; });
    if (it == children.end()) return std::nullopt;
    ref.Path.push_back(static_cast<std::uint32_t>(it - children.begin()));
    p = owner;
  }
  std::reverse(ref.Path.begin(), ref.Path.end());
  if (p == &Page) return ref;
  const auto* layer = dynamic_cast<const TLayer*>(p);
  if (layer == nullptr) return std::nullopt;
  ref.Layer = Page.IndexOf(layer);
  if (ref.Layer < 0) return std::nullopt;
  ref.LayerClass = std::string(layer->ClassName());
  return ref;
}

TBaseProperty* Resolve(TQVSystem& Page, const TObjectRef& Ref) {
  TBaseProperty* p = &Page;
  if (Ref.Layer != TObjectRef::kPage) {
    if (Ref.Layer < 0 || static_cast<std::size_t>(Ref.Layer) >= Page.Layers.size()) return nullptr;
    TLayer* layer = Page.Layers[static_cast<std::size_t>(Ref.Layer)].get();
    if (layer->ClassName() != Ref.LayerClass) return nullptr;
    p = layer;
  }
  for (const std::uint32_t i : Ref.Path) {
    const auto* c = dynamic_cast<const TCustomContainerObject*>(p);
    if (c == nullptr || i >= c->Count()) return nullptr;
    p = c->Child(i);
  }
  return p;
}

std::string LayerTitle(const TQVSystem& Page, int Index) {
  if (Index < 0 || static_cast<std::size_t>(Index) >= Page.Layers.size()) return "the page";
  const std::string& name = Page.Layers[static_cast<std::size_t>(Index)]->layerName();
  return name.empty() ? "layer " + std::to_string(Index + 1) : name;
}

std::string ChangeName(const TQVSystem& Page, const TObjectRef& Ref) {
  const std::string where = LayerTitle(Page, Ref.Layer);
  if (Ref.Path.empty()) return "Change " + where;
  // The member of the layer (or page) the change lies in: "Font" for the font's size.
  TObjectRef top = Ref;
  top.Path.resize(1);
  const TBaseProperty* member = Resolve(const_cast<TQVSystem&>(Page), top);
  const std::string name = member != nullptr ? member->Name : std::string();
  if (Ref.Layer != TObjectRef::kPage && Ref.Path.size() == 1 && name == "layerName") return "Rename " + where;
  return "Change " + (name.empty() ? std::string("a value") : name) + " of " + where;
}

}  // namespace qv

#pragma once
// Where an object of a page is, as data: the layer's place in the stack (or the composition
// itself) and the way down its tree by child positions. A step keeps this instead of a pointer,
// so it still finds the object after the layer was deleted and made again from its text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class TBaseProperty;
class TQVSystem;

struct TObjectRef {
  static constexpr int kPage = -1;
  int Layer = kPage;                 // index in the stack, or kPage for the composition's own tree
  std::string LayerClass;            // the class of that layer, checked when the reference is followed
  std::vector<std::uint32_t> Path;   // child positions from the layer (or the composition) down
  friend bool operator==(const TObjectRef&, const TObjectRef&) = default;
};

// The reference of Object, or none when it is not part of Page's tree (a property of another
// page, or a layer not in the stack).
std::optional<TObjectRef> RefOf(const TQVSystem& Page, const TBaseProperty& Object);

// The object Ref names in Page as it stands now, or none when the stack no longer has such a
// layer there (another class, or fewer layers) or the path leads nowhere.
TBaseProperty* Resolve(TQVSystem& Page, const TObjectRef& Ref);

// How the names of steps call the layer at Index: its name, or "layer N" (counted from 1) when it
// has none; "the page" for TObjectRef::kPage.
std::string LayerTitle(const TQVSystem& Page, int Index);

// The name of a step that changes Object through the grid: "Rename logo" for a layer's name,
// "Change Opacity of logo", "Change Font of Text000" for anything inside the font group,
// "Change Duration of the page".
std::string ChangeName(const TQVSystem& Page, const TObjectRef& Ref);

}  // namespace qv

#pragma once
// The object list's rows without a widget: the composition as the root, then every layer of the
// stack bottom first, each followed by the members of its Childs (nested under it).
#include "composition/QvSystem.h"

#include <string>
#include <vector>

namespace qv {

struct TObjectRow {
  TContainerObject* Object = nullptr;  // the composition or a layer
  TLayer* Layer = nullptr;             // the layer, none on the root row
  int Depth = 0;                       // 0 for the root, 1 for the stack's layers, deeper for members
  std::string Text;                    // the layer's name; the root shows none of its own
  int IconIndex = -1;                  // the layer's kind, -1 on the root
};

// FillTree's rows in display order. A layer that lists itself among its own members, directly or
// further down, appears once on that path.
std::vector<TObjectRow> ObjectListRows(TQVSystem& Sys);

}  // namespace qv

#pragma once
// Cells of the composition's own containers (the font group), in front of the model's cells.
#include <memory>

#include "model/Cells.h"

namespace qv {

// The font group's cell when P is one; otherwise the model's cell for P.
std::unique_ptr<TCell> MakeEditorCell(TBaseProperty* P);

}  // namespace qv

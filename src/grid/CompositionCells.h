#pragma once
// The cells of the composition's own property types: timecodes, the three kinds of path, and the
// font group. MakeCell makes them for their editor kinds; nothing else needs these.
#include <memory>
#include <string>

#include "grid/Cells.h"

namespace qv {

class TString;
class TTextFont;
class TTimeCode;

// A time shown and typed as a timecode; no drag and no undo element.
std::unique_ptr<TCell> MakeTimeCodeCell(TTimeCode* P);
// A path chosen with the file dialog of Filter, or with the folder dialog when Folder is set.
std::unique_ptr<TCell> MakeFileCell(TString* P, const std::string& Filter, bool Folder);
// "Click to choose font": the font dialog.
std::unique_ptr<TCell> MakeFontCell(TTextFont* P);

// Where a cell's inline editor (or timecode field) opens: at the value's left, as wide as the
// display rectangle, 18 pixels high.
TCellRect InlineEditorRect(const TCellPlace& At);

}  // namespace qv

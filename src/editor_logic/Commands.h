#pragma once
// The editor's commands on the composition, without any widget: inserting layers with their
// unique names, a new page, opening a project on top of what is there, the name "Save As" saves
// under, the z-order and text-alignment buttons, and the last frame of the page's range. The
// window asks its dialogs and hands the answers in.
#include "composition/QvSystem.h"
#include "model/BasicTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv {

// Prefix + a counter of at least three digits (img000 … img999, img1000) that no layer of Sys
// is named (exact, case-sensitive), the lowest such counter.
std::string UniqueLayerName(const TQVSystem& Sys, std::string_view Prefix);

// The file "Save As" writes: the name as chosen when its extension is ".QV" in any letter case,
// otherwise the name with ".QV" appended ("page" and "page.txt" become "page.QV", "page.txt.QV").
std::string ProjectSaveName(const std::string& Chosen);

enum class TLayerKind : std::uint8_t { lkImage, lkSequence, lkText, lkRoll, lkClock };

// One row per insert button, in the toolbar's order.
struct TInsertCommand {
  TLayerKind Kind;
  const char* Hint;     // the button's hint ("" for none)
  const char* Prefix;   // of the unique name
  std::int32_t IconIndex;
  bool SelectsNewLayer;  // an inserted image leaves the selection as it was
  bool NeedsFile;        // a picture file (image) or a folder (sequence) is asked for first
};
std::span<const TInsertCommand> InsertCommands();
const TInsertCommand& InsertCommand(TLayerKind Kind);

// Inserts a layer of Kind on top: its picture file or frame folder (Source, for the kinds that
// need one; a crawl's text file, when given) set through the setter, so it loads; its unique name
// and icon; selected when the command selects. Returns the new layer.
TLayer& InsertLayer(TQVSystem& Sys, TLayerKind Kind, const std::string& Source = {});

// The last frame of the page's range (the ruler's end mark): never below Current, raised to the
// last frame of the longest image sequence of Sys.
std::int32_t LastFrameFor(const TQVSystem& Sys, std::int32_t Current);

// The page sizes New Page offers, the standard one first.
struct TPageSize {
  std::int32_t Width, Height;
  const char* Name;
};
std::span<const TPageSize> NewPageSizes();
// Makes Sys a new page of Width x Height: no layers, no selection, frame 0 and the page's own
// settings as a new composition has them (the whole clip shown, time 0, the duration the
// composition's own, 3 s).
void ResetToNewPage(TQVSystem& Sys, std::int32_t Width, std::int32_t Height);

// Reads a project into Sys (its layers go on top of those there) and selects the bottom layer
// when there is one. Throws as TQVSystem::LoadFromFile; the layers read until then stay.
void OpenProject(TQVSystem& Sys, const std::string& FileName);

// The alignment buttons: set the selected layer's alignment when it is a text layer (a clock
// too); answer whether it was one.
bool AlignSelectedText(TQVSystem& Sys, THTextAlig Value);
bool AlignSelectedText(TQVSystem& Sys, TVTextAlig Value);

// Bring To Front and Send To Back of the selected layer; nothing without one.
void BringSelectedToFront(TQVSystem& Sys);
void SendSelectedToBack(TQVSystem& Sys);

}  // namespace qv

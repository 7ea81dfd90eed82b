#pragma once
// Files dropped on the work area or the object list: a picture becomes an image layer at the drop
// point, a folder an image sequence there, a text or RTF file a crawl whose top is there, and a
// project opens as "Open Project" opens it. Anything else is refused, with the reason.
#include "composition/QvSystem.h"
#include "editor_logic/WorkAreaView.h"

#include <string>
#include <vector>

namespace qv {

enum class TDropKind : std::uint8_t { dkPicture, dkSequence, dkCrawl, dkProject, dkRefused };

struct TDropItem {
  std::string Path;
  TDropKind Kind = TDropKind::dkRefused;
  friend bool operator==(const TDropItem&, const TDropItem&) = default;
};

// What a dropped path is: a folder, or a file by its extension (any letter case): one of the
// pictures the engine reads, ".txt" or ".rtf", ".QV".
TDropKind ClassifyDrop(const std::string& Path);
std::vector<TDropItem> ClassifyDrops(const std::vector<std::string>& Paths);
// Whether any of the items is taken (the pointer shows "no" when none is).
bool AnyTaken(const std::vector<TDropItem>& Items);
// The status line for the refused items ("Cannot use notes.docx: not a picture, a folder, a text
// or RTF file or a QV project"); empty when none is.
std::string RefusedMessage(const std::vector<TDropItem>& Items);

// Makes the layer of a picture, folder or crawl item on top of the stack, its top-left corner at
// At (a crawl keeps its own left edge and width), and selects it. None for the other kinds.
TLayer* DropLayer(TQVSystem& Sys, const TDropItem& Item, TPagePoint At);

}  // namespace qv

#pragma once
// The rows of the property grid as data: the members of one container (a layer or the page) as
// rows with their cells, nested containers as rows with child rows, which rows are shown, where
// each lies, and what a point of the grid hits. The grid widget paints this model and forwards
// its events to it; tests check it without any toolkit.
//
// Layout, in grid client coordinates: a header of 23 pixels, then the shown rows 17 pixels each;
// columns 0 (32 pixels, 32 to 64), 1 (the title, 140 pixels, 120 to 340) and 2 (the value, the
// rest). Dragging a column's right edge in the header resizes it within those limits. A row's
// title is indented 10 pixels per level, and its expander lies in the 10 pixels before the title's
// indent and the first 4 of the title.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "grid/Cells.h"

namespace qv {

class TBaseProperty;
class TCustomContainerObject;

// One row of the grid.
struct TNodeData2 {
  std::string Caption;
  std::int32_t Level = 1;
  TCustomContainerObject* Obj = nullptr;  // the container that owns the member
  TBaseProperty* prop = nullptr;
  std::string propertyName;
  std::int32_t TextLeft = 0, TextRight = 0;  // the title's extent in column 1
  std::int32_t ValueLeft = 0;                // presses to its right go to the property
  std::unique_ptr<TCell> data;
  int Parent = -1;  // index of the parent row, -1 at the top
  bool HasChildren = false;
  bool Expanded = false;
  std::weak_ptr<const void> Alive;  // the property's lifetime
};

// What a point of the grid lies on.
enum class TGridZone : std::uint8_t {
  gzNone,      // the header or below the last row
  gzTitle,     // columns 0 and 1 outside the row's expander
  gzExpander,  // the expander of a row with children
  gzValue,     // column 2
};

struct TGridHit {
  int Row = -1;
  TGridZone Zone = TGridZone::gzNone;
  friend bool operator==(const TGridHit&, const TGridHit&) = default;
};

class TGridRows {
 public:
  static constexpr int kRowHeight = 17;
  static constexpr int kHeaderHeight = 23;
  static constexpr int kIndent = 10;

  TGridRows() = default;
  TGridRows(const TGridRows&) = delete;
  TGridRows& operator=(const TGridRows&) = delete;
  ~TGridRows();

  // Rows for C's members, walked in discovery order: a member whose name starts with "_" or whose
  // property lacks paVisible gets none; nested containers' members follow their row one level
  // deeper, collapsed. Each row listens to its property. None for none; the old rows are freed
  // first, and stop listening to their properties.
  void Build(TCustomContainerObject* C);
  void Clear();
  // Runs with a row's index when its property reports a change.
  std::function<void(int Row)> OnRowChanged;

  const std::vector<TNodeData2>& Rows() const { return fRows; }
  TNodeData2& Row(int Index) { return fRows[static_cast<std::size_t>(Index)]; }
  // The shown rows (every ancestor expanded), top to bottom.
  std::span<const int> Shown() const { return fShown; }
  void SetExpanded(int Row, bool Expanded);

  // The widths of columns 0 and 1 and their limits; column 2 takes the rest.
  struct TColumn {
    int Width, Min, Max;
  };
  static constexpr TColumn kColumns[2] = {{32, 32, 64}, {140, 120, 340}};
  int ColumnLeft(int Column) const { return Column <= 0 ? 0 : Column == 1 ? fWidth[0] : fWidth[0] + fWidth[1]; }
  int ColumnWidth(int Column) const { return fWidth[Column <= 0 ? 0 : 1]; }
  // Sets column 0's or 1's width, kept within its limits; the rows' extents follow. Answers whether
  // it changed.
  bool SetColumnWidth(int Column, int Width);
  // The column whose right edge a point of the header lies on (within 3 pixels): 0, 1, or -1.
  int HeaderEdgeAt(int X, int Y) const;
  // Dragging a column's edge in the header: a press on an edge takes hold of it (answers whether
  // it did), each move to X sets the column's width by how far the pointer went (answers whether
  // the width changed), the release lets go.
  bool PressHeader(int X, int Y);
  bool DragHeader(int X);
  void ReleaseHeader() { fHeld = -1; }
  bool HeaderHeld() const { return fHeld >= 0; }
  // The header and the shown rows.
  int Height() const { return kHeaderHeight + static_cast<int>(fShown.size()) * kRowHeight; }
  // The grid y of a shown row's top; -1 for a hidden one.
  int RowTop(int Row) const { return fTop[static_cast<std::size_t>(Row)]; }
  // The shown row at grid y Y; -1 for none.
  int RowAt(int Y) const;
  TGridHit HitAt(int X, int Y) const;
  // Whether X lies on the expander of a row at Level (the row must have children to have one).
  bool OnExpander(int Level, int X) const;
  // The rectangle of a row's title, y from the row's top.
  TCellRect TitleRect(int Row) const;
  // Where a row's value lies in a grid Width pixels wide (see TCellPlace).
  TCellPlace PlaceOf(int Row, int Width) const;

 private:
  void Add(TCustomContainerObject* C, int Level, int Parent);
  void Layout();

  std::vector<TNodeData2> fRows;
  std::vector<int> fShown;
  std::vector<int> fTop;  // per row
  int fWidth[2] = {kColumns[0].Width, kColumns[1].Width};
  int fHeld = -1;        // the column whose edge is being dragged
  int fHeldFromX = 0;    // where the drag started
  int fHeldWidth = 0;    // the column's width then
};

}  // namespace qv

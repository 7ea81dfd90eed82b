#include "grid/GridRows.h"

#include "model/BaseLib.h"

#include <algorithm>
#include <cstdlib>

namespace qv {

TGridRows::~TGridRows() { Clear(); }

void TGridRows::Clear() {
  for (auto& r : fRows)
    if (r.prop && !r.Alive.expired()) r.prop->RemoveChangeNotify(this);
  fRows.clear();
  fShown.clear();
  fTop.clear();
}

void TGridRows::Build(TCustomContainerObject* C) {
  Clear();
  if (C) Add(C, 1, -1);
  Layout();
}

void TGridRows::Add(TCustomContainerObject* C, int Level, int Parent) {
  for (std::size_t i = 0; i < C->Count(); ++i) {
    TBaseProperty* v = C->Child(i);
    if (!v || v->Name.starts_with("_") || !v->Attributes.Has(paVisible)) continue;
    TNodeData2 r;
    r.Obj = C;
    r.propertyName = v->Name;
    r.Caption = v->Name;
    r.Level = Level;
    r.prop = v;
    r.data = MakeCell(v);
    r.Parent = Parent;
    r.Alive = v->LifetimeToken();
    r.TextLeft = ColumnLeft(1) + kIndent * Level + 4;
    r.TextRight = ColumnLeft(2);
    r.ValueLeft = ColumnLeft(2) + 4 - 6;
    fRows.push_back(std::move(r));
    const int index = static_cast<int>(fRows.size()) - 1;
    if (Parent >= 0) Row(Parent).HasChildren = true;
    v->AddChangeNotify(this, [this, index](TBaseProperty*, void*, const std::string&, std::int32_t) {
      if (OnRowChanged) OnRowChanged(index);
    });
    if (auto* sub = dynamic_cast<TCustomContainerObject*>(v)) Add(sub, Level + 1, index);
  }
}

// Rows come before their children, so one pass sees each parent's visibility first.
void TGridRows::Layout() {
  fShown.clear();
  fTop.assign(fRows.size(), -1);
  for (std::size_t i = 0; i < fRows.size(); ++i) {
    const TNodeData2& r = fRows[i];
    const bool shown = r.Parent < 0 || (fTop[static_cast<std::size_t>(r.Parent)] >= 0 && Row(r.Parent).Expanded);
    if (!shown) continue;
    fTop[i] = kHeaderHeight + static_cast<int>(fShown.size()) * kRowHeight;
    fShown.push_back(static_cast<int>(i));
  }
}

void TGridRows::SetExpanded(int Index, bool Expanded) {
  Row(Index).Expanded = Expanded;
  Layout();
}

int TGridRows::RowAt(int Y) const {
  if (Y < kHeaderHeight) return -1;
  const std::size_t k = static_cast<std::size_t>((Y - kHeaderHeight) / kRowHeight);
  return k < fShown.size() ? fShown[k] : -1;
}

bool TGridRows::OnExpander(int Level, int X) const {
  const int c = ColumnLeft(1);
  return c + kIndent * Level - 10 < X && X < c + kIndent * Level + 4;
}

TGridHit TGridRows::HitAt(int X, int Y) const {
  const int row = RowAt(Y);
  if (row < 0) return {};
  if (X >= ColumnLeft(2)) return {row, TGridZone::gzValue};
  const TNodeData2& r = fRows[static_cast<std::size_t>(row)];
  return {row, r.HasChildren && OnExpander(r.Level, X) ? TGridZone::gzExpander : TGridZone::gzTitle};
}

TCellRect TGridRows::TitleRect(int Index) const {
  return {fRows[static_cast<std::size_t>(Index)].TextLeft, 0, fRows[static_cast<std::size_t>(Index)].TextRight,
          kRowHeight};
}

TCellPlace TGridRows::PlaceOf(int Index, int Width) const {
  const int top = RowTop(Index);
  const TCellRect value{ColumnLeft(2) + 4, 0, Width, kRowHeight};
  return {value, {value.Left - 6, top, Width, top + kRowHeight}};
}

bool TGridRows::SetColumnWidth(int Column, int Width) {
  const int c = Column <= 0 ? 0 : 1;
  const int w = std::clamp(Width, kColumns[c].Min, kColumns[c].Max);
  if (w == fWidth[c]) return false;
  fWidth[c] = w;
  for (TNodeData2& r : fRows) {
    r.TextLeft = ColumnLeft(1) + kIndent * r.Level + 4;
    r.TextRight = ColumnLeft(2);
    r.ValueLeft = ColumnLeft(2) + 4 - 6;
  }
  return true;
}

int TGridRows::HeaderEdgeAt(int X, int Y) const {
  if (Y < 0 || Y >= kHeaderHeight) return -1;
  for (int c = 0; c < 2; ++c) {
    if (std::abs(X - ColumnLeft(c + 1)) <= 3) return c;
  }
  return -1;
}

bool TGridRows::PressHeader(int X, int Y) {
  fHeld = HeaderEdgeAt(X, Y);
  if (fHeld < 0) return false;
  fHeldFromX = X;
  fHeldWidth = fWidth[fHeld];
  return true;
}

bool TGridRows::DragHeader(int X) {
  if (fHeld < 0) return false;
  return SetColumnWidth(fHeld, fHeldWidth + X - fHeldFromX);
}

}  // namespace qv

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "grid/GridRows.h"
#include "model/BasicTypes.h"

namespace qv {

// A sheet of nine rows: Title; Ink with Color (whose four channels nest under it) and Width; Size.
// Hidden has no row.
class TInk : public TContainerObject {
  QV_CONTAINER(TInk, TContainerObject)

 protected:
  TInk() = default;

 private:
  TColor4* fcolor = nullptr;
  TInteger* fwidth = nullptr;
};
QV_PUBLISHED(TInk, QV_MEMBER("Color", fcolor), QV_MEMBER("Width", fwidth))

class TSheet : public TContainerObject {
  QV_CONTAINER(TSheet, TContainerObject)

 public:
  TString& Title() const { return *ftitle; }
  TDouble& Size() const { return *fsize; }

 protected:
  TSheet() = default;
  void AfterConstruction() override {
    TContainerObject::AfterConstruction();
    fhidden->Attributes.Exclude(paVisible);
  }

 private:
  TString* ftitle = nullptr;
  TInk* fink = nullptr;
  TInteger* fhidden = nullptr;
  TDouble* fsize = nullptr;
};
QV_PUBLISHED(TSheet, QV_MEMBER("Title", ftitle), QV_MEMBER("Ink", fink), QV_MEMBER("Hidden", fhidden),
             QV_MEMBER("Size", fsize))

namespace {

enum : int { kTitle, kInk, kColor, kRed, kGreen, kBlue, kAlpha, kWidth, kSize };

struct GridRows : ::testing::Test {
  GridRows() { rows.Build(sheet.get()); }
  void Expand(const std::set<int>& Open) {
    for (int i = 0; i < static_cast<int>(rows.Rows().size()); ++i) rows.SetExpanded(i, Open.contains(i));
  }
  std::unique_ptr<TSheet> sheet = Make<TSheet>();
  TGridRows rows;
};

TEST_F(GridRows, OneRowPerShownMemberNestedUnderItsContainer) {
  struct Expected {
    const char* caption;
    int level, parent;
    bool children;
  } expected[] = {{"Title", 1, -1, false}, {"Ink", 1, -1, true},  {"Color", 2, kInk, true},
                  {"Red", 3, kColor, false}, {"Green", 3, kColor, false}, {"Blue", 3, kColor, false},
                  {"Alpha", 3, kColor, false}, {"Width", 2, kInk, false}, {"Size", 1, -1, false}};
  ASSERT_EQ(rows.Rows().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const TNodeData2& r = rows.Rows()[i];
    SCOPED_TRACE(expected[i].caption);
    EXPECT_EQ(r.Caption, expected[i].caption);
    EXPECT_EQ(r.Level, expected[i].level);
    EXPECT_EQ(r.Parent, expected[i].parent);
    EXPECT_EQ(r.HasChildren, expected[i].children);
    EXPECT_FALSE(r.Expanded);
    EXPECT_NE(r.data, nullptr);
    // The title starts after 10 pixels per level and 4 more in column 1.
    EXPECT_EQ(rows.TitleRect(static_cast<int>(i)), (TCellRect{32 + 10 * expected[i].level + 4, 0, 172, 17}));
  }
  EXPECT_EQ(rows.Rows()[kTitle].Obj, sheet.get());
  EXPECT_EQ(rows.Rows()[kRed].Obj, rows.Rows()[kColor].prop);
}

TEST_F(GridRows, ShownRowsTheirTopsAndHeightFollowExpansion) {
  struct Case {
    std::set<int> open;
    std::vector<int> shown;
  } cases[] = {
      {{}, {kTitle, kInk, kSize}},
      {{kInk}, {kTitle, kInk, kColor, kWidth, kSize}},
      {{kInk, kColor}, {kTitle, kInk, kColor, kRed, kGreen, kBlue, kAlpha, kWidth, kSize}},
      {{kColor}, {kTitle, kInk, kSize}},  // a collapsed parent hides an open child's rows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown.size());
    Expand(c.open);
    EXPECT_EQ(std::vector<int>(rows.Shown().begin(), rows.Shown().end()), c.shown);
    EXPECT_EQ(rows.Height(), 23 + 17 * static_cast<int>(c.shown.size()));
    for (int i = 0; i < static_cast<int>(rows.Rows().size()); ++i) {
      const auto at = std::find(c.shown.begin(), c.shown.end(), i);
      EXPECT_EQ(rows.RowTop(i), at == c.shown.end() ? -1 : 23 + 17 * static_cast<int>(at - c.shown.begin())) << i;
    }
  }
}

TEST_F(GridRows, RowAtAGridY) {
  Expand({kInk});  // Title, Ink, Color, Width, Size
  struct {
    int y, row;
  } cases[] = {{-5, -1},       {0, -1},         {22, -1},   {23, kTitle}, {39, kTitle}, {40, kInk},
               {74, kWidth},   {90, kWidth},    {91, kSize}, {107, kSize}, {108, -1},    {1000, -1}};
  for (auto c : cases) EXPECT_EQ(rows.RowAt(c.y), c.row) << c.y;
}

TEST(GridRowsExpander, TenPixelsBeforeTheTitleIndentPerLevel) {
  struct {
    int level, x;
    bool hit;
  } cases[] = {{1, 32, false}, {1, 33, true}, {1, 37, true},  {1, 45, true},  {1, 46, false},
               {2, 42, false}, {2, 43, true}, {2, 47, true},  {2, 55, true},  {2, 56, false},
               {3, 52, false}, {3, 53, true}, {3, 65, true},  {3, 66, false}, {3, 34, false}};
  const TGridRows rows;
  for (auto c : cases) EXPECT_EQ(rows.OnExpander(c.level, c.x), c.hit) << c.level << " " << c.x;
}

// The header's column edges: a press within 3 pixels of column 0's or 1's right edge takes hold of
// it, and the width follows the pointer within the column's limits; the rows' extents follow.
TEST_F(GridRows, ColumnsResizeByTheirEdgeInTheHeader) {
  EXPECT_EQ(rows.ColumnLeft(1), 32);
  EXPECT_EQ(rows.ColumnLeft(2), 172);
  struct {
    int x, y, edge;
  } edges[] = {{28, 10, -1}, {29, 10, 0}, {35, 10, 0},   {36, 10, -1}, {169, 0, 1},
               {175, 22, 1}, {176, 5, -1}, {172, 23, -1}, {172, -1, -1}};
  for (auto e : edges) EXPECT_EQ(rows.HeaderEdgeAt(e.x, e.y), e.edge) << e.x << "," << e.y;

  struct {
    int column, pressX, toX, width, valueLeft;
    bool changed;
  } drags[] = {
      {1, 172, 232, 200, 232, true},   // 60 wider
      {1, 232, 62, 120, 152, true},    // down to the least, 120
      {1, 152, 900, 340, 372, true},   // up to the most, 340
      {1, 372, 372, 340, 372, false},  // no move
      {0, 32, 52, 52, 392, true},      // the first column pushes the title's along
      {0, 52, 200, 64, 404, true},
      {0, 64, 0, 32, 372, true},
  };
  for (auto d : drags) {
    SCOPED_TRACE(d.pressX);
    ASSERT_TRUE(rows.PressHeader(d.pressX, 10));
    EXPECT_TRUE(rows.HeaderHeld());
    EXPECT_EQ(rows.DragHeader(d.toX), d.changed);
    rows.ReleaseHeader();
    EXPECT_FALSE(rows.HeaderHeld());
    EXPECT_EQ(rows.ColumnWidth(d.column), d.width);
    EXPECT_EQ(rows.ColumnLeft(2), d.valueLeft);
    EXPECT_EQ(rows.HitAt(d.valueLeft, 30).Zone, TGridZone::gzValue);
    EXPECT_EQ(rows.HitAt(d.valueLeft - 1, 30).Zone, TGridZone::gzTitle);
    EXPECT_EQ(rows.PlaceOf(kTitle, 500).Rect.Left, d.valueLeft + 4);
    EXPECT_EQ(rows.Rows()[0].TextRight, d.valueLeft);
    EXPECT_EQ(rows.Rows()[0].ValueLeft, d.valueLeft - 2);
    EXPECT_EQ(rows.Rows()[0].TextLeft, rows.ColumnLeft(1) + 14);
  }
  EXPECT_FALSE(rows.PressHeader(100, 10));  // not on an edge
  EXPECT_FALSE(rows.DragHeader(300));
  // Rows built afterwards start at the columns as they are.
  rows.Build(nullptr);
  EXPECT_EQ(rows.ColumnLeft(2), 372);
}

TEST_F(GridRows, WhatAPointHits) {
  Expand({kInk});
  struct {
    int x, y;
    TGridHit hit;
  } cases[] = {
      {100, 10, {}},                                 // the header
      {100, 200, {}},                                // below the last row
      {35, 30, {kTitle, TGridZone::gzTitle}},        // no children, no expander
      {35, 45, {kInk, TGridZone::gzExpander}},
      {5, 45, {kInk, TGridZone::gzTitle}},           // column 0, left of the expander
      {35, 60, {kColor, TGridZone::gzTitle}},        // level 2: its expander starts at 43
      {45, 60, {kColor, TGridZone::gzExpander}},
      {171, 60, {kColor, TGridZone::gzTitle}},
      {172, 60, {kColor, TGridZone::gzValue}},
      {500, 100, {kSize, TGridZone::gzValue}},
  };
  for (auto c : cases) EXPECT_EQ(rows.HitAt(c.x, c.y), c.hit) << c.x << " " << c.y;
}

TEST_F(GridRows, PlaceOfARowAndWherePressesGoToItsValue) {
  Expand({kInk});
  const TCellPlace at = rows.PlaceOf(kWidth, 400);
  EXPECT_EQ(at.Rect, (TCellRect{176, 0, 400, 17}));
  EXPECT_EQ(at.DisplayRect, (TCellRect{170, 74, 400, 91}));
  for (const TNodeData2& r : rows.Rows()) EXPECT_EQ(r.ValueLeft, 170);
}

TEST_F(GridRows, RowsListenToTheirPropertiesUntilRebuilt) {
  std::vector<int> changed;
  rows.OnRowChanged = [&](int Row) { changed.push_back(Row); };
  const auto listeners = sheet->Size().NotifyCount();  // the sheet and this row
  sheet->Size().SetValue(2.0);
  sheet->Title().SetValue("x");
  // A channel notifies its colour first, which notifies the ink first: each row hears its own
  // property, the outer ones before the inner.
  auto* color = static_cast<TColor4*>(rows.Rows()[kColor].prop);
  color->Red()->SetValue(0.5);
  EXPECT_EQ(changed, (std::vector<int>{kSize, kTitle, kInk, kColor, kRed}));

  auto other = Make<TSheet>();
  rows.Build(other.get());
  EXPECT_EQ(sheet->Size().NotifyCount(), listeners - 1);
  rows.Build(nullptr);
  EXPECT_TRUE(rows.Rows().empty());
  EXPECT_TRUE(rows.Shown().empty());
  EXPECT_EQ(other->Size().NotifyCount(), listeners - 1);

  // Rows whose properties are gone already are freed without touching them.
  rows.Build(other.get());
  other.reset();
  rows.Clear();
  EXPECT_TRUE(rows.Rows().empty());
}

}  // namespace
}  // namespace qv

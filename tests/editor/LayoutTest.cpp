// The work area's layout aids without a display: safe-area frames, the zoomed view's mapping
// between screen points and page pixels, snapping and the Arrange commands.
#include "editor_logic/Arrange.h"
#include "editor_logic/SafeAreas.h"
#include "editor_logic/Snapping.h"
#include "editor_logic/WorkAreaView.h"

#include "composition/ImageLayers.h"
#include "composition/TextLayer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {
namespace {

// ---- safe areas ---------------------------------------------------------------------------

TEST(SafeAreas, ActionGraphicsAndCentreCutPerPageSize) {
  struct TCase {
    int w, h;
    TRect action, graphics;
    std::optional<TRect> cut;
  };
  const TCase cases[] = {
      // 4:3: margins of 3.5 % (26.88 -> 27, 20.16 -> 20) and 5 % (38.4 -> 38, 28.8 -> 29).
      {768, 576, {27, 20, 741, 556}, {38, 29, 730, 547}, std::nullopt},
      // 16:9: 1190 x 670 and 1152 x 648; the 4:3 cut is 960 wide.
      {1280, 720, {45, 25, 1235, 695}, {64, 36, 1216, 684}, TRect{160, 0, 1120, 720}},
      // 1786 x 1004 and 1728 x 972; the cut is 1440 wide.
      {1920, 1080, {67, 38, 1853, 1042}, {96, 54, 1824, 1026}, TRect{240, 0, 1680, 1080}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    const TSafeAreas a = SafeAreasFor(c.w, c.h);
    EXPECT_EQ(a.Action, c.action);
    EXPECT_EQ(a.Graphics, c.graphics);
    EXPECT_EQ(a.CentreCut, c.cut);
  }
}

TEST(SafeAreas, WideMeansNearerSixteenNinthsThanFourThirds) {
  const std::pair<std::pair<int, int>, bool> cases[] = {
      {{768, 576}, false}, {{720, 576}, false}, {{1400, 900}, false},  // 14:9 exactly is not wide
      {{1401, 900}, true}, {{1024, 576}, true}, {{3840, 2160}, true},
  };
  for (const auto& [size, wide] : cases) {
    EXPECT_EQ(WidePage(size.first, size.second), wide) << size.first << "x" << size.second;
    EXPECT_EQ(SafeAreasFor(size.first, size.second).CentreCut.has_value(), wide);
  }
}

// ---- the view -----------------------------------------------------------------------------

struct TPointCase {
  int x, y;
  std::int64_t px, py;
};

struct TViewCase {
  const char* what;
  int pageW, pageH;
  std::optional<TZoom> zoom;  // none: Fit
  TZoom shown;
  std::int64_t originX, originY;
  std::vector<TPointCase> points;
};

TEST(WorkAreaView, ScreenPointsMapToPagePixelsAtEveryZoom) {
  // An 800 x 600 view, as today's work panel around a standard page.
  const std::vector<TViewCase> cases = {
      {"standard page, fit: 1:1 in the middle", 768, 576, std::nullopt, {1, 1}, 16, 12,
       {{16, 12, 0, 0}, {15, 11, -1, -1}, {783, 587, 767, 575}, {400, 300, 384, 288}}},
      {"standard page at 50 %", 768, 576, TZoom{1, 2}, {1, 2}, 208, 156,
       {{208, 156, 0, 0}, {209, 157, 2, 2}, {591, 443, 766, 574}, {207, 155, -2, -2}}},
      {"standard page at 100 %", 768, 576, TZoom{1, 1}, {1, 1}, 16, 12, {{16, 12, 0, 0}, {783, 587, 767, 575}}},
      // About the view's centre (400, 300), which shows page pixel (384, 288) before and after.
      {"standard page at 200 %", 768, 576, TZoom{2, 1}, {2, 1}, -368, -276,
       {{400, 300, 384, 288}, {401, 301, 384, 288}, {402, 302, 385, 289}, {0, 0, 184, 138}, {799, 599, 583, 437}}},
      // 1920 x 1080 fits at 768 / 1920 = 2/5: 768 x 432 in the middle.
      {"1080 page, fit", 1920, 1080, std::nullopt, {2, 5}, 16, 84,
       {{16, 84, 0, 0}, {17, 84, 2, 0}, {18, 85, 5, 2}, {783, 515, 1917, 1077}}},
      {"1080 page at 100 %", 1920, 1080, TZoom{1, 1}, {1, 1}, -560, -240,
       {{400, 300, 960, 540}, {0, 0, 560, 240}, {799, 599, 1359, 839}}},
      {"720 page at 200 %", 1280, 720, TZoom{2, 1}, {2, 1}, -880, -420,
       {{400, 300, 640, 360}, {401, 300, 640, 360}, {0, 0, 440, 210}}},
  };
  for (const TViewCase& c : cases) {
    SCOPED_TRACE(c.what);
    TWorkAreaView v;
    v.SetViewport(800, 600);
    v.SetPage(c.pageW, c.pageH);
    if (c.zoom) v.SetZoom(*c.zoom);
    EXPECT_EQ(v.Zoom(), c.shown);
    EXPECT_EQ(v.Zoom().Num, c.shown.Num);  // kept in lowest terms
    EXPECT_EQ(v.Fitting(), !c.zoom.has_value());
    EXPECT_EQ(v.OriginX(), c.originX);
    EXPECT_EQ(v.OriginY(), c.originY);
    for (const TPointCase& p : c.points) {
      EXPECT_EQ(v.PagePoint(p.x, p.y), (TPagePoint{p.px, p.py})) << p.x << "," << p.y;
    }
  }
}

TEST(WorkAreaView, EachPagePixelHasItsOwnScreenPixelsFromOneToOneUp) {
  for (const TZoom z : {TZoom{1, 1}, TZoom{2, 1}, TZoom{3, 1}, TZoom{8, 1}}) {
    TWorkAreaView v;
    v.SetViewport(640, 480);
    v.SetPage(1280, 720);
    v.SetZoom(z);
    for (std::int64_t px = -3; px < 1283; ++px) {
      const std::int64_t sx = v.ScreenX(px);
      ASSERT_EQ(v.ScreenX(px + 1) - sx, z.Num) << px;  // whole screen pixels per page pixel
      ASSERT_EQ(v.PagePoint(int(sx), 0).X, px);
      ASSERT_EQ(v.PagePoint(int(sx + z.Num - 1), 0).X, px);
    }
  }
  // 1:1 is the page's own pixels shifted by the origin.
  TWorkAreaView v;
  v.SetViewport(800, 600);
  v.SetPage(768, 576);
  EXPECT_EQ(v.PageOnScreen(), (TRect{16, 12, 784, 588}));
}

TEST(WorkAreaView, CtrlWheelZoomsAboutThePointer) {
  TWorkAreaView v;
  v.SetViewport(400, 300);
  v.SetPage(1920, 1080);  // fits at 368 / 1920 = 23/120
  ASSERT_EQ(v.Zoom(), (TZoom{23, 120}));
  const int px = 230, py = 160;
  std::vector<TZoom> seen;
  for (int step = 0; step < 11; ++step) {
    const TPagePoint before = v.PagePoint(px, py);
    v.ZoomStep(1, px, py);
    const TZoom z = v.Zoom();
    seen.push_back(z);
    const TPagePoint after = v.PagePoint(px, py);
    SCOPED_TRACE(std::to_string(z.Num) + "/" + std::to_string(z.Den));
    if (!(z < TZoom{1, 1})) {
      // From 1:1 up the very page pixel stays under the pointer.
      EXPECT_EQ(after, before);
    } else {
      // Below 1:1 a screen pixel covers several page pixels: the pointer stays among them (across;
      // down, the page still fits the view and stays in its middle).
      EXPECT_LE(std::abs(after.X - before.X) * z.Num, z.Den + z.Num);
    }
  }
  // The ladder from the fitted zoom up to its top, where it stays.
  const std::vector<TZoom> expected = {{1, 4}, {1, 3}, {1, 2}, {2, 3}, {1, 1}, {2, 1},
                                       {3, 1}, {4, 1}, {6, 1}, {8, 1}, {8, 1}};
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(v.Fitting());
  v.ZoomStep(-2, px, py);
  EXPECT_EQ(v.Zoom(), (TZoom{4, 1}));
  v.ZoomStep(-100, px, py);
  EXPECT_EQ(v.Zoom(), (TZoom{1, 8}));
  v.Fit();
  EXPECT_EQ(v.Zoom(), (TZoom{23, 120}));
  EXPECT_TRUE(v.Fitting());
}

TEST(WorkAreaView, ScrollingStopsAtTheMarginsAndFitFollowsTheView) {
  TWorkAreaView v;
  v.SetViewport(800, 600);
  v.SetPage(768, 576);
  v.SetZoom({2, 1});
  EXPECT_EQ(v.ContentWidth(), 1536 + 32);
  EXPECT_EQ(v.ContentHeight(), 1152 + 24);
  v.ScrollBy(-10000, -10000);
  EXPECT_EQ(v.OriginX(), TWorkAreaView::kMarginX);
  EXPECT_EQ(v.ScrollX(), 0);
  v.ScrollBy(10000, 10000);
  EXPECT_EQ(v.OriginX(), 800 - 1536 - TWorkAreaView::kMarginX);
  EXPECT_EQ(v.ScrollY(), v.ContentHeight() - 600);
  v.SetScroll(100, 50);
  EXPECT_EQ(v.PagePoint(0, 0), (TPagePoint{(100 - 16) / 2, (50 - 12) / 2}));
  // A fitting view fits again when the view or the page changes.
  v.Fit();
  v.SetViewport(400, 300);
  EXPECT_EQ(v.Zoom(), (TZoom{23, 48}));  // 368 / 768 = 276 / 576
  v.SetPage(3840, 2160);
  EXPECT_EQ(v.Zoom(), (TZoom{23, 240}));
  EXPECT_EQ(v.Zoom().Percent(), 10);
}

// ---- snapping -----------------------------------------------------------------------------

// The lines of a 768 x 576 page with its safe areas, and one other layer at (500, 400, 60 x 40).
TSnapLines Lines() {
  TSnapLines l;
  l.X = {{0, TSnapKind::skPage},       {1536, TSnapKind::skPage},     {768, TSnapKind::skPage},
         {54, TSnapKind::skSafeArea},  {1482, TSnapKind::skSafeArea}, {76, TSnapKind::skSafeArea},
         {1460, TSnapKind::skSafeArea}, {1000, TSnapKind::skLayer},   {1060, TSnapKind::skLayer},
         {1120, TSnapKind::skLayer}};
  l.Y = {{0, TSnapKind::skPage},        {1152, TSnapKind::skPage},     {576, TSnapKind::skPage},
         {40, TSnapKind::skSafeArea},   {1112, TSnapKind::skSafeArea}, {58, TSnapKind::skSafeArea},
         {1094, TSnapKind::skSafeArea}, {800, TSnapKind::skLayer},     {840, TSnapKind::skLayer},
         {880, TSnapKind::skLayer}};
  return l;
}

TEST(Snapping, LinesOfThePageTheSafeAreasAndTheOtherVisibleLayers) {
  auto sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  auto image = [&](int x, int y, int w, int h) -> TImageLayer& {
    TImageLayer& l = sys->NewLayer<TImageLayer>();
    l.SetX(x), l.SetY(y), l.SetWidth(w), l.SetHeight(h);
    return l;
  };
  TImageLayer& dragged = image(200, 200, 100, 50);
  image(500, 400, 60, 40);
  image(10, 10, 5, 5).SetVisible(false);
  const TSnapLines with = SnapLinesFor(*sys, &dragged, true);
  const TSnapLines expected = Lines();
  EXPECT_EQ(with.X, expected.X);
  EXPECT_EQ(with.Y, expected.Y);
  const TSnapLines without = SnapLinesFor(*sys, &dragged, false);
  EXPECT_EQ(without.X.size(), 6u);  // page and layer only
  EXPECT_EQ(without.X[3], (TSnapLine{1000, TSnapKind::skLayer}));
  // A 16:9 page adds the 4:3 cut's sides.
  auto wide = Make<TQVSystem>(1280, 720, TCompositionContext{}, false);
  const TSnapLines w = SnapLinesFor(*wide, nullptr, true);
  EXPECT_EQ(w.X.size(), 3u + 4u + 2u);
  EXPECT_EQ(w.X[7], (TSnapLine{320, TSnapKind::skSafeArea}));
  EXPECT_EQ(w.X[8], (TSnapLine{2240, TSnapKind::skSafeArea}));
}

struct TSnapCase {
  const char* what;
  TMouseArea area;
  std::int64_t dX, dY;
  TZoom zoom;
  std::int64_t snappedX, snappedY;
  std::vector<TSnapGuide> guides;
};

TEST(Snapping, WithinSixScreenPixelsOfEachKindOfLine) {
  // The dragged layer's bounds: (200, 200) to (300, 250); centre 250, middle 225.
  const TRect start{200, 200, 300, 250};
  const auto v = [](std::int64_t p2, TSnapKind k) { return TSnapGuide{true, p2, k}; };
  const auto h = [](std::int64_t p2, TSnapKind k) { return TSnapGuide{false, p2, k}; };
  const std::vector<TSnapCase> cases = {
      // Left edge 5, 6 and 7 pixels right of the page's left edge.
      {"page edge at 5", maBody, -195, 0, {1, 1}, -200, 0, {v(0, TSnapKind::skPage)}},
      {"page edge at 6", maBody, -194, 0, {1, 1}, -200, 0, {v(0, TSnapKind::skPage)}},
      {"page edge at 7", maBody, -193, 0, {1, 1}, -193, 0, {}},
      // The centre 5, 6, 7 pixels left of the page's centre line.
      {"page centre at 5", maBody, 129, 0, {1, 1}, 134, 0, {v(768, TSnapKind::skPage)}},
      {"page centre at 6", maBody, 128, 0, {1, 1}, 134, 0, {v(768, TSnapKind::skPage)}},
      {"page centre at 7", maBody, 127, 0, {1, 1}, 127, 0, {}},
      // The left edge near the graphics-safe frame's left side (38).
      {"safe area at 5", maBody, -157, 0, {1, 1}, -162, 0, {v(76, TSnapKind::skSafeArea)}},
      {"safe area at 6", maBody, -156, 0, {1, 1}, -162, 0, {v(76, TSnapKind::skSafeArea)}},
      {"safe area at 7", maBody, -155, 0, {1, 1}, -155, 0, {}},
      // The top near the action-safe frame's top (20), from above.
      {"safe area top at 5", maBody, 0, -185, {1, 1}, 0, -180, {h(40, TSnapKind::skSafeArea)}},
      // The right edge near the other layer's left edge (500).
      {"layer edge at 5", maBody, 195, 0, {1, 1}, 200, 0, {v(1000, TSnapKind::skLayer)}},
      {"layer edge at 6", maBody, 194, 0, {1, 1}, 200, 0, {v(1000, TSnapKind::skLayer)}},
      {"layer edge at 7", maBody, 193, 0, {1, 1}, 193, 0, {}},
      // The centre near the other layer's centre (530).
      {"layer centre at 5", maBody, 275, 0, {1, 1}, 280, 0, {v(1060, TSnapKind::skLayer)}},
      {"layer centre at 6", maBody, 274, 0, {1, 1}, 280, 0, {v(1060, TSnapKind::skLayer)}},
      {"layer centre at 7", maBody, 273, 0, {1, 1}, 273, 0, {}},
      // Six screen pixels are three page pixels at 200 % and twelve at 50 %.
      {"3 page pixels at 200 %", maBody, -197, 0, {2, 1}, -200, 0, {v(0, TSnapKind::skPage)}},
      {"4 page pixels at 200 %", maBody, -196, 0, {2, 1}, -196, 0, {}},
      {"12 page pixels at 50 %", maBody, -188, 0, {1, 2}, -200, 0, {v(0, TSnapKind::skPage)}},
      {"13 page pixels at 50 %", maBody, -187, 0, {1, 2}, -187, 0, {}},
      // Both directions at once, each on its own line.
      {"corner", maBody, -195, 186, {1, 1}, -200, 190, {v(0, TSnapKind::skPage), h(880, TSnapKind::skLayer)}},
      // A resize moves one edge: only that edge is pulled.
      {"right edge resize", maRight, 195, 0, {1, 1}, 200, 0, {v(1000, TSnapKind::skLayer)}},
      {"left edge resize ignores the right edge", maLeft, 195, 0, {1, 1}, 195, 0, {}},
      {"bottom resize", maBottom, 0, 325, {1, 1}, 0, 326, {h(1152, TSnapKind::skPage)}},
      {"left resize ignores a vertical drag", maLeft, -195, 40, {1, 1}, -200, 40, {v(0, TSnapKind::skPage)}},
  };
  const TSnapLines lines = Lines();
  for (const TSnapCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TSnapResult r = Snap(start, c.area, c.dX, c.dY, lines, c.zoom);
    EXPECT_EQ(r.dX, c.snappedX);
    EXPECT_EQ(r.dY, c.snappedY);
    EXPECT_EQ(r.Guides, c.guides);
  }
}

TEST(Snapping, TheNearestLineWinsAndAnOddCentreLandsWithinHalfAPixel) {
  TSnapLines lines;
  lines.X = {{100, TSnapKind::skPage}, {110, TSnapKind::skLayer}, {111, TSnapKind::skSafeArea}};
  // The left edge (0) moved by 52 is at 104: 2 pixels from 50 and 3 from 55.
  EXPECT_EQ(Snap({0, 0, 10, 10}, maLeft, 52, 0, lines, {1, 1}).dX, 50);
  EXPECT_EQ(Snap({0, 0, 10, 10}, maLeft, 54, 0, lines, {1, 1}).dX, 55);
  // A layer 11 wide: its centre 5.5 moved 48 is 53.5, 1.5 pixels from the line at 55. It moves 49,
  // which brings the centre within half a pixel of the line, and the guide shows.
  lines.X = {{110, TSnapKind::skPage}};
  const TSnapResult r = Snap({0, 0, 11, 4}, maBody, 48, 0, lines, {1, 1});
  EXPECT_EQ(r.dX, 49);
  EXPECT_EQ(r.Guides, (std::vector<TSnapGuide>{{true, 110, TSnapKind::skPage}}));
}

// The snapping mouse over a page of two image layers.
class SnappingMouse : public ::testing::Test {
 protected:
  TImageLayer& Image(TQVSystem& s, int x, int y, int w, int h) {
    TImageLayer& l = s.NewLayer<TImageLayer>();
    l.SetX(x), l.SetY(y), l.SetWidth(w), l.SetHeight(h);
    return l;
  }
  void SetUp() override {
    dragged = &Image(*sys, 200, 200, 100, 50);
    Image(*sys, 500, 400, 60, 40);
  }
  void Move(TShiftState shift, int x, int y) {
    TCursor c = TCursor::crDefault;
    mouse.MouseMove(shift, x, y, c);
  }
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  TSnappingMouse mouse{*sys};
  TImageLayer* dragged = nullptr;
};

TEST_F(SnappingMouse, ADragRestsOnALineAndShiftFreesIt) {
  Move(0, 250, 225);
  mouse.MouseDown(TMouseButton::mbLeft, ssLeft, 250, 225);
  ASSERT_TRUE(mouse.Dragging());
  Move(ssLeft, 60, 225);  // left edge at 10: not yet
  EXPECT_EQ(dragged->X(), 10);
  EXPECT_TRUE(mouse.Guides().empty());
  Move(ssLeft, 55, 226);  // left edge at 5: on the page's edge
  EXPECT_EQ(dragged->X(), 0);
  EXPECT_EQ(dragged->Y(), 201);
  EXPECT_EQ(mouse.Guides(), (std::vector<TSnapGuide>{{true, 0, TSnapKind::skPage}}));
  Move(ssLeft | ssShift, 55, 226);  // Shift: where the pointer says
  EXPECT_EQ(dragged->X(), 5);
  EXPECT_TRUE(mouse.Guides().empty());
  Move(ssLeft, 52, 226);  // free of Shift, it rests again
  EXPECT_EQ(dragged->X(), 0);
  mouse.MouseUp(TMouseButton::mbLeft, 0, 52, 226);
  EXPECT_FALSE(mouse.Dragging());
  EXPECT_TRUE(mouse.Guides().empty());
  EXPECT_EQ(dragged->tag0, 0);
  // A hover after the drag moves nothing.
  Move(0, 300, 300);
  EXPECT_EQ(dragged->X(), 0);
}

TEST_F(SnappingMouse, WithShiftHeldTheDragIsTheCompositionsOwn) {
  auto twin = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  TImageLayer& other = Image(*twin, 200, 200, 100, 50);
  Image(*twin, 500, 400, 60, 40);
  other.AccpetResizeX = dragged->AccpetResizeX;
  other.AccpetResizeY = dragged->AccpetResizeY;
  // A press on the right edge's handle, then a path that passes lines.
  const std::vector<std::pair<int, int>> path = {{301, 226}, {398, 230}, {496, 260}, {120, 80}, {301, 225}};
  TCursor c = TCursor::crDefault;
  Move(0, 300, 225);
  twin->MouseMove(0, 300, 225, c);
  ASSERT_EQ(sys->MouseEvent, maRight);
  mouse.MouseDown(TMouseButton::mbLeft, ssLeft | ssShift, 300, 225);
  twin->MouseDown(TMouseButton::mbLeft, ssLeft | ssShift, 300, 225);
  for (const auto& [x, y] : path) {
    Move(ssLeft | ssShift, x, y);
    twin->MouseMove(ssLeft | ssShift, x, y, c);
    EXPECT_EQ(dragged->Width(), other.Width()) << x;
    EXPECT_EQ(dragged->X(), other.X()) << x;
    EXPECT_EQ(sys->Dx, twin->Dx);
  }
}

TEST_F(SnappingMouse, SafeAreasPullOnlyWhenShownAndResizesSnapTheirEdge) {
  // The bottom edge (250) dragged to 549: 2 pixels from the graphics-safe bottom (547).
  Move(0, 250, 250);
  ASSERT_EQ(sys->MouseEvent, maBottom);
  mouse.MouseDown(TMouseButton::mbLeft, ssLeft, 250, 250);
  Move(ssLeft, 250, 549);
  EXPECT_EQ(dragged->Height(), 349);  // no safe areas shown: nothing there
  mouse.MouseUp(TMouseButton::mbLeft, 0, 250, 549);

  dragged->SetHeight(50);
  mouse.SafeAreas = true;
  Move(0, 250, 250);
  mouse.MouseDown(TMouseButton::mbLeft, ssLeft, 250, 250);
  Move(ssLeft, 250, 549);
  EXPECT_EQ(dragged->Height(), 347);
  EXPECT_EQ(dragged->Y(), 200);
  EXPECT_EQ(mouse.Guides(), (std::vector<TSnapGuide>{{false, 1094, TSnapKind::skSafeArea}}));
}

TEST_F(SnappingMouse, ALayerDeletedDuringADragEndsIt) {
  Move(0, 250, 225);
  mouse.MouseDown(TMouseButton::mbLeft, ssLeft, 250, 225);
  std::uint16_t del = VK_DELETE;
  sys->KeyDown(del, 0);
  Move(ssLeft, 260, 230);  // nothing to drag: a hover
  EXPECT_FALSE(mouse.Dragging());
  EXPECT_EQ(sys->Layers.size(), 1u);
}

// ---- arrange ------------------------------------------------------------------------------

TEST(Arrange, OffsetsToThePageAndTheGraphicsSafeFrame) {
  const TRect page = ArrangeFrameRect(TArrangeFrame::afPage, 768, 576);
  const TRect safe = ArrangeFrameRect(TArrangeFrame::afGraphicsSafe, 768, 576);
  EXPECT_EQ(page, (TRect{0, 0, 768, 576}));
  EXPECT_EQ(safe, (TRect{38, 29, 730, 547}));
  // Bounds 101 x 51 at (100, 100).
  const TRect b{100, 100, 201, 151};
  struct TCase {
    TArrangeEdge edge;
    std::int64_t toPage, toSafe;
  };
  const TCase cases[] = {
      {TArrangeEdge::aeLeft, -100, -62},
      {TArrangeEdge::aeCentre, 233, 233},  // (768 - 101) / 2 = 333.5: 333; (38 + 730 - 101) / 2 = 333.5
      {TArrangeEdge::aeRight, 567, 529},
      {TArrangeEdge::aeTop, -100, -71},
      {TArrangeEdge::aeMiddle, 162, 162},  // (576 - 51) / 2 = 262.5: 262
      {TArrangeEdge::aeBottom, 425, 396},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(ArrangeOffset(b, page, c.edge), c.toPage) << int(c.edge);
    EXPECT_EQ(ArrangeOffset(b, safe, c.edge), c.toSafe) << int(c.edge);
  }
  EXPECT_EQ(ArrangeCommands().size(), 6u);
}

TEST(Arrange, TheSelectedLayerMovesByWhatIsSeenOfIt) {
  auto sys = Make<TQVSystem>(1280, 720, TCompositionContext{}, false);
  EXPECT_FALSE(ArrangeSelected(*sys, TArrangeEdge::aeLeft, TArrangeFrame::afPage));  // nothing selected
  // A text centred on its X: its bounds start half its width left of X.
  TTextLayer& t = sys->NewLayer<TTextLayer>();
  t.SetHorizontalAlignment(haCenter);
  t.SetVerticalAlignment(vaBottom);
  t.SetWidth(200);
  t.SetHeight(40);
  t.SetX(300);
  t.SetY(300);
  sys->SetSelectedLayer(&t);
  ASSERT_EQ(t.BoundsRect().Left, 200);
  ASSERT_EQ(t.BoundsRect().Bottom, 300);
  EXPECT_TRUE(ArrangeSelected(*sys, TArrangeEdge::aeLeft, TArrangeFrame::afGraphicsSafe));
  EXPECT_EQ(t.BoundsRect().Left, 64);
  EXPECT_EQ(t.X(), 164);
  EXPECT_TRUE(ArrangeSelected(*sys, TArrangeEdge::aeBottom, TArrangeFrame::afGraphicsSafe));
  EXPECT_EQ(t.BoundsRect().Bottom, 684);
  EXPECT_EQ(t.Y(), 684);
  EXPECT_TRUE(ArrangeSelected(*sys, TArrangeEdge::aeCentre, TArrangeFrame::afPage));
  EXPECT_EQ(t.X(), 640);
  EXPECT_EQ(t.Y(), 684);  // across only
  EXPECT_TRUE(ArrangeSelected(*sys, TArrangeEdge::aeMiddle, TArrangeFrame::afPage));
  EXPECT_EQ(t.BoundsRect().Top, 340);
}

}  // namespace
}  // namespace qv::test

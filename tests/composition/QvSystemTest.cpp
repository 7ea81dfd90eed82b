#include "FakeCanvas.h"
#include "ProbeLayer.h"
#include "composition/QvSystem.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class Composition : public ::testing::Test {
 protected:
  TProbeLayer& Add(int x, int y, int w, int h, bool resizeX = false, bool resizeY = false) {
    TProbeLayer& l = sys->NewLayer<TProbeLayer>();
    l.SetX(x);
    l.SetY(y);
    l.SetWidth(w);
    l.SetHeight(h);
    l.AccpetResizeX = resizeX;
    l.AccpetResizeY = resizeY;
    return l;
  }
  TCursor Hover(int x, int y) {
    TCursor c = TCursor::crDefault;
    sys->MouseMove(0, x, y, c);
    return c;
  }
  // Composes `f` and tells whether the layer drew.
  bool DrawnAt(TProbeLayer& l, int f) {
    l.drawnFrames.clear();
    sys->frame = f;
    sys->DrawAll(nullptr);
    return !l.drawnFrames.empty();
  }

  TManualTickSource ticks;
  TRecordingCanvasFactory canvas;
  std::unique_ptr<TQVSystem> sys =
      Make<TQVSystem>(768, 576, TCompositionContext{.Ticks = &ticks, .Canvases = &canvas}, true);
};

TEST_F(Composition, Defaults) {
  EXPECT_EQ(sys->fwidth, 768);
  EXPECT_EQ(sys->fheight, 576);
  ASSERT_TRUE(sys->work);
  EXPECT_EQ(sys->work->Width(), 768);
  EXPECT_EQ(sys->work->Kind, 1);
  EXPECT_EQ(sys->ShowTime(), stAllClip);
  EXPECT_EQ(sys->DurationType(), dtFromComposition);
  EXPECT_DOUBLE_EQ(sys->Duration(), 3.0);
  EXPECT_DOUBLE_EQ(sys->Time(), 0.0);
  EXPECT_EQ(sys->_SelectedLayer(), nullptr);
  EXPECT_EQ(sys->frame, 0);
  std::vector<std::string> names;
  for (const auto& p : sys->Properties()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"ShowTime", "Time", "DurationType", "Duration"}));

  auto bare = Make<TQVSystem>(16, 8, nullptr, false);
  EXPECT_FALSE(bare->work);
}

TEST_F(Composition, LayerDefaultsAndOrderOfProperties) {
  TProbeLayer& l = sys->NewLayer<TProbeLayer>();
  EXPECT_EQ(l.owner, sys.get());
  EXPECT_EQ(sys->Layers.back().get(), &l);
  EXPECT_TRUE(l.Visible());
  EXPECT_EQ(l.Opacity(), 255);
  EXPECT_EQ(l.OpacityProperty().Min(), 0);
  EXPECT_EQ(l.OpacityProperty().Max(), 255);
  l.SetOpacity(300);
  EXPECT_EQ(l.Opacity(), 255);
  EXPECT_EQ(l.Duration(), 250);
  EXPECT_EQ(l.LayerIN(), 0);
  EXPECT_FALSE(l.LayerINProperty().Attributes.Has(paVisible));
  EXPECT_FALSE(l.DurationProperty().Attributes.Has(paVisible));
  EXPECT_EQ(l.DurationProperty().Attributes, TPropertyAttributesSet({paIn, paEnabled}));
  EXPECT_TRUE(l.XProperty().Attributes.Has(paVisible));
  std::vector<std::string> names;
  for (const auto& p : l.Properties()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"layerName", "Visible", "Opacity", "X", "Y", "Width", "Height",
                                             "LayerIN", "Duration"}));
  EXPECT_EQ(l.BoundsRect(), (TRect{0, 0, 0, 0}));
}

struct TimeRuleCase {
  TShowTime show;
  TDurationType type;
  int in, duration;
  double compSeconds;
  int frame;
  bool drawn;
};

TEST_F(Composition, WhichLayersShowAtAFrame) {
  const TimeRuleCase cases[] = {
      // fixed window: LayerIN 10, Duration 5 shows frames 10..15, both ends included
      {stAfterStart, dtFixed, 10, 5, 3.0, 9, false},
      {stAfterStart, dtFixed, 10, 5, 3.0, 10, true},
      {stAfterStart, dtFixed, 10, 5, 3.0, 15, true},
      {stAfterStart, dtFixed, 10, 5, 3.0, 16, false},
      {stBeforeEnd, dtFixed, 10, 5, 3.0, 9, false},
      {stBeforeEnd, dtFixed, 10, 5, 3.0, 12, true},
      {stBeforeEnd, dtFixed, 10, 5, 3.0, 16, false},
      // the composition's duration: 3 s shows frames 0..74
      {stAfterStart, dtFromComposition, 0, 250, 3.0, 0, true},
      {stAfterStart, dtFromComposition, 0, 250, 3.0, 74, true},
      {stAfterStart, dtFromComposition, 0, 250, 3.0, 75, false},
      {stBeforeEnd, dtFromComposition, 0, 250, 3.0, 75, false},
      {stAfterStart, dtFromComposition, 100, 5, 3.0, 10, true},  // the layer's window is not asked
      // everything at every frame
      {stAllClip, dtFixed, 10, 5, 3.0, 0, true},
      {stAllClip, dtFixed, 10, 5, 3.0, 1000, true},
      {stAllClip, dtFromComposition, 0, 250, 3.0, 75, true},
      {stAllClip, dtFromComposition, 0, 250, 3.0, -20, true},
  };
  TProbeLayer& l = Add(0, 0, 10, 10);
  for (const auto& c : cases) {
    sys->SetShowTime(c.show);
    sys->SetDurationType(c.type);
    sys->SetDuration(c.compSeconds);
    l.SetLayerIN(c.in);
    l.SetDuration(c.duration);
    EXPECT_EQ(DrawnAt(l, c.frame), c.drawn)
        << "show " << int(c.show) << " type " << int(c.type) << " frame " << c.frame;
  }
}

TEST_F(Composition, HiddenOrTransparentLayersStillTakeTheirFrameAndSetTheFactor) {
  TProbeLayer& visible = Add(0, 0, 10, 10);
  visible.SetOpacity(200);
  TProbeLayer& hidden = Add(0, 0, 10, 10);
  hidden.SetVisible(false);
  hidden.SetOpacity(90);
  sys->DrawAll(nullptr);
  EXPECT_EQ(visible.drawnFrames.size(), 1u);
  EXPECT_EQ(visible.factorsSeen, std::vector<int>{200});  // its opacity is the target's factor
  EXPECT_TRUE(hidden.drawnFrames.empty());
  EXPECT_EQ(hidden.setFrames, 1);
  EXPECT_EQ(sys->work->Factor(), 90);  // left at the last layer's opacity

  hidden.SetVisible(true);
  hidden.SetOpacity(0);
  sys->DrawAll(nullptr);
  EXPECT_TRUE(hidden.drawnFrames.empty());
  EXPECT_EQ(hidden.setFrames, 2);
  EXPECT_EQ(sys->work->Factor(), 0);
}

TEST_F(Composition, LayersTakeTheirTracksAtTheFrameBeforeDrawing) {
  TProbeLayer& l = Add(0, 0, 10, 10);
  Tkeys* track = l.XProperty().Animation(true, 0);
  track->AddKey(0.0, 0.0);
  track->AddKey(50.0, 400.0);
  sys->frame = 25;
  sys->DrawAll(nullptr);
  EXPECT_EQ(l.X(), 200);
  EXPECT_EQ(l.drawnFrames, std::vector<double>{25.0});
}

TEST_F(Composition, DrawsIntoAGivenTargetBottomToTop) {
  std::vector<int> order;
  TProbeLayer& a = Add(0, 0, 1, 1);
  TProbeLayer& b = Add(0, 0, 1, 1);
  a.OnAfterDraw = [&](TLayer*, TmemoryBitmap&) { order.push_back(0); };
  b.OnAfterDraw = [&](TLayer*, TmemoryBitmap&) { order.push_back(1); };
  TmemoryBitmap target(4, 4);
  sys->DrawAll(&target);
  EXPECT_EQ(order, (std::vector<int>{0, 1}));
  EXPECT_EQ(a.drawnFrames.size(), 1u);
  EXPECT_EQ(target.Factor(), 255);
}

TEST_F(Composition, DrawHooks) {
  TProbeLayer& l = Add(0, 0, 1, 1);
  int after = 0;
  l.OnBeforeDraw = [](TLayer*, TmemoryBitmap&, bool& go) { go = false; };
  l.OnAfterDraw = [&](TLayer* sender, TmemoryBitmap&) {
    EXPECT_EQ(sender, &l);
    ++after;
  };
  sys->DrawAll(nullptr);
  EXPECT_TRUE(l.drawnFrames.empty());  // vetoed
  EXPECT_EQ(after, 1);                 // but told afterwards all the same
}

TEST_F(Composition, FrameGoesBackToZeroAfterMoreThanTwoSecondsWithoutDrawing) {
  TProbeLayer& l = Add(0, 0, 1, 1);
  ticks.Set(1000);
  sys->lasttick = 1000;
  struct Step {
    std::uint32_t advance;
    int expectedFrame;
  };
  const Step steps[] = {{0, 40}, {2000, 40}, {2001, 0}};
  for (const auto& s : steps) {
    ticks.Advance(s.advance);
    sys->frame = 40;
    sys->DrawAll(nullptr);
    EXPECT_EQ(l.drawnFrames.back(), s.expectedFrame) << "after " << s.advance << " ms";
    EXPECT_EQ(sys->lasttick, ticks.TickCount());
  }
  // The 32-bit counter wraps: 10 ms across the wrap is 10 ms.
  ticks.Set(0xFFFFFFFBu);
  sys->DrawAll(nullptr);
  ticks.Advance(10);
  sys->frame = 40;
  sys->DrawAll(nullptr);
  EXPECT_EQ(l.drawnFrames.back(), 40);
}

TEST_F(Composition, UpperLayerWinsTheHover) {
  TProbeLayer& lower = Add(100, 100, 200, 100, true, true);
  TProbeLayer& upper = Add(150, 120, 200, 100);
  EXPECT_EQ(Hover(200, 150), TCursor::crSizeAll);
  EXPECT_EQ(sys->MouseLayer, &upper);
  EXPECT_EQ(sys->MouseEvent, maBody);
  // The lower layer's right-edge handle at (300, 150) lies inside the upper body.
  Hover(300, 150);
  EXPECT_EQ(sys->MouseLayer, &upper);
  EXPECT_EQ(sys->MouseEvent, maBody);
  // Outside the upper layer the lower one's handles work.
  EXPECT_EQ(Hover(100, 150), TCursor::crSizeWE);
  EXPECT_EQ(sys->MouseLayer, &lower);
  EXPECT_EQ(sys->MouseEvent, maLeft);
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 200, 150);  // hover is still the lower layer
  EXPECT_EQ(sys->_SelectedLayer(), &lower);
}

struct HoverCase {
  int x, y;
  int event;  // -1: nothing hit
  TCursor cursor;
};

TEST_F(Composition, HandlesAndBody) {
  // A 100 x 60 layer at (10, 20): corners (10,20) (110,80), middles x 60, y 50.
  const HoverCase both[] = {
      {10, 50, 0, TCursor::crSizeWE},    {8, 48, 0, TCursor::crSizeWE},     {12, 52, 0, TCursor::crSizeWE},
      {7, 50, -1, TCursor::crDefault},   {13, 50, 8, TCursor::crSizeAll},   {10, 53, -1, TCursor::crDefault},
      {110, 50, 1, TCursor::crSizeWE},   {60, 20, 2, TCursor::crSizeNS},    {62, 18, 2, TCursor::crSizeNS},
      {60, 80, 3, TCursor::crSizeNS},    {10, 20, 4, TCursor::crSizeNWSE},  {110, 80, 5, TCursor::crSizeNWSE},
      {110, 20, 6, TCursor::crSizeNESW}, {10, 80, 7, TCursor::crSizeNESW},  {60, 50, 8, TCursor::crSizeAll},
      {111, 50, 1, TCursor::crSizeWE},   {113, 50, -1, TCursor::crDefault}, {60, 83, -1, TCursor::crDefault},
  };
  for (const auto& c : both) {
    auto fresh = Make<TQVSystem>(768, 576, nullptr, false);
    TProbeLayer& l = fresh->NewLayer<TProbeLayer>();
    l.SetX(10), l.SetY(20), l.SetWidth(100), l.SetHeight(60);
    l.AccpetResizeX = l.AccpetResizeY = true;
    TCursor cursor = TCursor::crDefault;
    fresh->MouseMove(0, c.x, c.y, cursor);
    EXPECT_EQ(cursor, c.cursor) << c.x << "," << c.y;
    if (c.event < 0) {
      EXPECT_EQ(fresh->MouseLayer, nullptr) << c.x << "," << c.y;
    } else {
      EXPECT_EQ(fresh->MouseLayer, &l) << c.x << "," << c.y;
      EXPECT_EQ(fresh->MouseEvent, c.event) << c.x << "," << c.y;
    }
  }
}

TEST_F(Composition, WithoutResizeFlagsOnlyTheOpenBodyCounts) {
  TProbeLayer& l = Add(10, 20, 100, 60);
  Hover(10, 50);  // exactly on the left edge: not the body
  EXPECT_EQ(sys->MouseLayer, nullptr);
  Hover(11, 50);
  EXPECT_EQ(sys->MouseLayer, &l);
  EXPECT_EQ(sys->MouseEvent, maBody);
}

TEST_F(Composition, OnlyHorizontalHandlesForAHorizontalResizer) {
  TProbeLayer& l = Add(10, 20, 100, 60, true, false);
  EXPECT_EQ(Hover(60, 20), TCursor::crDefault);  // top middle: no vertical handles
  EXPECT_EQ(sys->MouseLayer, nullptr);
  EXPECT_EQ(Hover(10, 50), TCursor::crSizeWE);
  EXPECT_EQ(sys->MouseLayer, &l);
  EXPECT_EQ(Hover(10, 20), TCursor::crDefault);  // no corner handles either
}

// The hover mark follows the pointer: over no layer there is none, so the name tag leaves the page
// and a click on empty space selects nothing (the page) and drags nothing.
TEST_F(Composition, HoverOverNothingClearsTheHover) {
  TProbeLayer& l = Add(10, 20, 100, 60);
  TProbeLayer& other = Add(300, 300, 40, 40);
  other.SetlayerName("other");
  Hover(50, 50);
  ASSERT_EQ(sys->MouseLayer, &l);
  EXPECT_EQ(Hover(500, 500), TCursor::crDefault);
  EXPECT_EQ(sys->MouseLayer, nullptr);

  // No name tag and no outline once the pointer is off every layer.
  Hover(310, 310);
  sys->DrawEditor();
  EXPECT_FALSE(canvas.calls.empty());
  canvas.calls.clear();
  Hover(200, 200);
  sys->DrawEditor();
  EXPECT_TRUE(canvas.calls.empty());

  // A click on empty space after hovering a layer selects nothing, and the drag after it moves
  // nothing.
  sys->SetSelectedLayer(&l);
  Hover(310, 310);
  Hover(200, 200);
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 200, 200);
  EXPECT_EQ(sys->_SelectedLayer(), nullptr);
  TCursor c = TCursor::crDefault;
  sys->MouseMove(ssLeft, 230, 240, c);
  sys->MouseUp(TMouseButton::mbLeft, 0, 230, 240);
  EXPECT_EQ(other.X(), 300);
  EXPECT_EQ(other.Y(), 300);
  EXPECT_EQ(other.tag0, 0);
  EXPECT_EQ(l.X(), 10);
}

TEST_F(Composition, LeavingTheWorkAreaClearsTheHoverButNotADrag) {
  TProbeLayer& l = Add(10, 20, 100, 60);
  Hover(50, 50);
  sys->MouseLeave();
  EXPECT_EQ(sys->MouseLayer, nullptr);

  Hover(50, 50);
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 50, 50);
  sys->MouseLeave();  // the drag goes on outside the work area
  EXPECT_EQ(sys->MouseLayer, &l);
  TCursor c = TCursor::crDefault;
  sys->MouseMove(ssLeft, 60, 50, c);
  EXPECT_EQ(l.X(), 20);
  sys->MouseUp(TMouseButton::mbLeft, 0, 60, 50);
  sys->MouseLeave();
  EXPECT_EQ(sys->MouseLayer, nullptr);
}

TEST_F(Composition, HiddenAndOutOfTimeLayersCanStillBeGrabbed) {
  sys->SetShowTime(stAfterStart);
  sys->SetDurationType(dtFixed);
  TProbeLayer& hidden = Add(10, 10, 50, 50);
  hidden.SetVisible(false);
  TProbeLayer& late = Add(200, 10, 50, 50);
  late.SetLayerIN(500);
  sys->frame = 0;

  for (TProbeLayer* l : {&hidden, &late}) {
    Hover(l->X() + 25, 30);
    EXPECT_EQ(sys->MouseLayer, l);
    sys->MouseDown(TMouseButton::mbLeft, ssLeft, l->X() + 25, 30);
    EXPECT_EQ(sys->_SelectedLayer(), l);
    TCursor c = TCursor::crDefault;
    sys->MouseMove(ssLeft, l->X() + 30, 33, c);
    sys->MouseUp(TMouseButton::mbLeft, 0, l->X() + 30, 33);
    EXPECT_EQ(l->Y(), 13);
  }
  Hover(hidden.X() + 5, 30);
  sys->DrawEditor();
  bool outlined = false, named = false;
  for (const auto& call : canvas.calls) {
    outlined |= call.op == "frame" && call.r == hidden.BoundsRect();
    named |= call.op == "text" && call.r.Left == hidden.X();
  }
  EXPECT_TRUE(outlined);
  EXPECT_TRUE(named);
}

TEST_F(Composition, MouseDownSelectsAndStartsADrag) {
  TProbeLayer& l = Add(10, 20, 100, 60);
  int hooks = 0;
  const TConnection hook = sys->onSelectItem.Connect([&](TQVSystem* sender) {
    EXPECT_EQ(sender, sys.get());
    ++hooks;
  });
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 50, 50);  // no hover yet: deselects
  EXPECT_EQ(sys->_SelectedLayer(), nullptr);
  EXPECT_EQ(hooks, 1);

  Hover(50, 50);
  sys->MouseDown(TMouseButton::mbRight, ssRight, 50, 50);
  EXPECT_EQ(sys->_SelectedLayer(), nullptr);  // only the left button selects
  EXPECT_EQ(hooks, 1);
  EXPECT_EQ(l.tag0, 0);

  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 50, 50);
  EXPECT_EQ(sys->_SelectedLayer(), &l);
  EXPECT_EQ(l.tag0, 1);
  EXPECT_EQ(sys->Dx, 50);
  EXPECT_EQ(sys->DY, 50);
  EXPECT_EQ(hooks, 2);

  TCursor c = TCursor::crDefault;
  sys->MouseMove(ssLeft, 57, 45, c);
  EXPECT_EQ(c, TCursor::crDefault);  // no cursor during a drag
  EXPECT_EQ(l.X(), 17);
  EXPECT_EQ(l.Y(), 15);
  sys->MouseMove(ssLeft, 60, 45, c);
  EXPECT_EQ(l.X(), 20);
  sys->MouseUp(TMouseButton::mbLeft, 0, 60, 45);
  EXPECT_EQ(l.tag0, 0);
  sys->MouseMove(0, 70, 45, c);  // a hover again, not a drag
  EXPECT_EQ(l.X(), 20);
}

TEST_F(Composition, AdvanceMovesShowingLayersOnceAndRenderMovesNothing) {
  TProbeLayer& shown = Add(0, 0, 10, 10);
  TProbeLayer& hidden = Add(0, 0, 10, 10);
  hidden.SetVisible(false);
  TProbeLayer& late = Add(0, 0, 10, 10);
  sys->SetShowTime(stAfterStart);
  sys->SetDurationType(dtFixed);
  for (TProbeLayer* l : {&shown, &hidden}) l->SetDuration(100);
  late.SetLayerIN(50);

  sys->frame = 20;
  sys->DrawAll(nullptr);
  EXPECT_EQ(shown.advancedFrames, (std::vector<double>{20}));
  EXPECT_EQ(shown.drawnFrames, (std::vector<double>{20}));
  EXPECT_TRUE(hidden.advancedFrames.empty());  // not shown: its state stands still
  EXPECT_EQ(hidden.setFrames, 1);              // but its tracks are evaluated
  EXPECT_TRUE(late.advancedFrames.empty());
  EXPECT_EQ(shown.setFrames, 1);  // once per DrawAll, not again to compose

  // Repaints, also of another frame: drawn as the layers stand, nothing moves on.
  TmemoryBitmap target(768, 576);
  sys->Render(20, target);
  sys->Render(60, target);
  EXPECT_EQ(shown.advancedFrames.size(), 1u);
  EXPECT_TRUE(late.advancedFrames.empty());
  EXPECT_EQ(shown.drawnFrames, (std::vector<double>{20, 20, 60}));
  EXPECT_EQ(late.drawnFrames, (std::vector<double>{60}));  // the time rule at the frame rendered
  EXPECT_EQ(sys->frame, 20);
  EXPECT_EQ(target.Factor(), 255);  // the last layer's opacity
}

TEST_F(Composition, SeveralListenersHearSelectionAndLayerListChanges) {
  std::vector<std::string> heard;
  const TConnection grid = sys->onSelectItem.Connect([&](TQVSystem*) { heard.push_back("grid"); });
  const TConnection list = sys->onSelectItem.Connect([&](TQVSystem*) { heard.push_back("list"); });
  const TConnection layers = sys->onLayersChanged.Connect([&](TQVSystem* s) {
    heard.push_back("layers " + std::to_string(s->Layers.size()));
  });
  TProbeLayer& a = Add(0, 0, 10, 10);
  TProbeLayer& b = Add(20, 0, 10, 10);
  EXPECT_EQ(heard, (std::vector<std::string>{"layers 1", "layers 2"}));
  heard.clear();
  sys->BringToFront(&a);
  sys->SendToBack(&a);
  sys->SetSelectedLayer(&b);
  EXPECT_EQ(heard, (std::vector<std::string>{"layers 2", "layers 2", "grid", "list"}));
  heard.clear();
  std::uint16_t del = VK_DELETE;
  sys->KeyDown(del, 0);  // the selection goes first, then the list hears of the layer
  EXPECT_EQ(heard, (std::vector<std::string>{"grid", "list", "layers 1"}));
  heard.clear();
  sys->DeleteLayer(nullptr);  // no layer of the stack: nothing changes, nobody is told
  EXPECT_TRUE(heard.empty());
}

TEST_F(Composition, SelectingTheSameLayerAgainCallsTheHookAgain) {
  TProbeLayer& l = Add(0, 0, 10, 10);
  int hooks = 0;
  const TConnection hook = sys->onSelectItem.Connect([&](TQVSystem*) { ++hooks; });
  sys->SetSelectedLayer(&l);
  sys->SetSelectedLayer(&l);
  EXPECT_EQ(hooks, 2);
}

struct DragCase {
  TMouseArea area;
  int dx, dy;
  TRect expected;  // X, Y, X + Width, Y + Height after the move
};

TEST_F(Composition, DraggingAHandleChangesPositionAndSize) {
  // Layer at (100, 100), 200 x 100; drag by (+10, +6).
  const DragCase cases[] = {
      {maLeft, 10, 6, {110, 100, 300, 200}},      {maRight, 10, 6, {100, 100, 310, 200}},
      {maTop, 10, 6, {100, 106, 300, 200}},       {maBottom, 10, 6, {100, 100, 300, 206}},
      {maTopLeft, 10, 6, {110, 106, 300, 200}},   {maBottomRight, 10, 6, {100, 100, 310, 206}},
      {maTopRight, 10, 6, {100, 106, 310, 200}},  {maBottomLeft, 10, 6, {110, 100, 300, 206}},
      {maBody, 10, 6, {110, 106, 310, 206}},
  };
  for (const auto& c : cases) {
    auto fresh = Make<TQVSystem>(768, 576, nullptr, false);
    TProbeLayer& l = fresh->NewLayer<TProbeLayer>();
    l.SetX(100), l.SetY(100), l.SetWidth(200), l.SetHeight(100);
    fresh->SetSelectedLayer(&l);
    l.tag0 = 1;
    fresh->MouseEvent = c.area;
    fresh->Dx = 400;
    fresh->DY = 400;
    TCursor cur = TCursor::crDefault;
    fresh->MouseMove(ssLeft, 400 + c.dx, 400 + c.dy, cur);
    EXPECT_EQ(l.BoundsRect(), c.expected) << "area " << c.area;
    EXPECT_EQ(fresh->Dx, 400 + c.dx);
  }
}

TEST_F(Composition, DraggingPastZeroIsNotLimited) {
  TProbeLayer& l = Add(100, 100, 20, 20, true, true);
  Hover(120, 110);  // right edge
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 120, 110);
  TCursor c = TCursor::crDefault;
  sys->MouseMove(ssLeft, 80, 110, c);
  EXPECT_EQ(l.Width(), -20);
  // Extreme values saturate instead of wrapping around.
  l.SetX(INT32_MAX - 5);
  sys->MouseEvent = maBody;
  sys->MouseMove(ssLeft, 2000000000, 110, c);
  EXPECT_EQ(l.X(), INT32_MAX);
}

struct KeyCase {
  std::uint16_t key;
  TShiftState shift;
  int dx, dy, dw;
};

TEST_F(Composition, KeysNudgeAndWiden) {
  const KeyCase cases[] = {
      {VK_LEFT, 0, -1, 0, 0},           {VK_LEFT, ssCtrl, -4, 0, 0},     {VK_LEFT, ssAlt, 0, 0, -1},
      {VK_LEFT, ssCtrl | ssAlt, -4, 0, 0}, {VK_RIGHT, 0, 1, 0, 0},      {VK_RIGHT, ssCtrl, 4, 0, 0},
      {VK_RIGHT, ssAlt, 0, 0, 1},       {VK_UP, 0, 0, -1, 0},            {VK_UP, ssCtrl, 0, -4, 0},
      {VK_UP, ssAlt, 0, -1, 0},         {VK_DOWN, 0, 0, 1, 0},           {VK_DOWN, ssCtrl, 0, 4, 0},
      {VK_DOWN, ssShift, 0, 1, 0},      {VK_LEFT, ssShift, -1, 0, 0},    {65, 0, 0, 0, 0},
  };
  TProbeLayer& l = Add(50, 60, 70, 80);
  sys->SetSelectedLayer(&l);
  for (const auto& c : cases) {
    l.SetX(50), l.SetY(60), l.SetWidth(70);
    int notifications = 0;
    l.AddChangeNotify(this, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++notifications; });
    std::uint16_t key = c.key;
    sys->KeyDown(key, c.shift);
    l.RemoveChangeNotify(this);
    EXPECT_EQ(l.X(), 50 + c.dx) << "key " << c.key << " shift " << int(c.shift);
    EXPECT_EQ(l.Y(), 60 + c.dy) << "key " << c.key << " shift " << int(c.shift);
    EXPECT_EQ(l.Width(), 70 + c.dw) << "key " << c.key << " shift " << int(c.shift);
    // X, Y and Width are each set (and notify) whenever a key applies, 0 deltas included.
    EXPECT_EQ(notifications, (c.dx || c.dy || c.dw) ? 3 : 0) << "key " << c.key;
  }
}

TEST_F(Composition, DeleteRemovesTheSelectedLayer) {
  TProbeLayer& a = Add(0, 0, 10, 10);
  TProbeLayer& b = Add(20, 0, 10, 10);
  std::uint16_t del = VK_DELETE;
  sys->KeyDown(del, 0);  // nothing selected: nothing happens
  EXPECT_EQ(sys->Layers.size(), 2u);

  Hover(25, 5);
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 25, 5);
  ASSERT_EQ(sys->_SelectedLayer(), &b);
  TLayer* seenInHook = &b;
  const TConnection hook = sys->onSelectItem.Connect([&](TQVSystem* s) { seenInHook = s->_SelectedLayer(); });
  sys->KeyDown(del, 0);
  ASSERT_EQ(sys->Layers.size(), 1u);
  EXPECT_EQ(sys->Layers[0].get(), &a);
  EXPECT_EQ(sys->_SelectedLayer(), nullptr);
  EXPECT_EQ(seenInHook, nullptr);
  EXPECT_EQ(sys->MouseLayer, nullptr);
  // With no hover layer a click deselects.
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 300, 300);
  EXPECT_EQ(sys->_SelectedLayer(), nullptr);
  sys->DrawAll(nullptr);
}

TEST_F(Composition, KeysAndMouseUpWithoutSelectionChangeNothing) {
  TProbeLayer& l = Add(5, 5, 10, 10);
  std::uint16_t key = VK_LEFT;
  sys->KeyDown(key, ssCtrl);
  sys->MouseUp(TMouseButton::mbLeft, 0, 0, 0);
  EXPECT_EQ(l.X(), 5);
}

TEST_F(Composition, BringToFrontAndSendToBack) {
  TProbeLayer& a = Add(0, 0, 1, 1);
  TProbeLayer& b = Add(0, 0, 1, 1);
  TProbeLayer& c = Add(0, 0, 1, 1);
  auto order = [&] {
    std::vector<TLayer*> v;
    for (auto& l : sys->Layers) v.push_back(l.get());
    return v;
  };
  sys->SetSelectedLayer(&b);
  sys->BringToFront(&c);
  EXPECT_EQ(order(), (std::vector<TLayer*>{&a, &b, &c}));
  sys->BringToFront(&a);
  EXPECT_EQ(order(), (std::vector<TLayer*>{&b, &c, &a}));
  sys->SendToBack(&a);
  EXPECT_EQ(order(), (std::vector<TLayer*>{&a, &b, &c}));
  sys->SendToBack(&c);
  EXPECT_EQ(order(), (std::vector<TLayer*>{&c, &a, &b}));
  EXPECT_EQ(sys->_SelectedLayer(), &b);
}

TEST_F(Composition, OverlayCalls) {
  TProbeLayer& img = Add(100, 50, 40, 21, true, true);
  img.SetlayerName("logo");
  TProbeLayer& other = Add(300, 300, 10, 10);
  other.SetlayerName("other");

  sys->DrawEditor();  // nothing hovered or selected
  EXPECT_TRUE(canvas.calls.empty());
  EXPECT_EQ(canvas.opened, 1);

  Hover(305, 305);
  sys->DrawEditor();
  EXPECT_EQ(canvas.calls, (std::vector<TCanvasCall>{
                              {"frame", {300, 300, 310, 310}, 0xFFFFFF, 0, TPenMode::pmXor, {}},
                              {"text", {300, 300, 300, 300}, 0x000000, 0xFFFFFF, TPenMode::pmCopy, "other"},
                          }));

  canvas.calls.clear();
  Hover(120, 60);
  sys->MouseDown(TMouseButton::mbLeft, ssLeft, 120, 60);
  sys->MouseUp(TMouseButton::mbLeft, 0, 120, 60);
  sys->DrawEditor();
  // Hover = selection: no hover outline, the name, the selection outline, eight handles.
  const std::uint32_t blue = 0x0000FF;
  auto h = [&](int cx, int cy) {
    return TCanvasCall{"fill", {cx - 3, cy - 3, cx + 3, cy + 3}, blue, 0xFFFFFF, TPenMode::pmCopy, {}};
  };
  EXPECT_EQ(canvas.calls, (std::vector<TCanvasCall>{
                              {"text", {100, 50, 100, 50}, 0x000000, 0xFFFFFF, TPenMode::pmCopy, "logo"},
                              {"frame", {100, 50, 140, 71}, 0xFFFFFF, 0, TPenMode::pmXor, {}},
                              h(100, 60), h(140, 60),                        // left, right (H div 2 = 10)
                              h(120, 71), h(120, 50),                        // bottom, top
                              h(100, 50), h(140, 50), h(100, 71), h(140, 71) // corners
                          }));

  // Hovering another layer while one is selected shows both.
  canvas.calls.clear();
  Hover(305, 305);
  sys->DrawEditor();
  ASSERT_EQ(canvas.calls.size(), 2u + 1u + 8u);
  EXPECT_EQ(canvas.calls[0].r, (TRect{300, 300, 310, 310}));
  EXPECT_EQ(canvas.calls[1].text, "other");
  EXPECT_EQ(canvas.calls[2].r, img.BoundsRect());

  // A layer without resize flags gets its outline and no handles.
  canvas.calls.clear();
  sys->SetSelectedLayer(&other);
  sys->DrawEditor();
  ASSERT_EQ(canvas.calls.size(), 2u);
  EXPECT_EQ(canvas.calls[1].op, "frame");
}

TEST_F(Composition, OverlayHandlesForOneDirection) {
  TProbeLayer& l = Add(10, 10, 30, 20, true, false);
  sys->SetSelectedLayer(&l);
  sys->DrawEditor();
  std::vector<TRect> fills;
  for (const auto& c : canvas.calls) {
    if (c.op == "fill") fills.push_back(c.r);
  }
  EXPECT_EQ(fills, (std::vector<TRect>{{7, 17, 13, 23}, {37, 17, 43, 23}}));
}

TEST(CompositionOverlay, WithoutCanvasOrWorkDrawsNothing) {
  auto noCanvas = Make<TQVSystem>(768, 576, nullptr, true);
  TProbeLayer& l = noCanvas->NewLayer<TProbeLayer>();
  noCanvas->SetSelectedLayer(&l);
  noCanvas->DrawEditor();  // no canvas factory in the context
  TRecordingCanvasFactory canvas;
  auto bare = Make<TQVSystem>(16, 8, TCompositionContext{.Canvases = &canvas}, false);
  bare->DrawEditor();
  EXPECT_EQ(canvas.opened, 0);
}

}  // namespace
}  // namespace qv::test

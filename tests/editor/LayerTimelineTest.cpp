// The layer timeline's model on the ruler's scale: rows in stacking order, hit tests of names,
// bars, bar ends and diamonds, drags of bars and diamonds into history steps (each undone and
// redone), diamonds that never land on another key, the rubber band, and zoom and scroll shared
// with the ruler.
#include "editor_logic/LayerTimeline.h"

#include "composition/ImageLayers.h"
#include "history/History.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

// At the ruler's default scale a frame is 1.5 pixels and frame 0 sits 8 pixels into the ruler;
// the name column is 150 wide, so frame f is at x = 158 + trunc(1.5 f).
struct LayerTimeline : ::testing::Test {
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  TImageLayer& a = sys->NewLayer<TImageLayer>();
  TImageLayer& b = sys->NewLayer<TImageLayer>();
  TTimeRulerModel ruler;
  TLayerTimelineModel model{ruler};
  TManualTickSource ticks{1000};
  THistory history{*sys, ticks};
  std::vector<std::string> steps;  // the names of the steps the model handed over, done at once
  std::vector<TLayer*> selected;

  void SetUp() override {
    a.SetlayerName("a");
    a.SetLayerIN(0);
    a.SetDuration(100);
    b.SetlayerName("b");
    b.SetLayerIN(25);
    b.SetDuration(50);
    Tkeys* x = b.XProperty().Animation(true);
    x->AddKey(0, 0.0);
    x->AddKey(12, 100.0);
    x->AddKey(50, 400.0);
    model.OnStep = [this](std::unique_ptr<TStep> s) {
      steps.push_back(s->Name());
      history.Do(std::move(s));
    };
    model.OnSelectLayer = [this](TLayer* l) { selected.push_back(l); };
    model.Rebuild(*sys);
  }
  static int X(int frame) { return 158 + frame * 3 / 2; }
  void Drag(int x0, int y0, int x1, int y1, bool extend = false) {
    model.ButtonDown(x0, y0, extend);
    model.MouseMove((x0 + x1) / 2, (y0 + y1) / 2);
    model.MouseMove(x1, y1);
    model.ButtonUp();
  }
  std::vector<std::int32_t> XKeys() const { return KeyFrames(b.XProperty()); }
};

TEST_F(LayerTimeline, OneRowPerLayerTopFirstWithItsBarAndKeys) {
  const auto& rows = model.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Name, "b");
  EXPECT_EQ(rows[0].Keys, (std::vector<std::int32_t>{0, 12, 50}));
  EXPECT_TRUE(rows[0].Openable);
  EXPECT_EQ(rows[1].Name, "a");
  EXPECT_FALSE(rows[1].Openable);
  const auto bar = model.BarOf(0);
  EXPECT_EQ(bar.Left, X(25));
  EXPECT_EQ(bar.Right, X(76));  // the layer shows on frames 25 .. 75
  EXPECT_EQ(model.BarOf(1).Right, X(101));

  // Opened like a grid group: a row per animated property under the layer's.
  b.YProperty().Animation(true)->AddKey(12, 3.0);
  model.ButtonDown(5, 10, false);  // the triangle
  model.ButtonUp();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].Name, "X");
  EXPECT_EQ(rows[2].Name, "Y");
  EXPECT_EQ(rows[2].Keys, std::vector<std::int32_t>{12});
  EXPECT_EQ(rows[3].Name, "a");
  EXPECT_TRUE(steps.empty());
  EXPECT_TRUE(selected.empty());
  model.SetOpen(&b, false);
  EXPECT_EQ(rows.size(), 2u);
  // The editor rebuilds on every frame it draws: only a change asks for a repaint.
  int repaints = 0;
  model.Repaint = [&] { ++repaints; };
  model.Rebuild(*sys);
  EXPECT_EQ(repaints, 0);
  b.SetLayerIN(30);
  model.Rebuild(*sys);
  EXPECT_EQ(repaints, 1);
  // A layer that goes takes its rows with it.
  sys->DeleteLayer(&a);
  model.Rebuild(*sys);
  EXPECT_EQ(rows.size(), 1u);
}

TEST_F(LayerTimeline, HitTests) {
  struct {
    int x, y;
    TTimelinePart part;
    int row;
    int frame;
  } cases[] = {
      {100, 10, TTimelinePart::tpName, 0, 0},
      {5, 10, TTimelinePart::tpExpander, 0, 0},
      {5, 30, TTimelinePart::tpName, 1, 0},  // a has no animation to open
      {X(12), 10, TTimelinePart::tpKey, 0, 12},
      {X(12) + 4, 10, TTimelinePart::tpKey, 0, 12},
      {X(12) + 6, 10, TTimelinePart::tpTrack, 0, 0},
      {X(0), 10, TTimelinePart::tpKey, 0, 0},
      {X(50), 10, TTimelinePart::tpKey, 0, 50},  // a diamond on the bar
      {X(25) - 3, 10, TTimelinePart::tpBarStart, 0, 0},
      {X(25) + 2, 10, TTimelinePart::tpBarStart, 0, 0},
      {250, 10, TTimelinePart::tpBar, 0, 0},
      {X(76) - 2, 10, TTimelinePart::tpBarEnd, 0, 0},
      {X(76) + 3, 10, TTimelinePart::tpBarEnd, 0, 0},
      {X(76) + 10, 10, TTimelinePart::tpTrack, 0, 0},
      {250, 1, TTimelinePart::tpTrack, 0, 0},  // above the bar
      {250, 30, TTimelinePart::tpBar, 1, 0},
      {10, 45, TTimelinePart::tpNone, -1, 0},
  };
  for (const auto& c : cases) {
    const TTimelineHit hit = model.HitTest(c.x, c.y);
    EXPECT_EQ(hit.Part, c.part) << c.x << "," << c.y;
    EXPECT_EQ(hit.Row, c.row) << c.x << "," << c.y;
    if (c.part == TTimelinePart::tpKey) EXPECT_EQ(hit.Frame, c.frame) << c.x << "," << c.y;
  }
}

TEST_F(LayerTimeline, BarDragsChangeLayerInAndDurationAsOneStepEach) {
  struct {
    const char* name;
    int downX, moveX;
    int in, duration;
    const char* text;
  } cases[] = {
      {"the bar, 20 frames later", 250, 280, 45, 50, "Move b in time"},
      {"the right end, 10 frames longer", X(76) - 2, X(76) + 13, 25, 60, "Change Timing of b"},
      {"the left end, 10 frames later, the out-point staying", X(25) - 3, X(25) + 12, 35, 40, "Change Timing of b"},
      {"the left end beyond frame 0", X(25) - 3, 0, 0, 75, "Change Timing of b"},
      {"the left end beyond the out-point", X(25) - 3, 700, 75, 0, "Change Timing of b"},
      {"the right end before the in-point", X(76) - 2, 0, 25, 0, "Change Timing of b"},
      {"the bar before frame 0", 250, 0, 0, 50, "Move b in time"},
  };
  for (const auto& c : cases) {
    model.ButtonDown(c.downX, 10, false);
    model.MouseMove(c.moveX, 10);
    // Shown where it would go while the drag goes on; the layer is not touched yet.
    EXPECT_EQ(model.BarOf(0).In, c.in) << c.name;
    EXPECT_EQ(model.BarOf(0).Duration, c.duration) << c.name;
    EXPECT_EQ(b.LayerIN(), 25) << c.name;
    model.ButtonUp();
    EXPECT_EQ(steps, std::vector<std::string>{c.text}) << c.name;
    steps.clear();
    EXPECT_EQ(history.UndoName(), c.text);
    EXPECT_EQ(b.LayerIN(), c.in) << c.name;
    EXPECT_EQ(b.Duration(), c.duration) << c.name;
    history.Undo();
    EXPECT_EQ(b.LayerIN(), 25) << c.name;
    EXPECT_EQ(b.Duration(), 50) << c.name;
    history.Redo();
    EXPECT_EQ(b.LayerIN(), c.in) << c.name;
    EXPECT_EQ(b.Duration(), c.duration) << c.name;
    history.Undo();
    model.Rebuild(*sys);
  }
  // A click without a move, and a drag that ends where it began, are no steps.
  Drag(250, 10, 250, 10);
  EXPECT_TRUE(steps.empty());
  Drag(250, 10, 300, 10);
  EXPECT_EQ(steps.size(), 1u);
  history.Undo();
  model.Rebuild(*sys);
  steps.clear();
  model.ButtonDown(250, 10, false);
  model.MouseMove(300, 10);
  model.CaptureLost();
  model.ButtonUp();
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(model.BarOf(0).In, 25);
}

TEST_F(LayerTimeline, DiamondDragsMoveKeysOnWholeFramesNeverOntoAnotherKey) {
  struct {
    const char* name;
    int moveX;
    std::vector<std::int32_t> keys;
  } cases[] = {
      {"10 frames later", X(22), {0, 22, 50}},
      {"onto the key at 50: it stops a frame short", X(50), {0, 49, 50}},
      {"onto the key at 0", X(0), {0, 1, 50}},
      {"past the key at 50", X(60), {0, 50, 60}},
  };
  for (const auto& c : cases) {
    model.ButtonDown(X(12), 10, false);
    model.MouseMove(c.moveX, 10);
    std::vector<std::int32_t> shown;
    for (const auto& d : model.DiamondsOf(0)) shown.push_back(d.Frame);
    EXPECT_EQ(shown, c.keys) << c.name << ": the drag shows where the keys go";
    model.ButtonUp();
    EXPECT_EQ(steps, std::vector<std::string>{"Move Key of b"}) << c.name;
    model.Rebuild(*sys);
    EXPECT_EQ(XKeys(), c.keys) << c.name;
    // The selection follows the key.
    const std::int32_t moved = c.keys == std::vector<std::int32_t>{0, 50, 60} ? 60 : c.keys[1];
    EXPECT_EQ(model.SelectedKeys(), (std::set<TKeyRef>{{&b.XProperty(), moved}})) << c.name;
    history.Undo();
    EXPECT_EQ(XKeys(), (std::vector<std::int32_t>{0, 12, 50})) << c.name;
    history.Redo();
    EXPECT_EQ(XKeys(), c.keys) << c.name;
    history.Undo();
    steps.clear();
    model.Rebuild(*sys);
  }
}

TEST_F(LayerTimeline, ALayerDiamondMovesEveryKeyOnItsFrameAPropertyDiamondOnlyItsOwn) {
  b.YProperty().Animation(true)->AddKey(12, 3.0);
  b.YProperty().Animation(true)->AddKey(30, 4.0);
  model.Rebuild(*sys);
  Drag(X(12), 10, X(20), 10);
  EXPECT_EQ(steps, std::vector<std::string>{"Move Keys of b"});
  EXPECT_EQ(XKeys(), (std::vector<std::int32_t>{0, 20, 50}));
  EXPECT_EQ(KeyFrames(b.YProperty()), (std::vector<std::int32_t>{20, 30}));
  history.Undo();
  EXPECT_EQ(XKeys(), (std::vector<std::int32_t>{0, 12, 50}));
  EXPECT_EQ(KeyFrames(b.YProperty()), (std::vector<std::int32_t>{12, 30}));
  steps.clear();
  model.Rebuild(*sys);

  model.SetOpen(&b, true);  // rows: b, X, Y, a
  ASSERT_EQ(model.Rows()[2].Name, "Y");
  Drag(X(12), 50, X(20), 50);
  EXPECT_EQ(steps, std::vector<std::string>{"Move Key of b"});
  EXPECT_EQ(XKeys(), (std::vector<std::int32_t>{0, 12, 50}));
  EXPECT_EQ(KeyFrames(b.YProperty()), (std::vector<std::int32_t>{20, 30}));
  // While one of its keys is selected, the layer's diamond on 20 shows selected.
  model.Rebuild(*sys);
  bool found = false;
  for (const auto& d : model.DiamondsOf(0))
    if (d.Frame == 20) found = d.Selected;
  EXPECT_TRUE(found);
}

TEST_F(LayerTimeline, ClicksSelectRubberBandsCollectDeleteRemoves) {
  // A click on a track selects its layer.
  model.ButtonDown(250, 10, false);
  model.ButtonUp();
  EXPECT_EQ(selected, std::vector<TLayer*>{&b});
  sys->SetSelectedLayer(&b);
  model.Rebuild(*sys);
  EXPECT_TRUE(model.Rows()[0].Selected);
  EXPECT_FALSE(model.Rows()[1].Selected);

  // A band from an empty spot over the keys at 12 and 50.
  model.ButtonDown(X(5), 2, false);
  model.MouseMove(X(55), 18);
  EXPECT_TRUE(model.RubberBand().has_value());
  model.ButtonUp();
  EXPECT_FALSE(model.RubberBand().has_value());
  EXPECT_TRUE(steps.empty());
  const TBaseProperty* x = &b.XProperty();
  EXPECT_EQ(model.SelectedKeys(), (std::set<TKeyRef>{{const_cast<TBaseProperty*>(x), 12}, {const_cast<TBaseProperty*>(x), 50}}));
  // Ctrl adds a diamond, a second Ctrl-click takes it away again; a plain click selects only it.
  model.ButtonDown(X(0), 10, true);
  model.ButtonUp();
  EXPECT_EQ(model.SelectedKeys().size(), 3u);
  model.ButtonDown(X(0), 10, true);
  model.ButtonUp();
  EXPECT_EQ(model.SelectedKeys().size(), 2u);

  std::unique_ptr<TStep> del = model.DeleteSelectedKeys();
  ASSERT_TRUE(del);
  EXPECT_EQ(del->Name(), "Delete Keys of b");
  history.Do(std::move(del));
  model.Rebuild(*sys);
  EXPECT_EQ(XKeys(), std::vector<std::int32_t>{0});
  EXPECT_TRUE(model.SelectedKeys().empty());
  EXPECT_FALSE(model.DeleteSelectedKeys());
  history.Undo();
  model.Rebuild(*sys);
  EXPECT_EQ(XKeys(), (std::vector<std::int32_t>{0, 12, 50}));

  // A click on an empty spot clears the key selection; keys that went leave it.
  model.ButtonDown(X(12), 10, false);
  model.ButtonUp();
  EXPECT_EQ(model.SelectedKeys().size(), 1u);
  model.ButtonDown(X(5), 10, false);
  model.ButtonUp();
  EXPECT_TRUE(model.SelectedKeys().empty());
  model.ButtonDown(X(12), 10, false);
  model.ButtonUp();
  b.XProperty().Animation(false)->Clear();
  model.Rebuild(*sys);
  EXPECT_TRUE(model.SelectedKeys().empty());
}

TEST_F(LayerTimeline, ZoomAndScrollComeFromTheRuler) {
  struct {
    double scale;
    int debut;
    int x;  // of the key at 12
  } cases[] = {{0.75, 0, 176}, {1.5, 0, 194}, {1.5, 30, 164}, {3.0, 50, 180}};
  for (const auto& c : cases) {
    ruler.SetScale(c.scale);
    ruler.SetDebut(c.debut);
    EXPECT_EQ(model.XOfFrame(12), c.x) << c.scale << " " << c.debut;
    const TTimelineHit hit = model.HitTest(c.x, 10);
    EXPECT_EQ(hit.Part, TTimelinePart::tpKey) << c.scale << " " << c.debut;
    EXPECT_EQ(hit.Frame, 12);
    EXPECT_EQ(model.FrameAtX(c.x), 12);
  }
  model.SetScrollY(20);  // the first row scrolled away
  EXPECT_EQ(model.RowAt(10), 1);
  EXPECT_EQ(model.ContentHeight(), 40);
}

}  // namespace
}  // namespace qv::test

// The key commands as steps of the document's history (each done, undone and redone against the
// page's whole text and keys, with its name and the unsaved marker), Previous / Next key, easing
// against the cosine evaluator, key shifts that never land on another key, automatic keying of
// gestures and grid edits as one step each, the curve-shift status text, and the addressing that
// lets a step outlive the objects it touched.
#include "editor_logic/KeyCommands.h"

#include "base/NumberText.h"
#include "composition/ImageLayers.h"
#include "composition/TextLayer.h"
#include "composition/TextRenderStyle.h"
#include "composition/WorkArea.h"
#include "history/PageCommands.h"
#include "model/UndoEngine.h"
#include "platform/Clock.h"
#include "platform/Input.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::test {
namespace {

struct KeyCommands : ::testing::Test {
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  TImageLayer& bottom = sys->NewLayer<TImageLayer>();
  TImageLayer& logo = sys->NewLayer<TImageLayer>();
  TAnimationManager& am = *sys->AnimationManager();
  TManualTickSource ticks{1000};
  THistory history{*sys, ticks};

  void SetUp() override {
    bottom.SetlayerName("bottom");
    logo.SetlayerName("logo");
    logo.SetX(0);
  }
  // The layer's X with keys (frame, value).
  void KeyX(std::initializer_list<std::pair<int, double>> keys) {
    Tkeys* t = logo.XProperty().Animation(true);
    for (const auto& [f, v] : keys) t->AddKey(f, v);
  }
  static std::vector<std::pair<int, double>> Keys(const TBaseProperty& P) {
    std::vector<std::pair<int, double>> out;
    if (const Tkeys* t = P.Animation(false))
      for (int i = 0; i < t->Count(); ++i) out.emplace_back(RoundToInt32(t->key(i)->fframe), t->key(i)->fvalue);
    return out;
  }
  // The page's project text plus every track of every property of the page and its layers (single
  // keys too, which the file leaves out) and both out-of-range modes. An empty track (the registry keeps a track until its
  // property goes) is as good as none.
  std::string PageText() const {
    TMemoryLineWriter w;
    sys->SaveToStream("", w);
    for (const auto& l : sys->Layers) l->SaveToStream("", w);
    std::string text;
    for (const auto& line : w.Lines) text += line + "\n";
    std::vector<TBaseProperty*> roots{sys.get()};
    for (const auto& l : sys->Layers) roots.push_back(l.get());
    for (TBaseProperty* root : roots) {
      std::vector<TBaseProperty*> leaves;
      TrackedLeaves(*root, leaves);
      for (const TBaseProperty* p : leaves) {
        const Tkeys* t = p->Animation(false);
        if (t == nullptr || t->Count() == 0) continue;
        text += DisplayName(*p) + " " + std::to_string(t->finat) + "/" + std::to_string(t->Foutat) + ":";
        for (const TKeyState& k : TrackKeys(*t)) text += " " + FormatFixed(k.Frame, 0) + "=" + FormatFixed(k.Value, 6);
        text += "\n";
      }
    }
    return text;
  }
  // Does the step through the history and checks that it is one step named Name (as the Edit menu
  // shows it after "Undo " and "Redo "), that the document is unsaved after it and after its redo
  // and saved again after its undo, and that undo and redo give the page's text before and after
  // exactly.
  void DoUndoRedo(std::unique_ptr<TStep> step, const std::string& name) {
    ASSERT_TRUE(step) << name;
    EXPECT_EQ(step->Name(), name);
    history.SetClean();
    const std::string before = PageText();
    const std::size_t steps = history.Index();
    const std::size_t elements = sys->UndoEngine()->Count();
    history.Do(std::move(step));
    const std::string after = PageText();
    EXPECT_NE(before, after) << name;
    EXPECT_EQ(history.Index(), steps + 1) << name;
    EXPECT_EQ(history.UndoName(), name);
    EXPECT_FALSE(history.IsClean()) << name;
    EXPECT_EQ(sys->UndoEngine()->Count(), elements) << name << ": no element of the page's undo engine";
    history.Undo();
    EXPECT_EQ(PageText(), before) << name;
    EXPECT_EQ(history.RedoName(), name);
    EXPECT_TRUE(history.IsClean()) << name;
    history.Redo();
    EXPECT_EQ(PageText(), after) << name;
    EXPECT_EQ(history.UndoName(), name);
    EXPECT_FALSE(history.IsClean()) << name;
  }
};

using Frames = std::vector<std::pair<int, double>>;

TEST_F(KeyCommands, AddDeletePreviousAndNextOnALayerWithKeysAt0_12And50) {
  KeyX({{0, 0}, {12, 100}, {50, 400}});
  TBaseProperty* row[] = {&logo};
  struct {
    int frame;
    std::optional<int> previous, next;
  } nav[] = {{0, std::nullopt, 12}, {5, 0, 12}, {12, 0, 50}, {30, 12, 50}, {50, 12, std::nullopt}, {80, 50, std::nullopt}};
  for (const auto& n : nav) {
    EXPECT_EQ(PreviousKey(row, n.frame), n.previous) << n.frame;
    EXPECT_EQ(NextKey(row, n.frame), n.next) << n.frame;
  }

  TBaseProperty* x[] = {&logo.XProperty()};
  logo.SetFrame(30);  // X takes its value at frame 30: 100 + 18/38 * 300, rounded
  ASSERT_EQ(logo.X(), 242);
  DoUndoRedo(AddKeyStep(*sys, x, 30), "Add Key to X of logo");
  EXPECT_EQ(Keys(logo.XProperty()), (Frames{{0, 0}, {12, 100}, {30, 242}, {50, 400}}));
  EXPECT_EQ(NextKey(row, 12), 30);
  // A key that is there with the value there changes nothing.
  EXPECT_FALSE(AddKeyStep(*sys, x, 30));

  // On the layer's row: only X has a key there.
  DoUndoRedo(DeleteKeyStep(*sys, row, 12), "Delete Key from X of logo");
  EXPECT_EQ(Keys(logo.XProperty()), (Frames{{0, 0}, {30, 242}, {50, 400}}));
  EXPECT_FALSE(DeleteKeyStep(*sys, row, 13));
  EXPECT_EQ(PreviousKey(row, 30), 0);
}

// Every key command on X (keys at 0 and 20, the page at frame 10) and on the layer's timing, each
// undone and redone through the history.
TEST_F(KeyCommands, EveryKeyCommandIsOneStepOfTheHistoryUndoneAndRedoneExactly) {
  using TMake = std::unique_ptr<TStep> (*)(TQVSystem&, TLayer&);
  static constexpr auto kX = [](TLayer& l) { return std::vector<TBaseProperty*>{&l.XProperty()}; };
  struct {
    const char* step;
    TMake make;
  } cases[] = {
      {"Add Key to X of logo", [](TQVSystem& s, TLayer& l) { return AddKeyStep(s, kX(l), 10); }},
      {"Add Key to logo",
       [](TQVSystem& s, TLayer& l) {
         l.ClearAnimation();  // a layer without animation: its position, size and opacity
         return AddKeyStep(s, KeyTargets(l), 10);
       }},
      {"Delete Key from X of logo", [](TQVSystem& s, TLayer& l) { return DeleteKeyStep(s, kX(l), 20); }},
      {"Clear Animation of X of logo", [](TQVSystem& s, TLayer& l) { return ClearAnimationStep(s, kX(l)); }},
      {"Set Cycle Out of Range on X of logo", [](TQVSystem& s, TLayer& l) { return AnimationTypeStep(s, kX(l), atCycle); }},
      {"Set Loop Out of Range on X of logo", [](TQVSystem& s, TLayer& l) { return AnimationTypeStep(s, kX(l), atLoop); }},
      {"Set PingPong Out of Range on X of logo",
       [](TQVSystem& s, TLayer& l) { return AnimationTypeStep(s, kX(l), atPingPong); }},
      {"Set Linear Out of Range on X of logo", [](TQVSystem& s, TLayer& l) { return AnimationTypeStep(s, kX(l), atLinear); }},
      {"Set RelativeRepeat Out of Range on X of logo",
       [](TQVSystem& s, TLayer& l) { return AnimationTypeStep(s, kX(l), atRelativeRepeat); }},
      {"Set Constant Out of Range on X of logo",
       [](TQVSystem& s, TLayer& l) {
         l.XProperty().Animation(false)->finat = atLoop;  // not constant yet (set outside the history)
         return AnimationTypeStep(s, kX(l), atConstant);
       }},
      {"Ease In/Out X of logo", [](TQVSystem& s, TLayer& l) { return EaseStep(s, kX(l), 10); }},
      {"Move Key of logo",
       [](TQVSystem& s, TLayer& l) { return MoveKeysStep(s, std::vector<TKeyRef>{{&l.XProperty(), 20}}, 5); }},
      {"Move Keys of logo",
       [](TQVSystem& s, TLayer& l) {
         return MoveKeysStep(s, std::vector<TKeyRef>{{&l.XProperty(), 0}, {&l.XProperty(), 20}}, 3);
       }},
      {"Delete Keys of logo",
       [](TQVSystem& s, TLayer& l) {
         return DeleteKeysStep(s, std::vector<TKeyRef>{{&l.XProperty(), 0}, {&l.XProperty(), 20}});
       }},
      {"Move logo in time", [](TQVSystem& s, TLayer& l) { return LayerTimingStep(s, l, 30, 250); }},
      {"Change Timing of logo", [](TQVSystem& s, TLayer& l) { return LayerTimingStep(s, l, 0, 100); }},
  };
  for (const auto& c : cases) {
    logo.ClearAnimation();
    KeyX({{0, 0}, {20, 400}});
    logo.SetLayerIN(0);
    logo.SetDuration(250);
    SetPageFrame(*sys, 10);
    logo.SetFrame(10);
    history.Clear();
    DoUndoRedo(c.make(*sys, logo), c.step);
  }
}

TEST_F(KeyCommands, AddKeyOnALayerWithoutAnimationKeysPositionSizeAndOpacity) {
  logo.SetWidth(200);
  TBaseProperty* row[] = {&logo};
  const std::vector<TBaseProperty*> targets = KeyTargets(logo);
  ASSERT_EQ(targets.size(), 5u);
  DoUndoRedo(AddKeyStep(*sys, targets, 7), "Add Key to logo");
  for (TBaseProperty* p : targets) EXPECT_EQ(KeyFrames(*p), std::vector<std::int32_t>{7}) << p->Name;
  EXPECT_EQ(Keys(logo.WidthProperty()), (Frames{{7, 200}}));
  EXPECT_FALSE(IsAnimated(logo.NameProperty()));
  // Once the layer is animated, its animated properties are what a layer key keys.
  history.Do(ClearAnimationStep(*sys, std::vector<TBaseProperty*>{&logo.YProperty(), &logo.WidthProperty(),
                                                                  &logo.HeightProperty(), &logo.OpacityProperty()}));
  EXPECT_EQ(history.UndoName(), "Clear Animation of logo");
  EXPECT_EQ(KeyTargets(logo), std::vector<TBaseProperty*>{&logo.XProperty()});
  EXPECT_TRUE(PreviousKey(row, 8).has_value());
}

TEST_F(KeyCommands, ClearAnimationAndTheOutOfRangeModeAreStepsAndTheModeIsSaved) {
  KeyX({{0, 0}, {20, 400}});
  TBaseProperty* row[] = {&logo};
  struct {
    Tanimationtype type;
    const char* word;  // in the file's "Anim" line
  } modes[] = {{atCycle, "Cycle"}, {atLoop, "Loop"}, {atPingPong, "PingPong"},
               {atLinear, "Linear"}, {atRelativeRepeat, "RelRepeat"}, {atConstant, "Constant"}};
  for (const auto& m : modes) {
    auto step = AnimationTypeStep(*sys, row, m.type);
    ASSERT_TRUE(step) << m.word;
    history.Do(std::move(step));
    EXPECT_NE(PageText().find(std::string("Anim0 ") + m.word + " 0 0.0000 20 400.0000 "), std::string::npos) << m.word;
    EXPECT_EQ(logo.XProperty().Animation(false)->finat, m.type);
  }
  EXPECT_FALSE(AnimationTypeStep(*sys, row, atConstant));  // already so
  DoUndoRedo(AnimationTypeStep(*sys, row, atPingPong), "Set PingPong Out of Range on X of logo");
  EXPECT_EQ(AnimationTypeNames()[5].Name, std::string("RelativeRepeat"));

  DoUndoRedo(ClearAnimationStep(*sys, row), "Clear Animation of X of logo");
  EXPECT_FALSE(IsAnimated(logo.XProperty()));
  EXPECT_FALSE(ClearAnimationStep(*sys, row));
}

TEST_F(KeyCommands, EaseBakesTheCosineCurveIntoAKeyPerFrame) {
  // X over 20 frames, and the font colour's red channel (a floating-point property) of a text layer.
  KeyX({{0, 0}, {20, 400}, {30, 450}});
  TTextLayer& text = sys->NewLayer<TTextLayer>();
  TZeroOneDouble& red = *text.Font().FontColorProperty().Red();
  red.Animation(true)->AddKey(4, 0.0);
  red.Animation(true)->AddKey(11, 1.0);
  // The evaluator the curve is baked against, on the keys as they were.
  Tkeys xCurve, redCurve;
  xCurve.AddKey(0, 0.0);
  xCurve.AddKey(20, 400.0);
  redCurve.AddKey(4, 0.0);
  redCurve.AddKey(11, 1.0);

  struct {
    const char* name;
    TBaseProperty* property;
    int frame;  // where the command is given
    const Tkeys* curve;
    int from, to;
    const char* step;  // its name in the Edit menu
  } cases[] = {
      {"X between 0 and 20, from inside", &logo.XProperty(), 7, &xCurve, 0, 20, "Ease In/Out X of logo"},
      {"red between 4 and 11, from the first key", &red, 4, &redCurve, 4, 11,
       "Ease In/Out Font.FontColor.Red of layer 3"},
  };
  for (const auto& c : cases) {
    TBaseProperty* target[] = {c.property};
    DoUndoRedo(EaseStep(*sys, target, c.frame), c.step);
    const Tkeys& t = *c.property->Animation(false);
    for (int g = c.from; g <= c.to; ++g) {
      ASSERT_TRUE(t.HasKeyAt(g)) << c.name << " " << g;
      // Kept to the file's four decimals.
      EXPECT_NEAR(t.LinearKeyframe(g), c.curve->CosineKeyframe(g), 0.00005) << c.name << " " << g;
      double reread = 0;
      ASSERT_TRUE(ParseFloat(FormatFixed(t.LinearKeyframe(g), 4), reread));
      EXPECT_EQ(reread, t.LinearKeyframe(g)) << c.name << " " << g;
    }
  }
  EXPECT_EQ(Keys(logo.XProperty())[10], (std::pair<int, double>{10, 200}));
  EXPECT_LT(Keys(logo.XProperty())[1].second, 20 * 400.0 / 20 / 2);  // slow out of the first key
  // From the last key the segment ending there eases; after it, or between neighbouring frames,
  // there is nothing to ease.
  TBaseProperty* x[] = {&logo.XProperty()};
  EXPECT_TRUE(EaseStep(*sys, x, 30));
  EXPECT_FALSE(EaseStep(*sys, x, 31));
  EXPECT_FALSE(EaseStep(*sys, x, 19));  // 19 .. 20 are neighbours now
  TBaseProperty* name[] = {&logo.NameProperty()};
  EXPECT_FALSE(EaseStep(*sys, name, 5));
}

TEST_F(KeyCommands, KeyShiftsStopShortOfOtherKeysAndOfFrameZero) {
  KeyX({{0, 0}, {12, 100}, {50, 400}});
  TBaseProperty* x = &logo.XProperty();
  struct {
    const char* name;
    std::vector<int> moving;
    int delta, allowed;
  } cases[] = {
      {"free", {12}, 10, 10},
      {"onto the next key", {12}, 38, 37},
      {"past the next key", {12}, 40, 40},
      {"onto the previous key", {12}, -12, -11},
      {"below frame 0", {12}, -20, -11},
      {"the first key left", {0}, -1, 0},
      {"onto a key that moves too", {0, 12}, 12, 12},
      {"two keys, the second would land on 50", {0, 12}, 38, 37},
  };
  for (const auto& c : cases) {
    std::vector<TKeyRef> keys;
    for (int f : c.moving) keys.push_back({x, f});
    EXPECT_EQ(AllowedKeyShift(keys, c.delta), c.allowed) << c.name;
  }
  std::vector<TKeyRef> keys{{x, 12}};
  DoUndoRedo(MoveKeysStep(*sys, keys, 38), "Move Key of logo");
  EXPECT_EQ(Keys(*x), (Frames{{0, 0}, {49, 100}, {50, 400}}));
  EXPECT_FALSE(MoveKeysStep(*sys, std::vector<TKeyRef>{{x, 0}}, -3));

  logo.YProperty().Animation(true)->AddKey(49, 7.0);
  keys = {{x, 49}, {x, 50}, {&logo.YProperty(), 49}};
  DoUndoRedo(DeleteKeysStep(*sys, keys), "Delete Keys of logo");
  EXPECT_EQ(Keys(*x), (Frames{{0, 0}}));
  EXPECT_FALSE(IsAnimated(logo.YProperty()));
}

TEST_F(KeyCommands, LayerTimingIsAStepWithoutKeys) {
  logo.SetLayerIN(25);
  logo.SetDuration(50);
  am.AutoAnimationMode = true;
  SetPageFrame(*sys, 12);
  struct {
    int in, duration;
    const char* text;
  } cases[] = {{45, 50, "Move logo in time"}, {35, 40, "Change Timing of logo"}, {25, 60, "Change Timing of logo"}};
  for (const auto& c : cases) {
    DoUndoRedo(LayerTimingStep(*sys, logo, c.in, c.duration), c.text);
    EXPECT_EQ(logo.LayerIN(), c.in);
    EXPECT_EQ(logo.Duration(), c.duration);
    EXPECT_FALSE(IsAnimated(logo.LayerINProperty()));
    EXPECT_FALSE(IsAnimated(logo.DurationProperty()));
    logo.SetLayerIN(25);  // automatic keying is on: this keys, the step's setters do not
    logo.SetDuration(50);
    logo.LayerINProperty().Animation(false)->Clear();
    logo.DurationProperty().Animation(false)->Clear();
  }
  EXPECT_TRUE(am.AutoAnimationMode);
  EXPECT_FALSE(LayerTimingStep(*sys, logo, 25, 50));
}

// What an editing gesture is: how the editor makes it on the page.
struct TGestureCase {
  const char* name;
  void (*gesture)(TQVSystem&, TLayer&);
  std::vector<const char*> changed;  // the properties that change and get keys
};

const TGestureCase kGestures[] = {
    {"drag the body", [](TQVSystem&, TLayer& l) { DragLayerArea(l, maBody, 10, 0); DragLayerArea(l, maBody, 5, 0); }, {"X"}},
    {"drag the body both ways", [](TQVSystem&, TLayer& l) { DragLayerArea(l, maBody, 10, -4); }, {"X", "Y"}},
    {"resize by the right edge", [](TQVSystem&, TLayer& l) { DragLayerArea(l, maRight, 20, 0); }, {"Width"}},
    {"resize by the top-left corner", [](TQVSystem&, TLayer& l) { DragLayerArea(l, maTopLeft, 3, 3); },
     {"X", "Y", "Width", "Height"}},
    {"nudge right",
     [](TQVSystem& s, TLayer&) {
       std::uint16_t key = VK_RIGHT;
       s.KeyDown(key, 0);
     },
     {"X"}},
    {"nudge with Alt: wider",
     [](TQVSystem& s, TLayer&) {
       std::uint16_t key = VK_RIGHT;
       s.KeyDown(key, ssAlt);
     },
     {"Width"}},
    {"grid edit", [](TQVSystem&, TLayer& l) { l.SetOpacity(128); }, {"Opacity"}},
    // A grid cell pushes its undo element before it sets the value: the element's step is the one.
    {"grid cell",
     [](TQVSystem& s, TLayer& l) {
       s.UndoEngine()->PushUndoAction(std::make_unique<TPropertyChangedElement>(&l.OpacityProperty()));
       l.SetOpacity(64);
     },
     {"Opacity"}},
};

TEST_F(KeyCommands, WithAutomaticKeyingAGestureIsOneStepThatKeysTheChangedPropertiesAtTheCurrentFrame) {
  logo.SetX(100);
  logo.SetY(50);
  logo.SetWidth(200);
  logo.SetHeight(80);
  sys->SetSelectedLayer(&logo);
  am.AutoAnimationMode = true;
  SetPageFrame(*sys, 12);
  for (const TGestureCase& c : kGestures) {
    history.SetClean();
    const std::string before = PageText();
    std::vector<double> old;
    for (const char* name : c.changed) {
      double v = 0;
      logo.GetProperty(name)->AsFloat(v);
      old.push_back(v);
    }
    const std::size_t steps = history.Index();
    // As the work area's recorder and the grid record a gesture.
    TEdit edit(history, logo, c.name);
    c.gesture(*sys, logo);
    edit.Finish();
    ASSERT_EQ(history.Index(), steps + 1) << c.name;
    EXPECT_FALSE(history.IsClean()) << c.name;
    const std::string after = PageText();
    for (std::size_t i = 0; i < c.changed.size(); ++i) {
      const TBaseProperty& p = *logo.GetProperty(c.changed[i]);
      double now = 0;
      p.AsFloat(now);
      // The value before at frame 0 (the track was empty), the new one at the current frame.
      EXPECT_EQ(Keys(p), (Frames{{0, old[i]}, {12, now}})) << c.name << " " << c.changed[i];
    }
    std::vector<TBaseProperty*> animated;
    AnimatedLeaves(logo, animated);
    EXPECT_EQ(animated.size(), c.changed.size()) << c.name << ": only changed properties have keys";
    // Undo takes back the value and its keys together and adds no key though automatic keying is
    // on; redo brings both back.
    history.Undo();
    EXPECT_EQ(PageText(), before) << c.name;
    EXPECT_TRUE(history.IsClean()) << c.name;
    history.Redo();
    EXPECT_EQ(PageText(), after) << c.name;
    EXPECT_TRUE(am.AutoAnimationMode) << c.name;
    history.Undo();
    EXPECT_EQ(PageText(), before) << c.name;
  }
}

TEST_F(KeyCommands, WithoutAutomaticKeyingEditsMoveTheCurveAndTheStatusBarSaysSo) {
  KeyX({{0, 0}, {20, 400}});
  sys->SetSelectedLayer(&logo);
  SetPageFrame(*sys, 10);
  logo.SetFrame(10);
  ASSERT_EQ(logo.X(), 200);
  TCurveWatch watch;
  watch.Reset(&logo);
  struct {
    const char* name;
    void (*edit)(TQVSystem&, TLayer&);
    Frames keys;
    const char* status;
  } cases[] = {
      {"drag", [](TQVSystem&, TLayer& l) { DragLayerArea(l, maBody, 100, 0); }, {{0, 100}, {20, 500}},
       "X: curve moved by +100 \u2014 automatic keying is off"},
      {"nudge", [](TQVSystem& s, TLayer&) { std::uint16_t k = VK_LEFT; s.KeyDown(k, ssCtrl); }, {{0, 96}, {20, 496}},
       "X: curve moved by -4 \u2014 automatic keying is off"},
      {"grid edit", [](TQVSystem&, TLayer& l) { l.SetX(0); }, {{0, -200}, {20, 200}},
       "X: curve moved by -296 \u2014 automatic keying is off"},
      {"an edit of a property without keys", [](TQVSystem&, TLayer& l) { l.SetY(7); }, {{0, -200}, {20, 200}}, ""},
      {"a frame evaluated", [](TQVSystem&, TLayer& l) { l.SetFrame(3); }, {{0, -200}, {20, 200}}, ""},
  };
  for (const auto& c : cases) {
    c.edit(*sys, logo);
    EXPECT_EQ(Keys(logo.XProperty()), c.keys) << c.name;
    EXPECT_EQ(watch.Check(), c.status) << c.name;
    EXPECT_EQ(watch.Check(), "") << c.name << ": said once";
  }
  // A key added is no shift; two curves moved are both named.
  logo.XProperty().Animation(false)->AddKey(5, 1.0);
  EXPECT_EQ(watch.Check(), "");
  logo.YProperty().Animation(true)->AddKey(0, 0.0);
  logo.YProperty().Animation(true)->AddKey(9, 90.0);
  watch.Reset(&logo);
  DragLayerArea(logo, maBody, 2, 3);
  EXPECT_EQ(watch.Check(), "X: curve moved by +2, Y: curve moved by +3 \u2014 automatic keying is off");
  am.AutoAnimationMode = true;
  DragLayerArea(logo, maBody, 2, 3);
  EXPECT_EQ(watch.Check(), "");
}

TEST_F(KeyCommands, KeyCommandsAreStepsOfTheHistoryAndUndoAddsNoKey) {
  KeyX({{0, 0}, {12, 100}});
  TBaseProperty* x[] = {&logo.XProperty()};
  const std::size_t elements = sys->UndoEngine()->Count();
  history.Do(AddKeyStep(*sys, x, 30));  // done as it is taken
  history.Do(nullptr);                  // nothing to do is no step
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12, 30}));
  ASSERT_EQ(history.Count(), 1u);
  history.Do(DeleteKeyStep(*sys, x, 0));
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{12, 30}));
  EXPECT_EQ(sys->UndoEngine()->Count(), elements);
  // Undone and redone with automatic keying on, at a frame without a key: no key comes.
  am.AutoAnimationMode = true;
  SetPageFrame(*sys, 20);
  history.Undo();
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12, 30}));
  history.Undo();
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12}));
  EXPECT_FALSE(history.CanUndo());
  history.Redo();
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12, 30}));
  EXPECT_TRUE(am.AutoAnimationMode);
  // A new command drops the step that could be redone.
  am.AutoAnimationMode = false;
  history.Do(ClearAnimationStep(*sys, x));
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.Count(), 2u);
  // Undoing selects the layer whose keys come back.
  sys->SetSelectedLayer(&bottom);
  history.Undo();
  EXPECT_EQ(sys->_SelectedLayer(), &logo);
}

TEST_F(KeyCommands, KeyMarksOfGridRows) {
  KeyX({{0, 0}, {12, 100}});
  TTextLayer& text = sys->NewLayer<TTextLayer>();
  TColor4& color = text.Font().FontColorProperty();
  color.Green()->Animation(true)->AddKey(12, 0.5);
  struct {
    const char* name;
    TBaseProperty* row;
    int frame;
    TKeyMark mark;
  } cases[] = {
      {"X on a key", &logo.XProperty(), 12, TKeyMark::kmFilled},
      {"X between keys", &logo.XProperty(), 5, TKeyMark::kmHollow},
      {"Y", &logo.YProperty(), 12, TKeyMark::kmNone},
      {"the layer", &logo, 0, TKeyMark::kmFilled},
      {"a colour group with a keyed channel", &color, 12, TKeyMark::kmFilled},
      {"the font group off the key", &text.Font(), 3, TKeyMark::kmHollow},
      {"a boolean", &logo.VisibleProperty(), 12, TKeyMark::kmNone},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyMarkOf(*c.row, c.frame), c.mark) << c.name;
}

TEST_F(KeyCommands, StepsFindTheirPropertiesByPlaceNotByPointer) {
  TTextLayer& text = sys->NewLayer<TTextLayer>();
  TZeroOneDouble& red = *text.Font().FontColorProperty().Red();
  struct {
    TBaseProperty* property;
    const char* name;
  } cases[] = {{&red, "Font.FontColor.Red"}, {&logo.XProperty(), "X"}, {&sys->DurationProperty(), "Duration"}};
  for (const auto& c : cases) {
    const std::optional<TObjectRef> ref = RefOf(*sys, *c.property);
    ASSERT_TRUE(ref) << c.name;
    EXPECT_EQ(Resolve(*sys, *ref), c.property) << c.name;
    EXPECT_EQ(DisplayName(*c.property), c.name);
  }
  EXPECT_EQ(RefOf(*sys, red)->Layer, 2);
  EXPECT_EQ(RefOf(*sys, sys->DurationProperty())->Layer, TObjectRef::kPage);
  const TObjectRef redRef = *RefOf(*sys, red);
  TBaseProperty* target[] = {&red};
  history.Do(AddKeyStep(*sys, target, 5));
  // The layer goes and a copy comes back at its place (as the history restores a deleted layer):
  // the step works on the copy.
  sys->DeleteLayer(&text);
  EXPECT_EQ(Resolve(*sys, redRef), nullptr);
  history.Undo();  // nothing to restore, nothing breaks
  TTextLayer& again = sys->NewLayer<TTextLayer>();
  history.Redo();
  EXPECT_EQ(KeyFrames(*again.Font().FontColorProperty().Red()), std::vector<std::int32_t>{5});
  history.Undo();
  EXPECT_FALSE(IsAnimated(*again.Font().FontColorProperty().Red()));
  // The page's own properties are keyed as the layers' are.
  TBaseProperty* duration[] = {&sys->DurationProperty()};
  DoUndoRedo(AddKeyStep(*sys, duration, 3), "Add Key to Duration of the page");
  // A property of another page has no place in this one.
  auto other = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  EXPECT_FALSE(RefOf(*sys, other->NewLayer<TImageLayer>().XProperty()));
}

}  // namespace
}  // namespace qv::test

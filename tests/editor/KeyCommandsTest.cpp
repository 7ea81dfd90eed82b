// The key commands as history steps on a page (each done, undone and redone against the page's
// whole text and keys), Previous / Next key, easing against the cosine evaluator, key shifts that
// never land on another key, automatic keying of gestures and grid edits, the curve-shift status
// text, and the addressing that lets a step outlive the objects it touched.
#include "editor_logic/KeyCommands.h"

#include "base/NumberText.h"
#include "composition/ImageLayers.h"
#include "composition/TextLayer.h"
#include "composition/TextRenderStyle.h"
#include "composition/WorkArea.h"
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
  // The page's project text plus every track of every property (single keys too, which the file
  // leaves out) and both out-of-range modes. An empty track (the registry keeps a track until its
  // property goes) is as good as none.
  std::string PageText() const {
    TMemoryLineWriter w;
    sys->SaveToStream("", w);
    for (const auto& l : sys->Layers) l->SaveToStream("", w);
    std::string text;
    for (const auto& line : w.Lines) text += line + "\n";
    for (const auto& l : sys->Layers) {
      std::vector<TBaseProperty*> leaves;
      TrackedLeaves(*l, leaves);
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
  // Does the step and checks that undo and redo give the page's text before and after exactly.
  void DoUndoRedo(std::unique_ptr<TEditStep> step, const std::string& name) {
    ASSERT_TRUE(step) << name;
    const std::string before = PageText();
    step->Redo();
    const std::string after = PageText();
    EXPECT_NE(before, after) << name;
    step->Undo();
    EXPECT_EQ(PageText(), before) << name;
    step->Redo();
    EXPECT_EQ(PageText(), after) << name;
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
  auto add = AddKeyStep(*sys, x, 30);
  ASSERT_TRUE(add);
  EXPECT_EQ(add->Text(), "Add Key to logo");
  DoUndoRedo(std::move(add), "add at 30");
  EXPECT_EQ(Keys(logo.XProperty()), (Frames{{0, 0}, {12, 100}, {30, 242}, {50, 400}}));
  EXPECT_EQ(NextKey(row, 12), 30);
  // A key that is there with the value there changes nothing.
  EXPECT_FALSE(AddKeyStep(*sys, x, 30));

  auto del = DeleteKeyStep(*sys, row, 12);
  ASSERT_TRUE(del);
  EXPECT_EQ(del->Text(), "Delete Key from logo");
  DoUndoRedo(std::move(del), "delete at 12");
  EXPECT_EQ(Keys(logo.XProperty()), (Frames{{0, 0}, {30, 242}, {50, 400}}));
  EXPECT_FALSE(DeleteKeyStep(*sys, row, 13));
  EXPECT_EQ(PreviousKey(row, 30), 0);
}

TEST_F(KeyCommands, AddKeyOnALayerWithoutAnimationKeysPositionSizeAndOpacity) {
  logo.SetWidth(200);
  TBaseProperty* row[] = {&logo};
  const std::vector<TBaseProperty*> targets = KeyTargets(logo);
  ASSERT_EQ(targets.size(), 5u);
  DoUndoRedo(AddKeyStep(*sys, targets, 7), "layer key");
  for (TBaseProperty* p : targets) EXPECT_EQ(KeyFrames(*p), std::vector<std::int32_t>{7}) << p->Name;
  EXPECT_EQ(Keys(logo.WidthProperty()), (Frames{{7, 200}}));
  EXPECT_FALSE(IsAnimated(logo.NameProperty()));
  // Once the layer is animated, its animated properties are what a layer key keys.
  ClearAnimationStep(*sys, std::vector<TBaseProperty*>{&logo.YProperty(), &logo.WidthProperty(), &logo.HeightProperty(),
                                                       &logo.OpacityProperty()})
      ->Redo();
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
    step->Redo();
    EXPECT_NE(PageText().find(std::string("Anim0 ") + m.word + " 0 0.0000 20 400.0000 "), std::string::npos) << m.word;
    EXPECT_EQ(logo.XProperty().Animation(false)->finat, m.type);
  }
  EXPECT_FALSE(AnimationTypeStep(*sys, row, atConstant));  // already so
  DoUndoRedo(AnimationTypeStep(*sys, row, atPingPong), "ping-pong");
  EXPECT_EQ(AnimationTypeNames()[5].Name, std::string("RelativeRepeat"));

  auto clear = ClearAnimationStep(*sys, row);
  ASSERT_TRUE(clear);
  EXPECT_EQ(clear->Text(), "Clear Animation of logo");
  DoUndoRedo(std::move(clear), "clear");
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
  } cases[] = {
      {"X between 0 and 20, from inside", &logo.XProperty(), 7, &xCurve, 0, 20},
      {"red between 4 and 11, from the first key", &red, 4, &redCurve, 4, 11},
  };
  for (const auto& c : cases) {
    TBaseProperty* target[] = {c.property};
    auto step = EaseStep(*sys, target, c.frame);
    ASSERT_TRUE(step) << c.name;
    DoUndoRedo(std::move(step), c.name);
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
  auto move = MoveKeysStep(*sys, keys, 38);
  ASSERT_TRUE(move);
  EXPECT_EQ(move->Text(), "Move Key");
  DoUndoRedo(std::move(move), "move");
  EXPECT_EQ(Keys(*x), (Frames{{0, 0}, {49, 100}, {50, 400}}));
  EXPECT_FALSE(MoveKeysStep(*sys, std::vector<TKeyRef>{{x, 0}}, -3));

  logo.YProperty().Animation(true)->AddKey(49, 7.0);
  keys = {{x, 49}, {x, 50}, {&logo.YProperty(), 49}};
  auto del = DeleteKeysStep(*sys, keys);
  ASSERT_TRUE(del);
  EXPECT_EQ(del->Text(), "Delete Keys");
  DoUndoRedo(std::move(del), "delete keys");
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
  } cases[] = {{45, 50, "Move logo in time"}, {35, 40, "Trim logo"}, {25, 60, "Trim logo"}};
  for (const auto& c : cases) {
    auto step = LayerTimingStep(*sys, logo, c.in, c.duration);
    ASSERT_TRUE(step) << c.text;
    EXPECT_EQ(step->Text(), c.text);
    DoUndoRedo(std::move(step), c.text);
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
};

TEST_F(KeyCommands, WithAutomaticKeyingGesturesKeyTheChangedPropertiesAtTheCurrentFrame) {
  logo.SetX(100);
  logo.SetY(50);
  logo.SetWidth(200);
  logo.SetHeight(80);
  sys->SetSelectedLayer(&logo);
  am.AutoAnimationMode = true;
  SetPageFrame(*sys, 12);
  for (const TGestureCase& c : kGestures) {
    const std::string before = PageText();
    TBaseProperty* roots[] = {&logo};
    TPropertyGesture gesture;
    std::vector<double> old;
    for (const char* name : c.changed) {
      double v = 0;
      logo.GetProperty(name)->AsFloat(v);
      old.push_back(v);
    }
    gesture.Begin(*sys, roots);
    c.gesture(*sys, logo);
    std::unique_ptr<TEditStep> step = gesture.End(c.name);
    ASSERT_TRUE(step) << c.name;
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
    // Undo gives the page back exactly and adds no key though automatic keying is on.
    step->Undo();
    EXPECT_EQ(PageText(), before) << c.name;
    step->Redo();
    EXPECT_EQ(PageText(), after) << c.name;
    step->Undo();
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

TEST_F(KeyCommands, StepsAreElementsOfThePagesUndoEngine) {
  KeyX({{0, 0}, {12, 100}});
  TUndoEngine& engine = *sys->UndoEngine();
  const std::size_t before = engine.Count();
  TBaseProperty* x[] = {&logo.XProperty()};
  PushStep(engine, AddKeyStep(*sys, x, 30));  // done as it is pushed
  PushStep(engine, nullptr);                  // nothing to do is no element
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12, 30}));
  ASSERT_EQ(engine.Count(), before + 1);
  PushStep(engine, DeleteKeyStep(*sys, x, 0));
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{12, 30}));
  engine.PopUndoAction();
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12, 30}));
  engine.PopUndoAction();
  EXPECT_EQ(KeyFrames(logo.XProperty()), (std::vector<std::int32_t>{0, 12}));
  EXPECT_EQ(engine.Count(), before);
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
    const std::optional<TPropertyPath> path = PathOf(*sys, *c.property);
    ASSERT_TRUE(path) << c.name;
    EXPECT_EQ(Resolve(*sys, *path), c.property) << c.name;
    EXPECT_EQ(DisplayName(*c.property), c.name);
  }
  EXPECT_EQ(PathOf(*sys, red)->Layer, 2);
  EXPECT_EQ(PathOf(*sys, sys->DurationProperty())->Layer, -1);
  const TPropertyPath redPath = *PathOf(*sys, red);
  TBaseProperty* target[] = {&red};
  auto step = AddKeyStep(*sys, target, 5);
  step->Redo();
  // The layer goes and a copy comes back at its place (as the history restores a deleted layer):
  // the step works on the copy.
  sys->DeleteLayer(&text);
  EXPECT_EQ(Resolve(*sys, redPath), nullptr);
  step->Undo();  // nothing to restore, nothing breaks
  TTextLayer& again = sys->NewLayer<TTextLayer>();
  step->Redo();
  EXPECT_EQ(KeyFrames(*again.Font().FontColorProperty().Red()), std::vector<std::int32_t>{5});
  step->Undo();
  EXPECT_FALSE(IsAnimated(*again.Font().FontColorProperty().Red()));
  // A property of another page has no place in this one.
  auto other = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  EXPECT_FALSE(PathOf(*sys, other->NewLayer<TImageLayer>().XProperty()));
}

}  // namespace
}  // namespace qv::test

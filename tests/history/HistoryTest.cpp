// The history of the document: every kind of step done, undone and redone, compared by the page's
// whole project text; the grid's undo elements as steps; merged nudges; names; the saved state;
// selection after undo; automatic keying while undoing.
#include "composition/ImageLayers.h"
#include "composition/QvSystem.h"
#include "composition/TextLayer.h"
#include "editor_logic/Commands.h"
#include "history/History.h"
#include "history/PageCommands.h"
#include "model/UndoEngine.h"
#include "project/ProjectError.h"
#include "support/Files.h"
#include "support/ImageFiles.h"
#include "project/TextFile.h"

#include <gtest/gtest.h>

#include <functional>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// A page as the editor has it (its own registry and undo engine of 20 elements), without a text
// renderer, and its history on a clock of the test's.
struct Page {
  TTestDir dir{"qv-history"};
  TManualTickSource ticks{5000};
  TAnimationManager animations;
  TUndoEngine engine{TUndoEngine::kStandardCapacity};
  std::unique_ptr<TQVSystem> sys;
  std::unique_ptr<THistory> history;
  std::vector<std::string> problems;
  std::string picture;

  Page() {
    TCompositionContext context;
    context.Ticks = &ticks;
    context.Animations = &animations;
    context.Undo = &engine;
    sys = Make<TQVSystem>(768, 576, context, false);
    sys->OnMediaProblem = [this](const std::string& m) { problems.push_back(m); };
    history = std::make_unique<THistory>(*sys, ticks);
    fs::create_directories(dir / "media");
    picture = (dir / "media" / "logo.png").string();
    WriteImage(picture, TRgbaImage::Pattern(40, 20, 3));
  }
  ~Page() {
    history.reset();
    sys.reset();
  }

  std::string Text() const { return sys->ProjectText(); }
  TLayer& L(int i) { return *sys->Layers.at(std::size_t(i)); }
  TTextLayer& Text(int i) { return static_cast<TTextLayer&>(L(i)); }

  // Three layers: an image "logo" (0), a text "strap" with a keyed X and a font of its own (1), a
  // text "title" (2). The history starts after them, in the saved state.
  void Fill() {
    auto& logo = sys->NewLayer<TImageLayer>();
    logo.SetFileName(picture);
    logo.SetlayerName("logo");
    auto& strap = sys->NewLayer<TTextLayer>();
    strap.SetlayerName("strap");
    strap.SetText("Breaking news");
    strap.Font().SetFontName("DejaVu Sans");
    strap.Font().SetFontSize(31);
    Tkeys* x = strap.XProperty().Animation(true, 0);
    x->AddKey(0.0, 10.0);
    x->AddKey(50.0, 400.0);
    x->Foutat = atPingPong;
    auto& title = sys->NewLayer<TTextLayer>();
    title.SetlayerName("title");
    title.SetWidth(200);  // no text renderer measures it here
    title.SetHeight(40);
    history->Clear();
  }

  // What a grid cell does: pushes the element before the gesture, then changes the value.
  void GridGesture(TBaseProperty& P, const std::function<void()>& Change) {
    engine.PushUndoAction(std::make_unique<TPropertyChangedElement>(&P));
    Change();
  }

  // The pointer over (X, Y), then a drag by (dX, dY) with the left button.
  void Drag(int X, int Y, int dX, int dY) {
    TWorkAreaRecorder area(*history);
    TCursor cursor = TCursor::crDefault;
    area.MouseMove(0, X, Y, cursor);
    area.MouseDown(TMouseButton::mbLeft, ssLeft, X, Y);
    area.MouseMove(ssLeft, X + dX / 2, Y + dY / 2, cursor);
    area.MouseMove(ssLeft, X + dX, Y + dY, cursor);
    area.MouseUp(TMouseButton::mbLeft, 0, X + dX, Y + dY);
  }

  void Key(std::uint16_t Code, TShiftState Shift = 0) {
    TWorkAreaRecorder area(*history);
    area.KeyDown(Code, Shift);
  }
};

struct TStepCase {
  const char* Kind;
  std::function<void(Page&)> Do;
  const char* Name;            // the step's name in the Edit menu
  bool CleanAfter = false;     // the document is in its saved state after the step
  std::function<void(Page&)> Before = {};  // puts the page where the step starts, before the history
};

// The lines where two project texts differ ("-" A's, "+" B's); empty when they are equal, so a
// failure shows what changed instead of two whole pages.
std::string Differences(const std::string& A, const std::string& B) {
  const std::vector<std::string> a = SplitLines(A), b = SplitLines(B);
  std::string out;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const std::string x = i < a.size() ? a[i] : "(none)", y = i < b.size() ? b[i] : "(none)";
    if (x != y) out += "line " + std::to_string(i + 1) + ": -" + x + " +" + y + "\n";
  }
  return out;
}

std::vector<TStepCase> StepCases() {
  return {
      {"grid number drag", [](Page& p) { p.GridGesture(p.L(0).OpacityProperty(), [&] { for (int v : {250, 200, 128}) p.L(0).SetOpacity(v); }); }, "Change Opacity of logo"},
      {"grid typed name", [](Page& p) { p.GridGesture(p.L(2).NameProperty(), [&] { p.L(2).SetlayerName("headline"); }); }, "Rename title"},
      {"grid boolean", [](Page& p) { p.GridGesture(p.L(1).VisibleProperty(), [&] { p.L(1).SetVisible(false); }); }, "Change Visible of strap"},
      {"grid enumeration", [](Page& p) { p.GridGesture(p.Text(1).TextDirectionProperty(), [&] { p.Text(1).SetTextDirection(tdRighttoLeft); }); }, "Change TextDirection of strap"},
      {"grid file dialog", [](Page& p) { p.GridGesture(static_cast<TImageLayer&>(p.L(0)).FileNameProperty(), [&] { static_cast<TImageLayer&>(p.L(0)).SetFileName((p.dir / "none.png").string()); }); }, "Change FileName of logo"},
      {"grid keyed value", [](Page& p) { p.GridGesture(p.L(1).XProperty(), [&] { p.L(1).SetX(77); }); }, "Change X of strap"},
      {"colour dialog", [](Page& p) { TEdit e(*p.history, p.Text(1).Font().FontColorProperty()); p.Text(1).Font().FontColorProperty().SetWinColor(0x3366CC); }, "Change Font of strap"},
      {"font dialog", [](Page& p) { TEdit e(*p.history, p.Text(2).Font()); p.Text(2).Font().SetFontName("Liberation Serif"); p.Text(2).Font().SetFontSize(48); }, "Change Font of title"},
      {"timecode dialog on the page", [](Page& p) { TEdit e(*p.history, p.sys->DurationProperty()); p.sys->SetDuration(12.5); }, "Change Duration of the page"},
      {"grid page enumeration", [](Page& p) { p.GridGesture(p.sys->ShowTimeProperty(), [&] { p.sys->SetShowTime(stBeforeEnd); }); }, "Change ShowTime of the page"},
      {"work area move", [](Page& p) { p.Drag(p.L(2).X() + 5, p.L(2).Y() + 5, 30, -12); }, "Move title", false,
       [](Page& p) { p.L(2).SetX(100); p.L(2).SetY(100); }},
      {"work area resize", [](Page& p) { p.Drag(p.L(0).X() + p.L(0).Width(), p.L(0).Y() + p.L(0).Height(), 15, 9); },
       "Resize logo", false, [](Page& p) { p.L(0).SetX(300); p.L(0).SetY(300); }},
      {"nudge", [](Page& p) { p.sys->SetSelectedLayer(&p.L(1)); p.Key(VK_DOWN, ssCtrl); }, "Move strap"},
      {"nudge width", [](Page& p) { p.sys->SetSelectedLayer(&p.L(0)); p.Key(VK_RIGHT, ssAlt); }, "Resize logo"},
      {"insert", [](Page& p) { auto& t = p.sys->NewLayer<TTextLayer>(); t.SetlayerName("Text000"); RecordInsertedLayer(*p.history, t); }, "Insert Text000"},
      {"delete", [](Page& p) { DeleteLayer(*p.history, p.L(1)); }, "Delete strap"},
      {"Delete key", [](Page& p) { p.sys->SetSelectedLayer(&p.L(0)); p.Key(VK_DELETE); }, "Delete logo"},
      {"bring to front", [](Page& p) { BringToFront(*p.history, p.L(0)); }, "Bring logo to front"},
      {"send to back", [](Page& p) { SendToBack(*p.history, p.L(2)); }, "Send title to back"},
      {"alignment", [](Page& p) { p.sys->SetSelectedLayer(&p.L(1)); AlignSelectedText(*p.history, haRight); }, "Align strap right"},
      {"vertical alignment", [](Page& p) { p.sys->SetSelectedLayer(&p.L(2)); AlignSelectedText(*p.history, vaBottom); }, "Align title bottom"},
      {"New Page", [](Page& p) { NewPage(*p.history, [&] { ResetToNewPage(*p.sys, 1280, 720); }); }, "New Page", true,
       [](Page& p) {  // the page's own tracks go with it
         Tkeys* d = p.sys->DurationProperty().Animation(true, 0);
         d->AddKey(0.0, 3.0);
         d->AddKey(25.0, 9.0);
       }},
      {"Open Project on top", [](Page& p) {
         Page other;
         other.Fill();
         other.L(0).SetlayerName("other logo");
         other.sys->SetDuration(7.0);
         const std::string file = (p.dir / "other.QV").string();
         other.sys->SaveToFile(file);
         OpenProject(*p.history, file);
       }, "Open other.QV"},
  };
}

TEST(History, EveryKindOfStepUndoesAndRedoesToTheSamePageText) {
  for (const TStepCase& c : StepCases()) {
    SCOPED_TRACE(c.Kind);
    Page p;
    p.Fill();
    if (c.Before) {
      c.Before(p);
      p.history->Clear();
    }
    const std::string before = p.Text();
    ASSERT_TRUE(p.history->IsClean());
    c.Do(p);
    p.history->Settle();  // what the grid does when its gesture ends
    const std::string after = p.Text();
    ASSERT_NE(after, before);
    EXPECT_EQ(p.history->UndoName(), c.Name);
    EXPECT_EQ(p.history->IsClean(), c.CleanAfter);
    ASSERT_TRUE(p.history->CanUndo());

    p.history->Undo();
    EXPECT_EQ(Differences(p.Text(), before), "");
    EXPECT_EQ(p.history->RedoName(), c.Name);
    EXPECT_EQ(p.history->IsClean(), !c.CleanAfter);
    p.history->Redo();
    EXPECT_EQ(Differences(p.Text(), after), "");
    EXPECT_EQ(p.history->IsClean(), c.CleanAfter);
    // And again: a step undone and redone twice still does the same.
    p.history->Undo();
    EXPECT_EQ(Differences(p.Text(), before), "");
    p.history->Redo();
    EXPECT_EQ(Differences(p.Text(), after), "");
    EXPECT_FALSE(p.history->CanRedo());
  }
}

TEST(History, ADeletedTextLayerComesBackWholeAtItsPlace) {
  Page p;
  p.Fill();
  TTextLayer& strap = p.Text(1);
  // What a project file rounds or leaves out: a single key, a key's tag and text, the in-mode.
  strap.Font().FontSizeProperty().Animation(true, 3)->AddKey(12.0, 40.0);
  Tkeys* x = strap.XProperty().Animation(false, 0);
  x->finat = atLoop;
  x->key(1)->fTag = 7;
  strap.OpacityProperty().SetValue(200);
  strap.XProperty().SetValue(123);
  const TObjectState whole = TObjectState::Take(strap);
  const std::string before = p.Text();

  DeleteLayer(*p.history, strap);
  ASSERT_EQ(p.sys->Layers.size(), 2u);
  EXPECT_EQ(p.history->UndoName(), "Delete strap");
  p.history->Undo();
  ASSERT_EQ(p.sys->Layers.size(), 3u);
  TLayer& back = p.L(1);
  EXPECT_EQ(back.layerName(), "strap");
  EXPECT_EQ(back.ClassName(), "TTextLayer");
  EXPECT_EQ(TObjectState::Take(back), whole);
  EXPECT_EQ(Differences(p.Text(), before), "");
  EXPECT_EQ(p.sys->_SelectedLayer(), &back);  // undoing selects the layer it changed
  p.history->Redo();
  EXPECT_EQ(p.sys->Layers.size(), 2u);
  EXPECT_EQ(p.sys->_SelectedLayer(), nullptr);
}

TEST(History, TheGridsElementsAreTheStepsOfTheEngine) {
  Page p;
  p.Fill();
  TLayer& logo = p.L(0);
  int notified = 0;
  logo.XProperty().AddChangeNotify(&notified, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++notified; });

  // A gesture that changed nothing: the cell takes its element back, no step remains, and the
  // steps that could be redone stay.
  {
    TEdit e(*p.history, logo.YProperty());
    logo.SetY(9);
  }
  p.history->Undo();
  ASSERT_TRUE(p.history->CanRedo());
  p.GridGesture(logo.XProperty(), [] {});
  p.engine.RemoveUndoAction();
  p.history->Settle();
  EXPECT_TRUE(p.history->CanRedo());
  EXPECT_EQ(p.history->Index(), 0u);

  // A drag from 0 to 30: one element, one step.
  p.GridGesture(logo.XProperty(), [&] { for (int v = 1; v <= 30; ++v) logo.SetX(v); });
  EXPECT_EQ(p.engine.Count(), 1u);
  p.history->Settle();
  EXPECT_EQ(p.history->Count(), 1u);  // the redo step was dropped by the new one
  EXPECT_FALSE(p.history->CanRedo());

  // Undo pops that element: the value comes back through the setter, which notifies.
  notified = 0;
  p.history->Undo();
  EXPECT_EQ(logo.X(), 0);
  EXPECT_EQ(p.engine.Count(), 0u);
  EXPECT_GE(notified, 1);
  // Redo pushes an element again, so a later undo pops it as before.
  p.history->Redo();
  EXPECT_EQ(logo.X(), 30);
  ASSERT_EQ(p.engine.Count(), 1u);
  auto* e = dynamic_cast<TPropertyChangedElement*>(p.engine.Element(0));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->AObject(), &logo.XProperty());
  p.history->Undo();
  EXPECT_EQ(logo.X(), 0);
  logo.XProperty().RemoveChangeNotify(&notified);
}

TEST(History, StepsOutliveTheEnginesTwentyElements) {
  Page p;
  p.Fill();
  TLayer& logo = p.L(0);
  for (int v = 1; v <= 25; ++v) {
    p.GridGesture(logo.XProperty(), [&] { logo.SetX(v * 10); });
  }
  p.history->Settle();
  EXPECT_EQ(p.engine.Count(), 20u);
  EXPECT_EQ(p.history->Count(), 25u);
  for (int v = 24; v >= 0; --v) {
    p.history->Undo();
    EXPECT_EQ(logo.X(), v * 10) << v;
  }
  EXPECT_EQ(p.engine.Count(), 0u);
  EXPECT_TRUE(p.history->IsClean());
  for (int v = 1; v <= 25; ++v) p.history->Redo();
  EXPECT_EQ(logo.X(), 250);
  EXPECT_EQ(p.engine.Count(), 20u);
}

TEST(History, UndoingNeverAddsAKeyInAutomaticKeying) {
  Page p;
  p.Fill();
  TLayer& logo = p.L(0);
  p.animations.AutoAnimationMode = true;
  p.animations.Frame = 25;
  const std::string before = p.Text();
  p.GridGesture(logo.YProperty(), [&] { logo.SetY(200); });  // keys Y at 0 and 25
  const std::string after = p.Text();
  ASSERT_NE(after.find("Anim0 Constant 0 0.0000 25 200.0000"), std::string::npos);
  p.history->Undo();
  EXPECT_EQ(Differences(p.Text(), before), "");
  EXPECT_EQ(logo.YProperty().Animation(false, 0), nullptr);
  EXPECT_TRUE(p.animations.AutoAnimationMode);
  p.history->Redo();
  EXPECT_EQ(Differences(p.Text(), after), "");
  EXPECT_TRUE(p.animations.AutoAnimationMode);
}

TEST(History, NudgesOfOneLayerInQuickSuccessionMerge) {
  Page p;
  p.Fill();
  p.sys->SetSelectedLayer(&p.L(0));
  const std::string start = p.Text();
  for (int i = 0; i < 4; ++i) {
    p.Key(VK_RIGHT);
    p.ticks.Advance(400);  // each within the window of the one before
  }
  EXPECT_EQ(p.history->Count(), 1u);
  EXPECT_EQ(p.L(0).X(), 4);
  p.ticks.Advance(1000);
  p.Key(VK_UP);  // after a pause: a step of its own
  p.Key(VK_RIGHT, ssAlt);  // a resize is another kind of step
  p.sys->SetSelectedLayer(&p.L(1));
  p.Key(VK_RIGHT);  // another layer
  EXPECT_EQ(p.history->Count(), 4u);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < p.history->Count(); ++i) names.push_back(p.history->Step(i).Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Move logo", "Move logo", "Resize logo", "Move strap"}));
  for (int i = 0; i < 4; ++i) p.history->Undo();
  EXPECT_EQ(Differences(p.Text(), start), "");

  // A nudge right after a save starts a step of its own: the saved state stays reachable.
  p.history->Redo();
  p.history->SetClean();
  p.sys->SetSelectedLayer(&p.L(0));
  p.Key(VK_RIGHT);
  EXPECT_EQ(p.history->Count(), 2u);
  p.history->Undo();
  EXPECT_TRUE(p.history->IsClean());
}

TEST(History, TheSavedStateAndTheWayBackToIt) {
  Page p;
  p.Fill();
  std::vector<bool> clean;
  p.history->OnChanged = [&] { clean.push_back(p.history->IsClean()); };
  p.L(0).SetX(1);
  TEdit(*p.history, p.L(0).XProperty()).Finish();  // nothing changed while recording: no step
  EXPECT_EQ(p.history->Count(), 0u);
  {
    TEdit e(*p.history, p.L(0).XProperty());
    p.L(0).SetX(2);
  }
  {
    TEdit e(*p.history, p.L(0).XProperty());
    p.L(0).SetX(3);
  }
  p.history->SetClean();  // saved at X = 3
  p.history->Undo();
  EXPECT_FALSE(p.history->IsClean());
  p.history->Redo();
  EXPECT_TRUE(p.history->IsClean());
  p.history->Undo();
  p.history->Undo();
  {
    TEdit e(*p.history, p.L(0).XProperty());  // a new branch: the saved state is out of reach
    p.L(0).SetX(9);
  }
  EXPECT_FALSE(p.history->CanRedo());
  p.history->Undo();
  EXPECT_FALSE(p.history->IsClean());
  ASSERT_FALSE(clean.empty());
  EXPECT_FALSE(clean.back());
  p.history->SetFileName("x.QV");
  EXPECT_EQ(p.history->FileName(), "x.QV");
  p.history->Clear();
  EXPECT_TRUE(p.history->IsClean());
  EXPECT_FALSE(p.history->CanUndo());
}

TEST(History, UndoSelectsTheLayerItChanged) {
  Page p;
  p.Fill();
  struct TCase {
    const char* Kind;
    std::function<void(Page&)> Do;
    int SelectedAfterUndo;  // -1: none (the grid shows the page)
    int SelectedAfterRedo;
  };
  const TCase cases[] = {
      {"a value of title", [](Page& q) { TEdit e(*q.history, q.L(2).OpacityProperty()); q.L(2).SetOpacity(3); }, 2, 2},
      {"a value of the page", [](Page& q) { TEdit e(*q.history, q.sys->TimeProperty()); q.sys->SetTime(1.0); }, -1, -1},
      {"an insert", [](Page& q) { RecordInsertedLayer(*q.history, q.sys->NewLayer<TTextLayer>()); }, -1, 3},
      {"a delete", [](Page& q) { DeleteLayer(*q.history, q.L(1)); }, 1, -1},
      {"a move to the back", [](Page& q) { SendToBack(*q.history, q.L(2)); }, 2, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Kind);
    p.sys->SetSelectedLayer(&p.L(0));
    c.Do(p);
    p.sys->SetSelectedLayer(&p.L(0));
    p.history->Undo();
    EXPECT_EQ(p.sys->IndexOf(p.sys->_SelectedLayer()), c.SelectedAfterUndo);
    p.sys->SetSelectedLayer(&p.L(0));
    p.history->Redo();
    EXPECT_EQ(p.sys->IndexOf(p.sys->_SelectedLayer()), c.SelectedAfterRedo);
    p.history->Undo();
  }
}

// A command that is a step of its own (a key command): Do makes the change through the step's Redo
// once, with automatic keying off, and the step then undoes and redoes like any other.
TEST(History, AStepThatMakesItsChangeComesInThroughDo) {
  struct TAddKey final : TStep {
    TObjectRef Ref;
    int Redone = 0;
    TAddKey(TObjectRef R) : TStep("Add Key to logo"), Ref(std::move(R)) {}
    void Redo(THistory& H) override {
      ++Redone;
      EXPECT_FALSE(H.Page().AnimationManager()->AutoAnimationMode);
      Resolve(H.Page(), Ref)->Animation(true, 0)->AddKey(10.0, 5.0);
    }
    void Undo(THistory& H) override { H.Page().AnimationManager()->Remove(Resolve(H.Page(), Ref)); }
  };
  Page p;
  p.Fill();
  p.animations.AutoAnimationMode = true;
  const std::string before = p.Text();
  auto step = std::make_unique<TAddKey>(*RefOf(*p.sys, p.L(0).XProperty()));
  TAddKey* raw = step.get();
  p.history->Do(std::move(step));
  EXPECT_EQ(raw->Redone, 1);
  EXPECT_TRUE(p.animations.AutoAnimationMode);
  ASSERT_NE(p.L(0).XProperty().Animation(false, 0), nullptr);
  EXPECT_EQ(p.history->UndoName(), "Add Key to logo");
  p.history->Undo();
  EXPECT_EQ(Differences(p.Text(), before), "");
  EXPECT_EQ(p.L(0).XProperty().Animation(false, 0), nullptr);
  p.history->Redo();
  EXPECT_EQ(raw->Redone, 2);
}

TEST(History, OpenProjectIntoAnEmptyPageIsItsSavedState) {
  Page p;
  Page other;
  other.Fill();
  const std::string file = (p.dir / "news.QV").string();
  other.sys->SaveToFile(file);
  OpenProject(*p.history, file);
  EXPECT_TRUE(p.history->IsClean());
  EXPECT_EQ(p.history->FileName(), file);
  EXPECT_EQ(p.sys->_SelectedLayer(), &p.L(0));  // the bottom layer, as Open Project selects it
  EXPECT_EQ(p.history->UndoName(), "Open news.QV");
  p.history->Undo();
  EXPECT_TRUE(p.sys->Layers.empty());
  EXPECT_EQ(p.history->FileName(), "");
  EXPECT_FALSE(p.history->IsClean());

  // A damaged file: what was read before the error is one step, and the error still reaches the
  // caller.
  const std::string damaged = (p.dir / "damaged.QV").string();
  WriteBytes(damaged, Lines({"\tObject '':TQVSystem", "\tEnd", "\tObject '':TTextLayer", "\t\tlayerName = a", "\tEnd",
                             "\tObject '':TTextLayer", "\t\tX = 4", "\t\tAnim0 Constant zero 1 ", "\tEnd"}));
  p.history->Redo();
  EXPECT_THROW(OpenProject(*p.history, damaged), EProjectError);
  EXPECT_EQ(p.sys->Layers.size(), 4u);
  EXPECT_EQ(p.history->UndoName(), "Open damaged.QV");
  EXPECT_EQ(p.history->FileName(), file);
  p.history->Undo();
  EXPECT_EQ(p.sys->Layers.size(), 3u);
}

}  // namespace
}  // namespace qv::test

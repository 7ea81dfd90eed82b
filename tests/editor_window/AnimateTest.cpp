// Playback and keys in the editor's window, on the offscreen platform with a clock the test moves
// (no real waiting): 60 s of play reach frame 1500 however slow the frames, drops are counted,
// loops wrap at the Duration, the transport's keys, scrubbing stops playback, automatic keying and
// its red frame, the curve-shift status text, the key commands and timeline drags as steps of the
// document's history (undone and redone from the Edit menu, named there, the title's unsaved
// marker), the context menus, and a keyed page saved and rendered by qvrender as the editor
// composes it.
#include "editor_widgets/LayerTimelineWidget.h"
#include "editor_window/EditorFixture.h"

#include "history/ObjectState.h"
#include "raster/StreamBitmaps.h"
#include "support/Qvrender.h"
#include "support/Tga.h"

#include <QMenu>
#include <QStatusBar>

#include <functional>

namespace qv::test {
namespace {

class TFakeClock final : public video::TPaceClock {
 public:
  std::int64_t now = 7'000'000;
  std::int64_t NowUs() override { return now; }
  void SleepUntilUs(std::int64_t) override {}
};

using PA = TForm5::TPlayAction;
using KA = TForm5::TKeyAction;

struct Animate : ::testing::Test {
  TTestDir dir{"qv-animate"};
  TFakeClock clock;
  TManualTickSource ticks{1000};
  TScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<TForm5> window;

  void SetUp() override {
    TEditorOptions options;
    options.GridFolders = {dir.Path()};
    options.Ticks = &ticks;
    options.PlayClock = &clock;
    auto d = std::make_unique<TScriptedDialogs>();
    dialogs = d.get();
    options.Dialogs = std::move(d);
    window = std::make_unique<TForm5>(std::move(options));
    window->resize(1120, 900);
    window->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    for (const auto& w : dialogs->Warnings) ADD_FAILURE() << w.Text.toStdString();
  }
  bool Starred() const { return window->windowTitle().contains(QStringLiteral("*")); }
  TQVSystem& Sys() { return window->Composition(); }
  // The page goes on by Us microseconds, in which the window draws once.
  void Step(std::int64_t Us) {
    clock.now += Us;
    ticks.Advance(std::uint32_t(Us / 1000));
    window->RenderStep();
  }
  TImageLayer& Image(const std::string& Name) {
    TStreamedBitmap b(40, 30);
    b.Fill(0xFF336699u);
    const std::string path = (dir / (Name + ".png")).string();
    b.SaveToFile(path);
    dialogs->Files.push_back(QString::fromStdString(path));
    window->InsertAction(TLayerKind::lkImage)->trigger();
    auto& layer = dynamic_cast<TImageLayer&>(*Sys().Layers.back());
    layer.SetlayerName(Name);
    Sys().SetSelectedLayer(&layer);
    return layer;
  }
  void GoTo(int Frame) {
    window->Ruler().SetFrame(Frame);
    ASSERT_EQ(Sys().frame, Frame);
  }
  std::vector<std::int32_t> XKeys(const TLayer& L) { return KeyFrames(L.XProperty()); }
};

TEST_F(Animate, SixtySecondsOfPlayAreFrame1500AndSlowFramesAreDropped) {
  struct {
    std::int64_t cost;  // microseconds between two draws
    bool drops;
  } cases[] = {{40'000, false}, {100'000, true}, {1'000'000, true}};
  for (const auto& c : cases) {
    Sys().SetDuration(100.0);
    window->Transport().ResetCounts();
    window->PlayAction(PA::paStop)->trigger();
    window->PlayAction(PA::paPlayPause)->trigger();
    ASSERT_TRUE(window->Transport().Playing());
    EXPECT_EQ(window->PlayAction(PA::paPlayPause)->text(), "Pause");
    const std::int64_t start = clock.now;
    while (clock.now - start + c.cost <= 60'000'000) Step(c.cost);
    Step(start + 60'000'000 - clock.now);
    EXPECT_NEAR(Sys().frame, 1500, 1) << c.cost;
    EXPECT_EQ(window->Ruler().Frame(), Sys().frame) << c.cost;
    EXPECT_EQ(Sys().AnimationManager()->Frame, Sys().frame) << "automatic keys go to the frame shown";
    // The ruler keeps the playhead in view.
    const int at = window->Ruler().Model().FramePosition();
    EXPECT_GE(at, 0);
    EXPECT_LT(at, window->Ruler().width());
    EXPECT_EQ(window->Transport().Dropped() > 0, c.drops) << c.cost;
    EXPECT_NE(window->PlayStatus().indexOf(QStringLiteral("%1 dropped").arg(window->Transport().Dropped())), -1)
        << window->PlayStatus().toStdString();
    window->PlayAction(PA::paPlayPause)->trigger();
    EXPECT_FALSE(window->Transport().Playing());
  }
}

TEST_F(Animate, PlaybackLoopsAtTheDurationAndAScrubOrATypedTimeStopsIt) {
  Sys().SetDuration(3.0);  // frames 0 .. 74
  window->RenderStep();
  EXPECT_EQ(window->Ruler().EndMark(), 75);
  window->PlayAction(PA::paLoop)->trigger();
  ASSERT_TRUE(window->Transport().Loop());
  window->PlayAction(PA::paPlayPause)->trigger();
  for (int i = 0; i < 100; ++i) Step(40'000);
  EXPECT_EQ(Sys().frame, 25);
  EXPECT_TRUE(window->Transport().Playing());

  // A click on the ruler stops playback on the frame clicked.
  TTimeRuler& ruler = window->Ruler();
  QTest::mouseClick(&ruler, Qt::LeftButton, {}, QPoint(ruler.width() / 3, 10));
  EXPECT_FALSE(window->Transport().Playing());
  EXPECT_EQ(window->Transport().Frame(), ruler.Frame());
  EXPECT_EQ(Sys().frame, ruler.Frame());

  window->PlayAction(PA::paPlayPause)->trigger();
  Step(40'000);
  QLineEdit& field = window->RulerField();
  field.setFocus();
  field.selectAll();
  QTest::keyClicks(&field, "00:01:00");
  QTest::keyClick(&field, Qt::Key_Return);
  EXPECT_FALSE(window->Transport().Playing());
  EXPECT_EQ(Sys().frame, 25);
}

TEST_F(Animate, TransportKeysAndTheirMenuItems) {
  Sys().SetDuration(100.0);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  window->WorkArea().setFocus();
  struct {
    const char* name;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
    int speed;
    int frame;  // from frame 40, once the keys are given
  } cases[] = {
      {"Space plays", {{Qt::Key_Space, {}}}, 1, 40},
      {"L L: twice as fast", {{Qt::Key_L, {}}, {Qt::Key_L, {}}}, 2, 40},
      {"J J J: backwards at 4x", {{Qt::Key_J, {}}, {Qt::Key_J, {}}, {Qt::Key_J, {}}}, -4, 40},
      {"L K: paused", {{Qt::Key_L, {}}, {Qt::Key_K, {}}}, 0, 40},
      {"period: a frame on", {{Qt::Key_Period, {}}}, 0, 41},
      {"comma: a frame back", {{Qt::Key_Comma, {}}}, 0, 39},
      {"End", {{Qt::Key_End, {}}}, 0, 2499},
      {"Home", {{Qt::Key_Home, {}}}, 0, 0},
      {"Shift+Space stops", {{Qt::Key_L, {}}, {Qt::Key_Space, Qt::ShiftModifier}}, 0, 0},
  };
  for (const auto& c : cases) {
    window->Ruler().SetFrame(40);
    ASSERT_FALSE(window->Transport().Playing());
    for (const auto& [key, mods] : c.keys) QTest::keyClick(&window->WorkArea(), key, mods);
    EXPECT_EQ(window->Transport().Speed(), c.speed) << c.name;
    EXPECT_EQ(Sys().frame, c.frame) << c.name;
    window->Transport().Pause();
  }
  // Typed into a field, the same keys are text.
  QLineEdit& field = window->RulerField();
  field.setFocus();
  QTest::keyClick(&field, Qt::Key_Space);
  QTest::keyClick(&field, Qt::Key_L);
  EXPECT_FALSE(window->Transport().Playing());
  // Every key shows in its menu item, and none is one the page already uses.
  for (int a = 0; a < int(PA::paCount); ++a) {
    const QKeySequence key = window->PlayAction(PA(a))->shortcut();
    EXPECT_FALSE(key.isEmpty()) << window->PlayAction(PA(a))->text().toStdString();
    for (Qt::Key used : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Delete})
      EXPECT_NE(key[0].key(), used);
  }
}

TEST_F(Animate, AutomaticKeyingKeysADragAtTheCurrentFrameAsOneStepUndoneAndRedone) {
  TImageLayer& logo = Image("logo");
  const int x = logo.X();
  window->KeyAction(KA::kaAutoKeys)->trigger();
  EXPECT_TRUE(Sys().AnimationManager()->AutoAnimationMode);
  EXPECT_TRUE(window->WorkArea().RedFrame());
  GoTo(12);
  Step(40'000);
  window->History().SetClean();
  const std::size_t steps = window->History().Index();
  const TObjectState before = TObjectState::Take(logo);
  TWorkArea& area = window->WorkArea();
  const QPoint inside(int((logo.X() + 20) * area.Scale()), int((logo.Y() + 15) * area.Scale()));
  QTest::mouseMove(&area, QPoint(1, 1));
  QTest::mouseMove(&area, inside);
  QTest::mousePress(&area, Qt::LeftButton, {}, inside);
  QTest::mouseMove(&area, inside + QPoint(30, 0));
  QTest::mouseRelease(&area, Qt::LeftButton, {}, inside + QPoint(30, 0));
  ASSERT_EQ(logo.X(), x + int(30 / area.Scale()));
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 12}));
  EXPECT_EQ(logo.XProperty().Animation(false)->key(0)->fvalue, x);
  EXPECT_FALSE(IsAnimated(logo.YProperty())) << "only the changed property is keyed";
  EXPECT_EQ(window->UndoAction()->text(), "Undo Move logo");
  EXPECT_TRUE(Starred());
  const TObjectState dragged = TObjectState::Take(logo);
  // A nudge keys too, as a step of its own.
  GoTo(20);
  area.setFocus();
  QTest::keyClick(&area, Qt::Key_Down);
  EXPECT_EQ(KeyFrames(logo.YProperty()), (std::vector<std::int32_t>{0, 20}));
  EXPECT_EQ(window->History().Index(), steps + 2);
  const TObjectState nudged = TObjectState::Take(logo);

  // Each undo takes back a value and the keys it brought together, and adds no key although
  // automatic keying is on; each redo brings both back.
  window->UndoAction()->trigger();
  EXPECT_FALSE(IsAnimated(logo.YProperty()));
  EXPECT_TRUE(TObjectState::Take(logo) == dragged);
  window->UndoAction()->trigger();
  EXPECT_EQ(logo.X(), x);
  EXPECT_FALSE(IsAnimated(logo.XProperty())) << "undo adds no key in automatic keying";
  EXPECT_TRUE(TObjectState::Take(logo) == before);
  EXPECT_FALSE(Starred());
  EXPECT_EQ(window->RedoAction()->text(), "Redo Move logo");
  window->RedoAction()->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 12}));
  EXPECT_TRUE(TObjectState::Take(logo) == dragged);
  EXPECT_TRUE(Starred());
  window->RedoAction()->trigger();
  EXPECT_TRUE(TObjectState::Take(logo) == nudged);
  EXPECT_TRUE(Sys().AnimationManager()->AutoAnimationMode);
  EXPECT_TRUE(window->WorkArea().RedFrame());

  window->KeyAction(KA::kaAutoKeys)->trigger();
  EXPECT_FALSE(Sys().AnimationManager()->AutoAnimationMode);
  EXPECT_FALSE(window->WorkArea().RedFrame());
}

TEST_F(Animate, WithoutAutomaticKeyingTheStatusBarSaysTheCurveMoved) {
  TImageLayer& logo = Image("logo");
  logo.XProperty().Animation(true)->AddKey(0, 0.0);
  logo.XProperty().Animation(true)->AddKey(20, 400.0);
  GoTo(10);
  Step(40'000);
  ASSERT_EQ(logo.X(), 200);
  window->WorkArea().setFocus();
  QTest::keyClick(&window->WorkArea(), Qt::Key_Right, Qt::ControlModifier);
  Step(40'000);
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), "X: curve moved by +4 \u2014 automatic keying is off");
  EXPECT_EQ(logo.XProperty().Animation(false)->key(1)->fvalue, 404.0);
}

TEST_F(Animate, AddDeletePreviousAndNextKeyOnALayerWithKeysAt0_12And50) {
  TImageLayer& logo = Image("logo");
  for (int f : {0, 12, 50}) {
    GoTo(f);
    logo.SetX(f * 10);
    window->KeyAction(KA::kaAdd)->trigger();
  }
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 12, 50}));
  struct {
    int from;
    KA action;
    int to;
  } nav[] = {{30, KA::kaPrevious, 12}, {12, KA::kaPrevious, 0}, {0, KA::kaPrevious, 0},
             {30, KA::kaNext, 50},     {50, KA::kaNext, 50},     {5, KA::kaNext, 12}};
  for (const auto& n : nav) {
    GoTo(n.from);
    window->KeyAction(n.action)->trigger();
    EXPECT_EQ(Sys().frame, n.to) << n.from;
    EXPECT_EQ(window->Ruler().Frame(), n.to);
  }
  GoTo(12);
  window->KeyAction(KA::kaDelete)->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 50}));
  window->UndoAction()->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 12, 50}));
  // The timeline shows the layer's diamonds; the grid's X row a filled mark on a key.
  Step(40'000);
  const auto& rows = window->Timeline().Model().Rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].Keys, (std::vector<std::int32_t>{0, 12, 50}));
  EXPECT_EQ(KeyMarkOf(logo.XProperty(), window->Grid().KeyFrame()), TKeyMark::kmFilled);
}

// Every key command and timeline edit, on logo's X (keys 0 = 0 and 20 = 400, the page at frame
// 10) and its bar (frames 0 .. 99): one step of the history, named in the Edit menu, that marks
// the document unsaved; undone, the layer is as it was, values and tracks; redone, as after.
TEST_F(Animate, EveryKeyCommandAndTimelineEditIsAStepOfTheEditMenu) {
  TImageLayer& logo = Image("logo");
  TLayerTimeline& timeline = window->Timeline();
  TLayerTimelineModel& model = timeline.Model();
  const int y = TLayerTimelineModel::kRowHeight / 2;
  auto key = [&](KA Action) {
    window->SetKeyRow(&logo.XProperty());
    window->KeyAction(Action)->trigger();
  };
  auto drag = [&](int FromX, int ToX) {
    QTest::mousePress(&timeline, Qt::LeftButton, {}, QPoint(FromX, y));
    QTest::mouseMove(&timeline, QPoint((FromX + ToX) / 2, y));
    QTest::mouseMove(&timeline, QPoint(ToX, y));
    QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(ToX, y));
  };
  struct TCase {
    std::string step;
    std::function<void()> command;
    std::function<void()> setup = [] {};  // before the layer's state is taken
  };
  std::vector<TCase> cases = {
      {"Add Key to X of logo", [&] { key(KA::kaAdd); }},
      // A layer row without animation keys its position, size and opacity.
      {"Add Key to logo",
       [&] {
         window->SetKeyRow(&logo);
         window->KeyAction(KA::kaAdd)->trigger();
       },
       [&] { logo.ClearAnimation(); }},
      {"Delete Key from X of logo", [&] { key(KA::kaDelete); }, [&] { GoTo(20); }},
      {"Clear Animation of X of logo", [&] { key(KA::kaClear); }},
      {"Ease In/Out X of logo", [&] { key(KA::kaEase); }},
      {"Move Key of logo", [&] { drag(model.XOfFrame(20), model.XOfFrame(30)); }},
      {"Delete Key of logo",
       [&] {
         QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(model.XOfFrame(20), y));
         timeline.setFocus();
         QTest::keyClick(&timeline, Qt::Key_Delete);
       }},
      {"Move logo in time", [&] { drag(model.XOfFrame(50), model.XOfFrame(70)); }},
      {"Change Timing of logo", [&] { drag(model.XOfFrame(100), model.XOfFrame(120)); }},
  };
  const auto modes = AnimationTypeNames();
  for (std::size_t i = 0; i < modes.size(); ++i) {
    cases.push_back({std::string("Set ") + modes[i].Name + " Out of Range on X of logo",
                     [&, i] {
                       window->SetKeyRow(&logo.XProperty());
                       window->OutOfRangeActions()[i]->trigger();
                     },
                     // Constant is the mode a track starts with: it is set from another one.
                     [&, i] {
                       if (i == 0) logo.XProperty().Animation(false)->Foutat = atLoop;
                     }});
  }
  for (const TCase& c : cases) {
    logo.ClearAnimation();
    logo.XProperty().Animation(true)->AddKey(0, 0.0);
    logo.XProperty().Animation(true)->AddKey(20, 400.0);
    logo.SetLayerIN(0);
    logo.SetDuration(100);
    GoTo(10);
    c.setup();
    Step(40'000);
    ASSERT_EQ(model.Rows().size(), 1u);
    window->History().SetClean();
    ASSERT_FALSE(Starred());
    const TObjectState before = TObjectState::Take(logo);
    const std::size_t steps = window->History().Index();
    c.command();
    const TObjectState after = TObjectState::Take(logo);
    EXPECT_FALSE(after == before) << c.step;
    EXPECT_EQ(window->History().Index(), steps + 1) << c.step;
    EXPECT_EQ(window->UndoAction()->text().toStdString(), "Undo " + c.step);
    EXPECT_TRUE(Starred()) << c.step;
    window->UndoAction()->trigger();
    EXPECT_TRUE(TObjectState::Take(logo) == before) << c.step;
    EXPECT_EQ(window->RedoAction()->text().toStdString(), "Redo " + c.step);
    window->RedoAction()->trigger();
    EXPECT_TRUE(TObjectState::Take(logo) == after) << c.step;
    EXPECT_TRUE(Starred()) << c.step;
    // The timeline shows the keys as they are after each.
    Step(40'000);
    std::vector<std::int32_t> frames;
    std::vector<TBaseProperty*> animated;
    AnimatedLeaves(logo, animated);
    for (TBaseProperty* p : animated)
      for (std::int32_t f : KeyFrames(*p)) frames.push_back(f);
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    EXPECT_EQ(model.Rows()[0].Keys, frames) << c.step;
  }
}

TEST_F(Animate, TimelineDragsAreUndoneAndRedone) {
  TImageLayer& logo = Image("logo");
  logo.SetLayerIN(0);
  logo.SetDuration(100);
  logo.XProperty().Animation(true)->AddKey(0, 0.0);
  logo.XProperty().Animation(true)->AddKey(12, 100.0);
  Step(40'000);
  TLayerTimeline& timeline = window->Timeline();
  ASSERT_GT(timeline.height(), TLayerTimelineModel::kRowHeight);
  TLayerTimelineModel& model = timeline.Model();
  const int y = TLayerTimelineModel::kRowHeight / 2;
  // The bar, 20 frames later; the diamond at 12, 10 frames later.
  const int barX = (model.XOfFrame(40) + model.XOfFrame(60)) / 2;
  const int dx20 = model.XOfFrame(20) - model.XOfFrame(0);
  QTest::mousePress(&timeline, Qt::LeftButton, {}, QPoint(barX, y));
  QTest::mouseMove(&timeline, QPoint(barX + dx20, y));
  QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(barX + dx20, y));
  EXPECT_EQ(logo.LayerIN(), 20);
  const int keyX = model.XOfFrame(12);
  QTest::mousePress(&timeline, Qt::LeftButton, {}, QPoint(keyX, y));
  QTest::mouseMove(&timeline, QPoint(model.XOfFrame(22), y));
  QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(model.XOfFrame(22), y));
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 22}));
  // Delete in the timeline removes the selected key, not the layer.
  timeline.setFocus();
  QTest::keyClick(&timeline, Qt::Key_Delete);
  EXPECT_EQ(XKeys(logo), std::vector<std::int32_t>{0});
  EXPECT_EQ(Sys().Layers.size(), 1u);
  window->UndoAction()->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 22}));
  window->UndoAction()->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 12}));
  window->UndoAction()->trigger();
  EXPECT_EQ(logo.LayerIN(), 0);
  EXPECT_EQ(logo.Duration(), 100);
  window->RedoAction()->trigger();
  EXPECT_EQ(logo.LayerIN(), 20);
  window->RedoAction()->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 22}));
  window->RedoAction()->trigger();
  EXPECT_EQ(XKeys(logo), std::vector<std::int32_t>{0});
  EXPECT_FALSE(window->RedoAction()->isEnabled());
}

TEST_F(Animate, ALayerDeletedWhilePlayingLeavesTheTimeline) {
  TImageLayer& logo = Image("logo");
  Image("strap");
  logo.XProperty().Animation(true)->AddKey(0, 0.0);
  logo.XProperty().Animation(true)->AddKey(12, 100.0);
  Sys().SetDuration(10.0);
  window->PlayAction(PA::paPlayPause)->trigger();
  Step(40'000);
  ASSERT_EQ(window->Timeline().Model().Rows().size(), 2u);
  Sys().DeleteLayer(&logo);
  EXPECT_EQ(window->Timeline().Model().Rows().size(), 1u);
  window->Timeline().repaint();
  Step(40'000);
  EXPECT_TRUE(window->Transport().Playing());
  EXPECT_EQ(Sys().frame, 2);
}

TEST_F(Animate, ContextMenusOfGridRowsAndTracksHoldTheKeyCommands) {
  TImageLayer& logo = Image("logo");
  logo.XProperty().Animation(true)->AddKey(0, 0.0);
  logo.XProperty().Animation(true)->AddKey(20, 400.0);
  QMenu* menu = window->KeyMenu(&logo.XProperty());
  QStringList texts;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{"Add Key", "Delete Key", "Previous Key", "Next Key", "Clear Animation", "Ease In/Out",
                                "Out of Range"}));
  QMenu* range = menu->actions().back()->menu();
  ASSERT_NE(range, nullptr);
  ASSERT_EQ(range->actions().size(), 6);
  EXPECT_TRUE(range->actions()[0]->isChecked());  // Constant
  range->actions()[3]->trigger();                 // PingPong
  EXPECT_EQ(logo.XProperty().Animation(false)->Foutat, atPingPong);
  // Ease on the row, from frame 5: a key on every frame between 0 and 20 on the cosine curve.
  GoTo(5);
  window->KeyMenu(&logo.XProperty());
  window->KeyAction(KA::kaEase)->trigger();
  const Tkeys& t = *logo.XProperty().Animation(false);
  EXPECT_EQ(t.Count(), 21);
  Tkeys straight;
  straight.AddKey(0, 0.0);
  straight.AddKey(20, 400.0);
  for (int g = 0; g <= 20; ++g) EXPECT_NEAR(t.LinearKeyframe(g), straight.CosineKeyframe(g), 0.00005) << g;
  window->UndoAction()->trigger();
  EXPECT_EQ(logo.XProperty().Animation(false)->Count(), 2);
  delete menu;
}

TEST_F(Animate, AKeyedPageSavedAndRenderedByQvrenderIsWhatTheEditorComposes) {
  TImageLayer& logo = Image("logo");
  // Values set with automatic keying on key themselves; Add Key keys what a frame shows.
  window->KeyAction(KA::kaAutoKeys)->trigger();
  for (const auto& [f, x, opacity] : {std::tuple{0, 10, 0}, std::tuple{12, 300, 255}, std::tuple{30, 100, 128}}) {
    GoTo(f);
    logo.SetX(x);
    logo.SetOpacity(opacity);
  }
  window->KeyAction(KA::kaAutoKeys)->trigger();
  GoTo(20);
  Step(40'000);
  window->KeyAction(KA::kaAdd)->trigger();
  EXPECT_EQ(XKeys(logo), (std::vector<std::int32_t>{0, 12, 20, 30}));
  GoTo(3);
  window->KeyAction(KA::kaEase)->trigger();  // 0 .. 12 eased, a key per frame
  EXPECT_EQ(XKeys(logo).size(), 15u);
  const std::string page = (dir / "keyed.QV").string();
  dialogs->Saves.push_back(QString::fromStdString(page));
  window->SaveAsAction()->trigger();
  ASSERT_TRUE(fs::exists(page));

  // Opened again, the page has the same keys.
  auto again = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  again->LoadFromFile(page);
  ASSERT_EQ(again->Layers.size(), 1u);
  EXPECT_EQ(KeyFrames(again->Layers[0]->XProperty()), XKeys(logo));
  EXPECT_EQ(TrackKeys(*again->Layers[0]->OpacityProperty().Animation(false)),
            TrackKeys(*logo.OpacityProperty().Animation(false)));

  for (int f : {0, 5, 12, 20, 30}) {
    const std::string out = (dir / ("f" + std::to_string(f) + ".tga")).string();
    ASSERT_EQ(RunQvrender({"render", page, "-o", out, "--frame", std::to_string(f)}).code, 0) << f;
    const TTgaImage rendered = ReadTga(out);
    TmemoryBitmap mine = TmemoryBitmap::CreateAsDib(768, 576, 32);
    mine.Fill(0);
    Sys().Render(f, mine);
    ASSERT_EQ(rendered.w, 768);
    std::size_t differing = 0;
    for (int y = 0; y < 576; ++y)
      differing += std::memcmp(mine.PixelPtr(0, y), rendered.pixels.data() + std::size_t(y) * 768 * 4, 768 * 4) != 0;
    EXPECT_EQ(differing, 0u) << "frame " << f;
  }
}

}  // namespace
}  // namespace qv::test

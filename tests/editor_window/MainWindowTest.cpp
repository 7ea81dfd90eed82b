// The editor's window under the offscreen platform: its commands, File menu, object list, keys and
// render loop, with every dialog answered by the test.
#include "editor_widgets/DataPanel.h"
#include "editor_widgets/MainWindow.h"
#include "editor_widgets/ObjectEditor.h"
#include "editor_widgets/ObjectList.h"
#include "editor_widgets/TimeRuler.h"
#include "editor_widgets/WorkAreaWidget.h"

#include "composition/ClockLayer.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "raster/ImageFormats.h"
#include "composition/TextLayer.h"
#include "support/Files.h"

#include <QApplication>
#include <QColorDialog>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <fstream>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// One QApplication for the whole program, on the offscreen platform.
class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "editor_window_tests";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app.reset(); }
  std::unique_ptr<QApplication> app;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtApplication);

// Answers the window's questions from queues and records what was asked.
struct TScriptedDialogs final : TEditorDialogs {
  std::deque<std::optional<QString>> Files, Folders, Saves;
  std::deque<bool> Confirms;
  std::deque<int> Choices;
  std::vector<QString> OpenTitles;
  std::vector<QString> Questions;
  struct TWarning {
    QString Caption, Text, Details;
  };
  std::vector<TWarning> Warnings;

  static std::optional<QString> Next(std::deque<std::optional<QString>>& Q) {
    if (Q.empty()) return std::nullopt;
    auto v = Q.front();
    Q.pop_front();
    return v;
  }
  std::vector<QString> OpenFilters;
  std::optional<QString> OpenFile(QWidget*, const QString& Title, const QString& Filter) override {
    OpenTitles.push_back(Title);
    OpenFilters.push_back(Filter);
    return Next(Files);
  }
  std::optional<QString> PickFolder(QWidget*, const QString&) override { return Next(Folders); }
  std::optional<QString> SaveFile(QWidget*, const QString&, const QString&) override { return Next(Saves); }
  bool Confirm(QWidget*, const QString& Text, const QString& Caption) override {
    Questions.push_back(Caption + "|" + Text);
    if (Confirms.empty()) return false;
    const bool v = Confirms.front();
    Confirms.pop_front();
    return v;
  }
  std::deque<std::optional<TExportRequest>> Exports;
  std::vector<TExportRequest> ExportDefaults;
  int CancelAfter = -1;  // the progress display's Cancel pressed once this many frames are done
  std::vector<int> ProgressSeen;
  std::optional<TExportRequest> AskExport(QWidget*, const TExportRequest& Defaults) override {
    ExportDefaults.push_back(Defaults);
    if (Exports.empty()) return std::nullopt;
    auto v = Exports.front();
    Exports.pop_front();
    return v;
  }
  struct TScriptedProgress final : TProgress {
    TScriptedDialogs& Owner;
    explicit TScriptedProgress(TScriptedDialogs& O) : Owner(O) {}
    bool Update(int Done, int) override {
      Owner.ProgressSeen.push_back(Done);
      return Owner.CancelAfter >= 0 && Done >= Owner.CancelAfter;
    }
  };
  std::unique_ptr<TProgress> StartProgress(QWidget*, const QString&) override {
    return std::make_unique<TScriptedProgress>(*this);
  }
  std::optional<int> ChooseItem(QWidget*, const QString&, const QString&, const QStringList&, int) override {
    if (Choices.empty()) return std::nullopt;
    const int v = Choices.front();
    Choices.pop_front();
    return v;
  }
  void Warn(QWidget*, const QString& Caption, const QString& Text, const QString& Details) override {
    Warnings.push_back({Caption, Text, Details});
  }
};

struct Editor : ::testing::Test {
  TTestDir dir{"qv-editor"};
  TScriptedDialogs* dialogs = nullptr;
  TManualTickSource ticks{1000};  // the render loop's time goes as the test says
  std::unique_ptr<TForm5> window;

  void SetUp() override {
    TEditorOptions options;
    options.GridFolders = {dir.Path()};
    options.Ticks = &ticks;
    options.SettingsFile = Settings();
    auto scripted = std::make_unique<TScriptedDialogs>();
    dialogs = scripted.get();
    options.Dialogs = std::move(scripted);
    window = std::make_unique<TForm5>(std::move(options));
  }
  TQVSystem& Sys() { return window->Composition(); }
  // The test's own settings, never the user's.
  QString Settings() const { return QString::fromStdString((dir / "qveditor.ini").string()); }

  std::string Picture(const std::string& Name, int W = 6, int H = 4) {
    TStreamedBitmap b(W, H);
    b.Fill(0xFF336699u);
    const std::string path = (dir / Name).string();
    b.SaveToFile(path);
    return path;
  }
  std::vector<std::string> StackNames() {
    std::vector<std::string> names;
    for (const auto& l : Sys().Layers) names.push_back(l->layerName());
    return names;
  }
  // The object list's layer rows, top to bottom, as the names of their layers.
  std::vector<std::string> ListNames() {
    std::vector<std::string> names;
    QTreeWidgetItem* root = window->ObjectList().topLevelItem(0);
    for (int i = 0; root != nullptr && i < root->childCount(); ++i) {
      auto* layer = dynamic_cast<TLayer*>(TObjectList::ObjectOf(root->child(i)));
      EXPECT_NE(layer, nullptr);
      names.push_back(layer != nullptr ? layer->layerName() : "?");
      EXPECT_EQ(root->child(i)->text(0).toStdString(), names.back());
    }
    return names;
  }
  bool ShowsMoreThanTheCheckerboard() {
    const TmemoryBitmap& work = *Sys().work;
    const TmemoryBitmap& grid = window->Checkerboard().Image;
    for (int y = 0; y < work.Height(); ++y) {
      if (std::memcmp(work.PixelPtr(0, y), grid.PixelPtr(0, y), std::size_t(work.Width()) * 4) != 0) return true;
    }
    return false;
  }
  // A project of text layers with these names, written by a composition of its own.
  std::string Project(const std::string& Name, const std::vector<std::string>& Layers) {
    auto other = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
    for (const std::string& n : Layers) other->NewLayer<TTextLayer>().SetlayerName(n);
    const std::string path = (dir / Name).string();
    other->SaveToFile(path);
    return path;
  }
};

TEST_F(Editor, InsertCommandsNameSelectAndListTheirLayers) {
  const std::string picture = Picture("a.png");
  fs::create_directories(dir / "seq");
  for (int i = 0; i < 3; ++i) Picture("seq/f" + std::to_string(i) + ".png");
  dialogs->Files.push_back(QString::fromStdString(picture));
  dialogs->Folders.push_back(QString::fromStdString((dir / "seq").string()));

  struct {
    TLayerKind kind;
    const char* name;
    bool selects;
  } cases[] = {{TLayerKind::lkText, "Text000", true},    {TLayerKind::lkImage, "img000", false},
               {TLayerKind::lkSequence, "Multi000", true}, {TLayerKind::lkRoll, "Roll000", true},
               {TLayerKind::lkClock, "Clock000", true},   {TLayerKind::lkText, "Text001", true}};
  std::vector<std::string> names;
  for (const auto& c : cases) {
    TLayer* before = Sys()._SelectedLayer();
    window->InsertAction(c.kind)->trigger();
    ASSERT_FALSE(Sys().Layers.empty());
    TLayer* added = Sys().Layers.back().get();
    EXPECT_EQ(added->layerName(), c.name);
    EXPECT_EQ(Sys()._SelectedLayer(), c.selects ? added : before) << c.name;
    names.push_back(c.name);
    EXPECT_EQ(ListNames(), names) << "after " << c.name;
  }
  auto* image = dynamic_cast<TImageLayer*>(Sys().Layers[1].get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Width(), 6);
  EXPECT_EQ(window->LastFrame(), 2);  // three frames
  EXPECT_TRUE(dialogs->Warnings.empty());
}

TEST_F(Editor, CancelledDialogsInsertNothing) {
  window->InsertAction(TLayerKind::lkImage)->trigger();
  window->InsertAction(TLayerKind::lkSequence)->trigger();
  EXPECT_TRUE(Sys().Layers.empty());
  EXPECT_TRUE(ListNames().empty());
}

TEST_F(Editor, ARenamedLayerFreesItsNameForTheNextInsert) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  window->InsertAction(TLayerKind::lkText)->trigger();
  Sys().Layers[0]->SetlayerName("headline");
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_EQ(StackNames(), (std::vector<std::string>{"headline", "Text001", "Text000"}));
  ticks.Advance(40);
  window->RenderStep();  // the list's texts follow renames at the next frame
  EXPECT_EQ(ListNames(), StackNames());
}

TEST_F(Editor, SaveNeedsANameAndSaveAsAddsTheExtension) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_FALSE(window->SaveAction()->isEnabled());
  window->SaveAction()->trigger();  // nothing to save under
  EXPECT_TRUE(window->ProjectFileName().empty());

  struct {
    const char* chosen;
    const char* saved;
  } cases[] = {{"page", "page.QV"}, {"page2.qv", "page2.qv"}, {"notes.txt", "notes.txt.QV"}};
  for (const auto& c : cases) {
    dialogs->Saves.push_back(QString::fromStdString((dir / c.chosen).string()));
    window->SaveAsAction()->trigger();
    EXPECT_TRUE(fs::exists(dir / c.saved)) << c.chosen;
    EXPECT_EQ(window->ProjectFileName(), (dir / c.saved).string());
    EXPECT_TRUE(window->SaveAction()->isEnabled());
  }
  EXPECT_FALSE(fs::exists(dir / "page"));
  EXPECT_FALSE(fs::exists(dir / "notes.txt"));

  // Save writes the current name again.
  Sys().Layers[0]->SetlayerName("renamed");
  window->SaveAction()->trigger();
  std::ifstream in(dir / "notes.txt.QV");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("renamed"), std::string::npos);
  EXPECT_EQ(window->SaveAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
}

TEST_F(Editor, ExitAsksOnlyWhenThereAreLayers) {
  struct {
    bool withLayer;
    std::optional<bool> answer;  // none: no question expected
    bool closes;
  } cases[] = {{false, std::nullopt, true}, {true, false, false}, {true, true, true}};
  for (const auto& c : cases) {
    SetUp();
    if (c.withLayer) window->InsertAction(TLayerKind::lkText)->trigger();
    window->show();
    if (c.answer) dialogs->Confirms.push_back(*c.answer);
    window->ExitAction()->trigger();
    EXPECT_EQ(dialogs->Questions.size(), c.answer ? 1u : 0u);
    if (c.answer) {
      EXPECT_EQ(dialogs->Questions[0], "Alert|Are you sure ?");
    }
    EXPECT_EQ(window->isVisible(), !c.closes);
  }
}

TEST_F(Editor, AlignmentButtonsSetTheSelectedTextAndLatchInTheirBars) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  auto* text = dynamic_cast<TTextLayer*>(Sys().Layers.back().get());
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(window->AlignAction(0)->isChecked());
  EXPECT_TRUE(window->AlignAction(3)->isChecked());

  struct {
    int button;  // 0..5 for the six buttons, left to right, top bar first
    THTextAlig h;
    TVTextAlig v;
    std::array<bool, 6> checked;
  } cases[] = {
      {2, haRight, vaTop, {false, false, true, true, false, false}},
      {5, haRight, vaBottom, {false, false, true, false, false, true}},
      {4, haRight, vaCenter, {false, false, true, false, false, true}},  // the middle button does not latch
      {1, haCenter, vaCenter, {false, true, false, false, false, true}},
  };
  for (const auto& c : cases) {
    window->AlignAction(c.button)->trigger();
    EXPECT_EQ(text->HorizontalAlignment(), c.h) << c.button;
    EXPECT_EQ(text->VerticalAlignment(), c.v) << c.button;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(window->AlignAction(i)->isChecked(), c.checked[std::size_t(i)]) << c.button << " " << i;
  }

  // With an image selected, nothing changes.
  dialogs->Files.push_back(QString::fromStdString(Picture("b.png")));
  window->InsertAction(TLayerKind::lkImage)->trigger();
  Sys().SetSelectedLayer(Sys().Layers.back().get());
  window->AlignAction(0)->trigger();
  EXPECT_EQ(text->HorizontalAlignment(), haCenter);
}

TEST_F(Editor, TheObjectListFollowsZOrderDeleteAndSelection) {
  for (int i = 0; i < 3; ++i) window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"Text000", "Text001", "Text002"}));

  window->BringToFrontAction()->trigger();  // Text002 is selected and already on top
  Sys().SetSelectedLayer(Sys().Layers[0].get());
  window->BringToFrontAction()->trigger();
  EXPECT_EQ(StackNames(), (std::vector<std::string>{"Text001", "Text002", "Text000"}));
  EXPECT_EQ(ListNames(), StackNames());
  window->SendToBackAction()->trigger();
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"Text000", "Text001", "Text002"}));

  // Delete on the work area removes the selected layer; its row goes with it.
  window->show();
  window->WorkArea().setFocus();
  QTest::keyClick(&window->WorkArea(), Qt::Key_Delete);
  EXPECT_EQ(StackNames(), (std::vector<std::string>{"Text001", "Text002"}));
  EXPECT_EQ(ListNames(), StackNames());

  // Choosing rows selects; the root row clears the selection.
  QTreeWidgetItem* root = window->ObjectList().topLevelItem(0);
  window->ObjectList().setCurrentItem(root->child(1));
  EXPECT_EQ(Sys()._SelectedLayer(), Sys().Layers[1].get());
  window->ObjectList().setCurrentItem(root);
  EXPECT_EQ(Sys()._SelectedLayer(), nullptr);
  // A layer picked on the page shows as the chosen row.
  Sys().SetSelectedLayer(Sys().Layers[0].get());
  ASSERT_NE(window->ObjectList().currentItem(), nullptr);
  EXPECT_EQ(TObjectList::ObjectOf(window->ObjectList().currentItem()), Sys().Layers[0].get());
}

TEST_F(Editor, KeysTypedIntoAFieldNeverReachThePage) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  TLayer* text = Sys().Layers.back().get();
  auto* field = new QLineEdit(window->centralWidget());
  window->show();
  // Keys go to the focused widget of the active window; the platform activates it in its own time.
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const std::int32_t x = text->X();

  field->setFocus();
  for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Delete}) QTest::keyClick(field, key);
  EXPECT_EQ(Sys().Layers.size(), 1u);
  EXPECT_EQ(text->X(), x);

  // The same keys on the page nudge and delete; each key counts once.
  window->WorkArea().setFocus();
  QTest::keyClick(&window->WorkArea(), Qt::Key_Left);
  EXPECT_EQ(text->X(), x - 1);
  QTest::keyClick(&window->WorkArea(), Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(text->X(), x + 3);
  QTest::keyClick(&window->WorkArea(), Qt::Key_Delete);
  EXPECT_TRUE(Sys().Layers.empty());
}

TEST_F(Editor, OpenProjectPutsItsLayersOnTopAndSelectsTheBottomOne) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  Sys().Layers[0]->SetlayerName("mine");
  const std::string project = Project("p.QV", {"a", "b"});
  dialogs->Files.push_back(QString::fromStdString(project));
  window->OpenAction()->trigger();
  ASSERT_EQ(dialogs->OpenTitles.size(), 1u);
  EXPECT_TRUE(dialogs->OpenTitles[0].contains("on top of the 1 layers")) << dialogs->OpenTitles[0].toStdString();
  EXPECT_EQ(StackNames(), (std::vector<std::string>{"mine", "a", "b"}));
  EXPECT_EQ(ListNames(), StackNames());
  EXPECT_EQ(Sys()._SelectedLayer(), Sys().Layers[0].get());
  EXPECT_EQ(window->ProjectFileName(), project);
  EXPECT_TRUE(window->SaveAction()->isEnabled());
  EXPECT_TRUE(dialogs->Warnings.empty());
}

TEST_F(Editor, ADamagedOrMissingProjectIsToldOnceAndTheEditorKeepsWhatItHad) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  const std::string damaged = dir.Write("bad.QV", "Object '':TTextLayer\r\nX = 2\r\nAnim0 Constant zero 1.0 5 2.0 \r\nEnd\r\n");
  const std::string missing = (dir / "gone.QV").string();
  for (const std::string& file : {damaged, missing}) {
    dialogs->Warnings.clear();
    EXPECT_FALSE(window->OpenProjectFile(QString::fromStdString(file)));
    ASSERT_EQ(dialogs->Warnings.size(), 1u) << file;
    EXPECT_TRUE(dialogs->Warnings[0].Text.contains(QString::fromStdString(fs::path(file).filename().string())))
        << dialogs->Warnings[0].Text.toStdString();
    if (file == damaged) {
      EXPECT_TRUE(dialogs->Warnings[0].Text.contains("line 3")) << dialogs->Warnings[0].Text.toStdString();
    }
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"Text000"}));
    EXPECT_TRUE(window->ProjectFileName().empty());
  }
  // The editor goes on working.
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"Text000", "Text001"}));
}

TEST_F(Editor, MissingMediaOfAProjectAreToldInOneSummary) {
  auto other = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  const std::string names[] = {"m0.png", "m1.png", "m2.png"};
  for (const std::string& name : names) other->NewLayer<TImageLayer>().SetFileName(Picture(name));
  const std::string project = (dir / "media.QV").string();
  other->SaveToFile(project);
  for (const std::string& name : names) fs::remove(dir / name);

  EXPECT_TRUE(window->OpenProjectFile(QString::fromStdString(project)));
  ASSERT_EQ(dialogs->Warnings.size(), 1u);
  EXPECT_TRUE(dialogs->Warnings[0].Text.startsWith("3 pictures")) << dialogs->Warnings[0].Text.toStdString();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(dialogs->Warnings[0].Details.contains(QString("m%1.png").arg(i)));
  EXPECT_EQ(Sys().Layers.size(), 3u);
}

TEST_F(Editor, TheRenderLoopDrawsOverTheCheckerboardAndSleepsOnAStaticPage) {
  EXPECT_TRUE(fs::exists(dir / "grid.png"));
  // The window drew its first frame when it was made: the checkerboard, and nothing more to do.
  const TmemoryBitmap& work = *Sys().work;
  EXPECT_EQ(work.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(work.Pixel(8, 0), 0xFFCCCCCCu);
  EXPECT_TRUE(window->Idle());

  // A change asks for a frame; it comes 40 ms after the last one, not before.
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_FALSE(window->Idle());
  ticks.Advance(39);
  window->RenderStep();
  EXPECT_FALSE(ShowsMoreThanTheCheckerboard()) << "drawn before its time";
  ticks.Advance(1);
  window->RenderStep();
  EXPECT_TRUE(ShowsMoreThanTheCheckerboard()) << "the new text is on the page";
  EXPECT_TRUE(window->Idle());

  window->InsertAction(TLayerKind::lkClock)->trigger();
  EXPECT_FALSE(window->Idle());  // a frame was asked for
  ticks.Advance(40);
  window->RenderStep();
  EXPECT_FALSE(window->Idle()) << "a clock keeps frames coming";
}

TEST_F(Editor, TheWorkAreaShowsTheWorkImageWithoutACopy) {
  window->show();
  const QImage shown = window->WorkArea().grab().toImage();
  ASSERT_EQ(shown.width(), 768);
  EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(shown.pixel(8, 0) & 0xFFFFFFu, 0xCCCCCCu);
  // A drag on the work area moves the layer under it.
  window->InsertAction(TLayerKind::lkText)->trigger();
  TLayer* text = Sys().Layers.back().get();
  const QPoint inside(text->X() + text->Width() / 2, text->Y() + text->Height() / 2);
  const std::int32_t x = text->X();
  QTest::mouseMove(&window->WorkArea(), inside);  // the pointer comes over the layer first
  QTest::mousePress(&window->WorkArea(), Qt::LeftButton, {}, inside);
  QTest::mouseMove(&window->WorkArea(), inside + QPoint(30, 0));
  QTest::mouseRelease(&window->WorkArea(), Qt::LeftButton, {}, inside + QPoint(30, 0));
  EXPECT_EQ(text->X(), x + 30);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(Editor, NewPageEmptiesThePageAtTheChosenSizeAndFitsItInThePanel) {
  window->resize(1120, 760);
  window->show();
  window->InsertAction(TLayerKind::lkText)->trigger();
  dialogs->Saves.push_back(QString::fromStdString((dir / "sd.QV").string()));
  window->SaveAsAction()->trigger();

  // Cancelling the size, or the question, changes nothing.
  window->NewPageAction()->trigger();
  EXPECT_EQ(Sys().Layers.size(), 1u);
  dialogs->Choices.push_back(2);
  dialogs->Confirms.push_back(false);
  window->NewPageAction()->trigger();
  EXPECT_EQ(Sys().Layers.size(), 1u);
  EXPECT_EQ(Sys().fwidth, 768);

  dialogs->Choices.push_back(2);  // 1920 × 1080
  dialogs->Confirms.push_back(true);
  window->NewPageAction()->trigger();
  EXPECT_TRUE(Sys().Layers.empty());
  EXPECT_TRUE(ListNames().empty());
  EXPECT_EQ(Sys().fwidth, 1920);
  EXPECT_EQ(Sys().fheight, 1080);
  EXPECT_EQ(Sys().work->Width(), 1920);
  EXPECT_TRUE(window->ProjectFileName().empty());
  EXPECT_FALSE(window->SaveAction()->isEnabled());
  EXPECT_TRUE(fs::exists(dir / "grid-1920x1080.png"));
  EXPECT_EQ(window->Checkerboard().Image.Width(), 1920);

  // Shown whole: smaller than 1:1, and the pointer works in page pixels.
  TWorkArea& area = window->WorkArea();
  ASSERT_LT(area.Scale(), 1.0);
  EXPECT_LE(area.width(), 1120);
  ticks.Advance(40);
  window->RenderStep();
  window->InsertAction(TLayerKind::lkText)->trigger();
  TLayer* text = Sys().Layers.back().get();
  EXPECT_GT(text->X(), 768);  // centred on the large page
  const QPoint centre(int((text->X() + text->Width() / 2) * area.Scale()), int((text->Y() + text->Height() / 2) * area.Scale()));
  Sys().SetSelectedLayer(nullptr);
  QApplication::processEvents();  // the layout places the smaller work area
  QTest::mouseMove(&area, centre);
  QTest::mouseClick(&area, Qt::LeftButton, {}, centre);
  EXPECT_EQ(Sys()._SelectedLayer(), text) << "scale " << area.Scale();

  // A standard page opened after it brings the size back only if it says so: it does not.
  window->OpenProjectFile(QString::fromStdString((dir / "sd.QV").string()));
  EXPECT_EQ(Sys().fwidth, 1920);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(Editor, TheRulerSetsThePagesFrameAndItsFieldTakesATypedTime) {
  window->resize(1120, 760);
  window->show();
  window->activateWindow();
  QApplication::processEvents();
  TTimeRuler& ruler = window->Ruler();
  // A click on the ruler puts the playhead, and the page, on the frame under it.
  const QPoint at(ruler.width() / 2, 10);
  QTest::mouseClick(&ruler, Qt::LeftButton, {}, at);
  EXPECT_GT(ruler.Frame(), 0);
  EXPECT_EQ(Sys().frame, ruler.Frame());

  // 01:01:12 is one minute, one second and twelve frames: frame 1537.
  QLineEdit& field = window->RulerField();
  field.setFocus();
  field.selectAll();
  QTest::keyClicks(&field, "01:01:12");
  QTest::keyClick(&field, Qt::Key_Return);
  EXPECT_EQ(ruler.Frame(), 1537);
  EXPECT_EQ(Sys().frame, 1537);
  EXPECT_EQ(field.text(), "01:01:12");

  // The wheel zooms out and in, the playhead staying where it is.
  const double scale = ruler.Scale();
  auto wheel = [&](int delta) {
    QWheelEvent e(QPointF(at), ruler.mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&ruler, &e);
  };
  wheel(-240);
  EXPECT_DOUBLE_EQ(ruler.Scale(), scale / 1.5625);
  EXPECT_EQ(ruler.Frame(), 1537);
  for (int i = 0; i < 40; ++i) wheel(-120);
  EXPECT_DOUBLE_EQ(ruler.Scale(), TTimeRuler::kMinZoom);
  wheel(120);
  EXPECT_DOUBLE_EQ(ruler.Scale(), TTimeRuler::kMinZoom * 1.25);

  // An image sequence's length marks the ruler's end, as the frame slider's reach.
  fs::create_directories(dir / "seq");
  for (int i = 0; i < 4; ++i) Picture("seq/f" + std::to_string(i) + ".png");
  dialogs->Folders.push_back(QString::fromStdString((dir / "seq").string()));
  window->InsertAction(TLayerKind::lkSequence)->trigger();
  EXPECT_EQ(window->LastFrame(), 3);
  EXPECT_EQ(ruler.Model().LastFrame(), 3);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(Editor, ExportWritesTheRangeFromThePageAsItStandsAndCancelLeavesNothing) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  Sys().frame = 7;
  TExportRequest frames;
  frames.Kind = video::TExportKind::ekPng;
  frames.From = 7;
  frames.To = 9;
  frames.Output = (dir / "out" / "news").string();
  fs::create_directories(dir / "out");
  dialogs->Exports.push_back(frames);
  window->ExportAction()->trigger();
  ASSERT_EQ(dialogs->ExportDefaults.size(), 1u);
  EXPECT_EQ(dialogs->ExportDefaults[0].From, 7);  // from the ruler's frame
  EXPECT_TRUE(dialogs->Warnings.empty()) << dialogs->Warnings[0].Text.toStdString();
  for (int f : {7, 8, 9}) EXPECT_TRUE(fs::exists(dir / "out" / ("news_0000" + std::to_string(f) + ".png"))) << f;
  EXPECT_FALSE(fs::exists(dir / "out" / "news_00006.png"));
  EXPECT_EQ(dialogs->ProgressSeen, (std::vector<int>{1, 2, 3}));

  TExportRequest clip;
  clip.Kind = video::TExportKind::ekVideo;
  clip.Codec = video::TVideoCodec::vcFfv1;
  clip.From = 0;
  clip.To = 4;
  clip.Output = (dir / "out" / "clip").string();
  dialogs->Exports.push_back(clip);
  window->ExportAction()->trigger();
  EXPECT_TRUE(fs::exists(dir / "out" / "clip.mkv"));

  // Cancel after the second frame: no clip, no partial file, and the editor goes on.
  clip.Output = (dir / "out" / "stopped").string();
  dialogs->Exports.push_back(clip);
  dialogs->CancelAfter = 2;
  window->ExportAction()->trigger();
  dialogs->CancelAfter = -1;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 4);  // three frames, one clip
  EXPECT_TRUE(dialogs->Warnings.empty());

  // A range that runs backwards is refused before anything is written.
  frames.From = 9;
  frames.To = 3;
  dialogs->Exports.push_back(frames);
  window->ExportAction()->trigger();
  ASSERT_EQ(dialogs->Warnings.size(), 1u);
  EXPECT_TRUE(dialogs->Warnings[0].Text.contains("from frame 9 to frame 3"));
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_EQ(Sys().Layers.size(), 2u);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(Editor, TheGridShowsTheSelectionAndNeverAFreedLayer) {
  EXPECT_EQ(window->Grid().AObject(), &Sys());  // the page when nothing is selected
  window->InsertAction(TLayerKind::lkText)->trigger();
  TLayer* text = Sys().Layers.back().get();
  EXPECT_EQ(window->Grid().AObject(), text);
  ASSERT_FALSE(window->Grid().Rows().empty());
  EXPECT_EQ(window->Grid().Rows().front().prop->Name, "Text");
  // The grid is as tall as its rows, inside a scroll area that reaches them all.
  EXPECT_GE(window->Grid().minimumHeight(), TObjectEditor::kHeaderHeight + TObjectEditor::kRowHeight * 10);

  window->show();
  window->WorkArea().setFocus();
  QTest::keyClick(&window->WorkArea(), Qt::Key_Delete);
  EXPECT_TRUE(Sys().Layers.empty());
  EXPECT_EQ(window->Grid().AObject(), &Sys());
  for (const auto& row : window->Grid().Rows()) EXPECT_NE(row.Obj, nullptr);

  // The Edit menu's Undo is the keyboard's Ctrl+Z.
  EXPECT_EQ(window->UndoAction()->shortcut(), QKeySequence(QKeySequence::Undo));
}

}  // namespace
}  // namespace qv::test

// ---- laying out a page: safe areas, zoom, snapping, Arrange, drops, test data, rough edges ------

namespace qv::test {
namespace {

struct Layout : Editor {
  void Render() {
    ticks.Advance(40);
    window->RenderStep();
  }
  // An image layer of a W x H picture at (X, Y), made as the toolbar makes one.
  TImageLayer& Image(int X, int Y, int W, int H, const std::string& Name = "pic.png") {
    dialogs->Files.push_back(QString::fromStdString(Picture(Name, W, H)));
    window->InsertAction(TLayerKind::lkImage)->trigger();
    auto& l = static_cast<TImageLayer&>(*Sys().Layers.back());
    l.SetX(X);
    l.SetY(Y);
    return l;
  }
  QImage Shown() { return window->WorkArea().grab().toImage(); }
  std::uint32_t PagePixel(int x, int y) const { return window->Composition().work->Pixel(x, y) & 0xFFFFFFu; }
  // Drags files onto a widget and drops them at At; answers whether the drag was taken.
  static bool Drop(QWidget* Target, const std::vector<std::string>& Paths, QPoint At) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const std::string& p : Paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    mime.setUrls(urls);
    QDragEnterEvent enter(At, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(At), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Target, &drop);
    return true;
  }
  QString Status() { return window->statusBar()->currentMessage(); }
};

constexpr std::uint32_t kGraphicsSafeColour = 0xFFD200;
constexpr std::uint32_t kActionSafeColour = 0x00C8FF;
constexpr std::uint32_t kCentreCutColour = 0xFF60B0;
constexpr std::uint32_t kGuideColour = 0xFF00FF;

TEST_F(Layout, SafeAreasAreDrawnByTheEditorOnlyNeverIntoTheFrames) {
  window->show();
  Render();
  const std::vector<std::uint8_t> before(Sys().work->Bits, Sys().work->Bits + Sys().work->ByteSize());
  EXPECT_FALSE(window->SafeAreasAction()->isChecked());
  EXPECT_NE(Shown().pixel(38, 100) & 0xFFFFFFu, kGraphicsSafeColour);

  window->SafeAreasAction()->trigger();
  Render();
  const QImage shown = Shown();
  // The frames of a 768 x 576 page at 1:1: action-safe from (27, 20), graphics-safe from (38, 29),
  // each side drawn on its last pixel inside.
  EXPECT_EQ(shown.pixel(27, 300) & 0xFFFFFFu, kActionSafeColour);
  EXPECT_EQ(shown.pixel(740, 300) & 0xFFFFFFu, kActionSafeColour);
  EXPECT_EQ(shown.pixel(400, 20) & 0xFFFFFFu, kActionSafeColour);
  EXPECT_EQ(shown.pixel(400, 555) & 0xFFFFFFu, kActionSafeColour);
  EXPECT_EQ(shown.pixel(38, 300) & 0xFFFFFFu, kGraphicsSafeColour);
  EXPECT_EQ(shown.pixel(729, 300) & 0xFFFFFFu, kGraphicsSafeColour);
  EXPECT_EQ(shown.pixel(400, 29) & 0xFFFFFFu, kGraphicsSafeColour);
  EXPECT_EQ(shown.pixel(400, 546) & 0xFFFFFFu, kGraphicsSafeColour);
  EXPECT_EQ(shown.pixel(26, 300) & 0xFFFFFFu, PagePixel(26, 300));  // beside the line: the page
  // The page's pixels are as they were: the frames are the editor's drawing over them.
  EXPECT_TRUE(std::equal(before.begin(), before.end(), Sys().work->Bits));

  // An exported frame never holds them: a picture over the whole page comes out as it is.
  Image(0, 0, 768, 576, "full.png");
  TExportRequest frame;
  frame.Kind = video::TExportKind::ekPng;
  frame.From = frame.To = 0;
  frame.Output = (dir / "safe").string();
  dialogs->Exports.push_back(frame);
  window->ExportAction()->trigger();
  TStreamedBitmap exported;
  exported.LoadFromFile((dir / "safe_00000.png").string(), false);
  ASSERT_EQ(exported.Width(), 768);
  for (const auto& [x, y] : {std::pair{38, 300}, {27, 300}, {400, 29}, {729, 300}}) {
    EXPECT_EQ(exported.Pixel(x, y), exported.Pixel(x + 1, y + 1)) << x << "," << y;
  }

  // A 16:9 page adds the 4:3 cut, 960 wide in its middle; the toggle is remembered.
  dialogs->Choices.push_back(1);  // 1280 × 720
  dialogs->Confirms.push_back(true);
  window->NewPageAction()->trigger();
  window->ZoomAction(100)->trigger();
  Render();
  const QImage wide = Shown();
  ASSERT_EQ(wide.width(), 1280);
  EXPECT_EQ(wide.pixel(160, 360) & 0xFFFFFFu, kCentreCutColour);
  EXPECT_EQ(wide.pixel(1119, 360) & 0xFFFFFFu, kCentreCutColour);
  EXPECT_EQ(wide.pixel(64, 360) & 0xFFFFFFu, kGraphicsSafeColour);
  QSettings kept(Settings(), QSettings::IniFormat);
  EXPECT_TRUE(kept.value("View/SafeAreas").toBool());
}

TEST_F(Layout, ZoomShowsWholePixelsAndThePointerMapsToThemExactly) {
  window->show();
  TImageLayer& logo = Image(100, 100, 40, 30);
  Render();
  EXPECT_TRUE(window->View().Fitting());
  EXPECT_EQ(window->View().Zoom(), (TZoom{1, 1}));

  struct TCase {
    int percent;
    TZoom zoom;
    int width;
  };
  const TCase cases[] = {{200, {2, 1}, 1536}, {50, {1, 2}, 384}, {100, {1, 1}, 768}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.percent);
    window->ZoomAction(c.percent)->trigger();
    Render();
    EXPECT_EQ(window->View().Zoom(), c.zoom);
    EXPECT_FALSE(window->View().Fitting());
    TWorkArea& area = window->WorkArea();
    EXPECT_EQ(area.width(), c.width);
    // Screen points to page pixels, as the view computes them.
    for (const auto& [sx, sy] : {std::pair{0, 0}, {1, 1}, {201, 203}, {c.width - 1, 10}}) {
      const QPoint p = area.PagePoint(QPointF(sx, sy));
      EXPECT_EQ(p.x(), sx * c.zoom.Den / c.zoom.Num) << sx;
      EXPECT_EQ(p.y(), sy * c.zoom.Den / c.zoom.Num) << sy;
    }
    if (c.zoom.Num >= c.zoom.Den) {
      // Every page pixel is a block of whole screen pixels of its own colour.
      const QImage shown = Shown();
      for (const auto& [px, py] : {std::pair{99, 99}, {100, 100}, {139, 129}, {140, 130}, {8, 0}, {767, 575}}) {
        for (int dy = 0; dy < c.zoom.Num; ++dy) {
          for (int dx = 0; dx < c.zoom.Num; ++dx) {
            EXPECT_EQ(shown.pixel(px * c.zoom.Num + dx, py * c.zoom.Num + dy) & 0xFFFFFFu, PagePixel(px, py))
                << px << "," << py;
          }
        }
      }
    }
    // A click where the layer shows picks it (the events go to the work area itself: at 200 % the
    // point may lie outside the part of it in view).
    Sys().SetSelectedLayer(nullptr);
    const QPointF on(120 * c.zoom.Num / c.zoom.Den, 115 * c.zoom.Num / c.zoom.Den);
    for (auto [type, buttons] : {std::pair{QEvent::MouseMove, Qt::MouseButtons()},
                                 {QEvent::MouseButtonPress, Qt::MouseButtons(Qt::LeftButton)},
                                 {QEvent::MouseButtonRelease, Qt::MouseButtons()}}) {
      QMouseEvent e(type, on, area.mapToGlobal(on), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                    Qt::NoModifier);
      QApplication::sendEvent(&area, &e);
    }
    EXPECT_EQ(Sys()._SelectedLayer(), &logo);
  }

  // Ctrl+wheel about the pointer: the page pixel under it stays under it.
  window->ZoomAction(100)->trigger();
  TWorkArea& area = window->WorkArea();
  QWidget* viewport = area.parentWidget()->parentWidget();
  const QPoint atView(300, 250);
  auto under = [&] { return area.PagePoint(area.mapFrom(viewport, atView)); };
  const QPoint before = under();
  for (int notch = 0; notch < 2; ++notch) {
    const QPoint local = area.mapFrom(viewport, atView);
    QWheelEvent wheel(local, area.mapToGlobal(local), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&area, &wheel);
  }
  EXPECT_EQ(window->View().Zoom(), (TZoom{3, 1}));
  EXPECT_EQ(under(), before);
  // Without Ctrl the wheel scrolls instead.
  QWheelEvent plain(area.mapFrom(viewport, atView), QPoint(), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&area, &plain);
  EXPECT_EQ(window->View().Zoom(), (TZoom{3, 1}));
  window->ZoomFitAction()->trigger();
  EXPECT_TRUE(window->View().Fitting());
  EXPECT_EQ(area.width(), 768);
}

TEST_F(Layout, ADragSnapsToTheLineShowsItsGuideAndShiftFreesIt) {
  window->show();
  TImageLayer& logo = Image(200, 200, 100, 50);
  Render();
  TWorkArea& area = window->WorkArea();
  QTest::mouseMove(&area, QPoint(250, 225));
  QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(250, 225));
  QTest::mouseMove(&area, QPoint(54, 225));  // left edge 4 pixels from the page's
  EXPECT_EQ(logo.X(), 0);
  ASSERT_EQ(area.Guides().size(), 1u);
  Render();
  const QImage shown = Shown();
  EXPECT_EQ(shown.pixel(0, 400) & 0xFFFFFFu, kGuideColour);
  EXPECT_EQ(shown.pixel(0, 10) & 0xFFFFFFu, kGuideColour);  // across the whole page
  // Shift: where the pointer says, and no guide.
  QMouseEvent shifted(QEvent::MouseMove, QPointF(54, 225), area.mapToGlobal(QPointF(54, 225)), Qt::NoButton,
                      Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(&area, &shifted);
  EXPECT_EQ(logo.X(), 4);
  EXPECT_TRUE(area.Guides().empty());
  QTest::mouseMove(&area, QPoint(53, 225));
  EXPECT_EQ(logo.X(), 0);
  QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(53, 225));
  EXPECT_TRUE(area.Guides().empty());
  Render();
  EXPECT_NE(Shown().pixel(0, 400) & 0xFFFFFFu, kGuideColour);
}

TEST_F(Layout, ArrangeLinesTheSelectedLayerUpWithThePageOrTheGraphicsSafeFrame) {
  TImageLayer& logo = Image(100, 100, 40, 30);
  Sys().SetSelectedLayer(&logo);
  struct TCase {
    TArrangeEdge edge;
    bool safe;
    int x, y;
  };
  const TCase cases[] = {
      {TArrangeEdge::aeRight, false, 728, 100},  {TArrangeEdge::aeBottom, false, 728, 546},
      {TArrangeEdge::aeLeft, true, 38, 546},     {TArrangeEdge::aeTop, true, 38, 29},
      {TArrangeEdge::aeCentre, false, 364, 29},  {TArrangeEdge::aeMiddle, false, 364, 273},
      {TArrangeEdge::aeRight, true, 690, 273},   {TArrangeEdge::aeBottom, true, 690, 517},
  };
  for (const TCase& c : cases) {
    window->ArrangeToSafeAreaAction()->setChecked(c.safe);
    window->ArrangeAction(c.edge)->trigger();
    EXPECT_EQ(logo.X(), c.x) << int(c.edge) << " " << c.safe;
    EXPECT_EQ(logo.Y(), c.y) << int(c.edge) << " " << c.safe;
  }
  Sys().SetSelectedLayer(nullptr);
  window->ArrangeAction(TArrangeEdge::aeLeft)->trigger();  // nothing selected: nothing moves
  EXPECT_EQ(logo.X(), 690);
}

TEST_F(Layout, FilesDroppedOnThePageOrTheListMakeLayersOpenProjectsOrAreRefused) {
  window->show();
  fs::create_directory(dir / "frames");
  Picture("frames/f000.png", 8, 6);
  Picture("frames/f001.png", 8, 6);
  const std::string logo = Picture("logo.png", 40, 30);
  const std::string crawl = dir.Write("news.txt", "one\ntwo\n");
  const std::string project = Project("other.QV", {"fromFile"});
  const std::string notes = dir.Write("notes.docx", "x");
  TWorkArea& area = window->WorkArea();

  // One picture at the drop point, in page pixels (the page shown at 1:1 here).
  ASSERT_TRUE(Drop(&area, {logo}, QPoint(100, 50)));
  ASSERT_EQ(Sys().Layers.size(), 1u);
  auto* image = dynamic_cast<TImageLayer*>(Sys().Layers[0].get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->X(), 100);
  EXPECT_EQ(image->Y(), 50);
  EXPECT_EQ(image->Width(), 40);
  EXPECT_EQ(StackNames(), ListNames());

  // Several at once: a folder, a crawl, a project and a file nobody reads.
  ASSERT_TRUE(Drop(&area, {(dir / "frames").string(), crawl, project, notes}, QPoint(20, 400)));
  EXPECT_EQ(StackNames(), (std::vector<std::string>{"img000", "Multi000", "Roll000", "fromFile"}));
  EXPECT_EQ(Sys().Layers[1]->X(), 20);
  EXPECT_EQ(Sys().Layers[1]->Y(), 400);
  EXPECT_EQ(static_cast<TRollLayer&>(*Sys().Layers[2]).TextFile(), crawl);
  EXPECT_EQ(Sys().Layers[2]->Y(), 400);
  EXPECT_EQ(window->ProjectFileName(), project);
  EXPECT_TRUE(Status().contains("notes.docx")) << Status().toStdString();
  EXPECT_EQ(StackNames(), ListNames());

  // Nothing readable: the drag is not taken (the pointer's "no") and the status line says why.
  window->statusBar()->clearMessage();
  EXPECT_FALSE(Drop(&area, {notes}, QPoint(5, 5)));
  EXPECT_EQ(Sys().Layers.size(), 4u);
  EXPECT_TRUE(Status().startsWith("Cannot use notes.docx")) << Status().toStdString();

  // The object list takes files too; their layers go to the page's top-left corner.
  ASSERT_TRUE(Drop(window->ObjectList().viewport(), {logo}, QPoint(10, 10)));
  EXPECT_EQ(Sys().Layers.size(), 5u);
  EXPECT_EQ(Sys().Layers.back()->X(), 0);
  EXPECT_EQ(Sys().Layers.back()->Y(), 0);
  EXPECT_FALSE(Drop(window->ObjectList().viewport(), {notes}, QPoint(10, 10)));
}

TEST_F(Layout, TheDataPanelFillsThePageAndItsFileNeverHoldsTheValues) {
  window->InsertAction(TLayerKind::lkText)->trigger();
  window->InsertAction(TLayerKind::lkText)->trigger();
  auto& headline = static_cast<TTextLayer&>(*Sys().Layers[0]);
  auto& name = static_cast<TTextLayer&>(*Sys().Layers[1]);
  headline.SetlayerName("headline");
  name.SetlayerName("name");
  name.SetTextSource(tsMeta1);
  Render();
  const std::string saved = (dir / "page.QV").string();
  dialogs->Saves.push_back(QString::fromStdString(saved));
  window->SaveAsAction()->trigger();
  const std::string before = ReadBytes(saved);
  ASSERT_FALSE(before.empty());

  TDataPanel& panel = window->DataPanel();
  EXPECT_EQ(panel.Table().rowCount(), 8);  // the slots
  panel.SetValue("Meta1", "Jane Doe");
  panel.SetValue("headline.Text", "Breaking");
  Render();
  EXPECT_EQ(name.Text(), "Jane Doe");
  EXPECT_EQ(headline.Text(), "Breaking");
  EXPECT_EQ(panel.Table().rowCount(), 9);
  EXPECT_TRUE(panel.Problems().isEmpty()) << panel.Problems().toStdString();

  // Typing into the table's value cell is the same as SetValue.
  panel.Table().item(8, 1)->setText("Typed");
  EXPECT_EQ(headline.Text(), "Typed");

  // Saved, the page is its own; the values stay on it.
  window->SaveAction()->trigger();
  EXPECT_EQ(ReadBytes(saved), before);
  EXPECT_EQ(headline.Text(), "Typed");

  // A field of no layer is told; opening a page that has the layer applies it then.
  panel.SetValue("later.Text", "Now here");
  EXPECT_TRUE(panel.Problems().contains("later.Text")) << panel.Problems().toStdString();
  window->OpenProjectFile(QString::fromStdString(Project("later.QV", {"later"})));
  EXPECT_EQ(static_cast<TTextLayer&>(*Sys().Layers.back()).Text(), "Now here");
  EXPECT_TRUE(panel.Problems().isEmpty()) << panel.Problems().toStdString();
  panel.RemoveField("later.Text");

  // A CSV row (chosen among several) and a play --data file.
  const std::string csv = dir.Write("rows.csv", "Meta1,headline.Text\nA,B\nRow two,Second headline\n");
  dialogs->Files.push_back(QString::fromStdString(csv));
  dialogs->Choices.push_back(1);
  panel.LoadCsvRow();
  Render();
  EXPECT_EQ(name.Text(), "Row two");
  EXPECT_EQ(headline.Text(), "Second headline");
  const std::string json = dir.Write("data.json", R"({"Meta1": "From the data file"})");
  dialogs->Files.push_back(QString::fromStdString(json));
  panel.LoadDataFile();
  Render();
  EXPECT_EQ(name.Text(), "From the data file");
  dialogs->Files.push_back(QString::fromStdString(dir.Write("bad.json", "[1, 2")));
  panel.LoadDataFile();
  ASSERT_FALSE(dialogs->Warnings.empty());
  EXPECT_TRUE(dialogs->Warnings.back().Text.contains("not one JSON object"));

  // The values are the editor's settings: a new window finds them.
  {
    TEditorOptions options;
    options.GridFolders = {dir.Path()};
    options.SettingsFile = Settings();
    options.Dialogs = std::make_unique<TScriptedDialogs>();
    TForm5 second(std::move(options));
    EXPECT_EQ(second.TestData().Fields()[0].Value, "From the data file");
    EXPECT_EQ(second.TestData().Fields()[8].Name, "headline.Text");
    EXPECT_EQ(second.TestData().Fields()[8].Value, "Second headline");
    EXPECT_EQ(second.Composition().Meta1, "From the data file");  // the slots apply at once
  }

  // "Clear Test Data" puts the page back.
  panel.ClearButton().click();
  Render();
  EXPECT_EQ(headline.Text(), "Text");
  EXPECT_EQ(Sys().Meta1, "");
  Sys().DeleteLayer(Sys().Layers.back().get());  // the page opened on top
  window->SaveAction()->trigger();
  EXPECT_EQ(ReadBytes(saved), before);
  QSettings kept(Settings(), QSettings::IniFormat);
  EXPECT_EQ(kept.value("TestData/size", 0).toInt(), 0);
}

// The rough edges an operator met on a first page.
TEST_F(Layout, TheHoverMarkLeavesWithThePointerAndAClickOnEmptySpaceSelectsNothing) {
  window->show();
  TImageLayer& a = Image(100, 100, 40, 30, "a.png");
  TImageLayer& b = Image(400, 300, 40, 30, "b.png");
  Sys().SetSelectedLayer(&a);
  TWorkArea& area = window->WorkArea();
  QTest::mouseMove(&area, QPoint(420, 315));
  EXPECT_EQ(Sys().MouseLayer, &b);
  QTest::mouseMove(&area, QPoint(600, 500));  // empty page
  EXPECT_EQ(Sys().MouseLayer, nullptr);
  Render();
  // No name tag left over the page where b's was.
  EXPECT_EQ(Shown().pixel(402, 302) & 0xFFFFFFu, PagePixel(402, 302));
  QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(600, 500));
  QTest::mouseMove(&area, QPoint(650, 520));
  QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(650, 520));
  EXPECT_EQ(Sys()._SelectedLayer(), nullptr);
  EXPECT_EQ(b.X(), 400);
  EXPECT_EQ(a.X(), 100);
  EXPECT_EQ(window->Grid().AObject(), &Sys());
  // The pointer leaving the work area takes the mark with it.
  QTest::mouseMove(&area, QPoint(110, 110));
  ASSERT_EQ(Sys().MouseLayer, &a);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&area, &leave);
  EXPECT_EQ(Sys().MouseLayer, nullptr);
}

// What a value cell draws, with the grid's own measure of text.
class TMeasuringCanvas final : public TCellCanvas {
 public:
  explicit TMeasuringCanvas(TObjectEditor& Grid) : fGrid(Grid) {}
  int TextWidth(const std::string& T, bool U) override { return fGrid.TextWidth(T, U); }
  void Text(const TCellRect&, int X, int, const std::string& T, std::uint32_t, bool U, bool) override {
    Right = std::max(Right, X + fGrid.TextWidth(T, U));
    Texts.push_back(T);
  }
  void Swatch(const TCellRect& R, std::uint32_t) override { Right = std::max(Right, R.Right); }
  void CheckBox(const TCellRect& R, bool) override { Right = std::max(Right, R.Left + 16); }
  int Right = 0;
  std::vector<std::string> Texts;

 private:
  TObjectEditor& fGrid;
};

TEST_F(Layout, TheDefaultWindowShowsEveryAlignmentButtonAndWholeValues) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  for (const char* name : {"ToolBar2", "ToolBar3"}) {
    auto* bar = window->findChild<QToolBar*>(name);
    ASSERT_NE(bar, nullptr);
    for (QAction* a : bar->actions()) {
      QWidget* button = bar->widgetForAction(a);
      ASSERT_NE(button, nullptr);
      EXPECT_TRUE(button->isVisible()) << name << " " << a->text().toStdString();
      EXPECT_TRUE(bar->rect().contains(button->geometry())) << name << " " << a->text().toStdString() << " bar " << bar->width() << "x" << bar->height() << " button " << button->x() << "," << button->y() << " " << button->width() << "x" << button->height();
    }
    if (auto* more = bar->findChild<QToolButton*>("qt_toolbar_ext_button")) EXPECT_FALSE(more->isVisible()) << name;
  }

  // Every value the grid draws for the page and for each kind of layer fits the value column.
  TObjectEditor& grid = window->Grid();
  window->InsertAction(TLayerKind::lkText)->trigger();
  window->InsertAction(TLayerKind::lkClock)->trigger();
  window->InsertAction(TLayerKind::lkRoll)->trigger();
  std::vector<TContainerObject*> shown = {&Sys()};
  for (const auto& l : Sys().Layers) shown.push_back(l.get());
  const int visible = grid.parentWidget()->width();  // the scroll area's viewport
  bool sawFromComposition = false;
  for (TContainerObject* object : shown) {
    grid.SetAObject(object);
    for (int row = 0; row < int(grid.Rows().size()); ++row) {
      const TNodeData2& r = grid.Rows()[std::size_t(row)];
      if (r.HasChildren || r.prop->ClassName() == "TString" || r.prop->ClassName() == "TTextFile" ||
          r.prop->ClassName() == "TImageFileName" || r.prop->ClassName() == "TDirectory") {
        continue;  // a free text is as long as it is typed
      }
      TMeasuringCanvas canvas(grid);
      const TCellPlace at = grid.Model().PlaceOf(row, grid.width());
      std::int32_t width = 0;
      r.data->DrawValue(canvas, at.Rect, at.DisplayRect, width);
      for (const std::string& t : canvas.Texts) sawFromComposition |= t.find("FromComposition") != std::string::npos;
      EXPECT_LE(canvas.Right, visible) << r.Caption << " of " << object->ClassInfo().Name;
    }
  }
  EXPECT_TRUE(sawFromComposition);

  // The grid's title column follows a drag of its edge in the header.
  grid.SetAObject(&Sys());
  const int edge = grid.Model().ColumnLeft(2);
  QTest::mouseMove(&grid, QPoint(edge, 10));
  EXPECT_EQ(grid.cursor().shape(), Qt::SizeHorCursor);
  QTest::mousePress(&grid, Qt::LeftButton, {}, QPoint(edge, 10));
  QMouseEvent drag(QEvent::MouseMove, QPointF(edge - 15, 12), grid.mapToGlobal(QPointF(edge - 15, 12)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&grid, &drag);
  QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(edge - 15, 12));
  EXPECT_EQ(grid.Model().ColumnLeft(2), edge - 15);
}

TEST_F(Layout, ThePictureDialogOffersEveryFormatTheEngineReads) {
  window->InsertAction(TLayerKind::lkImage)->trigger();  // cancelled
  ASSERT_EQ(dialogs->OpenFilters.size(), 1u);
  const QStringList filters = dialogs->OpenFilters[0].split(";;");
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], "Image Files (*.tga *.png *.jpg *.jpeg)");
  EXPECT_TRUE(filters[1].startsWith("All pictures (")) << filters[1].toStdString();
  for (const std::string& ext : image::PictureExtensions()) {
    EXPECT_TRUE(filters[1].contains(QString::fromStdString(" *." + ext)) ||
                filters[1].contains(QString::fromStdString("(*." + ext)))
        << ext;
  }
  EXPECT_EQ(filters[2], "All files (*)");
}

TEST_F(Layout, TheColourDialogShowsTheAlphaOfAColourThatHasOne) {
  QWidget host;
  const std::unique_ptr<TGridDialogs> dialogs = MakeQtGridDialogs(&host);
  bool sawAlpha = false;
  int shownAlpha = -1;
  QTimer answer;
  answer.setInterval(10);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    if (d == nullptr) return;
    answer.stop();
    sawAlpha = d->testOption(QColorDialog::ShowAlphaChannel);
    shownAlpha = d->currentColor().alpha();
    d->setCurrentColor(QColor(10, 20, 30, 40));
    d->accept();
  });
  answer.start();
  const auto chosen = dialogs->ColorDialogWithAlpha(0x0000FFu, 128);
  EXPECT_TRUE(sawAlpha);
  EXPECT_EQ(shownAlpha, 128);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->Color, 0x1E140Au);  // 0x00BBGGRR
  EXPECT_EQ(chosen->Alpha, 40);
}

TEST_F(Layout, ExportAsksTheTimeOfDayItsClocksStartAt) {
  window->InsertAction(TLayerKind::lkClock)->trigger();
  const TTimeOfDay now = TSystemTimeOfDay().Now();
  auto exportAt = [&](TTimeOfDay Time, const std::string& Name) {
    TExportRequest r;
    r.Kind = video::TExportKind::ekPng;
    r.From = r.To = 0;
    r.Output = (dir / Name).string();
    r.Time = Time;
    dialogs->Exports.push_back(r);
    window->ExportAction()->trigger();
    return ReadBytes(dir / (Name + "_00000.png"));
  };
  const std::string ten = exportAt({10, 0, 0, 0}, "ten");
  const std::string again = exportAt({10, 0, 0, 0}, "again");
  const std::string eleven = exportAt({11, 11, 11, 0}, "eleven");
  ASSERT_FALSE(ten.empty());
  EXPECT_EQ(ten, again);  // repeatable, as qvrender --time is
  EXPECT_NE(ten, eleven);
  // The dialog starts at the time it is now.
  ASSERT_FALSE(dialogs->ExportDefaults.empty());
  const TTimeOfDay offered = dialogs->ExportDefaults[0].Time;
  const int apart = std::abs((offered.Hour * 60 + offered.Minute) * 60 + offered.Second -
                             ((now.Hour * 60 + now.Minute) * 60 + now.Second));
  EXPECT_TRUE(apart <= 5 || apart >= 86395) << apart;
}

}  // namespace
}  // namespace qv::test

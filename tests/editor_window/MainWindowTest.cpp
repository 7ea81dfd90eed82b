// The editor's window under the offscreen platform: its commands, File menu, object list, keys and
// render loop, with every dialog answered by the test.
#include "editor_window/EditorFixture.h"

#include <QWheelEvent>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

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

// With no unsaved changes (the page saved), Exit asks its question only when there are layers.
TEST_F(Editor, ExitAsksOnlyWhenThereAreLayers) {
  struct {
    bool withLayer;
    std::optional<bool> answer;  // none: no question expected
    bool closes;
  } cases[] = {{false, std::nullopt, true}, {true, false, false}, {true, true, true}};
  for (const auto& c : cases) {
    SetUp();
    if (c.withLayer) {
      window->InsertAction(TLayerKind::lkText)->trigger();
      dialogs->Saves.push_back(QString::fromStdString((dir / "saved.QV").string()));
      window->SaveAsAction()->trigger();
    }
    window->show();
    if (c.answer) dialogs->Confirms.push_back(*c.answer);
    window->ExitAction()->trigger();
    ASSERT_EQ(dialogs->Questions.size(), c.answer ? 1u : 0u);
    if (c.answer) {
      EXPECT_EQ(dialogs->Questions[0], "Alert|Are you sure ?");
    }
    EXPECT_TRUE(dialogs->SaveQuestions.empty());
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
  dialogs->SaveChoices.push_back(TSaveChoice::scDiscard);  // the inserted layer is not saved anywhere
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
  // From elsewhere first: a move to where the pointer already is (an earlier test may have left
  // it there) moves nothing.
  QTest::mouseMove(&area, QPoint(1, 1));
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

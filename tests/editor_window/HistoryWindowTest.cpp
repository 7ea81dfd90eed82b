// The document in the editor's window: the Edit menu's Undo and Redo for each command, the unsaved
// marker in the title, the three-way question before a document is set aside, recovery after an
// editor was killed, the recent files and the window's size and splits.
#include "editor_window/EditorFixture.h"
#include "history/Recovery.h"

#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::test {
namespace {

// Answers the grid's dialogs: a font dialog that picks Courier 12; the rest cancel.
struct TGridAnswers final : TGridDialogs {
  std::optional<int> PopupMenu(int, int, const std::vector<std::string>&, int) override { return std::nullopt; }
  std::optional<std::uint32_t> ColorDialog(std::uint32_t) override { return 0x3366CC; }
  std::optional<std::string> FileDialog(const std::string&, bool) override { return std::nullopt; }
  std::optional<TFontChoice> FontDialog(const TFontChoice& Initial) override {
    return TFontChoice{"Courier", Initial.Color, 12};
  }
  void Message(const std::string&) override {}
};

struct Document : Editor {
  // A saved page of two text layers, "strap" (bottom) and "title", opened into a new window: the
  // document starts in its saved state with that name.
  std::string page;
  void Open() {
    gridDialogs = std::make_unique<TGridAnswers>();
    SetUp();
    window->resize(1120, 760);
    window->show();
    page = Project("page.QV", {"strap", "title"});
    ASSERT_TRUE(window->OpenProjectFile(QString::fromStdString(page)));
    ASSERT_TRUE(window->History().IsClean());
  }
  std::string Text() { return Sys().ProjectText(); }
  TLayer& L(int i) { return *Sys().Layers.at(std::size_t(i)); }
  bool Starred() const { return window->windowTitle().contains(QStringLiteral("*")); }
  // The grid's row whose property is P.
  int Row(const TBaseProperty* P) {
    const auto& rows = window->Grid().Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].prop == P) return static_cast<int>(i);
    return -1;
  }
  void ClickValue(const TBaseProperty* P, int dX = 2) {
    const int row = Row(P);
    ASSERT_GE(row, 0);
    const QPoint at(window->Grid().Model().ColumnLeft(2) + 4 + dX, window->Grid().Model().RowTop(row) + 8);
    QTest::mouseClick(&window->Grid(), Qt::LeftButton, {}, at);
  }
  // A drag of a layer's body on the work area.
  void Drag(TLayer& Layer, QPoint By) {
    const QPoint inside(Layer.X() + 3, Layer.Y() + 3);
    QTest::mouseMove(&window->WorkArea(), inside);
    QTest::mousePress(&window->WorkArea(), Qt::LeftButton, {}, inside);
    QTest::mouseMove(&window->WorkArea(), inside + By / 2);
    QTest::mouseMove(&window->WorkArea(), inside + By);
    QTest::mouseRelease(&window->WorkArea(), Qt::LeftButton, {}, inside + By);
  }
  void Key(int QtKey, Qt::KeyboardModifiers Modifiers = {}) {
    window->WorkArea().setFocus();
    QTest::keyClick(&window->WorkArea(), Qt::Key(QtKey), Modifiers);
  }
};

TEST_F(Document, TheEditMenuUndoesAndRedoesEveryCommandNamingIt) {
  struct TCase {
    const char* Kind;
    std::function<void(Document&)> Do;
    const char* Name;
    bool CleanAfter = false;
  };
  const TCase cases[] = {
      {"insert", [](Document& d) { d.window->InsertAction(TLayerKind::lkText)->trigger(); }, "Insert Text000"},
      {"Delete key", [](Document& d) { d.Sys().SetSelectedLayer(&d.L(0)); d.Key(Qt::Key_Delete); }, "Delete strap"},
      {"nudges", [](Document& d) { d.Sys().SetSelectedLayer(&d.L(1)); for (int i = 0; i < 3; ++i) d.Key(Qt::Key_Left); },
       "Move title"},
      {"drag", [](Document& d) { d.Drag(d.L(1), QPoint(40, 25)); }, "Move title"},
      {"bring to front", [](Document& d) { d.Sys().SetSelectedLayer(&d.L(0)); d.window->BringToFrontAction()->trigger(); },
       "Bring strap to front"},
      {"send to back", [](Document& d) { d.Sys().SetSelectedLayer(&d.L(1)); d.window->SendToBackAction()->trigger(); },
       "Send title to back"},
      {"alignment", [](Document& d) { d.Sys().SetSelectedLayer(&d.L(0)); d.window->AlignAction(2)->trigger(); },
       "Align strap right"},
      {"grid boolean", [](Document& d) { d.Sys().SetSelectedLayer(&d.L(0)); d.ClickValue(&d.L(0).VisibleProperty()); },
       "Change Visible of strap"},
      {"grid font dialog",
       [](Document& d) {
         d.Sys().SetSelectedLayer(&d.L(1));
         d.ClickValue(&static_cast<TTextLayer&>(d.L(1)).Font(), 30);
       },
       "Change Font of title"},
      {"grid typed name",
       [](Document& d) {
         d.Sys().SetSelectedLayer(&d.L(1));
         d.ClickValue(&d.L(1).NameProperty());
         ASSERT_NE(d.window->Grid().InlineEditor(), nullptr);
         d.window->Grid().InlineEditor()->selectAll();
         QTest::keyClicks(d.window->Grid().InlineEditor(), "headline");
         QTest::keyClick(d.window->Grid().InlineEditor(), Qt::Key_Return);
         QApplication::processEvents();
       },
       "Rename title"},
      {"New Page",
       [](Document& d) {
         d.dialogs->Choices.push_back(1);
         d.dialogs->Confirms.push_back(true);
         d.window->NewPageAction()->trigger();
       },
       "New Page", true},
      {"Open Project",
       [](Document& d) {
         d.dialogs->Files.push_back(QString::fromStdString(d.Project("other.QV", {"logo"})));
         d.window->OpenAction()->trigger();
       },
       "Open other.QV"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Kind);
    Open();
    const std::string before = Text();
    EXPECT_EQ(window->UndoAction()->text(), "Undo Open page.QV");  // opening is a step too
    EXPECT_EQ(window->windowTitle(), "page.QV - Tessaly (QV)");
    c.Do(*this);
    const std::string after = Text();
    ASSERT_NE(after, before);
    EXPECT_EQ(window->UndoAction()->text().toStdString(), std::string("Undo ") + c.Name);
    EXPECT_EQ(Starred(), !c.CleanAfter) << window->windowTitle().toStdString();

    window->UndoAction()->trigger();
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(window->RedoAction()->text().toStdString(), std::string("Redo ") + c.Name);
    EXPECT_EQ(Starred(), c.CleanAfter) << window->windowTitle().toStdString();
    window->RedoAction()->trigger();
    EXPECT_EQ(Text(), after);
    EXPECT_FALSE(window->RedoAction()->isEnabled());
    EXPECT_EQ(window->RedoAction()->text(), "Redo");
  }
}

TEST_F(Document, TheKeysOfUndoAndRedo) {
  Open();
  EXPECT_EQ(window->UndoAction()->shortcut(), QKeySequence(QKeySequence::Undo));
  EXPECT_EQ(window->RedoAction()->shortcuts(), (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                                                    QKeySequence(Qt::CTRL | Qt::Key_Y)}));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const std::string before = Text();
  Sys().SetSelectedLayer(&L(0));
  Key(Qt::Key_Delete);
  const std::string after = Text();
  struct TPress {
    Qt::KeyboardModifiers Modifiers;
    Qt::Key Key;
    bool Deleted;  // the layer is gone afterwards
  };
  for (const TPress& p : {TPress{Qt::ControlModifier, Qt::Key_Z, false}, TPress{Qt::ControlModifier, Qt::Key_Y, true},
                          TPress{Qt::ControlModifier, Qt::Key_Z, false},
                          TPress{Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z, true}}) {
    QTest::keyClick(&window->WorkArea(), p.Key, p.Modifiers);
    EXPECT_EQ(Text(), p.Deleted ? after : before);
  }
}

TEST_F(Document, UnsavedChangesAreAskedAboutBeforeTheDocumentIsSetAside) {
  enum TAction { aOpen, aNew, aExit, aClose };
  struct TCase {
    TAction Action;
    const char* Asked;  // what the question names
  };
  const TCase actions[] = {{aOpen, "page.QV|opening another project"},
                           {aNew, "page.QV|making a new page"},
                           {aExit, "page.QV|closing"},
                           {aClose, "page.QV|closing"}};
  for (const TCase& a : actions) {
    for (const TSaveChoice choice : {TSaveChoice::scSave, TSaveChoice::scDiscard, TSaveChoice::scCancel}) {
      SCOPED_TRACE(std::string(a.Asked) + " " + std::to_string(int(choice)));
      Open();
      const std::string saved = ReadBytes(page);
      window->InsertAction(TLayerKind::lkText)->trigger();  // an unsaved change
      ASSERT_TRUE(Starred());
      const std::string other = Project("other.QV", {"logo"});
      dialogs->SaveChoices.push_back(choice);
      dialogs->Files.push_back(QString::fromStdString(other));
      dialogs->Choices.push_back(0);
      switch (a.Action) {
        case aOpen: window->OpenAction()->trigger(); break;
        case aNew: window->NewPageAction()->trigger(); break;
        case aExit: window->ExitAction()->trigger(); break;
        case aClose: window->close(); break;
      }
      ASSERT_EQ(dialogs->SaveQuestions.size(), 1u);
      EXPECT_EQ(dialogs->SaveQuestions[0].toStdString(), a.Asked);
      EXPECT_TRUE(dialogs->Questions.empty());  // the three-way question replaces "Are you sure ?"
      const bool goesOn = choice != TSaveChoice::scCancel;
      // Saved: the file has the new layer; otherwise it is as it was.
      EXPECT_EQ(ReadBytes(page).find("Text000") != std::string::npos, choice == TSaveChoice::scSave);
      if (choice != TSaveChoice::scSave) {
        EXPECT_EQ(ReadBytes(page), saved);
      }
      switch (a.Action) {
        case aOpen:
          EXPECT_EQ(Sys().Layers.size(), goesOn ? 4u : 3u);
          break;
        case aNew:
          EXPECT_EQ(Sys().Layers.size(), goesOn ? 0u : 3u);
          break;
        case aExit:
        case aClose:
          EXPECT_EQ(window->isVisible(), !goesOn);
          break;
      }
      if (!goesOn) {
        EXPECT_TRUE(Starred());
      }
    }
  }
  // Without unsaved changes closing asks nothing.
  Open();
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(dialogs->SaveQuestions.empty());
  EXPECT_TRUE(dialogs->Questions.empty());
}

// The editor a child process runs for the next test: it opens the page, makes ten changes (which
// writes its recovery file), notes the page's text and is killed with SIGKILL. Skipped unless the
// next test starts it.
TEST(EditorChild, KilledWhileUnsaved) {
  const char* folder = std::getenv("QV_EDITOR_CHILD_DIR");
  if (folder == nullptr) GTEST_SKIP() << "run by APageOfAKilledEditorIsOfferedAndComesBackExactly";
  const fs::path dir(folder);
  TManualTickSource ticks(1000);
  TEditorOptions options;
  options.GridFolders = {dir};
  options.Ticks = &ticks;
  options.RecoveryFolder = dir / "recovery";
  TForm5 window(std::move(options));
  ASSERT_TRUE(window.OpenProjectFile(QString::fromStdString((dir / "page.QV").string())));
  for (int i = 0; i < 9; ++i) window.InsertAction(TLayerKind::lkText)->trigger();
  window.Composition().Layers[0]->SetlayerName("renamed");
  { TEdit edit(window.History(), window.Composition().Layers[0]->NameProperty()); }  // no change: no step
  window.Composition().SetSelectedLayer(window.Composition().Layers[1].get());
  window.AlignAction(2)->trigger();  // the tenth change
  window.Recovery()->Flush();
  WriteBytes(dir / "expected.QV", window.Composition().ProjectText());
  ::kill(getpid(), SIGKILL);
}

TEST_F(Document, APageOfAKilledEditorIsOfferedAndComesBackExactly) {
  page = Project("page.QV", {"strap", "title"});
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("QV_EDITOR_CHILD_DIR", dir.Path().c_str(), 1);
    execl("/proc/self/exe", "editor_window_tests", "--gtest_filter=EditorChild.KilledWhileUnsaved",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  ASSERT_EQ(WTERMSIG(status), SIGKILL);
  const fs::path left = dir / "recovery" / RecoveryFileName(child);
  ASSERT_TRUE(fs::exists(left));

  // The next start: the page is offered, naming its file, and comes back as it was.
  recoveryFolder = dir / "recovery";
  SetUp();
  window->show();
  dialogs->Recoveries.push_back(true);
  window->OfferRecovery();
  ASSERT_EQ(dialogs->RecoveryTexts.size(), 1u);
  EXPECT_TRUE(dialogs->RecoveryTexts[0].contains(QString::fromStdString(page)));
  EXPECT_TRUE(dialogs->RecoveryTexts[0].contains(QString::fromStdString(left.string())));
  EXPECT_EQ(Text(), ReadBytes(dir / "expected.QV"));
  EXPECT_EQ(window->ProjectFileName(), page);
  EXPECT_EQ(window->windowTitle(), "page.QV* - Tessaly (QV)");
  EXPECT_TRUE(fs::exists(left));  // until the page is saved
  window->SaveAction()->trigger();
  EXPECT_FALSE(fs::exists(left));
  EXPECT_EQ(ReadBytes(page), ReadBytes(dir / "expected.QV"));

  // Declined, a recovery file goes.
  WriteBytes(dir / "recovery" / RecoveryFileName(child), FormatRecovery({page, dir.Path().string(), ReadBytes(page)}));
  SetUp();
  dialogs->Recoveries.push_back(false);
  window->OfferRecovery();
  EXPECT_EQ(dialogs->RecoveryTexts.size(), 1u);
  EXPECT_TRUE(Sys().Layers.empty());
  EXPECT_FALSE(fs::exists(left));
}

TEST_F(Document, ADamagedRecoveryFileIsToldInOneLineAndMovedAside) {
  recoveryFolder = dir / "recovery";
  fs::create_directories(recoveryFolder);
  // A process id above any the system gives out: no editor runs under it.
  const fs::path damaged = recoveryFolder / RecoveryFileName(999999999);
  WriteBytes(damaged, "QV recovery\r\nFile = x.QV\r\n");
  SetUp();
  window->OfferRecovery();
  EXPECT_TRUE(dialogs->RecoveryTexts.empty());
  EXPECT_TRUE(Sys().Layers.empty());
  const QString said = window->statusBar()->currentMessage();
  EXPECT_TRUE(said.contains(QString::fromStdString(damaged.string()))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("damaged"))) << said.toStdString();
  EXPECT_FALSE(said.contains('\n'));
  EXPECT_FALSE(fs::exists(damaged));
  EXPECT_TRUE(fs::exists(damaged.string() + ".damaged"));
}

TEST_F(Document, TheRecoveryFileFollowsTheUnsavedChanges) {
  recoveryFolder = dir / "recovery";
  Open();
  const fs::path file = window->Recovery()->File();
  auto written = [&] {
    window->Recovery()->Flush();
    return fs::exists(file);
  };
  for (int i = 0; i < 9; ++i) window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_FALSE(written());  // nine changes, no time gone by
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_TRUE(written());  // the tenth
  window->SaveAction()->trigger();
  EXPECT_FALSE(written());  // a save removes it
  window->InsertAction(TLayerKind::lkText)->trigger();
  EXPECT_FALSE(written());
  ticks.Advance(TRecoveryWriter::kIntervalMs);
  window->PollRecovery();
  EXPECT_TRUE(written());  // 30 s later
  window->UndoAction()->trigger();  // back to the saved state: nothing to recover
  EXPECT_FALSE(written());
  window->RedoAction()->trigger();
  ticks.Advance(TRecoveryWriter::kIntervalMs);
  window->PollRecovery();
  ASSERT_TRUE(written());
  dialogs->SaveChoices.push_back(TSaveChoice::scDiscard);
  window->close();  // a clean exit, the changes discarded
  EXPECT_FALSE(written());
}

TEST_F(Document, RecentFilesAndTheWindowsSizeAndSplitsAreKept) {
  settingsFile = QString::fromStdString((dir / "settings.ini").string());
  Open();
  std::vector<std::string> files;
  for (int i = 0; i < 10; ++i) {
    // Appended, not "p" + …: GCC 12 warns falsely about the latter (-Wrestrict).
    std::string file = "p", layer = "l";
    file += std::to_string(i);
    layer += std::to_string(i);
    files.push_back(Project(file + ".QV", {layer}));
  }
  for (const std::string& f : files) ASSERT_TRUE(window->OpenProjectFile(QString::fromStdString(f)));
  QStringList newest;
  for (int i = 9; i >= 2; --i) newest << QString::fromStdString(files[std::size_t(i)]);
  EXPECT_EQ(window->RecentFiles(), newest);  // eight, newest first; page.QV and the two oldest gone
  ASSERT_EQ(window->RecentMenu()->actions().size(), 8);
  EXPECT_EQ(window->RecentMenu()->actions()[0]->text(), "&1 p9.QV");

  window->resize(1200, 820);
  auto* splits = window->findChild<QSplitter*>(QStringLiteral("Splits"));
  ASSERT_NE(splits, nullptr);
  splits->setSizes({120, 400});
  const QList<int> sizes = splits->sizes();
  dialogs->SaveChoices.push_back(TSaveChoice::scDiscard);
  window->close();

  SetUp();  // the next start
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_EQ(window->RecentFiles(), newest);
  EXPECT_EQ(window->size(), QSize(1200, 820));
  EXPECT_EQ(window->findChild<QSplitter*>(QStringLiteral("Splits"))->sizes(), sizes);
  // A recent file opens from the menu.
  window->RecentMenu()->actions()[3]->trigger();
  ASSERT_EQ(Sys().Layers.size(), 1u);
  EXPECT_EQ(Sys().Layers[0]->layerName(), "l6");
  EXPECT_EQ(window->RecentFiles().front(), QString::fromStdString(files[6]));
}

}  // namespace
}  // namespace qv::test

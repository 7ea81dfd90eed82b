#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <cstdlib>
#include <new>

#include "composition/ImageLayers.h"
#include "composition/QvSystem.h"
#include "composition/TextLayer.h"
#include "editor_widgets/ObjectEditor.h"
#include "editor_widgets/TimecodeEdit.h"
#include "editor_widgets/HistoryActions.h"
#include "history/History.h"
#include "model/BasicTypes.h"
#include "model/UndoEngine.h"
#include "platform/Clock.h"

using namespace qv;

// Allocations of this thread while counting (-1: not counting).
static thread_local long tAllocations = -1;

void* operator new(std::size_t n) {
  if (tAllocations >= 0) ++tAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Answers the cells' menus and dialogs as each test says; unset answers cancel.
struct ScriptedDialogs : TGridDialogs {
  std::function<std::optional<int>(const std::vector<std::string>& Items, int Checked)> Menu;
  std::function<std::optional<TFontChoice>(const TFontChoice& Initial)> Font;
  std::vector<std::string> Messages;
  std::optional<int> PopupMenu(int, int, const std::vector<std::string>& Items, int Checked) override {
    return Menu ? Menu(Items, Checked) : std::nullopt;
  }
  std::optional<std::uint32_t> ColorDialog(std::uint32_t) override { return std::nullopt; }
  std::optional<std::string> FileDialog(const std::string&, bool) override { return std::nullopt; }
  std::optional<TFontChoice> FontDialog(const TFontChoice& Initial) override {
    return Font ? Font(Initial) : std::nullopt;
  }
  void Message(const std::string& Text) override { Messages.push_back(Text); }
};

// The grid with its mouse handler in reach, to count what one move costs.
class TGridUnderTest : public TObjectEditor {
 public:
  using TObjectEditor::TObjectEditor;
  using TObjectEditor::mouseMoveEvent;
};

QApplication& App() {
  static int argc = 1;
  static char name[] = "grid_editor_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's input devices must not be torn down by exit handlers after their
  // platform integration is gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class ObjectEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    editor.resize(600, 700);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
  }
  int Find(const std::string& caption, int level = 1) const {
    const auto& rows = editor.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].Caption == caption && rows[i].Level == level) return static_cast<int>(i);
    return -1;
  }
  // The centre of a visible row's value text start.
  QPoint ValuePoint(int row, int dx = 2) const {
    return {editor.Model().ColumnLeft(2) + 4 + dx, editor.Model().RowTop(row) + 8};
  }
  struct AppFirst {
    AppFirst() { App(); }
  } appFirst;  // the application exists before any widget
  // Shows a text layer and opens the parents of its first plain floating-point row (not a
  // timecode), so the row can be pressed; the row's index.
  int FirstNumberRow() {
    if (!text) text = &sys->NewLayer<TTextLayer>();
    editor.SetAObject(text);
    for (std::size_t i = 0; i < editor.Rows().size(); ++i) {
      TBaseProperty* p = editor.Rows()[i].prop;
      if (!dynamic_cast<TDouble*>(p) || dynamic_cast<TTimeCode*>(p)) continue;
      for (int a = editor.Rows()[i].Parent; a >= 0; a = editor.Rows()[static_cast<std::size_t>(a)].Parent)
        editor.SetExpanded(a, true);
      return static_cast<int>(i);
    }
    return -1;
  }
  // The undo engine of the page the grid edits.
  TUndoEngine& Undo() { return *sys->UndoEngine(); }
  TTextLayer* text = nullptr;
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{.Ticks = &ticks}, true);
  ScriptedDialogs* dialogs = new ScriptedDialogs;  // owned by the editor
  TGridUnderTest editor{nullptr, std::unique_ptr<TGridDialogs>(dialogs)};
};

TEST_F(ObjectEditorTest, RowsFollowDiscoveryAndHideInvisibleMembers) {
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  editor.SetAObject(&l);
  ASSERT_FALSE(editor.Rows().empty());
  EXPECT_EQ(editor.Rows().front().Caption, l.Properties().front()->Name);
  EXPECT_EQ(Find("LayerIN"), -1);
  EXPECT_EQ(Find("Duration"), -1);
  for (const auto& r : editor.Rows()) EXPECT_TRUE(r.prop->Attributes.Has(paVisible)) << r.Caption;
}

TEST_F(ObjectEditorTest, NestedRowsExpandFromTheirOwnTriangles) {
  TTextLayer& t = sys->NewLayer<TTextLayer>();
  editor.SetAObject(&t);
  const int font = Find("Font");
  ASSERT_GE(font, 0);
  const int color = Find("FontColor", 2);
  const int red = Find("Red", 3);
  ASSERT_GE(color, 0);
  ASSERT_GE(red, 0);
  const TGridRows& rows = editor.Model();
  EXPECT_EQ(rows.RowTop(color), -1);  // rows start collapsed
  const int c = editor.Model().ColumnLeft(1);
  QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(c + 5, rows.RowTop(font) + 8));
  ASSERT_GE(rows.RowTop(color), 0);
  QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(c + 2, rows.RowTop(color) + 8));  // level 2: misses
  EXPECT_EQ(rows.RowTop(red), -1);
  QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(c + 15, rows.RowTop(color) + 8));
  EXPECT_GE(rows.RowTop(red), 0);
}

TEST_F(ObjectEditorTest, DragEndsOnPressedRowAndCtrlZUndoes) {
  const int row = FirstNumberRow();
  ASSERT_GE(row, 0);
  auto* d = static_cast<TDouble*>(editor.Rows()[static_cast<std::size_t>(row)].prop);
  d->SetValue(0.5);
  const double expected = 0.5 + 40 * static_cast<double>(d->ratio);
  const auto before = Undo().Count();
  const QPoint p = ValuePoint(row);
  QTest::mousePress(&editor, Qt::LeftButton, {}, p);
  EXPECT_EQ(editor.Gesture(), metValueDraw);
  QTest::mouseMove(&editor, p + QPoint(40, 0));
  QTest::mouseMove(&editor, p + QPoint(40, 60));  // over another row
  QTest::mouseRelease(&editor, Qt::LeftButton, {}, p + QPoint(40, 60));
  EXPECT_EQ(editor.Gesture(), metNone);
  EXPECT_NEAR(d->Value(), expected, 1e-5);
  ASSERT_EQ(Undo().Count(), before + 1);
  QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);  // no undo action here: nothing happens
  EXPECT_NEAR(d->Value(), expected, 1e-5);
}

TEST_F(ObjectEditorTest, InlineEditorIsALineEditAndLeavingItChangesNothing) {
  const int row = FirstNumberRow();
  ASSERT_GE(row, 0);
  auto* d = static_cast<TDouble*>(editor.Rows()[static_cast<std::size_t>(row)].prop);
  d->SetValue(0.12345);
  const auto before = Undo().Count();
  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(row));
  ASSERT_NE(editor.InlineEditor(), nullptr);
  EXPECT_EQ(editor.InlineEditor()->text(), "0.123");
  QTest::keyClick(editor.InlineEditor(), Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(editor.InlineEditor(), nullptr);
  EXPECT_DOUBLE_EQ(d->Value(), 0.12345);
  EXPECT_EQ(Undo().Count(), before);

  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(row));
  ASSERT_NE(editor.InlineEditor(), nullptr);
  editor.InlineEditor()->selectAll();
  QTest::keyClicks(editor.InlineEditor(), "0,5");
  QTest::keyClick(editor.InlineEditor(), Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(d->Value(), 0.5);
  ASSERT_EQ(Undo().Count(), before + 1);
  Undo().PopUndoAction();
  EXPECT_DOUBLE_EQ(d->Value(), 0.12345);
}

// A timecode row opens the timecode field; a time typed into it is the value once it closes.
TEST_F(ObjectEditorTest, TimecodeRowsOpenTheTimecodeField) {
  sys->SetDuration(3.0);
  editor.SetAObject(sys.get());
  const int row = Find("Duration");
  ASSERT_GE(row, 0);
  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(row));
  auto* field = dynamic_cast<TEDit*>(editor.InlineEditor());
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->text(), "00:00:03.00");
  field->selectAll();
  QTest::keyClicks(field, "00:00:10.05");
  field->clearFocus();
  QApplication::processEvents();
  EXPECT_EQ(editor.InlineEditor(), nullptr);
  EXPECT_DOUBLE_EQ(sys->Duration(), 10.2);
}

// A time the timecode field refuses leaves the page's duration as it was and tells the user, through
// the grid's dialogs, what the field tells.
TEST_F(ObjectEditorTest, TimecodeRowsKeepTheirTimeWhenTheFieldRefusesTheText) {
  sys->SetDuration(3.0);
  editor.SetAObject(sys.get());
  const int row = Find("Duration");
  ASSERT_GE(row, 0);
  for (const char* typed : {"1:00", "99:99:99.99", ""}) {
    SCOPED_TRACE(typed);
    dialogs->Messages.clear();
    QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(row));
    auto* field = dynamic_cast<TEDit*>(editor.InlineEditor());
    ASSERT_NE(field, nullptr);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    EXPECT_EQ(field->text().toStdString(), typed);
    field->clearFocus();
    QApplication::processEvents();
    EXPECT_EQ(editor.InlineEditor(), nullptr);
    EXPECT_DOUBLE_EQ(sys->Duration(), 3.0);
    EXPECT_EQ(dialogs->Messages, std::vector<std::string>{"Error in timecode format!"});
  }
}

// Once the texts under the pointer are measured, moving it over the grid allocates nothing: the
// rows model answers which row and zone a point is in without building anything.
TEST_F(ObjectEditorTest, HoveringAllocatesNothing) {
  const int num = FirstNumberRow();
  ASSERT_GE(num, 0);
  const int top = editor.Model().RowTop(num);
  auto move = [](QPoint p) {
    return std::make_unique<QMouseEvent>(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::NoButton,
                                         Qt::NoModifier);
  };
  // Over a number's text (the west-east cursor throughout), then over everything else (the default).
  std::vector<std::unique_ptr<QMouseEvent>> overText, elsewhere;
  for (int d = 1; d < 6; ++d) overText.push_back(move({editor.Model().ColumnLeft(2) + 4 + d, top + 2 + d}));
  for (int y = 0; y < editor.height(); y += 7) {
    elsewhere.push_back(move({40, y}));                  // expanders and titles
    elsewhere.push_back(move({editor.width() - 5, y}));  // values, right of their text
  }
  for (auto* path : {&overText, &elsewhere}) {
    for (auto& e : *path) editor.mouseMoveEvent(e.get());
    tAllocations = 0;
    for (auto& e : *path) editor.mouseMoveEvent(e.get());
    const long counted = tAllocations;
    tAllocations = -1;
    EXPECT_EQ(counted, 0);
    EXPECT_EQ(editor.cursor().shape(), path == &overText ? Qt::SizeHorCursor : Qt::ArrowCursor);
  }
}

TEST_F(ObjectEditorTest, EnumMenuAndColourDialogAnsweredByTheTest) {
  editor.SetAObject(sys.get());
  int row = -1;
  for (std::size_t i = 0; i < editor.Rows().size(); ++i)
    if (editor.Rows()[i].prop->ClassName() == "TEnum<TDurationType>") row = static_cast<int>(i);
  ASSERT_GE(row, 0);
  std::vector<std::string> seen;
  dialogs->Menu = [&](const std::vector<std::string>& items, int) -> std::optional<int> {
    seen = items;
    return 1;
  };
  QTest::mouseClick(&editor, Qt::RightButton, {}, ValuePoint(row, 20));
  EXPECT_EQ(seen, (std::vector<std::string>{"FromComposition", "Fixed"}));
  EXPECT_EQ(sys->DurationType(), dtFixed);
}

TEST_F(ObjectEditorTest, RebuildsFreeSubscriptionsAndFollowLayerDeletion) {
  TImageLayer& a = sys->NewLayer<TImageLayer>();
  TImageLayer& b = sys->NewLayer<TImageLayer>();
  TBaseProperty* first = a.Properties().front().get();
  const auto subs = first->NotifyCount();
  editor.Follow(sys.get());
  sys->SetSelectedLayer(&a);
  EXPECT_EQ(editor.AObject(), &a);
  EXPECT_EQ(first->NotifyCount(), subs + 1);
  sys->SetSelectedLayer(&b);
  EXPECT_EQ(first->NotifyCount(), subs);
  sys->SetSelectedLayer(&a);
  sys->DeleteLayer(&a);  // freed while shown: the grid moves to the composition first
  EXPECT_EQ(editor.AObject(), sys.get());
  editor.grab();  // painting the page's rows touches nothing of the freed layer
}

// Counts the paints a widget receives.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(ObjectEditorTest, RowRepaintsWhenValueChangesElsewhere) {
  editor.SetAObject(sys.get());
  editor.grab();  // paints once, so that further paints come from changes
  QApplication::processEvents();
  PaintCounter counter;
  editor.installEventFilter(&counter);
  QApplication::processEvents();
  EXPECT_EQ(counter.paints, 0);
  sys->SetTime(sys->Time() + 3.0);  // from the work area or a frame change, say
  QApplication::processEvents();
  EXPECT_GT(counter.paints, 0);
  editor.removeEventFilter(&counter);
}

// Ctrl+Z from the grid after each kind of edit pops the element the cell pushed (the history
// turns each into a step); the action is enabled only with something to undo.
TEST_F(ObjectEditorTest, CtrlZAfterEachKindOfEdit) {
  auto& U = Undo();
  while (U.Count() > 0) U.PopUndoAction();
  THistory history(*sys, ticks);
  THistoryActions actions(&editor, history);
  history.OnChanged = [&] { actions.Update(); };
  QAction* undo = actions.Undo();
  editor.addAction(undo);
  EXPECT_FALSE(undo->isEnabled());
  const int num = FirstNumberRow();
  ASSERT_GE(num, 0);
  auto rowOf = [&](std::string_view cls) {
    for (std::size_t i = 0; i < editor.Rows().size(); ++i)
      if (editor.Rows()[i].prop->ClassName() == cls && editor.Rows()[i].Level == 1) return static_cast<int>(i);
    return -1;
  };
  editor.setFocus();
  // A drag on a number.
  auto* d = static_cast<TDouble*>(editor.Rows()[static_cast<std::size_t>(num)].prop);
  d->SetValue(0.5);  // inside any limits, so a drag either way changes it
  const double start = d->Value();
  const QPoint p = ValuePoint(num);
  QTest::mousePress(&editor, Qt::LeftButton, {}, p);
  QTest::mouseMove(&editor, p + QPoint(20, 0));
  QTest::mouseRelease(&editor, Qt::LeftButton, {}, p + QPoint(20, 0));
  EXPECT_NE(d->Value(), start);
  EXPECT_TRUE(undo->isEnabled());
  QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(d->Value(), start);
  EXPECT_FALSE(undo->isEnabled());
  // A choice in an enumeration's menu.
  editor.SetAObject(sys.get());
  const int en = rowOf("TEnum<TDurationType>");
  ASSERT_GE(en, 0);
  const auto was = sys->DurationType();
  dialogs->Menu = [&](const std::vector<std::string>&, int checked) -> std::optional<int> { return 1 - checked; };
  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(en, 10));
  EXPECT_NE(sys->DurationType(), was);
  QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(sys->DurationType(), was);
  // A typed number.
  ASSERT_EQ(FirstNumberRow(), num);
  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(num));
  ASSERT_NE(editor.InlineEditor(), nullptr);
  editor.InlineEditor()->selectAll();
  QTest::keyClicks(editor.InlineEditor(), "0.25");
  QTest::keyClick(editor.InlineEditor(), Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(d->Value(), 0.25);
  editor.setFocus();
  QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(d->Value(), start);
  EXPECT_EQ(U.Count(), 0u);
}

TEST_F(ObjectEditorTest, FontDialogSetsNameColourSizeWithOneLayerNotification) {
  TTextLayer& t = sys->NewLayer<TTextLayer>();
  editor.SetAObject(&t);
  int font = -1;
  for (std::size_t i = 0; i < editor.Rows().size(); ++i)
    if (editor.Rows()[i].prop == &t.Font()) font = static_cast<int>(i);
  ASSERT_GE(font, 0);
  int layerCalls = 0;
  t.AddChangeNotify(&layerCalls, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++layerCalls; });
  TGridDialogs::TFontChoice seen;
  dialogs->Font = [&](const TGridDialogs::TFontChoice& initial) -> std::optional<TGridDialogs::TFontChoice> {
    seen = initial;
    return std::nullopt;
  };
  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(font, 30));
  EXPECT_EQ(seen.Name, t.Font().FontName());
  EXPECT_EQ(seen.Size, t.Font().FontSize());
  EXPECT_EQ(layerCalls, 0);  // cancelled
  dialogs->Font = [&](const TGridDialogs::TFontChoice&) -> std::optional<TGridDialogs::TFontChoice> {
    return TGridDialogs::TFontChoice{"Courier", 0x0000FF, 12};
  };
  QTest::mouseClick(&editor, Qt::LeftButton, {}, ValuePoint(font, 30));
  EXPECT_EQ(t.Font().FontName(), "Courier");
  EXPECT_EQ(t.Font().FontSize(), 12);
  auto& color = t.Font().FontColorProperty();
  EXPECT_DOUBLE_EQ(color.Red()->Value(), 1.0);
  EXPECT_DOUBLE_EQ(color.Green()->Value(), 0.0);
  EXPECT_DOUBLE_EQ(color.Blue()->Value(), 0.0);
  EXPECT_DOUBLE_EQ(color.Alpha()->Value(), 1.0);
  EXPECT_EQ(layerCalls, 1);
  t.RemoveChangeNotify(&layerCalls);
}

}  // namespace

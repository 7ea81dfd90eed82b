// The editor's window laying out a page: safe areas drawn by the editor only, zoom with exact
// pointer mapping, snapping with its guide, Arrange, files dropped on the page and the object list,
// the Data panel's test data, and the rough edges an operator met on a first page.
#include "editor_window/EditorFixture.h"

#include "composition/RollLayer.h"
#include "editor_widgets/DataPanel.h"
#include "history/Recovery.h"
#include "raster/ImageFormats.h"

#include <QColorDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>

namespace qv::test {
namespace {

struct Layout : Editor {
  // Settings of the test's own: the Data panel's values and the safe areas' toggle are kept there.
  QString Settings() const { return QString::fromStdString((dir / "qveditor.ini").string()); }
  void SetUp() override {
    settingsFile = Settings();
    Editor::SetUp();
  }
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
  dialogs->SaveChoices.push_back(TSaveChoice::scDiscard);
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

// Each layout change is one step of the history, and no step ever holds a test value.
TEST_F(Layout, LayoutChangesAreStepsOfTheHistoryAndStepsNeverHoldTestData) {
  window->show();
  TImageLayer& logo = Image(100, 100, 40, 30);
  logo.SetlayerName("logo");
  const std::string start = Sys().ProjectText();

  // Arrange.
  Sys().SetSelectedLayer(&logo);
  window->ArrangeAction(TArrangeEdge::aeRight)->trigger();
  EXPECT_EQ(logo.X(), 728);
  EXPECT_EQ(window->UndoAction()->text(), "Undo Align Right logo");
  window->ArrangeToSafeAreaAction()->setChecked(true);
  window->ArrangeAction(TArrangeEdge::aeTop)->trigger();
  EXPECT_EQ(window->UndoAction()->text(), "Undo Align Top logo to the safe area");
  window->UndoAction()->trigger();
  window->UndoAction()->trigger();
  EXPECT_EQ(Sys().ProjectText(), start);
  window->RedoAction()->trigger();
  EXPECT_EQ(logo.X(), 728);
  window->UndoAction()->trigger();

  // A snapping drag is one step, where it came to rest.
  TWorkArea& area = window->WorkArea();
  QTest::mouseMove(&area, QPoint(120, 115));
  QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(120, 115));
  QTest::mouseMove(&area, QPoint(60, 115));
  QTest::mouseMove(&area, QPoint(23, 115));  // left edge at 3: rests on the page's edge
  QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(23, 115));
  EXPECT_EQ(logo.X(), 0);
  EXPECT_EQ(window->UndoAction()->text(), "Undo Move logo");
  window->UndoAction()->trigger();
  EXPECT_EQ(Sys().ProjectText(), start);

  // Dropped files: a step per layer made.
  ASSERT_TRUE(Drop(&area, {Picture("drop.png", 8, 8)}, QPoint(300, 300)));
  EXPECT_EQ(window->UndoAction()->text(), "Undo Insert img000");
  window->UndoAction()->trigger();
  EXPECT_EQ(Sys().ProjectText(), start);

  // A move while a test value shows on the layer: undone after the test data was cleared, the
  // layer gets back its own value, never the test value.
  window->DataPanel().SetValue("logo.Opacity", "10");
  ASSERT_EQ(logo.Opacity(), 10);
  Sys().SetSelectedLayer(&logo);
  window->ArrangeToSafeAreaAction()->setChecked(false);
  window->ArrangeAction(TArrangeEdge::aeLeft)->trigger();
  EXPECT_EQ(logo.Opacity(), 10);  // still shown
  window->DataPanel().ClearTestData();
  EXPECT_EQ(logo.Opacity(), 255);
  window->UndoAction()->trigger();
  EXPECT_EQ(logo.Opacity(), 255);
  EXPECT_EQ(Sys().ProjectText(), start);
  window->RedoAction()->trigger();
  EXPECT_EQ(logo.Opacity(), 255);
  EXPECT_EQ(logo.X(), 0);
}

// The recovery file holds the page's own text, never its test values.
TEST_F(Layout, TheRecoveryFileHoldsThePageWithoutItsTestData) {
  recoveryFolder = dir / "recovery";
  Editor::SetUp();  // a window that writes recovery files
  window->InsertAction(TLayerKind::lkText)->trigger();
  Sys().Layers.back()->SetlayerName("headline");
  window->DataPanel().SetValue("headline.Text", "A test value");
  ASSERT_EQ(static_cast<TTextLayer&>(*Sys().Layers.back()).Text(), "A test value");
  ticks.Advance(TRecoveryWriter::kIntervalMs);
  window->PollRecovery();
  window->Recovery()->Flush();
  std::string why;
  const auto content = ParseRecovery(ReadBytes(window->Recovery()->File()), why);
  ASSERT_TRUE(content) << why;
  EXPECT_EQ(content->Text.find("A test value"), std::string::npos);
  EXPECT_NE(content->Text.find("Text = Text"), std::string::npos);
  EXPECT_EQ(static_cast<TTextLayer&>(*Sys().Layers.back()).Text(), "A test value");  // still shown
}

}  // namespace
}  // namespace qv::test

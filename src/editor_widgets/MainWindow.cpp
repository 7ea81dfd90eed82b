#include "editor_widgets/MainWindow.h"
#include "base/FrameRate.h"

#include "editor_logic/ExportRequest.h"
#include "editor_widgets/LayerTimelineWidget.h"
#include "editor_widgets/DataPanel.h"
#include "editor_widgets/ObjectEditor.h"
#include "editor_widgets/ObjectList.h"
#include "editor_widgets/TimeRuler.h"
#include "editor_widgets/WorkAreaWidget.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QScrollBar>
#include <QSettings>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QThread>
#include <QToolBar>
#include <QAbstractSpinBox>
#include <QVBoxLayout>

#include "composition/RollLayer.h"

#include <algorithm>
#include <atomic>
#include <cmath>

// The icons are compiled into this library; a static library's resources are registered by hand.
static void InitEditorIcons() { Q_INIT_RESOURCE(Icons); }

namespace qv {

namespace {

constexpr int kPageWidth = 768;
constexpr int kPageHeight = 576;
// The width of the right-hand panel (object list and grid): the grid's value column shows
// its longest values whole at the window's first size.
constexpr int kRightPanelWidth = 340;
const QString kProjectFilter = QStringLiteral("QV Files (*.QV *.qv)");
const QString kAppTitle = QStringLiteral("Tessaly (QV)");
constexpr int kRecentFiles = 8;

QWidget* Caption(const QString& Text, QWidget* Parent) {
  auto* label = new QLabel(Text, Parent);
  label->setFixedHeight(24);
  label->setIndent(6);
  label->setAutoFillBackground(true);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, p.color(QPalette::Dark));
  label->setPalette(p);
  return label;
}

// The work area's scroll area: it scrolls by wheel and bars, never by keys, so that the arrow keys
// a page is nudged with go on to the window whatever has the focus.
class TWorkScroll final : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;

 protected:
  void keyPressEvent(QKeyEvent* Event) override { Event->ignore(); }
};

QToolBar* Bar(const QString& Name, int Icon, QWidget* Parent) {
  auto* bar = new QToolBar(Name, Parent);
  bar->setObjectName(Name);
  bar->setIconSize(QSize(Icon, Icon));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  return bar;
}

}  // namespace

std::uint16_t VirtualKeyOf(int QtKey) {
  switch (QtKey) {
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Delete: return VK_DELETE;
    default: break;
  }
  // Letters and digits have the same codes on both sides.
  if ((QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) || (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9)) {
    return static_cast<std::uint16_t>(QtKey);
  }
  return 0;
}

TForm5::TForm5(TEditorOptions Options, QWidget* Parent)
    : QMainWindow(Parent),
      fMachineTicks(Options.Ticks != nullptr ? *Options.Ticks : fSteadyTicks),
      fOptions(std::move(Options)),
      fTransport(fOptions.PlayClock != nullptr ? *fOptions.PlayClock : fSteadyPaceClock) {
  if (!fOptions.Dialogs) fOptions.Dialogs = MakeQtEditorDialogs();
  InitEditorIcons();

  TCompositionContext context;
  context.TextRenderer = &fTextRenderer;
  context.RichEdit = &fRichEdit;
  context.Ticks = &fTicks;
  context.TimeOfDay = &fTimeOfDay;
  context.Canvases = &fCanvases;
  context.Animations = &fAnimations;
  context.Undo = &fUndoEngine;
  fSys = Make<TQVSystem>(kPageWidth, kPageHeight, context, true);
  fTestData = std::make_unique<TTestData>(*fSys);
  fSys->OnMediaProblem = [this](const std::string& Message) { ReportMedia(Message); };
  fSys->OnLoadProgress = [this](std::size_t Loaded, std::size_t Found) { ShowLoadProgress(Loaded, Found); };
  fHooks.push_back(fSys->onSelectItem.Connect([this](TQVSystem*) { LayerSelected(); }));
  fHooks.push_back(fSys->onLayersChanged.Connect([this](TQVSystem*) { LayersChanged(); }));
  fHooks.push_back(fSys->onPageSizeChanged.Connect([this](TQVSystem*) { PageSizeChanged(); }));
  fSys->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { RequestFrame(); });
  fHistory = std::make_unique<THistory>(*fSys, fMachineTicks);
  fRecorder = std::make_unique<TWorkAreaRecorder>(*fHistory);
  if (!fOptions.SettingsFile.isEmpty()) {
    fSettings = std::make_unique<QSettings>(fOptions.SettingsFile, QSettings::IniFormat);
    fRecent = fSettings->value(QStringLiteral("recentFiles")).toStringList().mid(0, kRecentFiles);
  }
  if (!fOptions.RecoveryFolder.empty()) {
    fRecovery = std::make_unique<TRecoveryWriter>(
        fOptions.RecoveryFolder / RecoveryFileName(static_cast<long>(QCoreApplication::applicationPid())),
        fMachineTicks);
  }

  fCheckerboard = LoadCheckerboard(fOptions.GridFolders, fSys->fwidth, fSys->fheight);

  setWindowTitle(kAppTitle);
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  BuildActions();
  BuildPlayActions();
  BuildKeyActions();
  BuildLayout();
  fTransport.OnChange = [this] { TransportChanged(); };
  UpdateTimeRange(true);
  fTree->FillTree();
  UpdateFileActions();
  fHistory->OnChanged = [this] { HistoryChanged(); };
  if (fSettings) {
    restoreGeometry(fSettings->value(QStringLiteral("window/geometry")).toByteArray());
    fSplitter->restoreState(fSettings->value(QStringLiteral("window/splits")).toByteArray());
  }
  // The interval of the recovery writes is measured by the page's clock; this only looks.
  fRecoveryTimer.setInterval(1000);
  connect(&fRecoveryTimer, &QTimer::timeout, this, [this] { PollRecovery(); });
  if (fRecovery) fRecoveryTimer.start();
  fDataPanel->Apply();  // the slots' values from the last session

  fFrameTimer.setSingleShot(true);
  fFrameTimer.setTimerType(Qt::PreciseTimer);
  connect(&fFrameTimer, &QTimer::timeout, this, [this] { RenderStep(); });
  qApp->installEventFilter(this);
  RenderStep();  // the checkerboard is up before anything loads
}

TForm5::~TForm5() {
  qApp->removeEventFilter(this);
  fFrameTimer.stop();
  fRecoveryTimer.stop();
  // What the widgets still tell the history on their way out is no step.
  fHistory->OnChanged = nullptr;
  fPropertyGrid->OnEditBegins = nullptr;
  fPropertyGrid->OnEditEnds = nullptr;
  fGridEdit.reset();
  fWorkArea->Recorder = nullptr;
  // The widgets that reach into the composition go before it; the scroll area's viewport stops
  // telling this window its resizes first.
  fPropertyGrid->SetAObject(nullptr);
  fWorkScroll->viewport()->removeEventFilter(this);
  fWorkScroll = nullptr;
  delete takeCentralWidget();
  delete fDataPanel;
  fHooks.clear();
  fRecorder.reset();
  fHistory.reset();
  fTestData.reset();
  fSys.reset();
}

void TForm5::BuildActions() {
  static constexpr const char* kInsertIcons[] = {"insert-image", "insert-sequence", "insert-text", "insert-roll",
                                                 "insert-clock"};
  for (const TInsertCommand& cmd : InsertCommands()) {
    const auto i = std::size_t(cmd.Kind);
    // The clock's button has no hint of its own; it gets one like the others.
    const QString hint = *cmd.Hint != '\0' ? QString::fromUtf8(cmd.Hint) : tr("Insert Clock");
    QAction* a = new QAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kInsertIcons[i]))), hint, this);
    connect(a, &QAction::triggered, this, [this, kind = cmd.Kind] { Insert(kind); });
    fInsert[i] = a;
  }
  fBringToFront = new QAction(QIcon(QStringLiteral(":/icons/bring-front.svg")), tr("Bring To Front"), this);
  connect(fBringToFront, &QAction::triggered, this, [this] {
    if (TLayer* l = fSys->_SelectedLayer()) Recorded([&] { qv::BringToFront(*fHistory, *l); });
    RequestFrame();
  });
  fSendToBack = new QAction(QIcon(QStringLiteral(":/icons/send-back.svg")), tr("Send To Back"), this);
  connect(fSendToBack, &QAction::triggered, this, [this] {
    if (TLayer* l = fSys->_SelectedLayer()) Recorded([&] { qv::SendToBack(*fHistory, *l); });
    RequestFrame();
  });

  struct TAlignButton {
    const char* Icon;
    const char* Text;
    bool Latches;
  };
  static constexpr TAlignButton kAlign[] = {
      {"align-left", "Align Left", true},  {"align-center", "Align Center", true},
      {"align-right", "Align Right", true}, {"align-top", "Align Top", true},
      {"align-middle", "Align Middle", false}, {"align-bottom", "Align Bottom", true}};
  for (int i = 0; i < 6; ++i) {
    const TAlignButton& b = kAlign[i];
    QAction* a = new QAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(b.Icon))), tr(b.Text), this);
    a->setCheckable(b.Latches);
    fAlign[std::size_t(i)] = a;
  }
  // Each bar latches one button: a latching button pressed shows pressed and releases the others of
  // its bar (the buttons share the command group, so the bars are not action groups of their own).
  for (int i = 0; i < 6; ++i) {
    if (!fAlign[std::size_t(i)]->isCheckable()) continue;
    connect(fAlign[std::size_t(i)], &QAction::triggered, this, [this, i] {
      const int first = i < 3 ? 0 : 3;
      for (int j = first; j < first + 3; ++j) fAlign[std::size_t(j)]->setChecked(j == i);
    });
  }
  // One button of each bar shows pressed; the pressed one does not follow the selected layer.
  fAlign[0]->setChecked(true);
  fAlign[3]->setChecked(true);
  static constexpr THTextAlig kH[] = {haLeft, haCenter, haRight};
  static constexpr TVTextAlig kV[] = {vaTop, vaCenter, vaBottom};
  for (int i = 0; i < 3; ++i) {
    connect(fAlign[std::size_t(i)], &QAction::triggered, this, [this, v = kH[i]] {
      Recorded([&] { AlignSelectedText(*fHistory, v); });
      RequestFrame();
    });
    connect(fAlign[std::size_t(i + 3)], &QAction::triggered, this, [this, v = kV[i]] {
      Recorded([&] { AlignSelectedText(*fHistory, v); });
      RequestFrame();
    });
  }

  fNewPage = new QAction(tr("New Page…"), this);
  fNewPage->setShortcut(QKeySequence::New);
  connect(fNewPage, &QAction::triggered, this, [this] { NewPage(); });
  fOpen = new QAction(tr("Open Project"), this);
  connect(fOpen, &QAction::triggered, this, [this] { OpenProject(); });
  fSave = new QAction(tr("Save"), this);
  fSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  connect(fSave, &QAction::triggered, this, [this] { Save(); });
  fSaveAs = new QAction(tr("Save As"), this);
  connect(fSaveAs, &QAction::triggered, this, [this] { SaveAs(); });
  fExport = new QAction(tr("Export…"), this);
  fExport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  connect(fExport, &QAction::triggered, this, [this] { Export(); });
  fExit = new QAction(tr("Exit"), this);
  connect(fExit, &QAction::triggered, this, [this] { Exit(); });

  QMenu* file = menuBar()->addMenu(tr("File"));
  file->addAction(fNewPage);
  file->addAction(fOpen);
  fRecentMenu = file->addMenu(tr("Open Recent"));
  FillRecentMenu();
  file->addAction(fSave);
  file->addAction(fSaveAs);
  file->addSeparator();
  file->addAction(fExport);
  file->addSeparator();
  file->addAction(fExit);
  connect(file, &QMenu::aboutToShow, this, [this] { UpdateFileActions(); });

  QMenu* edit = menuBar()->addMenu(tr("Edit"));
  fEdit = std::make_unique<THistoryActions>(this, *fHistory);
  fEdit->Apply = [this](bool Undoing) { ApplyHistory(Undoing); };
  edit->addAction(fEdit->Undo());
  edit->addAction(fEdit->Redo());
  // The keys anywhere in the window; a text field keeps its own.
  addAction(fEdit->Undo());
  addAction(fEdit->Redo());
  connect(edit, &QMenu::aboutToShow, this, [this] {
    fHistory->Settle();
    fEdit->Update();
  });

  // What touches the page, disabled together while a load holds it.
  fCommands = new QActionGroup(this);
  fCommands->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
  for (QAction* a : fInsert) fCommands->addAction(a);
  for (QAction* a : fAlign) fCommands->addAction(a);
  for (QAction* a : {fBringToFront, fSendToBack, fNewPage, fOpen, fSave, fSaveAs, fExport, fEdit->Undo(), fEdit->Redo()}) {
    fCommands->addAction(a);
  }

  QMenu* layer = menuBar()->addMenu(tr("Layer"));
  for (QAction* a : fInsert) layer->addAction(a);
  layer->addSeparator();
  layer->addAction(fBringToFront);
  layer->addAction(fSendToBack);

  // Arrange: the selected layer lined up with the page, or with its graphics-safe frame.
  QMenu* arrange = menuBar()->addMenu(tr("Arrange"));
  for (const TArrangeCommand& cmd : ArrangeCommands()) {
    QAction* a = arrange->addAction(tr(cmd.Text));
    connect(a, &QAction::triggered, this, [this, edge = cmd.Edge, text = std::string(cmd.Text)] {
      const TArrangeFrame frame = fArrangeToSafe->isChecked() ? TArrangeFrame::afGraphicsSafe : TArrangeFrame::afPage;
      TLayer* l = fSys->_SelectedLayer();
      if (l == nullptr) return;
      Recorded([&] {
        fHistory->Settle();
        // One step: "Align Left logo" (to the graphics-safe frame: "Align Left logo to the safe area").
        TEdit edit(*fHistory, *l,
                   text + " " + LayerTitle(*fSys, fSys->IndexOf(l)) +
                       (frame == TArrangeFrame::afGraphicsSafe ? " to the safe area" : ""));
        ArrangeSelected(*fSys, edge, frame);
      });
      RequestFrame();
    });
    fArrange[std::size_t(cmd.Edge)] = a;
    fCommands->addAction(a);
    if (cmd.Edge == TArrangeEdge::aeRight) arrange->addSeparator();
  }
  arrange->addSeparator();
  auto* frames = new QActionGroup(this);
  QAction* toPage = arrange->addAction(tr("To the Page"));
  fArrangeToSafe = arrange->addAction(tr("To the Graphics-Safe Frame"));
  for (QAction* a : {toPage, fArrangeToSafe}) {
    a->setCheckable(true);
    frames->addAction(a);
  }
  toPage->setChecked(true);

  // View: what only the editor draws over the page, and the zoom.
  QMenu* view = fViewMenu = menuBar()->addMenu(tr("View"));
  fSafeAreas = view->addAction(tr("Safe Areas"));
  fSafeAreas->setCheckable(true);
  fSafeAreas->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Apostrophe));
  fSafeAreas->setToolTip(tr("Action-safe (93 %), graphics-safe (90 %) and, on a 16:9 page, the 4:3 centre cut"));
  connect(fSafeAreas, &QAction::toggled, this, [this](bool on) {
    fWorkArea->SetSafeAreas(on);
    if (fSettings) fSettings->setValue(QStringLiteral("View/SafeAreas"), on);
  });
  view->addSeparator();
  fZoomFit = view->addAction(tr("Fit"));
  fZoomFit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  connect(fZoomFit, &QAction::triggered, this, [this] {
    fView.Fit();
    ApplyView();
  });
  static constexpr std::pair<int, TZoom> kZooms[] = {{50, {1, 2}}, {100, {1, 1}}, {200, {2, 1}}};
  for (std::size_t i = 0; i < std::size(kZooms); ++i) {
    QAction* a = view->addAction(tr("%1 %").arg(kZooms[i].first));
    connect(a, &QAction::triggered, this, [this, z = kZooms[i].second] { ZoomTo(z); });
    fZoom[i] = a;
  }
  fZoom[1]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  fZoom[2]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
  fZoomIn = view->addAction(tr("Zoom In"));
  fZoomIn->setShortcut(QKeySequence::ZoomIn);
  fZoomOut = view->addAction(tr("Zoom Out"));
  fZoomOut->setShortcut(QKeySequence::ZoomOut);
  for (auto [a, steps] : {std::pair{fZoomIn, 1}, std::pair{fZoomOut, -1}}) {
    connect(a, &QAction::triggered, this, [this, steps = steps] {
      SyncViewScroll();
      fView.ZoomStep(steps, fWorkScroll->viewport()->width() / 2, fWorkScroll->viewport()->height() / 2);
      ApplyView();
    });
  }
}

QAction* TForm5::ZoomAction(int Percent) const {
  switch (Percent) {
    case 50: return fZoom[0];
    case 100: return fZoom[1];
    case 200: return fZoom[2];
    default: return nullptr;
  }
}

void TForm5::BuildLayout() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Panel1: the layer commands, then the two alignment bars stacked in Panel4.
  auto* panel1 = new QWidget(central);
  panel1->setObjectName(QStringLiteral("Panel1"));
  panel1->setFixedHeight(60);
  auto* top = new QHBoxLayout(panel1);
  top->setContentsMargins(2, 2, 2, 2);
  top->setSpacing(4);
  QToolBar* toolBar1 = Bar(QStringLiteral("ToolBar1"), 48, panel1);
  for (QAction* a : fInsert) toolBar1->addAction(a);
  toolBar1->addSeparator();
  toolBar1->addAction(fBringToFront);
  toolBar1->addAction(fSendToBack);
  for (QAction* a : toolBar1->actions()) {
    if (QWidget* button = toolBar1->widgetForAction(a); button != nullptr && !a->isSeparator()) button->setFixedSize(55, 54);
  }
  top->addWidget(toolBar1);
  auto* panel4 = new QWidget(panel1);
  panel4->setObjectName(QStringLiteral("Panel4"));
  auto* bars = new QVBoxLayout(panel4);
  bars->setContentsMargins(0, 0, 0, 0);
  bars->setSpacing(0);
  int barsWidth = 84;
  for (int b = 0; b < 2; ++b) {
    QToolBar* bar = Bar(b == 0 ? QStringLiteral("ToolBar2") : QStringLiteral("ToolBar3"), 20, panel4);
    // The style's own margins around a bar's buttons would push the third button behind the bar's
    // overflow button and cut the buttons' lower edge: the two bars hold their buttons edge to edge.
    bar->setStyleSheet(QStringLiteral("QToolBar { border: none; padding: 0px; spacing: 0px; }"));
    for (int i = 0; i < 3; ++i) {
      bar->addAction(fAlign[std::size_t(b * 3 + i)]);
      bar->widgetForAction(fAlign[std::size_t(b * 3 + i)])->setFixedSize(27, 26);
    }
    // At least as wide as its three buttons with the bar's own margins, so none of them goes
    // behind the bar's overflow button.
    barsWidth = std::max(barsWidth, bar->sizeHint().width());
    bars->addWidget(bar);
  }
  panel4->setFixedWidth(barsWidth);
  top->addWidget(panel4);
  QToolBar* playBar = Bar(QStringLiteral("PlayBar"), 20, panel1);
  for (TPlayAction a : {TPlayAction::paStart, TPlayAction::paStepBack, TPlayAction::paPlayPause, TPlayAction::paStop,
                        TPlayAction::paStepForward, TPlayAction::paEnd, TPlayAction::paLoop}) {
    playBar->addAction(PlayAction(a));
  }
  playBar->addSeparator();
  for (TKeyAction a : {TKeyAction::kaPrevious, TKeyAction::kaAdd, TKeyAction::kaDelete, TKeyAction::kaNext,
                       TKeyAction::kaAutoKeys}) {
    playBar->addAction(KeyAction(a));
  }
  top->addWidget(playBar);
  top->addStretch(1);
  column->addWidget(panel1);

  // Panel10: the work area centred in workPanel, and Panel2 on the right.
  auto* panel10 = new QWidget(central);
  panel10->setObjectName(QStringLiteral("Panel10"));
  panel10->setMinimumHeight(612);
  auto* middle = new QHBoxLayout(panel10);
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(0);
  auto* workPanel = fWorkPanel = new QWidget(panel10);
  workPanel->setObjectName(QStringLiteral("workPanel"));
  workPanel->setMinimumSize(fSys->fwidth + 32, 600);
  workPanel->setAutoFillBackground(true);
  {
    QPalette p = workPanel->palette();
    p.setColor(QPalette::Window, QColor(22, 23, 26));
    workPanel->setPalette(p);
  }
  auto* workColumn = new QVBoxLayout(workPanel);
  workColumn->setContentsMargins(0, 0, 0, 0);
  // The page with its margins in a scroll area: centred while it fits, scrolled when zoomed in.
  fWorkScroll = new TWorkScroll(workPanel);
  fWorkScroll->setObjectName(QStringLiteral("WorkScroll"));
  fWorkScroll->setFrameShape(QFrame::NoFrame);
  fWorkScroll->setAlignment(Qt::AlignCenter);
  fWorkScroll->setWidgetResizable(false);
  fWorkScroll->setBackgroundRole(QPalette::Window);
  fWorkHolder = new QWidget;
  fWorkHolder->setObjectName(QStringLiteral("WorkHolder"));
  auto* centre = new QGridLayout(fWorkHolder);
  centre->setContentsMargins(TWorkAreaView::kMarginX, TWorkAreaView::kMarginY, TWorkAreaView::kMarginX,
                             TWorkAreaView::kMarginY);
  fWorkArea = new TWorkArea(*fSys, fWorkHolder);
  fWorkArea->setObjectName(QStringLiteral("PaintBox1"));
  fWorkArea->OnTouched = [this] { RequestFrame(); };
  fWorkArea->Recorder = fRecorder.get();
  fWorkArea->AroundStep = [this](const std::function<void()>& Record) { Recorded(Record); };
  fWorkArea->OnZoomWheel = [this](int Steps, QPoint At) {
    SyncViewScroll();
    const QPoint v = fWorkArea->mapTo(fWorkScroll->viewport(), At);
    fView.ZoomStep(Steps, v.x(), v.y());
    ApplyView();
  };
  fWorkArea->OnDrop = [this](const std::vector<TDropItem>& Items, TPagePoint At) { DropFiles(Items, At); };
  fWorkArea->OnRefused = [this](const QString& Why) { statusBar()->showMessage(Why, 15000); };
  centre->addWidget(fWorkArea, 0, 0);
  fWorkScroll->setWidget(fWorkHolder);
  workColumn->addWidget(fWorkScroll);
  middle->addWidget(workPanel, 1);
  fWorkScroll->viewport()->installEventFilter(this);  // its resizes fit the page again
  for (QScrollBar* bar : {fWorkScroll->horizontalScrollBar(), fWorkScroll->verticalScrollBar()}) {
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (!fApplyingView) SyncViewScroll();
    });
  }
  fView.SetPage(fSys->fwidth, fSys->fheight);

  auto* panel2 = new QWidget(panel10);
  panel2->setObjectName(QStringLiteral("Panel2"));
  panel2->setFixedWidth(kRightPanelWidth);
  auto* right = new QVBoxLayout(panel2);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  auto* splitter = fSplitter = new QSplitter(Qt::Vertical, panel2);
  splitter->setObjectName(QStringLiteral("Splits"));
  auto* listPanel = new QWidget(splitter);
  auto* listColumn = new QVBoxLayout(listPanel);
  listColumn->setContentsMargins(0, 0, 0, 0);
  listColumn->setSpacing(0);
  listColumn->addWidget(Caption(tr("Objects List"), listPanel));
  fTree = new TObjectList(*fSys, listPanel);
  fTree->setObjectName(QStringLiteral("Tree"));
  fTree->OnDrop = [this](const std::vector<TDropItem>& Items) { DropFiles(Items, {0, 0}); };
  fTree->OnRefused = [this](const QString& Why) { statusBar()->showMessage(Why, 15000); };
  listColumn->addWidget(fTree);
  auto* editorPanel = new QWidget(splitter);
  auto* editorColumn = new QVBoxLayout(editorPanel);
  editorColumn->setContentsMargins(0, 0, 0, 0);
  editorColumn->setSpacing(0);
  editorColumn->addWidget(Caption(tr("Object Editor"), editorPanel));
  fGridPanel = new QWidget(editorPanel);
  fGridPanel->setObjectName(QStringLiteral("GridPanel"));
  auto* gridLayout = new QVBoxLayout(fGridPanel);
  gridLayout->setContentsMargins(0, 0, 0, 0);
  auto* gridScroll = new QScrollArea(fGridPanel);
  gridScroll->setWidgetResizable(true);
  gridScroll->setFrameShape(QFrame::NoFrame);
  gridScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fPropertyGrid = new TObjectEditor(gridScroll, std::move(fOptions.GridDialogs));
  fPropertyGrid->setObjectName(QStringLiteral("ObjectEditor"));
  gridScroll->setWidget(fPropertyGrid);
  gridLayout->addWidget(gridScroll);
  // The grid shows the selected layer, or the page when none is; it rebuilds when the layer stack
  // changes, so a row never outlives its property.
  fPropertyGrid->Follow(fSys.get());
  // Each gesture of the grid is one step of the history (those whose cell pushes an undo element
  // become the element's step).
  fPropertyGrid->OnEditBegins = [this](TBaseProperty* Property) {
    fGridEdit.reset();
    if (Property != nullptr) fGridEdit.emplace(*fHistory, *Property);
  };
  fPropertyGrid->OnEditEnds = [this] {
    if (fGridEdit) fGridEdit->Finish();
    fGridEdit.reset();
    RequestFrame();
  };
  editorColumn->addWidget(fGridPanel, 1);
  splitter->addWidget(listPanel);
  splitter->addWidget(editorPanel);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);
  right->addWidget(splitter);
  middle->addWidget(panel2);
  column->addWidget(panel10, 1);

  // BottomPanel: Panel3 for the time ruler, then the status bar.
  auto* bottom = new QWidget(central);
  bottom->setObjectName(QStringLiteral("BottomPanel"));
  bottom->setMinimumHeight(48);
  auto* bottomColumn = new QVBoxLayout(bottom);
  bottomColumn->setContentsMargins(0, 0, 0, 0);
  fRulerPanel = new QWidget(bottom);
  fRulerPanel->setObjectName(QStringLiteral("Panel3"));
  fRulerPanel->setFixedHeight(43);
  auto* rulerRow = new QHBoxLayout(fRulerPanel);
  rulerRow->setContentsMargins(0, 0, 4, 0);
  rulerRow->setSpacing(4);
  // The timeline's name column runs up beside the ruler, so that both share one time scale.
  auto* corner = new QLabel(tr("Layers"), fRulerPanel);
  corner->setObjectName(QStringLiteral("TimelineCorner"));
  corner->setIndent(6);
  fRuler = new TTimeRuler(fRulerPanel);
  fRuler->setObjectName(QStringLiteral("TimeRuler"));
  fRulerField = new QLineEdit(fRulerPanel);
  fRulerField->setObjectName(QStringLiteral("RulerField"));
  fRulerField->setFixedWidth(84);
  fRulerField->setAlignment(Qt::AlignCenter);
  fRulerField->setToolTip(tr("The current frame as minutes:seconds:frames; type one and press Enter to go there"));
  {
    QFont f = fRulerField->font();
    f.setPixelSize(15);
    fRulerField->setFont(f);
  }
  fRuler->SetTimeAssociate(fRulerField);
  fRuler->SetLastFrame(0);  // the page's range: nothing lengthens it yet
  fRuler->SetFrame(0);  // fills the field
  connect(fRuler, &TTimeRuler::changed, this, [this](int frame) { SetFrame(frame); });
  fTimeline = new TLayerTimeline(fRuler->Model(), bottom);
  fTimeline->setObjectName(QStringLiteral("LayerTimeline"));
  // The timeline takes the height the window has beyond the page's panel (none in a window just
  // tall enough for a standard page at 1:1).
  fTimeline->setMinimumHeight(0);
  corner->setFixedWidth(fTimeline->Model().HeaderWidth());
  rulerRow->setSpacing(0);
  rulerRow->addWidget(corner);
  rulerRow->addWidget(fRuler, 1);
  rulerRow->addSpacing(4);
  rulerRow->addWidget(fRulerField);
  fTimeline->Model().OnSelectLayer = [this](TLayer* Layer) { fSys->SetSelectedLayer(Layer); };
  fTimeline->Model().OnStep = [this](std::unique_ptr<TStep> Step) { TakeStep(std::move(Step)); };
  fTimeline->OnContextMenu = [this](const TTimelineHit& Hit, const QPoint& Global) {
    const TTimelineRow& row = fTimeline->Model().Rows()[std::size_t(Hit.Row)];
    if (Hit.Part == TTimelinePart::tpKey) fTransport.Seek(Hit.Frame);
    KeyMenu(row.Property != nullptr ? row.Property : row.Layer)->exec(Global);
  };
  bottomColumn->addWidget(fRulerPanel);
  auto* timelineRow = new QHBoxLayout();
  timelineRow->setContentsMargins(0, 0, 4 + 84, 0);  // ends where the ruler ends
  timelineRow->addWidget(fTimeline);
  bottomColumn->addLayout(timelineRow, 1);
  // A window taller than the page needs gives the timeline its share of the height.
  column->addWidget(bottom, 1);

  setCentralWidget(central);
  statusBar()->setSizeGripEnabled(true);
  fPlayStatus = new QLabel(statusBar());
  fPlayStatus->setObjectName(QStringLiteral("PlayStatus"));
  statusBar()->addPermanentWidget(fPlayStatus);
  fZoomLabel = new QLabel(statusBar());
  fZoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
  statusBar()->addPermanentWidget(fZoomLabel);
  fPropertyGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(fPropertyGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
    TBaseProperty* row = fPropertyGrid->PropertyAt(At);
    KeyMenu(row)->exec(fPropertyGrid->mapToGlobal(At));
  });

  // The Data panel: test values for the page's fields, docked on the right, shown from the View menu.
  fDataPanel = new TDataPanel(*fTestData, *fOptions.Dialogs, fSettings.get(), this);
  fDataPanel->OnChanged = [this] { RequestFrame(); };
  fDataPanel->SetSuggestions(FieldSuggestions(*fSys));
  addDockWidget(Qt::RightDockWidgetArea, fDataPanel);
  fDataPanel->hide();
  fViewMenu->addSeparator();
  QAction* data = fDataPanel->toggleViewAction();
  data->setText(tr("Data Panel"));
  data->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
  fViewMenu->addAction(data);
  if (fSettings) fSafeAreas->setChecked(fSettings->value(QStringLiteral("View/SafeAreas"), false).toBool());

  resize(fSys->fwidth + 32 + kRightPanelWidth + 64, sizeHint().height());
  ApplyView();
}

// ---- render loop --------------------------------------------------------------------------

void TForm5::RequestFrame() {
  if (fRendering || QThread::currentThread() != thread()) return;
  fTicks.Wake();
  if (fTransport.Playing()) {
    const std::int64_t us = fTransport.UsUntilNextFrame();
    if (!fFrameTimer.isActive()) fFrameTimer.start(int((std::max<std::int64_t>(us, 0) + 999) / 1000));
    return;
  }
  if (!fFrameTimer.isActive()) fFrameTimer.start(int(fPacer.MsUntilDue(fMachineTicks.TickCount())));
}

void TForm5::RenderStep() {
  if (fBusy > 0) return;  // the load's end asks for the next frame
  const std::uint32_t now = fMachineTicks.TickCount();
  if (fTransport.Playing()) {
    // Playing: frames come when the steady clock says, whatever the 40 ms pacer last saw.
    const std::int64_t droppedBefore = fTransport.Dropped();
    if (!fTransport.Tick()) {
      RequestFrame();
      return;
    }
    // As in playout, a crawl moves on through the frames nobody saw, so it keeps its speed.
    const std::int64_t dropped = fTransport.Dropped() - droppedBefore;
    if (dropped > 0 && std::any_of(fSys->Layers.begin(), fSys->Layers.end(), [](const auto& l) {
          return dynamic_cast<const TRollLayer*>(l.get()) != nullptr;
        })) {
      for (std::int64_t i = 0; i < std::min<std::int64_t>(dropped, 2 * kFramesPerSecond); ++i) fSys->Advance();
    }
  } else if (!fPacer.Due(now)) {
    fFrameTimer.start(int(fPacer.MsUntilDue(now)));
    return;
  }
  if (PlaybackFrames(*fSys) != fTransport.End()) UpdateTimeRange(false);
  fRendering = true;
  RenderEditorFrame(*fSys, fCheckerboard.Image, fCheckerboard.Opaque);
  fRendering = false;
  fPacer.Rendered(now);
  fWorkArea->update();
  // While the page plays its keys stay as they are; commands rebuild the timeline themselves.
  if (!fTransport.Playing()) {
    if (!fTimeline->Model().Dragging()) fTimeline->Model().Rebuild(*fSys);
    const std::string moved = fCurveWatch.Check();
    if (!moved.empty()) statusBar()->showMessage(QString::fromStdString(moved), 10000);
  }
  if (fNamesStale) {
    fNamesStale = false;
    fTree->RefreshNames();
  }
  if (fTransport.Playing()) {
    RequestFrame();
  } else if (NeedsContinuousFrames(*fSys)) {
    fFrameTimer.start(int(fPacer.MsUntilDue(fMachineTicks.TickCount())));
  } else {
    fFrameTimer.stop();
    fTicks.Sleep();
  }
}

void TForm5::SubscribeLayers() {
  for (const auto& layer : fSys->Layers) {
    layer->RemoveChangeNotify(this);
    layer->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) {
      if (fRendering) return;
      fNamesStale = true;
      RequestFrame();
    });
  }
}

// ---- hooks --------------------------------------------------------------------------------

void TForm5::LayersChanged() {
  SubscribeLayers();
  fCurveWatch.Reset(fSys->_SelectedLayer());
  fKeyRow = nullptr;
  // No track outlives its layer, also while the page plays.
  if (fTimeline != nullptr) fTimeline->Model().Rebuild(*fSys);
  // A deleted or reordered layer leaves no stale row; during a load the list is filled once at its
  // end. The test data applies again: a field may name a layer only now there.
  if (fBusy > 0) {
    fTreeStale = true;
    fDataStale = true;
  } else {
    fTree->FillTree();
    fDataPanel->SetSuggestions(FieldSuggestions(*fSys));
    fDataPanel->Apply();
  }
  RequestFrame();
}

void TForm5::LayerSelected() {
  fTree->ShowSelection();
  fCurveWatch.Reset(fSys->_SelectedLayer());
  RequestFrame();
}

std::int32_t TForm5::LastFrame() const { return fRuler->Model().LastFrame(); }

void TForm5::SetLastFrame(std::int32_t Frame) {
  fRuler->SetLastFrame(Frame);
}

void TForm5::SetFrame(std::int32_t Frame) {
  // A scrub of the ruler or a typed time stops playback there.
  if (!fFollowing && Frame != fTransport.Frame()) fTransport.Seek(Frame);
  SetPageFrame(*fSys, Frame);
  fTimeline->SetFrames(Frame, fTransport.End());
  fPropertyGrid->SetKeyFrame(Frame);
  RequestFrame();
}

// ---- keys ---------------------------------------------------------------------------------

bool TForm5::KeyGoesToPage(QObject* Watched, QKeyEvent* Key) const {
  if (fBusy > 0) return false;
  auto* target = qobject_cast<QWidget*>(Watched);
  if (target == nullptr || target->window() != this) return false;
  QWidget* focus = QApplication::focusWidget();
  // Once per key, at the widget it is first given to (it travels on to the parents when ignored).
  if (target != (focus != nullptr ? focus : static_cast<QWidget*>(const_cast<TForm5*>(this)))) return false;
  // Keys typed into a field are the field's: Delete never removes a layer, arrows never nudge one.
  if (focus != nullptr && (qobject_cast<QLineEdit*>(focus) != nullptr || qobject_cast<QTextEdit*>(focus) != nullptr ||
                           qobject_cast<QPlainTextEdit*>(focus) != nullptr ||
                           qobject_cast<QAbstractSpinBox*>(focus) != nullptr ||
                           focus->testAttribute(Qt::WA_InputMethodEnabled))) {
    return false;
  }
  // Delete in the timeline removes its selected keys, not the layer.
  if (focus == fTimeline && Key->key() == Qt::Key_Delete) return false;
  return VirtualKeyOf(Key->key()) != 0;
}

bool TForm5::eventFilter(QObject* Watched, QEvent* Event) {
  if (fWorkScroll != nullptr && Watched == fWorkScroll->viewport() && Event->type() == QEvent::Resize) {
    // Scroll bars that come while the view is being applied hold old values: the view's own stand.
    if (!fApplyingView) SyncViewScroll();
    fView.SetViewport(fWorkScroll->viewport()->width(), fWorkScroll->viewport()->height());
    ApplyView();
  }
  if (Event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(Event);
    if (KeyGoesToPage(Watched, key)) {
      std::uint16_t code = VirtualKeyOf(key->key());
      Recorded([&] { fRecorder->KeyDown(code, ShiftStateOf(key->modifiers(), QGuiApplication::mouseButtons())); });
      RequestFrame();
    }
  }
  return QMainWindow::eventFilter(Watched, Event);  // the key still reaches the focused control
}

// ---- playback -----------------------------------------------------------------------------

void TForm5::BuildPlayActions() {
  struct TRow {
    TPlayAction Action;
    const char* Text;
    QKeySequence Key;
    const char* Icon;  // none: no button
  };
  // The arrow keys nudge the selected layer and Delete deletes it: the transport keeps off them.
  const TRow rows[] = {
      {TPlayAction::paPlayPause, "Play", QKeySequence(Qt::Key_Space), "play"},
      {TPlayAction::paStop, "Stop", QKeySequence(Qt::SHIFT | Qt::Key_Space), "stop"},
      {TPlayAction::paLoop, "Loop", QKeySequence(Qt::CTRL | Qt::Key_L), "loop"},
      {TPlayAction::paReverse, "Play Backwards (again: faster)", QKeySequence(Qt::Key_J), nullptr},
      {TPlayAction::paHold, "Pause", QKeySequence(Qt::Key_K), nullptr},
      {TPlayAction::paForward, "Play Forwards (again: faster)", QKeySequence(Qt::Key_L), nullptr},
      {TPlayAction::paStepBack, "Previous Frame", QKeySequence(Qt::Key_Comma), "step-back"},
      {TPlayAction::paStepForward, "Next Frame", QKeySequence(Qt::Key_Period), "step-forward"},
      {TPlayAction::paStart, "Go to Start", QKeySequence(Qt::Key_Home), "go-start"},
      {TPlayAction::paEnd, "Go to End", QKeySequence(Qt::Key_End), "go-end"},
  };
  QMenu* menu = menuBar()->addMenu(tr("Play"));
  for (const TRow& r : rows) {
    auto* a = new QAction(tr(r.Text), this);
    a->setObjectName(QString::fromLatin1(r.Text));
    if (r.Icon != nullptr) a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(r.Icon))));
    a->setShortcut(r.Key);
    a->setToolTip(QStringLiteral("%1 (%2)").arg(a->text(), r.Key.toString(QKeySequence::NativeText)));
    fPlayActions[std::size_t(r.Action)] = a;
    menu->addAction(a);
    if (r.Action == TPlayAction::paLoop || r.Action == TPlayAction::paForward) menu->addSeparator();
  }
  PlayAction(TPlayAction::paLoop)->setCheckable(true);
  // Each command first takes the page's Duration as it now is.
  auto on = [this](TPlayAction A, auto F) {
    connect(PlayAction(A), &QAction::triggered, this, [this, F](bool Checked) {
      UpdateTimeRange(false);
      if constexpr (std::is_invocable_v<decltype(F), bool>)
        F(Checked);
      else
        F();
    });
  };
  on(TPlayAction::paPlayPause, [this] { fTransport.TogglePlay(); });
  on(TPlayAction::paStop, [this] { fTransport.Stop(); });
  on(TPlayAction::paLoop, [this](bool Checked) { fTransport.SetLoop(Checked); });
  on(TPlayAction::paReverse, [this] { fTransport.Reverse(); });
  on(TPlayAction::paHold, [this] { fTransport.Hold(); });
  on(TPlayAction::paForward, [this] { fTransport.Forward(); });
  on(TPlayAction::paStepBack, [this] { fTransport.StepBack(); });
  on(TPlayAction::paStepForward, [this] { fTransport.StepForward(); });
  on(TPlayAction::paStart, [this] { fTransport.GoToStart(); });
  on(TPlayAction::paEnd, [this] { fTransport.GoToEnd(); });
}

QString TForm5::PlayStatus() const {
  QString text;
  if (fTransport.Playing()) {
    const int speed = fTransport.Speed();
    text = speed > 0 ? tr("Playing") : tr("Playing backwards");
    if (std::abs(speed) != 1) text += QStringLiteral(" %1\u00d7").arg(std::abs(speed));
  } else {
    text = tr("Paused");
  }
  if (fTransport.Due() > 0) {
    text += tr(" \u00b7 %1 of %2 frames shown, %3 dropped")
                .arg(fTransport.Shown())
                .arg(fTransport.Due())
                .arg(fTransport.Dropped());
  }
  return text;
}

void TForm5::TransportChanged() {
  const int frame = fTransport.Frame();
  if (fRuler->Frame() != frame) {
    fFollowing = true;
    fRuler->SetFramePos(frame, true);
    if (fTransport.Playing()) KeepPlayheadInView();
    fFollowing = false;
  }
  // The button changes with the state only: its icon is not made again on every frame.
  const bool playing = fTransport.Playing();
  if (playing != fShownPlaying) {
    fShownPlaying = playing;
    QAction* play = PlayAction(TPlayAction::paPlayPause);
    play->setText(playing ? tr("Pause") : tr("Play"));
    play->setIcon(QIcon(playing ? QStringLiteral(":/icons/pause.svg") : QStringLiteral(":/icons/play.svg")));
  }
  if (PlayAction(TPlayAction::paLoop)->isChecked() != fTransport.Loop()) PlayAction(TPlayAction::paLoop)->setChecked(fTransport.Loop());
  fPlayStatus->setText(PlayStatus());
  if (playing) RequestFrame();
}

void TForm5::KeepPlayheadInView() {
  const TTimeRulerModel& m = fRuler->Model();
  const int visible = std::max(1, fRuler->width() - m.LeftMargin() - m.RightMargin());
  const int at = m.FramePosition();
  if (at >= 0 && at < visible - 8) return;
  // A page further on, the playhead a tenth of the way in.
  fRuler->SetDebut(std::max(0, int(fTransport.Frame() * m.FrameSize()) - visible / 10));
}

void TForm5::UpdateTimeRange(bool Fit) {
  const std::int32_t end = PlaybackFrames(*fSys);
  fTransport.SetEnd(end);
  fRuler->SetEndMark(end);
  fTimeline->SetFrames(fSys->frame, end);
  if (!Fit) return;
  // The ruler shows the whole of the longer of the Duration and the image sequences.
  const int reach = std::max(end, LastFrame() + 1);
  const int visible = std::max(100, fRuler->width() - fRuler->Model().LeftMargin() - fRuler->Model().RightMargin());
  fRuler->SetScale(std::clamp(visible / (2.0 * reach * 1.05), TTimeRuler::kMinZoom, 1.0));
  fRuler->SetDebut(0);
}

// ---- keys ---------------------------------------------------------------------------------

void TForm5::BuildKeyActions() {
  struct TRow {
    TKeyAction Action;
    const char* Text;
    QKeySequence Key;
    const char* Icon;
  };
  const TRow rows[] = {
      {TKeyAction::kaAdd, "Add Key", QKeySequence(Qt::CTRL | Qt::Key_K), "key-add"},
      {TKeyAction::kaDelete, "Delete Key", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), "key-delete"},
      {TKeyAction::kaPrevious, "Previous Key", QKeySequence(Qt::Key_BracketLeft), "key-previous"},
      {TKeyAction::kaNext, "Next Key", QKeySequence(Qt::Key_BracketRight), "key-next"},
      {TKeyAction::kaClear, "Clear Animation", QKeySequence(), nullptr},
      {TKeyAction::kaEase, "Ease In/Out", QKeySequence(), nullptr},
      {TKeyAction::kaAutoKeys, "Automatic Keying", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), "auto-key"},
  };
  for (const TRow& r : rows) {
    auto* a = new QAction(tr(r.Text), this);
    a->setObjectName(QString::fromLatin1(r.Text));
    if (r.Icon != nullptr) a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(r.Icon))));
    if (!r.Key.isEmpty()) {
      a->setShortcut(r.Key);
      a->setToolTip(QStringLiteral("%1 (%2)").arg(a->text(), r.Key.toString(QKeySequence::NativeText)));
    }
    fKeyActions[std::size_t(r.Action)] = a;
  }
  QAction* autoKeys = KeyAction(TKeyAction::kaAutoKeys);
  autoKeys->setCheckable(true);
  connect(autoKeys, &QAction::toggled, this, [this](bool On) { SetAutoKeys(On); });
  auto step = [this](TKeyAction A, auto Make) {
    connect(KeyAction(A), &QAction::triggered, this, [this, Make] {
      if (fBusy > 0) return;
      const std::vector<TBaseProperty*> targets = KeyRowTargets();
      TakeStep(Make(targets));
    });
  };
  step(TKeyAction::kaAdd, [this](const std::vector<TBaseProperty*>& T) { return AddKeyStep(*fSys, T, fSys->frame); });
  step(TKeyAction::kaDelete, [this](const std::vector<TBaseProperty*>& T) { return DeleteKeyStep(*fSys, T, fSys->frame); });
  step(TKeyAction::kaClear, [this](const std::vector<TBaseProperty*>& T) { return ClearAnimationStep(*fSys, T); });
  step(TKeyAction::kaEase, [this](const std::vector<TBaseProperty*>& T) { return EaseStep(*fSys, T, fSys->frame); });
  connect(KeyAction(TKeyAction::kaPrevious), &QAction::triggered, this, [this] {
    if (const auto f = PreviousKey(KeyRowTargets(), fSys->frame)) fTransport.Seek(*f);
  });
  connect(KeyAction(TKeyAction::kaNext), &QAction::triggered, this, [this] {
    if (const auto f = NextKey(KeyRowTargets(), fSys->frame)) fTransport.Seek(*f);
  });
  auto* modes = new QActionGroup(this);
  for (const TAnimationTypeName& n : AnimationTypeNames()) {
    auto* a = new QAction(tr(n.Name), this);
    a->setCheckable(true);
    modes->addAction(a);
    connect(a, &QAction::triggered, this, [this, type = n.Type] {
      if (fBusy == 0) TakeStep(AnimationTypeStep(*fSys, KeyRowTargets(), type));
    });
    fOutOfRange.push_back(a);
  }
  QMenu* menu = menuBar()->addMenu(tr("Keys"));
  QMenu* range = AddKeyItems(menu);
  for (QAction* a : fOutOfRange) range->addAction(a);
  menu->addSeparator();
  menu->addAction(autoKeys);
  connect(menu, &QMenu::aboutToShow, this, [this] { fKeyRow = nullptr; });
  for (QAction* a : fKeyActions) fCommands->addAction(a);
  for (QAction* a : fPlayActions) fCommands->addAction(a);
}

QMenu* TForm5::AddKeyItems(QMenu* menu) {
  for (TKeyAction a : {TKeyAction::kaAdd, TKeyAction::kaDelete, TKeyAction::kaPrevious, TKeyAction::kaNext}) {
    menu->addAction(KeyAction(a));
  }
  menu->addSeparator();
  menu->addAction(KeyAction(TKeyAction::kaClear));
  menu->addAction(KeyAction(TKeyAction::kaEase));
  return menu->addMenu(tr("Out of Range"));
}

std::vector<TBaseProperty*> TForm5::KeyRowTargets() const {
  TBaseProperty* row = fKeyRow;
  if (row == nullptr) row = fSys->_SelectedLayer();
  if (row == nullptr) return {};
  return KeyTargets(*row);
}

QMenu* TForm5::KeyMenu(TBaseProperty* Row) {
  fKeyRow = Row;
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("KeyMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QMenu* range = AddKeyItems(menu);
  // The mode of the row's first track shows checked.
  const std::vector<TBaseProperty*> targets = KeyRowTargets();
  std::optional<Tanimationtype> mode;
  for (TBaseProperty* p : targets)
    if (const Tkeys* t = p->Animation(false); t != nullptr && !mode) mode = t->Foutat;
  for (std::size_t i = 0; i < fOutOfRange.size(); ++i) {
    fOutOfRange[i]->setChecked(mode && AnimationTypeNames()[i].Type == *mode);
    fOutOfRange[i]->setEnabled(mode.has_value());
    range->addAction(fOutOfRange[i]);
  }
  const bool animated = std::any_of(targets.begin(), targets.end(), [](TBaseProperty* p) { return IsAnimated(*p); });
  KeyAction(TKeyAction::kaClear)->setEnabled(animated);
  KeyAction(TKeyAction::kaEase)->setEnabled(animated);
  connect(menu, &QMenu::aboutToHide, this, [this] {
    // The chosen command runs before the menu hides; a row kept longer could be freed meanwhile,
    // and commands from the menu bar work on the selection again.
    QTimer::singleShot(0, this, [this] {
      fKeyRow = nullptr;
      KeyAction(TKeyAction::kaClear)->setEnabled(true);
      KeyAction(TKeyAction::kaEase)->setEnabled(true);
      for (QAction* a : fOutOfRange) a->setEnabled(true);
    });
  });
  return menu;
}

void TForm5::TakeStep(std::unique_ptr<TStep> Step) {
  if (!Step) {
    statusBar()->showMessage(tr("Nothing to change"), 3000);
    return;
  }
  const QString text = QString::fromStdString(Step->Name());
  Recorded([&] { fHistory->Do(std::move(Step)); });
  statusBar()->showMessage(text, 5000);
  KeysChanged();
}

void TForm5::KeysChanged() {
  fTimeline->Model().Rebuild(*fSys);
  // Keys added or moved by a command, and tracks put back by the history, are no curve shift.
  fCurveWatch.Reset(fSys->_SelectedLayer());
  fPropertyGrid->update();
  RequestFrame();
}

void TForm5::SetAutoKeys(bool On) {
  fAnimations.AutoAnimationMode = On;
  fAnimations.SetFrame(fSys->frame);
  fWorkArea->SetRedFrame(On);
  KeyAction(TKeyAction::kaAutoKeys)->setChecked(On);
  fCurveWatch.Reset(fSys->_SelectedLayer());
  statusBar()->showMessage(On ? tr("Automatic keying is on: changes key the changed properties at the current frame")
                              : tr("Automatic keying is off: changing an animated value moves its whole curve"),
                           8000);
}

// ---- loading ------------------------------------------------------------------------------

void TForm5::WithLoading(const std::function<void()>& Work) {
  ++fBusy;
  fCommands->setEnabled(false);
  fWorkArea->Suspended = true;
  fCollectMedia = true;
  fMediaProblems.Clear();
  fLoadClock.start();
  QString failure;
  try {
    Work();
  } catch (const std::exception& e) {
    failure = QString::fromUtf8(e.what());
  }
  fCollectMedia = false;
  delete fProgress;
  fProgress = nullptr;
  fWorkArea->Suspended = false;
  if (--fBusy == 0) {
    fCommands->setEnabled(true);
    UpdateFileActions();
    PollRecovery();  // what the load's steps changed, now that the page is whole
  }
  if (fTreeStale) {
    fTreeStale = false;
    fTree->FillTree();
  }
  if (fDataStale && fBusy == 0) {
    fDataStale = false;
    fDataPanel->SetSuggestions(FieldSuggestions(*fSys));
    fDataPanel->Apply();
  }
  if (!failure.isEmpty()) {
    fOptions.Dialogs->Warn(this, windowTitle(), failure);
  }
  if (!fMediaProblems.Empty()) {
    fOptions.Dialogs->Warn(this, tr("Missing media"), QString::fromStdString(fMediaProblems.Summary()),
                           QString::fromStdString(fMediaProblems.Details()));
    statusBar()->showMessage(QString::fromStdString(fMediaProblems.Summary()), 15000);
    fMediaProblems.Clear();
  }
  RequestFrame();
}

void TForm5::ShowLoadProgress(std::size_t Loaded, std::size_t Found) {
  if (fProgress == nullptr && Loaded < Found && fLoadClock.isValid() && fLoadClock.elapsed() > 500) {
    fProgress = new QProgressDialog(this);
    fProgress->setWindowTitle(windowTitle());
    fProgress->setCancelButton(nullptr);
    fProgress->setMinimumDuration(0);
    fProgress->setAutoClose(false);
    fProgress->setAutoReset(false);
    fProgress->show();
  }
  if (fProgress != nullptr) {
    fProgress->setMaximum(int(Found));
    fProgress->setValue(int(Loaded));
    fProgress->setLabelText(tr("Loading frames: %1 of %2").arg(Loaded).arg(Found));
  }
  // The window keeps painting (the last frame stays up); clicks and keys wait for the load's end.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm5::ReportMedia(const std::string& Message) {
  if (fCollectMedia) {
    fMediaProblems.Add(Message);
  } else {
    statusBar()->showMessage(QString::fromStdString(Message), 15000);
  }
}

// ---- commands -----------------------------------------------------------------------------

void TForm5::Insert(TLayerKind Kind) {
  std::string source;
  if (Kind == TLayerKind::lkImage) {
    const auto file = fOptions.Dialogs->OpenFile(this, tr("Insert Image"), QtFileFilter(PictureFileFilter()));
    if (!file) return;
    source = file->toStdString();
  } else if (Kind == TLayerKind::lkSequence) {
    const auto folder = fOptions.Dialogs->PickFolder(this, tr("Insert Image Sequence"));
    if (!folder) return;
    source = folder->toStdString();
  }
  fHistory->Settle();
  WithLoading([&] { Recorded([&] { RecordInsertedLayer(*fHistory, InsertLayer(*fSys, Kind, source)); }); });
  SetLastFrame(LastFrameFor(*fSys, LastFrame()));
  UpdateTimeRange(Kind == TLayerKind::lkSequence);
  fTree->FillTree();
}

bool TForm5::OpenProjectFile(const QString& FileName) {
  const std::size_t before = fSys->Layers.size();
  bool opened = false;
  WithLoading([&] {
    Recorded([&] { qv::OpenProject(*fHistory, FileName.toStdString()); });
    opened = true;
  });
  if (opened) {
    AddRecent(FileName.toStdString());
    const std::size_t added = fSys->Layers.size() - before;
    statusBar()->showMessage(before == 0 ? tr("Opened %1: %2 layers").arg(FileName).arg(added)
                                         : tr("Opened %1: %2 layers on top of the %3 already on the page")
                                               .arg(FileName)
                                               .arg(added)
                                               .arg(before),
                             15000);
  }
  SetLastFrame(LastFrameFor(*fSys, LastFrame()));
  UpdateTimeRange(true);
  fTree->FillTree();
  UpdateFileActions();
  return opened;
}

void TForm5::PageSizeChanged() {
  fCheckerboard = LoadCheckerboard(fOptions.GridFolders, fSys->fwidth, fSys->fheight);
  fWorkArea->Attach();
  fView.SetPage(fSys->fwidth, fSys->fheight);
  ApplyView();
  RequestFrame();
}

void TForm5::SyncViewScroll() {
  if (fWorkScroll == nullptr) return;
  fView.SetScroll(fWorkScroll->horizontalScrollBar()->value(), fWorkScroll->verticalScrollBar()->value());
}

void TForm5::ZoomTo(TZoom Zoom) {
  SyncViewScroll();
  fView.SetZoom(Zoom);
  ApplyView();
}

void TForm5::ApplyView() {
  if (fWorkArea == nullptr || fWorkScroll == nullptr) return;
  const bool outer = fApplyingView;
  fApplyingView = true;
  // A fitting page never needs a scroll bar; one shown a moment too long would narrow the view
  // and the fit with it.
  const Qt::ScrollBarPolicy policy = fView.Fitting() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
  fWorkScroll->setHorizontalScrollBarPolicy(policy);
  fWorkScroll->setVerticalScrollBarPolicy(policy);
  fWorkArea->SetZoom(fView.Zoom());
  fWorkHolder->setFixedSize(int(fView.ContentWidth()), int(fView.ContentHeight()));
  fWorkScroll->horizontalScrollBar()->setValue(int(fView.ScrollX()));
  fWorkScroll->verticalScrollBar()->setValue(int(fView.ScrollY()));
  fApplyingView = outer;
  if (fZoomLabel != nullptr) fZoomLabel->setText(fView.Fitting() ? tr("Fit: %1 %").arg(fView.Zoom().Percent()) : tr("%1 %").arg(fView.Zoom().Percent()));
}

void TForm5::DropFiles(const std::vector<TDropItem>& Items, TPagePoint At) {
  int made = 0;
  for (const TDropItem& item : Items) {
    if (item.Kind == TDropKind::dkProject) {
      OpenProjectFile(QString::fromStdString(item.Path));
    } else if (item.Kind != TDropKind::dkRefused) {
      fHistory->Settle();
      WithLoading([&] {
        Recorded([&] {
          if (TLayer* l = DropLayer(*fSys, item, At)) {
            RecordInsertedLayer(*fHistory, *l);
            ++made;
          }
        });
      });
    }
  }
  SetLastFrame(LastFrameFor(*fSys, LastFrame()));
  fTree->FillTree();
  if (made > 0 && RefusedMessage(Items).empty()) {
    statusBar()->showMessage(tr("%1 layers made from the dropped files").arg(made), 5000);
  }
}

void TForm5::NewPage() {
  // Unsaved changes are asked about first; a page without them keeps its question.
  const bool unsaved = !fHistory->IsClean();
  if (!MaySetAside(tr("making a new page"))) return;
  const std::span<const TPageSize> sizes = NewPageSizes();
  QStringList names;
  int current = 0;
  for (int i = 0; i < int(sizes.size()); ++i) {
    names << QString::fromUtf8(sizes[std::size_t(i)].Name);
    if (sizes[std::size_t(i)].Width == fSys->fwidth && sizes[std::size_t(i)].Height == fSys->fheight) current = i;
  }
  const auto chosen = fOptions.Dialogs->ChooseItem(this, tr("New Page"), tr("Page size:"), names, current);
  if (!chosen || *chosen < 0 || *chosen >= int(sizes.size())) return;
  if (!unsaved && !fSys->Layers.empty() &&
      !fOptions.Dialogs->Confirm(this, QStringLiteral("Are you sure ?"), QStringLiteral("Alert"))) {
    return;
  }
  const TPageSize& size = sizes[std::size_t(*chosen)];
  Recorded([&] { qv::NewPage(*fHistory, [&] { ResetToNewPage(*fSys, size.Width, size.Height); }); });
  SetLastFrame(0);
  fTransport.Stop();
  fRuler->SetFrame(0);
  UpdateTimeRange(true);
  fTree->FillTree();
  UpdateFileActions();
  RequestFrame();
}

void TForm5::OpenProject() {
  // Its layers go on top of the ones already here: the title says so before anything is chosen.
  const QString title = fSys->Layers.empty()
                            ? tr("Open Project")
                            : tr("Open Project (its layers go on top of the %1 layers on the page)").arg(fSys->Layers.size());
  if (!MaySetAside(tr("opening another project"))) return;
  const auto file = fOptions.Dialogs->OpenFile(this, title, kProjectFilter);
  if (!file) return;
  OpenProjectFile(*file);
}

void TForm5::Recorded(const std::function<void()>& Work) { fTestData->WithoutTestData(Work); }

void TForm5::SaveWithoutTestData(const std::string& FileName) {
  fTestData->WithoutTestData([&] { fSys->SaveToFile(FileName); });
}

void TForm5::Saved(const std::string& FileName) {
  fHistory->SetFileName(FileName);
  fHistory->SetClean();
  if (fRecovery) fRecovery->Remove();
  for (const std::filesystem::path& f : fAdoptedRecovery) {
    std::error_code ignored;
    std::filesystem::remove(f, ignored);
  }
  fAdoptedRecovery.clear();
  AddRecent(FileName);
  statusBar()->showMessage(tr("Saved %1").arg(QString::fromStdString(FileName)), 5000);
}

void TForm5::Save() {
  const std::string name = fHistory->FileName();
  if (name.empty()) return;
  fPropertyGrid->FinishEditing();
  try {
    SaveWithoutTestData(name);
    Saved(name);
  } catch (const std::exception& e) {
    fOptions.Dialogs->Warn(this, tr("Save"), QString::fromUtf8(e.what()));
  }
}

void TForm5::SaveAs() {
  const auto file = fOptions.Dialogs->SaveFile(this, tr("Save As"), kProjectFilter);
  if (!file) return;
  const std::string name = ProjectSaveName(file->toStdString());
  fPropertyGrid->FinishEditing();
  try {
    SaveWithoutTestData(name);
    Saved(name);
  } catch (const std::exception& e) {
    fOptions.Dialogs->Warn(this, tr("Save As"), QString::fromUtf8(e.what()));
  }
  UpdateFileActions();
}

bool TForm5::SaveDocument() {
  if (fHistory->FileName().empty()) {
    SaveAs();
  } else {
    Save();
  }
  return fHistory->IsClean();
}

QString TForm5::DocumentTitle() const {
  const std::string& name = fHistory->FileName();
  return name.empty() ? tr("The new page") : QString::fromStdString(std::filesystem::path(name).filename().string());
}

bool TForm5::MaySetAside(const QString& Action) {
  fPropertyGrid->FinishEditing();
  fHistory->Settle();
  if (fHistory->IsClean()) return true;
  switch (fOptions.Dialogs->AskSaveChanges(this, DocumentTitle(), Action)) {
    case TSaveChoice::scSave: return SaveDocument();
    case TSaveChoice::scDiscard: return true;
    case TSaveChoice::scCancel: break;
  }
  return false;
}

void TForm5::Export() {
  TExportRequest defaults;
  defaults.From = std::max(0, fSys->frame);
  defaults.To = defaults.From + std::max(1, int(std::lround(fSys->Duration() * kFramesPerSecond))) - 1;
  const std::string& fileName = fHistory->FileName();
  const std::filesystem::path base = fileName.empty() ? std::filesystem::path("page") : std::filesystem::path(fileName);
  defaults.Output = (base.parent_path() / base.stem()).string();
  defaults.Time = fTimeOfDay.Now();
  const auto request = fOptions.Dialogs->AskExport(this, defaults);
  if (!request) return;
  std::string error;
  const auto settings = ExportSettingsFor(*request, error);
  if (!settings) {
    fOptions.Dialogs->Warn(this, tr("Export"), QString::fromStdString(error));
    return;
  }
  // The export reads the page as it stands from a project file of its own, with its own clocks,
  // so what it writes is what qvrender would write of the saved page.
  const std::filesystem::path page = ExportProjectFile(fSys->ProjectFolder, int(QCoreApplication::applicationPid()));
  bool done = false;
  WithLoading([&] {
    SaveWithoutTestData(page.string());
    const std::unique_ptr<TProgress> progress = fOptions.Dialogs->StartProgress(this, tr("Export"));
    std::atomic<bool> cancel{false};
    done = video::ExportProject(
        page.string(), fSys->Context(), *settings,
        [&](int Done, int Total) {
          if (progress->Update(Done, Total)) cancel = true;
        },
        &cancel);
  });
  std::error_code ignored;
  std::filesystem::remove(page, ignored);
  statusBar()->showMessage(done ? tr("Exported frames %1 to %2 to %3")
                                      .arg(settings->From)
                                      .arg(settings->To)
                                      .arg(QString::fromStdString(settings->Output))
                                : tr("Export stopped; nothing was left behind"),
                           15000);
}

void TForm5::Exit() {
  fPropertyGrid->FinishEditing();
  fHistory->Settle();
  if (!fHistory->IsClean()) {
    if (!MaySetAside(tr("closing"))) return;
  } else if (!fSys->Layers.empty() &&
             !fOptions.Dialogs->Confirm(this, QStringLiteral("Are you sure ?"), QStringLiteral("Alert"))) {
    return;
  }
  fCloseApproved = true;
  if (!close()) fCloseApproved = false;
}

void TForm5::closeEvent(QCloseEvent* Event) {
  if (!fCloseApproved && !MaySetAside(tr("closing"))) {
    Event->ignore();
    return;
  }
  fCloseApproved = false;
  if (fSettings) {
    fSettings->setValue(QStringLiteral("window/geometry"), saveGeometry());
    fSettings->setValue(QStringLiteral("window/splits"), fSplitter->saveState());
    fSettings->sync();
  }
  // A clean exit leaves no recovery file behind (changes discarded on purpose included).
  if (fRecovery) fRecovery->Remove();
  for (const std::filesystem::path& f : fAdoptedRecovery) {
    std::error_code ignored;
    std::filesystem::remove(f, ignored);
  }
  fAdoptedRecovery.clear();
  Event->accept();
}

void TForm5::UpdateFileActions() { fSave->setEnabled(!fHistory->FileName().empty()); }

// ---- history ------------------------------------------------------------------------------

void TForm5::HistoryChanged() {
  fEdit->Update();
  UpdateTitle();
  UpdateFileActions();
  PollRecovery();
}

void TForm5::UpdateTitle() {
  const bool modified = !fHistory->IsClean();
  if (fHistory->FileName().empty() && !modified) {
    setWindowTitle(kAppTitle);
    return;
  }
  setWindowTitle(QStringLiteral("%1%2 - %3").arg(DocumentTitle(), modified ? QStringLiteral("*") : QString(), kAppTitle));
}

void TForm5::ApplyHistory(bool Undoing) {
  // An inline edit under way ends first, so it is a step of its own before the one taken back.
  fPropertyGrid->FinishEditing();
  WithLoading([&] {
    Recorded([&] {
      if (Undoing) {
        fHistory->Undo();
      } else {
        fHistory->Redo();
      }
    });
  });
  SetLastFrame(LastFrameFor(*fSys, LastFrame()));
  KeysChanged();
}

void TForm5::PollRecovery() {
  if (!fRecovery || fBusy > 0) return;
  fRecovery->Poll(!fHistory->IsClean(), fHistory->Changes(), [this] {
    // The page's own text: test data is never part of it.
    std::string text;
    fTestData->WithoutTestData([&] { text = fSys->ProjectText(); });
    return TRecoveryContent{fHistory->FileName(), fSys->ProjectFolder.string(), std::move(text)};
  });
}

void TForm5::OfferRecovery() {
  if (fOptions.RecoveryFolder.empty()) return;
  const long self = static_cast<long>(QCoreApplication::applicationPid());
  TRecoveryScan scan =
      ScanRecoveryFolder(fOptions.RecoveryFolder, [self](long Pid) { return Pid == self || ProcessRunning(Pid); });
  for (const std::string& line : scan.Damaged) statusBar()->showMessage(QString::fromStdString(line));
  if (scan.Offers.empty()) return;
  // The newest one; any others wait for the next start.
  const TRecoveryOffer& offer = scan.Offers.front();
  const QString document = offer.Content.FileName.empty()
                               ? tr("a new page")
                               : QString::fromStdString(offer.Content.FileName);
  const QString text = tr("QV closed without saving the changes to %1.\nRecovery file: %2\nRestore them?")
                           .arg(document, QString::fromStdString(offer.File.string()));
  if (!fOptions.Dialogs->OfferRecovery(this, text)) {
    std::error_code ignored;
    std::filesystem::remove(offer.File, ignored);
    return;
  }
  bool restored = false;
  WithLoading([&] {
    RecoverPage(*fHistory, offer.Content);
    restored = true;
  });
  SetLastFrame(LastFrameFor(*fSys, LastFrame()));
  fTree->FillTree();
  // Kept until the page is saved: a crash before that offers it again.
  if (restored) fAdoptedRecovery.push_back(offer.File);
  statusBar()->showMessage(tr("Restored the unsaved changes to %1").arg(document), 15000);
}

// ---- recent files -------------------------------------------------------------------------

void TForm5::AddRecent(const std::string& FileName) {
  const QString absolute = QFileInfo(QString::fromStdString(FileName)).absoluteFilePath();
  fRecent.removeAll(absolute);
  fRecent.prepend(absolute);
  while (fRecent.size() > kRecentFiles) fRecent.removeLast();
  if (fSettings) {
    fSettings->setValue(QStringLiteral("recentFiles"), fRecent);
    fSettings->sync();
  }
  FillRecentMenu();
}

void TForm5::FillRecentMenu() {
  fRecentMenu->clear();
  for (int i = 0; i < fRecent.size(); ++i) {
    const QString file = fRecent.at(i);
    QAction* a = fRecentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
    a->setToolTip(file);
    a->setData(file);
    connect(a, &QAction::triggered, this, [this, file] { OpenRecent(file); });
  }
  fRecentMenu->setEnabled(!fRecent.isEmpty());
}

void TForm5::OpenRecent(const QString& FileName) {
  if (fBusy > 0 || !MaySetAside(tr("opening another project"))) return;
  if (!QFileInfo::exists(FileName)) {
    fRecent.removeAll(FileName);
    if (fSettings) fSettings->setValue(QStringLiteral("recentFiles"), fRecent);
    FillRecentMenu();
    fOptions.Dialogs->Warn(this, tr("Open Recent"), tr("%1 is no longer there.").arg(FileName));
    return;
  }
  OpenProjectFile(FileName);
}

}  // namespace qv

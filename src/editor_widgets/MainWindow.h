#pragma once
// The editor's only window (TForm5): the toolbar panel with the layer commands and the two
// alignment bars, the work area over its checkerboard (1:1 while the page fits, zoomable, with
// safe areas and snapping), the object list and the property grid on the right, the time ruler
// below, the dockable Data panel; the File, Edit, Layer, Arrange and View menus; the render loop.
#include "composition/QvSystem.h"
#include "editor_logic/Arrange.h"
#include "editor_logic/Checkerboard.h"
#include "editor_logic/Commands.h"
#include "editor_logic/Drops.h"
#include "editor_logic/TestData.h"
#include "editor_logic/WorkAreaView.h"
#include "editor_widgets/EditorDialogs.h"
#include "editor_widgets/HistoryActions.h"
#include "editor_logic/MediaProblems.h"
#include "editor_logic/KeyCommands.h"
#include "editor_logic/RenderLoop.h"
#include "editor_logic/Transport.h"
#include "grid/Cells.h"
#include "history/History.h"
#include "history/PageCommands.h"
#include "history/Recovery.h"
#include "platform/QtCanvas.h"
#include "platform/QtRichEdit.h"
#include "platform/QtTextRenderer.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QKeyEvent;
class QActionGroup;
class QLabel;
class QMenu;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QScrollArea;
class QSettings;
class QSplitter;
class QToolBar;

namespace qv {

class TLayerTimeline;
class TDataPanel;
class TObjectEditor;
class TObjectList;
class TTimeRuler;
class TWorkArea;

struct TEditorOptions {
  // Where "grid.png" is kept, the first that can hold it (the executable's folder, then the
  // user's cache folder).
  std::vector<std::filesystem::path> GridFolders;
  // The questions the window asks; none: Qt's dialogs.
  std::unique_ptr<TEditorDialogs> Dialogs;
  // The questions the property grid's cells ask; none: Qt's menus and dialogs.
  std::unique_ptr<TGridDialogs> GridDialogs;
  // The millisecond tick count the render loop and the composition go by; none: the machine's
  // monotonic clock. Not owned; it must outlive the window.
  TTickSource* Ticks = nullptr;
  // The steady clock playback goes by; none: the machine's. Not owned.
  video::TPaceClock* PlayClock = nullptr;
  // Where the recovery files of unsaved pages are written and looked for at start-up (the user's
  // data folder); empty: none are.
  std::filesystem::path RecoveryFolder;
  // The settings file that keeps the recent files, the window's size and its panel splits, the
  // Data panel's values and the safe areas' toggle (an INI file); empty: nothing is kept.
  QString SettingsFile;
};

class TForm5 final : public QMainWindow {
 public:
  explicit TForm5(TEditorOptions Options, QWidget* Parent = nullptr);
  ~TForm5() override;

  TQVSystem& Composition() { return *fSys; }
  TWorkArea& WorkArea() { return *fWorkArea; }
  TObjectList& ObjectList() { return *fTree; }
  TObjectEditor& Grid() { return *fPropertyGrid; }
  // The document's history: every change of the page, undone and redone by the Edit menu.
  THistory& History() { return *fHistory; }
  QAction* UndoAction() const { return fEdit->Undo(); }
  QAction* RedoAction() const { return fEdit->Redo(); }
  TTimeRuler& Ruler() { return *fRuler; }
  QLineEdit& RulerField() { return *fRulerField; }
  const TCheckerboard& Checkerboard() const { return fCheckerboard; }
  const std::filesystem::path& CheckerboardFile() const { return fCheckerboard.File; }
  const std::string& ProjectFileName() const { return fHistory->FileName(); }
  // The last frame of the page's range: the ruler's end mark.
  std::int32_t LastFrame() const;
  // Opens a project as "Open Project" does once a name is chosen (asking nothing about unsaved
  // changes); answers whether it opened without error (an error is told in one message).
  bool OpenProjectFile(const QString& FileName);
  // At start-up: offers the newest page left unsaved by an editor that is no longer running (its
  // recovery file), and tells of damaged recovery files in the status bar, one line each.
  void OfferRecovery();
  // Hands the page to the recovery writer when a write is due (the history's changes and a timer
  // call it).
  void PollRecovery();
  TRecoveryWriter* Recovery() const { return fRecovery.get(); }
  // The recent files, newest first (at most eight), as the File menu's "Open Recent" lists them.
  QStringList RecentFiles() const { return fRecent; }
  QMenu* RecentMenu() const { return fRecentMenu; }
  // Draws a frame now if one is due (the timer does this by itself).
  void RenderStep();
  // Whether the render loop waits for something to change (no timer running).
  bool Idle() const { return !fFrameTimer.isActive(); }

  // The commands, as the toolbar and menus call them.
  QAction* InsertAction(TLayerKind Kind) const { return fInsert[std::size_t(Kind)]; }
  QAction* BringToFrontAction() const { return fBringToFront; }
  QAction* SendToBackAction() const { return fSendToBack; }
  QAction* AlignAction(int Index) const { return fAlign[std::size_t(Index)]; }  // 17..22 as 0..5
  QAction* NewPageAction() const { return fNewPage; }
  QAction* OpenAction() const { return fOpen; }
  QAction* SaveAction() const { return fSave; }
  QAction* SaveAsAction() const { return fSaveAs; }
  QAction* ExportAction() const { return fExport; }
  QAction* ExitAction() const { return fExit; }
  QAction* SafeAreasAction() const { return fSafeAreas; }
  QAction* ZoomFitAction() const { return fZoomFit; }
  // 50, 100 or 200 %.
  QAction* ZoomAction(int Percent) const;
  QAction* ZoomInAction() const { return fZoomIn; }
  QAction* ZoomOutAction() const { return fZoomOut; }
  QAction* ArrangeAction(TArrangeEdge Edge) const { return fArrange[std::size_t(Edge)]; }
  // Checked: Arrange lines layers up with the graphics-safe frame; otherwise with the page.
  QAction* ArrangeToSafeAreaAction() const { return fArrangeToSafe; }

  // How the work area shows the page.
  const TWorkAreaView& View() const { return fView; }
  TDataPanel& DataPanel() { return *fDataPanel; }
  TTestData& TestData() { return *fTestData; }
  // Makes the layers of dropped files and opens dropped projects, as a drop on the work area at
  // At does.
  void DropFiles(const std::vector<TDropItem>& Items, TPagePoint At);

  // Playback and keys.
  TTransport& Transport() { return fTransport; }
  TLayerTimeline& Timeline() { return *fTimeline; }
  enum class TPlayAction : std::uint8_t {
    paPlayPause, paStop, paLoop, paReverse, paHold, paForward, paStepBack, paStepForward, paStart, paEnd, paCount
  };
  QAction* PlayAction(TPlayAction A) const { return fPlayActions[std::size_t(A)]; }
  enum class TKeyAction : std::uint8_t {
    kaAdd, kaDelete, kaPrevious, kaNext, kaClear, kaEase, kaAutoKeys, kaCount
  };
  QAction* KeyAction(TKeyAction A) const { return fKeyActions[std::size_t(A)]; }
  // The out-of-range modes, in the file's order.
  const std::vector<QAction*>& OutOfRangeActions() const { return fOutOfRange; }
  // What the status bar says of playback ("Playing 2x", the drops).
  QString PlayStatus() const;
  // The key commands on the grid row or timeline track they were asked for: its property (a
  // layer, a group, a value), or the selected layer when none is given.
  void SetKeyRow(TBaseProperty* Row) { fKeyRow = Row; }
  // The context menu of a grid row or a track: the key commands on Row.
  QMenu* KeyMenu(TBaseProperty* Row);
  // A step of the history, done as it is taken (THistory::Do); none: the status bar says that
  // nothing changed.
  void TakeStep(std::unique_ptr<TStep> Step);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  // Closing the window asks about unsaved changes (Save, Discard, Cancel); a closed window keeps
  // its size and splits and removes its recovery file.
  void closeEvent(QCloseEvent* Event) override;

 private:
  // The key commands of the Keys menu and of the rows' context menus, into Menu; answers its
  // "Out of Range" submenu, still empty.
  QMenu* AddKeyItems(QMenu* Menu);
  void BuildActions();
  void BuildLayout();
  void Insert(TLayerKind Kind);
  void NewPage();
  void OpenProject();
  // The page's size changed: the work area, its scale and the checkerboard follow.
  void PageSizeChanged();
  // Puts the view's zoom and scroll on the work area and its scroll bars.
  void ApplyView();
  // The view as the scroll bars have it now (the user may have scrolled).
  void SyncViewScroll();
  void ZoomTo(TZoom Zoom);
  // Saves the page with its test data withdrawn.
  void SaveWithoutTestData(const std::string& FileName);
  // Runs what records a step of the history (or takes one back) with the test data withdrawn, so
  // that no step ever holds a test value.
  void Recorded(const std::function<void()>& Work);
  void Save();
  void SaveAs();
  // File > Export: a range of frames as numbered pictures or a video file, from the page as it
  // stands, with progress and Cancel (which leaves no partial output).
  void Export();
  void Exit();
  // Save when the document has a file, Save As otherwise; answers whether it was saved.
  bool SaveDocument();
  // The document may be set aside for Action ("closing"): true when it has no unsaved changes or
  // the user saved or discarded them, false when the user cancelled (or the save failed).
  bool MaySetAside(const QString& Action);
  // The document's name as the title and the questions show it.
  QString DocumentTitle() const;
  void Saved(const std::string& FileName);
  void HistoryChanged();
  void UpdateTitle();
  void ApplyHistory(bool Undoing);
  void AddRecent(const std::string& FileName);
  void FillRecentMenu();
  void OpenRecent(const QString& FileName);
  void UpdateFileActions();
  void LayersChanged();
  void LayerSelected();
  void SetFrame(std::int32_t Frame);
  void SetLastFrame(std::int32_t Frame);
  // Something on the page may look different: a frame is drawn as soon as one is due.
  void RequestFrame();
  void SubscribeLayers();
  // Runs Work with media problems collected and sequences' progress shown; tells the problems
  // once at the end.
  void WithLoading(const std::function<void()>& Work);
  void ShowLoadProgress(std::size_t Loaded, std::size_t Found);
  void ReportMedia(const std::string& Message);
  bool KeyGoesToPage(QObject* Watched, QKeyEvent* Key) const;
  void BuildPlayActions();
  void BuildKeyActions();
  // The transport moved the frame: the ruler follows (and keeps the playhead in view), the page
  // takes the frame; a scrub of the ruler stops playback instead.
  void TransportChanged();
  void KeepPlayheadInView();
  // The ruler's end mark at the Duration, its scale fitted to the longer of the Duration and the
  // image sequences.
  void UpdateTimeRange(bool Fit);
  std::vector<TBaseProperty*> KeyRowTargets() const;
  // The keys changed (a key command, undo or redo): the timeline, the grid's key marks and the
  // curve watch follow.
  void KeysChanged();
  void SetAutoKeys(bool On);

  // What the composition reaches the platform through; made before it and freed after it.
  TQtTextRenderer fTextRenderer;
  TQtRichEdit fRichEdit;  // the shared rich-text engine of text and crawl layers
  TQtCanvasFactory fCanvases;
  TSteadyTickSource fSteadyTicks;
  TTickSource& fMachineTicks;
  TEditorTicks fTicks{fMachineTicks};
  TSystemTimeOfDay fTimeOfDay;
  // The one animation registry and the one undo engine of the editor's page.
  TAnimationManager fAnimations;
  TUndoEngine fUndoEngine{TUndoEngine::kStandardCapacity};
  std::unique_ptr<TQVSystem> fSys;
  // The page's test data; made before the window's own hooks, so that it lets go of a deleted
  // layer before they run.
  std::unique_ptr<TTestData> fTestData;
  // The history of the page (it watches the engine above) and the work area's drags and keys as
  // its steps; made after the page and freed before it.
  std::unique_ptr<THistory> fHistory;
  std::unique_ptr<TWorkAreaRecorder> fRecorder;
  std::optional<TEdit> fGridEdit;  // the grid's gesture under way
  std::vector<TConnection> fHooks;
  TWorkAreaView fView;
  bool fApplyingView = false;
  bool fDataStale = false;  // the stack changed during a load: the test data applies at its end

  TEditorOptions fOptions;
  TCheckerboard fCheckerboard;
  TFramePacer fPacer;
  QTimer fFrameTimer;
  bool fRendering = false;
  bool fNamesStale = false;
  int fBusy = 0;                 // loads in progress: the page is not drawn or touched
  TMediaProblems fMediaProblems;
  bool fCollectMedia = false;
  QProgressDialog* fProgress = nullptr;
  QElapsedTimer fLoadClock;
  bool fTreeStale = false;
  std::unique_ptr<TRecoveryWriter> fRecovery;
  // Recovery files of a crashed editor whose page was restored: removed once the page is saved.
  std::vector<std::filesystem::path> fAdoptedRecovery;
  QTimer fRecoveryTimer;
  std::unique_ptr<QSettings> fSettings;
  QStringList fRecent;
  QMenu* fRecentMenu = nullptr;
  bool fCloseApproved = false;  // Exit asked already

  TWorkArea* fWorkArea = nullptr;
  TObjectList* fTree = nullptr;
  QWidget* fWorkPanel = nullptr;  // the work area's panel
  QScrollArea* fWorkScroll = nullptr;  // scrolls a page larger than the panel
  QWidget* fWorkHolder = nullptr;  // the work area with its margins
  QLabel* fZoomLabel = nullptr;
  TDataPanel* fDataPanel = nullptr;
  QWidget* fGridPanel = nullptr;  // where the property grid goes
  TObjectEditor* fPropertyGrid = nullptr;  // the Object Editor
  QSplitter* fSplitter = nullptr;          // between the object list and the grid
  std::unique_ptr<THistoryActions> fEdit;  // Undo and Redo
  // Every command that touches the page; disabled as one while a load holds the page.
  QActionGroup* fCommands = nullptr;
  QWidget* fRulerPanel = nullptr; // Panel3: the time ruler's place
  TTimeRuler* fRuler = nullptr;
  QLineEdit* fRulerField = nullptr;  // the ruler's frame as MM:SS:FF; Enter moves the playhead
  std::array<QAction*, 5> fInsert{};
  QAction* fBringToFront = nullptr;
  QAction* fSendToBack = nullptr;
  std::array<QAction*, 6> fAlign{};
  QAction* fNewPage = nullptr;
  QAction* fOpen = nullptr;
  QAction* fSave = nullptr;
  QAction* fSaveAs = nullptr;
  QAction* fExport = nullptr;
  QAction* fExit = nullptr;
  QAction* fSafeAreas = nullptr;
  QAction* fZoomFit = nullptr;
  std::array<QAction*, 3> fZoom{};  // 50, 100, 200 %
  QAction* fZoomIn = nullptr;
  QAction* fZoomOut = nullptr;
  std::array<QAction*, 6> fArrange{};
  QAction* fArrangeToSafe = nullptr;
  QMenu* fViewMenu = nullptr;

  video::TSteadyPaceClock fSteadyPaceClock;
  TTransport fTransport;
  bool fFollowing = false;  // the ruler is being moved to the transport's frame
  bool fShownPlaying = false;  // what the Play button shows
  std::array<QAction*, std::size_t(TPlayAction::paCount)> fPlayActions{};
  std::array<QAction*, std::size_t(TKeyAction::kaCount)> fKeyActions{};
  std::vector<QAction*> fOutOfRange;
  QLabel* fPlayStatus = nullptr;
  TLayerTimeline* fTimeline = nullptr;
  TBaseProperty* fKeyRow = nullptr;
  TCurveWatch fCurveWatch;
};

// The composition's virtual-key code of a Qt key; 0 for keys it has no code for.
std::uint16_t VirtualKeyOf(int QtKey);

}  // namespace qv

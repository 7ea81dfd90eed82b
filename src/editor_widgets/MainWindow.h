#pragma once
// The editor's only window (TForm5): the toolbar panel with the layer commands and the two
// alignment bars, the work area at 1:1 over its checkerboard, the object list and the property
// grid on the right, the time ruler below; the File menu; the render loop.
#include "composition/QvSystem.h"
#include "editor_logic/Checkerboard.h"
#include "editor_logic/Commands.h"
#include "editor_widgets/EditorDialogs.h"
#include "editor_logic/MediaProblems.h"
#include "editor_logic/KeyCommands.h"
#include "editor_logic/RenderLoop.h"
#include "editor_logic/Transport.h"
#include "grid/Cells.h"
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
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QKeyEvent;
class QActionGroup;
class QLabel;
class QMenu;
class QLineEdit;
class QProgressDialog;
class QToolBar;

namespace qv {

class TLayerTimeline;
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
};

class TForm5 final : public QMainWindow {
 public:
  explicit TForm5(TEditorOptions Options, QWidget* Parent = nullptr);
  ~TForm5() override;

  TQVSystem& Composition() { return *fSys; }
  TWorkArea& WorkArea() { return *fWorkArea; }
  TObjectList& ObjectList() { return *fTree; }
  TObjectEditor& Grid() { return *fPropertyGrid; }
  QAction* UndoAction() const { return fUndo; }
  TTimeRuler& Ruler() { return *fRuler; }
  QLineEdit& RulerField() { return *fRulerField; }
  const TCheckerboard& Checkerboard() const { return fCheckerboard; }
  const std::filesystem::path& CheckerboardFile() const { return fCheckerboard.File; }
  const std::string& ProjectFileName() const { return fFileName; }
  // The last frame of the page's range: the ruler's end mark.
  std::int32_t LastFrame() const;
  // Opens a project as "Open Project" does once a name is chosen; answers whether it opened
  // without error (an error is told in one message).
  bool OpenProjectFile(const QString& FileName);
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
  // A step for the page's history (done as it is taken).
  void TakeStep(std::unique_ptr<TEditStep> Step);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildActions();
  void BuildLayout();
  void Insert(TLayerKind Kind);
  void NewPage();
  void OpenProject();
  // The page's size changed: the work area, its scale and the checkerboard follow.
  void PageSizeChanged();
  // Shows the page whole in its panel: 1:1 when it fits, smaller when it does not.
  void FitPage();
  void Save();
  void SaveAs();
  // File > Export: a range of frames as numbered pictures or a video file, from the page as it
  // stands, with progress and Cancel (which leaves no partial output).
  void Export();
  void Exit();
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
  void KeysChanged();
  void GestureStart();
  void GestureEnd(const QString& Name);
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
  std::vector<TConnection> fHooks;

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
  std::string fFileName;

  TWorkArea* fWorkArea = nullptr;
  TObjectList* fTree = nullptr;
  QWidget* fWorkPanel = nullptr;  // the work area's panel, which it is centred in
  QWidget* fGridPanel = nullptr;  // where the property grid goes
  TObjectEditor* fPropertyGrid = nullptr;  // the Object Editor
  QAction* fUndo = nullptr;
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
  TPropertyGesture fGesture;
  TCurveWatch fCurveWatch;
};

// The composition's virtual-key code of a Qt key; 0 for keys it has no code for.
std::uint16_t VirtualKeyOf(int QtKey);

}  // namespace qv

#pragma once
// The property grid: the members of one container (a layer or the composition) as rows of an
// expander column, a title and a value. The rows model (grid/GridRows.h) says which rows there
// are, where they lie and what a point hits; each property's cell draws its row and edits its
// value. This widget only paints the model and forwards the mouse. It knows no layer kind.
//
// Integration: construct it with its parent panel (and, for scripted use, the dialogs that answer
// the cells' questions), then either call Follow(&system) once (it then shows the selected
// layer, or the composition when none is selected, and rebuilds when the selection or the layer
// stack changes), or call SetAObject yourself from onSelectItem.
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grid/Cells.h"
#include "grid/GridRows.h"
#include "model/Signal.h"

class QLineEdit;

namespace qv {

class TContainerObject;
class TQVSystem;

enum TMouseEventType { metNone, metValueDraw, metKeysSelect, metKeysSelectRect, metLayersSelectRect };

class TObjectEditor : public QWidget, public TCellHost {
  Q_OBJECT
 public:
  static constexpr int kRowHeight = TGridRows::kRowHeight;
  static constexpr int kHeaderHeight = TGridRows::kHeaderHeight;
  static constexpr int kIndent = TGridRows::kIndent;

  // Dialogs answer the cells' menus and dialogs; none: Qt's (MakeQtGridDialogs).
  explicit TObjectEditor(QWidget* Parent = nullptr, std::unique_ptr<TGridDialogs> Dialogs = nullptr);
  ~TObjectEditor() override;

  // Shows Value's rows (none for none); called with the shown object it rebuilds every row.
  void SetAObject(TContainerObject* Value);
  TContainerObject* AObject() const { return fObj; }
  // Shows System's selected layer (or System itself) and follows its selection and layer stack.
  void Follow(TQVSystem* System);

  // The rows as data.
  const TGridRows& Model() const { return fRows; }
  const std::vector<TNodeData2>& Rows() const { return fRows.Rows(); }
  // Opens or closes a row with children, as a click on its expander does.
  void SetExpanded(int Row, bool E);
  // The state of the mouse gesture: metValueDraw from a press on a value to its release.
  TMouseEventType Gesture() const { return MouseIndex; }
  // The property of the row under a point (the shown object off the rows).
  TBaseProperty* PropertyAt(const QPoint& At) const;
  // Animated rows carry a key mark in the first column, filled when a key sits on Frame.
  void SetKeyFrame(int Frame);
  int KeyFrame() const { return fKeyFrame; }
  // The inline editor or timecode field that is open, if any.
  QLineEdit* InlineEditor() const { return fEditor; }
  // Ends an inline edit under way as a loss of focus does (its text applied).
  void FinishEditing() { CloseEditor(); }

  // Told around every change the cells may make: EditBegins with the row's property before a
  // press on a value reaches its cell, EditEnds once that gesture is over (at the release, or when
  // the inline editor or timecode field it opened closes). The editor records its history's steps
  // between the two.
  std::function<void(TBaseProperty* Property)> OnEditBegins;
  std::function<void()> OnEditEnds;

  // TCellHost
  int TextWidth(const std::string& Text, bool Underline) override;
  TGridDialogs& Dialogs() override { return *fDialogs; }
  void OpenInlineEditor(const TCellRect& R, const std::string& Text, TInlineEditSink* Sink) override;
  // The timecode field (TEDit) for timecode cells.
  void OpenTimecodeEditor(const TCellRect& R, std::int32_t Milliseconds, TInlineEditSink* Sink) override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  void FreeRows();
  void CloseEditor();
  void EndEdit();
  void FollowSelection();
  void FitContent();
  void ShowCursor(TCellCursor Cursor);
  // Makes Ed the open editor of the row at R (grey, borderless), answering to Sink.
  void PlaceEditor(QLineEdit* Ed, const TCellRect& R, TInlineEditSink* Sink);

  TContainerObject* fObj = nullptr;
  TGridRows fRows;
  std::unique_ptr<TGridDialogs> fDialogs;
  TMouseEventType MouseIndex = metNone;
  TBaseProperty* MouseProp = nullptr;
  int MouseData = -1;  // the row of the running press
  TCellCursor fCursor = TCellCursor::crDefault;
  // Widths measured lately: hovering asks for the same few texts on every move.
  struct TMeasured {
    std::string Text;
    bool Underline = false;
    int Width = -1;
  };
  TMeasured fMeasured[8];
  int fNextMeasured = 0;
  QLineEdit* fEditor = nullptr;
  TInlineEditSink* fEditorSink = nullptr;
  bool fEditing = false;  // between OnEditBegins and OnEditEnds
  TQVSystem* fSystem = nullptr;
  TConnection fSelectConn, fLayersConn;
  int fKeyFrame = 0;
};

// Qt's popup menu, colour (with the alpha channel for colours that have one), file and font
// dialogs and message box, placed over Grid.
std::unique_ptr<TGridDialogs> MakeQtGridDialogs(QWidget* Grid);

// A filter of "description|patterns" pairs ("Image Files|*.tga;*.png") as Qt's file dialogs take
// it ("Image Files (*.tga *.png)", one filter per pair).
QString QtFileFilter(const std::string& Filter);

}  // namespace qv

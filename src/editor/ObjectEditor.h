#pragma once
// The property grid: the members of one container (a layer or the composition) as rows of an
// expander column, a title and a value. Each property's cell draws its row and edits its value;
// the grid only finds rows and columns and forwards the mouse. It knows no layer kind.
//
// Integration: construct it with its parent panel, then either call Follow(&system) once (it
// then shows the selected layer, or the composition when none is selected, and rebuilds when
// the selection or the layer stack changes), or call SetAObject yourself from onSelectItem.
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "model/Cells.h"
#include "model/Signal.h"

class QLineEdit;

namespace qv {

class TContainerObject;
class TCustomContainerObject;
class TQVSystem;

enum TMouseEventType { metNone, metValueDraw, metKeysSelect, metKeysSelectRect, metLayersSelectRect };

// One row of the grid.
struct TNodeData2 {
  std::string Caption;
  std::int32_t Level = 1;
  TCustomContainerObject* Obj = nullptr;
  TBaseProperty* prop = nullptr;
  std::string propertyName;
  std::int32_t TextLeft = 0, TextRight = 0;
  std::int32_t ValueLeft = 0;
  std::unique_ptr<TCell> data;
  int Parent = -1;          // index of the parent row, -1 at the top
  bool HasChildren = false;
  bool Expanded = false;
  std::weak_ptr<const void> Alive;  // the property's lifetime
};

class TObjectEditor : public QWidget, public TCellHost {
  Q_OBJECT
 public:
  static constexpr int kRowHeight = 17;
  static constexpr int kHeaderHeight = 23;
  static constexpr int kIndent = 10;

  explicit TObjectEditor(QWidget* Parent = nullptr);
  ~TObjectEditor() override;

  // Shows Value's rows (none for none); called with the shown object it rebuilds every row.
  void SetAObject(TContainerObject* Value);
  TContainerObject* AObject() const { return fObj; }
  // Shows System's selected layer (or System itself) and follows its selection and layer stack.
  void Follow(TQVSystem* System);

  // Answers for tests and scripted use: when set, they replace the menu and the dialog.
  std::function<std::optional<int>(const std::vector<std::string>& Items, int Checked)> MenuAnswer;
  std::function<std::optional<std::uint32_t>(std::uint32_t Initial)> ColorAnswer;
  std::function<std::optional<std::string>(const std::string& Filter, bool Folder)> FileAnswer;
  std::function<std::optional<TFontChoice>(const TFontChoice& Initial)> FontAnswer;

  // Inspection.
  const std::vector<TNodeData2>& Rows() const { return fRows; }
  std::vector<int> VisibleRows() const;
  int RowAt(int Y) const;            // index into Rows(), -1 for none
  int RowTop(int Row) const;         // grid y of a visible row, -1 when hidden
  void SetExpanded(int Row, bool E);
  int ColumnLeft(int Column) const;  // 0, 32, 172
  QLineEdit* InlineEditor() const { return fEditor; }
  TMouseEventType MouseIndex = metNone;
  TBaseProperty* MouseProp = nullptr;

  // TCellHost
  void OpenInlineEditor(const TCellRect& R, const std::string& Text, TInlineEditSink* Sink) override;
  // The timecode field (TEDit) for timecode cells.
  void OpenTimecodeEditor(const TCellRect& R, std::int32_t Milliseconds, TInlineEditSink* Sink) override;
  std::optional<int> PopupMenu(int X, int Y, const std::vector<std::string>& Items, int Checked) override;
  std::optional<std::uint32_t> ColorDialog(std::uint32_t Initial) override;
  std::optional<std::string> FileDialog(const std::string& Filter, bool Folder) override;
  std::optional<TFontChoice> FontDialog(const TFontChoice& Initial) override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  void Build(TCustomContainerObject* C, int Level, int Parent);
  void FreeRows();
  void CloseEditor();
  void FollowSelection();

  TContainerObject* fObj = nullptr;
  std::vector<TNodeData2> fRows;
  void FitContent();
  // Makes Ed the open editor of the row at R (grey, borderless), answering to Sink.
  void PlaceEditor(QLineEdit* Ed, const TCellRect& R, TInlineEditSink* Sink);
  int MouseData = -1;
  QLineEdit* fEditor = nullptr;
  TInlineEditSink* fEditorSink = nullptr;
  TQVSystem* fSystem = nullptr;
  TConnection fSelectConn, fLayersConn;
};

}  // namespace qv

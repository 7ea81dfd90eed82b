#pragma once
// The Edit menu's Undo and Redo: Ctrl+Z undoes the newest step of the document's history,
// Ctrl+Shift+Z and Ctrl+Y redo; each names its step ("Undo Move logo", "Redo Delete strap") and is
// enabled only while there is one.
//
// Integration: THistoryActions edit(window, history); menu->addAction(edit.Undo()); add both to the
// window too (addAction) so the keys work wherever the focus is; a focused text field keeps
// Ctrl+Z for its own text. Call Update() whenever the history changed.
#include <QAction>

#include <functional>

namespace qv {

class THistory;

class THistoryActions {
 public:
  // The history must outlive the actions' use.
  THistoryActions(QObject* Parent, THistory& History);
  QAction* Undo() const { return fUndo; }
  QAction* Redo() const { return fRedo; }
  // Texts and enabled states as the history stands.
  void Update();
  // Runs a triggered action (Undoing: true for Undo); none: the history's own Undo and Redo. The
  // window closes open edits and shows loading around it.
  std::function<void(bool Undoing)> Apply;

 private:
  THistory& fHistory;
  QAction* fUndo;
  QAction* fRedo;
};

}  // namespace qv

#pragma once
// The "Undo" command: Ctrl+Z (the platform's undo keys) pops the newest undo element. The action
// is enabled only while there is something to undo and follows every change of the stack.
//
// Integration: QAction* undo = MakeUndoAction(mainWindow); editMenu->addAction(undo);
// mainWindow->addAction(undo) makes the shortcut work wherever the focus is in the window; a
// focused text field keeps Ctrl+Z for its own text.
#include <QAction>

namespace qv {

class TUndoEngine;

// Takes over the engine's OnChanged while the action lives (the page's engine has this one
// listener). The engine must outlive the action.
QAction* MakeUndoAction(QObject* Parent, TUndoEngine& Engine);

}  // namespace qv

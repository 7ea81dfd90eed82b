#include "editor_widgets/UndoAction.h"

#include <QKeySequence>

#include "model/UndoEngine.h"

namespace qv {

QAction* MakeUndoAction(QObject* Parent, TUndoEngine& Engine) {
  TUndoEngine* engine = &Engine;
  auto* a = new QAction(QObject::tr("Undo"), Parent);
  a->setShortcut(QKeySequence::Undo);
  a->setEnabled(engine->Count() > 0);
  engine->OnChanged = [a](TUndoEngine* E) { a->setEnabled(E->Count() > 0); };
  QObject::connect(a, &QAction::triggered, a, [engine] { engine->PopUndoAction(); });
  QObject::connect(a, &QObject::destroyed, [engine] { engine->OnChanged = nullptr; });
  return a;
}

}  // namespace qv

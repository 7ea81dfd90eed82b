#include "editor_widgets/HistoryActions.h"

#include "history/History.h"

#include <QKeySequence>

namespace qv {

THistoryActions::THistoryActions(QObject* Parent, THistory& History)
    : fHistory(History), fUndo(new QAction(QObject::tr("Undo"), Parent)), fRedo(new QAction(QObject::tr("Redo"), Parent)) {
  fUndo->setShortcut(QKeySequence::Undo);
  fRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  QObject::connect(fUndo, &QAction::triggered, fUndo, [this] {
    if (Apply) {
      Apply(true);
    } else {
      fHistory.Undo();
    }
  });
  QObject::connect(fRedo, &QAction::triggered, fRedo, [this] {
    if (Apply) {
      Apply(false);
    } else {
      fHistory.Redo();
    }
  });
  Update();
}

void THistoryActions::Update() {
  const std::string undo = fHistory.UndoName();
  const std::string redo = fHistory.RedoName();
  fUndo->setText(undo.empty() ? QObject::tr("Undo") : QObject::tr("Undo %1").arg(QString::fromStdString(undo)));
  fRedo->setText(redo.empty() ? QObject::tr("Redo") : QObject::tr("Redo %1").arg(QString::fromStdString(redo)));
  fUndo->setEnabled(fHistory.CanUndo());
  fRedo->setEnabled(fHistory.CanRedo());
}

}  // namespace qv

#pragma once
// The object list: the composition as the root row and one row per layer under it, with the
// layer's kind as a 20 × 20 icon. Choosing a row selects its layer; the root row clears the
// selection. Files dropped on it make layers as on the work area (at the page's top-left corner).
#include "composition/QvSystem.h"
#include "editor_logic/Drops.h"

#include <QTreeWidget>

#include <functional>
#include <vector>

namespace qv {

class TObjectList final : public QTreeWidget {
 public:
  TObjectList(TQVSystem& Sys, QWidget* Parent);
  // Rebuilds every row from the composition's stack.
  void FillTree();
  // Shows the composition's selection as the chosen row, without selecting anything in turn.
  void ShowSelection();
  // Brings each row's text up to date with its layer's name.
  void RefreshNames();
  // The layer or composition on a row.
  static TContainerObject* ObjectOf(const QTreeWidgetItem* Item);

  // Files dropped on the list, and why some are not taken (as the work area's).
  std::function<void(const std::vector<TDropItem>& Items)> OnDrop;
  std::function<void(const QString& Why)> OnRefused;

 protected:
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  void TreeChange();

  TQVSystem& fSys;
  bool fFilling = false;
};

}  // namespace qv

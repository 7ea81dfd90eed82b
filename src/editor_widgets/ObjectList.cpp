#include "editor_widgets/ObjectList.h"

#include "editor_logic/ObjectListRows.h"
#include "editor_widgets/WorkAreaWidget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QIcon>

#include <array>

namespace qv {

namespace {

constexpr int kObjectRole = Qt::UserRole + 1;

const QIcon& KindIcon(int IconIndex) {
  static const std::array<QIcon, 5> icons = {
      QIcon(QStringLiteral(":/icons/insert-image.svg")), QIcon(QStringLiteral(":/icons/insert-sequence.svg")),
      QIcon(QStringLiteral(":/icons/insert-text.svg")), QIcon(QStringLiteral(":/icons/insert-roll.svg")),
      QIcon(QStringLiteral(":/icons/insert-clock.svg"))};
  static const QIcon page(QStringLiteral(":/icons/page.svg"));
  if (IconIndex < 0 || IconIndex >= int(icons.size())) return page;
  return icons[std::size_t(IconIndex)];
}

}  // namespace

TObjectList::TObjectList(TQVSystem& Sys, QWidget* Parent) : QTreeWidget(Parent), fSys(Sys) {
  setColumnCount(1);
  header()->hide();
  setIconSize(QSize(20, 20));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { TreeChange(); });
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);
}

void TObjectList::dragEnterEvent(QDragEnterEvent* Event) {
  const std::vector<TDropItem> items = ClassifyDrops(DroppedPaths(Event->mimeData()));
  if (AnyTaken(items)) {
    Event->acceptProposedAction();
    return;
  }
  Event->ignore();
  if (OnRefused) OnRefused(QString::fromStdString(RefusedMessage(items)));
}

void TObjectList::dragMoveEvent(QDragMoveEvent* Event) {
  if (AnyTaken(ClassifyDrops(DroppedPaths(Event->mimeData())))) {
    Event->acceptProposedAction();
  } else {
    Event->ignore();
  }
}

void TObjectList::dropEvent(QDropEvent* Event) {
  const std::vector<TDropItem> items = ClassifyDrops(DroppedPaths(Event->mimeData()));
  if (!AnyTaken(items)) {
    Event->ignore();
    if (OnRefused) OnRefused(QString::fromStdString(RefusedMessage(items)));
    return;
  }
  Event->acceptProposedAction();
  if (OnDrop) OnDrop(items);
  const std::string refused = RefusedMessage(items);
  if (!refused.empty() && OnRefused) OnRefused(QString::fromStdString(refused));
}

TContainerObject* TObjectList::ObjectOf(const QTreeWidgetItem* Item) {
  return Item == nullptr ? nullptr : static_cast<TContainerObject*>(Item->data(0, kObjectRole).value<void*>());
}

void TObjectList::FillTree() {
  fFilling = true;
  setUpdatesEnabled(false);
  clear();
  std::vector<QTreeWidgetItem*> parents;
  for (const TObjectRow& row : ObjectListRows(fSys)) {
    auto* item = row.Depth == 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parents[std::size_t(row.Depth - 1)]);
    item->setData(0, kObjectRole, QVariant::fromValue(static_cast<void*>(row.Object)));
    item->setText(0, row.Depth == 0 ? tr("Page") : QString::fromStdString(row.Text));
    item->setIcon(0, KindIcon(row.IconIndex));
    parents.resize(std::size_t(row.Depth));
    parents.push_back(item);
  }
  expandAll();
  setUpdatesEnabled(true);
  fFilling = false;
  ShowSelection();
}

void TObjectList::ShowSelection() {
  const TContainerObject* wanted = fSys._SelectedLayer();
  QTreeWidgetItem* match = nullptr;
  for (QTreeWidgetItemIterator it(this); *it != nullptr && wanted != nullptr; ++it) {
    if (ObjectOf(*it) == wanted) {
      match = *it;
      break;
    }
  }
  const bool was = fFilling;
  fFilling = true;
  if (match != nullptr) {
    setCurrentItem(match);
  } else {
    clearSelection();
  }
  fFilling = was;
}

void TObjectList::RefreshNames() {
  for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
    if (auto* layer = dynamic_cast<TLayer*>(ObjectOf(*it))) {
      const QString name = QString::fromStdString(layer->layerName());
      if ((*it)->text(0) != name) (*it)->setText(0, name);
    }
  }
}

void TObjectList::TreeChange() {
  if (fFilling) return;
  const QList<QTreeWidgetItem*> chosen = selectedItems();
  if (chosen.isEmpty()) return;
  TContainerObject* object = ObjectOf(chosen.front());
  if (object == &fSys) {
    fSys.SetSelectedLayer(nullptr);
  } else if (auto* layer = dynamic_cast<TLayer*>(object)) {
    fSys.SetSelectedLayer(layer);
  }
}

}  // namespace qv

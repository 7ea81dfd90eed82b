#include "editor/EditorDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace qv {

namespace {


class TQtEditorDialogs final : public TEditorDialogs {
 public:
  std::optional<QString> OpenFile(QWidget* Parent, const QString& Title, const QString& Filter) override {
    return Chosen(QFileDialog::getOpenFileName(Parent, Title, fLastFolder, Filter), false);
  }
  std::optional<QString> PickFolder(QWidget* Parent, const QString& Title) override {
    return Chosen(QFileDialog::getExistingDirectory(Parent, Title, fLastFolder), true);
  }
  std::optional<QString> SaveFile(QWidget* Parent, const QString& Title, const QString& Filter) override {
    return Chosen(QFileDialog::getSaveFileName(Parent, Title, fLastFolder, Filter), false);
  }
  bool Confirm(QWidget* Parent, const QString& Text, const QString& Caption) override {
    return QMessageBox::warning(Parent, Caption, Text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
           QMessageBox::Ok;
  }
  std::optional<int> ChooseItem(QWidget* Parent, const QString& Title, const QString& Label, const QStringList& Items,
                                int Current) override {
    bool ok = false;
    const QString chosen = QInputDialog::getItem(Parent, Title, Label, Items, Current, false, &ok);
    if (!ok) return std::nullopt;
    return int(Items.indexOf(chosen));
  }
  void Warn(QWidget* Parent, const QString& Caption, const QString& Text, const QString& Details) override {
    QMessageBox box(QMessageBox::Warning, Caption, Text, QMessageBox::Ok, Parent);
    if (!Details.isEmpty()) box.setDetailedText(Details);
    box.exec();
  }

 private:
  // The next dialog starts where the last one ended.
  std::optional<QString> Chosen(const QString& Name, bool IsFolder) {
    if (Name.isEmpty()) return std::nullopt;
    fLastFolder = IsFolder ? Name : QFileInfo(Name).absolutePath();
    return Name;
  }
  QString fLastFolder;
};

}  // namespace

std::unique_ptr<TEditorDialogs> MakeQtEditorDialogs() { return std::make_unique<TQtEditorDialogs>(); }

}  // namespace qv

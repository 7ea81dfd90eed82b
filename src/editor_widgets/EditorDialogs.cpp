#include "editor_widgets/EditorDialogs.h"
#include "base/FrameRate.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include <algorithm>

namespace qv {

namespace {


class TQtProgress final : public TProgress {
 public:
  TQtProgress(QWidget* Parent, const QString& Title) : fDialog(Title, QObject::tr("Cancel"), 0, 1, Parent) {
    fDialog.setWindowTitle(Title);
    fDialog.setWindowModality(Qt::WindowModal);
    fDialog.setMinimumDuration(300);
    fDialog.setAutoClose(false);
    fDialog.setAutoReset(false);
  }
  bool Update(int Done, int Total) override {
    fDialog.setMaximum(std::max(1, Total));
    fDialog.setValue(Done);  // a window-modal dialog lets events through here, Cancel among them
    fDialog.setLabelText(QObject::tr("Frame %1 of %2").arg(Done).arg(Total));
    QCoreApplication::processEvents();
    return fDialog.wasCanceled();
  }

 private:
  QProgressDialog fDialog;
};

class TQtEditorDialogs final : public TEditorDialogs {
 public:
  std::optional<TExportRequest> AskExport(QWidget* Parent, const TExportRequest& Defaults) override {
    QDialog dialog(Parent);
    dialog.setWindowTitle(QObject::tr("Export"));
    auto* form = new QFormLayout(&dialog);
    auto* kind = new QComboBox(&dialog);
    kind->addItems({QObject::tr("PNG frames (straight alpha)"), QObject::tr("TGA frames"), QObject::tr("Video file")});
    kind->setCurrentIndex(int(Defaults.Kind));
    auto* codec = new QComboBox(&dialog);
    codec->addItems({QObject::tr("ProRes 4444 with alpha (.mov)"), QObject::tr("QuickTime Animation with alpha (.mov)"),
                     QObject::tr("FFV1 lossless with alpha (.mkv)"), QObject::tr("H.264 preview over black (.mp4)")});
    codec->setCurrentIndex(int(Defaults.Codec));
    auto* from = new QSpinBox(&dialog);
    auto* to = new QSpinBox(&dialog);
    for (QSpinBox* box : {from, to}) box->setRange(0, 24 * 3600 * kFramesPerSecond);
    from->setValue(Defaults.From);
    to->setValue(Defaults.To);
    // The clocks' time of day at the first frame, as qvrender --time takes it.
    auto* clocks = new QTimeEdit(QTime(Defaults.Time.Hour, Defaults.Time.Minute, Defaults.Time.Second,
                                       Defaults.Time.Millisecond),
                                 &dialog);
    clocks->setObjectName(QStringLiteral("ClocksStartAt"));
    clocks->setDisplayFormat(QStringLiteral("HH:mm:ss.zzz"));
    auto* output = new QLineEdit(QString::fromStdString(Defaults.Output), &dialog);
    auto* browse = new QPushButton(QObject::tr("Browse…"), &dialog);
    auto* where = new QHBoxLayout;
    where->addWidget(output, 1);
    where->addWidget(browse);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
      const QString name = QFileDialog::getSaveFileName(&dialog, QObject::tr("Export to"), output->text());
      if (!name.isEmpty()) output->setText(name);
    });
    auto syncCodec = [&] { codec->setEnabled(kind->currentIndex() == int(video::TExportKind::ekVideo)); };
    QObject::connect(kind, &QComboBox::currentIndexChanged, &dialog, syncCodec);
    syncCodec();
    form->addRow(QObject::tr("Export as"), kind);
    form->addRow(QObject::tr("Codec"), codec);
    form->addRow(QObject::tr("From frame (the ruler's)"), from);
    form->addRow(QObject::tr("To frame"), to);
    form->addRow(QObject::tr("Clocks start at"), clocks);
    form->addRow(QObject::tr("To file"), where);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    TExportRequest r;
    r.Kind = static_cast<video::TExportKind>(kind->currentIndex());
    r.Codec = static_cast<video::TVideoCodec>(codec->currentIndex());
    r.From = from->value();
    r.To = to->value();
    r.Output = output->text().toStdString();
    const QTime t = clocks->time();
    r.Time = {t.hour(), t.minute(), t.second(), t.msec()};
    return r;
  }
  std::unique_ptr<TProgress> StartProgress(QWidget* Parent, const QString& Title) override {
    return std::make_unique<TQtProgress>(Parent, Title);
  }
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
  TSaveChoice AskSaveChanges(QWidget* Parent, const QString& Document, const QString& Action) override {
    QMessageBox box(QMessageBox::Warning, QObject::tr("Unsaved changes"),
                    QObject::tr("%1 has changes that are not saved.").arg(Document),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, Parent);
    box.setInformativeText(QObject::tr("Save them before %1?").arg(Action));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
      case QMessageBox::Save: return TSaveChoice::scSave;
      case QMessageBox::Discard: return TSaveChoice::scDiscard;
      default: return TSaveChoice::scCancel;
    }
  }
  bool OfferRecovery(QWidget* Parent, const QString& Text) override {
    QMessageBox box(QMessageBox::Question, QObject::tr("Recover unsaved changes"), Text, QMessageBox::NoButton, Parent);
    QPushButton* restore = box.addButton(QObject::tr("Restore"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Discard);
    box.setDefaultButton(restore);
    box.exec();
    return box.clickedButton() == restore;
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

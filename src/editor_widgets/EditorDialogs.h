#pragma once
// The questions the main window asks the user, behind one interface: the window asks through it,
// the editor answers with Qt's dialogs, and tests answer themselves without a dialog ever showing.
#include "editor_logic/ExportRequest.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QWidget;

namespace qv {

// A long piece of work shown to the user, who may cancel it.
class TProgress {
 public:
  virtual ~TProgress() = default;
  // Done of Total; answers whether the user asked to stop.
  virtual bool Update(int Done, int Total) = 0;
};

// The answer to unsaved changes before the document is set aside.
enum class TSaveChoice { scSave, scDiscard, scCancel };

class TEditorDialogs {
 public:
  // File > Export's questions, starting from Defaults; none when cancelled.
  virtual std::optional<TExportRequest> AskExport(QWidget* Parent, const TExportRequest& Defaults) = 0;
  // A progress display with a Cancel button, shown while the returned object lives.
  virtual std::unique_ptr<TProgress> StartProgress(QWidget* Parent, const QString& Title) = 0;
  virtual ~TEditorDialogs() = default;
  // A file to read; none when cancelled. Filter as Qt writes it ("QV Files (*.QV *.qv)").
  virtual std::optional<QString> OpenFile(QWidget* Parent, const QString& Title, const QString& Filter) = 0;
  // A folder; none when cancelled.
  virtual std::optional<QString> PickFolder(QWidget* Parent, const QString& Title) = 0;
  // A file name to write; none when cancelled.
  virtual std::optional<QString> SaveFile(QWidget* Parent, const QString& Title, const QString& Filter) = 0;
  // OK or Cancel; true on OK.
  virtual bool Confirm(QWidget* Parent, const QString& Text, const QString& Caption) = 0;
  // One of Items (their index); none when cancelled.
  virtual std::optional<int> ChooseItem(QWidget* Parent, const QString& Title, const QString& Label,
                                        const QStringList& Items, int Current) = 0;
  // A message with an OK button; Details, when not empty, behind the box's "Show Details".
  virtual void Warn(QWidget* Parent, const QString& Caption, const QString& Text, const QString& Details = {}) = 0;
  // Unsaved changes to Document ("news.QV", "the new page") before Action ("opening another
  // project", "a new page", "closing"): Save, Discard or Cancel.
  virtual TSaveChoice AskSaveChanges(QWidget* Parent, const QString& Document, const QString& Action) = 0;
  // A page recovered after a crash, described by Text: true restores it, false discards it.
  virtual bool OfferRecovery(QWidget* Parent, const QString& Text) = 0;
};

// The dialogs of the platform (Qt's file dialogs and message boxes).
std::unique_ptr<TEditorDialogs> MakeQtEditorDialogs();

}  // namespace qv

#pragma once
// The Data panel (dockable): the page's test data as a table of fields and values, the eight
// metadata slots first, then the layer fields the operator added ("headline.Text", offered from
// the page's layers). Every value typed shows on the page at once; a row of a CSV table or a
// play --data JSON file fills the table; "Clear Test Data" puts the page back. The values are kept
// in the editor's settings, never in the page's file.
#include "editor_logic/TestData.h"

#include <QDockWidget>

#include <functional>

class QCompleter;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QStringListModel;
class QTableWidget;

namespace qv {

class TEditorDialogs;

class TDataPanel final : public QDockWidget {
 public:
  // Data, Dialogs and Settings (none: the values are not kept) must outlive the panel. The fields
  // kept in Settings are read into Data (nothing reaches the page until Apply).
  TDataPanel(TTestData& Data, TEditorDialogs& Dialogs, QSettings* Settings, QWidget* Parent);

  // Puts the values on the page and shows what it could not take; the window calls it when the
  // page's layers changed (a field may name a layer only now there).
  void Apply();
  // The layer fields offered while typing a field's name.
  void SetSuggestions(const std::vector<std::string>& Fields);
  // Sets a field's value as typing it into its row does (adding the field when it is new).
  void SetValue(const QString& Field, const QString& Value);
  // The buttons' commands.
  void AddField(const QString& Field);
  void RemoveField(const QString& Field);
  void LoadCsvRow();
  void LoadDataFile();
  void ClearTestData();

  QTableWidget& Table() const { return *fTable; }
  QString Problems() const;
  QPushButton& ClearButton() const { return *fClear; }

  // The page shows other values: a frame is due.
  std::function<void()> OnChanged;

 private:
  void Fill();
  void Store();
  void Changed();

  TTestData& fData;
  TEditorDialogs& fDialogs;
  QSettings* fSettings;
  QTableWidget* fTable = nullptr;
  QLineEdit* fNewField = nullptr;
  QStringListModel* fSuggestions = nullptr;
  QLabel* fProblems = nullptr;
  QPushButton* fClear = nullptr;
  bool fFilling = false;
};

}  // namespace qv

#include "editor_widgets/DataPanel.h"

#include "batch/CsvTable.h"
#include "editor_widgets/EditorDialogs.h"
#include "video/DataFile.h"

#include <QCompleter>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStringListModel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qv {

namespace {

constexpr int kSlots = 8;
const QString kGroup = QStringLiteral("TestData");

}  // namespace

TDataPanel::TDataPanel(TTestData& Data, TEditorDialogs& Dialogs, QSettings* Settings, QWidget* Parent)
    : QDockWidget(tr("Data"), Parent), fData(Data), fDialogs(Dialogs), fSettings(Settings) {
  setObjectName(QStringLiteral("DataPanel"));
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(4);

  fTable = new QTableWidget(0, 2, body);
  fTable->setObjectName(QStringLiteral("DataTable"));
  fTable->setHorizontalHeaderLabels({tr("Field"), tr("Value")});
  fTable->horizontalHeader()->setStretchLastSection(true);
  fTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
  fTable->setColumnWidth(0, 130);
  fTable->verticalHeader()->hide();
  fTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  fTable->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(fTable, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* Item) {
    if (fFilling || Item->column() != 1) return;
    fData.Set(fTable->item(Item->row(), 0)->text().toStdString(), Item->text().toStdString());
    Changed();
  });
  column->addWidget(fTable, 1);

  auto* addRow = new QHBoxLayout;
  fNewField = new QLineEdit(body);
  fNewField->setObjectName(QStringLiteral("NewField"));
  fNewField->setPlaceholderText(tr("layer.Property, as headline.Text"));
  fSuggestions = new QStringListModel(this);
  auto* completer = new QCompleter(fSuggestions, fNewField);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setFilterMode(Qt::MatchContains);
  fNewField->setCompleter(completer);
  auto* add = new QPushButton(tr("Add"), body);
  auto* remove = new QPushButton(tr("Remove"), body);
  remove->setToolTip(tr("Takes the chosen layer field out (a slot is emptied)"));
  connect(fNewField, &QLineEdit::returnPressed, this, [this] { AddField(fNewField->text()); });
  connect(add, &QPushButton::clicked, this, [this] { AddField(fNewField->text()); });
  connect(remove, &QPushButton::clicked, this, [this] {
    const int row = fTable->currentRow();
    if (row >= 0) RemoveField(fTable->item(row, 0)->text());
  });
  addRow->addWidget(fNewField, 1);
  addRow->addWidget(add);
  addRow->addWidget(remove);
  column->addLayout(addRow);

  auto* loadRow = new QHBoxLayout;
  auto* csv = new QPushButton(tr("Load CSV Row…"), body);
  auto* json = new QPushButton(tr("Load Data File…"), body);
  fClear = new QPushButton(tr("Clear Test Data"), body);
  fClear->setObjectName(QStringLiteral("ClearTestData"));
  connect(csv, &QPushButton::clicked, this, [this] { LoadCsvRow(); });
  connect(json, &QPushButton::clicked, this, [this] { LoadDataFile(); });
  connect(fClear, &QPushButton::clicked, this, [this] { ClearTestData(); });
  loadRow->addWidget(csv);
  loadRow->addWidget(json);
  loadRow->addWidget(fClear);
  column->addLayout(loadRow);

  fProblems = new QLabel(body);
  fProblems->setObjectName(QStringLiteral("DataProblems"));
  fProblems->setWordWrap(true);
  fProblems->setStyleSheet(QStringLiteral("color: #ff8080"));
  column->addWidget(fProblems);
  setWidget(body);
  // Opened, the panel is ready for the first value to be typed.
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool Shown) {
    if (!Shown || fTable->rowCount() == 0) return;
    if (fTable->currentRow() < 0) fTable->setCurrentCell(0, 1);
    fTable->setFocus();
  });

  // The fields kept from the last session.
  if (fSettings != nullptr) {
    const int n = fSettings->beginReadArray(kGroup);
    for (int i = 0; i < n; ++i) {
      fSettings->setArrayIndex(i);
      fData.Set(fSettings->value(QStringLiteral("Field")).toString().toStdString(),
                fSettings->value(QStringLiteral("Value")).toString().toStdString());
    }
    fSettings->endArray();
  }
  Fill();
}

void TDataPanel::Fill() {
  fFilling = true;
  const std::vector<TTestField>& fields = fData.Fields();
  fTable->setRowCount(int(fields.size()));
  for (int i = 0; i < int(fields.size()); ++i) {
    auto* name = new QTableWidgetItem(QString::fromStdString(fields[std::size_t(i)].Name));
    name->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (i < kSlots) name->setToolTip(tr("A metadata slot: text layers whose TextSource names it show it"));
    fTable->setItem(i, 0, name);
    fTable->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(fields[std::size_t(i)].Value)));
  }
  fFilling = false;
}

void TDataPanel::Store() {
  if (fSettings == nullptr) return;
  fSettings->remove(kGroup);
  fSettings->beginWriteArray(kGroup);
  int i = 0;
  for (const TTestField& f : fData.Fields()) {
    // Slots without a value are there anyway; layer fields stay even when empty.
    if (i >= kSlots || !f.Value.empty()) {
      fSettings->setArrayIndex(i);
      fSettings->setValue(QStringLiteral("Field"), QString::fromStdString(f.Name));
      fSettings->setValue(QStringLiteral("Value"), QString::fromStdString(f.Value));
    }
    ++i;
  }
  fSettings->endArray();
  fSettings->sync();
}

void TDataPanel::Apply() {
  const std::vector<std::string> problems = fData.Apply();
  QStringList lines;
  for (const std::string& p : problems) lines << QString::fromStdString(p);
  fProblems->setText(lines.join('\n'));
  if (OnChanged) OnChanged();
}

void TDataPanel::Changed() {
  Store();
  Apply();
}

QString TDataPanel::Problems() const { return fProblems->text(); }

void TDataPanel::SetSuggestions(const std::vector<std::string>& Fields) {
  QStringList list;
  for (const std::string& f : Fields) list << QString::fromStdString(f);
  fSuggestions->setStringList(list);
}

void TDataPanel::SetValue(const QString& Field, const QString& Value) {
  fData.Set(Field.toStdString(), Value.toStdString());
  Fill();
  Changed();
}

void TDataPanel::AddField(const QString& Field) {
  const QString name = Field.trimmed();
  if (name.isEmpty()) return;
  const std::size_t before = fData.Fields().size();
  bool known = false;
  for (const TTestField& f : fData.Fields()) known |= QString::fromStdString(f.Name).compare(name, Qt::CaseInsensitive) == 0;
  if (!known) fData.Set(name.toStdString(), {});
  fNewField->clear();
  Fill();
  Store();
  // The new row's value is typed next.
  const int row = fData.Fields().size() > before ? int(fData.Fields().size()) - 1 : -1;
  if (row >= 0) {
    fTable->setCurrentCell(row, 1);
    fTable->editItem(fTable->item(row, 1));
  }
}

void TDataPanel::RemoveField(const QString& Field) {
  fData.Remove(Field.toStdString());
  Fill();
  Changed();
}

void TDataPanel::LoadCsvRow() {
  const auto file = fDialogs.OpenFile(this, tr("Load CSV Row"), tr("CSV Files (*.csv);;All files (*)"));
  if (!file) return;
  TCsvTable table;
  try {
    table = ReadCsvFile(file->toStdString());
  } catch (const std::exception& e) {
    fDialogs.Warn(this, tr("Load CSV Row"), QString::fromUtf8(e.what()));
    return;
  }
  if (table.Rows.empty()) {
    fDialogs.Warn(this, tr("Load CSV Row"), tr("%1 has a header but no rows.").arg(*file));
    return;
  }
  std::size_t row = 0;
  if (table.Rows.size() > 1) {
    QStringList items;
    for (std::size_t i = 0; i < table.Rows.size(); ++i) {
      QStringList shown;
      for (const std::string& f : table.Rows[i].Fields) shown << QString::fromStdString(f);
      items << tr("Row %1: %2").arg(i + 1).arg(shown.join(QStringLiteral(", ")));
    }
    const auto chosen = fDialogs.ChooseItem(this, tr("Load CSV Row"), tr("Row:"), items, 0);
    if (!chosen || *chosen < 0 || *chosen >= int(items.size())) return;
    row = std::size_t(*chosen);
  }
  fData.LoadCsvRow(table, row);
  Fill();
  Changed();
}

void TDataPanel::LoadDataFile() {
  const auto file = fDialogs.OpenFile(this, tr("Load Data File"), tr("Data Files (*.json);;All files (*)"));
  if (!file) return;
  QFile f(*file);
  if (!f.open(QIODevice::ReadOnly)) {
    fDialogs.Warn(this, tr("Load Data File"), tr("Cannot read %1: %2").arg(*file, f.errorString()));
    return;
  }
  const QByteArray bytes = f.readAll();
  const auto values = video::ParseMetaJson(std::string_view(bytes.constData(), std::size_t(bytes.size())));
  if (!values) {
    fDialogs.Warn(this, tr("Load Data File"), tr("%1 is not one JSON object.").arg(*file));
    return;
  }
  fData.LoadMeta(*values);
  Fill();
  Changed();
}

void TDataPanel::ClearTestData() {
  fData.Clear();
  fData.Withdraw();
  Fill();
  Store();
  fProblems->clear();
  if (OnChanged) OnChanged();
}

}  // namespace qv

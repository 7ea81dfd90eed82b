#pragma once
// The editor's window under the offscreen platform, every dialog answered by the test: the
// scripted dialogs and the fixture that the window's test programs share.
#include "editor_widgets/MainWindow.h"
#include "editor_widgets/ObjectEditor.h"
#include "editor_widgets/ObjectList.h"
#include "editor_widgets/TimeRuler.h"
#include "editor_widgets/WorkAreaWidget.h"

#include "composition/ClockLayer.h"
#include "composition/ImageLayers.h"
#include "composition/TextLayer.h"
#include "support/Files.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <fstream>

namespace qv::test {

namespace fs = std::filesystem;


// Answers the window's questions from queues and records what was asked.
struct TScriptedDialogs final : TEditorDialogs {
  std::deque<std::optional<QString>> Files, Folders, Saves;
  std::deque<bool> Confirms;
  std::deque<int> Choices;
  std::vector<QString> OpenTitles;
  std::vector<QString> Questions;
  struct TWarning {
    QString Caption, Text, Details;
  };
  std::vector<TWarning> Warnings;

  static std::optional<QString> Next(std::deque<std::optional<QString>>& Q) {
    if (Q.empty()) return std::nullopt;
    auto v = Q.front();
    Q.pop_front();
    return v;
  }
  std::vector<QString> OpenFilters;
  std::optional<QString> OpenFile(QWidget*, const QString& Title, const QString& Filter) override {
    OpenTitles.push_back(Title);
    OpenFilters.push_back(Filter);
    return Next(Files);
  }
  std::optional<QString> PickFolder(QWidget*, const QString&) override { return Next(Folders); }
  std::optional<QString> SaveFile(QWidget*, const QString&, const QString&) override { return Next(Saves); }
  bool Confirm(QWidget*, const QString& Text, const QString& Caption) override {
    Questions.push_back(Caption + "|" + Text);
    if (Confirms.empty()) return false;
    const bool v = Confirms.front();
    Confirms.pop_front();
    return v;
  }
  std::deque<std::optional<TExportRequest>> Exports;
  std::vector<TExportRequest> ExportDefaults;
  int CancelAfter = -1;  // the progress display's Cancel pressed once this many frames are done
  std::vector<int> ProgressSeen;
  std::optional<TExportRequest> AskExport(QWidget*, const TExportRequest& Defaults) override {
    ExportDefaults.push_back(Defaults);
    if (Exports.empty()) return std::nullopt;
    auto v = Exports.front();
    Exports.pop_front();
    return v;
  }
  struct TScriptedProgress final : TProgress {
    TScriptedDialogs& Owner;
    explicit TScriptedProgress(TScriptedDialogs& O) : Owner(O) {}
    bool Update(int Done, int) override {
      Owner.ProgressSeen.push_back(Done);
      return Owner.CancelAfter >= 0 && Done >= Owner.CancelAfter;
    }
  };
  std::unique_ptr<TProgress> StartProgress(QWidget*, const QString&) override {
    return std::make_unique<TScriptedProgress>(*this);
  }
  std::optional<int> ChooseItem(QWidget*, const QString&, const QString&, const QStringList&, int) override {
    if (Choices.empty()) return std::nullopt;
    const int v = Choices.front();
    Choices.pop_front();
    return v;
  }
  void Warn(QWidget*, const QString& Caption, const QString& Text, const QString& Details) override {
    Warnings.push_back({Caption, Text, Details});
  }
  std::deque<TSaveChoice> SaveChoices;
  std::vector<QString> SaveQuestions;  // "document|action"
  TSaveChoice AskSaveChanges(QWidget*, const QString& Document, const QString& Action) override {
    SaveQuestions.push_back(Document + "|" + Action);
    if (SaveChoices.empty()) return TSaveChoice::scCancel;
    const TSaveChoice v = SaveChoices.front();
    SaveChoices.pop_front();
    return v;
  }
  std::deque<bool> Recoveries;
  std::vector<QString> RecoveryTexts;
  bool OfferRecovery(QWidget*, const QString& Text) override {
    RecoveryTexts.push_back(Text);
    if (Recoveries.empty()) return false;
    const bool v = Recoveries.front();
    Recoveries.pop_front();
    return v;
  }
};

struct Editor : ::testing::Test {
  TTestDir dir{"qv-editor"};
  TScriptedDialogs* dialogs = nullptr;
  TManualTickSource ticks{1000};  // the render loop's time goes as the test says
  std::unique_ptr<TForm5> window;
  // Given to the next window SetUp makes (empty: none).
  fs::path recoveryFolder;
  QString settingsFile;
  std::unique_ptr<TGridDialogs> gridDialogs;

  void SetUp() override {
    window.reset();  // one window at a time: a second would share the page's recovery file
    TEditorOptions options;
    options.GridFolders = {dir.Path()};
    options.Ticks = &ticks;
    options.RecoveryFolder = recoveryFolder;
    options.SettingsFile = settingsFile;
    options.GridDialogs = std::move(gridDialogs);
    auto scripted = std::make_unique<TScriptedDialogs>();
    dialogs = scripted.get();
    options.Dialogs = std::move(scripted);
    window = std::make_unique<TForm5>(std::move(options));
  }
  TQVSystem& Sys() { return window->Composition(); }

  std::string Picture(const std::string& Name, int W = 6, int H = 4) {
    TStreamedBitmap b(W, H);
    b.Fill(0xFF336699u);
    const std::string path = (dir / Name).string();
    b.SaveToFile(path);
    return path;
  }
  std::vector<std::string> StackNames() {
    std::vector<std::string> names;
    for (const auto& l : Sys().Layers) names.push_back(l->layerName());
    return names;
  }
  // The object list's layer rows, top to bottom, as the names of their layers.
  std::vector<std::string> ListNames() {
    std::vector<std::string> names;
    QTreeWidgetItem* root = window->ObjectList().topLevelItem(0);
    for (int i = 0; root != nullptr && i < root->childCount(); ++i) {
      auto* layer = dynamic_cast<TLayer*>(TObjectList::ObjectOf(root->child(i)));
      EXPECT_NE(layer, nullptr);
      names.push_back(layer != nullptr ? layer->layerName() : "?");
      EXPECT_EQ(root->child(i)->text(0).toStdString(), names.back());
    }
    return names;
  }
  bool ShowsMoreThanTheCheckerboard() {
    const TmemoryBitmap& work = *Sys().work;
    const TmemoryBitmap& grid = window->Checkerboard().Image;
    for (int y = 0; y < work.Height(); ++y) {
      if (std::memcmp(work.PixelPtr(0, y), grid.PixelPtr(0, y), std::size_t(work.Width()) * 4) != 0) return true;
    }
    return false;
  }
  // A project of text layers with these names, written by a composition of its own.
  std::string Project(const std::string& Name, const std::vector<std::string>& Layers) {
    auto other = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
    for (const std::string& n : Layers) other->NewLayer<TTextLayer>().SetlayerName(n);
    const std::string path = (dir / Name).string();
    other->SaveToFile(path);
    return path;
  }
};

}  // namespace qv::test

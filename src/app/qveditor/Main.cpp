// qveditor [PROJECT.QV]: the page editor. A project named on the command line opens as "Open
// Project" opens one, once the window shows.
#include "editor/EditorStyle.h"
#include "editor/MainWindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <filesystem>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qveditor"));
  QApplication::setOrganizationName(QStringLiteral("Tessaly"));
  qv::ApplyEditorStyle(app);

  qv::TEditorOptions options;
  // "grid.png" lives beside the program when that folder can be written, else in the user's cache.
  options.GridFolders.push_back(std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()));
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (!cache.isEmpty()) options.GridFolders.push_back(std::filesystem::path(cache.toStdString()));

  qv::TForm5 window(std::move(options));
  window.show();

  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString project = args.at(1);
    QTimer::singleShot(0, &window, [&window, project] { window.OpenProjectFile(project); });
  }
  return QApplication::exec();
}

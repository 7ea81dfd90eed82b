// qveditor [PROJECT.QV]: the page editor. A project named on the command line opens as "Open
// Project" opens one, once the window shows.
#include "app/qveditor/Manual.h"
#include "editor_widgets/EditorStyle.h"
#include "editor_widgets/MainWindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
  // Before Qt starts, so that the help needs no display.
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(qv::editor::QveditorHelp().c_str(), stdout);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qveditor"));
  QApplication::setOrganizationName(QStringLiteral("Tessaly"));
  // The desktop entry that started it: its icon and name for the window.
  QGuiApplication::setDesktopFileName(QStringLiteral("qveditor"));
  qv::ApplyEditorStyle(app);

  qv::TEditorOptions options;
  // "grid.png" lives beside the program when that folder can be written, else in the user's cache.
  // An installed program (share/qv beside its bin/) leaves its folder to the package manager, even
  // when run by root.
  const std::filesystem::path programFolder(QCoreApplication::applicationDirPath().toStdString());
  std::error_code ec;
  if (!std::filesystem::is_directory(programFolder / ".." / "share" / "qv", ec)) options.GridFolders.push_back(programFolder);
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

// qveditor [--play SECONDS] [PROJECT.QV]: the page editor. A project named on the command line
// opens as "Open Project" opens one, once the window shows. --play then plays it in a loop for that
// long, prints the frames shown, due and dropped, and closes (the playback benchmarks use it).
#include "app/qveditor/Manual.h"
#include "editor_widgets/EditorStyle.h"
#include "editor_widgets/MainWindow.h"

#include <QApplication>
#include <QSettings>
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

  // Unsaved pages are written now and then to the user's data folder, and offered again after a
  // crash; the recent files and the window's size and splits are kept in the user's settings.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!data.isEmpty()) options.RecoveryFolder = std::filesystem::path(data.toStdString()) / "recovery";
  options.SettingsFile = QSettings().fileName();

  qv::TForm5 window(std::move(options));
  window.show();

  QStringList args = QApplication::arguments();
  args.removeFirst();
  double playSeconds = 0;
  if (args.size() >= 2 && args.at(0) == QStringLiteral("--play")) {
    bool ok = false;
    playSeconds = args.at(1).toDouble(&ok);
    if (!ok || !(playSeconds > 0)) {
      std::fprintf(stderr, "qveditor: --play needs a number of seconds above 0, not \"%s\"\n", qPrintable(args.at(1)));
      return 2;
    }
    args.remove(0, 2);
  }
  const QString project = args.isEmpty() ? QString() : args.at(0);
  QTimer::singleShot(0, &window, [&window, project, playSeconds] {
    // A measured run asks nothing.
    if (playSeconds <= 0) window.OfferRecovery();
    if (project.isEmpty()) return;
    window.OpenProjectFile(project);
    if (playSeconds <= 0) return;
    window.PlayAction(qv::TForm5::TPlayAction::paLoop)->setChecked(true);
    window.Transport().SetLoop(true);
    // Once the page's first frames are up (pictures decoded, crawls laid out), as an operator
    // would press Play.
    QTimer::singleShot(1000, &window, [&window, playSeconds] {
      window.Transport().ResetCounts();
      window.PlayAction(qv::TForm5::TPlayAction::paPlayPause)->trigger();
      QTimer::singleShot(int(playSeconds * 1000), &window, [&window] {
        const qv::TTransport& t = window.Transport();
        std::printf("played: %lld frames shown of %lld due, %lld dropped\n", static_cast<long long>(t.Shown()),
                    static_cast<long long>(t.Due()), static_cast<long long>(t.Dropped()));
        std::fflush(stdout);
        QApplication::quit();
      });
    });
  });
  return QApplication::exec();
}

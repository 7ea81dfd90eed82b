// A bare start of Qt Core: the application object of a command-line program, and nothing else.
// The peer of `qvrender --help` in bench/startup.sh.
#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return 0;
}

// qv_render_icon IN.svg SIZE OUT.png: the application's icon at one size, drawn from its SVG at
// build time, so that the bitmaps cannot differ from the drawing.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: qv_render_icon IN.svg SIZE OUT.png\n";
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");  // no display at build time
  QGuiApplication app(argc, argv);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  const int size = std::atoi(argv[2]);
  if (!svg.isValid() || size <= 0) {
    std::cerr << "qv_render_icon: cannot read " << argv[1] << "\n";
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  svg.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::cerr << "qv_render_icon: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}

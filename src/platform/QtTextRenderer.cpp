#include "platform/QtTextRenderer.h"

#include "platform/QtCanvas.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>

namespace qv {

int PointsToPixels(int PointSize) {
  // 96 / 72 = 4 / 3; a third never ties, so adding one before the division rounds to nearest.
  const std::int64_t px = (std::int64_t(PointSize) * 4 + 1) / 3;
  return static_cast<int>(std::clamp<std::int64_t>(px, 1, 1 << 16));
}

namespace {

// Faces that pages name but fontconfig may not know: font files that supply them where installed
// (Wine's Tahoma has the widths of the original, so text laid out for it keeps its size), and the
// installed face that comes closest in shape when they are missing too.
struct TFaceSupply {
  const char* Family;
  const char* Files[2];
  const char* Substitute;
};
constexpr TFaceSupply kFaces[] = {
    {"Tahoma", {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}, "DejaVu Sans"},
};

QFont MakeFont(const TFontSpec& spec) {
  QFont font(QString::fromStdString(spec.Face));
  font.setPixelSize(PointsToPixels(spec.PointSize));
  font.setBold(spec.Bold);
  // Grey-scale coverage only (no sub-pixel colour fringes), from outlines, and without hinting:
  // the text is drawn at several times its final size and scaled down, so hinting for the large
  // size would only distort the small one.
  font.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::PreferAntialias | QFont::NoSubpixelAntialias |
                                                          QFont::PreferOutline));
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// Line breaks become Unicode line separators, which QTextLayout breaks at.
QString ToLayoutText(std::string_view text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  s.replace(QLatin1Char('\r'), QChar::LineSeparator);
  s.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return s;
}

QTextOption MakeOption(TReadingOrder order) {
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setAlignment(Qt::AlignHCenter);
  option.setTextDirection(order == TReadingOrder::roRightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
  // Spaces at the end of a line count, as they do when the text is typed into a line.
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  return option;
}

// A line's ascent and descent as Windows measures text: from the font's OS/2 usWinAscent and
// usWinDescent (each rounded to whole pixels), whatever line metrics the font asks other systems
// to use. Pages laid out there keep the height and baseline of their text. Zero when the font has
// no such table (Qt's own line metrics then apply).
struct TLineMetrics {
  qreal Ascent = 0;
  qreal Descent = 0;
  bool Valid() const { return Ascent + Descent > 0; }
};

TLineMetrics WindowsLineMetrics(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  if (!raw.isValid()) return {};
  const QByteArray head = raw.fontTable("head");
  const QByteArray os2 = raw.fontTable("OS/2");
  if (head.size() < 20 || os2.size() < 78) return {};
  auto u16 = [](const QByteArray& t, int at) {
    return (unsigned(static_cast<unsigned char>(t[at])) << 8) | static_cast<unsigned char>(t[at + 1]);
  };
  const unsigned upem = u16(head, 18);
  if (upem == 0) return {};
  const qreal px = raw.pixelSize();
  return {std::round(u16(os2, 74) * px / upem), std::round(u16(os2, 76) * px / upem)};
}

// Lays the lines out one under the other, each LineWidth wide, baselines Metrics.Ascent below
// each line's top; returns the widest natural width and the total height.
void LayOut(QTextLayout& layout, qreal lineWidth, qreal& widest, qreal& height) {
  const TLineMetrics metrics = WindowsLineMetrics(layout.font());
  widest = 0;
  height = 0;
  layout.beginLayout();
  for (;;) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(lineWidth);
    widest = std::max(widest, line.naturalTextWidth());
    if (metrics.Valid()) {
      line.setPosition(QPointF(0, height + metrics.Ascent - line.ascent()));
      height += metrics.Ascent + metrics.Descent;
    } else {
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
  }
  layout.endLayout();
}

int CeilToInt(qreal v) {
  const double c = std::ceil(static_cast<double>(v) - 1e-9);  // an exact integer stays itself
  return static_cast<int>(std::clamp(c, 0.0, 2147483647.0));
}

}  // namespace

TQtTextRenderer::TQtTextRenderer() {
  EnsureGuiApplication();
  static std::once_flag once;
  std::call_once(once, [] {
    for (const TFaceSupply& face : kFaces) {
      const QString family = QString::fromLatin1(face.Family);
      if (!QFontDatabase::hasFamily(family)) {
        for (const char* file : face.Files) QFontDatabase::addApplicationFont(QString::fromLatin1(file));
      }
      QFont::insertSubstitution(family, QString::fromLatin1(face.Substitute));
    }
  });
}

TTextExtent TQtTextRenderer::Measure(std::string_view Text, const TFontSpec& Font) const {
  QTextLayout layout(ToLayoutText(Text), MakeFont(Font));
  layout.setTextOption(MakeOption(TReadingOrder::roLeftToRight));
  qreal widest = 0;
  qreal height = 0;
  LayOut(layout, 1e9, widest, height);
  return {CeilToInt(widest), CeilToInt(height)};
}

void TQtTextRenderer::Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder Order, int BoxWidth,
                           const TTextSurface& Surface) const {
  if (Surface.Bits == nullptr || Surface.Width <= 0 || Surface.Height <= 0) return;
  QTextLayout layout(ToLayoutText(Text), MakeFont(Font));
  layout.setTextOption(MakeOption(Order));
  qreal widest = 0;
  qreal height = 0;
  LayOut(layout, BoxWidth, widest, height);

  // Our pixels are Qt's premultiplied ARGB32; the image only borrows them. White drawn over
  // transparent black leaves the coverage in every byte of a pixel.
  QImage image(Surface.Bits, Surface.Width, Surface.Height, static_cast<qsizetype>(Surface.Width) * 4,
               QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setPen(QColor(255, 255, 255));
  layout.draw(&painter, QPointF(-Surface.OriginX, -Surface.OriginY));
}

int TQtTextRenderer::MissingGlyphs(std::string_view Text, const TFontSpec& Font) const {
  QTextLayout layout(ToLayoutText(Text), MakeFont(Font));
  layout.setTextOption(MakeOption(TReadingOrder::roLeftToRight));
  qreal widest = 0;
  qreal height = 0;
  LayOut(layout, 1e9, widest, height);
  int missing = 0;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    for (quint32 index : run.glyphIndexes()) missing += index == 0 ? 1 : 0;  // glyph 0 is the empty box
  }
  return missing;
}

std::string TQtTextRenderer::ResolvedFamily(const TFontSpec& Font) const {
  return QFontInfo(MakeFont(Font)).family().toStdString();
}

}  // namespace qv

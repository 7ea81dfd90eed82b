#include "platform/QtRichEdit.h"

#include "platform/QtTextRenderer.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

constexpr const char* kDefaultFace = "Tahoma";

// A run's size in half points at 96 pixels per inch: 2/3 of a pixel per half point, rounded.
qreal HalfPointsToPixels(int halfPoints) { return std::max(1.0, std::round(std::clamp(halfPoints, 1, 3276) * 2.0 / 3.0)); }

QFont RunFont(const TRichRun& run) {
  QFont font(QString::fromStdString(run.Face.empty() ? std::string(kDefaultFace) : run.Face));
  font.setPixelSize(static_cast<int>(HalfPointsToPixels(run.HalfPoints)));
  font.setBold(run.Bold);
  font.setItalic(run.Italic);
  font.setUnderline(run.Underline);
  // As the text renderer: grey-scale outlines without hinting, since lines are drawn at several
  // times their size and scaled down.
  font.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::PreferAntialias | QFont::NoSubpixelAntialias |
                                                          QFont::PreferOutline));
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

int Ceil(qreal v) { return static_cast<int>(std::clamp(std::ceil(static_cast<double>(v) - 1e-6), 0.0, 1e9)); }

}  // namespace

struct TQtRichEdit::TLine {
  QString Text;
  int Start = 0;                               // first character in the document
  std::vector<TRichFontMetrics> Metrics;       // per character
  int Ascent = 0;                              // the largest of Metrics
  int Descent = 0;
  QTextLayout Layout;
};

TQtRichEdit::TQtRichEdit() {
  // The text renderer's constructor makes the application and supplies the faces pages name.
  TQtTextRenderer fonts;
}

TQtRichEdit::~TQtRichEdit() = default;

void TQtRichEdit::Load(const TRichDocument& Document) {
  fLines.clear();
  int start = 0;
  for (const TRichParagraph& paragraph : Document.Paragraphs) {
    auto line = std::make_unique<TLine>();
    line->Start = start;
    QList<QTextLayout::FormatRange> formats;
    QFont firstFont;
    bool haveFont = false;
    for (const TRichRun& run : paragraph.Runs) {
      QString text = QString::fromUtf8(run.Text.data(), static_cast<qsizetype>(run.Text.size()));
      // Line breaks inside a paragraph (\line) would start a second line: the crawl has one.
      text.replace(QLatin1Char('\n'), QLatin1Char(' '));
      text.replace(QLatin1Char('\r'), QLatin1Char(' '));
      if (text.isEmpty()) continue;
      const QFont font = RunFont(run);
      if (!haveFont) {
        firstFont = font;
        haveFont = true;
      }
      const QFontMetricsF fm(font);
      const TRichFontMetrics m{Ceil(fm.ascent()), Ceil(fm.descent())};
      line->Metrics.insert(line->Metrics.end(), static_cast<std::size_t>(text.size()), m);
      QTextCharFormat format;
      format.setFont(font);
      format.setForeground(QColor::fromRgb(run.AutoColor ? 0xFF000000u : (0xFF000000u | (run.Color & 0xFFFFFFu))));
      formats.append({static_cast<int>(line->Text.size()), static_cast<int>(text.size()), format});
      line->Text += text;
    }
    for (const TRichFontMetrics& m : line->Metrics) {
      line->Ascent = std::max(line->Ascent, m.Ascent);
      line->Descent = std::max(line->Descent, m.Descent);
    }
    line->Layout.setText(line->Text);
    if (haveFont) line->Layout.setFont(firstFont);
    line->Layout.setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(paragraph.RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    line->Layout.setTextOption(option);
    line->Layout.beginLayout();
    QTextLine l = line->Layout.createLine();
    if (l.isValid()) {
      l.setLineWidth(1e7);
      l.setLineWidth(l.naturalTextWidth());  // so that a right-to-left line starts at x 0 too
      // The baseline at the line's largest ascent, in whole pixels: lines of several sizes then
      // share it with other lines of the same ascent.
      l.setPosition(QPointF(0, line->Ascent - l.ascent()));
    }
    line->Layout.endLayout();
    start += static_cast<int>(line->Text.size()) + 1;
    fLines.push_back(std::move(line));
  }
}

int TQtRichEdit::LineCount() const { return static_cast<int>(fLines.size()); }

int TQtRichEdit::LineStart(int Line) const {
  if (Line < 0 || Line >= LineCount()) return -1;
  return fLines[static_cast<std::size_t>(Line)]->Start;
}

int TQtRichEdit::LineLength(int Line) const {
  if (Line < 0 || Line >= LineCount()) return 0;
  return static_cast<int>(fLines[static_cast<std::size_t>(Line)]->Text.size());
}

int TQtRichEdit::LineOf(int Index) const {
  // Binary search over the line starts.
  auto it = std::upper_bound(fLines.begin(), fLines.end(), Index,
                             [](int i, const std::unique_ptr<TLine>& l) { return i < l->Start; });
  if (it == fLines.begin()) return -1;
  const int line = static_cast<int>(it - fLines.begin()) - 1;
  const TLine& l = *fLines[static_cast<std::size_t>(line)];
  return Index <= l.Start + l.Text.size() ? line : -1;
}

std::string TQtRichEdit::Text(int Start, int Length) const {
  std::string out;
  const int end = Start + std::max(Length, 0);
  for (const auto& l : fLines) {
    const int a = std::max(Start, l->Start);
    const int b = std::min<int>(end, l->Start + static_cast<int>(l->Text.size()));
    if (a < b) out += l->Text.mid(a - l->Start, b - a).toStdString();
  }
  return out;
}

TRichFontMetrics TQtRichEdit::CharMetrics(int Index) const {
  const int line = LineOf(Index);
  if (line < 0) return {};
  const TLine& l = *fLines[static_cast<std::size_t>(line)];
  const int i = Index - l.Start;
  if (i < 0 || i >= static_cast<int>(l.Metrics.size())) return {};
  return l.Metrics[static_cast<std::size_t>(i)];
}

int TQtRichEdit::RangeHeight(int Start, int Length) const {
  const int line = LineOf(Start);
  if (line < 0 || Length <= 0) return 0;
  const TLine& l = *fLines[static_cast<std::size_t>(line)];
  return l.Ascent + l.Descent;
}

int TQtRichEdit::RangeWidth(int Start, int Length) const {
  const int line = LineOf(Start);
  if (line < 0 || Length <= 0) return 0;
  const TLine& l = *fLines[static_cast<std::size_t>(line)];
  if (l.Layout.lineCount() == 0) return 0;
  const QTextLine ql = l.Layout.lineAt(0);
  const int a = Start - l.Start;
  const int b = std::min<int>(a + Length, static_cast<int>(l.Text.size()));
  const qreal x0 = ql.cursorToX(a);
  const qreal x1 = ql.cursorToX(b);
  return Ceil(std::abs(x1 - x0));
}

void TQtRichEdit::Render(int Start, int Length, int Scale, const TTextSurface& Surface) const {
  if (Surface.Bits == nullptr || Surface.Width <= 0 || Surface.Height <= 0 || Length <= 0) return;
  const int line = LineOf(Start);
  if (line < 0) return;
  const TLine& l = *fLines[static_cast<std::size_t>(line)];
  if (l.Layout.lineCount() == 0) return;
  const QTextLine ql = l.Layout.lineAt(0);
  const int a = Start - l.Start;
  const int b = std::min<int>(a + Length, static_cast<int>(l.Text.size()));
  const qreal left = std::min(ql.cursorToX(a), ql.cursorToX(b));
  const qreal s = std::max(Scale, 1);

  // Our pixels are Qt's premultiplied ARGB32: coloured text drawn over transparent black leaves
  // colour times coverage in the colour bytes and the coverage in alpha.
  QImage image(Surface.Bits, Surface.Width, Surface.Height, static_cast<qsizetype>(Surface.Width) * 4,
               QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.translate(-Surface.OriginX, -Surface.OriginY);
  painter.scale(s, s);
  // Only the part of the range's box the surface shows, in the box's unscaled units.
  const QRectF shown(Surface.OriginX / s, Surface.OriginY / s, Surface.Width / s, Surface.Height / s);
  painter.setClipRect(shown);
  l.Layout.draw(&painter, QPointF(-left, 0));
}

}  // namespace qv

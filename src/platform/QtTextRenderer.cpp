#include "platform/QtTextRenderer.h"

#include "platform/QtCanvas.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

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

// Qt places glyphs on a grid of 1/64 pixel; a glyph's coverage depends on where in its pixel it
// starts, so each of those offsets is a glyph image of its own.
constexpr int kSubPixels = 64;

// A glyph's coverage at one sub-pixel offset: the antialiased fill of its outline, in a box
// placed relative to the whole pixel the glyph's origin falls in.
struct TGlyphMask {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Coverage;  // Width × Height, top row first
};

// Which outlines a run's glyph indexes refer to. Font engines are made per thread, so the face
// is named by what it is rather than by the engine object.
struct TFaceKey {
  QString Family;
  QString Style;
  qreal PixelSize = 0;
  int Weight = 0;
  int Slant = 0;
  int Hinting = 0;
  friend bool operator==(const TFaceKey&, const TFaceKey&) = default;
};

TFaceKey FaceKeyOf(const QRawFont& font) {
  return {font.familyName(), font.styleName(), font.pixelSize(), font.weight(), int(font.style()),
          int(font.hintingPreference())};
}

std::uint64_t GlyphKey(quint32 glyph, int fx, int fy) {
  return (std::uint64_t(glyph) << 16) | (std::uint64_t(fx) << 8) | std::uint64_t(fy);
}

// The glyph's outline shifted by (fx, fy) / 64 pixels, filled as Qt fills a line of text: with the
// winding rule, antialiased.
QPainterPath GlyphPath(const QRawFont& font, quint32 glyph, int fx, int fy) {
  QPainterPath path = font.pathForGlyph(glyph);
  path.setFillRule(Qt::WindingFill);
  path.translate(qreal(fx) / kSubPixels, qreal(fy) / kSubPixels);
  return path;
}

void FillWhite(QPainter& painter, const QPainterPath& path) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255));
  painter.drawPath(path);
}

// The glyph's coverage; none for a glyph whose box would be larger than kLargestMask pixels (a
// title's letters), which is filled straight into the surface instead.
constexpr double kLargestMask = 1 << 20;
std::shared_ptr<const TGlyphMask> RenderGlyph(const QPainterPath& path) {
  auto mask = std::make_shared<TGlyphMask>();
  if (path.isEmpty()) return mask;  // a blank: nothing to cover
  const QRectF bounds = path.boundingRect();
  // One pixel more on every side for the antialiased edge.
  const double left = std::floor(bounds.left()) - 1;
  const double top = std::floor(bounds.top()) - 1;
  const double width = std::ceil(bounds.right()) + 1 - left;
  const double height = std::ceil(bounds.bottom()) + 1 - top;
  if (!(width * height <= kLargestMask)) return nullptr;
  mask->Left = static_cast<int>(left);
  mask->Top = static_cast<int>(top);
  mask->Width = static_cast<int>(width);
  mask->Height = static_cast<int>(height);
  QImage image(mask->Width, mask->Height, QImage::Format_ARGB32_Premultiplied);
  image.fill(0);
  {
    QPainter painter(&image);
    painter.translate(-left, -top);
    FillWhite(painter, path);
  }
  mask->Coverage.resize(std::size_t(mask->Width) * std::size_t(mask->Height));
  for (int y = 0; y < mask->Height; ++y) {
    const uchar* row = image.constScanLine(y);
    std::uint8_t* out = mask->Coverage.data() + std::size_t(y) * std::size_t(mask->Width);
    for (int x = 0; x < mask->Width; ++x) out[x] = row[4 * x + 3];
  }
  return mask;
}

// a × b / 255, rounded as Qt's raster engine rounds it.
inline std::uint32_t MulDiv255(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

// White with the mask's coverage over the surface, the mask's box at (x, y); what falls outside
// the surface is cut off.
void Composite(const TGlyphMask& mask, std::int64_t x, std::int64_t y, const TTextSurface& surface) {
  const std::int64_t left = std::max<std::int64_t>(x + mask.Left, 0);
  const std::int64_t top = std::max<std::int64_t>(y + mask.Top, 0);
  const std::int64_t right = std::min<std::int64_t>(x + mask.Left + mask.Width, surface.Width);
  const std::int64_t bottom = std::min<std::int64_t>(y + mask.Top + mask.Height, surface.Height);
  for (std::int64_t py = top; py < bottom; ++py) {
    const std::uint8_t* in = mask.Coverage.data() + std::size_t(py - y - mask.Top) * std::size_t(mask.Width) +
                             std::size_t(left - x - mask.Left);
    std::uint8_t* out = surface.Bits + (std::size_t(py) * std::size_t(surface.Width) + std::size_t(left)) * 4;
    for (std::int64_t px = left; px < right; ++px, ++in, out += 4) {
      const std::uint32_t a = *in;
      // Every byte of a pixel holds the same coverage: white over what is there.
      const auto v = static_cast<std::uint8_t>(a + MulDiv255(out[0], 255 - a));
      out[0] = out[1] = out[2] = out[3] = v;
    }
  }
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

struct TQtTextRenderer::TGlyphCache {
  struct TFace {
    TFaceKey Key;
    std::unordered_map<std::uint64_t, std::shared_ptr<const TGlyphMask>> Glyphs;
  };
  // What the cached glyphs may add up to; past it the cache starts again empty (a page uses a
  // few sizes of a few faces, far below it; an animated font size makes a face per size).
  static constexpr std::size_t kBudget = std::size_t(48) << 20;

  std::mutex Lock;
  std::vector<std::unique_ptr<TFace>> Faces;  // few: looked through in order
  std::size_t Bytes = 0;

  TFace& FaceOf(const TFaceKey& key) {
    for (const auto& face : Faces) {
      if (face->Key == key) return *face;
    }
    Faces.push_back(std::make_unique<TFace>(TFace{key, {}}));
    return *Faces.back();
  }

  // The glyph's mask at that offset, if drawn before.
  std::shared_ptr<const TGlyphMask> Find(const TFaceKey& faceKey, std::uint64_t key) {
    const std::lock_guard<std::mutex> hold(Lock);
    TFace& face = FaceOf(faceKey);
    const auto it = face.Glyphs.find(key);
    return it != face.Glyphs.end() ? it->second : nullptr;
  }

  // Keeps a mask drawn outside the lock (another thread may have drawn the same one meanwhile:
  // either is the same).
  void Keep(const TFaceKey& faceKey, std::uint64_t key, std::shared_ptr<const TGlyphMask> mask) {
    const std::size_t size = mask->Coverage.size() + sizeof(TGlyphMask);
    const std::lock_guard<std::mutex> hold(Lock);
    if (Bytes + size > kBudget) {
      Faces.clear();
      Bytes = 0;
    }
    if (FaceOf(faceKey).Glyphs.emplace(key, std::move(mask)).second) Bytes += size;
  }
};

TQtTextRenderer::~TQtTextRenderer() = default;

TQtTextRenderer::TQtTextRenderer() : fGlyphs(std::make_unique<TGlyphCache>()) {
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

  // Each glyph where the layout puts it, its coverage drawn once per face, glyph and offset
  // within its pixel and reused: text is drawn several times its final size, where filling the
  // outlines of a line costs milliseconds, and lines repeat their letters. The pixels are those
  // of Qt drawing the line, except where two glyphs' edges share a pixel.
  std::optional<QImage> image;  // the surface for Qt, for glyphs too large to keep
  std::optional<QPainter> painter;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QRawFont font = run.rawFont();
    const TFaceKey face = FaceKeyOf(font);
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
      // Positions are whole 64ths of a pixel, the surface's origin whole pixels.
      const std::int64_t x = std::llround(positions[i].x() * kSubPixels) - std::int64_t(Surface.OriginX) * kSubPixels;
      const std::int64_t y = std::llround(positions[i].y() * kSubPixels) - std::int64_t(Surface.OriginY) * kSubPixels;
      const std::int64_t px = FloorDiv(x, kSubPixels);
      const std::int64_t py = FloorDiv(y, kSubPixels);
      const int fx = int(x - px * kSubPixels);
      const int fy = int(y - py * kSubPixels);
      const std::uint64_t key = GlyphKey(glyphs[i], fx, fy);
      std::shared_ptr<const TGlyphMask> mask = fGlyphs->Find(face, key);
      QPainterPath path;
      if (!mask) {
        path = GlyphPath(font, glyphs[i], fx, fy);
        mask = RenderGlyph(path);
        if (mask) fGlyphs->Keep(face, key, mask);
      }
      if (mask) {
        Composite(*mask, px, py, Surface);
        continue;
      }
      if (!painter) {
        // Our pixels are Qt's premultiplied ARGB32; the image only borrows them.
        image.emplace(Surface.Bits, Surface.Width, Surface.Height, static_cast<qsizetype>(Surface.Width) * 4,
                      QImage::Format_ARGB32_Premultiplied);
        painter.emplace(&*image);
      }
      painter->resetTransform();
      painter->translate(qreal(px), qreal(py));
      FillWhite(*painter, path);
    }
  }
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

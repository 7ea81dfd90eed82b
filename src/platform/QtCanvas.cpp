#include "platform/QtCanvas.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace qv {

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    // Qt wants a private runtime folder; without one it complains on every start.
    const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 077) == 0) {
      setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
    }
  }
  static int argc = 1;
  static char name[] = "qv";
  static char* argv[] = {name, nullptr};
  // Deliberately never destroyed: it must outlive every painter and font the process makes.
  new QGuiApplication(argc, argv);
}

namespace {

QColor Opaque(std::uint32_t rgb) {
  return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | (rgb & 0xFFFFFFu)));
}

class TQtCanvas final : public TCanvas {
 public:
  TQtCanvas(std::uint8_t* bits, int w, int h)
      // Our pixels are 0xAARRGGBB little-endian words with colours weighted by alpha: exactly
      // Qt's premultiplied ARGB32. The image only borrows the memory.
      : fImage(bits, w, h, static_cast<qsizetype>(w) * 4, QImage::Format_ARGB32_Premultiplied),
        fPainter(&fImage) {
    fPainter.setRenderHint(QPainter::Antialiasing, false);
  }

  void FrameRect(const TRect& r, std::uint32_t color, TPenMode mode) override {
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    SetMode(mode);
    // Four runs that never overlap, so XOR touches every pixel of the outline exactly once.
    const QColor c = mode == TPenMode::pmXor ? QColor::fromRgb(color & 0xFFFFFFu) : Opaque(color);
    const int w = r.Right - r.Left;
    const int h = r.Bottom - r.Top;
    fPainter.fillRect(QRect(r.Left, r.Top, w, 1), c);
    if (h > 1) fPainter.fillRect(QRect(r.Left, r.Bottom - 1, w, 1), c);
    if (h > 2) {
      fPainter.fillRect(QRect(r.Left, r.Top + 1, 1, h - 2), c);
      if (w > 1) fPainter.fillRect(QRect(r.Right - 1, r.Top + 1, 1, h - 2), c);
    }
    SetMode(TPenMode::pmCopy);
  }

  void FillRect(const TRect& r, std::uint32_t fill, std::uint32_t outline) override {
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    SetMode(TPenMode::pmCopy);
    const QRect all(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    fPainter.fillRect(all, Opaque(outline));
    if (all.width() > 2 && all.height() > 2) fPainter.fillRect(all.adjusted(1, 1, -1, -1), Opaque(fill));
  }

  void TextOut(int x, int y, std::string_view text, std::uint32_t textColor,
               std::uint32_t background) override {
    EnsureGuiApplication();
    SetMode(TPenMode::pmCopy);
    // The painter may have been opened before the application existed: take the default font now.
    fPainter.setFont(QGuiApplication::font());
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm(fPainter.font());
    const QRect cell(x, y, fm.horizontalAdvance(s), fm.height());
    fPainter.fillRect(cell, Opaque(background));
    // Glyphs that reach past the font's cell are cut at it, so every pixel drawn lies on the
    // opaque background.
    fPainter.save();
    fPainter.setClipRect(cell);
    fPainter.setPen(Opaque(textColor));
    fPainter.drawText(QPoint(x, y + fm.ascent()), s);
    fPainter.restore();
  }

 private:
  void SetMode(TPenMode mode) {
    fPainter.setCompositionMode(mode == TPenMode::pmXor ? QPainter::RasterOp_SourceXorDestination
                                                        : QPainter::CompositionMode_Source);
  }

  QImage fImage;
  QPainter fPainter;
};

}  // namespace

std::unique_ptr<TCanvas> TQtCanvasFactory::Open(std::uint8_t* bits, int w, int h) {
  if (bits == nullptr || w <= 0 || h <= 0) return nullptr;
  return std::make_unique<TQtCanvas>(bits, w, h);
}

}  // namespace qv

#include "editor_widgets/WorkAreaWidget.h"

#include "editor_logic/SafeAreas.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace qv {

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons) {
  TShiftState s = 0;
  if (Modifiers & Qt::ShiftModifier) s |= ssShift;
  if (Modifiers & Qt::AltModifier) s |= ssAlt;
  if (Modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (Buttons & Qt::LeftButton) s |= ssLeft;
  if (Buttons & Qt::RightButton) s |= ssRight;
  if (Buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

Qt::CursorShape CursorShapeOf(TCursor Cursor) {
  switch (Cursor) {
    case TCursor::crSizeWE: return Qt::SizeHorCursor;
    case TCursor::crSizeNS: return Qt::SizeVerCursor;
    case TCursor::crSizeNWSE: return Qt::SizeFDiagCursor;
    case TCursor::crSizeNESW: return Qt::SizeBDiagCursor;
    case TCursor::crSizeAll: return Qt::SizeAllCursor;
    case TCursor::crDefault: break;
  }
  return Qt::ArrowCursor;
}

std::vector<std::string> DroppedPaths(const QMimeData* Data) {
  std::vector<std::string> paths;
  if (Data == nullptr || !Data->hasUrls()) return paths;
  for (const QUrl& url : Data->urls()) {
    // A file from elsewhere than this machine is nothing the engine can read: it is refused.
    paths.push_back(url.isLocalFile() ? url.toLocalFile().toStdString() : url.toString().toStdString());
  }
  return paths;
}

namespace {

std::optional<TMouseButton> ButtonOf(Qt::MouseButton Button) {
  switch (Button) {
    case Qt::LeftButton: return TMouseButton::mbLeft;
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return std::nullopt;
  }
}

// Floor of a / b for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The overlay's colours: what the editor draws and no frame ever holds.
const QColor kActionSafe(0, 200, 255);
const QColor kGraphicsSafe(255, 210, 0);
const QColor kCentreCut(255, 96, 176);
const QColor kGuide(255, 0, 255);

}  // namespace

TWorkArea::TWorkArea(TQVSystem& Sys, QWidget* Parent) : QWidget(Parent), fSys(Sys), fMouse(Sys) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  Attach();
}

void TWorkArea::Attach() {
  TmemoryBitmap* work = fSys.work.get();
  if (work == nullptr || work->Empty()) {
    fImage = QImage();
  } else {
    // Blue, green, red, alpha in memory is Qt's 32-bit RGB on a little-endian machine; RGB32
    // ignores the alpha byte, as the work area shows the page without its transparency.
    fImage = QImage(work->PixelPtr(0, 0), work->Width(), work->Height(), work->Width() * 4, QImage::Format_RGB32);
  }
  SetZoom(fZoom);
}

void TWorkArea::SetZoom(TZoom Zoom) {
  if (Zoom.Num > 0 && Zoom.Den > 0) fZoom = Zoom;
  auto scaled = [&](std::int64_t side) {
    return int(std::max<std::int64_t>(1, FloorDiv(side * fZoom.Num + fZoom.Den - 1, fZoom.Den)));
  };
  setFixedSize(scaled(fSys.fwidth), scaled(fSys.fheight));
  update();
}

QPoint TWorkArea::PagePoint(const QPointF& At) const {
  const std::int64_t x = std::int64_t(std::floor(At.x()));
  const std::int64_t y = std::int64_t(std::floor(At.y()));
  return QPoint(int(FloorDiv(x * fZoom.Den, fZoom.Num)), int(FloorDiv(y * fZoom.Den, fZoom.Num)));
}

void TWorkArea::SetSafeAreas(bool Shown) {
  fSafeAreas = Shown;
  update();
}

void TWorkArea::paintEvent(QPaintEvent* Event) {
  QPainter p(this);
  if (fImage.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  const QRect r = Event->rect();
  if (fZoom.Num == fZoom.Den) {
    p.drawImage(r.topLeft(), fImage, r);
  } else if (fZoom.Num > fZoom.Den) {
    // Each page pixel a block of whole screen pixels: the page pixels the exposed part shows,
    // drawn without smoothing.
    const std::int64_t x0 = FloorDiv(std::int64_t(r.left()) * fZoom.Den, fZoom.Num);
    const std::int64_t y0 = FloorDiv(std::int64_t(r.top()) * fZoom.Den, fZoom.Num);
    const std::int64_t x1 = std::min<std::int64_t>(fImage.width(), FloorDiv((std::int64_t(r.right()) + 1) * fZoom.Den, fZoom.Num) + 1);
    const std::int64_t y1 = std::min<std::int64_t>(fImage.height(), FloorDiv((std::int64_t(r.bottom()) + 1) * fZoom.Den, fZoom.Num) + 1);
    auto screen = [&](std::int64_t page) { return int(FloorDiv(page * fZoom.Num + fZoom.Den - 1, fZoom.Den)); };
    const QRect source(int(x0), int(y0), int(x1 - x0), int(y1 - y0));
    const QRect target(QPoint(screen(x0), screen(y0)), QPoint(screen(x1) - 1, screen(y1) - 1));
    p.drawImage(target, fImage, source);
  } else {
    // A page larger than the view, shown whole.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), fImage);
  }
  PaintOverlay(p);
}

void TWorkArea::PaintOverlay(QPainter& P) {
  // A page position in half pixels to the first screen column or row at or after it.
  auto screen2 = [&](std::int64_t Pos2) { return FloorDiv(Pos2 * fZoom.Num + 2 * fZoom.Den - 1, 2 * std::int64_t(fZoom.Den)); };
  auto frame = [&](const TRect& R, const QColor& Color, Qt::PenStyle Style) {
    QPen pen(Color, 0, Style);
    P.setPen(pen);
    const int l = int(screen2(2 * std::int64_t(R.Left)));
    const int t = int(screen2(2 * std::int64_t(R.Top)));
    const int r = std::max(l, int(screen2(2 * std::int64_t(R.Right))) - 1);
    const int b = std::max(t, int(screen2(2 * std::int64_t(R.Bottom))) - 1);
    P.drawLine(l, t, r, t);
    P.drawLine(l, b, r, b);
    P.drawLine(l, t, l, b);
    P.drawLine(r, t, r, b);
  };
  if (fSafeAreas) {
    const TSafeAreas a = SafeAreasFor(fSys.fwidth, fSys.fheight);
    if (a.CentreCut) frame(*a.CentreCut, kCentreCut, Qt::DashLine);
    frame(a.Action, kActionSafe, Qt::SolidLine);
    frame(a.Graphics, kGraphicsSafe, Qt::SolidLine);
  }
  if (fRedFrame) {
    // Automatic keying is on.
    P.setPen(QPen(QColor(230, 20, 20), 4));
    P.setBrush(Qt::NoBrush);
    P.drawRect(rect().adjusted(2, 2, -2, -2));
  }
  P.setPen(QPen(kGuide, 0));
  for (const TSnapGuide& g : fMouse.Guides()) {
    if (g.Vertical) {
      const int x = int(std::clamp<std::int64_t>(screen2(g.Position2), 0, width() - 1));
      P.drawLine(x, 0, x, height() - 1);
    } else {
      const int y = int(std::clamp<std::int64_t>(screen2(g.Position2), 0, height() - 1));
      P.drawLine(0, y, width() - 1, y);
    }
  }
}

void TWorkArea::mousePressEvent(QMouseEvent* Event) {
  setFocus(Qt::MouseFocusReason);  // keys now go to the page, not to a field that had them
  const auto button = ButtonOf(Event->button());
  if (Suspended || !button) return;
  const QPoint at = PagePoint(Event->position());
  fMouse.Zoom = fZoom;
  fMouse.SafeAreas = fSafeAreas;
  const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
  if (Recorder != nullptr) {
    Step([&] { Recorder->MouseDown(*button, shift, at.x(), at.y()); });
    fMouse.Pressed(at.x(), at.y());
  } else {
    fMouse.MouseDown(*button, shift, at.x(), at.y());
  }
  if (OnTouched) OnTouched();
}

void TWorkArea::Step(const std::function<void()>& Record) {
  if (AroundStep) {
    AroundStep(Record);
  } else {
    Record();
  }
}

void TWorkArea::mouseMoveEvent(QMouseEvent* Event) {
  if (Suspended) return;
  const QPoint at = PagePoint(Event->position());
  TCursor cursor = TCursor::crDefault;
  const bool guided = !fMouse.Guides().empty();
  fMouse.MouseMove(ShiftStateOf(Event->modifiers(), Event->buttons()), at.x(), at.y(), cursor);
  if (!fMouse.Dragging()) setCursor(CursorShapeOf(cursor));
  if (guided || !fMouse.Guides().empty()) update();
  if (OnTouched) OnTouched();
}

void TWorkArea::mouseReleaseEvent(QMouseEvent* Event) {
  const auto button = ButtonOf(Event->button());
  if (Suspended || !button) return;
  const QPoint at = PagePoint(Event->position());
  const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
  if (Recorder != nullptr) {
    Step([&] { Recorder->MouseUp(*button, shift, at.x(), at.y()); });
    fMouse.Released();
  } else {
    fMouse.MouseUp(*button, shift, at.x(), at.y());
  }
  update();  // the guide goes
  if (OnTouched) OnTouched();
}

void TWorkArea::leaveEvent(QEvent*) {
  // The hover mark follows the pointer: it goes with it, and one last frame shows that.
  if (!Suspended) fSys.MouseLeave();
  if (OnTouched) OnTouched();
}

void TWorkArea::wheelEvent(QWheelEvent* Event) {
  if (!(Event->modifiers() & Qt::ControlModifier)) {
    Event->ignore();  // the scroll area around scrolls the page
    return;
  }
  fWheel += Event->angleDelta().y();
  const int steps = fWheel / 120;
  fWheel %= 120;
  if (steps != 0 && OnZoomWheel) OnZoomWheel(steps, Event->position().toPoint());
  Event->accept();
}

void TWorkArea::dragEnterEvent(QDragEnterEvent* Event) {
  const std::vector<TDropItem> items = ClassifyDrops(DroppedPaths(Event->mimeData()));
  if (AnyTaken(items)) {
    Event->acceptProposedAction();
    return;
  }
  Event->ignore();  // the pointer shows "no"
  if (OnRefused) OnRefused(QString::fromStdString(RefusedMessage(items)));
}

void TWorkArea::dragMoveEvent(QDragMoveEvent* Event) {
  if (AnyTaken(ClassifyDrops(DroppedPaths(Event->mimeData())))) {
    Event->acceptProposedAction();
  } else {
    Event->ignore();
  }
}

void TWorkArea::dropEvent(QDropEvent* Event) {
  const std::vector<TDropItem> items = ClassifyDrops(DroppedPaths(Event->mimeData()));
  if (!AnyTaken(items) || Suspended) {
    Event->ignore();
    if (OnRefused && !Suspended) OnRefused(QString::fromStdString(RefusedMessage(items)));
    return;
  }
  Event->acceptProposedAction();
  const QPoint at = PagePoint(Event->position());
  if (OnDrop) OnDrop(items, {at.x(), at.y()});
  const std::string refused = RefusedMessage(items);
  if (!refused.empty() && OnRefused) OnRefused(QString::fromStdString(refused));
}

}  // namespace qv

#include "editor_widgets/WorkAreaWidget.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

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

namespace {

std::optional<TMouseButton> ButtonOf(Qt::MouseButton Button) {
  switch (Button) {
    case Qt::LeftButton: return TMouseButton::mbLeft;
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return std::nullopt;
  }
}

}  // namespace

TWorkArea::TWorkArea(TQVSystem& Sys, QWidget* Parent) : QWidget(Parent), fSys(Sys) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Attach();
}

void TWorkArea::Attach() {
  TmemoryBitmap* work = fSys.work.get();
  if (work == nullptr || work->Empty()) {
    fImage = QImage();
    SetScale(fScale);
    return;
  }
  // Blue, green, red, alpha in memory is Qt's 32-bit RGB on a little-endian machine; RGB32
  // ignores the alpha byte, as the work area shows the page without its transparency.
  fImage = QImage(work->PixelPtr(0, 0), work->Width(), work->Height(), work->Width() * 4, QImage::Format_RGB32);
  SetScale(fScale);
}

void TWorkArea::SetScale(double Scale) {
  fScale = Scale > 0 && Scale < 1 ? Scale : 1.0;
  setFixedSize(std::max(1, int(std::lround(fSys.fwidth * fScale))), std::max(1, int(std::lround(fSys.fheight * fScale))));
  update();
}

QPoint TWorkArea::PagePoint(const QPointF& At) const {
  if (fScale == 1.0) return At.toPoint();
  return QPoint(int(std::floor(At.x() / fScale)), int(std::floor(At.y() / fScale)));
}

void TWorkArea::paintEvent(QPaintEvent* Event) {
  QPainter p(this);
  if (fImage.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  if (fScale == 1.0) {
    const QRect r = Event->rect();
    p.drawImage(r.topLeft(), fImage, r);
  } else {
    // A page larger than the panel, shown whole.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), fImage);
  }
  if (fRedFrame) {
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setPen(QPen(QColor(230, 20, 20), 4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(2, 2, -2, -2));
  }
}

void TWorkArea::mousePressEvent(QMouseEvent* Event) {
  setFocus(Qt::MouseFocusReason);  // keys now go to the page, not to a field that had them
  const auto button = ButtonOf(Event->button());
  if (Suspended || !button) return;
  const QPoint at = PagePoint(Event->position());
  if (OnGestureStart) OnGestureStart();
  fSys.MouseDown(*button, ShiftStateOf(Event->modifiers(), Event->buttons()), at.x(), at.y());
  if (OnTouched) OnTouched();
}

void TWorkArea::mouseMoveEvent(QMouseEvent* Event) {
  if (Suspended) return;
  const QPoint at = PagePoint(Event->position());
  TCursor cursor = TCursor::crDefault;
  fSys.MouseMove(ShiftStateOf(Event->modifiers(), Event->buttons()), at.x(), at.y(), cursor);
  setCursor(CursorShapeOf(cursor));
  if (OnTouched) OnTouched();
}

void TWorkArea::mouseReleaseEvent(QMouseEvent* Event) {
  const auto button = ButtonOf(Event->button());
  if (Suspended || !button) return;
  const QPoint at = PagePoint(Event->position());
  fSys.MouseUp(*button, ShiftStateOf(Event->modifiers(), Event->buttons()), at.x(), at.y());
  if (OnGestureEnd) OnGestureEnd();
  if (OnTouched) OnTouched();
}

void TWorkArea::leaveEvent(QEvent*) {
  // The hover outline follows the pointer; one last frame once it has left.
  if (OnTouched) OnTouched();
}

}  // namespace qv

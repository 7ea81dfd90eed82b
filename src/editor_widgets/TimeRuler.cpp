#include "editor_widgets/TimeRuler.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

const QColor kBackground(52, 52, 52);
const QColor kPanning(68, 68, 68);  // the background lightened by 16 per channel
const QColor kGrey(128, 128, 128);
const QColor kEdge(56, 56, 56);

// A one-pixel line from a to b, b excluded; only horizontal and vertical lines are drawn.
void Line(QPainter& p, int x0, int y0, int x1, int y1, const QColor& c) {
  if (x0 == x1 && y1 > y0)
    p.fillRect(x0, y0, 1, y1 - y0, c);
  else if (y0 == y1 && x1 > x0)
    p.fillRect(x0, y0, x1 - x0, 1, c);
}

// The playhead marker: a red pointer 12 x 16 whose point is at x + 6, bottom.
void Marker(QPainter& p, int x, int y) {
  QPainterPath path;
  path.moveTo(x + 0.5, y + 1);
  path.lineTo(x + 11.5, y + 1);
  path.lineTo(x + 11.5, y + 8);
  path.lineTo(x + 6, y + 15);
  path.lineTo(x + 0.5, y + 8);
  path.closeSubpath();
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor(120, 0, 0), 1));
  p.setBrush(QColor(230, 20, 20));
  p.drawPath(path);
  p.restore();
}

}  // namespace

TTimeRuler::TTimeRuler(QWidget* AOwner) : QWidget(AOwner) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kBackground);
  setPalette(pal);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the paint fills every pixel
  resize(625, 56);
  setMinimumHeight(43);
  // Moves without a button arrive too: one in the middle of a gesture means its release was lost.
  setMouseTracking(true);
  fModel.SetSize(width(), height());
  fModel.Repaint = [this] { update(); };
  fModel.OnChange = [this] { emit changed(fModel.Frame()); };
  fTimer.setInterval(10);
  connect(&fTimer, &QTimer::timeout, this, [this] {
    fModel.AutoScrollStep(fPointerX);
    SyncTimer();
  });
}

void TTimeRuler::SetTimeAssociate(QLineEdit* Field) {
  if (fAssociate) fAssociate->removeEventFilter(this);
  fAssociate = Field;
  if (!Field) {
    fModel.OnFieldText = nullptr;
    return;
  }
  Field->installEventFilter(this);
  fModel.OnFieldText = [this](const std::string& Text) {
    if (fAssociate) fAssociate->setText(QString::fromStdString(Text));
  };
}

bool TTimeRuler::eventFilter(QObject* Watched, QEvent* Event) {
  // The type first: a field being destroyed still passes events here, and looking at the guarded
  // pointer then would treat a half-destroyed widget as a line edit.
  if (Event->type() == QEvent::KeyPress && Watched == fAssociate) {
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      fModel.FieldEnter(fAssociate->text().toStdString());
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}

void TTimeRuler::CancelGesture() {
  if (fModel.MouseMode() == -1 && !fTimer.isActive()) return;
  fModel.CaptureLost();
  SyncTimer();
}

bool TTimeRuler::event(QEvent* Event) {
  switch (Event->type()) {
    // Each of these takes the pointer away from a gesture without a release reaching us.
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
    case QEvent::WindowBlocked:
    case QEvent::UngrabMouse:
      CancelGesture();
      break;
    default:
      break;
  }
  return QWidget::event(Event);
}

void TTimeRuler::SyncTimer() {
  if (fModel.AutoScrolling() && !fTimer.isActive())
    fTimer.start();
  else if (!fModel.AutoScrolling() && fTimer.isActive())
    fTimer.stop();
}

void TTimeRuler::resizeEvent(QResizeEvent* Event) {
  fModel.SetSize(width(), height());
  QWidget::resizeEvent(Event);
}

void TTimeRuler::mousePressEvent(QMouseEvent* Event) {
  const QPoint pos = Event->position().toPoint();
  TRulerButton button = TRulerButton::rbMiddle;
  if (Event->button() == Qt::LeftButton)
    button = TRulerButton::rbLeft;
  else if (Event->button() == Qt::RightButton)
    button = TRulerButton::rbRight;
  fPointerX = pos.x();
  fModel.ButtonDown(button, pos.x(), pos.y());
  SyncTimer();
}

void TTimeRuler::mouseMoveEvent(QMouseEvent* Event) {
  setCursor(Qt::ArrowCursor);
  const QPoint pos = Event->position().toPoint();
  // A drag whose button is no longer down lost its release somewhere.
  if (fModel.MouseMode() != -1 && Event->buttons() == Qt::NoButton) {
    CancelGesture();
    return;
  }
  fPointerX = pos.x();
  fModel.MouseMove(pos.x(), pos.y());
}

void TTimeRuler::wheelEvent(QWheelEvent* Event) {
  // The wheel zooms: a notch a quarter in or out, the playhead kept in the middle.
  const int notches = Event->angleDelta().y() / 120;
  if (notches == 0) return;
  SetScale(std::clamp(Scale() * std::pow(1.25, notches), kMinZoom, kMaxZoom));
  SetFrame(Frame());
  Event->accept();
}

void TTimeRuler::mouseReleaseEvent(QMouseEvent*) {
  fModel.ButtonUp();
  SyncTimer();
}

void TTimeRuler::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const int h = height();
  const int left = fModel.LeftMargin();
  p.fillRect(rect(), kBackground);

  // The ruler area R, its right and bottom edges excluded.
  const QRect r(QPoint(left, 15), QPoint(w - fModel.RightMargin(), 40));
  p.setClipRect(QRect(QPoint(left - 2, 16), QPoint(w - fModel.RightMargin() - 1, 39)));
  p.fillRect(QRect(QPoint(r.left(), 21), QPoint(r.right(), 40)),
             fModel.MouseMode() == 1 ? kPanning : kBackground);

  fModel.Ticks(fTicks);
  QFont f = font();
  f.setWeight(QFont::Light);
  p.setFont(f);
  p.setPen(Qt::white);
  const QFontMetrics fm(f);
  for (const TRulerTick& t : fTicks) {
    Line(p, t.X, 37, t.X, 40, kGrey);
    if (!t.Major) continue;
    Line(p, t.X, 34, t.X, 40, Qt::white);
    const QString label = QString::fromStdString(t.Label);
    const int x = t.X - fm.horizontalAdvance(label) / 2 + 2;
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
    p.drawText(x, 22 + fm.ascent(), label);
    p.restore();
  }
  // The page's Duration ends here: what follows is dimmed.
  if (fEndMark > 0) {
    const int end = fModel.FrameToPixel(fEndMark);
    if (end < w) {
      p.fillRect(QRect(QPoint(std::max(end, left), 23), QPoint(w, 40)), QColor(0, 0, 0, 90));
      Line(p, end, 15, end, 41, QColor(240, 200, 60));
    }
  }
  p.setClipping(false);

  Line(p, 0, 41, w, 41, kGrey);
  Line(p, 0, 22, w, 22, kGrey);
  const int head = left + fModel.FramePosition();
  Line(p, head, 17, head, h, Qt::red);
  Line(p, 0, 0, 0, h, kEdge);
  Marker(p, head - 4 - 2, 8);  // its point on the playhead line
  // Outline, the bottom edge falls just below the control.
  Line(p, 0, 0, w, 0, Qt::black);
  Line(p, 0, 0, 0, h + 1, Qt::black);
  Line(p, w - 1, 0, w - 1, h + 1, Qt::black);
}

}  // namespace qv

#include "editor_widgets/LayerTimelineWidget.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>

namespace qv {

namespace {

const char* const kLayerIcons[] = {"insert-image", "insert-sequence", "insert-text", "insert-roll", "insert-clock"};

void Diamond(QPainter& p, int X, int Y, bool Selected) {
  QPainterPath path;
  const int r = TLayerTimelineModel::kKeyHalf;
  path.moveTo(X, Y - r);
  path.lineTo(X + r, Y);
  path.lineTo(X, Y + r);
  path.lineTo(X - r, Y);
  path.closeSubpath();
  p.fillPath(path, Selected ? QColor(255, 140, 40) : QColor(240, 192, 64));
  p.setPen(QPen(Selected ? QColor(255, 255, 255) : QColor(30, 30, 30), 1));
  p.drawPath(path);
}

}  // namespace

TLayerTimeline::TLayerTimeline(const TTimeRulerModel& Ruler, QWidget* Parent)
    : QWidget(Parent), fModel(Ruler), fRuler(Ruler) {
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(false);
  fModel.Repaint = [this] { update(); };
  for (std::size_t i = 0; i < fIcons.size(); ++i)
    fIcons[i] = QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kLayerIcons[i]))).pixmap(16, 16);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(40, 41, 44));
  setPalette(pal);
}

void TLayerTimeline::SetFrames(std::int32_t Current, std::int32_t End) {
  if (Current == fCurrent && End == fEnd) return;
  fCurrent = Current;
  fEnd = End;
  update();
}

void TLayerTimeline::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int header = fModel.HeaderWidth();
  const auto& rows = fModel.Rows();
  const int h = TLayerTimelineModel::kRowHeight;
  for (int i = 0; i < int(rows.size()); ++i) {
    const TTimelineRow& row = rows[std::size_t(i)];
    const int top = fModel.RowTop(i);
    if (top + h < 0 || top > height()) continue;
    const QRect line(0, top, width(), h);
    p.fillRect(line, row.Selected ? QColor(52, 60, 74) : (i % 2 ? QColor(44, 45, 48) : QColor(40, 41, 44)));
    // The name column.
    p.save();
    p.setClipRect(0, top, header - 2, h);
    p.setPen(QColor(220, 222, 226));
    int x = 2;
    if (row.IsLayer()) {
      if (row.Openable) {
        QPainterPath t;
        if (row.Open) {
          t.moveTo(4, top + 7);
          t.lineTo(12, top + 7);
          t.lineTo(8, top + 13);
        } else {
          t.moveTo(6, top + 5);
          t.lineTo(12, top + 10);
          t.lineTo(6, top + 15);
        }
        p.fillPath(t, QColor(200, 200, 200));
      }
      x = TLayerTimelineModel::kExpanderWidth;
      const int icon = std::clamp(row.Icon, 0, 4);
      p.drawPixmap(x, top + 2, fIcons[std::size_t(icon)]);
      x += 20;
    } else {
      x = TLayerTimelineModel::kExpanderWidth + 20;
      p.setPen(QColor(170, 175, 182));
    }
    p.drawText(QRect(x, top, header - x - 4, h), Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(row.Name));
    p.restore();
    // The track.
    p.save();
    p.setClipRect(header, top, width() - header, h);
    if (row.IsLayer()) {
      const auto bar = fModel.BarOf(i);
      const QRect r(bar.Left, top + TLayerTimelineModel::kBarInset, std::max(1, bar.Right - bar.Left),
                    h - 2 * TLayerTimelineModel::kBarInset);
      p.fillRect(r, row.Selected ? QColor(74, 155, 232) : QColor(70, 110, 150));
      p.fillRect(QRect(r.left(), r.top(), 3, r.height()), QColor(210, 225, 245));
      p.fillRect(QRect(r.right() - 2, r.top(), 3, r.height()), QColor(210, 225, 245));
    }
    for (const auto& d : fModel.DiamondsOf(i)) Diamond(p, d.X, top + h / 2, d.Selected);
    p.restore();
  }
  p.setClipRect(header, 0, width() - header, height());
  // The Duration's end, and the playhead.
  const int endX = fModel.XOfFrame(fEnd);
  p.fillRect(QRect(endX, 0, width() - endX, height()), QColor(0, 0, 0, 70));
  p.setPen(QPen(QColor(240, 200, 60), 1, Qt::DashLine));
  p.drawLine(endX, 0, endX, height());
  const int playX = fModel.XOfFrame(fCurrent);
  p.setPen(QPen(QColor(255, 0, 0), 1));
  p.drawLine(playX, 0, playX, height());
  if (const auto band = fModel.RubberBand()) {
    p.setPen(QPen(QColor(255, 255, 255), 1, Qt::DotLine));
    p.setBrush(QColor(255, 255, 255, 30));
    p.drawRect(QRect(QPoint((*band)[0], (*band)[1]), QPoint((*band)[2], (*band)[3])));
  }
  p.setClipping(false);
  p.setPen(QColor(20, 20, 22));
  p.drawLine(header - 1, 0, header - 1, height());
}

void TLayerTimeline::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton) return;
  const QPoint at = Event->position().toPoint();
  fModel.ButtonDown(at.x(), at.y(), (Event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) != 0);
}

void TLayerTimeline::mouseMoveEvent(QMouseEvent* Event) {
  const QPoint at = Event->position().toPoint();
  fModel.MouseMove(at.x(), at.y());
}

void TLayerTimeline::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) fModel.ButtonUp();
}

void TLayerTimeline::keyPressEvent(QKeyEvent* Event) {
  if ((Event->key() == Qt::Key_Delete || Event->key() == Qt::Key_Backspace) && !fModel.SelectedKeys().empty()) {
    if (auto step = fModel.DeleteSelectedKeys(); step && fModel.OnStep) fModel.OnStep(std::move(step));
    Event->accept();
    return;
  }
  QWidget::keyPressEvent(Event);
}

void TLayerTimeline::wheelEvent(QWheelEvent* Event) {
  fModel.SetScrollY(std::clamp(fModel.ScrollY() - Event->angleDelta().y() / 6, 0,
                               std::max(0, fModel.ContentHeight() - height())));
  update();
}

void TLayerTimeline::contextMenuEvent(QContextMenuEvent* Event) {
  const TTimelineHit hit = fModel.HitTest(Event->pos().x(), Event->pos().y());
  if (hit.Row >= 0 && OnContextMenu) OnContextMenu(hit, Event->globalPos());
}

void TLayerTimeline::focusOutEvent(QFocusEvent* Event) {
  if (fModel.Dragging()) fModel.CaptureLost();
  QWidget::focusOutEvent(Event);
}

}  // namespace qv

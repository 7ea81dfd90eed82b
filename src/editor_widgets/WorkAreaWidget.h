#pragma once
// The work area (PaintBox1): shows the composition's work image at 1:1 with alpha ignored, straight
// from the image's memory, and hands the pointer's presses, moves and releases to the composition.
#include "composition/QvSystem.h"

#include <QImage>
#include <QWidget>

#include <functional>

namespace qv {

class TWorkArea final : public QWidget {
 public:
  TWorkArea(TQVSystem& Sys, QWidget* Parent);
  // Wraps the composition's work image again (after it was made anew or resized).
  void Attach();
  // Shows the page at Scale (1: one pixel a pixel; below 1 for pages larger than the panel);
  // pointer positions are taken back to page pixels.
  void SetScale(double Scale);
  double Scale() const { return fScale; }
  // The page position under a point of the widget.
  QPoint PagePoint(const QPointF& At) const;
  // Called after every event handed to the composition (the window then draws a new frame).
  std::function<void()> OnTouched;
  // Around a press and its release, before the composition sees the one and after it saw the
  // other (the window takes the gesture's states for the history).
  std::function<void()> OnGestureStart;
  std::function<void()> OnGestureEnd;
  // While true, pointer events are not handed on (a long load is running).
  bool Suspended = false;
  // Automatic keying is on: a red frame round the page says so.
  void SetRedFrame(bool On) {
    fRedFrame = On;
    update();
  }
  bool RedFrame() const { return fRedFrame; }

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void leaveEvent(QEvent* Event) override;

 private:
  TQVSystem& fSys;
  QImage fImage;  // over fSys.work's pixels, never a copy
  double fScale = 1.0;
  bool fRedFrame = false;
};

// The held modifier keys and buttons of a Qt event, as the composition takes them.
TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);
// The composition's cursor as a Qt cursor shape.
Qt::CursorShape CursorShapeOf(TCursor Cursor);

}  // namespace qv

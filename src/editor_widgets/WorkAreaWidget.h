#pragma once
// The work area (PaintBox1): shows the composition's work image with alpha ignored, straight from
// the image's memory, at the view's zoom (1:1 copies the pixels; above it each page pixel is a
// block of whole screen pixels; below it the page is smoothed), and over it what only the editor
// draws: the safe-area frames, the snap guide of a drag that rests on a line and the red frame of
// automatic keying. It hands the pointer to the composition through the snapping mouse, and files
// dropped on it to the window.
#include "composition/QvSystem.h"
#include "editor_logic/Drops.h"
#include "editor_logic/Snapping.h"
#include "editor_logic/WorkAreaView.h"
#include "history/PageCommands.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

class QMimeData;

namespace qv {

class TWorkArea final : public QWidget {
 public:
  TWorkArea(TQVSystem& Sys, QWidget* Parent);
  // Wraps the composition's work image again (after it was made anew or resized).
  void Attach();
  // Shows the page at Zoom (screen pixels per page pixel); the widget takes the page's size at it.
  void SetZoom(TZoom Zoom);
  TZoom Zoom() const { return fZoom; }
  double Scale() const { return double(fZoom.Num) / fZoom.Den; }
  // The page pixel under a point of the widget.
  QPoint PagePoint(const QPointF& At) const;
  // Whether the safe-area frames are shown (and pull a drag).
  void SetSafeAreas(bool Shown);
  bool SafeAreas() const { return fSafeAreas; }
  // The lines a drag rests on now.
  const std::vector<TSnapGuide>& Guides() const { return fMouse.Guides(); }
  bool Dragging() const { return fMouse.Dragging(); }

  // Called after every event handed to the composition (the window then draws a new frame).
  std::function<void()> OnTouched;
  // Ctrl+wheel: Steps notches up (positive) or down at a point of the widget.
  std::function<void(int Steps, QPoint At)> OnZoomWheel;
  // Files dropped on the page, with the page pixel they were dropped at; Refused tells why files
  // are not taken (the pointer shows "no" while none of them would be).
  std::function<void(const std::vector<TDropItem>& Items, TPagePoint At)> OnDrop;
  std::function<void(const QString& Why)> OnRefused;
  // While true, pointer events are not handed on (a long load is running).
  bool Suspended = false;
  // When set, presses and releases go through it, so a drag becomes one step of the history.
  TWorkAreaRecorder* Recorder = nullptr;
  // Runs what records a step (the recorder's press and release); none: runs it as it is. The
  // window withdraws the page's test data meanwhile, so that no step holds a test value.
  std::function<void(const std::function<void()>& Record)> AroundStep;
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
  void wheelEvent(QWheelEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  void PaintOverlay(class QPainter& P);
  void Step(const std::function<void()>& Record);
  TQVSystem& fSys;
  TSnappingMouse fMouse;
  QImage fImage;  // over fSys.work's pixels, never a copy
  TZoom fZoom;
  bool fSafeAreas = false;
  bool fRedFrame = false;
  int fWheel = 0;  // eighths of a degree not yet a whole notch
};

// The held modifier keys and buttons of a Qt event, as the composition takes them.
TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);
// The composition's cursor as a Qt cursor shape.
Qt::CursorShape CursorShapeOf(TCursor Cursor);
// The local files and folders a drag carries, as paths.
std::vector<std::string> DroppedPaths(const QMimeData* Data);

}  // namespace qv

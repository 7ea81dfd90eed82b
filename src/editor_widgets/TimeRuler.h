#pragma once
// TTimeRuler: the timeline under the work area. It paints a TTimeRulerModel (ticks, labels, the
// red playhead) and forwards mouse, timer and key events to it; the model does the arithmetic.
//
// In a window:
//   auto* ruler = new qv::TTimeRuler(panel);            // scale 0.75, margins 8, frame 0
//   layout->addWidget(ruler, 1);
//   auto* field = new QLineEdit(panel);                 // or a qv::TEDit
//   layout->addWidget(field);
//   ruler->SetTimeAssociate(field);                     // shows MM:SS:FF; Enter moves the playhead
//   QObject::connect(ruler, &qv::TTimeRuler::changed, window,
//                    [sys](int frame) { sys->frame = frame; });
//   ruler->SetFrame(0);                                 // fills the field
// `changed` is raised by every change of frame or layout (OnChange), not only by the user.
#include "editor_logic/TimeRulerModel.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <vector>

class QLineEdit;

namespace qv {

class TTimeRuler : public QWidget {
  Q_OBJECT

 public:
  explicit TTimeRuler(QWidget* AOwner = nullptr);

  std::int32_t Frame() const { return fModel.Frame(); }
  // Moves the playhead to a frame and scrolls it to the middle of the ruler.
  void SetFrame(int Value) { fModel.SetFrame(Value); }
  void SetFramePos(int Value, bool Change) { fModel.SetFramePos(Value, Change); }

  // How far the wheel zooms: from a minute in some 50 pixels to a frame in 16.
  static constexpr double kMinZoom = 0.02;
  static constexpr double kMaxZoom = 8.0;
  double Scale() const { return fModel.Scale(); }
  void SetScale(double Value) { fModel.SetScale(Value); }
  std::int32_t Debut() const { return fModel.Debut(); }
  void SetDebut(int Value) { fModel.SetDebut(Value); }
  void SetLeftMargin(int Value) { fModel.SetLeftMargin(Value); }
  void SetRightMargin(int Value) { fModel.SetRightMargin(Value); }
  void SetLastFrame(int Value) { fModel.SetLastFrame(Value); }
  // The first frame past the page's Duration: the ruler marks it and dims what follows (0: none).
  void SetEndMark(int Frame) {
    if (Frame == fEndMark) return;
    fEndMark = Frame;
    update();
  }
  int EndMark() const { return fEndMark; }

  // Binds a field (not owned; none unbinds): it shows each frame as MM:SS:FF, and Enter in it
  // moves the playhead to the frame typed.
  void SetTimeAssociate(QLineEdit* Field);
  QLineEdit* TimeAssociate() const { return fAssociate; }

  const TTimeRulerModel& Model() const { return fModel; }
  bool AutoScrollActive() const { return fTimer.isActive(); }

  // Ends a drag or pan whose button release will never arrive.
  void CancelGesture();

 signals:
  void changed(int frame);  // OnChange

 protected:
  bool event(QEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;

 private:
  void SyncTimer();

  TTimeRulerModel fModel;
  QTimer fTimer;
  QPointer<QLineEdit> fAssociate;
  std::int32_t fPointerX = 0;  // last pointer x seen during a gesture
  std::vector<TRulerTick> fTicks;
  int fEndMark = 0;
};

}  // namespace qv

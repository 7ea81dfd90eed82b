#pragma once
// The layer timeline under the page: paints what its model (editor_logic/LayerTimeline.h) holds
// — names and icons, bars, diamonds, the playhead, the Duration's end — on the time ruler's scale,
// and forwards the mouse, Delete and the context menu to it and to the window.
#include "editor_logic/LayerTimeline.h"

#include <QPixmap>
#include <QWidget>

#include <array>

#include <functional>

namespace qv {

class TLayerTimeline final : public QWidget {
 public:
  TLayerTimeline(const TTimeRulerModel& Ruler, QWidget* Parent);

  TLayerTimelineModel& Model() { return fModel; }
  // The page's current frame and the frames playback covers (the Duration's end is marked).
  void SetFrames(std::int32_t Current, std::int32_t End);
  // The context menu asked for at a point, with what lies there.
  std::function<void(const TTimelineHit& Hit, const QPoint& Global)> OnContextMenu;

  QSize sizeHint() const override { return {600, 12 * TLayerTimelineModel::kRowHeight}; }

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

 private:
  TLayerTimelineModel fModel;
  const TTimeRulerModel& fRuler;
  std::int32_t fCurrent = 0;
  std::int32_t fEnd = 1;
  std::array<QPixmap, 5> fIcons;  // the layer kinds' icons, drawn once (not an icon made per paint)
};

}  // namespace qv

#pragma once
// The layer timeline without its widget: one track per layer in stacking order (the top layer
// first), each with a bar from its in-point (LayerIN) over its Duration and a diamond on every
// frame where one of its animated properties has a key; a track opened like a grid group shows a
// row per animated property. Positions come from the time ruler's scale and scroll, so the two
// zoom and scroll together. Hit tests, the key selection and the gestures — drag a bar's end or
// the bar, drag diamonds (on whole frames, never onto another key), a rubber band — are here; the
// widget paints the rows and forwards its mouse events. A finished drag hands a step to the
// document's history.
#include "editor_logic/KeyCommands.h"
#include "editor_logic/TimeRulerModel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv {

struct TTimelineRow {
  TLayer* Layer = nullptr;
  TBaseProperty* Property = nullptr;  // the animated property of a property row; none on a layer row
  std::string Name;                   // the layer's name, or the property's ("Font.FontColor.Red")
  std::int32_t Icon = 0;              // the layer's kind (TLayer::IconIndex)
  bool Openable = false;              // a layer row with animated properties
  bool Open = false;
  bool Selected = false;              // the row's layer is the page's selection
  std::int32_t In = 0;                // layer rows: LayerIN and Duration
  std::int32_t Duration = 0;
  std::vector<std::int32_t> Keys;     // key frames, ascending, each once
  bool IsLayer() const { return Property == nullptr; }
  friend bool operator==(const TTimelineRow&, const TTimelineRow&) = default;
};

enum class TTimelinePart : std::uint8_t {
  tpNone,      // below the last row
  tpExpander,  // the open / close triangle of a layer row
  tpName,      // the name column
  tpTrack,     // the track, off the bar and the diamonds
  tpBar,       // the bar's body: moves the layer in time
  tpBarStart,  // the bar's left end: the in-point, the out-point staying
  tpBarEnd,    // the bar's right end: the duration
  tpKey,       // a diamond
};

struct TTimelineHit {
  TTimelinePart Part = TTimelinePart::tpNone;
  std::int32_t Row = -1;
  std::int32_t Frame = 0;  // the diamond's frame on tpKey
};

class TLayerTimelineModel {
 public:
  static constexpr std::int32_t kRowHeight = 20;
  static constexpr std::int32_t kExpanderWidth = 16;
  static constexpr std::int32_t kKeyHalf = 5;  // a diamond is hit within 5 pixels of its centre
  static constexpr std::int32_t kGrip = 4;     // a bar's end is hit within 4 pixels of it
  static constexpr std::int32_t kBarInset = 3; // the bar leaves 3 pixels above and below

  explicit TLayerTimelineModel(const TTimeRulerModel& Ruler) : fRuler(Ruler) {}

  std::function<void()> Repaint;
  // A click on a track selects its layer.
  std::function<void(TLayer* Layer)> OnSelectLayer;
  // A finished drag: the step for the history, not yet done (THistory::Do does it).
  std::function<void(std::unique_ptr<TStep> Step)> OnStep;

  // The rows as the page stands (after any change of layers, keys, timing or selection). Keys of
  // the selection that are gone leave it. Asks for a repaint only when something shown changed,
  // so that it may run on every frame.
  void Rebuild(TQVSystem& Sys);
  TQVSystem* Page() const { return fSys; }
  const std::vector<TTimelineRow>& Rows() const { return fRows; }
  // Opens or closes a layer row (its property rows follow it).
  void SetOpen(TLayer* Layer, bool Open);

  // The width of the name column: tracks start right of it, and frame f sits at the ruler's x of
  // f shifted by it.
  void SetHeaderWidth(std::int32_t W) { fHeaderWidth = W; }
  std::int32_t HeaderWidth() const { return fHeaderWidth; }
  void SetScrollY(std::int32_t Y) { fScrollY = Y < 0 ? 0 : Y; }
  std::int32_t ScrollY() const { return fScrollY; }
  std::int32_t ContentHeight() const { return static_cast<std::int32_t>(fRows.size()) * kRowHeight; }
  std::int32_t RowTop(std::int32_t Row) const { return Row * kRowHeight - fScrollY; }
  std::int32_t RowAt(std::int32_t Y) const;  // -1 off the rows
  std::int32_t XOfFrame(std::int32_t Frame) const { return fHeaderWidth + fRuler.FrameToPixel(Frame); }
  std::int32_t FrameAtX(std::int32_t X) const { return fRuler.PixelToFrame(X - fHeaderWidth); }

  TTimelineHit HitTest(std::int32_t X, std::int32_t Y) const;

  // The bar and the diamonds to paint, with a drag under way shown where it would leave them.
  struct TBar {
    std::int32_t In;
    std::int32_t Duration;
    std::int32_t Left;   // x of the in-point
    std::int32_t Right;  // x after the last frame shown (In + Duration)
  };
  TBar BarOf(std::int32_t Row) const;
  struct TDiamond {
    std::int32_t Frame;
    std::int32_t X;
    bool Selected;
  };
  std::vector<TDiamond> DiamondsOf(std::int32_t Row) const;
  // The rubber band being dragged, as (left, top, right, bottom).
  std::optional<std::array<std::int32_t, 4>> RubberBand() const;

  // Key selection.
  const std::set<TKeyRef>& SelectedKeys() const { return fSelected; }
  void SelectKeys(const std::vector<TKeyRef>& Keys, bool Extend);
  void ClearKeySelection();
  // The keys a diamond stands for: every animated property of the layer with a key on Frame, or
  // the row's property.
  std::vector<TKeyRef> KeysAt(std::int32_t Row, std::int32_t Frame) const;
  // Delete: the selected keys, as a step (none without a selection).
  std::unique_ptr<TStep> DeleteSelectedKeys();

  // Gestures. Extend (Ctrl or Shift) adds to the key selection or toggles a diamond.
  void ButtonDown(std::int32_t X, std::int32_t Y, bool Extend);
  void MouseMove(std::int32_t X, std::int32_t Y);
  void ButtonUp();
  // The release never comes: the drag is dropped, nothing changes.
  void CaptureLost();
  bool Dragging() const { return fMode != TMode::mdNone; }

 private:
  enum class TMode : std::uint8_t { mdNone, mdKeys, mdBar, mdBarStart, mdBarEnd, mdBand };
  void AskRepaint() const {
    if (Repaint) Repaint();
  }
  std::int32_t RowOf(const TLayer* Layer) const;
  // The in-point and duration a bar drag of Delta frames gives Row.
  std::pair<std::int32_t, std::int32_t> DraggedTiming(const TTimelineRow& Row, std::int32_t Delta) const;
  void BandSelect();

  const TTimeRulerModel& fRuler;
  TQVSystem* fSys = nullptr;
  std::vector<TTimelineRow> fRows;
  std::set<const TLayer*> fOpen;
  std::set<TKeyRef> fSelected;
  std::int32_t fHeaderWidth = 150;
  std::int32_t fScrollY = 0;

  TMode fMode = TMode::mdNone;
  const TLayer* fDragLayer = nullptr;
  std::int32_t fDownFrame = 0;
  std::int32_t fDelta = 0;
  std::int32_t fDownX = 0, fDownY = 0, fX = 0, fY = 0;
  std::set<TKeyRef> fBandBase;  // the selection a rubber band adds to
};

}  // namespace qv

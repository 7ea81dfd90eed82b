#pragma once
// The time ruler without its widget: scale, scroll offset, current frame, the mapping between
// pixels and frames, the ticks and labels to paint, and the mouse gestures (drag the playhead in
// the upper half with the left button, pan with the right button or in the lower half). The
// widget (TimeRuler.h) paints what this computes and forwards its events here.
#include "base/FrameRate.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class TRulerButton : std::uint8_t { rbLeft, rbRight, rbMiddle };

// One tick of the ruler, in control coordinates.
struct TRulerTick {
  std::int32_t X;
  bool Major;         // a labelled tick
  std::string Label;  // empty on minor ticks
};

// One row of the scale table: the finest row whose labelled block is at least MinPixels wide.
struct TRulerScaleRow {
  std::int32_t FrameBlock;  // frames between two labelled ticks
  std::int32_t NbSteps;     // minor steps per block
  std::int32_t MinPixels;
};

class TTimeRulerModel {
 public:
  static constexpr std::int32_t FrameRate = kFramesPerSecond;
  static const TRulerScaleRow ScaleTable[14];

  // Scale 0.75, margins 8, LastFrame 100, a 625 x 56 control; the layout is computed without
  // repainting.
  TTimeRulerModel();

  // Raised at the end of every layout recalculation (frame, scroll, scale, margins, LastFrame).
  std::function<void()> OnChange;
  // Asks the widget to repaint.
  std::function<void()> Repaint;
  // Set when a timecode field is bound: receives the field's text of each new frame.
  std::function<void(const std::string&)> OnFieldText;

  std::int32_t Debut() const { return fDebut; }
  void SetDebut(std::int32_t Value);
  double Scale() const { return fScale; }
  // Values that are not positive finite numbers are ignored (a zero scale has no ticks to walk).
  void SetScale(double Value);
  std::int32_t LeftMargin() const { return fLeftMargin; }
  void SetLeftMargin(std::int32_t Value);
  std::int32_t RightMargin() const { return fRightMargin; }
  void SetRightMargin(std::int32_t Value);
  std::int32_t LastFrame() const { return flast; }  // limits nothing
  void SetLastFrame(std::int32_t Value);

  // The control's size in pixels (the widget keeps it current).
  void SetSize(std::int32_t Width, std::int32_t Height);
  std::int32_t Width() const { return fWidth; }
  std::int32_t Height() const { return fHeight; }

  std::int32_t Frame() const { return fFrame; }
  double Step() const { return fStep; }
  std::int32_t FrameBlock() const { return fFrameBlock; }
  std::int32_t NbSteps() const { return fNbSteps; }
  double FrameSize() const { return fFrameSize; }    // pixels per frame, 2 * Scale
  double FrameWidth() const { return fFrameWidth; }  // max(FrameSize, 1): pixels to frames
  std::int32_t FramePosition() const { return fFramePosition; }  // playhead x after the margin
  std::int32_t MouseMode() const { return fMouseMode; }  // -1 idle, 0 playhead drag, 1 panning
  // The 10 ms auto-scroll timer runs exactly while this is true.
  bool AutoScrolling() const { return fAutoScroll; }

  // Moves the playhead to Value (0 when negative) and shows it in a bound field. With Change the
  // layout is recalculated (repaint, OnChange); without, only the playhead moves and is repainted.
  void SetFramePos(std::int32_t Value, bool Change);
  // SetFramePos(Value, true), then scrolls so that the frame sits in the middle of the control.
  void SetFrame(std::int32_t Value);

  std::int32_t PixelToFrame(std::int32_t X) const;   // nearest frame under control x
  std::int32_t PixelToFrame2(std::int32_t X) const;  // the same, ignoring the scroll offset
  std::int32_t FrameToPixel(std::int32_t fr) const;  // control x of a frame
  double PixelSize() const;                          // frames per pixel

  // The ticks from the first one left of the view to 80 pixels beyond the right edge.
  void Ticks(std::vector<TRulerTick>& Out) const;

  // Texts at 25 frames per second, hours dropped: "05s:05f", "01:00s" on labels,
  // "MM:SS:FF" in the bound field.
  static std::string LabelText(std::int32_t f);
  static std::string FieldText(std::int32_t f);
  // "M:S:F", read from the end, empty parts 0; any character but digits and ":" gives 0.
  static std::int32_t ParseFieldText(std::string_view Text);
  // Enter in the bound field.
  void FieldEnter(std::string_view Text) { SetFramePos(ParseFieldText(Text), true); }

  void ButtonDown(TRulerButton Button, std::int32_t X, std::int32_t Y);
  void MouseMove(std::int32_t X, std::int32_t Y);
  void ButtonUp();
  // The pointer capture went away mid-gesture (a dialog opened, the window lost focus): the
  // release never comes, so end the gesture as a release would.
  void CaptureLost() { ButtonUp(); }
  // One tick of the auto-scroll timer, PointerX in control coordinates.
  void AutoScrollStep(std::int32_t PointerX);

 private:
  void Recalculate();
  void UpdateFramePosition();
  void AskRepaint() const {
    if (Repaint) Repaint();
  }

  double fScale = 0.75;
  std::int32_t fDebut = 0;
  double fStep = 20.0;
  std::int32_t fFrameBlock = 5;
  std::int32_t fNbSteps = 5;
  std::int32_t fFrame = 0;
  double fFrameSize = 0;
  double fFrameWidth = 1.0;
  std::int32_t flast = 100;
  bool fCanRepaint = false;
  bool fAutoScroll = false;
  std::int32_t fDx = 0;
  std::int32_t fMouseMode = -1;
  std::int32_t fLeftMargin = 8;
  std::int32_t fRightMargin = 8;
  std::int32_t fFramePosition = 0;
  std::int32_t fWidth = 625;
  std::int32_t fHeight = 56;
};

}  // namespace qv

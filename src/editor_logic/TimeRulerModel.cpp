#include "editor_logic/TimeRulerModel.h"

#include "base/NumberText.h"
#include "model/Timecode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qv {

const TRulerScaleRow TTimeRulerModel::ScaleTable[14] = {
    {5, 5, 35},        {25, 25, 60},      {125, 25, 80},     {250, 10, 80},   {375, 15, 80},
    {500, 20, 80},     {750, 30, 80},     {1500, 10, 80},    {7500, 30, 80},  {15000, 10, 80},
    {22500, 15, 80},   {30000, 20, 80},   {45000, 30, 80},   {90000, 10, 80},
};

namespace {

std::string Two(std::int64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02lld", static_cast<long long>(v));
  return buf;
}

}  // namespace

TTimeRulerModel::TTimeRulerModel() {
  Recalculate();
  fCanRepaint = true;
}

void TTimeRulerModel::Recalculate() {
  std::size_t row = 0;
  while (ScaleTable[row].MinPixels > ScaleTable[row].FrameBlock * fScale && row < 13) ++row;
  fFrameBlock = ScaleTable[row].FrameBlock;
  fNbSteps = ScaleTable[row].NbSteps;
  fStep = fFrameBlock * fScale * 2 / fNbSteps;
  fFrameSize = fStep * fNbSteps / fFrameBlock;
  fFrameWidth = fFrameSize < 1.0 ? 1.0 : fFrameSize;
  UpdateFramePosition();
  if (fCanRepaint) AskRepaint();
  if (OnChange) OnChange();
}

void TTimeRulerModel::UpdateFramePosition() {
  fFramePosition = TruncToInt32(-fDebut + fFrame * fFrameSize);
}

void TTimeRulerModel::SetDebut(std::int32_t Value) {
  fDebut = Value;
  Recalculate();
}

void TTimeRulerModel::SetScale(double Value) {
  if (!(Value > 0) || !std::isfinite(Value)) return;
  fScale = Value;
  fCanRepaint = false;
  Recalculate();
  fCanRepaint = true;
  SetFramePos(fFrame, true);
}

void TTimeRulerModel::SetLeftMargin(std::int32_t Value) {
  fLeftMargin = Value;
  Recalculate();
}

void TTimeRulerModel::SetRightMargin(std::int32_t Value) {
  fRightMargin = Value;
  Recalculate();
}

void TTimeRulerModel::SetLastFrame(std::int32_t Value) {
  flast = Value;
  Recalculate();
}

void TTimeRulerModel::SetSize(std::int32_t Width, std::int32_t Height) {
  fWidth = Width;
  fHeight = Height;
}

void TTimeRulerModel::SetFramePos(std::int32_t Value, bool Change) {
  fFrame = Value <= 0 ? 0 : Value;
  if (OnFieldText) OnFieldText(FieldText(fFrame));
  if (Change) {
    fCanRepaint = true;
    Recalculate();
  } else {
    UpdateFramePosition();
    AskRepaint();
  }
}

void TTimeRulerModel::SetFrame(std::int32_t Value) {
  SetFramePos(Value, true);
  const std::int32_t p = TruncToInt32(fFrame * fFrameWidth);
  const std::int32_t half = fWidth / 2;
  // Through the setter, so the playhead is placed for the new offset.
  if (p > half)
    SetDebut(p - half);
  else if (p < half)
    SetDebut(0);
}

std::int32_t TTimeRulerModel::PixelToFrame(std::int32_t X) const {
  return RoundToInt32((static_cast<double>(X) + fDebut - fLeftMargin) / fFrameWidth);
}

std::int32_t TTimeRulerModel::PixelToFrame2(std::int32_t X) const {
  return RoundToInt32((static_cast<double>(X) - fLeftMargin) / fFrameWidth);
}

std::int32_t TTimeRulerModel::FrameToPixel(std::int32_t fr) const {
  return fLeftMargin + TruncToInt32(-fDebut + fr * fFrameSize);
}

double TTimeRulerModel::PixelSize() const { return fFrameBlock / (fStep * fNbSteps); }

void TTimeRulerModel::Ticks(std::vector<TRulerTick>& Out) const {
  Out.clear();
  // Below a hundredth of a pixel per step the walk would never reach the edge in useful time.
  if (!(fStep >= 0.01)) return;
  std::int64_t b = static_cast<std::int64_t>(std::floor(fDebut / fStep));
  double x = -fDebut + b * fStep + fLeftMargin;
  double label = static_cast<double>((b + fNbSteps - 1) / fNbSteps) * fFrameBlock;
  while (x <= fWidth + 80) {
    const std::int32_t xi = TruncToInt32(x);
    if (b % fNbSteps == 0) {
      Out.push_back({xi, true, LabelText(TruncToInt32(label))});
      label += fFrameBlock;
    } else {
      Out.push_back({xi, false, {}});
    }
    x += fStep;
    ++b;
  }
}

std::string TTimeRulerModel::LabelText(std::int32_t f) {
  const TFrameClock t = SplitFrame(f);
  std::string text;
  if (t.Frames > 0) text = Two(t.Frames) + "f";
  text = text.empty() ? Two(t.Seconds) + "s" : Two(t.Seconds) + "s:" + text;
  if (t.Minutes > 0) text = Two(t.Minutes) + ":" + text;
  return text;
}

std::string TTimeRulerModel::FieldText(std::int32_t f) { return FrameToMinutesText(f); }

std::int32_t TTimeRulerModel::ParseFieldText(std::string_view Text) { return MinutesTextToFrame(Text); }

void TTimeRulerModel::ButtonDown(TRulerButton Button, std::int32_t X, std::int32_t Y) {
  if (Button == TRulerButton::rbLeft && Y < fHeight / 2) {
    fMouseMode = 0;
    SetFramePos(PixelToFrame(X), true);
    fAutoScroll = true;
  }
  if (Button == TRulerButton::rbRight || Y >= fHeight / 2) {
    fMouseMode = 1;
    fAutoScroll = false;
    AskRepaint();
  }
  fDx = X;
}

void TTimeRulerModel::MouseMove(std::int32_t X, std::int32_t /*Y*/) {
  if (fMouseMode == 0) {
    std::int32_t v = TruncToInt32((static_cast<double>(X) + fDebut - fLeftMargin) / fFrameWidth);
    if (v < 0) v = 0;
    if (v != fFrame) SetFramePos(v, true);
  } else if (fMouseMode == 1) {
    std::int64_t v = static_cast<std::int64_t>(fDebut) + fDx - X;
    if (v < 0) v = 0;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v != fDebut) SetDebut(static_cast<std::int32_t>(v));
    fDx = X;
  }
}

void TTimeRulerModel::ButtonUp() {
  fAutoScroll = false;
  fMouseMode = -1;
  AskRepaint();
}

void TTimeRulerModel::AutoScrollStep(std::int32_t PointerX) {
  if (!fAutoScroll) return;
  const std::int32_t jump = TruncToInt32(fStep * 2);
  if (PointerX < fLeftMargin && fDebut > 0) {
    fDebut = std::max(fDebut - jump, 0);
    SetFramePos(PixelToFrame(fLeftMargin), true);
  }
  if (PointerX > fWidth) {
    fDebut = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{fDebut} + jump, INT32_MAX));
    SetFramePos(PixelToFrame(fWidth - fRightMargin), true);
  }
}

}  // namespace qv

#include "composition/ClockLayer.h"
#include "base/FrameRate.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace qv {

QV_PUBLISHED(TClockSettings,
             QV_MEMBER("Hours", fh),
             QV_MEMBER("Minutes", fm),
             QV_MEMBER("Seconds", fs),
             QV_MEMBER("MilliSeconds", fms),
             QV_MEMBER("Separator", fsep))

QV_PUBLISHED(TChronoSettings, QV_MEMBER("ChronoType", fType))

QV_PUBLISHED(TClockLayer,
             QV_MEMBER("FormatSettings", fsettings),
             QV_MEMBER("ChronoSettings", fchrono),
             QV_MEMBER("ClockType", ftype))

void TClockSettings::AfterConstruction() {
  TContainerObject::AfterConstruction();
  fh->SetValue(true);
  fm->SetValue(true);
  fs->SetValue(true);
  fms->SetValue(false);
  fsep->SetValue(":");
}

std::string TClockSettings::Format(const TTimeOfDay& T) const {
  std::string text;
  // Decimal with at least `digits` digits, zero-padded (a part of the time is never negative).
  auto append = [&](bool shown, int value, int digits) {
    if (!shown) return;
    if (!text.empty()) text += Separator();
    char buf[12];
    int n = 0;
    unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
      buf[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0 || n < digits);
    while (n > 0) text += buf[--n];
  };
  append(Hours(), T.Hour, 2);
  append(Minutes(), T.Minute, 2);
  append(Seconds(), T.Second, 2);
  append(MilliSeconds(), T.Millisecond, 3);
  return text;
}

void TClockLayer::AfterConstruction() {
  TTextLayer::AfterConstruction();
  IconIndex = 4;
  TextProperty().Attributes.Exclude(paVisible);
}

void TClockLayer::Advance(double frame) {
  // Muted with Id 0: the text's change re-renders (the text layer's own subscription) but does
  // not travel up to the composition on every frame.
  struct Muted {
    TClockLayer& layer;
    explicit Muted(TClockLayer& l) : layer(l) { layer.BeginChange(0); }
    ~Muted() { layer.EndChange(0); }
  };
  {
    Muted muted(*this);
    SetText(fsettings->Format(ClockType() == ctChrono ? ChronoTime(frame) : owner->TimeOfDay().Now()));
  }
  TTextLayer::Advance(frame);
}

TTimeOfDay TClockLayer::ChronoTime(double Frame) const {
  const double whole = std::floor(Frame);
  const std::int64_t frameIndex = std::isfinite(whole) ? static_cast<std::int64_t>(std::clamp(whole, -1e15, 1e15)) : 0;
  const std::int64_t elapsed = std::max<std::int64_t>(0, frameIndex - LayerIN());
  std::int64_t ms = 0;
  if (fchrono->ChronoType() == ctAscendant) {
    ms = elapsed * kMsPerFrame;
  } else {
    ms = std::max<std::int64_t>(0, std::int64_t(Duration()) - elapsed) * kMsPerFrame;
    if (!fsettings->MilliSeconds()) ms = (ms + 999) / 1000 * 1000;
  }
  return {static_cast<int>(std::min<std::int64_t>(ms / 3600000, INT32_MAX)), static_cast<int>(ms / 60000 % 60),
          static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
}

}  // namespace qv

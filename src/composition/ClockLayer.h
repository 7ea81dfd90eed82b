#pragma once
// The clock layer: a text layer whose text is the time of day, built at every draw from the
// composition's time-of-day source according to its format settings.
#include "composition/TextLayer.h"
#include "platform/Clock.h"

#include <string>

namespace qv {

// Which parts of the time the clock shows, and what goes between two shown parts.
class TClockSettings : public TContainerObject {
  QV_CONTAINER(TClockSettings, TContainerObject)

 public:
  bool Hours() const { return fh->Value(); }
  bool Minutes() const { return fm->Value(); }
  bool Seconds() const { return fs->Value(); }
  bool MilliSeconds() const { return fms->Value(); }
  const std::string& Separator() const { return fsep->Value(); }
  void SetHours(bool v) { fh->SetValue(v); }
  void SetMinutes(bool v) { fm->SetValue(v); }
  void SetSeconds(bool v) { fs->SetValue(v); }
  void SetMilliSeconds(bool v) { fms->SetValue(v); }
  void SetSeparator(const std::string& v) { fsep->SetValue(v); }

  // The text of T: the shown parts in the order hours, minutes, seconds, milliseconds, two digits
  // each (three for milliseconds), joined by Separator.
  std::string Format(const TTimeOfDay& T) const;

 protected:
  TClockSettings() = default;
  // Hours, minutes and seconds shown, milliseconds not, separator ":".
  void AfterConstruction() override;

 private:
  TBoolean* fh = nullptr;
  TBoolean* fm = nullptr;
  TBoolean* fs = nullptr;
  TBoolean* fms = nullptr;
  TString* fsep = nullptr;
};

// Stored and edited; no drawing depends on it yet.
class TChronoSettings : public TContainerObject {
  QV_CONTAINER(TChronoSettings, TContainerObject)

 public:
  TChronoType ChronoType() const { return fType->Value(); }
  void SetChronoType(TChronoType v) { fType->SetValue(v); }
  TEnum<TChronoType>& ChronoTypeProperty() const { return *fType; }

 protected:
  TChronoSettings() = default;

 private:
  TEnum<TChronoType>* fType = nullptr;
};

class TClockLayer : public TTextLayer {
  QV_CONTAINER(TClockLayer, TTextLayer)

 public:
  // Sets Text to the time of day, or for a chronometer to its count at `frame` (with the layer's
  // own propagation muted, so only the text's other subscribers hear of it), then moves on as a
  // text layer.
  void Advance(double frame) override;
  // What a chronometer shows at Frame: counting up from 00:00:00 at the in-point, or down from
  // the layer's Duration to 00:00:00, where it holds. 25 frames make a second, so the shown second
  // changes every 25 frames. Counting down without milliseconds, a second shows until it has
  // fully gone (10 for the first 25 frames of a ten-second count, 00 from its end on).
  TTimeOfDay ChronoTime(double Frame) const;

  TClockSettings& FormatSettings() const { return *fsettings; }
  TChronoSettings& ChronoSettings() const { return *fchrono; }
  TClockType ClockType() const { return ftype->Value(); }
  void SetClockType(TClockType v) { ftype->SetValue(v); }
  TEnum<TClockType>& ClockTypeProperty() const { return *ftype; }

 protected:
  explicit TClockLayer(TQVSystem* Aowner) : TTextLayer(Aowner) {}
  // The text layer's construction, then Text hidden from the grid: the clock overwrites it.
  void AfterConstruction() override;

 private:
  TClockSettings* fsettings = nullptr;
  TEnum<TClockType>* ftype = nullptr;
  TChronoSettings* fchrono = nullptr;
};

}  // namespace qv

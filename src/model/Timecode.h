#pragma once
// Timecodes HH:MM:SS.FF (hours, minutes, seconds, frames) and their conversions to and from
// milliseconds and seconds, plus the state of a timecode edit field without its widget.
#include <cstdint>
#include <string>

#include "base/FrameRate.h"
#include <string_view>

namespace qv {

// Timecode text of a time in milliseconds; 0 and below give "00:00:00.00". Frames are whole
// steps of 1000 div FrameRate ms, the rest is dropped (1500 ms -> "00:00:01.12"). Hours above
// 99 give three or more digits. FrameRate must be at least 1.
std::string MiliToTC(std::int32_t TCTime, std::uint8_t FrameRate = kFramesPerSecond);

// Milliseconds of a timecode text read at the fixed places of "HH:MM:SS.FF" (the separators are
// not examined); -1 when one of the four parts is not a number.
std::int32_t TCToMili(std::string_view TimeString, std::uint8_t FrameRate = kFramesPerSecond);

// Display text of a time in seconds: frames rounded to nearest, halves to even (0.98 s at 25 is
// 24.5 frames and shows "24"). A fraction that rounds up to a whole second carries into the
// seconds, minutes and hours (0.99 s shows "00:00:01.00").
std::string SecondsToTimecode(double Seconds, double Rate = kFramesPerSecond);

// A frame number split at the frame rate, hours dropped: what is left within the hour.
struct TFrameClock {
  std::int64_t Minutes, Seconds, Frames;
};
TFrameClock SplitFrame(std::int64_t Frame);
// The frame as MM:SS:FF (the time ruler's field); hours dropped.
std::string FrameToMinutesText(std::int32_t Frame);
// Reads MM:SS:FF, SS:FF or FF (digits and colons only, a part may be empty); anything else is 0.
std::int32_t MinutesTextToFrame(std::string_view Text);

// What a timecode field tells the user when it refuses a time.
inline constexpr const char* kTimecodeFormatError = "Error in timecode format!";

// What a timecode field holds, apart from its widget: the text and the parts last set, with the
// limits the parts and GoodFormat accept.
class TTimecodeState {
 public:
  std::int32_t FMilisecs = 0;  // -1 marks an invalid entry
  bool FDoFrames = false;      // cleared on entering the field; nothing depends on it
  bool FOffset = false;        // nothing depends on it
  std::uint8_t FFrameRate = kFramesPerSecond;
  std::uint8_t FMaxHours = 23;
  std::uint8_t FMaxMins = 59;
  std::uint8_t FMaxSecs = 59;
  std::uint8_t FHours = 0;
  std::uint8_t FMins = 0;
  std::uint8_t FSecs = 0;
  std::uint8_t FFrames = 0;
  bool FDblClickClr = false;  // nothing depends on it
  std::string Text = "00:00:00.00";

  // Setters of the published parts: a new value stores and rebuilds the text; a part above its
  // maximum (frames: FrameRate - 1) is ignored.
  void GetMilisecs(std::int32_t NewValue);
  void GetHours(std::uint8_t NewValue);
  void GetMins(std::uint8_t NewValue);
  void GetSecs(std::uint8_t NewValue);
  void GetFrames(std::uint8_t NewValue);

  // Text := the four parts as HH:MM:SS.FF; FMilisecs := TCToMili(Text).
  void BuildHMSF();
  // The time of the text in seconds (-0.001 for a text that does not convert).
  double tm() const;
  // Text is exactly HH:MM:SS.FF with every part within its limit.
  bool GoodFormat() const;
  // Leaving the field takes a well-formed text; anything else keeps the last good time.
  void DoExit();
  void DoEnter() { FDoFrames = false; }
  // Rejected entry: invalid time, text back to zero (the widget also tells the user).
  void BadTime();
};

}  // namespace qv

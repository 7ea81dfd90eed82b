#include "model/Timecode.h"

#include "base/NumberText.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace qv {
namespace {

// At least two digits, zero-padded, like "%.2d".
std::string Two(long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2lld", v);
  return buf;
}

std::string Join(long long H, long long M, long long S, long long F) {
  return Two(H) + ":" + Two(M) + ":" + Two(S) + "." + Two(F);
}

// A part of the fixed layout; false when missing or not a number.
bool Part(std::string_view s, std::size_t Pos, std::int32_t& Value) {
  if (Pos >= s.size()) return false;
  return ParseInt(s.substr(Pos, 2), Value);
}

bool DigitIn(char c, char Hi) { return c >= '0' && c <= Hi; }

}  // namespace

std::string MiliToTC(std::int32_t TCTime, std::uint8_t FrameRate) {
  if (TCTime <= 0) return "00:00:00.00";
  const std::int32_t F = (TCTime % 1000) / (1000 / FrameRate);
  const std::int32_t H = TCTime / 3600000;
  const std::int32_t Sp = TCTime / 1000 - H * 3600;
  return Join(H, Sp / 60, Sp % 60, F);
}

std::int32_t TCToMili(std::string_view TimeString, std::uint8_t FrameRate) {
  std::int32_t H = 0, M = 0, S = 0, F = 0;
  if (!Part(TimeString, 0, H) || !Part(TimeString, 3, M) || !Part(TimeString, 6, S) ||
      !Part(TimeString, 9, F))
    return -1;
  return H * 3600000 + M * 60000 + S * 1000 + F * (1000 / FrameRate);
}

std::string SecondsToTimecode(double Seconds, double Rate) {
  long long W = static_cast<long long>(std::trunc(Seconds));
  long long F = static_cast<long long>(RoundHalfEven((Seconds - static_cast<double>(W)) * Rate));
  // A fraction just under a second can round up to the rate itself: that is the next second.
  if (F > 0 && static_cast<double>(F) >= Rate) {
    F = 0;
    ++W;
  }
  const long long H = W / 3600;
  const long long M = (W - H * 3600) / 60;
  const long long S = W - H * 3600 - M * 60;
  return Join(H, M, S, F);
}

TFrameClock SplitFrame(std::int64_t f) {
  constexpr std::int64_t r = kFramesPerSecond;
  std::int64_t rest = f % (r * 3600);
  const std::int64_t m = rest / (r * 60);
  rest %= r * 60;
  return {m, rest / r, rest % r};
}

std::string FrameToMinutesText(std::int32_t Frame) {
  const TFrameClock t = SplitFrame(Frame);
  return Two(t.Minutes) + ":" + Two(t.Seconds) + ":" + Two(t.Frames);
}

std::int32_t MinutesTextToFrame(std::string_view Text) {
  for (char c : Text)
    if (!(c >= '0' && c <= '9') && c != ':') return 0;
  // A part that is empty or not a number counts as 0.
  auto part = [](std::string_view s) -> std::int64_t {
    std::int32_t v = 0;
    if (s.empty() || !ParseInt(s, v)) return 0;
    return v;
  };
  std::int64_t parts[3] = {0, 0, 0};  // frames, seconds, minutes
  std::string_view rest = Text;
  for (int i = 0; i < 2; ++i) {
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
      parts[i] = part(rest);
      rest = {};
      break;
    }
    parts[i] = part(rest.substr(colon + 1));
    rest = rest.substr(0, colon);
  }
  parts[2] = part(rest);
  const std::int64_t f = parts[0] + parts[1] * kFramesPerSecond + parts[2] * kFramesPerSecond * 60;
  return static_cast<std::int32_t>(std::min<std::int64_t>(f, INT32_MAX));
}

void TTimecodeState::GetMilisecs(std::int32_t NewValue) {
  if (NewValue == FMilisecs) return;
  FMilisecs = NewValue;
  Text = MiliToTC(FMilisecs, FFrameRate);
}

void TTimecodeState::GetHours(std::uint8_t NewValue) {
  if (NewValue == FHours || NewValue > FMaxHours) return;
  FHours = NewValue;
  BuildHMSF();
}

void TTimecodeState::GetMins(std::uint8_t NewValue) {
  if (NewValue == FMins || NewValue > FMaxMins) return;
  FMins = NewValue;
  BuildHMSF();
}

void TTimecodeState::GetSecs(std::uint8_t NewValue) {
  if (NewValue == FSecs || NewValue > FMaxSecs) return;
  FSecs = NewValue;
  BuildHMSF();
}

void TTimecodeState::GetFrames(std::uint8_t NewValue) {
  if (NewValue == FFrames || NewValue > FFrameRate - 1) return;
  FFrames = NewValue;
  BuildHMSF();
}

void TTimecodeState::BuildHMSF() {
  Text = Join(FHours, FMins, FSecs, FFrames);
  FMilisecs = TCToMili(Text, FFrameRate);
}

double TTimecodeState::tm() const { return TCToMili(Text, FFrameRate) / 1000.0; }

bool TTimecodeState::GoodFormat() const {
  const std::string& t = Text;
  if (t.size() != 11) return false;
  if (t[2] != ':' || t[5] != ':' || t[8] != '.') return false;
  if (!DigitIn(t[0], '2') || !DigitIn(t[1], '9') || !DigitIn(t[3], '5') || !DigitIn(t[4], '9') ||
      !DigitIn(t[6], '5') || !DigitIn(t[7], '9') || !DigitIn(t[9], '2') || !DigitIn(t[10], '9'))
    return false;
  auto two = [&](std::size_t i) { return (t[i] - '0') * 10 + (t[i + 1] - '0'); };
  return two(0) <= FMaxHours && two(3) <= FMaxMins && two(6) <= FMaxSecs && two(9) <= FFrameRate - 1;
}

void TTimecodeState::DoExit() {
  if (GoodFormat()) FMilisecs = TCToMili(Text, FFrameRate);
}

void TTimecodeState::BadTime() {
  FMilisecs = -1;
  Text = "00:00:00.00";
  FDoFrames = false;
  FOffset = false;
}

}  // namespace qv

// Fuzz target: the keyed reader of a keyframe track (Tkeys::SetValue), fed "Key = Value" lines.
// Afterwards the keys must be strictly ascending, every evaluator must answer, and the track's
// own keyed text (Save) must read back into the same keys.
#include "FuzzSupport.h"
#include "base/NumberText.h"
#include "animation/UBezier.h"

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qv::Tkeys;

// Hands each "Key = Value" line of Text to the track (split at the first "=", both sides trimmed,
// as the keyed reader does).
void Feed(Tkeys& track, std::string_view text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      track.SetValue(std::string(qv::TrimBlanks(line.substr(0, eq))), std::string(qv::TrimBlanks(line.substr(eq + 1))));
    }
    start = end + 1;
  }
}

void CheckOrder(const Tkeys& track, const char* when) {
  for (int i = 0; i + 1 < track.Count(); ++i) {
    const double a = track.key(i)->fframe;
    const double b = track.key(i + 1)->fframe;
    if (!(a < b)) qv::fuzz::Fail(std::string("keys out of order ") + when + " at index " + std::to_string(i));
    if (a != std::trunc(a)) qv::fuzz::Fail("a key off a whole frame");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Tkeys track("Fuzz");
  Feed(track, text);
  CheckOrder(track, "after reading");

  if (track.Count() > 0) {
    // Out-of-range behaviours from the first key's tag, so the corpus reaches all of them.
    const unsigned tag = static_cast<unsigned>(track.key(0)->fTag);
    track.finat = static_cast<qv::Tanimationtype>(tag % 6);
    track.Foutat = static_cast<qv::Tanimationtype>((tag / 6) % 6);
    const double first = track.key(0)->fframe;
    const double last = track.key(track.Count() - 1)->fframe;
    volatile double sink = 0;
    for (double x : {first - 7.5, first, (first + last) / 2, last, last + 13.25, last * 3 + 1}) {
      sink = sink + track.LinearKeyframe(x) + track.IntKeyframe(x) + track.CosineKeyframe(x) +
             track.QuadraticKeyFrame(x) + track.PolynomialKeyFrame(x) + track.KoKeyframe(x);
      sink = sink + static_cast<double>(track.StrKeyFrame(x).size());
    }
    (void)sink;
  }

  // The keyed text of the track reads back into the same keys.
  std::ostringstream saved;
  {
    qv::TFileSave writer(saved);
    track.Save(writer);
  }
  Tkeys again("Fuzz");
  Feed(again, saved.str());
  if (again.Count() != track.Count()) {
    qv::fuzz::Fail("saved track reads back with " + std::to_string(again.Count()) + " keys instead of " +
                   std::to_string(track.Count()));
  }
  for (int i = 0; i < track.Count(); ++i) {
    const qv::Tkeyframe& a = *track.key(i);
    const qv::Tkeyframe& b = *again.key(i);
    const double tolerance = 6e-9 + std::fabs(a.fvalue) * 1e-15;
    if (a.fframe != b.fframe || a.fTag != b.fTag || !(std::fabs(a.fvalue - b.fvalue) <= tolerance)) {
      qv::fuzz::Fail("saved key " + std::to_string(i) + " reads back differently");
    }
  }
  return 0;
}

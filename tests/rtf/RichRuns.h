#pragma once
// Runs and paragraphs of rich text written the short way, for the tables of expected documents.
#include "platform/RichText.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

inline TRichRun TextRun(std::string text, std::string face = "Arial", int halfPoints = 24) {
  TRichRun r;
  r.Text = std::move(text);
  r.Face = std::move(face);
  r.HalfPoints = halfPoints;
  return r;
}
inline TRichRun Bold(TRichRun r) { r.Bold = true; return r; }
inline TRichRun Italic(TRichRun r) { r.Italic = true; return r; }
inline TRichRun Under(TRichRun r) { r.Underline = true; return r; }
inline TRichRun Size(TRichRun r, int halfPoints) { r.HalfPoints = halfPoints; return r; }
inline TRichRun Rtl(TRichRun r) { r.RightToLeft = true; return r; }
inline TRichRun Colour(TRichRun r, std::uint32_t rgb) {
  r.Color = rgb;
  r.AutoColor = false;
  return r;
}
inline TRichParagraph Para(std::vector<TRichRun> runs, bool rtl = false) {
  TRichParagraph p;
  p.Runs = std::move(runs);
  p.RightToLeft = rtl;
  return p;
}

}  // namespace qv::test

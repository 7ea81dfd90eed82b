#pragma once
// Fakes of the text engines for the crawl tests: a text renderer and a rich-text engine that draw
// known shapes, with no shared mutable state beyond atomics (workers use them from their own
// threads).
#include "platform/RichEdit.h"
#include "platform/TextRenderer.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// Every byte of text is a cell PointSize / 4 pixels wide (at least 1) and PointSize / 2 high;
// a non-blank character's cell is inked except its last column, so each glyph shows as a bar.
class TFakeTextRenderer final : public TTextRenderer {
 public:
  static int Cell(int pointSize) { return std::max(1, pointSize / 4); }
  TTextExtent Measure(std::string_view Text, const TFontSpec& Font) const override;
  void Draw(std::string_view Text, const TFontSpec& Font, TReadingOrder Order, int BoxWidth,
            const TTextSurface& Surface) const override;
  // Counts draws in flight (and the most at once) and in all; a draw may be slowed down, or held
  // until WaitForCompany draws have been in flight at once (for 5 s at most).
  mutable std::atomic<int> InFlight{0};
  mutable std::atomic<int> MostInFlight{0};
  mutable std::atomic<int> Draws{0};
  std::atomic<int> DelayMicroseconds{0};
  std::atomic<int> WaitForCompany{0};
};

// Each paragraph a line; each character 8 pixels wide per 12 points; a run of N half points has
// ascent N / 2 and descent N / 6; a non-blank character is a block from the baseline up to
// two-thirds of its ascent, in its run's colour (auto colour black).
class TFakeRichEdit final : public TRichEdit {
 public:
  void Load(const TRichDocument& Document) override;
  int LineCount() const override { return static_cast<int>(fLines.size()); }
  int LineStart(int Line) const override { return fLines[static_cast<std::size_t>(Line)].Start; }
  int LineLength(int Line) const override { return static_cast<int>(fLines[static_cast<std::size_t>(Line)].Chars.size()); }
  std::string Text(int Start, int Length) const override;
  TRichFontMetrics CharMetrics(int Index) const override;
  int RangeHeight(int Start, int Length) const override;
  int RangeWidth(int Start, int Length) const override;
  void Render(int Start, int Length, int Scale, const TTextSurface& Surface) const override;

  int Loads = 0;

 private:
  struct TChar {
    char C;
    int HalfPoints;
    std::uint32_t Color;  // 0x00RRGGBB
  };
  struct TLine {
    int Start = 0;
    std::vector<TChar> Chars;
  };
  const TLine* LineOf(int Index) const;
  static int CharWidth(const TChar& c) { return 8 * c.HalfPoints / 24; }
  std::vector<TLine> fLines;
};

}  // namespace qv::test

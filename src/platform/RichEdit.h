#pragma once
// The rich-text engine the crawl renders RTF lines with: it holds one document, lays each
// paragraph out as one line (nothing wraps), answers where lines and characters are and how big
// they are, and draws a range of characters. Toolkit-free: the editor and the tools plug the Qt
// engine in (platform/QtRichEdit.h), tests may plug in a fake.
//
// One engine is shared by all crawl layers of a composition; it is not thread-safe, and every
// use goes under the composition's richEditSection.
#include "platform/RichText.h"
#include "platform/TextRenderer.h"

#include <string>

namespace qv {

// A font's extent above and below the baseline, in whole pixels at 96 pixels per inch.
struct TRichFontMetrics {
  int Ascent = 0;
  int Descent = 0;
  friend bool operator==(const TRichFontMetrics&, const TRichFontMetrics&) = default;
};

class TRichEdit {
 public:
  virtual ~TRichEdit() = default;

  // Replaces the document. Runs without a face take the engine's default face; runs with
  // AutoColor its default text colour.
  virtual void Load(const TRichDocument& Document) = 0;

  // Lines are the document's paragraphs. Characters are counted in UTF-16 units through the
  // whole document, one more between two lines (the paragraph mark), so line i + 1 starts at
  // LineStart(i) + LineLength(i) + 1.
  virtual int LineCount() const = 0;
  virtual int LineStart(int Line) const = 0;
  virtual int LineLength(int Line) const = 0;
  // The text of a range (UTF-8, without paragraph marks).
  virtual std::string Text(int Start, int Length) const = 0;

  // The ascent and descent of the font the character at Index is set in.
  virtual TRichFontMetrics CharMetrics(int Index) const = 0;
  // The laid-out height of a range of one line (its tallest ascent plus its deepest descent), and
  // the x position after its last character, both in pixels. The baseline lies the range's
  // largest CharMetrics ascent below its top.
  virtual int RangeHeight(int Start, int Length) const = 0;
  virtual int RangeWidth(int Start, int Length) const = 0;

  // Draws a range of one line at Scale times its size into Surface, which shows the part of the
  // range's box (RangeWidth x RangeHeight, times Scale) that starts at (OriginX, OriginY). The
  // text keeps its own colours; pixels are premultiplied: colour times coverage in the colour
  // bytes, coverage in alpha. Surface pixels must be zero on entry. Drawing the box in pieces
  // gives the pixels of drawing it whole.
  virtual void Render(int Start, int Length, int Scale, const TTextSurface& Surface) const = 0;
};

}  // namespace qv

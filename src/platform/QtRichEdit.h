#pragma once
// The rich-text engine on Qt Gui: each paragraph becomes one QTextLayout line with its runs'
// fonts, styles and colours (QTextLayout::FormatRange), shaped and ordered by Qt (right-to-left
// paragraphs, fallback fonts for characters a face lacks). Fonts are sized at 96 pixels per inch.
#include "platform/RichEdit.h"

#include <memory>
#include <vector>

namespace qv {

class TQtRichEdit final : public TRichEdit {
 public:
  // Needs the QGuiApplication and the fonts pages name: construct it on the main thread, as the
  // text renderer (which it makes sure of).
  TQtRichEdit();
  ~TQtRichEdit() override;
  TQtRichEdit(const TQtRichEdit&) = delete;
  TQtRichEdit& operator=(const TQtRichEdit&) = delete;

  void Load(const TRichDocument& Document) override;
  int LineCount() const override;
  int LineStart(int Line) const override;
  int LineLength(int Line) const override;
  std::string Text(int Start, int Length) const override;
  TRichFontMetrics CharMetrics(int Index) const override;
  int RangeHeight(int Start, int Length) const override;
  int RangeWidth(int Start, int Length) const override;
  void Render(int Start, int Length, int Scale, const TTextSurface& Surface) const override;

 private:
  struct TLine;
  // The line holding character Index (a paragraph mark belongs to the line it ends), or -1.
  int LineOf(int Index) const;
  std::vector<std::unique_ptr<TLine>> fLines;
};

}  // namespace qv

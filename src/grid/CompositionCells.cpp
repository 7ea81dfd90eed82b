#include "editor/CompositionCells.h"

#include "composition/TextRenderStyle.h"
#include "model/BasicTypes.h"

namespace qv {

namespace {

// "Click to choose font": the font dialog on release. Name and colour change with the group
// muted; the size then notifies the layer once.
class TFontCell : public TCell {
 public:
  explicit TFontCell(TTextFont* F) : TCell(F), fF(F) {}
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t&) override {
    C.Text(R, R.Left + 4, 2, "Click to choose font", 0, false, false);
  }
  void MouseUp(TCellHost& H, TCellButton, int, int) override {
    auto choice = H.FontDialog({fF->FontName(), fF->FontColorProperty().aswinColor(), fF->FontSize()});
    if (!choice) return;
    fF->BeginChange(0);
    fF->FontNameProperty().SetValue(choice->Name);
    fF->FontColorProperty().SetWinColor(choice->Color);
    fF->EndChange(0);
    fF->FontSizeProperty().SetValue(choice->Size);
  }

 private:
  TTextFont* fF;
};

}  // namespace

std::unique_ptr<TCell> MakeEditorCell(TBaseProperty* P) {
  if (auto* f = dynamic_cast<TTextFont*>(P)) return std::make_unique<TFontCell>(f);
  return MakeCell(P);
}

}  // namespace qv

#include "grid/CompositionCells.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "composition/TextRenderStyle.h"
#include "model/BasicTypes.h"
#include "model/Timecode.h"

namespace qv {

namespace {

// A release anywhere on the value opens the timecode field. A time the field's format check
// refuses leaves the value and tells the user, as the field itself does.
class TTimeCodeCell : public TCell {
 public:
  explicit TTimeCodeCell(TTimeCode* P) : TCell(P), fT(P) {}
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t& Width) override {
    const std::string t = SecondsToTimecode(fT->Value(), kFramesPerSecond);
    C.Text(R, R.Left, 2, t, 0, true, false);
    Width = C.TextWidth(t, true);
  }
  void MouseUp(TCellHost& H, TCellButton, int, int, const TCellPlace& At) override {
    fEditorOpen = true;
    H.OpenTimecodeEditor(
        InlineEditorRect(At),
        static_cast<std::int32_t>(std::clamp(std::lround(fT->Value() * 1000.0), 0L, long(INT32_MAX))), this);
  }
  void ExitEdit(TCellHost& H, const std::string& Text) override {
    if (!fEditorOpen) return;
    fEditorOpen = false;
    TTimecodeState field;
    field.Text = Text;
    if (!field.GoodFormat()) {
      H.Dialogs().Message(kTimecodeFormatError);
      return;
    }
    fT->SetValue(field.tm());
  }

 private:
  TTimeCode* fT;
  bool fEditorOpen = false;
};

// File, folder and text-file paths: a release on the value opens the dialog; a press records
// nothing, since a string's undo element could restore nothing.
class TFileCell : public TCell {
 public:
  TFileCell(TString* P, const std::string& Filter, bool Folder) : TCell(P), fS(P), fFilter(Filter), fFolder(Folder) {}
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t& Width) override {
    C.Text(R, R.Left, 2, fS->Value(), 0, true, false);
    Width = fS->Value().empty() ? DisplayRect.Right - DisplayRect.Left : C.TextWidth(fS->Value(), true);
  }
  void MouseUp(TCellHost& H, TCellButton, int, int, const TCellPlace&) override {
    if (auto path = H.Dialogs().FileDialog(fFilter, fFolder)) fS->SetValue(*path);
  }

 private:
  TString* fS;
  std::string fFilter;
  bool fFolder;
};

// Name and colour change with the group muted; the size then notifies the layer once.
class TFontCell : public TCell {
 public:
  explicit TFontCell(TTextFont* F) : TCell(F), fF(F) {}
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t&) override {
    C.Text(R, R.Left + 4, 2, "Click to choose font", 0, false, false);
  }
  void MouseUp(TCellHost& H, TCellButton, int, int, const TCellPlace&) override {
    auto choice = H.Dialogs().FontDialog({fF->FontName(), fF->FontColorProperty().aswinColor(), fF->FontSize()});
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

std::unique_ptr<TCell> MakeTimeCodeCell(TTimeCode* P) { return std::make_unique<TTimeCodeCell>(P); }
std::unique_ptr<TCell> MakeFileCell(TString* P, const std::string& Filter, bool Folder) {
  return std::make_unique<TFileCell>(P, Filter, Folder);
}
std::unique_ptr<TCell> MakeFontCell(TTextFont* P) { return std::make_unique<TFontCell>(P); }

}  // namespace qv

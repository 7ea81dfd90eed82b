#include "grid/Cells.h"

#include "grid/CompositionCells.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/NumberText.h"
#include "composition/TextRenderStyle.h"
#include "model/BasicTypes.h"
#include "model/UndoEngine.h"
#include "raster/ImageFormats.h"

namespace qv {

void TCell::DrawTitle(const std::string& Name, TCellCanvas& C, const TCellRect& R, std::uint32_t Color) {
  if (!fProperty->Attributes.Has(paEnabled)) Color = DisabledTitleColor(Color);
  C.Text(R, R.Left, 0, Name, Color, false, true);
}

TCellRect InlineEditorRect(const TCellPlace& At) {
  const TCellRect& D = At.DisplayRect;
  return {At.Rect.Left, D.Top, At.Rect.Left + (D.Right - D.Left), D.Top + 18};
}

namespace {

// Gestures are recorded on the undo engine of the property's page; a property outside a page
// records nothing.
void PushChange(TBaseProperty* P) {
  if (TUndoEngine* undo = P->UndoEngine()) undo->PushUndoAction(std::make_unique<TPropertyChangedElement>(P));
}
// Takes back the element of a gesture that changed nothing.
void DropChange(TBaseProperty* P) {
  if (TUndoEngine* undo = P->UndoEngine()) undo->RemoveUndoAction();
}

// Numbers and strings: a press on the value text starts a gesture; a release where it began
// opens the inline editor.
class TTextCell : public TCell {
 public:
  using TCell::TCell;
  TPropertyDrawing D;

  virtual std::string Shown() const = 0;
  virtual void Remember() = 0;          // keeps the value as OldValue, where a drag starts from
  virtual bool Unchanged() const = 0;   // value == OldValue
  virtual void Apply(const std::string& Text) = 0;
  virtual void Step(int /*dx*/) {}
  virtual bool Drags() const { return true; }

  // The width of the value text Shown at the value column's left: an empty string that is not
  // dragged takes the whole cell, so that it can still be clicked.
  int ValueWidth(TCellMetrics& M, const std::string& Shown, const TCellPlace& At) const {
    if (Shown.empty() && !Drags()) return At.DisplayRect.Right - At.DisplayRect.Left;
    return M.TextWidth(Shown, true);
  }

  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t& Width) override {
    const std::string t = Shown();
    C.Text(R, R.Left, 2, t, 0, true, false);
    Width = ValueWidth(C, t, {R, DisplayRect});
  }
  void MouseDown(TCellHost& H, TCellButton B, int X, int Y, const TCellPlace& At) override {
    if (B != TCellButton::mbLeft || X < At.Rect.Left || X >= At.Rect.Left + ValueWidth(H, Shown(), At)) return;
    D.OldMouseX = X;
    D.FirstMouseX = X;
    D.OldMouseY = Y;
    D.MouseOverValue = true;
    Remember();
    PushChange(fProperty);
  }
  void MouseMove(TCellHost& H, int X, int, const TCellPlace& At, TCellCursor& Cursor) override {
    if (!Drags()) return;
    if (At.Rect.Left < X && X < At.Rect.Left + ValueWidth(H, Shown(), At)) Cursor = TCellCursor::crSizeWE;
    if (!D.MouseOverValue) return;
    Step(X - D.OldMouseX);
    D.OldMouseX = X;
  }
  void MouseUp(TCellHost& H, TCellButton, int X, int, const TCellPlace& At) override {
    if (!D.MouseOverValue) return;
    D.MouseOverValue = false;
    if (X == D.FirstMouseX) {
      D.EditorOpen = true;
      D.EditorText = Shown();
      H.OpenInlineEditor(InlineEditorRect(At), D.EditorText, this);
    } else if (Unchanged()) {
      DropChange(fProperty);
    }
  }
  // Text left as it was shown is not applied: the display rounds, and reapplying it would cut
  // the value to the digits shown.
  void ApplyText(const std::string& Text) override {
    if (D.EditorOpen && Text != D.EditorText) Apply(Text);
  }
  void ExitEdit(TCellHost&, const std::string& Text) override {
    if (!D.EditorOpen) return;
    ApplyText(Text);
    D.EditorOpen = false;
    if (Unchanged()) DropChange(fProperty);
  }
};

class TDoubleCell : public TTextCell {
 public:
  explicit TDoubleCell(TDouble* P) : TTextCell(P), fD(P) {}
  std::string Shown() const override { return FormatFixed(fD->Value(), D.Digits); }
  void Remember() override { fD->OldValue = fD->Value(); }
  bool Unchanged() const override { return fD->Value() == fD->OldValue; }
  void Apply(const std::string& Text) override {
    double v = fD->Value();
    ParseFloat(Text, v);
    fD->SetValue(v);
  }
  void Step(int dx) override {
    const float step = static_cast<float>(dx) * fD->ratio;
    fD->SetValue(fD->Value() + static_cast<double>(step));
  }

 private:
  TDouble* fD;
};

class TIntegerCell : public TTextCell {
 public:
  explicit TIntegerCell(TInteger* P) : TTextCell(P), fI(P) {}
  std::string Shown() const override { return std::to_string(fI->Value()); }
  void Remember() override { fI->OldValue = fI->Value(); }
  bool Unchanged() const override { return fI->Value() == fI->OldValue; }
  void Apply(const std::string& Text) override {
    std::int32_t v = 0;
    if (!ParseInt(Text, v)) v = fI->Value();
    fI->SetValue(v);
  }
  void Step(int dx) override { fI->SetValue(static_cast<std::int32_t>(static_cast<std::int64_t>(fI->Value()) + dx)); }

 private:
  TInteger* fI;
};

class TStringCell : public TTextCell {
 public:
  explicit TStringCell(TString* P) : TTextCell(P), fS(P) {}
  std::string Shown() const override { return fS->Value(); }
  void Remember() override { fS->OldValue = fS->Value(); }
  bool Unchanged() const override { return fS->Value() == fS->OldValue; }
  void Apply(const std::string& Text) override { fS->SetValue(Text); }
  bool Drags() const override { return false; }

 private:
  TString* fS;
};

class TBooleanCell : public TCell {
 public:
  explicit TBooleanCell(TBoolean* P) : TCell(P), fB(P) {}
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t&) override {
    C.CheckBox({R.Left, R.Top, R.Left + 20, R.Top + 16}, fB->Value());
  }
  void MouseDown(TCellHost&, TCellButton, int, int, const TCellPlace&) override {
    PushChange(fB);
    fB->SetValue(!fB->Value());
  }

 private:
  TBoolean* fB;
};

// Every enumeration, whatever its type: the menu lists the value names without their two-letter
// prefix, in ordinal order.
class TEnumCell : public TCell {
 public:
  explicit TEnumCell(TEnumProperty* P) : TCell(P), fE(P) {
    for (std::string_view n : P->Names()) fList.emplace_back(n.substr(2));
  }
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t&) override {
    std::string s;
    if (fE->AsString(s) && s.size() >= 2) s = s.substr(2);
    C.Text(R, R.Left, 0, s, 0, false, false);
  }
  void MouseDown(TCellHost& H, TCellButton, int, int, const TCellPlace& At) override {
    PushChange(fE);
    fE->OldValue = fE->Ordinal();
    const auto chosen = H.Dialogs().PopupMenu(At.DisplayRect.Left, At.DisplayRect.Top, fList, fE->Ordinal());
    if (!chosen) return;
    if (*chosen == fE->OldValue) DropChange(fProperty);
    fE->SetOrdinal(*chosen);
  }

 private:
  TEnumProperty* fE;
  std::vector<std::string> fList;
};

class TColorCell : public TCell {
 public:
  explicit TColorCell(TColor4* P) : TCell(P), fC(P) {}
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t&) override {
    C.Swatch({R.Left, 2, R.Left + 32, R.Bottom - 2}, fC->GetWinColor());
  }
  // The swatch's hit zone lies inside its outline.
  void MouseDown(TCellHost& H, TCellButton, int X, int, const TCellPlace& At) override {
    const int left = At.Rect.Left + 4, width = 28;
    if (!(left < X && X < left + width)) return;
    TZeroOneDouble* alpha = fC->Alpha();
    if (alpha == nullptr || !alpha->Attributes.Has(paVisible)) {
      if (auto c = H.Dialogs().ColorDialog(fC->GetWinColor())) fC->SetWinColor(*c);
      return;
    }
    const double before = alpha->Value();
    const auto shown = static_cast<std::uint8_t>(std::lround(std::clamp(before, 0.0, 1.0) * 255.0));
    const auto c = H.Dialogs().ColorDialogWithAlpha(fC->GetWinColor(), shown);
    if (!c) return;
    fC->SetWinColor(c->Color);
    // An alpha left as the dialog showed it keeps its exact value.
    alpha->SetValue(c->Alpha == shown ? before : c->Alpha / 255.0);
  }

 private:
  TColor4* fC;
};

template <TEditorKind K>
auto* As(TBaseProperty* P) {
  return static_cast<typename TEditorKindClass<K>::type*>(P);
}

}  // namespace

std::string PictureFileFilter() {
  std::string all;
  for (const std::string& e : image::PictureExtensions()) all += (all.empty() ? "*." : ";*.") + e;
  return std::string(kImageFileFilter) + "|All pictures|" + all + "|All files|*";
}

std::unique_ptr<TCell> MakeCell(TBaseProperty* P) {
  using enum TEditorKind;
  switch (P->EditorKind()) {
    case ekFloat: return std::make_unique<TDoubleCell>(As<ekFloat>(P));
    case ekInteger: return std::make_unique<TIntegerCell>(As<ekInteger>(P));
    case ekString: return std::make_unique<TStringCell>(As<ekString>(P));
    case ekBoolean: return std::make_unique<TBooleanCell>(As<ekBoolean>(P));
    case ekEnum: return std::make_unique<TEnumCell>(As<ekEnum>(P));
    case ekColor: return std::make_unique<TColorCell>(As<ekColor>(P));
    case ekTimeCode: return MakeTimeCodeCell(As<ekTimeCode>(P));
    case ekImageFile: return MakeFileCell(As<ekImageFile>(P), PictureFileFilter(), false);
    case ekTextFile: return MakeFileCell(As<ekTextFile>(P), kTextFileFilter, false);
    case ekDirectory: return MakeFileCell(As<ekDirectory>(P), "", true);
    case ekFont: return MakeFontCell(As<ekFont>(P));
    case ekNone:
    case ekGroup: break;
  }
  return std::make_unique<TCell>(P);
}

}  // namespace qv

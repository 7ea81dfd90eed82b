#include "model/Cells.h"

#include "model/Timecode.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "base/NumberText.h"
#include "model/BasicTypes.h"
#include "model/UndoEngine.h"

namespace qv {

void TCell::DrawTitle(const std::string& Name, TCellCanvas& C, const TCellRect& R, std::uint32_t Color) {
  if (!fProperty->Attributes.Has(paEnabled)) Color = DisabledTitleColor(Color);
  C.Text(R, R.Left, 0, Name, Color, false, true);
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
  virtual void Remember() = 0;          // OldValue := value
  virtual bool Unchanged() const = 0;   // value == OldValue
  virtual void Apply(const std::string& Text) = 0;
  virtual void Step(int /*dx*/) {}
  virtual bool Drags() const { return true; }

  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t& Width) override {
    const std::string t = Shown();
    D.ValueLeft = R.Left;
    C.Text(R, R.Left, 2, t, 0, true, false);
    D.ValueWidth = C.TextWidth(t, true);
    if (t.empty() && !Drags()) D.ValueWidth = DisplayRect.Right - DisplayRect.Left;
    Width = D.ValueWidth;
    D.displayrect = DisplayRect;
    D.Right = R.Right;
    D.Top = DisplayRect.Top;
    D.Height = DisplayRect.Bottom;
  }
  void MouseDown(TCellHost&, TCellButton B, int X, int Y) override {
    if (B != TCellButton::mbLeft || X < D.ValueLeft || X >= D.ValueLeft + D.ValueWidth) return;
    D.OldMouseX = X;
    D.FirstMouseX = X;
    D.OldMouseY = Y;
    D.MouseOverValue = true;
    Remember();
    PushChange(fProperty);
  }
  void MouseMove(TCellHost&, int X, int, TCellCursor& Cursor) override {
    if (!Drags()) return;
    if (D.ValueLeft < X && X < D.ValueLeft + D.ValueWidth) Cursor = TCellCursor::crSizeWE;
    if (!D.MouseOverValue) return;
    Step(X - D.OldMouseX);
    D.OldMouseX = X;
  }
  void MouseUp(TCellHost& H, TCellButton, int X, int) override {
    if (!D.MouseOverValue) return;
    D.MouseOverValue = false;
    if (X == D.FirstMouseX) {
      D.EditorOpen = true;
      D.EditorText = Shown();
      H.OpenInlineEditor({D.ValueLeft, D.displayrect.Top, D.ValueLeft + (D.displayrect.Right - D.displayrect.Left),
                          D.displayrect.Top + 18},
                         D.EditorText, this);
    } else if (Unchanged()) {
      DropChange(fProperty);
    }
  }
  // Text left as it was shown is not applied: the display rounds, and reapplying it would cut
  // the value to the digits shown.
  void ApplyText(const std::string& Text) override {
    if (D.EditorOpen && Text != D.EditorText) Apply(Text);
  }
  void ExitEdit(const std::string& Text) override {
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
  void MouseDown(TCellHost&, TCellButton, int, int) override {
    PushChange(fB);
    fB->SetValue(!fB->Value());
  }

 private:
  TBoolean* fB;
};

// An enumeration seen through its ordinal, whatever its type.
struct TEnumAccess {
  std::function<std::int32_t()> Get;
  std::function<void(std::int32_t)> Set;
  std::function<std::int32_t&()> Old;
  std::vector<std::string> Names;
};

template <class T>
bool TryEnum(TBaseProperty* P, TEnumAccess& A) {
  auto* e = dynamic_cast<TEnum<T>*>(P);
  if (!e) return false;
  A.Get = [e] { return e->Ordinal(); };
  A.Set = [e](std::int32_t o) { e->SetOrdinal(o); };
  A.Old = [e]() -> std::int32_t& { return e->OldValue; };
  for (auto n : TEnum<T>::ValueNames()) A.Names.emplace_back(n.substr(2));
  return true;
}

std::optional<TEnumAccess> EnumOf(TBaseProperty* P) {
  TEnumAccess A;
  if (TryEnum<TVTextAlig>(P, A) || TryEnum<THTextAlig>(P, A) || TryEnum<TTextSource>(P, A) ||
      TryEnum<TTextDirection>(P, A) || TryEnum<TChronoType>(P, A) || TryEnum<TClockType>(P, A) ||
      TryEnum<TShowTime>(P, A) || TryEnum<TDurationType>(P, A))
    return A;
  return std::nullopt;
}

class TEnumCell : public TCell {
 public:
  TEnumCell(TBaseProperty* P, TEnumAccess A) : TCell(P), fA(std::move(A)) {}
  TCellRect displayrect;
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t&) override {
    std::string s;
    if (fProperty->AsString(s) && s.size() >= 2) s = s.substr(2);
    C.Text(R, R.Left, 0, s, 0, false, false);
    displayrect = DisplayRect;
  }
  void MouseDown(TCellHost& H, TCellButton, int, int) override {
    PushChange(fProperty);
    fA.Old() = fA.Get();
    const auto chosen = H.PopupMenu(displayrect.Left, displayrect.Top, fA.Names, fA.Get());
    if (!chosen) return;
    if (*chosen == fA.Old()) DropChange(fProperty);
    fA.Set(*chosen);
  }

 private:
  TEnumAccess fA;
};

class TColorCell : public TCell {
 public:
  explicit TColorCell(TColor4* P) : TCell(P), fC(P) {}
  std::int32_t left = 0, Top = 0, W = 0, H = 0;
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect&, std::int32_t&) override {
    C.Swatch({R.Left, 2, R.Left + 32, R.Bottom - 2}, fC->GetWinColor());
    left = R.Left + 4;
    Top = 2;
    W = 28;
    H = R.Bottom - R.Top - 4;
  }
  void MouseDown(TCellHost& Host, TCellButton, int X, int) override {
    if (!(left < X && X < left + W)) return;
    if (auto c = Host.ColorDialog(fC->GetWinColor())) fC->SetWinColor(*c);
  }

 private:
  TColor4* fC;
};

// File, folder and text-file paths: a release on the value opens the dialog; a press records
// nothing, since a string's undo element could restore nothing.
class TFileCell : public TCell {
 public:
  TFileCell(TString* P, std::string Filter, bool Folder) : TCell(P), fS(P), fFilter(std::move(Filter)), fFolder(Folder) {}
  TPropertyDrawing D;
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t& Width) override {
    D.ValueLeft = R.Left;
    C.Text(R, R.Left, 2, fS->Value(), 0, true, false);
    D.ValueWidth = fS->Value().empty() ? DisplayRect.Right - DisplayRect.Left : C.TextWidth(fS->Value(), true);
    Width = D.ValueWidth;
    D.displayrect = DisplayRect;
  }
  void MouseUp(TCellHost& H, TCellButton, int, int) override {
    if (auto path = H.FileDialog(fFilter, fFolder)) fS->SetValue(*path);
  }

 private:
  TString* fS;
  std::string fFilter;
  bool fFolder;
};

// A time shown and typed as a timecode; no drag and no undo element.
class TTimeCodeCell : public TCell {
 public:
  explicit TTimeCodeCell(TTimeCode* P) : TCell(P), fT(P) {}
  TPropertyDrawing D;
  void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t& Width) override {
    const std::string t = SecondsToTimecode(fT->Value(), kFramesPerSecond);
    D.ValueLeft = R.Left;
    C.Text(R, R.Left, 2, t, 0, true, false);
    D.ValueWidth = C.TextWidth(t, true);
    Width = D.ValueWidth;
    D.displayrect = DisplayRect;
  }
  void MouseUp(TCellHost& H, TCellButton, int, int) override {
    D.EditorOpen = true;
    H.OpenTimecodeEditor({D.ValueLeft, D.displayrect.Top, D.ValueLeft + (D.displayrect.Right - D.displayrect.Left),
                          D.displayrect.Top + 18},
                         static_cast<std::int32_t>(std::clamp(std::lround(fT->Value() * 1000.0), 0L, long(INT32_MAX))),
                         this);
  }
  void ExitEdit(const std::string& Text) override {
    if (!D.EditorOpen) return;
    D.EditorOpen = false;
    // A text the field cannot read gives -1 ms.
    fT->SetValue(static_cast<double>(TCToMili(Text)) / 1000.0);
  }

 private:
  TTimeCode* fT;
};

}  // namespace

std::unique_ptr<TCell> MakeCell(TBaseProperty* P) {
  if (auto* t = dynamic_cast<TTimeCode*>(P)) return std::make_unique<TTimeCodeCell>(t);
  if (auto* f = dynamic_cast<TImageFileName*>(P)) return std::make_unique<TFileCell>(f, kImageFileFilter, false);
  if (auto* f = dynamic_cast<TTextFile*>(P)) return std::make_unique<TFileCell>(f, kTextFileFilter, false);
  if (auto* f = dynamic_cast<TDirectory*>(P)) return std::make_unique<TFileCell>(f, "", true);
  if (auto* d = dynamic_cast<TDouble*>(P)) return std::make_unique<TDoubleCell>(d);
  if (auto* i = dynamic_cast<TInteger*>(P)) return std::make_unique<TIntegerCell>(i);
  if (auto* s = dynamic_cast<TString*>(P)) return std::make_unique<TStringCell>(s);
  if (auto* b = dynamic_cast<TBoolean*>(P)) return std::make_unique<TBooleanCell>(b);
  if (auto* c = dynamic_cast<TColor4*>(P)) return std::make_unique<TColorCell>(c);
  if (auto e = EnumOf(P)) return std::make_unique<TEnumCell>(P, std::move(*e));
  return std::make_unique<TCell>(P);
}

}  // namespace qv

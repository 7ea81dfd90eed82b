#include <gtest/gtest.h>

#include <deque>

#include "composition/Layer.h"
#include "composition/LayerClasses.h"
#include "composition/QvSystem.h"
#include "grid/Cells.h"
#include "model/BasicTypes.h"
#include "model/UndoEngine.h"
#include "support/TestPage.h"

using namespace qv;
using qv::test::TestPage;

namespace {

// Text is 7 pixels per character; what was drawn is kept for inspection.
class FakeCanvas : public TCellCanvas {
 public:
  int TextWidth(const std::string& T, bool) override { return 7 * static_cast<int>(T.size()); }
  int Drawn() const { return static_cast<int>(Texts.size()) + Swatches + Checks; }
  void Text(const TCellRect&, int, int, const std::string& T, std::uint32_t Color, bool, bool) override {
    Texts.push_back(T);
    Colors.push_back(Color);
  }
  void Swatch(const TCellRect& R, std::uint32_t Fill) override {
    ++Swatches;
    SwatchRect = R;
    SwatchFill = Fill;
  }
  void CheckBox(const TCellRect&, bool Checked) override {
    ++Checks;
    Check = Checked;
  }
  int Swatches = 0, Checks = 0;
  std::vector<std::string> Texts;
  std::vector<std::uint32_t> Colors;
  TCellRect SwatchRect;
  std::uint32_t SwatchFill = 0;
  bool Check = false;
};

// Answers menus and dialogs from queues the test fills; an empty queue cancels. Text is 7 pixels
// per character, as on the canvas.
class FakeHost : public TCellHost, public TGridDialogs {
 public:
  int TextWidth(const std::string& T, bool) override { return 7 * static_cast<int>(T.size()); }
  TGridDialogs& Dialogs() override { return *this; }
  void OpenInlineEditor(const TCellRect& R, const std::string& T, TInlineEditSink* S) override {
    EditorRect = R;
    EditorText = T;
    Sink = S;
  }
  std::optional<int> PopupMenu(int X, int Y, const std::vector<std::string>& Items, int Checked) override {
    MenuAt = {X, Y};
    MenuItems = Items;
    MenuChecked = Checked;
    if (MenuAnswers.empty()) return std::nullopt;
    auto a = MenuAnswers.front();
    MenuAnswers.pop_front();
    return a;
  }
  std::optional<std::uint32_t> ColorDialog(std::uint32_t Initial) override {
    ++ColorDialogs;
    ColorInitial = Initial;
    return ColorAnswer;
  }
  std::optional<std::string> FileDialog(const std::string& Filter, bool Folder) override {
    ++FileDialogs;
    FileFilter = Filter;
    FileFolder = Folder;
    return FileAnswer;
  }
  std::optional<TFontChoice> FontDialog(const TFontChoice&) override {
    ++FontDialogs;
    return std::nullopt;
  }
  void Message(const std::string& Text) override { Messages.push_back(Text); }
  // What the user was asked: an inline editor, a menu or a dialog.
  int Questions() const { return (Sink ? 1 : 0) + (MenuItems.empty() ? 0 : 1) + ColorDialogs + FileDialogs + FontDialogs; }
  int FileDialogs = 0, ColorDialogs = 0, FontDialogs = 0;
  std::string FileFilter;
  bool FileFolder = false;
  std::optional<std::string> FileAnswer;
  TCellRect EditorRect;
  std::string EditorText;
  TInlineEditSink* Sink = nullptr;
  std::pair<int, int> MenuAt{-1, -1};
  std::vector<std::string> MenuItems;
  int MenuChecked = -1;
  std::deque<std::optional<int>> MenuAnswers;
  std::uint32_t ColorInitial = 0;
  std::optional<std::uint32_t> ColorAnswer;
  std::vector<std::string> Messages;
};

constexpr TCellRect kValue{100, 0, 300, 17};
constexpr TCellRect kDisplay{94, 40, 300, 57};
constexpr TCellPlace kAt{kValue, kDisplay};

// A cell in a row whose value column is kValue, 40 pixels below the grid's top. It is never
// painted unless a test draws it: every mouse call is told where the row lies.
struct Row {
  explicit Row(TBaseProperty* P) : Cell(MakeCell(P)) {}
  void Draw() {
    std::int32_t w = 0;
    Cell->DrawValue(Canvas, kValue, kDisplay, w);
  }
  void Down(TCellButton B, int X) { Cell->MouseDown(Host, B, X, 45, kAt); }
  TCellCursor Move(int X) {
    TCellCursor c = TCellCursor::crDefault;
    Cell->MouseMove(Host, X, 45, kAt, c);
    return c;
  }
  void Up(TCellButton B, int X) { Cell->MouseUp(Host, B, X, 45, kAt); }
  void Drag(int from, std::initializer_list<int> xs) {
    Down(TCellButton::mbLeft, from);
    int last = from;
    for (int x : xs) {
      Move(x);
      last = x;
    }
    Up(TCellButton::mbLeft, last);
  }
  void Exit(const std::string& Text) { Host.Sink->ExitEdit(Host, Text); }
  std::unique_ptr<TCell> Cell;
  FakeCanvas Canvas;
  FakeHost Host;
};

struct DragCase {
  const char* name;
  std::function<std::unique_ptr<TBaseProperty>()> make;
  std::vector<int> path;  // x positions after the press at 101
  double expected;
};

double NumberOf(TBaseProperty* P) {
  double v = 0;
  P->AsFloat(v);
  return v;
}

TEST(NumberCell, DragsStepPerPixelWithLimitsAtEveryStep) {
  const std::vector<DragCase> cases = {
      {"double 40 px", [] { auto d = std::make_unique<TDouble>(); d->SetValue(1.0); return d; }, {141}, 2.0},
      {"zero-one 40 px", [] { auto d = std::make_unique<TZeroOneDouble>(); d->SetValue(0.5); return d; }, {141}, 0.55},
      {"minmax double clamps", [] {
         auto d = std::make_unique<TMinMaxDouble>(); d->SetMinMax(0, 1.5); d->SetValue(1.0); return d; }, {141}, 1.5},
      {"integer 40 px", [] { auto i = std::make_unique<TInteger>(); i->SetValue(7); return i; }, {141}, 47},
      {"minmax integer stops, back 10", [] {
         auto i = std::make_unique<TMinMaxInteger>(); i->SetMinMax(0, 255); i->SetValue(250); return i; },
       {141, 131}, 245},
      {"integer steps are not shortened by modifiers or y", [] {
         auto i = std::make_unique<TInteger>(); return i; }, {102, 103, 90}, -11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto p = c.make();
    Row r(p.get());
    r.Down(TCellButton::mbLeft, 101);
    for (int x : c.path) r.Move(x);
    r.Up(TCellButton::mbLeft, c.path.back());
    EXPECT_NEAR(NumberOf(p.get()), c.expected, 1e-6);
  }
}

TEST(NumberCell, EachStepNotifies) {
  TMinMaxInteger i;
  i.SetMinMax(0, 255);
  i.SetValue(250);
  int calls = 0;
  i.AddChangeNotify(&calls, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++calls; });
  Row r(&i);
  r.Drag(101, {111, 121, 131});
  EXPECT_EQ(i.Value(), 255);
  EXPECT_EQ(calls, 3);  // limited steps notify as well
}

TEST(NumberCell, UndoElementsOfDrags) {
  TestPage page;
  auto& U = page.Undo;
  TDouble d;
  page.Join(d);
  d.SetValue(10.0);
  Row r(&d);
  const auto before = U.Count();
  r.Drag(101, {201});  // 100 px: 10.0 -> 12.5
  EXPECT_NEAR(d.Value(), 12.5, 1e-6);
  ASSERT_EQ(U.Count(), before + 1);
  U.PopUndoAction();
  EXPECT_DOUBLE_EQ(d.Value(), 10.0);

  int calls = 0;  // popping goes through the setter, so subscribers hear of it
  d.AddChangeNotify(&calls, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++calls; });
  r.Drag(101, {141, 81, 101});  // away both ways and back: a click, the editor opens
  ASSERT_NE(r.Host.Sink, nullptr);
  r.Exit(r.Host.EditorText);
  EXPECT_NEAR(d.Value(), 10.0, 1e-6);
  EXPECT_EQ(U.Count(), before);
  r.Drag(101, {111});
  U.PopUndoAction();
  EXPECT_DOUBLE_EQ(d.Value(), 10.0);
  EXPECT_EQ(calls, 5);  // three drag steps, one step, one pop
}

TEST(NumberCell, DragEndingAtStartValueLeavesNoElement) {
  TestPage page;
  auto& U = page.Undo;
  TInteger i;
  page.Join(i);
  i.SetValue(5);
  Row r(&i);
  const auto before = U.Count();
  r.Drag(101, {141, 100});
  EXPECT_EQ(i.Value(), 4);
  EXPECT_EQ(U.Count(), before + 1);
  U.PopUndoAction();
  r.Drag(101, {141, 102});  // ends at 6, then back to 5 with a second drag
  r.Drag(102, {101});
  EXPECT_EQ(i.Value(), 5);
  EXPECT_EQ(U.Count(), before + 2);
  U.PopUndoAction();
  U.PopUndoAction();
  EXPECT_EQ(i.Value(), 5);
  const auto mid = U.Count();
  r.Drag(101, {121, 141, 101 + 1, 101});  // away and back in one gesture: opens the editor
  EXPECT_NE(r.Host.Sink, nullptr);
  r.Exit(r.Host.EditorText);
  EXPECT_EQ(U.Count(), mid);
}

TEST(NumberCell, ClickOpensEditorWithThreeDecimalsAndLeavingItChangesNothing) {
  TestPage page;
  auto& U = page.Undo;
  TDouble d;
  page.Join(d);
  d.SetValue(0.12345);
  Row r(&d);
  const auto before = U.Count();
  r.Drag(101, {});
  ASSERT_NE(r.Host.Sink, nullptr);
  EXPECT_EQ(r.Host.EditorText, "0.123");
  EXPECT_EQ(r.Host.EditorRect, (TCellRect{100, 40, 306, 58}));
  r.Exit("0.123");
  EXPECT_DOUBLE_EQ(d.Value(), 0.12345);  // not cut to the three decimals shown
  EXPECT_EQ(U.Count(), before);
}

struct EditCase {
  const char* name;
  std::string typed;
  double expected;
  bool keepsElement;
};

TEST(NumberCell, InlineEditorParsesLocaleFree) {
  const std::vector<EditCase> cases = {
      {"dot", "2.5", 2.5, true},
      {"comma", "2,25", 2.25, true},
      {"garbage keeps value", "abc", 1.0, false},
      {"blanks", " 3 ", 3.0, true},
  };
  TestPage page;
  auto& U = page.Undo;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDouble d;
    page.Join(d);
    d.SetValue(1.0);
    Row r(&d);
    const auto before = U.Count();
    r.Drag(101, {});
    r.Host.Sink->ApplyText(c.typed);  // Enter
    r.Exit(c.typed);   // the posted exit
    EXPECT_DOUBLE_EQ(d.Value(), c.expected);
    EXPECT_EQ(U.Count(), before + (c.keepsElement ? 1 : 0));
    if (c.keepsElement) {
      U.PopUndoAction();
      EXPECT_DOUBLE_EQ(d.Value(), 1.0);
    }
  }
  TMinMaxInteger i;
  i.SetMinMax(0, 100);
  i.SetValue(3);
  Row r(&i);
  r.Drag(101, {});
  EXPECT_EQ(r.Host.EditorText, "3");
  r.Exit("500");
  EXPECT_EQ(i.Value(), 100);
  r.Drag(101, {});
  r.Exit("x");
  EXPECT_EQ(i.Value(), 100);
}

TEST(NumberCell, PressRulesAndCursor) {
  TestPage page;
  auto& U = page.Undo;
  TDouble d;
  page.Join(d);
  d.SetValue(1.0);  // "1.000": 35 px wide from x = 100
  Row r(&d);
  const auto before = U.Count();
  r.Down(TCellButton::mbRight, 101);
  r.Down(TCellButton::mbLeft, 135);  // just past the text
  r.Down(TCellButton::mbLeft, 99);
  EXPECT_EQ(U.Count(), before);
  struct { int x; TCellCursor c; } hover[] = {
      {100, TCellCursor::crDefault}, {101, TCellCursor::crSizeWE}, {134, TCellCursor::crSizeWE},
      {135, TCellCursor::crDefault}, {250, TCellCursor::crDefault}};
  for (auto h : hover) EXPECT_EQ(r.Move(h.x), h.c) << h.x;
  EXPECT_DOUBLE_EQ(d.Value(), 1.0);  // hovering does not drag
}

TEST(StringCell, EmptyStringIsClickableAcrossTheCellAndEditsText) {
  TestPage page;
  auto& U = page.Undo;
  TString s;
  page.Join(s);
  Row r(&s);
  const auto before = U.Count();
  EXPECT_EQ(r.Move(150), TCellCursor::crDefault);
  r.Drag(299, {});
  ASSERT_NE(r.Host.Sink, nullptr);
  EXPECT_EQ(r.Host.EditorText, "");
  r.Host.Sink->ApplyText("Hello");
  r.Exit("Hello");
  EXPECT_EQ(s.Value(), "Hello");
  EXPECT_EQ(U.Count(), before + 1);
  r.Host.Sink = nullptr;
  r.Drag(101, {});
  r.Exit("Hello");  // left untouched: no element
  EXPECT_EQ(U.Count(), before + 1);
}

TEST(TitleCell, DisabledTitleAtHalfTheColourValue) {
  TDouble d;
  auto cell = MakeCell(&d);
  FakeCanvas c;
  cell->DrawTitle("X", c, {0, 0, 80, 17}, 0xE0E0E0);
  d.Attributes.Exclude(paEnabled);
  cell->DrawTitle("X", c, {0, 0, 80, 17}, 0xE0E0E0);
  EXPECT_EQ(c.Colors, (std::vector<std::uint32_t>{0xE0E0E0, 0x707070}));
}

TEST(BooleanCell, AnyButtonTogglesAndEachToggleLeavesAnElement) {
  TestPage page;
  auto& U = page.Undo;
  TBoolean b;
  page.Join(b);
  Row r(&b);
  const auto before = U.Count();
  r.Down(TCellButton::mbRight, 500);
  EXPECT_TRUE(b.Value());
  r.Down(TCellButton::mbLeft, 101);
  EXPECT_FALSE(b.Value());
  EXPECT_EQ(U.Count(), before + 2);
  U.PopUndoAction();
  U.PopUndoAction();
  EXPECT_FALSE(b.Value());
  b.SetValue(true);
  r.Draw();
  EXPECT_TRUE(r.Canvas.Check);
}

struct EnumCase {
  const char* name;
  std::optional<int> answer;
  TVTextAlig expected;
  int elements;
  int notifications;
};

TEST(EnumCell, MenuChoicesAndDismissals) {
  const std::vector<EnumCase> cases = {
      {"other value", 2, vaBottom, 1, 1},
      {"same value removes the element, still notifies", 1, vaCenter, 0, 1},
      {"dismissed keeps the element", std::nullopt, vaCenter, 1, 0},
  };
  TestPage page;
  auto& U = page.Undo;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TEnum<TVTextAlig> e;
    page.Join(e);
    e.SetValue(vaCenter);
    int calls = 0;
    e.AddChangeNotify(&calls, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++calls; });
    Row r(&e);
    r.Draw();
    EXPECT_EQ(r.Canvas.Texts.back(), "Center");
    r.Host.MenuAnswers.push_back(c.answer);
    const auto before = U.Count();
    r.Down(TCellButton::mbRight, 0);
    EXPECT_EQ(r.Host.MenuItems, (std::vector<std::string>{"Top", "Center", "Bottom"}));
    EXPECT_EQ(r.Host.MenuChecked, 1);
    EXPECT_EQ(r.Host.MenuAt, (std::pair<int, int>{94, 40}));  // the value cell's top-left corner
    EXPECT_EQ(e.Value(), c.expected);
    EXPECT_EQ(U.Count(), before + c.elements);
    EXPECT_EQ(calls, c.notifications);
    for (int i = 0; i < c.elements; ++i) U.PopUndoAction();
    EXPECT_EQ(e.Value(), vaCenter);
  }
}

TEST(ColorCell, DialogConfirmSetsOpaqueColourCancelChangesNothing) {
  TestPage page;
  auto color = TConstruction::Create<TColor4>();
  page.Join(*color);
  color->SetVector(0.0, 0.0, 1.0, 0.5);
  Row r(color.get());
  r.Draw();
  EXPECT_EQ(r.Canvas.SwatchRect, (TCellRect{100, 2, 132, 15}));
  EXPECT_EQ(r.Canvas.SwatchFill, 0xFF0000u);
  const auto before = page.Undo.Count();
  r.Down(TCellButton::mbLeft, 140);  // beside the swatch
  EXPECT_EQ(r.Host.ColorInitial, 0u);
  r.Down(TCellButton::mbLeft, 110);  // cancelled
  EXPECT_EQ(r.Host.ColorInitial, 0xFF0000u);
  EXPECT_DOUBLE_EQ(color->Alpha()->Value(), 0.5);
  r.Host.ColorAnswer = 0x0000FFu;
  r.Down(TCellButton::mbLeft, 110);
  EXPECT_DOUBLE_EQ(color->Red()->Value(), 1.0);
  EXPECT_DOUBLE_EQ(color->Blue()->Value(), 0.0);
  EXPECT_DOUBLE_EQ(color->Alpha()->Value(), 1.0);
  EXPECT_EQ(page.Undo.Count(), before);
}

// A dialog that shows the alpha channel is asked with the colour's alpha and sets the one chosen;
// an alpha left as shown keeps its exact value.
TEST(ColorCell, ADialogWithAlphaSetsTheChosenAlpha) {
  struct AlphaHost : FakeHost {
    std::optional<TColorChoice> ColorDialogWithAlpha(std::uint32_t Initial, std::uint8_t Alpha) override {
      ++ColorDialogs;
      ColorInitial = Initial;
      AlphaShown = Alpha;
      return Answer;
    }
    std::uint8_t AlphaShown = 0;
    std::optional<TColorChoice> Answer;
  };
  struct TCase {
    double alpha;
    std::uint8_t shown;
    std::optional<TGridDialogs::TColorChoice> answer;
    double alphaAfter;
    std::uint32_t colorAfter;
  };
  const TCase cases[] = {
      {0.5, 128, std::nullopt, 0.5, 0xFF0000u},                          // cancelled
      {0.5, 128, TGridDialogs::TColorChoice{0x00FF00u, 128}, 0.5, 0x00FF00u},  // alpha untouched
      {0.5, 128, TGridDialogs::TColorChoice{0x00FF00u, 51}, 0.2, 0x00FF00u},
      {1.0, 255, TGridDialogs::TColorChoice{0x0000FFu, 0}, 0.0, 0x0000FFu},
      {0.3, 77, TGridDialogs::TColorChoice{0x0000FFu, 255}, 1.0, 0x0000FFu},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.alpha);
    auto color = TConstruction::Create<TColor4>();
    color->SetVector(0.0, 0.0, 1.0, c.alpha);
    AlphaHost host;
    host.Answer = c.answer;
    auto cell = MakeCell(color.get());
    cell->MouseDown(host, TCellButton::mbLeft, 110, 8, kAt);
    EXPECT_EQ(host.ColorDialogs, 1);
    EXPECT_EQ(host.ColorInitial, 0xFF0000u);
    EXPECT_EQ(host.AlphaShown, c.shown);
    EXPECT_DOUBLE_EQ(color->Alpha()->Value(), c.alphaAfter);
    EXPECT_EQ(color->GetWinColor(), c.colorAfter);
  }
}

// The cell shows and reads timecodes with the timecode field's own conversions.
TEST(TimecodeCell, ShowsAndReadsTimecodes) {
  struct { double seconds; const char* text; } shown[] = {
      {3.0, "00:00:03.00"}, {65.48, "00:01:05.12"}, {125.5, "00:02:05.12"}, {3723.0, "01:02:03.00"},
      {0.99, "00:00:01.00"}};  // a frame that rounds up to the rate carries
  for (auto c : shown) {
    TTimeCode t;
    t.SetValue(c.seconds);
    Row r(&t);
    r.Draw();
    EXPECT_EQ(r.Canvas.Texts.back(), c.text) << c.seconds;
  }
}

// A time the timecode field's format check refuses leaves the value as it was and tells the user
// what the field tells: neither a negative time nor one beyond the field's limits gets in.
TEST(TimecodeCell, TakesWhatTheFieldAcceptsAndRefusesTheRest) {
  struct {
    const char* text;
    double seconds;  // the value after leaving the field; 3.0 is the old one
    bool refused;
  } typed[] = {
      {"00:00:10.05", 10.2, false}, {"01:00:00.00", 3600.0, false}, {"23:59:59.24", 86399.96, false},
      {"1:00", 3.0, true},          {"99:99:99.99", 3.0, true},     {"", 3.0, true},
      {"abc", 3.0, true},           {"00:00:00.25", 3.0, true},     {"24:00:00.00", 3.0, true}};
  for (auto c : typed) {
    SCOPED_TRACE(c.text);
    TTimeCode t;
    t.SetValue(3.0);
    Row r(&t);
    r.Up(TCellButton::mbLeft, 101);
    ASSERT_NE(r.Host.Sink, nullptr);
    r.Exit(c.text);
    EXPECT_DOUBLE_EQ(t.Value(), c.seconds);
    EXPECT_EQ(r.Host.Messages,
              c.refused ? std::vector<std::string>{"Error in timecode format!"} : std::vector<std::string>{});
  }
}

TEST(TimecodeCell, NoDragReleaseOpensFieldLeavingSetsSeconds) {
  TestPage page;
  auto& U = page.Undo;
  TTimeCode t;
  page.Join(t);
  t.SetValue(3.0);
  Row r(&t);
  r.Draw();
  EXPECT_EQ(r.Canvas.Texts.back(), "00:00:03.00");
  const auto before = U.Count();
  r.Down(TCellButton::mbLeft, 101);
  EXPECT_EQ(r.Move(140), TCellCursor::crDefault);
  EXPECT_DOUBLE_EQ(t.Value(), 3.0);
  r.Up(TCellButton::mbLeft, 290);  // released off the text: still opens
  ASSERT_NE(r.Host.Sink, nullptr);
  EXPECT_EQ(r.Host.EditorText, "00:00:03.00");
  r.Exit("00:00:10.05");
  EXPECT_DOUBLE_EQ(t.Value(), 10.2);
  r.Up(TCellButton::mbLeft, 101);
  r.Exit("nonsense");
  EXPECT_DOUBLE_EQ(t.Value(), 10.2);
  EXPECT_EQ(U.Count(), before);
}

TEST(FileCells, DialogsWithTheirFiltersConfirmAndCancel) {
  struct Case {
    const char* name;
    std::unique_ptr<TString> prop;
    std::string filter;
    bool folder;
  };
  std::vector<Case> cases;
  // The picture filters as they always were first, then every format the engine reads, then any file.
  cases.push_back({"image", std::make_unique<TImageFileName>(),
                   "Image Files|*.tga;*.png;*.jpg;*.jpeg|All pictures|*.png;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;*.bmp;*.dib;"
                   "*.tif;*.tiff;*.psd;*.dds;*.hdr;*.exr;*.webp;*.pnm;*.pbm;*.pgm;*.ppm;*.pfm;*.tga|All files|*",
                   false});
  cases.push_back({"text", std::make_unique<TTextFile>(),
                   "All Files (*.txt;*.rtf)|*.TXT;*.RTF|Text files (*.txt)|*.TXT|RichEdit files (*.rtf)|*.RTF", false});
  cases.push_back({"folder", std::make_unique<TDirectory>(), "", true});
  TestPage page;
  auto& U = page.Undo;
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    page.Join(*c.prop);
    c.prop->SetValue("/old");
    Row r(c.prop.get());
    const auto before = U.Count();
    r.Drag(101, {});  // cancelled
    EXPECT_EQ(r.Host.FileDialogs, 1);
    EXPECT_EQ(r.Host.FileFilter, c.filter);
    EXPECT_EQ(r.Host.FileFolder, c.folder);
    EXPECT_EQ(c.prop->Value(), "/old");
    EXPECT_EQ(r.Host.Sink, nullptr);  // never the inline editor
    r.Host.FileAnswer = "/new/path";
    r.Drag(101, {});
    EXPECT_EQ(c.prop->Value(), "/new/path");
    EXPECT_EQ(U.Count(), before);  // an element about a string could restore nothing
  }
}

// Every published member of every layer class and of the page gets a cell that edits it: its
// value is drawn, and a click on the value's start (a row never painted) asks the user something
// or changes the value. Only groups show a title alone, and their members are walked in turn.
void ExpectRealCells(TCustomContainerObject& C, const std::string& Path) {
  for (const auto& child : C.Properties()) {
    TBaseProperty* p = child.get();
    const std::string where = Path + "." + p->Name;
    SCOPED_TRACE(where);
    EXPECT_NE(p->EditorKind(), TEditorKind::ekNone) << p->ClassName() << " states no editor kind";
    Row r(p);
    r.Draw();
    if (p->EditorKind() == TEditorKind::ekGroup) {
      EXPECT_EQ(r.Canvas.Drawn(), 0);
    } else {
      EXPECT_GT(r.Canvas.Drawn(), 0);
      int changes = 0;
      p->AddChangeNotify(&changes, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++changes; });
      r.Drag(105, {});
      if (r.Host.Sink) r.Exit(r.Host.EditorText);
      EXPECT_GT(r.Host.Questions() + changes, 0) << p->ClassName() << " ignores a click on its value";
      p->RemoveChangeNotify(&changes);
    }
    if (auto* group = dynamic_cast<TCustomContainerObject*>(p)) ExpectRealCells(*group, where);
  }
}

TEST(EveryMember, GetsACellThatEditsIt) {
  auto sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  ASSERT_NE(sys->UndoEngine(), nullptr);
  auto& U = *sys->UndoEngine();
  const auto before = U.Count();
  ExpectRealCells(*sys, "TQVSystem");
  ASSERT_FALSE(LayerClasses().empty());
  for (const TLayerClass& c : LayerClasses()) {
    TLayer* layer = c.Create(*sys);
    ASSERT_NE(layer, nullptr) << c.Keyword;
    ExpectRealCells(*layer, std::string(c.Keyword));
  }
  while (U.Count() > before) U.PopUndoAction();
}

}  // namespace

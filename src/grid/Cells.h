#pragma once
// The cells of the property grid: each property draws its row's title and value and turns the
// mouse over its value into value changes and undo elements. Cells stay free of any toolkit; they
// measure, draw and open editors, menus and dialogs through TCellCanvas and TCellHost, which the
// editor implements with Qt and tests implement with answers of their own.
//
// A cell keeps no geometry: every call is told where the row lies (TCellPlace), so a row that was
// never painted can be clicked. What a cell keeps between calls is the state of a gesture.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/BaseLib.h"
#include "model/Timecode.h"

namespace qv {

// A rectangle in pixels, Right and Bottom excluded.
struct TCellRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TCellRect&, const TCellRect&) = default;
};

// Where a row's value lies, as DrawValue receives it and every mouse call too. Rect: the value
// column's content rectangle, x in grid coordinates, y from the row's top. DisplayRect: Rect's
// right, a left 6 pixels left of Rect's, and the row's top and bottom in grid coordinates.
struct TCellPlace {
  TCellRect Rect;
  TCellRect DisplayRect;
};

enum class TCellButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
enum class TCellCursor : std::uint8_t { crDefault, crSizeWE };

// The width of a text in the grid's font ("Tahoma", underlined for editable values).
class TCellMetrics {
 public:
  virtual ~TCellMetrics() = default;
  virtual int TextWidth(const std::string& Text, bool Underline) = 0;
};

// Drawing inside one row; y = 0 is the row's top. Colours are platform colours 0x00BBGGRR.
class TCellCanvas : public TCellMetrics {
 public:
  virtual void Text(const TCellRect& R, int X, int Y, const std::string& Text, std::uint32_t Color, bool Underline,
                    bool VCenter) = 0;
  virtual void Swatch(const TCellRect& R, std::uint32_t Fill) = 0;  // filled, black one-pixel outline
  virtual void CheckBox(const TCellRect& R, bool Checked) = 0;
};

// The questions a cell asks the user. Each answers once the user has: none = cancelled.
class TGridDialogs {
 public:
  virtual ~TGridDialogs() = default;
  // A popup menu with its top-left corner at grid point (X, Y); the chosen index.
  virtual std::optional<int> PopupMenu(int X, int Y, const std::vector<std::string>& Items, int Checked) = 0;
  virtual std::optional<std::uint32_t> ColorDialog(std::uint32_t Initial) = 0;
  // The colour dialog for a colour with an alpha channel: Initial and its Alpha (0..255) shown,
  // the colour and alpha chosen. A dialog that shows no alpha channel (this default) gives an
  // opaque colour, as ColorDialog's colour is.
  struct TColorChoice {
    std::uint32_t Color = 0;
    std::uint8_t Alpha = 255;
  };
  virtual std::optional<TColorChoice> ColorDialogWithAlpha(std::uint32_t Initial, std::uint8_t Alpha) {
    if (const auto c = ColorDialog(Initial)) return TColorChoice{*c, 255};
    return std::nullopt;
  }
  // A file-open dialog with a filter of "description|patterns" pairs ("Image Files|*.png;*.tga"),
  // or a folder picker when Filter is empty and Folder is set; the full path.
  virtual std::optional<std::string> FileDialog(const std::string& Filter, bool Folder) = 0;
  struct TFontChoice {
    std::string Name;
    std::uint32_t Color = 0;  // platform colour 0x00BBGGRR
    std::int32_t Size = 0;    // points
  };
  virtual std::optional<TFontChoice> FontDialog(const TFontChoice& Initial) = 0;
  // A message box with an OK button, as the timecode field shows when it refuses a time.
  virtual void Message(const std::string& Text) = 0;
};

class TCellHost;

// What an open inline editor tells its cell: the text to apply (Enter), and the end of the edit
// (Enter's posted exit or a loss of focus), once.
class TInlineEditSink {
 public:
  virtual ~TInlineEditSink() = default;
  virtual void ApplyText(const std::string& Text) = 0;
  virtual void ExitEdit(TCellHost& Host, const std::string& Text) = 0;
};

// The grid as the cells see it.
class TCellHost : public TCellMetrics {
 public:
  virtual TGridDialogs& Dialogs() = 0;
  // A single-line box at R (grid coordinates), grey background, holding Text, with the focus.
  // The host calls Sink->ApplyText on Enter and Sink->ExitEdit once when the box closes.
  virtual void OpenInlineEditor(const TCellRect& R, const std::string& Text, TInlineEditSink* Sink) = 0;
  // The timecode field at R, showing Milliseconds as a timecode, with the focus; the field's own
  // key filter applies. As OpenInlineEditor otherwise (a host without a timecode field opens the
  // plain box with the timecode text).
  virtual void OpenTimecodeEditor(const TCellRect& R, std::int32_t Milliseconds, TInlineEditSink* Sink) {
    OpenInlineEditor(R, MiliToTC(Milliseconds), Sink);
  }
};

// Filters of the file cells: the pictures as they always were offered, then every format the
// engine reads, then any file.
inline constexpr const char* kImageFileFilter = "Image Files|*.tga;*.png;*.jpg;*.jpeg";
std::string PictureFileFilter();
inline constexpr const char* kTextFileFilter =
    "All Files (*.txt;*.rtf)|*.TXT;*.RTF|Text files (*.txt)|*.TXT|RichEdit files (*.rtf)|*.RTF";

// The state of a gesture on a number or string cell, kept from the press to the release and the
// inline editor's end. Where the value text lies is worked out again on every call.
struct TPropertyDrawing {
  std::int32_t OldMouseX = 0, OldMouseY = 0;
  std::int32_t FirstMouseX = 0;
  bool MouseOverValue = false;
  std::int32_t Digits = 3;
  bool EditorOpen = false;
  std::string EditorText;  // the text the inline editor was opened with
};

// One row's cell: made for a property by MakeCell, owned by the grid's row.
class TCell : public TInlineEditSink {
 public:
  explicit TCell(TBaseProperty* P) : fProperty(P) {}
  TBaseProperty* Property() const { return fProperty; }

  // The title in Color; a disabled property's title is drawn at half the colour value.
  void DrawTitle(const std::string& Name, TCellCanvas& C, const TCellRect& R, std::uint32_t Color);
  virtual void DrawValue(TCellCanvas& C, const TCellRect& R, const TCellRect& DisplayRect, std::int32_t& Width) {}
  virtual void MouseDown(TCellHost& H, TCellButton B, int X, int Y, const TCellPlace& At) {}
  virtual void MouseMove(TCellHost& H, int X, int Y, const TCellPlace& At, TCellCursor& Cursor) {}
  virtual void MouseUp(TCellHost& H, TCellButton B, int X, int Y, const TCellPlace& At) {}

  void ApplyText(const std::string&) override {}
  void ExitEdit(TCellHost&, const std::string&) override {}

 protected:
  TBaseProperty* fProperty;
};

// The cell of the property's editor kind (TBaseProperty::EditorKind); a title-only cell for a
// group and for a class that states no kind.
std::unique_ptr<TCell> MakeCell(TBaseProperty* P);

// Half of a platform colour value, as a disabled title shows it.
constexpr std::uint32_t DisabledTitleColor(std::uint32_t c) { return c / 2; }

}  // namespace qv

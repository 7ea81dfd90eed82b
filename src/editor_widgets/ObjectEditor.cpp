#include "editor_widgets/ObjectEditor.h"

#include "editor_logic/KeyCommands.h"

#include "editor_widgets/TimecodeEdit.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QTimer>

#include "composition/QvSystem.h"
#include "model/BaseLib.h"

namespace qv {

namespace {

constexpr QColor kBackground(0x3B, 0x3B, 0x3B);
constexpr QColor kGridLine(0x66, 0x66, 0x66);
constexpr std::uint32_t kTitleColor = 0xE0E0E0;  // platform order 0x00BBGGRR

QColor FromWin(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// The grid's font, underlined for editable values.
QFont CellFont(bool Underline) {
  QFont f("Tahoma");
  f.setPixelSize(11);
  f.setUnderline(Underline);
  return f;
}

// Draws one row: y = 0 at the row's top.
class TRowCanvas : public TCellCanvas {
 public:
  explicit TRowCanvas(QPainter& P) : fP(P) {}
  int TextWidth(const std::string& T, bool U) override {
    return QFontMetrics(CellFont(U)).horizontalAdvance(QString::fromStdString(T));
  }
  void Text(const TCellRect& R, int X, int Y, const std::string& T, std::uint32_t Color, bool U, bool VCenter) override {
    fP.setFont(CellFont(U));
    fP.setPen(Color ? FromWin(Color) : FromWin(kTitleColor));
    const QString s = QString::fromStdString(T);
    if (VCenter)
      fP.drawText(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top), Qt::AlignLeft | Qt::AlignVCenter, s);
    else
      fP.drawText(QPoint(X, Y + QFontMetrics(fP.font()).ascent()), s);
  }
  void Swatch(const TCellRect& R, std::uint32_t Fill) override {
    fP.fillRect(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top), FromWin(Fill));
    fP.setPen(Qt::black);
    fP.setBrush(Qt::NoBrush);
    fP.drawRect(QRect(R.Left, R.Top, R.Right - R.Left - 1, R.Bottom - R.Top - 1));
  }
  void CheckBox(const TCellRect& R, bool Checked) override {
    fP.setPen(FromWin(kTitleColor));
    fP.setBrush(Qt::NoBrush);
    fP.drawRect(QRect(R.Left + 2, R.Top + 2, 12, 12));
    if (Checked) {
      fP.drawLine(R.Left + 4, R.Top + 8, R.Left + 7, R.Top + 11);
      fP.drawLine(R.Left + 7, R.Top + 11, R.Left + 12, R.Top + 4);
    }
  }

 private:
  QPainter& fP;
};

TCellButton FromQt(Qt::MouseButton b) {
  return b == Qt::LeftButton ? TCellButton::mbLeft : b == Qt::RightButton ? TCellButton::mbRight : TCellButton::mbMiddle;
}

// The inline box: Enter applies, then the exit runs once control is back in the event loop.
class TInlineEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void()> OnExit;

 protected:
  void focusOutEvent(QFocusEvent* e) override {
    QLineEdit::focusOutEvent(e);
    if (OnExit) OnExit();
  }
};

}  // namespace

TObjectEditor::TObjectEditor(QWidget* Parent, std::unique_ptr<TGridDialogs> Dialogs)
    : QWidget(Parent), fDialogs(Dialogs ? std::move(Dialogs) : MakeQtGridDialogs(this)) {
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, kBackground);
  setPalette(p);
  setMinimumWidth(fRows.ColumnLeft(2) + 80);
  // A changed property repaints its row only.
  fRows.OnRowChanged = [this](int Row) {
    const int top = fRows.RowTop(Row);
    if (top >= 0) update(0, top, width(), kRowHeight);
  };
}

TObjectEditor::~TObjectEditor() {
  CloseEditor();
  FreeRows();
}

void TObjectEditor::Follow(TQVSystem* System) {
  fSystem = System;
  fSelectConn = System->onSelectItem.Connect([this](TQVSystem*) { FollowSelection(); });
  fLayersConn = System->onLayersChanged.Connect([this](TQVSystem*) { FollowSelection(); });
  FollowSelection();
}

void TObjectEditor::FollowSelection() {
  if (!fSystem) return;
  TLayer* l = fSystem->_SelectedLayer();
  SetAObject(l ? static_cast<TContainerObject*>(l) : static_cast<TContainerObject*>(fSystem));
}

void TObjectEditor::FreeRows() {
  fRows.Clear();
  MouseIndex = metNone;
  MouseProp = nullptr;
  MouseData = -1;
}

void TObjectEditor::SetAObject(TContainerObject* Value) {
  // A gesture or an inline edit belongs to the rows being freed.
  CloseEditor();
  FreeRows();
  fObj = Value;
  fRows.Build(Value);
  FitContent();
  update();
}

void TObjectEditor::FitContent() {
  // As tall as its shown rows, so that a scroll area around it reaches every one.
  setMinimumHeight(fRows.Height());
}

void TObjectEditor::SetExpanded(int Row, bool E) {
  fRows.SetExpanded(Row, E);
  FitContent();
  update();
}

int TObjectEditor::TextWidth(const std::string& Text, bool Underline) {
  for (const TMeasured& m : fMeasured)
    if (m.Width >= 0 && m.Underline == Underline && m.Text == Text) return m.Width;
  TMeasured& m = fMeasured[fNextMeasured];
  fNextMeasured = (fNextMeasured + 1) % static_cast<int>(std::size(fMeasured));
  m.Text = Text;
  m.Underline = Underline;
  m.Width = QFontMetrics(CellFont(Underline)).horizontalAdvance(QString::fromStdString(Text));
  return m.Width;
}

TBaseProperty* TObjectEditor::PropertyAt(const QPoint& At) const {
  const int row = fRows.RowAt(At.y());
  if (row >= 0 && fRows.Rows()[std::size_t(row)].prop != nullptr) return fRows.Rows()[std::size_t(row)].prop;
  return fObj;
}

void TObjectEditor::SetKeyFrame(int Frame) {
  if (Frame == fKeyFrame) return;
  fKeyFrame = Frame;
  update();
}

void TObjectEditor::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  // Header
  QLinearGradient g(0, 0, 0, kHeaderHeight);
  g.setColorAt(0, QColor(0x5A, 0x6E, 0x8C));
  g.setColorAt(1, QColor(0x3A, 0x4E, 0x6C));
  p.fillRect(0, 0, width(), kHeaderHeight, g);
  p.setFont(CellFont(false));
  p.setPen(Qt::white);
  const int valueLeft = fRows.ColumnLeft(2);
  p.drawText(QRect(fRows.ColumnLeft(1) + 4, 0, valueLeft - fRows.ColumnLeft(1), kHeaderHeight),
             Qt::AlignVCenter, "Property");
  p.drawText(QRect(valueLeft + 4, 0, width() - valueLeft, kHeaderHeight), Qt::AlignVCenter, "Value");
  // The columns' edges, which a drag in the header moves.
  p.setPen(QColor(0x8A, 0x9E, 0xBC));
  for (int c = 1; c <= 2; ++c) p.drawLine(fRows.ColumnLeft(c) - 1, 3, fRows.ColumnLeft(c) - 1, kHeaderHeight - 4);

  const QRect dirty = e->rect();
  for (int row : fRows.Shown()) {
    const int top = fRows.RowTop(row);
    if (top >= dirty.bottom() + 1) break;
    if (top + kRowHeight <= dirty.top()) continue;
    TNodeData2& r = fRows.Row(row);
    p.save();
    p.translate(0, top);
    TRowCanvas canvas(p);
    if (r.HasChildren) {
      // Our own expander: a downward triangle when open, a rightward one when closed.
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xC8, 0xC8, 0xC8));
      const int x = fRows.ColumnLeft(1) + kIndent * r.Level - 6, y = 5;
      if (r.Expanded)
        p.drawPolygon(QPolygon({QPoint(x - 4, y + 2), QPoint(x + 4, y + 2), QPoint(x, y + 6)}));
      else
        p.drawPolygon(QPolygon({QPoint(x - 2, y), QPoint(x + 2, y + 4), QPoint(x - 2, y + 8)}));
    }
    if (r.prop != nullptr) {
      const TKeyMark mark = KeyMarkOf(*r.prop, fKeyFrame);
      if (mark != TKeyMark::kmNone) {
        const QPolygon diamond({QPoint(10, 3), QPoint(15, 8), QPoint(10, 13), QPoint(5, 8)});
        p.setPen(QColor(0xF0, 0xC0, 0x40));
        p.setBrush(mark == TKeyMark::kmFilled ? QBrush(QColor(0xF0, 0xC0, 0x40)) : QBrush(Qt::NoBrush));
        p.drawPolygon(diamond);
      }
    }
    r.data->DrawTitle(r.Caption, canvas, fRows.TitleRect(row), kTitleColor);
    const TCellPlace at = fRows.PlaceOf(row, width());
    std::int32_t w = 0;
    r.data->DrawValue(canvas, at.Rect, at.DisplayRect, w);
    p.restore();
    p.setPen(kGridLine);
    p.drawLine(0, top + kRowHeight - 1, width(), top + kRowHeight - 1);
  }
}

void TObjectEditor::mousePressEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  if (e->button() == Qt::LeftButton && fRows.PressHeader(pt.x(), pt.y())) {
    CloseEditor();  // an open editor's place is about to move
    return;
  }
  const TGridHit hit = fRows.HitAt(pt.x(), pt.y());
  if (hit.Row < 0) return;
  TNodeData2& r = fRows.Row(hit.Row);
  if (hit.Zone == TGridZone::gzExpander) {
    SetExpanded(hit.Row, !r.Expanded);
  } else if (hit.Zone == TGridZone::gzValue && pt.x() > r.ValueLeft) {
    // An edit still open elsewhere ends (and is recorded) before this one begins.
    CloseEditor();
    MouseIndex = metValueDraw;
    MouseProp = r.prop;
    MouseData = hit.Row;
    fEditing = true;
    if (OnEditBegins) OnEditBegins(r.prop);
    r.data->MouseDown(*this, FromQt(e->button()), pt.x(), pt.y(), fRows.PlaceOf(hit.Row, width()));
  }
}

void TObjectEditor::EndEdit() {
  if (!fEditing) return;
  fEditing = false;
  if (OnEditEnds) OnEditEnds();
}

void TObjectEditor::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  TCellCursor cur = TCellCursor::crDefault;
  if (fRows.HeaderHeld()) {
    if (fRows.DragHeader(pt.x())) {
      setMinimumWidth(fRows.ColumnLeft(2) + 80);
      update();
    }
    ShowCursor(TCellCursor::crSizeWE);
    return;
  }
  if (fRows.HeaderEdgeAt(pt.x(), pt.y()) >= 0) {
    ShowCursor(TCellCursor::crSizeWE);
    return;
  }
  if (MouseIndex == metValueDraw && MouseData >= 0) {
    fRows.Row(MouseData).data->MouseMove(*this, pt.x(), pt.y(), fRows.PlaceOf(MouseData, width()), cur);
  } else {
    const TGridHit hit = fRows.HitAt(pt.x(), pt.y());
    if (hit.Row < 0) return;
    if (hit.Zone == TGridZone::gzValue)
      fRows.Row(hit.Row).data->MouseMove(*this, pt.x(), pt.y(), fRows.PlaceOf(hit.Row, width()), cur);
  }
  ShowCursor(cur);
}

void TObjectEditor::ShowCursor(TCellCursor Cursor) {
  if (Cursor == fCursor) return;
  fCursor = Cursor;
  setCursor(Cursor == TCellCursor::crSizeWE ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void TObjectEditor::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  if (fRows.HeaderHeld()) {
    fRows.ReleaseHeader();
    return;
  }
  const int row = MouseData;
  MouseIndex = metNone;
  MouseProp = nullptr;
  MouseData = -1;
  if (row >= 0)
    fRows.Row(row).data->MouseUp(*this, FromQt(e->button()), pt.x(), pt.y(), fRows.PlaceOf(row, width()));
  // A press that opened an inline editor or a timecode field goes on until it closes.
  if (fEditor == nullptr) EndEdit();
}

void TObjectEditor::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  const TGridHit hit = fRows.HitAt(pt.x(), pt.y());
  if (hit.Row >= 0 && hit.Zone != TGridZone::gzValue && fRows.Rows()[static_cast<std::size_t>(hit.Row)].HasChildren)
    SetExpanded(hit.Row, !fRows.Rows()[static_cast<std::size_t>(hit.Row)].Expanded);
  else
    mousePressEvent(e);
}

void TObjectEditor::PlaceEditor(QLineEdit* Ed, const TCellRect& R, TInlineEditSink* Sink) {
  fEditor = Ed;
  fEditorSink = Sink;
  Ed->setGeometry(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
  Ed->setStyleSheet("QLineEdit { background: #BBBBBB; color: black; border: none; }");
}

void TObjectEditor::OpenInlineEditor(const TCellRect& R, const std::string& Text, TInlineEditSink* Sink) {
  CloseEditor();
  auto* ed = new TInlineEdit(this);
  PlaceEditor(ed, R, Sink);
  ed->setText(QString::fromStdString(Text));
  ed->OnExit = [this] { QTimer::singleShot(0, this, [this] { CloseEditor(); }); };
  connect(ed, &QLineEdit::returnPressed, this, [this, ed] {
    if (fEditor == ed && fEditorSink) fEditorSink->ApplyText(ed->text().toStdString());
    QTimer::singleShot(0, this, [this] { CloseEditor(); });
  });
  ed->show();
  ed->setFocus();
}

void TObjectEditor::OpenTimecodeEditor(const TCellRect& R, std::int32_t Milliseconds, TInlineEditSink* Sink) {
  CloseEditor();
  auto* ed = new TEDit(this);
  PlaceEditor(ed, R, Sink);
  ed->GetMilisecs(Milliseconds);
  // The field's own exit handling runs first; then the cell takes its time, or keeps the old one
  // and tells the user when the field's format check refuses the text.
  connect(ed, &TEDit::exited, this, [this] { QTimer::singleShot(0, this, [this] { CloseEditor(); }); });
  ed->show();
  ed->setFocus();
}

// Runs the exit once: applies the text, lets the cell drop an undo element that changed
// nothing, and destroys the box.
void TObjectEditor::CloseEditor() {
  if (!fEditor) return;
  QLineEdit* ed = fEditor;
  TInlineEditSink* sink = fEditorSink;
  fEditor = nullptr;
  fEditorSink = nullptr;
  if (auto* box = dynamic_cast<TInlineEdit*>(ed)) box->OnExit = nullptr;
  ed->disconnect(this);
  if (sink) sink->ExitEdit(*this, ed->text().toStdString());
  ed->hide();
  ed->deleteLater();
  EndEdit();
  update();
}

QString QtFileFilter(const std::string& Filter) {
  const QStringList parts = QString::fromStdString(Filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    out << (parts[i].contains('(') ? parts[i].section('(', 0, 0).trimmed() : parts[i]) + " (" + patterns + ")";
  }
  return out.join(";;");
}

namespace {

class TQtGridDialogs final : public TGridDialogs {
 public:
  explicit TQtGridDialogs(QWidget* Grid) : fGrid(Grid) {}

  std::optional<int> PopupMenu(int X, int Y, const std::vector<std::string>& Items, int Checked) override {
    QMenu menu(fGrid);
    for (std::size_t i = 0; i < Items.size(); ++i) {
      QAction* a = menu.addAction(QString::fromStdString(Items[i]));
      a->setCheckable(true);
      a->setChecked(static_cast<int>(i) == Checked);
      a->setData(static_cast<int>(i));
    }
    QAction* chosen = menu.exec(fGrid->mapToGlobal(QPoint(X, Y)));
    if (!chosen) return std::nullopt;
    return chosen->data().toInt();
  }
  std::optional<std::uint32_t> ColorDialog(std::uint32_t Initial) override {
    const QColor c = QColorDialog::getColor(FromWin(Initial), fGrid->window());
    if (!c.isValid()) return std::nullopt;
    return static_cast<std::uint32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
  }
  std::optional<TColorChoice> ColorDialogWithAlpha(std::uint32_t Initial, std::uint8_t Alpha) override {
    QColor start = FromWin(Initial);
    start.setAlpha(Alpha);
    const QColor c = QColorDialog::getColor(start, fGrid->window(), QString(), QColorDialog::ShowAlphaChannel);
    if (!c.isValid()) return std::nullopt;
    return TColorChoice{static_cast<std::uint32_t>(c.red() | (c.green() << 8) | (c.blue() << 16)),
                        static_cast<std::uint8_t>(c.alpha())};
  }
  std::optional<std::string> FileDialog(const std::string& Filter, bool Folder) override {
    const QString path = Folder ? QFileDialog::getExistingDirectory(fGrid->window())
                                : QFileDialog::getOpenFileName(fGrid->window(), QString(), QString(), QtFileFilter(Filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
  }
  std::optional<TFontChoice> FontDialog(const TFontChoice& Initial) override {
    QFont f(QString::fromStdString(Initial.Name));
    f.setPointSize(Initial.Size > 0 ? Initial.Size : 12);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, f, fGrid->window());
    if (!ok) return std::nullopt;
    // Qt's font dialog has no colour; the colour is kept as it was.
    return TFontChoice{chosen.family().toStdString(), Initial.Color, chosen.pointSize()};
  }
  void Message(const std::string& Text) override {
    QMessageBox box(QMessageBox::Critical, fGrid->window()->windowTitle(), QString::fromStdString(Text),
                    QMessageBox::Ok, fGrid);
    box.exec();
  }

 private:
  QWidget* fGrid;
};

}  // namespace

std::unique_ptr<TGridDialogs> MakeQtGridDialogs(QWidget* Grid) { return std::make_unique<TQtGridDialogs>(Grid); }

}  // namespace qv

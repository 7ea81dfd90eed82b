#include "editor/ObjectEditor.h"

#include "editor/TimecodeEdit.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QTimer>

#include "composition/QvSystem.h"
#include "editor/CompositionCells.h"
#include "model/BaseLib.h"

namespace qv {

namespace {

constexpr QColor kBackground(0x3B, 0x3B, 0x3B);
constexpr QColor kGridLine(0x66, 0x66, 0x66);
constexpr std::uint32_t kTitleColor = 0xE0E0E0;  // platform order 0x00BBGGRR
constexpr int kColumnWidth[2] = {32, 140};

QColor FromWin(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Draws one row: y = 0 at the row's top.
class TRowCanvas : public TCellCanvas {
 public:
  explicit TRowCanvas(QPainter& P) : fP(P) {}
  QFont FontFor(bool Underline) const {
    QFont f("Tahoma");
    f.setPixelSize(11);
    f.setUnderline(Underline);
    return f;
  }
  int TextWidth(const std::string& T, bool U) override {
    return QFontMetrics(FontFor(U)).horizontalAdvance(QString::fromStdString(T));
  }
  void Text(const TCellRect& R, int X, int Y, const std::string& T, std::uint32_t Color, bool U, bool VCenter) override {
    fP.setFont(FontFor(U));
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

TObjectEditor::TObjectEditor(QWidget* Parent) : QWidget(Parent) {
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, kBackground);
  setPalette(p);
  setMinimumWidth(kColumnWidth[0] + kColumnWidth[1] + 80);
}

TObjectEditor::~TObjectEditor() {
  CloseEditor();
  FreeRows();
}

int TObjectEditor::ColumnLeft(int Column) const {
  return Column == 0 ? 0 : Column == 1 ? kColumnWidth[0] : kColumnWidth[0] + kColumnWidth[1];
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
  for (auto& r : fRows)
    if (r.prop && !r.Alive.expired()) r.prop->RemoveChangeNotify(this);
  fRows.clear();
  MouseIndex = metNone;
  MouseProp = nullptr;
  MouseData = -1;
}

void TObjectEditor::SetAObject(TContainerObject* Value) {
  // A gesture or an inline edit belongs to the rows being freed.
  CloseEditor();
  FreeRows();
  fObj = Value;
  if (Value) Build(Value, 1, -1);
  FitContent();
  update();
}

void TObjectEditor::FitContent() {
  // As tall as its shown rows, so that a scroll area around it reaches every one.
  setMinimumHeight(kHeaderHeight + static_cast<int>(VisibleRows().size()) * kRowHeight);
}

void TObjectEditor::Build(TCustomContainerObject* C, int Level, int Parent) {
  for (std::size_t i = 0; i < C->Count(); ++i) {
    TBaseProperty* v = C->Child(i);
    if (!v || v->Name.starts_with("_") || !v->Attributes.Has(paVisible)) continue;
    TNodeData2 r;
    r.Obj = C;
    r.propertyName = v->Name;
    r.Caption = v->Name;
    r.Level = Level;
    r.prop = v;
    r.data = MakeEditorCell(v);
    r.Parent = Parent;
    r.Alive = v->LifetimeToken();
    fRows.push_back(std::move(r));
    const int index = static_cast<int>(fRows.size()) - 1;
    if (Parent >= 0) fRows[static_cast<std::size_t>(Parent)].HasChildren = true;
    v->AddChangeNotify(this, [this](TBaseProperty*, void*, const std::string&, std::int32_t) { update(); });
    if (auto* sub = dynamic_cast<TCustomContainerObject*>(v)) Build(sub, Level + 1, index);
  }
}

std::vector<int> TObjectEditor::VisibleRows() const {
  std::vector<int> out;
  for (int i = 0; i < static_cast<int>(fRows.size()); ++i) {
    bool shown = true;
    for (int p = fRows[static_cast<std::size_t>(i)].Parent; p >= 0; p = fRows[static_cast<std::size_t>(p)].Parent)
      if (!fRows[static_cast<std::size_t>(p)].Expanded) shown = false;
    if (shown) out.push_back(i);
  }
  return out;
}

int TObjectEditor::RowAt(int Y) const {
  if (Y < kHeaderHeight) return -1;
  const auto v = VisibleRows();
  const int k = (Y - kHeaderHeight) / kRowHeight;
  return k < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(k)] : -1;
}

int TObjectEditor::RowTop(int Row) const {
  const auto v = VisibleRows();
  for (std::size_t k = 0; k < v.size(); ++k)
    if (v[k] == Row) return kHeaderHeight + static_cast<int>(k) * kRowHeight;
  return -1;
}

void TObjectEditor::SetExpanded(int Row, bool E) {
  fRows[static_cast<std::size_t>(Row)].Expanded = E;
  FitContent();
  update();
}

void TObjectEditor::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  // Header
  QLinearGradient g(0, 0, 0, kHeaderHeight);
  g.setColorAt(0, QColor(0x5A, 0x6E, 0x8C));
  g.setColorAt(1, QColor(0x3A, 0x4E, 0x6C));
  p.fillRect(0, 0, width(), kHeaderHeight, g);
  QFont hf("Tahoma");
  hf.setPixelSize(11);
  p.setFont(hf);
  p.setPen(Qt::white);
  p.drawText(QRect(ColumnLeft(1) + 4, 0, kColumnWidth[1], kHeaderHeight), Qt::AlignVCenter, "Property");
  p.drawText(QRect(ColumnLeft(2) + 4, 0, width() - ColumnLeft(2), kHeaderHeight), Qt::AlignVCenter, "Value");

  const auto v = VisibleRows();
  for (std::size_t k = 0; k < v.size(); ++k) {
    auto& r = fRows[static_cast<std::size_t>(v[k])];
    const int top = kHeaderHeight + static_cast<int>(k) * kRowHeight;
    if (top > height()) break;
    p.save();
    p.translate(0, top);
    TRowCanvas canvas(p);
    if (r.HasChildren) {
      // Our own expander: a downward triangle when open, a rightward one when closed.
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xC8, 0xC8, 0xC8));
      const int x = ColumnLeft(1) + kIndent * r.Level - 6, y = 5;
      if (r.Expanded)
        p.drawPolygon(QPolygon({QPoint(x - 4, y + 2), QPoint(x + 4, y + 2), QPoint(x, y + 6)}));
      else
        p.drawPolygon(QPolygon({QPoint(x - 2, y), QPoint(x + 2, y + 4), QPoint(x - 2, y + 8)}));
    }
    TCellRect title{ColumnLeft(1) + kIndent * r.Level + 4, 0, ColumnLeft(2), kRowHeight};
    r.TextLeft = title.Left;
    r.TextRight = title.Right;
    r.data->DrawTitle(r.Caption, canvas, title, kTitleColor);
    TCellRect value{ColumnLeft(2) + 4, 0, width(), kRowHeight};
    TCellRect display{value.Left - 6, top, value.Right, top + kRowHeight};
    r.ValueLeft = display.Left;
    std::int32_t w = 0;
    r.data->DrawValue(canvas, value, display, w);
    p.restore();
    p.setPen(kGridLine);
    p.drawLine(0, top + kRowHeight - 1, width(), top + kRowHeight - 1);
  }
}

void TObjectEditor::mousePressEvent(QMouseEvent* e) {
  const int x = e->position().toPoint().x(), y = e->position().toPoint().y();
  const int row = RowAt(y);
  if (row < 0) return;
  auto& r = fRows[static_cast<std::size_t>(row)];
  // The expander of a row sits in the 10 pixels before its title's indent.
  const int c = ColumnLeft(1);
  if (x < ColumnLeft(2)) {
    if (r.HasChildren && c + kIndent * r.Level - 10 < x && x < c + kIndent * r.Level + 4) SetExpanded(row, !r.Expanded);
    return;
  }
  if (x > r.ValueLeft) {
    MouseIndex = metValueDraw;
    MouseProp = r.prop;
    MouseData = row;
    r.data->MouseDown(*this, FromQt(e->button()), x, y);
    update();
  }
}

void TObjectEditor::mouseMoveEvent(QMouseEvent* e) {
  const int x = e->position().toPoint().x(), y = e->position().toPoint().y();
  TCellCursor cur = TCellCursor::crDefault;
  if (MouseIndex == metValueDraw && MouseData >= 0) {
    fRows[static_cast<std::size_t>(MouseData)].data->MouseMove(*this, x, y, cur);
  } else {
    const int row = RowAt(y);
    if (row < 0) return;
    if (x >= ColumnLeft(2)) fRows[static_cast<std::size_t>(row)].data->MouseMove(*this, x, y, cur);
  }
  setCursor(cur == TCellCursor::crSizeWE ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void TObjectEditor::mouseReleaseEvent(QMouseEvent* e) {
  const int x = e->position().toPoint().x(), y = e->position().toPoint().y();
  const int row = MouseData;
  MouseIndex = metNone;
  MouseProp = nullptr;
  MouseData = -1;
  if (row >= 0) fRows[static_cast<std::size_t>(row)].data->MouseUp(*this, FromQt(e->button()), x, y);
}

void TObjectEditor::mouseDoubleClickEvent(QMouseEvent* e) {
  const int row = RowAt(e->position().toPoint().y());
  if (row >= 0 && e->position().x() < ColumnLeft(2) && fRows[static_cast<std::size_t>(row)].HasChildren)
    SetExpanded(row, !fRows[static_cast<std::size_t>(row)].Expanded);
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
  // The field's own exit handling (its format check and message) runs first; then the cell takes
  // its time.
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
  if (sink) sink->ExitEdit(ed->text().toStdString());
  ed->hide();
  ed->deleteLater();
  update();
}

std::optional<int> TObjectEditor::PopupMenu(int X, int Y, const std::vector<std::string>& Items, int Checked) {
  if (MenuAnswer) return MenuAnswer(Items, Checked);
  QMenu menu(this);
  for (std::size_t i = 0; i < Items.size(); ++i) {
    QAction* a = menu.addAction(QString::fromStdString(Items[i]));
    a->setCheckable(true);
    a->setChecked(static_cast<int>(i) == Checked);
    a->setData(static_cast<int>(i));
  }
  QAction* chosen = menu.exec(mapToGlobal(QPoint(X, Y)));
  if (!chosen) return std::nullopt;
  return chosen->data().toInt();
}

std::optional<std::uint32_t> TObjectEditor::ColorDialog(std::uint32_t Initial) {
  if (ColorAnswer) return ColorAnswer(Initial);
  const QColor c = QColorDialog::getColor(FromWin(Initial), window());
  if (!c.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

// "Image Files|*.tga;*.png" becomes Qt's "Image Files (*.tga *.png)", one filter per pair.
static QString QtFilter(const std::string& Filter) {
  const QStringList parts = QString::fromStdString(Filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    out << (parts[i].contains('(') ? parts[i].section('(', 0, 0).trimmed() : parts[i]) + " (" + patterns + ")";
  }
  return out.join(";;");
}

std::optional<std::string> TObjectEditor::FileDialog(const std::string& Filter, bool Folder) {
  if (FileAnswer) return FileAnswer(Filter, Folder);
  const QString path = Folder ? QFileDialog::getExistingDirectory(window())
                              : QFileDialog::getOpenFileName(window(), QString(), QString(), QtFilter(Filter));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<TCellHost::TFontChoice> TObjectEditor::FontDialog(const TFontChoice& Initial) {
  if (FontAnswer) return FontAnswer(Initial);
  QFont f(QString::fromStdString(Initial.Name));
  f.setPointSize(Initial.Size > 0 ? Initial.Size : 12);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, f, window());
  if (!ok) return std::nullopt;
  // Qt's font dialog has no colour; the colour is kept as it was.
  return TFontChoice{chosen.family().toStdString(), Initial.Color, chosen.pointSize()};
}

}  // namespace qv

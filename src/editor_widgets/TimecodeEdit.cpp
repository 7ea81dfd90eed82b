#include "editor_widgets/TimecodeEdit.h"

#include <QKeyEvent>
#include <QMessageBox>

namespace qv {

TEDit::TEDit(QWidget* AOwner) : QLineEdit(AOwner) {
  setText(QString::fromStdString(fState.Text));
  resize(65, height());
  ExecMessage = [](QMessageBox& Box) { return Box.exec(); };
}

bool TEDit::PassesKey(int Key) {
  if (Key >= Qt::Key_0 && Key <= Qt::Key_9) return true;  // main row and keypad alike
  switch (Key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Colon:
    case Qt::Key_Period:
      return true;
    default:
      return false;
  }
}

template <class F>
auto TEDit::WithState(F&& Op) {
  fState.Text = text().toStdString();
  struct TShow {
    TEDit* Self;
    ~TShow() {
      const QString t = QString::fromStdString(Self->fState.Text);
      if (t != Self->text()) Self->setText(t);
    }
  } show{this};
  return Op(fState);
}

void TEDit::GetMilisecs(std::int32_t NewValue) {
  WithState([&](TTimecodeState& s) { s.GetMilisecs(NewValue); });
}
void TEDit::GetHours(std::uint8_t NewValue) {
  WithState([&](TTimecodeState& s) { s.GetHours(NewValue); });
}
void TEDit::GetMins(std::uint8_t NewValue) {
  WithState([&](TTimecodeState& s) { s.GetMins(NewValue); });
}
void TEDit::GetSecs(std::uint8_t NewValue) {
  WithState([&](TTimecodeState& s) { s.GetSecs(NewValue); });
}
void TEDit::GetFrames(std::uint8_t NewValue) {
  WithState([&](TTimecodeState& s) { s.GetFrames(NewValue); });
}
void TEDit::BuildHMSF() {
  WithState([](TTimecodeState& s) { s.BuildHMSF(); });
}
double TEDit::tm() {
  return WithState([](TTimecodeState& s) { return s.tm(); });
}
bool TEDit::GoodFormat() {
  return WithState([](TTimecodeState& s) { return s.GoodFormat(); });
}

void TEDit::BadTime() {
  fState.FMilisecs = -1;
  QMessageBox box(QMessageBox::Critical, windowTitle(), QString::fromUtf8(kTimecodeFormatError),
                  QMessageBox::Ok, this);
  ExecMessage(box);
  WithState([](TTimecodeState& s) { s.BadTime(); });
}

void TEDit::keyPressEvent(QKeyEvent* Event) {
  if (PassesKey(Event->key()))
    QLineEdit::keyPressEvent(Event);
  else
    Event->accept();  // swallowed: the line edit never sees it
}

void TEDit::focusInEvent(QFocusEvent* Event) {
  fState.DoEnter();
  QLineEdit::focusInEvent(Event);
}

void TEDit::focusOutEvent(QFocusEvent* Event) {
  QLineEdit::focusOutEvent(Event);
  emit exited();
  WithState([](TTimecodeState& s) { s.DoExit(); });
}

}  // namespace qv

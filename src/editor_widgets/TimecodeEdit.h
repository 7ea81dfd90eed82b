#pragma once
// TEDit: a single-line field for timecodes HH:MM:SS.FF. Only the keys that edit a timecode get
// through (digits of either keyboard, ":", ".", Backspace, Delete, Left, Right, Home, End, Tab);
// leaving the field takes a well-formed text as the new time. The conversions live in
// Timecode.h; this widget keeps its text and that state in step.
#include "model/Timecode.h"

#include <QLineEdit>

#include <functional>

class QMessageBox;

namespace qv {

class TEDit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TEDit(QWidget* AOwner = nullptr);

  // Whether a key-down reaches the line edit's own handling.
  static bool PassesKey(int Key);

  std::int32_t Milisecs() const { return fState.FMilisecs; }
  bool DoFrames() const { return fState.FDoFrames; }
  bool Offset() const { return fState.FOffset; }
  std::uint8_t FrameRate() const { return fState.FFrameRate; }
  void SetFrameRate(std::uint8_t Value) { fState.FFrameRate = Value < 1 ? 1 : Value; }
  std::uint8_t MaxHours() const { return fState.FMaxHours; }
  void SetMaxHours(std::uint8_t Value) { fState.FMaxHours = Value; }
  std::uint8_t MaxMins() const { return fState.FMaxMins; }
  void SetMaxMins(std::uint8_t Value) { fState.FMaxMins = Value; }
  std::uint8_t MaxSecs() const { return fState.FMaxSecs; }
  void SetMaxSecs(std::uint8_t Value) { fState.FMaxSecs = Value; }
  std::uint8_t Hours() const { return fState.FHours; }
  std::uint8_t Mins() const { return fState.FMins; }
  std::uint8_t Secs() const { return fState.FSecs; }
  std::uint8_t Frames() const { return fState.FFrames; }

  void GetMilisecs(std::int32_t NewValue);
  void GetHours(std::uint8_t NewValue);
  void GetMins(std::uint8_t NewValue);
  void GetSecs(std::uint8_t NewValue);
  void GetFrames(std::uint8_t NewValue);
  void BuildHMSF();
  double tm();
  bool GoodFormat();
  // Marks the entry invalid, tells the user "Error in timecode format!" and resets the text.
  void BadTime();

  // Runs a modal message box and answers its button. Tests put an answer of their own here so
  // that nothing waits for a user.
  std::function<int(QMessageBox&)> ExecMessage;

 signals:
  // Focus left the field; the time is taken after this returns, so an owner that destroys the
  // field must do so later (deleteLater).
  void exited();

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

 private:
  // Runs a state operation on the current text and shows the text it leaves.
  template <class F>
  auto WithState(F&& Op);

  TTimecodeState fState;
};

}  // namespace qv

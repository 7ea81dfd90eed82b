// The ruler and the timecode field as widgets, under the offscreen platform: clicks, drags and
// keys go through Qt's event delivery to the composition's frame.
#include "composition/QvSystem.h"
#include "editor_widgets/TimeRuler.h"
#include "editor_widgets/TimecodeEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {
namespace {

// The application lives from before the first test to after the last, and goes before the
// program's static objects do (Qt's own statics must outlive it).
class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { App(); }
  void TearDown() override { fApp.reset(); }
  static QApplication& App() {
    if (!fApp) {
      static int argc = 1;
      static char name[] = "ruler_widget_tests";
      static char* argv[] = {name, nullptr};
      fApp = std::make_unique<QApplication>(argc, argv);
    }
    return *fApp;
  }

 private:
  static inline std::unique_ptr<QApplication> fApp;
};
[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

QApplication& App() { return TQtEnvironment::App(); }

// Made before any widget of a fixture.
struct WithApp : ::testing::Test {
  WithApp() { App(); }
};

// A ruler wired to a real composition, as the main window wires it.
struct RulerWidget : WithApp {
  RulerWidget() {
    ruler.resize(625, 56);
    QObject::connect(&ruler, &TTimeRuler::changed, [this](int f) { sys->frame = f; });
    ruler.show();
  }
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  TTimeRuler ruler;
};

TEST_F(RulerWidget, ClickSetsTheCompositionFrame) {
  QSignalSpy spy(&ruler, &TTimeRuler::changed);
  QTest::mouseClick(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(158, 10));
  EXPECT_EQ(ruler.Frame(), 100);
  EXPECT_EQ(sys->frame, 100);
  ASSERT_FALSE(spy.isEmpty());
  EXPECT_EQ(spy.last().at(0).toInt(), 100);
  EXPECT_FALSE(ruler.AutoScrollActive());  // released
  EXPECT_EQ(ruler.Model().MouseMode(), -1);
}

TEST_F(RulerWidget, DragFollowsThePointer) {
  QTest::mousePress(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(38, 10));
  EXPECT_EQ(sys->frame, 20);
  EXPECT_TRUE(ruler.AutoScrollActive());
  QMouseEvent move(QEvent::MouseMove, QPointF(308, 12), ruler.mapToGlobal(QPointF(308, 12)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&ruler, &move);
  EXPECT_EQ(sys->frame, 200);
  QTest::mouseRelease(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(308, 12));
  EXPECT_FALSE(ruler.AutoScrollActive());
  EXPECT_EQ(sys->frame, 200);
}

TEST_F(RulerWidget, DragBeyondTheRightEdgeScrolls) {
  QTest::mousePress(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(700, 12), ruler.mapToGlobal(QPointF(700, 12)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&ruler, &move);
  // The timer's ticks scroll by 15 pixels each; wait for a few of them.
  EXPECT_TRUE(QTest::qWaitFor([&] { return ruler.Debut() >= 45; }, 5000));
  EXPECT_EQ(ruler.Debut() % 15, 0);
  EXPECT_EQ(sys->frame, ruler.Model().PixelToFrame(625 - 8));
  QTest::mouseRelease(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(700, 12));
}

TEST_F(RulerWidget, LosingCaptureStopsAutoScroll) {
  struct Case {
    const char* Name;
    QEvent::Type Type;
  };
  const Case cases[] = {{"window deactivated", QEvent::WindowDeactivate},
                        {"blocked by a modal dialog", QEvent::WindowBlocked},
                        {"hidden", QEvent::Hide}};
  for (const Case& c : cases) {
    ruler.show();
    QTest::mousePress(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    ASSERT_TRUE(ruler.AutoScrollActive()) << c.Name;
    QEvent lost(c.Type);
    QApplication::sendEvent(&ruler, &lost);
    EXPECT_FALSE(ruler.AutoScrollActive()) << c.Name;
    EXPECT_EQ(ruler.Model().MouseMode(), -1) << c.Name;
    QTest::mouseRelease(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
  }
  // A move that arrives with no button down also means the release went elsewhere.
  QTest::mousePress(&ruler, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
  const int frame = sys->frame;
  QMouseEvent stray(QEvent::MouseMove, QPointF(400, 12), ruler.mapToGlobal(QPointF(400, 12)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&ruler, &stray);
  EXPECT_FALSE(ruler.AutoScrollActive());
  EXPECT_EQ(sys->frame, frame);
}

TEST_F(RulerWidget, PanningWithTheRightButton) {
  QTest::mousePress(&ruler, Qt::RightButton, Qt::NoModifier, QPoint(300, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(200, 10), ruler.mapToGlobal(QPointF(200, 10)),
                   Qt::NoButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(&ruler, &move);
  EXPECT_EQ(ruler.Debut(), 100);
  EXPECT_FALSE(ruler.AutoScrollActive());
  QTest::mouseRelease(&ruler, Qt::RightButton, Qt::NoModifier, QPoint(200, 10));
  EXPECT_EQ(sys->frame, 0);
}

TEST_F(RulerWidget, Paint) {
  ruler.SetFramePos(100, true);
  struct Case {
    int X, Y;
    QRgb Colour;
  };
  const QRgb back = qRgb(52, 52, 52), grey = qRgb(128, 128, 128), white = qRgb(255, 255, 255);
  const Case cases[] = {
      {158, 30, qRgb(255, 0, 0)},  // the playhead
      {158, 50, qRgb(255, 0, 0)},
      {160, 30, back},
      {15, 38, grey},              // minor tick, 3 pixels high
      {15, 36, back},
      {195, 35, white},            // major tick at 8 + 187.5
      {195, 34, white},
      {100, 35, back},
      {300, 41, grey},             // the two long lines
      {300, 22, grey},
      {0, 0, qRgb(0, 0, 0)},       // outline
      {624, 30, qRgb(0, 0, 0)},
      {3, 30, back},               // the left margin stays empty
  };
  QImage shot = ruler.grab().toImage();
  for (const Case& c : cases)
    EXPECT_EQ(shot.pixel(c.X, c.Y), c.Colour) << c.X << "," << c.Y;

  // Panning lightens the ruler area.
  QTest::mousePress(&ruler, Qt::RightButton, Qt::NoModifier, QPoint(300, 10));
  shot = ruler.grab().toImage();
  EXPECT_EQ(shot.pixel(300, 30), qRgb(68, 68, 68));
  EXPECT_EQ(shot.pixel(300, 18), back);  // above the ruler area
  QTest::mouseRelease(&ruler, Qt::RightButton, Qt::NoModifier, QPoint(300, 10));
  shot = ruler.grab().toImage();
  EXPECT_EQ(shot.pixel(300, 30), back);
}

TEST_F(RulerWidget, BoundFieldShowsAndTakesTheFrame) {
  QLineEdit field;
  ruler.SetTimeAssociate(&field);
  ruler.SetFrame(1537);
  EXPECT_EQ(field.text(), QStringLiteral("01:01:12"));
  EXPECT_EQ(sys->frame, 1537);
  struct Case {
    const char* Typed;
    int Frame;
  };
  const Case cases[] = {{"00:02:03", 53}, {"1a:00", 0}, {"12", 12}, {"01:01:12", 1537}};
  for (const Case& c : cases) {
    field.setText(QString::fromLatin1(c.Typed));
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(sys->frame, c.Frame) << c.Typed;
    EXPECT_EQ(ruler.Model().LeftMargin() + ruler.Model().FramePosition(),
              ruler.Model().FrameToPixel(c.Frame))
        << c.Typed;
  }
  // Unbound, Enter belongs to the field again.
  ruler.SetTimeAssociate(nullptr);
  field.setText(QStringLiteral("00:00:07"));
  QTest::keyClick(&field, Qt::Key_Enter);
  EXPECT_EQ(sys->frame, 1537);
}

TEST_F(RulerWidget, ATimecodeFieldCanBeBound) {
  TEDit field;
  ruler.SetTimeAssociate(&field);
  field.setText(QString());
  for (char c : std::string("02:00:05")) QTest::keyClick(&field, c);
  QTest::keyClick(&field, Qt::Key_Enter);
  EXPECT_EQ(sys->frame, 3005);
  EXPECT_EQ(field.text(), QStringLiteral("02:00:05"));
}

using TimecodeField = WithApp;

TEST_F(TimecodeField, KeyFilter) {
  struct Case {
    Qt::Key Key;
    Qt::KeyboardModifiers Mods;
    const char* Expected;  // after the key at cursor 2 of "00:00:00.00"
  };
  const Case cases[] = {
      {Qt::Key_5, Qt::NoModifier, "005:00:00.00"},      // main-row digit
      {Qt::Key_7, Qt::KeypadModifier, "007:00:00.00"},  // keypad digit
      {Qt::Key_Colon, Qt::NoModifier, "00::00:00.00"},
      {Qt::Key_Period, Qt::NoModifier, "00.:00:00.00"},
      {Qt::Key_Backspace, Qt::NoModifier, "0:00:00.00"},
      {Qt::Key_Delete, Qt::NoModifier, "0000:00.00"},
      {Qt::Key_A, Qt::NoModifier, "00:00:00.00"},
      {Qt::Key_Minus, Qt::NoModifier, "00:00:00.00"},
      {Qt::Key_Space, Qt::NoModifier, "00:00:00.00"},
      {Qt::Key_Up, Qt::NoModifier, "00:00:00.00"},
      {Qt::Key_Return, Qt::NoModifier, "00:00:00.00"},
  };
  for (const Case& c : cases) {
    TEDit field;
    field.setCursorPosition(2);
    QTest::keyClick(&field, c.Key, c.Mods);
    EXPECT_EQ(field.text().toStdString(), c.Expected) << c.Key;
  }
  // Cursor keys move, Up and Down do not.
  struct Move {
    Qt::Key Key;
    int Cursor;
  };
  const Move moves[] = {{Qt::Key_Home, 0}, {Qt::Key_End, 11}, {Qt::Key_Left, 1},
                        {Qt::Key_Right, 3}, {Qt::Key_Up, 2},  {Qt::Key_PageDown, 2}};
  for (const Move& m : moves) {
    TEDit field;
    field.setCursorPosition(2);
    QTest::keyClick(&field, m.Key);
    EXPECT_EQ(field.cursorPosition(), m.Cursor) << m.Key;
  }
  EXPECT_TRUE(TEDit::PassesKey(Qt::Key_Tab));
  EXPECT_FALSE(TEDit::PassesKey(Qt::Key_Escape));
}

TEST_F(TimecodeField, BadTimeAsksTheUserAndResets) {
  TEDit field;
  field.GetMilisecs(3723040);
  EXPECT_EQ(field.text(), QStringLiteral("01:02:03.01"));
  QString shown;
  int asked = 0;
  field.ExecMessage = [&](QMessageBox& Box) {
    ++asked;
    shown = Box.text();
    EXPECT_TRUE(Box.standardButtons() & QMessageBox::Ok);
    return int(QMessageBox::Ok);
  };
  field.BadTime();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(shown, QStringLiteral("Error in timecode format!"));
  EXPECT_EQ(field.text(), QStringLiteral("00:00:00.00"));
  EXPECT_EQ(field.Milisecs(), -1);
}

TEST_F(TimecodeField, TextAndTimeStayInStep) {
  TEDit field;
  EXPECT_EQ(field.text(), QStringLiteral("00:00:00.00"));
  field.GetMilisecs(1500);
  EXPECT_EQ(field.text(), QStringLiteral("00:00:01.12"));
  EXPECT_DOUBLE_EQ(field.tm(), 1.48);
  field.setText(QStringLiteral("00:00:02.00"));  // typed
  EXPECT_TRUE(field.GoodFormat());
  EXPECT_DOUBLE_EQ(field.tm(), 2.0);
  field.GetFrames(24);
  EXPECT_EQ(field.text(), QStringLiteral("00:00:00.24"));  // parts, not the typed text
  field.GetHours(24);
  EXPECT_EQ(field.Hours(), 0);
  EXPECT_EQ(field.Milisecs(), 960);
}

TEST_F(TimecodeField, LeavingTakesAGoodTextOnly) {
  QWidget window;
  auto* field = new TEDit(&window);
  auto* other = new QLineEdit(&window);
  other->move(0, 40);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  int exits = 0;
  QObject::connect(field, &TEDit::exited, [&] { ++exits; });
  struct Case {
    const char* Text;
    std::int32_t Milisecs;
  };
  const Case cases[] = {{"00:00:03.01", 3040}, {"00:0:03.01", 3040}, {"00:00:00.25", 3040},
                        {"01:00:00.00", 3600000}};
  for (const Case& c : cases) {
    field->setFocus();
    field->setText(QString::fromLatin1(c.Text));
    other->setFocus();
    EXPECT_EQ(field->Milisecs(), c.Milisecs) << c.Text;
  }
  EXPECT_EQ(exits, 4);
}

}  // namespace
}  // namespace qv::test

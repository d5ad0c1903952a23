#include "platform/ui/focus_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <string>
#include <vector>

#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::UI::WM_TIMER;

// Records the keys a pane's handler gets.
struct KeyLog : CEnterKeyInterface {
  std::vector<std::string>& events;
  std::string name;
  KeyLog(std::vector<std::string>& e, std::string n) : events(e), name(std::move(n)) {}
  void OnEnterKey(QKeyEvent* key) override { events.push_back(name + ":" + std::to_string(key->key())); }
};

// A shown, active window with three fields, the middle one under test.
class FocusEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(300, 60);
    before = new QLineEdit(&window);
    edit = new CFocusEdit(&window);
    after = new QLineEdit(&window);
    before->setGeometry(5, 5, 80, 24);
    edit->setGeometry(100, 5, 80, 24);
    after->setGeometry(200, 5, 80, 24);
    edit->setText(QStringLiteral("37.5"));
    edit->setReadOnly(true);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    before->setFocus();
  }
  void Tick(int n) {
    for (int i = 0; i < n; ++i) edit->SendMessage(WM_TIMER, CFocusEdit::kTimerId);
  }

  QWidget window;
  QLineEdit* before = nullptr;
  CFocusEdit* edit = nullptr;
  QLineEdit* after = nullptr;
};

TEST_F(FocusEditTest, AClickMakesTheFieldEditableAndSelectsItsText) {
  EXPECT_TRUE(edit->HasTimer(CFocusEdit::kTimerId)) << "the one-second timer runs from creation";
  QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(10, 12));
  EXPECT_FALSE(edit->isReadOnly());
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(edit->selectedText(), QStringLiteral("37.5"));
  EXPECT_EQ(edit->Countdown(), 30);

  // A second click in the entered field only places the caret.
  QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(10, 12));
  EXPECT_TRUE(edit->selectedText().isEmpty());

  // Left and entered again: the first click selects everything again.
  before->setFocus();
  QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(10, 12));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("37.5"));
}

TEST_F(FocusEditTest, ThirtyTicksWithoutAKeyMakeItReadOnlyAgain) {
  QTest::mouseClick(edit, Qt::LeftButton);
  ASSERT_FALSE(edit->isReadOnly());
  Tick(29);
  EXPECT_FALSE(edit->isReadOnly());
  EXPECT_EQ(edit->Countdown(), 1);
  Tick(1);
  EXPECT_TRUE(edit->isReadOnly());

  // A key restarts the count; a tick of another timer does not count.
  QTest::mouseClick(edit, Qt::LeftButton);
  Tick(20);
  QTest::keyClick(edit, Qt::Key_Right);
  EXPECT_EQ(edit->Countdown(), 30);
  edit->SendMessage(WM_TIMER, 7);
  Tick(29);
  EXPECT_FALSE(edit->isReadOnly());
  Tick(1);
  EXPECT_TRUE(edit->isReadOnly());
}

TEST_F(FocusEditTest, TabbingInMakesItEditable) {
  before->setFocus();
  QTest::keyClick(before, Qt::Key_Tab);
  ASSERT_TRUE(edit->hasFocus());
  EXPECT_FALSE(edit->isReadOnly());
  EXPECT_EQ(edit->Countdown(), 30);
}

TEST_F(FocusEditTest, TabAndShiftTabGoToTheNeighboursThePaneSet) {
  edit->nextWindow = before;  // deliberately not the next in creation order
  edit->previousWindow = after;
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_TRUE(before->hasFocus());
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(after->hasFocus());
}

TEST_F(FocusEditTest, EnterAndEscapeReachTheirHandlersBeforeTheField) {
  std::vector<std::string> events;
  KeyLog enter(events, "enter");
  KeyLog escape(events, "escape");
  QObject::connect(edit, &QLineEdit::returnPressed, [&] { events.push_back("field"); });
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);  // no handler yet
  edit->enterHandler = &enter;
  edit->escapeHandler = &escape;
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
  QTest::keyClick(edit, Qt::Key_Escape);
  const std::vector<std::string> expected = {
      "field", "enter:" + std::to_string(Qt::Key_Return),  "field", "enter:" + std::to_string(Qt::Key_Enter),
      "field", "escape:" + std::to_string(Qt::Key_Escape),
  };
  EXPECT_EQ(events, expected);
}

TEST(FocusEditKeysTest, NumericModeLetsOnlyTheKeysOfANumberThrough) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* text;  // before the key
    bool decimals;
    bool passes;
  } cases[] = {
      {Qt::Key_5, Qt::NoModifier, "", false, true},
      {Qt::Key_5, Qt::KeypadModifier, "", false, true},
      {Qt::Key_Backspace, Qt::NoModifier, "12", false, true},
      {Qt::Key_Delete, Qt::NoModifier, "12", false, true},
      {Qt::Key_Home, Qt::NoModifier, "12", false, true},
      {Qt::Key_End, Qt::NoModifier, "12", false, true},
      {Qt::Key_Left, Qt::NoModifier, "12", false, true},
      {Qt::Key_Right, Qt::NoModifier, "12", false, true},
      {Qt::Key_Up, Qt::NoModifier, "12", false, false},
      {Qt::Key_Down, Qt::NoModifier, "12", false, false},
      {Qt::Key_A, Qt::NoModifier, "12", true, false},
      {Qt::Key_Space, Qt::NoModifier, "12", true, false},
      {Qt::Key_Period, Qt::NoModifier, "12", true, true},
      {Qt::Key_Comma, Qt::NoModifier, "12", true, true},
      {Qt::Key_Period, Qt::NoModifier, "12", false, false},
      {Qt::Key_Period, Qt::NoModifier, "1.2", true, false},
      {Qt::Key_Period, Qt::NoModifier, "1,2", true, false},
      {Qt::Key_Comma, Qt::NoModifier, "1.2", true, false},
      {Qt::Key_Period, Qt::KeypadModifier, "12", true, false},
      {Qt::Key_Minus, Qt::NoModifier, "12", false, true},
      {Qt::Key_Minus, Qt::NoModifier, "-12", false, false},
      {Qt::Key_Minus, Qt::KeypadModifier, "12", false, false},
  };
  for (const auto& c : cases) {
    CFocusEdit edit;
    edit.numericOnly = true;
    edit.decimalAllowed = c.decimals;
    edit.setText(QString::fromLatin1(c.text));
    edit.setCursorPosition(1);
    // A key that gets through restarts the countdown; a swallowed one never
    // reaches the field.
    ASSERT_EQ(edit.Countdown(), 0);
    QTest::keyClick(&edit, c.key, c.modifiers);
    EXPECT_EQ(edit.Countdown() == edit.reload, c.passes)
        << "key " << QKeySequence(c.key).toString().toStdString() << " keypad "
        << bool(c.modifiers & Qt::KeypadModifier) << " on '" << c.text << "'";
  }
}

TEST(FocusEditKeysTest, WithoutNumericModeEveryKeyGetsThrough) {
  CFocusEdit edit;
  QTest::keyClicks(&edit, QStringLiteral("a-1.,b"));
  EXPECT_EQ(edit.text(), QStringLiteral("a-1.,b"));
}

TEST(FocusEditRenderTest, DisplayAndEntryModes) {
  QWidget window;
  window.resize(200, 40);
  CFocusEdit display(&window), entry(&window);
  display.setGeometry(5, 8, 90, 24);
  entry.setGeometry(105, 8, 90, 24);
  display.setAlignment(Qt::AlignRight);
  entry.setAlignment(Qt::AlignRight);
  display.setText(QStringLiteral("37.5"));
  entry.setText(QStringLiteral("38.0"));
  display.setReadOnly(true);
  entry.setReadOnly(false);
  const QImage image = ORV::Test::SaveUiArtifact(window, "focus_edit");
  // Display mode shows on the window colour, entry mode on the field colour.
  EXPECT_EQ(image.pixelColor(10, 20), window.palette().color(QPalette::Window));
  EXPECT_EQ(image.pixelColor(110, 20), QApplication::palette().color(QPalette::Base));
}

}  // namespace

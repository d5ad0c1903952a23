#include "platform/ui/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

TEST(MessageBoxTest, ScriptedBoxesAreRecordedAndAnsweredInOrder) {
  QWidget owner;
  ScriptedMessageBoxes script{IDNO, IDYES};
  EXPECT_EQ(MessageBox(&owner, QStringLiteral("Current sequence has been changed. Save ?"), QString(),
                       MB_YESNO | MB_ICONQUESTION),
            IDNO);
  EXPECT_EQ(MessageBox(nullptr, QStringLiteral("Save?"), QStringLiteral("Caption"), MB_YESNO), IDYES);
  // With the script used up a box gets its first button.
  EXPECT_EQ(MessageBox(nullptr, QStringLiteral("Failed"), QString(), MB_OK | MB_ICONSTOP), IDOK);
  EXPECT_EQ(MessageBox(nullptr, QStringLiteral("Again?"), QString(), MB_YESNO), IDYES);

  ASSERT_EQ(script.Shown().size(), 4u);
  EXPECT_EQ(script.Unscripted(), 2);
  const MessageBoxRecord& first = script.Shown()[0];
  EXPECT_EQ(first.owner, &owner);
  EXPECT_EQ(first.text, QStringLiteral("Current sequence has been changed. Save ?"));
  EXPECT_EQ(first.caption, QStringLiteral("Tarvix 5")) << "an empty caption is the application title";
  EXPECT_EQ(first.type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(script.Shown()[1].caption, QStringLiteral("Caption"));
  EXPECT_EQ(script.Shown()[2].type, MB_OK | MB_ICONSTOP);
}

TEST(MessageBoxTest, ADelayedAnswerKeepsTheBoxOpenWhileTheProgramServesItsEvents) {
  ScriptedMessageBoxes script;
  script.AnswerAfter(IDNO, 300);
  // Timers keep firing while the box is open, as under a modal box; the
  // box is on record from the moment it opens.
  int fired = 0;
  bool recordedWhileOpen = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++fired;
    recordedWhileOpen = recordedWhileOpen || script.Shown().size() == 1;
  });
  timer.start(10);
  EXPECT_EQ(MessageBox(nullptr, QStringLiteral("Start camera?"), QString(), MB_YESNO), IDNO);
  EXPECT_GT(fired, 0);
  EXPECT_TRUE(recordedWhileOpen);
  ASSERT_EQ(script.Shown().size(), 1u);
  EXPECT_EQ(script.Shown()[0].answer, IDNO);
}

TEST(BalloonTipTest, ATipIsShownBesideTheEditAndGoesWhenTheUserTypes) {
  QWidget window;
  auto* edit = new QLineEdit(&window);
  window.resize(200, 60);
  window.show();
  BalloonTipRecorder recorder;
  ShowBalloonTip(edit, QStringLiteral("Entered value is out of range"),
                 QStringLiteral("Target temperature must be between 20 and 45 degrees"), BalloonIcon::Error);

  ASSERT_EQ(recorder.Tips().size(), 1u);
  EXPECT_EQ(recorder.Tips()[0].edit, edit);
  EXPECT_EQ(recorder.Tips()[0].title, QStringLiteral("Entered value is out of range"));
  EXPECT_EQ(recorder.Tips()[0].icon, BalloonIcon::Error);

  const auto visibleTip = []() -> QWidget* {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && (w->windowFlags() & Qt::ToolTip) == Qt::ToolTip) return w;
    return nullptr;
  };
  QWidget* tip = visibleTip();
  ASSERT_NE(tip, nullptr);
  ORV::Test::SaveUiArtifact(*tip, "balloon_tip");

  // A second tip replaces the first; typing in the edit removes it.
  ShowBalloonTip(edit, QStringLiteral("t"), QStringLiteral("x"), BalloonIcon::Warning);
  QCoreApplication::processEvents();
  int shown = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && (w->windowFlags() & Qt::ToolTip) == Qt::ToolTip) ++shown;
  EXPECT_EQ(shown, 1);
  QTest::keyClick(edit, Qt::Key_5);
  EXPECT_EQ(visibleTip(), nullptr);
}

}  // namespace
}  // namespace ORV::UI

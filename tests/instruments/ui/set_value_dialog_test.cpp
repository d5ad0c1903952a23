#include "instruments/ui/set_value_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "platform/ui/message_box.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::Test::RunModal;
using ORV::UI::BalloonIcon;
using ORV::UI::BalloonTipRecorder;
using ORV::UI::IDCANCEL;
using ORV::UI::IDOK;

// The heater pane's use: a target temperature between 20 and 45.
void FillForTemperature(CSetValueDialog& d) {
  d.labelText = QStringLiteral("Target temperature for chamber");
  d.balloonTitle = QStringLiteral("Entered value is out of range");
  d.balloonText = QStringLiteral("Target temperature must be between 20 and 45 degrees");
  d.minimum = 20.0f;
  d.maximum = 45.0f;
  d.initialText = QStringLiteral("37.0");
}

TEST(SetValueDialogTest, OpensWithTheLabelAndTheInitialTextInTheFocusedEdit) {
  CSetValueDialog dialog(nullptr);
  FillForTemperature(dialog);
  BalloonTipRecorder balloons;
  RunModal(dialog, [&] {
    EXPECT_EQ(dialog.Label()->text(), QStringLiteral("Target temperature for chamber"));
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("37.0"));
    EXPECT_EQ(dialog.focusWidget(), dialog.Edit());
    EXPECT_EQ(dialog.Edit()->alignment() & Qt::AlignRight, Qt::AlignRight);
    ORV::Test::SaveUiArtifact(dialog, "set_value_dialog");
    dialog.reject();
  });
  EXPECT_TRUE(balloons.Tips().empty()) << "37.0 is in range";
}

TEST(SetValueDialogTest, TheEditKeepsDigitsAndWithTheDecimalFlagPoints) {
  const struct {
    int decimalFlag;
    const char* entered;  // at once, as a paste does
    const char* kept;
  } cases[] = {
      {1, "2a5", "2"},
      {1, "12.5", "12.5"},
      {1, "1.2.3", "1.2.3"},
      {1, "-3", ""},
      {1, " 12", ""},
      {1, "12 ", "12"},
      {1, "37,5", "37"},
      {0, "1.5", "1"},
      {0, "42", "42"},
      {2, "4.2", "4"},
      {1,
       "\xC2\xB5"
       "5",
       ""},
  };
  for (const auto& c : cases) {
    CSetValueDialog dialog(nullptr);
    FillForTemperature(dialog);
    dialog.decimalFlag = static_cast<std::uint8_t>(c.decimalFlag);
    RunModal(dialog, [&] {
      dialog.Edit()->setText(QString::fromUtf8(c.entered));
      EXPECT_EQ(dialog.Edit()->text(), QString::fromUtf8(c.kept)) << c.entered << " flag " << c.decimalFlag;
      dialog.reject();
    });
  }
}

TEST(SetValueDialogTest, TypedCharactersThatDoNotBelongAreDropped) {
  CSetValueDialog dialog(nullptr);
  FillForTemperature(dialog);
  dialog.initialText.clear();
  RunModal(dialog, [&] {
    QTest::keyClicks(dialog.Edit(), QStringLiteral("2a5"));
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("25"));
    dialog.Edit()->clear();
    QTest::keyClicks(dialog.Edit(), QStringLiteral("3x7.5"));
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("37.5"));
    dialog.reject();
  });
}

TEST(SetValueDialogTest, ABalloonWarnsWhileTheValueIsOutOfRange) {
  const struct {
    const char* entered;
    bool warned;
  } cases[] = {
      {"3", true},   {"19.99", true}, {"20", false}, {"37", false},
      {"45", false}, {"45.01", true}, {"", true},    {"2a5", true},
  };
  for (const auto& c : cases) {
    CSetValueDialog dialog(nullptr);
    FillForTemperature(dialog);
    dialog.initialText.clear();
    RunModal(dialog, [&] {
      BalloonTipRecorder balloons;
      dialog.Edit()->setText(QStringLiteral("30"));  // a change, so "" is one too
      dialog.Edit()->setText(QString::fromLatin1(c.entered));
      ASSERT_EQ(balloons.Tips().size(), c.warned ? 1u : 0u) << c.entered;
      if (c.warned) {
        EXPECT_EQ(balloons.Tips()[0].edit, dialog.Edit());
        EXPECT_EQ(balloons.Tips()[0].title, QStringLiteral("Entered value is out of range"));
        EXPECT_EQ(balloons.Tips()[0].text, QStringLiteral("Target temperature must be between 20 and 45 degrees"));
        EXPECT_EQ(balloons.Tips()[0].icon, BalloonIcon::Error);
      }
      dialog.reject();
    });
  }
}

TEST(SetValueDialogTest, TheBalloonComesUpOnTheWayToAValidNumber) {
  CSetValueDialog dialog(nullptr);
  FillForTemperature(dialog);
  dialog.initialText.clear();
  RunModal(dialog, [&] {
    BalloonTipRecorder balloons;
    QTest::keyClicks(dialog.Edit(), QStringLiteral("37"));
    EXPECT_EQ(balloons.Tips().size(), 1u) << "3 is below 20";
    dialog.reject();
  });
}

TEST(SetValueDialogTest, EnterReturnsOkWithTheTextEvenOutOfRange) {
  CSetValueDialog dialog(nullptr);
  FillForTemperature(dialog);
  const int result = RunModal(dialog, [&] {
    dialog.Edit()->setText(QStringLiteral("99"));
    QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.resultText, QStringLiteral("99"));
}

TEST(SetValueDialogTest, EscapeCancelsAndLeavesTheResultEmpty) {
  CSetValueDialog dialog(nullptr);
  FillForTemperature(dialog);
  const int result = RunModal(dialog, [&] {
    dialog.Edit()->setText(QStringLiteral("25"));
    QTest::keyClick(dialog.Edit(), Qt::Key_Escape);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(dialog.resultText.isEmpty());
}

TEST(SetValueDialogTest, ACloseRequestKeepsTheTextAndCancels) {
  CSetValueDialog dialog(nullptr);
  FillForTemperature(dialog);
  const int result = RunModal(dialog, [&] {
    dialog.Edit()->setText(QStringLiteral("41"));
    dialog.close();
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dialog.resultText, QStringLiteral("41"));
}

}  // namespace

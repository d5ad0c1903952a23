#include "instruments/ui/set_differences_dialog.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::Test::RunModal;
using ORV::UI::IDCANCEL;
using ORV::UI::IDOK;

struct Key {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

TEST(SetDifferencesDialogTest, OpensWithEachValueToOneDecimal) {
  ORV::Test::CommaLocale comma;
  CSetDifferencesDialog dialog(nullptr);
  dialog.values = {0.5f, 1.0f, 2.34f, -1.5f};
  RunModal(dialog, [&] {
    const char* expected[] = {"0.5", "1.0", "2.3", "-1.5"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.Edit(i)->text(), QString::fromLatin1(expected[i])) << i;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Set differences"));
    ORV::Test::SaveUiArtifact(dialog, "set_differences_dialog");
    dialog.reject();
  });
}

TEST(SetDifferencesDialogTest, TheEditsTakeDigitsAndOnePointThatDoesNotLead) {
  const struct {
    const char* what;
    std::vector<Key> keys;  // typed into an empty edit
    const char* text;
  } cases[] = {
      {"digits", {{Qt::Key_1}, {Qt::Key_2}}, "12"},
      {"point first", {{Qt::Key_Period}, {Qt::Key_5}}, "5"},
      {"one point", {{Qt::Key_1}, {Qt::Key_Period}, {Qt::Key_5}}, "1.5"},
      {"second point", {{Qt::Key_1}, {Qt::Key_Period}, {Qt::Key_5}, {Qt::Key_Period}}, "1.5"},
      {"point at the start", {{Qt::Key_1}, {Qt::Key_2}, {Qt::Key_Left}, {Qt::Key_Left}, {Qt::Key_Period}}, "12"},
      {"home is not an editing key", {{Qt::Key_1}, {Qt::Key_2}, {Qt::Key_Home}, {Qt::Key_3}}, "123"},
      {"minus", {{Qt::Key_Minus}, {Qt::Key_5}}, "5"},
      {"keypad digit", {{Qt::Key_5, Qt::KeypadModifier}}, ""},
      {"keypad point", {{Qt::Key_1}, {Qt::Key_Period, Qt::KeypadModifier}}, "1"},
      {"comma", {{Qt::Key_1}, {Qt::Key_Comma}}, "1"},
      {"letters", {{Qt::Key_A}, {Qt::Key_1}, {Qt::Key_Z}}, "1"},
      {"editing keys",
       {{Qt::Key_1}, {Qt::Key_2}, {Qt::Key_Left}, {Qt::Key_Backspace}, {Qt::Key_Right}, {Qt::Key_3}},
       "23"},
      {"delete", {{Qt::Key_1}, {Qt::Key_2}, {Qt::Key_Left}, {Qt::Key_Left}, {Qt::Key_Delete}}, "2"},
  };
  for (const auto& c : cases) {
    CSetDifferencesDialog dialog(nullptr);
    RunModal(dialog, [&] {
      QLineEdit* edit = dialog.Edit(1);
      edit->setFocus();
      edit->clear();
      for (const Key& k : c.keys) QTest::keyClick(edit, k.key, k.modifiers);
      EXPECT_EQ(edit->text(), QString::fromLatin1(c.text)) << c.what;
      dialog.reject();
    });
  }
}

TEST(SetDifferencesDialogTest, EnterInAnEditDoesNothing) {
  CSetDifferencesDialog dialog(nullptr);
  dialog.values = {1, 2, 3, 4};
  const int result = RunModal(dialog, [&] {
    dialog.Edit(0)->setFocus();
    QTest::keyClick(dialog.Edit(0), Qt::Key_Return);
    QTest::keyClick(dialog.Edit(0), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(dialog.Edit(0), Qt::Key_Escape);
  });
  EXPECT_EQ(result, IDCANCEL);
}

TEST(SetDifferencesDialogTest, SaveStoresEachEditAndAnEmptyOneAsZero) {
  CSetDifferencesDialog dialog(nullptr);
  dialog.values = {1, 2, 3, 4};
  const int result = RunModal(dialog, [&] {
    dialog.Edit(0)->setText(QStringLiteral("0.7"));
    dialog.Edit(1)->clear();
    dialog.Edit(2)->setText(QStringLiteral("5."));
    QPushButton* save = dialog.findChild<QPushButton*>();
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->text(), QStringLiteral("Save"));
    QTest::mouseClick(save, Qt::LeftButton);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_FLOAT_EQ(dialog.values[0], 0.7f);
  EXPECT_FLOAT_EQ(dialog.values[1], 0.0f);
  EXPECT_FLOAT_EQ(dialog.values[2], 5.0f);
  EXPECT_FLOAT_EQ(dialog.values[3], 4.0f);
}

TEST(SetDifferencesDialogTest, EnterOnTheSaveButtonSavesAndEscapeLeavesTheValues) {
  CSetDifferencesDialog saved(nullptr);
  saved.values = {1, 2, 3, 4};
  EXPECT_EQ(RunModal(saved,
                     [&] {
                       saved.Edit(3)->setText(QStringLiteral("9.5"));
                       QPushButton* save = saved.findChild<QPushButton*>();
                       save->setFocus();
                       QTest::keyClick(save, Qt::Key_Return);
                     }),
            IDOK);
  EXPECT_FLOAT_EQ(saved.values[3], 9.5f);

  CSetDifferencesDialog cancelled(nullptr);
  cancelled.values = {1, 2, 3, 4};
  EXPECT_EQ(RunModal(cancelled,
                     [&] {
                       for (int i = 0; i < 4; ++i) cancelled.Edit(i)->setText(QStringLiteral("7"));
                       cancelled.Edit(2)->setFocus();
                       QTest::keyClick(cancelled.Edit(2), Qt::Key_Escape);
                     }),
            IDCANCEL);
  EXPECT_EQ(cancelled.values, (std::array<float, 4>{1, 2, 3, 4}));
}

}  // namespace

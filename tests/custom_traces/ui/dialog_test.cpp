// The custom-trace dialog's widgets offscreen: what a new trace shows, the
// modes, a unit typed by hand, the insert list, the script editor's colours,
// the help window, and renders of the dialog and the help.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include "custom_traces/ui/custom_script_editor.h"
#include "custom_traces/ui/custom_script_help.h"
#include "custom_traces/ui/custom_trace_dialog.h"
#include "platform/ui/message_box.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::Traces {
namespace {

using ORV::Test::RunModal;

std::string Text(const QString& s) { return s.toStdString(); }

TEST(CustomTraceDialog, NewTraceShowsItsDefaultsAndTheModesSwitchTheControls) {
  ORV::Test::TempDir dir;
  CustomTraceDialog dialog(dir.path());
  RunModal(dialog, [&] {
    EXPECT_EQ(dialog.List()->count(), 0);
    EXPECT_FALSE(dialog.EditButton()->isEnabled()) << "nothing to edit in an empty list";
    EXPECT_FALSE(dialog.SaveButton()->isEnabled());
    EXPECT_EQ(Text(dialog.Editor()->text()), "return ");

    dialog.NewButton()->click();
    EXPECT_EQ(dialog.List()->count(), 1);
    EXPECT_EQ(dialog.List()->currentRow(), 0);
    EXPECT_EQ(Text(dialog.NameEdit()->text()), "Custom script");
    EXPECT_EQ(Text(dialog.UnitType()->currentText()), "None");
    EXPECT_EQ(dialog.UnitType()->count(), 10);
    EXPECT_EQ(Text(dialog.UnitType()->itemText(9)), "dyne * s/cm³");
    EXPECT_EQ(Text(dialog.SampleRate()->currentText()), "Pressure");
    EXPECT_EQ(Text(dialog.Minimum()->text()), "0");
    EXPECT_EQ(Text(dialog.Maximum()->text()), "100");
    EXPECT_EQ(Text(dialog.Horizontal()->text()), "5");
    EXPECT_EQ(Text(dialog.Vertical()->text()), "5");
    EXPECT_TRUE(dialog.AutoRange()->isChecked());
    EXPECT_TRUE(dialog.ShowUnit()->isChecked());
    EXPECT_EQ(Text(dialog.Editor()->text()), "return ");
    // Edit mode: the fields and Save/Cancel on, the list and its buttons off.
    for (QWidget* w : {static_cast<QWidget*>(dialog.NameEdit()), static_cast<QWidget*>(dialog.Editor()),
                       static_cast<QWidget*>(dialog.SaveButton()), static_cast<QWidget*>(dialog.CancelButton()),
                       static_cast<QWidget*>(dialog.Minimum()), static_cast<QWidget*>(dialog.AutoRange())}) {
      EXPECT_TRUE(w->isEnabled()) << Text(w->metaObject()->className());
    }
    for (QWidget* w : {static_cast<QWidget*>(dialog.List()), static_cast<QWidget*>(dialog.EditButton()),
                       static_cast<QWidget*>(dialog.NewButton()), static_cast<QWidget*>(dialog.DeleteButton())}) {
      EXPECT_FALSE(w->isEnabled()) << Text(w->metaObject()->className());
    }

    dialog.CancelButton()->click();
    EXPECT_EQ(dialog.List()->count(), 0) << "cancel drops the unsaved trace";
    EXPECT_TRUE(dialog.NewButton()->isEnabled());
    EXPECT_EQ(Text(dialog.NameEdit()->text()), "");
    EXPECT_FALSE(dialog.AutoRange()->isChecked());
    dialog.EndDialog(UI::IDCANCEL);
  });
}

TEST(CustomTraceDialog, SavesWhatTheFieldsHoldAndShowsATypedUnitAgain) {
  ORV::Test::TempDir dir;
  struct Target : OS::MessageTarget {
    bool PostMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM) override {
      posts.emplace_back(message, wParam);
      return true;
    }
    std::vector<std::pair<std::uint32_t, OS::WPARAM>> posts;
  };
  auto target = std::make_shared<Target>();
  {
    CustomTraceDialog dialog(dir.path());
    dialog.SetNotifyWindow(target);
    RunModal(dialog, [&] {
      dialog.NewButton()->click();
      dialog.NameEdit()->setText("Wall ratio");
      dialog.SampleRate()->setCurrentIndex(2);
      dialog.UnitType()->setEditText("mm/s");
      dialog.AutoRange()->setChecked(false);
      dialog.Maximum()->setText("250");
      dialog.Editor()->setText("return OuterDiameter / InnerDiameter");
      dialog.SaveButton()->click();
      EXPECT_FALSE(dialog.SaveButton()->isEnabled()) << "back in browse mode";
      EXPECT_EQ(Text(dialog.List()->item(0)->text()), "Wall ratio");
      // A double click on a line edits it.
      emit dialog.List()->itemDoubleClicked(dialog.List()->item(0));
      EXPECT_TRUE(dialog.SaveButton()->isEnabled());
      EXPECT_FALSE(dialog.List()->isEnabled());
      dialog.CancelButton()->click();
      dialog.EndDialog(UI::IDOK);
    });
  }
  ASSERT_EQ(target->posts.size(), 1u);
  EXPECT_EQ(target->posts[0], (std::pair<std::uint32_t, OS::WPARAM>{0x81A, 0}));

  // A second dialog reads the trace back from the folder.
  CustomTraceDialog dialog(dir.path());
  RunModal(dialog, [&] {
    ASSERT_EQ(dialog.List()->count(), 1);
    const auto trace = dialog.Model().Traces()[0]->GetTrace();
    EXPECT_EQ(trace->UnitType, -1);
    EXPECT_EQ(trace->UnitTypeString, "mm/s");
    EXPECT_EQ(trace->ScriptType, 2);
    EXPECT_FALSE(trace->AutoRange);
    EXPECT_EQ(trace->MaximumLimit, 250);
    EXPECT_EQ(dialog.UnitType()->currentIndex(), -1);
    EXPECT_EQ(Text(dialog.UnitType()->currentText()), "mm/s");
    EXPECT_EQ(Text(dialog.SampleRate()->currentText()), "Camera");
    EXPECT_EQ(Text(dialog.Editor()->text()), "return OuterDiameter / InnerDiameter");

    // A syntax error: the message, and the dialog stays in edit mode.
    UI::ScriptedMessageBoxes boxes;
    dialog.EditButton()->click();
    dialog.Editor()->setText("...");
    dialog.SaveButton()->click();
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(Text(boxes.Shown()[0].text), "There is a syntax error in the script!");
    EXPECT_TRUE(dialog.SaveButton()->isEnabled());
    EXPECT_EQ(trace->Code, "return OuterDiameter / InnerDiameter");
    dialog.CancelButton()->click();
    EXPECT_EQ(Text(dialog.Editor()->text()), "return OuterDiameter / InnerDiameter");

    // Delete, answered Yes.
    boxes.Answer(UI::IDYES);
    dialog.DeleteButton()->click();
    EXPECT_EQ(dialog.List()->count(), 0);
    dialog.EndDialog(UI::IDOK);
  });
}

TEST(CustomTraceDialog, InsertListHoldsTheNamesAndInsertsAtTheCaret) {
  const std::vector<std::string> names = LoadInsertNames();
  ASSERT_EQ(names.size(), 51u);
  const std::vector<std::string> head = {"OuterLeft", "OuterRight", "OuterDiameter", "VesselArea", "InnerLeft"};
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5), head);
  EXPECT_EQ(names[13], "VascularResistance");
  EXPECT_EQ(names[14], "Flow");
  EXPECT_EQ(names[23], "ShearStress");
  EXPECT_EQ(names[24], "math.abs");
  EXPECT_EQ(names[50], "math.ult");

  ORV::Test::TempDir dir;
  CustomTraceDialog dialog(dir.path());
  RunModal(dialog, [&] {
    EXPECT_EQ(dialog.InsertList()->count(), 51);
    dialog.NewButton()->click();
    dialog.Editor()->setCursorPosition(0, 7);  // after "return "
    dialog.InsertList()->setCurrentIndex(2);
    dialog.InsertButton()->click();
    EXPECT_EQ(Text(dialog.Editor()->text()), "return OuterDiameter");
    dialog.InsertList()->setCurrentIndex(24);
    dialog.InsertButton()->click();
    EXPECT_EQ(Text(dialog.Editor()->text()), "return OuterDiametermath.abs") << "the caret follows the insert";

    // The editor's clipboard keys: Ctrl+Insert copies, Shift+Delete cuts,
    // Shift+Insert pastes (as Ctrl+C, Ctrl+X and Ctrl+V do).
    dialog.Editor()->setSelection(0, 7, 0, 20);  // "OuterDiameter"
    QTest::keyClick(dialog.Editor(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(Text(QApplication::clipboard()->text()), "OuterDiameter");
    QTest::keyClick(dialog.Editor(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Text(dialog.Editor()->text()), "return math.abs");
    QTest::keyClick(dialog.Editor(), Qt::Key_End);
    QTest::keyClick(dialog.Editor(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text(dialog.Editor()->text()), "return math.absOuterDiameter");
    dialog.EndDialog(UI::IDOK);
  });
}

TEST(CustomScriptEditor, KeywordsAreBlueAndCommentsGrey) {
  CustomScriptEditor editor;
  editor.setText(
      "local x = math.abs(P1) -- x of P1\n"
      "--[[ first\n"
      "  return 2\n"
      "end ]]\n"
      "if x > 1 then return x end\n");
  const QColor blue(0, 0, 255);
  const QColor grey(127, 127, 127);
  const QColor black(0, 0, 0);
  struct Case {
    const char* text;
    int occurrence;
    QColor color;
  } cases[] = {
      {"local", 0, blue}, {"x =", 0, black}, {"math", 0, black},    {"-- x of", 0, grey},
      {"of P1", 0, grey}, {"--[[", 0, grey}, {"return 2", 0, grey}, {"end ]]", 0, grey},
      {"if", 0, blue},    {"then", 0, blue}, {"return x", 0, blue}, {"end\n", 0, blue},
  };
  for (const Case& c : cases) {
    int at = editor.Find(c.text);
    for (int i = 0; i < c.occurrence; ++i) at = editor.Find(c.text, at + 1);
    ASSERT_GE(at, 0) << c.text;
    EXPECT_EQ(editor.ColorAt(at), c.color) << c.text;
  }
  EXPECT_EQ(editor.marginWidth(0), 45) << "line numbers at 96 DPI";
  EXPECT_TRUE(editor.marginLineNumbers(0));
  EXPECT_EQ(editor.marginWidth(2), 0) << "no folding margin";
}

TEST(CustomScriptHelp, OneHelpWindowAtATimeAndAFreshOneAfterClosing) {
  ORV::Test::TempDir dir;
  CustomTraceDialog dialog(dir.path());
  RunModal(dialog, [&] {
    EXPECT_EQ(dialog.Help(), nullptr);
    dialog.HelpButton()->click();
    CustomScriptHelp* first = dialog.Help();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    const std::string text = Text(first->Text()->toPlainText());
    // The whole page is there, from the first heading to the last name.
    for (const char* name : {"Image Analysis", "OuterLeft", "VascularResistance", "Temp", "Pressure", "ShearStress",
                             "Lua", "math.abs", "math.ult"}) {
      EXPECT_NE(text.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(first->Text()->textCursor().position(), 0);
    dialog.HelpButton()->click();
    EXPECT_EQ(dialog.Help(), first) << "a second \"?\" opens no second window";
    first->close();
    EXPECT_TRUE(first->Closed());
    EXPECT_FALSE(first->isVisible());
    dialog.HelpButton()->click();
    ASSERT_NE(dialog.Help(), nullptr);
    EXPECT_FALSE(dialog.Help()->Closed()) << "a fresh window after the first was closed";
    EXPECT_TRUE(dialog.Help()->isVisible());
    dialog.EndDialog(UI::IDOK);
  });
}

TEST(CustomTraceDialog, Renders) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    const std::string suffix = "_" + std::to_string(dpi);
    ORV::Test::TempDir dir;
    CustomTraceDialog dialog(dir.path());
    RunModal(dialog, [&] {
      dialog.NewButton()->click();
      dialog.NameEdit()->setText("Wall to lumen");
      dialog.UnitType()->setCurrentIndex(1);
      dialog.Editor()->setText(
          "-- wall thickness over the lumen radius\n"
          "local wall = AverageWallThickness\n"
          "if InnerDiameter <= 0 then\n"
          "  return 0\n"
          "end\n"
          "--[[ both walls\n"
          "   are averaged ]]\n"
          "return 2 * wall / InnerDiameter\n");
      dialog.SaveButton()->click();
      dialog.NewButton()->click();
      dialog.NameEdit()->setText("Pressure difference");
      dialog.Editor()->setText("return P1 - P2");
      dialog.SaveButton()->click();
      dialog.List()->setCurrentRow(0);
      ORV::Test::SaveUiArtifact(dialog, "custom_trace_dialog" + suffix);
      dialog.EditButton()->click();
      ORV::Test::SaveUiArtifact(dialog, "custom_trace_dialog_editing" + suffix);
      dialog.HelpButton()->click();
      ASSERT_NE(dialog.Help(), nullptr);
      ORV::Test::SaveUiArtifact(*dialog.Help(), "custom_trace_help" + suffix);
      dialog.EndDialog(UI::IDOK);
    });
  }
}

}  // namespace
}  // namespace ORV::Traces

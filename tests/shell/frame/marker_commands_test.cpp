// The marker commands besides the function keys: the "Marker strings" dialog
// over the configuration's texts, and "Add" through the trace view the user works in.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "core/base/configuration.h"
#include "platform/ui/message_box.h"
#include "shell/frame/frame_markers.h"
#include "tests/shell/glue/glue_fakes.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

void Render(UI::Dialog& dialog, const std::string& name) {
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    ORV::Test::SaveUiArtifact(dialog, name + "_" + std::to_string(dpi));
  }
}

// Edits F3, moves to F7 and edits it; then OK (true) or Cancel.
void EditF3ThenF7(CMarkerDlg& dialog, bool ok) {
  ASSERT_EQ(dialog.Key()->count(), 12);
  EXPECT_EQ(dialog.Key()->itemText(0), QStringLiteral("Hotkey: F1"));
  EXPECT_EQ(dialog.Key()->itemText(11), QStringLiteral("Hotkey: F12"));
  EXPECT_EQ(dialog.Text()->text(), QStringLiteral("Start"));
  dialog.Key()->setCurrentIndex(2);
  dialog.Key()->activated(2);
  EXPECT_EQ(dialog.Text()->text(), QStringLiteral("old F3"));
  dialog.Text()->setText(QStringLiteral("Drug added"));
  dialog.Key()->setCurrentIndex(6);
  dialog.Key()->activated(6);
  EXPECT_EQ(dialog.Text()->text(), QString());
  dialog.Text()->setText(QStringLiteral("Washout"));
  if (ok) {
    Render(dialog, "marker_strings_dialog");
    QTest::mouseClick(dialog.findChild<QWidget*>(QString::number(UI::IDOK)), Qt::LeftButton);
  } else {
    // Enter is Cancel, the default button.
    QTest::keyClick(dialog.Text(), Qt::Key_Return);
  }
}

TEST(MarkerStringsDialog, OkKeepsTheEditsOfEveryKeyCancelKeepsNone) {
  ORV::Test::SandboxedHome home;
  Configuration& configuration = ORV::Test::SharedConfiguration();
  configuration.HotKeys = {};
  configuration.HotKeys[0] = "Start";
  configuration.HotKeys[2] = "old F3";
  const MarkerTexts before = configuration.HotKeys;

  CMarkerDlg cancelled(configuration);
  EXPECT_EQ(ORV::Test::RunModal(cancelled, [&] { EditF3ThenF7(cancelled, false); }), UI::IDCANCEL);
  EXPECT_EQ(configuration.HotKeys, before);

  CMarkerDlg accepted(configuration);
  EXPECT_EQ(ORV::Test::RunModal(accepted, [&] { EditF3ThenF7(accepted, true); }), UI::IDOK);
  MarkerTexts after = before;
  after[2] = "Drug added";
  after[6] = "Washout";
  EXPECT_EQ(configuration.HotKeys, after);
}

TEST(AddMarkerCommand, MarksFromTheActiveViewOrTheFirstThatShowsATrace) {
  Shell::Test::FakeView empty;  // a view with no trace chosen
  empty.kind = 0;
  Shell::Test::FakeView first;
  Shell::Test::FakeView second;
  Shell::Test::FakeView noGraph(false);
  const struct {
    std::vector<Shell::GlueTraceView*> views;
    Shell::GlueTraceView* active;
    Shell::Test::FakeView* marked;  // null: nothing is marked
  } cases[] = {
      {{}, nullptr, nullptr},
      {{&empty, &noGraph}, &empty, nullptr},
      {{&empty, &second}, nullptr, &second},  // the first tab shows no trace
      {{&empty, &second}, &empty, &second},
      {{&first, &second}, &second, &second},  // the view the user works in
      {{&first, &second}, nullptr, &first},
      {{&noGraph, &first}, &noGraph, &first},
      {{&first}, &second, &first},  // a view that is no longer open
  };
  for (const auto& c : cases) {
    for (Shell::Test::FakeView* view : {&empty, &first, &second, &noGraph}) view->graph.calls.clear();
    EXPECT_EQ(AddMarkerOnView(c.views, c.active), c.marked != nullptr);
    for (Shell::Test::FakeView* view : {&empty, &first, &second, &noGraph}) {
      const std::vector<Shell::Test::Call> expected =
          view == c.marked ? std::vector<Shell::Test::Call>{{Graph::Dispid::AddMarkerAtCurrentTime, {}}}
                           : std::vector<Shell::Test::Call>{};
      EXPECT_EQ(view->graph.calls, expected);
    }
  }
  // While the record collects the view asks at the clock's time, and the
  // graph is not asked.
  second.graph.calls.clear();
  second.collecting = true;
  EXPECT_TRUE(AddMarkerOnView({&empty, &second}, &empty));
  EXPECT_EQ(second.clockMarkers, 1);
  EXPECT_TRUE(second.graph.calls.empty());

  // Without the application's trace views the command stays disabled.
  UI::CommandRouter router;
  ORV::Test::SandboxedHome home;
  AddMarkerCommands(router, nullptr, ORV::Test::SharedConfiguration(), nullptr, {});
  EXPECT_FALSE(router.QueryState(IDC_ADD_MARKER_BUTTON).enabled);
  EXPECT_TRUE(router.QueryState(ID_MARKER_SETTINGS_BUTTON).enabled);
}

}  // namespace
}  // namespace ORV

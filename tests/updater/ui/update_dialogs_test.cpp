// The update dialogs offscreen: their renders, the list's descriptions, and
// a check through the dialogs against the loopback update service.
#include "updater/ui/update_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include "platform/ui/message_box.h"
#include "tests/support/ui/ui_test_support.h"
#include "updater/rich_text.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

using namespace Freshet;

std::vector<UpdateEntry> Entries() {
  return {{"Tarvix 5", QString::fromStdString(RtfToHtml("{\\rtf1 Faster {\\b exports}\\par and fixes}")), 5, 6, 0, 12},
          {"Tarvix 5 camera drivers", "<p>New drivers</p>", 2, 1, 3, 4}};
}

class StillTasks : public UpdateTasks {
 public:
  void StartCheck() override {}
  std::optional<UpdateResponses> CheckResult() override { return std::nullopt; }
  void StartUpdate(UpdateResponses) override {}
  std::optional<bool> UpdateResult() override { return std::nullopt; }
};

TEST(UpdateDialogs, RendersOfTheThreeDialogs) {
  for (const int dpi : {96, 144}) {
    ScopedDpi scoped(dpi);
    const std::string suffix = "_" + std::to_string(dpi);
    StillTasks tasks;
    UpdateCheckDialog check(tasks, false, [] { return false; });
    EXPECT_EQ(RunModal(check,
                       [&] {
                         SaveUiArtifact(check, "update_check" + suffix);
                         check.CancelButton()->click();
                       }),
              UI::IDCANCEL);

    UpdatesAvailableDialog available(QString::fromStdString(RtfToHtml(UpdateHeaderRtf("Tarvix 5"))), Entries());
    EXPECT_EQ(RunModal(available,
                       [&] {
                         EXPECT_TRUE(available.Header()->toPlainText().contains("There is an update to Tarvix 5"));
                         SaveUiArtifact(available, "update_available" + suffix);
                         available.NoButton()->click();
                       }),
              UI::IDNO);

    const auto entries = Entries();
    UpdateListDialog list(entries);
    EXPECT_EQ(RunModal(list,
                       [&] {
                         EXPECT_EQ(list.Shown(), 0);
                         EXPECT_EQ(list.List()->topLevelItem(0)->text(1), "5.6.0.12");
                         EXPECT_TRUE(list.Description()->toPlainText().contains("Faster exports"));
                         list.ShowDescription(1);
                         EXPECT_EQ(list.Description()->toPlainText(), "New drivers");
                         list.ShowDescription(5);
                         EXPECT_EQ(list.Shown(), 1);
                         SaveUiArtifact(list, "update_list" + suffix);
                         list.EndDialog(UI::IDOK);
                       }),
              UI::IDOK);
  }
}

TEST(UpdateDialogs, ClosingTheQuestionCountsAsNo) {
  UpdatesAvailableDialog available("<p>x</p>", Entries());
  EXPECT_EQ(RunModal(available, [&] { available.close(); }), UI::IDNO);
}

// A manual check through the real dialogs: the check runs on a worker, the
// question comes up with the service's update, and "No" ends it silently.
TEST_F(UpdaterTest, ManualCheckThroughTheDialogs) {
  auto installed = std::make_shared<FakeInstalledProducts>();
  installed->Add("Tarvix 5", "5.5.7");
  FreshetUpdate offered = MakeUpdate("Tarvix 5", 5, 6, 0, 0);
  offered.productId = kProductId;
  server.SetDefault({200, SoapReply(UpdateElement(offered))});
  FreshetSettings& process = ProcessSettings();
  process = settings;

  DialogPresenter presenter;
  UI::ScriptedMessageBoxes boxes;
  bool asked = false;
  // Answer the question when it shows.
  std::function<void()> answer = [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* q = dynamic_cast<UpdatesAvailableDialog*>(w); q && q->isVisible()) {
        asked = true;
        EXPECT_TRUE(q->Header()->toPlainText().contains("There is an update to Tarvix 5"));
        q->NoButton()->click();
        return;
      }
    }
    QTimer::singleShot(10, answer);
  };
  QTimer::singleShot(10, answer);
  UpdateCheckFlow(process, installed, presenter, true, false);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(boxes.Shown().empty()) << "No ends with Cancel: no up-to-date message";

  process.updates.clear();  // a failed check keeps an earlier list
  server.SetDefault({500, "down"});
  UpdateCheckFlow(process, installed, presenter, true, false);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), kCheckFailedText);
  JoinOutstandingTasks();
  process = FreshetSettings{};
}

}  // namespace
}  // namespace ORV::Test

// The five small dialogs: their answers, their rules, and renders.
#include "shell/app/small_dialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "core/experiment/experiment_data.h"
#include "platform/ui/app_services.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

using namespace ORV;
using namespace ORV::Shell;

namespace {

void Render(UI::Dialog& dialog, const std::string& name) {
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    ORV::Test::SaveUiArtifact(dialog, name + "_" + std::to_string(dpi));
  }
}

CalculationData Record(std::int32_t kind) {
  CalculationData record;
  record.kind = kind;
  return record;
}

}  // namespace

TEST(PicoloChannelDialog, OpensOnTheStoredChannelAndAPickAnswersAtOnce) {
  CPicoloChannelDialog dialog;
  dialog.channel = 4;
  const int result = ORV::Test::RunModal(dialog, [&] {
    ASSERT_EQ(dialog.List()->count(), 5);
    EXPECT_EQ(dialog.List()->currentText(), QStringLiteral("VID4"));
    Render(dialog, "picolo_channel_dialog");
    dialog.List()->activated(0);  // the user picks "YC"
  });
  EXPECT_EQ(result, UI::IDOK);
  EXPECT_EQ(dialog.channel, 0);
}

TEST(ExperimentDialog, SaveNeedsATitleAndStoresBothTexts) {
  ORV::Test::SandboxedHome home;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  experiment.Update([](ExperimentContents& c) {
    c.title = "";
    c.description = "old";
    return 0;
  });
  CExperimentDialog dialog(experiment);
  const int result = ORV::Test::RunModal(dialog, [&] {
    EXPECT_FALSE(dialog.SaveButton()->isEnabled()) << "no title";
    EXPECT_EQ(dialog.Description()->toPlainText(), QStringLiteral("old"));
    dialog.Title()->setText(QStringLiteral("   "));
    EXPECT_TRUE(dialog.SaveButton()->isEnabled()) << "spaces count";
    dialog.Title()->setText(QStringLiteral("Mesenteric artery, 60 mmHg"));
    dialog.Description()->setPlainText(QStringLiteral("Second vessel\nafter wash-out"));
    Render(dialog, "experiment_dialog");
    // Enter in the description makes a new line, not a save.
    dialog.Description()->setFocus();
    dialog.Description()->moveCursor(QTextCursor::End);
    QTest::keyClick(dialog.Description(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    dialog.SaveButton()->click();
  });
  EXPECT_EQ(result, UI::IDOK);
  const auto [title, description] =
      experiment.Read([](const ExperimentContents& c) { return std::make_pair(c.title, c.description); });
  EXPECT_EQ(title, "Mesenteric artery, 60 mmHg");
  EXPECT_EQ(description, "Second vessel\nafter wash-out\n");

  // Cancel changes nothing.
  CExperimentDialog again(experiment);
  EXPECT_EQ(ORV::Test::RunModal(again,
                                [&] {
                                  again.Title()->setText(QStringLiteral("other"));
                                  QTest::keyClick(&again, Qt::Key_Escape);
                                }),
            UI::IDCANCEL);
  EXPECT_EQ(experiment.Read([](const ExperimentContents& c) { return c.title; }), "Mesenteric artery, 60 mmHg");
}

TEST(ExportCsvDialog, OffersOnlyPresentTablesAndExportsEachChosen) {
  const struct {
    std::vector<std::int32_t> kinds;
    std::array<bool, 4> present;
  } cases[] = {
      {{}, {false, false, false, false}},
      {{4, 4}, {false, false, false, true}},
      {{3}, {false, false, false, false}},  // slopes have no table
      {{0, 1, 2, 3, 4}, {true, true, true, true}},
  };
  for (const auto& c : cases) {
    std::vector<CalculationData> records;
    for (auto k : c.kinds) records.push_back(Record(k));
    EXPECT_EQ(CExportCSVDialog::PresentKinds(records), c.present);
  }

  // A failed write and a cancelled file dialog keep the dialog for another
  // try; a written file is its work done, and it closes.
  std::vector<std::pair<std::string, std::int32_t>> exported;
  CExportCSVDialog dialog({Record(0), Record(4)}, [&](const std::string& path, std::int32_t kind) {
    exported.emplace_back(path, kind);
    return path != "/ro/mean.csv";
  });
  dialog.folder = "/data/";
  dialog.fileName = "Rat aorta.csv";
  UI::ScriptedFileDialogs files;
  files.Answer(std::string("/ro/mean"));
  files.Answer(std::nullopt);  // cancelled
  files.Answer(std::string("/data/video.csv"));
  const int result = ORV::Test::RunModal(dialog, [&] {
    EXPECT_TRUE(dialog.Button(0)->isEnabled());
    EXPECT_FALSE(dialog.Button(1)->isEnabled());
    EXPECT_FALSE(dialog.Button(2)->isEnabled());
    EXPECT_TRUE(dialog.Button(3)->isEnabled());
    Render(dialog, "export_csv_dialog");
    dialog.Button(0)->click();
    EXPECT_TRUE(dialog.isVisible()) << "the write failed";
    dialog.Button(3)->click();
    EXPECT_TRUE(dialog.isVisible()) << "cancelled";
    dialog.Button(3)->click();
    EXPECT_FALSE(dialog.isVisible()) << "written: the dialog's work is done";
  });
  EXPECT_EQ(result, UI::IDOK);
  EXPECT_EQ(exported, (std::vector<std::pair<std::string, std::int32_t>>{{"/ro/mean.csv", 0}, {"/data/video.csv", 4}}));
  ASSERT_EQ(files.Asked().size(), 3u);
  for (const UI::FileDialogRequest& asked : files.Asked()) {
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.filter, "Comma Separated File (*.csv)|*.csv|All Files (*.*)|*.*||");
    EXPECT_EQ(asked.folder, "/data/") << "the last used folder";
    EXPECT_EQ(asked.fileName, "Rat aorta.csv") << "named after the experiment";
  }
}

TEST(EnterMessageDialog, EnterStoresTheCommentAsAMarkerAndEscapeDoesNot) {
  EXPECT_EQ(CEnterMessageDialog::MarkerTime(12.3456, 1000), 13345u);
  EXPECT_EQ(CEnterMessageDialog::MarkerTime(0.0009, 0), 0u);

  struct Marker {
    std::string text;
    std::uint32_t time;
    int camera;
  };
  std::vector<Marker> markers;
  auto add = [&](const std::string& text, std::uint32_t time, int camera) { markers.push_back({text, time, camera}); };
  {
    CEnterMessageDialog dialog(12.3456, 1000, 2, add);
    dialog.Create();
    dialog.Edit()->setText(QStringLiteral("KCl 60 mM added"));
    Render(dialog, "enter_message_dialog");
    dialog.Edit()->setFocus();
    QTest::keyClick(dialog.Edit(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
  }
  {
    CEnterMessageDialog dialog(1.0, 0, 0, add);
    dialog.Create();
    dialog.SaveButton()->click();  // an empty comment is a marker too
  }
  {
    CEnterMessageDialog dialog(2.0, 0, 0, add);
    dialog.Create();
    dialog.Edit()->setText(QStringLiteral("not stored"));
    QTest::keyClick(dialog.Edit(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
  }
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].text, "KCl 60 mM added");
  EXPECT_EQ(markers[0].time, 13345u);
  EXPECT_EQ(markers[0].camera, 2);
  EXPECT_EQ(markers[1].text, "");
  EXPECT_EQ(markers[1].time, 1000u);
}

TEST(WorkspaceDialog, SaveReadsTheNameBackAndCancelKeepsIt) {
  CustomUserWorkspaceDialog dialog;
  dialog.name = "Lab A";
  EXPECT_EQ(ORV::Test::RunModal(dialog,
                                [&] {
                                  EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("Lab A"));
                                  dialog.Edit()->setText(QStringLiteral("Lab B"));
                                  Render(dialog, "workspace_dialog");
                                  dialog.SaveButton()->click();
                                }),
            UI::IDOK);
  EXPECT_EQ(dialog.name, "Lab B");

  CustomUserWorkspaceDialog other;
  other.name = "Lab B";
  EXPECT_EQ(ORV::Test::RunModal(other,
                                [&] {
                                  other.Edit()->setText(QStringLiteral("changed"));
                                  other.CancelButton()->click();
                                }),
            UI::IDCANCEL);
  EXPECT_EQ(other.name, "Lab B");
}

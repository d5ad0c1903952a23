// The data sheet's view: its tables as the model holds them, comments edited
// in place, Delete and Clear after asking, and the export commands.
#include "views/data_sheet/ui/data_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <filesystem>

#include "core/base/configuration.h"
#include "core/base/dpi.h"
#include "platform/ui/app_services.h"
#include "platform/ui/command_router.h"
#include "platform/ui/message_box.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/views/data_sheet/data_sheet_fixture.h"

namespace ORV::Views {
namespace {

using Test::Stat;

class DataViewTest : public Test::DataSheetFixture {
 protected:
  std::unique_ptr<CDataView> MakeView(bool spreadsheetApp = false) {
    auto view = std::make_unique<CDataView>(*experiment_, config_, [spreadsheetApp] { return spreadsheetApp; });
    view->resize(ScaleByDpi(1240, QueryDpi()), ScaleByDpi(330, QueryDpi()));
    view->show();
    return view;
  }
  // Two tables: a mean of two traces in two rows, and a video measurement.
  static void Fill(CDataView& view) {
    view.AddCalculation({Stat(0, 4, 1, 152.5, "baseline"), Stat(0, 5, 1, 98.25, "baseline")});
    view.AddCalculation({Stat(0, 4, 1, 140.0, "after drug", 125.5, 185.5, 240, 1.25, 0.0806),
                         Stat(0, 5, 1, 90.0, "after drug", 125.5, 185.5, 240, 1.25, 0.0806)});
    CalculationData video = Stat(4, 0, 0, 23.456, "wall at 2 s", 2.0, 2.0, -1, -1.0, -1.0);
    video.group = 1;
    view.AddCalculation({video});
  }
  static void PressDelete(QWidget& target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &press);
  }

  Configuration config_;
};

TEST_F(DataViewTest, ShowsOneCaptionedTablePerMethod) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    auto view = MakeView();
    Fill(*view);
    EXPECT_EQ(view->windowTitle(), "Data Sheet");
    QTableWidget* mean = view->TableWidget(0);
    QTableWidget* video = view->TableWidget(4);
    ASSERT_NE(mean, nullptr);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(view->CaptionLabel(0)->text(), "Mean Value");
    EXPECT_EQ(view->CaptionLabel(4)->text(), "Video Measurement");
    EXPECT_EQ(mean->columnCount(), 9);
    EXPECT_EQ(mean->horizontalHeaderItem(7)->text(), "Outer Diameter ( 1 )");
    EXPECT_EQ(mean->rowCount(), 2);
    EXPECT_EQ(mean->item(1, 1)->text(), "02:05.50");
    EXPECT_EQ(video->item(0, 2)->text(), "23.46");
    EXPECT_EQ(mean->columnWidth(0), ScaleByDpi(200, dpi));
    // Stacked: the second table starts 30 below the first one's bottom.
    EXPECT_EQ(video->geometry().top(), mean->geometry().bottom() + 1 + ScaleByDpi(30, dpi));
    ORV::Test::SaveUiArtifact(*view, dpi == 96 ? "data_sheet" : "data_sheet_144dpi");
  }
}

TEST_F(DataViewTest, AnEditedCommentIsStored) {
  auto view = MakeView();
  Fill(*view);
  view->TableWidget(0)->item(1, 0)->setText("washout");
  const auto records = Records();
  EXPECT_EQ(records[2].comment, "washout");
  EXPECT_EQ(records[3].comment, "washout");
  EXPECT_EQ(records[4].comment, "wall at 2 s");
  EXPECT_TRUE(experiment_->modified);
}

TEST_F(DataViewTest, DeleteAsksAndDeletesTheSelectedRowsOfTheLastTableWithASelection) {
  auto view = MakeView();
  Fill(*view);
  QTableWidget* mean = view->TableWidget(0);
  mean->selectRow(0);
  {
    UI::ScriptedMessageBoxes boxes({UI::IDNO});
    PressDelete(*mean);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, "Delete selected items from experiment?");
    EXPECT_EQ(Records().size(), 5u);
  }
  {
    UI::ScriptedMessageBoxes boxes({UI::IDYES});
    PressDelete(*mean);
    EXPECT_EQ(mean->rowCount(), 1);
    EXPECT_EQ(mean->item(0, 0)->text(), "after drug");
    EXPECT_EQ(Records().size(), 3u);
  }
  {
    UI::ScriptedMessageBoxes boxes;
    mean->clearSelection();
    EXPECT_FALSE(view->DeleteSelectedRows());  // nothing selected: nothing asked
    EXPECT_TRUE(boxes.Shown().empty());
  }
}

TEST_F(DataViewTest, ClearAsksAndEmptiesTheSheetAndTheExperiment) {
  auto view = MakeView();
  {
    UI::ScriptedMessageBoxes boxes;
    view->ClearSheet();  // an empty sheet asks nothing
    EXPECT_TRUE(boxes.Shown().empty());
  }
  Fill(*view);
  EXPECT_TRUE(view->CanClear());
  UI::ScriptedMessageBoxes boxes({UI::IDNO, UI::IDYES});
  view->ClearSheet();
  EXPECT_EQ(Records().size(), 5u);
  view->ClearSheet();
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[1].text, "All collected data in Data Sheet will be deleted - Continue?");
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(view->TableWidget(0), nullptr);
  EXPECT_FALSE(view->CanClear());
  EXPECT_FALSE(view->CanExportToExcel());
}

TEST_F(DataViewTest, TheWorkbookIsAlwaysSavedAndOpenedWhereTheDesktopHasASpreadsheetApplication) {
  for (const bool app : {false, true}) {
    auto view = MakeView(app);
    EXPECT_EQ(view->SpreadsheetApplicationPresent(), app);
    EXPECT_FALSE(view->CanExportToExcel());
    Fill(*view);
    EXPECT_TRUE(view->CanExportToExcel());
    EXPECT_TRUE(view->CanExportToCsv());
    std::vector<std::string> opened;
    const std::string chosen = dir_ / (app ? "with" : "without");
    view->chooseWorkbookPath = [&] { return std::optional<std::string>(chosen); };
    view->openWorkbook = [&](const std::string& path) { opened.push_back(path); };
    ASSERT_TRUE(view->ExportToExcel());
    EXPECT_TRUE(std::filesystem::exists(chosen + ".xlsx"));
    EXPECT_EQ(opened, app ? std::vector<std::string>{chosen + ".xlsx"} : std::vector<std::string>{});
    view->chooseWorkbookPath = [] { return std::optional<std::string>(); };
    EXPECT_FALSE(view->ExportToExcel());  // cancelled
  }
}

TEST_F(DataViewTest, TheWorkbookDialogOpensInTheLastUsedFolderNamedAfterTheExperiment) {
  const struct {
    std::string title;
    const char* fileName;
  } cases[] = {{"Rat aorta, 60 mmHg", "Rat aorta, 60 mmHg.xlsx"}, {"", "Untitled.xlsx"}};
  for (const auto& c : cases) {
    experiment_->Update([&](ExperimentContents& contents) {
      contents.title = c.title;
      return 0;
    });
    config_.LastUsedExperimentPath = dir_ / "experiments/";
    auto view = MakeView();
    Fill(*view);
    UI::ScriptedFileDialogs files;
    files.Answer(std::string(dir_ / "book"));
    ASSERT_TRUE(view->ExportToExcel()) << "the view's own chooser";
    ASSERT_EQ(files.Asked().size(), 1u);
    const UI::FileDialogRequest& asked = files.Asked()[0];
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.folder, config_.LastUsedExperimentPath);
    EXPECT_EQ(asked.fileName, c.fileName);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "book.xlsx"));
  }
}

TEST_F(DataViewTest, TheSheetsCommandsAreEnabledByWhatItHolds) {
  auto view = MakeView();
  UI::CommandRouter router;
  int csvDialogs = 0;
  view->RegisterCommands(router, [&] { ++csvDialogs; });
  for (const UI::CommandId id : {32804u, 32805u, 32806u}) EXPECT_FALSE(router.QueryState(id).enabled) << id;
  Fill(*view);
  for (const UI::CommandId id : {32804u, 32805u, 32806u}) EXPECT_TRUE(router.QueryState(id).enabled) << id;
  EXPECT_TRUE(router.Execute(32805));
  EXPECT_EQ(csvDialogs, 1);
  {
    UI::ScriptedMessageBoxes boxes({UI::IDYES});
    EXPECT_TRUE(router.Execute(32806));
    EXPECT_TRUE(Records().empty());
  }
  EXPECT_FALSE(router.QueryState(32806).enabled);
  CDataView::UnregisterCommands(router);
  EXPECT_FALSE(router.HasCommandHandler(32804));
}

TEST_F(DataViewTest, AFailedExportIsShownToTheUser) {
  auto view = MakeView(true);
  Fill(*view);
  UI::ScriptedMessageBoxes boxes({UI::IDOK, UI::IDOK});
  EXPECT_FALSE(view->ExportToCsv(dir_ / "missing/mean.csv", 0));
  std::vector<std::string> opened;
  view->openWorkbook = [&](const std::string& path) { opened.push_back(path); };
  view->chooseWorkbookPath = [&] { return std::optional<std::string>(dir_ / "missing/book.xlsx"); };
  EXPECT_FALSE(view->ExportToExcel());
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_TRUE(boxes.Shown()[0].text.startsWith("Unable to save analysis data to CSV file"));
  EXPECT_TRUE(boxes.Shown()[1].text.startsWith("Unable to save the data sheet"));
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(view->ExportToCsv(dir_ / "mean.csv", 0));
}

}  // namespace
}  // namespace ORV::Views

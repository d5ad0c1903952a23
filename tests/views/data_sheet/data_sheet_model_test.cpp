#include "views/data_sheet/data_sheet_model.h"

#include <gtest/gtest.h>

#include "tests/views/data_sheet/data_sheet_fixture.h"

namespace ORV::Views {
namespace {

using DataSheetModelTest = Test::DataSheetFixture;
using Test::Stat;
using Cells = std::vector<std::string>;

constexpr std::int32_t kOuter = 4;  // "Outer Diameter"
constexpr std::int32_t kInner = 5;  // "Inner Diameter"

TEST_F(DataSheetModelTest, CalculationsBecomeRowsOfPerMethodTables) {
  DataSheetModel sheet(*experiment_);
  // The first mean of two traces: zones 1 and 2 of one kind.
  EXPECT_EQ(sheet.AddCalculation({Stat(0, kOuter, 1, 12.3456, "base"), Stat(0, kOuter, 2, 7.0, "base")}), 0);
  const DataSheetTable* mean = sheet.Table(0);
  ASSERT_NE(mean, nullptr);
  EXPECT_EQ(mean->captions, (Cells{"Comment", "Start", "End", "Duration", "Count", "SD", "SE", "Outer Diameter ( 1 )",
                                   "Outer Diameter ( 2 )"}));
  EXPECT_EQ(mean->rows,
            (std::vector<Cells>{{"base", "05.25", "01:05.25", "60.0", "120", "0.5000", "0.1250", "12.346", "7.000"}}));

  // Kinds above 18, kind 0 and zone -1 have bare captions; no count, SD or
  // SE leaves the cells empty.
  sheet.AddCalculation(
      {Stat(1, 19, 2, 3.0, "", 3725.25, 3730.0, -1, -1.0, -1.0), Stat(1, kInner, -1, 1.0), Stat(1, 0, 3, 2.0)});
  const DataSheetTable* maximum = sheet.Table(1);
  ASSERT_NE(maximum, nullptr);
  EXPECT_EQ(maximum->captions,
            (Cells{"Comment", "Start", "End", "Duration", "Count", "Pulse", "Inner Diameter", "None"}));
  EXPECT_EQ(maximum->rows[0], (Cells{"", "1:02:05.25", "1:02:10.00", "4.8", "", "3.000", "1.000", "2.000"}));

  // A video measurement: two decimals, the camera in its own column.
  CalculationData video = Stat(4, 0, 0, 12.3456, "lumen", 2.0, 2.0, -1, -1.0, -1.0);
  video.group = 3;
  EXPECT_EQ(sheet.AddCalculation({video}), 3);
  const DataSheetTable* videoTable = sheet.Table(4);
  ASSERT_NE(videoTable, nullptr);
  EXPECT_EQ(videoTable->captions, (Cells{"Comment", "Time", "Measurement", "Camera"}));
  EXPECT_EQ(videoTable->rows, (std::vector<Cells>{{"lumen", "02.00", "12.35", "3"}}));

  EXPECT_EQ(sheet.MethodOrder(), (std::vector<std::int32_t>{0, 1, 4}));
  EXPECT_EQ(sheet.MaxTraceColumns(), 3);
  EXPECT_EQ(DataSheetModel::MethodCaption(3), "Average Slope");
  // Stored: a head, then its row's further cells naming the row.
  const auto records = Records();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0].group, -1);
  EXPECT_EQ(records[1].group, 0);
  EXPECT_EQ(records[5].group, 3);
}

TEST_F(DataSheetModelTest, ACellForARowThatIsNotThereChangesNothing) {
  DataSheetModel sheet(*experiment_);
  sheet.AddMeasurementRow(Stat(0, kOuter, 1, 1.0));
  CalculationData stray = Stat(0, kOuter, 1, 9.0);
  stray.group = 4;
  EXPECT_EQ(sheet.AddMeasurementRow(stray), 4);
  EXPECT_EQ(sheet.Table(0)->rows.size(), 1u);
  EXPECT_EQ(sheet.Table(0)->rows[0][7], "1.000");
  EXPECT_EQ(sheet.AddMeasurementRow(Stat(9, kOuter, 1, 1.0)), -1);
}

// Three three-trace means, a video measurement stored right after the first.
void ThreeMeans(DataSheetModel& sheet) {
  for (int i = 0; i < 3; ++i) {
    const std::string comment = "mean " + std::to_string(i);
    sheet.AddCalculation({Stat(0, kOuter, 1, 10.0 + i, comment), Stat(0, kOuter, 2, 20.0 + i, comment),
                          Stat(0, kInner, 1, 30.0 + i, comment)});
    if (i == 0) {
      CalculationData video = Stat(4, 0, 0, 5.0, "pad", 1.0, 1.0, -1, -1.0, -1.0);
      video.group = 2;
      sheet.AddCalculation({video});
    }
  }
}

TEST_F(DataSheetModelTest, DeletingARowErasesItsRecordsAndARefreshShowsEveryOtherRowWhole) {
  DataSheetModel sheet(*experiment_);
  ThreeMeans(sheet);
  ASSERT_EQ(Records().size(), 10u);
  experiment_->modified = false;

  sheet.DeleteRows(0, {0});
  EXPECT_TRUE(experiment_->modified);
  const auto records = Records();
  ASSERT_EQ(records.size(), 7u);  // the row's three records went
  EXPECT_EQ(records[0].kind, 4);  // the video measurement stays
  EXPECT_EQ(records[0].group, 2);
  // The rows after it name their new places.
  EXPECT_EQ(records[2].group, 0);
  EXPECT_EQ(records[5].group, 1);

  const std::vector<Cells> shown = sheet.Table(0)->rows;
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0][0], "mean 1");
  sheet.Refresh();
  EXPECT_EQ(sheet.Table(0)->rows, shown);
  EXPECT_EQ(sheet.Table(0)->rows[1],
            (Cells{"mean 2", "05.25", "01:05.25", "60.0", "120", "0.5000", "0.1250", "12.000", "22.000", "32.000"}));
  EXPECT_EQ(sheet.Table(4)->rows, (std::vector<Cells>{{"pad", "01.00", "5.00", "2"}}));
  EXPECT_EQ(sheet.MethodOrder(), (std::vector<std::int32_t>{4, 0}));  // the order of the records
}

TEST_F(DataSheetModelTest, ARefreshBindsFurtherCellsToTheRowTheirMethodOpenedLast) {
  // A list saved by a program that did not renumber rows on delete: the
  // further cells of the second row still name row 1.
  for (const CalculationData& r : {Stat(0, kOuter, 1, 1.0, "a"), Stat(0, kOuter, 1, 2.0, "b")}) {
    experiment_->AddCalculationData(r);
    CalculationData cell = Stat(0, kInner, 1, r.value + 10.0, r.comment);
    cell.group = 1;
    experiment_->AddCalculationData(cell);
  }
  experiment_->Update([](ExperimentContents& c) {
    c.calculations.erase(c.calculations.begin(), c.calculations.begin() + 2);
    return 0;
  });
  DataSheetModel sheet(*experiment_);
  sheet.Refresh();
  ASSERT_EQ(sheet.Table(0)->rows.size(), 1u);
  EXPECT_EQ(sheet.Table(0)->rows[0][7], "2.000");
  EXPECT_EQ(sheet.Table(0)->rows[0][8], "12.000");
  EXPECT_EQ(sheet.Table(0)->rows[0][5], "0.5000");  // SD and SE come back too
  EXPECT_EQ(sheet.Table(0)->rows[0][6], "0.1250");
}

TEST_F(DataSheetModelTest, DeletingVideoMeasurementsAndSeveralRows) {
  DataSheetModel sheet(*experiment_);
  ThreeMeans(sheet);
  sheet.DeleteRows(4, {0});
  EXPECT_EQ(sheet.Table(4)->rows.size(), 0u);
  EXPECT_EQ(Records().size(), 9u);
  sheet.DeleteRows(0, {2, 0, 2});
  ASSERT_EQ(sheet.Table(0)->rows.size(), 1u);
  EXPECT_EQ(sheet.Table(0)->rows[0][0], "mean 1");
  const auto records = Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].group, 0);
  sheet.DeleteRows(0, {7});  // no such row
  EXPECT_EQ(Records().size(), 3u);
}

TEST_F(DataSheetModelTest, AnEditedCommentReachesTheRowsRecordsOnly) {
  DataSheetModel sheet(*experiment_);
  ThreeMeans(sheet);
  sheet.SetComment(0, 0, std::string(300, 'c'));
  const std::string cut = std::string(252, 'c') + "...";
  EXPECT_EQ(sheet.Table(0)->rows[0][0], cut);
  const auto records = Records();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(records[std::size_t(i)].comment, cut) << i;
  EXPECT_EQ(records[3].comment, "pad");
  EXPECT_EQ(records[4].comment, "mean 1");
  sheet.SetComment(4, 0, "lumen");
  sheet.Refresh();
  EXPECT_EQ(sheet.Table(0)->rows[0][0], cut);
  EXPECT_EQ(sheet.Table(4)->rows[0][0], "lumen");
}

TEST_F(DataSheetModelTest, ClearingErasesEveryCalculation) {
  DataSheetModel sheet(*experiment_);
  sheet.Clear();
  EXPECT_FALSE(experiment_->modified);
  ThreeMeans(sheet);
  experiment_->modified = false;
  sheet.Clear();
  EXPECT_FALSE(sheet.HasTables());
  EXPECT_TRUE(Records().empty());
  EXPECT_TRUE(experiment_->modified);  // also without any camera's zones
}

TEST_F(DataSheetModelTest, TheDataPadsMeasurementsBecomeVideoRows) {
  DataSheetModel sheet(*experiment_);
  experiment_->DataPad().Add(2.0, 60, 2, 12.3456, std::string(300, 'x'));
  sheet.AddVideoMeasurements();
  ASSERT_NE(sheet.Table(4), nullptr);
  EXPECT_EQ(sheet.Table(4)->rows, (std::vector<Cells>{{std::string(252, 'x') + "...", "02.00", "12.35", "2"}}));
  EXPECT_TRUE(experiment_->DataPad().Samples().empty());
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].group, 2);
}

}  // namespace
}  // namespace ORV::Views

#include "core/experiment/video_measurements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/experiment/experiment_fixture.h"

namespace ORV {
namespace {

using DataPadTest = Test::ExperimentFixture;

TEST_F(DataPadTest, AddKeepsTheMeasurementAndAsksTheApplicationToMoveThePadIntoTheSheet) {
  VideoMeasurementsDataPad& pad = data().DataPad();
  pad.Add(2.0, 60, 2, 123.5, "wall");
  pad.Add(3.5, 105, 1, 7.25, "");
  EXPECT_EQ(hooks_.sheetExports,
            (std::vector<std::int32_t>{CalculationData::kVideoMeasurement, CalculationData::kVideoMeasurement}));
  EXPECT_EQ(pad.Samples(), (std::vector<VideoMeasurement>{{2.0, 2, 123.5, "wall", 60}, {3.5, 1, 7.25, "", 105}}));
}

TEST_F(DataPadTest, TakeRowsMakesMeasurementRowsWithTheCommentCutAndEmptiesThePad) {
  VideoMeasurementsDataPad& pad = data().DataPad();
  const std::string longLabel(300, 'x');
  pad.Add(2.0, 60, 3, 12.3456, longLabel);
  pad.Add(0.5, 15, 1, 1.0, "");
  const std::vector<CalculationData> rows = pad.TakeRows();
  ASSERT_EQ(rows.size(), 2u);
  CalculationData first;
  first.kind = CalculationData::kVideoMeasurement;
  first.traceKind = 0;
  first.zone = 0;
  first.value = 12.3456;
  first.selectionEnd = first.selectionStart = 2.0;
  first.group = 3;  // the camera number
  first.comment = std::string(252, 'x') + "...";
  first.count = -1;
  first.sd = first.standardError = -1.0;
  EXPECT_EQ(rows[0], first);
  EXPECT_EQ(rows[1].comment, "");
  EXPECT_EQ(rows[1].group, 1);
  EXPECT_TRUE(pad.Samples().empty());
  EXPECT_TRUE(pad.TakeRows().empty());
}

TEST_F(DataPadTest, ClearingTheExperimentEmptiesThePad) {
  data().DataPad().Add(1.0, 30, 1, 5.0, "a");
  data().Clear();
  EXPECT_TRUE(data().DataPad().Samples().empty());
}

TEST(DataPad, WithoutAnExportAddOnlyKeepsTheMeasurement) {
  VideoMeasurementsDataPad pad;
  pad.Add(1.0, 30, 4, 5.0, "b");
  EXPECT_EQ(pad.Samples().size(), 1u);
}

}  // namespace
}  // namespace ORV

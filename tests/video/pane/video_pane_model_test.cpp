#include "video/pane/video_pane_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "tests/video/pane/video_pane_fixture.h"
#include "tests/video/recorded_video.h"

namespace ORV::Video {
namespace {

using VideoPaneModelTest = Test::VideoPaneFixture;
using Test::Records;

TEST(VideoPath, ReplacesTheExperimentFilesExtension) {
  struct Case {
    const char* experiment;
    int camera;
    const char* video;
  } cases[] = {
      {"exp.tvx", 0, "exp_0.avi"},
      {"/e/exp.tvx", 3, "/e/exp_3.avi"},
      {"C:/e/exp.tvx", 0, "C:/e/exp_0.avi"},
      // A folder named like an experiment file does not cut the name.
      {"/data/x.tvx/run.tvx", 1, "/data/x.tvx/run_1.avi"},
      {"/data/x.tvx/run", 2, "/data/x.tvx/run_2.avi"},
      {"/data/run.v2.tvx", 0, "/data/run.v2_0.avi"},
  };
  for (const Case& c : cases) EXPECT_EQ(VideoPaneModel::VideoPathFor(c.experiment, c.camera), c.video) << c.experiment;
}

TEST_F(VideoPaneModelTest, LoadsOnlyTheVideoOfAnExperimentOpenedFromItsFile) {
  TouchVideo(0);
  SetRecords(0, Records(100, 100.0, kStart + 2600));
  struct Case {
    std::uint32_t mode;
    int camera;
    bool loaded;
  } cases[] = {{kModeFile, 0, true},
               {kModeLive, 0, false},
               {kModeNone, 0, false},
               {kModeFile, -1, false},
               {kModeFile, 1, false} /* no file for camera 1 */};
  for (const Case& c : cases) {
    experiment_->mode = c.mode;
    auto pane = FakePane(c.camera);
    EXPECT_EQ(pane->LoadVideo(), c.loaded) << c.mode << " " << c.camera;
    EXPECT_EQ(pane->VideoLoaded(), c.loaded);
  }
  EXPECT_EQ(loader_->opened, dir_ / "exp_0.avi");
}

TEST_F(VideoPaneModelTest, TheRateIsTheRecordingsOwnAndTheVideoStartsWithItsFirstRecord) {
  TouchVideo(0);
  // The file says 10 fps; the records show 20 fps, recorded from 2.6 s after
  // the experiment started while the experiment went on for an hour.
  experiment_->lastSampleTime = kStart + 3600000;
  auto records = Records(100, 50.0, kStart + 2600);
  records.back() = AnalysisData{};  // the stored list ends with a fresh record
  SetRecords(0, records);
  auto pane = FakePane(0);
  ASSERT_TRUE(pane->LoadVideo());
  EXPECT_FLOAT_EQ(pane->FrameRate(), 20.0f);
  EXPECT_EQ(pane->FrameCount(), 100);
  EXPECT_EQ(pane->VideoStart(), std::int32_t(kStart + 2600));
  EXPECT_FLOAT_EQ(pane->Aspect(), 40.0f / 30.0f);
  EXPECT_EQ(pane->FrameBuffer().size(), 40u * 30u * 3u);
  EXPECT_EQ(pane->DurationText(), "5");
  EXPECT_EQ(pane->TimeText(), "00.00 / 5");

  // Records that span no time leave the file's rate.
  SetRecords(0, Records(1, 0.0, kStart));
  ASSERT_TRUE(pane->LoadVideo());
  EXPECT_FLOAT_EQ(pane->FrameRate(), 10.0f);
  EXPECT_EQ(pane->DurationText(), "10");
}

TEST_F(VideoPaneModelTest, AVideoWithoutFramesRateOrRecordsIsRefused) {
  TouchVideo(0);
  SetRecords(0, Records(1, 0.0, kStart));
  auto pane = FakePane(0);

  loader_->count = 0;
  EXPECT_FALSE(pane->LoadVideo());
  EXPECT_FALSE(pane->VideoLoaded());
  loader_->count = 100;
  loader_->rate = 0;
  EXPECT_FALSE(pane->LoadVideo());
  EXPECT_FALSE(pane->VideoLoaded());
  pane->ShowFrameAt(3, false);  // no division by zero, nothing read
  EXPECT_TRUE(loader_->reads.empty());

  loader_->rate = 10;
  loader_->opens = false;
  EXPECT_FALSE(pane->LoadVideo());
  loader_->opens = true;

  // Without a record the video is loaded but the load reports failure.
  SetRecords(0, {});
  EXPECT_FALSE(pane->LoadVideo());
  EXPECT_TRUE(pane->VideoLoaded());
}

TEST_F(VideoPaneModelTest, ShowFrameAtFindsTheFrameOfAPosition) {
  TouchVideo(0);
  SetRecords(0, Records(60, 100.0, kStart + 2600));  // 10 fps; 100 frames in the file
  auto pane = FakePane(0);
  ASSERT_TRUE(pane->LoadVideo());
  struct Case {
    std::uint32_t position;
    bool inSeconds;
    int frame;  // the current frame afterwards
    bool valid;
  } cases[] = {
      {10, true, 70, false},    // 10 s - 3 s of delay = 7 s; no record that far
      {5, true, 20, true},      // 5 s - 3 s
      {2, true, 20, false},     // before the recording: nothing shown, frame kept
      {42, false, 42, true},    // a frame index is the video's own: no delay
      {500, false, 99, false},  // past the end: the last frame, which has no record
      {1000, true, 99, false}, {0xFFFFFFFFu, false, 99, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.position << (c.inSeconds ? " s" : " frame"));
    pane->ShowFrameAt(c.position, c.inSeconds);
    EXPECT_EQ(pane->CurrentFrame(), c.frame);
    EXPECT_EQ(pane->FrameValid(), c.valid);
  }
  pane->ShowFrameAt(5, true);
  EXPECT_EQ(pane->FrameBuffer()[0], 20);
  EXPECT_EQ(pane->CurrentRecord().frameTime, 2000);
  EXPECT_EQ(pane->TimeText(), "02.00 / 10");

  // A delay under a second is not taken off.
  SetRecords(0, Records(100, 100.0, kStart + 900));
  ASSERT_TRUE(pane->LoadVideo());
  pane->ShowFrameAt(5, true);
  EXPECT_EQ(pane->CurrentFrame(), 50);
  EXPECT_TRUE(pane->FrameValid());

  // A frame the file cannot deliver shows the white page.
  loader_->framesReadable = 40;
  pane->ShowFrameAt(45, false);
  EXPECT_FALSE(pane->FrameValid());
}

AnalysisData ZoneRecord(std::int16_t zoneCount, float scaleFactor, std::uint8_t ignoreLumen) {
  AnalysisData r;
  r.zoneCount = zoneCount;
  r.scaleFactor = scaleFactor;
  r.ignoreLumen = ignoreLumen;
  for (int z = 0; z < 4; ++z) {
    r.zones[z].left = 10 * z;
    r.zones[z].top = 5;
    r.zones[z].right = 10 * z + 8;
    r.zones[z].bottom = 25;
    r.zones[z].outerLeft = 1;
    r.zones[z].outerRight = z == 1 ? 0 : 7;
    r.zones[z].lumenLeft = 2;
    r.zones[z].lumenRight = 6;
  }
  return r;
}

TEST_F(VideoPaneModelTest, OverlaysDrawAtMostFourZonesScaledToTheWindow) {
  TouchVideo(0);
  SetRecords(0, {ZoneRecord(32767, 0.0f, 0), ZoneRecord(2, 2.0f, 1), ZoneRecord(-5, 1.0f, 0)});
  auto pane = FakePane(0);
  ASSERT_TRUE(pane->LoadVideo());
  pane->SetWindowSize(80, 60);  // twice the video

  pane->ShowFrameAt(0, false);
  auto zones = pane->Zones();
  ASSERT_EQ(zones.size(), 4u);  // a stored count of 32767 is cut to the record's four
  EXPECT_EQ(zones[2].number, 3);
  EXPECT_DOUBLE_EQ(zones[2].left, 40.0);  // scale factor 0 counts as 1
  EXPECT_DOUBLE_EQ(zones[2].top, 10.0);
  EXPECT_DOUBLE_EQ(zones[2].right, 56.0);
  EXPECT_DOUBLE_EQ(zones[2].bottom, 50.0);
  EXPECT_TRUE(zones[2].outer);
  EXPECT_DOUBLE_EQ(zones[2].outerLeft, 42.0);
  EXPECT_DOUBLE_EQ(zones[2].outerRight, 54.0);
  EXPECT_TRUE(zones[2].lumen);
  EXPECT_DOUBLE_EQ(zones[2].lumenLeft, 44.0);
  EXPECT_DOUBLE_EQ(zones[2].lumenRight, 52.0);
  EXPECT_FALSE(zones[1].outer);  // one outer edge missing

  pane->ShowFrameAt(1, false);
  zones = pane->Zones();
  ASSERT_EQ(zones.size(), 2u);
  EXPECT_DOUBLE_EQ(zones[1].left, 10.0);  // scale factor 2 halves the places
  EXPECT_FALSE(zones[1].lumen);           // the lumen is ignored

  pane->ShowFrameAt(2, false);
  EXPECT_TRUE(pane->Zones().empty());
  EXPECT_DOUBLE_EQ(pane->MarkerSize(), 80 / 300.0 * 10);
}

TEST_F(VideoPaneModelTest, TheMeasuredLengthUsesTheVideoCalibrationOfTheCameraWhenItIsSet) {
  TouchVideo(2);
  SetRecords(2, {ZoneRecord(0, 1.0f, 0), ZoneRecord(0, 2.0f, 0)});
  config_.Calibration = {1.0f, 1.0f, 0.25f, 1.0f};
  auto pane = FakePane(2);
  ASSERT_TRUE(pane->LoadVideo());
  pane->SetWindowSize(80, 60);  // two window pixels per video pixel
  pane->ShowFrameAt(0, false);
  // (6, 8) window pixels = (3, 4) video pixels = 5 pixels.
  struct Case {
    float videoCalibration;
    float expected;
  } cases[] = {{-1.0f, 1.25f}, {0.5f, 2.5f}, {0.0f, 0.0f}};
  for (const Case& c : cases) {
    config_.ExperimentValues[2] = c.videoCalibration;
    EXPECT_FLOAT_EQ(pane->MeasuredLength(10, 10, 16, 18), c.expected) << c.videoCalibration;
  }
  config_.ExperimentValues[2] = -1.0f;
  pane->ShowFrameAt(1, false);  // recorded at half size: the scale factor doubles the length
  EXPECT_FLOAT_EQ(pane->MeasuredLength(10, 10, 16, 18), 2.5f);
}

TEST_F(VideoPaneModelTest, AClickWithoutMovingLeavesNoLine) {
  TouchVideo(0);
  SetRecords(0, Records(10, 100.0, kStart));
  auto pane = FakePane(0);
  ASSERT_TRUE(pane->LoadVideo());
  int asked = 0;
  auto ask = [&](double, float) -> std::optional<std::string> {
    ++asked;
    return std::nullopt;
  };
  pane->ButtonDown(20, 20);
  EXPECT_TRUE(pane->Dragging());
  EXPECT_FALSE(pane->LineVisible());
  pane->ButtonUp(20, 20, ask);
  EXPECT_FALSE(pane->Dragging());
  EXPECT_FALSE(pane->LineVisible());
  EXPECT_EQ(pane->StartX() + pane->StartY() + pane->EndX() + pane->EndY(), 0);
  EXPECT_EQ(asked, 0);
}

TEST_F(VideoPaneModelTest, ClickingTheLabelOfAFinishedLineAddsTheMeasurementToTheDataPad) {
  TouchVideo(1);
  // 29.97 frames a second: the data pad's time uses 30.
  SetRecords(1, Records(301, 1000.0 / 29.97, kStart));
  loader_->count = 301;
  config_.Calibration[1] = 2.0f;
  auto pane = FakePane(1);
  ASSERT_TRUE(pane->LoadVideo());
  EXPECT_NEAR(pane->FrameRate(), 29.97f, 0.01f);
  pane->SetWindowSize(40, 30);
  pane->ShowFrameAt(60, false);

  pane->ButtonDown(10, 50);
  pane->MouseMove(13, 54);
  EXPECT_TRUE(pane->LineVisible());
  pane->ButtonUp(13, 54, {});
  EXPECT_TRUE(pane->LineVisible());  // the finished line stays
  EXPECT_EQ(pane->LineLabel(), "10.00");
  EXPECT_EQ(pane->LabelLeft(), 10);
  EXPECT_EQ(pane->LabelTop(), 16);
  pane->SetLabelRect({10, 16, 50, 30});

  std::vector<std::pair<double, float>> asked;
  auto answer = [&](std::optional<std::string> text) {
    return [&asked, text](double time, float value) {
      asked.emplace_back(time, value);
      return text;
    };
  };
  // Cancel adds nothing.
  pane->ButtonDown(20, 20);
  EXPECT_TRUE(pane->LabelClicked());
  pane->ButtonUp(20, 20, answer(std::nullopt));
  EXPECT_TRUE(experiment_->DataPad().Samples().empty());
  // Add: the label as typed, an empty one too.
  for (const char* text : {"lumen", ""}) {
    pane->ButtonDown(20, 20);
    pane->ButtonUp(21, 21, answer(std::string(text)));
  }
  EXPECT_FALSE(pane->LabelClicked());
  EXPECT_TRUE(pane->LineVisible());
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_DOUBLE_EQ(asked[0].first, 2.0);
  EXPECT_FLOAT_EQ(asked[0].second, 10.0f);
  EXPECT_EQ(experiment_->DataPad().Samples(),
            (std::vector<VideoMeasurement>{{2.0, 2, 10.0, "lumen", 60}, {2.0, 2, 10.0, "", 60}}));

  // A press beside the label starts a new line.
  pane->ButtonDown(5, 5);
  EXPECT_FALSE(pane->LabelClicked());
  EXPECT_TRUE(pane->LabelRect().Empty());
}

TEST_F(VideoPaneModelTest, TheRecordersVideoShowsTheFrameOfAPosition) {
  ASSERT_TRUE(ORV::Test::WriteRecording(dir_ / "exp_0.avi", 12, 64, 48, 10));
  SetRecords(0, Records(12, 100.0, kStart));
  VideoPaneModel pane(*experiment_, config_, CreateImageLoader(), 0);
  ASSERT_TRUE(pane.LoadVideo());
  EXPECT_EQ(pane.VideoWidth(), 64);
  EXPECT_EQ(pane.VideoHeight(), 48);
  EXPECT_EQ(pane.FrameCount(), 12);
  for (const int frame : {5, 11, 0}) {
    pane.ShowFrameAt(std::uint32_t(frame), false);
    ASSERT_TRUE(pane.FrameValid());
    EXPECT_NEAR(pane.FrameBuffer()[(40 * 64 + 40) * 3], ORV::Test::FrameLevel(frame), 3) << frame;
  }
}

}  // namespace
}  // namespace ORV::Video

// The camera window's logic against a recording analysis control: the calls
// of creation, the sliders and buttons, rotation and zoom, recording and
// snapshot, and the handling of the control's events.
#include "video/camera_window/camera_window_model.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "core/base/configuration.h"
#include "core/experiment/consumers.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/zone_data_queue.h"
#include "core/storage/relative_time.h"
#include "tests/support/hand_clock.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/video/camera_window/recording_control.h"

namespace ORV::Video {
namespace {

using Calls = std::vector<std::string>;
namespace D = AnalysisView::Dispid;

// A hand clock that Start and Pause switch, counting the pauses.
class TestClock : public Test::HandClock {
 public:
  void Start() override { running = true; }
  void Pause() override {
    running = false;
    ++pauses;
  }
  int pauses = 0;
};

class Receiver : public ImageAnalysisConsumer {
 public:
  void OnZoneValue(std::uint32_t, int, float, float, float, float, int) override {}
  void OnZoneCreated(int zoneCount, int camera) override {
    events.push_back("created " + std::to_string(zoneCount) + " " + std::to_string(camera));
  }
  void OnZonesReset(int camera) override { events.push_back("reset " + std::to_string(camera)); }
  void OnMarkerAdded(const MarkerData2& m) override { events.push_back("marker " + m.text); }
  bool OnMarkerRemoved(std::uint32_t) override { return false; }
  std::vector<std::string> events;
};

class CameraWindowModelTest : public ::testing::Test {
 protected:
  explicit CameraWindowModelTest(int camera = 0) : camera_(camera) {}
  void SetUp() override {
    experiment.SetClock(clock);
    experiment.AddImageAnalysisConsumer(&receiver);
    hooks.text = [](std::uint32_t id) {
      switch (id) {
        case 204:
          return std::string("Not enough temporary disk space available for recording");
        case 139:
          return std::string("File already exists. Overwrite existing?");
        case 250:
          return std::string("Auto tracking was enabled on zone %d %s");
        case 251:
          return std::string("Auto tracking was disabled on zone %d %s");
      }
      return std::to_string(id);
    };
    hooks.showError = [this](const std::string& t) { log.push_back("error: " + t); };
    hooks.askYesNo = [this](const std::string& t) {
      log.push_back("ask: " + t);
      return answer;
    };
    hooks.videoRecordingOn = [this] { return recordingSwitch; };
    hooks.runCollectionStartStop = [this] { log.push_back("collection start/stop"); };
    hooks.stopRecordingEverywhere = [this] { log.push_back("stop recording everywhere"); };
    hooks.resetStartStopButton = [this] { log.push_back("idle ribbon texts"); };
    hooks.openTraceViewIfNone = [this] { log.push_back("open trace view"); };
    hooks.connectCamera = [this] { log.push_back("connect camera"); };
    hooks.freeBytes = [this](const std::string&) { return freeBytes; };
    model = std::make_unique<CameraWindowModel>(&experiment, queue, camera_, hooks);
    control.results[D::GetAnalysisCutOff] = Com::Variant(3.0);
    control.results[D::GetInnerAnalysisCutOff] = Com::Variant(2.5);
    model->AttachControl(&control, 3);
    control.Take();
  }
  void TearDown() override { experiment.RemoveImageAnalysisConsumer(&receiver); }

  std::deque<ZoneData> Pending() {
    std::lock_guard lock(queue->mutex);
    return queue->batches[static_cast<std::size_t>(camera_)].pending;
  }
  void Select(int zone) {
    model->OnZoneSelected(zone);
    control.Take();
  }

  int camera_;
  ORV::Test::SandboxedHome home;
  TestClock clock;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  Receiver receiver;
  std::shared_ptr<ZoneDataHolderQueue> queue = std::make_shared<ZoneDataHolderQueue>();
  ORV::Test::RecordingControl control;
  CameraWindowHooks hooks;
  std::unique_ptr<CameraWindowModel> model;
  std::vector<std::string> log;
  bool answer = true;
  bool recordingSwitch = true;
  std::optional<std::uint64_t> freeBytes = 100'000'000'000ULL;
};

TEST_F(CameraWindowModelTest, CreationCallsTheControlInOrderAndTakesCutOffsAndCalibration) {
  experiment.configuration->Calibration[0] = 0.5f;
  experiment.configuration->ZoneBorderColor = 0x112233;
  ORV::Test::RecordingControl fresh;
  fresh.results[D::GetAnalysisCutOff] = Com::Variant(3.456);
  fresh.results[D::GetInnerAnalysisCutOff] = Com::Variant(1.0);
  CameraWindowModel m(&experiment, queue, 0, hooks);
  m.AttachControl(&fresh, 2);
  const std::string border = std::to_string(0x112233);
  EXPECT_EQ(fresh.Calls(), (Calls{"65(clock)", "55(2)", "40(" + border + ")", "41(" + std::to_string(0x0000FF) + ")",
                                  "42(" + std::to_string(0x2FFFAD) + ")", "67(0)", "69(0)"}));
  EXPECT_EQ(fresh.clock, &clock);
  EXPECT_EQ(m.Slider(SliderId::OuterCutOff).position, 345);
  EXPECT_EQ(m.Slider(SliderId::InnerCutOff).position, 100);
  EXPECT_DOUBLE_EQ(m.Calibration(), 0.5);
}

TEST_F(CameraWindowModelTest, OneRecordPerFrameWhenTheLastZoneArrives) {
  for (int i = 0; i < 3; ++i) model->OnZoneCreated({}, 0.0f);
  model->SetCalibration(0.5);
  model->OnZoneAnalysisData(0, 10, 30, 14, 26);
  model->OnZoneAnalysisData(1, 40, 60, 44, 56);
  EXPECT_TRUE(Pending().empty());
  model->OnZoneAnalysisData(2, 100, 200, 120, 180);
  auto pending = Pending();
  ASSERT_EQ(pending.size(), 1u);
  const ZoneData& r = pending[0];
  EXPECT_EQ(r.factor, 1.0f);
  EXPECT_EQ(r.time, 0u);
  EXPECT_EQ(r.zoneCount, 3);
  EXPECT_EQ(r.valid, 1u);
  EXPECT_FLOAT_EQ(r.outerLeft[0], 5.0f);
  EXPECT_FLOAT_EQ(r.outerRight[1], 30.0f);
  EXPECT_FLOAT_EQ(r.innerLeft[2], 60.0f);
  EXPECT_FLOAT_EQ(r.innerRight[2], 90.0f);

  // The record is not cleared: a zone without news keeps its last values.
  model->OnZoneAnalysisData(2, 0, 0, 0, 0);
  pending = Pending();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_FLOAT_EQ(pending[1].outerRight[1], 30.0f);
}

TEST_F(CameraWindowModelTest, CalibrationAndZoomTurnViewPixelsIntoMicrons) {
  model->OnZoneCreated({}, 0.0f);
  model->SetCalibration(0.5);
  struct Case {
    float scale;
    std::int32_t px;
    float microns;
  } cases[] = {{2.0f, 200, 50.0f}, {1.0f, 200, 100.0f}, {3.0f, 300, 50.0f}, {1.25f, 5, 2.0f}};
  for (const Case& c : cases) {
    model->SetTransform(0, c.scale);
    model->OnZoneAnalysisData(0, c.px, c.px * 2, c.px, c.px);
    EXPECT_FLOAT_EQ(Pending().back().outerLeft[0], c.microns) << c.scale;
    EXPECT_FLOAT_EQ(Pending().back().outerRight[0], 2 * c.microns) << c.scale;
  }
  EXPECT_EQ(control.Take(), (Calls{"47(0,2)", "47(0,1)", "47(0,3)", "47(0,1.25)"}));
}

TEST_F(CameraWindowModelTest, ZoneOutsideTheRecordIsIgnored) {
  model->OnZoneCreated({}, 0.0f);
  for (int zone : {4, -1, 100}) model->OnZoneAnalysisData(zone, 1, 2, 3, 4);
  EXPECT_TRUE(Pending().empty());
}

TEST_F(CameraWindowModelTest, WorkersQueueEveryFrameOnce) {
  model->OnZoneCreated({}, 0.0f);
  model->OnZoneCreated({}, 0.0f);
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([this] {
      for (int i = 0; i < 250; ++i) {
        model->OnZoneAnalysisData(0, i, i + 1, i, i);
        model->OnZoneAnalysisData(1, i, i + 1, i, i);
      }
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(Pending().size(), 1000u);
}

TEST_F(CameraWindowModelTest, NoSelectedZoneDisablesZoneControlsAndKeysStepTheVideo) {
  Select(-1);
  for (int i = 0; i < kSliderCount; ++i) {
    EXPECT_FALSE(model->Slider(SliderId(i)).enabled) << i;
    EXPECT_FALSE(model->ButtonsEnabled(SliderId(i))) << i;
  }
  EXPECT_FALSE(model->ManualTrackingEnabled());
  model->Step(SliderId::OuterLeft, +1);
  EXPECT_TRUE(control.Take().empty());

  control.results[D::SelectedZone] = Com::Variant(std::int32_t{-1});
  model->Arrow(-1, 1);
  model->Arrow(+1, 1);
  EXPECT_EQ(control.Take(), (Calls{"15()", "61()", "15()", "62()"}));
  model->Wheel(120);
  EXPECT_EQ(control.Take(), (Calls{"47(0,1.05)"}));
}

TEST_F(CameraWindowModelTest, SelectingAZoneReadsItsSettings) {
  control.results[D::GetThresholdValue] = Com::Variant(std::int32_t{140});
  control.results[D::GetOuterLeftAdjustment] = Com::Variant(std::int32_t{-7});
  control.results[D::GetAutoTrackingEnabled] = Com::Variant(false);
  control.results[D::GetAnalysisCutOff] = Com::Variant(4.2);
  control.results[D::GetInnerAnalysisCutOff] = Com::Variant(1.5);
  model->OnZoneSelected(1);
  EXPECT_EQ(control.Take(), (Calls{"12(1)", "21(1)", "22(1)", "23(1)", "24(1)", "56(1)", "67(1)", "69(1)"}));
  EXPECT_EQ(model->Slider(SliderId::OuterThreshold).position, 12);
  EXPECT_EQ(model->Slider(SliderId::OuterLeft).position, -7);
  EXPECT_TRUE(model->ManualTracking());
  EXPECT_EQ(model->Slider(SliderId::OuterCutOff).position, 420);
  EXPECT_EQ(model->Slider(SliderId::InnerCutOff).position, 150);
  EXPECT_TRUE(model->Slider(SliderId::OuterLeft).enabled);
  EXPECT_FALSE(model->Slider(SliderId::OuterThreshold).enabled);  // auto threshold is on
  model->EnableAutoThreshold(false);
  EXPECT_EQ(control.Take(), (Calls{"13(0)"}));
  EXPECT_TRUE(model->Slider(SliderId::OuterThreshold).enabled);
}

TEST_F(CameraWindowModelTest, AutoThresholdDisablesTheCutOffSlidersWhichShowTheZonesChoice) {
  const auto cutOffsUsable = [this] {
    return model->Slider(SliderId::OuterCutOff).enabled && model->Slider(SliderId::InnerCutOff).enabled &&
           model->ButtonsEnabled(SliderId::OuterCutOff) && model->ButtonsEnabled(SliderId::InnerCutOff);
  };
  model->EnableAutoThreshold(true);
  Select(1);
  EXPECT_FALSE(model->Slider(SliderId::OuterCutOff).enabled);
  EXPECT_FALSE(model->Slider(SliderId::InnerCutOff).enabled);
  EXPECT_FALSE(model->ButtonsEnabled(SliderId::OuterCutOff));
  EXPECT_FALSE(model->ButtonsEnabled(SliderId::InnerCutOff));
  model->Step(SliderId::InnerCutOff, +1);
  EXPECT_TRUE(control.Take().empty());

  // The timer shows what the zone chose.
  control.results[D::GetAnalysisCutOff] = Com::Variant(4.25);
  control.results[D::GetInnerAnalysisCutOff] = Com::Variant(4.5);
  model->OnCutOffTimer();
  EXPECT_EQ(control.Take(), (Calls{"67(1)", "69(1)"}));
  EXPECT_EQ(model->Slider(SliderId::OuterCutOff).position, 425);
  EXPECT_EQ(model->Slider(SliderId::InnerCutOff).position, 450);

  // Off: the sliders are the user's again, and only the outer one is followed.
  model->EnableAutoThreshold(false);
  control.Take();
  EXPECT_TRUE(cutOffsUsable());
  control.results[D::GetInnerAnalysisCutOff] = Com::Variant(2.0);
  model->OnCutOffTimer();
  EXPECT_EQ(control.Take(), (Calls{"67(1)"}));
  EXPECT_EQ(model->Slider(SliderId::InnerCutOff).position, 450);
  model->EnableAutoThreshold(true);
  EXPECT_FALSE(cutOffsUsable());
}

TEST_F(CameraWindowModelTest, APictureTooDarkOrTooBrightForAnyCutOffIsToldWithWhatToChange) {
  hooks.text = [](std::uint32_t id) {
    return id == 433 ? std::string("too dark: more light") : id == 434 ? std::string("too bright: less light") : "";
  };
  model = std::make_unique<CameraWindowModel>(&experiment, queue, 0, hooks);
  model->AttachControl(&control, 3);
  control.Take();
  // Without zones there is nothing to ask.
  control.results[D::GetZonePictureState] = Com::Variant(std::int32_t{1});
  EXPECT_FALSE(model->UpdatePictureAdvice());
  EXPECT_TRUE(control.Take().empty());
  EXPECT_EQ(model->PictureAdvice(), "");

  model->OnZoneCreated({}, 0.0f);
  model->OnZoneCreated({}, 0.0f);
  struct Step {
    std::int32_t state;
    bool changed;
    std::string advice;
  };
  for (const Step& step : {Step{1, true, "too dark: more light"}, Step{1, false, "too dark: more light"},
                           Step{2, true, "too bright: less light"}, Step{0, true, ""}, Step{0, false, ""}}) {
    SCOPED_TRACE(step.state);
    control.results[D::GetZonePictureState] = Com::Variant(step.state);
    EXPECT_EQ(model->UpdatePictureAdvice(), step.changed);
    EXPECT_EQ(control.Take(), (Calls{"73(0)", "73(1)"}));  // each zone asked
    EXPECT_EQ(model->PictureAdvice(), step.advice);
  }
  // The zones gone, so is the word on their picture.
  control.results[D::GetZonePictureState] = Com::Variant(std::int32_t{1});
  EXPECT_TRUE(model->UpdatePictureAdvice());
  model->OnZonesReset();
  EXPECT_EQ(model->PictureAdvice(), "");
}

TEST_F(CameraWindowModelTest, StepButtonsSendTheNewValueWithinTheirLimits) {
  model->EnableAutoThreshold(false);
  struct Case {
    SliderId id;
    int start;
    int direction;
    Calls sent;
    int end;
  } cases[] = {
      {SliderId::OuterThreshold, 127, +1, {}, 127},
      {SliderId::OuterThreshold, 10, +1, {"16(0,139)"}, 11},
      {SliderId::OuterThreshold, -126, -1, {"16(0,1)"}, -127},
      {SliderId::OuterThreshold, -127, -1, {}, -127},
      {SliderId::InnerThreshold, 0, -1, {"54(0,127)"}, -1},
      {SliderId::OuterCutOff, 100, -1, {"68(0,0.95)"}, 100},
      {SliderId::OuterCutOff, 300, +1, {"68(0,3.05)"}, 305},
      {SliderId::InnerCutOff, 590, +1, {"70(0,5.95)"}, 595},
      {SliderId::InnerCutOff, 595, +1, {}, 595},
      {SliderId::OuterLeft, 20, +1, {}, 20},
      {SliderId::OuterLeft, 19, +1, {"19(0,20)"}, 20},
      {SliderId::OuterRight, -20, -1, {}, -20},
      {SliderId::InnerLeft, -19, -1, {"17(0,-20)"}, -20},
      {SliderId::InnerRight, 3, +1, {"18(0,4)"}, 4},
  };
  Select(0);
  for (const Case& c : cases) {
    model->SliderMoved(c.id, c.start);
    control.Take();
    model->Step(c.id, c.direction);
    EXPECT_EQ(control.Take(), c.sent) << int(c.id) << " from " << c.start;
    EXPECT_EQ(model->Slider(c.id).position, c.end) << int(c.id) << " from " << c.start;
  }
}

TEST_F(CameraWindowModelTest, DraggingASliderSendsItsOwnMethod) {
  Select(2);
  model->SliderMoved(SliderId::OuterThreshold, 0);
  model->SliderMoved(SliderId::InnerLeft, 0);  // same position as the threshold
  model->SliderMoved(SliderId::OuterCutOff, 250);
  model->SliderMoved(SliderId::InnerCutOff, 450);
  EXPECT_EQ(control.Take(), (Calls{"16(2,128)", "17(2,0)", "68(2,2.5)", "70(2,4.5)"}));
}

TEST_F(CameraWindowModelTest, ManualTrackingMarksTheExperimentWhileCollecting) {
  Select(1);
  model->SetManualTracking(true);
  EXPECT_EQ(control.Take(), (Calls{"57(1,0)"}));
  experiment.mode = kModeLive;
  model->SetManualTracking(false);
  EXPECT_EQ(control.Take(), (Calls{"57(1,1)"}));
  EXPECT_EQ(receiver.events, (std::vector<std::string>{"marker Auto tracking was enabled on zone 2 Camera: 1"}));
}

TEST_F(CameraWindowModelTest, RotationAndZoomStopAtTheirLimits) {
  for (int i = 0; i < 50; ++i) model->Rotate(+1);
  EXPECT_EQ(model->Rotation(), 45);
  EXPECT_FLOAT_EQ(model->Scale(), 1.0f + 45.0f * 0.01591f);
  auto calls = control.Take();
  ASSERT_EQ(calls.size(), 50u);  // also when the limit was reached
  EXPECT_EQ(calls.back(), "47(45,1.71595)");
  for (int i = 0; i < 100; ++i) model->Rotate(-1);
  EXPECT_EQ(model->Rotation(), -45);
  model->ResetRotation();
  EXPECT_EQ(control.Take().back(), "47(0,1.71595)");
  for (int i = 0; i < 40; ++i) model->Wheel(120);
  EXPECT_FLOAT_EQ(model->Scale(), 3.0f);
  for (int i = 0; i < 40; ++i) model->Wheel(-120);
  EXPECT_FLOAT_EQ(model->Scale(), 1.0f);
  model->Rotate(+1);
  model->ResetScale();
  EXPECT_EQ(control.Take().back(), "47(1,1)");
}

TEST_F(CameraWindowModelTest, ManualTrackingZoneTakesArrowsAndWheel) {
  control.results[D::SelectedZone] = Com::Variant(std::int32_t{1});
  control.results[D::GetAutoTrackingEnabled] = Com::Variant(false);
  Select(1);
  model->Arrow(-1, 3);
  model->Wheel(120);
  model->Wheel(-120);
  EXPECT_EQ(control.Take(), (Calls{"15()", "56(1)", "66(1,-3)", "56(1)", "66(1,-1)", "56(1)", "66(1,1)"}));
  control.results[D::IsVideoPause] = Com::Variant(std::int16_t{1});
  model->Period();
  EXPECT_EQ(control.Take(), (Calls{"60()", "63(1)"}));
}

TEST_F(CameraWindowModelTest, RecordingChecksTheFreeDiskSpaceFirst) {
  experiment.configuration->MinimumGBFree = 7;
  experiment.configuration->VideoRecordFactor = 2;
  freeBytes = 6'999'999'999ULL;
  model->StartRecording();
  EXPECT_TRUE(control.Take().empty());
  EXPECT_EQ(log, (std::vector<std::string>{"error: Not enough temporary disk space available for recording"}));

  log.clear();
  freeBytes = 7'000'000'000ULL;
  model->StartRecording();
  auto calls = control.Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "53(2)");
  EXPECT_TRUE(calls[1].starts_with("5('")) << calls[1];
  EXPECT_TRUE(calls[1].ends_with("Record_0.avi')")) << calls[1];

  recordingSwitch = false;
  model->StartRecording();
  EXPECT_TRUE(control.Take().empty());

  ORV::Test::MemoryEventLog events;
  recordingSwitch = true;
  freeBytes.reset();
  model->StartRecording();
  EXPECT_TRUE(control.Take().empty());
  EXPECT_NE(events.Dump().find("free disk space"), std::string::npos) << events.Dump();

  control.results[D::IsRecording] = Com::Variant(std::int16_t{0});
  model->StopRecording();
  control.results[D::IsRecording] = Com::Variant(std::int16_t{1});
  model->StopRecording();
  EXPECT_EQ(control.Take(), (Calls{"6()", "6()", "7()"}));
}

TEST_F(CameraWindowModelTest, SnapshotAsksBeforeOverwritingAndAddsTheExtension) {
  ORV::Test::TempDir dir;
  const std::string existing = dir / "x.PNG";
  std::ofstream(existing) << "x";
  answer = false;
  model->Snapshot(existing);
  EXPECT_TRUE(control.Take().empty());
  answer = true;
  model->Snapshot(existing);
  model->Snapshot(dir / "y.png");
  model->Snapshot("");
  EXPECT_EQ(control.Take(), (Calls{"38('" + existing + ".png')", "38('" + dir / "y.png" + "')"}));
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(CameraWindowModelTest, ProfilesKeepTheirSizeRule) {
  std::vector<std::uint8_t> big(900000, 7), small(500, 9), first(1000, 1);
  model->OnRawZoneData(0, big.data(), 900000);  // the first may be any size
  EXPECT_EQ(model->Profile(0).size(), 900000u);
  model->OnRawZoneData(0, first.data(), 1000);
  EXPECT_EQ(model->Profile(0).size(), 1000u);
  model->OnRawZoneData(0, big.data(), 870000);  // differs and is above the limit
  EXPECT_EQ(model->Profile(0).size(), 1000u);
  model->OnRawZoneData(0, small.data(), 500);
  EXPECT_EQ(model->Profile(0), small);
  for (int zone : {4, -1}) model->OnRawZoneData(zone, small.data(), 500);
  model->OnRawZoneData(1, small.data(), 0);
  EXPECT_TRUE(model->Profile(1).empty());
}

TEST_F(CameraWindowModelTest, ZoneCreationAndResetReachTheReceivers) {
  model->OnZoneCreated({1, 2, 3, 4, 5, 6, 7, 8}, 0.5f);
  model->OnZoneCreated({}, 0.0f);
  EXPECT_EQ(model->ZoneCount(), 2);
  EXPECT_TRUE(model->ZonesPresent());
  EXPECT_EQ(log, (std::vector<std::string>{"open trace view"}));
  model->OnZonesReset();
  model->OnZonesReset();  // nothing left to reset
  EXPECT_EQ(model->ZoneCount(), 0);
  EXPECT_EQ(receiver.events, (std::vector<std::string>{"created 1 0", "created 2 0", "reset 0"}));
  EXPECT_EQ(experiment.Read([](const ExperimentContents& c) { return c.zoneCount[0]; }), 0u);
}

TEST_F(CameraWindowModelTest, CaptureStoppedDuringCollectionRunsTheStopCommand) {
  experiment.mode = kModeLive;
  experiment.videoEnabled = true;
  model->OnZoneCreated({}, 0.0f);
  log.clear();
  control.results[D::IsRecording] = Com::Variant(std::int16_t{1});
  model->OnCaptureStopped();
  EXPECT_FALSE(model->ZonesPresent());
  EXPECT_FALSE(experiment.videoEnabled);
  EXPECT_EQ(control.Take(), (Calls{"3()", "6()", "7()"}));
  EXPECT_EQ(log, (std::vector<std::string>{"collection start/stop"}));
  EXPECT_EQ(clock.pauses, 0);
  EXPECT_FALSE(model->CameraLost());
}

// A camera that goes away stops the control's view without being asked
// (the view stays marked as capturing): the collection, the zones and the
// recording stay, and the camera is started again on the same view.
TEST_F(CameraWindowModelTest, ACameraLostDuringACollectionKeepsItRunningAndStartsAgain) {
  experiment.mode = kModeLive;
  experiment.videoEnabled = true;
  model->OnZoneCreated({}, 0.0f);
  log.clear();
  control.Take();
  control.results[D::IsCapturing] = Com::Variant(std::int16_t{1});
  model->OnCaptureStopped();
  EXPECT_TRUE(model->CameraLost());
  EXPECT_TRUE(model->ZonesPresent());
  EXPECT_TRUE(experiment.videoEnabled);
  EXPECT_EQ(experiment.mode, kModeLive);
  EXPECT_EQ(control.Take(), (Calls{"3()"})) << "the recording is not stopped";
  EXPECT_TRUE(log.empty()) << "no collection stop";

  control.results[D::RestartLostCamera] = Com::Variant(std::int16_t{0});
  EXPECT_FALSE(model->RestartLostCamera()) << "still gone";
  EXPECT_TRUE(model->CameraLost());
  control.results[D::RestartLostCamera] = Com::Variant(std::int16_t{1});
  EXPECT_TRUE(model->RestartLostCamera());
  EXPECT_FALSE(model->CameraLost());
  EXPECT_EQ(control.Take(), (Calls{"71()", "71()"}));
  EXPECT_FALSE(model->RestartLostCamera()) << "nothing to start when nothing is lost";
  EXPECT_TRUE(control.Take().empty());
  // The frames its camera sent torn, as the control counts them.
  control.results[D::GetTornFrameCount] = Com::Variant(std::int32_t{5});
  EXPECT_EQ(model->TornFrameCount(), 5u);
  // And the whole frames it delivered, which tell a camera without zones back.
  control.results[D::GetFrameCount] = Com::Variant(std::int32_t{812});
  EXPECT_EQ(model->FrameCount(), 812u);
}

TEST_F(CameraWindowModelTest, CaptureStoppedOutsideCollectionResetsTheClockState) {
  experiment.mode = kModeFile;
  clock.now = 4242;
  model->OnCaptureStopped();
  EXPECT_EQ(clock.pauses, 1);
  EXPECT_EQ(experiment.stopTick, 4242u);
  EXPECT_EQ(experiment.mode, kModeNone);
  EXPECT_EQ(log, (std::vector<std::string>{"stop recording everywhere", "idle ribbon texts"}));
}

class IndexImageTest : public CameraWindowModelTest {
 protected:
  struct Stored {
    std::uint32_t time, width, height, size;
    bool operator==(const Stored&) const = default;
  };
  std::vector<Stored> Images() {
    return experiment.Read([](const ExperimentContents& c) {
      std::vector<Stored> out;
      for (const auto& r : c.indexImages) out.push_back({r.time, r.width, r.height, r.Size()});
      return out;
    });
  }
  std::vector<std::uint8_t> image = std::vector<std::uint8_t>(100 * 100, 5);
};

TEST_F(IndexImageTest, StoredForCameraZeroWhileCollectingAndGapsFilled) {
  experiment.mode = kModeLive;
  experiment.lastIndexImageTime = 1000;
  model->OnIndexImage(11000, 100, 100, 10000, image.data());
  model->OnIndexImage(36000, 100, 100, 10000, image.data());  // 25000 ms later
  model->OnIndexImage(500, 100, 100, 10000, image.data());    // earlier: stored, no burst
  EXPECT_EQ(Images(), (std::vector<Stored>{
                          {11000, 100, 100, 10000}, {21000, 0, 0, 0}, {31000, 0, 0, 0}, {500, 100, 100, 10000}}));
  EXPECT_EQ(experiment.lastIndexImageTime, 500u);

  clock.running = false;
  model->OnIndexImage(1000, 100, 100, 10000, image.data());
  clock.running = true;
  experiment.mode = kModeFile;
  model->OnIndexImage(1000, 100, 100, 10000, image.data());
  EXPECT_EQ(Images().size(), 4u);
}

// An image more than 12 s after the last is not stored: fillers every 10 s
// cover the gap, and they carry their time only (no picture size, no bytes).
TEST_F(IndexImageTest, FillersOfAGapCarryTheirTimeOnly) {
  const struct {
    const char* what;
    std::uint32_t after;  // ms after the last image
    std::vector<Stored> stored;
  } cases[] = {
      {"12 s: stored", 12000, {{13000, 64, 48, 3072}}},
      {"just over 12 s: one filler", 12001, {{11000, 0, 0, 0}}},
      {"25 s: two fillers", 25000, {{11000, 0, 0, 0}, {21000, 0, 0, 0}}},
      {"a minute: five fillers",
       60000,
       {{11000, 0, 0, 0}, {21000, 0, 0, 0}, {31000, 0, 0, 0}, {41000, 0, 0, 0}, {51000, 0, 0, 0}}},
  };
  const std::vector<std::uint8_t> small(64 * 48, 9);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    experiment.Clear();
    experiment.mode = kModeLive;
    experiment.lastIndexImageTime = 1000;
    model->OnIndexImage(1000 + c.after, 64, 48, static_cast<std::uint32_t>(small.size()), small.data());
    EXPECT_EQ(Images(), c.stored);
    EXPECT_EQ(experiment.lastIndexImageTime, 1000 + c.after);
  }
}

class OtherCameraTest : public CameraWindowModelTest {
 protected:
  OtherCameraTest() : CameraWindowModelTest(2) {}
};

TEST_F(OtherCameraTest, IndexImagesOfOtherCamerasAreNotStoredAndRecordsGoToTheirQueue) {
  experiment.mode = kModeLive;
  std::vector<std::uint8_t> image(100, 1);
  model->OnIndexImage(5000, 10, 10, 100, image.data());
  EXPECT_TRUE(experiment.Read([](const ExperimentContents& c) { return c.indexImages.empty(); }));
  model->OnZoneCreated({}, 0.0f);
  model->OnZoneAnalysisData(0, 1, 2, 3, 4);
  EXPECT_EQ(Pending().size(), 1u);
  std::lock_guard lock(queue->mutex);
  EXPECT_TRUE(queue->batches[0].pending.empty());
}

TEST_F(CameraWindowModelTest, LayoutPlacesTheSideColumnAndPanels) {
  model->OnDimensionsChanged(640, 480);
  auto l = model->Layout(1200, 330);
  EXPECT_EQ(l.video, (Box{10, 20, 10 + int(300 * 640.0 / 480 + 0.5 + 10) - 10, 320}));
  EXPECT_TRUE(l.sideColumn);
  EXPECT_TRUE(l.adjustmentsShown);
  EXPECT_TRUE(l.checkBoxShown);
  EXPECT_EQ(l.outerCutOff.slider, (Box{l.video.right + 25, 55, l.video.right + 135, 85}));
  EXPECT_EQ(l.frame.right, l.video.right + 161);
  EXPECT_TRUE(l.panels.empty());

  model->OnZoneCreated({}, 0.0f);
  model->OnZoneCreated({}, 0.0f);
  l = model->Layout(1200, 330);
  ASSERT_EQ(l.panels.size(), 2u);
  EXPECT_EQ(l.panels[0].left, l.frame.right + 10);
  EXPECT_EQ(l.panels[0].Width(), 300);
  // Room for one square only: the two zones share it.
  l = model->Layout(l.frame.right + 10 + 300 + 50, 330);
  ASSERT_EQ(l.panels.size(), 2u);
  EXPECT_EQ(l.panels[0].Height(), 145);
  EXPECT_EQ(l.panels[1].top, l.panels[0].bottom + 10);

  l = model->Layout(300, 200);  // too narrow for the column
  EXPECT_FALSE(l.sideColumn);
  EXPECT_FALSE(l.adjustmentsShown);

  // Fine-edge sliders and their buttons do not overlap.
  for (const auto* row : {&l.outerLeft, &l.outerRight, &l.innerLeft, &l.innerRight}) {
    l = model->Layout(1200, 330);
    EXPECT_LE(row->minus.right, row->slider.left);
    EXPECT_LE(row->slider.right, row->plus.left);
  }
}

TEST_F(CameraWindowModelTest, TheHeightThatLetsThePictureUseTheWindowsWidth) {
  model->OnDimensionsChanged(640, 480);
  // The picture ((h - 30) 4/3 wide, 10 before it), its frame with the side
  // column (161) and a square panel (h - 30, 10 before it) fill the width.
  const int h = model->HeightForWidth(1280, 160, 2000);
  EXPECT_EQ(h, static_cast<int>((1280 - 181) / (4.0 / 3.0 + 1.0)) + 30);
  const CameraWindowLayout l = model->Layout(1280, h);
  EXPECT_LE(l.frame.right + 10 + l.video.Height(), 1280);
  EXPECT_GT(l.frame.right + 10 + l.video.Height(), 1280 - 4);
  // Within its limits, and for the picture's own shape.
  EXPECT_EQ(model->HeightForWidth(400, 160, 2000), 160);
  EXPECT_EQ(model->HeightForWidth(2560, 160, 600), 600);
  model->OnDimensionsChanged(1920, 1080);
  EXPECT_EQ(model->HeightForWidth(1280, 160, 2000), static_cast<int>((1280 - 181) / (16.0 / 9.0 + 1.0)) + 30);
}

TEST_F(CameraWindowModelTest, PanelDrawingShowsTheMeasuredDiameters) {
  model->SetCalibration(0.5);
  std::vector<std::uint8_t> profile(400, 0);
  for (int x = 100; x < 120; ++x) profile[x] = 255;
  model->OnRawZoneData(0, profile.data(), 400);
  ZoneData m;
  m.outerLeft[0] = 50;    // 100 px
  m.outerRight[0] = 150;  // 300 px
  m.innerLeft[0] = 70;
  m.innerRight[0] = 120;
  const auto d = model->PanelDrawing(0, 200, 200, m);
  ASSERT_EQ(d.profile.size(), 201u);
  EXPECT_EQ(d.profile[0], std::make_pair(0, 200));
  EXPECT_EQ(d.profile[1 + 55].second, 200 - int(255 * 200 * 0.7 / 255 + 0.5));
  EXPECT_TRUE(d.outer);
  EXPECT_DOUBLE_EQ(d.outerLeft, 50.0);  // 100 px at 2 profile bytes per panel pixel
  EXPECT_EQ(d.outerMicrons, 100);
  EXPECT_TRUE(d.lumen);
  EXPECT_EQ(d.lumenMicrons, 50);
  model->SetIgnoreLumen(true);
  EXPECT_FALSE(model->PanelDrawing(0, 200, 200, m).lumen);
  EXPECT_TRUE(model->PanelDrawing(1, 200, 200, m).profile.empty());  // no profile
  EXPECT_TRUE(model->PanelDrawing(0, 9, 200, m).profile.empty());
}

}  // namespace
}  // namespace ORV::Video

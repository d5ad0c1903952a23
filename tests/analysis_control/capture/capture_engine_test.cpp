// The capture engine: construction defaults, camera loading, the start of a
// camera or another video device, the frame paths, pause and step,
// recording with the measured frame rate, and the ends of capture.
#include "analysis_control/capture_engine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine_fixtures.h"
#include "platform/cameras/capture/capture_manager.h"
#include "platform/os/byte_order.h"
#include "tests/support/test_support.h"

namespace ORV::CaptureTest {
namespace {

struct Engine : ::testing::Test {
  FakeCamera::Setup setup;
  FakeCamera* camera = nullptr;  // the last one built
  std::vector<int> typesBuilt;
  EngineEvents events;
  FakeClock clock;
  std::shared_ptr<CountingTimer> timer = std::make_shared<CountingTimer>();
  std::shared_ptr<NullWindow> window = std::make_shared<NullWindow>();
  std::unique_ptr<CaptureEngine> engine;

  void SetUp() override { engine = Make(); }

  std::unique_ptr<CaptureEngine> Make(Cameras::CaptureDeviceManager* devices = nullptr) {
    CaptureEngineServices services;
    services.createCamera = [this](int type) {
      typesBuilt.push_back(type);
      auto c = std::make_unique<FakeCamera>(setup);
      camera = c.get();
      return c;
    };
    services.captureDevices = devices;
    services.timer = timer;
    services.executor = std::make_shared<AnalysisTest::InlineExecutor>();
    auto e = std::make_unique<CaptureEngine>(events, services);
    e->SetRelativeTime(&clock);
    e->SetNotifyWindow(window);
    return e;
  }

  std::vector<std::uint8_t> Grey(std::uint8_t value) const {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(setup.width) * setup.height, value);
  }
};

TEST_F(Engine, StartsWithTheDefaults) {
  EXPECT_EQ(engine->GetWidth(), 1280);
  EXPECT_EQ(engine->GetHeight(), 960);
  EXPECT_EQ(engine->GetFrameRate(), 200u);
  EXPECT_EQ(engine->GetRepaintDivisor(), 3);
  EXPECT_EQ(engine->GetVideoScaleFactor(), 4);
  EXPECT_EQ(engine->Analysis().GetMaxZones(), 2);
  for (int zone = 0; zone < 4; ++zone) {
    EXPECT_EQ(engine->Analysis().GetAnalysisCutOff(zone), 3.0);
    EXPECT_EQ(engine->Analysis().GetInnerAnalysisCutOff(zone), 3.0);
  }
  EXPECT_EQ(CaptureEngine::kVideoJumpSeconds, 30);
  EXPECT_FALSE(engine->IsCapturing());
  EXPECT_FALSE(engine->IsRecording());
  EXPECT_FALSE(engine->IsPaused());
  EXPECT_EQ(engine->GetSourceType(), kSourceNone);
  EXPECT_EQ(engine->GetCameraCount(), 0);
  EXPECT_EQ(engine->ShownFrame(), nullptr);
}

TEST_F(Engine, LoadCameraSetsTheRepaintDivisorAndAppendsKnownModelsUpToTwenty) {
  setup.uniqueNames = {"DMx 41AU02 1", "Webcam", "DMK 42AUC03 2", "XIMEA MQ013"};
  const struct {
    std::int16_t type;
    int divisor;
  } cases[] = {{1, 150}, {2, 150}, {0, 3}, {7, 3}};
  for (const auto& c : cases) {
    engine->LoadCamera(c.type);
    EXPECT_EQ(engine->GetRepaintDivisor(), c.divisor) << c.type;
  }
  EXPECT_EQ(typesBuilt, (std::vector<int>{1, 2, 0, 7}));
  // XIMEA's back-end is opened at once.
  EXPECT_EQ(engine->GetCameraCount(), 12);  // three known models, four loads
  EXPECT_EQ(engine->GetCameraName(0), "DMx 41AU02 1");
  EXPECT_EQ(engine->GetCameraName(1), "DMK 42AUC03 2");
  EXPECT_EQ(engine->GetCameraName(3), "DMx 41AU02 1");  // the second load lists them again
  EXPECT_EQ(engine->GetCameraName(12), "");
  EXPECT_EQ(engine->GetCameraName(-1), "");
  for (int i = 0; i < 3; ++i) engine->LoadCamera(0);
  EXPECT_EQ(engine->GetCameraCount(), 20);  // the 21st is not appended
  engine->SetRepaintDivisor(0);
  engine->SetRepaintDivisor(6);
  EXPECT_EQ(engine->GetRepaintDivisor(), 3);
  engine->SetRepaintDivisor(5);
  EXPECT_EQ(engine->GetRepaintDivisor(), 5);
}

TEST_F(Engine, StartCaptureOfAMakersCamera) {
  setup.uniqueNames = {"DMx 41AU02 1", "DMK 42AUC03 2"};
  engine->LoadCamera(0);
  ASSERT_TRUE(engine->StartCapture("DMK 42AUC03 2 (USB)"));
  EXPECT_EQ(camera->opened, "Camera 1");  // no entry begins with that name: entry 0
  events.Clear();
  ASSERT_TRUE(engine->StartCapture("DMK 42AUC03"));
  EXPECT_EQ(camera->opened, "Camera 2");
  EXPECT_EQ(events.Calls(), (std::vector<std::string>{"CaptureStopped", "ZonesReset", "DimensionsChanged 320x240"}));
  EXPECT_TRUE(engine->IsCapturing());
  EXPECT_EQ(engine->GetSourceType(), kSourceCamera);
  EXPECT_EQ(engine->GetFrameRate(), 67u);  // 15 frames a second
  EXPECT_TRUE(timer->running);
  EXPECT_EQ(timer->interval, 67);
  int lo, hi, v;
  ASSERT_TRUE(engine->GetGammaValues(&lo, &hi, &v));
  EXPECT_EQ(v, 9);

  // Frames come through the callback; the timer does not fetch them.
  camera->Deliver(Grey(77));
  const SharedCameraFrame::Image first = engine->ShownFrame();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->at<std::uint8_t>(10, 10), 77);
  // In pooled memory, which the recorder keeps without a copy; a frame still
  // held is never filled again.
  EXPECT_TRUE(FramePool::IsPooled(*first));
  camera->Deliver(Grey(78));
  EXPECT_EQ(first->at<std::uint8_t>(10, 10), 77);
  EXPECT_EQ(engine->ShownFrame()->at<std::uint8_t>(10, 10), 78);
  engine->OnTimer();
  EXPECT_EQ(events.framesPrepared.load(), 2);
  engine->OnWindowMessage(WM_CAMERA_FRAME_READY);  // a back-end that posts
  EXPECT_EQ(events.framesPrepared.load(), 3);
  // Torn frames the back-end refused: counted for the watch, never analysed.
  EXPECT_EQ(engine->TornFrames(), 0u);
  camera->DeliverTorn();
  camera->DeliverTorn();
  EXPECT_EQ(engine->TornFrames(), 2u);
  EXPECT_EQ(events.framesPrepared.load(), 3);

  engine->StopCapture();
  EXPECT_FALSE(engine->IsCapturing());
  EXPECT_FALSE(timer->running);
  EXPECT_EQ(camera->stops.load(), 2);  // the restart and this stop
  EXPECT_EQ(camera->GetFrameCallback(), nullptr);
  EXPECT_EQ(events.Count("CaptureStopped"), 2);
  camera->Deliver(Grey(79));
  EXPECT_EQ(events.framesPrepared.load(), 3);
  engine->StopCapture();  // nothing runs: nothing raised
  EXPECT_EQ(events.Count("CaptureStopped"), 2);
}

// Two cameras of one model: the device's own name (as detection gives it to
// the camera pane) opens that very device, not the first of the model.
TEST_F(Engine, StartCaptureByADevicesOwnNameOpensThatDevice) {
  setup.uniqueNames = {"DMx 41AU02 SIM0001", "DMx 41AU02 SIM0002"};
  setup.deviceNames = {"DMx 41AU02 (1)", "DMx 41AU02 (2)"};
  engine->LoadCamera(0);
  for (const char* name : {"DMx 41AU02 (2)", "DMx 41AU02 (1)", "DMx 41AU02 (2)"}) {
    ASSERT_TRUE(engine->StartCapture(name));
    EXPECT_EQ(camera->opened, name);
  }
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  EXPECT_EQ(camera->opened, "DMx 41AU02 (1)") << "a model's name: the first of it";
}

TEST_F(Engine, RefusedStartsLeaveNothingRunning) {
  const struct {
    const char* what;
    FakeCamera::Setup setup;
  } cases[] = {
      {"does not open", {{"DMx 41AU02 1"}, 320, 240, 15, false, true}},
      {"does not start", {{"DMx 41AU02 1"}, 320, 240, 15, true, false}},
      {"50 pixels wide", {{"DMx 41AU02 1"}, 50, 240, 15, true, true}},
      {"no size", {{"DMx 41AU02 1"}, 0, 0, 15, true, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setup = c.setup;
    engine->LoadCamera(0);
    events.Clear();
    EXPECT_FALSE(engine->StartCapture("DMx 41AU02"));
    EXPECT_FALSE(engine->IsCapturing());
    EXPECT_EQ(engine->GetSourceType(), kSourceNone);
    EXPECT_EQ(camera->GetFrameCallback(), nullptr);
    EXPECT_EQ(events.Count("DimensionsChanged 320x240"), 0);
  }
  // Without the host's clock nothing starts.
  setup = {};
  engine->LoadCamera(0);
  engine->SetRelativeTime(nullptr);
  EXPECT_FALSE(engine->StartCapture("DMx 41AU02"));
}

TEST_F(Engine, ACameraWithoutAFrameRateRunsAFiniteTimer) {
  setup.frameRate = 0;
  engine->LoadCamera(0);
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  EXPECT_EQ(engine->GetFrameRate(), 67u);
  engine->SetFrameRate(0);
  EXPECT_EQ(engine->GetFrameRate(), 1u);
}

TEST_F(Engine, OtherNamesGoToTheVideoDevices) {
  Cameras::CaptureDeviceManager devices(std::make_shared<OneDeviceLayer>());
  engine = Make(&devices);
  engine->LoadCamera(0);  // lists "DMx 41AU02 0001"
  for (const char* name : {"", "USB Camera", "xDMx 41AU02"}) {
    SCOPED_TRACE(name);
    events.Clear();
    ASSERT_TRUE(engine->StartCapture(name));
    EXPECT_EQ(engine->GetSourceType(), kSourceCaptureDevice);
    EXPECT_EQ(camera->starts.load(), 0);
    EXPECT_EQ(engine->GetFrameRate(), 67u);
    EXPECT_EQ(events.Calls().back(), "DimensionsChanged 320x240");
    engine->OnTimer();
    ASSERT_NE(engine->ShownFrame(), nullptr);
    EXPECT_EQ(engine->ShownFrame()->channels(), 1);
    EXPECT_EQ(engine->ShownFrame()->at<std::uint8_t>(5, 5), 90);
    int lo, hi, v;
    ASSERT_TRUE(engine->GetBrightnessValues(&lo, &hi, &v));
    EXPECT_EQ(hi, 255);
    EXPECT_TRUE(engine->SetGainValue(3));
    engine->StopCapture();
    EXPECT_FALSE(devices.IsDeviceSetup(0));
  }
  int lo, hi, v;
  EXPECT_FALSE(engine->GetGainValues(&lo, &hi, &v));  // nothing runs
}

TEST_F(Engine, PauseKeepsAnalysingTheLastFrameWithoutFetchingOrRecording) {
  ORV::Test::TempDir dir;
  engine->LoadCamera(0);
  engine->SetVideoScaleFactor(1);
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  engine->StartRecording(dir / "Record_1.avi");
  camera->Deliver(Grey(10));
  engine->PauseCapture();
  EXPECT_TRUE(engine->IsPaused());
  camera->Deliver(Grey(20));
  EXPECT_EQ(engine->ShownFrame()->at<std::uint8_t>(0, 0), 10);
  EXPECT_EQ(events.framesPrepared.load(), 2);  // analysed all the same
  clock.now = 5000;
  engine->ResumeCapture();
  camera->Deliver(Grey(30));
  EXPECT_EQ(engine->ShownFrame()->at<std::uint8_t>(0, 0), 30);
  EXPECT_EQ(engine->Analysis().GetAnalysisData().frameTime, 0);  // the paused span is left out
  engine->StopRecording();
  std::ifstream dta(dir / "Analysis_1.dta", std::ios::binary | std::ios::ate);
  EXPECT_EQ(dta.tellg(), 2 * 188);
}

TEST_F(Engine, TheMeasuredFrameRateUsesMilliseconds) {
  const struct {
    std::uint64_t frames;
    std::uint32_t elapsedMs;
    std::uint32_t rate;
  } cases[] = {
      {250, 10000, 25},   {250, 1999, 125},  // whole seconds would say 250
      {10, 999, 0},                          // under a second: the opening rate stays
      {0, 5000, 0},       {3, 5000, 0},      // under a frame a second
      {2000, 1000, 2000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CVideoBuffer::MeasuredFrameRate(c.frames, c.elapsedMs), c.rate) << c.frames << " in " << c.elapsedMs;
}

// The AVI's stream rate and microseconds a frame.
std::pair<std::uint32_t, std::uint32_t> AviRate(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> head(224);
  in.read(reinterpret_cast<char*>(head.data()), head.size());
  return {Bytes::GetLE<std::uint32_t>(head.data() + 132), Bytes::GetLE<std::uint32_t>(head.data() + 32)};
}

TEST_F(Engine, StopRecordingStampsTheMeasuredRate) {
  ORV::Test::TempDir dir;
  engine->LoadCamera(0);
  engine->SetVideoScaleFactor(2);
  clock.now = 100000;
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  const struct {
    int frames;
    std::uint32_t elapsed;
    std::uint32_t rate, microseconds;
  } cases[] = {
      {30, 1999, 15, 66666},  // 30 frames in 1.999 s
      {40, 2000, 20, 50000},
      {5, 800, 15, 66666},  // under a second: the rate it was opened with
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string file = dir / ("Record_" + std::to_string(++n) + ".avi");
    engine->StartRecording(file);
    EXPECT_TRUE(engine->IsRecording());
    const std::uint32_t start = clock.now;
    for (int i = 0; i < c.frames; ++i) {
      clock.now = start + c.elapsed * i / c.frames;
      camera->Deliver(Grey(static_cast<std::uint8_t>(i)));
    }
    clock.now = start + c.elapsed;
    engine->StopRecording();
    EXPECT_FALSE(engine->IsRecording());
    EXPECT_EQ(AviRate(file), std::make_pair(c.rate, c.microseconds)) << file;
    std::ifstream dta(dir / ("Analysis_" + std::to_string(n) + ".dta"), std::ios::binary | std::ios::ate);
    EXPECT_EQ(dta.tellg(), c.frames * 188);
  }
}

TEST_F(Engine, ALostDeviceStopsTheCameraButStaysCapturingAndStartsAgainOnTheSameView) {
  ORV::Test::TempDir dir;
  engine->LoadCamera(0);
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  engine->StartRecording(dir / "Record_0.avi");
  ASSERT_TRUE(engine->IsRecording());
  EXPECT_FALSE(engine->RestartLostCamera()) << "nothing is lost";
  events.Clear();
  engine->OnWindowMessage(WM_CAMERA_DEVICE_LOST);
  EXPECT_EQ(events.Calls(), (std::vector<std::string>{"CaptureStopped"}));
  EXPECT_EQ(camera->stops.load(), 1);
  EXPECT_TRUE(engine->IsCapturing());
  EXPECT_TRUE(engine->CameraLost());
  camera->Deliver(Grey(1));  // detached
  EXPECT_EQ(events.framesPrepared.load(), 0);

  // Back: the same view takes its frames again; nothing was reset and the
  // recording goes on.
  events.Clear();
  ASSERT_TRUE(engine->RestartLostCamera());
  EXPECT_FALSE(engine->CameraLost());
  EXPECT_EQ(camera->starts.load(), 2);
  EXPECT_EQ(camera->opened, "Camera 1");
  camera->Deliver(Grey(2));
  EXPECT_EQ(events.framesPrepared.load(), 1);
  EXPECT_EQ(events.Count("ZonesReset"), 0);
  EXPECT_EQ(events.Count("CaptureStopped"), 0);
  EXPECT_TRUE(engine->IsRecording());
  EXPECT_FALSE(engine->RestartLostCamera()) << "running again";
  engine->StopCapture();
  EXPECT_EQ(events.Count("CaptureStopped"), 1);
  EXPECT_FALSE(engine->CameraLost());
}

}  // namespace
}  // namespace ORV::CaptureTest

// The simulated vessel through the whole engine: a live run recorded and
// played back through the same analysis, a tilted vessel straightened by the
// view's rotation, and a camera library delivering frames on its own thread
// while capture starts, stops and the engine goes away.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "analysis_control/capture_engine.h"
#include "engine_fixtures.h"
#include "tests/support/test_support.h"
#include "video/cameras/tis_camera_interface.h"

namespace ORV::CaptureTest {
namespace {

std::unique_ptr<CaptureEngine> MakeEngine(EngineEvents& events, FakeClock& clock, FakeCamera::Setup setup,
                                          FakeCamera** camera) {
  CaptureEngineServices services;
  services.createCamera = [setup, camera](int) {
    auto c = std::make_unique<FakeCamera>(setup);
    *camera = c.get();
    return c;
  };
  services.executor = std::make_shared<AnalysisTest::InlineExecutor>();
  auto engine = std::make_unique<CaptureEngine>(events, services);
  engine->SetRelativeTime(&clock);
  engine->SetNotifyWindow(std::make_shared<NullWindow>());
  engine->LoadCamera(0);
  return engine;
}

TEST(VesselCapture, ARecordedRunPlaysBackWithTheSameZoneResults) {
  // Ten seconds at 25 frames a second, on a clock the test moves.
  constexpr int kWidth = 400, kHeight = 96, kRate = 25, kFrames = 10 * kRate;
  const ZoneRect zone{40, 16, 320, 64};
  Sim::VesselCamera vessel(SlowPulse, VesselOptions(kWidth, kHeight, kRate, false));
  EngineEvents events;
  FakeClock clock;
  clock.now = 1000;
  FakeCamera* camera = nullptr;
  auto engine = MakeEngine(events, clock, {{"DMx 41AU02 1"}, kWidth, kHeight, kRate, true, true}, &camera);
  ORV::Test::TempDir dir;
  const std::string file = dir / "Record_3.avi";

  engine->SetVideoScaleFactor(1);
  engine->StartRecording(file);
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  ASSERT_EQ(engine->Analysis().AddZone(zone), 0);
  Sim::VesselFrame frame;
  std::vector<Sim::VesselEdges> truth;
  for (int i = 0; i < kFrames; ++i) {
    clock.now = 1000 + 1000 * i / kRate;
    ASSERT_EQ(vessel.Grab(i, frame), Sim::GrabResult::Frame);
    truth.push_back(frame.truth);
    camera->Deliver(frame.pixels);
  }
  clock.now = 1000 + 10000;
  engine->StopRecording();
  engine->StopCapture();
  const std::vector<ZoneEvent> live = events.Zones();
  ASSERT_EQ(live.size(), static_cast<std::size_t>(kFrames));
  // The live run itself measures the truth (history of three frames aside).
  for (int i = 3; i < kFrames; ++i)
    EXPECT_NEAR(live[i].vesselRight - live[i].vesselLeft, truth[i].outerRight - truth[i].outerLeft, 2) << i;

  events.Clear();
  ASSERT_TRUE(engine->PlayVideoFile(file));
  EXPECT_EQ(engine->GetVideoFramesPerSecond(), kRate);
  EXPECT_EQ(engine->GetVideoFrameCount(), kFrames);
  ASSERT_EQ(engine->Analysis().AddZone(zone), 0);
  while (engine->IsCapturing()) {
    clock.now += 1000 / kRate;
    engine->OnTimer();
  }
  // Frames 1 to the one before the last are analysed.
  const std::vector<ZoneEvent> replay = events.Zones();
  ASSERT_EQ(replay.size(), static_cast<std::size_t>(kFrames - 2));
  for (std::size_t i = 2; i < replay.size(); ++i) {
    const ZoneEvent& l = live[i + 1];
    const ZoneEvent& r = replay[i];
    EXPECT_NEAR(r.vesselLeft, l.vesselLeft, 1) << "frame " << i + 1;
    EXPECT_NEAR(r.vesselRight, l.vesselRight, 1) << "frame " << i + 1;
    EXPECT_NEAR(r.lumenLeft, l.lumenLeft, 1) << "frame " << i + 1;
    EXPECT_NEAR(r.lumenRight, l.lumenRight, 1) << "frame " << i + 1;
  }
}

TEST(VesselCapture, ATiltedVesselIsMeasuredStraightThroughTheViewsRotation) {
  constexpr int kSide = 480;
  const ZoneRect zone{80, 200, 320, 80};
  Sim::VesselCamera vessel(Steady, VesselOptions(kSide, kSide, 15, true));
  Sim::VesselFrame frame;
  ASSERT_EQ(vessel.Grab(0, frame), Sim::GrabResult::Frame);
  // The camera sees the vessel turned 10 degrees about the picture's centre.
  const cv::Mat upright(kSide, kSide, CV_8UC1, frame.pixels.data());
  cv::Mat tilted;
  cv::warpAffine(upright, tilted, cv::getRotationMatrix2D({kSide / 2.0f, kSide / 2.0f}, 10.0, 1.0), upright.size(),
                 cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  const std::vector<std::uint8_t> pixels(tilted.datastart, tilted.dataend);

  EngineEvents events;
  FakeClock clock;
  FakeCamera* camera = nullptr;
  auto engine = MakeEngine(events, clock, {{"DMx 41AU02 1"}, kSide, kSide, 15, true, true}, &camera);
  ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
  engine->TransformCameraView(-10, 1.0f);
  ASSERT_EQ(engine->Analysis().AddZone(zone), 0);
  for (int i = 0; i < 3; ++i) camera->Deliver(pixels);
  ASSERT_EQ(events.Zones().size(), 3u);
  const ZoneEvent e = events.Zones().back();
  const Sim::VesselEdges& t = frame.truth;
  EXPECT_NEAR(e.vesselRight - e.vesselLeft, t.outerRight - t.outerLeft, 1);
  EXPECT_NEAR(e.lumenRight - e.lumenLeft, t.lumenRight - t.lumenLeft, 1);
  EXPECT_NEAR(zone.x + e.vesselLeft, t.outerLeft, 1);
  EXPECT_NEAR(zone.x + e.lumenLeft, t.lumenLeft, 1);
  // The view shows the turned picture, in pooled memory that the recorder
  // keeps without a copy; the camera frame stays as it came.
  EXPECT_NE(engine->ShownFrame(), engine->CameraFrame());
  EXPECT_TRUE(FramePool::IsPooled(*engine->ShownFrame()));
}

// A simulated camera of the library stand-in, delivering 200 frames a second
// on its own thread.
struct FastCamera : ::testing::Test {
  EngineEvents events;
  FakeClock clock;
  std::shared_ptr<VesselFeed> feed = std::make_shared<VesselFeed>(VesselOptions(160, 120, 200.0, true));

  std::unique_ptr<CaptureEngine> Make() {
    CaptureEngineServices services;
    services.createCamera = [this](int) {
      return std::make_unique<TISCameraInterface>(Cameras::SimulatedTisApi({feed}));
    };
    auto engine = std::make_unique<CaptureEngine>(events, services);
    engine->SetRelativeTime(&clock);
    engine->SetNotifyWindow(std::make_shared<NullWindow>());
    engine->LoadCamera(0);
    return engine;
  }

  void WaitForFrames(int frames) {
    const int target = events.framesPrepared.load() + frames;
    for (int i = 0; i < 2000 && events.framesPrepared.load() < target; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST_F(FastCamera, StartsAndStopsTwoHundredTimesWhileFramesArrive) {
  auto engine = Make();
  ASSERT_EQ(engine->GetCameraCount(), 1);
  for (int cycle = 0; cycle < 200; ++cycle) {
    ASSERT_TRUE(engine->StartCapture("DMx 41AU02")) << cycle;
    engine->Analysis().AddZone({10, 10, 140, 100});
    if (cycle % 20 == 0) WaitForFrames(2);
    engine->StopCapture();
    const int after = events.framesPrepared.load();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_EQ(events.framesPrepared.load(), after) << "a frame after StopCapture, cycle " << cycle;
  }
  EXPECT_GT(events.framesPrepared.load(), 0);
  EXPECT_EQ(events.Count("CaptureStopped"), 200);
}

TEST_F(FastCamera, GoesAwayWhileFramesArrive) {
  for (int round = 0; round < 20; ++round) {
    auto engine = Make();
    ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
    engine->Analysis().AddZone({10, 10, 140, 100});
    WaitForFrames(1);
    engine.reset();
  }
  EXPECT_GT(events.Zones().size(), 0u);
}

}  // namespace
}  // namespace ORV::CaptureTest

// Playback of recorded video files through the capture engine: the length
// texts, moving in the file, catching up with the clock, the end of the file
// and a file cut short.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis_control/capture_engine.h"
#include "engine_fixtures.h"
#include "tests/support/test_support.h"

namespace ORV::CaptureTest {
namespace {

TEST(FormatDuration, WritesSecondsMinutesAndHours) {
  EXPECT_EQ(FormatDuration(10), "10");
  EXPECT_EQ(FormatDuration(9), " 9");
  EXPECT_EQ(FormatDuration(0), " 0");
  EXPECT_EQ(FormatDuration(60), "1:00");
  EXPECT_EQ(FormatDuration(3725), "1:02:05");
}

// Records `frames` frames at 25 a second (frame n is grey 2n, up to 250) and
// leaves the engine idle.
struct Playback : ::testing::Test {
  static constexpr int kFrames = 125;
  FakeCamera::Setup setup{{"DMx 41AU02 1"}, 96, 64, 25, true, true};
  FakeCamera* camera = nullptr;
  EngineEvents events;
  FakeClock clock;
  ORV::Test::TempDir dir;
  std::unique_ptr<CaptureEngine> engine;
  std::string file = dir / "Record_1.avi";

  void SetUp() override {
    CaptureEngineServices services;
    services.createCamera = [this](int) {
      auto c = std::make_unique<FakeCamera>(setup);
      camera = c.get();
      return c;
    };
    services.executor = std::make_shared<AnalysisTest::InlineExecutor>();
    engine = std::make_unique<CaptureEngine>(events, services);
    engine->SetRelativeTime(&clock);
    engine->SetNotifyWindow(std::make_shared<NullWindow>());
    engine->LoadCamera(0);
    engine->SetVideoScaleFactor(1);
    Record(file, kFrames);
    events.Clear();
  }

  void Record(const std::string& path, int frames) {
    engine->StartRecording(path);
    ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
    const std::uint32_t start = clock.now;
    for (int i = 0; i < frames; ++i) {
      clock.now = start + 40 * i;
      camera->Deliver(std::vector<std::uint8_t>(96 * 64, static_cast<std::uint8_t>(std::min(2 * i, 250))));
    }
    clock.now = start + 40 * frames;
    engine->StopCapture();
  }

  // Ticks the frame timer with the clock moving `step` ms a tick.
  void Tick(int ticks, std::uint32_t step = 40) {
    for (int i = 0; i < ticks; ++i) {
      clock.now += step;
      engine->OnTimer();
    }
  }

  int ShownGrey() const { return engine->ShownFrame()->at<std::uint8_t>(32, 48); }
};

TEST_F(Playback, OpensTheFileAndShowsItsLength) {
  ASSERT_TRUE(engine->PlayVideoFile(file));
  EXPECT_EQ(events.Calls(), (std::vector<std::string>{"ZonesReset", "DimensionsChanged 96x64", "ZonesReset"}));
  EXPECT_TRUE(engine->IsCapturing());
  EXPECT_TRUE(engine->IsVideoPlaying());
  EXPECT_EQ(engine->GetSourceType(), kSourceVideoFile);
  EXPECT_EQ(engine->GetVideoFrameCount(), kFrames);
  EXPECT_EQ(engine->GetVideoFramesPerSecond(), 25);
  EXPECT_EQ(engine->GetFrameRate(), 40u);
  EXPECT_EQ(engine->GetVideoFrameIndex(), 1);
  EXPECT_EQ(engine->VideoPositionText(), " 0 /  5");
  EXPECT_NEAR(ShownGrey(), 0, 2);
  Tick(3);
  EXPECT_NEAR(ShownGrey(), 6, 2);

  EXPECT_FALSE(engine->PlayVideoFile(dir / "missing.avi"));
  EXPECT_FALSE(engine->IsCapturing());
  EXPECT_FALSE(engine->IsVideoPlaying());
}

TEST_F(Playback, MovesInTheFile) {
  ASSERT_TRUE(engine->PlayVideoFile(file));
  engine->SetCurrentVideoTimeInSeconds(4);
  EXPECT_EQ(engine->GetVideoFrameIndex(), 100);
  Tick(1);
  EXPECT_NEAR(ShownGrey(), 200, 2);
  EXPECT_EQ(engine->VideoPositionText(), " 4 /  5");
  engine->SetCurrentVideoTimeInSeconds(5);  // frame 125 does not exist
  EXPECT_EQ(engine->GetVideoFrameIndex(), 101);
  engine->VideoForward();  // 30 s on is past the end
  EXPECT_EQ(engine->GetVideoFrameIndex(), 101);
  engine->VideoBackward();
  EXPECT_EQ(engine->GetVideoFrameIndex(), 0);

  // A step while paused shows that one frame: after the move to the start a
  // step of 1 shows frame 0, 20 more frame 20, and each step of 1 the next
  // frame (none is passed over).
  engine->PauseCapture();
  Tick(2);
  EXPECT_EQ(engine->GetVideoFrameIndex(), 0);
  EXPECT_FALSE(engine->SeekFramesFromCurrentPosition(-1));
  EXPECT_FALSE(engine->SeekFramesFromCurrentPosition(kFrames + 1));
  ASSERT_TRUE(engine->SeekFramesFromCurrentPosition(1));
  Tick(1);
  EXPECT_NEAR(ShownGrey(), 0, 2);
  ASSERT_TRUE(engine->SeekFramesFromCurrentPosition(20));
  Tick(1);
  EXPECT_NEAR(ShownGrey(), 40, 2);
  Tick(2);
  EXPECT_EQ(engine->GetVideoFrameIndex(), 21);
  for (const int grey : {42, 44}) {
    ASSERT_TRUE(engine->SeekFramesFromCurrentPosition(1));
    Tick(1);
    EXPECT_NEAR(ShownGrey(), grey, 2);
  }
  ASSERT_TRUE(engine->SeekFramesFromCurrentPosition(-2));
  Tick(1);
  EXPECT_NEAR(ShownGrey(), 40, 2);

  engine->StartRecording(dir / "Record_2.avi");  // a recording of the replay
  EXPECT_FALSE(engine->SeekFramesFromCurrentPosition(1));
}

TEST_F(Playback, CatchesUpWithTheClockOnEveryTenthFrame) {
  ASSERT_TRUE(engine->PlayVideoFile(file));
  Tick(9);  // in step with the clock
  EXPECT_EQ(engine->GetVideoFrameIndex(), 10);
  ASSERT_TRUE(engine->PlayVideoFile(file));
  Tick(8, 80);  // the clock runs twice as fast
  EXPECT_EQ(engine->GetVideoFrameIndex(), 9);
  Tick(1, 80);  // frame 10: 720 ms are 18 frames
  EXPECT_EQ(engine->GetVideoFrameIndex(), 18);
  EXPECT_NEAR(ShownGrey(), 34, 2);
}

TEST_F(Playback, TheEndOfTheFileStopsOnce) {
  ASSERT_TRUE(engine->PlayVideoFile(file));
  ASSERT_EQ(engine->Analysis().AddZone({10, 10, 60, 40}), 0);
  int ticks = 0;
  while (engine->IsCapturing() && ticks < 1000) {
    Tick(1);
    ++ticks;
  }
  EXPECT_EQ(ticks, kFrames - 1);
  EXPECT_EQ(events.Count("CaptureStopped"), 1);
  EXPECT_EQ(engine->Analysis().GetZoneCount(), 0);
  EXPECT_EQ(engine->GetVideoFrameCount(), 0);
  EXPECT_FALSE(engine->IsVideoPlaying());
  Tick(3);
  EXPECT_EQ(events.Count("CaptureStopped"), 1);
}

TEST_F(Playback, AFileCutShortEndsPlaybackCleanly) {
  // The header keeps saying 125 frames; the index and the later frames are gone.
  const auto size = std::filesystem::file_size(file);
  std::filesystem::resize_file(file, size / 2);
  ASSERT_TRUE(engine->PlayVideoFile(file));
  int ticks = 0;
  while (engine->IsCapturing() && ticks < 1000) {
    Tick(1);
    ++ticks;
  }
  EXPECT_LT(ticks, kFrames - 1);
  EXPECT_EQ(events.Count("CaptureStopped"), 1);
  EXPECT_FALSE(engine->IsCapturing());
}

}  // namespace
}  // namespace ORV::CaptureTest

// The Imaging Source back-end against a scripted library: library start-up,
// opening by name, the automatic controls, ranges, frames and device loss.
#include "video/cameras/tis_camera_interface.h"

#include <gtest/gtest.h>

#include "tests/video/camera_fakes.h"

namespace ORV {
namespace {

using Test::CopyingCallback;
using Test::FakeTis;
using Test::RecordingWindow;

TEST(TISCameraInterface, IsAvailableOnlyWithATriggerCapableGrabber) {
  struct Case {
    bool initialises, trigger, available;
  };
  for (const Case& c : {Case{true, true, true}, Case{true, false, false}, Case{false, true, false}}) {
    FakeTis tis;
    tis.initialises = c.initialises;
    tis.trigger = c.trigger;
    {
      TISCameraInterface camera(tis.Table());
      EXPECT_EQ(camera.IsAvailable(), c.available);
      EXPECT_EQ(camera.GetDeviceCount(), c.available ? 2 : 0);
      if (c.available) {
        EXPECT_STREQ(camera.GetDeviceName(1), "DMx 41AU02 (2)");
        EXPECT_STREQ(camera.GetUniqueName(0), "DMx 41AU02 41310001");
      } else {
        EXPECT_EQ(camera.GetDeviceName(0), nullptr);
        EXPECT_EQ(camera.GetUniqueName(0), nullptr);
      }
      EXPECT_EQ(tis.log.Count("SetCallbacks"), c.available ? 1 : 0);
      // Without the library there is no grabber to open with.
      EXPECT_EQ(camera.Open("DMx 41AU02"), c.initialises);
    }
    // Every grabber the library handed out is released.
    EXPECT_EQ(tis.log.Count("ReleaseGrabber"), tis.log.Count("CreateGrabber"));
  }
}

TEST(TISCameraInterface, OpensByNameAtTheRateTheLibraryReports) {
  for (double rate : {15.0, 29.97, 7.5}) {
    FakeTis tis;
    tis.frameRate = rate;
    TISCameraInterface camera(tis.Table());
    EXPECT_FALSE(camera.Open("DFx 99ZZ99"));
    ASSERT_TRUE(camera.Open("DMx 41AU02 (2)"));
    EXPECT_EQ(camera.GetFrameRate(), static_cast<int>(rate));
    EXPECT_EQ(camera.GetWidth(), 1280);
    EXPECT_EQ(camera.GetHeight(), 960);
    EXPECT_EQ(tis.log.Count("SetFrameRate 15.000000"), 1);
    EXPECT_EQ(tis.log.Count("SetFormat 0"), 1);
  }
  // A device that reports no usable size is closed again.
  for (auto [width, height] : {std::pair{0, 960}, std::pair{-1280, 960}, std::pair{1 << 16, 1 << 16}}) {
    FakeTis tis;
    tis.width = width;
    tis.height = height;
    TISCameraInterface camera(tis.Table());
    EXPECT_FALSE(camera.Open("DMx 41AU02")) << width << "x" << height;
    EXPECT_EQ(tis.log.Count("CloseVideoCaptureDevice"), 1);
    EXPECT_EQ(camera.GetWidth(), 0);
  }
}

TEST(TISCameraInterface, StartSwitchesAutomaticControlsOffAndReadsRanges) {
  FakeTis tis;
  tis.autoVideo = {8, 5, 9, 0, 1, 7, 3};  // offered in another order, and one more
  TISCameraInterface camera(tis.Table());
  ASSERT_TRUE(camera.Open("DMx 41AU02"));
  // Before Start the ranges are 0 to 0, with the current value.
  int mn = -1, mx = -1, v = -1;
  ASSERT_TRUE(camera.GetGain(&mn, &mx, &v));
  EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({0, 0, 16}));
  ASSERT_TRUE(camera.Start());
  std::vector<std::string> started;
  for (const auto& call : tis.log.calls()) {
    if (call.starts_with("Auto") || call.starts_with("SetContinuous") || call.starts_with("StartLive"))
      started.push_back(call);
  }
  EXPECT_EQ(started, (std::vector<std::string>{"SetContinuousMode 0", "AutoVideo 9 0", "AutoVideo 0 0", "AutoVideo 1 0",
                                               "AutoVideo 5 0", "AutoVideo 7 0", "AutoVideo 8 0", "AutoCamera 4 0",
                                               "StartLive 0"}));
  struct Range {
    bool (TISCameraInterface::*get)(int*, int*, int*);
    int minimum, maximum, value;
  };
  for (const Range& r :
       {Range{&TISCameraInterface::GetGain, 4, 63, 16}, Range{&TISCameraInterface::GetExposure, 1, 10000, 333},
        Range{&TISCameraInterface::GetGamma, 1, 500, 100}}) {
    ASSERT_TRUE((camera.*r.get)(&mn, &mx, &v));
    EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({r.minimum, r.maximum, r.value}));
  }
  // Set passes the library's own units unchanged, even outside the range.
  EXPECT_TRUE(camera.SetGain(70));
  EXPECT_TRUE(camera.SetExposure(-3));
  EXPECT_TRUE(camera.SetGamma(250));
  EXPECT_EQ(tis.values, (std::map<int, long>{{9, 70}, {0, -3}, {5, 250}}));
  camera.Stop();
  EXPECT_FALSE(camera.GetGain(&mn, &mx, &v));
  EXPECT_FALSE(camera.SetGamma(1));
  EXPECT_EQ(tis.log.Count("CloseVideoCaptureDevice"), 1);
}

TEST(TISCameraInterface, PropertiesRefusedBeforeOpen) {
  FakeTis tis;
  TISCameraInterface camera(tis.Table());
  int mn, mx, v;
  EXPECT_FALSE(camera.GetExposure(&mn, &mx, &v));
  EXPECT_FALSE(camera.SetExposure(10));
  EXPECT_EQ(tis.log.Count("SetVideoProperty 0 10"), 0);
}

TEST(TISCameraInterface, HandsFramesToTheCallbackOnlyWithANotifyWindow) {
  FakeTis tis;
  tis.width = 4;
  tis.height = 2;
  TISCameraInterface camera(tis.Table());
  ASSERT_TRUE(camera.Open("DMx 41AU02"));
  CopyingCallback callback(&camera);
  camera.SetFrameCallback(&callback);
  ASSERT_TRUE(camera.Start());
  std::vector<std::uint8_t> copy(8, 0);
  EXPECT_FALSE(camera.CopyFrame(copy.data()));
  tis.Deliver({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(callback.calls(), 0);
  ASSERT_TRUE(camera.CopyFrame(copy.data()));  // kept all the same
  EXPECT_EQ(copy, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  auto window = std::make_shared<RecordingWindow>();
  camera.SetNotifyWindow(window);
  tis.Deliver({8, 7, 6, 5, 4, 3, 2, 1});
  EXPECT_EQ(callback.calls(), 1);
  EXPECT_TRUE(callback.copied());
  EXPECT_EQ(callback.last(), (std::vector<std::uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_TRUE(window->messages().empty());  // frames are never posted
  camera.SetFrameCallback(nullptr);
  tis.Deliver({0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(callback.calls(), 1);
}

TEST(TISCameraInterface, FramesWithFewerRowsThanTheFormatAreCountedTornAndNeitherKeptNorHandedOn) {
  FakeTis tis;
  tis.width = 4;
  tis.height = 2;
  TISCameraInterface camera(tis.Table());
  ASSERT_TRUE(camera.Open("DMx 41AU02"));
  CopyingCallback callback(&camera);
  camera.SetFrameCallback(&callback);
  camera.SetNotifyWindow(std::make_shared<RecordingWindow>());
  ASSERT_TRUE(camera.Start());
  const struct {
    int rows;  // as the library tells them
    std::uint8_t value;
    bool whole;
  } cases[] = {
      {-1, 1, true},  // not told: whole
      {2, 2, true},  {1, 3, false}, {0, 4, false}, {2, 5, true},
  };
  int calls = 0;
  std::uint64_t torn = 0;
  std::uint8_t kept = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    tis.rows = c.rows;
    tis.Deliver(std::vector<std::uint8_t>(8, c.value));
    calls += c.whole ? 1 : 0;
    torn += c.whole ? 0 : 1;
    if (c.whole) kept = c.value;
    EXPECT_EQ(callback.calls(), calls);
    EXPECT_EQ(camera.TornFrames(), torn);
    std::vector<std::uint8_t> copy(8, 0);
    ASSERT_TRUE(camera.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<std::uint8_t>(8, kept)) << "the newest whole frame";
  }
}

TEST(TISCameraInterface, ReportsALostDeviceToTheNotifyWindow) {
  FakeTis tis;
  TISCameraInterface camera(tis.Table());
  ASSERT_TRUE(camera.Open("DMx 41AU02"));
  tis.LoseDevice();  // nobody to tell
  auto window = std::make_shared<RecordingWindow>();
  camera.SetNotifyWindow(window);
  tis.LoseDevice();
  EXPECT_EQ(window->messages(), (std::vector<std::uint32_t>{0x819B}));
  EXPECT_EQ(camera.GetNotifyWindow(), window);
}

}  // namespace
}  // namespace ORV

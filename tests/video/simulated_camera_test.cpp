// The simulated lab's cameras seen through The Imaging Source back-end, as
// the program sees them: detection, opening by name, frames at their rate,
// the properties' effect on the picture, and an unplugged camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/cameras/simlab/simulated_tis.h"
#include "shell/program/simulated_lab_choice.h"
#include "tests/video/camera_fakes.h"
#include "video/cameras/lumenera_interface.h"
#include "video/cameras/tis_camera_interface.h"
#include "video/cameras/ximea_interface.h"

namespace ORV {
namespace {

using namespace Cameras;
using Test::CopyingCallback;
using Test::RecordingWindow;

// A camera whose frame n is filled with n (plus an offset), whose size may
// change and which may be unplugged after a number of frames.
class ScriptedFeed : public OS::StandInCamera {
 public:
  ScriptedFeed(int width, int height, std::uint8_t offset) : width_(width), height_(height), offset_(offset) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  double FrameRate() const override { return rate_; }
  void SetFrameRate(double rate) override { rate_ = rate; }
  void SetResponse(double gain, double gamma) override {
    gain_ = gain;
    gamma_ = gamma;
  }
  Fill FillNextFrame(std::vector<std::uint8_t>& pixels, int& width, int& height) override {
    const std::uint64_t index = next_++;
    if (index >= lostAfter) return Fill::kLost;
    if (index % 4 == 3) return Fill::kDropped;
    width = index == 1 ? width_ + 1 : width_;  // frame 1 comes in another size
    height = height_;
    pixels.assign(static_cast<std::size_t>(width) * height, static_cast<std::uint8_t>(offset_ + index));
    if (torn) pixels.resize(pixels.size() / 2);  // cut short: the upper half's rows
    return Fill::kFrame;
  }

  std::atomic<bool> torn{false};
  std::atomic<double> rate_{30.0};
  std::atomic<double> gain_{1.0}, gamma_{1.0};
  std::atomic<std::uint64_t> lostAfter{1000000};

 private:
  int width_, height_;
  std::uint8_t offset_;
  std::uint64_t next_ = 0;
};

struct SimulatedCameras : ::testing::Test {
  std::shared_ptr<ScriptedFeed> first = std::make_shared<ScriptedFeed>(8, 6, 0);
  std::shared_ptr<ScriptedFeed> second = std::make_shared<ScriptedFeed>(8, 6, 100);
  TisApi api = SimulatedTisApi({first, second});
};

TEST_F(SimulatedCameras, AreFoundAsCamerasOfTheFirstModel) {
  auto create = [&](int type) -> std::unique_ptr<CameraInterface> {
    if (type == kCameraTypeLumenera) return std::make_unique<LumeneraInterface>(LucamApi::Unbound());
    if (type == kCameraTypeXimea) return std::make_unique<XIMEAInterface>(XiApi::Unbound());
    return std::make_unique<TISCameraInterface>(api);
  };
  const CameraDetection found = DetectCameras("DMx 41AU02", create);
  EXPECT_EQ(found.cameraKind, kCameraTypeImagingSource);
  EXPECT_EQ(found.cameraCount, 2);
  EXPECT_EQ(found.deviceNames, (std::vector<std::string>{"DMx 41AU02 (1)", "DMx 41AU02 (2)"}));
  TISCameraInterface camera(api);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(IsKnownCameraModel(camera.GetUniqueName(i))) << i;
  EXPECT_EQ(camera.GetUniqueName(2), nullptr);
}

TEST_F(SimulatedCameras, DeliverFramesOfTheOpenedCamera) {
  TISCameraInterface camera(api);
  ASSERT_TRUE(camera.Open("DMx 41AU02 (2)"));
  EXPECT_EQ(camera.GetWidth(), 8);
  EXPECT_EQ(camera.GetHeight(), 6);
  EXPECT_EQ(camera.GetFrameRate(), 15);  // the back-end asks for 15 frames per second
  CopyingCallback callback(&camera);
  camera.SetFrameCallback(&callback);
  camera.SetNotifyWindow(std::make_shared<RecordingWindow>());
  ASSERT_TRUE(camera.Start());
  second->rate_ = 1000.0;  // no need to wait
  ASSERT_TRUE(callback.WaitForCalls(3));
  camera.Stop();
  const int calls = callback.calls();
  // Frame 0, then 2 (1 has another size, 3 is dropped), 4, ...: all of the second camera.
  EXPECT_EQ(callback.last().size(), 48u);
  EXPECT_GE(callback.last()[0], 100);
  EXPECT_NE(callback.last()[0], 101);
  EXPECT_NE(callback.last()[0], 103);
  EXPECT_EQ(callback.calls(), calls);  // nothing after Stop
}

TEST_F(SimulatedCameras, PropertiesChangeThePicturesResponse) {
  TISCameraInterface camera(api);
  ASSERT_TRUE(camera.Open("DMx 41AU02"));  // the model name opens the first camera
  ASSERT_TRUE(camera.Start());
  int mn, mx, v;
  ASSERT_TRUE(camera.GetGain(&mn, &mx, &v));
  EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({0, 100, 50}));
  ASSERT_TRUE(camera.SetGain(100));
  EXPECT_DOUBLE_EQ(first->gain_, 2.0);
  ASSERT_TRUE(camera.SetExposure(50));
  EXPECT_DOUBLE_EQ(first->gain_, 1.0);
  ASSERT_TRUE(camera.SetGamma(200));
  EXPECT_DOUBLE_EQ(first->gamma_, 2.0);
  EXPECT_FALSE(camera.SetGamma(301));  // outside the range
  ASSERT_TRUE(camera.GetGamma(&mn, &mx, &v));
  EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({10, 300, 200}));
  EXPECT_DOUBLE_EQ(second->gain_, 1.0);  // the other camera is untouched
}

TEST_F(SimulatedCameras, TornFramesAreCountedAndNeverHandedOn) {
  first->torn = true;
  TISCameraInterface camera(api);
  ASSERT_TRUE(camera.Open("DMx 41AU02 (1)"));
  first->rate_ = 1000.0;
  CopyingCallback callback(&camera);
  camera.SetFrameCallback(&callback);
  camera.SetNotifyWindow(std::make_shared<RecordingWindow>());
  ASSERT_TRUE(camera.Start());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (camera.TornFrames() < 5 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_GE(camera.TornFrames(), 5u);
  EXPECT_EQ(callback.calls(), 0);
  std::vector<std::uint8_t> copy(48, 0);
  EXPECT_FALSE(camera.CopyFrame(copy.data())) << "no frame kept";
  // Whole again: handed on.
  first->torn = false;
  ASSERT_TRUE(callback.WaitForCalls(2));
  camera.Stop();
  EXPECT_EQ(callback.last().size(), 48u);
}

TEST_F(SimulatedCameras, AnUnpluggedCameraIsReportedLost) {
  first->lostAfter = 2;
  first->rate_ = 1000.0;
  TISCameraInterface camera(api);
  ASSERT_TRUE(camera.Open("DMx 41AU02 (1)"));
  first->rate_ = 1000.0;
  auto window = std::make_shared<RecordingWindow>();
  camera.SetNotifyWindow(window);
  ASSERT_TRUE(camera.Start());
  ASSERT_TRUE(window->WaitForMessages(1));
  EXPECT_EQ(window->messages(), (std::vector<std::uint32_t>{0x819B}));
  camera.Stop();
}

}  // namespace
}  // namespace ORV

namespace ORV {
namespace {

// Detects the cameras with the simulated lab switched on, opens the third and
// checks two of its frames; 0 when all is well, else the failing step.
int DetectAndWatchTheLabsCameras() {
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", "3", 1);
  auto lab = Shell::StartSimulatedLabWhenAsked();
  if (lab == nullptr || OS::OfferedStandInDevices() != lab.get()) return 1;
  const CameraDetection found = DetectCameras();
  if (found.cameraKind != kCameraTypeImagingSource || found.cameraCount != 3) return 2;
  TISCameraInterface camera;
  if (!camera.Open(found.deviceNames[2]) || camera.GetWidth() <= 0 || camera.GetFrameRate() != 15) return 3;
  CopyingCallback callback(&camera);
  camera.SetFrameCallback(&callback);
  camera.SetNotifyWindow(std::make_shared<RecordingWindow>());
  if (!camera.Start() || !callback.WaitForCalls(2) || !callback.copied()) return 4;
  camera.Stop();
  // A vessel: dark walls on a bright background.
  const std::vector<std::uint8_t> frame = callback.last();
  const auto [darkest, brightest] = std::minmax_element(frame.begin(), frame.end());
  if (*darkest >= 100 || *brightest <= 150) return 5;
  // Released, the lab is taken back from the device lists.
  lab.reset();
  return OS::OfferedStandInDevices() == nullptr ? 0 : 6;
}

// Only ORV_SIMLAB=1 starts the lab; any other value, or none, leaves the
// device lists to the machine.
TEST(SimulatedLab, OnlyTheSettingOneStartsIt) {
  for (const char* value : {static_cast<const char*>(nullptr), "", "0", "yes", "1 "}) {
    SCOPED_TRACE(value ? value : "unset");
    if (value) {
      setenv("ORV_SIMLAB", value, 1);
    } else {
      unsetenv("ORV_SIMLAB");
    }
    EXPECT_EQ(Shell::StartSimulatedLabWhenAsked(), nullptr);
    EXPECT_EQ(OS::OfferedStandInDevices(), nullptr);
  }
  unsetenv("ORV_SIMLAB");
}

// The lab started as the program starts it (ORV_SIMLAB=1) offers its vessel
// cameras through the process's own library table (run in a fresh process:
// the makers' libraries are looked for once).
TEST(SimulatedLab, OffersItsVesselCamerasAsCamerasOfTheFirstModel) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(DetectAndWatchTheLabsCameras()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ORV

// The XIMEA back-end and its acquisition task against a scripted library:
// the 0-100 mappings, the thread's start, frames, retries and its end.
#include "video/cameras/ximea_interface.h"

#include <gtest/gtest.h>

#include "tests/video/camera_fakes.h"

namespace ORV {
namespace {

using namespace std::chrono_literals;
using Test::CopyingCallback;
using Test::FakeXi;
using Test::RecordingWindow;

// Opens a camera and waits until its task configured the device.
void OpenConfigured(XIMEAInterface& camera) {
  ASSERT_TRUE(camera.Open(""));
  ASSERT_TRUE(camera.task()->WaitReady(10s));
}

TEST(XIMEAInterface, ConfiguresTheFirstDeviceOnItsOwnThread) {
  FakeXi xi;
  XIMEAInterface camera(xi.Table());
  EXPECT_EQ(camera.GetDeviceCount(), 1);
  EXPECT_TRUE(camera.IsAvailable());
  EXPECT_STREQ(camera.GetUniqueName(5), "XIMEA");
  EXPECT_EQ(camera.GetDeviceName(0), nullptr);
  EXPECT_EQ(camera.GetWidth(), 0);  // no task yet
  EXPECT_FALSE(camera.Start());
  OpenConfigured(camera);
  ASSERT_TRUE(camera.Open("again"));  // a second Open starts no second thread
  EXPECT_EQ(camera.GetWidth(), 640);
  EXPECT_EQ(camera.GetHeight(), 512);
  EXPECT_EQ(camera.GetFrameRate(), 200);
  EXPECT_EQ(xi.Written(), (std::map<std::string, float>{{"exposure", 2500.0f},
                                                        {"framerate", 200.0f},
                                                        {"acq_timing_mode", 2.0f},
                                                        {"imgdataformat", 0.0f},
                                                        {"downsampling", 2.0f}}));
  EXPECT_EQ(xi.log.Count("OpenDevice 0"), 1);
  FakeXi none;
  none.devices = -1;  // the count cannot be read
  EXPECT_EQ(XIMEAInterface(none.Table()).GetDeviceCount(), 0);
}

TEST(XIMEAInterface, MapsParametersOntoTheUserScale) {
  FakeXi xi;
  XIMEAInterface camera(xi.Table());
  int mn = -1, mx = -1, v = -1;
  EXPECT_FALSE(camera.GetGain(&mn, &mx, &v));  // no task
  EXPECT_FALSE(camera.SetGain(10));
  OpenConfigured(camera);
  struct Case {
    bool (XIMEAInterface::*set)(int);
    int user;
    bool accepted;
    const char* parameter;
    float camera;
  };
  for (const Case& c :
       {Case{&XIMEAInterface::SetGain, 50, true, "gain", 12.0f},
        Case{&XIMEAInterface::SetGain, 100, true, "gain", 24.0f}, Case{&XIMEAInterface::SetGain, 101, false, "gain", 0},
        Case{&XIMEAInterface::SetGain, -1, false, "gain", 0},
        Case{&XIMEAInterface::SetExposure, 0, true, "exposure", 2000.0f},
        Case{&XIMEAInterface::SetExposure, 100, true, "exposure", 5000.0f},
        Case{&XIMEAInterface::SetExposure, 33, true, "exposure", 2990.0f},
        Case{&XIMEAInterface::SetExposure, 101, false, "exposure", 0},
        Case{&XIMEAInterface::SetGamma, 50, true, "gammaY", 0.65f}}) {
    ASSERT_EQ((camera.*c.set)(c.user), c.accepted) << c.parameter << " " << c.user;
    if (c.accepted) {
      EXPECT_FLOAT_EQ(xi.Written()[c.parameter], c.camera) << c.parameter << " " << c.user;
    }
  }
  ASSERT_TRUE(camera.SetGain(50));
  ASSERT_TRUE(camera.GetGain(&mn, &mx, &v));
  EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({0, 100, 50}));
  ASSERT_TRUE(camera.GetExposure(&mn, &mx, &v));  // 2500 us read back as a float
  EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({0, 100, 16}));
  ASSERT_TRUE(camera.GetGamma(nullptr, &mx, nullptr));  // every out-argument is optional
  EXPECT_EQ(mx, 100);
}

TEST(XIMEAInterface, ACameraWithASingleGainValueDividesByNothing) {
  FakeXi xi;
  xi.floats["gain:min"] = xi.floats["gain:max"] = xi.floats["gain"] = 6.0f;
  XIMEAInterface camera(xi.Table());
  OpenConfigured(camera);
  int mn = -1, mx = -1, v = -1;
  ASSERT_TRUE(camera.GetGain(&mn, &mx, &v));
  EXPECT_EQ(std::vector<int>({mn, mx, v}), std::vector<int>({0, 0, 0}));
  EXPECT_FALSE(camera.SetGain(50));
  EXPECT_TRUE(camera.SetGain(0));
  EXPECT_FLOAT_EQ(xi.Written()["gain"], 6.0f);
}

TEST(XIMEAInterface, CopiesEachFrameFollowsSizeChangesAndRefusesTornFrames) {
  FakeXi xi;
  xi.ints["width"] = 4;
  xi.ints["height"] = 2;
  // The 4 x 1 frame has fewer rows than the format: torn, and not handed on.
  xi.script = {{4, 2, 1}, {3, 3, 3}, {4, 1, 7}, {4, 2, 5}, {}};
  XIMEAInterface camera(xi.Table());
  OpenConfigured(camera);
  CopyingCallback callback(&camera);
  camera.SetFrameCallback(&callback);
  ASSERT_TRUE(camera.Start());
  ASSERT_TRUE(callback.WaitForCalls(3));
  camera.Stop();
  ASSERT_TRUE(xi.log.WaitFor("StopAcquisition", 1));
  camera.SetFrameCallback(nullptr);
  // The callback copies inside the notification (the lock is recursive). The
  // 3 x 3 frame replaced the buffer but is not copied into a buffer sized for
  // the camera's 4 x 2; the next 4 x 2 frame is.
  EXPECT_EQ(callback.copiedEach(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(callback.last(), std::vector<std::uint8_t>(8, 5));
  EXPECT_EQ(camera.TornFrames(), 1u);
  std::vector<std::uint8_t> copy(8, 0);
  ASSERT_TRUE(camera.CopyFrame(copy.data()));
  EXPECT_EQ(copy, std::vector<std::uint8_t>(8, 5));
}

TEST(XIMEAInterface, PostsFramesWithoutACallbackAndDropsThemWithNeither) {
  FakeXi xi;
  xi.ints["width"] = 2;
  xi.ints["height"] = 2;
  xi.script = {{2, 2, 5}};
  auto window = std::make_shared<RecordingWindow>();
  {
    XIMEAInterface camera(xi.Table());
    OpenConfigured(camera);
    ASSERT_TRUE(camera.Start());
    ASSERT_TRUE(xi.log.WaitFor("GetImage", 2));
    std::vector<std::uint8_t> copy(4, 0);
    EXPECT_FALSE(camera.CopyFrame(copy.data()));  // nobody asked for frames
    camera.SetNotifyWindow(window);
    ASSERT_TRUE(window->WaitForMessages(1));
    ASSERT_TRUE(camera.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<std::uint8_t>(4, 5));
  }
  // Destruction joined the thread: nothing runs after it.
  const auto posted = window->messages().size();
  EXPECT_GE(posted, 1u);
  for (std::uint32_t m : window->messages()) EXPECT_EQ(m, 0x81FEu);
  EXPECT_EQ(xi.log.calls().back(), "CloseDevice");
  for (std::uint32_t size : xi.imageRecordSizes) EXPECT_EQ(size, 288u);
}

TEST(XIMEAInterface, ReopensAfterThreeFailedReadsAtMostThreeTimes) {
  FakeXi xi;
  xi.script = {{}};  // every read fails
  XIMEAInterface camera(xi.Table());
  OpenConfigured(camera);
  ASSERT_TRUE(camera.Start());
  ASSERT_TRUE(xi.log.WaitFor("CloseDevice", 3));
  ASSERT_TRUE(camera.task()->WaitReady(10s));
  EXPECT_FALSE(camera.SetGain(10));  // the device is closed for good
  int mn, mx, v = -1;
  ASSERT_TRUE(camera.GetGain(&mn, &mx, &v));
  EXPECT_EQ(v, 0);
  // The episodes: three reads, stop, close, open again; the third ends the thread.
  std::vector<std::string> expected;
  for (int episode = 0; episode < 3; ++episode) {
    for (const char* call : {"OpenDevice 0", "StartAcquisition", "GetImage failed", "GetImage failed",
                             "GetImage failed", "StopAcquisition", "CloseDevice"})
      expected.push_back(call);
  }
  camera.Stop();
  EXPECT_EQ(xi.log.calls(), expected);
}

TEST(XIMEAInterface, StopAndStartOnlyFlipAcquisition) {
  FakeXi xi;
  xi.script = {{2, 2, 1}};  // every read succeeds
  XIMEAInterface camera(xi.Table());
  OpenConfigured(camera);
  ASSERT_TRUE(camera.Start());
  ASSERT_TRUE(xi.log.WaitFor("GetImage", 2));
  camera.Stop();
  ASSERT_TRUE(xi.log.WaitFor("StopAcquisition", 1));
  ASSERT_TRUE(camera.Start());
  ASSERT_TRUE(xi.log.WaitFor("StartAcquisition", 2));
  camera.Stop();
  ASSERT_TRUE(xi.log.WaitFor("StopAcquisition", 2));
  // The device stayed open throughout: one open, closed only at the end.
  EXPECT_EQ(xi.log.Count("OpenDevice 0"), 1);
  EXPECT_EQ(xi.log.Count("CloseDevice"), 0);
}

TEST(XIMEAInterface, ATaskWithoutAUsableDeviceEndsAtOnce) {
  struct Case {
    const char* what;
    int devices, width;
    int closes;
  };
  for (const Case& c : {Case{"no device", 0, 640, 0}, Case{"no picture", 1, 0, 1}}) {
    FakeXi xi;
    xi.devices = c.devices;
    xi.ints["width"] = c.width;
    {
      XIMEAInterface camera(xi.Table());
      EXPECT_EQ(camera.IsAvailable(), c.devices > 0) << c.what;
      OpenConfigured(camera);  // the ready event is also set when the thread ends
      EXPECT_TRUE(camera.Start());
      EXPECT_EQ(camera.GetWidth(), 0) << c.what;
      EXPECT_FALSE(camera.SetGain(10)) << c.what;
    }
    EXPECT_EQ(xi.log.Count("OpenDevice 0"), 1) << c.what;
    EXPECT_EQ(xi.log.Count("CloseDevice"), c.closes) << c.what;
    EXPECT_EQ(xi.log.Count("StartAcquisition"), 0) << c.what;
  }
}

}  // namespace
}  // namespace ORV

// The Lumenera back-end against a scripted library: half-resolution sizes,
// the one-camera rule, the property conversions and the frame hand-over.
#include "video/cameras/lumenera_interface.h"

#include <gtest/gtest.h>

#include "tests/video/camera_fakes.h"

namespace ORV {
namespace {

using Test::FakeLucam;
using Test::RecordingWindow;

TEST(LumeneraInterface, OpensAtHalfTheSensorSize) {
  struct Case {
    std::uint32_t sensorWidth, sensorHeight;
    int width, height;
  };
  for (const Case& c : {Case{1392, 1040, 696, 520}, Case{1280, 1024, 640, 512}, Case{1025, 3, 512, 1}}) {
    FakeLucam lucam;
    lucam.format.width = c.sensorWidth;
    lucam.format.height = c.sensorHeight;
    LumeneraInterface camera(lucam.Table());
    ASSERT_TRUE(camera.Open("ignored")) << c.sensorWidth;
    EXPECT_EQ(camera.GetWidth(), c.width);
    EXPECT_EQ(camera.GetHeight(), c.height);
    EXPECT_EQ(camera.GetFrameRate(), 29);  // 29.97 truncated
    EXPECT_EQ(lucam.format.subSampleX, 2);
    EXPECT_EQ(lucam.format.subSampleY, 2);
  }
  FakeLucam lucam;
  LumeneraInterface camera(lucam.Table());
  ASSERT_TRUE(camera.Open(""));
  EXPECT_EQ(lucam.log.calls(), (std::vector<std::string>{"CameraOpen 1", "GetFormat", "SetFormat 2x2 29.969999",
                                                         "GetFormat", "GetProperty 80"}));
  // The frame handed over is exactly width x height bytes: 361,920.
  RecordingWindow window;
  camera.SetNotifyWindow(std::shared_ptr<RecordingWindow>(&window, [](auto*) {}));
  ASSERT_TRUE(camera.Start());
  std::vector<std::uint8_t> frame(696 * 520, 9);
  lucam.Deliver(frame);
  std::vector<std::uint8_t> copy(361920, 0);
  ASSERT_TRUE(camera.CopyFrame(copy.data()));
  EXPECT_EQ(copy, frame);
}

TEST(LumeneraInterface, DrivesOnlyASingleCamera) {
  for (long cameras : {0L, 1L, 2L}) {
    FakeLucam lucam;
    lucam.cameras = cameras;
    LumeneraInterface camera(lucam.Table());
    EXPECT_EQ(camera.GetDeviceCount(), cameras);
    EXPECT_EQ(camera.IsAvailable(), cameras > 0);
    EXPECT_EQ(camera.Open("DMx 41AU02"), cameras == 1) << cameras;
    EXPECT_EQ(lucam.log.Count("CameraOpen 1"), cameras == 1 ? 1 : 0);
    EXPECT_EQ(camera.GetDeviceName(0), nullptr);
    if (cameras > 0)
      EXPECT_STREQ(camera.GetUniqueName(3), "Lt220");
    else
      EXPECT_EQ(camera.GetUniqueName(0), nullptr);
  }
}

TEST(LumeneraInterface, OpenFailsOnEachFailingStep) {
  struct Case {
    const char* what;
    void (*arrange)(FakeLucam&);
    int closes;  // a handle that was opened is closed with the back-end
  };
  const Case cases[] = {
      {"no handle", [](FakeLucam& f) { f.openFails = true; }, 0},
      {"format unreadable", [](FakeLucam& f) { f.getFormatFails = true; }, 1},
      {"format refused", [](FakeLucam& f) { f.setFormatFails = true; }, 1},
      {"property 80 unreadable", [](FakeLucam& f) { f.propertyFails = true; }, 1},
      {"property 80 not zero", [](FakeLucam& f) { f.properties[80] = 1.0f; }, 1},
      {"no picture at half size", [](FakeLucam& f) { f.format.width = 1; }, 1},
  };
  for (const Case& c : cases) {
    FakeLucam lucam;
    c.arrange(lucam);
    {
      LumeneraInterface camera(lucam.Table());
      EXPECT_FALSE(camera.Open("")) << c.what;
      int mn, mx, v;
      EXPECT_FALSE(camera.GetGain(&mn, &mx, &v)) << c.what;
    }
    EXPECT_EQ(lucam.log.Count("CameraClose"), c.closes) << c.what;
  }
}

TEST(LumeneraInterface, ConvertsGainExposureAndGamma) {
  FakeLucam lucam;
  LumeneraInterface camera(lucam.Table());
  ASSERT_TRUE(camera.Open(""));
  // Writes: gain and gamma in hundredths, at least 0.01; exposure unclamped.
  struct Write {
    bool (LumeneraInterface::*set)(int);
    int value;
    unsigned long property;
    float written;
  };
  for (const Write& w :
       {Write{&LumeneraInterface::SetGain, 0, 40, 0.01f}, Write{&LumeneraInterface::SetGain, -5, 40, 0.01f},
        Write{&LumeneraInterface::SetGain, 250, 40, 2.5f}, Write{&LumeneraInterface::SetGamma, 1, 5, 0.01f},
        Write{&LumeneraInterface::SetGamma, 180, 5, 1.8f}, Write{&LumeneraInterface::SetExposure, -150, 0, -150.0f},
        Write{&LumeneraInterface::SetExposure, 7, 0, 7.0f}}) {
    ASSERT_TRUE((camera.*w.set)(w.value));
    EXPECT_FLOAT_EQ(lucam.written[w.property], w.written) << w.value;
  }
  EXPECT_EQ(lucam.log.Count("SetProperty 40 write"), 3);
  // Reads: gain and gamma times 100 truncated; exposure rounded half up.
  struct Read {
    bool (LumeneraInterface::*get)(int*, int*, int*);
    unsigned long property;
    float library;
    int minimum, maximum, value;
  };
  for (const Read& r : {Read{&LumeneraInterface::GetGain, 40, 2.499f, 1, 500, 249},
                        Read{&LumeneraInterface::GetGamma, 5, 0.5f, 1, 500, 50},
                        Read{&LumeneraInterface::GetExposure, 0, 12.5f, -100, 100, 13},
                        Read{&LumeneraInterface::GetExposure, 0, -12.5f, -100, 100, -12},
                        Read{&LumeneraInterface::GetExposure, 0, -12.6f, -100, 100, -12}}) {
    lucam.properties[r.property] = r.library;
    int mn = 0, mx = 0, v = 0;
    ASSERT_TRUE((camera.*r.get)(&mn, &mx, &v));
    EXPECT_EQ(mn, r.minimum);
    EXPECT_EQ(mx, r.maximum);
    EXPECT_EQ(v, r.value) << r.library;
  }
}

TEST(LumeneraInterface, PropertiesOnlyBetweenOpenAndStop) {
  FakeLucam lucam;
  LumeneraInterface camera(lucam.Table());
  int mn, mx, v;
  EXPECT_FALSE(camera.GetGain(&mn, &mx, &v));
  EXPECT_FALSE(camera.SetExposure(1));
  ASSERT_TRUE(camera.Open(""));
  ASSERT_TRUE(camera.Start());
  EXPECT_TRUE(camera.GetGamma(&mn, &mx, &v));
  EXPECT_TRUE(camera.SetGamma(100));
  camera.Stop();
  EXPECT_FALSE(camera.GetGamma(&mn, &mx, &v));
  EXPECT_FALSE(camera.SetGain(100));
  EXPECT_EQ(lucam.log.Count("RemoveStreamingCallback 7"), 1);
}

TEST(LumeneraInterface, PostsEveryFrameAndKeepsTheNewest) {
  FakeLucam lucam;
  lucam.format.width = 8;
  lucam.format.height = 4;
  auto window = std::make_shared<RecordingWindow>();
  {
    LumeneraInterface camera(lucam.Table());
    ASSERT_TRUE(camera.Open(""));
    ASSERT_TRUE(camera.Start());
    std::vector<std::uint8_t> copy(8, 0xEE);
    EXPECT_FALSE(camera.CopyFrame(copy.data()));  // nothing arrived yet
    EXPECT_EQ(copy, std::vector<std::uint8_t>(8, 0xEE));
    // Without a notify window nothing is posted, but the frame is kept.
    lucam.Deliver(std::vector<std::uint8_t>(8, 1));
    ASSERT_TRUE(camera.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<std::uint8_t>(8, 1));
    camera.SetNotifyWindow(window);
    lucam.Deliver(std::vector<std::uint8_t>(8, 2));
    EXPECT_EQ(camera.TornFrames(), 0u);
    lucam.Deliver(std::vector<std::uint8_t>(5, 3));  // short: torn on the way
    EXPECT_EQ(camera.TornFrames(), 1u);
    ASSERT_TRUE(camera.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<std::uint8_t>(8, 2)) << "a torn frame is not kept";
    lucam.Deliver(std::vector<std::uint8_t>(8, 4));
    ASSERT_TRUE(camera.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<std::uint8_t>(8, 4));
    EXPECT_EQ(camera.TornFrames(), 1u);
    EXPECT_EQ(window->messages(), (std::vector<std::uint32_t>{0x81FE, 0x81FE}));
  }
  // Destruction stops streaming and closes the camera.
  const auto calls = lucam.log.calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
            (std::vector<std::string>{"StreamVideoControl 0", "RemoveStreamingCallback 7", "CameraClose"}));
}

}  // namespace
}  // namespace ORV

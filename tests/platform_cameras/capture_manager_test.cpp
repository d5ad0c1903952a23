// The capture manager and the capture object against a scripted device
// layer: device list and names, start and release, the frame hand-over and
// its time-out, wrong-size frames, frame sizes, inputs and properties.
#include "platform/cameras/capture/capture_manager.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <optional>

#include "platform/cameras/capture/cv_capture_cam.h"

namespace ORV::Cameras {
namespace {

using namespace std::chrono_literals;

// What one scripted device offers, and what was done with it.
struct FakeDeviceState {
  std::string name;
  std::vector<FormatCapability> capabilities;
  FrameFormat current;
  std::vector<CaptureInput> inputs{{0, "Camera 1", InputType::kCamera}};
  std::map<std::uint32_t, std::pair<ControlRange, long>> controls;
  std::optional<FrameFormat> takes;  // what SetFormat ends with, whatever was asked

  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::vector<std::uint8_t>> frames;
  std::vector<std::string> log;
  bool readerIdle = false;  // the reader is back waiting with nothing to read

  void Push(std::vector<std::uint8_t> frame) {
    std::lock_guard guard(lock);
    frames.push_back(std::move(frame));
    changed.notify_all();
  }
  void Log(std::string entry) {
    std::lock_guard guard(lock);
    log.push_back(std::move(entry));
  }
  std::vector<std::string> Log() {
    std::lock_guard guard(lock);
    return log;
  }
  // Waits until every pushed frame was read and handed on.
  bool Drained() {
    std::unique_lock guard(lock);
    return changed.wait_for(guard, 10s, [&] { return frames.empty() && readerIdle; });
  }
};

class FakeDevice : public CaptureDevice {
 public:
  explicit FakeDevice(std::shared_ptr<FakeDeviceState> s) : s_(std::move(s)) {}
  std::vector<FormatCapability> Capabilities() override { return s_->capabilities; }
  bool GetFormat(FrameFormat& f) override {
    f = s_->current;
    return true;
  }
  bool SetFormat(FrameFormat& f) override {
    s_->Log("SetFormat " + std::to_string(f.width) + "x" + std::to_string(f.height) + " " + FourCc(f.fourcc));
    if (s_->takes) f = *s_->takes;
    s_->current = f;
    return true;
  }
  std::vector<CaptureInput> Inputs() override { return s_->inputs; }
  bool SelectInput(int index) override {
    s_->Log("SelectInput " + std::to_string(index));
    return true;
  }
  bool QueryControl(std::uint32_t id, ControlRange& range) override {
    std::lock_guard guard(s_->lock);
    auto it = s_->controls.find(id);
    if (it == s_->controls.end()) return false;
    range = it->second.first;
    return true;
  }
  bool GetControl(std::uint32_t id, long& value) override {
    std::lock_guard guard(s_->lock);
    auto it = s_->controls.find(id);
    if (it == s_->controls.end()) return false;
    value = it->second.second;
    return true;
  }
  bool SetControl(std::uint32_t id, long value) override {
    std::lock_guard guard(s_->lock);
    auto it = s_->controls.find(id);
    if (it == s_->controls.end()) return false;
    it->second.second = value;
    return true;
  }
  bool StartStreaming() override {
    s_->Log("StartStreaming");
    return true;
  }
  void StopStreaming() override { s_->Log("StopStreaming"); }
  bool ReadFrame(std::vector<std::uint8_t>& bgr, std::chrono::milliseconds timeout) override {
    std::unique_lock guard(s_->lock);
    s_->readerIdle = s_->frames.empty();
    s_->changed.notify_all();
    if (!s_->changed.wait_for(guard, timeout, [&] { return !s_->frames.empty(); })) return false;
    bgr = std::move(s_->frames.front());
    s_->frames.pop_front();
    s_->readerIdle = false;
    return true;
  }

  static std::string FourCc(std::uint32_t f) {
    return {static_cast<char>(f & 0xFF), static_cast<char>((f >> 8) & 0xFF), static_cast<char>((f >> 16) & 0xFF),
            static_cast<char>((f >> 24) & 0xFF)};
  }

 private:
  std::shared_ptr<FakeDeviceState> s_;
};

class FakeLayer : public CaptureDeviceLayer {
 public:
  std::vector<std::shared_ptr<FakeDeviceState>> devices;

  std::shared_ptr<FakeDeviceState> Add(std::string name, FrameFormat current,
                                       std::vector<FormatCapability> capabilities) {
    auto d = std::make_shared<FakeDeviceState>();
    d->name = std::move(name);
    d->current = current;
    d->capabilities = std::move(capabilities);
    devices.push_back(d);
    return d;
  }
  std::vector<CaptureDeviceInfo> ListDevices() override {
    std::vector<CaptureDeviceInfo> out;
    for (std::size_t i = 0; i < devices.size(); ++i) out.push_back({std::to_string(i), devices[i]->name});
    return out;
  }
  std::unique_ptr<CaptureDevice> Open(const std::string& path) override {
    auto& d = devices.at(std::stoul(path));
    d->Log("Open");
    return std::make_unique<FakeDevice>(d);
  }
};

FormatCapability Discrete(std::uint32_t fourcc, int w, int h) { return {fourcc, w, w, 1, h, h, 1}; }

// Two webcams: one offering three sizes in YUYV and one in grey; 4 x 2 frames by default.
struct TwoWebcams : ::testing::Test {
  std::shared_ptr<FakeLayer> layer = std::make_shared<FakeLayer>();
  std::shared_ptr<FakeDeviceState> first =
      layer->Add("USB Camera", {V4L2_PIX_FMT_YUYV, 4, 2},
                 {Discrete(V4L2_PIX_FMT_YUYV, 4, 2), Discrete(V4L2_PIX_FMT_YUYV, 640, 480),
                  Discrete(V4L2_PIX_FMT_YUYV, 1280, 720), Discrete(V4L2_PIX_FMT_MJPEG, 800, 600)});
  std::shared_ptr<FakeDeviceState> second =
      layer->Add("Frame Grabber", {V4L2_PIX_FMT_GREY, 720, 576}, {{V4L2_PIX_FMT_GREY, 64, 1024, 16, 48, 768, 8}});
  CaptureDeviceManager manager{layer};
};

TEST_F(TwoWebcams, ListsDevicesAndStartsEachOnce) {
  EXPECT_EQ(manager.CountDevices(), 2);
  EXPECT_EQ(manager.GetDeviceName(0), "USB Camera");
  EXPECT_EQ(manager.GetDeviceName(1), "Frame Grabber");
  EXPECT_EQ(manager.GetDeviceName(2), "");
  EXPECT_FALSE(manager.StartDevice(3));
  EXPECT_FALSE(CvCaptureCAM_ORV::create(manager, 3));
  EXPECT_FALSE(CvCaptureCAM_ORV::create(manager, -1));
  ASSERT_TRUE(manager.StartDevice(0));
  EXPECT_FALSE(manager.StartDevice(0));  // in use
  EXPECT_EQ(manager.GetWidth(0), 4);
  EXPECT_EQ(manager.GetHeight(0), 2);
  manager.ReleaseDevice(0);
  EXPECT_FALSE(manager.IsDeviceSetup(0));
  ASSERT_TRUE(manager.StartDevice(0));  // a released slot starts afresh
  EXPECT_EQ(first->Log(), (std::vector<std::string>{"Open", "SetFormat 4x2 YUYV", "StartStreaming", "StopStreaming",
                                                    "Open", "SetFormat 4x2 YUYV", "StartStreaming"}));
}

TEST_F(TwoWebcams, HandsOverFramesUprightOneAtATime) {
  ASSERT_TRUE(manager.StartDevice(0));
  std::vector<std::uint8_t> frame(4 * 2 * 3);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i);
  first->Push(frame);
  std::vector<std::uint8_t> pixels(frame.size(), 0);
  ASSERT_TRUE(manager.GetPixels(0, pixels.data()));
  EXPECT_EQ(pixels, frame);  // rows in the order they came: the top row first
  // A frame of the wrong size is dropped with a message, on every device.
  testing::internal::CaptureStdout();
  first->Push(std::vector<std::uint8_t>(4 * 2 * 3 - 1, 7));
  ASSERT_TRUE(first->Drained());
  first->Push(std::vector<std::uint8_t>(4 * 2 * 3, 9));
  ASSERT_TRUE(manager.GetPixels(0, pixels.data()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: SampleCB() - buffer sizes do not match\n");
  EXPECT_EQ(pixels, std::vector<std::uint8_t>(24, 9));
  // While a frame waits to be taken, newer ones are ignored.
  first->Push(std::vector<std::uint8_t>(24, 1));
  ASSERT_TRUE(first->Drained());
  first->Push(std::vector<std::uint8_t>(24, 2));
  ASSERT_TRUE(first->Drained());  // frame 2 was handed on, and ignored
  ASSERT_TRUE(manager.GetPixels(0, pixels.data()));
  EXPECT_EQ(pixels, std::vector<std::uint8_t>(24, 1));
  // No frame within the time-out (one second): false.
  EXPECT_FALSE(manager.GetPixels(0, pixels.data()));
  EXPECT_FALSE(manager.GetPixels(1, pixels.data()));  // not set up
  EXPECT_FALSE(manager.GetPixels(25, pixels.data()));
}

TEST_F(TwoWebcams, TheCaptureObjectRetrievesTheFrameAndItsSize) {
  auto capture = CvCaptureCAM_ORV::create(manager, 0);
  ASSERT_TRUE(capture);
  EXPECT_EQ(capture->getCaptureDomain(), 700);
  EXPECT_TRUE(capture->grabFrame());
  EXPECT_EQ(capture->getProperty(3), 4);
  EXPECT_EQ(capture->getProperty(4), 2);
  EXPECT_EQ(capture->getProperty(5), 0);
  std::vector<std::uint8_t> frame(24);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(100 + i);
  first->Push(frame);
  const cv::Mat* image = capture->retrieveFrame();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->type(), CV_8UC3);
  EXPECT_EQ(image->cols, 4);
  EXPECT_EQ(image->rows, 2);
  EXPECT_EQ(std::vector<std::uint8_t>(image->data, image->data + 24), frame);
  EXPECT_EQ(image->at<cv::Vec3b>(1, 0)[0], 112);  // row 1 is the frame's second row
  capture.reset();                                // closing releases the device
  EXPECT_FALSE(manager.IsDeviceSetup(0));
}

TEST_F(TwoWebcams, ASizeChangeTakesTheClosestSupportedSize) {
  auto capture = CvCaptureCAM_ORV::create(manager, 0);
  ASSERT_TRUE(capture);
  // The size in use again: no restart.
  EXPECT_TRUE(capture->setProperty(3, 4));
  EXPECT_TRUE(capture->setProperty(4, 2));
  EXPECT_EQ(first->Log().size(), 3u);
  EXPECT_FALSE(capture->setProperty(5, 10));
  struct Case {
    int width, height;
    std::string format;
  };
  for (const Case& c : {Case{640, 480, "SetFormat 640x480 YUYV"}, Case{800, 600, "SetFormat 640x480 YUYV"},
                        Case{1200, 700, "SetFormat 1280x720 YUYV"}, Case{3, 3, "SetFormat 4x2 YUYV"}}) {
    EXPECT_TRUE(capture->setProperty(3, c.width));
    EXPECT_TRUE(capture->setProperty(4, c.height + 0.4));  // requests are rounded
    const auto log = first->Log();
    EXPECT_EQ(log[log.size() - 2], c.format) << c.width << "x" << c.height;
  }
  // A stepwise range: the nearest step in each direction.
  auto grabber = CvCaptureCAM_ORV::create(manager, 1);
  ASSERT_TRUE(grabber);
  EXPECT_EQ(grabber->getProperty(3), 720);
  EXPECT_EQ(grabber->getProperty(4), 576);
  EXPECT_TRUE(grabber->setProperty(4, 301));
  EXPECT_TRUE(grabber->setProperty(3, 330));
  EXPECT_EQ(grabber->getProperty(3), 336);
  EXPECT_EQ(grabber->getProperty(4), 304);
  EXPECT_EQ(second->Log().back(), "StartStreaming");
}

TEST_F(TwoWebcams, ADeviceThatTakesNoUsableSizeIsNotSetUp) {
  for (FrameFormat takes : {FrameFormat{V4L2_PIX_FMT_GREY, 0, 576}, FrameFormat{V4L2_PIX_FMT_GREY, 65536, 65536}}) {
    second->takes = takes;
    EXPECT_FALSE(manager.StartDevice(1)) << takes.width;
    EXPECT_FALSE(manager.IsDeviceSetup(1));
    EXPECT_EQ(manager.GetWidth(1), 0);
    EXPECT_NE(second->Log().back(), "StartStreaming");
  }
}

TEST_F(TwoWebcams, SelectsTheCompositeInputOfAFrameGrabber) {
  second->inputs = {
      {0, "Tuner", InputType::kTuner}, {1, "Composite1", InputType::kCamera}, {2, "S-Video", InputType::kCamera}};
  ASSERT_TRUE(manager.StartDevice(1));
  EXPECT_EQ(second->Log()[1], "SelectInput 1");
  manager.ReleaseDevice(1);
  second->inputs = {{0, "Tuner", InputType::kTuner}, {1, "S-Video", InputType::kCamera}};
  ASSERT_TRUE(manager.StartDevice(1));
  EXPECT_EQ(second->Log().back(), "StartStreaming");
  EXPECT_EQ(second->Log()[6], "SelectInput 0");  // no composite input: the default one
  ASSERT_TRUE(manager.StartDevice(0));
  for (const auto& entry : first->Log()) EXPECT_FALSE(entry.starts_with("SelectInput"));  // a webcam has none
}

TEST_F(TwoWebcams, ReadsAndSetsGainBrightnessAndGamma) {
  first->controls[V4L2_CID_GAIN] = {{0, 255, 1, 32}, 40};
  first->controls[V4L2_CID_BRIGHTNESS] = {{-64, 64, 2, 0}, 10};
  long mn = 0, mx = 0, step = 0, current = 0, flags = 0, def = 0;
  EXPECT_FALSE(manager.GetVideoSettingRange(0, kVideoProcGain, mn, mx, step, current, flags, def));  // not set up
  ASSERT_TRUE(manager.StartDevice(0));
  ASSERT_TRUE(manager.GetVideoSettingRange(0, kVideoProcGain, mn, mx, step, current, flags, def));
  EXPECT_EQ(std::vector<long>({mn, mx, step, current, flags, def}), std::vector<long>({0, 255, 1, 40, 2, 32}));
  ASSERT_TRUE(manager.SetVideoSetting(0, kVideoProcBrightness, -20));
  ASSERT_TRUE(manager.GetVideoSettingRange(0, kVideoProcBrightness, mn, mx, step, current, flags, def));
  EXPECT_EQ(std::vector<long>({mn, mx, step, current, def}), std::vector<long>({-64, 64, 2, -20, 0}));
  // A control the device lacks, or a property with no control, is refused.
  EXPECT_FALSE(manager.GetVideoSettingRange(0, kVideoProcGamma, mn, mx, step, current, flags, def));
  EXPECT_FALSE(manager.SetVideoSetting(0, kVideoProcGamma, 1));
  EXPECT_FALSE(manager.SetVideoSetting(0, 6, 1));
  EXPECT_FALSE(manager.SetVideoSetting(0, -1, 1));
}

TEST(CaptureDeviceManager, VerboseSetupSaysWhatItDoes) {
  auto layer = std::make_shared<FakeLayer>();
  layer->Add("Cam", {V4L2_PIX_FMT_GREY, 8, 8}, {Discrete(V4L2_PIX_FMT_GREY, 8, 8)});
  CaptureDeviceManager manager(layer);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(manager.StartDevice(2));  // quiet by default
  manager.SetVerbose(true);
  EXPECT_FALSE(manager.StartDevice(2));
  ASSERT_TRUE(manager.StartDevice(0));
  EXPECT_FALSE(manager.StartDevice(0));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("SETUP: device[2] not found - you have 1 devices available\n"
                     "SETUP: this means that the last device you can use is device[0] \n"),
            0u)
      << out;
  EXPECT_NE(out.find("SETUP: Device is setup and ready to capture.\n\n"), std::string::npos);
  EXPECT_NE(out.find("SETUP: can't setup, device 0 is currently being used\n"), std::string::npos);
}

TEST(CaptureDeviceManager, ListsTheSystemsDevices) {
  EXPECT_EQ(SystemCaptureDevices()->Open("/dev/null"), nullptr);  // not a capture device
  CaptureDeviceManager manager(SystemCaptureDevices());
  const int count = manager.CountDevices();
  if (count == 0) GTEST_SKIP() << "no video-capture device (/dev/video*) on this machine";
  for (int i = 0; i < count; ++i) EXPECT_FALSE(manager.GetDeviceName(i).empty()) << i;
}

}  // namespace
}  // namespace ORV::Cameras

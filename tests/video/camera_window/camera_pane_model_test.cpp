// The camera pane's logic against a recording analysis control: the slider
// set chosen by the device name, loading the ranges, Capture/Stop with the
// collection guard, attaching to camera windows, slider moves and steps.
#include "video/camera_window/camera_pane_model.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/video/camera_window/recording_control.h"

namespace ORV::Video {
namespace {

using Calls = std::vector<std::string>;
namespace D = AnalysisView::Dispid;
using PS = CameraPaneModel::PaneSlider;

// A control whose range getters fill their three outputs.
class RangeControl : public ORV::Test::RecordingControl {
 public:
  struct Range {
    std::int32_t lo, hi, value;
    std::int16_t result;
  };
  std::map<Com::DISPID, Range> ranges;
  Com::HRESULT Invoke(Com::DISPID id, unsigned kind, std::span<const Com::Variant> args, Com::Variant* r) override {
    auto it = ranges.find(id);
    if (it != ranges.end() && args.size() == 3) {
      *args[0].Get<std::int32_t*>() = it->second.lo;
      *args[1].Get<std::int32_t*>() = it->second.hi;
      *args[2].Get<std::int32_t*>() = it->second.value;
      results[id] = Com::Variant(it->second.result);
    }
    return RecordingControl::Invoke(id, kind, args, r);
  }
};

class CameraPaneModelTest : public ::testing::Test {
 protected:
  void SetUp() override { Make(false); }
  void Make(bool multiple) {
    CameraPaneHooks hooks;
    hooks.text = [](std::uint32_t id) { return std::to_string(id); };
    hooks.showError = [this](const std::string& t, const std::string& c) { log.push_back("error " + t + "/" + c); };
    hooks.askYesNo = [this](const std::string& t) {
      log.push_back("ask " + t);
      return answer;
    };
    hooks.deviceName = [this](int) { return device; };
    hooks.setLiveTrace = [this](bool on) { log.push_back(on ? "live on" : "live off"); };
    hooks.ctrlDown = [this] { return ctrl; };
    hooks.chooseChannel = [this](int shown) {
      log.push_back("channel " + std::to_string(shown));
      return chosen;
    };
    pane = std::make_unique<CameraPaneModel>(&experiment, multiple, hooks);
    window = std::make_unique<CameraWindowModel>(&experiment, nullptr, 0, CameraWindowHooks{});
    window->AttachControl(&control, 0);
    control.ranges[D::GetGainValues] = {0, 100, 40, 1};
    control.ranges[D::GetGammaValues] = {10, 300, 100, 1};
    control.ranges[D::GetBrightnessValues] = {1, 200, 90, 1};
    control.ranges[D::GetOffsetValues] = {0, 255, 20, 1};
    control.ranges[D::GetSaturationValues] = {0, 400, 200, 1};
    control.results[D::StartCapture] = Com::Variant(std::int16_t{1});
  }
  void Attach(const std::string& name = "Camera 1") {
    ASSERT_TRUE(pane->SetCameraWindow(name, window.get(), 0));
    control.Take();
  }
  void Capturing(bool on) { control.results[D::IsCapturing] = Com::Variant(std::int16_t(on ? 1 : 0)); }

  ORV::Test::SandboxedHome home;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  RangeControl control;
  std::unique_ptr<CameraPaneModel> pane;
  std::unique_ptr<CameraWindowModel> window;
  std::vector<std::string> log;
  std::string device;
  bool answer = true;
  bool ctrl = false;
  int chosen = 0;
};

TEST_F(CameraPaneModelTest, DeviceNamePrefixChoosesTheSliderSet) {
  struct Case {
    std::string device;
    int set;
    bool enabled;
    std::string first;
  } cases[] = {
      {"DMx 41AU02 SIM-1", 4, true, "Brightness"},
      {"Lt220 #3", 4, true, "Brightness"},
      {"DMK 42AUC03", 4, true, "Brightness"},
      {"XIMEA MQ013", 4, true, "Brightness"},
      {"Picolo Camera 1", 64, true, "Saturation"},
      {"xLt220", 0, false, ""},
      {"", 0, false, ""},
  };
  for (const Case& c : cases) {
    Make(false);
    Attach();
    device = c.device;
    Capturing(false);
    pane->ConnectCamera();
    EXPECT_EQ(pane->Set(), c.set) << c.device;
    EXPECT_EQ(pane->SlidersEnabled(), c.enabled) << c.device;
    EXPECT_EQ(pane->Labels()[0], c.first) << c.device;
    EXPECT_TRUE(pane->Capturing());
    EXPECT_EQ(pane->ButtonText(), "Stop");
    EXPECT_EQ(window->CameraCaption(), "Camera 1");
  }
  // The camera set's ranges.
  EXPECT_EQ(pane->Slider(PS::Gain).position, 0);
  Make(false);
  Attach();
  device = "DMx 41AU02";
  pane->ConnectCamera();
  const auto calls = control.Take();
  EXPECT_EQ(calls[0], "3()");
  EXPECT_EQ(calls[1], "48(0)") << "not capturing: IsVideoPlaying is not asked";
  EXPECT_EQ((Calls(calls.end() - 4, calls.end())), (Calls{"1('DMx 41AU02')", "25(?,?,?)", "28(?,?,?)", "27(?,?,?)"}));
  EXPECT_EQ(pane->Slider(PS::Second).maximum, 300);
  EXPECT_EQ(pane->Slider(PS::First).position, 90);
}

TEST_F(CameraPaneModelTest, CaptureWithCtrlOnAFrameGrabberAsksForTheChannelAndKeepsIt) {
  // The frame names its sources "Camera n"; the device name tells the frame
  // grabber.
  struct Case {
    const char* source;
    const char* device;
    bool ctrl;
    bool asked;
  };
  for (const Case& c :
       {Case{"Camera 1", "Picolo Camera 1", true, true}, Case{"Picolo Camera 1", "Picolo Camera 1", true, true},
        Case{"Camera 1", "Picolo Camera 1", false, false}, Case{"Camera 1", "DMx 41AU02", true, false}}) {
    SCOPED_TRACE(std::string(c.source) + " / " + c.device + (c.ctrl ? " with Ctrl" : ""));
    experiment.configuration->PicoloChannel = 1;
    Make(false);
    Attach(c.source);
    device = c.device;
    ctrl = c.ctrl;
    chosen = 3;
    pane->ConnectCamera();
    EXPECT_EQ(std::count(log.begin(), log.end(), "channel 1"), c.asked ? 1 : 0) << "shown with the stored channel";
    const int channel = c.asked ? 3 : 1;
    const Calls calls = control.Take();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "48(" + std::to_string(channel) + ")"), calls.end());
    EXPECT_EQ(experiment.configuration->PicoloChannel, channel);
    log.clear();
  }
  // A capture that does not start keeps the stored channel.
  experiment.configuration->PicoloChannel = 1;
  Make(false);
  Attach();
  control.results[D::StartCapture] = Com::Variant(std::int16_t{0});
  device = "Picolo Camera 1";
  ctrl = true;
  pane->ConnectCamera();
  EXPECT_EQ(control.Take()[1], "48(3)");
  EXPECT_EQ(experiment.configuration->PicoloChannel, 1);
}

TEST_F(CameraPaneModelTest, RangeLoadingStopsAtTheFirstRefusedGetter) {
  control.ranges[D::GetGammaValues].result = 0;
  Attach();
  device = "DMx 41AU02";
  pane->ConnectCamera();
  EXPECT_FALSE(pane->SlidersEnabled());
  EXPECT_EQ(pane->Slider(PS::Gain).maximum, 100);  // set before the refusal
  EXPECT_EQ(pane->Slider(PS::First).maximum, 0);   // never reached
  const auto calls = control.Take();
  EXPECT_EQ(calls.back(), "28(?,?,?)");
}

TEST_F(CameraPaneModelTest, SlidersSendTheirSetsMethodsAndStepWithinRange) {
  Attach();
  device = "Picolo Camera 2";
  pane->ConnectCamera();
  control.Take();
  // Gain at 40; second (offset) moved to 40 too: a thumb move sends for both.
  pane->SliderMoved(PS::Second, 40);
  EXPECT_EQ(control.Take(), (Calls{"26(40)", "46(40)"}));
  // First (saturation, 0..400) steps by 50; "+" at maximum - 40 does nothing.
  pane->SliderMoved(PS::First, 360);
  control.Take();
  pane->Step(PS::First, +1);
  EXPECT_TRUE(control.Take().empty());
  pane->Step(PS::First, -1);
  EXPECT_EQ(control.Take(), (Calls{"45(310)"}));
  pane->Step(PS::Gain, +1);
  EXPECT_EQ(control.Take(), (Calls{"26(50)"}));

  // Stopping resets the set; the first two sliders then send nothing.
  Capturing(true);
  pane->ConnectCamera();
  EXPECT_EQ(pane->Set(), 0);
  control.Take();
  pane->SliderMoved(PS::First, 0);
  pane->Step(PS::Second, +1);
  EXPECT_TRUE(control.Take().empty());
}

TEST_F(CameraPaneModelTest, StopAsksWhileCollectingAndStartFailureChangesNothing) {
  Attach("Camera 1");
  Capturing(true);
  experiment.mode = kModeLive;
  answer = false;
  pane->ConnectCamera();
  EXPECT_EQ(log, (Calls{"ask 226"}));
  EXPECT_EQ(control.Take(), (Calls{"3()", "34()"}));
  answer = true;
  window->SetCameraCaption("Camera 1");
  pane->ConnectCamera();
  EXPECT_EQ(control.Take(), (Calls{"3()", "34()", "2()"}));
  EXPECT_EQ(window->CameraCaption(), "");
  EXPECT_EQ(log.back(), "live off");

  // Capture/Stop is disabled while collection runs and this pane is not capturing.
  EXPECT_FALSE(pane->CaptureButtonEnabled());
  experiment.mode = kModeNone;
  EXPECT_TRUE(pane->CaptureButtonEnabled());

  log.clear();
  Capturing(false);
  control.results[D::StartCapture] = Com::Variant(std::int16_t{0});
  pane->ConnectCamera();
  EXPECT_EQ(log, (Calls{"error 148/149"}));
  EXPECT_FALSE(pane->Capturing());
  EXPECT_EQ(pane->ButtonText(), "Capture");
}

TEST_F(CameraPaneModelTest, AttachingWhileCapturing) {
  Attach("Camera 1");
  Capturing(true);
  // Same source name: nothing asked.
  EXPECT_TRUE(pane->SetCameraWindow("Camera 1", window.get(), 0));
  EXPECT_TRUE(log.empty());
  // Another source: asked; No keeps everything, the window included.
  answer = false;
  CameraWindowModel other(&experiment, nullptr, 1, CameraWindowHooks{});
  other.AttachControl(&control, 0);
  EXPECT_FALSE(pane->SetCameraWindow("Camera 2", &other, 1));
  EXPECT_EQ(pane->SourceName(), "Camera 1");
  EXPECT_EQ(pane->Window(), window.get());
  EXPECT_EQ(pane->CameraIndex(), 0);
  EXPECT_EQ(log, (Calls{"ask 180"}));
  // Yes: the running capture is stopped.
  answer = true;
  control.Take();
  EXPECT_TRUE(pane->SetCameraWindow("Camera 2", window.get(), 1));
  EXPECT_EQ(pane->SourceName(), "Camera 2");
  EXPECT_EQ(control.Take().back(), "2()");

  // Several cameras: the pane mirrors the attached control.
  Make(true);
  Capturing(true);
  EXPECT_TRUE(pane->SetCameraWindow("Camera 3", window.get(), 2));
  EXPECT_EQ(pane->ButtonText(), "Stop");
  EXPECT_TRUE(pane->SlidersEnabled());
  EXPECT_EQ(pane->Set(), 4);
  Capturing(false);
  EXPECT_TRUE(pane->SetCameraWindow("Camera 4", window.get(), 3));
  EXPECT_EQ(pane->ButtonText(), "Capture");
  EXPECT_FALSE(pane->SlidersEnabled());
}

}  // namespace
}  // namespace ORV::Video

#include "video/camera_window/camera_pane_model.h"

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"

namespace ORV::Video {

namespace D = AnalysisView::Dispid;

namespace {

constexpr std::uint32_t kFailedToStartCapture = 148;
constexpr std::uint32_t kErrorCaption = 149;
constexpr std::uint32_t kSwitchCameraQuestion = 180;
constexpr std::uint32_t kStopCollectionQuestion = 226;

constexpr const char* kFrameGrabberPrefix = "Picolo Camera";
constexpr const char* kCameraPrefixes[] = {"DMx 41AU02", "Lt220", "DMK 42AUC03", "XIMEA"};

bool StartsWith(const std::string& s, const char* prefix) { return s.starts_with(prefix); }

}  // namespace

CameraPaneModel::CameraPaneModel(ExperimentData* experiment, bool multipleCameras, CameraPaneHooks hooks)
    : experiment_(experiment), multipleCameras_(multipleCameras), hooks_(std::move(hooks)) {}

std::string CameraPaneModel::Text(std::uint32_t id) const { return hooks_.text ? hooks_.text(id) : std::string(); }

bool CameraPaneModel::Collecting() const { return experiment_ && experiment_->mode.load() == kModeLive; }

std::array<std::string, 3> CameraPaneModel::Labels() const {
  if (set_ == kCamera) return {"Brightness", "Gamma", "Gain"};
  if (set_ == kFrameGrabber) return {"Saturation", "Offset", "Gain"};
  return {};
}

void CameraPaneModel::ReadCaptureState() {
  buttonText_ = control_ && control_.Invoke<std::int16_t>(D::IsCapturing) != 0 ? "Stop" : "Capture";
}

bool CameraPaneModel::SetCameraWindow(const std::string& name, CameraWindowModel* window, int index) {
  CameraWindowModel* const previousWindow = window_;
  const int previousIndex = index_;
  window_ = window;
  index_ = index;
  control_.reset(window ? window->Control().target() : nullptr);
  if (!multipleCameras_) {
    if (control_ && control_.Invoke<std::int16_t>(D::IsCapturing) == 1 && name != source_) {
      if (!hooks_.askYesNo || !hooks_.askYesNo(Text(kSwitchCameraQuestion))) {
        // No: the pane stays on the window it had.
        window_ = previousWindow;
        index_ = previousIndex;
        control_.reset(previousWindow ? previousWindow->Control().target() : nullptr);
        return false;
      }
      source_ = name;
      ConnectCamera();
      return true;
    }
    source_ = name;
    if (hooks_.repaint) hooks_.repaint();
    return true;
  }
  source_ = name;
  if (hooks_.repaint) hooks_.repaint();
  const bool capturing = control_ && control_.Invoke<std::int16_t>(D::IsCapturing) != 0;
  slidersEnabled_ = capturing;
  if (!capturing) {
    buttonText_ = "Capture";
    return true;
  }
  buttonText_ = "Stop";
  return LoadRanges(kCamera);
}

void CameraPaneModel::ConnectCamera() {
  if (!control_) return;
  if (control_.Invoke<std::int16_t>(D::IsCapturing) != 0 && control_.Invoke<std::int16_t>(D::IsVideoPlaying) == 0) {
    if (Collecting() && (!hooks_.askYesNo || !hooks_.askYesNo(Text(kStopCollectionQuestion)))) return;
    if (window_) {
      window_->SetCameraCaption("");
      window_->Repaint();
    }
    control_.Invoke(D::StopCapture);
    if (hooks_.setLiveTrace) hooks_.setLiveTrace(false);
    capturing_ = false;
    buttonText_ = "Capture";
    slidersEnabled_ = false;
    set_ = kNone;
    if (hooks_.repaint) hooks_.repaint();
    return;
  }
  Configuration* config = experiment_ ? experiment_->configuration : nullptr;
  int channel = config ? config->PicoloChannel : 0;
  const std::string device = hooks_.deviceName ? hooks_.deviceName(index_) : std::string();
  // A frame grabber is told by its device name; the source name the pane
  // shows is the frame's caption ("Camera 1") and tells nothing.
  const bool frameGrabber = StartsWith(source_, kFrameGrabberPrefix) || StartsWith(device, kFrameGrabberPrefix);
  if (frameGrabber && hooks_.ctrlDown && hooks_.ctrlDown() && hooks_.chooseChannel)
    channel = hooks_.chooseChannel(channel);
  control_.Invoke(D::SetPicoloChannel, std::int32_t(channel));
  if (control_.Invoke<std::int16_t>(D::StartCapture, device) < 1) {
    if (hooks_.showError) hooks_.showError(Text(kFailedToStartCapture), Text(kErrorCaption));
    return;
  }
  if (config) config->PicoloChannel = channel;
  capturing_ = true;
  if (hooks_.setLiveTrace) hooks_.setLiveTrace(true);
  if (window_) {
    window_->SetCameraCaption(source_);
    window_->Repaint();
  }
  bool loaded = false;
  if (StartsWith(device, kFrameGrabberPrefix)) {
    loaded = LoadRanges(kFrameGrabber);
  } else {
    for (const char* prefix : kCameraPrefixes)
      if (StartsWith(device, prefix)) {
        loaded = LoadRanges(kCamera);
        break;
      }
  }
  buttonText_ = "Stop";
  slidersEnabled_ = loaded;
  if (hooks_.repaint) hooks_.repaint();
}

bool CameraPaneModel::LoadRanges(int set) {
  set_ = set;
  const std::array<std::pair<PaneSlider, Com::DISPID>, 3> order =
      set == kFrameGrabber
          ? std::array<std::pair<PaneSlider, Com::DISPID>, 3>{{{PaneSlider::Gain, D::GetGainValues},
                                                               {PaneSlider::Second, D::GetOffsetValues},
                                                               {PaneSlider::First, D::GetSaturationValues}}}
          : std::array<std::pair<PaneSlider, Com::DISPID>, 3>{{{PaneSlider::Gain, D::GetGainValues},
                                                               {PaneSlider::Second, D::GetGammaValues},
                                                               {PaneSlider::First, D::GetBrightnessValues}}};
  for (const auto& [slider, getter] : order) {
    std::int32_t lo = 0, hi = 0, value = 0;
    if (control_.Invoke<std::int16_t>(getter, &lo, &hi, &value) != 1) return false;
    SliderState& s = sliders_[static_cast<int>(slider)];
    s.minimum = lo;
    s.maximum = hi;
    s.Set(value);
  }
  return true;
}

void CameraPaneModel::Send(PaneSlider slider, int value) {
  const auto v = std::int32_t(value);
  switch (slider) {
    case PaneSlider::Gain:
      control_.Invoke<std::int16_t>(D::SetGainValue, v);
      break;
    case PaneSlider::First:
      if (set_ == kCamera) control_.Invoke<std::int16_t>(D::SetBrightnessValue, v);
      if (set_ == kFrameGrabber) control_.Invoke<std::int16_t>(D::SetSaturationValue, v);
      break;
    case PaneSlider::Second:
      if (set_ == kCamera) control_.Invoke<std::int16_t>(D::SetGammaValue, v);
      if (set_ == kFrameGrabber) control_.Invoke<std::int16_t>(D::SetOffsetValue, v);
      break;
  }
}

void CameraPaneModel::SliderMoved(PaneSlider moved, int position) {
  sliders_[static_cast<int>(moved)].Set(position);
  if (!control_) return;
  const int p = sliders_[static_cast<int>(moved)].position;
  // Every slider standing at the new position sends it.
  for (PaneSlider s : {PaneSlider::Gain, PaneSlider::First, PaneSlider::Second})
    if (sliders_[static_cast<int>(s)].position == p) Send(s, p);
}

void CameraPaneModel::Step(PaneSlider slider, int direction) {
  if (!control_) return;
  if (slider != PaneSlider::Gain && set_ == kNone) return;
  const int step = slider == PaneSlider::First && set_ == kFrameGrabber ? 50 : 10;
  SliderState& s = sliders_[static_cast<int>(slider)];
  const int v = s.position + direction * step;
  if (direction < 0 ? v < s.minimum : v > s.maximum) return;
  s.Set(v);
  Send(slider, v);
}

bool CameraPaneModel::CalibrateEnabled() const {
  return control_ && control_.Invoke<std::int16_t>(D::IsCapturing) != 0;
}

bool CameraPaneModel::CaptureButtonEnabled() const { return capturing_ || !Collecting(); }

}  // namespace ORV::Video

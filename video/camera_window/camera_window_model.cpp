#include "video/camera_window/camera_window_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/zone_data_queue.h"
#include "core/storage/relative_time.h"
#include "platform/os/file_io.h"

namespace ORV::Video {

namespace D = AnalysisView::Dispid;

namespace {

// String-table entries the window shows.
constexpr std::uint32_t kNotEnoughDiskSpace = 204;
constexpr std::uint32_t kOverwriteQuestion = 139;
constexpr std::uint32_t kAutoTrackingEnabled = 250;
constexpr std::uint32_t kAutoTrackingDisabled = 251;
constexpr std::uint32_t kPictureTooDark = 433;
constexpr std::uint32_t kPictureTooBright = 434;
// What GetZonePictureState answers.
constexpr std::int32_t kTooDarkState = 1;
constexpr std::int32_t kTooBrightState = 2;

int Idx(SliderId id) { return static_cast<int>(id); }

bool IsAdjustment(SliderId id) {
  return id == SliderId::InnerLeft || id == SliderId::InnerRight || id == SliderId::OuterLeft ||
         id == SliderId::OuterRight;
}
bool IsThreshold(SliderId id) { return id == SliderId::OuterThreshold || id == SliderId::InnerThreshold; }
bool IsCutOff(SliderId id) { return id == SliderId::OuterCutOff || id == SliderId::InnerCutOff; }

Box At(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

}  // namespace

CameraWindowModel::CameraWindowModel(ExperimentData* experiment, std::shared_ptr<ZoneDataHolderQueue> queue,
                                     int cameraIndex, CameraWindowHooks hooks)
    : experiment_(experiment), queue_(std::move(queue)), camera_(cameraIndex), hooks_(std::move(hooks)) {
  for (SliderId id : {SliderId::InnerLeft, SliderId::InnerRight, SliderId::OuterLeft, SliderId::OuterRight})
    sliders_[Idx(id)] = {-20, 20, 10, 0, false, false};
  for (SliderId id : {SliderId::OuterThreshold, SliderId::InnerThreshold})
    sliders_[Idx(id)] = {-127, 127, 25, 0, false, false};
  for (SliderId id : {SliderId::OuterCutOff, SliderId::InnerCutOff})
    sliders_[Idx(id)] = {100, 600, 5, 100, false, false};
  record_.factor = 1.0f;
}

CameraWindowModel::~CameraWindowModel() = default;

std::string CameraWindowModel::Text(std::uint32_t id) const { return hooks_.text ? hooks_.text(id) : std::string(); }

bool CameraWindowModel::Collecting() const { return experiment_ && experiment_->mode.load() == kModeLive; }

// ---- creation ----

void CameraWindowModel::AttachControl(Com::IDispatch* control, std::int16_t cameraType) {
  control_.reset(control);
  if (experiment_) control_.Invoke(D::SetRelativeTime, &experiment_->ExperimentClock());
  control_.Invoke(D::LoadCamera, cameraType);
  ApplyZoneColors();
  sliders_[Idx(SliderId::OuterCutOff)].Set(
      static_cast<int>(control_.Invoke<double>(D::GetAnalysisCutOff, std::int32_t{0}) * 100));
  sliders_[Idx(SliderId::InnerCutOff)].Set(
      static_cast<int>(control_.Invoke<double>(D::GetInnerAnalysisCutOff, std::int32_t{0}) * 100));
  LoadCalibration();
}

void CameraWindowModel::ApplyZoneColors() {
  if (experiment_ && experiment_->configuration) {
    const Configuration& c = *experiment_->configuration;
    colors_ = {c.ZoneBorderColor, c.ZoneOuterEdgeColor, c.ZoneInnerEdgeColor};
  }
  control_.Invoke(D::SetZoneBorderColor, static_cast<std::int32_t>(colors_[0]));
  control_.Invoke(D::SetZoneOuterEdgeColor, static_cast<std::int32_t>(colors_[1]));
  control_.Invoke(D::SetZoneInnerEdgeColor, static_cast<std::int32_t>(colors_[2]));
}

void CameraWindowModel::LoadCalibration() {
  if (experiment_ && experiment_->configuration && IsCameraIndex(camera_))
    calibration_ = static_cast<double>(experiment_->configuration->Calibration[static_cast<std::size_t>(camera_)]);
}

// ---- layout ----

CameraWindowLayout CameraWindowModel::Layout(int clientWidth, int clientHeight) const {
  CameraWindowLayout l;
  const double aspect = videoWidth_ > 0 && videoHeight_ > 0 ? double(videoWidth_) / videoHeight_ : 1.0;
  l.video.left = 10;
  l.video.top = 20;
  l.video.bottom = clientHeight - 10;
  l.video.right = static_cast<int>((l.video.bottom - l.video.top) * aspect + 0.5 + 10);
  l.frame = {l.video.left - 1, l.video.top - 1, l.video.right + 1, l.video.bottom + 1};
  if (clientWidth >= l.frame.right + 160) l.frame.right += 160;

  const int r = l.video.right;
  const int t = l.video.top;
  const int height = l.video.Height();
  l.sideColumn = r + 160 < clientWidth;
  if (l.sideColumn) {
    l.adjustmentsShown = height > 195;
    l.cutOffsShown = true;  // the window is created before it is laid out
    l.checkBoxShown = l.adjustmentsShown && height >= 236;
    auto row = [](int left, int top, int width, int height, int minusX, int plusX) {
      return CameraWindowLayout::Row{At(left, top, width, height), At(minusX, top, 15, 15), At(plusX, top, 15, 15)};
    };
    l.outerCutOff = row(r + 25, t + 35, 110, 30, r + 5, r + 135);
    l.innerCutOff = row(r + 25, t + 80, 110, 30, r + 5, r + 135);
    // The fine-edge sliders end where their "+" begins (46 wide, not 50,
    // so that the two do not overlap).
    l.outerLeft = row(r + 17, t + 145, 46, 20, r + 2, r + 63);
    l.outerRight = row(r + 97, t + 145, 46, 20, r + 82, r + 143);
    l.innerLeft = row(r + 17, t + 180, 46, 20, r + 2, r + 63);
    l.innerRight = row(r + 97, t + 180, 46, 20, r + 82, r + 143);
    l.checkBox = At(r + 2, t + 210, 120, 20);
  }

  // Zone panels: squares as high as the video, right of the frame.
  if (zonesPresent_ && zoneCount_ > 0) {
    const int side = height;
    const int top = l.frame.top + 1;
    int x = l.frame.right + 10;
    std::vector<Box> squares;
    while (side > 0 && static_cast<int>(squares.size()) < zoneCount_ && x + side <= clientWidth) {
      squares.push_back(At(x, top, side, side));
      x += side + 10;
    }
    if (squares.size() == 1 && zoneCount_ >= 2) {
      // One square for several zones: stacked panels of equal height.
      const int n = zoneCount_;
      const int each = (side - 10 * (n - 1)) / n;
      for (int i = 0; i < n; ++i) l.panels.push_back(At(squares[0].left, top + i * (each + 10), side, each));
    } else {
      l.panels = std::move(squares);
    }
  }
  return l;
}

int CameraWindowModel::HeightForWidth(int clientWidth, int least, int most) const {
  // The picture, (height - 30) x aspect wide with 10 before it, its frame
  // (1) with the side column (160), and a square panel as high as the
  // picture with 10 before it: (h - 30) a + 10 + 161 + 10 + (h - 30) =
  // width.
  const double aspect = videoWidth_ > 0 && videoHeight_ > 0 ? double(videoWidth_) / videoHeight_ : 4.0 / 3.0;
  const double picture = (clientWidth - 181.0) / (aspect + 1.0);
  const int height = static_cast<int>(picture) + 30;
  return std::max(least, std::min(height, most));
}

// ---- sliders ----

bool CameraWindowModel::ButtonsEnabled(SliderId id) const {
  if (selectedZone_ < 0) return false;
  if (id == SliderId::InnerLeft || id == SliderId::InnerRight)
    return !(experiment_ && experiment_->configuration && experiment_->configuration->IgnoreLumen);
  // With auto threshold on, the zone chooses its thresholds and cut-offs.
  if (IsThreshold(id) || IsCutOff(id)) return !autoThreshold_;
  return true;
}

void CameraWindowModel::SendSlider(SliderId id, int value) {
  const std::int32_t zone = selectedZone_;
  switch (id) {
    case SliderId::OuterThreshold:
      control_.Invoke(D::SetThreshold, zone, std::int32_t(value + 128));
      break;
    case SliderId::InnerThreshold:
      control_.Invoke(D::SetInnerThreshold, zone, std::int32_t(value + 128));
      break;
    case SliderId::InnerLeft:
      control_.Invoke(D::SetInnerLeftAdjustment, zone, std::int32_t(value));
      break;
    case SliderId::InnerRight:
      control_.Invoke(D::SetInnerRightAdjustment, zone, std::int32_t(value));
      break;
    case SliderId::OuterLeft:
      control_.Invoke(D::SetOuterLeftAdjustment, zone, std::int32_t(value));
      break;
    case SliderId::OuterRight:
      control_.Invoke(D::SetOuterRightAdjustment, zone, std::int32_t(value));
      break;
    case SliderId::OuterCutOff:
      control_.Invoke(D::SetAnalysisCutOff, zone, value / 100.0);
      break;
    case SliderId::InnerCutOff:
      control_.Invoke(D::SetInnerAnalysisCutOff, zone, value / 100.0);
      break;
  }
}

void CameraWindowModel::Step(SliderId id, int direction) {
  if (!ButtonsEnabled(id)) return;
  SliderState& s = sliders_[Idx(id)];
  const int p = s.position;
  int n = 0;
  if (IsAdjustment(id)) {
    if (direction < 0 ? p < -19 : p >= 20) return;
    n = p + direction;
  } else if (IsThreshold(id)) {
    if (direction < 0 ? p < -126 : p >= 127) return;
    n = p + direction;
  } else {
    n = p + 5 * direction;
    if (direction < 0 ? n <= 0 : n > 595) return;
  }
  s.Set(n);
  // A cut-off below the slider's range is still sent; the control ignores it.
  SendSlider(id, n);
}

void CameraWindowModel::SliderMoved(SliderId id, int position) {
  SliderState& s = sliders_[Idx(id)];
  s.Set(position);
  if (selectedZone_ < 0) return;
  // The moved slider's own method: a slider that happens to stand at the same
  // position as another does not send the other's value.
  SendSlider(id, s.position);
}

void CameraWindowModel::SetManualTracking(bool checked) {
  manualTracking_ = checked;
  if (selectedZone_ < 0) return;
  if (Collecting()) {
    char camera[32];
    std::snprintf(camera, sizeof camera, "Camera: %d", camera_ + 1);
    const std::string format = Text(checked ? kAutoTrackingDisabled : kAutoTrackingEnabled);
    std::string marker(format.size() + 64, '\0');
    const int n = std::snprintf(marker.data(), marker.size(), format.c_str(), selectedZone_ + 1, camera);
    marker.resize(static_cast<std::size_t>(std::max(n, 0)));
    experiment_->AddMarkerNow(marker, camera_);
  }
  control_.Invoke(D::SetAutoTrackingEnabled, std::int32_t(selectedZone_), checked ? false : true);
}

void CameraWindowModel::EnableAutoThreshold(bool on) {
  autoThreshold_ = on;
  control_.Invoke(D::EnableAutoThreshold, std::int16_t(on ? 1 : 0));
  const bool enable = !on && selectedZone_ >= 0;
  for (SliderId id : {SliderId::OuterThreshold, SliderId::InnerThreshold, SliderId::OuterCutOff, SliderId::InnerCutOff})
    sliders_[Idx(id)].enabled = enable;
}

void CameraWindowModel::ResetAdjustments() {
  for (SliderId id : {SliderId::InnerLeft, SliderId::InnerRight, SliderId::OuterLeft, SliderId::OuterRight}) {
    sliders_[Idx(id)].Set(0);
    if (selectedZone_ >= 0) SendSlider(id, 0);
  }
}

// ---- rotation and zoom ----

void CameraWindowModel::Transform() {
  control_.Invoke<std::int16_t>(D::TransformCameraView, std::int32_t(rotation_), scale_.load());
}

void CameraWindowModel::Rotate(int degrees) {
  rotation_ = std::clamp(rotation_ + degrees, -kMaxRotation, kMaxRotation);
  if (autoScale_) scale_ = 1.0f + static_cast<float>(std::abs(rotation_)) * 0.01591f;
  Transform();
}

void CameraWindowModel::ResetRotation() {
  rotation_ = 0;
  Transform();
}

void CameraWindowModel::SetTransform(int degrees, float scale) {
  rotation_ = std::clamp(degrees, -kMaxRotation, kMaxRotation);
  scale_ = std::clamp(scale, kMinScale, kMaxScale);
  Transform();
}

void CameraWindowModel::ResetScale() {
  scale_ = 1.0f;
  Transform();
}

void CameraWindowModel::Wheel(int delta) {
  const int zone = selectedZone_;
  if (zone >= 0 && !control_.Invoke<bool>(D::GetAutoTrackingEnabled, std::int32_t(zone))) {
    control_.Invoke(D::ChangeSelectedAutoTracking, std::int32_t(zone), std::int16_t(delta <= 0 ? 1 : -1));
    return;
  }
  float s = delta >= 0 ? scale_ * 1.05f : scale_ / 1.05f;
  scale_ = std::clamp(s, kMinScale, kMaxScale);
  Transform();
}

void CameraWindowModel::Arrow(int direction, int repeat) {
  const auto zone = control_.Invoke<std::int32_t>(D::SelectedZone);
  if (zone != -1 && !control_.Invoke<bool>(D::GetAutoTrackingEnabled, zone)) {
    control_.Invoke(D::ChangeSelectedAutoTracking, zone, std::int16_t(direction * repeat));
    return;
  }
  control_.Invoke(direction < 0 ? D::VideoBackward : D::VideoForward);
}

void CameraWindowModel::Period() {
  if (control_.Invoke<std::int16_t>(D::IsVideoPause) != 0)
    control_.Invoke<std::int16_t>(D::SeekFramesFromCurrentPosition, std::int32_t{1});
}

// ---- capture, recording, snapshot ----

bool CameraWindowModel::IsVideoPlaying() { return control_.Invoke<std::int16_t>(D::IsVideoPlaying) != 0; }

bool CameraWindowModel::HasSource() { return IsVideoPlaying() || control_.Invoke<std::int16_t>(D::IsCapturing) != 0; }

void CameraWindowModel::StartRecording() {
  if (!experiment_ || !hooks_.videoRecordingOn || !hooks_.videoRecordingOn()) return;
  const std::string path = experiment_->AddRecordingFiles(static_cast<std::uint32_t>(camera_));
  const std::string folder = experiment_->BackupFolder();
  const std::optional<std::uint64_t> free = hooks_.freeBytes ? hooks_.freeBytes(folder) : OS::FreeBytes(folder);
  if (!free) {
    // A requested recording that does not happen is worth a line in the log.
    LogErrorFormat("Camera %d: the free disk space of \"%s\" cannot be read; not recording", camera_ + 1,
                   folder.c_str());
    return;
  }
  const Configuration* config = experiment_->configuration;
  const std::int32_t minimum = config ? config->MinimumGBFree : 7;
  if (static_cast<std::int64_t>(*free / 1000000000ULL) < minimum) {
    if (hooks_.showError) hooks_.showError(Text(kNotEnoughDiskSpace));
    return;
  }
  control_.Invoke(D::SetVideoScaleFactor, std::int16_t(config ? config->VideoRecordFactor : 4));
  control_.Invoke(D::StartRecording, path);
}

void CameraWindowModel::StopRecording() {
  if (control_ && control_.Invoke<std::int16_t>(D::IsRecording) >= 1) control_.Invoke(D::StopRecording);
}

void CameraWindowModel::Snapshot(std::string path) {
  if (path.empty()) return;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    if (!hooks_.askYesNo || !hooks_.askYesNo(Text(kOverwriteQuestion))) return;
  }
  if (path.find(".png") == std::string::npos && path.find(".Png") == std::string::npos) path += ".png";
  control_.Invoke<std::int16_t>(D::ExportImageToFile, path);
}

void CameraWindowModel::StopCaptureCommand() {
  if (IsVideoPlaying()) {
    control_.Invoke(D::StopCapture);
  } else if (hooks_.connectCamera) {
    hooks_.connectCamera();
  }
}

void CameraWindowModel::StartCaptureCommand() {
  if (!IsVideoPlaying() && hooks_.connectCamera) hooks_.connectCamera();
}

std::uint64_t CameraWindowModel::TornFrameCount() {
  if (!control_) return 0;
  return static_cast<std::uint64_t>(std::max(control_.Invoke<std::int32_t>(D::GetTornFrameCount), std::int32_t{0}));
}

std::uint64_t CameraWindowModel::FrameCount() {
  if (!control_) return 0;
  return static_cast<std::uint64_t>(std::max(control_.Invoke<std::int32_t>(D::GetFrameCount), std::int32_t{0}));
}

bool CameraWindowModel::RestartLostCamera() {
  if (!cameraLost_ || !control_) return false;
  if (control_.Invoke<std::int16_t>(D::RestartLostCamera) == 0) return false;
  cameraLost_ = false;
  return true;
}

void CameraWindowModel::CalibrationAccepted() {
  if (hooks_.updateMagnificationText) hooks_.updateMagnificationText();
  LoadCalibration();
}

// ---- events ----

void CameraWindowModel::OnZoneCreated(const std::array<std::int32_t, 8>& corners, float angle) {
  outlines_.push_back({corners, angle});
  if (experiment_ && IsCameraIndex(camera_)) {
    const auto cam = static_cast<std::size_t>(camera_);
    const std::uint32_t count = experiment_->Update([cam](ExperimentContents& c) { return ++c.zoneCount[cam]; });
    experiment_->ForEachImageAnalysisConsumer(
        [&](ImageAnalysisConsumer& v) { v.OnZoneCreated(static_cast<int>(count), camera_); });
    if (count == 1 && hooks_.openTraceViewIfNone) hooks_.openTraceViewIfNone();
  }
  ++zoneCount_;
  zonesPresent_ = true;
}

void CameraWindowModel::OnZonesReset() {
  zoneCount_ = 0;
  outlines_.clear();
  pictureAdvice_.clear();
  if (experiment_ && IsCameraIndex(camera_)) {
    const auto cam = static_cast<std::size_t>(camera_);
    const std::uint32_t count = experiment_->Read([cam](const ExperimentContents& c) { return c.zoneCount[cam]; });
    if (count >= 1) {
      experiment_->ForEachImageAnalysisConsumer([&](ImageAnalysisConsumer& v) { v.OnZonesReset(camera_); });
      experiment_->Update([cam](ExperimentContents& c) { return c.zoneCount[cam] = 0; });
    }
  }
}

void CameraWindowModel::OnCroppingCreated(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  cropping_ = {x1, y1, x2, y2};
}

void CameraWindowModel::OnDimensionsChanged(std::int32_t width, std::int32_t height) {
  videoWidth_ = width;
  videoHeight_ = height;
}

void CameraWindowModel::OnZoneSelected(std::int32_t zone) {
  selectedZone_ = zone < 0 ? -1 : zone;
  const bool selected = selectedZone_ >= 0;
  for (SliderId id : {SliderId::InnerLeft, SliderId::InnerRight, SliderId::OuterLeft, SliderId::OuterRight})
    sliders_[Idx(id)].enabled = selected;
  for (SliderId id : {SliderId::OuterThreshold, SliderId::InnerThreshold, SliderId::OuterCutOff, SliderId::InnerCutOff})
    sliders_[Idx(id)].enabled = selected && !autoThreshold_;
  if (selected) ReadZoneSliders();
}

void CameraWindowModel::ReadZoneSliders() {
  const std::int32_t z = selectedZone_;
  sliders_[Idx(SliderId::OuterThreshold)].Set(control_.Invoke<std::int32_t>(D::GetThresholdValue, z) - 128);
  sliders_[Idx(SliderId::InnerLeft)].Set(control_.Invoke<std::int32_t>(D::GetInnerLeftAdjustment, z));
  sliders_[Idx(SliderId::InnerRight)].Set(control_.Invoke<std::int32_t>(D::GetInnerRightAdjustment, z));
  sliders_[Idx(SliderId::OuterLeft)].Set(control_.Invoke<std::int32_t>(D::GetOuterLeftAdjustment, z));
  sliders_[Idx(SliderId::OuterRight)].Set(control_.Invoke<std::int32_t>(D::GetOuterRightAdjustment, z));
  manualTracking_ = !control_.Invoke<bool>(D::GetAutoTrackingEnabled, z);
  sliders_[Idx(SliderId::OuterCutOff)].Set(static_cast<int>(control_.Invoke<double>(D::GetAnalysisCutOff, z) * 100));
  sliders_[Idx(SliderId::InnerCutOff)].Set(
      static_cast<int>(control_.Invoke<double>(D::GetInnerAnalysisCutOff, z) * 100));
}

void CameraWindowModel::OnCutOffTimer() {
  if (selectedZone_ < 0) return;
  const auto zone = std::int32_t(selectedZone_);
  const auto follow = [this, zone](SliderId id, int dispid) {
    const int n = static_cast<int>(control_.Invoke<double>(dispid, zone) * 100);
    SliderState& s = sliders_[Idx(id)];
    if (n != s.position) s.Set(n);
  };
  follow(SliderId::OuterCutOff, D::GetAnalysisCutOff);
  // The inner cut-off changes by itself only while the zone chooses it.
  if (autoThreshold_) follow(SliderId::InnerCutOff, D::GetInnerAnalysisCutOff);
}

void CameraWindowModel::OnZoneAnalysisData(std::int32_t zone, std::int32_t outerLeft, std::int32_t outerRight,
                                           std::int32_t lumenLeft, std::int32_t lumenRight) {
  // The record holds zones 0..3 only.
  if (zone < 0 || zone >= kMaxZones) return;
  std::lock_guard lock(recordMutex_);
  const double k = calibration_.load() / static_cast<double>(scale_.load());
  const auto z = static_cast<std::size_t>(zone);
  record_.outerLeft[z] = static_cast<float>(outerLeft * k);
  record_.outerRight[z] = static_cast<float>(outerRight * k);
  record_.innerLeft[z] = static_cast<float>(lumenLeft * k);
  record_.innerRight[z] = static_cast<float>(lumenRight * k);
  const int count = zoneCount_.load();
  if (zone + 1 < count) return;
  record_.zoneCount = count;
  record_.valid = 1;
  // Pushed under the record's lock, so records leave in the order they
  // were completed.
  if (queue_) queue_->Push(camera_, record_);
  ++measurements_;
}

void CameraWindowModel::OnRawZoneData(std::int32_t zone, const std::uint8_t* data, std::int32_t size) {
  if (zone < 0 || zone >= kMaxZones || size <= 0 || !data) return;
  std::lock_guard lock(recordMutex_);
  auto& v = profiles_[static_cast<std::size_t>(zone)];
  if (!v.empty() && static_cast<std::size_t>(size) != v.size() && size > kMaxProfileResize) return;
  try {
    v.assign(data, data + size);
  } catch (const std::bad_alloc&) {
    v.clear();
  }
}

void CameraWindowModel::OnIndexImage(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t size,
                                     const std::uint8_t* image) {
  if (camera_ != 0 || !experiment_ || !Collecting() || !experiment_->ExperimentClock().IsRunning()) return;
  std::uint32_t last = experiment_->lastIndexImageTime.load();
  // The gap as a signed difference: an image stamped just before `last`
  // (the collection's start) is stored, not preceded by a flood of gaps.
  if (static_cast<std::int32_t>(time - last) > kIndexGapLimit) {
    // A filler stands for the time only: no picture, so no picture size.
    while (static_cast<std::int32_t>(time - last) > kIndexGapLimit) {
      experiment_->AddExtraData(last + kIndexGap, 0, 0, 0, nullptr);
      last += kIndexGap;
    }
  } else {
    experiment_->AddExtraData(time, width, height, size, image);
  }
  experiment_->lastIndexImageTime = time;
}

void CameraWindowModel::OnCaptureStopped() {
  if (control_ && control_.Invoke<std::int16_t>(D::IsCapturing) != 0) {
    // The camera went away; the zones, the recording and a running
    // collection stay for its return.
    cameraLost_ = true;
    if (hooks_.repaint) hooks_.repaint();
    return;
  }
  cameraLost_ = false;
  zonesPresent_ = false;
  if (experiment_ && experiment_->videoEnabled.load()) experiment_->SetVideoEnabled(false);
  StopRecording();
  if (Collecting()) {
    if (hooks_.runCollectionStartStop) hooks_.runCollectionStartStop();
  } else if (experiment_) {
    RelativeTime::Interface& clock = experiment_->ExperimentClock();
    clock.Pause();
    experiment_->stopTick = clock.Now();
    experiment_->ResetStores();
    experiment_->mode = kModeNone;
    if (hooks_.stopRecordingEverywhere) hooks_.stopRecordingEverywhere();
    if (hooks_.resetStartStopButton) hooks_.resetStartStopButton();
  }
  if (hooks_.repaint) hooks_.repaint();
}

// ---- the picture's light ----

bool CameraWindowModel::UpdatePictureAdvice() {
  // Too dark in any zone says so; else too bright in any zone.
  bool dark = false, bright = false;
  for (std::int32_t zone = 0; control_ && zone < std::min(zoneCount_.load(), kMaxZones); ++zone) {
    const auto state = control_.Invoke<std::int32_t>(D::GetZonePictureState, zone);
    dark = dark || state == kTooDarkState;
    bright = bright || state == kTooBrightState;
  }
  std::string advice = dark ? Text(kPictureTooDark) : (bright ? Text(kPictureTooBright) : std::string());
  if (advice == pictureAdvice_) return false;
  pictureAdvice_ = std::move(advice);
  return true;
}

// ---- zone panels ----

std::vector<std::uint8_t> CameraWindowModel::Profile(int zone) const {
  if (zone < 0 || zone >= kMaxZones) return {};
  std::lock_guard lock(recordMutex_);
  return profiles_[static_cast<std::size_t>(zone)];
}

std::optional<ZoneData> CameraWindowModel::NewestMeasurement() const {
  if (!queue_ || !IsCameraIndex(camera_)) return std::nullopt;
  std::lock_guard lock(queue_->mutex);
  const auto entries = queue_->batches[static_cast<std::size_t>(camera_)].Entries();
  if (entries.empty()) return std::nullopt;
  return entries.back();
}

ZonePanelDrawing CameraWindowModel::PanelDrawing(int zone, int w, int h, const ZoneData& m) const {
  ZonePanelDrawing d;
  const std::vector<std::uint8_t> p = Profile(zone);
  if (w < 10 || h < 10 || p.size() < 10 || zone < 0 || zone >= kMaxZones) return d;
  const auto n = p.size();
  const double sx = double(n) / w;
  const double k = h * (h < 125 ? 0.6 : 0.7) / 255.0;
  d.profile.emplace_back(0, h);
  for (int x = 0; x < w; ++x) {
    const std::size_t i = std::min(static_cast<std::size_t>(x * sx), n - 1);
    d.profile.emplace_back(x, h - static_cast<int>(p[i] * k + 0.5));
  }
  const double calibration = calibration_.load();
  const double scale = scale_.load();
  auto toX = [&](float e) { return e / calibration / sx * scale; };
  const auto z = static_cast<std::size_t>(zone);
  const double ol = toX(m.outerLeft[z]), orr = toX(m.outerRight[z]);
  const double ll = toX(m.innerLeft[z]), lr = toX(m.innerRight[z]);
  d.outerY = h - h * (h < 125 ? 0.8 : 0.9);
  d.lumenY = h - h * (h < 125 ? 0.65 : 0.75);
  if (1 <= ol && ol < orr && orr < w) {
    d.outer = true;
    d.outerLeft = ol;
    d.outerRight = orr;
    d.outerMicrons = static_cast<int>(m.outerRight[z] - m.outerLeft[z] + 0.5);
  }
  const int lumenMicrons = static_cast<int>(m.innerRight[z] - m.innerLeft[z] + 0.5);
  if (ll > ol && orr > lr && lumenMicrons >= 1 && !ignoreLumen_) {
    d.lumen = true;
    d.lumenLeft = ll;
    d.lumenRight = lr;
    d.lumenMicrons = lumenMicrons;
  }
  return d;
}

}  // namespace ORV::Video

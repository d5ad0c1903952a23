#include "analysis_control/capture_engine.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "core/storage/relative_time.h"
#include "platform/cameras/capture/capture_manager.h"
#include "platform/cameras/capture/cv_capture_cam.h"

namespace ORV {

namespace {

// The frame timer interval of a frame rate: the integer part of
// 1000 / rate + 0.5 (15 frames a second give 67 ms).
int IntervalFor(int framesPerSecond) { return static_cast<int>(1000.0 / framesPerSecond + 0.5); }

GreyImageView ViewOf(const cv::Mat& image) {
  return {image.data, image.cols, image.rows, static_cast<std::ptrdiff_t>(image.step)};
}

}  // namespace

CaptureEngine::CaptureEngine(CaptureEvents& events, CaptureEngineServices services)
    : events_(events),
      services_(std::move(services)),
      captureStart_(0),
      analysis_(events, services_.executor, services_.ui) {
  if (!services_.createCamera) services_.createCamera = CreateCameraInterface;
}

CaptureEngine::~CaptureEngine() {
  StopCapture();
  std::unique_ptr<CameraInterface> camera;
  {
    std::lock_guard lock(lock_);
    camera = std::move(camera_);
  }
  // Outside the grab lock: a library thread ended by the back-end's
  // destructor may be waiting for it.
  camera.reset();
}

// ---- host wiring ----

void CaptureEngine::SetRelativeTime(RelativeTime::Interface* clock) {
  clock_ = clock;
  analysis_.SetRelativeTime(clock);
}

void CaptureEngine::SetNotifyWindow(NotifyWindow window) {
  std::lock_guard lock(lock_);
  notifyWindow_ = window;
  if (camera_) camera_->SetNotifyWindow(std::move(window));
}

std::uint32_t CaptureEngine::Now() const {
  RelativeTime::Interface* clock = clock_.load();
  return clock != nullptr ? clock->Now() : 0;
}

bool CaptureEngine::ClockRuns() const {
  RelativeTime::Interface* clock = clock_.load();
  return clock != nullptr && clock->IsRunning();
}

void CaptureEngine::OnWindowMessage(std::uint32_t message) {
  if (message == WM_CAMERA_FRAME_READY) {
    GrabFrame();
  } else if (message == WM_CAMERA_DEVICE_LOST) {
    // The view stays marked as capturing until the host stops it. The
    // back-end is stopped outside the grab lock, which its thread may be
    // waiting for; only this thread replaces the back-end.
    CameraInterface* camera = nullptr;
    {
      std::lock_guard lock(lock_);
      camera = camera_.get();
    }
    if (camera != nullptr) {
      camera->SetFrameCallback(nullptr);
      camera->Stop();
      cameraLost_ = capturing_.load();
    }
    events_.CaptureStopped();
  }
}

bool CaptureEngine::RestartLostCamera() {
  std::unique_lock lock(lock_);
  if (!cameraLost_ || !capturing_ || sourceType_ != kSourceCamera || !camera_) return false;
  CameraInterface* camera = camera_.get();
  if (!camera->Open(deviceName_)) return false;
  camera->SetFrameCallback(this);
  if (!camera->Start()) {
    lock.unlock();
    // As in Abandon: detached outside the grab lock a callback may wait for.
    camera->SetFrameCallback(nullptr);
    camera->Stop();
    return false;
  }
  cameraLost_ = false;
  return true;
}

std::uint64_t CaptureEngine::TornFrames() const {
  std::lock_guard lock(lock_);
  return camera_ ? camera_->TornFrames() : 0;
}

void CaptureEngine::OnTimer() {
  if (GetSourceType() != kSourceCamera) GrabFrame();
}

void CaptureEngine::OnFrameReady() {
  framesReady_.fetch_add(1);
  lastFrameTime_ = Now();
  GrabFrame();
}

Cameras::CaptureDeviceManager& CaptureEngine::CaptureDevices() {
  return services_.captureDevices != nullptr ? *services_.captureDevices : Cameras::TheCaptureDeviceManager();
}

// ---- cameras ----

void CaptureEngine::LoadCamera(std::int16_t type) {
  if (capturing_) StopCapture();
  std::unique_ptr<CameraInterface> old;
  {
    std::lock_guard lock(lock_);
    old = std::move(camera_);
  }
  old.reset();
  std::unique_ptr<CameraInterface> camera = services_.createCamera(type);
  std::lock_guard lock(lock_);
  camera_ = std::move(camera);
  if (!camera_) return;
  if (type == kCameraTypeLumenera) {
    repaintDivisor_ = kCameraRepaintDivisor;
  } else if (type == kCameraTypeXimea) {
    repaintDivisor_ = kCameraRepaintDivisor;
    camera_->Open("");
  } else {
    repaintDivisor_ = kDefaultRepaintDivisor;
  }
  camera_->SetNotifyWindow(notifyWindow_);
  if (!camera_->IsAvailable()) return;
  const int count = camera_->GetDeviceCount();
  for (int i = 0; i < count && static_cast<int>(cameras_.size()) < kMaxCameraList; ++i) {
    const char* unique = camera_->GetUniqueName(i);
    if (unique == nullptr || !IsKnownCameraModel(unique)) continue;
    const char* device = camera_->GetDeviceName(i);
    cameras_.push_back({unique, device != nullptr ? device : "", i});
  }
}

int CaptureEngine::GetCameraCount() const {
  std::lock_guard lock(lock_);
  return static_cast<int>(cameras_.size());
}

std::string CaptureEngine::GetCameraName(int index) const {
  std::lock_guard lock(lock_);
  return index >= 0 && index < static_cast<int>(cameras_.size()) ? cameras_[index].displayName : std::string();
}

bool CaptureEngine::StartCapture(const std::string& camera) {
  if (capturing_ || GetCameraCount() == 0) StopCapture();
  std::unique_lock lock(lock_);
  if (clock_.load() == nullptr) return false;  // the host has not given its clock
  videoFrameCount_ = 0;
  videoFrameIndex_ = 0;

  // The entry of that very device when the name is a device's own (two
  // cameras of one model differ only there), else the first whose display
  // name begins with it.
  const CameraEntry* entry = nullptr;
  for (const CameraEntry& e : cameras_) {
    if (!camera.empty() && e.deviceName == camera) {
      entry = &e;
      break;
    }
  }
  for (const CameraEntry& e : cameras_) {
    if (entry == nullptr && e.displayName.starts_with(camera)) entry = &e;
  }
  if (!IsKnownCameraModel(camera)) {
    // Another video device: frames are fetched on the frame timer.
    sourceType_ = kSourceCaptureDevice;
    captureDeviceNumber_ = entry != nullptr ? entry->deviceNumber : 0;
    capture_ = Cameras::CvCaptureCAM_ORV::create(CaptureDevices(), captureDeviceNumber_);
    const cv::Mat* frame = capture_ ? capture_->retrieveFrame() : nullptr;
    if (frame == nullptr || frame->empty()) {
      capture_.reset();
      sourceType_ = kSourceNone;
      return false;
    }
    cameraFrame_.CopyFrom(*frame);
    width_ = static_cast<int>(capture_->getProperty(Cameras::CvCaptureCAM_ORV::kPropertyFrameWidth));
    height_ = static_cast<int>(capture_->getProperty(Cameras::CvCaptureCAM_ORV::kPropertyFrameHeight));
    framesPerSecond_ = kFallbackFramesPerSecond;
  } else {
    if (!camera_) return false;
    if (entry == nullptr && !cameras_.empty()) entry = &cameras_.front();
    const std::string device = entry != nullptr ? entry->deviceName : std::string();
    if (!camera_->Open(device)) return false;
    deviceName_ = device;
    camera_->SetFrameCallback(this);
    width_ = camera_->GetWidth();
    height_ = camera_->GetHeight();
    framesPerSecond_ = camera_->GetFrameRate();
    if (IsUsableFrameSize(width_, height_)) {
      // A picture to show until the first frame arrives.
      cameraFrame_.SetImage(std::make_shared<cv::Mat>(height_, width_, CV_8UC1, cv::Scalar(0)));
    }
    // The back-end is marked as the source before it starts, so that a
    // failed start is stopped and detached like a refused picture.
    sourceType_ = kSourceCamera;
    if (!camera_->Start()) {
      Abandon(lock);
      return false;
    }
  }
  if (framesPerSecond_ <= 0) framesPerSecond_ = kFallbackFramesPerSecond;
  frameInterval_ = IntervalFor(framesPerSecond_);
  if (!StartView()) {
    Abandon(lock);
    return false;
  }
  events_.DimensionsChanged(width_, height_);
  return true;
}

void CaptureEngine::Abandon(std::unique_lock<std::recursive_mutex>& lock) {
  capture_.reset();
  cameraFrame_.Release();
  CameraInterface* started = sourceType_ == kSourceCamera ? camera_.get() : nullptr;
  sourceType_ = kSourceNone;
  lock.unlock();
  // A frame callback already on its way waits for the grab lock; it finds
  // the view not capturing and returns, and detaching waits for that.
  if (started != nullptr) {
    started->SetFrameCallback(nullptr);
    started->Stop();
  }
}

bool CaptureEngine::StartView() {
  const SharedCameraFrame::Image frame = cameraFrame_.Get();
  if (!frame || frame->cols <= kMinPictureSide || frame->rows <= kMinPictureSide) return false;
  transformedFrame_.SetImage(std::make_shared<cv::Mat>(frame->rows, frame->cols, frame->type(), cv::Scalar(0)));
  centre_ = cv::Point2f(static_cast<float>(frame->cols / 2), static_cast<float>(frame->rows / 2));

  const std::uint32_t now = Now();
  captureStart_ = now;
  lastFrameTime_ = now;
  analysis_.StartThumbnails(now, frame->cols, frame->rows);
  analysis_.UpdateAnalysisData([&](AnalysisData& r) { r.startTime = static_cast<std::int32_t>(now); });
  ++videoFrameIndex_;

  if (services_.timer) services_.timer->Start(frameInterval_);
  events_.ZonesReset();
  if (recordingRequested_ && !recordingFile_.empty()) StartRecorder();
  capturing_ = true;
  return true;
}

void CaptureEngine::StartRecorder() {
  recorder_.SetSize(width_, height_, videoScaleFactor_, framesPerSecond_);
  if (!recorder_.Start(recordingFile_)) return;
  recordingStart_ = Now();
  const auto start = static_cast<std::int32_t>(captureStart_);
  const auto factor = static_cast<float>(videoScaleFactor_);
  analysis_.UpdateAnalysisData([&](AnalysisData& r) {
    const std::uint8_t ignoreLumen = r.ignoreLumen;
    r = AnalysisData{};
    r.scaleFactor = factor;
    r.ignoreLumen = ignoreLumen;
    r.startTime = start;
  });
}

void CaptureEngine::StopCapture() {
  if (!capturing_.exchange(false)) return;
  cameraLost_ = false;
  // The camera's callback is detached before the grab lock is taken: a
  // callback still running may be waiting for that lock, and detaching
  // waits for it to return.
  CameraInterface* camera = nullptr;
  {
    std::lock_guard lock(lock_);
    if (sourceType_ == kSourceCamera) camera = camera_.get();
  }
  if (camera != nullptr) {
    camera->SetFrameCallback(nullptr);
    camera->Stop();
  }
  {
    std::lock_guard lock(lock_);
    analysis_.RemoveAllZones();
    if (services_.timer) services_.timer->Stop();
    switch (sourceType_) {
      case kSourceCamera:
        cameraFrame_.Release();
        break;
      case kSourceCaptureDevice:
        capture_.reset();
        break;
      case kSourceVideoFile:
        video_.Close();
        break;
      default:
        break;
    }
    deviceName_.clear();
    sourceType_ = kSourceNone;
    paused_ = false;
    stepOnce_ = false;
    analysis_.SetPaused(false);
    StopRecordingLocked();
  }
  events_.CaptureStopped();
}

SourceType CaptureEngine::GetSourceType() const {
  std::lock_guard lock(lock_);
  return sourceType_;
}

void CaptureEngine::PauseCapture() {
  std::lock_guard lock(lock_);
  if (!capturing_) return;
  paused_ = true;
  analysis_.SetPaused(true);
}

void CaptureEngine::ResumeCapture() {
  std::lock_guard lock(lock_);
  if (!paused_) return;
  paused_ = false;
  analysis_.SetPaused(false);
  captureStart_ = Now();
}

bool CaptureEngine::IsPaused() const {
  std::lock_guard lock(lock_);
  return paused_;
}

void CaptureEngine::SetCameraDimensions(int width, int height) {
  std::lock_guard lock(lock_);
  width_ = width;
  height_ = height;
}

int CaptureEngine::GetWidth() const {
  std::lock_guard lock(lock_);
  return width_;
}

int CaptureEngine::GetHeight() const {
  std::lock_guard lock(lock_);
  return height_;
}

void CaptureEngine::SetFrameRate(std::uint32_t millis) {
  std::lock_guard lock(lock_);
  frameInterval_ = static_cast<int>(std::clamp<std::uint32_t>(millis, 1, 0x7FFFFFFF));
}

std::uint32_t CaptureEngine::GetFrameRate() const {
  std::lock_guard lock(lock_);
  return static_cast<std::uint32_t>(frameInterval_);
}

void CaptureEngine::TransformCameraView(std::int32_t degrees, float scale) {
  if (!std::isfinite(scale)) return;
  std::lock_guard lock(lock_);
  angle_ = degrees;
  scale_ = scale;
}

bool CaptureEngine::GetVideoValues(CameraGetter get, long property, int* minimum, int* maximum, int* value) {
  std::lock_guard lock(lock_);
  if (sourceType_ == kSourceCamera) return (camera_.get()->*get)(minimum, maximum, value);
  if (sourceType_ != kSourceCaptureDevice) return false;
  long lo, hi, step, current, flags, def;
  if (!CaptureDevices().GetVideoSettingRange(captureDeviceNumber_, property, lo, hi, step, current, flags, def))
    return false;
  *minimum = static_cast<int>(lo);
  *maximum = static_cast<int>(hi);
  *value = static_cast<int>(current);
  return true;
}

bool CaptureEngine::SetVideoValue(CameraSetter set, long property, int value) {
  std::lock_guard lock(lock_);
  if (sourceType_ == kSourceCamera) return (camera_.get()->*set)(value);
  return sourceType_ == kSourceCaptureDevice && CaptureDevices().SetVideoSetting(captureDeviceNumber_, property, value);
}

bool CaptureEngine::GetGainValues(int* minimum, int* maximum, int* value) {
  return GetVideoValues(&CameraInterface::GetGain, Cameras::kVideoProcGain, minimum, maximum, value);
}
bool CaptureEngine::GetBrightnessValues(int* minimum, int* maximum, int* value) {
  return GetVideoValues(&CameraInterface::GetExposure, Cameras::kVideoProcBrightness, minimum, maximum, value);
}
bool CaptureEngine::GetGammaValues(int* minimum, int* maximum, int* value) {
  return GetVideoValues(&CameraInterface::GetGamma, Cameras::kVideoProcGamma, minimum, maximum, value);
}
bool CaptureEngine::SetGainValue(int value) {
  return SetVideoValue(&CameraInterface::SetGain, Cameras::kVideoProcGain, value);
}
bool CaptureEngine::SetBrightnessValue(int value) {
  return SetVideoValue(&CameraInterface::SetExposure, Cameras::kVideoProcBrightness, value);
}
bool CaptureEngine::SetGammaValue(int value) {
  return SetVideoValue(&CameraInterface::SetGamma, Cameras::kVideoProcGamma, value);
}

void CaptureEngine::SetRepaintDivisor(int divisor) {
  if (divisor < 1 || divisor > 5) return;
  std::lock_guard lock(lock_);
  repaintDivisor_ = divisor;
}

int CaptureEngine::GetRepaintDivisor() const {
  std::lock_guard lock(lock_);
  return repaintDivisor_;
}

void CaptureEngine::SetTrackerBusy(bool busy) { trackerBusy_ = busy; }

// ---- recording ----

void CaptureEngine::StartRecording(const std::string& file) {
  std::lock_guard lock(lock_);
  recordingFile_ = file;
  recordingRequested_ = true;
  if (!capturing_) return;
  recorder_.SetSize(width_, height_, videoScaleFactor_, framesPerSecond_);
  if (!recorder_.Start(recordingFile_)) return;
  const std::uint32_t now = Now();
  recordingStart_ = now;
  const auto factor = static_cast<float>(videoScaleFactor_);
  analysis_.UpdateAnalysisData([&](AnalysisData& r) {
    r.startTime = static_cast<std::int32_t>(now);
    r.scaleFactor = factor;
  });
}

bool CaptureEngine::IsRecording() const {
  std::lock_guard lock(lock_);
  return recordingRequested_;
}

void CaptureEngine::StopRecording() {
  std::lock_guard lock(lock_);
  StopRecordingLocked();
}

void CaptureEngine::StopRecordingLocked() {
  recorder_.Stop(Now() - recordingStart_);
  recordingFile_.clear();
  recordingRequested_ = false;
}

void CaptureEngine::SetVideoScaleFactor(std::uint16_t factor) {
  std::lock_guard lock(lock_);
  videoScaleFactor_ = factor == 0 ? 1 : factor;
}

int CaptureEngine::GetVideoScaleFactor() const {
  std::lock_guard lock(lock_);
  return videoScaleFactor_;
}

// ---- video files ----

bool CaptureEngine::PlayVideoFile(const std::string& file) {
  if (capturing_) StopCapture();
  std::lock_guard lock(lock_);
  videoFrameIndex_ = 0;
  bool started = false;
  if (clock_.load() != nullptr && video_.Open(file)) {
    const cv::Mat first = video_.NextFrame();
    if (!first.empty()) {
      cameraFrame_.CopyFrom(first);
      const ReadVideoFrames::Info info = video_.GetInfo();
      width_ = info.width;
      height_ = info.height;
      videoFrameCount_ = static_cast<int>(info.frameCount + 0.5);
      framesPerSecond_ = static_cast<int>(info.framesPerSecond + 0.5);
      if (framesPerSecond_ <= 0) framesPerSecond_ = kFallbackFramesPerSecond;
      frameInterval_ = static_cast<int>(1000 / framesPerSecond_);
      videoDuration_ = FormatDuration(static_cast<std::uint32_t>(std::max(videoFrameCount_, 0) / framesPerSecond_));
      sourceType_ = kSourceVideoFile;
      paused_ = false;
      stepOnce_ = false;
      analysis_.SetPaused(false);
      started = StartView();
      if (started) events_.DimensionsChanged(width_, height_);
    }
  }
  if (!started) {
    video_.Close();
    cameraFrame_.Release();
    sourceType_ = kSourceNone;
    videoFrameCount_ = 0;
    return false;
  }
  analysis_.ResetZoneSettings();
  events_.ZonesReset();
  return true;
}

bool CaptureEngine::IsVideoPlaying() const {
  std::lock_guard lock(lock_);
  return video_.IsOpen();
}

void CaptureEngine::MoveVideoTo(int target, bool restartClock) {
  videoFrameIndex_ = target;
  video_.Seek(target);
  if (restartClock) captureStart_ = Now();
}

void CaptureEngine::VideoForward() {
  std::lock_guard lock(lock_);
  if (sourceType_ != kSourceVideoFile) return;
  const int target = videoFrameIndex_ + kVideoJumpSeconds * framesPerSecond_;
  if (target < videoFrameCount_) MoveVideoTo(target, true);
}

void CaptureEngine::VideoBackward() {
  std::lock_guard lock(lock_);
  if (sourceType_ != kSourceVideoFile) return;
  MoveVideoTo(std::max(0, videoFrameIndex_ - kVideoJumpSeconds * framesPerSecond_), true);
}

void CaptureEngine::SetCurrentVideoTimeInSeconds(std::uint32_t seconds) {
  std::lock_guard lock(lock_);
  if (sourceType_ != kSourceVideoFile) return;
  const std::int64_t target = static_cast<std::int64_t>(seconds) * framesPerSecond_;
  if (target < videoFrameCount_) MoveVideoTo(static_cast<int>(target), true);
}

bool CaptureEngine::SeekFramesFromCurrentPosition(std::int32_t frames) {
  std::lock_guard lock(lock_);
  if (sourceType_ != kSourceVideoFile || !capturing_ || recordingRequested_) return false;
  const std::int64_t target = static_cast<std::int64_t>(videoFrameIndex_) - 1 + frames;
  if (target < 0 || target >= videoFrameCount_) return false;
  MoveVideoTo(static_cast<int>(target), false);
  stepOnce_ = true;
  return true;
}

int CaptureEngine::GetVideoFrameIndex() const {
  std::lock_guard lock(lock_);
  return videoFrameIndex_;
}

int CaptureEngine::GetVideoFrameCount() const {
  std::lock_guard lock(lock_);
  return videoFrameCount_;
}

int CaptureEngine::GetVideoFramesPerSecond() const {
  std::lock_guard lock(lock_);
  return sourceType_ == kSourceVideoFile ? framesPerSecond_ : 0;
}

std::string CaptureEngine::VideoPositionText() const {
  std::lock_guard lock(lock_);
  if (sourceType_ != kSourceVideoFile || videoFrameCount_ < 1 || framesPerSecond_ <= 0) return {};
  return FormatDuration(static_cast<std::uint32_t>(videoFrameIndex_ / framesPerSecond_)) + " / " + videoDuration_;
}

// ---- frames ----

SharedCameraFrame::Image CaptureEngine::ShownFrame() const {
  std::lock_guard lock(lock_);
  if (angle_ != 0 || scale_ != 1.0f) {
    if (SharedCameraFrame::Image t = transformedFrame_.Get()) return t;
  }
  return cameraFrame_.Get();
}

bool CaptureEngine::NextVideoFrame(std::uint32_t now) {
  cv::Mat frame = video_.NextFrame();
  if (frame.empty()) return false;
  cameraFrame_.CopyFrom(frame);
  ++videoFrameIndex_;
  if (videoFrameIndex_ % kCatchUpEveryFrames != 0 || frameInterval_ <= 0) return true;
  // Every tenth frame: take the frames that the clock has passed by at once.
  const std::uint32_t elapsed = now - captureStart_;
  std::int64_t behind =
      static_cast<std::int64_t>(static_cast<float>(elapsed) / static_cast<float>(frameInterval_)) - videoFrameIndex_;
  while (behind >= 1) {
    frame = video_.NextFrame();
    if (frame.empty()) return false;
    cameraFrame_.CopyFrom(frame);
    ++videoFrameIndex_;
    --behind;
    if (ClockRuns() && recordingRequested_) {
      const auto frameTime = static_cast<std::int32_t>(elapsed - behind * frameInterval_);
      analysis_.UpdateAnalysisData([&](AnalysisData& r) { r.frameTime = frameTime; });
      if (SharedCameraFrame::Image image = cameraFrame_.Get()) recorder_.AddFrame(analysis_.GetAnalysisData(), *image);
    }
  }
  return true;
}

void CaptureEngine::GrabFrame() {
  std::unique_lock lock(lock_);
  if (!capturing_ || trackerBusy_) return;
  const bool fetch = !paused_ || stepOnce_;
  // A camera's frame is copied outside the grab lock: back-ends call in
  // holding their frame lock, which is therefore always taken before the
  // grab lock. Only this thread (or the user-interface thread, which alone
  // replaces the back-end) reaches the back-end meanwhile.
  std::shared_ptr<cv::Mat> fresh;
  if (fetch && sourceType_ == kSourceCamera && IsUsableFrameSize(width_, height_)) {
    CameraInterface* camera = camera_.get();
    const int width = width_, height = height_;
    lock.unlock();
    fresh = std::make_shared<cv::Mat>(cameraFrame_.NewImage({width, height}));
    if (!camera->CopyFrame(fresh->data)) fresh.reset();
    lock.lock();
    if (!capturing_ || trackerBusy_) return;
  }
  const std::uint32_t now = Now();
  bool videoEnded = false;
  try {
    if (fetch) {
      switch (sourceType_) {
        case kSourceCamera:
          if (fresh && fresh->cols == width_ && fresh->rows == height_) cameraFrame_.SetImage(std::move(fresh));
          break;
        case kSourceCaptureDevice:
          if (const cv::Mat* frame = capture_ ? capture_->retrieveFrame() : nullptr) cameraFrame_.CopyFrom(*frame);
          break;
        case kSourceVideoFile:
          videoEnded = !NextVideoFrame(now);
          break;
        default:
          break;
      }
    }
    if (videoEnded ||
        (sourceType_ == kSourceVideoFile && videoFrameCount_ >= 1 && videoFrameIndex_ >= videoFrameCount_)) {
      EndPlayback();
    } else {
      SharedCameraFrame::Image shown = cameraFrame_.Get();
      if (shown && (angle_ != 0 || scale_ != 1.0f)) {
        const cv::Mat rotation = cv::getRotationMatrix2D(centre_, angle_, scale_);
        // Into pooled memory, like the camera's frames: the recorder keeps it
        // without a copy.
        auto transformed = std::make_shared<cv::Mat>(transformedFrame_.NewImage(shown->size()));
        cv::warpAffine(*shown, *transformed, rotation, shown->size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(0));
        shown = transformed;
        transformedFrame_.SetImage(std::move(transformed));
      }
      if (shown && fetch && recordingRequested_ && ClockRuns()) {
        const auto frameTime = static_cast<std::int32_t>(now - captureStart_);
        analysis_.UpdateAnalysisData([&](AnalysisData& r) { r.frameTime = frameTime; });
        recorder_.AddFrame(analysis_.GetAnalysisData(), *shown);
      }
      if (shown) {
        // The shown picture is never written once shared: the workers cut
        // their crops out of it.
        analysis_.PrepareZones(ViewOf(*shown), shown);
        events_.FramePrepared();
      }
    }
  } catch (const cv::Exception&) {
    // The frame's step ends here; the next frame starts afresh.
  }
  stepOnce_ = false;
}

void CaptureEngine::EndPlayback() {
  videoFrameCount_ = 0;
  analysis_.RemoveAllZones();
  StopCapture();
}

}  // namespace ORV

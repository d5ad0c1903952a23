#include "video/cameras/ximea_interface.h"

#include <climits>
#include <cmath>

#include "core/base/sleep.h"

namespace ORV {

using namespace Cameras;

namespace ximeacamera {

namespace {
// Open attempts over the thread's life, and failed reads in a row that make one.
constexpr int kMaxOpenAttempts = 3;
constexpr int kImageTriesPerEpisode = 3;
constexpr std::uint32_t kImageTimeoutMs = 500;
// The idle wait between passes while no acquisition is wanted: 10 ms.
constexpr std::int64_t kIdleWait100ns = 100000;
}  // namespace

void ParameterMapping::SetCameraRange(float minimum, float maximum) {
  cameraMinimum = minimum;
  cameraMaximum = maximum;
  cameraSpan = static_cast<double>(maximum) - static_cast<double>(minimum);
  userSpan = static_cast<double>(userMaximum) - static_cast<double>(userMinimum);
}

int ParameterMapping::ToUser(double camera) const {
  if (cameraSpan == 0.0) return userMinimum;
  const double u = (camera - cameraMinimum) / cameraSpan * userSpan + userMinimum;
  if (!std::isfinite(u) || u >= 2147483648.0 || u <= -2147483649.0) return userMinimum;
  return static_cast<int>(u);
}

float ParameterMapping::ToCamera(int user) const {
  return static_cast<float>((user - userMinimum) / userSpan * cameraSpan + cameraMinimum);
}

XimeaTask::XimeaTask(XiApi api) : api_(std::move(api)) {}

XimeaTask::~XimeaTask() {
  SetAcquire(false);
  StopAndJoin();
  handlers_.clear();
}

int XimeaTask::AddFrameHandler(FrameHandler handler) {
  std::lock_guard guard(mutex_);
  const int id = ++handlerCounter_;
  handlers_[id] = std::move(handler);
  return id;
}

void XimeaTask::Start() {
  std::lock_guard guard(mutex_);
  if (started_) return;
  stopRequested_ = false;
  started_ = true;
  thread_ = std::thread([this] { Run(); });
}

void XimeaTask::StopAndJoin() {
  {
    std::lock_guard guard(mutex_);
    if (!started_) return;
    stopRequested_ = true;
  }
  // A handler that destroys its own camera runs on this thread: it cannot wait for itself.
  if (thread_.get_id() == std::this_thread::get_id())
    thread_.detach();
  else if (thread_.joinable())
    thread_.join();
  std::lock_guard guard(mutex_);
  started_ = false;
  ready_.Reset();
}

void XimeaTask::SetAcquire(bool acquire) {
  std::lock_guard guard(mutex_);
  acquire_ = acquire;
}

int XimeaTask::Width() const { return width_; }
int XimeaTask::Height() const { return height_; }
int XimeaTask::FrameRate() const { return frameRate_; }

bool XimeaTask::OpenAndConfigure() {
  std::lock_guard guard(mutex_);
  if (api_.OpenDevice(0, &device_) != kXiOk) {
    device_ = nullptr;
    return false;
  }
  int width = 0, height = 0, rate = 0;
  const bool configured =
      api_.SetParamInt(device_, "exposure", 2500) == kXiOk &&
      api_.SetParamFloat(device_, "framerate", 200.0f) == kXiOk &&
      api_.SetParamInt(device_, "acq_timing_mode", 2) == kXiOk &&
      api_.SetParamInt(device_, "imgdataformat", 0) == kXiOk && api_.SetParamInt(device_, "downsampling", 2) == kXiOk &&
      api_.GetParamInt(device_, "width", &width) == kXiOk && api_.GetParamInt(device_, "height", &height) == kXiOk &&
      api_.GetParamInt(device_, "framerate", &rate) == kXiOk &&
      api_.GetParamFloat(device_, "gain:min", &gainMinimum_) == kXiOk &&
      api_.GetParamFloat(device_, "gain:max", &gainMaximum_) == kXiOk &&
      api_.GetParamFloat(device_, "gammaY:min", &gammaMinimum_) == kXiOk &&
      api_.GetParamFloat(device_, "gammaY:max", &gammaMaximum_) == kXiOk;
  if (!IsUsableFrameSize(width, height)) return false;
  width_ = width;
  height_ = height;
  frameRate_ = rate;
  if (!configured) return false;
  gain_.SetCameraRange(gainMinimum_, gainMaximum_);
  gamma_.SetCameraRange(gammaMinimum_, gammaMaximum_);
  exposure_.SetCameraRange(exposureMinimum_, exposureMaximum_);
  return true;
}

void XimeaTask::CloseDevice() {
  std::lock_guard guard(mutex_);
  if (device_ != nullptr) api_.CloseDevice(device_);
  device_ = nullptr;
}

// One pass with acquisition wanted: starts it when needed and reads one
// image. False when the thread must leave the acquisition (failedEpisodes
// tells whether to open the device again).
bool XimeaTask::Acquire(bool& acquiring, int& failedEpisodes) {
  if (!acquiring) {
    std::lock_guard guard(mutex_);
    if (api_.StartAcquisition(device_) != kXiOk) {
      failedEpisodes = kMaxOpenAttempts;
      return false;
    }
    acquiring = true;
  }
  for (int attempt = 0; attempt < kImageTriesPerEpisode; ++attempt) {
    XiImage image;
    image.size = kXiImageRecordSize;
    int result;
    {
      std::lock_guard guard(mutex_);
      result = api_.GetImage(device_, kImageTimeoutMs, &image);
    }
    if (result != kXiOk) continue;
    const IMAGE frame{image.buffer, image.bufferSize, image.width, image.height, false};
    std::map<int, FrameHandler> handlers;
    {
      std::lock_guard guard(mutex_);
      handlers = handlers_;
    }
    for (auto& [id, handler] : handlers) {
      if (handler) handler(&frame);
    }
    return true;
  }
  // Three failed reads in a row: give the device up and open it again.
  {
    std::lock_guard guard(mutex_);
    api_.StopAcquisition(device_);
  }
  acquiring = false;
  CloseDevice();
  ++failedEpisodes;
  return false;
}

void XimeaTask::Run() {
  int failedEpisodes = 0;
  bool acquiring = false;
  while (failedEpisodes < kMaxOpenAttempts && OpenAndConfigure()) {
    ready_.Set();
    bool reopen = false;
    for (;;) {
      bool stop, acquire;
      {
        std::lock_guard guard(mutex_);
        stop = stopRequested_;
        acquire = acquire_;
      }
      if (stop) {
        if (acquiring) {
          std::lock_guard guard(mutex_);
          api_.StopAcquisition(device_);
        }
        acquiring = false;
        failedEpisodes = kMaxOpenAttempts;
        break;
      }
      if (acquire) {
        if (!Acquire(acquiring, failedEpisodes)) {
          reopen = device_ == nullptr;
          break;
        }
        continue;
      }
      if (acquiring) {
        std::lock_guard guard(mutex_);
        if (api_.StopAcquisition(device_) != kXiOk) {
          api_.StopAcquisition(device_);
          failedEpisodes = kMaxOpenAttempts;
          break;
        }
        acquiring = false;
      }
      HighResolutionSleep(kIdleWait100ns);
    }
    if (!reopen) break;
  }
  CloseDevice();
  ready_.Set();
}

ParameterMapping& XimeaTask::MappingOf(Parameter parameter) {
  switch (parameter) {
    case Parameter::kGain:
      return gain_;
    case Parameter::kGamma:
      return gamma_;
    case Parameter::kExposure:
      break;
  }
  return exposure_;
}

namespace {
const char* NameOf(XimeaTask::Parameter parameter) {
  switch (parameter) {
    case XimeaTask::Parameter::kGain:
      return "gain";
    case XimeaTask::Parameter::kGamma:
      return "gammaY";
    case XimeaTask::Parameter::kExposure:
      break;
  }
  return "exposure";
}
}  // namespace

bool XimeaTask::Get(Parameter parameter, int* minimum, int* maximum, int* value) {
  std::lock_guard guard(mutex_);
  const ParameterMapping& m = MappingOf(parameter);
  if (minimum != nullptr) *minimum = m.ToUser(m.cameraMinimum);
  if (maximum != nullptr) *maximum = m.ToUser(m.cameraMaximum);
  float current = 0.0f;
  if (device_ != nullptr && api_.GetParamFloat(device_, NameOf(parameter), &current) != kXiOk) current = 0.0f;
  if (value != nullptr) *value = m.ToUser(current);
  return true;
}

bool XimeaTask::Set(Parameter parameter, int value) {
  std::lock_guard guard(mutex_);
  if (device_ == nullptr) return false;
  const ParameterMapping& m = MappingOf(parameter);
  // A camera with a single value takes only the user minimum.
  if (m.cameraSpan == 0.0 && value != m.userMinimum) return false;
  const float c = m.ToCamera(value);
  if (!std::isfinite(c) || c < m.cameraMinimum || c > m.cameraMaximum) return false;
  if (parameter == Parameter::kExposure) return api_.SetParamInt(device_, "exposure", static_cast<int>(c)) == kXiOk;
  return api_.SetParamFloat(device_, NameOf(parameter), c) == kXiOk;
}

}  // namespace ximeacamera

using ximeacamera::XimeaTask;

XIMEAInterface::XIMEAInterface(XiApi api) : api_(std::move(api)) {}

XIMEAInterface::~XIMEAInterface() {
  if (task_) task_->StopAndJoin();
  task_.reset();
}

int XIMEAInterface::GetDeviceCount() {
  std::uint32_t count = 0;
  if (api_.GetNumberDevices(&count) != kXiOk) return 0;
  return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

bool XIMEAInterface::Open(std::string) {
  if (!task_) {
    task_ = std::make_shared<XimeaTask>(api_);
    task_->AddFrameHandler([this](const ximeacamera::IMAGE* image) { HandleFrame(image); });
    task_->Start();
  }
  return true;
}

bool XIMEAInterface::Start() {
  if (!task_) return false;
  task_->SetAcquire(true);
  return true;
}

void XIMEAInterface::Stop() {
  if (task_) task_->SetAcquire(false);
}

void XIMEAInterface::HandleFrame(const ximeacamera::IMAGE* image) {
  if (image == nullptr || image->buffer == nullptr) return;
  if (GetFrameCallback() == nullptr && GetNotifyWindow() == nullptr) return;
  // A buffer shorter than its stated size, or fewer rows than the format
  // promises, is a frame torn on the way.
  if (static_cast<std::uint64_t>(image->width) * image->height > image->size ||
      static_cast<std::int64_t>(image->height) < GetHeight()) {
    CountTornFrame();
    return;
  }
  std::lock_guard guard(frames_.lock());
  frames_.Store(image->buffer, image->width, image->height);
  if (ORVCameraCallback* callback = GetFrameCallback())
    callback->OnFrameReady();
  else if (NotifyWindow window = GetNotifyWindow())
    window->PostMessage(WM_CAMERA_FRAME_READY, 0, 0);
}

bool XIMEAInterface::GetGain(int* minimum, int* maximum, int* value) {
  return task_ && task_->Get(XimeaTask::Parameter::kGain, minimum, maximum, value);
}
bool XIMEAInterface::SetGain(int value) { return task_ && task_->Set(XimeaTask::Parameter::kGain, value); }
bool XIMEAInterface::GetExposure(int* minimum, int* maximum, int* value) {
  return task_ && task_->Get(XimeaTask::Parameter::kExposure, minimum, maximum, value);
}
bool XIMEAInterface::SetExposure(int value) { return task_ && task_->Set(XimeaTask::Parameter::kExposure, value); }
bool XIMEAInterface::GetGamma(int* minimum, int* maximum, int* value) {
  return task_ && task_->Get(XimeaTask::Parameter::kGamma, minimum, maximum, value);
}
bool XIMEAInterface::SetGamma(int value) { return task_ && task_->Set(XimeaTask::Parameter::kGamma, value); }

}  // namespace ORV

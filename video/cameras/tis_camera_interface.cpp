#include "video/cameras/tis_camera_interface.h"

#include <climits>

namespace ORV {

using namespace Cameras;

namespace {
// Video properties whose automatic mode Start switches off, in this order.
constexpr int kAutoVideoProperties[] = {9, 0, 1, 5, 7, 8};
constexpr int kAutoCameraProperty = 4;

int ClampToInt(long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v); }
}  // namespace

TISCameraInterface::TISCameraInterface(TisApi api) : api_(std::move(api)) {
  if (api_.InitLibrary(nullptr) != kTisSuccess) return;
  grabber_ = api_.CreateGrabber();
  if (grabber_ == nullptr || api_.IsTriggerAvailable(grabber_) == 0) return;
  api_.EnableTrigger(grabber_, 1);
  api_.SetCallbacks(grabber_, &TISCameraInterface::OnFrame, this, &TISCameraInterface::OnDeviceLost, this);
  available_ = true;
}

TISCameraInterface::~TISCameraInterface() {
  if (opened_) Stop();
  // A grabber without a trigger was never given the callbacks, but it is the
  // library's object all the same and is released with the others.
  if (grabber_ != nullptr) api_.ReleaseGrabber(&grabber_);
}

bool TISCameraInterface::Open(std::string name) {
  opened_ = false;
  if (grabber_ == nullptr) return false;
  // The library takes narrow names of at most 255 characters.
  if (name.size() > 255) name.resize(255);
  if (api_.OpenVideoCaptureDevice(grabber_, name.c_str()) != kTisSuccess || api_.IsDevValid(grabber_) == 0)
    return false;
  api_.SetFrameRate(grabber_, 15.0);
  frameRate_ = api_.GetFrameRate(grabber_);
  api_.GetFormat(grabber_);
  api_.SetFormat(grabber_, kTisFormatY800);
  const int width = api_.GetVideoFormatWidth(grabber_);
  const int height = api_.GetVideoFormatHeight(grabber_);
  if (!IsUsableFrameSize(width, height)) {
    api_.CloseVideoCaptureDevice(grabber_);
    return false;
  }
  width_ = width;
  height_ = height;
  opened_ = true;
  return true;
}

void TISCameraInterface::ReadRange(int property, Range& range) {
  if (api_.IsVideoPropertyAvailable(grabber_, property) == 0) return;
  long minimum = 0, maximum = 0;
  if (api_.VideoPropertyGetRange(grabber_, property, &minimum, &maximum) == kTisSuccess) {
    range.minimum = ClampToInt(minimum);
    range.maximum = ClampToInt(maximum);
  }
}

bool TISCameraInterface::Start() {
  if (grabber_ == nullptr) return false;
  api_.SetContinuousMode(grabber_, 0);
  for (int property : kAutoVideoProperties) {
    if (api_.IsVideoPropertyAutoAvailable(grabber_, property) != 0) api_.EnableAutoVideoProperty(grabber_, property, 0);
  }
  if (api_.IsCameraPropertyAutoAvailable(grabber_, kAutoCameraProperty) != 0)
    api_.EnableAutoCameraProperty(grabber_, kAutoCameraProperty, 0);
  ReadRange(kTisPropertyGain, gain_);
  ReadRange(kTisPropertyExposure, exposure_);
  ReadRange(kTisPropertyGamma, gamma_);
  return api_.StartLive(grabber_, 0) == kTisSuccess;
}

void TISCameraInterface::Stop() {
  if (grabber_ == nullptr) return;
  api_.StopLive(grabber_);
  api_.CloseVideoCaptureDevice(grabber_);
  opened_ = false;
}

void TISCameraInterface::OnFrame(TisGrabber grabber, const std::uint8_t* buffer, std::uint32_t, void* context) {
  static_cast<TISCameraInterface*>(context)->HandleFrame(grabber, buffer);
}

void TISCameraInterface::HandleFrame(TisGrabber grabber, const std::uint8_t* buffer) {
  const int width = width_, height = height_;
  if (buffer == nullptr || width <= 0 || height <= 0) return;
  // Fewer rows than the format's: a frame torn on the way.
  if (api_.GetFrameRows) {
    const int rows = api_.GetFrameRows(grabber);
    if (rows >= 0 && rows < height) {
      CountTornFrame();
      return;
    }
  }
  if (ready_.exchange(false) == false) return;
  {
    std::lock_guard guard(frames_.lock());
    frames_.Store(buffer, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    // Frames reach the callback only while someone watches the camera.
    if (GetNotifyWindow() != nullptr) {
      if (ORVCameraCallback* callback = GetFrameCallback()) callback->OnFrameReady();
    }
  }
  ready_ = true;
}

void TISCameraInterface::OnDeviceLost(TisGrabber, void* context) {
  // Posted, not sent: the window's thread may itself be waiting for this
  // library thread (stopping live), and a send would then never return.
  auto* self = static_cast<TISCameraInterface*>(context);
  if (NotifyWindow window = self->GetNotifyWindow()) window->PostMessage(WM_CAMERA_DEVICE_LOST, 0, 0);
}

bool TISCameraInterface::GetProperty(int property, const Range& range, int* minimum, int* maximum, int* value) {
  if (!opened_) return false;
  *minimum = range.minimum;
  *maximum = range.maximum;
  long v = 0;
  const bool ok = api_.GetVideoProperty(grabber_, property, &v) == kTisSuccess;
  *value = ClampToInt(v);
  return ok;
}

bool TISCameraInterface::SetProperty(int property, int value) {
  return opened_ && api_.SetVideoProperty(grabber_, property, value) == kTisSuccess;
}

bool TISCameraInterface::GetGain(int* minimum, int* maximum, int* value) {
  return GetProperty(kTisPropertyGain, gain_, minimum, maximum, value);
}
bool TISCameraInterface::SetGain(int value) { return SetProperty(kTisPropertyGain, value); }
bool TISCameraInterface::GetExposure(int* minimum, int* maximum, int* value) {
  return GetProperty(kTisPropertyExposure, exposure_, minimum, maximum, value);
}
bool TISCameraInterface::SetExposure(int value) { return SetProperty(kTisPropertyExposure, value); }
bool TISCameraInterface::GetGamma(int* minimum, int* maximum, int* value) {
  return GetProperty(kTisPropertyGamma, gamma_, minimum, maximum, value);
}
bool TISCameraInterface::SetGamma(int value) { return SetProperty(kTisPropertyGamma, value); }

}  // namespace ORV

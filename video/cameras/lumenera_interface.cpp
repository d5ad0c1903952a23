#include "video/cameras/lumenera_interface.h"

#include <algorithm>
#include <cmath>

namespace ORV {

using namespace Cameras;

namespace {
// Library factor (gain, gamma) from the integer scale of hundredths.
float ToFactor(int value) { return static_cast<float>(std::max(value, 1) / 100.0); }
// Truncates toward zero; a value that is not a number or does not fit an int reads as 0.
int TruncateToInt(double v) {
  if (!std::isfinite(v) || v >= 2147483648.0 || v <= -2147483649.0) return 0;
  return static_cast<int>(v);
}
}  // namespace

LumeneraInterface::LumeneraInterface(LucamApi api) : api_(std::move(api)) {
  deviceCount_ = static_cast<int>(api_.NumCameras());
  available_ = deviceCount_ > 0;
}

LumeneraInterface::~LumeneraInterface() {
  if (opened_ || callbackId_ != -1) StopStreaming();
  if (camera_ != nullptr) api_.CameraClose(camera_);
}

bool LumeneraInterface::Open(std::string) {
  opened_ = false;
  if (deviceCount_ != 1) return false;
  if (camera_ == nullptr) {
    camera_ = api_.CameraOpen(1);
    if (camera_ == nullptr) return false;
  }
  float rate = 0.0f;
  if (!api_.GetFormat(camera_, &format_, &rate)) return false;
  format_.subSampleX = 2;
  format_.subSampleY = 2;
  if (!api_.SetFormat(camera_, format_, rate)) return false;
  if (!api_.GetFormat(camera_, &format_, &rate)) return false;
  frameRate_ = rate;
  if (!IsUsableFrameSize(format_.width / 2, format_.height / 2)) return false;
  width_ = static_cast<int>(format_.width / 2);
  height_ = static_cast<int>(format_.height / 2);
  float stillMode = -1.0f;
  long flags = 0;
  if (api_.GetProperty(camera_, kLucamPropertyStillMode, &stillMode, &flags) && stillMode == 0.0f) opened_ = true;
  return opened_;
}

bool LumeneraInterface::Start() {
  if (camera_ == nullptr) return false;
  if (callbackId_ == -1) callbackId_ = api_.AddStreamingCallback(camera_, &LumeneraInterface::OnFrame, this);
  if (callbackId_ == -1) return false;
  return api_.StreamVideoControl(camera_, 1, nullptr);
}

void LumeneraInterface::Stop() {
  if (camera_ == nullptr) return;
  StopStreaming();
  opened_ = false;
}

void LumeneraInterface::StopStreaming() {
  api_.StreamVideoControl(camera_, 0, nullptr);
  if (callbackId_ != -1) api_.RemoveStreamingCallback(camera_, callbackId_);
  callbackId_ = -1;
}

void LumeneraInterface::OnFrame(void* context, const std::uint8_t* data, std::uint32_t length) {
  static_cast<LumeneraInterface*>(context)->HandleFrame(data, length);
}

void LumeneraInterface::HandleFrame(const std::uint8_t* data, std::uint32_t length) {
  const int width = width_, height = height_;
  if (data == nullptr || width <= 0 || height <= 0) return;
  // A buffer shorter than the format is a frame torn on the way.
  if (length < static_cast<std::uint64_t>(width) * height) {
    CountTornFrame();
    return;
  }
  if (ready_.exchange(false) == false) return;
  frames_.Store(data, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
  if (NotifyWindow window = GetNotifyWindow()) window->PostMessage(WM_CAMERA_FRAME_READY, 0, 0);
  ready_ = true;
}

bool LumeneraInterface::GetProperty(unsigned long property, float* value) {
  long flags = 0;
  *value = 0.0f;
  return opened_ && api_.GetProperty(camera_, property, value, &flags);
}

bool LumeneraInterface::GetGain(int* minimum, int* maximum, int* value) {
  float v;
  if (!GetProperty(kLucamPropertyGain, &v)) return false;
  *minimum = gainMin_;
  *maximum = gainMax_;
  *value = TruncateToInt(static_cast<double>(v) * 100.0);
  return true;
}

bool LumeneraInterface::SetGain(int value) {
  return opened_ && api_.SetProperty(camera_, kLucamPropertyGain, ToFactor(value), kLucamPropertyFlagWrite);
}

bool LumeneraInterface::GetExposure(int* minimum, int* maximum, int* value) {
  float v;
  if (!GetProperty(kLucamPropertyBrightness, &v)) return false;
  *minimum = exposureMin_;
  *maximum = exposureMax_;
  *value = TruncateToInt(static_cast<double>(v) + 0.5);
  return true;
}

bool LumeneraInterface::SetExposure(int value) {
  return opened_ &&
         api_.SetProperty(camera_, kLucamPropertyBrightness, static_cast<float>(value), kLucamPropertyFlagWrite);
}

bool LumeneraInterface::GetGamma(int* minimum, int* maximum, int* value) {
  float v;
  if (!GetProperty(kLucamPropertyGamma, &v)) return false;
  *minimum = gammaMin_;
  *maximum = gammaMax_;
  *value = TruncateToInt(static_cast<double>(v) * 100.0);
  return true;
}

bool LumeneraInterface::SetGamma(int value) {
  return opened_ && api_.SetProperty(camera_, kLucamPropertyGamma, ToFactor(value), kLucamPropertyFlagWrite);
}

}  // namespace ORV

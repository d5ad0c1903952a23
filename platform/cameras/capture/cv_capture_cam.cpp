#include "platform/cameras/capture/cv_capture_cam.h"

#include <cmath>

namespace ORV::Cameras {

std::unique_ptr<CvCaptureCAM_ORV> CvCaptureCAM_ORV::create(CaptureDeviceManager& manager, int index) {
  auto capture = std::make_unique<CvCaptureCAM_ORV>(manager);
  if (!capture->open(index)) return nullptr;
  return capture;
}

bool CvCaptureCAM_ORV::open(int index) {
  close();
  if (index >= 0 && index < CaptureDeviceManager::kMaxDevices && !manager_.IsDeviceSetup(index))
    manager_.StartDevice(index);
  if (!manager_.IsDeviceSetup(index)) return false;
  index_ = index;
  return true;
}

void CvCaptureCAM_ORV::close() {
  if (index_ >= 0) {
    manager_.ReleaseDevice(index_);
    index_ = -1;
    frame_.release();
  }
  requestedWidth_ = requestedHeight_ = -1;
}

const cv::Mat* CvCaptureCAM_ORV::retrieveFrame(int) {
  if (index_ < 0) return nullptr;
  const int width = manager_.GetWidth(index_), height = manager_.GetHeight(index_);
  if (frame_.empty() || frame_.cols != width || frame_.rows != height) frame_.create(height, width, CV_8UC3);
  manager_.GetPixels(index_, frame_.data);
  return &frame_;
}

double CvCaptureCAM_ORV::getProperty(int property) const {
  if (index_ < 0) return 0;
  if (property == kPropertyFrameWidth) return manager_.GetWidth(index_);
  if (property == kPropertyFrameHeight) return manager_.GetHeight(index_);
  return 0;
}

bool CvCaptureCAM_ORV::setProperty(int property, double value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e6) return false;
  if (property == kPropertyFrameWidth)
    requestedWidth_ = static_cast<int>(std::lround(value));
  else if (property == kPropertyFrameHeight)
    requestedHeight_ = static_cast<int>(std::lround(value));
  else
    return false;
  if (index_ < 0) return false;
  if (requestedWidth_ > 0 && requestedHeight_ > 0) {
    if (!manager_.IsDeviceSetup(index_) || requestedWidth_ != manager_.GetWidth(index_) ||
        requestedHeight_ != manager_.GetHeight(index_)) {
      manager_.ReleaseDevice(index_);
      manager_.SetRequestedSize(index_, requestedWidth_, requestedHeight_);
      manager_.StartDevice(index_);
    }
    requestedWidth_ = requestedHeight_ = -1;
  }
  return manager_.IsDeviceSetup(index_);
}

}  // namespace ORV::Cameras

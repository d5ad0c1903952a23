#include "analysis_control/shared_camera_frame.h"

#include <opencv2/imgproc.hpp>

namespace ORV {

void SharedCameraFrame::SetImage(Image image) {
  std::lock_guard lock(mutex_);
  image_ = std::move(image);
}

SharedCameraFrame::Image SharedCameraFrame::Get() const {
  std::lock_guard lock(mutex_);
  return image_;
}

void SharedCameraFrame::CopyFrom(const cv::Mat& source) {
  if (source.empty() || source.depth() != CV_8U) return;
  auto image = std::make_shared<cv::Mat>(pool_.Take({source.cols, source.rows}, CV_8UC1));
  switch (source.channels()) {
    case 1:
      source.copyTo(*image);
      break;
    case 3:
      cv::cvtColor(source, *image, cv::COLOR_BGR2GRAY);
      break;
    case 4:
      cv::cvtColor(source, *image, cv::COLOR_BGRA2GRAY);
      break;
    default:
      return;
  }
  SetImage(std::move(image));
}

}  // namespace ORV

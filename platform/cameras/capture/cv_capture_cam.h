#pragma once
// One capture device of the capture manager seen as a frame source: open by
// index, grab and retrieve frames as 8-bit, 3-channel images, read the frame
// size and ask for another one.
#include <memory>
#include <opencv2/core.hpp>

#include "platform/cameras/capture/capture_manager.h"

namespace ORV::Cameras {

class CvCaptureCAM_ORV {
 public:
  // The capture domain of these devices.
  static constexpr int kCaptureDomain = 700;
  // Frame-size properties (those of OpenCV's capture interface).
  static constexpr int kPropertyFrameWidth = 3;
  static constexpr int kPropertyFrameHeight = 4;

  // An open capture of device `index`; null when it cannot be opened.
  static std::unique_ptr<CvCaptureCAM_ORV> create(CaptureDeviceManager& manager, int index);

  explicit CvCaptureCAM_ORV(CaptureDeviceManager& manager) : manager_(manager) {}
  ~CvCaptureCAM_ORV() { close(); }
  CvCaptureCAM_ORV(const CvCaptureCAM_ORV&) = delete;
  CvCaptureCAM_ORV& operator=(const CvCaptureCAM_ORV&) = delete;

  bool open(int index);
  void close();
  bool grabFrame() { return true; }
  // The newest frame (kept by the capture object); when none came within the
  // manager's time-out, the last one delivered. Null when nothing is open.
  const cv::Mat* retrieveFrame(int stream = 0);
  double getProperty(int property) const;
  bool setProperty(int property, double value);
  int getCaptureDomain() const { return kCaptureDomain; }

 private:
  CaptureDeviceManager& manager_;
  int index_ = -1;
  int requestedWidth_ = -1;
  int requestedHeight_ = -1;
  cv::Mat frame_;
};

}  // namespace ORV::Cameras

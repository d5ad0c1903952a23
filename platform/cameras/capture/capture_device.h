#pragma once
// Video-capture devices as the capture manager sees them: a list of devices
// with names, and an opened device offering its pixel formats and frame
// sizes, its inputs, its controls and a stream of frames in 24-bit BGR.
//
// The system's devices are V4L2 devices (/dev/video*, v4l2_device_layer.h);
// tests put a layer of their own in its place.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Cameras {

struct CaptureDeviceInfo {
  std::string path;  // what Open takes
  std::string name;  // the device's display name
};

// Frame sizes the device offers in one pixel format: discrete sizes have
// minimum = maximum; stepwise ones walk from minimum to maximum by step.
struct FormatCapability {
  std::uint32_t fourcc = 0;
  int minWidth = 0, maxWidth = 0, stepWidth = 1;
  int minHeight = 0, maxHeight = 0, stepHeight = 1;
};

struct FrameFormat {
  std::uint32_t fourcc = 0;
  int width = 0;
  int height = 0;
};

enum class InputType { kCamera, kTuner };

struct CaptureInput {
  int index = 0;
  std::string name;
  InputType type = InputType::kCamera;
};

struct ControlRange {
  long minimum = 0, maximum = 0, step = 0, defaultValue = 0;
};

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
  // The formats and sizes the device can deliver (and this layer can turn into BGR).
  virtual std::vector<FormatCapability> Capabilities() = 0;
  virtual bool GetFormat(FrameFormat& format) = 0;
  // Asks for a format; `format` becomes what the device took.
  virtual bool SetFormat(FrameFormat& format) = 0;
  virtual std::vector<CaptureInput> Inputs() = 0;
  virtual bool SelectInput(int index) = 0;
  // Controls by V4L2 control id; false when the device has no such control.
  virtual bool QueryControl(std::uint32_t id, ControlRange& range) = 0;
  virtual bool GetControl(std::uint32_t id, long& value) = 0;
  virtual bool SetControl(std::uint32_t id, long value) = 0;
  virtual bool StartStreaming() = 0;
  virtual void StopStreaming() = 0;
  // Waits up to `timeout` for the next frame and gives it as 24-bit BGR rows,
  // top row first; false when none came.
  virtual bool ReadFrame(std::vector<std::uint8_t>& bgr, std::chrono::milliseconds timeout) = 0;
};

class CaptureDeviceLayer {
 public:
  virtual ~CaptureDeviceLayer() = default;
  virtual std::vector<CaptureDeviceInfo> ListDevices() = 0;
  // Null when the device cannot be opened.
  virtual std::unique_ptr<CaptureDevice> Open(const std::string& path) = 0;
};

// The system's video-capture devices (V4L2).
std::shared_ptr<CaptureDeviceLayer> SystemCaptureDevices();

}  // namespace ORV::Cameras

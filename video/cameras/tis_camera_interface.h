#pragma once
// The Imaging Source camera back-end: opens a camera by its name, runs it at
// 15 frames per second in 8-bit grey with the camera's automatic controls
// off, and hands each frame to the frame callback. The default back-end:
// detection falls back to it when no other maker's camera is found.
#include <atomic>

#include "platform/cameras/tis/tis_api.h"
#include "video/cameras/camera_interface.h"

namespace ORV {

class TISCameraInterface : public CameraInterface {
 public:
  // Initialises the library and creates the grabber through the table.
  explicit TISCameraInterface(Cameras::TisApi api = Cameras::Tis());
  ~TISCameraInterface() override;

  bool IsAvailable() override { return available_; }
  int GetDeviceCount() override { return available_ ? api_.GetDeviceCount() : 0; }
  const char* GetDeviceName(int index) override { return available_ ? api_.GetDevice(index) : nullptr; }
  const char* GetUniqueName(int index) override { return available_ ? api_.GetUniqueNamefromList(index) : nullptr; }
  bool Open(std::string name) override;
  // Switches the automatic controls off, reads the property ranges and starts live.
  bool Start() override;
  // Stops live and closes the device.
  void Stop() override;
  int GetWidth() override { return width_; }
  int GetHeight() override { return height_; }
  int GetFrameRate() override { return static_cast<int>(frameRate_); }
  bool CopyFrame(std::uint8_t* destination) override { return frames_.CopyTo(destination, GetWidth(), GetHeight()); }
  // The library's own units, unmapped; the ranges are read at Start (0 to 0
  // before). All refuse outside Open..Stop.
  bool GetGain(int* minimum, int* maximum, int* value) override;
  bool SetGain(int value) override;
  bool GetExposure(int* minimum, int* maximum, int* value) override;
  bool SetExposure(int value) override;
  bool GetGamma(int* minimum, int* maximum, int* value) override;
  bool SetGamma(int value) override;

 private:
  struct Range {
    int minimum = 0;
    int maximum = 0;
  };
  static void OnFrame(Cameras::TisGrabber, const std::uint8_t* buffer, std::uint32_t frameNumber, void* context);
  static void OnDeviceLost(Cameras::TisGrabber, void* context);
  void HandleFrame(Cameras::TisGrabber grabber, const std::uint8_t* buffer);
  bool GetProperty(int property, const Range& range, int* minimum, int* maximum, int* value);
  bool SetProperty(int property, int value);
  void ReadRange(int property, Range& range);

  const Cameras::TisApi api_;
  std::atomic<bool> opened_{false};
  bool available_ = false;
  double frameRate_ = 15.0;
  // Read by the frame handler on the library's thread.
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  Cameras::TisGrabber grabber_ = nullptr;
  Range gain_, exposure_, gamma_;
  std::atomic<bool> ready_{true};
};

}  // namespace ORV

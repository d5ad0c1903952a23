#pragma once
// The Lumenera camera back-end: drives exactly one camera at half resolution
// (2 x 2 sub-sampling) and posts the frame-ready message for every frame.
#include <atomic>

#include "platform/cameras/lumenera/lucam_api.h"
#include "video/cameras/camera_interface.h"

namespace ORV {

class LumeneraInterface : public CameraInterface {
 public:
  // Counts the cameras through the library table.
  explicit LumeneraInterface(Cameras::LucamApi api = Cameras::Lucam());
  ~LumeneraInterface() override;

  bool IsAvailable() override { return available_; }
  int GetDeviceCount() override { return deviceCount_; }
  const char* GetDeviceName(int) override { return nullptr; }
  const char* GetUniqueName(int) override { return available_ ? "Lt220" : nullptr; }
  // Opens the one camera (the model name is not used); fails when there is
  // not exactly one.
  bool Open(std::string model) override;
  bool Start() override;
  void Stop() override;
  int GetWidth() override { return width_; }
  int GetHeight() override { return height_; }
  int GetFrameRate() override { return static_cast<int>(frameRate_); }
  bool CopyFrame(std::uint8_t* destination) override { return frames_.CopyTo(destination, GetWidth(), GetHeight()); }
  // Gain and gamma are 1-500 (hundredths of the library's factor), exposure
  // -100 to 100; all refuse outside Open..Stop.
  bool GetGain(int* minimum, int* maximum, int* value) override;
  bool SetGain(int value) override;
  bool GetExposure(int* minimum, int* maximum, int* value) override;
  bool SetExposure(int value) override;
  bool GetGamma(int* minimum, int* maximum, int* value) override;
  bool SetGamma(int value) override;

 private:
  static void OnFrame(void* context, const std::uint8_t* data, std::uint32_t length);
  void HandleFrame(const std::uint8_t* data, std::uint32_t length);
  void StopStreaming();
  bool GetProperty(unsigned long property, float* value);

  const Cameras::LucamApi api_;
  bool available_ = false;
  std::atomic<bool> opened_{false};
  float frameRate_ = 100.0f;
  // Read by the frame handler on the library's thread.
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  Cameras::LucamHandle camera_ = nullptr;
  Cameras::LucamFrameFormat format_;
  long callbackId_ = -1;
  const int gainMin_ = 1, gainMax_ = 500;
  const int exposureMin_ = -100, exposureMax_ = 100;
  const int gammaMin_ = 1, gammaMax_ = 500;
  int deviceCount_ = 0;
  std::atomic<bool> ready_{true};
};

}  // namespace ORV

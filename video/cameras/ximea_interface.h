#pragma once
// The XIMEA camera back-end and its acquisition task.
//
// The task runs a thread of its own: it opens the first device, configures
// it, pulls frames while acquisition is wanted and hands each one to its
// registered frame handlers. The interface registers one handler, which
// copies the frame into a buffer of its own and tells the client. Gain,
// exposure and gamma are shown on a 0-100 scale mapped linearly onto the
// camera's own ranges.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "core/threading/event.h"
#include "platform/cameras/ximea/xi_api.h"
#include "video/cameras/camera_interface.h"

namespace ORV {
namespace ximeacamera {

// One frame as handed to the handlers. A frame that is not owned stays the
// library's: handlers copy what they keep.
struct IMAGE {
  const std::uint8_t* buffer = nullptr;
  std::uint32_t size = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool owned = false;
};

// A linear map between the user's 0-100 scale and a camera range.
struct ParameterMapping {
  double userSpan = 100.0;
  double cameraSpan = 100.0;
  std::int32_t userMinimum = 0;
  std::int32_t userMaximum = 100;
  float cameraMinimum = 0.0f;
  float cameraMaximum = 100.0f;

  void SetCameraRange(float minimum, float maximum);
  // A camera that reports a single value (an empty span) reads as the user minimum.
  int ToUser(double camera) const;
  float ToCamera(int user) const;
};

class XimeaTask {
 public:
  using FrameHandler = std::function<void(const IMAGE*)>;
  enum class Parameter { kGain, kExposure, kGamma };

  explicit XimeaTask(Cameras::XiApi api);
  ~XimeaTask();
  XimeaTask(const XimeaTask&) = delete;
  XimeaTask& operator=(const XimeaTask&) = delete;

  // Registers a handler; ids count from 1. Handlers run on the task thread
  // in ascending id order.
  int AddFrameHandler(FrameHandler handler);
  // Starts the thread (once).
  void Start();
  // Asks the thread to end and joins it.
  void StopAndJoin();
  void SetAcquire(bool acquire);

  // Signalled once the device is configured, and when the thread ends.
  bool WaitReady(std::chrono::milliseconds timeout) const { return ready_.Wait(timeout); }
  int Width() const;
  int Height() const;
  int FrameRate() const;

  // The parameter's range and current value on the user's scale; each
  // out-argument may be null.
  bool Get(Parameter parameter, int* minimum, int* maximum, int* value);
  // Refuses values outside the camera's range, and any value while the
  // device is not open.
  bool Set(Parameter parameter, int value);

 private:
  void Run();
  // Opens and configures the device; false (device closed) on failure.
  bool OpenAndConfigure();
  bool Acquire(bool& acquiring, int& failedEpisodes);
  void CloseDevice();
  ParameterMapping& MappingOf(Parameter parameter);

  const Cameras::XiApi api_;
  Cameras::XiHandle device_ = nullptr;
  Utils::Sync::Event ready_;
  bool stopRequested_ = false;
  bool acquire_ = false;
  mutable std::mutex mutex_;
  // Read without the task mutex, so a getter never waits for an image read.
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::atomic<int> frameRate_{0};
  float gainMinimum_ = 0.0f, gainMaximum_ = 0.0f;
  float gammaMinimum_ = 0.0f, gammaMaximum_ = 0.0f;
  const float exposureMinimum_ = 2000.0f, exposureMaximum_ = 5000.0f;
  ParameterMapping gain_, gamma_, exposure_;
  std::map<int, FrameHandler> handlers_;
  int handlerCounter_ = 0;
  std::thread thread_;
  bool started_ = false;
};

}  // namespace ximeacamera

class XIMEAInterface : public CameraInterface {
 public:
  explicit XIMEAInterface(Cameras::XiApi api = Cameras::Xi());
  // Stops and joins the acquisition thread.
  ~XIMEAInterface() override;

  bool IsAvailable() override { return GetDeviceCount() > 0; }
  int GetDeviceCount() override;
  const char* GetDeviceName(int) override { return nullptr; }
  const char* GetUniqueName(int) override { return "XIMEA"; }
  // Starts the acquisition task on the first call (the name is not used) and
  // returns at once: the size and rate read 0 until the task has configured
  // the device.
  bool Open(std::string model) override;
  bool Start() override;
  void Stop() override;
  int GetWidth() override { return task_ ? task_->Width() : 0; }
  int GetHeight() override { return task_ ? task_->Height() : 0; }
  int GetFrameRate() override { return task_ ? task_->FrameRate() : 0; }
  bool CopyFrame(std::uint8_t* destination) override { return frames_.CopyTo(destination, GetWidth(), GetHeight()); }
  bool GetGain(int* minimum, int* maximum, int* value) override;
  bool SetGain(int value) override;
  bool GetExposure(int* minimum, int* maximum, int* value) override;
  bool SetExposure(int value) override;
  bool GetGamma(int* minimum, int* maximum, int* value) override;
  bool SetGamma(int value) override;

  ximeacamera::XimeaTask* task() const { return task_.get(); }

 private:
  void HandleFrame(const ximeacamera::IMAGE* image);

  const Cameras::XiApi api_;
  std::shared_ptr<ximeacamera::XimeaTask> task_;
};

}  // namespace ORV

#pragma once
// The one abstract camera the rest of the program sees, and what goes with
// it: the frame callback, the camera type codes, the camera-model list, the
// known model names and the frame store every back-end keeps its newest
// frame in.
//
// Frames are 8-bit grey, one byte a pixel, rows one after another: a frame is
// exactly width x height bytes.
//
// Calling order for a client: construct (the constructor probes the maker's
// library) -> IsAvailable / GetDeviceCount -> Open(model) -> optionally
// SetFrameCallback and SetNotifyWindow -> GetWidth, GetHeight, GetFrameRate
// -> Start -> on each notification CopyFrame -> Stop -> destroy.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/camera_limit.h"
#include "platform/os/message_target.h"

namespace ORV {

// A new frame is ready: posted to the notify window (no arguments).
inline constexpr std::uint32_t WM_CAMERA_FRAME_READY = OS::WM_APP + 510;  // 0x81FE
// The camera library lost the device.
inline constexpr std::uint32_t WM_CAMERA_DEVICE_LOST = OS::WM_APP + 411;  // 0x819B

// Camera type codes: which back-end to build. Any other value is The Imaging Source.
inline constexpr int kCameraTypeImagingSource = 0;
inline constexpr int kCameraTypeLumenera = 1;
inline constexpr int kCameraTypeXimea = 2;

// The model names callers compare GetUniqueName with (by prefix).
inline constexpr std::string_view kKnownCameraModels[] = {"DMx 41AU02",  "DFx 41AU02", "DMK 42AUC03",
                                                          "DMK 23UV024", "Lt220",      "XIMEA"};
// True when `name` begins with one of the known model names.
bool IsKnownCameraModel(std::string_view name);

// A frame size a camera may report: both sides positive and at most 256 MB a
// frame. Anything else is a library's nonsense, and no frame is taken at it.
inline bool IsUsableFrameSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width * height <= (std::int64_t{1} << 28);
}

// What a receiver of frames implements; called on the camera library's (or
// acquisition) thread each time a new frame can be copied.
class ORVCameraCallback {
 public:
  virtual ~ORVCameraCallback() = default;
  virtual void OnFrameReady() = 0;
};

using NotifyWindow = std::shared_ptr<OS::MessageTarget>;

class CameraInterface {
 public:
  CameraInterface() = default;
  virtual ~CameraInterface() = default;
  CameraInterface(const CameraInterface&) = delete;
  CameraInterface& operator=(const CameraInterface&) = delete;

  virtual bool IsAvailable() = 0;
  virtual int GetDeviceCount() = 0;
  // Display name and unique (model) name of a device; null when the back-end
  // has none. The text stays valid while the back-end lives.
  virtual const char* GetDeviceName(int index) = 0;
  virtual const char* GetUniqueName(int index) = 0;
  virtual bool Open(std::string model) = 0;
  virtual bool Start() = 0;
  virtual void Stop() = 0;
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  virtual int GetFrameRate() = 0;
  // Copies the newest frame (GetWidth() x GetHeight() bytes); false before
  // the first frame, and while the newest frame has another size than those
  // (callers size their buffers from them).
  virtual bool CopyFrame(std::uint8_t* destination) = 0;
  virtual void SetNotifyWindow(NotifyWindow window);
  virtual NotifyWindow GetNotifyWindow();
  virtual bool GetGain(int* minimum, int* maximum, int* value) = 0;
  virtual bool SetGain(int value) = 0;
  virtual bool GetExposure(int* minimum, int* maximum, int* value) = 0;
  virtual bool SetExposure(int value) = 0;
  virtual bool GetGamma(int* minimum, int* maximum, int* value) = 0;
  virtual bool SetGamma(int value) = 0;

  // Sets the receiver of frame notifications (not owned; null for none).
  // When it returns, no call to an earlier receiver is still running, so a
  // client may detach itself and then go away.
  void SetFrameCallback(ORVCameraCallback* callback);
  ORVCameraCallback* GetFrameCallback() const { return callback_.load(); }

  // Frames that came torn (fewer bytes or rows than the opened format
  // promises) since the back-end was built. They are neither stored nor
  // handed on; a watch that sees this count move while no whole frame comes
  // knows the camera sends only torn pictures.
  std::uint64_t TornFrames() const { return tornFrames_.load(); }

 protected:
  // Keeps the newest frame under the back-end's frame lock, and tells the
  // receivers about it. The lock is recursive: a callback may call CopyFrame.
  class FrameStore {
   public:
    // Copies a frame of width x height bytes; a new size replaces the buffer.
    void Store(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height);
    // Copies the newest frame when it is width x height; false otherwise.
    bool CopyTo(std::uint8_t* destination, int width, int height) const;
    std::recursive_mutex& lock() const { return lock_; }

   private:
    mutable std::recursive_mutex lock_;
    std::vector<std::uint8_t> pixels_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    bool filled_ = false;
  };

  FrameStore frames_;

  // A frame came torn (see TornFrames).
  void CountTornFrame() { tornFrames_.fetch_add(1); }

 private:
  std::atomic<ORVCameraCallback*> callback_{nullptr};
  std::atomic<std::uint64_t> tornFrames_{0};
  mutable std::mutex windowLock_;
  NotifyWindow window_;
};

// Builds the back-end of a camera type code over the process's maker libraries
// (bound to the installed libraries on the first call).
std::unique_ptr<CameraInterface> CreateCameraInterface(int cameraType);

// One entry of the camera-model list.
struct CameraModel {
  std::string name;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class CameraModelList {
 public:
  // Appends the built-in model "DMx 41AU02", 1280 x 960.
  void AddDefaultModel();
  void Add(CameraModel model) { models_.push_back(std::move(model)); }
  const std::vector<CameraModel>& models() const { return models_; }

 private:
  std::vector<CameraModel> models_;
};

// What camera detection found: the kind (a camera type code), the number of
// cameras (0-4; 0 also when none could be opened) and each camera's device
// name ("" where the back-end has none).
struct CameraDetection {
  int cameraKind = kCameraTypeImagingSource;
  int cameraCount = 0;
  std::vector<std::string> deviceNames;
};

// The model detection opens first, and the one it falls back to.
inline constexpr std::string_view kDefaultCameraModel = "DMx 41AU02";
inline constexpr std::string_view kFallbackCameraModel = "DMK 42AUC03";

// Finds the attached cameras: Lumenera, then XIMEA, then The Imaging Source;
// the chosen back-end is opened with `model`, else with the fallback model,
// and at most four cameras are kept. The back-ends are built by `create`
// (CreateCameraInterface by default).
CameraDetection DetectCameras(std::string_view model = kDefaultCameraModel);
CameraDetection DetectCameras(std::string_view model,
                              const std::function<std::unique_ptr<CameraInterface>(int)>& create);

}  // namespace ORV

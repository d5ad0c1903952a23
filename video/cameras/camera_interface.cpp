#include "video/cameras/camera_interface.h"

#include <algorithm>
#include <cstring>

#include "platform/cameras/camera_libraries.h"
#include "video/cameras/lumenera_interface.h"
#include "video/cameras/tis_camera_interface.h"
#include "video/cameras/ximea_interface.h"

namespace ORV {

bool IsKnownCameraModel(std::string_view name) {
  return std::any_of(std::begin(kKnownCameraModels), std::end(kKnownCameraModels),
                     [&](std::string_view model) { return name.starts_with(model); });
}

void CameraInterface::FrameStore::Store(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height) {
  std::lock_guard guard(lock_);
  const std::size_t size = static_cast<std::size_t>(width) * height;
  if (width != width_ || height != height_) {
    pixels_.assign(size, 0);
    width_ = width;
    height_ = height;
  }
  if (size > 0) std::memcpy(pixels_.data(), pixels, size);
  filled_ = true;
}

bool CameraInterface::FrameStore::CopyTo(std::uint8_t* destination, int width, int height) const {
  std::lock_guard guard(lock_);
  if (!filled_ || static_cast<std::int64_t>(width) != width_ || static_cast<std::int64_t>(height) != height_)
    return false;
  if (!pixels_.empty()) std::memcpy(destination, pixels_.data(), pixels_.size());
  return true;
}

void CameraInterface::SetNotifyWindow(NotifyWindow window) {
  std::lock_guard guard(windowLock_);
  window_ = std::move(window);
}

NotifyWindow CameraInterface::GetNotifyWindow() {
  std::lock_guard guard(windowLock_);
  return window_;
}

void CameraInterface::SetFrameCallback(ORVCameraCallback* callback) {
  ORVCameraCallback* previous = callback_.exchange(callback);
  // Back-ends call the callback under the frame lock: taking it here waits
  // for a call to the earlier receiver that is still running. Attaching a
  // receiver waits for nothing, so it may be done under the receiver's own
  // locks.
  if (previous != nullptr && previous != callback) {
    std::lock_guard guard(frames_.lock());
  }
}

std::unique_ptr<CameraInterface> CreateCameraInterface(int cameraType) {
  // The first back-end built (camera detection in the program, the first
  // camera the analysis control loads) looks for the makers' libraries.
  Cameras::BindInstalledCameraLibraries();
  switch (cameraType) {
    case kCameraTypeLumenera:
      return std::make_unique<LumeneraInterface>();
    case kCameraTypeXimea:
      return std::make_unique<XIMEAInterface>();
    default:
      return std::make_unique<TISCameraInterface>();
  }
}

void CameraModelList::AddDefaultModel() { models_.push_back({std::string(kDefaultCameraModel), 1280, 960}); }

CameraDetection DetectCameras(std::string_view model) { return DetectCameras(model, CreateCameraInterface); }

CameraDetection DetectCameras(std::string_view model,
                              const std::function<std::unique_ptr<CameraInterface>(int)>& create) {
  CameraDetection found;
  std::unique_ptr<CameraInterface> camera = create(kCameraTypeLumenera);
  if (camera->GetDeviceCount() > 0) {
    found.cameraKind = kCameraTypeLumenera;
  } else {
    camera = create(kCameraTypeXimea);
    camera->Open("");
    if (camera->GetDeviceCount() > 0) {
      found.cameraKind = kCameraTypeXimea;
    } else {
      camera = create(kCameraTypeImagingSource);
      found.cameraKind = kCameraTypeImagingSource;
    }
  }
  if (!camera->Open(std::string(model)) && !camera->Open(std::string(kFallbackCameraModel))) return found;
  found.cameraCount = std::clamp(camera->GetDeviceCount(), 0, kMaxCameras);
  for (int i = 0; i < found.cameraCount; ++i) {
    const char* name = camera->GetDeviceName(i);
    found.deviceNames.emplace_back(name != nullptr ? name : "");
  }
  return found;
}

}  // namespace ORV

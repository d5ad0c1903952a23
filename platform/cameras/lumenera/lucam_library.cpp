#include "platform/cameras/lumenera/lucam_library.h"

#include "platform/cameras/lumenera/lucam_exports.h"

namespace ORV::Cameras {

namespace {

// The library's functions, and the library that holds them loaded.
struct LucamExports {
  std::shared_ptr<SharedLibrary> library;
  decltype(&LucamNumCameras) NumCameras = nullptr;
  decltype(&LucamCameraOpen) CameraOpen = nullptr;
  decltype(&LucamCameraClose) CameraClose = nullptr;
  decltype(&LucamGetFormat) GetFormat = nullptr;
  decltype(&LucamSetFormat) SetFormat = nullptr;
  decltype(&LucamGetProperty) GetProperty = nullptr;
  decltype(&LucamSetProperty) SetProperty = nullptr;
  decltype(&LucamAddStreamingCallback) AddStreamingCallback = nullptr;
  decltype(&LucamRemoveStreamingCallback) RemoveStreamingCallback = nullptr;
  decltype(&LucamStreamVideoControl) StreamVideoControl = nullptr;
};

std::vector<std::string> BindExports(std::shared_ptr<SharedLibrary> library) {
  auto exports = std::make_shared<LucamExports>();
  ExportResolver resolve(*library);
  resolve(exports->NumCameras, "LucamNumCameras");
  resolve(exports->CameraOpen, "LucamCameraOpen");
  resolve(exports->CameraClose, "LucamCameraClose");
  resolve(exports->GetFormat, "LucamGetFormat");
  resolve(exports->SetFormat, "LucamSetFormat");
  resolve(exports->GetProperty, "LucamGetProperty");
  resolve(exports->SetProperty, "LucamSetProperty");
  resolve(exports->AddStreamingCallback, "LucamAddStreamingCallback");
  resolve(exports->RemoveStreamingCallback, "LucamRemoveStreamingCallback");
  resolve(exports->StreamVideoControl, "LucamStreamVideoControl");
  if (!resolve.missing().empty()) return resolve.missing();
  exports->library = std::move(library);

  const std::shared_ptr<const LucamExports> f = std::move(exports);
  LucamApi api;
  api.NumCameras = [f] { return f->NumCameras(); };
  api.CameraOpen = [f](unsigned long number) { return f->CameraOpen(number); };
  api.CameraClose = [f](LucamHandle camera) { return f->CameraClose(camera) != 0; };
  api.GetFormat = [f](LucamHandle camera, LucamFrameFormat* format, float* rate) {
    return f->GetFormat(camera, format, rate) != 0;
  };
  api.SetFormat = [f](LucamHandle camera, const LucamFrameFormat& format, float rate) {
    // The library takes the record by address; it gets a copy of its own.
    LucamFrameFormat copy = format;
    return f->SetFormat(camera, &copy, rate) != 0;
  };
  api.GetProperty = [f](LucamHandle camera, unsigned long property, float* value, long* flags) {
    return f->GetProperty(camera, property, value, flags) != 0;
  };
  api.SetProperty = [f](LucamHandle camera, unsigned long property, float value, long flags) {
    return f->SetProperty(camera, property, value, flags) != 0;
  };
  api.AddStreamingCallback = [f](LucamHandle camera, LucamStreamingCallback callback, void* context) {
    return f->AddStreamingCallback(camera, callback, context);
  };
  api.RemoveStreamingCallback = [f](LucamHandle camera, long id) {
    return f->RemoveStreamingCallback(camera, id) != 0;
  };
  api.StreamVideoControl = [f](LucamHandle camera, unsigned long mode, void* window) {
    return f->StreamVideoControl(camera, mode, window) != 0;
  };
  BindLucam(std::move(api));
  return {};
}

}  // namespace

LibrarySearch LucamLibrarySearch() { return {"ORV_LUMENERA_LIBRARY", {"liblucamapi.so"}}; }

BindOutcome BindLucamLibrary(const LibrarySearch& search) { return BindMakerLibrary("Lumenera", search, BindExports); }

}  // namespace ORV::Cameras

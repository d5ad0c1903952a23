#include "platform/cameras/lumenera/lucam_library.h"

#include "platform/cameras/lumenera/lucam_exports.h"

namespace ORV::Cameras {

namespace {

std::vector<std::string> BindExports(std::shared_ptr<SharedLibrary> library) {
  ExportBinder binder(std::move(library));
  LucamApi api;
  binder.Bind<decltype(&LucamNumCameras)>(api.NumCameras, "LucamNumCameras");
  binder.Bind<decltype(&LucamCameraOpen)>(api.CameraOpen, "LucamCameraOpen");
  binder.Bind<decltype(&LucamCameraClose)>(api.CameraClose, "LucamCameraClose");
  binder.Bind<decltype(&LucamGetFormat)>(api.GetFormat, "LucamGetFormat");
  api.SetFormat = [library = binder.library(), setFormat = binder.Resolve<decltype(&LucamSetFormat)>("LucamSetFormat")](
                      LucamHandle camera, const LucamFrameFormat& format, float rate) {
    // The library takes the record by address; it gets a copy of its own.
    LucamFrameFormat copy = format;
    return setFormat(camera, &copy, rate) != 0;
  };
  binder.Bind<decltype(&LucamGetProperty)>(api.GetProperty, "LucamGetProperty");
  binder.Bind<decltype(&LucamSetProperty)>(api.SetProperty, "LucamSetProperty");
  binder.Bind<decltype(&LucamAddStreamingCallback)>(api.AddStreamingCallback, "LucamAddStreamingCallback");
  binder.Bind<decltype(&LucamRemoveStreamingCallback)>(api.RemoveStreamingCallback, "LucamRemoveStreamingCallback");
  binder.Bind<decltype(&LucamStreamVideoControl)>(api.StreamVideoControl, "LucamStreamVideoControl");
  if (!binder.missing().empty()) return binder.missing();
  BindLucam(std::move(api));
  return {};
}

}  // namespace

LibrarySearch LucamLibrarySearch() { return {"ORV_LUMENERA_LIBRARY", {"liblucamapi.so"}}; }

BindOutcome BindLucamLibrary(const LibrarySearch& search) { return BindMakerLibrary("Lumenera", search, BindExports); }

}  // namespace ORV::Cameras

#include "platform/cameras/ximea/xi_library.h"

#include "platform/cameras/ximea/xi_exports.h"

namespace ORV::Cameras {

namespace {

std::vector<std::string> BindExports(std::shared_ptr<SharedLibrary> library) {
  ExportBinder binder(std::move(library));
  XiApi api;
  binder.Bind<decltype(&xiGetNumberDevices)>(api.GetNumberDevices, "xiGetNumberDevices");
  binder.Bind<decltype(&xiOpenDevice)>(api.OpenDevice, "xiOpenDevice");
  binder.Bind<decltype(&xiCloseDevice)>(api.CloseDevice, "xiCloseDevice");
  binder.Bind<decltype(&xiSetParamInt)>(api.SetParamInt, "xiSetParamInt");
  binder.Bind<decltype(&xiSetParamFloat)>(api.SetParamFloat, "xiSetParamFloat");
  binder.Bind<decltype(&xiGetParamInt)>(api.GetParamInt, "xiGetParamInt");
  binder.Bind<decltype(&xiGetParamFloat)>(api.GetParamFloat, "xiGetParamFloat");
  binder.Bind<decltype(&xiStartAcquisition)>(api.StartAcquisition, "xiStartAcquisition");
  binder.Bind<decltype(&xiStopAcquisition)>(api.StopAcquisition, "xiStopAcquisition");
  api.GetImage = [library = binder.library(), getImage = binder.Resolve<decltype(&xiGetImage)>("xiGetImage")](
                     XiHandle device, std::uint32_t timeoutMs, XiImage* image) {
    // The caller's record holds only the fields it reads, while the size it
    // tells the library is that of the whole record: the library fills a
    // whole record of its own, and the fields are copied out.
    XiImageRecord record;
    record.image.size = kXiImageRecordSize;
    const int result = getImage(device, timeoutMs, &record.image);
    image->buffer = record.image.buffer;
    image->bufferSize = record.image.bufferSize;
    image->width = record.image.width;
    image->height = record.image.height;
    return result;
  };
  if (!binder.missing().empty()) return binder.missing();
  BindXi(std::move(api));
  return {};
}

}  // namespace

LibrarySearch XiLibrarySearch() { return {"ORV_XIMEA_LIBRARY", {"libxiapi64.so", "libxiapi.so"}}; }

BindOutcome BindXiLibrary(const LibrarySearch& search) { return BindMakerLibrary("XIMEA", search, BindExports); }

}  // namespace ORV::Cameras

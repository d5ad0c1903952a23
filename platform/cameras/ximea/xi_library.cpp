#include "platform/cameras/ximea/xi_library.h"

#include "platform/cameras/ximea/xi_exports.h"

namespace ORV::Cameras {

namespace {

// The library's functions, and the library that holds them loaded.
struct XiExports {
  std::shared_ptr<SharedLibrary> library;
  decltype(&xiGetNumberDevices) GetNumberDevices = nullptr;
  decltype(&xiOpenDevice) OpenDevice = nullptr;
  decltype(&xiCloseDevice) CloseDevice = nullptr;
  decltype(&xiSetParamInt) SetParamInt = nullptr;
  decltype(&xiSetParamFloat) SetParamFloat = nullptr;
  decltype(&xiGetParamInt) GetParamInt = nullptr;
  decltype(&xiGetParamFloat) GetParamFloat = nullptr;
  decltype(&xiStartAcquisition) StartAcquisition = nullptr;
  decltype(&xiStopAcquisition) StopAcquisition = nullptr;
  decltype(&xiGetImage) GetImage = nullptr;
};

std::vector<std::string> BindExports(std::shared_ptr<SharedLibrary> library) {
  auto exports = std::make_shared<XiExports>();
  ExportResolver resolve(*library);
  resolve(exports->GetNumberDevices, "xiGetNumberDevices");
  resolve(exports->OpenDevice, "xiOpenDevice");
  resolve(exports->CloseDevice, "xiCloseDevice");
  resolve(exports->SetParamInt, "xiSetParamInt");
  resolve(exports->SetParamFloat, "xiSetParamFloat");
  resolve(exports->GetParamInt, "xiGetParamInt");
  resolve(exports->GetParamFloat, "xiGetParamFloat");
  resolve(exports->StartAcquisition, "xiStartAcquisition");
  resolve(exports->StopAcquisition, "xiStopAcquisition");
  resolve(exports->GetImage, "xiGetImage");
  if (!resolve.missing().empty()) return resolve.missing();
  exports->library = std::move(library);

  const std::shared_ptr<const XiExports> f = std::move(exports);
  XiApi api;
  api.GetNumberDevices = [f](std::uint32_t* count) { return f->GetNumberDevices(count); };
  api.OpenDevice = [f](std::uint32_t index, XiHandle* handle) { return f->OpenDevice(index, handle); };
  api.CloseDevice = [f](XiHandle device) { return f->CloseDevice(device); };
  api.SetParamInt = [f](XiHandle device, const char* name, int value) { return f->SetParamInt(device, name, value); };
  api.SetParamFloat = [f](XiHandle device, const char* name, float value) {
    return f->SetParamFloat(device, name, value);
  };
  api.GetParamInt = [f](XiHandle device, const char* name, int* value) { return f->GetParamInt(device, name, value); };
  api.GetParamFloat = [f](XiHandle device, const char* name, float* value) {
    return f->GetParamFloat(device, name, value);
  };
  api.StartAcquisition = [f](XiHandle device) { return f->StartAcquisition(device); };
  api.StopAcquisition = [f](XiHandle device) { return f->StopAcquisition(device); };
  api.GetImage = [f](XiHandle device, std::uint32_t timeoutMs, XiImage* image) {
    // The caller's record holds only the fields it reads, while the size it
    // tells the library is that of the whole record: the library fills a
    // whole record of its own, and the fields are copied out.
    XiImageRecord record;
    record.image.size = kXiImageRecordSize;
    const int result = f->GetImage(device, timeoutMs, &record.image);
    image->buffer = record.image.buffer;
    image->bufferSize = record.image.bufferSize;
    image->width = record.image.width;
    image->height = record.image.height;
    return result;
  };
  BindXi(std::move(api));
  return {};
}

}  // namespace

LibrarySearch XiLibrarySearch() { return {"ORV_XIMEA_LIBRARY", {"libxiapi64.so", "libxiapi.so"}}; }

BindOutcome BindXiLibrary(const LibrarySearch& search) { return BindMakerLibrary("XIMEA", search, BindExports); }

}  // namespace ORV::Cameras

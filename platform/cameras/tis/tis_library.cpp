#include "platform/cameras/tis/tis_library.h"

#include "platform/cameras/tis/tis_exports.h"

namespace ORV::Cameras {

namespace {

// The library's functions, and the library that holds them loaded.
struct TisExports {
  std::shared_ptr<SharedLibrary> library;
  decltype(&IC_InitLibrary) InitLibrary = nullptr;
  decltype(&IC_CreateGrabber) CreateGrabber = nullptr;
  decltype(&IC_ReleaseGrabber) ReleaseGrabber = nullptr;
  decltype(&IC_IsTriggerAvailable) IsTriggerAvailable = nullptr;
  decltype(&IC_EnableTrigger) EnableTrigger = nullptr;
  decltype(&IC_SetCallbacks) SetCallbacks = nullptr;
  decltype(&IC_OpenVideoCaptureDevice) OpenVideoCaptureDevice = nullptr;
  decltype(&IC_IsDevValid) IsDevValid = nullptr;
  decltype(&IC_CloseVideoCaptureDevice) CloseVideoCaptureDevice = nullptr;
  decltype(&IC_SetFrameRate) SetFrameRate = nullptr;
  decltype(&IC_GetFrameRate) GetFrameRate = nullptr;
  decltype(&IC_GetFormat) GetFormat = nullptr;
  decltype(&IC_SetFormat) SetFormat = nullptr;
  decltype(&IC_GetVideoFormatWidth) GetVideoFormatWidth = nullptr;
  decltype(&IC_GetVideoFormatHeight) GetVideoFormatHeight = nullptr;
  decltype(&IC_SetContinuousMode) SetContinuousMode = nullptr;
  decltype(&IC_IsVideoPropertyAutoAvailable) IsVideoPropertyAutoAvailable = nullptr;
  decltype(&IC_EnableAutoVideoProperty) EnableAutoVideoProperty = nullptr;
  decltype(&IC_IsCameraPropertyAutoAvailable) IsCameraPropertyAutoAvailable = nullptr;
  decltype(&IC_EnableAutoCameraProperty) EnableAutoCameraProperty = nullptr;
  decltype(&IC_IsVideoPropertyAvailable) IsVideoPropertyAvailable = nullptr;
  decltype(&IC_VideoPropertyGetRange) VideoPropertyGetRange = nullptr;
  decltype(&IC_GetVideoProperty) GetVideoProperty = nullptr;
  decltype(&IC_SetVideoProperty) SetVideoProperty = nullptr;
  decltype(&IC_StartLive) StartLive = nullptr;
  decltype(&IC_StopLive) StopLive = nullptr;
  decltype(&IC_GetDeviceCount) GetDeviceCount = nullptr;
  decltype(&IC_GetDevice) GetDevice = nullptr;
  decltype(&IC_GetUniqueNamefromList) GetUniqueNamefromList = nullptr;
};

std::vector<std::string> BindExports(std::shared_ptr<SharedLibrary> library) {
  auto exports = std::make_shared<TisExports>();
  ExportResolver resolve(*library);
  resolve(exports->InitLibrary, "IC_InitLibrary");
  resolve(exports->CreateGrabber, "IC_CreateGrabber");
  resolve(exports->ReleaseGrabber, "IC_ReleaseGrabber");
  resolve(exports->IsTriggerAvailable, "IC_IsTriggerAvailable");
  resolve(exports->EnableTrigger, "IC_EnableTrigger");
  resolve(exports->SetCallbacks, "IC_SetCallbacks");
  resolve(exports->OpenVideoCaptureDevice, "IC_OpenVideoCaptureDevice");
  resolve(exports->IsDevValid, "IC_IsDevValid");
  resolve(exports->CloseVideoCaptureDevice, "IC_CloseVideoCaptureDevice");
  resolve(exports->SetFrameRate, "IC_SetFrameRate");
  resolve(exports->GetFrameRate, "IC_GetFrameRate");
  resolve(exports->GetFormat, "IC_GetFormat");
  resolve(exports->SetFormat, "IC_SetFormat");
  resolve(exports->GetVideoFormatWidth, "IC_GetVideoFormatWidth");
  resolve(exports->GetVideoFormatHeight, "IC_GetVideoFormatHeight");
  resolve(exports->SetContinuousMode, "IC_SetContinuousMode");
  resolve(exports->IsVideoPropertyAutoAvailable, "IC_IsVideoPropertyAutoAvailable");
  resolve(exports->EnableAutoVideoProperty, "IC_EnableAutoVideoProperty");
  resolve(exports->IsCameraPropertyAutoAvailable, "IC_IsCameraPropertyAutoAvailable");
  resolve(exports->EnableAutoCameraProperty, "IC_EnableAutoCameraProperty");
  resolve(exports->IsVideoPropertyAvailable, "IC_IsVideoPropertyAvailable");
  resolve(exports->VideoPropertyGetRange, "IC_VideoPropertyGetRange");
  resolve(exports->GetVideoProperty, "IC_GetVideoProperty");
  resolve(exports->SetVideoProperty, "IC_SetVideoProperty");
  resolve(exports->StartLive, "IC_StartLive");
  resolve(exports->StopLive, "IC_StopLive");
  resolve(exports->GetDeviceCount, "IC_GetDeviceCount");
  resolve(exports->GetDevice, "IC_GetDevice");
  resolve(exports->GetUniqueNamefromList, "IC_GetUniqueNamefromList");
  if (!resolve.missing().empty()) return resolve.missing();
  exports->library = std::move(library);

  const std::shared_ptr<const TisExports> f = std::move(exports);
  TisApi api;
  api.InitLibrary = [f](const char* licence) { return f->InitLibrary(licence); };
  api.CreateGrabber = [f] { return f->CreateGrabber(); };
  api.ReleaseGrabber = [f](TisGrabber* grabber) { f->ReleaseGrabber(grabber); };
  api.IsTriggerAvailable = [f](TisGrabber grabber) { return f->IsTriggerAvailable(grabber); };
  api.EnableTrigger = [f](TisGrabber grabber, int enable) { return f->EnableTrigger(grabber, enable); };
  api.SetCallbacks = [f](TisGrabber grabber, TisFrameCallback frame, void* frameContext, TisDeviceLostCallback lost,
                         void* lostContext) {
    return f->SetCallbacks(grabber, frame, frameContext, lost, lostContext);
  };
  api.OpenVideoCaptureDevice = [f](TisGrabber grabber, const char* name) {
    return f->OpenVideoCaptureDevice(grabber, name);
  };
  api.IsDevValid = [f](TisGrabber grabber) { return f->IsDevValid(grabber); };
  api.CloseVideoCaptureDevice = [f](TisGrabber grabber) { f->CloseVideoCaptureDevice(grabber); };
  api.SetFrameRate = [f](TisGrabber grabber, double rate) { return f->SetFrameRate(grabber, rate); };
  api.GetFrameRate = [f](TisGrabber grabber) { return f->GetFrameRate(grabber); };
  api.GetFormat = [f](TisGrabber grabber) { return f->GetFormat(grabber); };
  api.SetFormat = [f](TisGrabber grabber, int format) { return f->SetFormat(grabber, format); };
  api.GetVideoFormatWidth = [f](TisGrabber grabber) { return f->GetVideoFormatWidth(grabber); };
  api.GetVideoFormatHeight = [f](TisGrabber grabber) { return f->GetVideoFormatHeight(grabber); };
  api.SetContinuousMode = [f](TisGrabber grabber, int mode) { return f->SetContinuousMode(grabber, mode); };
  api.IsVideoPropertyAutoAvailable = [f](TisGrabber grabber, int property) {
    return f->IsVideoPropertyAutoAvailable(grabber, property);
  };
  api.EnableAutoVideoProperty = [f](TisGrabber grabber, int property, int enable) {
    return f->EnableAutoVideoProperty(grabber, property, enable);
  };
  api.IsCameraPropertyAutoAvailable = [f](TisGrabber grabber, int property) {
    return f->IsCameraPropertyAutoAvailable(grabber, property);
  };
  api.EnableAutoCameraProperty = [f](TisGrabber grabber, int property, int enable) {
    return f->EnableAutoCameraProperty(grabber, property, enable);
  };
  api.IsVideoPropertyAvailable = [f](TisGrabber grabber, int property) {
    return f->IsVideoPropertyAvailable(grabber, property);
  };
  api.VideoPropertyGetRange = [f](TisGrabber grabber, int property, long* minimum, long* maximum) {
    return f->VideoPropertyGetRange(grabber, property, minimum, maximum);
  };
  api.GetVideoProperty = [f](TisGrabber grabber, int property, long* value) {
    return f->GetVideoProperty(grabber, property, value);
  };
  api.SetVideoProperty = [f](TisGrabber grabber, int property, long value) {
    return f->SetVideoProperty(grabber, property, value);
  };
  api.StartLive = [f](TisGrabber grabber, int showWindow) { return f->StartLive(grabber, showWindow); };
  api.StopLive = [f](TisGrabber grabber) { f->StopLive(grabber); };
  api.GetDeviceCount = [f] { return f->GetDeviceCount(); };
  api.GetDevice = [f](int index) { return f->GetDevice(index); };
  api.GetUniqueNamefromList = [f](int index) { return f->GetUniqueNamefromList(index); };
  BindTis(std::move(api));
  return {};
}

}  // namespace

LibrarySearch TisLibrarySearch() { return {"ORV_TIS_LIBRARY", {"libtisgrabber_x64.so", "libtisgrabber.so"}}; }

BindOutcome BindTisLibrary(const LibrarySearch& search) {
  return BindMakerLibrary("The Imaging Source", search, BindExports);
}

}  // namespace ORV::Cameras

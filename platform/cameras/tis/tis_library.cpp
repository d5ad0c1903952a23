#include "platform/cameras/tis/tis_library.h"

#include "platform/cameras/tis/tis_exports.h"

namespace ORV::Cameras {

namespace {

std::vector<std::string> BindExports(std::shared_ptr<SharedLibrary> library) {
  ExportBinder binder(std::move(library));
  TisApi api;
  binder.Bind<decltype(&IC_InitLibrary)>(api.InitLibrary, "IC_InitLibrary");
  binder.Bind<decltype(&IC_CreateGrabber)>(api.CreateGrabber, "IC_CreateGrabber");
  binder.Bind<decltype(&IC_ReleaseGrabber)>(api.ReleaseGrabber, "IC_ReleaseGrabber");
  binder.Bind<decltype(&IC_IsTriggerAvailable)>(api.IsTriggerAvailable, "IC_IsTriggerAvailable");
  binder.Bind<decltype(&IC_EnableTrigger)>(api.EnableTrigger, "IC_EnableTrigger");
  binder.Bind<decltype(&IC_SetCallbacks)>(api.SetCallbacks, "IC_SetCallbacks");
  binder.Bind<decltype(&IC_OpenVideoCaptureDevice)>(api.OpenVideoCaptureDevice, "IC_OpenVideoCaptureDevice");
  binder.Bind<decltype(&IC_IsDevValid)>(api.IsDevValid, "IC_IsDevValid");
  binder.Bind<decltype(&IC_CloseVideoCaptureDevice)>(api.CloseVideoCaptureDevice, "IC_CloseVideoCaptureDevice");
  binder.Bind<decltype(&IC_SetFrameRate)>(api.SetFrameRate, "IC_SetFrameRate");
  binder.Bind<decltype(&IC_GetFrameRate)>(api.GetFrameRate, "IC_GetFrameRate");
  binder.Bind<decltype(&IC_GetFormat)>(api.GetFormat, "IC_GetFormat");
  binder.Bind<decltype(&IC_SetFormat)>(api.SetFormat, "IC_SetFormat");
  binder.Bind<decltype(&IC_GetVideoFormatWidth)>(api.GetVideoFormatWidth, "IC_GetVideoFormatWidth");
  binder.Bind<decltype(&IC_GetVideoFormatHeight)>(api.GetVideoFormatHeight, "IC_GetVideoFormatHeight");
  binder.Bind<decltype(&IC_SetContinuousMode)>(api.SetContinuousMode, "IC_SetContinuousMode");
  binder.Bind<decltype(&IC_IsVideoPropertyAutoAvailable)>(api.IsVideoPropertyAutoAvailable,
                                                          "IC_IsVideoPropertyAutoAvailable");
  binder.Bind<decltype(&IC_EnableAutoVideoProperty)>(api.EnableAutoVideoProperty, "IC_EnableAutoVideoProperty");
  binder.Bind<decltype(&IC_IsCameraPropertyAutoAvailable)>(api.IsCameraPropertyAutoAvailable,
                                                           "IC_IsCameraPropertyAutoAvailable");
  binder.Bind<decltype(&IC_EnableAutoCameraProperty)>(api.EnableAutoCameraProperty, "IC_EnableAutoCameraProperty");
  binder.Bind<decltype(&IC_IsVideoPropertyAvailable)>(api.IsVideoPropertyAvailable, "IC_IsVideoPropertyAvailable");
  binder.Bind<decltype(&IC_VideoPropertyGetRange)>(api.VideoPropertyGetRange, "IC_VideoPropertyGetRange");
  binder.Bind<decltype(&IC_GetVideoProperty)>(api.GetVideoProperty, "IC_GetVideoProperty");
  binder.Bind<decltype(&IC_SetVideoProperty)>(api.SetVideoProperty, "IC_SetVideoProperty");
  binder.Bind<decltype(&IC_StartLive)>(api.StartLive, "IC_StartLive");
  binder.Bind<decltype(&IC_StopLive)>(api.StopLive, "IC_StopLive");
  binder.Bind<decltype(&IC_GetDeviceCount)>(api.GetDeviceCount, "IC_GetDeviceCount");
  binder.Bind<decltype(&IC_GetDevice)>(api.GetDevice, "IC_GetDevice");
  binder.Bind<decltype(&IC_GetUniqueNamefromList)>(api.GetUniqueNamefromList, "IC_GetUniqueNamefromList");
  if (!binder.missing().empty()) return binder.missing();
  BindTis(std::move(api));
  return {};
}

}  // namespace

LibrarySearch TisLibrarySearch() { return {"ORV_TIS_LIBRARY", {"libtisgrabber_x64.so", "libtisgrabber.so"}}; }

BindOutcome BindTisLibrary(const LibrarySearch& search) {
  return BindMakerLibrary("The Imaging Source", search, BindExports);
}

}  // namespace ORV::Cameras

#include "platform/cameras/tis/tis_api.h"

#include "platform/cameras/process_table.h"

namespace ORV::Cameras {

TisApi TisApi::Unbound() {
  TisApi api;
  api.InitLibrary = [](const char*) { return 0; };
  api.CreateGrabber = []() -> TisGrabber { return nullptr; };
  api.ReleaseGrabber = [](TisGrabber* grabber) {
    if (grabber != nullptr) *grabber = nullptr;
  };
  api.IsTriggerAvailable = [](TisGrabber) { return 0; };
  api.EnableTrigger = [](TisGrabber, int) { return 0; };
  api.SetCallbacks = [](TisGrabber, TisFrameCallback, void*, TisDeviceLostCallback, void*) { return 0; };
  api.OpenVideoCaptureDevice = [](TisGrabber, const char*) { return 0; };
  api.IsDevValid = [](TisGrabber) { return 0; };
  api.CloseVideoCaptureDevice = [](TisGrabber) {};
  api.SetFrameRate = [](TisGrabber, double) { return 0; };
  api.GetFrameRate = [](TisGrabber) { return 0.0; };
  api.GetFormat = [](TisGrabber) { return 0; };
  api.SetFormat = [](TisGrabber, int) { return 0; };
  api.GetVideoFormatWidth = [](TisGrabber) { return 0; };
  api.GetVideoFormatHeight = [](TisGrabber) { return 0; };
  api.SetContinuousMode = [](TisGrabber, int) { return 0; };
  api.IsVideoPropertyAutoAvailable = [](TisGrabber, int) { return 0; };
  api.EnableAutoVideoProperty = [](TisGrabber, int, int) { return 0; };
  api.IsCameraPropertyAutoAvailable = [](TisGrabber, int) { return 0; };
  api.EnableAutoCameraProperty = [](TisGrabber, int, int) { return 0; };
  api.IsVideoPropertyAvailable = [](TisGrabber, int) { return 0; };
  api.VideoPropertyGetRange = [](TisGrabber, int, long*, long*) { return 0; };
  api.GetVideoProperty = [](TisGrabber, int, long*) { return 0; };
  api.SetVideoProperty = [](TisGrabber, int, long) { return 0; };
  api.StartLive = [](TisGrabber, int) { return 0; };
  api.StopLive = [](TisGrabber) {};
  api.GetDeviceCount = [] { return 0; };
  api.GetDevice = [](int) -> const char* { return nullptr; };
  api.GetUniqueNamefromList = [](int) -> const char* { return nullptr; };
  return api;
}

namespace {
ProcessTable<TisApi>& Table() {
  static ProcessTable<TisApi> table(TisApi::Unbound());
  return table;
}
}  // namespace

TisApi Tis() { return Table().Get(); }
TisApi BindTis(TisApi api) { return Table().Bind(std::move(api)); }

}  // namespace ORV::Cameras

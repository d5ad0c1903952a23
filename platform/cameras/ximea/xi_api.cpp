#include "platform/cameras/ximea/xi_api.h"

#include "platform/cameras/process_table.h"

namespace ORV::Cameras {

XiApi XiApi::Unbound() {
  XiApi api;
  api.GetNumberDevices = [](std::uint32_t*) { return kXiFailed; };
  api.OpenDevice = [](std::uint32_t, XiHandle*) { return kXiFailed; };
  api.CloseDevice = [](XiHandle) { return kXiFailed; };
  api.SetParamInt = [](XiHandle, const char*, int) { return kXiFailed; };
  api.SetParamFloat = [](XiHandle, const char*, float) { return kXiFailed; };
  api.GetParamInt = [](XiHandle, const char*, int*) { return kXiFailed; };
  api.GetParamFloat = [](XiHandle, const char*, float*) { return kXiFailed; };
  api.StartAcquisition = [](XiHandle) { return kXiFailed; };
  api.StopAcquisition = [](XiHandle) { return kXiFailed; };
  api.GetImage = [](XiHandle, std::uint32_t, XiImage*) { return kXiFailed; };
  return api;
}

namespace {
ProcessTable<XiApi>& Table() {
  static ProcessTable<XiApi> table(XiApi::Unbound());
  return table;
}
}  // namespace

XiApi Xi() { return Table().Get(); }
XiApi BindXi(XiApi api) { return Table().Bind(std::move(api)); }

}  // namespace ORV::Cameras

#include "platform/cameras/lumenera/lucam_api.h"

#include "platform/cameras/process_table.h"

namespace ORV::Cameras {

LucamApi LucamApi::Unbound() {
  LucamApi api;
  api.NumCameras = [] { return 0L; };
  api.CameraOpen = [](unsigned long) -> LucamHandle { return nullptr; };
  api.CameraClose = [](LucamHandle) { return false; };
  api.GetFormat = [](LucamHandle, LucamFrameFormat*, float*) { return false; };
  api.SetFormat = [](LucamHandle, const LucamFrameFormat&, float) { return false; };
  api.GetProperty = [](LucamHandle, unsigned long, float*, long*) { return false; };
  api.SetProperty = [](LucamHandle, unsigned long, float, long) { return false; };
  api.AddStreamingCallback = [](LucamHandle, LucamStreamingCallback, void*) { return -1L; };
  api.RemoveStreamingCallback = [](LucamHandle, long) { return false; };
  api.StreamVideoControl = [](LucamHandle, unsigned long, void*) { return false; };
  return api;
}

namespace {
ProcessTable<LucamApi>& Table() {
  static ProcessTable<LucamApi> table(LucamApi::Unbound());
  return table;
}
}  // namespace

LucamApi Lucam() { return Table().Get(); }
LucamApi BindLucam(LucamApi api) { return Table().Bind(std::move(api)); }

}  // namespace ORV::Cameras

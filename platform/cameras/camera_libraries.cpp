#include "platform/cameras/camera_libraries.h"

#include <atomic>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/cameras/lumenera/lucam_library.h"
#include "platform/cameras/simlab/simulated_tis.h"
#include "platform/cameras/tis/tis_library.h"
#include "platform/cameras/ximea/xi_library.h"

namespace ORV::Cameras {

namespace {
std::atomic<OS::StandInDevices*> g_standIns{nullptr};
}  // namespace

void UseStandInCameras(OS::StandInDevices* devices) {
  if (g_standIns.exchange(devices) != devices && devices != nullptr) BindTis(SimulatedTisApi(StandInCameras(*devices)));
}

std::vector<BindOutcome> BindCameraLibraries() {
  if (g_standIns.load() != nullptr) {
    LogInformation("Camera libraries not loaded: the simulated lab's cameras stand in for them");
    return {};
  }
  return {BindLucamLibrary(), BindXiLibrary(), BindTisLibrary()};
}

void BindInstalledCameraLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { BindCameraLibraries(); });
}

}  // namespace ORV::Cameras

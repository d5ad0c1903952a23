#include "platform/cameras/camera_libraries.h"

#include <mutex>

#include "core/base/event_log.h"
#include "platform/cameras/lumenera/lucam_library.h"
#include "platform/cameras/tis/tis_library.h"
#include "platform/cameras/ximea/xi_library.h"
#include "platform/os/simulated_lab.h"

namespace ORV::Cameras {

std::vector<BindOutcome> BindCameraLibraries() {
  if (OS::SimulatedLabRequested()) {
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

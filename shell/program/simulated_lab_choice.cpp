#include "shell/program/simulated_lab_choice.h"

#include <cstdlib>
#include <string_view>

#include "platform/cameras/camera_libraries.h"
#include "platform/os/stand_in_devices.h"

namespace ORV::Shell {

std::shared_ptr<Sim::SimLab> StartSimulatedLabWhenAsked() {
  const char* asked = std::getenv("ORV_SIMLAB");
  if (asked == nullptr || std::string_view(asked) != "1") return nullptr;
  std::shared_ptr<Sim::SimLab> lab(Sim::StartSimulatedLab().release(), [](Sim::SimLab* gone) {
    if (OS::OfferedStandInDevices() == gone) OS::OfferStandInDevices(nullptr);
    Cameras::UseStandInCameras(nullptr);
    delete gone;
  });
  OS::OfferStandInDevices(lab.get());
  // The cameras' frames come from the lab; the camera tables keep their own
  // share of what the cameras show.
  Cameras::UseStandInCameras(lab.get());
  return lab;
}

}  // namespace ORV::Shell

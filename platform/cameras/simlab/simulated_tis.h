#pragma once
// Cameras that stand in for hardware (the simulated lab's vessel cameras),
// offered as cameras of The Imaging Source's library: a library table that
// counts them and delivers their frames at their frame rate on a thread of
// each grabber, so the rest of the program treats them as real cameras. The
// model name of every stand-in camera is "DMx 41AU02".
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/cameras/tis/tis_api.h"
#include "platform/os/stand_in_devices.h"

namespace ORV::Cameras {

// The cameras of `devices`, a new view of each.
std::vector<std::shared_ptr<OS::StandInCamera>> StandInCameras(OS::StandInDevices& devices);
// A library table over these cameras.
TisApi SimulatedTisApi(std::vector<std::shared_ptr<OS::StandInCamera>> cameras);

// Video-property ranges of a simulated camera, and their neutral values.
inline constexpr long kSimulatedGainRange[] = {0, 100, 50};       // gain factor value / 50
inline constexpr long kSimulatedExposureRange[] = {1, 200, 100};  // brightness factor value / 100
inline constexpr long kSimulatedGammaRange[] = {10, 300, 100};    // gamma value / 100

}  // namespace ORV::Cameras

#pragma once
// The simulated lab's cameras, offered as cameras of The Imaging Source's
// library: with ORV_SIMLAB=1 the library table counts ORV_SIMLAB_CAMERAS
// simulated vessel cameras (default 2) and delivers their frames at their
// frame rate, so the rest of the program treats them as real cameras.
#include "platform/cameras/tis/tis_api.h"

namespace ORV::Cameras {

// True when the environment switches the simulated lab on (ORV_SIMLAB=1).
bool SimulatedLabEnabled();
// The number of simulated cameras: ORV_SIMLAB_CAMERAS (1-4), default 2.
int SimulatedCameraCount();
// A library table over `count` simulated cameras.
TisApi SimulatedTisApi(int count = SimulatedCameraCount());

}  // namespace ORV::Cameras

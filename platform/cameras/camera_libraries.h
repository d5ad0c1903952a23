#pragma once
// The camera makers' libraries installed on this machine, bound to the
// process's tables before cameras are looked for.
#include <vector>

#include "platform/cameras/maker_library.h"

namespace ORV::Cameras {

// Binds each maker's table to its library (Lumenera, XIMEA, The Imaging
// Source), one event-log line for each. With the simulated lab switched on
// (ORV_SIMLAB=1) none is loaded: the lab's cameras stand in for them, and
// one line says so.
std::vector<BindOutcome> BindCameraLibraries();

// BindCameraLibraries, the first time only; later calls return at once.
// Camera detection and the analysis control call it before they build a
// back-end.
void BindInstalledCameraLibraries();

}  // namespace ORV::Cameras

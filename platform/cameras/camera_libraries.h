#pragma once
// The camera makers' libraries installed on this machine, bound to the
// process's tables before cameras are looked for.
#include <vector>

#include "platform/cameras/maker_library.h"
#include "platform/os/stand_in_devices.h"

namespace ORV::Cameras {

// Binds The Imaging Source's table of this copy of the folder to the cameras
// of `devices` (the simulated lab's), which then stand in for every maker's:
// no maker's library is loaded while they do. Handing the same devices again
// changes nothing; null takes them back (the tables keep what they are
// bound to, and the makers' libraries are loaded by the next binding). The
// table keeps its own share of each camera.
void UseStandInCameras(OS::StandInDevices* devices);

// Binds each maker's table to its library (Lumenera, XIMEA, The Imaging
// Source), one event-log line for each. With cameras standing in for them
// (UseStandInCameras) none is loaded, and one line says so.
std::vector<BindOutcome> BindCameraLibraries();

// BindCameraLibraries, the first time only; later calls return at once.
// Camera detection and the analysis control call it before they build a
// back-end.
void BindInstalledCameraLibraries();

}  // namespace ORV::Cameras

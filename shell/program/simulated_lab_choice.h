#pragma once
// Whether the program runs on the simulated lab: with ORV_SIMLAB=1 it starts
// the lab and hands it to the platform's device lists and camera tables, so
// the program finds the lab's instruments and cameras as it finds hardware.
#include <memory>

#include "platform/sim/sim_lab.h"

namespace ORV::Shell {

// The simulated lab when ORV_SIMLAB is "1" (the ORV_SIMLAB_* settings shape
// it), offered as stand-in devices beside the machine's; null otherwise.
// It must outlive everything that may hold its devices open; releasing it
// takes it back from the device lists.
std::shared_ptr<Sim::SimLab> StartSimulatedLabWhenAsked();

}  // namespace ORV::Shell

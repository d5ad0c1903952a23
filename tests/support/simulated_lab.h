#pragma once
// The simulated lab of a test process that runs the program (or part of it)
// on the lab: started as the program starts it, with the ORV_SIMLAB_*
// settings of the first call, and kept to the end of the process, as the
// program keeps it to its end. Link orv_simulated_lab_choice.
#include <cstdlib>
#include <memory>

#include "shell/program/simulated_lab_choice.h"

namespace ORV::Test {

inline Sim::SimLab& ProcessLab() {
  static const std::shared_ptr<Sim::SimLab> lab = [] {
    setenv("ORV_SIMLAB", "1", 1);
    return Shell::StartSimulatedLabWhenAsked();
  }();
  return *lab;
}

}  // namespace ORV::Test

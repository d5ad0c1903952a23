#pragma once
// The driver's side of the simulated multi interface, for tests that speak
// its protocol themselves: one output report and the unit's answer.
#include <gtest/gtest.h>

#include "platform/sim/multi_interface_unit.h"

namespace ORV::Sim {

// Sends `request` (padded to 64 bytes) and returns the unit's answer.
inline Report Exchange(MultiInterfaceUnit& unit, Report request) {
  request.resize(64, 0);
  int error = 0;
  EXPECT_TRUE(unit.Write(request.data(), request.size(), error)) << error;
  Report answer;
  EXPECT_EQ(unit.Read(answer, 1000, error), 1);
  return answer;
}

}  // namespace ORV::Sim

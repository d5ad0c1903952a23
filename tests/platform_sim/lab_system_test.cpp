// The systems the simulated lab's instruments make: by default every
// instrument (an incubation chamber system, for its heat controller); the
// pressure chamber system has no heat controller, and its multi interface
// keeps a clock of its own that it reports like a unit with one.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/sim/sim_lab.h"
#include "tests/platform_sim/unit_exchange.h"

namespace ORV::Sim {
namespace {

TEST(LabSystem, TheSettingChoosesThePressureChamberSystemByItsExactName) {
  EXPECT_EQ(LabSystemSetting(nullptr), LabSystem::kIncubation);
  EXPECT_EQ(LabSystemSetting("pressure"), LabSystem::kPressure);
  for (const char* other : {"", "Pressure", "incubation", "pressure "})
    EXPECT_EQ(LabSystemSetting(other), LabSystem::kIncubation) << other;
}

// The unit's answer to a request without arguments.
Report Ask(MultiInterfaceUnit& unit, std::uint8_t command) { return Exchange(unit, {1, 0x60, command}); }

int Seconds(const Report& status) { return (status[3] * 60 + status[4]) * 60 + status[5]; }

TEST(LabSystem, ThePressureChamberSystemHasNoHeatControllerAndItsMultiInterfaceKeepsAClock) {
  const auto hasHeatController = [](const SimLab& lab) {
    const auto devices = lab.SerialDevices();
    return std::any_of(devices.begin(), devices.end(),
                       [](const OS::UsbSerialDevice& d) { return d.serialNumber == "HCL00001"; });
  };
  const auto preparation = [] { return std::make_shared<Preparation>(Preparation::SteadyClock()); };
  SimLab incubation(preparation(), 1, LabVessel::kStill);
  EXPECT_TRUE(hasHeatController(incubation));
  EXPECT_EQ(Ask(incubation.MultiInterface(), 0x28)[7], 0) << "no clock";

  SimLab pressure(preparation(), 1, LabVessel::kStill, LabSystem::kPressure);
  EXPECT_EQ(pressure.System(), LabSystem::kPressure);
  EXPECT_FALSE(hasHeatController(pressure));
  EXPECT_EQ(pressure.SerialDevices().size(), incubation.SerialDevices().size() - 1);
  // Digital state 5 says the unit has a clock; its status bytes tell the
  // time, which runs on.
  MultiInterfaceUnit& unit = pressure.MultiInterface();
  EXPECT_EQ(Ask(unit, 0x28)[7], 1);
  const Report first = Ask(unit, 0x20);
  EXPECT_LT(first[3], 24);
  EXPECT_LT(first[4], 60);
  EXPECT_LT(first[5], 60);
  Report later = first;
  for (int i = 0; i < 50 && Seconds(later) == Seconds(first); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    later = Ask(unit, 0x20);
  }
  EXPECT_NE(Seconds(later), Seconds(first)) << "the clock stands still";
}

TEST(LabSystem, AStartedClockRunsOnFromTheTimeGivenAndStartsAgainAfterMidnight) {
  MultiInterfaceUnit unit;
  unit.StartClock(23, 59, 59);
  Report status = Ask(unit, 0x20);
  EXPECT_TRUE(Seconds(status) == 23 * 3600 + 59 * 60 + 59 || Seconds(status) < 10) << Seconds(status);
  for (int i = 0; i < 50 && Seconds(status) > 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = Ask(unit, 0x20);
  }
  EXPECT_LT(Seconds(status), 10) << "00:00:00 follows 23:59:59";
}

}  // namespace
}  // namespace ORV::Sim

// The simulated lab seen through the machine's own device lists: started as
// the program starts it (ORV_SIMLAB=1), the interface manager finds and loads
// every simulated instrument as it would find hardware, and they measure one
// preparation.
#include "tests/support/simulated_lab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "instruments/flow_meter_asl1600.h"
#include "platform/os/stand_in_devices.h"
#include "platform/sim/sim_lab.h"
#include "tests/instruments/manager/manager_rig.h"

namespace ORV::Test {
namespace {

class SimulatedLabTest : public ManagerTest {
 protected:
  SimulatedLabTest() : lab_(&ProcessLab()) {}

  // A manager on the machine's own sources (with the lab in them).
  std::unique_ptr<InterfaceManager> SystemManager() {
    InterfaceManager::Sources s;
    s.tempFolder = logs_.path() + "/";
    s.sleeper = sleeper_.AsSleeper();
    auto manager = std::make_unique<InterfaceManager>(ORV::Test::SharedConfiguration(), std::move(s));
    manager->LoadCOMPorts(manager->COMPorts());
    return manager;
  }

  Sim::SimLab* lab_ = nullptr;
};

TEST_F(SimulatedLabTest, LoadDevicesFindsAndLoadsEverySimulatedInstrument) {
  ASSERT_NE(lab_, nullptr);
  ASSERT_EQ(lab_->SerialDevices().size(), 5u);
  ASSERT_EQ(lab_->CameraCount(), Sim::kDefaultLabCameras);

  {
    auto manager = SystemManager();
    const std::uint32_t all = kDeviceSinglePressureInterface | kDeviceFlowMeter | kDeviceMultiInterface |
                              kDeviceMicroscope | kDeviceHeatController;
    // The single interface is not searched while the multi interface is
    // connected, as with hardware.
    EXPECT_EQ(manager->LoadDevices(all),
              std::uint32_t{kDeviceFlowMeter | kDeviceMultiInterface | kDeviceMicroscope | kDeviceHeatController});
    EXPECT_EQ(manager->MicroscopeCount(), 1);
    EXPECT_TRUE(manager->BinaryFlowMeterConnected());
    EXPECT_TRUE(manager->IsConnected(InterfaceManager::kCameraPresence));
    for (std::uint32_t type : {kDeviceFlowMeter, kDeviceMultiInterface, kDeviceMicroscope, kDeviceHeatController})
      EXPECT_TRUE(manager->IsConnected(type, true)) << type;

    // The multi interface measures the preparation.
    float pH = 0, flow = 0;
    ASSERT_TRUE(manager->MultiInterface().GetPhAndFlow(pH, flow));
    EXPECT_NEAR(pH, 7.4, 0.05);
    float p1 = 0, p2 = 0, p3 = 0, gradient = 0;
    ASSERT_TRUE(manager->MultiInterface().GetPressures(p1, p2, p3, gradient));
    EXPECT_NEAR(p1, lab_->GetPreparation()->Controls().targetP1, 1.0);
  }

  // Without a multi interface in use the single interface is found.
  {
    auto manager = SystemManager();
    EXPECT_EQ(manager->LoadDevices(kDeviceSinglePressureInterface), std::uint32_t{kDeviceSinglePressureInterface});
    float p1 = 0, p2 = 0, force = 0, pH = 0, temperature = 0;
    ASSERT_TRUE(manager->SingleInterface().GetValues(p1, p2, force, pH, temperature));
    EXPECT_NEAR(temperature, 37.0, 0.5);
  }

  // The manager prefers the binary flow meter; the ASCII one answers on its
  // own port all the same.
  const std::vector<OS::UsbSerialDevice> devices = lab_->SerialDevices();
  const auto ascii = std::find_if(devices.begin(), devices.end(),
                                  [](const OS::UsbSerialDevice& d) { return d.serialNumber == "FTW20001"; });
  ASSERT_NE(ascii, devices.end());
  FlowMeterASL1600 meter;
  meter.SetSleeper(sleeper_.AsSleeper());
  EXPECT_TRUE(meter.Load(ascii->devNode));
  meter.Close();
}

TEST(SimulatedLabCameras, CountComesFromTheSettingWithinOneToFour) {
  EXPECT_EQ(Sim::LabCameraCount(nullptr), 2);
  EXPECT_EQ(Sim::LabCameraCount("1"), 1);
  EXPECT_EQ(Sim::LabCameraCount("4"), 4);
  for (const char* wrong : {"0", "5", "-1", "two", ""}) EXPECT_EQ(Sim::LabCameraCount(wrong), 2) << wrong;
}

TEST(SimulatedLabCameras, VesselSettingChoosesTheDriftAndThePictures) {
  using Look = Sim::VesselCamera::Look;
  struct Case {
    const char* setting;
    Sim::LabVessel vessel;
    bool drifts;
    bool exactPictures;
    Look look;
  };
  for (const Case& c : {Case{nullptr, Sim::LabVessel::kBrightfield, true, false, Look::kBrightfield},
                        Case{"", Sim::LabVessel::kBrightfield, true, false, Look::kBrightfield},
                        Case{"Exact", Sim::LabVessel::kBrightfield, true, false, Look::kBrightfield},
                        Case{"live", Sim::LabVessel::kLive, true, false, Look::kPlain},
                        Case{"still", Sim::LabVessel::kStill, false, false, Look::kPlain},
                        Case{"exact", Sim::LabVessel::kExact, false, true, Look::kPlain}}) {
    const Sim::LabVessel vessel = Sim::LabVesselSetting(c.setting);
    EXPECT_EQ(vessel, c.vessel) << (c.setting ? c.setting : "unset");
    const Sim::Preparation::Model model = Sim::LabPreparationModel(vessel);
    EXPECT_EQ(model.driftAmplitude > 0.0 && model.diameterNoise > 0.0, c.drifts);
    EXPECT_EQ(Sim::LabCameraOptions(vessel, 1).exact, c.exactPictures);
    EXPECT_EQ(Sim::LabCameraOptions(vessel, 1).look, c.look);
    EXPECT_EQ(Sim::LabCameraOptions(vessel, 1).seed, 8u);
  }
}

}  // namespace
}  // namespace ORV::Test

// The interface manager on fake sources and simulated instruments: the port
// list, the HID path, the order in which ports are tried, the model and
// firmware rules of the multi interface, the microscope logs and the
// connection queries.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sim/flow_meter_asl1600_sim.h"
#include "platform/sim/flow_meter_sli2000_sim.h"
#include "platform/sim/microscope_sim.h"
#include "platform/sim/single_interface_sim.h"
#include "tests/instruments/manager/manager_rig.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

using Ports = std::vector<std::string>;
constexpr std::uint16_t kError = OS::kEventError;
constexpr std::uint16_t kWarning = OS::kEventWarning;
constexpr std::uint16_t kInfo = OS::kEventInformation;

const std::string kSingleTried = "PressureMyographK4x::Load() - Unable to connect to COM port: ";
const std::string kSingleOpened = "PressureMyographK4x::Load() - Opened port: ";
const std::string kFlowTried = "FlowMeterASL1600::Load() - Unable to connect to COM port: ";
const std::string kFlowOpened = "FlowMeterASL1600::Load() - Opened port: ";

TEST_F(ManagerTest, LoadCOMPortsAppendsTheListedPortsAndNamesThem) {
  ports_ = {"/dev/ttyUSB0", "/dev/ttyS1"};
  Ports list{"kept"};
  EXPECT_EQ(Manager().LoadCOMPorts(list), 3u);
  EXPECT_EQ(list, (Ports{"kept", "/dev/ttyUSB0", "/dev/ttyS1"}));
  EXPECT_EQ(
      TakeEvents(),
      (std::vector<Event>{{kInfo, "InterfaceManager::LoadCOMPorts - Found COM ports: /dev/ttyUSB0  /dev/ttyS1  "}}));

  portsFail_ = true;
  Ports none;
  EXPECT_EQ(Manager().LoadCOMPorts(none), 0u);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(TakeEvents(),
            (std::vector<Event>{
                {kError, "InterfaceManager::LoadCOMPorts - Failed to open registry for enumerating COM ports"}}));

  ports_ = {"/dev/ttyUSB0"};
  portsFail_ = false;
  ListPorts();
  EXPECT_TRUE(Manager().IsPortListed("/dev/ttyUSB0"));
  EXPECT_FALSE(Manager().IsPortListed("/dev/ttyusb0"));
  EXPECT_FALSE(Manager().IsPortListed("/dev/ttyUSB"));
}

TEST_F(ManagerTest, FindHidDevicePathTakesTheLastDeviceUnderThePrefix) {
  const std::string first = hid_.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>());
  hid_.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>(), 0x1234, 0x0110);
  const std::string second = hid_.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>());
  ASSERT_NE(first, second);
  EXPECT_EQ(Manager().FindHidDevicePath("\\\\?\\hid#vid_0483&pid_0110#"), second);
  EXPECT_EQ(Manager().FindHidDevicePath(first), first);
  EXPECT_EQ(Manager().FindHidDevicePath("\\\\?\\HID#VID_0483"), "");  // case-sensitive
  EXPECT_EQ(Manager().FindHidDevicePath("\\\\?\\hid#vid_0999"), "");
}

// Ports COM1, COM3, COM4 stand as two absent ports and a simulated unit.
TEST_F(ManagerTest, SingleInterfaceTriesTheLastUsedPortThenTheListFromTheEnd) {
  struct Case {
    const char* name;
    bool unitAnswers;
    int lastUsed;  // index into the ports; -1: a port that is not listed
    Ports order;   // by index, "sim" for the unit
    bool found;
  };
  const std::vector<Case> cases = {
      {"last used silent, found on COM4", true, 1, {"1", "sim"}, true},
      {"nothing answers", false, 1, {"1", "sim", "0"}, false},
      {"last used not listed", false, -1, {"sim", "1", "0"}, false},
      {"last used answers", true, 2, {"sim"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sim::SingleInterfaceSim sim;
    ASSERT_TRUE(sim.Start());
    if (!c.unitAnswers) sim.SetMode(Sim::ReplyMode::Garbage);
    ports_ = {AbsentPort(0), AbsentPort(1), sim.DevicePath()};
    ORV::Test::SharedConfiguration().LastUsedInterfacePort =
        c.lastUsed < 0 ? AbsentPort(9) : ports_[static_cast<std::size_t>(c.lastUsed)];
    manager_.reset();
    ListPorts();
    TakeEvents();

    const std::uint32_t found = Manager().LoadDevices(kDeviceSinglePressureInterface);
    EXPECT_EQ(found, c.found ? 1u : 0u);
    EXPECT_EQ(Manager().IsConnected(kDeviceSinglePressureInterface), c.found);
    Ports order;
    for (const std::string& port : Trials(TakeEvents(), {kSingleTried, kSingleOpened}))
      order.push_back(port == sim.DevicePath() ? "sim" : port.substr(port.size() - 1));
    EXPECT_EQ(order, c.order);
  }
}

TEST_F(ManagerTest, AsciiFlowMeterSearchSkipsThePortTheSingleInterfaceTook) {
  Sim::SingleInterfaceSim sim;
  ASSERT_TRUE(sim.Start());
  ports_ = {AbsentPort(0), AbsentPort(1), sim.DevicePath()};
  ListPorts();
  // The flow meter was last used where the pressure interface is now found:
  // it is tried there first (and finds the port taken), then the list from
  // the end without the pressure interface's port.
  ORV::Test::SharedConfiguration().LastUsedFlowMeterPort = sim.DevicePath();
  TakeEvents();

  const std::uint32_t found = Manager().LoadDevices(kDeviceSinglePressureInterface | kDeviceFlowMeter);
  EXPECT_EQ(found, 1u);
  EXPECT_EQ(Trials(TakeEvents(), {kFlowTried, kFlowOpened}), (Ports{sim.DevicePath(), AbsentPort(1), AbsentPort(0)}));
  EXPECT_FALSE(Manager().IsConnected(kDeviceFlowMeter));

  // A second load skips the connected pressure interface, so no port is taken.
  ORV::Test::SharedConfiguration().LastUsedFlowMeterPort.clear();
  EXPECT_EQ(Manager().LoadDevices(kDeviceSinglePressureInterface | kDeviceFlowMeter), 0u);
  const std::vector<Event> events = TakeEvents();
  EXPECT_EQ(Trials(events, {kSingleTried, kSingleOpened}), Ports{});
  EXPECT_EQ(Trials(events, {kFlowTried, kFlowOpened}), (Ports{sim.DevicePath(), AbsentPort(1), AbsentPort(0)}));
}

TEST_F(ManagerTest, EachSerialDriverGetsItsConfiguredTimeOutAndTheManagerKeepsTheLastUsedPorts) {
  Sim::SingleInterfaceSim unit;
  Sim::FlowMeterASL1600Sim meter;
  ASSERT_TRUE(unit.Start());
  ASSERT_TRUE(meter.Start());
  ports_ = {meter.DevicePath(), unit.DevicePath()};
  ListPorts();
  Configuration& config = ORV::Test::SharedConfiguration();
  const std::int32_t pressureTimeout = config.DevicePressureInterfaceTimeout;
  config.DevicePressureInterfaceTimeout = 2000;

  EXPECT_EQ(Manager().LoadDevices(kDeviceSinglePressureInterface | kDeviceFlowMeter), 3u);
  EXPECT_EQ(Manager().SingleInterface().Port().Timeout(), 2000u);
  EXPECT_EQ(Manager().AsciiFlowMeter().Port().Timeout(), static_cast<std::uint32_t>(kFlowMeterTimeoutMs));
  EXPECT_EQ(config.LastUsedInterfacePort, unit.DevicePath());
  EXPECT_EQ(config.LastUsedFlowMeterPort, meter.DevicePath());
  manager_.reset();
  config.DevicePressureInterfaceTimeout = pressureTimeout;
}

TEST_F(ManagerTest, StepsOutsideTheMaskDoNothing) {
  Sim::SingleInterfaceSim sim;
  ASSERT_TRUE(sim.Start());
  ports_ = {sim.DevicePath()};
  ListPorts();
  auto unit = AddUnit();
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "FTM1", AbsentPort(5))};
  TakeEvents();
  EXPECT_EQ(Manager().LoadDevices(0), 0u);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_TRUE(unit->Received().empty());
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_EQ(Manager().MicroscopeCount(), 0);
}

TEST_F(ManagerTest, MultiInterfaceOfAModelWithoutPressureIsRefusedAndClosed) {
  auto unit = AddUnit();
  unit->Update([](Sim::MultiInterfaceUnit::State& s) { s.modelByte = 20; });  // model 0x200
  const std::uint32_t found = Manager().LoadDevices(kDeviceMultiInterface);
  EXPECT_EQ(found, 0u);
  EXPECT_FALSE(Manager().MultiInterface().IsConnected());
  EXPECT_EQ(Manager().MultiModelCode(), 0x200u);
  const std::vector<Event> events = TakeEvents();
  EXPECT_NE(std::find(events.begin(), events.end(),
                      Event{kError,
                            "InterfaceManager::IsPressure - ORV Multi interface type=512 found but it is not "
                            "configured for pressure usage"}),
            events.end());
  // Ping and the information block still went out after the load's queries.
  const std::vector<std::uint8_t> commands = unit->ReceivedCommands();
  ASSERT_GE(commands.size(), 2u);
  EXPECT_EQ(std::vector<std::uint8_t>(commands.end() - 2, commands.end()), (std::vector<std::uint8_t>{0x02, 0x12}));
}

TEST_F(ManagerTest, InternalFlowMeterIsUsedFromFirmware111AndThenNoSerialSearch) {
  struct Case {
    std::uint8_t firmwareLow;  // 1.10 or 1.11
    std::uint8_t internalMeter;
    bool inUse;
    bool warned;
  };
  const std::string warning =
      "PressureMultiMyographK4x::Load() - Internal FlowMeter ignored! (firmware version must be 1.11 or higher)\n";
  for (const Case& c : {Case{110, 1, false, true}, Case{111, 1, true, false}, Case{111, 0, false, false}}) {
    SCOPED_TRACE(int(c.firmwareLow) * 10 + c.internalMeter);
    hid_.RemoveDevice(Manager().FindHidDevicePath(""));
    manager_.reset();
    auto unit = AddUnit();
    unit->Update([&](Sim::MultiInterfaceUnit::State& s) {
      s.firmwareHigh = 0;
      s.firmwareLow = c.firmwareLow;
      s.digital[6] = c.internalMeter;
    });
    ports_ = {AbsentPort(0)};
    ListPorts();
    TakeEvents();

    const std::uint32_t found = Manager().LoadDevices(kDeviceMultiInterface | kDeviceFlowMeter);
    EXPECT_EQ(found, std::uint32_t{kDeviceMultiInterface});
    EXPECT_EQ(Manager().InternalFlowMeterInUse(), c.inUse);
    const std::vector<Event> events = TakeEvents();
    EXPECT_EQ(std::count(events.begin(), events.end(), Event{kWarning, warning}), c.warned ? 1 : 0);
    // The serial flow meter is searched only without the internal one.
    EXPECT_EQ(Trials(events, {kFlowTried, kFlowOpened}), c.inUse ? Ports{} : Ports{AbsentPort(0)});
  }
}

TEST_F(ManagerTest, MicroscopesLogToOneFileEachOnlyWithDebug) {
  struct Case {
    int microscopes;
    bool debug;
    std::vector<std::string> logs;
  };
  const std::vector<Case> cases = {
      {1, true, {"ORVMicroscope.log"}},
      {3, true, {"ORVMicroscope--0.log", "ORVMicroscope--1.log", "ORVMicroscope--2.log"}},
      {3, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.microscopes) + (c.debug ? " with debug" : " without debug"));
    std::vector<std::unique_ptr<Sim::MicroscopeSim>> sims;
    usb_->devices.clear();
    for (int i = 0; i < c.microscopes; ++i) {
      sims.push_back(std::make_unique<Sim::MicroscopeSim>());
      ASSERT_TRUE(sims.back()->Start());
      usb_->devices.push_back(
          FtdiDevice(kFtdiSerialConverterProductId, "FTM" + std::to_string(i), sims.back()->DevicePath()));
    }
    for (const auto& entry : std::filesystem::directory_iterator(logs_.path())) std::filesystem::remove(entry);
    ORV::Test::SharedConfiguration().Debug = c.debug;

    EXPECT_EQ(Manager().LoadDevices(kDeviceMicroscope), std::uint32_t{kDeviceMicroscope});
    EXPECT_EQ(Manager().IsLogging(), c.debug);
    ASSERT_EQ(Manager().MicroscopeCount(), c.microscopes);
    for (int i = 0; i < c.microscopes; ++i) {
      ASSERT_NE(Manager().MicroscopeAt(static_cast<std::size_t>(i)), nullptr);
      EXPECT_EQ(Manager().MicroscopeAt(static_cast<std::size_t>(i))->SerialNumber(), "FTM" + std::to_string(i));
      EXPECT_TRUE(Manager().MicroscopeAt(static_cast<std::size_t>(i))->IsConnected());
    }
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(logs_.path()))
      written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, c.logs);
    // The next load makes new microscopes on the same ports.
    EXPECT_EQ(Manager().LoadDevices(kDeviceMicroscope), std::uint32_t{kDeviceMicroscope});
    EXPECT_EQ(Manager().MicroscopeCount(), c.microscopes);
  }
}

TEST_F(ManagerTest, MicroscopeThatFailsEndsTheLoopAndTheCountIsThoseLoaded) {
  std::vector<std::unique_ptr<Sim::MicroscopeSim>> sims;
  for (int i = 0; i < 3; ++i) {
    sims.push_back(std::make_unique<Sim::MicroscopeSim>());
    ASSERT_TRUE(sims.back()->Start());
    usb_->devices.push_back(
        FtdiDevice(kFtdiSerialConverterProductId, "FTM" + std::to_string(i), sims.back()->DevicePath()));
  }
  sims[1]->SetMode(Sim::ReplyMode::Garbage);
  EXPECT_EQ(Manager().LoadDevices(kDeviceMicroscope), std::uint32_t{kDeviceMicroscope});
  EXPECT_EQ(Manager().MicroscopeCount(), 1);
  EXPECT_NE(Manager().MicroscopeAt(0), nullptr);
  EXPECT_EQ(Manager().MicroscopeAt(1), nullptr);
  EXPECT_EQ(Manager().MicroscopeAt(2), nullptr);
  EXPECT_TRUE(sims[2]->Requests().empty());
  EXPECT_TRUE(Manager().IsConnected(kDeviceMicroscope));

  sims[0]->SetMode(Sim::ReplyMode::Garbage);
  EXPECT_EQ(Manager().LoadDevices(kDeviceMicroscope), 0u);
  EXPECT_EQ(Manager().MicroscopeCount(), 0);
  EXPECT_EQ(Manager().MicroscopeAt(0), nullptr);
  EXPECT_FALSE(Manager().IsConnected(kDeviceMicroscope));
}

TEST_F(ManagerTest, IsConnectedAnswersPerTypeCode) {
  Sim::FlowMeterSLI2000Sim meter;
  ASSERT_TRUE(meter.Start());
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "FTF1", meter.DevicePath())};
  auto unit = AddUnit();
  unit->Update([](Sim::MultiInterfaceUnit::State& s) { s.modelByte = 5; });  // 0x100002
  ports_ = {AbsentPort(0)};
  ListPorts();

  EXPECT_EQ(Manager().LoadDevices(kDeviceMultiInterface | kDeviceFlowMeter), 10u);
  EXPECT_TRUE(Manager().BinaryFlowMeterConnected());
  const std::vector<Event> events = TakeEvents();
  EXPECT_EQ(Trials(events, {kFlowTried, kFlowOpened}), Ports{});  // no serial search with the binary meter

  EXPECT_TRUE(Manager().IsConnected(kDeviceFlowMeter));
  EXPECT_TRUE(Manager().IsConnected(kDeviceFlowMeter, true));
  EXPECT_TRUE(Manager().IsConnected(kDeviceMultiInterface, true));
  EXPECT_FALSE(Manager().IsConnected(PressureMultiMyographK4x::kModelFast));
  for (std::uint32_t type : {0u, 3u, 64u, 0x100002u, 0x80000000u}) EXPECT_FALSE(Manager().IsConnected(type)) << type;
  EXPECT_FALSE(Manager().IsConnected(kDeviceMicroscope));
  EXPECT_FALSE(Manager().IsConnected(kDeviceHeatController));
  EXPECT_FALSE(Manager().IsConnected(kDeviceSinglePressureInterface));

  EXPECT_FALSE(Manager().IsConnected(InterfaceManager::kCameraPresence));
  cameraPresent_ = true;
  EXPECT_TRUE(Manager().IsConnected(InterfaceManager::kCameraPresence));

  // Verify asks the device: a meter that went silent is still flagged.
  meter.SetMode(Sim::ReplyMode::Silent);
  EXPECT_TRUE(Manager().IsConnected(kDeviceFlowMeter));
  EXPECT_FALSE(Manager().IsConnected(kDeviceFlowMeter, true));

  // The fast model answers its own code.
  hid_.RemoveDevice(Manager().FindHidDevicePath(""));
  manager_.reset();
  AddUnit();
  EXPECT_EQ(Manager().LoadDevices(kDeviceMultiInterface), 8u);
  EXPECT_TRUE(Manager().IsConnected(PressureMultiMyographK4x::kModelFast));
}

}  // namespace
}  // namespace ORV::Test

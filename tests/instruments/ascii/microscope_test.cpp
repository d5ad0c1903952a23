// The microscope: finding up to four of them through a fake FTDI device
// list, and the unit's protocol against its simulator.
#include "instruments/microscope.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/microscope_sim.h"
#include "tests/instruments/ascii/driver_fixture.h"

namespace ORV::Test {
namespace {

using Sim::MicroscopeSim;
using Lines = std::vector<std::string>;
constexpr std::uint16_t kInfo = OS::kEventInformation;
constexpr std::uint16_t kWarning = OS::kEventWarning;
constexpr std::uint16_t kError = OS::kEventError;
constexpr std::uint16_t kConverter = kFtdiSerialConverterProductId;

class MicroscopeTest : public DriverTest {
 protected:
  std::unique_ptr<Microscope> MakeMicroscope() {
    auto m = std::make_unique<Microscope>(devices_);
    m->SetSleeper(sleeper_.AsSleeper());
    m->SetTimeout(timeout_);
    return m;
  }
  // Runs the port search with output lists that hold something beforehand.
  std::pair<Lines, Lines> Find() {
    Lines ports{"stale"}, serials{"stale"};
    MakeMicroscope()->FindComPort(ports, serials);
    return {ports, serials};
  }
  static std::string Opened(const std::string& path, int timeout) {
    return "Microscope::Load() - Opened port: " + path + " - Timeout: " + std::to_string(timeout) + "\n";
  }

  std::shared_ptr<OS::FixedUsbSerialEnumerator> devices_ = std::make_shared<OS::FixedUsbSerialEnumerator>();
  std::int32_t timeout_ = 500;  // as the interface manager gives it
  MicroscopeSim sim_;
};

TEST_F(MicroscopeTest, FindComPortMatchesMicroscopeSerialNumbersToTheirTerminals) {
  OS::UsbSerialDevice otherVendor = FtdiDevice(kConverter, "FTA003", "/dev/ttyUSB3");
  otherVendor.vendorId = 0x1A2B;
  OS::UsbSerialDevice builtIn;
  builtIn.sysPath = "/sys/devices/pnp0/00:01/tty/ttyS0";
  builtIn.devNode = "/dev/ttyS0";
  devices_->devices = {
      FtdiDevice(kConverter, "FTW123", "/dev/ttyUSB0"),  // another instrument's cable
      FtdiDevice(kConverter, "FTA001", ""),              // attached, but no terminal
      FtdiDevice(kFtdiHeatControllerProductId, "HC1", "/dev/ttyUSB2"),
      otherVendor,
      FtdiDevice(kConverter, "FTA002", "/dev/ttyUSB7"),
      builtIn,
  };
  EXPECT_EQ(Find(), (std::pair{Lines{"/dev/ttyUSB7"}, Lines{"FTA002"}}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(MicroscopeTest, AtMostFourMicroscopesAreTakenAndTheOthersNamed) {
  Lines ports, serials;
  for (int i = 1; i <= 6; ++i) {
    ports.push_back("/dev/ttyUSB" + std::to_string(i));
    serials.push_back("FTM00" + std::to_string(i));
    devices_->devices.push_back(FtdiDevice(kConverter, serials.back(), ports.back()));
  }
  EXPECT_EQ(Find(), (std::pair{Lines(ports.begin(), ports.begin() + 4), Lines(serials.begin(), serials.begin() + 4)}));
  const std::string head =
      "Microscope::FindComPort() - More than 4 microscopes attached; not using the one with "
      "serial number ";
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kWarning, head + "FTM005 at port /dev/ttyUSB5\n"},
                                              {kWarning, head + "FTM006 at port /dev/ttyUSB6\n"}}));
}

TEST_F(MicroscopeTest, FindComPortFindsNothingWithoutTheDeviceList) {
  devices_->devices = {FtdiDevice(kConverter, "FTA002", "/dev/ttyUSB7")};
  devices_->fails = true;
  EXPECT_EQ(Find(), (std::pair{Lines{}, Lines{}}));
  EXPECT_TRUE(TakeEvents().empty());

  devices_->fails = false;
  devices_->available = false;
  EXPECT_EQ(Find(), (std::pair{Lines{}, Lines{}}));
  EXPECT_EQ(
      TakeEvents(),
      (std::vector<Event>{
          {kError, "Microscope::FindComPort() - Unable to search for Microscope port (no FTDI driver found)\n"}}));
}

TEST_F(MicroscopeTest, LoadOpensTheTerminalWithTheConfiguredTimeOutAndPings) {
  ASSERT_TRUE(sim_.Start());
  const std::string path = sim_.DevicePath();
  TempDir dir;
  const std::pair<int, int> cases[] = {{800, 800}, {-1, 500}, {0, 500}};
  for (const auto& [configured, used] : cases) {
    SCOPED_TRACE(configured);
    timeout_ = configured;
    auto microscope = MakeMicroscope();
    ASSERT_TRUE(microscope->OpenLog(dir / "ORVMicroscope.log"));
    EXPECT_TRUE(microscope->Load(path));
    EXPECT_TRUE(microscope->IsConnected());
    EXPECT_EQ(microscope->PortName(), path);
    EXPECT_EQ(microscope->Port().Timeout(), static_cast<std::uint32_t>(used));
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo, Opened(path, used)}}));
    microscope->Close();
    EXPECT_EQ(ReadLines(dir / "ORVMicroscope.log"),
              (Lines{"Connected to COM port: '" + path + "'", "Command sent: ?4s\r",
                     "Read reply '22' bytes - data: >4s;Firmware Ver.2.00\r", "Closed COM port: '" + path + "'"}));
  }
  EXPECT_EQ(sleeper_.Waits(), (std::vector<std::uint32_t>{500, 500, 500}));
}

TEST_F(MicroscopeTest, PingWantsTheFirmwareTextRightAfterTheHead) {
  ASSERT_TRUE(sim_.Start());
  const std::pair<const char*, bool> cases[] = {
      {"Firmware Ver.2.00", true},  {"Firmware Ver.2.00.001", true}, {" Firmware Ver.2.00", false},
      {"Firmware Ver.1.00", false}, {"Firmware Ver.2.0", false},
  };
  auto microscope = MakeMicroscope();
  // Reads end 50 ms after a reply's last byte (the baud rate means nothing on a pseudo-terminal).
  ASSERT_TRUE(microscope->Port().Open(sim_.DevicePath()) && microscope->Port().Configure(9600, 1250) == 0);
  for (const auto& [firmware, accepted] : cases) {
    SCOPED_TRACE(firmware);
    sim_.SetFirmware(firmware);
    EXPECT_EQ(microscope->Ping(), accepted);
    std::vector<Event> expected;
    if (!accepted)
      expected.push_back(
          {kError, std::string("Microscope::Ping() - Unknown reply (>4s;") + firmware + "\r) from ORV Microscope"});
    EXPECT_EQ(TakeEvents(), expected);
  }
  sim_.SetMode(Sim::ReplyMode::Silent);
  EXPECT_FALSE(microscope->Ping());
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kError, "Microscope::Ping() - Unknown reply () from ORV Microscope"}}));
}

TEST_F(MicroscopeTest, LoadFailsOnAForeignUnitOrAMissingPort) {
  ASSERT_TRUE(sim_.Start());
  sim_.SetFirmware(" Firmware Ver.2.00");
  auto microscope = MakeMicroscope();
  EXPECT_FALSE(microscope->Load(sim_.DevicePath()));
  EXPECT_FALSE(microscope->Port().IsOpen());
  EXPECT_EQ(TakeEvents(),
            (std::vector<Event>{
                {kInfo, Opened(sim_.DevicePath(), 500)},
                {kError, "Microscope::Ping() - Unknown reply (>4s; Firmware Ver.2.00\r) from ORV Microscope"},
                {kError, "Microscope::Load() - Failed connecting to ORV Microscope"},
            }));

  EXPECT_FALSE(microscope->Load("/nonexistent/ttyUSB4"));
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kError,
                                               "Microscope::Load() - Unable to connect to COM port: "
                                               "/nonexistent/ttyUSB4 - error: 2\n"}}));
  EXPECT_EQ(sleeper_.Waits(), std::vector<std::uint32_t>{500});
}

TEST_F(MicroscopeTest, SetValueSendsTheLightLevelOnlyWhenConnectedWithDeviceAccess) {
  ASSERT_TRUE(sim_.Start());
  auto microscope = MakeMicroscope();
  ASSERT_TRUE(microscope->Port().Open(sim_.DevicePath()));
  EXPECT_FALSE(microscope->SetValue(100));  // port open, not connected
  EXPECT_EQ(sim_.Received(), "");

  ASSERT_TRUE(microscope->Load(sim_.DevicePath()));
  EXPECT_TRUE(microscope->SetValue(100));
  EXPECT_TRUE(microscope->SetValue(-5));
  EXPECT_TRUE(microscope->Ping());  // answered only after the unit took the commands before it
  EXPECT_EQ(sim_.Received(), "?4s\r=4i;100;\r=4i;-5;\r?4s\r");
  EXPECT_EQ(sim_.LightLevel(), -5);

  // Without device access the command is refused even on a connected unit.
  microscope.reset();
  devices_->available = false;
  microscope = MakeMicroscope();
  ASSERT_TRUE(microscope->Load(sim_.DevicePath()));
  EXPECT_FALSE(microscope->SetValue(100));
  EXPECT_TRUE(microscope->Ping());
  EXPECT_EQ(sim_.Received(), "?4s\r=4i;100;\r=4i;-5;\r?4s\r?4s\r?4s\r");
}

}  // namespace
}  // namespace ORV::Test

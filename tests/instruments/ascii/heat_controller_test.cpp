// The heat controller against its simulator, found through a fake FTDI
// device list.
#include "instruments/heat_controller.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <memory>

#include "platform/sim/heat_controller_sim.h"
#include "tests/instruments/ascii/driver_fixture.h"

namespace ORV::Test {
namespace {

using Sim::HeatControllerSim;
using Lines = std::vector<std::string>;
using Four = std::array<float, 4>;
constexpr std::uint16_t kInfo = OS::kEventInformation;
constexpr std::uint16_t kError = OS::kEventError;
constexpr std::uint16_t kHeater = kFtdiHeatControllerProductId;
const std::string kFailed = "HeatController::Load() - Failed connecting to HeatController";

class HeatControllerTest : public DriverTest {
 protected:
  // The simulator listed as the only heat controller.
  void ListSimulator() { devices_->devices = {FtdiDevice(kHeater, "HC0001", sim_.DevicePath())}; }
  std::unique_ptr<HeatController> MakeController() {
    auto c = std::make_unique<HeatController>(devices_);
    c->SetSleeper(sleeper_.AsSleeper());
    c->SetTimeout(timeout_);
    return c;
  }
  // A controller whose port is open on the simulator without a load.
  std::unique_ptr<HeatController> OpenOnly() {
    auto c = MakeController();
    EXPECT_TRUE(c->Port().Open(sim_.DevicePath()) && QuickReplies(*c));
    return c;
  }
  // Reads that end 50 ms after a reply's last byte rather than after the
  // controller's full time-out (the baud rate means nothing on a pseudo-terminal).
  static bool QuickReplies(HeatController& c) { return c.Port().Configure(9600, 1250) == 0; }
  static std::string Opened(const std::string& path, int timeout) {
    return "HeatController::Load() - Opened port: " + path + " - Timeout: " + std::to_string(timeout) + "\n";
  }

  std::shared_ptr<OS::FixedUsbSerialEnumerator> devices_ = std::make_shared<OS::FixedUsbSerialEnumerator>();
  std::int32_t timeout_ = 500;  // as the interface manager gives it
  HeatControllerSim sim_;
};

TEST_F(HeatControllerTest, LoadFindsTheControllerByItsFtdiIdAndReadsItsSettings) {
  ASSERT_TRUE(sim_.Start());
  HeatControllerSim::State s;
  s.targets = {36.5f, 37.0f, 0.0f, 5.25f};
  s.differences = {0.5f, -1.0f, 10.0f, 0.0f};
  s.further = {3.0f, 4.5f};
  sim_.SetState(s);
  OS::UsbSerialDevice foreign = FtdiDevice(kHeater, "HC0003", "/dev/ttyUSB5");
  foreign.vendorId = 0x1234;
  devices_->devices = {
      FtdiDevice(kFtdiSerialConverterProductId, "FT0001", "/dev/ttyUSB0"),  // another FTDI product
      FtdiDevice(kHeater, "HC0001", sim_.DevicePath()),
      FtdiDevice(kHeater, "HC0002", ""),  // no terminal
      foreign,
  };

  auto controller = MakeController();
  EXPECT_TRUE(controller->Load("ignored"));
  EXPECT_TRUE(controller->IsConnected());
  EXPECT_EQ(controller->PortName(), sim_.DevicePath());
  EXPECT_EQ(controller->Targets(), (Four{36.5f, 37.0f, 0.0f, 5.2f}));  // the unit sends one decimal
  EXPECT_EQ(controller->Differences(), s.differences);
  EXPECT_EQ(controller->FurtherValues(), (std::array<float, 2>{3.0f, 4.5f}));
  EXPECT_EQ(sleeper_.Waits(), std::vector<std::uint32_t>{1000});
  EXPECT_EQ(RequestsAfter(sim_, 4), (Lines{"?2s", "?22", "?2d", "?2p"}));
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo, Opened(sim_.DevicePath(), 500)}}));
}

TEST_F(HeatControllerTest, WithoutAUsableFtdiDeviceNothingIsOpened) {
  ASSERT_TRUE(sim_.Start());
  const std::string missing = "/nonexistent/ttyUSB3";
  struct Case {
    const char* name;
    std::vector<OS::UsbSerialDevice> devices;
    bool listFails;
    bool available;
    std::vector<Event> events;
  };
  const Case cases[] = {
      {"no devices", {}, false, true, {}},
      {"only without terminal", {FtdiDevice(kHeater, "HC0001", "")}, false, true, {}},
      {"only other products", {FtdiDevice(kFtdiSerialConverterProductId, "FT1", sim_.DevicePath())}, false, true, {}},
      {"list fails", {FtdiDevice(kHeater, "HC0001", sim_.DevicePath())}, true, true, {}},
      {"no device access",
       {FtdiDevice(kHeater, "HC0001", sim_.DevicePath())},
       false,
       false,
       {{kError, "HeatController::HeatController() - Driver DLL not found"},
        {kError, "HeatController::FindComPort() - Unable to search for HeatController port (no FTDI driver found)\n"}}},
      {"the last listed wins",
       {FtdiDevice(kHeater, "HC0001", sim_.DevicePath()), FtdiDevice(kHeater, "HC0002", missing)},
       false,
       true,
       {{kError, "HeatController::Load() - Unable to connect to COM port: " + missing + " - error: 2\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    devices_->devices = c.devices;
    devices_->fails = c.listFails;
    devices_->available = c.available;
    auto controller = MakeController();
    EXPECT_EQ(controller->Ftdi().IsAvailable(), c.available);
    EXPECT_FALSE(controller->Load(""));
    EXPECT_FALSE(controller->Port().IsOpen());
    EXPECT_EQ(TakeEvents(), c.events);
  }
  EXPECT_EQ(sim_.Received(), "");
}

TEST_F(HeatControllerTest, TimeOutIsTheConfiguredOneButAtLeast500) {
  ASSERT_TRUE(sim_.Start());
  ListSimulator();
  sim_.SetMode(Sim::ReplyMode::Garbage);  // each load ends after its first query
  const std::pair<int, int> cases[] = {{-1, 500}, {0, 500}, {100, 500}, {800, 800}};
  for (const auto& [configured, used] : cases) {
    SCOPED_TRACE(configured);
    timeout_ = configured;
    auto controller = MakeController();
    EXPECT_FALSE(controller->Load(""));
    EXPECT_EQ(controller->Port().Timeout(), static_cast<std::uint32_t>(used));
    const std::vector<Event> events = TakeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), (Event{kInfo, Opened(sim_.DevicePath(), used)}));
  }
}

TEST_F(HeatControllerTest, PingTakesTheKnownFirmwareTextsRightAfterTheHead) {
  ASSERT_TRUE(sim_.Start());
  struct Case {
    const char* firmware;
    bool accepted;
  };
  const Case cases[] = {
      {"Firmware Ver.2.00.000", true},  {"Firmware Ver.1.22.000", true},   {"Firmware Ver.1.10", true},
      {"Firmware Ver.1.1", true},       {" Firmware Ver.2.00.000", false}, {"Firmware Ver.2.01.000", false},
      {"firmware Ver.2.00.000", false}, {"Firmware Ver.1.0", false},
  };
  auto controller = OpenOnly();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    sim_.SetFirmware(c.firmware);
    EXPECT_EQ(controller->Ping(), c.accepted);
    std::vector<Event> expected;
    if (!c.accepted)
      expected.push_back({kError, std::string("HeatController::Ping() - Unknown reply (>2s;") + c.firmware +
                                      "\r) from Heat Controller"});
    EXPECT_EQ(TakeEvents(), expected);
  }
  EXPECT_FALSE(controller->IsConnected());
}

TEST_F(HeatControllerTest, UnknownFirmwareOrAShortSettingsReplyFailsLoad) {
  ASSERT_TRUE(sim_.Start());
  ListSimulator();
  const std::string head = " Firmware Ver.2.00.000";
  {
    SCOPED_TRACE("firmware text one place too far");
    sim_.SetFirmware(head);
    auto controller = MakeController();
    EXPECT_FALSE(controller->Load(""));
    EXPECT_FALSE(controller->Port().IsOpen());
    EXPECT_EQ(TakeEvents(),
              (std::vector<Event>{
                  {kInfo, Opened(sim_.DevicePath(), 500)},
                  {kError, "HeatController::Ping() - Unknown reply (>2s;" + head + "\r) from Heat Controller"},
                  {kError, kFailed},
              }));
  }
  {
    SCOPED_TRACE("three targets");
    sim_.SetFirmware("Firmware Ver.2.00.000");
    sim_.SetReply("?22", ">22;36.5;37.0;00.0;\r");
    auto controller = MakeController();
    EXPECT_FALSE(controller->Load(""));
    EXPECT_FALSE(controller->IsConnected());
    EXPECT_FALSE(controller->Port().IsOpen());
    EXPECT_EQ(controller->Targets(), Four{});
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo, Opened(sim_.DevicePath(), 500)}, {kError, kFailed}}));
  }
}

class ConnectedHeatController : public HeatControllerTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    HeatControllerSim::State s;
    s.targets = {36.5f, 36.0f, 0.0f, 5.2f};
    s.differences = {0.5f, 0.5f, 0.0f, 0.0f};
    s.states = {"01", "1", "0x", "10"};
    s.temperatures = {36.9f, 37.1f, 22.0f, -1.5f};
    sim_.SetState(s);
    ListSimulator();
    controller_ = MakeController();
    ASSERT_TRUE(controller_->Load(""));
    TakeEvents();
    ASSERT_TRUE(QuickReplies(*controller_));
  }
  std::unique_ptr<HeatController> controller_;
};

TEST_F(ConnectedHeatController, ReadSettingsNeedsAllThreeWholeRepliesElseKeepsTheOldValues) {
  const std::pair<const char*, const char*> replies[] = {
      {"?22", ">22;36.5;37.0;00.0;\r"},   // three fields
      {"?2d", ">2d;0.0;0.0;0.0;0"},       // cut short
      {"?2p", ">2p;1.0;\r"},              // one field
      {"?22", ">2d;1.0;2.0;3.0;4.0;\r"},  // another command's reply
      {"?2d", ">2d;0.0;x;0.0;0.0;\r"},    // no number
  };
  const Four targets = controller_->Targets(), differences = controller_->Differences();
  for (const auto& [command, reply] : replies) {
    SCOPED_TRACE(reply);
    sim_.SetReply("?22", ">22;1.0;2.0;3.0;4.0;\r");
    sim_.SetReply("?2d", ">2d;1.0;2.0;3.0;4.0;\r");
    sim_.SetReply("?2p", ">2p;1.0;2.0;\r");
    sim_.SetReply(command, reply);
    EXPECT_FALSE(controller_->ReadSettings());
    EXPECT_EQ(controller_->Targets(), targets);
    EXPECT_EQ(controller_->Differences(), differences);
  }
}

TEST_F(ConnectedHeatController, ReadCurrentTakesStatesAndTemperaturesOfAllFourChannels) {
  HeatControllerSample sample;
  ASSERT_TRUE(controller_->ReadCurrent(sample));
  // A state beginning with "0" marks a channel that is on: "01" yes, "1" no.
  EXPECT_EQ(sample.channelFlags, (std::array<std::uint8_t, 4>{1, 0, 1, 0}));
  EXPECT_EQ(sample.temperatures, (Four{36.9f, 37.1f, 22.0f, -1.5f}));

  const std::pair<const char*, const char*> replies[] = {
      {"?2c", ">2c;0;0;0;\r"},
      {"?21", ">21;36.9;37.1;22.0;\r"},
      {"?21", ">21;36.9;37.1;22.0;-1"},
      {"?2c", ">21;0;0;0;0;\r"},
  };
  for (const auto& [command, reply] : replies) {
    SCOPED_TRACE(reply);
    sim_.SetReply("?2c", ">2c;0;0;0;0;\r");
    sim_.SetReply("?21", ">21;1.0;2.0;3.0;4.0;\r");
    sim_.SetReply(command, reply);
    HeatControllerSample kept;
    kept.channelFlags = {9, 9, 9, 9};
    kept.temperatures = {1, 2, 3, 4};
    EXPECT_FALSE(controller_->ReadCurrent(kept));
    EXPECT_EQ(kept.channelFlags, (std::array<std::uint8_t, 4>{9, 9, 9, 9}));
    EXPECT_EQ(kept.temperatures, (Four{1, 2, 3, 4}));
  }
}

TEST_F(ConnectedHeatController, SetTargetSendsAllFourChannelsWithOneChangedWhateverTheLocale) {
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  const std::size_t loaded = sim_.Received().size();

  EXPECT_TRUE(controller_->SetTarget(1, 37.0f));
  EXPECT_TRUE(controller_->SetDifferences({0.5f, -1.0f, 10.0f, 0.0f}));
  EXPECT_EQ(controller_->Targets(), (Four{36.5f, 37.0f, 0.0f, 5.2f}));
  EXPECT_EQ(controller_->Differences(), (Four{0.5f, -1.0f, 10.0f, 0.0f}));
  EXPECT_TRUE(controller_->Ping());  // answered only after the unit took the commands before it
  EXPECT_EQ(sim_.Received().substr(loaded), "=22;36.5;37.0;00.0;05.2;\r=2d;00.5;-1.0;10.0;00.0;\r?2s\r");
  EXPECT_EQ(sim_.GetState().targets, (Four{36.5f, 37.0f, 0.0f, 5.2f}));
  EXPECT_EQ(sim_.GetState().differences, (Four{0.5f, -1.0f, 10.0f, 0.0f}));

  // Refused: a chamber that does not exist, a value that is no number.
  EXPECT_FALSE(controller_->SetTarget(4, 37.0f));
  EXPECT_FALSE(controller_->SetTarget(0, std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(controller_->SetDifferences({0.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f}));
  // A command that cannot be sent leaves the old target.
  sim_.Unplug();
  EXPECT_FALSE(controller_->SetTarget(0, 38.0f));
  EXPECT_FALSE(controller_->SetDifferences({1.0f, 1.0f, 1.0f, 1.0f}));
  EXPECT_EQ(controller_->Targets(), (Four{36.5f, 37.0f, 0.0f, 5.2f}));
  EXPECT_EQ(controller_->Differences(), (Four{0.5f, -1.0f, 10.0f, 0.0f}));
  EXPECT_EQ(sim_.Received().substr(loaded), "=22;36.5;37.0;00.0;05.2;\r=2d;00.5;-1.0;10.0;00.0;\r?2s\r");
}

TEST_F(HeatControllerTest, EveryOperationButPingIsRefusedUnlessConnected) {
  ASSERT_TRUE(sim_.Start());
  for (const bool portOpen : {false, true}) {
    SCOPED_TRACE(portOpen ? "port open, not connected" : "no port");
    auto controller = portOpen ? OpenOnly() : MakeController();
    HeatControllerSample sample;
    EXPECT_FALSE(controller->ReadSettings());
    EXPECT_FALSE(controller->ReadCurrent(sample));
    EXPECT_FALSE(controller->SetTarget(0, 37.0f));
    EXPECT_FALSE(controller->SetDifferences({}));
    EXPECT_EQ(sim_.Received(), "");
    EXPECT_EQ(controller->Ping(), portOpen);
    EXPECT_EQ(sim_.Received(), portOpen ? "?2s\r" : "");
  }
}

}  // namespace
}  // namespace ORV::Test

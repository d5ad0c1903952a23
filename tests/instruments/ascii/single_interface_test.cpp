// The single pressure interface against its simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <functional>
#include <limits>
#include <memory>

#include "instruments/pressure_myograph_k4x.h"
#include "platform/os/serial_port.h"
#include "platform/sim/single_interface_sim.h"
#include "tests/instruments/ascii/driver_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

using Sim::ReplyMode;
using Sim::SingleInterfaceSim;
using Lines = std::vector<std::string>;
using Waits = std::vector<std::uint32_t>;
constexpr std::uint16_t kInfo = OS::kEventInformation;
constexpr std::uint16_t kError = OS::kEventError;

class SingleInterfaceTest : public DriverTest {
 protected:
  SingleInterfaceTest() { ORV::Test::SharedConfiguration().LastUsedInterfacePort = "previous"; }

  std::unique_ptr<PressureMyographK4x> MakeUnit() {
    auto unit = std::make_unique<PressureMyographK4x>();
    unit->SetSleeper(sleeper_.AsSleeper());
    unit->SetTimeout(timeout_);
    return unit;
  }
  static std::string Opened(const std::string& path) {
    return "PressureMyographK4x::Load() - Opened port: " + path + "\n";
  }
  std::int32_t timeout_ = 1250;  // as the interface manager gives it
};

TEST_F(SingleInterfaceTest, LoadTakesSupportedUnitsOnlyAndSaysWhich) {
  struct Case {
    const char* type;
    const char* firmware;
    std::uint32_t index;  // 0: refused
  };
  const Case cases[] = {
      {"K40Q", "V3.30", 3},  {"K41Q", "V3.25", 1}, {"K50CQ", "V3.29", 2}, {"K45FQ", "V3.31", 4},
      {"K40ZR", "V4.00", 5}, {"K40Q", "V3.26", 0}, {"K42Q", "V3.30", 0},  {"k40q", "V3.30", 0},
  };
  TempDir dir;
  SingleInterfaceSim sim;
  ASSERT_TRUE(sim.Start());
  const std::string path = sim.DevicePath();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.firmware);
    sim.SetVersion(c.type, c.firmware);
    auto unit = MakeUnit();
    const std::string log = dir / (std::string(c.type) + c.firmware + ".log");
    ASSERT_TRUE(unit->OpenLog(log));
    const bool accepted = c.index != 0;

    EXPECT_EQ(unit->Load(path), accepted);
    EXPECT_EQ(unit->IsConnected(), accepted);
    EXPECT_EQ(unit->Port().IsOpen(), accepted);
    EXPECT_EQ(unit->FirmwareIndex(), c.index);
    EXPECT_EQ(ORV::Test::SharedConfiguration().LastUsedInterfacePort, "previous") << "the interface manager keeps it";

    const std::string reply = std::string(">01,") + c.type + "," + c.firmware + "\r";
    const std::string verdict =
        accepted ? std::string("Multi Interface type '") + c.type + "' with software version " + c.firmware
                 : std::string("Multi Interface is of unsupported type '") + c.type +
                       "' or unsupported software version " + c.firmware;
    EXPECT_EQ(TakeEvents(),
              (std::vector<Event>{{kInfo, Opened(path)},
                                  {accepted ? kInfo : kError, "PressureMyographK4x::Load() - " + verdict + "\n"}}));
    unit->Close();
    EXPECT_EQ(ReadLines(log),
              (Lines{"Connected to COM port: '" + path + "'", "Command sent: ?0100\r",
                     "Read reply '" + std::to_string(reply.size()) + "' bytes - data: " + reply,
                     accepted ? std::string("Interface type: '") + c.type + "' - Firmware version: '" + c.firmware + "'"
                              : "PressureMyographK4x::Load() - " + verdict,
                     "Closed COM port: '" + path + "'"}));
  }
  EXPECT_EQ(sleeper_.Waits(), Waits(std::size(cases), 1500));
}

TEST_F(SingleInterfaceTest, TimeOutIsAtLeast1250AndChoosesTheReadRule) {
  struct Case {
    std::int32_t configured;
    std::uint32_t used;
    OS::PortTimeouts read;  // the read part of the terminal's time-outs
  };
  const Case cases[] = {
      {100, 1250, {50, 10, 200}},  {-1, 1250, {50, 10, 200}},     {0, 1250, {50, 10, 200}},
      {1250, 1250, {50, 10, 200}}, {2000, 2000, {2000, 0, 2000}},
  };
  SingleInterfaceSim sim;
  ASSERT_TRUE(sim.Start());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.configured);
    timeout_ = c.configured;
    auto unit = MakeUnit();
    ASSERT_TRUE(unit->Load(sim.DevicePath()));
    EXPECT_EQ(unit->Port().Timeout(), c.used);
    OS::PortTimeouts t;
    ASSERT_TRUE(unit->Port().Handle()->GetTimeouts(t));
    EXPECT_EQ(t.readInterval, c.read.readInterval);
    EXPECT_EQ(t.readTotalMultiplier, c.read.readTotalMultiplier);
    EXPECT_EQ(t.readTotalConstant, c.read.readTotalConstant);
  }
}

TEST_F(SingleInterfaceTest, PortThatCannotBeOpenedIsTriedThreeTimes) {
  SingleInterfaceSim sim;
  ASSERT_TRUE(sim.Start());
  SerialPort holder;  // keeps the simulator's port busy
  ASSERT_TRUE(holder.Open(sim.DevicePath()));
  struct Case {
    std::string path;
    const char* errorHex;
  };
  const Case cases[] = {{"/nonexistent/ttyUSB9", "2"}, {sim.DevicePath(), "10"}};  // ENOENT, EBUSY
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto unit = MakeUnit();
    EXPECT_FALSE(unit->Load(c.path));
    EXPECT_FALSE(unit->Port().IsOpen());
    EXPECT_EQ(TakeEvents(),
              (std::vector<Event>{{kError, "PressureMyographK4x::Load() - Unable to connect to COM port: " + c.path +
                                               " - error: " + c.errorHex + "\n"}}));
  }
  EXPECT_EQ(sleeper_.Waits(), (Waits{250, 250, 250, 250}));
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastUsedInterfacePort, "previous");
}

TEST_F(SingleInterfaceTest, UnitThatAnswersBadlyOrNotAtAllIsClosedAgain) {
  struct Case {
    const char* name;
    ReplyMode mode;
    std::string error;
  };
  const Case cases[] = {
      {"garbled", ReplyMode::Garbage,
       "PressureMyographK4x::Ping() - Failed to validate 'PMK4x_GET_VERSION_REPLY' reply: x#x#x#x#x#x#x#x"},
      {"short", ReplyMode::Partial,
       "PressureMyographK4x::Load() - Multi Interface is of unsupported type 'K40Q' or unsupported software "
       "version V3\n"},
      {"unplugged", ReplyMode::Unplug, "PressureMyographK4x::Ping() - Failed to send 'PMK4x_GET_VERSION' command"},
      {"silent", ReplyMode::Silent,
       "PressureMyographK4x::Ping() - Failed to validate 'PMK4x_GET_VERSION_REPLY' reply: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SingleInterfaceSim sim;
    ASSERT_TRUE(sim.Start());
    sim.SetMode(c.mode);
    sim.SetGarbage("x#");
    sim.SetPartialLength(11);  // ">01,K40Q,V3"
    auto unit = MakeUnit();
    EXPECT_FALSE(unit->Load(sim.DevicePath()));
    EXPECT_FALSE(unit->IsConnected());
    EXPECT_FALSE(unit->Port().IsOpen());
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo, Opened(sim.DevicePath())}, {kError, c.error}}));
  }
}

class ConnectedSingleInterface : public SingleInterfaceTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    unit_ = MakeUnit();
    ASSERT_TRUE(unit_->Load(sim_.DevicePath()));
    TakeEvents();
  }
  // The requests after the version query of Load.
  Lines Sent(std::size_t count) {
    Lines all = RequestsAfter(sim_, count + 1);
    return Lines(all.begin() + 1, all.end());
  }
  SingleInterfaceSim sim_;
  std::unique_ptr<PressureMyographK4x> unit_;
};

TEST_F(ConnectedSingleInterface, GetValuesReadsFiveNumbersInOrder) {
  SingleInterfaceSim::State s;
  s.p1 = 60.5f, s.p2 = 40.25f, s.force = 1.5f, s.pH = 7.375f, s.temperature = 37.0f;
  sim_.SetState(s);
  float p1 = 0, p2 = 0, force = 0, pH = 0, temperature = 0;
  ASSERT_TRUE(unit_->GetValues(p1, p2, force, pH, temperature));
  EXPECT_EQ(p1, 60.5f);
  EXPECT_EQ(p2, 40.25f);
  EXPECT_EQ(force, 1.5f);
  EXPECT_FLOAT_EQ(pH, 7.38f);
  EXPECT_EQ(temperature, 37.0f);
  EXPECT_EQ(Sent(1), Lines{"?0107"});
}

TEST_F(ConnectedSingleInterface, GetValuesRefusesIncompleteAndForeignRepliesAndKeepsItsOutputs) {
  const std::string replies[] = {
      ">1.0,2.0,3.0,4.0\r",      // four values
      "<1.0,2.0,3.0,4.0,5.0\r",  // wrong prefix
      "1.0,2.0,3.0,4.0,5.0\r",   // no prefix
      ">1.0,2.0,3.0,4.0,37",     // cut short: no CR, the last number may be incomplete
      ">1.0,2.0,abc,4.0,5.0\r",  // a field that is no number
      ">1.0,2.0,nan,4.0,5.0\r",
  };
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply);
    sim_.QueueReply(reply);
    float v[5] = {-1, -2, -3, -4, -5};
    EXPECT_FALSE(unit_->GetValues(v[0], v[1], v[2], v[3], v[4]));
    EXPECT_EQ(std::vector<float>(v, v + 5), (std::vector<float>{-1, -2, -3, -4, -5}));
  }
  EXPECT_TRUE(unit_->IsConnected());
}

TEST_F(ConnectedSingleInterface, SingleValueAndFlagQueriesReadOnlyWholeRepliesAfterTheSign) {
  struct Case {
    std::string reply;
    float value;
    bool flag;
  };
  const Case cases[] = {
      {">37.5\r", 37.5f, false}, {">1\r", 1.0f, true},    {">0\r", 0.0f, false},
      {"x37.5\r", 0.0f, false},  {">37", 0.0f, false},    {">1", 0.0f, false},
      {">\r", 0.0f, false},      {">abc\r", 0.0f, false}, {">2\r", 2.0f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    sim_.QueueReply(c.reply);
    EXPECT_EQ(unit_->GetValue(PressureMyographK4x::kTargetP1), c.value);
    sim_.QueueReply(c.reply);
    EXPECT_EQ(unit_->GetFlag(PressureMyographK4x::kSwitch1), c.flag);
  }
  // The simulator's own answers, and the command each query sends.
  EXPECT_EQ(unit_->GetValue(PressureMyographK4x::kTemperatureTarget), 37.0f);
  EXPECT_EQ(unit_->GetValue(PressureMyographK4x::kTargetP2), 40.0f);
  EXPECT_TRUE(unit_->GetFlowValid());
  const Lines sent = Sent(2 * std::size(cases) + 3);
  EXPECT_EQ(Lines(sent.end() - 5, sent.end()), (Lines{"?0120", "?0111", "?0110", "?0121", "?0124"}));
}

TEST_F(ConnectedSingleInterface, SetCommandsGoOnTheWireExactlyWhateverTheLocale) {
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  struct Case {
    std::function<bool(PressureMyographK4x&)> command;
    const char* wire;
  };
  const Case cases[] = {
      {[](auto& u) { return u.SetTemperature(37.5f); }, "=011037.5"},
      {[](auto& u) { return u.SetTemperature(36.96f); }, "=011037.0"},
      {[](auto& u) { return u.SetTargetP1(60); }, "=012060"},
      {[](auto& u) { return u.SetTargetP2(45); }, "=012145"},
      {[](auto& u) { return u.SetSwitch1(true); }, "=01111"},
      {[](auto& u) { return u.SetSwitch1(false); }, "=01110"},
      {[](auto& u) { return u.SetSwitch4(true); }, "=01221"},
      {[](auto& u) { return u.SetSwitch4(false); }, "=01220"},
      {[](auto& u) { return u.ZeroForce(); }, "=0112"},
  };
  Lines expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wire);
    EXPECT_TRUE(c.command(*unit_));
    expected.push_back(c.wire);
  }
  EXPECT_EQ(Sent(expected.size()), expected);

  // The unit took the values: they come back from it.
  EXPECT_EQ(unit_->GetValue(PressureMyographK4x::kTemperatureTarget), 37.0f);
  EXPECT_EQ(unit_->GetValue(PressureMyographK4x::kTargetP1), 60.0f);
  EXPECT_EQ(unit_->GetValue(PressureMyographK4x::kTargetP2), 45.0f);
  EXPECT_EQ(sim_.GetState().force, 0.0f);

  // Only a reply beginning with ">01" acknowledges a command.
  sim_.QueueReply(">00\r");
  EXPECT_FALSE(unit_->SetSwitch1(true));
  sim_.QueueReply("01\r");
  EXPECT_FALSE(unit_->SetTargetP1(10));
  // A value that is no number is not sent.
  EXPECT_FALSE(unit_->SetTemperature(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_TRUE(unit_->GetFlowValid());
  const Lines sent = Sent(expected.size() + 6);
  EXPECT_EQ(Lines(sent.begin() + expected.size() + 3, sent.end()), (Lines{"=01111", "=012010", "?0124"}));
}

TEST_F(SingleInterfaceTest, EveryCommandIsRefusedUnlessConnectedAndPingOnlyNeedsThePort) {
  const std::function<double(PressureMyographK4x&)> commands[] = {
      [](auto& u) {
        float a, b, c, d, e;
        return u.GetValues(a, b, c, d, e) ? 1.0 : 0.0;
      },
      [](auto& u) { return double(u.GetValue(PressureMyographK4x::kTargetP1)); },
      [](auto& u) { return double(u.GetFlag(PressureMyographK4x::kSwitch4)); },
      [](auto& u) { return double(u.GetFlowValid()); },
      [](auto& u) { return double(u.SetTemperature(37.5f)); },
      [](auto& u) { return double(u.SetSwitch1(true)); },
      [](auto& u) { return double(u.SetTargetP1(60)); },
      [](auto& u) { return double(u.SetTargetP2(40)); },
      [](auto& u) { return double(u.SetSwitch4(true)); },
      [](auto& u) { return double(u.ZeroForce()); },
  };
  SingleInterfaceSim sim;
  ASSERT_TRUE(sim.Start());
  for (const bool portOpen : {false, true}) {
    SCOPED_TRACE(portOpen ? "port open, not connected" : "no port");
    auto unit = MakeUnit();
    if (portOpen) {
      ASSERT_TRUE(unit->Port().Open(sim.DevicePath()) && unit->Port().Configure(9600, 1250) == 0);
    }
    for (const auto& command : commands) EXPECT_EQ(command(*unit), 0.0);
    EXPECT_EQ(sim.Received(), "");

    EXPECT_EQ(unit->Ping(), portOpen);
    EXPECT_EQ(sim.Received(), portOpen ? "?0100\r" : "");
    EXPECT_FALSE(unit->IsConnected());
  }
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo,
                                               "PressureMyographK4x::Load() - Multi Interface type 'K40Q' "
                                               "with software version V3.30\n"}}));
}

}  // namespace
}  // namespace ORV::Test

// The device base: the bytes it sends, the log lines it writes, its
// lifecycle and its lock.
#include <gtest/gtest.h>

#include <thread>

#include "core/base/configuration.h"
#include "platform/os/folders.h"
#include "platform/sim/serial_responder.h"
#include "tests/instruments/serial/test_device.h"
#include "tests/support/test_support.h"

namespace ORV::Test {
namespace {

using namespace std::chrono_literals;
using Sim::Framing;
using Sim::SerialResponder;
using Lines = std::vector<std::string>;

TEST(DeviceTraffic, LoadSendsTheExactBytesAndLogsEachStep) {
  SandboxedHome home;
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  sim.SetReply("?0100", ">01,K40Q,V3.30\r");
  const std::string path = sim.DevicePath();
  const std::string log = OS::TempDir() + "/ORVPressureInterface.log";

  Sim::RecordingSleeper sleeper;
  TestDevice device(',');
  device.SetSleeper(sleeper.AsSleeper());
  ASSERT_TRUE(device.OpenLog(log));
  EXPECT_TRUE(device.Load(path));
  EXPECT_TRUE(device.IsConnected());
  EXPECT_EQ(device.PortName(), path);
  EXPECT_EQ(sleeper.Waits(), (std::vector<std::uint32_t>{1500}));

  const std::string received = sim.Received();
  EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.end()),
            (std::vector<std::uint8_t>{0x3F, 0x30, 0x31, 0x30, 0x30, 0x0D}));

  device.Close();
  EXPECT_FALSE(device.IsConnected());
  EXPECT_FALSE(device.IsLogging());
  EXPECT_EQ(ReadLines(log), (Lines{
                                "Connected to COM port: '" + path + "'",
                                "Command sent: ?0100\r",
                                "Read reply '15' bytes - data: >01,K40Q,V3.30\r",
                                "Closed COM port: '" + path + "'",
                            }));
}

TEST(DeviceTraffic, RawFramesAndTheirRepliesAreLoggedAsBytes) {
  TempDir dir;
  SerialResponder sim(Framing::Frame);
  ASSERT_TRUE(sim.Start());
  const std::string request("\x7E\x00\x35\x00\xCA\x7E", 6);
  const std::string answer("\x7E\x00\x35\x00\x02\x00\x64\x64\x7E", 9);
  sim.SetReply(request, answer);

  TestDevice device;
  device.baud = 115200;
  device.timeout = 500;
  ASSERT_TRUE(device.OpenLog(dir / "ORVFlowMeterSLI2000.log"));
  ASSERT_TRUE(device.OpenPort(sim.DevicePath()));
  EXPECT_TRUE(device.SendRawData(reinterpret_cast<const std::uint8_t*>(request.data()), request.size()));
  std::vector<std::uint8_t> reply;
  EXPECT_TRUE(device.ReadData(reply));
  EXPECT_EQ(std::string(reply.begin(), reply.end()), answer);
  EXPECT_EQ(sim.Received(), request);
  EXPECT_EQ(ReadLines(dir / "ORVFlowMeterSLI2000.log"), (Lines{"ReadData() - Read reply '9' bytes - data: " + answer}));
}

TEST(DeviceTraffic, FailuresAreLoggedWithTheirTexts) {
  TempDir dir;
  struct Case {
    const char* name;
    OS::IoStatus status;
    std::size_t writeLimit;
    Lines expected;
  };
  const std::vector<Case> cases = {
      {"write and read fail",
       OS::IoStatus::Failed,
       SIZE_MAX,
       {"Command write fail - Error: 5", "Device::SendRawData() Command write fail - Error: 5",
        "ReadData() - Read reply failed - Error: 5", "Command write fail - Error: 5"}},
      {"writes cut short",
       OS::IoStatus::Ok,
       3,
       {"Command write fail (not all bytes sent): 3 - cmd size: 6",
        "Device::SendRawData() Command write fail (not all bytes sent): 3 - cmd size: 4",
        "ReadData() - Read reply '0' bytes - data: ", "Command write fail (not all bytes sent): 3 - cmd size: 4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto fake = std::make_unique<FakeHandle>();
    fake->status = c.status;
    fake->error = 5;
    fake->writeLimit = c.writeLimit;
    TestDevice device;
    device.Port().Attach(std::move(fake), false);
    ASSERT_TRUE(device.OpenLog(dir / "device.log"));

    const std::uint8_t raw[4] = {1, 2, 3, 4};
    std::vector<std::uint8_t> data;
    std::string reply = "unchanged";
    EXPECT_FALSE(device.Send("?0100"));
    EXPECT_FALSE(device.SendRawData(raw, sizeof raw));
    EXPECT_FALSE(device.ReadData(data));
    EXPECT_FALSE(device.Query(reply, "?21"));
    EXPECT_EQ(reply, "unchanged");
    device.OpenLog(dir / "other.log");  // closes the first log
    EXPECT_EQ(ReadLines(dir / "device.log"), c.expected);
  }
}

// A line whose instrument answers each command when it has been written,
// after whatever input was already waiting.
class AnsweringHandle : public FakeHandle {
 public:
  std::string answer;
  OS::IoStatus Write(const std::uint8_t* data, std::size_t size, std::size_t& count, const OS::StopEvent* stop,
                     int waitLimitMs) override {
    const OS::IoStatus s = FakeHandle::Write(data, size, count, stop, waitLimitMs);
    input += answer;
    return s;
  }
};

TEST(DeviceTraffic, QueryDropsStaleInputBeforeItsCommandAndLogsIt) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string stale;
    Lines log;
  };
  const std::string big(300, 'x');  // more than one read takes
  const std::vector<Case> cases = {
      {"nothing waiting", "", {"Command sent: ?0100\r", "Read reply '15' bytes - data: >01,K40Q,V3.30\r"}},
      {"the rest of a cut reply",
       "3.30\r",
       {"Discarded '5' pending bytes - data: 3.30\r", "Command sent: ?0100\r",
        "Read reply '15' bytes - data: >01,K40Q,V3.30\r"}},
      {"a long stretch of garbage",
       big,
       {"Discarded '300' pending bytes - data: " + big, "Command sent: ?0100\r",
        "Read reply '15' bytes - data: >01,K40Q,V3.30\r"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto line = std::make_unique<AnsweringHandle>();
    line->input = c.stale;
    line->answer = ">01,K40Q,V3.30\r";
    TestDevice device;
    device.Port().Attach(std::move(line), false);
    ASSERT_TRUE(device.OpenLog(dir / "device.log"));
    std::string reply;
    EXPECT_TRUE(device.Query(reply, "?0100"));
    EXPECT_EQ(reply, ">01,K40Q,V3.30\r");
    device.OpenLog(dir / "other.log");  // closes the first log
    EXPECT_EQ(ReadLines(dir / "device.log"), c.log);
  }
}

TEST(DeviceLifecycle, DeviceWithoutPortRefusesEverythingAndCloseOnlyClearsState) {
  TempDir dir;
  const std::string log = dir / "device.log";
  TestDevice device;
  ASSERT_TRUE(device.OpenLog(log));
  device.SetConnected(true);

  const std::uint8_t raw[1] = {0x0D};
  std::vector<std::uint8_t> data{9};
  std::string reply = "unchanged";
  EXPECT_FALSE(device.Send("?0100"));
  EXPECT_FALSE(device.SendRawData(raw, 1));
  EXPECT_FALSE(device.ReadData(data));
  EXPECT_FALSE(device.Query(reply, "?0100"));
  EXPECT_EQ(reply, "unchanged");
  EXPECT_EQ(data, std::vector<std::uint8_t>{9});

  device.LogPortOpen("/dev/ttyUSB7");
  device.Close();
  EXPECT_FALSE(device.IsConnected());
  EXPECT_FALSE(device.IsLogging());
  EXPECT_EQ(ReadLines(log), (Lines{"Unable to connect to COM port: '/dev/ttyUSB7' - Error: 0"}));
}

TEST(DeviceLifecycle, LoadOfABusyPortFailsAndLogsTheError) {
  TempDir dir;
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  sim.SetReply("?0100", ">01,K40Q,V3.30\r");
  Sim::RecordingSleeper sleeper;
  TestDevice holder, device;
  holder.SetSleeper(sleeper.AsSleeper());
  ASSERT_TRUE(holder.Load(sim.DevicePath()));
  ASSERT_TRUE(device.OpenLog(dir / "device.log"));
  EXPECT_FALSE(device.Load(sim.DevicePath()));
  EXPECT_FALSE(device.IsConnected());
  device.Close();
  EXPECT_EQ(ReadLines(dir / "device.log"),
            (Lines{"Unable to connect to COM port: '" + sim.DevicePath() + "' - Error: " + std::to_string(EBUSY)}));
}

TEST(DeviceLifecycle, DebugLogOnlyWhenDebugIsOnAndTruncatedAtEachOpen) {
  SandboxedHome home;
  Configuration config;
  const std::string path = OS::TempDir() + "/ORVHeatController.log";
  TestDevice device;

  config.Debug = false;
  EXPECT_FALSE(device.OpenDebugLog(config.Debug, "ORVHeatController.log"));
  EXPECT_FALSE(OS::PathExists(path));

  config.Debug = true;
  EXPECT_TRUE(device.OpenDebugLog(config.Debug, "ORVHeatController.log"));
  device.WriteLog("from the first load");
  EXPECT_TRUE(device.OpenDebugLog(config.Debug, "ORVHeatController.log"));
  device.WriteLog("second");
  device.Close();
  EXPECT_EQ(ReadLines(path), (Lines{"second"}));
}

// Each reply names its command, so a reply that reaches the wrong caller shows.
struct EchoInstrument : SerialResponder {
  EchoInstrument() : SerialResponder(Framing::Line) {}
  ~EchoInstrument() override { Stop(); }
  std::optional<std::string> Answer(const std::string& request) override { return ">" + request + "\r"; }
};

TEST(DeviceLock, ExchangesFromSeveralThreadsNeverInterleave) {
  EchoInstrument sim;
  ASSERT_TRUE(sim.Start());
  sim.SetDelay(1ms);
  TestDevice device;  // 9600 baud, 1250 ms: a reply ends 50 ms after its last byte
  ASSERT_TRUE(device.OpenPort(sim.DevicePath()));

  constexpr int kThreads = 3, kQueries = 15;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kQueries; ++i) {
        std::string command = "?";
        command.append(std::to_string(t)).append("-").append(std::to_string(i));
        std::string reply;
        if (!device.Query(reply, command) || reply != ">" + command + "\r") ++mismatches[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
  EXPECT_EQ(sim.Requests().size(), static_cast<std::size_t>(kThreads * kQueries));
}

}  // namespace
}  // namespace ORV::Test

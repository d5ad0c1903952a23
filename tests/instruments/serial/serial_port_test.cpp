// The port layer: time-out rules, the serial time-out model on a real
// terminal, exclusive opening, unplugging and stopping.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/serial_responder.h"
#include "tests/instruments/serial/test_device.h"
#include "tests/support/test_support.h"

namespace ORV::Test {
namespace {

using namespace std::chrono_literals;
using Sim::Framing;
using Sim::ReplyMode;
using Sim::SerialResponder;

const std::string kVersionReply = ">01,K40Q,V3.30\r";

TEST(SerialPortConfigure, TimeoutRules) {
  struct Case {
    std::uint32_t baud;
    std::int32_t timeout;
    OS::PortTimeouts expected;  // read interval, per byte, constant; write per byte, constant
    std::uint32_t stored;
  };
  const std::vector<Case> cases = {
      {9600, 1250, {50, 10, 200, 7, 77}, 1250},  // the special rule keeps the write time-outs
      {9600, 1000, {1000, 0, 1000, 0, 1000}, 1000},
      {9600, 1251, {1251, 0, 1251, 0, 1251}, 1251},
      {19200, 500, {500, 0, 500, 0, 500}, 500},
      {19200, 1250, {1250, 0, 1250, 0, 1250}, 1250},
      {115200, 2000, {2000, 0, 2000, 0, 2000}, 2000},
      {115200, 0, {500, 0, 500, 0, 500}, 500},  // no time-out means the default, never "wait forever"
      {9600, -1, {500, 0, 500, 0, 500}, 500},
  };
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.baud) + " baud, " + std::to_string(c.timeout) + " ms");
    SerialPort port;
    ASSERT_TRUE(port.Open(sim.DevicePath()));
    auto* handle = port.Handle();
    ASSERT_TRUE(handle->SetTimeouts({1, 2, 3, 7, 77}));
    // (A pseudo-terminal forces 8 data bits and no parity, so stop bits and
    // handshake show what is kept.)
    ASSERT_TRUE(handle->SetLineSettings({.baud = 2400, .stopBits = 2, .rtsCts = true}));

    EXPECT_EQ(port.Configure(c.baud, c.timeout), 0);
    OS::PortTimeouts t;
    ASSERT_TRUE(handle->GetTimeouts(t));
    EXPECT_EQ(t, c.expected);
    EXPECT_EQ(port.Timeout(), c.stored);
    OS::LineSettings line;
    ASSERT_TRUE(handle->GetLineSettings(line));
    EXPECT_EQ(line, (OS::LineSettings{.baud = c.baud, .dataBits = 8, .stopBits = 2, .rtsCts = true}));
  }
}

TEST(SerialPortConfigure, FailuresAndReportPorts) {
  SerialPort closed;
  EXPECT_EQ(closed.Configure(9600, 1250), -1);
  EXPECT_EQ(closed.Timeout(), SerialPort::kNotConfigured);

  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  SerialPort real;
  ASSERT_TRUE(real.Open(sim.DevicePath()));
  EXPECT_EQ(real.Configure(12345, 500), -2);  // no such baud rate

  struct Case {
    const char* name;
    bool lineOk, getOk, setOk;
    int result;
  };
  for (const Case& c : {Case{"line settings", false, true, true, -1}, Case{"read time-outs", true, false, true, -3},
                        Case{"apply time-outs", true, true, false, -4}}) {
    SCOPED_TRACE(c.name);
    auto fake = std::make_unique<FakeHandle>();
    fake->lineOk = c.lineOk;
    fake->getTimeoutsOk = c.getOk;
    fake->setTimeoutsOk = c.setOk;
    SerialPort port;
    port.Attach(std::move(fake), false);
    EXPECT_EQ(port.Configure(19200, 800), c.result);
    EXPECT_EQ(port.Timeout(), SerialPort::kNotConfigured);
  }

  // A report port: no port time-outs outside the special rule; each wait is
  // bounded by the smaller of the time-out and one second.
  auto fake = std::make_unique<FakeHandle>();
  FakeHandle* h = fake.get();
  SerialPort port;
  port.Attach(std::move(fake), true);
  EXPECT_EQ(port.Configure(19200, 2000), 0);
  EXPECT_EQ(h->timeouts, (OS::PortTimeouts{0, 0, 0, 0, 0}));
  std::uint8_t buffer[64] = {};
  std::uint32_t received = 77;
  EXPECT_EQ(port.Read(buffer, 64, received), 0);  // time-out: nothing, count untouched
  EXPECT_EQ(received, 77u);
  EXPECT_EQ(h->lastWaitLimit, 1000);
  EXPECT_EQ(port.Configure(19200, 300), 0);
  h->input = "abc";
  EXPECT_EQ(port.Read(buffer, 64, received), 3);
  EXPECT_EQ(received, 3u);
  EXPECT_EQ(h->lastWaitLimit, 300);
  h->writeLimit = 2;
  EXPECT_EQ(port.Write(buffer, 4), -4);  // a report port's write that does not complete is abandoned
}

TEST(DeviceTimeouts, ConfiguredValueOrDefault) {
  TestDevice device;
  for (auto [configured, used] : std::vector<std::pair<std::int32_t, std::uint32_t>>{
           {2000, 2000}, {1, 1}, {0, 500}, {-1, 500}, {-2147483647 - 1, 500}}) {
    EXPECT_EQ(device.ResolveTimeout(configured), used) << configured;
  }
}

TEST(SerialQuery, SilentInstrumentGivesAnEmptyReplyAfterTheTotalTimeout) {
  struct Case {
    std::uint32_t baud;
    std::int32_t timeout;
  };
  for (const Case& c : {Case{9600, 1250}, Case{19200, 300}}) {
    SCOPED_TRACE(std::to_string(c.baud) + " baud, " + std::to_string(c.timeout) + " ms");
    SerialResponder sim(Framing::Line);
    ASSERT_TRUE(sim.Start());
    sim.SetMode(ReplyMode::Silent);
    TestDevice device;
    device.baud = c.baud;
    device.timeout = c.timeout;
    ASSERT_TRUE(device.OpenPort(sim.DevicePath()));
    std::string reply = "stale";
    EXPECT_TRUE(device.Query(reply, "?0100"));
    EXPECT_EQ(reply, "");
    std::vector<std::uint8_t> data{1, 2};
    EXPECT_FALSE(device.ReadData(data));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(sim.Received(), "?0100\r");
  }
}

TEST(SerialQuery, ReplyInTwoBurstsIsWholeOnlyWhenTheGapIsInsideTheInterval) {
  struct Case {
    const char* name;
    std::chrono::milliseconds gap;
    std::string first;
    std::string rest;  // what a following read collects
  };
  // 9600 baud and 1250 ms: 50 ms between bytes, 2750 ms in total for 255 bytes.
  for (const Case& c :
       {Case{"10 ms apart", 10ms, kVersionReply, ""}, Case{"400 ms apart", 400ms, ">01,K4", "0Q,V3.30\r"}}) {
    SCOPED_TRACE(c.name);
    SerialResponder sim(Framing::Line);
    ASSERT_TRUE(sim.Start());
    sim.SetReply("?0100", kVersionReply);
    sim.SetBursts(6, c.gap);
    TestDevice device(',');
    ASSERT_TRUE(device.OpenPort(sim.DevicePath()));
    std::string reply;
    EXPECT_TRUE(device.Query(reply, "?0100"));
    EXPECT_EQ(reply, c.first);
    std::vector<std::uint8_t> rest;
    EXPECT_EQ(device.ReadData(rest), !c.rest.empty());
    EXPECT_EQ(std::string(rest.begin(), rest.end()), c.rest);
  }
}

TEST(SerialPortOpen, SecondOpenOfAHeldPortFailsUntilItIsClosed) {
  SerialResponder sim(Framing::Line);
  ASSERT_TRUE(sim.Start());
  TempDir dir;
  const std::string link = dir / "ttyLink";
  ASSERT_EQ(::symlink(sim.DevicePath().c_str(), link.c_str()), 0);

  TestDevice first, second;
  ASSERT_TRUE(first.Port().Open(sim.DevicePath()));
  for (const std::string& path : {sim.DevicePath(), link}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(second.Port().Open(path));
    EXPECT_FALSE(second.Port().IsOpen());
    EXPECT_EQ(second.Port().LastError(), static_cast<std::uint32_t>(EBUSY));
  }
  first.Close();
  EXPECT_TRUE(second.Port().Open(sim.DevicePath()));
}

TEST(SerialPortOpen, PathsThatAreNoSerialPortAreRefused) {
  TempDir dir;
  SerialPort port;
  EXPECT_FALSE(port.Open(dir / "missing"));
  EXPECT_EQ(port.LastError(), static_cast<std::uint32_t>(ENOENT));
  EXPECT_FALSE(port.Open("/dev/null"));
  EXPECT_EQ(port.LastError(), static_cast<std::uint32_t>(ENOTTY));
}

TEST(SerialQuery, UnplugOrStopDuringAReadFailsTheReadInsteadOfWaiting) {
  for (bool unplug : {true, false}) {
    SCOPED_TRACE(unplug ? "unplugged" : "stop event");
    SerialResponder sim(Framing::Line);
    ASSERT_TRUE(sim.Start());
    sim.SetMode(ReplyMode::Silent);
    OS::StopEvent stop;
    TestDevice device;
    device.baud = 19200;
    device.timeout = 60000;  // a read that ended by time-out would succeed, and take a minute
    ASSERT_TRUE(device.OpenPort(sim.DevicePath()));
    device.Port().SetStopEvent(&stop);

    auto query = std::async(std::launch::async, [&] {
      std::string reply = "unchanged";
      const bool ok = device.Query(reply, "?0107");
      return std::make_pair(ok, reply);
    });
    ASSERT_TRUE(sim.WaitForRequests(1, 10s));
    if (unplug)
      sim.Unplug();
    else
      stop.Set();
    const auto [ok, reply] = query.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(reply, "unchanged");

    std::uint8_t buffer[8];
    std::uint32_t received = 0;
    EXPECT_EQ(device.Port().Read(buffer, 8, received), unplug ? -3 : -4);
    if (unplug) {
      EXPECT_EQ(device.Port().LastError(), static_cast<std::uint32_t>(EIO));
    } else {
      // Once reset, the port reads again.
      stop.Reset();
      sim.SetMode(ReplyMode::Normal);
      sim.SetReply("?0107", ">1,2,3,4,5\r");
      ASSERT_EQ(device.Port().Configure(19200, 300), 0);
      std::string reply;
      EXPECT_TRUE(device.Query(reply, "?0107"));
      EXPECT_EQ(reply, ">1,2,3,4,5\r");
    }
  }
}

}  // namespace
}  // namespace ORV::Test

#pragma once
// A minimal instrument on the device base, and doubles the serial tests share.
#include <cstdint>
#include <string>
#include <vector>

#include "instruments/ascii_commands.h"
#include "instruments/device.h"
#include "platform/os/serial_port.h"

namespace ORV::Test {

// Opens, configures, pauses and pings as the serial drivers do.
class TestDevice : public Device, public AsciiCommands {
 public:
  explicit TestDevice(char separator = ';') : Device(kDeviceHeatController), AsciiCommands(*this, separator) {}
  ~TestDevice() override { Close(); }

  using Device::SetConnected;
  using Device::WriteLog;

  std::uint32_t baud = 9600;
  std::int32_t timeout = 1250;

  // Opens and configures the port without pinging.
  bool OpenPort(const std::string& path) { return Port().Open(path) && Port().Configure(baud, timeout) == 0; }

 protected:
  bool OnLoad(const std::string& path) override {
    SetConnected(false);
    if (!Port().IsOpen()) Port().Open(path);
    LogPortOpen(path);
    if (!Port().IsOpen()) return false;
    SetPortName(path);
    if (Port().Configure(baud, timeout) != 0) return false;
    Wait(1500);
    SetConnected(OnPing());
    return IsConnected();
  }
  bool OnPing() override {
    std::string reply;
    return Query(reply, "?0100") && reply.starts_with(">01,");
  }
};

// A handle whose answers the test sets.
class FakeHandle : public OS::PortHandle {
 public:
  OS::IoStatus status = OS::IoStatus::Ok;
  int error = 0;
  std::string input;                  // what reads deliver
  std::size_t writeLimit = SIZE_MAX;  // bytes a write accepts
  std::string written;                // what writes took
  int lastWaitLimit = -2;             // as passed to the last read or write
  bool lineOk = true, getTimeoutsOk = true, setTimeoutsOk = true;
  OS::PortTimeouts timeouts{1, 2, 3, 7, 77};

  OS::IoStatus Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const OS::StopEvent*,
                    int waitLimitMs) override {
    lastWaitLimit = waitLimitMs;
    received = 0;
    if (status != OS::IoStatus::Ok) return status;
    received = std::min(size, input.size());
    input.copy(reinterpret_cast<char*>(buffer), received);
    input.erase(0, received);
    return status;
  }
  OS::IoStatus Write(const std::uint8_t* data, std::size_t size, std::size_t& count, const OS::StopEvent*,
                     int waitLimitMs) override {
    lastWaitLimit = waitLimitMs;
    count = 0;
    if (status != OS::IoStatus::Ok) return status;
    count = std::min(size, writeLimit);
    written.append(reinterpret_cast<const char*>(data), count);
    return status;
  }
  bool GetLineSettings(OS::LineSettings& s) override {
    s = {};
    return lineOk;
  }
  bool SetLineSettings(const OS::LineSettings&) override { return lineOk; }
  bool GetTimeouts(OS::PortTimeouts& t) override {
    t = timeouts;
    return getTimeoutsOk;
  }
  bool SetTimeouts(const OS::PortTimeouts& t) override {
    if (setTimeoutsOk) timeouts = t;
    return setTimeoutsOk;
  }
  int LastError() const override { return error; }
};

// The lines of a text file (split at line feeds; a CR stays in its line).
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace ORV::Test

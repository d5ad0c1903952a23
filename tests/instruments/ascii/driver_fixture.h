#pragma once
// What the ASCII driver tests share: the event log in memory, recorded
// pauses, the configuration values the drivers read (restored afterwards),
// and FTDI devices for a fake enumeration.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/base/configuration.h"
#include "platform/os/usb_serial_enum.h"
#include "platform/sim/serial_responder.h"
#include "tests/instruments/ftdi_device.h"
#include "tests/support/test_support.h"

namespace ORV::Test {

// One event-log entry: its type and its text.
using Event = std::pair<std::uint16_t, std::string>;

class DriverTest : public ::testing::Test {
 protected:
  DriverTest();
  ~DriverTest() override;

  // Every entry written so far; then the log starts afresh.
  std::vector<Event> TakeEvents();

  MemoryEventLog events_;
  Sim::RecordingSleeper sleeper_;

 private:
  std::int32_t pressureTimeout_, microscopeTimeout_, heaterTimeout_;
  std::string lastInterfacePort_;
};

// The lines of a text file (split at line feeds; a CR stays in its line).
std::vector<std::string> ReadLines(const std::string& path);

// The requests the simulator received, waiting until `count` have arrived.
std::vector<std::string> RequestsAfter(const Sim::SerialResponder& sim, std::size_t count);

}  // namespace ORV::Test

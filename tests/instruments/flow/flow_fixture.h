#pragma once
// What the flow meter tests share: the event log in memory, recorded pauses
// and the configuration values the meters read and write (restored afterwards).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/base/configuration.h"
#include "platform/sim/serial_responder.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

// One event-log entry: its type and its text.
using Event = std::pair<std::uint16_t, std::string>;
using Bytes = std::vector<std::uint8_t>;

class FlowMeterTest : public ::testing::Test {
 protected:
  FlowMeterTest() {
    const Configuration& c = ORV::Test::SharedConfiguration();
    flowTimeout_ = c.DeviceFlowMeterTimeout;
    microscopeTimeout_ = c.DeviceMicroscopeTimeout;
    lastPort_ = c.LastUsedFlowMeterPort;
  }
  ~FlowMeterTest() override {
    Configuration& c = ORV::Test::SharedConfiguration();
    c.DeviceFlowMeterTimeout = flowTimeout_;
    c.DeviceMicroscopeTimeout = microscopeTimeout_;
    c.LastUsedFlowMeterPort = lastPort_;
  }

  // Every entry written so far; then the log starts afresh.
  std::vector<Event> TakeEvents() {
    std::vector<Event> out;
    for (const OS::EventRecord& e : events_.backend().Entries())
      out.emplace_back(e.type, e.texts.empty() ? std::string() : e.texts.front());
    events_.backend().Clear();
    return out;
  }

  MemoryEventLog events_;
  Sim::RecordingSleeper sleeper_;

 private:
  std::int32_t flowTimeout_, microscopeTimeout_;
  std::string lastPort_;
};

inline std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace ORV::Test

#include "tests/instruments/ascii/driver_fixture.h"

#include <chrono>
#include <fstream>

#include "tests/support/test_world.h"

namespace ORV::Test {

DriverTest::DriverTest() {
  Configuration& c = ORV::Test::SharedConfiguration();
  pressureTimeout_ = c.DevicePressureInterfaceTimeout;
  microscopeTimeout_ = c.DeviceMicroscopeTimeout;
  heaterTimeout_ = c.DeviceHeaterTimeout;
  lastInterfacePort_ = c.LastUsedInterfacePort;
}

DriverTest::~DriverTest() {
  Configuration& c = ORV::Test::SharedConfiguration();
  c.DevicePressureInterfaceTimeout = pressureTimeout_;
  c.DeviceMicroscopeTimeout = microscopeTimeout_;
  c.DeviceHeaterTimeout = heaterTimeout_;
  c.LastUsedInterfacePort = lastInterfacePort_;
}

std::vector<Event> DriverTest::TakeEvents() {
  std::vector<Event> out;
  for (const OS::EventRecord& e : events_.backend().Entries()) {
    EXPECT_EQ(e.category, 1);
    EXPECT_EQ(e.eventId, 4u);
    out.emplace_back(e.type, e.texts.empty() ? std::string() : e.texts.front());
  }
  events_.backend().Clear();
  return out;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> RequestsAfter(const Sim::SerialResponder& sim, std::size_t count) {
  sim.WaitForRequests(count, std::chrono::seconds(2));
  return sim.Requests();
}

}  // namespace ORV::Test

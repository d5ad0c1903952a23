#pragma once
// The program's objects for tests that do not make their own: one
// configuration, one experiment clock, one session and one interface manager
// per test program, made on first use, as the code under test is handed them
// by the program's owner. A test that changes a setting changes it here and
// hands this configuration to the code it tests.
#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"

namespace ORV::Test {

inline Configuration& SharedConfiguration() {
  static Configuration configuration;
  return configuration;
}

inline RelativeTime::RelativeTime& SharedClock() {
  static RelativeTime::RelativeTime clock;
  return clock;
}

inline Session& SharedSession() {
  static Session session(SharedConfiguration(), SharedClock());
  return session;
}

// The machine's instruments (the simulated lab's when ORV_SIMLAB is set).
inline InterfaceManager& SharedInstruments() {
  static InterfaceManager instruments(SharedConfiguration());
  return instruments;
}

}  // namespace ORV::Test

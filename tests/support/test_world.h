#pragma once
// The program's objects for tests that do not make their own: one experiment
// clock, one session and one interface manager per test program, made on
// first use, as the code under test is handed them by the program's owner.
#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"

namespace ORV::Test {

inline RelativeTime::RelativeTime& SharedClock() {
  static RelativeTime::RelativeTime clock;
  return clock;
}

inline Session& SharedSession() {
  static Session session(Configuration::Instance(), SharedClock());
  return session;
}

// The machine's instruments (the simulated lab's when ORV_SIMLAB is set).
inline InterfaceManager& SharedInstruments() {
  static InterfaceManager instruments;
  return instruments;
}

}  // namespace ORV::Test

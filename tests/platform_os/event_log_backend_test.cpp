#include "platform/os/event_log_backend.h"

#include <gtest/gtest.h>
#include <syslog.h>

namespace ORV::OS {
namespace {

TEST(SyslogEventLogBackend, TypesMapToPrioritiesAndLinesCarryCategoryAndId) {
  struct Case {
    std::uint16_t type;
    int priority;
  };
  for (const Case& c :
       {Case{kEventError, LOG_ERR}, Case{kEventWarning, LOG_WARNING}, Case{kEventInformation, LOG_INFO}})
    EXPECT_EQ(SyslogEventLogBackend::Priority(c.type), c.priority) << c.type;

  EventRecord r;
  r.type = kEventError;
  r.category = 1;
  r.eventId = 4;
  r.texts = {"CDevice::Load() - no answer on /dev/ttyUSB0"};
  EXPECT_EQ(SyslogEventLogBackend::FormatLine(r), "[category 1, event 4] CDevice::Load() - no answer on /dev/ttyUSB0");
  r.category = 7;
  r.eventId = 4000000000u;
  r.texts = {"first", "second %s"};
  EXPECT_EQ(SyslogEventLogBackend::FormatLine(r), "[category 7, event 4000000000] first | second %s");
  r.texts.clear();
  EXPECT_EQ(SyslogEventLogBackend::FormatLine(r), "[category 7, event 4000000000]");
}

TEST(SyslogEventLogBackend, RefusesReportsWhenNotOpen) {
  SyslogEventLogBackend backend;
  EXPECT_FALSE(backend.Report(EventRecord{}));
  // A shared backend (a control library's) writes between its Open and
  // Close like any other, on the process's connection.
  SyslogEventLogBackend shared(SyslogEventLogBackend::Shared{});
  EXPECT_FALSE(shared.Report(EventRecord{}));
  ASSERT_TRUE(shared.Open("Tarvix 5"));
  EXPECT_TRUE(shared.Report(EventRecord{"", kEventInformation, 1, 4, {"shared connection"}}));
  shared.Close();
  EXPECT_FALSE(shared.Report(EventRecord{}));
}

}  // namespace
}  // namespace ORV::OS

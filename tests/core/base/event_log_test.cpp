#include "core/base/event_log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace ORV {
namespace {

using OS::EventRecord;

TEST(EventLog, WritesBeforeRegistrationAreRefused) {
  ASSERT_FALSE(EventLog().IsRegistered());
  EXPECT_EQ(EventLog().Write(1, 1, 4, {"too early", ""}), 0);
  EXPECT_EQ(LogError("too early"), 0);

  ORV::Test::MemoryEventLog log;
  EXPECT_TRUE(log.backend().Entries().empty()) << "nothing was kept from before";
  EXPECT_EQ(LogError("now"), 1);
}

TEST(EventLog, WritesAreRefusedAgainAfterDeregistration) {
  {
    ORV::Test::MemoryEventLog log;
    EXPECT_EQ(LogInformation("registered"), 1);
  }
  EXPECT_EQ(LogInformation("after"), 0);
}

TEST(EventLog, EntriesCarryTypeCategoryIdAndTextsUpToTheTerminator) {
  ORV::Test::MemoryEventLog log;
  struct Case {
    std::uint16_t type, category;
    std::uint32_t id;
    std::initializer_list<std::string_view> texts;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {1, 1, 4, {"CPMK4xDevice::Load() - no answer", ""}, {"CPMK4xDevice::Load() - no answer"}},
      {2, 3, 9, {"first", "second", ""}, {"first", "second"}},
      {4, 0, 0, {""}, {}},
      {1, 1, 4, {"kept", "", "ignored after the terminator"}, {"kept"}},
      {2, 1, 4, {"no terminator"}, {"no terminator"}},
  };
  for (const auto& c : cases) EXPECT_EQ(EventLog().Write(c.type, c.category, c.id, c.texts), 1);
  EXPECT_EQ(LogError("error text"), 1);
  EXPECT_EQ(LogWarning("warning text"), 1);
  EXPECT_EQ(LogInformation("information text"), 1);
  EXPECT_EQ(EventLog().WriteFormat(2, 5, 77, "%s failed with %d", "Open", -3), 1);
  EXPECT_EQ(LogErrorFormat("%s - error: %x", "port", 13), 1);
  EXPECT_EQ(LogInformationFormat("Opened port: %s", "/dev/ttyUSB0"), 1);

  const auto entries = log.backend().Entries();
  ASSERT_EQ(entries.size(), std::size(cases) + 6);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].source, "Tarvix 5");
    EXPECT_EQ(entries[i].type, cases[i].type);
    EXPECT_EQ(entries[i].category, cases[i].category);
    EXPECT_EQ(entries[i].eventId, cases[i].id);
    EXPECT_EQ(entries[i].texts, cases[i].written);
  }
  const auto at = [&](std::size_t k) { return entries[std::size(cases) + k]; };
  EXPECT_EQ(at(0).type, OS::kEventError);
  EXPECT_EQ(at(1).type, OS::kEventWarning);
  EXPECT_EQ(at(2).type, OS::kEventInformation);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(at(k).category, 1);
    EXPECT_EQ(at(k).eventId, 4u);
  }
  EXPECT_EQ(at(3).texts, std::vector<std::string>{"Open failed with -3"});
  EXPECT_EQ(at(3).category, 5);
  EXPECT_EQ(at(3).eventId, 77u);
  EXPECT_EQ(at(4).type, OS::kEventError);
  EXPECT_EQ(at(4).texts, std::vector<std::string>{"port - error: d"});
  EXPECT_EQ(at(5).type, OS::kEventInformation);
  EXPECT_EQ(at(5).texts, std::vector<std::string>{"Opened port: /dev/ttyUSB0"});
  for (std::size_t k : {4u, 5u}) {
    EXPECT_EQ(at(k).category, 1);
    EXPECT_EQ(at(k).eventId, 4u);
  }
}

TEST(EventLog, WritesFromManyThreadsAreAllKept) {
  ORV::Test::MemoryEventLog log;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) LogInformation("thread " + std::to_string(t));
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(log.backend().Entries().size(), 400u);
}

}  // namespace
}  // namespace ORV

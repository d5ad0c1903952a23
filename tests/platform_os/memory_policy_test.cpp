#include "platform/os/memory_policy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace ORV::OS {
namespace {

using namespace std::chrono_literals;

// Waits for `done` with a generous limit, so a loaded machine never fails it.
template <class Done>
bool WaitFor(Done done) {
  const auto end = std::chrono::steady_clock::now() + 30s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(MemoryTrimmer, TrimsAgainAndAgainAtItsPeriod) {
  std::atomic<int> trims{0};
  MemoryTrimmer trimmer(2ms, [&] { ++trims; });
  EXPECT_TRUE(WaitFor([&] { return trims.load() >= 3; }));
}

TEST(MemoryTrimmer, StopsAtOnceWhenDestroyedWithoutTrimmingFirst) {
  // A period of an hour: were the destructor to wait for the next period or
  // trim on its way out, this test would hang or count one.
  std::atomic<int> trims{0};
  {
    MemoryTrimmer trimmer(std::chrono::hours(1), [&] { ++trims; });
  }
  EXPECT_EQ(trims.load(), 0);
}

}  // namespace
}  // namespace ORV::OS

// Events fired from worker threads, and sinks leaving while events are fired.
// Run under ThreadSanitizer as well (label "concurrency").
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/com/events.h"

namespace ORV::Com {
namespace {

// Records what reaches it; event 1 carries (index).
class Recording final : public IDispatch {
 public:
  HRESULT Invoke(DISPID dispid, unsigned, std::span<const Variant> args, Variant*) override {
    if (dispid != 1) return DISP_E_MEMBERNOTFOUND;
    if (gone.load()) callsAfterGone.fetch_add(1);
    calls.fetch_add(1);
    std::lock_guard lock(mutex);
    indices.push_back(args[0].Get<std::int32_t>());
    threads.push_back(std::this_thread::get_id());
    return S_OK;
  }
  std::mutex mutex;
  std::vector<std::int32_t> indices;
  std::atomic<int> calls{0};
  std::vector<std::thread::id> threads;
  std::atomic<bool> gone{false};
  std::atomic<int> callsAfterGone{0};
};

TEST(EventThreadsTest, EventsFromAWorkerReachEverySinkOnThatThreadInOrder) {
  ConnectionPoint point;
  Recording first, second;
  point.Advise(&first);
  point.Advise(&second);
  constexpr int kEvents = 2000;
  std::thread::id worker;
  std::thread t([&] {
    worker = std::this_thread::get_id();
    for (std::int32_t i = 0; i < kEvents; ++i) point.Fire(1, i);
  });
  t.join();
  std::vector<std::int32_t> expected(kEvents);
  for (int i = 0; i < kEvents; ++i) expected[i] = i;
  for (Recording* r : {&first, &second}) {
    EXPECT_EQ(r->indices, expected);
    EXPECT_EQ(r->threads, std::vector<std::thread::id>(kEvents, worker));
  }
}

TEST(EventThreadsTest, ASinkRemovedWhileEventsAreFiredIsNeverCalledAgain) {
  ConnectionPoint point;
  Recording stays;
  point.Advise(&stays);
  std::atomic<bool> stop{false};
  std::atomic<int> fired{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&] {
      while (!stop.load()) {
        point.Fire(1, fired.fetch_add(1));
      }
    });
  }
  for (int round = 0; round < 200; ++round) {
    auto leaving = std::make_unique<Recording>();
    const auto cookie = point.Advise(leaving.get());
    while (leaving->calls.load() == 0) std::this_thread::yield();  // taken up into the firing
    ASSERT_TRUE(point.Unadvise(cookie));
    leaving->gone.store(true);
    // Destroyed right away: a call still running in it, or one starting
    // after Unadvise, would be a use after free (ASan) or a race (TSan).
    EXPECT_EQ(leaving->callsAfterGone.load(), 0);
    leaving.reset();
  }
  stop.store(true);
  for (auto& t : workers) t.join();
  EXPECT_EQ(point.SinkCount(), 1u);
}

// A host disconnecting through its link while the control's connection
// point is destroyed on another thread: either side may win, neither
// touches what the other freed, and the sink is never called afterwards.
TEST(EventThreadsTest, LinkDisconnectRacesTheConnectionPointsEnd) {
  Recording sink;
  for (int round = 0; round < 300; ++round) {
    auto point = std::make_unique<ConnectionPoint>();
    auto link = std::make_shared<ConnectionLink>();
    point->Advise(&sink, link);
    std::atomic<bool> go{false};
    std::thread host([&] {
      while (!go.load()) std::this_thread::yield();
      link->Disconnect();
    });
    std::thread worker([&] {
      while (!go.load()) std::this_thread::yield();
      point->Fire(1, round);
      point.reset();
    });
    go.store(true);
    host.join();
    worker.join();
    EXPECT_FALSE(link->Connected());
    link->Disconnect();
  }
}

}  // namespace
}  // namespace ORV::Com

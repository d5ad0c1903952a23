#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis_control/analyse_images_threads.h"
#include "analysis_control/task_launcher.h"
#include "core/threading/event.h"
#include "tests/core/threading/test_threads.h"

namespace ORV {
namespace {

using namespace std::chrono_literals;
using ThreadTest::Eventually;
using Utils::Sync::Event;

// A task object around a function; remembers what OnFinished was given.
class FunctionTask : public Threading::AsyncTask {
 public:
  explicit FunctionTask(std::function<std::int32_t()> body) : body_(std::move(body)) {}
  std::int32_t Run() override { return body_(); }
  void OnFinished(std::int32_t result) override { finishedWith = result; }
  std::atomic<std::int32_t> finishedWith{INT_MIN};

 private:
  std::function<std::int32_t()> body_;
};

// Counts the tasks running at once and the threads they ran on.
struct Gauge {
  std::mutex mutex;
  int running = 0;
  int peak = 0;
  int done = 0;
  std::set<std::thread::id> threads;

  void Enter() {
    std::lock_guard lock(mutex);
    peak = std::max(peak, ++running);
    threads.insert(std::this_thread::get_id());
  }
  void Leave() {
    std::lock_guard lock(mutex);
    --running;
    ++done;
  }
  int Running() {
    std::lock_guard lock(mutex);
    return running;
  }
  int Done() {
    std::lock_guard lock(mutex);
    return done;
  }
};

std::shared_ptr<FunctionTask> GatedTask(Gauge& gauge, const Event& gate) {
  return std::make_shared<FunctionTask>([&gauge, &gate] {
    gauge.Enter();
    gate.Wait();
    gauge.Leave();
    return 0;
  });
}

TEST(AnalyseImagesThreads, BurstNeverHasMoreThanItsWorkers) {
  struct Case {
    const char* name;
    std::shared_ptr<AnalyseImagesThreads> pool;
    int workers;
  };
  const Case cases[] = {
      {"default", AnalyseImagesThreads::Create(), 4},
      {"two", AnalyseImagesThreads::Create(kAnalysisWorkerIdle, 2), 2},
      {"one", AnalyseImagesThreads::Create(kAnalysisWorkerIdle, 1), 1},
      {"none asked: one", AnalyseImagesThreads::Create(kAnalysisWorkerIdle, 0), 1},
      {"more than four asked: four", AnalyseImagesThreads::Create(kAnalysisWorkerIdle, 9), 4},
  };
  // One by one, and four at a time as a frame's zones are queued.
  for (const bool batched : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (batched ? ", four at a time" : ", one by one"));
      Gauge gauge;
      Event gate;
      for (int i = 0; i < 100; i += batched ? 4 : 1) {
        if (batched) {
          const std::vector<std::shared_ptr<Threading::AsyncTask>> four = {
              GatedTask(gauge, gate), GatedTask(gauge, gate), GatedTask(gauge, gate), GatedTask(gauge, gate)};
          EXPECT_EQ(c.pool->QueueAll(four), 4u);
        } else {
          c.pool->Queue(GatedTask(gauge, gate));
        }
        EXPECT_LE(c.pool->ThreadCount(), c.workers);
      }
      ASSERT_TRUE(Eventually([&] { return gauge.Running() == c.workers; }));
      EXPECT_EQ(c.pool->ThreadCount(), c.workers);
      EXPECT_EQ(c.pool->Queued(), static_cast<std::size_t>(100 - c.workers));
      gate.Set();
      ASSERT_TRUE(Eventually([&] { return gauge.Done() == 100; }));
      EXPECT_EQ(gauge.peak, c.workers);
      EXPECT_LE(gauge.threads.size(), static_cast<std::size_t>(c.workers));
    }
  }
}

TEST(AnalyseImagesThreads, IdleWorkersEndAndComeBackForNewWork) {
  auto pool = AnalyseImagesThreads::Create(30ms);
  Gauge gauge;
  Event gate;
  gate.Set();
  pool->Queue(GatedTask(gauge, gate));
  ASSERT_TRUE(Eventually([&] { return gauge.Done() == 1; }));
  ASSERT_TRUE(Eventually([&] { return pool->ThreadCount() == 0; }));

  Event closed;
  for (int i = 0; i < 6; ++i) pool->Queue(GatedTask(gauge, closed));
  ASSERT_TRUE(Eventually([&] { return gauge.Running() == 4; }));
  EXPECT_EQ(pool->ThreadCount(), 4);
  closed.Set();
  ASSERT_TRUE(Eventually([&] { return gauge.Done() == 7; }));
}

TEST(AnalyseImagesThreads, ThrowingTaskFinishesAndLeavesTheWorkersRunning) {
  auto pool = AnalyseImagesThreads::Create();
  auto thrower = std::make_shared<FunctionTask>([]() -> std::int32_t { throw std::runtime_error("search failed"); });
  std::vector<std::shared_ptr<FunctionTask>> after;
  for (int i = 0; i < 8; ++i) after.push_back(std::make_shared<FunctionTask>([i] { return i; }));
  pool->Queue(thrower);
  for (auto& t : after) pool->Queue(t);
  ASSERT_TRUE(Eventually([&] { return thrower->finishedWith.load() == Threading::kTaskThrew; }));
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(Eventually([&] { return after[i]->finishedWith.load() == i; })) << i;
}

TEST(QueueTask, FutureCarriesTheResultAlsoOfAThrowingTask) {
  struct Case {
    const char* name;
    std::function<std::int32_t()> body;
    std::int32_t expected;
  };
  const std::vector<Case> cases = {
      {"returns 7", [] { return 7; }, 7},
      {"returns -5", [] { return -5; }, -5},
      {"throws", []() -> std::int32_t { throw std::runtime_error("write failed"); }, Threading::kTaskThrew},
  };
  for (unsigned flags : {0u, Threading::kTaskLongRunning, Threading::kTaskOwnThread}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", flags " + std::to_string(flags));
      std::thread::id ranOn;
      auto task = std::make_shared<FunctionTask>([&] {
        ranOn = std::this_thread::get_id();
        return c.body();
      });
      std::shared_ptr<Threading::TaskFuture> future = QueueTask(task, flags);
      ASSERT_TRUE(future);
      EXPECT_EQ(future->Wait(), c.expected);
      EXPECT_TRUE(future->IsFinished());
      EXPECT_EQ(task->finishedWith.load(), c.expected) << "OnFinished is handed the result";
      EXPECT_NE(ranOn, std::this_thread::get_id());
    }
  }
}

}  // namespace
}  // namespace ORV

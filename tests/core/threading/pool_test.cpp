#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/threading/async_task.h"
#include "core/threading/event.h"
#include "core/threading/worker_pool.h"
#include "test_threads.h"

namespace ORV::Threading {
namespace {

using Utils::Sync::Event;
using ::Utils::Threading::AsyncTask;
using namespace std::chrono_literals;

TEST(WorkerPool, LimitIsThreeWorkersPerProcessorAndAtLeastTwelve) {
  const struct {
    unsigned processors;
    int limit;
  } cases[] = {{0, 12}, {1, 12}, {2, 12}, {4, 12}, {5, 15}, {8, 24}, {64, 192}};
  for (const auto& c : cases) {
    EXPECT_EQ(WorkerPool::LimitFor(c.processors), c.limit) << c.processors;
    EXPECT_EQ(WorkerPool(c.processors).Limit(), c.limit) << c.processors;
  }
}

TEST(WorkerPool, RunsNoMoreThanTheLimitAtOnceAndQueuesTheRest) {
  WorkerPool pool(2);
  ASSERT_EQ(pool.Limit(), 12);
  Event release;
  std::atomic<int> running{0}, most{0};
  std::vector<std::shared_ptr<AsyncTask<int>::Future>> futures;
  for (int i = 0; i < 20; ++i) {
    futures.push_back(AsyncTask<int>([&, i] {
                        const int now = ++running;
                        int seen = most.load();
                        while (now > seen && !most.compare_exchange_weak(seen, now)) {
                        }
                        release.Wait();
                        --running;
                        return i;
                      }).Start(pool));
  }
  ASSERT_TRUE(ThreadTest::Eventually([&] { return running.load() == 12; }));
  EXPECT_EQ(pool.Workers(), 12);
  EXPECT_EQ(pool.Queued(), 8u);
  release.Set();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(futures[i]->Wait(), i);
  EXPECT_EQ(most.load(), 12);
}

TEST(WorkerPool, IdleWorkerEndsAndTheNextTaskGetsANewOne) {
  WorkerPool pool(1, 20ms);
  std::thread::id first, second;
  AsyncTask<int>([&] {
    first = std::this_thread::get_id();
    return 1;
  })
      .Start(pool)
      ->Wait();
  ASSERT_TRUE(ThreadTest::Eventually([&] { return pool.Workers() == 0; }));
  EXPECT_EQ(AsyncTask<int>([&] {
              second = std::this_thread::get_id();
              return 2;
            })
                .Start(pool)
                ->Wait(),
            2);
  EXPECT_NE(first, std::thread::id());
  EXPECT_NE(second, std::thread::id());
}

// Continuations meant for the user-interface thread, with a loop thread in
// its place.
class UiContinuations : public ::testing::Test {
 protected:
  std::shared_ptr<ThreadTest::LoopDispatcher> ui = std::make_shared<ThreadTest::LoopDispatcher>();
  ThreadTest::ScopedDispatcher installed{ui};
  WorkerPool pool{4};
};

TEST_F(UiContinuations, RunInOrderOnTheUiThreadEachAfterThePreviousOne) {
  std::vector<int> order;  // touched on the user-interface thread only
  std::vector<int> postedWhenRun;
  bool allOnUi = true;
  std::thread::id taskThread;
  Event inThird, releaseThird;
  AsyncTask<int> task([&] {
    taskThread = std::this_thread::get_id();
    return 40;
  });
  for (int k = 1; k <= 3; ++k) {
    task.AddContinuation([&, k](int r) {
      allOnUi = allOnUi && ui->IsUiThread();
      order.push_back(r + k);
      // The worker posts the next continuation only after this one returned.
      postedWhenRun.push_back(ui->Posted());
      if (k == 3) {
        inThird.Set();
        releaseThird.Wait();
      }
    });
  }
  auto future = task.Start(pool);
  EXPECT_TRUE(task.continuations.empty()) << "the continuations move into the running work";
  inThird.Wait();
  EXPECT_FALSE(future->IsFinished());
  releaseThird.Set();
  EXPECT_EQ(future->Wait(), 40);
  EXPECT_EQ(order, (std::vector<int>{41, 42, 43}));
  EXPECT_EQ(postedWhenRun, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(allOnUi);
  EXPECT_NE(taskThread, ui->ThreadId());
}

TEST_F(UiContinuations, AThrowEndsTheRunWithTheInitialResult) {
  struct Case {
    const char* name;
    bool taskThrows;
    int throwingContinuation;  // 0 for none
    std::vector<int> expectedRan;
    int expectedResult;
  };
  const std::vector<Case> cases = {
      {"nothing throws", false, 0, {1, 2, 3}, 9},
      {"task throws", true, 0, {}, 0},
      {"second continuation throws", false, 2, {1, 2}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> ran;
    AsyncTask<int> task([&]() -> int {
      if (c.taskThrows) throw std::runtime_error("task failed");
      return 9;
    });
    for (int k = 1; k <= 3; ++k) {
      task.AddContinuation([&, k](int) {
        ran.push_back(k);
        if (k == c.throwingContinuation) throw std::runtime_error("continuation failed");
      });
    }
    auto future = task.Start(pool);
    EXPECT_EQ(future->Wait(), c.expectedResult);
    EXPECT_TRUE(future->IsFinished());
    EXPECT_EQ(ran, c.expectedRan);
  }
}

TEST(AsyncTaskContinuations, WithoutAUiThreadOnlyWorkerContinuationsRun) {
  WorkerPool pool(1);
  std::vector<std::string> ran;
  std::thread::id taskThread, workerContinuationThread;
  AsyncTask<int> task([&] {
    taskThread = std::this_thread::get_id();
    return 5;
  });
  task.AddContinuation([&](int) { ran.push_back("ui"); });
  task.continuations.push_back({[&](int r) {
                                  workerContinuationThread = std::this_thread::get_id();
                                  ran.push_back("worker " + std::to_string(r));
                                },
                                ::Utils::Threading::kContinueOnWorker});
  task.continuations.push_back({[&](int) { ran.push_back("unknown mode"); }, 3});
  EXPECT_EQ(task.Start(pool)->Wait(), 5);
  EXPECT_EQ(ran, (std::vector<std::string>{"worker 5"}));
  EXPECT_EQ(taskThread, workerContinuationThread);
}

TEST(AsyncTaskContinuations, TaskWithoutCallableJustFinishes) {
  WorkerPool pool(1);
  bool ran = false;
  AsyncTask<int> task;
  task.continuations.push_back({[&](int) { ran = true; }, ::Utils::Threading::kContinueOnWorker});
  auto future = task.Start(pool);
  EXPECT_EQ(future->Wait(), 0);
  EXPECT_FALSE(ran);
}

TEST(WorkerPool, OwnThreadTaskRunsOnceEvenWhenThePoolIsFull) {
  WorkerPool pool(1);
  Event release;
  std::vector<std::shared_ptr<AsyncTask<int>::Future>> blocked;
  for (int i = 0; i < pool.Limit(); ++i) {
    blocked.push_back(AsyncTask<int>([&] {
                        release.Wait();
                        return 0;
                      }).Start(pool));
  }
  ASSERT_TRUE(ThreadTest::Eventually([&] { return pool.Workers() == pool.Limit() && pool.Queued() == 0; }));

  std::atomic<int> ownRuns{0};
  auto own = AsyncTask<int>(
                 [&] {
                   ++ownRuns;
                   return 7;
                 },
                 /*runOnOwnThread=*/true)
                 .Start(pool);
  EXPECT_EQ(own->Wait(), 7);  // while every pool worker is still busy

  // More work arriving later must not run the own-thread task again.
  release.Set();
  std::vector<std::shared_ptr<AsyncTask<int>::Future>> later;
  for (int i = 0; i < 50; ++i) later.push_back(AsyncTask<int>([] { return 1; }).Start(pool));
  for (auto& f : blocked) f->Wait();
  for (auto& f : later) EXPECT_EQ(f->Wait(), 1);
  EXPECT_EQ(ownRuns.load(), 1);
}

// Many threads start tasks with pauses around the idle time-out, so that
// workers keep ending while new work arrives. Every task must run exactly
// once and every future must finish.
TEST(WorkerPool, EveryTaskRunsExactlyOnceWhileWorkersComeAndGo) {
  constexpr int kThreads = 8;
  constexpr int kTasksPerThread = 2000;
  constexpr auto kIdle = 2ms;
  WorkerPool pool(1, kIdle);
  std::vector<std::atomic<int>> runs(kThreads * kTasksPerThread);
  std::vector<std::vector<std::shared_ptr<AsyncTask<int>::Future>>> futures(kThreads);
  std::vector<std::thread> starters;
  for (int t = 0; t < kThreads; ++t) {
    starters.emplace_back([&, t] {
      std::mt19937 random(static_cast<unsigned>(t) * 7919u + 1u);
      std::uniform_int_distribution<int> pauseUs(1500, 2500);
      for (int i = 0; i < kTasksPerThread; ++i) {
        const int index = t * kTasksPerThread + i;
        AsyncTask<int> task(
            [&runs, index] {
              ++runs[index];
              return index;
            },
            /*runOnOwnThread=*/i % 64 == 0);
        task.continuations.push_back({[&runs, index](int r) {
                                        if (r != index) runs[index] += 100;
                                      },
                                      ::Utils::Threading::kContinueOnWorker});
        futures[t].push_back(task.Start(pool));
        if (random() % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
      }
    });
  }
  for (auto& s : starters) s.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kTasksPerThread; ++i) {
      ASSERT_TRUE(futures[t][i]->finished.Wait(ThreadTest::kMustHappen))
          << "task " << t << "/" << i << " never finished";
      EXPECT_EQ(futures[t][i]->GetResult(), t * kTasksPerThread + i);
    }
  }
  for (std::size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].load(), 1) << "task " << i;
  EXPECT_TRUE(ThreadTest::Eventually([&] { return pool.Workers() == 0; }));
}

// A task started just as the pool's only worker gives up waiting must still
// get a worker. Each thread has a pool of its own, so no other thread's work
// can come to the rescue of a task left behind.
TEST(WorkerPool, TaskStartedAsTheLastWorkerTimesOutStillRuns) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 400;
  constexpr auto kIdle = 2ms;
  std::vector<std::thread> threads;
  std::atomic<int> lost{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      WorkerPool pool(1, kIdle);
      std::mt19937 random(static_cast<unsigned>(t) + 17u);
      std::uniform_int_distribution<int> pauseUs(1700, 2300);
      for (int i = 0; i < kRounds && lost == 0; ++i) {
        auto future = AsyncTask<int>([i] { return i; }).Start(pool);
        if (!future->finished.Wait(ThreadTest::kMustHappen) || future->GetResult() != i) ++lost;
        std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(lost.load(), 0);
}

TEST(WorkerPool, ExitEndsBusyWorkersWithinTheBound) {
  auto stalled = std::make_shared<ThreadTest::StalledDispatcher>();
  ThreadTest::ScopedDispatcher installed(stalled);
  WorkerPool pool(8);
  ASSERT_EQ(pool.Limit(), 24);
  const auto quit = pool.QuitEvent();

  // Twenty workers busy until they see the quit event, like the update check.
  std::vector<std::shared_ptr<AsyncTask<int>::Future>> cooperative;
  for (int i = 0; i < 20; ++i) {
    cooperative.push_back(AsyncTask<int>([quit] {
                            quit->Wait();
                            return 1;
                          }).Start(pool));
  }
  // Two more wait for a user-interface thread that no longer runs its loop.
  std::atomic<int> uiRan{0};
  std::vector<std::shared_ptr<AsyncTask<int>::Future>> waitingForUi;
  for (int i = 0; i < 2; ++i) {
    waitingForUi.push_back(AsyncTask<int>([] { return 2; }).AddContinuation([&](int) { ++uiRan; }).Start(pool));
  }
  ASSERT_TRUE(ThreadTest::Eventually([&] { return stalled->Held() == 2 && pool.Workers() == 22; }));

  EXPECT_TRUE(pool.Quit(kPoolExitWait));
  EXPECT_EQ(pool.Workers(), 0);
  for (auto& f : cooperative) EXPECT_EQ(f->Wait(), 1);
  for (auto& f : waitingForUi) {
    EXPECT_TRUE(f->IsFinished());
    EXPECT_EQ(f->GetResult(), 0) << "the run was cut short";
  }
  // Should the loop turn again later, the dropped continuations stay dropped.
  stalled->RunHeld();
  EXPECT_EQ(uiRan.load(), 0);

  // After the exit the pool takes nothing, and nobody waits for it.
  auto late = AsyncTask<int>([] { return 3; }).Start(pool);
  EXPECT_TRUE(late->IsFinished());
  EXPECT_EQ(late->GetResult(), 0);
}

TEST(SharedWorkerPool, IsMadeOnFirstUseAndGoneAfterTheExit) {
  EXPECT_FALSE(ExistingSharedWorkerPool());
  EXPECT_EQ(AsyncTask<int>([] { return 6; }).Start()->Wait(), 6);
  auto pool = ExistingSharedWorkerPool();
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Limit(), WorkerPool::LimitFor(WorkerPool::DefaultProcessorCount()));
  const auto quit = pool->QuitEvent();
  pool.reset();

  EXPECT_TRUE(ExitSharedWorkerPool());
  EXPECT_TRUE(quit->IsSet());
  EXPECT_FALSE(ExistingSharedWorkerPool());
  EXPECT_TRUE(ExitSharedWorkerPool()) << "an exit without a pool has nothing to wait for";
}

}  // namespace
}  // namespace ORV::Threading

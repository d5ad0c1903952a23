#include "core/threading/task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/threading/event.h"
#include "core/threading/worker_pool.h"
#include "test_threads.h"

namespace ORV::Threading {
namespace {

using Utils::Sync::Event;
using namespace std::chrono_literals;

TEST(Event, StaysSetForEveryWaiterUntilReset) {
  Event event;
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.Wait(0ms));
  EXPECT_FALSE(event.Wait(5ms));

  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      event.Wait();
      ++released;
    });
  event.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 4);
  EXPECT_TRUE(event.Wait(0ms));
  EXPECT_TRUE(event.IsSet());

  event.Reset();
  EXPECT_FALSE(event.Wait(0ms));
}

struct ResultCase {
  const char* name;
  TaskCallable callable;
  std::int32_t expected;
};

TEST(TaskFuture, FinishedTaskGivesItsResultOnEveryKindOfThread) {
  const std::vector<ResultCase> cases = {
      {"returns 7", [] { return 7; }, 7},
      {"returns 0", [] { return 0; }, 0},
      {"returns -5", [] { return -5; }, -5},
      {"throws", []() -> std::int32_t { throw std::runtime_error("boom"); }, kTaskThrew},
      {"empty", TaskCallable{}, kTaskThrew},
  };
  for (unsigned flags : {0u, kTaskLongRunning, kTaskOwnThread}) {
    for (const ResultCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " flags " + std::to_string(flags));
      TaskCallable callable = c.callable;
      auto future = StartAsyncTask(std::move(callable), flags);
      EXPECT_FALSE(callable) << "StartAsyncTask takes the callable over";
      ASSERT_TRUE(future);
      EXPECT_EQ(future->Wait(), c.expected);
      EXPECT_TRUE(future->IsFinished());
      EXPECT_EQ(future->GetResult(), c.expected);
      EXPECT_EQ(future->Succeeded(), c.expected == 0);
    }
  }
}

TEST(TaskFuture, MissingTaskRecordGivesItsOwnCode) {
  EXPECT_EQ(QueueAsyncTask(RunTaskRecord, nullptr, 0)->Wait(), kTaskRecordMissing);
}

TEST(TaskFuture, RunningTaskLooksSuccessfulButUnfinished) {
  Event gate;
  auto future = StartAsyncTask(
      [&] {
        gate.Wait();
        return 5;
      },
      0);
  EXPECT_FALSE(future->IsFinished());
  EXPECT_EQ(future->GetResult(), 0);
  EXPECT_TRUE(future->Succeeded());
  gate.Set();
  EXPECT_EQ(future->Wait(), 5);
  EXPECT_TRUE(future->IsFinished());
  EXPECT_FALSE(future->Succeeded());
}

TEST(TaskFuture, ProcessTaskThreadsCountsTheWorkersUntilTheyEnd) {
  Event gate;
  auto future = StartAsyncTask(
      [&] {
        gate.Wait();
        return 1;
      },
      0);
  EXPECT_GE(ProcessTaskThreads(), 1);
  gate.Set();
  EXPECT_EQ(future->Wait(), 1);
  // Idle workers end after their time-out; a library serving them must stay
  // loaded until then.
  EXPECT_TRUE(ThreadTest::Eventually([] { return ProcessTaskThreads() == 0; }));
}

TEST(TaskFuture, ContinuationRunsAfterTaskOnItsWorkerBeforeTheFutureFinishes) {
  for (bool taskThrows : {false, true}) {
    SCOPED_TRACE(taskThrows ? "task throws" : "task returns");
    std::vector<std::string> order;  // written by the one worker only
    std::thread::id taskThread, continuationThread;
    Event inContinuation, release;
    auto task = std::make_shared<TaskCallable>([&]() -> std::int32_t {
      taskThread = std::this_thread::get_id();
      order.push_back("task");
      if (taskThrows) throw std::runtime_error("task failed");
      return 3;
    });
    auto continuation = std::make_shared<TaskCallable>([&] {
      continuationThread = std::this_thread::get_id();
      order.push_back("continuation");
      inContinuation.Set();
      release.Wait();
      return 99;  // not the task's result
    });
    auto future = StartAsyncTask(task, kTaskLongRunning, continuation);
    inContinuation.Wait();
    EXPECT_FALSE(future->IsFinished());
    release.Set();
    EXPECT_EQ(future->Wait(), taskThrows ? kTaskThrew : 3);
    EXPECT_EQ(order, (std::vector<std::string>{"task", "continuation"}));
    EXPECT_EQ(taskThread, continuationThread);
    EXPECT_NE(taskThread, std::this_thread::get_id());
  }
}

struct CompletionSeen {
  std::atomic<int> calls{0};
  std::int32_t result = 0;
  void* argument = nullptr;
};

TEST(TaskFuture, CompletionGetsResultAndArgumentsBeforeTheFutureFinishes) {
  static int argument = 11;
  CompletionSeen seen;
  auto future = QueueAsyncTask([](void* a) { return *static_cast<int*>(a) * 2; }, &argument, 0,
                               [](std::int32_t r, void* a, void* c) {
                                 auto* s = static_cast<CompletionSeen*>(c);
                                 s->result = r;
                                 s->argument = a;
                                 ++s->calls;
                               },
                               &seen);
  EXPECT_EQ(future->Wait(), 22);
  EXPECT_EQ(seen.calls.load(), 1);
  EXPECT_EQ(seen.result, 22);
  EXPECT_EQ(seen.argument, &argument);
}

TEST(TaskFuture, RefusedStartFinishesWithFailureInsteadOfHanging) {
  // A pool that has quit takes nothing, on its queue or on threads of their own.
  WorkerPool closed(1);
  closed.Quit();
  std::atomic<int> ran{0};
  for (unsigned flags : {0u, kTaskOwnThread}) {
    auto future = QueueAsyncTask(
        closed, [](void* r) { return ++*static_cast<std::atomic<int>*>(r); }, &ran, flags);
    EXPECT_EQ(future->Wait(), kTaskNotStarted);
    EXPECT_EQ(static_cast<AsyncTaskFuture&>(*future).ErrorCode(), static_cast<std::uint32_t>(ECANCELED));
  }

  // A task still queued when the pool quits is refused the same way; the
  // ones already running finish normally.
  WorkerPool pool(1);
  Event release;
  std::vector<std::shared_ptr<TaskFuture>> running;
  for (int i = 0; i < pool.Limit(); ++i) {
    running.push_back(QueueAsyncTask(
        pool,
        [](void* e) {
          static_cast<Event*>(e)->Wait();
          return 1;
        },
        &release, 0));
  }
  auto queued = QueueAsyncTask(
      pool, [](void* r) { return ++*static_cast<std::atomic<int>*>(r); }, &ran, 0);
  ASSERT_TRUE(ThreadTest::Eventually([&] { return pool.Queued() == 1 && pool.Idle() == 0; }));
  EXPECT_FALSE(pool.Quit(0ms));
  EXPECT_EQ(queued->Wait(), kTaskNotStarted);
  release.Set();
  for (auto& f : running) EXPECT_EQ(f->Wait(), 1);
  EXPECT_TRUE(pool.Quit(ThreadTest::kMustHappen));
  EXPECT_EQ(ran.load(), 0);
}

class RecordingTask : public AsyncTask {
 public:
  RecordingTask(std::int32_t result, bool throws, Event* gate = nullptr, std::atomic<bool>* destroyed = nullptr)
      : result_(result), throws_(throws), gate_(gate), destroyed_(destroyed) {}
  ~RecordingTask() override {
    if (destroyed_) *destroyed_ = true;
  }
  std::int32_t Run() override {
    runThread = std::this_thread::get_id();
    if (gate_) gate_->Wait();
    if (throws_) throw std::runtime_error("run failed");
    return result_;
  }
  void OnFinished(std::int32_t result) override {
    finishedThread = std::this_thread::get_id();
    finishedWith = result;
  }

  std::thread::id runThread, finishedThread;
  std::int32_t finishedWith = 12345;

 private:
  std::int32_t result_;
  bool throws_;
  Event* gate_;
  std::atomic<bool>* destroyed_;
};

TEST(AsyncTaskObject, RunsOnItsOwnThreadAndFinishesThereWithTheFuturesResult) {
  for (bool throws : {false, true}) {
    SCOPED_TRACE(throws ? "Run throws" : "Run returns");
    RecordingTask task(42, throws);  // owned by this frame, not by a shared pointer
    EXPECT_FALSE(task.GetFuture());
    auto future = task.Start();
    EXPECT_EQ(task.GetFuture(), future);
    const std::int32_t result = future->Wait();
    EXPECT_EQ(result, throws ? kTaskThrew : 42);
    EXPECT_EQ(task.finishedWith, result);
    EXPECT_EQ(task.runThread, task.finishedThread);
    EXPECT_NE(task.runThread, std::this_thread::get_id());
  }
}

TEST(AsyncTaskObject, SharedTaskStaysAliveWhileItRuns) {
  Event gate;
  std::atomic<bool> destroyed{false};
  auto task = std::make_shared<RecordingTask>(8, false, &gate, &destroyed);
  auto first = task->Start();
  task.reset();
  EXPECT_FALSE(destroyed.load());
  gate.Set();
  EXPECT_EQ(first->Wait(), 8);
  EXPECT_TRUE(ThreadTest::Eventually([&] { return destroyed.load(); }));
}

}  // namespace
}  // namespace ORV::Threading

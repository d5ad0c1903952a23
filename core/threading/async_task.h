#pragma once
// A task with continuations on the program's shared worker pool.
//
//   auto future = Utils::Threading::AsyncTask<int>([] { return Work(); })
//                     .AddContinuation([](int r) { ShowFirst(r); })
//                     .AddContinuation([](int r) { ShowSecond(r); })
//                     .Start();
//
// Start runs the task on a pool worker (or on a thread of its own), then each
// continuation in order with the task's result, each on the thread it asks
// for; a continuation for the user-interface thread runs there through the
// installed dispatcher while the worker waits for it. Then the future
// finishes. The result is stored only when the task and every continuation
// ran without throwing; a throw ends the list, and the future finishes with
// its initial result. When no user-interface thread exists, continuations
// meant for it are skipped. When the pool quits while a continuation still
// waits for the user-interface thread, that continuation and the rest are
// dropped and the future finishes.
//
// A future whose task has continuations for the user-interface thread must
// not be waited on from that thread (poll IsFinished there instead): the
// worker waits for the user-interface thread to run them.
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/threading/event.h"
#include "core/threading/ui_dispatcher.h"
#include "core/threading/worker_pool.h"

namespace Utils::Threading {

// Where a continuation runs.
inline constexpr int kContinueOnWorker = 0;    // on the worker, right after the task (1 means the same)
inline constexpr int kContinueOnUiThread = 2;  // on the user-interface thread

template <class T>
class AsyncTask {
 public:
  class Future {
   public:
    // Set once the run has ended; the result is stored before it is set.
    ORV::Utils::Sync::Event finished;

    bool IsFinished() const { return finished.IsSet(); }
    // Blocks until the run has ended, then returns the result.
    T Wait() const {
      finished.Wait();
      return GetResult();
    }
    T GetResult() const {
      std::lock_guard lock(mutex_);
      return result_;
    }

   private:
    friend class AsyncTask;
    void Store(T value) {
      std::lock_guard lock(mutex_);
      result_ = std::move(value);
    }
    mutable std::mutex mutex_;
    T result_{};
  };

  struct Continuation {
    std::function<void(T)> callable;
    int mode = kContinueOnUiThread;
  };

  AsyncTask() = default;
  explicit AsyncTask(std::function<T()> work, bool runOnOwnThread = false)
      : ownThread(runOnOwnThread), task(std::move(work)) {}

  bool ownThread = false;  // run on a thread of its own instead of a pool worker
  std::function<T()> task;
  std::vector<Continuation> continuations;

  // Appends a continuation for the user-interface thread.
  AsyncTask& AddContinuation(std::function<void(T)> callable) {
    continuations.push_back(Continuation{std::move(callable), kContinueOnUiThread});
    return *this;
  }

  // Hands the task to the shared pool; the continuations move with it.
  // Throws std::system_error when no thread can be started for it.
  std::shared_ptr<Future> Start() { return Start(*ORV::Threading::SharedWorkerPool()); }
  std::shared_ptr<Future> Start(ORV::Threading::WorkerPool& pool) {
    auto future = std::make_shared<Future>();
    auto item = std::make_shared<Item>(Item{task, std::move(continuations), future});
    continuations.clear();
    const std::shared_ptr<const ORV::Utils::Sync::Event> quit = pool.QuitEvent();
    const bool accepted =
        pool.Post([item, quit] { Run(*item, *quit); }, [future] { future->finished.Set(); }, ownThread);
    if (!accepted) future->finished.Set();
    return future;
  }

 private:
  struct Item {
    std::function<T()> task;
    std::vector<Continuation> continuations;
    std::shared_ptr<Future> future;
  };

  static void Run(Item& item, const ORV::Utils::Sync::Event& quit) {
    if (item.task) RunAll(item, quit);
    item.future->finished.Set();
  }

  // Stores the result only when the task and every continuation ran.
  static void RunAll(Item& item, const ORV::Utils::Sync::Event& quit) {
    T result;
    try {
      result = item.task();
    } catch (...) {
      return;
    }
    for (Continuation& c : item.continuations) {
      if (c.mode == kContinueOnWorker || c.mode == 1) {
        try {
          c.callable(result);
        } catch (...) {
          return;
        }
      } else if (c.mode == kContinueOnUiThread) {
        const auto outcome =
            ORV::Threading::CallOnUiThread([callable = c.callable, result] { callable(result); }, &quit);
        if (outcome == ORV::Threading::UiCallResult::Threw || outcome == ORV::Threading::UiCallResult::Abandoned) {
          return;
        }
      }
      // Other modes name a target this system cannot reach; they are skipped.
    }
    item.future->Store(std::move(result));
  }
};

}  // namespace Utils::Threading

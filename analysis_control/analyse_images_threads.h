#pragma once
// The analysis workers: a small pool of at most four threads (fewer when
// asked) that run the zone tasks. Threads start on demand and end by themselves after a second
// without work, so a steady frame stream reuses them and an idle analysis
// holds none.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>

#include "core/threading/task.h"

namespace ORV {

// Where the analysis hands its zone tasks. The pool below is the real one;
// tests hand in executors of their own that run tasks in an order they
// choose.
class AnalysisTaskExecutor {
 public:
  virtual ~AnalysisTaskExecutor() = default;
  // Takes the task and runs it (its Run, then its OnFinished) some time later
  // on some thread. Throws std::system_error when it can never run it.
  virtual void Queue(std::shared_ptr<Threading::AsyncTask> task) = 0;
  // Takes the tasks, in order, as Queue does one by one, and returns how
  // many it took: the ones after those can never run. Never throws.
  virtual std::size_t QueueAll(std::span<const std::shared_ptr<Threading::AsyncTask>> tasks);
};

inline constexpr int kAnalysisWorkers = 4;
inline constexpr std::chrono::milliseconds kAnalysisWorkerIdle{1000};

class AnalyseImagesThreads : public AnalysisTaskExecutor, public std::enable_shared_from_this<AnalyseImagesThreads> {
 public:
  // The pool is shared: each of its threads holds it too, so it outlives its
  // owner until the threads have ended. `workers` is kept within 1 to four.
  static std::shared_ptr<AnalyseImagesThreads> Create(std::chrono::milliseconds idleTimeout = kAnalysisWorkerIdle,
                                                      int workers = kAnalysisWorkers);

  // Queues the task and makes sure the pool runs: when fewer threads than
  // its workers are alive it starts the missing ones. A thread counts from
  // the moment it is started, so a burst of calls never has more alive. Throws std::system_error, leaving the task out,
  // only when no thread is alive to take it.
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override;
  // All the tasks under one take of the lock, so a frame's zones meet the
  // workers there once rather than once each: all of them or, when no thread
  // is alive to take them, none.
  std::size_t QueueAll(std::span<const std::shared_ptr<Threading::AsyncTask>> tasks) override;

  // Threads alive.
  std::int64_t ThreadCount() const;
  // Tasks waiting for a thread.
  std::size_t Queued() const;

 private:
  AnalyseImagesThreads(std::chrono::milliseconds idleTimeout, int workers)
      : idleTimeout_(idleTimeout), workers_(workers) {}
  static void WorkerLoop(std::shared_ptr<AnalyseImagesThreads> pool);
  // Starts the missing threads, under the lock. Throws std::system_error
  // only when none is alive afterwards.
  void StartMissingThreads();
  bool WorkArrivesSoon() const;
  static constexpr std::chrono::microseconds kSpinBeforeSleep{50};

  const std::chrono::milliseconds idleTimeout_;
  const int workers_;
  mutable std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::int64_t threadCount_ = 0;
  std::deque<std::shared_ptr<Threading::AsyncTask>> queue_;
  // The queue's length, read without the lock by a worker looking for work.
  std::atomic<std::size_t> queued_{0};
};

}  // namespace ORV

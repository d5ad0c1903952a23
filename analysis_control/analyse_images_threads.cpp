#include "analysis_control/analyse_images_threads.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "analysis_control/brief_lock.h"
#include "analysis_control/task_launcher.h"

namespace ORV {

std::shared_ptr<AnalyseImagesThreads> AnalyseImagesThreads::Create(std::chrono::milliseconds idleTimeout, int workers) {
  return std::shared_ptr<AnalyseImagesThreads>(
      new AnalyseImagesThreads(idleTimeout, std::clamp(workers, 1, kAnalysisWorkers)));
}

std::size_t AnalysisTaskExecutor::QueueAll(std::span<const std::shared_ptr<Threading::AsyncTask>> tasks) {
  std::size_t taken = 0;
  try {
    for (const std::shared_ptr<Threading::AsyncTask>& task : tasks) {
      Queue(task);
      ++taken;
    }
  } catch (...) {
  }
  return taken;
}

void AnalyseImagesThreads::StartMissingThreads() {
  while (threadCount_ < workers_) {
    ++threadCount_;
    try {
      std::thread(WorkerLoop, shared_from_this()).detach();
    } catch (const std::system_error&) {
      --threadCount_;
      if (threadCount_ == 0) throw;
      break;  // the threads alive will take the tasks
    }
  }
}

void AnalyseImagesThreads::Queue(std::shared_ptr<Threading::AsyncTask> task) {
  std::unique_lock lock = LockBriefly(mutex_);
  StartMissingThreads();
  queue_.push_back(std::move(task));
  queued_.store(queue_.size(), std::memory_order_release);
  lock.unlock();
  workAvailable_.notify_one();
}

std::size_t AnalyseImagesThreads::QueueAll(std::span<const std::shared_ptr<Threading::AsyncTask>> tasks) {
  if (tasks.empty()) return 0;
  std::unique_lock lock = LockBriefly(mutex_);
  try {
    StartMissingThreads();
  } catch (const std::system_error&) {
    return 0;
  }
  queue_.insert(queue_.end(), tasks.begin(), tasks.end());
  queued_.store(queue_.size(), std::memory_order_release);
  lock.unlock();
  if (tasks.size() == 1) {
    workAvailable_.notify_one();
  } else {
    workAvailable_.notify_all();
  }
  return tasks.size();
}

// A camera's zone tasks come a few microseconds apart. A worker that finds
// the queue empty looks again for a short while before it sleeps: a thread
// put to sleep and woken for every task spends more time switching than
// searching.
bool AnalyseImagesThreads::WorkArrivesSoon() const {
  const auto until = std::chrono::steady_clock::now() + kSpinBeforeSleep;
  do {
    for (int i = 0; i < 64; ++i) {
      if (queued_.load(std::memory_order_acquire) > 0) return true;
      PauseInWaitLoop();
    }
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

void AnalyseImagesThreads::WorkerLoop(std::shared_ptr<AnalyseImagesThreads> pool) {
  AnalyseImagesThreads& p = *pool;
  std::unique_lock lock = LockBriefly(p.mutex_);
  for (;;) {
    if (!p.queue_.empty()) {
      std::shared_ptr<Threading::AsyncTask> task = std::move(p.queue_.front());
      p.queue_.pop_front();
      p.queued_.store(p.queue_.size(), std::memory_order_release);
      lock.unlock();
      RunTask(*task);
      task.reset();
      lock = LockBriefly(p.mutex_);
      continue;
    }
    lock.unlock();
    const bool soon = p.WorkArrivesSoon();
    lock = LockBriefly(p.mutex_);
    if (soon) continue;
    // The queue is looked at again under the lock before the thread gives
    // up, so a task queued while it waited is never left behind.
    if (!p.workAvailable_.wait_for(lock, p.idleTimeout_, [&] { return !p.queue_.empty(); })) break;
  }
  --p.threadCount_;
}

std::int64_t AnalyseImagesThreads::ThreadCount() const {
  std::lock_guard lock(mutex_);
  return threadCount_;
}

std::size_t AnalyseImagesThreads::Queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

}  // namespace ORV

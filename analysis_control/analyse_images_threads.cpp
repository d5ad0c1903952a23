#include "analysis_control/analyse_images_threads.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "analysis_control/task_launcher.h"

namespace ORV {

std::shared_ptr<AnalyseImagesThreads> AnalyseImagesThreads::Create(std::chrono::milliseconds idleTimeout, int workers) {
  return std::shared_ptr<AnalyseImagesThreads>(
      new AnalyseImagesThreads(idleTimeout, std::clamp(workers, 1, kAnalysisWorkers)));
}

void AnalyseImagesThreads::Queue(std::shared_ptr<Threading::AsyncTask> task) {
  std::unique_lock lock(mutex_);
  while (threadCount_ < workers_) {
    ++threadCount_;
    try {
      std::thread(WorkerLoop, shared_from_this()).detach();
    } catch (const std::system_error&) {
      --threadCount_;
      if (threadCount_ == 0) throw;
      break;  // the threads alive will take the task
    }
  }
  queue_.push_back(std::move(task));
  lock.unlock();
  workAvailable_.notify_one();
}

void AnalyseImagesThreads::WorkerLoop(std::shared_ptr<AnalyseImagesThreads> pool) {
  AnalyseImagesThreads& p = *pool;
  std::unique_lock lock(p.mutex_);
  for (;;) {
    if (!p.queue_.empty()) {
      std::shared_ptr<Threading::AsyncTask> task = std::move(p.queue_.front());
      p.queue_.pop_front();
      lock.unlock();
      RunTask(*task);
      task.reset();
      lock.lock();
      continue;
    }
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

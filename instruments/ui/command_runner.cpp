#include "instruments/ui/command_runner.h"

#include <QMetaObject>

namespace ORV::UI {

WorkerCommandRunner::WorkerCommandRunner(QObject* context) : context_(context), thread_([this] { Loop(); }) {}

WorkerCommandRunner::~WorkerCommandRunner() {
  {
    std::lock_guard guard(mutex_);
    stop_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void WorkerCommandRunner::Run(std::function<void()> work, std::function<void()> done) {
  {
    std::lock_guard guard(mutex_);
    jobs_.push_back({std::move(work), std::move(done)});
  }
  wake_.notify_all();
}

bool WorkerCommandRunner::Busy() const {
  std::lock_guard guard(mutex_);
  return running_ || !jobs_.empty();
}

void WorkerCommandRunner::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    if (job.work) job.work();
    // Qt discards a queued call whose context has been destroyed.
    if (job.done) QMetaObject::invokeMethod(context_, std::move(job.done), Qt::QueuedConnection);
    lock.lock();
    running_ = false;
  }
}

}  // namespace ORV::UI

#include "core/threading/task.h"

#include <atomic>
#include <cerrno>
#include <system_error>
#include <utility>

#include "core/threading/worker_pool.h"

namespace ORV::Threading {

std::int32_t AsyncTaskFuture::Wait() {
  finished_.Wait();
  return GetResult();
}

bool AsyncTaskFuture::IsFinished() { return finished_.IsSet(); }

std::int32_t AsyncTaskFuture::GetResult() {
  std::lock_guard lock(mutex_);
  return result_;
}

bool AsyncTaskFuture::Succeeded() { return GetResult() == 0; }

void AsyncTaskFuture::StoreResult(std::int32_t result) {
  std::lock_guard lock(mutex_);
  result_ = result;
}

void AsyncTaskFuture::MarkFinished() { finished_.Set(); }

void AsyncTaskFuture::Refuse(std::uint32_t errorCode) {
  {
    std::lock_guard lock(mutex_);
    result_ = kTaskNotStarted;
    errorCode_ = errorCode;
  }
  finished_.Set();
}

std::uint32_t AsyncTaskFuture::ErrorCode() const {
  std::lock_guard lock(mutex_);
  return errorCode_;
}

namespace {

// The process's task pool once it is made.
std::atomic<WorkerPool*> g_processPool{nullptr};

// Stands in for the system's thread pool. Made on first use and never
// destroyed: like the system's, it lives until the process ends.
WorkerPool& ProcessTaskPool() {
  static WorkerPool* const pool = [] {
    auto* made = new WorkerPool();
    g_processPool.store(made);
    return made;
  }();
  return *pool;
}

std::shared_ptr<TaskFuture> Queue(WorkerPool& pool, std::function<std::int32_t()> body,
                                  std::function<void(std::int32_t)> completion, unsigned flags) {
  auto future = std::make_shared<AsyncTaskFuture>();
  auto run = [future, body = std::move(body), completion = std::move(completion)] {
    std::int32_t result;
    try {
      result = body();
    } catch (...) {
      result = kTaskThrew;
    }
    future->StoreResult(result);
    if (completion) {
      try {
        completion(result);
      } catch (...) {
      }
    }
    future->MarkFinished();
  };
  auto abandon = [future] { future->Refuse(ECANCELED); };
  const bool ownThread = (flags & (kTaskOwnThread | kTaskLongRunning)) != 0;
  try {
    if (!pool.Post(std::move(run), std::move(abandon), ownThread)) future->Refuse(ECANCELED);
  } catch (const std::system_error& e) {
    future->Refuse(static_cast<std::uint32_t>(e.code().value()));
  } catch (...) {
    future->Refuse(EAGAIN);
  }
  return future;
}

}  // namespace

std::shared_ptr<TaskFuture> QueueAsyncTask(WorkerPool& pool, TaskRoutine routine, void* argument, unsigned flags,
                                           TaskCompletion completion, void* completionArgument) {
  std::function<void(std::int32_t)> onDone;
  if (completion) {
    onDone = [completion, argument, completionArgument](std::int32_t r) {
      completion(r, argument, completionArgument);
    };
  }
  return Queue(
      pool, [routine, argument] { return routine ? routine(argument) : kTaskThrew; }, std::move(onDone), flags);
}

int ProcessTaskThreads() {
  // Asking makes no pool.
  const WorkerPool* pool = g_processPool.load();
  return pool != nullptr ? pool->Workers() : 0;
}

std::shared_ptr<TaskFuture> QueueAsyncTask(TaskRoutine routine, void* argument, unsigned flags,
                                           TaskCompletion completion, void* completionArgument) {
  return QueueAsyncTask(ProcessTaskPool(), routine, argument, flags, completion, completionArgument);
}

std::shared_ptr<TaskFuture> StartAsyncTask(TaskCallable&& callable, unsigned flags) {
  auto task = std::make_shared<TaskCallable>(std::move(callable));
  callable = nullptr;
  return StartAsyncTask(std::move(task), flags, nullptr);
}

std::shared_ptr<TaskFuture> StartAsyncTask(std::shared_ptr<TaskCallable> callable, unsigned flags,
                                           std::shared_ptr<TaskCallable> continuation) {
  auto record = std::make_shared<TaskRecord>(TaskRecord{std::move(callable), std::move(continuation)});
  return Queue(
      ProcessTaskPool(), [record] { return RunTaskRecord(record.get()); }, nullptr, flags);
}

std::int32_t RunTaskRecord(void* argument) {
  auto* record = static_cast<TaskRecord*>(argument);
  if (!record) return kTaskRecordMissing;
  std::int32_t result;
  try {
    result = (record->task && *record->task) ? (*record->task)() : kTaskThrew;
  } catch (...) {
    result = kTaskThrew;
  }
  if (record->continuation && *record->continuation) {
    try {
      (*record->continuation)();
    } catch (...) {
    }
  }
  record->task.reset();
  record->continuation.reset();
  return result;
}

void AsyncTask::OnFinished(std::int32_t) {}

std::shared_ptr<TaskFuture> AsyncTask::Start() {
  std::shared_ptr<AsyncTask> keepAlive = weak_from_this().lock();
  AsyncTask* task = this;
  auto body = [keepAlive = std::move(keepAlive), task]() mutable {
    std::int32_t result;
    try {
      result = task->Run();
    } catch (...) {
      result = kTaskThrew;
    }
    try {
      task->OnFinished(result);
    } catch (...) {
    }
    return result;
  };
  std::shared_ptr<TaskFuture> future = Queue(ProcessTaskPool(), std::move(body), nullptr, kTaskOwnThread);
  std::lock_guard lock(futureMutex_);
  future_ = future;
  return future;
}

std::shared_ptr<TaskFuture> AsyncTask::GetFuture() const {
  std::lock_guard lock(futureMutex_);
  return future_;
}

}  // namespace ORV::Threading

#pragma once
// Worker tasks: a function or a task object runs on a pool worker or on a
// thread of its own, and the caller keeps a future through which it waits
// for the task, polls it and reads its integer result.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "core/threading/event.h"

namespace ORV::Threading {

class WorkerPool;

// Results the task machinery produces itself. Tasks choose their own other
// failure codes; 0 is success.
inline constexpr std::int32_t kTaskThrew = -1000;          // the task threw, or there was nothing to call
inline constexpr std::int32_t kTaskRecordMissing = -1001;  // the task record was missing
inline constexpr std::int32_t kTaskNotStarted = -1002;     // no thread took the task

// Start flags.
inline constexpr unsigned kTaskLongRunning = 1;  // long work: given a thread rather than a pool worker
inline constexpr unsigned kTaskOwnThread = 2;    // a new thread of its own

class TaskFuture {
 public:
  // Blocks until the task has finished, then returns its result.
  virtual std::int32_t Wait() = 0;
  virtual bool IsFinished() = 0;
  // The result so far, without waiting: 0 until the task has finished.
  virtual std::int32_t GetResult() = 0;
  // The result so far is 0 (so also true while the task still runs).
  virtual bool Succeeded() = 0;
  virtual ~TaskFuture() = default;
};

class AsyncTaskFuture : public TaskFuture {
 public:
  std::int32_t Wait() override;
  bool IsFinished() override;
  std::int32_t GetResult() override;
  bool Succeeded() override;

  // The worker's side: the result is stored before the future finishes.
  void StoreResult(std::int32_t result);
  void MarkFinished();
  // A start that no thread took: finishes the future at once with
  // kTaskNotStarted, keeping the system's error code.
  void Refuse(std::uint32_t errorCode);
  // The system's error code of a refused start; 0 otherwise.
  std::uint32_t ErrorCode() const;

 private:
  Utils::Sync::Event finished_;
  mutable std::mutex mutex_;
  std::int32_t result_ = 0;
  std::uint32_t errorCode_ = 0;
};

using TaskRoutine = std::int32_t (*)(void* argument);
using TaskCompletion = void (*)(std::int32_t result, void* argument, void* completionArgument);
using TaskCallable = std::function<std::int32_t()>;

// Runs routine(argument) on a worker of the process's task pool, or with
// kTaskLongRunning or kTaskOwnThread on a new thread of its own. A routine
// that throws gives kTaskThrew. When given, the completion is called on the
// worker with the result after it is stored and before the future finishes.
// A start that no thread takes finishes the future with kTaskNotStarted.
std::shared_ptr<TaskFuture> QueueAsyncTask(TaskRoutine routine, void* argument, unsigned flags,
                                           TaskCompletion completion = nullptr, void* completionArgument = nullptr);
// The same on the given pool.
std::shared_ptr<TaskFuture> QueueAsyncTask(WorkerPool& pool, TaskRoutine routine, void* argument, unsigned flags,
                                           TaskCompletion completion = nullptr, void* completionArgument = nullptr);

// Threads of the process's task pool alive now: its workers (idle ones end
// after a while) and the threads of their own it started.
int ProcessTaskThreads();

// Takes the callable over (it is empty afterwards) and runs it as a task.
std::shared_ptr<TaskFuture> StartAsyncTask(TaskCallable&& callable, unsigned flags);
// Runs the callable, then the continuation when there is one, on the same
// worker; the callable's result is the task's. The continuation runs also
// after a callable that threw.
std::shared_ptr<TaskFuture> StartAsyncTask(std::shared_ptr<TaskCallable> callable, unsigned flags,
                                           std::shared_ptr<TaskCallable> continuation);

// What StartAsyncTask hands to its worker.
struct TaskRecord {
  std::shared_ptr<TaskCallable> task;
  std::shared_ptr<TaskCallable> continuation;
};
// The routine StartAsyncTask runs, with a TaskRecord as its argument: calls
// the task (kTaskThrew when it throws or is empty), then the continuation,
// then releases both. A null record gives kTaskRecordMissing. The record
// itself stays its owner's.
std::int32_t RunTaskRecord(void* record);

// Base of task objects. Start runs Run() on a thread of its own and then
// OnFinished() with its result on that same thread; the result becomes the
// future's. A Run() that throws gives OnFinished(kTaskThrew).
//
// A task held by a shared pointer is kept alive by its thread until it has
// finished; any other task must be kept alive by its owner until its future
// has finished.
class AsyncTask : public std::enable_shared_from_this<AsyncTask> {
 public:
  AsyncTask() = default;
  AsyncTask(const AsyncTask&) = delete;
  AsyncTask& operator=(const AsyncTask&) = delete;

  virtual std::int32_t Run() = 0;
  virtual void OnFinished(std::int32_t result);
  virtual ~AsyncTask() = default;

  // Starts the task and keeps its future in place of the one before.
  std::shared_ptr<TaskFuture> Start();
  // The future of the latest start; empty before the first.
  std::shared_ptr<TaskFuture> GetFuture() const;

 private:
  mutable std::mutex futureMutex_;
  std::shared_ptr<TaskFuture> future_;
};

}  // namespace ORV::Threading

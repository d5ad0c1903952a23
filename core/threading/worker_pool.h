#pragma once
// A pool of worker threads that grows with demand and shrinks when idle.
//
// An item handed to the pool runs on an idle worker when one waits, else on a
// new worker as long as fewer than Limit() pool workers are alive; beyond
// that it waits in the queue for the next free worker. A worker that finds no
// work for the idle time-out ends. Items given a thread of their own always
// get a new thread, which does not count against the limit and ends after
// that one item.
//
// Quit() stops the pool for good: queued items are abandoned (their abandon
// callback runs instead), idle workers end at once and busy workers end after
// their current item. Items that wait on something outside the pool should
// watch QuitEvent() so that they can give up.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "core/threading/event.h"

namespace ORV::Threading {

// How long a worker waits for work before it ends.
inline constexpr std::chrono::milliseconds kWorkerIdleTimeout{2000};
// How long the program's exit waits for the workers of the shared pool.
inline constexpr std::chrono::milliseconds kPoolExitWait{5000};

class WorkerPool {
 public:
  // `processors` is the number of processors to size the pool for (0 is
  // taken as 1). The limit is three workers per processor, at least 12.
  explicit WorkerPool(unsigned processors = DefaultProcessorCount(),
                      std::chrono::milliseconds idleTimeout = kWorkerIdleTimeout);
  // Quits and waits up to kPoolExitWait for the workers.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  static unsigned DefaultProcessorCount();
  static int LimitFor(unsigned processors);

  // Hands `run` over. `abandon` (may be empty) is called instead of `run`
  // when the pool quits before the item started. Returns false, calling
  // neither, when the pool has quit. Throws std::system_error when a thread
  // the item needs cannot be started and no worker is left to take it.
  bool Post(std::function<void()> run, std::function<void()> abandon = {}, bool ownThread = false);

  // Stops the pool and waits up to `bound` for every thread to end; true
  // when none is left.
  bool Quit(std::chrono::milliseconds bound = kPoolExitWait);
  // Set once the pool quits; shared so that holders may outlive the pool.
  std::shared_ptr<Utils::Sync::Event> QuitEvent() const;

  int Limit() const;
  // Threads alive: pool workers and threads of their own.
  int Workers() const;
  // Pool workers waiting for work.
  int Idle() const;
  std::size_t Queued() const;

  // Shared by the pool and its threads, so a thread that outlives the pool
  // object stays valid.
  struct State;

 private:
  std::shared_ptr<State> state_;
};

// The program's shared pool for tasks with continuations, created on first
// use and sized for this machine.
std::shared_ptr<WorkerPool> SharedWorkerPool();
// The shared pool when it exists, else nothing.
std::shared_ptr<WorkerPool> ExistingSharedWorkerPool();
// The program's exit: quits the shared pool, waits up to `bound` for its
// workers and lets it go. True when every worker ended in time (or there was
// no pool).
bool ExitSharedWorkerPool(std::chrono::milliseconds bound = kPoolExitWait);

}  // namespace ORV::Threading

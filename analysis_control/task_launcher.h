#pragma once
// The analysis' task launcher: runs a task object on the process's task pool
// (or on a thread of its own) and hands back a future through which the
// caller learns when it has ended and with which result. The recorder runs
// its writing and compression work through it.
#include <memory>

#include "core/threading/task.h"

namespace ORV {

// Runs task->Run() and then task->OnFinished(result) on a worker; a Run that
// throws gives the result kTaskThrew (-1000). The future holds the result and
// is finished afterwards, also after a throw. Flags as for QueueAsyncTask:
// kTaskLongRunning (1) marks long work, kTaskOwnThread (2) gives the task a
// thread of its own. Returns once a worker has begun the task, or with a
// finished future (kTaskNotStarted) when no worker could take it.
std::shared_ptr<Threading::TaskFuture> QueueTask(std::shared_ptr<Threading::AsyncTask> task, unsigned flags);

// Runs task.Run() and then task.OnFinished(result) on the calling thread and
// returns the result: a Run that throws gives kTaskThrew, and whatever
// OnFinished throws is swallowed, so a task can never end the worker that
// runs it.
std::int32_t RunTask(Threading::AsyncTask& task);

}  // namespace ORV

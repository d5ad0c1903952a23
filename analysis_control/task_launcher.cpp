#include "analysis_control/task_launcher.h"

#include <chrono>
#include <utility>

#include "core/threading/event.h"

namespace ORV {

std::int32_t RunTask(Threading::AsyncTask& task) {
  std::int32_t result;
  try {
    result = task.Run();
  } catch (...) {
    result = Threading::kTaskThrew;
  }
  try {
    task.OnFinished(result);
  } catch (...) {
  }
  return result;
}

std::shared_ptr<Threading::TaskFuture> QueueTask(std::shared_ptr<Threading::AsyncTask> task, unsigned flags) {
  auto started = std::make_shared<Utils::Sync::Event>();
  auto work = std::make_shared<Threading::TaskCallable>([task = std::move(task), started]() -> std::int32_t {
    started->Set();
    return task ? RunTask(*task) : Threading::kTaskThrew;
  });
  std::shared_ptr<Threading::TaskFuture> future = Threading::StartAsyncTask(std::move(work), flags, nullptr);
  // A start that no worker took finishes the future without ever setting
  // `started`; watch both.
  while (!started->Wait(std::chrono::milliseconds(20))) {
    if (future->IsFinished()) break;
  }
  return future;
}

}  // namespace ORV

#include "core/threading/tick_thread.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>

#include "core/base/event_log.h"

namespace ORV {

namespace {

constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kNsPerSecond = 1000000000;
// The last stretch before a deadline is slept with clock_nanosleep, which
// wakes more precisely than a wait on the stop event.
constexpr std::int64_t kFineSleepNs = kNsPerMs;
// How long the metronome waits for the tick worker before it reports a step
// that does not end; it keeps waiting afterwards.
constexpr std::chrono::milliseconds kWorkerStopReport{250};

std::int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

void SleepUntil(std::int64_t deadlineNs) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerSecond);
  ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerSecond);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

// What the metronome shares with its tick worker; lives on the metronome's
// stack, which outlives the worker.
struct TickWorkerContext {
  TickCallback callback = nullptr;
  void* callbackArgument = nullptr;
  std::mutex mutex;
  std::condition_variable changed;
  std::uint32_t pending = 0;      // ticks given but not yet run
  std::atomic<bool> quit{false};  // written under the mutex
  Utils::Sync::Event workerDone;

  void GiveTick() {
    {
      std::lock_guard lock(mutex);
      ++pending;
    }
    changed.notify_one();
  }

  void Quit() {
    {
      std::lock_guard lock(mutex);
      quit.store(true);
    }
    changed.notify_one();
  }
};

void TickWorker(TickWorkerContext& ctx) {
  std::unique_lock lock(ctx.mutex);
  for (;;) {
    ctx.changed.wait(lock, [&] { return ctx.pending > 0 || ctx.quit.load(); });
    if (ctx.quit.load()) break;
    const std::uint32_t n = ctx.pending;
    ctx.pending = 0;
    lock.unlock();
    for (std::uint32_t i = 0; i < n && !ctx.quit.load(); ++i) {
      try {
        ctx.callback(ctx.callbackArgument);
      } catch (...) {
        break;  // a failing step loses the rest of its batch; later ticks run
      }
    }
    lock.lock();
  }
  lock.unlock();
  ctx.workerDone.Set();
}

}  // namespace

TickThreadControl::~TickThreadControl() { Stop(); }

bool TickThreadControl::Start(std::int32_t periodMs, TickCallback callback, void* callbackArgument) {
  if (thread_.joinable() || periodMs < 1 || callback == nullptr) return false;
  stopEvent_.Reset();
  periodMs_ = periodMs;
  callback_ = callback;
  callbackArgument_ = callbackArgument;
  ticks_.store(0);
  try {
    thread_ = std::thread(RelativeTimeTickThreadProc, this);
  } catch (const std::system_error& e) {
    LogError(std::string("TickThreadControl::Start() - cannot start the tick thread: ") + e.what());
    return false;
  }
  return true;
}

void TickThreadControl::Stop() {
  if (!thread_.joinable()) return;
  stopEvent_.Set();
  thread_.join();
}

void TickThreadControl::RelativeTimeTickThreadProc(TickThreadControl* control) { control->RelativeTimeTickThread(); }

void TickThreadControl::RelativeTimeTickThread() {
  // Timer slack is kept per thread; the finest slack makes the absolute
  // sleeps below end close to their deadlines.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  TickWorkerContext ctx;
  ctx.callback = callback_;
  ctx.callbackArgument = callbackArgument_;
  std::thread worker;
  try {
    worker = std::thread(TickWorker, std::ref(ctx));
  } catch (const std::system_error& e) {
    LogError(std::string("RelativeTimeTickThread() - cannot start the tick worker: ") + e.what());
    return;
  }

  const std::int64_t periodNs = static_cast<std::int64_t>(periodMs_) * kNsPerMs;
  std::int64_t deadline = MonotonicNs();
  ticks_.fetch_add(1, std::memory_order_relaxed);
  ctx.GiveTick();
  for (;;) {
    // Deadlines are start + k * period: a late wake-up shortens the next
    // sleep instead of shifting every later tick, and a metronome that fell
    // behind gives the missed ticks at once.
    deadline += periodNs;
    const std::int64_t remaining = deadline - MonotonicNs();
    if (remaining > kFineSleepNs) {
      if (stopEvent_.Wait(std::chrono::milliseconds((remaining - kFineSleepNs) / kNsPerMs))) break;
    } else if (stopEvent_.IsSet()) {
      break;
    }
    SleepUntil(deadline);
    ticks_.fetch_add(1, std::memory_order_relaxed);
    ctx.GiveTick();
  }

  ctx.Quit();
  if (!ctx.workerDone.Wait(kWorkerStopReport)) {
    LogWarning(
        "RelativeTimeTickThread() - the step still runs 250 ms after the stop request; "
        "waiting for it to end");
  }
  worker.join();
}

}  // namespace ORV

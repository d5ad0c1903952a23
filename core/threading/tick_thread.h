#pragma once
// The tick thread: a metronome that gives a tick every period and a tick
// worker that runs the owner's step once for every tick.
//
// The metronome sleeps to absolute deadlines on the monotonic clock, so the
// ticks keep the period over any length of time; the first tick comes at
// once. When a step runs longer than a period, the ticks that came meanwhile
// are run one after the other as soon as it returns, so the number of steps
// follows the number of ticks.
//
// Stop is cooperative: it ends the metronome, lets a step that is running
// finish, runs no further step, and returns once both threads have ended.
#include <atomic>
#include <cstdint>
#include <thread>

#include "core/threading/event.h"

namespace ORV {

using TickCallback = void (*)(void* argument);

class TickThreadControl {
 public:
  TickThreadControl() = default;
  // Stops a running metronome.
  ~TickThreadControl();
  TickThreadControl(const TickThreadControl&) = delete;
  TickThreadControl& operator=(const TickThreadControl&) = delete;

  // Starts the metronome with a period in whole milliseconds; the step
  // `callback`(`callbackArgument`) runs once per tick on the tick worker.
  // False, starting nothing, while a metronome exists (Stop it first), for a
  // period below 1 ms, without a step, or when no thread can be started.
  bool Start(std::int32_t periodMs, TickCallback callback, void* callbackArgument);
  // Stops the metronome and waits for both threads. Never call it from the
  // step itself.
  void Stop();

  bool IsRunning() const { return thread_.joinable(); }
  std::int32_t PeriodMs() const { return periodMs_; }
  // Ticks given since the last Start.
  std::uint64_t TickCount() const { return ticks_.load(std::memory_order_relaxed); }

 private:
  static void RelativeTimeTickThreadProc(TickThreadControl* control);
  void RelativeTimeTickThread();

  std::thread thread_;
  Utils::Sync::Event stopEvent_;
  std::int32_t periodMs_ = 0;
  TickCallback callback_ = nullptr;
  void* callbackArgument_ = nullptr;
  std::atomic<std::uint64_t> ticks_{0};
};

}  // namespace ORV

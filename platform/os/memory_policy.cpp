#include "platform/os/memory_policy.h"

#include <malloc.h>

#include <utility>

namespace ORV::OS {

void ReturnFreeMemory() { malloc_trim(0); }

MemoryTrimmer::MemoryTrimmer(std::chrono::milliseconds period, std::function<void()> trim)
    : period_(period), trim_(std::move(trim)), thread_([this] { Loop(); }) {}

MemoryTrimmer::~MemoryTrimmer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void MemoryTrimmer::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (wake_.wait_for(lock, period_, [this] { return stop_; })) return;
    lock.unlock();
    trim_();
    lock.lock();
  }
}

void ApplyProgramMemoryPolicy() {
  mallopt(M_ARENA_MAX, kProgramArenas);
  // Lives until the process ends; its destructor stops the thread.
  static MemoryTrimmer trimmer(kTrimPeriod);
}

}  // namespace ORV::OS

#pragma once
// Locking for the locks that the capture thread and the analysis workers
// meet every few microseconds and hold for well under one: a thread that
// finds the lock taken tries again for a moment before it sleeps, because
// putting a thread to sleep and waking it costs far more than the wait.
#include <mutex>

namespace ORV {

// Tells the processor that this thread is waiting in a loop, so the loop
// gives way to the thread that holds what it waits for.
inline void PauseInWaitLoop() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

template <class Mutex>
std::unique_lock<Mutex> LockBriefly(Mutex& mutex) {
  constexpr int kTries = 256;
  for (int i = 0; i < kTries; ++i) {
    if (mutex.try_lock()) return std::unique_lock<Mutex>(mutex, std::adopt_lock);
    PauseInWaitLoop();
  }
  return std::unique_lock<Mutex>(mutex);
}

}  // namespace ORV

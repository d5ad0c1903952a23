#pragma once
// How the program's heap gives memory back over a long run. The C library's
// allocator makes an arena for each thread that meets a busy one (up to
// eight per core) and keeps the freed memory of every arena for reuse: over
// hours of capture on a dozen threads, tens of megabytes sit freed but held.
// The program caps the arenas and, on a thread of its own, hands the freed
// pages back to the system once a minute, away from the capture and
// analysis threads.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace ORV::OS {

// Arenas for the whole program: its busy threads (capture, analysis,
// recording) allocate mostly from their per-thread caches, so a few arenas
// serve them without waiting on each other.
inline constexpr int kProgramArenas = 4;
inline constexpr std::chrono::seconds kTrimPeriod{60};

// Caps the arenas at kProgramArenas and starts handing freed memory back
// every kTrimPeriod until the process ends. Call it first thing in main:
// the cap holds only for threads that have not allocated yet.
void ApplyProgramMemoryPolicy();

// Gives the pages of freed memory back to the system, from every arena (not
// only the top of the main heap); memory in use stays where it is.
void ReturnFreeMemory();

// Calls `trim` every `period` on a thread of its own until destroyed.
class MemoryTrimmer {
 public:
  explicit MemoryTrimmer(std::chrono::milliseconds period, std::function<void()> trim = ReturnFreeMemory);
  ~MemoryTrimmer();
  MemoryTrimmer(const MemoryTrimmer&) = delete;
  MemoryTrimmer& operator=(const MemoryTrimmer&) = delete;

 private:
  void Loop();

  const std::chrono::milliseconds period_;
  const std::function<void()> trim_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace ORV::OS

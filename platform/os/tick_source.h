#pragma once
// The system tick count: milliseconds since boot as an unsigned 32-bit value
// that wraps after about 49.7 days, counting through suspend (CLOCK_BOOTTIME).
//
// Everything that stamps experiment times reads it through GetTickCount(), so
// tests can install a source of their own.
#include <atomic>
#include <cstdint>

namespace ORV::OS {

class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual std::uint32_t Now() = 0;
};

// The tick count of the installed source (the system's by default).
std::uint32_t GetTickCount();

// Installs a source for the whole process; nullptr restores the system's.
// The caller keeps the source alive while it is installed.
void SetTickSource(TickSource* source);

// A source that tests move by hand.
class ManualTickSource : public TickSource {
 public:
  explicit ManualTickSource(std::uint32_t start = 0) : now_(start) {}
  std::uint32_t Now() override { return now_.load(); }
  void Set(std::uint32_t t) { now_.store(t); }
  void Advance(std::uint32_t ms) { now_.fetch_add(ms); }

 private:
  std::atomic<std::uint32_t> now_;
};

// Installs a source for the lifetime of the guard.
class ScopedTickSource {
 public:
  explicit ScopedTickSource(TickSource& s) { SetTickSource(&s); }
  ~ScopedTickSource() { SetTickSource(nullptr); }
  ScopedTickSource(const ScopedTickSource&) = delete;
  ScopedTickSource& operator=(const ScopedTickSource&) = delete;
};

}  // namespace ORV::OS

#pragma once
// A manual-reset event: once set it stays set, releasing every waiter, until
// it is reset. Created unset.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ORV::Utils::Sync {

class Event {
 public:
  Event() = default;
  virtual ~Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Blocks until the event is set.
  void Wait() const;
  // Blocks until the event is set or the time-out has passed; true when set.
  // A zero time-out only tests the event.
  bool Wait(std::chrono::milliseconds timeout) const;
  bool IsSet() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace ORV::Utils::Sync

#pragma once
// The newest value of something that producers on any thread keep replacing,
// for a consumer that only ever wants the latest one: a pane showing a
// reading, the picture of a profile, a sampler taking the newest reading on
// its tick.
//
// Put replaces the value. The first Put after the consumer last took one
// tells the consumer (for a window: posts it one message); the Puts that
// follow before it takes the value only replace it, so a burst of values
// costs the consumer one notice and it sees the newest. A notice that cannot
// be delivered (the window or the loop is gone) drops the value again, so the
// next Put tries anew.
//
// The value stays readable after it was taken (Current), so a consumer that
// missed a notice can still show the last state.
#include <mutex>
#include <utility>

namespace ORV::Threading {

template <class T>
class NewestValue {
 public:
  NewestValue() = default;
  NewestValue(const NewestValue&) = delete;
  NewestValue& operator=(const NewestValue&) = delete;

  // Keeps `value` as the newest; nobody is told.
  void Put(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
    fresh_ = true;
  }

  // Keeps `value` as the newest and, when the consumer had taken the value
  // before, calls `tell` (outside the lock). A `tell` that returns false
  // drops the fresh value again.
  template <class Tell>
  void Put(T value, Tell&& tell) {
    bool told;
    {
      std::lock_guard lock(mutex_);
      value_ = std::move(value);
      told = fresh_;
      fresh_ = true;
    }
    if (told || tell()) return;
    std::lock_guard lock(mutex_);
    fresh_ = false;
  }

  // The consumer: when a value came since the last Take, copies the newest
  // into `out` and returns true; otherwise leaves `out` alone.
  bool Take(T& out) {
    std::lock_guard lock(mutex_);
    if (!fresh_) return false;
    out = value_;
    fresh_ = false;
    return true;
  }

  // True when a value came since the last Take.
  bool HasNew() const {
    std::lock_guard lock(mutex_);
    return fresh_;
  }

  // A copy of the newest value put (a default value before the first).
  T Current() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

  // Forgets that a value is waiting; the next Put tells the consumer again.
  void Clear() {
    std::lock_guard lock(mutex_);
    fresh_ = false;
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
  bool fresh_ = false;  // put since the last Take; the consumer has been told
};

}  // namespace ORV::Threading

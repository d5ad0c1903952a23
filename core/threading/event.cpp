#include "core/threading/event.h"

namespace ORV::Utils::Sync {

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

void Event::Wait() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_; });
}

bool Event::Wait(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  if (timeout <= std::chrono::milliseconds::zero()) return set_;
  return changed_.wait_for(lock, timeout, [this] { return set_; });
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

}  // namespace ORV::Utils::Sync

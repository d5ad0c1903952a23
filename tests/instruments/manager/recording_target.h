#pragma once
// A message target that records what is posted to it, and can hand each
// WM_NEW_SAMPLE to a handler as a window would.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/os/message_target.h"

namespace ORV::Test {

struct Posted {
  std::uint32_t message;
  OS::WPARAM wParam;
  OS::LPARAM lParam;
  bool operator==(const Posted&) const = default;
};

class RecordingTarget final : public OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) override {
    {
      std::lock_guard lock(mutex_);
      if (refuse_) return false;
      posted_.push_back({message, wParam, lParam});
    }
    changed_.notify_all();
    return true;
  }
  std::vector<Posted> Messages() const {
    std::lock_guard lock(mutex_);
    return posted_;
  }
  std::size_t Count() const {
    std::lock_guard lock(mutex_);
    return posted_.size();
  }
  // Waits until `count` messages came; false after `limit`.
  bool WaitFor(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return posted_.size() >= count; });
  }
  void Refuse(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Posted> posted_;
  bool refuse_ = false;
};

}  // namespace ORV::Test

#pragma once
// Fixtures of the threading tests: user-interface threads and small waits.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "core/threading/ui_dispatcher.h"

namespace ORV::ThreadTest {

// Generous bound for things that must happen; never reached unless the code
// under test lost work.
inline constexpr std::chrono::seconds kMustHappen{30};

// Polls `condition` until it holds or kMustHappen has passed.
inline bool Eventually(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + kMustHappen;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// A user-interface thread: a loop that runs posted calls in order.
class LoopDispatcher : public Threading::UiDispatcher {
 public:
  LoopDispatcher() : thread_([this] { Loop(); }) {}
  ~LoopDispatcher() override { Stop(); }

  bool Post(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    if (stopped_) return false;
    ++posted_;
    calls_.push_back(std::move(call));
    changed_.notify_one();
    return true;
  }
  bool IsUiThread() const override { return std::this_thread::get_id() == thread_.get_id(); }

  std::thread::id ThreadId() const { return thread_.get_id(); }
  int Posted() const {
    std::lock_guard lock(mutex_);
    return posted_;
  }
  // Ends the loop after the calls already posted; later posts are refused.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      changed_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopped_ || !calls_.empty(); });
      if (calls_.empty()) return;
      std::function<void()> call = std::move(calls_.front());
      calls_.pop_front();
      lock.unlock();
      call();
      call = nullptr;
      lock.lock();
    }
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> calls_;
  int posted_ = 0;
  bool stopped_ = false;
  std::thread thread_;
};

// A user-interface thread that has stopped turning its loop: it accepts
// calls and never runs them on its own.
class StalledDispatcher : public Threading::UiDispatcher {
 public:
  bool Post(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
    return true;
  }
  bool IsUiThread() const override { return false; }
  int Held() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(calls_.size());
  }
  // Runs what was posted, on the calling thread.
  void RunHeld() {
    std::deque<std::function<void()>> calls;
    {
      std::lock_guard lock(mutex_);
      calls.swap(calls_);
    }
    for (auto& c : calls) c();
  }

 private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

// Installs a dispatcher for the lifetime of the guard.
class ScopedDispatcher {
 public:
  explicit ScopedDispatcher(std::shared_ptr<Threading::UiDispatcher> d) { Threading::SetUiDispatcher(std::move(d)); }
  ~ScopedDispatcher() { Threading::SetUiDispatcher(nullptr); }
};

}  // namespace ORV::ThreadTest

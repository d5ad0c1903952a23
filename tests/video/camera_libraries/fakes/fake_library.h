#pragma once
// What each fake camera maker library keeps: the log of calls made into it
// (read by the tests through FakeCamera_Calls) and the thread that makes
// frames while a camera streams. Everything here is private to the library
// that includes it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex g_callsLock;
std::vector<std::string> g_calls;

void Record(std::string call) {
  std::lock_guard guard(g_callsLock);
  g_calls.push_back(std::move(call));
}

// Makes a frame about every millisecond until stopped; frame n has every
// pixel n % 256 (from 1).
class FrameThread {
 public:
  ~FrameThread() { Stop(); }
  void Start(std::size_t size, std::function<void(const std::uint8_t*, std::uint32_t, std::uint32_t)> deliver) {
    Stop();
    running_ = true;
    thread_ = std::thread([this, size, deliver = std::move(deliver)] {
      std::vector<std::uint8_t> frame(size);
      for (std::uint32_t n = 1; running_; ++n) {
        std::memset(frame.data(), static_cast<int>(n % 256), frame.size());
        deliver(frame.data(), static_cast<std::uint32_t>(frame.size()), n);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  // Returns once no frame is being delivered and none will be.
  void Stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace

extern "C" {
// Copies the calls made so far, one a line, into `buffer` (zero-terminated,
// cut at `capacity`); returns the length of the whole text.
std::size_t FakeCamera_Calls(char* buffer, std::size_t capacity) {
  std::string text;
  {
    std::lock_guard guard(g_callsLock);
    for (const std::string& call : g_calls) text += call + "\n";
  }
  if (capacity > 0) {
    const std::size_t n = std::min(capacity - 1, text.size());
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return text.size();
}
}

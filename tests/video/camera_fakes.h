#pragma once
// Scriptable stand-ins for the three camera makers' libraries, each with a
// log of the calls made, and a recording notify window.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "platform/cameras/lumenera/lucam_api.h"
#include "platform/cameras/tis/tis_api.h"
#include "platform/cameras/ximea/xi_api.h"
#include "platform/os/message_target.h"
#include "video/cameras/camera_interface.h"

namespace ORV::Test {

// Collects posted messages.
class RecordingWindow : public OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t message, OS::WPARAM, OS::LPARAM) override {
    std::lock_guard guard(lock_);
    messages_.push_back(message);
    changed_.notify_all();
    return true;
  }
  // Waits (up to 10 s) for n messages.
  bool WaitForMessages(std::size_t n) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return messages_.size() >= n; });
  }
  std::vector<std::uint32_t> messages() const {
    std::lock_guard guard(lock_);
    return messages_;
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::uint32_t> messages_;
};

// Counts frame notifications and copies each frame while it is told of it.
class CopyingCallback : public ORVCameraCallback {
 public:
  explicit CopyingCallback(CameraInterface* camera = nullptr) : camera_(camera) {}
  void OnFrameReady() override {
    std::lock_guard guard(lock_);
    ++calls_;
    if (camera_ != nullptr) {
      last_.assign(static_cast<std::size_t>(camera_->GetWidth()) * camera_->GetHeight(), 0);
      copied_ = camera_->CopyFrame(last_.data());
      copiedEach_.push_back(copied_);
    }
    changed_.notify_all();
  }
  int calls() const {
    std::lock_guard guard(lock_);
    return calls_;
  }
  bool WaitForCalls(int n) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return calls_ >= n; });
  }
  std::vector<std::uint8_t> last() const {
    std::lock_guard guard(lock_);
    return last_;
  }
  bool copied() const {
    std::lock_guard guard(lock_);
    return copied_;
  }
  // Whether each notification's copy succeeded.
  std::vector<bool> copiedEach() const {
    std::lock_guard guard(lock_);
    return copiedEach_;
  }

 private:
  CameraInterface* camera_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  int calls_ = 0;
  bool copied_ = false;
  std::vector<bool> copiedEach_;
  std::vector<std::uint8_t> last_;
};

// A log of calls, shared by the fakes.
class CallLog {
 public:
  void Add(std::string call) {
    std::lock_guard guard(lock_);
    calls_.push_back(std::move(call));
    changed_.notify_all();
  }
  std::vector<std::string> calls() const {
    std::lock_guard guard(lock_);
    return calls_;
  }
  int Count(const std::string& call) const {
    std::lock_guard guard(lock_);
    int n = 0;
    for (const auto& c : calls_) n += c == call ? 1 : 0;
    return n;
  }
  // Waits (up to 10 s) until `call` was logged n times.
  bool WaitFor(const std::string& call, int n) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] {
      int count = 0;
      for (const auto& c : calls_) count += c == call ? 1 : 0;
      return count >= n;
    });
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
};

class FakeLucam {
 public:
  long cameras = 1;
  Cameras::LucamFrameFormat format{0, 0, 1392, 1040, 0, 1, 1, 0, 0};
  float frameRate = 29.97f;
  std::map<unsigned long, float> properties{{80, 0.0f}, {40, 1.0f}, {0, 0.0f}, {5, 1.0f}};
  bool openFails = false, getFormatFails = false, setFormatFails = false, propertyFails = false;
  std::map<unsigned long, float> written;
  CallLog log;

  Cameras::LucamApi Table();
  // Runs the registered streaming callback with a frame.
  void Deliver(const std::vector<std::uint8_t>& frame);

 private:
  Cameras::LucamStreamingCallback callback_ = nullptr;
  void* context_ = nullptr;
  int handle_ = 0;
};

class FakeTis {
 public:
  bool initialises = true;
  bool trigger = true;
  std::vector<std::string> devices{"DMx 41AU02 (1)", "DMx 41AU02 (2)"};
  std::vector<std::string> uniqueNames{"DMx 41AU02 41310001", "DMx 41AU02 41310002"};
  // Names that open; empty: every device name and model prefix opens.
  std::vector<std::string> opensOnly;
  double frameRate = 15.0;
  int width = 1280, height = 960;
  std::map<int, std::pair<long, long>> ranges{{9, {4, 63}}, {0, {1, 10000}}, {5, {1, 500}}};
  std::map<int, long> values{{9, 16}, {0, 333}, {5, 100}};
  std::vector<int> autoVideo{9, 0, 1, 5, 7, 8};
  bool autoExposure = true;
  // The rows the library says the next frames filled (-1: it does not say).
  std::atomic<int> rows{-1};
  CallLog log;

  Cameras::TisApi Table();
  void Deliver(const std::vector<std::uint8_t>& frame);
  void LoseDevice();

 private:
  int grabber_ = 0;
  Cameras::TisFrameCallback frame_ = nullptr;
  Cameras::TisDeviceLostCallback lost_ = nullptr;
  void* frameContext_ = nullptr;
  void* lostContext_ = nullptr;
};

// Images the fake XIMEA library hands out, in turn; an empty frame is a
// failed read. When the script runs out the last entry repeats.
class FakeXi {
 public:
  int devices = 1;
  std::map<std::string, int> ints{{"width", 640}, {"height", 512}, {"framerate", 200}};
  std::map<std::string, float> floats{{"gain:min", 0.0f},   {"gain:max", 24.0f}, {"gammaY:min", 0.3f},
                                      {"gammaY:max", 1.0f}, {"gain", 0.0f},      {"gammaY", 1.0f},
                                      {"exposure", 2500.0f}};
  struct Frame {
    std::uint32_t width = 0, height = 0;
    std::uint8_t value = 0;
  };
  std::vector<Frame> script{{}};
  std::vector<std::uint32_t> imageRecordSizes;
  CallLog log;

  Cameras::XiApi Table();
  std::map<std::string, float> Written() const;

 private:
  mutable std::mutex lock_;
  std::size_t next_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::map<std::string, float> written_;
  int handle_ = 0;
};

}  // namespace ORV::Test

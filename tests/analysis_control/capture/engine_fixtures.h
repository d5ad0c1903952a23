#pragma once
// Fixtures of the capture engine tests: a camera back-end the test hands
// frames to, a simulated vessel camera for the library stand-in, the
// engine's events recorded, a frame timer and a window that only count, and
// a video device layer with one device.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "../analysis_fixtures.h"
#include "analysis_control/capture_engine.h"
#include "platform/cameras/capture/capture_device.h"
#include "platform/cameras/simlab/simulated_tis.h"
#include "platform/sim/vessel_camera.h"

namespace ORV::CaptureTest {

using AnalysisTest::FakeClock;
using AnalysisTest::ZoneEvent;

// A camera back-end whose frames the test delivers, on the calling thread,
// the way a camera library calls back: under the frame lock.
class FakeCamera : public CameraInterface {
 public:
  struct Setup {
    std::vector<std::string> uniqueNames{"DMx 41AU02 0001"};
    int width = 320;
    int height = 240;
    int frameRate = 15;
    bool opens = true;
    bool starts = true;
    // The devices' names; "Camera <n>" when empty.
    std::vector<std::string> deviceNames{};
  };
  explicit FakeCamera(Setup setup) : setup_(std::move(setup)) {
    for (std::size_t i = 0; i < setup_.uniqueNames.size(); ++i)
      devices_.push_back(i < setup_.deviceNames.size() ? setup_.deviceNames[i] : "Camera " + std::to_string(i + 1));
  }

  bool IsAvailable() override { return true; }
  int GetDeviceCount() override { return static_cast<int>(devices_.size()); }
  const char* GetDeviceName(int i) override { return InRange(i) ? devices_[i].c_str() : nullptr; }
  const char* GetUniqueName(int i) override { return InRange(i) ? setup_.uniqueNames[i].c_str() : nullptr; }
  bool Open(std::string model) override {
    opened = model;
    return setup_.opens;
  }
  bool Start() override {
    ++starts;
    return setup_.starts;
  }
  void Stop() override { ++stops; }
  int GetWidth() override { return setup_.width; }
  int GetHeight() override { return setup_.height; }
  int GetFrameRate() override { return setup_.frameRate; }
  bool CopyFrame(std::uint8_t* destination) override {
    return frames_.CopyTo(destination, setup_.width, setup_.height);
  }
  bool GetGain(int* lo, int* hi, int* v) override { return Range(lo, hi, v, 7); }
  bool SetGain(int) override { return true; }
  bool GetExposure(int* lo, int* hi, int* v) override { return Range(lo, hi, v, 8); }
  bool SetExposure(int) override { return true; }
  bool GetGamma(int* lo, int* hi, int* v) override { return Range(lo, hi, v, 9); }
  bool SetGamma(int) override { return true; }

  // A frame that came torn: counted, and neither stored nor told.
  void DeliverTorn() { CountTornFrame(); }

  // Stores a frame and tells the receiver, as a library thread would.
  void Deliver(const std::vector<std::uint8_t>& pixels) {
    std::lock_guard guard(frames_.lock());
    frames_.Store(pixels.data(), setup_.width, setup_.height);
    if (GetNotifyWindow() != nullptr) {
      if (ORVCameraCallback* callback = GetFrameCallback()) callback->OnFrameReady();
    }
  }

  std::string opened;
  std::atomic<int> starts{0};
  std::atomic<int> stops{0};

 private:
  bool InRange(int i) const { return i >= 0 && i < static_cast<int>(devices_.size()); }
  static bool Range(int* lo, int* hi, int* v, int value) {
    *lo = 0;
    *hi = 100;
    *v = value;
    return true;
  }
  Setup setup_;
  std::vector<std::string> devices_;
};

// Counts posted messages; the test delivers none of them.
class NullWindow : public OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t message, OS::WPARAM, OS::LPARAM) override {
    std::lock_guard lock(mutex);
    messages.push_back(message);
    return true;
  }
  std::mutex mutex;
  std::vector<std::uint32_t> messages;
};

class CountingTimer : public FrameTimer {
 public:
  void Start(int intervalMs) override {
    interval = intervalMs;
    running = true;
  }
  void Stop() override { running = false; }
  int interval = 0;
  bool running = false;
};

// Every event of the engine, in order; the zone results apart.
class EngineEvents : public CaptureEvents {
 public:
  void ZoneAnalysisData(int zone, int vl, int vr, int ll, int lr) override {
    std::lock_guard lock(mutex_);
    zones_.push_back({zone, vl, vr, ll, lr});
  }
  void RawZoneData(int, const std::uint8_t*, int) override {}
  void IndexImage(std::uint32_t time, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint8_t*) override {
    Log("IndexImage " + std::to_string(time));
  }
  void DimensionsChanged(int w, int h) override {
    Log("DimensionsChanged " + std::to_string(w) + "x" + std::to_string(h));
  }
  void ZonesReset() override { Log("ZonesReset"); }
  void CaptureStopped() override { Log("CaptureStopped"); }
  void FramePrepared() override { ++framesPrepared; }

  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int Count(const std::string& call) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
  }
  std::vector<ZoneEvent> Zones() const {
    std::lock_guard lock(mutex_);
    return zones_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    zones_.clear();
  }
  std::atomic<int> framesPrepared{0};

 private:
  void Log(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<ZoneEvent> zones_;
};

// A vessel pulsating slowly between 230 and 270 um outside, keeping the wall
// area of a 250 um vessel with 15 um walls.
inline Sim::VesselGeometry SlowPulse(double t) {
  const double outer = 250.0 + 20.0 * std::sin(2.0 * std::numbers::pi * t / 5.0);
  const double area = 250.0 * 250.0 - 220.0 * 220.0;
  return {outer, std::sqrt(outer * outer - area)};
}
inline Sim::VesselGeometry Steady(double) { return {250.0, 220.0}; }

inline Sim::VesselCamera::Options VesselOptions(int width, int height, double rate, bool exact) {
  Sim::VesselCamera::Options o;
  o.width = width;
  o.height = height;
  o.frameRate = rate;
  o.micronsPerPixel = 1.0;
  o.exact = exact;
  return o;
}

// A vessel camera as the library stand-in drives it: frame n, n+1, ... at
// the rate it was made with, whatever rate it is asked for.
class VesselFeed : public OS::StandInCamera {
 public:
  explicit VesselFeed(Sim::VesselCamera::Options options) : camera_(SlowPulse, options) {}
  int Width() const override { return camera_.Width(); }
  int Height() const override { return camera_.Height(); }
  double FrameRate() const override { return camera_.FrameRate(); }
  void SetFrameRate(double) override {}
  void SetResponse(double gain, double gamma) override {
    camera_.SetGain(gain);
    camera_.SetGamma(gamma);
  }
  Fill FillNextFrame(std::vector<std::uint8_t>& pixels, int& width, int& height) override {
    std::lock_guard lock(mutex_);
    if (camera_.Grab(next_++, frame_) != Sim::GrabResult::Frame) return Fill::kDropped;
    width = frame_.width;
    height = frame_.height;
    pixels = frame_.pixels;
    return Fill::kFrame;
  }

 private:
  Sim::VesselCamera camera_;
  std::mutex mutex_;
  Sim::VesselFrame frame_;
  std::uint64_t next_ = 0;
};

// One video device that always has a frame of 320 x 240 (grey 90 in BGR).
class OneDeviceLayer : public Cameras::CaptureDeviceLayer {
 public:
  class Device : public Cameras::CaptureDevice {
   public:
    std::vector<Cameras::FormatCapability> Capabilities() override { return {{kBgr24, 320, 320, 1, 240, 240, 1}}; }
    bool GetFormat(Cameras::FrameFormat& f) override {
      f = {kBgr24, 320, 240};
      return true;
    }
    bool SetFormat(Cameras::FrameFormat& f) override {
      f = {kBgr24, 320, 240};
      return true;
    }
    std::vector<Cameras::CaptureInput> Inputs() override { return {}; }
    bool SelectInput(int) override { return true; }
    bool QueryControl(std::uint32_t, Cameras::ControlRange& r) override {
      r = {0, 255, 1, 128};
      return true;
    }
    bool GetControl(std::uint32_t, long& v) override {
      v = 33;
      return true;
    }
    bool SetControl(std::uint32_t, long) override { return true; }
    bool StartStreaming() override { return true; }
    void StopStreaming() override {}
    bool ReadFrame(std::vector<std::uint8_t>& bgr, std::chrono::milliseconds) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      bgr.assign(320 * 240 * 3, 90);
      return true;
    }
  };
  static constexpr std::uint32_t kBgr24 = 0x33524742;  // "BGR3"
  std::vector<Cameras::CaptureDeviceInfo> ListDevices() override { return {{"0", "USB Camera"}}; }
  std::unique_ptr<Cameras::CaptureDevice> Open(const std::string&) override { return std::make_unique<Device>(); }
};

}  // namespace ORV::CaptureTest

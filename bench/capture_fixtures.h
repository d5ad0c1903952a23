#pragma once
// A camera back-end, a window, the engine's events and a clock for the
// benchmarks of the capture engine and the analysis control's painting.
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis_control/capture_engine.h"
#include "core/storage/relative_time.h"
#include "platform/sim/vessel_camera.h"

namespace BenchCapture {

constexpr int kWidth = 1280;
constexpr int kHeight = 960;

// A camera whose frames the benchmark hands in, the way a library thread does.
class BenchCamera : public ORV::CameraInterface {
 public:
  bool IsAvailable() override { return true; }
  int GetDeviceCount() override { return 1; }
  const char* GetDeviceName(int) override { return "Bench camera"; }
  const char* GetUniqueName(int) override { return "DMx 41AU02 BENCH"; }
  bool Open(std::string) override { return true; }
  bool Start() override { return true; }
  void Stop() override {}
  int GetWidth() override { return kWidth; }
  int GetHeight() override { return kHeight; }
  int GetFrameRate() override { return 200; }
  bool CopyFrame(std::uint8_t* destination) override { return frames_.CopyTo(destination, kWidth, kHeight); }
  bool GetGain(int*, int*, int*) override { return false; }
  bool SetGain(int) override { return false; }
  bool GetExposure(int*, int*, int*) override { return false; }
  bool SetExposure(int) override { return false; }
  bool GetGamma(int*, int*, int*) override { return false; }
  bool SetGamma(int) override { return false; }

  void Deliver(const std::vector<std::uint8_t>& pixels) {
    std::lock_guard guard(frames_.lock());
    frames_.Store(pixels.data(), kWidth, kHeight);
    if (ORV::ORVCameraCallback* callback = GetFrameCallback()) callback->OnFrameReady();
  }
};

class Window : public ORV::OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t, ORV::OS::WPARAM, ORV::OS::LPARAM) override { return true; }
};

class Events : public ORV::CaptureEvents {
 public:
  void ZoneAnalysisData(int, int, int, int, int) override { results.fetch_add(1, std::memory_order_relaxed); }
  void RawZoneData(int, const std::uint8_t*, int) override {}
  void IndexImage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint8_t*) override {}
  void DimensionsChanged(int, int) override {}
  void ZonesReset() override {}
  void CaptureStopped() override {}
  std::atomic<long> results{0};
};

class Clock : public ORV::RelativeTime::Interface {
 public:
  void Start() override {}
  void Pause() override {}
  void Stop() override {}
  void CloseStore() override {}
  void OpenStore(const std::optional<std::string>&) override {}
  std::uint32_t Now() override {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
  }
  std::uint32_t Elapsed() override { return Now(); }
  bool IsRunning() override { return true; }
  void Subscribe(const std::shared_ptr<ORV::RelativeTime::SubscriberEvent>&) override {}
};

// Two frames of the simulated vessel, shown in turn.
inline const std::vector<std::vector<std::uint8_t>>& Frames() {
  static const auto frames = [] {
    ORV::Sim::VesselCamera::Options o;
    o.width = kWidth;
    o.height = kHeight;
    o.frameRate = 200.0;
    ORV::Sim::VesselCamera camera([](double) { return ORV::Sim::VesselGeometry{250.0, 220.0}; }, o);
    std::vector<std::vector<std::uint8_t>> out;
    ORV::Sim::VesselFrame frame;
    for (int i = 0; i < 2; ++i) {
      camera.Grab(i, frame);
      out.push_back(frame.pixels);
    }
    return out;
  }();
  return frames;
}

}  // namespace BenchCapture

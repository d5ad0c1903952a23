#include "platform/cameras/simlab/simulated_tis.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace ORV::Cameras {

namespace {

using Clock = std::chrono::steady_clock;

struct SimulatedCamera {
  std::shared_ptr<OS::StandInCamera> feed;
  std::string deviceName;
  std::string uniqueName;
  std::mutex lock;
  long gain = kSimulatedGainRange[2];
  long exposure = kSimulatedExposureRange[2];
  long gamma = kSimulatedGammaRange[2];

  // Video property `property`'s range and value; null for properties the camera lacks.
  long* Property(int property, const long** range) {
    switch (property) {
      case kTisPropertyGain:
        *range = kSimulatedGainRange;
        return &gain;
      case kTisPropertyExposure:
        *range = kSimulatedExposureRange;
        return &exposure;
      case kTisPropertyGamma:
        *range = kSimulatedGammaRange;
        return &gamma;
      default:
        return nullptr;
    }
  }
  void ApplyResponse() { feed->SetResponse(gain / 50.0 * (exposure / 100.0), gamma / 100.0); }
};

struct SimulatedLibrary {
  std::vector<std::unique_ptr<SimulatedCamera>> cameras;

  SimulatedCamera* Find(const std::string& name) {
    for (auto& c : cameras) {
      if (c->deviceName == name || c->uniqueName == name) return c.get();
    }
    for (auto& c : cameras) {
      if (!name.empty() && c->deviceName.starts_with(name)) return c.get();
    }
    return nullptr;
  }
};

// One grabber: the camera it opened and the thread that delivers its frames.
class SimulatedGrabber {
 public:
  ~SimulatedGrabber() { StopLive(); }

  TisFrameCallback frame = nullptr;
  void* frameContext = nullptr;
  TisDeviceLostCallback lost = nullptr;
  void* lostContext = nullptr;
  SimulatedCamera* camera = nullptr;

  bool StartLive() {
    if (camera == nullptr) return false;
    StopLive();
    stop_ = false;
    width_ = camera->feed->Width();
    height_ = camera->feed->Height();
    thread_ = std::thread([this] { Deliver(); });
    return true;
  }

  void StopLive() {
    {
      std::lock_guard guard(lock_);
      stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // The rows of the frame being handed on.
  int FrameRows() const { return rows_.load(); }

 private:
  void Deliver() {
    OS::StandInCamera& feed = *camera->feed;
    std::vector<std::uint8_t> pixels;
    std::uint32_t number = 0;
    Clock::time_point next = Clock::now();
    for (;;) {
      int width = 0, height = 0;
      const OS::StandInCamera::Fill fill = feed.FillNextFrame(pixels, width, height);
      ++number;
      if (fill == OS::StandInCamera::Fill::kLost) {
        if (lost != nullptr) lost(this, lostContext);
        return;
      }
      // Frames of another size than the one opened are not handed on: the
      // receiver reads the opened size from the buffer. A frame cut short
      // (fewer rows, or fewer bytes than its rows) is handed on in a buffer
      // of the opened size, with the rows it has.
      const std::size_t whole = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
      if (fill == OS::StandInCamera::Fill::kFrame && width == width_ && height <= height_ && frame != nullptr &&
          width_ > 0) {
        const std::size_t rows =
            std::min(pixels.size() / static_cast<std::size_t>(width_), static_cast<std::size_t>(height));
        rows_ = static_cast<int>(rows);
        pixels.resize(whole, 0);
        frame(this, pixels.data(), number, frameContext);
      }
      double rate = feed.FrameRate();
      if (!(rate > 0.0 && rate <= 1000.0)) rate = 15.0;
      next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
      const Clock::time_point now = Clock::now();
      if (next < now) next = now;  // fell behind: no burst to catch up
      std::unique_lock guard(lock_);
      if (changed_.wait_until(guard, next, [&] { return stop_; })) return;
    }
  }

  std::mutex lock_;
  std::condition_variable changed_;
  bool stop_ = false;
  int width_ = 0;
  int height_ = 0;
  std::atomic<int> rows_{0};
  std::thread thread_;
};

SimulatedGrabber* AsGrabber(TisGrabber g) { return static_cast<SimulatedGrabber*>(g); }

}  // namespace

std::vector<std::shared_ptr<OS::StandInCamera>> StandInCameras(OS::StandInDevices& devices) {
  std::vector<std::shared_ptr<OS::StandInCamera>> feeds;
  for (int i = 0; i < devices.CameraCount(); ++i)
    if (std::shared_ptr<OS::StandInCamera> feed = devices.CameraFeed(i)) feeds.push_back(std::move(feed));
  return feeds;
}

TisApi SimulatedTisApi(std::vector<std::shared_ptr<OS::StandInCamera>> feeds) {
  auto library = std::make_shared<SimulatedLibrary>();
  for (std::size_t i = 0; i < feeds.size(); ++i) {
    auto camera = std::make_unique<SimulatedCamera>();
    camera->feed = std::move(feeds[i]);
    camera->deviceName = "DMx 41AU02 (" + std::to_string(i + 1) + ")";
    camera->uniqueName = "DMx 41AU02 SIM000" + std::to_string(i + 1);
    library->cameras.push_back(std::move(camera));
  }
  TisApi api = TisApi::Unbound();
  api.InitLibrary = [](const char*) { return kTisSuccess; };
  api.CreateGrabber = []() -> TisGrabber { return new SimulatedGrabber; };
  api.ReleaseGrabber = [](TisGrabber* g) {
    if (g == nullptr) return;
    delete AsGrabber(*g);
    *g = nullptr;
  };
  api.IsTriggerAvailable = [](TisGrabber) { return 1; };
  api.EnableTrigger = [](TisGrabber, int) { return kTisSuccess; };
  api.SetCallbacks = [](TisGrabber g, TisFrameCallback frame, void* fc, TisDeviceLostCallback lost, void* lc) {
    SimulatedGrabber* grabber = AsGrabber(g);
    grabber->frame = frame;
    grabber->frameContext = fc;
    grabber->lost = lost;
    grabber->lostContext = lc;
    return kTisSuccess;
  };
  api.OpenVideoCaptureDevice = [library](TisGrabber g, const char* name) {
    AsGrabber(g)->camera = library->Find(name != nullptr ? name : "");
    return AsGrabber(g)->camera != nullptr ? kTisSuccess : 0;
  };
  api.IsDevValid = [](TisGrabber g) { return AsGrabber(g)->camera != nullptr ? 1 : 0; };
  api.CloseVideoCaptureDevice = [](TisGrabber g) {
    AsGrabber(g)->StopLive();
    AsGrabber(g)->camera = nullptr;
  };
  api.SetFrameRate = [](TisGrabber g, double rate) {
    if (AsGrabber(g)->camera == nullptr || !(rate > 0.0)) return 0;
    AsGrabber(g)->camera->feed->SetFrameRate(rate);
    return kTisSuccess;
  };
  api.GetFrameRate = [](TisGrabber g) {
    return AsGrabber(g)->camera != nullptr ? AsGrabber(g)->camera->feed->FrameRate() : 0.0;
  };
  api.GetFormat = [](TisGrabber) { return kTisFormatY800; };
  api.SetFormat = [](TisGrabber, int format) { return format == kTisFormatY800 ? kTisSuccess : 0; };
  api.GetVideoFormatWidth = [](TisGrabber g) {
    return AsGrabber(g)->camera != nullptr ? AsGrabber(g)->camera->feed->Width() : 0;
  };
  api.GetVideoFormatHeight = [](TisGrabber g) {
    return AsGrabber(g)->camera != nullptr ? AsGrabber(g)->camera->feed->Height() : 0;
  };
  api.SetContinuousMode = [](TisGrabber, int) { return kTisSuccess; };
  api.IsVideoPropertyAvailable = [](TisGrabber g, int property) {
    const long* range;
    return AsGrabber(g)->camera != nullptr && AsGrabber(g)->camera->Property(property, &range) != nullptr ? 1 : 0;
  };
  api.VideoPropertyGetRange = [](TisGrabber g, int property, long* minimum, long* maximum) {
    const long* range;
    if (AsGrabber(g)->camera == nullptr || AsGrabber(g)->camera->Property(property, &range) == nullptr) return 0;
    *minimum = range[0];
    *maximum = range[1];
    return kTisSuccess;
  };
  api.GetVideoProperty = [](TisGrabber g, int property, long* value) {
    SimulatedCamera* camera = AsGrabber(g)->camera;
    const long* range;
    if (camera == nullptr) return 0;
    std::lock_guard guard(camera->lock);
    const long* v = camera->Property(property, &range);
    if (v == nullptr) return 0;
    *value = *v;
    return kTisSuccess;
  };
  api.SetVideoProperty = [](TisGrabber g, int property, long value) {
    SimulatedCamera* camera = AsGrabber(g)->camera;
    const long* range;
    if (camera == nullptr) return 0;
    std::lock_guard guard(camera->lock);
    long* v = camera->Property(property, &range);
    if (v == nullptr || value < range[0] || value > range[1]) return 0;
    *v = value;
    camera->ApplyResponse();
    return kTisSuccess;
  };
  api.StartLive = [](TisGrabber g, int) { return AsGrabber(g)->StartLive() ? kTisSuccess : 0; };
  api.StopLive = [](TisGrabber g) { AsGrabber(g)->StopLive(); };
  api.GetDeviceCount = [library] { return static_cast<int>(library->cameras.size()); };
  api.GetDevice = [library](int i) -> const char* {
    return i >= 0 && i < static_cast<int>(library->cameras.size()) ? library->cameras[i]->deviceName.c_str() : nullptr;
  };
  api.GetUniqueNamefromList = [library](int i) -> const char* {
    return i >= 0 && i < static_cast<int>(library->cameras.size()) ? library->cameras[i]->uniqueName.c_str() : nullptr;
  };
  api.GetFrameRows = [](TisGrabber g) { return AsGrabber(g)->FrameRows(); };
  return api;
}

}  // namespace ORV::Cameras

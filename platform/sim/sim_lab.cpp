#include "platform/sim/sim_lab.h"

#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <sstream>
#include <string_view>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"

namespace ORV::Sim {

namespace {

constexpr std::uint16_t kSerialConverter = 0x6001;
constexpr std::uint16_t kUartConverter = 0x6015;
constexpr std::uint16_t kHeatController = 0xF448;
constexpr std::chrono::milliseconds kWatchPeriod{100};

bool IsCameraName(const std::string& name, int& index) {
  for (int i = 0; i < kMaxLabCameras; ++i) {
    if (name == kLabCameraNames[i]) {
      index = i;
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<LabFault> LabFaultNamed(const std::string& name) {
  if (name == "normal") return LabFault::kNone;
  if (name == "unplugged") return LabFault::kUnplugged;
  if (name == "garbage") return LabFault::kGarbage;
  if (name == "silent") return LabFault::kSilent;
  if (name == "stopped") return LabFault::kStopped;
  if (name == "torn") return LabFault::kTorn;
  return std::nullopt;
}

// The queue of one event source handed out: the lab posts, the monitor
// that owns the source reads.
class SimLab::EventChannel {
 public:
  EventChannel() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~EventChannel() {
    if (fd_ >= 0) ::close(fd_);
  }
  void Post(OS::DeviceChange change) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back(change);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
  }
  std::optional<OS::DeviceChange> Next(bool& more) {
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_, &value, sizeof value);
    std::lock_guard lock(mutex_);
    more = false;
    if (events_.empty()) return std::nullopt;
    const OS::DeviceChange change = events_.front();
    events_.pop_front();
    more = !events_.empty();
    return change;
  }
  int Fd() const { return fd_; }

 private:
  const int fd_;
  std::mutex mutex_;
  std::deque<OS::DeviceChange> events_;
};

namespace {

class LabEventSource final : public OS::DeviceEventSource {
 public:
  explicit LabEventSource(std::shared_ptr<void> keep, int fd,
                          std::function<std::optional<OS::DeviceChange>(bool&)> next)
      : keep_(std::move(keep)), fd_(fd), next_(std::move(next)) {}
  int Fd() const override { return fd_; }
  std::optional<OS::DeviceChange> Next(bool& more) override { return next_(more); }
  bool Reopen() override { return fd_ >= 0; }

 private:
  std::shared_ptr<void> keep_;
  int fd_;
  std::function<std::optional<OS::DeviceChange>(bool&)> next_;
};

}  // namespace

int LabCameraCount(const char* setting) {
  if (setting == nullptr) return kDefaultLabCameras;
  const auto count = OS::ParseInt(setting);
  return count && *count >= 1 && *count <= kMaxLabCameras ? static_cast<int>(*count) : kDefaultLabCameras;
}

LabVessel LabVesselSetting(const char* setting) {
  if (setting == nullptr) return LabVessel::kBrightfield;
  const std::string_view value(setting);
  if (value == "exact") return LabVessel::kExact;
  if (value == "still") return LabVessel::kStill;
  if (value == "live") return LabVessel::kLive;
  return LabVessel::kBrightfield;
}

LabSystem LabSystemSetting(const char* setting) {
  return setting != nullptr && std::string_view(setting) == "pressure" ? LabSystem::kPressure : LabSystem::kIncubation;
}

Preparation::Model LabPreparationModel(LabVessel vessel) {
  return vessel == LabVessel::kLive || vessel == LabVessel::kBrightfield ? Preparation::Model{}
                                                                         : Preparation::QuietModel();
}

VesselCamera::Options LabCameraOptions(LabVessel vessel, int camera) {
  VesselCamera::Options options;
  options.seed = 7 + static_cast<std::uint32_t>(camera);
  options.exact = vessel == LabVessel::kExact;
  if (vessel == LabVessel::kBrightfield) {
    // A 10x objective's view: walls of 15 to 25 pixels, slightly softer
    // than the plain look's and with less sensor noise.
    options.look = VesselCamera::Look::kBrightfield;
    options.micronsPerPixel = 1.0;
    options.blurSigma = 1.3;
    options.noiseSigma = 5.0;
  }
  return options;
}

SimLab::SimLab(std::shared_ptr<Preparation> preparation, int cameras, LabVessel vessel, LabSystem system)
    : preparation_(std::move(preparation)), system_(system), multi_(std::make_shared<MultiInterfaceUnit>()) {
  // The lab runs as long as the program does: its instruments keep no record
  // of what the program sent them.
  multi_->KeepReceived(false);
  multi_->Attach(preparation_);
  if (system_ == LabSystem::kPressure) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    multi_->StartClock(local.tm_hour, local.tm_min, local.tm_sec);
  }
  multiPath_ = hid_.AddDevice(multi_);

  // The searches go through this list in order: the single interface's from
  // the end, so it comes last; the binary flow meter takes the last
  // converter whose serial number begins with "FT", and the microscopes pass
  // over those that begin with "FTW".
  struct Line {
    SerialResponder& sim;
    PreparationLink& link;
    std::uint16_t product;
    const char* serial;
    const char* name;
    const char* labName;
  };
  const Line lines[] = {
      {heat_, heat_, kHeatController, "HCL00001", "Heat Controller", "heater"},
      {binaryFlow_, binaryFlow_, kSerialConverter, "FTW10001", "USB <-> Serial", "flow"},
      {microscope_, microscope_, kSerialConverter, "MSC00001", "USB <-> Serial", "microscope"},
      {asciiFlow_, asciiFlow_, kUartConverter, "FTW20001", "FT231X USB UART", "flow-ascii"},
      {single_, single_, kUartConverter, "FTW30001", "FT231X USB UART", "single"},
  };
  for (const Line& line : lines) {
    // A pressure chamber system has no heat controller.
    if (system_ == LabSystem::kPressure && &line.sim == &heat_) continue;
    line.sim.KeepReceived(false);
    line.link.Attach(preparation_);
    if (!line.sim.Start()) continue;
    OS::UsbSerialDevice device;
    device.devNode = line.sim.DevicePath();
    device.sysPath = "/sys/devices/usb-serial/" + std::string(line.serial);
    device.isUsb = true;
    device.vendorId = OS::kFtdiVendorId;
    device.productId = line.product;
    device.serialNumber = line.serial;
    device.product = line.name;
    device.manufacturer = "FTDI";
    lines_.push_back({line.labName, &line.sim, std::move(device)});
  }

  for (int i = 0; i < cameras; ++i)
    cameras_.push_back(std::make_shared<VesselCamera>(preparation_, LabCameraOptions(vessel, i)));
}

SimLab::~SimLab() {
  WatchControlFile({});
  std::lock_guard lock(mutex_);
  for (const std::string& folder : diskFaults_) OS::SetWriteFault(folder, 0);
}

std::vector<OS::UsbSerialDevice> SimLab::SerialDevices() const {
  std::lock_guard lock(mutex_);
  std::vector<OS::UsbSerialDevice> devices;
  for (const SerialLine& line : lines_) {
    const auto fault = faults_.find(line.name);
    if (fault == faults_.end() || fault->second != LabFault::kUnplugged) devices.push_back(line.device);
  }
  return devices;
}

std::unique_ptr<OS::DeviceEventSource> SimLab::DeviceEvents() {
  auto channel = std::make_shared<EventChannel>();
  {
    std::lock_guard lock(mutex_);
    channels_.push_back(channel);
  }
  EventChannel* raw = channel.get();
  return std::make_unique<LabEventSource>(channel, raw->Fd(), [raw](bool& more) { return raw->Next(more); });
}

void SimLab::Raise(OS::DeviceChange change) {
  std::lock_guard lock(mutex_);
  // A channel only the lab still holds belongs to a source that is gone.
  std::erase_if(channels_, [](const std::shared_ptr<EventChannel>& c) { return c.use_count() == 1; });
  for (const auto& channel : channels_) channel->Post(change);
}

LabFault SimLab::Fault(const std::string& name) const {
  std::lock_guard lock(mutex_);
  const auto found = faults_.find(name);
  return found != faults_.end() ? found->second : LabFault::kNone;
}

bool SimLab::SetFault(const std::string& name, LabFault fault) {
  bool plugged = false;
  LabFault before = LabFault::kNone;
  bool done = false;
  {
    std::lock_guard lock(mutex_);
    if (const auto found = faults_.find(name); found != faults_.end()) before = found->second;
    done = SetFaultLocked(name, fault, plugged);
  }
  if (!done) return false;
  if (before != LabFault::kUnplugged && fault == LabFault::kUnplugged) Raise(OS::DeviceChange::Removal);
  if (plugged) Raise(OS::DeviceChange::Arrival);
  return true;
}

bool SimLab::SetFaultLocked(const std::string& name, LabFault fault, bool& plugged) {
  const auto found = faults_.find(name);
  const LabFault before = found != faults_.end() ? found->second : LabFault::kNone;
  int camera = -1;
  if (IsCameraName(name, camera)) {
    if (camera >= CameraCount()) return false;
    if (fault == LabFault::kGarbage || fault == LabFault::kSilent) return false;
    VesselCamera& c = *cameras_[static_cast<std::size_t>(camera)];
    if (fault == LabFault::kUnplugged) {
      c.Unplug();
    } else {
      if (before == LabFault::kUnplugged) {
        c.Replug();
        plugged = true;
      }
      c.DropEvery(fault == LabFault::kStopped ? 1 : 0);
      c.SetTorn(fault == LabFault::kTorn);
    }
  } else if (name == "multi") {
    if (fault == LabFault::kStopped || fault == LabFault::kTorn) return false;
    if (fault == LabFault::kUnplugged) {
      if (before != LabFault::kUnplugged) hid_.RemoveDevice(multiPath_);
    } else {
      if (before == LabFault::kUnplugged) {
        multi_->Replug();
        multiPath_ = hid_.AddDevice(multi_);
        plugged = true;
      }
      multi_->SetAllSilent(fault == LabFault::kSilent);
      multi_->SetAllGarbage(fault == LabFault::kGarbage);
    }
  } else {
    SerialLine* line = nullptr;
    for (SerialLine& l : lines_) {
      if (l.name == name) line = &l;
    }
    if (line == nullptr || fault == LabFault::kStopped || fault == LabFault::kTorn) return false;
    if (fault == LabFault::kUnplugged) {
      line->sim->Unplug();
    } else {
      if (before == LabFault::kUnplugged) {
        if (!line->sim->Replug()) return false;
        line->device.devNode = line->sim->DevicePath();
        plugged = true;
      }
      line->sim->SetMode(fault == LabFault::kGarbage  ? ReplyMode::Garbage
                         : fault == LabFault::kSilent ? ReplyMode::Silent
                                                      : ReplyMode::Normal);
    }
  }
  if (fault == LabFault::kNone) {
    faults_.erase(name);
  } else {
    faults_[name] = fault;
  }
  return true;
}

void SimLab::ApplyControl(const std::string& text) {
  std::map<std::string, LabFault> wanted;
  std::vector<std::pair<std::string, int>> disks;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string name, value;
    if (!(words >> name) || name.starts_with("#")) continue;
    std::getline(words >> std::ws, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
    if (name == "disk-full" || name == "disk-readonly") {
      if (!value.empty()) disks.emplace_back(value, name == "disk-full" ? ENOSPC : EROFS);
      continue;
    }
    if (const std::optional<LabFault> fault = LabFaultNamed(value)) wanted[name] = *fault;
  }
  std::vector<std::string> names(std::begin(kLabInstrumentNames), std::end(kLabInstrumentNames));
  for (int i = 0; i < CameraCount(); ++i) names.emplace_back(kLabCameraNames[i]);
  for (const std::string& name : names) {
    const auto found = wanted.find(name);
    const LabFault fault = found != wanted.end() ? found->second : LabFault::kNone;
    if (Fault(name) != fault) SetFault(name, fault);
  }
  std::lock_guard lock(mutex_);
  for (const std::string& folder : diskFaults_) OS::SetWriteFault(folder, 0);
  diskFaults_.clear();
  for (const auto& [folder, error] : disks) {
    OS::SetWriteFault(folder, error);
    diskFaults_.push_back(folder);
  }
}

void SimLab::WatchControlFile(const std::string& path) {
  {
    std::lock_guard lock(watchMutex_);
    watchStop_ = true;
  }
  watchWake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  if (path.empty()) return;
  watchStop_ = false;
  watcher_ = std::thread([this, path] { WatchLoop(path); });
}

void SimLab::WatchLoop(std::string path) {
  std::optional<std::string> applied;
  std::unique_lock lock(watchMutex_);
  while (!watchStop_) {
    lock.unlock();
    std::string text;
    // A file that is missing reads as empty: everything as it should be.
    if (!OS::ReadFile(path, text, 1 << 20)) text.clear();
    if (!applied || *applied != text) {
      ApplyControl(text);
      applied = text;
    }
    lock.lock();
    watchWake_.wait_for(lock, kWatchPeriod, [this] { return watchStop_; });
  }
}

namespace {

// A vessel camera of the lab: each next frame shows the preparation's
// present (a later frame than the one before).
class VesselCameraFeed final : public OS::StandInCamera {
 public:
  VesselCameraFeed(std::shared_ptr<VesselCamera> camera, std::shared_ptr<Preparation> preparation,
                   std::shared_ptr<const std::atomic<double>> forcedRate)
      : camera_(std::move(camera)), preparation_(std::move(preparation)), forcedRate_(std::move(forcedRate)) {}

  int Width() const override { return camera_->Width(); }
  int Height() const override { return camera_->Height(); }
  double FrameRate() const override { return camera_->FrameRate(); }
  void SetFrameRate(double rate) override {
    const double forced = forcedRate_->load();
    camera_->SetFrameRate(forced > 0.0 ? forced : rate);
  }
  void SetResponse(double gain, double gamma) override {
    camera_->SetGain(gain);
    camera_->SetGamma(gamma);
  }
  Fill FillNextFrame(std::vector<std::uint8_t>& pixels, int& width, int& height) override {
    std::lock_guard guard(lock_);
    const double elapsed = (preparation_->Now() - camera_->FrameTime(0)) * camera_->FrameRate();
    std::uint64_t index = elapsed > 0.0 ? static_cast<std::uint64_t>(elapsed) : 0;
    if (started_ && index <= last_) index = last_ + 1;
    started_ = true;
    last_ = index;
    switch (camera_->Grab(index, frame_)) {
      case GrabResult::Lost:
        return Fill::kLost;
      case GrabResult::Dropped:
        return Fill::kDropped;
      case GrabResult::Frame:
        break;
    }
    width = frame_.width;
    height = frame_.height;
    pixels.swap(frame_.pixels);
    return Fill::kFrame;
  }

 private:
  std::shared_ptr<VesselCamera> camera_;
  std::shared_ptr<Preparation> preparation_;
  std::shared_ptr<const std::atomic<double>> forcedRate_;  // the lab's
  std::mutex lock_;
  VesselFrame frame_;
  std::uint64_t last_ = 0;
  bool started_ = false;
};

}  // namespace

std::shared_ptr<OS::StandInCamera> SimLab::CameraFeed(int index) {
  std::shared_ptr<VesselCamera> camera = Camera(index);
  return camera ? std::make_shared<VesselCameraFeed>(std::move(camera), preparation_, forcedFrameRate_) : nullptr;
}

std::shared_ptr<VesselCamera> SimLab::Camera(int index) const {
  return index >= 0 && index < CameraCount() ? cameras_[static_cast<std::size_t>(index)] : nullptr;
}

std::unique_ptr<SimLab> StartSimulatedLab() {
  const LabVessel vessel = LabVesselSetting(std::getenv("ORV_SIMLAB_VESSEL"));
  auto lab = std::make_unique<SimLab>(
      std::make_shared<Preparation>(Preparation::SteadyClock(), LabPreparationModel(vessel)),
      LabCameraCount(std::getenv("ORV_SIMLAB_CAMERAS")), vessel, LabSystemSetting(std::getenv("ORV_SIMLAB_LAB")));
  if (const char* forced = std::getenv("ORV_SIMLAB_FPS")) {
    const std::optional<double> rate = OS::ParseDouble(forced);
    if (rate && *rate >= 1.0 && *rate <= 1000.0) lab->ForceFrameRate(*rate);
  }
  if (const char* control = std::getenv("ORV_SIMLAB_FAULTS"); control != nullptr && *control != '\0')
    lab->WatchControlFile(control);
  return lab;
}

}  // namespace ORV::Sim

#include "instruments/interface_manager.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/folders.h"
#include "platform/os/video_devices.h"

namespace ORV {

namespace {

// The multi-interface models that set and measure pressures.
constexpr std::uint32_t kPressureModels[] = {0x20000,  0x40000,  0x80000,  0x100000,
                                             0x100001, 0x100002, 0x100004, 0x100008};

constexpr const char* kMultiLogFileName = "ORVNewPressureInterface.log";
constexpr const char* kBinaryFlowLogFileName = "ORVFlowMeterSLI2000.log";
constexpr const char* kAsciiFlowLogFileName = "ORVFlowMeter.log";

// The firmware from which the multi interface's internal flow meter is used.
constexpr int kInternalFlowFirmware = 111;  // 1.11

// Every terminal of the enumeration that can be opened.
bool ListSerialPorts(const OS::UsbSerialEnumerator& usb, std::vector<std::string>& ports) {
  if (!usb.IsAvailable()) return false;
  std::vector<OS::UsbSerialDevice> devices;
  const bool complete = usb.List(devices);
  for (const OS::UsbSerialDevice& d : devices)
    if (!d.devNode.empty()) ports.push_back(d.devNode);
  return complete || !ports.empty();
}

// Loads `device` on the last used port when that is listed, else on the
// listed ports from the last to the first, passing over the index `skip` and
// the last used port. True when it loaded; `index` is then the list index it
// loaded on in the search, or -1 when it loaded on the last used port.
bool TryPorts(Device& device, const std::vector<std::string>& ports, const std::string& lastUsed, int skip,
              int& index) {
  index = -1;
  if (std::find(ports.begin(), ports.end(), lastUsed) != ports.end() && device.Load(lastUsed)) return true;
  for (int i = static_cast<int>(ports.size()) - 1; i >= 0; --i) {
    const std::string& port = ports[static_cast<std::size_t>(i)];
    if (i == skip || port == lastUsed) continue;
    if (device.Load(port)) {
      index = i;
      return true;
    }
  }
  return false;
}

}  // namespace

InterfaceManager::InterfaceManager(Configuration& configuration) : InterfaceManager(configuration, Sources{}) {}

InterfaceManager::InterfaceManager(Configuration& configuration, Sources sources)
    : configuration_(configuration), sources_(std::move(sources)) {
  if (!sources_.usb) sources_.usb = OS::SystemUsbSerialEnumerator();
  if (sources_.hid == nullptr) sources_.hid = &OS::SystemHidTransport();
  if (!sources_.serialPorts) {
    sources_.serialPorts = [usb = sources_.usb](std::vector<std::string>& ports) {
      return ListSerialPorts(*usb, ports);
    };
  }
  if (!sources_.cameraPresent) sources_.cameraPresent = OS::UsbVideoCapturePresent;
  single_ = std::make_unique<PressureMyographK4x>();
  multi_ = std::make_unique<PressureMultiMyographK4x>(*sources_.hid);
  heatController_ = std::make_unique<HeatController>(sources_.usb);
  asciiFlowMeter_ = std::make_unique<FlowMeterASL1600>();
  binaryFlowMeter_ = std::make_unique<FlowMeterSLI2000>(sources_.usb);
  if (sources_.sleeper) {
    for (Device* d : std::initializer_list<Device*>{single_.get(), multi_.get(), heatController_.get(),
                                                    asciiFlowMeter_.get(), binaryFlowMeter_.get()})
      d->SetSleeper(sources_.sleeper);
  }
}

// The sampling workers are stopped by their owner before this runs; what is
// left is to close every device, each under its own lock.
InterfaceManager::~InterfaceManager() {
  multi_->Close();
  single_->Close();
  asciiFlowMeter_->Close();
  binaryFlowMeter_->Close();
  for (auto& microscope : microscopes_)
    if (microscope) microscope->Close();
  heatController_->Close();
  comPorts_.clear();
}

Microscope* InterfaceManager::MicroscopeAt(std::size_t index) {
  return index < microscopes_.size() ? microscopes_[index].get() : nullptr;
}

std::shared_ptr<Microscope> InterfaceManager::HoldMicroscope(std::size_t index) const {
  std::lock_guard lock(microscopesMutex_);
  return index < microscopes_.size() ? microscopes_[index] : nullptr;
}

bool InterfaceManager::IsPressure() {
  multiModelCode_ = multi_->ModelCode();
  bool accepted = false;
  for (std::uint32_t model : kPressureModels) accepted = accepted || model == multiModelCode_;
  if (!accepted) {
    LogErrorFormat(
        "InterfaceManager::IsPressure - ORV Multi interface type=%d found but it is not "
        "configured for pressure usage",
        static_cast<int>(multiModelCode_));
  }
  // The unit is pinged and asked for its information block either way; the
  // answers only refresh what the driver keeps.
  multi_->Ping();
  PressureMultiMyographK4x::InfoBlock info;
  multi_->GetInfoBlock(info);
  return accepted;
}

std::size_t InterfaceManager::LoadCOMPorts(std::vector<std::string>& list) {
  std::vector<std::string> found;
  if (!sources_.serialPorts(found)) {
    LogError("InterfaceManager::LoadCOMPorts - Failed to open registry for enumerating COM ports");
    return 0;
  }
  std::string names;
  for (std::string& port : found) {
    names += port + "  ";
    list.push_back(std::move(port));
  }
  LogInformation("InterfaceManager::LoadCOMPorts - Found COM ports: " + names);
  return list.size();
}

bool InterfaceManager::IsPortListed(const std::string& name) const {
  return std::find(comPorts_.begin(), comPorts_.end(), name) != comPorts_.end();
}

std::string InterfaceManager::FindHidDevicePath(const std::string& prefix) {
  std::string path;
  for (const OS::HidDeviceInfo& device : sources_.hid->List(0, 0))
    if (device.path.starts_with(prefix)) path = device.path;
  return path;
}

void InterfaceManager::OpenLog(Device& device, const std::string& fileName) {
  if (logging_) device.OpenLog(JoinPath(logFolder_, fileName));
}

std::uint32_t InterfaceManager::LoadDevices(std::uint32_t mask) {
  Configuration& config = configuration_;
  std::uint32_t found = 0;
  logFolder_ = sources_.tempFolder.empty() ? OS::TempDir() : sources_.tempFolder;
  logging_ = config.Debug;

  if (mask & kDeviceMicroscope) LoadMicroscopes(found);

  if (mask & kDeviceHeatController) {
    if (heatController_->IsConnected()) heatController_->Close();
    OpenLog(*heatController_, HeatController::kLogFileName);
    heatController_->SetTimeout(config.DeviceHeaterTimeout);
    if (heatController_->Load(config.HeatControllerDevicePath))
      found |= kDeviceHeatController;
    else
      heatController_->Close();
  }

  if (mask & kDeviceFlowMeter) {
    if (binaryFlowMeter_->IsConnected()) binaryFlowMeter_->Close();
    OpenLog(*binaryFlowMeter_, kBinaryFlowLogFileName);
    // This meter has always used the microscope's time-out setting.
    binaryFlowMeter_->SetTimeout(config.DeviceMicroscopeTimeout);
    binaryFlowMeterConnected_ = binaryFlowMeter_->Load(std::string());
    if (binaryFlowMeterConnected_)
      found |= kDeviceFlowMeter;
    else
      binaryFlowMeter_->Close();
  }

  if ((mask & kDeviceMultiInterface) && !multi_->IsConnected()) LoadMultiInterface(found);

  int takenIndex = -1;
  if ((mask & kDeviceSinglePressureInterface) && !single_->IsConnected() && !multi_->IsConnected())
    LoadSingleInterface(found, takenIndex);

  if ((mask & kDeviceFlowMeter) && !internalFlowMeterInUse_ && !asciiFlowMeter_->IsConnected() &&
      !binaryFlowMeterConnected_) {
    LoadAsciiFlowMeter(takenIndex, found);
  }
  return found;
}

// Microscope objects are made anew: the old ones are closed first, so that
// their ports are free. The count kept is the number that loaded, so the
// workers, the panes and the destructor only ever see loaded microscopes in
// slots 0 to count - 1; the slots after them are empty.
void InterfaceManager::LoadMicroscopes(std::uint32_t& found) {
  microscopeCount_ = 0;
  for (auto& microscope : microscopes_) {
    std::shared_ptr<Microscope> old;
    {
      std::lock_guard lock(microscopesMutex_);
      old.swap(microscope);
    }
    if (old) old->Close();
  }

  std::vector<std::string> ports, serials;
  Microscope(sources_.usb).FindComPort(ports, serials);
  const std::size_t count = std::min(ports.size(), kMicroscopeSlots);
  for (std::size_t i = 0; i < count; ++i) {
    auto microscope = std::make_unique<Microscope>(sources_.usb);
    if (sources_.sleeper) microscope->SetSleeper(sources_.sleeper);
    microscope->SetTimeout(configuration_.DeviceMicroscopeTimeout);
    if (count == 1) {
      OpenLog(*microscope, Microscope::kLogFileName);
    } else {
      char name[64];
      std::snprintf(name, sizeof name, "%s-%d.log", Microscope::kLogFilePrefix, static_cast<int>(i));
      OpenLog(*microscope, name);
    }
    if (!microscope->Load(ports[i])) {
      microscope->Close();
      break;
    }
    microscope->SetSerialNumber(i < serials.size() ? serials[i] : std::string());
    {
      std::lock_guard lock(microscopesMutex_);
      microscopes_[i] = std::move(microscope);
    }
    microscopeCount_ = static_cast<std::int32_t>(i + 1);
    found |= kDeviceMicroscope;
  }
}

void InterfaceManager::ReopenMicroscopes() {
  std::vector<std::string> ports, serials;
  bool searched = false;
  for (std::size_t i = 0; i < static_cast<std::size_t>(microscopeCount_.load()); ++i) {
    const std::shared_ptr<Microscope> microscope = HoldMicroscope(i);
    if (!microscope || microscope->IsConnected()) continue;
    if (!searched) {
      Microscope(sources_.usb).FindComPort(ports, serials);
      searched = true;
    }
    const std::string serial = microscope->SerialNumber();
    for (std::size_t j = 0; j < ports.size() && j < serials.size(); ++j) {
      if (serials[j] != serial) continue;
      if (!microscope->Load(ports[j])) microscope->Close();
      break;
    }
  }
}

void InterfaceManager::LoadMultiInterface(std::uint32_t& found) {
  const Configuration& config = configuration_;
  internalFlowMeterInUse_ = false;
  OpenLog(*multi_, kMultiLogFileName);
  if (!multi_->Load(FindHidDevicePath(config.MultiInterfaceDevicePath))) {
    multi_->Close();
    return;
  }
  if (!IsPressure()) {
    multi_->Close();
    return;
  }
  found |= kDeviceMultiInterface;
  if (binaryFlowMeterConnected_ || !multi_->DigitalState(7)) return;
  if (multi_->FirmwareMajor() * 100 + multi_->FirmwareMinor() < kInternalFlowFirmware) {
    LogWarning(
        "PressureMultiMyographK4x::Load() - Internal FlowMeter ignored! (firmware version must be 1.11 or higher)\n");
  } else {
    internalFlowMeterInUse_ = true;
  }
}

void InterfaceManager::LoadSingleInterface(std::uint32_t& found, int& takenIndex) {
  Configuration& config = configuration_;
  OpenLog(*single_, PressureMyographK4x::kLogFileName);
  single_->SetTimeout(config.DevicePressureInterfaceTimeout);
  if (TryPorts(*single_, comPorts_, config.LastUsedInterfacePort, -1, takenIndex)) {
    config.LastUsedInterfacePort = single_->PortName();
    found |= kDeviceSinglePressureInterface;
  } else {
    single_->Close();
  }
}

void InterfaceManager::LoadAsciiFlowMeter(int takenIndex, std::uint32_t& found) {
  Configuration& config = configuration_;
  OpenLog(*asciiFlowMeter_, kAsciiFlowLogFileName);
  asciiFlowMeter_->SetTimeout(config.DeviceFlowMeterTimeout);
  int index = -1;
  if (TryPorts(*asciiFlowMeter_, comPorts_, config.LastUsedFlowMeterPort, takenIndex, index)) {
    config.LastUsedFlowMeterPort = asciiFlowMeter_->PortName();
    found |= kDeviceFlowMeter;
  } else {
    asciiFlowMeter_->Close();
  }
}

bool InterfaceManager::IsConnected(std::uint32_t type, bool verify) {
  Device* device = nullptr;
  switch (type) {
    case kDeviceMicroscope:
      device = microscopes_[0].get();
      break;
    case kDeviceHeatController:
      device = heatController_.get();
      break;
    case kDeviceMultiInterface:
      device = multi_.get();
      break;
    case PressureMultiMyographK4x::kModelFast:
      if (multiModelCode_ != PressureMultiMyographK4x::kModelFast) return false;
      device = multi_.get();
      break;
    case kDeviceSinglePressureInterface:
      device = single_.get();
      break;
    case kDeviceFlowMeter:
      device = binaryFlowMeterConnected_ ? static_cast<Device*>(binaryFlowMeter_.get())
                                         : static_cast<Device*>(asciiFlowMeter_.get());
      break;
    case kCameraPresence:
      return sources_.cameraPresent();
    default:
      return false;
  }
  if (device == nullptr || !device->IsConnected()) return false;
  return verify ? device->Ping() : true;
}

}  // namespace ORV

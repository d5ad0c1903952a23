#include "instruments/interface_manager.h"

#include "core/base/event_log.h"
#include "platform/os/event_log_backend.h"

namespace ORV {

namespace {

// The multi-interface models that set and measure pressures.
constexpr std::uint32_t kPressureModels[] = {0x20000,  0x40000,  0x80000,  0x100000,
                                             0x100001, 0x100002, 0x100004, 0x100008};

}  // namespace

InterfaceManager::InterfaceManager()
    : InterfaceManager(Sources{OS::SystemUsbSerialEnumerator(), &OS::SystemHidTransport()}) {}

InterfaceManager::InterfaceManager(Sources sources) : sources_(std::move(sources)) {
  if (!sources_.usb) sources_.usb = OS::SystemUsbSerialEnumerator();
  if (sources_.hid == nullptr) sources_.hid = &OS::SystemHidTransport();
  single_ = std::make_unique<PressureMyographK4x>();
  multi_ = std::make_unique<PressureMultiMyographK4x>(*sources_.hid);
  heatController_ = std::make_unique<HeatController>(sources_.usb);
  asciiFlowMeter_ = std::make_unique<FlowMeterASL1600>();
  binaryFlowMeter_ = std::make_unique<FlowMeterSLI2000>(sources_.usb);
}

InterfaceManager::~InterfaceManager() = default;

Microscope* InterfaceManager::MicroscopeAt(std::size_t index) {
  return index < microscopes_.size() ? microscopes_[index].get() : nullptr;
}

bool InterfaceManager::IsPressure() {
  multiModelCode_ = multi_->ModelCode();
  bool accepted = false;
  for (std::uint32_t model : kPressureModels) accepted = accepted || model == multiModelCode_;
  if (!accepted) {
    EventLog().WriteFormat(OS::kEventError, 1, 4,
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

bool InterfaceManager::IsConnected(std::uint32_t type, bool verify) {
  Device* device = nullptr;
  switch (type) {
    case kDeviceMicroscope: device = microscopes_[0].get(); break;
    case kDeviceHeatController: device = heatController_.get(); break;
    case kDeviceMultiInterface: device = multi_.get(); break;
    case PressureMultiMyographK4x::kModelFast:
      if (multiModelCode_ != PressureMultiMyographK4x::kModelFast) return false;
      device = multi_.get();
      break;
    case kDeviceSinglePressureInterface: device = single_.get(); break;
    case kDeviceFlowMeter:
      device = binaryFlowMeterConnected_ ? static_cast<Device*>(binaryFlowMeter_.get())
                                         : static_cast<Device*>(asciiFlowMeter_.get());
      break;
    default: return false;
  }
  if (device == nullptr || !device->IsConnected()) return false;
  return verify ? device->Ping() : true;
}

}  // namespace ORV

#include "platform/os/simulated_lab.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace ORV::OS {

bool SimulatedLabRequested() {
  const char* value = std::getenv("ORV_SIMLAB");
  return value != nullptr && std::string_view(value) == "1";
}

namespace {
std::atomic<StandInDevices*> g_handedOver{nullptr};
}  // namespace

void UseSimulatedLab(StandInDevices* lab) { g_handedOver.store(lab); }

StandInDevices* SimulatedLab() {
  if (StandInDevices* lab = g_handedOver.load()) return lab;
  // Started once, kept to the end of the process: its instruments must stay
  // on their lines while any driver may hold them open.
  static const std::unique_ptr<StandInDevices> lab = SimulatedLabRequested() ? StartSimulatedLab() : nullptr;
  return lab.get();
}

std::unique_ptr<DeviceEventSource> SimulatedLabDeviceEvents() {
  StandInDevices* lab = SimulatedLab();
  return lab != nullptr ? lab->DeviceEvents() : nullptr;
}

LabAwareUsbSerialEnumerator::LabAwareUsbSerialEnumerator(std::shared_ptr<const UsbSerialEnumerator> machine)
    : machine_(std::move(machine)) {}

bool LabAwareUsbSerialEnumerator::IsAvailable() const { return machine_->IsAvailable() || SimulatedLab() != nullptr; }

bool LabAwareUsbSerialEnumerator::List(std::vector<UsbSerialDevice>& devices) const {
  const bool complete = !machine_->IsAvailable() || machine_->List(devices);
  if (const StandInDevices* lab = SimulatedLab()) {
    const std::vector<UsbSerialDevice> standIns = lab->SerialDevices();
    devices.insert(devices.end(), standIns.begin(), standIns.end());
  }
  return complete;
}

LabAwareHidTransport::LabAwareHidTransport(HidTransport& machine) : machine_(machine) {}

std::vector<HidDeviceInfo> LabAwareHidTransport::List(std::uint16_t vendorId, std::uint16_t productId) {
  std::vector<HidDeviceInfo> devices = machine_.List(vendorId, productId);
  if (StandInDevices* lab = SimulatedLab()) {
    const std::vector<HidDeviceInfo> standIns = lab->Hid().List(vendorId, productId);
    devices.insert(devices.end(), standIns.begin(), standIns.end());
  }
  return devices;
}

std::unique_ptr<HidHandle> LabAwareHidTransport::Open(const std::string& path, int& error) {
  if (StandInDevices* lab = SimulatedLab()) {
    for (const HidDeviceInfo& device : lab->Hid().List(0, 0))
      if (device.path == path || (!device.node.empty() && device.node == path)) return lab->Hid().Open(path, error);
  }
  return machine_.Open(path, error);
}

}  // namespace ORV::OS

#include "platform/os/stand_in_devices.h"

#include <atomic>

namespace ORV::OS {

namespace {
std::atomic<StandInDevices*> g_offered{nullptr};
}  // namespace

void OfferStandInDevices(StandInDevices* devices) { g_offered.store(devices); }

StandInDevices* OfferedStandInDevices() { return g_offered.load(); }

std::unique_ptr<DeviceEventSource> StandInDeviceEvents() {
  StandInDevices* devices = OfferedStandInDevices();
  return devices != nullptr ? devices->DeviceEvents() : nullptr;
}

StandInAwareUsbSerialEnumerator::StandInAwareUsbSerialEnumerator(std::shared_ptr<const UsbSerialEnumerator> machine)
    : machine_(std::move(machine)) {}

bool StandInAwareUsbSerialEnumerator::IsAvailable() const {
  return machine_->IsAvailable() || OfferedStandInDevices() != nullptr;
}

bool StandInAwareUsbSerialEnumerator::List(std::vector<UsbSerialDevice>& devices) const {
  const bool complete = !machine_->IsAvailable() || machine_->List(devices);
  if (const StandInDevices* standIns = OfferedStandInDevices()) {
    const std::vector<UsbSerialDevice> more = standIns->SerialDevices();
    devices.insert(devices.end(), more.begin(), more.end());
  }
  return complete;
}

StandInAwareHidTransport::StandInAwareHidTransport(HidTransport& machine) : machine_(machine) {}

std::vector<HidDeviceInfo> StandInAwareHidTransport::List(std::uint16_t vendorId, std::uint16_t productId) {
  std::vector<HidDeviceInfo> devices = machine_.List(vendorId, productId);
  if (StandInDevices* standIns = OfferedStandInDevices()) {
    const std::vector<HidDeviceInfo> more = standIns->Hid().List(vendorId, productId);
    devices.insert(devices.end(), more.begin(), more.end());
  }
  return devices;
}

std::unique_ptr<HidHandle> StandInAwareHidTransport::Open(const std::string& path, int& error) {
  if (StandInDevices* standIns = OfferedStandInDevices()) {
    for (const HidDeviceInfo& device : standIns->Hid().List(0, 0))
      if (device.path == path || (!device.node.empty() && device.node == path))
        return standIns->Hid().Open(path, error);
  }
  return machine_.Open(path, error);
}

}  // namespace ORV::OS

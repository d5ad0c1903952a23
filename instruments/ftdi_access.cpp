#include "instruments/ftdi_access.h"

#include <algorithm>

namespace ORV {

FtdiAccess::FtdiAccess(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator) : enumerator_(std::move(enumerator)) {
  available_ = enumerator_ && enumerator_->IsAvailable();
}

bool FtdiAccess::GetDeviceList(std::vector<FtdiDeviceInfo>& devices) const {
  devices.clear();
  if (!available_) return false;
  std::vector<OS::UsbSerialDevice> all;
  if (!enumerator_->List(all)) return false;
  for (const OS::UsbSerialDevice& d : all) {
    if (!d.isUsb || d.vendorId != kFtdiVendorId) continue;
    devices.push_back({FtdiDeviceId(d.vendorId, d.productId), d.serialNumber, d.product, d.devNode});
  }
  return true;
}

std::string FtdiAccess::FindPort(std::uint32_t id, const std::function<bool(std::string_view)>& accept) const {
  std::vector<FtdiDeviceInfo> devices;
  if (!GetDeviceList(devices)) return {};
  std::string port;
  for (const FtdiDeviceInfo& d : devices) {
    if (d.id != id || d.port.empty()) continue;
    if (accept && !accept(d.serialNumber)) continue;
    port = d.port;
  }
  return port;
}

bool EnumerateUsbSerialDevices(const OS::UsbSerialEnumerator& enumerator, std::vector<USSerInfo>& list) {
  std::vector<OS::UsbSerialDevice> all;
  const bool complete = enumerator.List(all);
  for (const OS::UsbSerialDevice& d : all) {
    if (d.devNode.empty()) continue;
    USSerInfo info;
    info.devicePath = d.sysPath;
    const std::string& label = d.product.empty() ? d.devNode : d.product;
    info.friendlyName = label + " (" + d.devNode + ")";
    info.serialNumber = d.serialNumber;
    info.isUsb = d.isUsb;
    info.deviceDescription = d.product;
    info.manufacturer = d.manufacturer;
    info.portName = d.devNode;
    list.push_back(std::move(info));
  }
  return complete;
}

bool SameSerialNumber(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace ORV

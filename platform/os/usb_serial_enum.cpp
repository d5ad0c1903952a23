#include "platform/os/usb_serial_enum.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>

#include "platform/os/stand_in_devices.h"
#include "platform/os/udev_devices.h"

namespace ORV::OS {

namespace {

std::string Text(const char* value) { return value ? std::string(value) : std::string(); }

std::string Attribute(udev_device* device, const char* name) {
  return Text(udev_device_get_sysattr_value(device, name));
}

// Fills the USB part of a record from the USB device (not the interface).
void TakeUsbIdentity(udev_device* usb, UsbSerialDevice& record) {
  record.isUsb = true;
  record.vendorId = ParseUsbId(Attribute(usb, "idVendor"));
  record.productId = ParseUsbId(Attribute(usb, "idProduct"));
  record.serialNumber = Attribute(usb, "serial");
  record.product = Attribute(usb, "product");
  record.manufacturer = Attribute(usb, "manufacturer");
}

}  // namespace

std::uint16_t ParseUsbId(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  if (text.size() != 4) return 0;
  unsigned value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return 0;
  return static_cast<std::uint16_t>(value);
}

bool IsRealSerialPort(const TerminalFacts& facts) {
  if (!facts.hasDevNode || !facts.hasParent || facts.isVirtual) return false;
  // Serial-core ports report their UART; 0 is "unknown", a port no chip answered at.
  if (facts.uartType && (facts.uartType->empty() || *facts.uartType == "0")) return false;
  return true;
}

bool UdevUsbSerialEnumerator::IsAvailable() const {
  UdevPtr<udev> u(udev_new());
  return u != nullptr;
}

bool UdevUsbSerialEnumerator::List(std::vector<UsbSerialDevice>& devices) const {
  UdevPtr<udev> u(udev_new());
  if (!u) return false;

  std::set<std::string> usbWithTerminal;
  const bool terminals = ScanUdevDevices(u.get(), "tty", nullptr, [&](udev_device* tty) {
    TerminalFacts facts;
    const char* node = udev_device_get_devnode(tty);
    facts.hasDevNode = node != nullptr;
    facts.hasParent = udev_device_get_parent(tty) != nullptr;
    facts.isVirtual = std::string_view(Text(udev_device_get_devpath(tty))).starts_with("/devices/virtual/");
    if (const char* type = udev_device_get_sysattr_value(tty, "type")) {
      std::string t(type);
      while (!t.empty() && (t.back() == '\n' || t.back() == ' ')) t.pop_back();
      facts.uartType = t;
    }
    if (!IsRealSerialPort(facts)) return;

    UsbSerialDevice record;
    record.sysPath = Text(udev_device_get_syspath(tty));
    record.devNode = node;
    // The parent belongs to the terminal's device object; it is not released here.
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
      TakeUsbIdentity(usb, record);
      usbWithTerminal.insert(Text(udev_device_get_syspath(usb)));
    }
    devices.push_back(std::move(record));
  });
  if (!terminals) return false;

  // FTDI devices the kernel made no terminal for: listed without one, so
  // that a search can tell "attached but unusable" from "absent".
  char vendor[8];
  std::snprintf(vendor, sizeof vendor, "%04x", kFtdiVendorId);
  return ScanUdevDevices(u.get(), "usb", vendor, [&](udev_device* usb) {
    const char* type = udev_device_get_devtype(usb);
    if (!type || std::string_view(type) != "usb_device") return;
    std::string path = Text(udev_device_get_syspath(usb));
    if (usbWithTerminal.count(path)) return;
    UsbSerialDevice record;
    record.sysPath = std::move(path);
    TakeUsbIdentity(usb, record);
    devices.push_back(std::move(record));
  });
}

bool FixedUsbSerialEnumerator::List(std::vector<UsbSerialDevice>& out) const {
  out.insert(out.end(), devices.begin(), devices.end());
  return !fails;
}

std::shared_ptr<const UsbSerialEnumerator> SystemUsbSerialEnumerator() {
  // The stand-in devices, when some were handed over, are listed after the machine's.
  static const auto instance =
      std::make_shared<const StandInAwareUsbSerialEnumerator>(std::make_shared<const UdevUsbSerialEnumerator>());
  return instance;
}

}  // namespace ORV::OS

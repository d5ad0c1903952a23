#pragma once
// What the FTDI-attached instruments (microscopes, the binary flow meter, the
// heat controller) need to find their ports: the list of attached FTDI
// devices with their ids, serial numbers and terminals, and the list of USB
// serial ports. Both come from the machine's device enumeration
// (platform/os/usb_serial_enum.h); the kernel's own FTDI driver stays bound,
// so the terminals the drivers open stay in place.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/usb_serial_enum.h"

namespace ORV {

inline constexpr std::uint16_t kFtdiVendorId = OS::kFtdiVendorId;
// The single-port USB serial converter (microscopes, binary flow meter).
inline constexpr std::uint16_t kFtdiSerialConverterProductId = 0x6001;
// The heat controller's own product id.
inline constexpr std::uint16_t kFtdiHeatControllerProductId = 0xF448;

// A device id: vendor in the high half, product in the low half.
constexpr std::uint32_t FtdiDeviceId(std::uint16_t vendor, std::uint16_t product) {
  return (static_cast<std::uint32_t>(vendor) << 16) | product;
}

// One attached FTDI device.
struct FtdiDeviceInfo {
  std::uint32_t id = 0;  // FtdiDeviceId(vendor, product)
  std::string serialNumber;
  std::string description;  // the device's product text
  std::string port;         // its terminal; empty when it has none

  bool operator==(const FtdiDeviceInfo&) const = default;
};

// One USB serial port (a terminal), in the form the port search reads.
struct USSerInfo {
  std::string devicePath;    // the terminal's device in sysfs
  std::string reserved;      // stays empty
  std::string friendlyName;  // "<product> (<terminal>)"
  std::string serialNumber;  // of the USB device behind it
  bool isUsb = false;
  std::string deviceDescription;
  std::string manufacturer;
  std::string portName;  // the terminal, as the friendly name ends

  bool operator==(const USSerInfo&) const = default;
};

// The FTDI access an instrument object holds; it is set up when the object
// is created and tells from then on whether devices can be looked up at all.
class FtdiAccess {
 public:
  explicit FtdiAccess(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator);

  bool IsAvailable() const { return available_; }
  // The attached FTDI devices in enumeration order; false when the list
  // could not be made (or the access is not available).
  bool GetDeviceList(std::vector<FtdiDeviceInfo>& devices) const;
  // The terminal of the last listed device with `id` whose serial number
  // `accept`s (every one when `accept` is empty) and which has a terminal;
  // empty when there is none or the list could not be made.
  std::string FindPort(std::uint32_t id, const std::function<bool(std::string_view)>& accept = {}) const;

  const OS::UsbSerialEnumerator& Enumerator() const { return *enumerator_; }

 private:
  std::shared_ptr<const OS::UsbSerialEnumerator> enumerator_;
  bool available_ = false;
};

// Appends the USB serial ports (every listed device that has a terminal) to
// `list`. False when the enumeration failed part-way; the records made until
// then stay in the list.
bool EnumerateUsbSerialDevices(const OS::UsbSerialEnumerator& enumerator, std::vector<USSerInfo>& list);

// Compares two serial numbers as the port search does: ASCII letters without
// regard to case.
bool SameSerialNumber(std::string_view a, std::string_view b);

}  // namespace ORV

#pragma once
// The serial devices attached to the machine, as the instrument drivers need
// to know them: every terminal with a real device behind it (with the vendor,
// product and serial number of the USB device it belongs to, when there is
// one), and every USB device of the FTDI vendor, also when no terminal was
// made for it (the kernel has no driver bound to it).
//
// Terminals without hardware are left out: the virtual consoles and the
// serial-core ports whose UART type is unknown (the 8250 driver registers
// such ports whether or not a chip answers at that address), so that a
// search never waits on a port that cannot hold an instrument.
//
// The drivers see the list through UsbSerialEnumerator, which tests replace
// with a FixedUsbSerialEnumerator.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::OS {

inline constexpr std::uint16_t kFtdiVendorId = 0x0403;

struct UsbSerialDevice {
  std::string sysPath;  // the device in sysfs ("/sys/devices/.../ttyUSB0")
  std::string devNode;  // the terminal to open ("/dev/ttyUSB0"); empty when there is none
  bool isUsb = false;   // a USB device stands behind it
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string serialNumber;  // the USB device's serial number
  std::string product;       // the USB device's product text
  std::string manufacturer;  // the USB device's manufacturer text

  bool operator==(const UsbSerialDevice&) const = default;
};

class UsbSerialEnumerator {
 public:
  virtual ~UsbSerialEnumerator() = default;
  // Whether devices can be listed at all.
  virtual bool IsAvailable() const = 0;
  // Appends the attached devices to `devices` in a stable order. False when
  // the listing failed part-way; what was found until then stays.
  virtual bool List(std::vector<UsbSerialDevice>& devices) const = 0;
};

// The listing through libudev (sysfs). It needs no udev daemon: every value
// comes from the devices' sysfs attributes.
class UdevUsbSerialEnumerator final : public UsbSerialEnumerator {
 public:
  bool IsAvailable() const override;
  bool List(std::vector<UsbSerialDevice>& devices) const override;
};

// A list set by hand (tests, and machines without instruments).
class FixedUsbSerialEnumerator final : public UsbSerialEnumerator {
 public:
  bool available = true;
  bool fails = false;  // List returns false after appending the devices
  std::vector<UsbSerialDevice> devices;

  bool IsAvailable() const override { return available; }
  bool List(std::vector<UsbSerialDevice>& out) const override;
};

// The one the program uses.
std::shared_ptr<const UsbSerialEnumerator> SystemUsbSerialEnumerator();

// What decides whether a terminal stands for hardware.
struct TerminalFacts {
  bool hasDevNode = false;              // the kernel made a device node for it
  bool hasParent = false;               // a device (bus, platform, USB ...) stands behind it
  bool isVirtual = false;               // it lives under /sys/devices/virtual
  std::optional<std::string> uartType;  // the serial-core "type" attribute, when it has one
};
bool IsRealSerialPort(const TerminalFacts& facts);

// A USB id attribute ("0403") as a number; 0 when it is not four hex digits.
std::uint16_t ParseUsbId(std::string_view text);

}  // namespace ORV::OS

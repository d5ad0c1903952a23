#pragma once
// USB HID devices: finding them, opening one, learning its report lengths,
// and moving whole reports.
//
// An open device is a PortHandle whose reads deliver one input report each
// and whose writes send one output report, so the device layer drives it
// through the same port object as a serial line. In every report byte 0 is
// the report id (0 for a device that numbers no reports), and the report
// lengths count it.
//
// Devices are named by an interface path "\\?\hid#vid_VVVV&pid_PPPP#<name>"
// (lower-case hexadecimal), so a configured path prefix such as
// "\\?\hid#vid_0483&pid_0110#" selects the devices of one vendor and
// product. On this system <name> is the hidraw node's name ("hidraw3").
//
// The system transport is hidapi on its hidraw backend; the report lengths
// come from the report descriptor, read through the hidraw ioctls.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/serial_port.h"

namespace ORV::OS {

struct HidDeviceInfo {
  std::string path;  // the interface path (see above)
  std::string node;  // the device node ("/dev/hidraw3"); empty when there is none
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;

  bool operator==(const HidDeviceInfo&) const = default;
};

// The longest reports of each kind, in bytes, the report id byte included.
struct HidCaps {
  std::uint16_t inputReportLength = 0;
  std::uint16_t outputReportLength = 0;
  bool numberedReports = false;  // the descriptor declares report ids

  bool operator==(const HidCaps&) const = default;
};

// The report lengths a report descriptor declares: for each kind the
// largest report (its bits rounded up to bytes) plus the id byte. False when
// the descriptor is malformed (an item runs past its end, a Pop without a
// Push); `caps` is then left as it was.
bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidCaps& caps);

// "\\?\hid#vid_%04x&pid_%04x#" followed by the name.
std::string MakeHidInterfacePath(std::uint16_t vendorId, std::uint16_t productId, std::string_view name);

// One open HID device. Read takes one input report (a buffer shorter than
// the report gets its first bytes); the wait limit bounds the wait for it
// (0: only a report already queued; below 0: kUnboundedWaitLimitMs). Write
// sends `size` bytes as one output report.
class HidHandle : public PortHandle {
 public:
  // The device's report lengths; false when they cannot be had.
  virtual bool GetCaps(HidCaps& caps) = 0;
};

class HidTransport {
 public:
  virtual ~HidTransport() = default;

  // The present devices of the vendor and product (0: any), in the
  // system's order.
  virtual std::vector<HidDeviceInfo> List(std::uint16_t vendorId, std::uint16_t productId) = 0;
  // Opens the device named by its interface path or its node. On failure
  // returns nullptr and sets `error` to the errno (ENOENT: no such device).
  virtual std::unique_ptr<HidHandle> Open(const std::string& path, int& error) = 0;

  // List, keeping the devices whose interface path or node begins with
  // `prefix` (case-sensitive; an empty prefix keeps all).
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId, std::string_view prefix);
};

// The system's transport (hidapi on hidraw), made on first use.
HidTransport& SystemHidTransport();

}  // namespace ORV::OS

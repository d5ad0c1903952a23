#pragma once
// The microscope's stage and temperature unit: an FTDI USB serial device
// (product 0x6001) at 115200 baud with ASCII commands ended by CR ("?4x"
// reads, "=4i;" sets the light level). Up to four can be attached; each is
// matched to its terminal by the FTDI serial number.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "instruments/ascii_commands.h"
#include "instruments/device.h"
#include "instruments/ftdi_access.h"

namespace ORV {

class Microscope : public Device, public AsciiCommands {
 public:
  static constexpr const char* kLogFileName = "ORVMicroscope.log";
  // With several microscopes each writes its own log, named by
  // "%s-%d.log" from this prefix and the microscope's index.
  static constexpr const char* kLogFilePrefix = "ORVMicroscope-";
  static constexpr std::uint32_t kBaud = 115200;
  // The most microscopes the program drives at once.
  static constexpr std::size_t kMaxMicroscopes = 4;

  explicit Microscope(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator = OS::SystemUsbSerialEnumerator());
  ~Microscope() override;

  // The terminals of the attached microscopes and their FTDI serial numbers,
  // in FTDI list order, at most kMaxMicroscopes; each further one is named
  // in a warning of the event log.
  void FindComPort(std::vector<std::string>& ports, std::vector<std::string>& serialNumbers) const;

  // Sets the light level: "=4i;<value>;" (no reply is read). Needs the
  // connected flag and the FTDI access.
  bool SetValue(std::int32_t value);

  // The FTDI serial number of the device it was loaded on (set by the
  // interface manager).
  std::string SerialNumber() const;
  void SetSerialNumber(const std::string& serialNumber);

  const FtdiAccess& Ftdi() const { return ftdi_; }

 protected:
  // `port` is the terminal's path.
  bool OnLoad(const std::string& port) override;
  bool OnPing() override;

 private:
  FtdiAccess ftdi_;
  std::string serialNumber_;
};

}  // namespace ORV

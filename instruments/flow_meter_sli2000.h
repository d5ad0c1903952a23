#pragma once
// The binary flow meter behind an FTDI USB serial cable (product 0x6001,
// serial number beginning with "FT"; 115200 baud). Requests and replies are
// frames 7E, address, command, length, data, checksum, 7E, where the
// checksum is the complement of the low byte of the sum of address to data.
// A reply carries its length at byte 4 and the value at bytes 5 and 6
// (signed 16-bit big-endian); the escape byte 7D may stand for a value byte,
// and such a reply repeats the value before it.
//
// The meter is found through the FTDI device list, so Load ignores its
// argument. GetSample smooths over the last ten values.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "instruments/device.h"
#include "instruments/ftdi_access.h"

namespace ORV {

class FlowMeterSLI2000 : public Device {
 public:
  static constexpr std::uint32_t kBaud = 115200;
  static constexpr std::size_t kRingSize = 10;

  // The requests, all to address 0.
  static constexpr std::array<std::uint8_t, 6> kStartFrame = {0x7E, 0x00, 0x65, 0x00, 0x9A, 0x7E};
  static constexpr std::array<std::uint8_t, 6> kIdentityFrame = {0x7E, 0x00, 0x30, 0x00, 0xCF, 0x7E};
  static constexpr std::array<std::uint8_t, 8> kSettingFrame = {0x7E, 0x00, 0x33, 0x02, 0x00, 0x50, 0x7A, 0x7E};
  static constexpr std::array<std::uint8_t, 6> kReadValueFrame = {0x7E, 0x00, 0x35, 0x00, 0xCA, 0x7E};

  explicit FlowMeterSLI2000(
      std::shared_ptr<const OS::UsbSerialEnumerator> enumerator = OS::SystemUsbSerialEnumerator());
  ~FlowMeterSLI2000() override;

  // Asks for one value and returns the smoothed flow: a fifth of the value
  // while the ring fills after Load, then a fifth of the mean of the last
  // ten. 0 when the request cannot be sent or no complete reply comes.
  std::int16_t GetSample();

  const FtdiAccess& Ftdi() const { return ftdi_; }

 protected:
  bool OnLoad(const std::string& port) override;
  bool OnPing() override;

 private:
  // Sends one request frame.
  template <std::size_t N>
  bool SendFrame(const std::array<std::uint8_t, N>& frame) {
    return SendRawData(frame.data(), frame.size());
  }
  bool Connect();

  FtdiAccess ftdi_;
  std::int16_t lastValue_ = 0;
  std::array<std::int16_t, kRingSize> ring_{};
  std::size_t ringIndex_ = 0;
  bool firstFill_ = true;
};

}  // namespace ORV

#pragma once
// The binary flow meter behind an FTDI USB serial cable (product 0x6001,
// serial number beginning with "FT"; 115200 baud). Requests and replies are
// frames 7E, address, command, length, data, checksum, 7E, where the
// checksum is the complement of the low byte of the sum of address to data.
// Replies are frames 7E, address, command, state, length, data, checksum,
// 7E (the checksum over address to data), with 7E, 7D, 11 and 13 between the
// delimiters sent as 7D and the byte xor 20. A value reply carries the value
// at bytes 5 and 6 (signed 16-bit big-endian); when either of those is the
// escape byte 7D, the reply repeats the value before it.
//
// The meter is found through the FTDI device list, so Load ignores its
// argument. GetSample smooths over the last ten values.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "instruments/device.h"
#include "instruments/ftdi_access.h"

namespace ORV {

// The data of a reply frame to `command`, its stuffing undone; nothing
// unless `reply` is exactly one frame with both delimiters, address 0, that
// command, state 0, a length byte that matches the data and a good checksum.
std::optional<std::vector<std::uint8_t>> SLI2000ReplyData(std::span<const std::uint8_t> reply, std::uint8_t command);

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
  // ten. Nothing, and the ring unchanged, when the request cannot be sent or
  // the reply is not a good value frame.
  std::optional<std::int16_t> GetSample();

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
  // The port of the last FTDI device that is a flow meter; empty when
  // there is none (or no way to list them, which is logged).
  std::string FindPort() const;
  // What Load asks of the meter once the port is configured: start it, take
  // its identity, give it the measurement setting; false on any failure.
  bool Connect();

  FtdiAccess ftdi_;
  std::int16_t lastValue_ = 0;
  std::array<std::int16_t, kRingSize> ring_{};
  std::size_t ringIndex_ = 0;
  bool firstFill_ = true;
};

}  // namespace ORV

#pragma once
// A simulated binary flow meter on a pseudo-terminal. Requests are frames
// 7E, address, command, length, data, checksum, 7E (checksum: the
// complement of the low byte of the sum of address to data); a request
// whose checksum or length does not match is not answered. Replies are
// 7E, address, command, state, length, data, checksum, 7E, with 7E, 7D, 11
// and 13 between the delimiters sent as 7D and the byte xor 20:
//   0x65 start        -> no data
//   0x30 identity     -> one data byte, 1
//   0x35 read value   -> two data bytes: the value, signed 16-bit big-endian
//   0x33 measurement setting is taken and not answered.
// The kit's fault modes (Partial in particular) give short replies.
//
// Attached to a preparation, it measures the flow through the vessel
// (kCountsPerFlowUnit counts per microlitre a minute).
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/preparation_link.h"
#include "platform/sim/serial_responder.h"

namespace ORV::Sim {

class FlowMeterSLI2000Sim : public SerialResponder, public PreparationLink {
 public:
  static constexpr double kCountsPerFlowUnit = 5.0;

  FlowMeterSLI2000Sim();
  ~FlowMeterSLI2000Sim() override;

  void SetValue(std::int16_t value);
  // The reply frame for `command` with `data`, stuffed as on the line.
  static std::string ReplyFrame(std::uint8_t command, const std::string& data);

 protected:
  std::optional<std::string> Answer(const std::string& request) override;

 private:
  mutable std::mutex stateMutex_;
  std::int16_t value_ = 0;
};

}  // namespace ORV::Sim

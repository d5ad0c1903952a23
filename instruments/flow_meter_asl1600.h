#pragma once
// The ASCII flow meter on a plain serial port (19200 baud; models that
// answer as ASL1600 or ASL1430). Commands end with CR. After "go" the meter
// streams its measurement without being asked, as frames of four bytes:
// 7F 7F and the raw value, signed 16-bit big-endian; the flow is the raw
// value divided by the meter's factor (read from its "info" text at Load).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "instruments/ascii_commands.h"
#include "instruments/device.h"

namespace ORV {

// The newest flow value in a stretch of the meter's stream: searching back
// from the last complete four-byte window, the first place where two 0x7F
// bytes are followed by a byte other than 0x7F; the two bytes after the
// pair, divided by `factor` and truncated toward zero. Values from -9 to 9
// give 0; a stream without such a place (or a factor of 0) gives nothing.
std::optional<std::int16_t> DecodeFlowStream(const std::uint8_t* data, std::size_t size, float factor);

// The factor in the meter's "info" text: the integer after "Factor:" and 13
// spaces, when it lies from 1 to 99; 0 otherwise.
int ParseFlowFactor(std::string_view info);

class FlowMeterASL1600 : public Device, public AsciiCommands {
 public:
  static constexpr std::uint32_t kBaud = 19200;
  // The time-out of the set-up exchanges at Load.
  static constexpr std::int32_t kSetupTimeout = 1000;
  static constexpr std::size_t kSampleBufferSize = 256;
  // What the drain of a meter still streaming from an earlier run may take:
  // a meter that never stops must not keep Load waiting.
  static constexpr int kMaxDrainReads = 16;
  static constexpr std::uint32_t kMaxDrainMs = 2000;

  FlowMeterASL1600();
  ~FlowMeterASL1600() override;

  // One flow value from the stream; nothing unless open and connected, and
  // when the meter sent no frame within the port's time-out or the read
  // failed.
  std::optional<std::int16_t> GetSample();
  float Factor() const;

 protected:
  // `port` is the terminal's path.
  bool OnLoad(const std::string& port) override;
  bool OnPing() override;
  // Stops the stream and resets the meter ("s", "reset") when connected.
  void OnClose() override;

 private:
  // The set-up of Load once the port is configured: stop a stream still
  // running, read the factor, start the stream; false on any failure.
  bool SetUp();
  void Drain();

  float factor_ = 1.0f;
};

}  // namespace ORV

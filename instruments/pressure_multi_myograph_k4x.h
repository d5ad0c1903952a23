#pragma once
// The multi interface: the USB unit that sets the chamber pressures (P1,
// P2), pulsation and heating, and measures pressures, pH, force,
// temperatures and, on newer firmware, the flow of an internal flow meter.
//
// It talks USB HID, 64-byte or 19-byte reports in both directions. Every
// request is one output report [1, 0x60, sub-command, arguments, zeros];
// every answer one input report, decoded as multi_interface_answers.h says.
//
// Each request first discards input reports that are already queued (late
// answers, reports the unit sent on its own), so an answer always belongs to
// the request just sent. A getter succeeds only on its own reply code; a set
// request accepts any code the driver decodes, since the unit may
// acknowledge with another one. An answer is decoded only when all its
// fields lie inside the report. Values are copied out only on success.
//
// Every request holds the device lock; requests other than Ping are refused
// (nothing sent) unless the device is connected.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "instruments/device.h"
#include "instruments/multi_interface_answers.h"
#include "platform/os/hid_transport.h"

namespace ORV {

class PressureMultiMyographK4x : public Device {
 public:
  // The unit with the fast block, the extended channel values and pulsation.
  static constexpr std::uint32_t kModelFast = MultiAnswers::kModelFast;
  static constexpr std::size_t kExtendedCount = MultiAnswers::kExtendedCount;

  // Sub-commands.
  using Command = MultiAnswers::Command;
  using enum MultiAnswers::Command;
  // An output of SetDigitalOutputs left as it is.
  static constexpr std::uint8_t kOutputUnchanged = 0xFF;
  // The "keep the stored value" argument of SetPressures and SetTemperatures.
  static constexpr float kKeep = -1.0f;

  // Everything a fast sample needs, in one report (model kModelFast).
  struct FastBlock {
    float p1 = 0, p2 = 0, pH = 0;
    float flow = 0;          // unsigned 16-bit in the report
    float temperature1 = 0;  // hundredths of a degree in the report
    float force = 0;
    bool extendedPresent = false;
    // Copied only for model kModelFast when the unit flags them present.
    std::array<std::uint32_t, kExtendedCount> extended{};
  };
  // Targets, settings and all eight digital states.
  struct SlowBlock {
    float targetP1 = 0, targetP2 = 0, gradient = 0;
    float temperature4 = 0;  // the temperature target
    float pulseRate = 0;
    std::uint8_t dutyRate = 0;
    std::array<bool, 8> states{};  // states 1 to 8; state 6 is always true
  };
  using InfoBlock = MultiAnswers::InfoBlock;
  using ConstantFlow = MultiAnswers::ConstantFlow;
  using DigitalStates = std::array<bool, 7>;  // states 1 to 7
  using Temperatures = MultiAnswers::Temperatures;
  using StatusBytes = MultiAnswers::StatusBytes;

  // The transport that finds and opens the device (the system's by default;
  // the simulated lab's in tests). It must outlive the device.
  explicit PressureMultiMyographK4x(OS::HidTransport& transport = OS::SystemHidTransport());
  ~PressureMultiMyographK4x() override;

  // The getters.
  bool GetForce(float& force, float& force2);
  bool GetFastBlock(FastBlock& block);
  bool GetSlowBlock(SlowBlock& block);
  bool GetPressures(float& p1, float& p2, float& p3, float& gradient);
  bool GetTargets(float& targetP1, float& targetP2, float& p3, float& gradient);
  // Flow of magnitude below 10 reads as 0.
  bool GetPhAndFlow(float& pH, float& flow);
  bool GetInfoBlock(InfoBlock& info);
  bool GetStatusBytes(StatusBytes& bytes);
  bool GetConstantFlow(ConstantFlow& settings);
  // Also learns the firmware and model code, the first time only.
  bool GetDigitalStates(DigitalStates& states);
  bool GetTemperatures(Temperatures& temperatures);

  // The set requests; true when the unit answered with a code the driver
  // decodes.
  // kKeep in p1, p2 or gradient sends the stored value; the stored gradient
  // is first raised to 1.0 when below. With 64-byte reports a pulse or duty
  // rate of 0 sends the stored one, and the pulse rate, duty rate and
  // pulsation flag go out too.
  bool SetPressures(float p1, float p2, float gradient, std::uint16_t pulseRate, std::uint8_t dutyRate,
                    std::uint8_t pulsation);
  // kKeep sends the stored temperature 1, 5 and 6 respectively. Each value
  // goes out in hundredths of a degree, 0 to 655.35; a value outside that
  // cannot be sent, and the request is refused (false, nothing sent).
  bool SetTemperatures(float heater, float second, float third);
  // 0/1 switch an output off/on, kOutputUnchanged leaves it; zeroForce 1
  // zeroes the force transducer.
  bool SetDigitalOutputs(std::uint8_t heater, std::uint8_t flow, std::uint8_t pressure, std::uint8_t zeroForce);
  // On success the settings are stored.
  bool SetConstantFlow(const ConstantFlow& settings);

  // What the device has learnt.
  bool Has64ByteReports() const;
  std::uint32_t ModelCode() const;
  std::uint8_t FirmwareMajor() const;
  std::uint8_t FirmwareMinor() const;
  std::string FirmwareText() const;
  bool InternalFlowCapable() const;
  // State 1 to 8, as the last digital-state, slow-block or force answer
  // carried it (state 6 is always true); false for any other number.
  bool DigitalState(int state) const;
  std::uint16_t PulseRate() const;
  std::uint8_t DutyRate() const;
  std::uint16_t PingValue() const;
  ConstantFlow StoredConstantFlow() const;
  std::uint32_t LastReplyCode() const;

 protected:
  bool OnLoad(const std::string& path) override;
  bool OnPing() override;

 private:
  enum class RequestLog { Full, SentOnly, None };
  // The reply-code argument of DecodeReply that accepts any decoded code.
  static constexpr std::uint32_t kAnyDecodedCode = 0;

  // One request cycle: discard queued input, send the report, wait after a
  // set request, decode the answer.
  bool Request(Command command, std::span<const std::uint8_t> arguments, RequestLog log);
  // Reads one input report and decodes it into `unit_`; `expected` is the
  // only code that succeeds, or kAnyDecodedCode.
  bool DecodeReply(std::uint32_t expected);
  void DiscardQueuedInput();
  // Logs `what` followed by the bytes in hex; the text is only made when
  // logging is on, as requests run every few milliseconds.
  void LogReport(std::string_view what, std::span<const std::uint8_t> bytes);

  OS::HidTransport& transport_;

  std::vector<std::uint8_t> in_;   // input report
  std::vector<std::uint8_t> out_;  // output report
  bool reports64_ = false;

  MultiAnswers::UnitValues unit_;
  std::uint32_t lastReplyCode_ = 0;
};

}  // namespace ORV

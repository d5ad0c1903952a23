#pragma once
// The single pressure interface: one chamber's inlet and outlet pressure and
// temperature, over a serial line at 9600 baud with ASCII commands ended by
// CR ("?01nn" reads, "=01nn" sets). Replies begin with ">" and end with CR;
// their fields are separated by commas.
//
// Every operation is refused (false or 0, nothing sent) unless the port is
// open and the unit connected; Ping only needs the open port.
#include <cstdint>
#include <string>
#include <string_view>

#include "instruments/ascii_commands.h"
#include "instruments/device.h"

namespace ORV {

class PressureMyographK4x : public Device, public AsciiCommands {
 public:
  static constexpr const char* kLogFileName = "ORVPressureInterface.log";
  // The time-out the unit needs at least; with 9600 baud it selects the
  // 50 ms interval and 10 ms per byte plus 200 ms read rule.
  static constexpr std::int32_t kMinimumTimeout = 1250;
  static constexpr std::uint32_t kBaud = 9600;

  // The single-value queries.
  static constexpr std::string_view kTemperatureTarget = "?0110";
  static constexpr std::string_view kSwitch1 = "?0111";
  static constexpr std::string_view kTargetP1 = "?0120";
  static constexpr std::string_view kTargetP2 = "?0121";
  static constexpr std::string_view kSwitch4 = "?0122";
  static constexpr std::string_view kFlowValid = "?0124";

  PressureMyographK4x();
  ~PressureMyographK4x() override;

  // 0 until Ping accepted the unit, then 1 ("V3.25") to 5 ("V4.00"). It
  // survives Close.
  std::uint32_t FirmwareIndex() const;

  // The five measured values, "?0107". False (outputs unchanged) unless the
  // reply carries five numbers.
  bool GetValues(float& p1, float& p2, float& force, float& pH, float& temperature);
  // A single-value query such as kTargetP1: the number after ">", else 0.
  float GetValue(std::string_view command);
  // An on/off query such as kSwitch1: true when the unit answers 1.
  bool GetFlag(std::string_view command);
  bool GetFlowValid() { return GetFlag(kFlowValid); }

  // The set commands. Each is true when the unit acknowledged it (its reply
  // begins with ">01").
  bool SetTemperature(float temperature);  // "=0110" and the value with one decimal
  bool SetSwitch1(bool on);                // "=01111" / "=01110": the heater
  bool SetTargetP1(std::int32_t p1);       // "=0120" and the whole number
  bool SetTargetP2(std::int32_t p2);       // "=0121" and the whole number
  bool SetSwitch4(bool on);                // "=01221" / "=01220": the pressure
  bool ZeroForce();                        // "=0112"

 protected:
  bool OnLoad(const std::string& port) override;
  bool OnPing() override;

 private:
  // Sends a set command; true when the reply begins with ">01".
  bool Acknowledged(const std::string& command);
  // Sends a query when connected; the reply, or nothing.
  bool Ask(std::string_view command, std::string& reply);

  std::uint32_t firmwareIndex_ = 0;
};

}  // namespace ORV

#include "instruments/pressure_myograph_k4x.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "core/base/event_log.h"
#include "instruments/ascii_reply.h"
#include "platform/os/number_text.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::string_view kGetVersion = "?0100";
constexpr std::string_view kGetValues = "?0107";
constexpr std::string_view kAcknowledge = ">01";

constexpr std::array<std::string_view, 5> kUnitTypes = {"K40Q", "K41Q", "K50CQ", "K45FQ", "K40ZR"};
constexpr std::array<std::pair<std::string_view, std::uint32_t>, 5> kFirmware = {{
    {"V3.25", 1},
    {"V3.29", 2},
    {"V3.30", 3},
    {"V3.31", 4},
    {"V4.00", 5},
}};

constexpr int kOpenAttempts = 3;
constexpr std::uint32_t kOpenRetryMs = 250;
constexpr std::uint32_t kSettleMs = 1500;

}  // namespace

PressureMyographK4x::PressureMyographK4x() : Device(kDeviceSinglePressureInterface), AsciiCommands(*this, ',') {}

PressureMyographK4x::~PressureMyographK4x() { Close(); }

std::uint32_t PressureMyographK4x::FirmwareIndex() const {
  Guard g(Lock());
  return firmwareIndex_;
}

bool PressureMyographK4x::OnLoad(const std::string& port) {
  // The port name is the terminal's path.
  return OpenSerial(port, {.who = "PressureMyographK4x",
                           .baud = kBaud,
                           .timeout = std::max(Timeout(), kMinimumTimeout),
                           .openAttempts = kOpenAttempts,
                           .openRetryMs = kOpenRetryMs,
                           .logPortOpen = true,
                           .logTimeout = false,
                           .settleMs = kSettleMs,
                           .check = [this] { return OnPing(); },
                           // No entry: the interface manager goes on to the next port.
                           .failed = {}});
}

bool PressureMyographK4x::OnPing() {
  if (!Port().IsOpen()) return false;
  std::string reply;
  if (!Query(reply, kGetVersion)) {
    LogError("PressureMyographK4x::Ping() - Failed to send 'PMK4x_GET_VERSION' command");
    return false;
  }
  std::vector<std::string> fields;
  if (!SplitReply(reply, ">01,", fields, 3, 1)) {
    LogError("PressureMyographK4x::Ping() - Failed to validate 'PMK4x_GET_VERSION_REPLY' reply: " + reply);
    return false;
  }
  const std::string& type = fields[1];
  const std::string& version = fields[2];
  const bool knownType = std::find(kUnitTypes.begin(), kUnitTypes.end(), type) != kUnitTypes.end();
  const auto firmware =
      std::find_if(kFirmware.begin(), kFirmware.end(), [&](const auto& entry) { return entry.first == version; });
  if (!knownType || firmware == kFirmware.end()) {
    const std::string text = "PressureMyographK4x::Load() - Multi Interface is of unsupported type '" + type +
                             "' or unsupported software version " + version;
    LogError(text + "\n");
    WriteLog(text);
    return false;
  }
  firmwareIndex_ = firmware->second;
  LogInformation("PressureMyographK4x::Load() - Multi Interface type '" + type + "' with software version " + version +
                 "\n");
  WriteLog("Interface type: '" + type + "' - Firmware version: '" + version + "'");
  return true;
}

bool PressureMyographK4x::Ask(std::string_view command, std::string& reply) {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected()) return false;
  return Query(reply, command);
}

bool PressureMyographK4x::GetValues(float& p1, float& p2, float& force, float& pH, float& temperature) {
  std::string reply;
  if (!Ask(kGetValues, reply) || !IsCompleteReply(reply)) return false;
  std::vector<std::string> fields;
  std::array<float, 5> values{};
  if (!SplitReply(reply, ">", fields, values.size(), 1) || !ParseNumberFields(fields, values)) return false;
  p1 = values[0];
  p2 = values[1];
  force = values[2];
  pH = values[3];
  temperature = values[4];
  return true;
}

float PressureMyographK4x::GetValue(std::string_view command) {
  std::string reply;
  if (!Ask(command, reply)) return 0.0f;
  return static_cast<float>(ReplyNumber(reply).value_or(0.0));
}

bool PressureMyographK4x::GetFlag(std::string_view command) {
  std::string reply;
  if (!Ask(command, reply)) return false;
  return ReplyNumber(reply) == 1.0;
}

bool PressureMyographK4x::Acknowledged(const std::string& command) {
  Guard g(Lock());
  std::string reply;
  const bool asked = Ask(command, reply);
  // Unanswered, it may still have been taken.
  NoteSettingSent();
  return asked && reply.starts_with(kAcknowledge);
}

bool PressureMyographK4x::SetTemperature(float temperature) {
  // A value that is no number is never sent to a heater.
  if (!std::isfinite(temperature)) return false;
  return Acknowledged("=0110" + OS::FormatFixed(temperature, 1));
}

bool PressureMyographK4x::SetSwitch1(bool on) { return Acknowledged(on ? "=01111" : "=01110"); }

bool PressureMyographK4x::SetTargetP1(std::int32_t p1) { return Acknowledged("=0120" + OS::FormatInt(p1)); }

bool PressureMyographK4x::SetTargetP2(std::int32_t p2) { return Acknowledged("=0121" + OS::FormatInt(p2)); }

bool PressureMyographK4x::SetSwitch4(bool on) { return Acknowledged(on ? "=01221" : "=01220"); }

bool PressureMyographK4x::ZeroForce() { return Acknowledged("=0112"); }

}  // namespace ORV

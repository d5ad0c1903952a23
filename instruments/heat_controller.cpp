#include "instruments/heat_controller.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "core/base/event_log.h"
#include "instruments/ascii_reply.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// The firmware texts the controller may name, tried in this order; each
// must start right after the reply's head ">2s;".
constexpr std::array<std::string_view, 3> kFirmware = {
    "Firmware Ver.2.00.000",
    "Firmware Ver.1.22.000",
    "Firmware Ver.1.1",
};
constexpr std::size_t kFieldStart = 4;
constexpr std::uint32_t kSettleMs = 1000;

}  // namespace

HeatController::HeatController(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator)
    : Device(kDeviceHeatController), AsciiCommands(*this, ';'), ftdi_(std::move(enumerator)) {
  if (!ftdi_.IsAvailable()) LogError("HeatController::HeatController() - Driver DLL not found");
}

HeatController::~HeatController() { Close(); }

bool HeatController::OnLoad(const std::string&) {
  SetConnected(false);
  if (!ftdi_.IsAvailable()) {
    LogError("HeatController::FindComPort() - Unable to search for HeatController port (no FTDI driver found)\n");
    return false;
  }
  const std::string port = ftdi_.FindPort(FtdiDeviceId(kFtdiVendorId, kFtdiHeatControllerProductId));
  if (port.empty()) return false;

  // A port left open by an earlier load is given up first: the new one may
  // be another terminal, and the same one cannot be opened twice.
  return OpenSerial(port, {.who = "HeatController",
                           .baud = kBaud,
                           .timeout = std::max(static_cast<std::int32_t>(ResolveTimeout(Timeout())), kMinimumTimeout),
                           .reopen = true,
                           .logConfigureFailure = true,
                           .settleMs = kSettleMs,
                           .check = [this] { return OnPing() && ReadSettingsLocked(); },
                           .failed = "HeatController::Load() - Failed connecting to HeatController"});
}

bool HeatController::OnPing() {
  if (!Port().IsOpen()) return false;
  std::string reply;
  if (Query(reply, "?2s")) {
    for (std::string_view firmware : kFirmware)
      if (reply.find(firmware) == kFieldStart) return true;
  }
  LogError("HeatController::Ping() - Unknown reply (" + reply + ") from Heat Controller");
  return false;
}

bool HeatController::Read(std::string_view command, std::string_view prefix, std::size_t minimum,
                          std::vector<std::string>& fields) {
  std::string reply;
  return Query(reply, command) && IsCompleteReply(reply) && SplitReply(reply, prefix, fields, minimum, kFieldStart);
}

bool HeatController::ReadSettings() {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected()) return false;
  return ReadSettingsLocked();
}

bool HeatController::ReadSettingsLocked() {
  std::vector<std::string> targetFields, differenceFields, furtherFields;
  std::array<float, kChannels> targets{}, differences{};
  std::array<float, 2> further{};
  if (!Read("?22", ">22;", kChannels, targetFields) || !Read("?2d", ">2d;", kChannels, differenceFields) ||
      !Read("?2p", ">2p;", further.size(), furtherFields))
    return false;
  if (!ParseNumberFields(targetFields, targets) || !ParseNumberFields(differenceFields, differences) ||
      !ParseNumberFields(furtherFields, further))
    return false;
  targets_ = targets;
  differences_ = differences;
  further_ = further;
  return true;
}

bool HeatController::ReadCurrent(HeatControllerSample& sample) {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected()) return false;
  std::vector<std::string> states, temperatureFields;
  std::array<float, kChannels> temperatures{};
  if (!Read("?2c", ">2c;", kChannels, states) || !Read("?21", ">21;", kChannels, temperatureFields) ||
      !ParseNumberFields(temperatureFields, temperatures))
    return false;
  for (std::size_t i = 0; i < kChannels; ++i) sample.channelFlags[i] = states[i].starts_with('0') ? 1 : 0;
  sample.temperatures = temperatures;
  return true;
}

bool HeatController::SendFour(std::string_view head, const std::array<float, kChannels>& values) {
  // A value that is no number is never sent to a heater.
  if (!std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); })) return false;
  std::string command(head);
  for (float v : values) command += FormatZeroPadded(v, 4, 1) + ";";
  return Send(command);
}

bool HeatController::SetTarget(std::size_t chamber, float target) {
  Guard g(Lock());
  if (chamber >= kChannels || !Port().IsOpen() || !IsConnected()) return false;
  std::array<float, kChannels> targets = targets_;
  targets[chamber] = target;
  if (!SendFour("=22;", targets)) return false;
  targets_ = targets;
  return true;
}

bool HeatController::SetDifferences(const std::array<float, kChannels>& differences) {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected()) return false;
  if (!SendFour("=2d;", differences)) return false;
  differences_ = differences;
  return true;
}

std::array<float, HeatController::kChannels> HeatController::Targets() const {
  Guard g(Lock());
  return targets_;
}

std::array<float, HeatController::kChannels> HeatController::Differences() const {
  Guard g(Lock());
  return differences_;
}

std::array<float, 2> HeatController::FurtherValues() const {
  Guard g(Lock());
  return further_;
}

}  // namespace ORV

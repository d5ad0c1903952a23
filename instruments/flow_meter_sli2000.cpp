#include "instruments/flow_meter_sli2000.h"

#include <mutex>
#include <numeric>
#include <string_view>
#include <vector>

#include "core/base/configuration.h"
#include "core/base/event_log.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kEscape = 0x7D;
// The shortest replies that hold what is read from them: the length byte
// (identity) and the two value bytes (read value).
constexpr std::size_t kIdentityReplySize = 5;
constexpr std::size_t kValueReplySize = 7;
constexpr std::uint32_t kStartReplyWaitMs = 500;
constexpr std::uint32_t kSettleMs = 1000;

bool IsFlowMeterSerial(std::string_view serial) { return serial.starts_with("FT"); }

}  // namespace

FlowMeterSLI2000::FlowMeterSLI2000(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator)
    : Device(kDeviceFlowMeter, ','), ftdi_(std::move(enumerator)) {
  if (!ftdi_.IsAvailable()) LogError("FlowMeterSLI2000::FlowMeterSLI2000() - Driver DLL not found");
}

FlowMeterSLI2000::~FlowMeterSLI2000() { Close(); }

bool FlowMeterSLI2000::OnLoad(const std::string&) {
  SetConnected(false);
  Connect();
  if (!IsConnected()) {
    LogError("FlowMeterSLI2000::Load() - Failed connecting to FlowMeterSLI2000");
    OnClose();
  }
  return IsConnected();
}

bool FlowMeterSLI2000::Connect() {
  if (!ftdi_.IsAvailable()) {
    LogError("FlowMeterSLI2000::FindComPort() - Unable to search for FlowMeterSLI2000 port (no FTDI driver found)\n");
    return false;
  }
  const std::string port =
      ftdi_.FindPort(FtdiDeviceId(kFtdiVendorId, kFtdiSerialConverterProductId), IsFlowMeterSerial);
  if (port.empty()) return false;

  // A port left open by an earlier load is given up first: the new one may
  // be another terminal, and the same one cannot be opened twice.
  Port().Close();
  if (!Port().Open(port)) {
    LogOpenFailed("FlowMeterSLI2000", port);
    return false;
  }
  LogPortOpen(port);
  SetPortName(port);
  const auto timeout = static_cast<std::int32_t>(ResolveTimeout(Configuration::Instance().DeviceMicroscopeTimeout));
  LogOpened("FlowMeterSLI2000", port, timeout);
  if (Port().Configure(kBaud, timeout) != 0 || !SendFrame(kStartFrame)) return false;
  Wait(kStartReplyWaitMs);
  std::vector<std::uint8_t> reply;
  if (!ReadData(reply)) return false;

  Wait(kSettleMs);
  lastValue_ = 0;
  ringIndex_ = 0;
  firstFill_ = true;
  // The measurement setting goes only to a meter that identified itself as
  // the expected one.
  if (!OnPing()) return false;
  SetConnected(true);
  SendFrame(kSettingFrame);
  return true;
}

bool FlowMeterSLI2000::OnPing() {
  std::vector<std::uint8_t> reply;
  if (!SendFrame(kIdentityFrame) || !ReadData(reply)) return false;
  return reply.size() >= kIdentityReplySize && reply[4] == 1;
}

std::int16_t FlowMeterSLI2000::GetSample() {
  Guard g(Lock());
  std::vector<std::uint8_t> reply;
  if (!SendFrame(kReadValueFrame) || !ReadData(reply)) return 0;
  // A reply cut short is no reply.
  if (reply.size() < kValueReplySize) return 0;
  if (reply[5] != kEscape && reply[6] != kEscape)
    lastValue_ = static_cast<std::int16_t>(static_cast<std::uint16_t>((reply[5] << 8) | reply[6]));

  if (ringIndex_ >= kRingSize) {
    ringIndex_ = 0;
    firstFill_ = false;
  }
  ring_[ringIndex_] = lastValue_;
  const int result = firstFill_ ? lastValue_ / 5 : std::accumulate(ring_.begin(), ring_.end(), 0) / 50;
  ++ringIndex_;
  return static_cast<std::int16_t>(result);
}

}  // namespace ORV

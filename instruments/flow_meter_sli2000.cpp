#include "instruments/flow_meter_sli2000.h"

#include <mutex>
#include <numeric>
#include <string_view>
#include <vector>

#include "core/base/event_log.h"
#include "platform/os/byte_order.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kDelimiter = 0x7E;
constexpr std::uint8_t kEscape = 0x7D;
constexpr std::uint8_t kReadValueCommand = 0x35;
// The shortest identity reply that holds what is read from it: the length
// byte.
constexpr std::size_t kIdentityReplySize = 5;
constexpr std::size_t kValueSize = 2;
constexpr std::uint32_t kStartReplyWaitMs = 500;
constexpr std::uint32_t kSettleMs = 1000;

bool IsFlowMeterSerial(std::string_view serial) { return serial.starts_with("FT"); }

}  // namespace

std::optional<std::vector<std::uint8_t>> SLI2000ReplyData(std::span<const std::uint8_t> reply, std::uint8_t command) {
  if (reply.size() < 2 || reply.front() != kDelimiter || reply.back() != kDelimiter) return std::nullopt;
  // Address, command, state, length, data and checksum, unstuffed.
  std::vector<std::uint8_t> body;
  for (std::size_t i = 1; i + 1 < reply.size(); ++i) {
    if (reply[i] == kDelimiter) return std::nullopt;
    if (reply[i] != kEscape) {
      body.push_back(reply[i]);
    } else {
      if (i + 2 >= reply.size()) return std::nullopt;
      body.push_back(static_cast<std::uint8_t>(reply[++i] ^ 0x20));
    }
  }
  if (body.size() < 5) return std::nullopt;
  const std::uint8_t address = body[0], replyCommand = body[1], state = body[2], length = body[3];
  if (address != 0 || replyCommand != command || state != 0 || body.size() != 5u + length) return std::nullopt;
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < body.size(); ++i) sum += body[i];
  if (static_cast<std::uint8_t>(~sum & 0xFF) != body.back()) return std::nullopt;
  return std::vector<std::uint8_t>(body.begin() + 4, body.end() - 1);
}

FlowMeterSLI2000::FlowMeterSLI2000(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator)
    : Device(kDeviceFlowMeter), ftdi_(std::move(enumerator)) {
  if (!ftdi_.IsAvailable()) LogError("FlowMeterSLI2000::FlowMeterSLI2000() - Driver DLL not found");
}

FlowMeterSLI2000::~FlowMeterSLI2000() { Close(); }

bool FlowMeterSLI2000::OnLoad(const std::string&) {
  SetConnected(false);
  const std::string port = FindPort();
  // A port left open by an earlier load is given up first: the new one may
  // be another terminal, and the same one cannot be opened twice.
  if (!port.empty()) {
    OpenSerial(port, {.who = "FlowMeterSLI2000",
                      .baud = kBaud,
                      .timeout = static_cast<std::int32_t>(ResolveTimeout(Timeout())),
                      .reopen = true,
                      .logPortOpen = true,
                      .check = [this] { return Connect(); },
                      .failed = {}});
  }
  // Every failure, a meter not found included, ends in the same entry.
  if (!IsConnected()) {
    LogError("FlowMeterSLI2000::Load() - Failed connecting to FlowMeterSLI2000");
    OnClose();
  }
  return IsConnected();
}

std::string FlowMeterSLI2000::FindPort() const {
  if (!ftdi_.IsAvailable()) {
    LogError("FlowMeterSLI2000::FindComPort() - Unable to search for FlowMeterSLI2000 port (no FTDI driver found)\n");
    return {};
  }
  return ftdi_.FindPort(FtdiDeviceId(kFtdiVendorId, kFtdiSerialConverterProductId), IsFlowMeterSerial);
}

bool FlowMeterSLI2000::Connect() {
  if (!SendFrame(kStartFrame)) return false;
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
  SendFrame(kSettingFrame);
  return true;
}

bool FlowMeterSLI2000::OnPing() {
  std::vector<std::uint8_t> reply;
  if (!SendFrame(kIdentityFrame) || !ReadData(reply)) return false;
  return reply.size() >= kIdentityReplySize && reply[4] == 1;
}

std::optional<std::int16_t> FlowMeterSLI2000::GetSample() {
  Guard g(Lock());
  std::vector<std::uint8_t> reply;
  if (!SendFrame(kReadValueFrame) || !ReadData(reply)) return std::nullopt;
  // Garbage on the line, a reply cut short or one the meter marks as failed
  // is no reading.
  const std::optional<std::vector<std::uint8_t>> value = SLI2000ReplyData(reply, kReadValueCommand);
  if (!value || value->size() != kValueSize) return std::nullopt;
  // A value byte that went out escaped repeats the value before.
  if (reply[5] != kEscape && reply[6] != kEscape) lastValue_ = Bytes::GetBE<std::int16_t>(value->data());

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

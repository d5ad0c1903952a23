#include "instruments/flow_meter_asl1600.h"

#include <array>
#include <mutex>
#include <vector>

#include "core/base/event_log.h"
#include "platform/os/byte_order.h"
#include "platform/os/tick_source.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kMark = 0x7F;
constexpr std::string_view kFactorKey = "Factor:             ";  // 13 spaces follow the colon
constexpr std::uint32_t kPingWaitMs = 500;
constexpr std::uint32_t kStopWaitMs = 50;

}  // namespace

std::optional<std::int16_t> DecodeFlowStream(const std::uint8_t* data, std::size_t size, float factor) {
  if (size < 4 || !(factor != 0.0f)) return std::nullopt;
  for (std::size_t p = size - 4 + 1; p-- > 0;) {
    if (data[p] != kMark || data[p + 1] != kMark || data[p + 2] == kMark) continue;
    const auto raw = Bytes::GetBE<std::int16_t>(data + p + 2);
    const int flow = static_cast<int>(static_cast<float>(raw) / factor);
    return static_cast<std::int16_t>((flow >= -9 && flow <= 9) ? 0 : flow);
  }
  return std::nullopt;
}

int ParseFlowFactor(std::string_view info) {
  const std::size_t at = info.find(kFactorKey);
  if (at == std::string_view::npos) return 0;
  std::string_view rest = info.substr(at + kFactorKey.size());
  bool negative = false;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  int value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > 99) return 0;  // also keeps long digit strings from overflowing
  }
  if (negative || value < 1) return 0;
  return value;
}

FlowMeterASL1600::FlowMeterASL1600() : Device(kDeviceFlowMeter), AsciiCommands(*this, ',') {}

FlowMeterASL1600::~FlowMeterASL1600() { Close(); }

float FlowMeterASL1600::Factor() const {
  Guard g(Lock());
  return factor_;
}

bool FlowMeterASL1600::OnLoad(const std::string& port) {
  const std::string failed = "FlowMeterASL1600::Load() - Failed connecting to ORV Flowmeter at port: " + port;
  // The set-up exchanges wait up to a second each; the stream is read with
  // the meter's own time-out once it runs.
  return OpenSerial(port, {.who = "FlowMeterASL1600",
                           .baud = kBaud,
                           .timeout = static_cast<std::int32_t>(ResolveTimeout(Timeout())),
                           .checkTimeout = kSetupTimeout,
                           .check = [this] { return SetUp(); },
                           .failed = failed});
}

bool FlowMeterASL1600::SetUp() {
  const std::uint8_t cr = kCommandEnd, stop = 's';
  if (!SendRawData(&cr, 1)) return false;
  Wait(kStopWaitMs);
  if (!SendRawData(&stop, 1)) return false;
  Drain();

  std::string reply;
  if (!Query(reply, "mod=F") || !Query(reply, "info")) return false;
  const int factor = ParseFlowFactor(reply);
  if (factor == 0) return false;
  factor_ = static_cast<float>(factor);
  return Query(reply, "res=7") && Query(reply, "go");
}

void FlowMeterASL1600::Drain() {
  std::array<std::uint8_t, kReadSize> buffer{};
  const std::uint32_t start = OS::GetTickCount();
  for (int i = 0; i < kMaxDrainReads && OS::GetTickCount() - start < kMaxDrainMs; ++i) {
    std::uint32_t received = 0;
    if (Port().Read(buffer.data(), kReadSize, received) < 0 || received == 0) return;
  }
}

bool FlowMeterASL1600::OnPing() {
  Wait(kPingWaitMs);
  std::string reply;
  if (!Query(reply, "ver")) return false;
  if (reply.find("ASL1600 20") != std::string::npos || reply.find("ASL1430") != std::string::npos) return true;
  LogError("FlowMeterASL1600::Ping() - Unknown reply (" + reply + ") from ORV Flow meter");
  return false;
}

void FlowMeterASL1600::OnClose() {
  if (Port().IsOpen() && IsConnected()) {
    std::string reply;
    Query(reply, "s");
    Query(reply, "reset");
  }
  Device::OnClose();
}

std::optional<std::int16_t> FlowMeterASL1600::GetSample() {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected()) return std::nullopt;
  std::array<std::uint8_t, kSampleBufferSize> buffer{};
  std::size_t total = 0;
  while (total < 4) {
    std::uint32_t received = 0;
    const int rc = Port().Read(buffer.data() + total, static_cast<std::uint32_t>(buffer.size() - total), received);
    // A read that brings nothing is a silent meter, not a reason to wait on.
    if (rc < 0 || received == 0) return std::nullopt;
    total += received;
  }
  return DecodeFlowStream(buffer.data(), total, factor_);
}

}  // namespace ORV

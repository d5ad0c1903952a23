#include "platform/sim/flow_meter_sli2000_sim.h"

#include "platform/os/byte_order.h"

namespace ORV::Sim {

namespace {

constexpr char kDelimiter = '\x7E';
constexpr char kEscape = '\x7D';

bool MustStuff(char c) { return c == '\x7E' || c == '\x7D' || c == '\x11' || c == '\x13'; }

std::uint8_t Checksum(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum += static_cast<std::uint8_t>(c);
  return static_cast<std::uint8_t>(~sum & 0xFF);
}

// The bytes between the delimiters with the stuffing undone; nothing when
// an escape byte ends the frame.
std::optional<std::string> Unstuff(const std::string& frame) {
  std::string body;
  for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
    if (frame[i] != kEscape) {
      body.push_back(frame[i]);
      continue;
    }
    if (i + 2 >= frame.size()) return std::nullopt;
    body.push_back(static_cast<char>(frame[++i] ^ 0x20));
  }
  return body;
}

}  // namespace

FlowMeterSLI2000Sim::FlowMeterSLI2000Sim() : SerialResponder(Framing::Frame) {}

FlowMeterSLI2000Sim::~FlowMeterSLI2000Sim() { Stop(); }

void FlowMeterSLI2000Sim::SetValue(std::int16_t value) {
  std::lock_guard<std::mutex> g(stateMutex_);
  value_ = value;
}

std::string FlowMeterSLI2000Sim::ReplyFrame(std::uint8_t command, const std::string& data) {
  std::string body{'\0', static_cast<char>(command), '\0', static_cast<char>(data.size())};
  body += data;
  body.push_back(static_cast<char>(Checksum(body)));
  std::string frame(1, kDelimiter);
  for (char c : body) {
    if (MustStuff(c)) {
      frame.push_back(kEscape);
      c = static_cast<char>(c ^ 0x20);
    }
    frame.push_back(c);
  }
  frame.push_back(kDelimiter);
  return frame;
}

std::optional<std::string> FlowMeterSLI2000Sim::Answer(const std::string& request) {
  const std::optional<std::string> body = Unstuff(request);
  // Address, command, length and checksum at least; the length must match.
  if (!body || body->size() < 4) return std::nullopt;
  const auto length = static_cast<std::uint8_t>((*body)[2]);
  if (body->size() != 4u + length) return std::nullopt;
  if (Checksum(body->substr(0, body->size() - 1)) != static_cast<std::uint8_t>(body->back())) return std::nullopt;

  const auto command = static_cast<std::uint8_t>((*body)[1]);
  switch (command) {
    case 0x65:
      return ReplyFrame(command, "");
    case 0x30:
      return ReplyFrame(command, std::string(1, '\x01'));
    case 0x35: {
      std::lock_guard<std::mutex> g(stateMutex_);
      if (const std::shared_ptr<Preparation> preparation = Linked())
        value_ = ToCount(preparation->Read().flow * kCountsPerFlowUnit);
      std::uint8_t value[2];
      Bytes::PutBE(value, value_);
      return ReplyFrame(command, std::string(std::begin(value), std::end(value)));
    }
    default:
      return std::nullopt;
  }
}

}  // namespace ORV::Sim

#include "platform/sim/flow_meter_asl1600_sim.h"

#include "platform/os/byte_order.h"
#include "platform/os/number_text.h"

namespace ORV::Sim {

FlowMeterASL1600Sim::FlowMeterASL1600Sim() : SerialResponder(Framing::Line) {
  streamer_ = std::thread([this] { StreamLoop(); });
}

FlowMeterASL1600Sim::~FlowMeterASL1600Sim() {
  {
    std::lock_guard<std::mutex> g(stateMutex_);
    ending_ = true;
  }
  wake_.notify_all();
  streamer_.join();
  Stop();
}

void FlowMeterASL1600Sim::SetFactorText(const std::string& text) {
  std::lock_guard<std::mutex> g(stateMutex_);
  factorText_ = text;
}

void FlowMeterASL1600Sim::SetIdentity(const std::string& text) {
  std::lock_guard<std::mutex> g(stateMutex_);
  identity_ = text;
}

void FlowMeterASL1600Sim::SetRawValue(std::int16_t raw) {
  std::lock_guard<std::mutex> g(stateMutex_);
  raw_ = raw;
}

void FlowMeterASL1600Sim::SetStreamPeriod(std::chrono::milliseconds period) {
  std::lock_guard<std::mutex> g(stateMutex_);
  period_ = period;
}

void FlowMeterASL1600Sim::StreamForever() {
  {
    std::lock_guard<std::mutex> g(stateMutex_);
    forever_ = streaming_ = true;
  }
  wake_.notify_all();
}

bool FlowMeterASL1600Sim::IsStreaming() const {
  std::lock_guard<std::mutex> g(stateMutex_);
  return streaming_;
}

std::string FlowMeterASL1600Sim::Frame(std::int16_t raw) {
  std::uint8_t frame[4] = {0x7F, 0x7F};
  Bytes::PutBE(frame + 2, raw);
  return std::string(std::begin(frame), std::end(frame));
}

std::optional<std::string> FlowMeterASL1600Sim::NextRequest(std::string& pending) {
  // "s" is taken as soon as it arrives; its CR, when one follows, with it.
  if (!pending.empty() && pending.front() == 's') {
    pending.erase(0, pending.size() > 1 && pending[1] == '\r' ? 2 : 1);
    return std::string("s");
  }
  return SerialResponder::NextRequest(pending);
}

std::optional<std::string> FlowMeterASL1600Sim::Answer(const std::string& request) {
  std::lock_guard<std::mutex> g(stateMutex_);
  if (request == "s" || request == "reset") {
    if (!forever_) streaming_ = false;
    return std::nullopt;
  }
  if (request == "mod=F" || request == "res=7") return std::string("OK\r\n");
  if (request == "info") return "Sensor ASL1600\r\nFactor:             " + factorText_ + "\r\n";
  if (request == "ver") return identity_ + "\r\n";
  if (request == "go") {
    streaming_ = true;
    wake_.notify_all();
    return std::string("OK\r\n");
  }
  return std::nullopt;
}

void FlowMeterASL1600Sim::StreamLoop() {
  std::unique_lock<std::mutex> g(stateMutex_);
  for (;;) {
    wake_.wait(g, [this] { return ending_ || streaming_; });
    if (ending_) return;
    if (const std::shared_ptr<Preparation> preparation = Linked()) {
      const auto factor = OS::ParseDouble(factorText_);
      raw_ = ToCount(preparation->Read().flow * (factor ? *factor : 1.0));
    }
    const std::string frame = Frame(raw_);
    const auto period = period_;
    g.unlock();
    Push(frame);
    g.lock();
    wake_.wait_for(g, period, [this] { return ending_; });
  }
}

}  // namespace ORV::Sim

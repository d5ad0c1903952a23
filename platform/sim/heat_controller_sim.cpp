#include "platform/sim/heat_controller_sim.h"

#include <vector>

#include "platform/os/number_text.h"

namespace ORV::Sim {

namespace {

template <std::size_t N>
std::string Reply(const std::string& head, const std::array<float, N>& values) {
  std::string text = ">" + head + ";";
  for (float v : values) text += OS::FormatFixed(v, 1) + ";";
  return text + "\r";
}

// The four numbers of a set command "=xx;a;b;c;d;"; nothing unless all read.
std::optional<std::array<float, 4>> FourValues(const std::string& request) {
  if (request.size() < 5 || request.back() != ';') return std::nullopt;
  std::array<float, 4> values{};
  std::size_t from = 4, i = 0;
  for (std::size_t end; (end = request.find(';', from)) != std::string::npos; from = end + 1) {
    const auto v = OS::ParseDouble(std::string_view(request).substr(from, end - from));
    if (!v || i == values.size()) return std::nullopt;
    values[i++] = static_cast<float>(*v);
  }
  if (i != values.size()) return std::nullopt;
  return values;
}

}  // namespace

HeatControllerSim::HeatControllerSim() : SerialResponder(Framing::Line) {}

HeatControllerSim::~HeatControllerSim() { Stop(); }

void HeatControllerSim::SetFirmware(const std::string& text) {
  std::lock_guard<std::mutex> g(stateMutex_);
  firmware_ = text;
}

HeatControllerSim::State HeatControllerSim::GetState() const {
  std::lock_guard<std::mutex> g(stateMutex_);
  return state_;
}

void HeatControllerSim::SetState(const State& state) {
  std::lock_guard<std::mutex> g(stateMutex_);
  state_ = state;
}

std::optional<std::string> HeatControllerSim::Answer(const std::string& request) {
  std::lock_guard<std::mutex> g(stateMutex_);
  const std::shared_ptr<Preparation> preparation = Linked();
  if (preparation) {
    state_.temperatures[0] = static_cast<float>(preparation->Read().temperature);
    state_.targets[0] = static_cast<float>(preparation->Controls().heaterTarget);
  }
  if (request == "?2s") return ">2s;" + firmware_ + "\r";
  if (request == "?22") return Reply("22", state_.targets);
  if (request == "?2d") return Reply("2d", state_.differences);
  if (request == "?2p") return Reply("2p", state_.further);
  if (request == "?21") return Reply("21", state_.temperatures);
  if (request == "?2c") {
    std::string text = ">2c;";
    for (const std::string& s : state_.states) text += s + ";";
    return text + "\r";
  }
  if (request.starts_with("=22;") || request.starts_with("=2d;")) {
    if (const auto values = FourValues(request)) (request[2] == '2' ? state_.targets : state_.differences) = *values;
    if (preparation && request[2] == '2') preparation->SetHeaterTarget(state_.targets[0]);
  }
  return std::nullopt;
}

}  // namespace ORV::Sim

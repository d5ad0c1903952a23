#include "platform/sim/single_interface_sim.h"

#include <cmath>

#include "platform/os/number_text.h"

namespace ORV::Sim {

namespace {
constexpr const char* kAcknowledge = ">01\r";

std::string Flag(bool on) { return on ? ">1\r" : ">0\r"; }
std::string Number(double v) {
  std::string reply(1, '>');
  reply += OS::FormatFixed(v, 1);
  reply += '\r';
  return reply;
}

// "0" or "1" after a set command's head.
std::optional<bool> Switch(const std::string& value) {
  if (value == "1") return true;
  if (value == "0") return false;
  return std::nullopt;
}
}  // namespace

SingleInterfaceSim::SingleInterfaceSim() : SerialResponder(Framing::Line) {}

SingleInterfaceSim::~SingleInterfaceSim() { Stop(); }

void SingleInterfaceSim::SetVersion(const std::string& type, const std::string& firmware) {
  std::lock_guard<std::mutex> g(stateMutex_);
  type_ = type;
  firmware_ = firmware;
}

SingleInterfaceSim::State SingleInterfaceSim::GetState() const {
  std::lock_guard<std::mutex> g(stateMutex_);
  return state_;
}

void SingleInterfaceSim::SetState(const State& state) {
  std::lock_guard<std::mutex> g(stateMutex_);
  state_ = state;
}

std::optional<std::string> SingleInterfaceSim::Answer(const std::string& request) {
  std::lock_guard<std::mutex> g(stateMutex_);
  const std::shared_ptr<Preparation> preparation = Linked();
  if (!preparation) return AnswerFromState(request);

  // The unit shows the preparation as it is now, and what it is set to.
  const PreparationReading r = preparation->Read();
  const PreparationControls c = preparation->Controls();
  State& s = state_;
  s.p1 = static_cast<float>(r.p1);
  s.p2 = static_cast<float>(r.p2);
  s.force = static_cast<float>(r.force);
  s.pH = static_cast<float>(r.pH);
  s.temperature = static_cast<float>(r.temperature);
  s.temperatureTarget = static_cast<float>(c.heaterTarget);
  s.targetP1 = static_cast<int>(std::lround(c.targetP1));
  s.targetP2 = static_cast<int>(std::lround(c.targetP2));
  s.heaterOn = c.heaterOn;
  s.pressureOn = c.pressureOn;
  const State before = s;
  std::optional<std::string> reply = AnswerFromState(request);
  if (s.temperatureTarget != before.temperatureTarget) preparation->SetHeaterTarget(s.temperatureTarget);
  if (s.heaterOn != before.heaterOn) preparation->SetHeaterOn(s.heaterOn);
  if (s.pressureOn != before.pressureOn) preparation->SetPressureOn(s.pressureOn);
  if (s.targetP1 != before.targetP1 || s.targetP2 != before.targetP2)
    preparation->SetPressureTargets(s.targetP1, s.targetP2, c.gradient);
  if (request == "=0112") preparation->ZeroForce();
  return reply;
}

std::optional<std::string> SingleInterfaceSim::AnswerFromState(const std::string& request) {
  State& s = state_;
  if (request == "?0100") return ">01," + type_ + "," + firmware_ + "\r";
  if (request == "?0107") {
    std::string reply(1, '>');
    for (float v : {s.p1, s.p2, s.force, s.pH, s.temperature}) {
      if (reply.size() > 1) reply += ',';
      reply += OS::FormatFixed(v, 2);
    }
    reply += '\r';
    return reply;
  }
  if (request == "?0110") return Number(s.temperatureTarget);
  if (request == "?0120") return Number(s.targetP1);
  if (request == "?0121") return Number(s.targetP2);
  if (request == "?0111") return Flag(s.heaterOn);
  if (request == "?0122") return Flag(s.pressureOn);
  if (request == "?0124") return Flag(s.flowValid);
  if (request == "=0112") {
    s.force = 0.0f;
    return kAcknowledge;
  }
  if (request.size() <= 5 || request[0] != '=') return std::nullopt;

  const std::string head = request.substr(0, 5), value = request.substr(5);
  if (head == "=0110") {
    const auto t = OS::ParseDouble(value);
    if (!t) return std::nullopt;
    s.temperatureTarget = static_cast<float>(*t);
  } else if (head == "=0120" || head == "=0121") {
    const auto p = OS::ParseInt(value);
    if (!p) return std::nullopt;
    (head == "=0120" ? s.targetP1 : s.targetP2) = static_cast<int>(*p);
  } else if (head == "=0111" || head == "=0122") {
    const auto on = Switch(value);
    if (!on) return std::nullopt;
    (head == "=0111" ? s.heaterOn : s.pressureOn) = *on;
  } else {
    return std::nullopt;
  }
  return kAcknowledge;
}

}  // namespace ORV::Sim

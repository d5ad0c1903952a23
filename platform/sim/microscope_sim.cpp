#include "platform/sim/microscope_sim.h"

#include "platform/os/number_text.h"

namespace ORV::Sim {

MicroscopeSim::MicroscopeSim() : SerialResponder(Framing::Line) {}

MicroscopeSim::~MicroscopeSim() { Stop(); }

void MicroscopeSim::SetFirmware(const std::string& text) {
  std::lock_guard<std::mutex> g(stateMutex_);
  firmware_ = text;
}

void MicroscopeSim::SetTemperature(float temperature) {
  std::lock_guard<std::mutex> g(stateMutex_);
  temperature_ = temperature;
}

void MicroscopeSim::SetLightLevel(int level) {
  std::lock_guard<std::mutex> g(stateMutex_);
  level_ = level;
}

float MicroscopeSim::Temperature() const {
  std::lock_guard<std::mutex> g(stateMutex_);
  return temperature_;
}

int MicroscopeSim::LightLevel() const {
  std::lock_guard<std::mutex> g(stateMutex_);
  return level_;
}

std::optional<std::string> MicroscopeSim::Answer(const std::string& request) {
  std::lock_guard<std::mutex> g(stateMutex_);
  if (const std::shared_ptr<Preparation> preparation = Linked(); preparation && request == "?41")
    temperature_ = static_cast<float>(preparation->Read().temperature);
  if (request == "?4s") return ">4s;" + firmware_ + "\r";
  if (request == "?41") return ">41;" + OS::FormatFixed(temperature_, 1) + ";\r";
  if (request == "?4i") return ">4i;" + OS::FormatInt(level_) + ";\r";
  if (request.starts_with("=4i;") && request.ends_with(';')) {
    if (const auto level = OS::ParseInt(request.substr(4, request.size() - 5))) level_ = static_cast<int>(*level);
  }
  return std::nullopt;
}

}  // namespace ORV::Sim

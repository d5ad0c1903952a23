#include "shell/sampler_adapters.h"

#include <utility>

#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"

namespace ORV {

std::size_t ExperimentSamplerSink::CameraCount() { return data_.CameraCount(); }
std::uint32_t ExperimentSamplerSink::Now() { return data_.ExperimentClock().Now(); }
bool ExperimentSamplerSink::ClockRunning() { return data_.ExperimentClock().IsRunning(); }
void ExperimentSamplerSink::AddZoneDataBatch(ZoneDataBatch batch, int camera) {
  data_.AddZoneDataBatch(std::move(batch), camera);
}
void ExperimentSamplerSink::AddMicroscopeSample(MicroscopeData2& record, int camera) {
  data_.AddMicroscopeSample(record, camera);
}
void ExperimentSamplerSink::AddPressureSample(PMK4xData3& sample) { data_.AddPressureSample(sample); }
void ExperimentSamplerSink::AddFlowSample(FMASL1600Data& sample) { data_.AddFlowSample(sample); }

namespace {
bool Answers(Device& device) { return device.IsConnected() && device.Ping(); }
}  // namespace

void InterfaceManagerDevices::ReloadPorts() {
  std::vector<std::string>& ports = manager_.COMPorts();
  ports.clear();
  manager_.LoadCOMPorts(ports);
}
bool InterfaceManagerDevices::MultiAnswers() { return Answers(manager_.MultiInterface()); }
bool InterfaceManagerDevices::SingleAnswers() { return Answers(manager_.SingleInterface()); }
bool InterfaceManagerDevices::FlowAnswers() {
  if (manager_.BinaryFlowMeterConnected()) return Answers(manager_.BinaryFlowMeter());
  return Answers(manager_.AsciiFlowMeter());
}
std::uint32_t InterfaceManagerDevices::LoadDevices(std::uint32_t mask) { return manager_.LoadDevices(mask); }
bool InterfaceManagerDevices::IsConnected(std::uint32_t type) { return manager_.IsConnected(type); }

}  // namespace ORV

#pragma once
// The sampler's and the device handling's interfaces over the program's own
// experiment record and interface manager.
#include "shell/device_messages.h"
#include "shell/sync_sampler.h"

namespace ORV {

class ExperimentData;
class InterfaceManager;

// The experiment record as the sampler's sink; the sampler stamps with the
// record's experiment clock.
class ExperimentSamplerSink final : public SamplerSink {
 public:
  explicit ExperimentSamplerSink(ExperimentData& data) : data_(data) {}
  std::size_t CameraCount() override;
  std::uint32_t Now() override;
  bool ClockRunning() override;
  void AddZoneDataBatch(ZoneDataBatch batch, int camera) override;
  void AddMicroscopeSample(MicroscopeData2& record, int camera) override;
  void AddPressureSample(PMK4xData3& sample) override;
  void AddFlowSample(FMASL1600Data& sample) override;

 private:
  ExperimentData& data_;
};

class InterfaceManagerDevices final : public SamplerDevices {
 public:
  explicit InterfaceManagerDevices(InterfaceManager& manager) : manager_(manager) {}
  void ReloadPorts() override;
  bool MultiAnswers() override;
  bool SingleAnswers() override;
  bool FlowAnswers() override;
  std::uint32_t LoadDevices(std::uint32_t mask) override;
  bool IsConnected(std::uint32_t type) override;

 private:
  InterfaceManager& manager_;
};

}  // namespace ORV

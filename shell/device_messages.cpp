#include "shell/device_messages.h"

#include <array>
#include <utility>

#include "platform/os/device_monitor.h"

namespace ORV {

DeviceMessageHandler::DeviceMessageHandler(SamplerDevices& devices, DevicePanes& panes,
                                           std::function<std::uint64_t()> steadyMs)
    : devices_(devices), panes_(panes), steadyMs_(std::move(steadyMs)) {}

std::int64_t DeviceMessageHandler::OnDeviceFailed(std::uint32_t kind) {
  if (kind == kDeviceSinglePressureInterface || kind == kDeviceMultiInterface || kind == kDeviceFlowMeter)
    panes_.CloseDevicePane(kind);
  return 1;
}

std::int64_t DeviceMessageHandler::OnDeviceEvent(std::uint32_t kind) {
  if (kind == kDeviceSinglePressureInterface) panes_.ShowSingleUnitPane(true);
  return 1;
}

std::int64_t DeviceMessageHandler::OnDeviceChange(OS::WPARAM event) {
  if (event == OS::DBT_DEVICEARRIVAL) {
    pendingArrival_ = true;
  } else if (event == OS::DBT_DEVICEREMOVECOMPLETE) {
    pendingPorts_ = true;
  } else {
    return 0;
  }
  Flush();
  return 0;
}

void DeviceMessageHandler::Flush() {
  if (!HasPending()) return;
  const std::uint64_t now = steadyMs_();
  if (reloaded_ && now - lastReloadMs_ < kDebounceMs) return;
  reloaded_ = true;
  lastReloadMs_ = now;
  Reload();
}

void DeviceMessageHandler::Reload() {
  const bool arrival = std::exchange(pendingArrival_, false);
  pendingPorts_ = false;
  devices_.ReloadPorts();
  // A removal only refreshes the ports: the device's own thread reports the
  // loss.
  if (!arrival) return;
  if (devices_.MultiAnswers()) {
    if (!devices_.SingleAnswers() &&
        devices_.LoadDevices(kDeviceSinglePressureInterface) == kDeviceSinglePressureInterface)
      panes_.ShowSingleUnitPane(false);
  } else {
    devices_.LoadDevices(kDeviceMultiInterface);
  }
  if (!devices_.FlowAnswers()) devices_.LoadDevices(kDeviceFlowMeter);
  // A microscope or heat controller that was pulled out comes back on a new
  // terminal; their workers read them again once they are open.
  devices_.ReopenMicroscopes();
  if (heatController_ && !devices_.HeatControllerAnswers()) devices_.LoadDevices(kDeviceHeatController);
}

IdleMonitor::IdleMonitor(SamplerDevices& devices, Experiment experiment, std::shared_ptr<OS::MessageTarget> frame,
                         std::function<std::uint64_t()> steadyMs)
    : devices_(devices),
      experiment_(std::move(experiment)),
      frame_(std::move(frame)),
      steadyMs_(std::move(steadyMs)),
      lastActivity_(steadyMs_()) {}

void IdleMonitor::OnTimer() {
  static constexpr std::array<std::uint32_t, 10> kInstruments{1, 0x100001,   0x100002, 0x100004, 0x100008,
                                                              4, 0x80000000, 8,        16,       32};
  const std::uint64_t now = steadyMs_();
  const std::uint64_t elapsed = now - lastActivity_;
  for (std::uint32_t type : kInstruments) {
    if (devices_.IsConnected(type)) {
      lastActivity_ = now;
      return;
    }
  }
  if (experiment_.loadedFromFile()) {
    lastActivity_ = now;
    return;
  }
  if (!experiment_.anyLiveTrace() && !experiment_.videoEnabled() && !experiment_.collecting()) {
    lastActivity_ = now;
    return;
  }
  if (elapsed > kLimitMs) {
    if (frame_) frame_->PostMessage(WM_PRESSURE_NOT_CONNECTED, 0, 0);
    lastActivity_ = now;
  }
}

}  // namespace ORV

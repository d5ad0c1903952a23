#pragma once
// What the main frame does with the device threads' messages and the
// system's hot-plug notices, and the inactivity monitor. All of it runs on
// the user-interface thread; the frame's panes and the interface manager are
// reached through the narrow interfaces below, so it runs without them.
#include <cstdint>
#include <functional>
#include <memory>

#include "instruments/device.h"
#include "platform/os/message_target.h"

namespace ORV {

// The instruments as the device handling sees them.
class SamplerDevices {
 public:
  virtual ~SamplerDevices() = default;
  // Empties the COM-port list and fills it again.
  virtual void ReloadPorts() = 0;
  // The device exists, is connected and answers a ping.
  virtual bool MultiAnswers() = 0;
  virtual bool SingleAnswers() = 0;
  // The flow device in use (the binary flow meter when it is connected,
  // else the ASCII one).
  virtual bool FlowAnswers() = 0;
  // Opens what answers of the types in `mask`; the mask of those connected.
  virtual std::uint32_t LoadDevices(std::uint32_t mask) = 0;
  // Whether a device of the type or model code is connected.
  virtual bool IsConnected(std::uint32_t type) = 0;
  // Opens the microscopes that are not connected again, each on the port of
  // its serial number.
  virtual void ReopenMicroscopes() {}
  // The heat controller exists, is connected and answers a ping.
  virtual bool HeatControllerAnswers() { return true; }
};

// The frame's panes.
class DevicePanes {
 public:
  virtual ~DevicePanes() = default;
  // Shows the single-unit pane: with delayed layout and not activated, or at
  // once and activated.
  virtual void ShowSingleUnitPane(bool delayedAndInactive) = 0;
  // Closes the pane of a device given up (1 single unit, 8 multi interface,
  // 2 flow meter).
  virtual void CloseDevicePane(std::uint32_t kind) = 0;
};

// WM_DEVICE_FAILED, WM_DEVICE_EVENT and WM_DEVICECHANGE.
//
// Hot-plug notices come in bursts (one plugged hub may bring dozens), and a
// reload probes every port, so reloads are spread out: a notice within
// kDebounceMs of the last reload is only noted, and the frame's one-second
// timer runs it (Flush) once the quiet time has passed.
class DeviceMessageHandler {
 public:
  static constexpr std::uint64_t kDebounceMs = 500;

  DeviceMessageHandler(SamplerDevices& devices, DevicePanes& panes, std::function<std::uint64_t()> steadyMs);

  // Results as the messages return them.
  std::int64_t OnDeviceFailed(std::uint32_t kind);
  std::int64_t OnDeviceEvent(std::uint32_t kind);
  std::int64_t OnDeviceChange(OS::WPARAM event);
  // Runs a noted reload once the quiet time has passed.
  void Flush();
  // A heat controller is in use: an arrival loads it again when it does not
  // answer.
  void WatchHeatController(bool watch) { heatController_ = watch; }
  bool HasPending() const { return pendingArrival_ || pendingPorts_; }

 private:
  void Reload();

  SamplerDevices& devices_;
  DevicePanes& panes_;
  std::function<std::uint64_t()> steadyMs_;
  bool heatController_ = false;
  bool pendingArrival_ = false;
  bool pendingPorts_ = false;
  bool reloaded_ = false;
  std::uint64_t lastReloadMs_ = 0;
};

// Shows the user, every five minutes, that data are being collected (or
// video or a live trace is on) while no instrument is connected: posts the
// frame's WM_PRESSURE_NOT_CONNECTED.
class IdleMonitor {
 public:
  static constexpr std::uint32_t WM_PRESSURE_NOT_CONNECTED = 0x733;
  static constexpr std::uint64_t kLimitMs = 300000;

  struct Experiment {
    std::function<bool()> loadedFromFile;
    std::function<bool()> collecting;
    std::function<bool()> videoEnabled;
    std::function<bool()> anyLiveTrace;
  };

  IdleMonitor(SamplerDevices& devices, Experiment experiment, std::shared_ptr<OS::MessageTarget> frame,
              std::function<std::uint64_t()> steadyMs);

  // Every second, from the frame's timer.
  void OnTimer();
  std::uint64_t LastActivity() const { return lastActivity_; }

 private:
  SamplerDevices& devices_;
  Experiment experiment_;
  std::shared_ptr<OS::MessageTarget> frame_;
  std::function<std::uint64_t()> steadyMs_;
  std::uint64_t lastActivity_ = 0;
};

}  // namespace ORV

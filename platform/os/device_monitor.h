#pragma once
// Hot-plug: a thread that watches the system's device events and posts
// WM_DEVICECHANGE (DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE, 0) to a
// listener when a serial terminal, a HID device or a video-capture device
// comes or goes.
//
// The events come from a DeviceEventSource: the udev monitor of the machine
// (MakeUdevDeviceEventSource) or a test's own. When the source reports an
// error or hangs up, the monitor takes the events still queued, logs it,
// reopens the source (retrying once a second until it opens or the monitor
// stops) and posts WM_DEVICECHANGE (DBT_DEVNODES_CHANGED, 0): events may
// have been lost, so the listener looks at the devices afresh.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/os/message_target.h"
#include "platform/os/serial_port.h"

namespace ORV::OS {

inline constexpr std::uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
inline constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr WPARAM DBT_DEVNODES_CHANGED = 0x0007;

enum class DeviceChange { Arrival, Removal };

class DeviceEventSource {
 public:
  virtual ~DeviceEventSource() = default;
  // A descriptor that becomes readable when events wait; -1 when there is none.
  virtual int Fd() const = 0;
  // The next waiting event, without blocking; nothing when none waits or the
  // event is of no interest (it is consumed either way). `more` tells whether
  // another may wait.
  virtual std::optional<DeviceChange> Next(bool& more) = 0;
  // Opens the source afresh after an error or hang-up, with a new Fd();
  // false when it cannot (the source then has no descriptor).
  virtual bool Reopen() = 0;
};

// The udev monitor of terminals, HID devices and video-capture devices;
// nullptr when udev cannot be used here (no udev, no netlink access).
std::unique_ptr<DeviceEventSource> MakeUdevDeviceEventSource();

class DeviceMonitor {
 public:
  // Where the monitor writes its errors (the program's event log).
  using ErrorLog = std::function<void(const std::string& text)>;
  static constexpr std::chrono::milliseconds kReopenRetry{1000};

  DeviceMonitor(std::unique_ptr<DeviceEventSource> source, std::shared_ptr<MessageTarget> listener,
                ErrorLog errorLog = {});
  ~DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  // Starts watching; false without a source, when already started or when no
  // thread can be made.
  bool Start();
  // Stops watching and waits for the thread; it ends at once.
  void Stop();
  bool IsRunning() const { return thread_.joinable(); }

 private:
  void Run();
  // Posts every event that waits.
  void Drain();
  // Reopens the source after `what` went wrong, retrying until it opens;
  // false when the monitor is stopped meanwhile.
  bool Recover(const std::string& what);
  void Log(const std::string& text) const;

  std::unique_ptr<DeviceEventSource> source_;
  std::shared_ptr<MessageTarget> listener_;
  ErrorLog errorLog_;
  StopEvent stop_;
  std::thread thread_;
};

}  // namespace ORV::OS

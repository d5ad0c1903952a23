#include "platform/os/device_monitor.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/os/udev_devices.h"

namespace ORV::OS {

namespace {

// A udev monitor of the subsystems the instruments and cameras use; nothing
// when it cannot be made.
UdevPtr<udev_monitor> OpenUdevMonitor(udev* u) {
  UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(u, "udev"));
  if (!monitor) return nullptr;
  bool ok = true;
  for (const char* subsystem : {"tty", "hidraw", "video4linux"})
    ok = ok && udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), subsystem, nullptr) >= 0;
  ok = ok && udev_monitor_enable_receiving(monitor.get()) >= 0;
  if (!ok) return nullptr;
  return monitor;
}

class UdevDeviceEventSource final : public DeviceEventSource {
 public:
  UdevDeviceEventSource(UdevPtr<udev> u, UdevPtr<udev_monitor> monitor)
      : udev_(std::move(u)), monitor_(std::move(monitor)) {}

  int Fd() const override { return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1; }

  bool Reopen() override {
    monitor_.reset();
    monitor_ = OpenUdevMonitor(udev_.get());
    return monitor_ != nullptr;
  }

  std::optional<DeviceChange> Next(bool& more) override {
    more = false;
    if (!monitor_) return std::nullopt;
    const UdevPtr<udev_device> device(udev_monitor_receive_device(monitor_.get()));
    if (!device) return std::nullopt;
    more = true;
    const char* action = udev_device_get_action(device.get());
    const bool hasNode = udev_device_get_devnode(device.get()) != nullptr;
    std::optional<DeviceChange> change;
    // Only devices that a driver opens count: each plug then gives one event
    // per terminal, HID device or camera, not one per USB interface.
    if (action != nullptr && hasNode) {
      const std::string_view a(action);
      if (a == "add") change = DeviceChange::Arrival;
      if (a == "remove") change = DeviceChange::Removal;
    }
    return change;
  }

 private:
  // The monitor is released before the library context it came from.
  UdevPtr<udev> udev_;
  UdevPtr<udev_monitor> monitor_;
};

}  // namespace

std::unique_ptr<DeviceEventSource> MakeUdevDeviceEventSource() {
  UdevPtr<udev> u(udev_new());
  if (!u) return nullptr;
  UdevPtr<udev_monitor> monitor = OpenUdevMonitor(u.get());
  if (!monitor) return nullptr;
  return std::make_unique<UdevDeviceEventSource>(std::move(u), std::move(monitor));
}

DeviceMonitor::DeviceMonitor(std::unique_ptr<DeviceEventSource> source, std::shared_ptr<MessageTarget> listener,
                             ErrorLog errorLog)
    : source_(std::move(source)), listener_(std::move(listener)), errorLog_(std::move(errorLog)) {}

DeviceMonitor::~DeviceMonitor() { Stop(); }

bool DeviceMonitor::Start() {
  if (!source_ || source_->Fd() < 0 || stop_.fd() < 0 || thread_.joinable()) return false;
  stop_.Reset();
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void DeviceMonitor::Stop() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

void DeviceMonitor::Run() {
  for (;;) {
    pollfd fds[2] = {{source_->Fd(), POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready >= 0 && fds[1].revents != 0) return;
    std::string what;
    if (ready < 0) {
      what = std::string("waiting for device events failed (") + std::strerror(errno) + ")";
    } else {
      // Events queued before an error or hang-up are still taken.
      if (fds[0].revents & POLLIN) Drain();
      if (fds[0].revents & POLLERR) what = "the device event socket reported an error";
      if (fds[0].revents & (POLLHUP | POLLNVAL)) what = "the device event socket was closed";
    }
    if (what.empty()) continue;
    if (!Recover(what)) return;
    if (listener_) listener_->PostMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  }
}

void DeviceMonitor::Drain() {
  bool more = true;
  while (more && !stop_.IsSet()) {
    const std::optional<DeviceChange> change = source_->Next(more);
    if (!change || !listener_) continue;
    listener_->PostMessage(WM_DEVICECHANGE,
                           *change == DeviceChange::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, 0);
  }
}

bool DeviceMonitor::Recover(const std::string& what) {
  Log("DeviceMonitor - " + what + "; device changes may have been missed; reopening it");
  for (bool logged = false;; logged = true) {
    if (source_->Reopen()) {
      if (logged) Log("DeviceMonitor - the device event socket is open again");
      return true;
    }
    if (!logged) Log("DeviceMonitor - the device event socket cannot be reopened; retrying every second");
    pollfd stop{stop_.fd(), POLLIN, 0};
    const int ready = poll(&stop, 1, static_cast<int>(kReopenRetry.count()));
    if (ready > 0 || stop_.IsSet()) return false;
  }
}

void DeviceMonitor::Log(const std::string& text) const {
  if (errorLog_) errorLog_(text);
}

}  // namespace ORV::OS

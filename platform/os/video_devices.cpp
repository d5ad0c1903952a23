#include "platform/os/video_devices.h"

#include <libudev.h>

#include <memory>

namespace ORV::OS {

namespace {

struct UdevFree {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevFree>;

}  // namespace

bool UsbVideoCapturePresent() {
  UdevPtr<udev> u(udev_new());
  if (!u) return false;
  UdevPtr<udev_enumerate> scan(udev_enumerate_new(u.get()));
  if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "video4linux") < 0 ||
      udev_enumerate_scan_devices(scan.get()) < 0) {
    return false;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
    UdevPtr<udev_device> device(udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
    if (!device) continue;
    // The parent is owned by the child; it must not be released.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
    const char* node = udev_device_get_devnode(device.get());
    if (usb != nullptr && node != nullptr && *node != '\0') return true;
  }
  return false;
}

}  // namespace ORV::OS

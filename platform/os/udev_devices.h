#pragma once
// Owning handles for libudev objects, and a scan of the system's device list,
// for the device lists and the hot-plug monitor of this folder.
#include <libudev.h>

#include <memory>

namespace ORV::OS {

struct UdevRelease {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
  void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevRelease>;

// Lists the devices of `subsystem` (with `vendorFilter`, only those whose
// idVendor attribute matches it) and hands each to `take`, which must not
// keep it; false when the list cannot be made.
template <typename Take>
bool ScanUdevDevices(udev* u, const char* subsystem, const char* vendorFilter, Take take) {
  UdevPtr<udev_enumerate> scan(udev_enumerate_new(u));
  if (!scan) return false;
  if (udev_enumerate_add_match_subsystem(scan.get(), subsystem) < 0) return false;
  if (vendorFilter && udev_enumerate_add_match_sysattr(scan.get(), "idVendor", vendorFilter) < 0) return false;
  if (udev_enumerate_scan_devices(scan.get()) < 0) return false;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
    UdevPtr<udev_device> device(udev_device_new_from_syspath(u, udev_list_entry_get_name(entry)));
    if (device) take(device.get());
  }
  return true;
}

}  // namespace ORV::OS

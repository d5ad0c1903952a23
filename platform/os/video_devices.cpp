#include "platform/os/video_devices.h"

#include "platform/os/stand_in_devices.h"
#include "platform/os/udev_devices.h"

namespace ORV::OS {

bool UsbVideoCapturePresent() {
  if (const StandInDevices* standIns = OfferedStandInDevices(); standIns && standIns->CameraCount() > 0) return true;
  UdevPtr<udev> u(udev_new());
  if (!u) return false;
  bool present = false;
  ScanUdevDevices(u.get(), "video4linux", nullptr, [&](udev_device* device) {
    // The parent is owned by the child; it must not be released.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    const char* node = udev_device_get_devnode(device);
    if (usb != nullptr && node != nullptr && *node != '\0') present = true;
  });
  return present;
}

}  // namespace ORV::OS

#pragma once
// Whether a camera is attached: the video-capture devices (video4linux) that
// a USB device stands behind, as the system's device list shows them.
namespace ORV::OS {

// True when at least one USB video-capture device is present and its
// device node can be named; false also when devices cannot be listed.
bool UsbVideoCapturePresent();

}  // namespace ORV::OS

#pragma once
// Devices that stand in for hardware, as the device lists of this folder see
// them. Whoever starts such devices hands them over with
// OfferStandInDevices; the serial-device list, the HID transport and the
// camera presence of this folder then offer them beside the machine's own,
// so the program finds them as it finds hardware. Without stand-ins the
// lists are the machine's alone.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/device_monitor.h"
#include "platform/os/hid_transport.h"
#include "platform/os/usb_serial_enum.h"

namespace ORV::OS {

// A camera that stands in for hardware: it makes grey pictures on demand.
class StandInCamera {
 public:
  enum class Fill {
    kFrame,    // a frame was made
    kDropped,  // this frame is lost on the way
    kLost,     // the device is gone
  };
  virtual ~StandInCamera() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual double FrameRate() const = 0;
  virtual void SetFrameRate(double framesPerSecond) = 0;
  // The picture's response: levels scaled by `gain`, then raised to 1 / gamma.
  virtual void SetResponse(double gain, double gamma) = 0;
  // Makes the camera's next frame into `pixels` (width x height bytes, rows
  // top to bottom); its size may differ from Width() x Height().
  virtual Fill FillNextFrame(std::vector<std::uint8_t>& pixels, int& width, int& height) = 0;
};

// Devices that stand in for hardware.
class StandInDevices {
 public:
  virtual ~StandInDevices() = default;
  // Serial devices, listed as USB serial converters with their terminals.
  virtual std::vector<UsbSerialDevice> SerialDevices() const = 0;
  // The HID devices, and how to open them.
  virtual HidTransport& Hid() = 0;
  // How many cameras are attached.
  virtual int CameraCount() const = 0;
  // A new view of camera `index` (0 to CameraCount() - 1), counting its
  // frames from now; null out of range. The view keeps what it shows alive.
  virtual std::shared_ptr<StandInCamera> CameraFeed(int index) = 0;
  // The hot-plug events of these devices (one unplugged, one plugged in),
  // as the machine's device monitor reports those of hardware; null when
  // they raise none. Each call gives a source of its own.
  virtual std::unique_ptr<DeviceEventSource> DeviceEvents() { return nullptr; }
};

// Hands `devices` to the device lists of this copy of the folder (null takes
// the last ones back). They must stay alive until they are taken back. A
// library loaded by the program (a control library) carries its own copy of
// this folder: the program hands its stand-ins to the library as well, so
// both see the same devices.
void OfferStandInDevices(StandInDevices* devices);

// The stand-ins handed over, or null.
StandInDevices* OfferedStandInDevices();

// The hot-plug events of the stand-ins handed over; null without them.
std::unique_ptr<DeviceEventSource> StandInDeviceEvents();

// The system's device lists with the stand-ins' devices added: their serial
// devices after the machine's, their HID devices after the machine's (a path
// the stand-ins list is opened through them).
class StandInAwareUsbSerialEnumerator final : public UsbSerialEnumerator {
 public:
  explicit StandInAwareUsbSerialEnumerator(std::shared_ptr<const UsbSerialEnumerator> machine);
  bool IsAvailable() const override;
  bool List(std::vector<UsbSerialDevice>& devices) const override;

 private:
  std::shared_ptr<const UsbSerialEnumerator> machine_;
};

class StandInAwareHidTransport final : public HidTransport {
 public:
  explicit StandInAwareHidTransport(HidTransport& machine);
  std::vector<HidDeviceInfo> List(std::uint16_t vendorId, std::uint16_t productId) override;
  std::unique_ptr<HidHandle> Open(const std::string& path, int& error) override;

 private:
  HidTransport& machine_;
};

}  // namespace ORV::OS

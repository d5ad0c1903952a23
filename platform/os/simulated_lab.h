#pragma once
// The simulated lab as the device lists of this folder see it. With the
// environment variable ORV_SIMLAB=1 the process starts one simulated lab on
// first use and keeps it to the end; the serial-device list, the HID
// transport and the camera presence of this folder then offer its devices
// beside the machine's own, so the program finds them as it finds hardware.
//
// The lab itself lives in platform/sim, which provides StartSimulatedLab.
#include <memory>
#include <string>
#include <vector>

#include "platform/os/device_monitor.h"
#include "platform/os/hid_transport.h"
#include "platform/os/usb_serial_enum.h"

namespace ORV::OS {

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
  // The hot-plug events of these devices (one unplugged, one plugged in),
  // as the machine's device monitor reports those of hardware; null when
  // they raise none. Each call gives a source of its own.
  virtual std::unique_ptr<DeviceEventSource> DeviceEvents() { return nullptr; }
};

// Whether ORV_SIMLAB is "1".
bool SimulatedLabRequested();

// The process's simulated lab: the one handed over by UseSimulatedLab, else
// started at the first call when requested; nullptr when not requested or
// when it could not start.
StandInDevices* SimulatedLab();

// A library loaded by the program (a control library) carries its own copy
// of this folder and would start a lab of its own, whose cameras watch a
// vessel the program's instruments never reach. The program hands its lab to
// the library, so both see one preparation. The lab must outlive the
// library's use of it (the program's lab lives to the end of the process).
void UseSimulatedLab(StandInDevices* lab);

// Starts a lab (platform/sim); nullptr when it cannot.
std::unique_ptr<StandInDevices> StartSimulatedLab();

// The hot-plug events of the process's lab; nullptr without a lab.
std::unique_ptr<DeviceEventSource> SimulatedLabDeviceEvents();

// The system's device lists with the lab's devices added: the lab's serial
// devices after the machine's, its HID devices after the machine's (a path
// the lab lists is opened through the lab). Without a lab they are the
// machine's lists alone.
class LabAwareUsbSerialEnumerator final : public UsbSerialEnumerator {
 public:
  explicit LabAwareUsbSerialEnumerator(std::shared_ptr<const UsbSerialEnumerator> machine);
  bool IsAvailable() const override;
  bool List(std::vector<UsbSerialDevice>& devices) const override;

 private:
  std::shared_ptr<const UsbSerialEnumerator> machine_;
};

class LabAwareHidTransport final : public HidTransport {
 public:
  explicit LabAwareHidTransport(HidTransport& machine);
  std::vector<HidDeviceInfo> List(std::uint16_t vendorId, std::uint16_t productId) override;
  std::unique_ptr<HidHandle> Open(const std::string& path, int& error) override;

 private:
  HidTransport& machine_;
};

}  // namespace ORV::OS

#pragma once
// The interface manager: finds, opens and owns every instrument. The
// program's owner makes one and hands it to the sampling workers, the panes
// and the sequencer, which take the device objects from its slots.
//
// Everything it looks at outside the process (the serial-port list, the USB
// serial devices, the HID devices, camera presence, the temporary folder)
// comes through the sources given at construction, so tests run it on the
// simulators.
//
// Threads: LoadCOMPorts, LoadDevices and IsConnected run on the user-interface
// thread. The device objects are shared with the sampling workers
// (instruments/sampling_workers.h), which may keep running while LoadDevices
// reloads devices (as the hot-plug handler does): every device operation
// holds that device's lock, the flags and counts the workers read are
// atomic, and a worker holds the microscope it reads (HoldMicroscope), so a
// microscope replaced meanwhile stays alive, closed, until the worker lets
// it go. The owner stops and joins every worker before the manager goes
// away; the destructor only closes the devices.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "instruments/flow_meter_asl1600.h"
#include "instruments/flow_meter_sli2000.h"
#include "instruments/heat_controller.h"
#include "instruments/microscope.h"
#include "instruments/pressure_multi_myograph_k4x.h"
#include "instruments/pressure_myograph_k4x.h"
#include "platform/os/hid_transport.h"
#include "platform/os/usb_serial_enum.h"

namespace ORV {

class Configuration;

class InterfaceManager {
 public:
  // Type code for `IsConnected`: a camera is present.
  static constexpr std::uint32_t kCameraPresence = 4;
  static constexpr std::size_t kMicroscopeSlots = 4;

  // Where the manager finds the instruments. Empty members take the
  // machine's own source.
  struct Sources {
    std::shared_ptr<const OS::UsbSerialEnumerator> usb;
    OS::HidTransport* hid = nullptr;
    // The serial ports of the machine (device paths), in a stable order;
    // false when they cannot be listed. By default every terminal with
    // hardware behind it that `usb` lists.
    std::function<bool(std::vector<std::string>& ports)> serialPorts;
    // Whether a USB camera is attached (video-capture devices by default).
    std::function<bool()> cameraPresent;
    // The folder of the instrument log files; the temporary folder by
    // default.
    std::string tempFolder;
    // The fixed waits of every device the manager makes (tests record them
    // instead of sleeping); real sleeps when empty.
    Device::Sleeper sleeper;
  };

  // The instruments of the machine (or of `sources`), on `configuration`:
  // the ports, device paths, time-outs and Debug switch that LoadDevices
  // follows, and the last ports it found, which it writes back. The
  // configuration outlives the manager.
  explicit InterfaceManager(Configuration& configuration);
  InterfaceManager(Configuration& configuration, Sources sources);
  ~InterfaceManager();
  InterfaceManager(const InterfaceManager&) = delete;
  InterfaceManager& operator=(const InterfaceManager&) = delete;

  PressureMyographK4x& SingleInterface() { return *single_; }
  PressureMultiMyographK4x& MultiInterface() { return *multi_; }
  HeatController& HeatControllerDevice() { return *heatController_; }
  FlowMeterASL1600& AsciiFlowMeter() { return *asciiFlowMeter_; }
  FlowMeterSLI2000& BinaryFlowMeter() { return *binaryFlowMeter_; }
  // The microscope of a slot; nullptr for an empty slot or index out of range.
  // For the thread that runs LoadDevices; other threads use HoldMicroscope.
  Microscope* MicroscopeAt(std::size_t index);
  // The same, kept alive by the pointer returned even when LoadDevices
  // replaces the slot's microscope meanwhile (the old one is then closed).
  std::shared_ptr<Microscope> HoldMicroscope(std::size_t index) const;
  // The microscopes that loaded at the last LoadDevices with bit 16 (at most
  // four); they stand in slots 0 to count - 1. The first that fails to load
  // ends the search, so the count is that of the ones before it.
  std::int32_t MicroscopeCount() const { return microscopeCount_.load(); }

  // The model code the multi interface reported when `IsPressure` last ran.
  std::uint32_t MultiModelCode() const { return multiModelCode_.load(); }
  bool BinaryFlowMeterConnected() const { return binaryFlowMeterConnected_.load(); }
  bool InternalFlowMeterInUse() const { return internalFlowMeterInUse_.load(); }

  // Keeps the multi interface's model code; true when that model measures
  // pressure.
  bool IsPressure();

  // Appends the machine's serial ports to `list`; returns the list's size
  // (0 when the ports cannot be listed, with an error entry in the event
  // log).
  std::size_t LoadCOMPorts(std::vector<std::string>& list);
  // The manager's own port list: the owner empties it and refills it with
  // LoadCOMPorts at start and at every device arrival or removal.
  std::vector<std::string>& COMPorts() { return comPorts_; }
  // Whether `name` is in the port list (exact, case-sensitive).
  bool IsPortListed(const std::string& name) const;
  // The last present HID device whose interface path begins with `prefix`
  // (case-sensitive); empty when none does.
  std::string FindHidDevicePath(const std::string& prefix);

  // Finds and opens the devices of the type codes in `mask` (1 single
  // pressure interface, 2 flow meter, 8 multi interface, 16 microscopes, 32
  // heat controller); returns the mask of those that loaded. Blocks for
  // seconds. The workers of the devices it reloads must be stopped.
  std::uint32_t LoadDevices(std::uint32_t mask);
  // Opens each microscope that is not connected again, on the port that now
  // carries its serial number (a microscope plugged in again comes up on a
  // new terminal). The microscope objects stay: panes and workers hold them.
  void ReopenMicroscopes();
  // Whether the last LoadDevices wrote device log files (the configuration's
  // Debug switch at that time).
  bool IsLogging() const { return logging_; }

  // Whether the device of a type code answers: its connected flag, or with
  // `verify` its Ping. Type 4 asks whether a camera is attached.
  bool IsConnected(std::uint32_t type, bool verify = false);

 private:
  void LoadMicroscopes(std::uint32_t& found);
  void LoadMultiInterface(std::uint32_t& found);
  void LoadSingleInterface(std::uint32_t& found, int& takenIndex);
  void LoadAsciiFlowMeter(int takenIndex, std::uint32_t& found);
  // Opens a device's log in the log folder when logging is on.
  void OpenLog(Device& device, const std::string& fileName);

  Configuration& configuration_;
  Sources sources_;
  std::vector<std::string> comPorts_;
  std::string logFolder_;
  bool logging_ = false;
  std::unique_ptr<PressureMyographK4x> single_;
  std::unique_ptr<PressureMultiMyographK4x> multi_;
  // Slots are replaced under microscopesMutex_, and read under it from
  // threads other than the one that runs LoadDevices.
  mutable std::mutex microscopesMutex_;
  std::array<std::shared_ptr<Microscope>, kMicroscopeSlots> microscopes_;
  std::unique_ptr<HeatController> heatController_;
  std::unique_ptr<FlowMeterASL1600> asciiFlowMeter_;
  std::unique_ptr<FlowMeterSLI2000> binaryFlowMeter_;
  std::atomic<std::int32_t> microscopeCount_{0};
  std::atomic<std::uint32_t> multiModelCode_{0};
  std::atomic<bool> binaryFlowMeterConnected_{false};
  std::atomic<bool> internalFlowMeterInUse_{false};
};

}  // namespace ORV

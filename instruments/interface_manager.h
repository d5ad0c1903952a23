#pragma once
// The interface manager: finds, opens and owns every instrument. One
// instance lives from first use to the end of the program (`Instance()`);
// the sampling workers, the panes and the sequencer take the device objects
// from its slots.
//
// Everything it looks at outside the process (the serial-port list, the USB
// serial devices, the HID devices) comes through the sources given at
// construction, so tests run it on the simulators.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/base/singleton.h"
#include "instruments/flow_meter_asl1600.h"
#include "instruments/flow_meter_sli2000.h"
#include "instruments/heat_controller.h"
#include "instruments/microscope.h"
#include "instruments/pressure_multi_myograph_k4x.h"
#include "instruments/pressure_myograph_k4x.h"
#include "platform/os/hid_transport.h"
#include "platform/os/usb_serial_enum.h"

namespace ORV {

class InterfaceManager : public CSingleton<InterfaceManager> {
 public:
  // Type code for `IsConnected`: a camera is present.
  static constexpr std::uint32_t kCameraPresence = 4;
  static constexpr std::size_t kMicroscopeSlots = 4;

  // Where the manager finds the instruments.
  struct Sources {
    std::shared_ptr<const OS::UsbSerialEnumerator> usb;
    OS::HidTransport* hid = nullptr;
  };

  // The sources of this machine.
  InterfaceManager();
  explicit InterfaceManager(Sources sources);
  ~InterfaceManager() override;

  PressureMyographK4x& SingleInterface() { return *single_; }
  PressureMultiMyographK4x& MultiInterface() { return *multi_; }
  HeatController& HeatControllerDevice() { return *heatController_; }
  FlowMeterASL1600& AsciiFlowMeter() { return *asciiFlowMeter_; }
  FlowMeterSLI2000& BinaryFlowMeter() { return *binaryFlowMeter_; }
  // The microscope of a slot; nullptr for an empty slot or index out of range.
  Microscope* MicroscopeAt(std::size_t index);
  std::int32_t MicroscopeCount() const { return microscopeCount_; }

  // The model code the multi interface reported when `IsPressure` last ran.
  std::uint32_t MultiModelCode() const { return multiModelCode_; }
  bool BinaryFlowMeterConnected() const { return binaryFlowMeterConnected_; }
  bool InternalFlowMeterInUse() const { return internalFlowMeterInUse_; }

  // Keeps the multi interface's model code; true when that model measures
  // pressure.
  bool IsPressure();

  // Whether the device of a type code answers: its connected flag, or with
  // `verify` its Ping.
  bool IsConnected(std::uint32_t type, bool verify = false);

 private:
  Sources sources_;
  std::unique_ptr<PressureMyographK4x> single_;
  std::unique_ptr<PressureMultiMyographK4x> multi_;
  std::array<std::unique_ptr<Microscope>, kMicroscopeSlots> microscopes_;
  std::unique_ptr<HeatController> heatController_;
  std::unique_ptr<FlowMeterASL1600> asciiFlowMeter_;
  std::unique_ptr<FlowMeterSLI2000> binaryFlowMeter_;
  std::int32_t microscopeCount_ = 0;
  std::uint32_t multiModelCode_ = 0;
  bool binaryFlowMeterConnected_ = false;
  bool internalFlowMeterInUse_ = false;
};

}  // namespace ORV

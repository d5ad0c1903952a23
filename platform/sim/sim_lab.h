#pragma once
// The simulated lab of a process: one preparation, every simulated
// instrument attached to it on its own line, and the vessel cameras looking
// at it. platform/os starts it when ORV_SIMLAB=1 and offers its devices as
// found devices:
//   - the heat controller, the binary flow meter and a microscope as FTDI
//     converters with the product ids and serial numbers their searches look
//     for, the ASCII flow meter and the single pressure interface as FTDI
//     converters of another product, each on a pseudo-terminal;
//   - the multi interface as a HID device of its vendor and product;
//   - one to four cameras (ORV_SIMLAB_CAMERAS, 2 by default), which the
//     camera back-ends offer (platform/cameras).
// ORV_SIMLAB_VESSEL chooses the vessel they show (see LabVessel).
#include <memory>
#include <string>
#include <vector>

#include "platform/os/simulated_lab.h"
#include "platform/sim/flow_meter_asl1600_sim.h"
#include "platform/sim/flow_meter_sli2000_sim.h"
#include "platform/sim/heat_controller_sim.h"
#include "platform/sim/hid_transport.h"
#include "platform/sim/microscope_sim.h"
#include "platform/sim/multi_interface_unit.h"
#include "platform/sim/preparation.h"
#include "platform/sim/single_interface_sim.h"
#include "platform/sim/vessel_camera.h"

namespace ORV::Sim {

inline constexpr int kDefaultLabCameras = 2;
inline constexpr int kMaxLabCameras = 4;

// The camera count ORV_SIMLAB_CAMERAS asks for: 1 to 4, 2 when unset or not
// a number in that range.
int LabCameraCount(const char* setting);

// The vessel the lab's cameras show, as ORV_SIMLAB_VESSEL asks for it.
enum class LabVessel {
  kBrightfield,  // unset or anything else: a living preparation in brightfield pictures (the vessel drifts)
  kLive,         // "live": a living preparation (drift and noise) in plain pictures
  kStill,        // "still": a still preparation (neither drift nor noise) in plain pictures
  kExact,        // "exact": a still preparation in exact pictures (whole-pixel edges, no blur, no noise)
};
LabVessel LabVesselSetting(const char* setting);
// The preparation's model for that vessel.
Preparation::Model LabPreparationModel(LabVessel vessel);
// The options of the lab's camera `camera` (0 to 3) for that vessel.
VesselCamera::Options LabCameraOptions(LabVessel vessel, int camera);

class SimLab final : public OS::StandInDevices {
 public:
  // Starts every instrument on `preparation`; an instrument whose line
  // cannot be made is left out. The cameras take the options of `vessel`.
  SimLab(std::shared_ptr<Preparation> preparation, int cameras, LabVessel vessel = LabVessel::kLive);
  ~SimLab() override;

  // The process's lab when one runs (ORV_SIMLAB=1), else nullptr.
  static SimLab* Running();

  std::vector<OS::UsbSerialDevice> SerialDevices() const override;
  OS::HidTransport& Hid() override { return hid_; }
  int CameraCount() const override { return static_cast<int>(cameras_.size()); }

  const std::shared_ptr<Preparation>& GetPreparation() const { return preparation_; }
  // Camera `index` (0 to CameraCount() - 1); nullptr out of range.
  std::shared_ptr<VesselCamera> Camera(int index) const;

 private:
  std::shared_ptr<Preparation> preparation_;
  SimHidTransport hid_;
  std::shared_ptr<MultiInterfaceUnit> multi_;
  HeatControllerSim heat_;
  FlowMeterSLI2000Sim binaryFlow_;
  MicroscopeSim microscope_;
  FlowMeterASL1600Sim asciiFlow_;
  SingleInterfaceSim single_;
  std::vector<OS::UsbSerialDevice> serial_;
  std::vector<std::shared_ptr<VesselCamera>> cameras_;
};

}  // namespace ORV::Sim

#pragma once
// The simulated lab of a process: one preparation, every simulated
// instrument attached to it on its own line, and the vessel cameras looking
// at it. The program starts it when ORV_SIMLAB=1 (StartSimulatedLab) and
// hands it to the platform's device lists and camera tables
// (OS::StandInDevices), which offer its devices as found devices:
//   - the heat controller, the binary flow meter and a microscope as FTDI
//     converters with the product ids and serial numbers their searches look
//     for, the ASCII flow meter and the single pressure interface as FTDI
//     converters of another product, each on a pseudo-terminal;
//   - the multi interface as a HID device of its vendor and product;
//   - one to four cameras (ORV_SIMLAB_CAMERAS, 2 by default), which the
//     camera back-ends offer (platform/cameras).
// ORV_SIMLAB_VESSEL chooses the vessel they show (see LabVessel),
// ORV_SIMLAB_LAB the system the instruments make (see LabSystem), and
// ORV_SIMLAB_FPS (1 to 1000) runs every camera at that rate whatever rate
// the program asks for (a load test drives the cameras faster than the
// back-end's own choice).
//
// Fault switches: each device of the lab has a name (kLabDeviceNames) and can
// be given a fault (LabFault) at any moment: an instrument unplugged (its
// line closes; plugged in again it comes up on a new line), answering
// garbage or not answering; a camera unplugged, delivering no frames or
// delivering torn frames; and a folder whose disk is full or read-only. The
// devices that are unplugged or plugged in raise hot-plug events, as
// hardware does. ORV_SIMLAB_FAULTS names a control file the lab watches: one
// line per faulty device, "<name> <fault>" ("flow unplugged", "camera1
// torn"), or "disk-full <folder>" / "disk-readonly <folder>"; whatever the
// file does not name is as it should be. Lines starting with "#" are
// comments.
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/stand_in_devices.h"
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

// The system the lab's instruments make, as ORV_SIMLAB_LAB asks for it.
enum class LabSystem {
  // unset or anything else: every instrument; the heat controller makes it
  // an incubation chamber system
  kIncubation,
  // "pressure": a pressure chamber system: no heat controller, and a multi
  // interface that keeps a clock of its own (set to the local time at start)
  kPressure,
};
LabSystem LabSystemSetting(const char* setting);

// The faults a device of the lab can be given.
enum class LabFault {
  kNone,       // plugged in and working
  kUnplugged,  // instruments and cameras: gone
  kGarbage,    // instruments: answers that are no answers
  kSilent,     // instruments: no answer at all
  kStopped,    // cameras: no frame comes
  kTorn,       // cameras: every frame comes cut short
};

// The devices' names: the instruments, then the cameras (as many as run).
inline constexpr const char* kLabInstrumentNames[] = {"multi", "single", "flow", "flow-ascii", "heater", "microscope"};
inline constexpr const char* kLabCameraNames[] = {"camera1", "camera2", "camera3", "camera4"};

// A fault by its name in the control file ("unplugged", "garbage", "silent",
// "stopped", "torn", "normal"); nothing for another word.
std::optional<LabFault> LabFaultNamed(const std::string& name);

class SimLab final : public OS::StandInDevices {
 public:
  // Starts every instrument of `system` on `preparation`; an instrument
  // whose line cannot be made is left out. The cameras take the options of
  // `vessel`.
  SimLab(std::shared_ptr<Preparation> preparation, int cameras, LabVessel vessel = LabVessel::kLive,
         LabSystem system = LabSystem::kIncubation);
  ~SimLab() override;

  // Gives the device `name` a fault (kNone makes it work again: an
  // unplugged device is plugged in). False for an unknown name or a fault
  // the device cannot have (a camera answering garbage).
  bool SetFault(const std::string& name, LabFault fault);
  LabFault Fault(const std::string& name) const;
  // Applies a control file's text: every device it names gets its fault,
  // every other device none, and the disk faults it names replace the ones
  // set before. Lines it cannot read are skipped.
  void ApplyControl(const std::string& text);
  // Watches the control file at `path` from now on (every 100 ms, applying
  // its text whenever it changes); an empty path stops watching.
  void WatchControlFile(const std::string& path);

  std::unique_ptr<OS::DeviceEventSource> DeviceEvents() override;

  std::vector<OS::UsbSerialDevice> SerialDevices() const override;
  OS::HidTransport& Hid() override { return hid_; }
  int CameraCount() const override { return static_cast<int>(cameras_.size()); }
  // Each frame of a feed shows the preparation's present.
  std::shared_ptr<OS::StandInCamera> CameraFeed(int index) override;
  // Every camera runs at `framesPerSecond` whatever rate its feeds ask for;
  // 0 lets them choose.
  void ForceFrameRate(double framesPerSecond) { forcedFrameRate_->store(framesPerSecond); }

  const std::shared_ptr<Preparation>& GetPreparation() const { return preparation_; }
  LabSystem System() const { return system_; }
  MultiInterfaceUnit& MultiInterface() const { return *multi_; }
  // Camera `index` (0 to CameraCount() - 1); nullptr out of range.
  std::shared_ptr<VesselCamera> Camera(int index) const;

 private:
  struct SerialLine {
    std::string name;
    SerialResponder* sim = nullptr;
    OS::UsbSerialDevice device;
  };
  class EventChannel;
  // Posts a hot-plug event to every source handed out.
  void Raise(OS::DeviceChange change);
  bool SetFaultLocked(const std::string& name, LabFault fault, bool& plugged);
  void WatchLoop(std::string path);

  std::shared_ptr<Preparation> preparation_;
  LabSystem system_;
  SimHidTransport hid_;
  std::shared_ptr<MultiInterfaceUnit> multi_;
  std::string multiPath_;
  HeatControllerSim heat_;
  FlowMeterSLI2000Sim binaryFlow_;
  MicroscopeSim microscope_;
  FlowMeterASL1600Sim asciiFlow_;
  SingleInterfaceSim single_;
  std::vector<std::shared_ptr<VesselCamera>> cameras_;
  // Shared with the feeds, which the camera tables may keep after the lab.
  std::shared_ptr<std::atomic<double>> forcedFrameRate_ = std::make_shared<std::atomic<double>>(0.0);

  mutable std::mutex mutex_;  // the lines, the faults and the channels
  std::vector<SerialLine> lines_;
  std::map<std::string, LabFault> faults_;
  std::vector<std::string> diskFaults_;  // folders given a write fault by the control file
  std::vector<std::shared_ptr<EventChannel>> channels_;

  std::mutex watchMutex_;
  std::condition_variable watchWake_;
  bool watchStop_ = false;
  std::thread watcher_;
};

// Starts the lab that the ORV_SIMLAB_* settings describe (cameras, vessel,
// system, frame rate) and watches the control file ORV_SIMLAB_FAULTS names.
std::unique_ptr<SimLab> StartSimulatedLab();

}  // namespace ORV::Sim

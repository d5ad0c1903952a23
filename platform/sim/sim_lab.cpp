#include "platform/sim/sim_lab.h"

#include <cstdlib>
#include <string_view>

#include "platform/os/number_text.h"

namespace ORV::Sim {

namespace {

constexpr std::uint16_t kSerialConverter = 0x6001;
constexpr std::uint16_t kUartConverter = 0x6015;
constexpr std::uint16_t kHeatController = 0xF448;

}  // namespace

int LabCameraCount(const char* setting) {
  if (setting == nullptr) return kDefaultLabCameras;
  const auto count = OS::ParseInt(setting);
  return count && *count >= 1 && *count <= kMaxLabCameras ? static_cast<int>(*count) : kDefaultLabCameras;
}

LabVessel LabVesselSetting(const char* setting) {
  if (setting == nullptr) return LabVessel::kLive;
  const std::string_view value(setting);
  if (value == "exact") return LabVessel::kExact;
  if (value == "still") return LabVessel::kStill;
  return LabVessel::kLive;
}

Preparation::Model LabPreparationModel(LabVessel vessel) {
  return vessel == LabVessel::kLive ? Preparation::Model{} : Preparation::QuietModel();
}

VesselCamera::Options LabCameraOptions(LabVessel vessel, int camera) {
  VesselCamera::Options options;
  options.seed = 7 + static_cast<std::uint32_t>(camera);
  options.exact = vessel == LabVessel::kExact;
  return options;
}

SimLab::SimLab(std::shared_ptr<Preparation> preparation, int cameras, LabVessel vessel)
    : preparation_(std::move(preparation)), multi_(std::make_shared<MultiInterfaceUnit>()) {
  // The lab runs as long as the program does: its instruments keep no record
  // of what the program sent them.
  multi_->KeepReceived(false);
  multi_->Attach(preparation_);
  hid_.AddDevice(multi_);

  // The searches go through this list in order: the single interface's from
  // the end, so it comes last; the binary flow meter takes the last
  // converter whose serial number begins with "FT", and the microscopes pass
  // over those that begin with "FTW".
  struct Line {
    SerialResponder& sim;
    PreparationLink& link;
    std::uint16_t product;
    const char* serial;
    const char* name;
  };
  const Line lines[] = {
      {heat_, heat_, kHeatController, "HCL00001", "Heat Controller"},
      {binaryFlow_, binaryFlow_, kSerialConverter, "FTW10001", "USB <-> Serial"},
      {microscope_, microscope_, kSerialConverter, "MSC00001", "USB <-> Serial"},
      {asciiFlow_, asciiFlow_, kUartConverter, "FTW20001", "FT231X USB UART"},
      {single_, single_, kUartConverter, "FTW30001", "FT231X USB UART"},
  };
  for (const Line& line : lines) {
    line.sim.KeepReceived(false);
    line.link.Attach(preparation_);
    if (!line.sim.Start()) continue;
    OS::UsbSerialDevice device;
    device.devNode = line.sim.DevicePath();
    device.sysPath = "/sys/devices/usb-serial/" + std::string(line.serial);
    device.isUsb = true;
    device.vendorId = OS::kFtdiVendorId;
    device.productId = line.product;
    device.serialNumber = line.serial;
    device.product = line.name;
    device.manufacturer = "FTDI";
    serial_.push_back(std::move(device));
  }

  for (int i = 0; i < cameras; ++i)
    cameras_.push_back(std::make_shared<VesselCamera>(preparation_, LabCameraOptions(vessel, i)));
}

SimLab::~SimLab() = default;

SimLab* SimLab::Running() { return dynamic_cast<SimLab*>(OS::SimulatedLab()); }

std::vector<OS::UsbSerialDevice> SimLab::SerialDevices() const { return serial_; }

std::shared_ptr<VesselCamera> SimLab::Camera(int index) const {
  return index >= 0 && index < CameraCount() ? cameras_[static_cast<std::size_t>(index)] : nullptr;
}

}  // namespace ORV::Sim

namespace ORV::OS {

std::unique_ptr<StandInDevices> StartSimulatedLab() {
  const Sim::LabVessel vessel = Sim::LabVesselSetting(std::getenv("ORV_SIMLAB_VESSEL"));
  return std::make_unique<Sim::SimLab>(
      std::make_shared<Sim::Preparation>(Sim::Preparation::SteadyClock(), Sim::LabPreparationModel(vessel)),
      Sim::LabCameraCount(std::getenv("ORV_SIMLAB_CAMERAS")), vessel);
}

}  // namespace ORV::OS

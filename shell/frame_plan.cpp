#include "shell/frame_plan.h"

#include <algorithm>
#include <string_view>

#include "platform/ui/string_ids.h"

namespace ORV {

namespace {
using UI::kPressureInterfaceString;  // the caption of either pressure interface's pane

// Docking sides.
constexpr std::uint32_t kLeft = 0x1000;
constexpr std::uint32_t kRight = 0x4000;
constexpr std::uint32_t kBottom = 0x8000;
constexpr std::uint32_t kBottomOrTop = 0xA800;
}  // namespace

std::string FrameTitle(const std::string& fileName, const std::string& applicationTitle) {
  std::string name = fileName;
  constexpr std::string_view kExtension = ".tvx";
  if (name.size() > kExtension.size() &&
      name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) == 0)
    name.resize(name.size() - kExtension.size());
  if (name.empty()) name = "Untitled";
  // A "[*]" of the name itself is shown as it is, not taken for the mark.
  for (std::size_t at = name.find("[*]"); at != std::string::npos; at = name.find("[*]", at + 6))
    name.insert(at, "[*]");
  return name + "[*] - " + applicationTitle;
}

FirstPlacement PlaceAtFirstStart(int areaLeft, int areaTop, int areaWidth, int areaHeight, int neededWidth,
                                 int neededHeight) {
  FirstPlacement placement{false, areaLeft, areaTop, areaWidth, areaHeight};
  placement.maximised = areaWidth < neededWidth || areaHeight < neededHeight;
  return placement;
}

std::int32_t ProductTypeAfterLoad(std::int32_t configured, std::uint32_t loadedMask) {
  return (loadedMask & kDeviceHeatController) != 0 ? kIncubationChamber : configured;
}

CameraPlan PlanCameras(std::int32_t productType, const std::vector<std::string>& deviceNames) {
  CameraPlan plan;
  const bool incubation = productType == kIncubationChamber;
  plan.titleStringId = incubation ? UI::kTarvixAdvancedIncubationChamberString : UI::kTarvixORVPressureChamberString;
  plan.multipleCameras = incubation && deviceNames.size() > 1;
  plan.tellInterfaceManager = incubation;
  for (std::size_t i = 0; i < deviceNames.size(); ++i) {
    plan.deviceNames.push_back(deviceNames[i]);
    plan.captions.push_back("Camera " + std::to_string(i + 1));
    if (incubation || i == 0) plan.registeredNames.push_back(deviceNames[i]);
  }
  return plan;
}

SamplingPlan PlanSampling(std::int32_t configuredIndex, std::int32_t cameraKind, bool synchroniseSetting) {
  SamplingPlan plan;
  plan.synchronised = cameraKind == 0 && synchroniseSetting;
  plan.storeBack = configuredIndex < 1 || configuredIndex > 5;
  plan.configuredIndex = plan.storeBack ? 3 : configuredIndex;
  // Lumenera and XIMEA cameras are read at their own fast pace.
  plan.frequencyIndex = (cameraKind == 1 || cameraKind == 2) ? 5 : plan.configuredIndex - 1;
  return plan;
}

std::vector<PanePlan> PlanPanes(const PaneFacts& facts) {
  std::vector<PanePlan> panes;
  const int windows = std::max(std::min(facts.cameraCount, 4), 1);
  for (int i = 0; i < windows; ++i) {
    panes.push_back({PaneKind::CameraWindow,
                     i,
                     kCameraWindowFirstId + i,
                     UI::kImageAnalysisString,
                     {},
                     400,
                     160,
                     400,
                     160,
                     false,
                     kBottomOrTop,
                     kBottom,
                     false});
  }
  panes.push_back(
      {PaneKind::CameraPane, 0, kCameraPaneId, UI::kCameraString, {}, 200, 324, 200, 324, true, 0x5000, kLeft, false});
  panes.push_back({PaneKind::Flow, 0, kFlowPaneId, 0, "Flow Meter", 200, 100, 200, 100, true, kRight, kRight, false});
  for (int k = 0; k < 4; ++k) {
    panes.push_back({PaneKind::Video, k, kVideoPaneId, 0, "Camera: " + std::to_string(k + 1), 200, 200, 200, 200, false,
                     kBottomOrTop, kBottom, true});
  }
  if (facts.productType == kPressureChamber) {
    panes.push_back({PaneKind::Sequencer,
                     0,
                     kSequencerPaneId,
                     UI::kSequencerString,
                     {},
                     400,
                     160,
                     400,
                     160,
                     false,
                     kBottomOrTop,
                     kRight,
                     false});
  }
  if (facts.multiLoaded) {
    panes.push_back(
        {PaneKind::Multi, 0, kMultiPaneId, kPressureInterfaceString, {}, 200, 368, 0, 0, true, kRight, kRight, false});
  }
  if (facts.singleLoaded) {
    panes.push_back({PaneKind::Single,
                     0,
                     kSingleUnitPaneId,
                     kPressureInterfaceString,
                     {},
                     200,
                     344,
                     200,
                     344,
                     true,
                     kRight,
                     kRight,
                     false});
  }
  const int microscopeHeight = facts.multipleCameras ? 220 : 180;
  for (int m = 0; m < std::min(facts.microscopeCount, 4); ++m) {
    panes.push_back({PaneKind::Microscope,
                     m,
                     kMicroscopePaneFirstId + m,
                     UI::kORVMicroscopeString,
                     {},
                     200,
                     microscopeHeight,
                     200,
                     180,
                     true,
                     0x5000,
                     kLeft,
                     false});
  }
  if (facts.productType == kIncubationChamber && facts.heatControllerLoaded) {
    panes.push_back({PaneKind::Heater,
                     0,
                     kHeaterPaneId,
                     UI::kORVHeatControllerString,
                     {},
                     200,
                     160,
                     200,
                     160,
                     true,
                     0x5000,
                     kRight,
                     false});
  }
  return panes;
}

}  // namespace ORV

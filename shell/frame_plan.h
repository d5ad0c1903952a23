#pragma once
// What the main frame decides while it is created, as plain functions of what
// it found: the product type after the instruments answered, the camera
// captions and title, the sampling settings, and the table of docking panes
// it makes. The frame (shell/frame) carries these decisions out; keeping them
// here lets them be checked without windows.
#include <cstdint>
#include <string>
#include <vector>

#include "instruments/device.h"

namespace ORV {

// Every instrument kind (device.h's type codes and 4, the cameras): what the
// frame asks the instruments to open at start.
inline constexpr std::uint32_t kAllDevices = 63;

inline constexpr std::int32_t kPressureChamber = 1;
inline constexpr std::int32_t kIncubationChamber = 2;

// The frame's timers.
inline constexpr std::uintptr_t IDT_IDLE_MONITOR = 1021;
inline constexpr std::uintptr_t IDT_CLOCK = 42868;
inline constexpr std::uintptr_t IDT_STARTUP_CHECK = 42869;
inline constexpr unsigned kIdleMonitorMs = 1000;
inline constexpr unsigned kClockMs = 1000;
inline constexpr unsigned kStartupCheckMs = 5000;

// The function-key hot keys: IDHOT_F1 + k is key F(k + 1).
inline constexpr int IDHOT_F1 = 36769;
inline constexpr int kFunctionKeys = 12;

// The frame is never smaller than this.
inline constexpr int kMinimumFrameWidth = 800;
inline constexpr int kMinimumFrameHeight = 600;

// The main window's title: the experiment's file name without its
// ".tvx" ("Untitled" when it has none), the place where the window shows
// that the experiment changed ("[*]"), and the application's title:
// "Rat aorta[*] - Tarvix 5".
std::string FrameTitle(const std::string& fileName, const std::string& applicationTitle);

// Where the main window goes at its first start (no layout kept from an
// earlier run): the screen's available area, maximised when that area is
// smaller than the layout asks for.
struct FirstPlacement {
  bool maximised = false;
  int left = 0, top = 0, width = 0, height = 0;
};
FirstPlacement PlaceAtFirstStart(int areaLeft, int areaTop, int areaWidth, int areaHeight, int neededWidth,
                                 int neededHeight);

// The product type once the instruments were opened: a heat controller that
// answered (bit 32 of the loaded mask) makes it the incubation chamber.
std::int32_t ProductTypeAfterLoad(std::int32_t configured, std::uint32_t loadedMask);

// Cameras as the frame keeps them.
struct CameraPlan {
  std::uint32_t titleStringId = 0;
  // Camera count > 1 with the incubation chamber.
  bool multipleCameras = false;
  // The interface manager is told the count (incubation chamber only).
  bool tellInterfaceManager = false;
  std::vector<std::string> captions;     // "Camera 1", ...
  std::vector<std::string> deviceNames;  // the back-end's name of each camera
  // The names registered with the experiment: every camera's with the
  // incubation chamber, else only the first.
  std::vector<std::string> registeredNames;
};
CameraPlan PlanCameras(std::int32_t productType, const std::vector<std::string>& deviceNames);

// The sampling settings of the configuration as the frame uses them.
struct SamplingPlan {
  bool synchronised = false;  // only for camera kind 0
  // The configured sample-frequency index (1-5); 3 replaces anything else.
  std::int32_t configuredIndex = 3;
  bool storeBack = false;  // the configured index was replaced
  // The frame's frequency index (0-5), also the device threads' period step.
  std::int32_t frequencyIndex = 2;
};
SamplingPlan PlanSampling(std::int32_t configuredIndex, std::int32_t cameraKind, bool synchroniseSetting);

// The panes the frame makes.
enum class PaneKind { CameraWindow, CameraPane, Flow, Video, Sequencer, Multi, Single, Microscope, Heater };

struct PanePlan {
  PaneKind kind = PaneKind::CameraWindow;
  int index = 0;  // camera window, video pane or microscope index
  int id = 0;
  std::uint32_t captionStringId = 0;  // 0: `caption` holds the text
  std::string caption;
  int width = 0, height = 0;        // default size at 96 DPI
  int minWidth = 0, minHeight = 0;  // 0 x 0: none
  bool fixedSize = false;
  std::uint32_t allowedSides = 0;  // docking style bits (left 0x1000, right 0x4000, bottom 0x8000)
  std::uint32_t homeSide = 0;
  bool autoHideAtBottom = false;  // the video panes
  bool operator==(const PanePlan&) const = default;
};

// What decides which panes exist.
struct PaneFacts {
  std::int32_t productType = kPressureChamber;
  int cameraCount = 0;
  bool multipleCameras = false;
  bool multiLoaded = false;
  bool singleLoaded = false;
  int microscopeCount = 0;
  bool heatControllerLoaded = false;
};

// The panes in the order the frame makes them.
std::vector<PanePlan> PlanPanes(const PaneFacts& facts);

// The command ids of the panes.
inline constexpr int kCameraWindowFirstId = 43268;
inline constexpr int kCameraPaneId = 256;
inline constexpr int kSingleUnitPaneId = 257;
inline constexpr int kFlowPaneId = 258;
inline constexpr int kMultiPaneId = 259;
inline constexpr int kSequencerPaneId = 260;
inline constexpr int kHeaterPaneId = 262;
inline constexpr int kVideoPaneId = 263;
inline constexpr int kMicroscopePaneFirstId = 4869;

}  // namespace ORV

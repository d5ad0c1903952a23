#pragma once
// The program's main window: the ribbon, the status bar, the tabbed document
// area of the trace views and every docking pane (camera windows, camera
// pane, instrument panes, video panes, sequencer).
//
// OnCreate opens the instruments, detects the cameras, builds the ribbon and
// the status bar, makes the panes of the product type and of the devices that
// answered, starts the device workers and the synchronised sampling, the
// timers and the function keys, and finally runs a short start-up chain (150
// ms later: panes out of auto-hide, open views, pane layout). OnClose asks
// about a changed sequence and experiment first, then stops everything the
// frame started in a fixed order (the sampling before the device workers, so
// no tick reads a device after its worker ended) and saves the
// configuration. A "Yes" to saving the experiment whose save fails or is
// cancelled keeps the program open and running.
//
// Everything the frame reaches outside itself comes through
// MainFrameServices (frame_services.h); CreateMainFrame (program_frame.h)
// gives it the program's own. GUI thread.
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/command_router.h"
#include "platform/ui/message_window.h"
#include "shell/frame/frame_services.h"

class QCloseEvent;
class QResizeEvent;
class QRect;

namespace ORV {
namespace Shell {
class ExperimentFileCommands;
}
class DeviceMessageHandler;
class FaultWatch;
struct WatchedSource;
class FrameCommands;
class IdleMonitor;
class SamplerDevices;
namespace UI {
class DocumentArea;
class PaneManager;
class RibbonBar;
class RibbonStatusBar;
}  // namespace UI
}  // namespace ORV

namespace ORV {

inline constexpr std::uint32_t WM_HOTKEY = 0x0312;

// Ribbon and status-bar command ids the frame uses.
inline constexpr UI::CommandId ID_APP_EXIT = 57665;  // "Quit" in the main menu
inline constexpr UI::CommandId ID_RESET_BUTTON = 32777;
inline constexpr UI::CommandId ID_RIBBON_CAMERA_COMBO = 32782;
inline constexpr UI::CommandId ID_TRACE_EXPORT_COMBO = 32803;
inline constexpr UI::CommandId ID_VIEW_CAMERA_BUTTON = 32809;
inline constexpr UI::CommandId ID_ZONE_BORDER_COLOR_BUTTON = 32810;
inline constexpr UI::CommandId ID_ZONE_OUTER_COLOR_BUTTON = 32811;
inline constexpr UI::CommandId ID_ZONE_INNER_COLOR_BUTTON = 32812;
inline constexpr UI::CommandId ID_RECORD_QUALITY_COMBO = 32816;
inline constexpr UI::CommandId ID_START_STOP_BUTTON = 32819;
inline constexpr UI::CommandId ID_SCALETIME_EDIT_TIME = 32824;
inline constexpr UI::CommandId ID_SET_STYLE = 32837;
inline constexpr UI::CommandId ID_TIMESPAN_EDIT = 32797;
inline constexpr UI::CommandId ID_TIMESPAN_SLIDER = 32798;
inline constexpr UI::CommandId ID_WINDOWS_DIALOG = 126;
inline constexpr UI::CommandId ID_SEQUENCER_PROGRESS = 36788;
inline constexpr UI::CommandId ID_HEAT_CONTROLLER_BAR = 36789;
inline constexpr UI::CommandId ID_NAVIGATION_BAR = 36790;
inline constexpr UI::CommandId ID_STATUS_START_BUTTON = 36791;
// The function-key marker buttons F1 .. F12 (ribbon and status bar).
inline constexpr std::array<UI::CommandId, 12> kFunctionKeyButtons{32796, 32783, 32794, 32795, 32786, 32787,
                                                                   32788, 32789, 32790, 32791, 32792, 32793};

class CORVStatusbar;
class CORVRibbonProgressBar;
class CORVRibbonHeatControllerBar;
class CNavigationControllerBar;
class FrameCollection;
class FrameTimeWindow;

class CMainFrame : public QMainWindow, public UI::MessageWindow {
 public:
  // `keepAlive` holds what the services refer to; it goes after the frame's
  // own members.
  explicit CMainFrame(MainFrameServices services, std::shared_ptr<void> keepAlive = {});
  ~CMainFrame() override;

  // 0 on success, -1 when the ribbon, the status bar or a pane could not be
  // made.
  int OnCreate();
  bool IsCreated() const { return created_; }
  // The orderly end; false when the user chose to save and the save did not
  // happen (the program then stays open). Without `ask` nothing is asked
  // and nothing saved but the configuration (the process was told to end;
  // the running backup keeps a collection's data).
  bool OnClose(bool ask = true);
  bool IsClosed() const { return closed_; }
  // The process was told to end: a running collection stops without the
  // stop question (its running backup flushed and closed, kept for the
  // next start), then the frame closes without questions.
  void EndWithoutQuestions();
  // Stops the sampling and the device workers at once, for a process that
  // ends without closing the window (the display went away).
  void StopBackgroundWork();

  // False when no layout was kept from an earlier run (the first start).
  bool LayoutRestored() const { return layoutRestored_; }
  // The first start's place: `available` (the screen's available area),
  // maximised when that is smaller than the layout asks for.
  void PlaceForFirstStart(const QRect& available);
  // The title names the experiment and shows whether it changed.
  void UpdateWindowTitle();

  // Which panes are shown (live work or review of a file) and, with `reset`
  // or `force`, each docked at its home side.
  void UpdatePaneLayout(bool reset, bool force);
  void UnhideDockingPanes();
  // "Show Analysis Window" (the camera windows; the video panes in review)
  // and "Reset window layout".
  void OnViewCamera();
  void OnResetLayout();
  void UpdateMarkerButtons();
  // The cameras' analysis prepared again (a video file started playing):
  // every camera window takes the analysis switches, and the panes are laid
  // out for what now plays.
  void PrepareCameras();
  void SetTimespanText(int seconds);
  void FillVideoQualityCombo();

  // State read by other parts of the program.
  std::int32_t ProductType() const { return productType_; }
  int CameraCount() const { return cameraCount_; }
  int CameraKind() const { return cameraKind_; }
  bool MultipleCameras() const { return multipleCameras_; }
  const std::vector<std::string>& CameraCaptions() const { return captions_; }
  const std::vector<std::string>& CameraDeviceNames() const { return deviceNames_; }
  std::int32_t FrequencyIndex() const { return frequencyIndex_; }
  bool Synchronised() const { return synchronised_; }
  bool FlowPresent() const { return flowPresent_; }
  // Video is recorded when the setting (the ribbon's Record Video) is on and
  // there are cameras.
  bool RecordVideo() const;
  bool StartupChainDone() const { return startupChainDone_; }
  // The type code of the connected pressure interface; 0 when none is.
  std::uint32_t InterfaceTypeCode() const { return services_.instruments.InterfaceTypeCode(); }
  // The experiments opened or saved last, newest first, as the File menu
  // lists them; AddRecentFile puts one at the front of the kept list and
  // the menu.
  const std::vector<std::string>& RecentFiles() const { return recentFiles_; }
  void AddRecentFile(const std::string& path);

  UI::CommandRouter& Router() { return router_; }
  // The ribbon commands; null before OnCreate.
  FrameCommands* Commands() const { return commands_.get(); }
  // The program's experiment file commands, whose save is every save of the
  // experiment: File > Save and Save As, the "save first?" of an open, of
  // the close and of a new collection. Given once the application has made
  // them (null takes them away); without them nothing is saved.
  void UseFileCommands(Shell::ExperimentFileCommands* files) { fileCommands_ = files; }
  Shell::ExperimentFileCommands* FileCommands() const { return fileCommands_; }
  UI::RibbonBar* Ribbon() const { return ribbon_; }
  UI::RibbonStatusBar* StatusBar() const;
  CORVStatusbar* OrvStatusBar() const { return statusBar_; }
  CNavigationControllerBar* NavigationBar() const { return navigation_; }
  CORVRibbonProgressBar* SequencerProgress() const { return sequencerProgress_; }
  CORVRibbonHeatControllerBar* HeatControllerBar() const { return heatBar_; }
  // Moves the shown time window to a position (the navigation bar).
  void NavigateTo(std::int32_t position);
  // The time window over the trace views; null without the trace glue.
  FrameTimeWindow* TimeWindow() const { return timeWindow_.get(); }
  // The time slider over the whole recording and the views at its start
  // (start-up, after an open, after dropped files).
  void ResetTimeSlider();
  // Every video pane shows its frame at `seconds`.
  void ShowVideoAt(double seconds);
  UI::PaneManager& Panes() { return *panes_; }
  UI::DocumentArea* Documents() const { return documents_; }
  const std::vector<CameraWindow*>& CameraWindows() const { return cameraWindows_; }
  // Binds the camera pane to camera window `index`, shown as `caption` (the
  // window's own caption when empty); false when there is no camera pane or
  // no such window, or the pane refused it. The camera the commands act on
  // follows it.
  bool AttachCameraPane(int index, const std::string& caption = {});
  // Binds the camera pane to camera window `index` and starts (or stops)
  // its camera as the pane's Capture command does; nothing when the pane
  // refused the window.
  void ConnectCamera(int index, const std::string& caption);
  int CurrentCamera() const { return currentCamera_; }
  // Start, stop and pause of a data collection and the marker keys; null
  // before OnCreate.
  FrameCollection* Collection() const { return collection_.get(); }
  // The pane of a kind (and index); null when it was not made.
  UI::DockingPane* PaneOf(PaneKind kind, int index = 0) const;
  // What tells the user of a lost instrument, camera or backup and records
  // when each was missing; null before OnCreate.
  FaultWatch* Faults() const { return faults_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A window of a new height gives the panes the room they ask for again.
  void resizeEvent(QResizeEvent* event) override;

 private:
  class DevicePanesOfFrame;
  class FaultsOfFrame;

  bool CreateRibbon();
  void ShowRecentFiles();
  void LoadZoneColors();
  void CreateStatusBar();
  bool CreatePanes();
  void StartWorkers();
  void FillCombos();
  void PassCameraSettings();
  void RunStartupChain();
  SamplerSettings CurrentSamplerSettings() const;
  // The settings a collection samples with: the synchronisation as the
  // configuration has it now.
  SamplerSettings CollectionSamplerSettings() const;
  bool InReview() const;
  void DockAndUnhide(UI::DockingPane& pane, std::uint32_t side, bool dock);
  void ShowOrHide(UI::DockingPane* pane, bool show);
  void FitFixedPanes();

  OS::LRESULT OnNewSample(OS::WPARAM kind, OS::LPARAM ticket);
  OS::LRESULT OnTimer(OS::WPARAM id);
  OS::LRESULT OnDeviceChange(OS::WPARAM event);
  OS::LRESULT OnHotKey(OS::WPARAM id);
  void CreateCollectionCommands();
  // Every second (and at once when a device arrives, `restartNow`): reads
  // each camera window for the fault watch, which says when a camera that
  // went away is to be started again.
  void WatchCameras(bool restartNow);
  void OnSourceChanged(const WatchedSource& source, bool lost);

  // Declared first: destroyed after everything below.
  std::shared_ptr<void> keepAlive_;
  MainFrameServices services_;

  UI::CommandRouter router_;
  UI::RibbonBar* ribbon_ = nullptr;
  CORVStatusbar* statusBar_ = nullptr;
  CNavigationControllerBar* navigation_ = nullptr;
  CORVRibbonProgressBar* sequencerProgress_ = nullptr;
  CORVRibbonHeatControllerBar* heatBar_ = nullptr;
  UI::DocumentArea* documents_ = nullptr;
  std::unique_ptr<UI::PaneManager> panes_;
  std::vector<std::pair<PanePlan, UI::DockingPane*>> paneList_;
  std::vector<CameraWindow*> cameraWindows_;
  int currentCamera_ = 0;
  std::shared_ptr<SampleInbox> inbox_;
  std::unique_ptr<DevicePanesOfFrame> devicePanes_;
  std::unique_ptr<DeviceMessageHandler> deviceMessages_;
  std::unique_ptr<IdleMonitor> idleMonitor_;
  std::unique_ptr<FaultsOfFrame> faultHost_;
  std::unique_ptr<FaultWatch> faults_;
  std::unique_ptr<FrameCollection> collection_;
  std::unique_ptr<FrameTimeWindow> timeWindow_;
  std::unique_ptr<FrameCommands> commands_;
  Shell::ExperimentFileCommands* fileCommands_ = nullptr;

  std::int32_t productType_ = kPressureChamber;
  int cameraCount_ = 0;
  int cameraKind_ = kCameraTypeImagingSource;
  bool multipleCameras_ = false;
  std::vector<std::string> captions_;
  std::vector<std::string> deviceNames_;
  std::vector<std::string> recentFiles_;
  std::array<std::string, 6> ribbonTexts_;  // strings 233, 234, 220, 222, 221, 223
  bool flowFromMulti_ = false;
  bool flowPresent_ = false;
  bool deviceNotifications_ = false;
  bool synchronised_ = false;
  std::int32_t frequencyIndex_ = 2;
  bool created_ = false;
  bool closed_ = false;
  bool startupChainDone_ = false;
  bool layoutRestored_ = false;
  bool fitPending_ = false;
  // The camera windows' widths when a review hid them; they get them back
  // when the review ends, whatever the video panes did to the dock area.
  std::vector<int> liveCameraWidths_;
  bool reviewLaidOut_ = false;
  // A settings archive was imported from the ribbon: the close keeps the
  // running configuration from overwriting it.
  bool settingsImported_ = false;
};

}  // namespace ORV

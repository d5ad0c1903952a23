#pragma once
// The main frame's ribbon commands: what each does and when it is enabled.
//
// MainFrameCommands::Table holds every command in one row: its id, its
// update rule and what it does. An update rule decides the command's state
// from a snapshot of the program (collection, cameras, playback, recording,
// views, selection, devices and the configuration switches), so every rule
// can be checked without a window (FrameCommandUpdate). The commands act
// through FrameCommandHost, the frame's side (camera windows, dialogs, the
// application object, the views), and Register puts every row on the
// frame's CommandRouter in one loop.
//
// Every per-camera loop runs over min(record cameras, 4, created windows) and
// skips windows whose analysis control could not be made: a file may name
// more cameras than this machine made windows for. GUI thread.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/command_router.h"
#include "shell/save_answer.h"

namespace ORV {
class Configuration;

namespace FrameCommand {
inline constexpr UI::CommandId kAutoThreshold = 32781;
inline constexpr UI::CommandId kInvertImage = 32776;
inline constexpr UI::CommandId kIgnoreLumen = 32800;
inline constexpr UI::CommandId kZoneBorderColor = 32810;
inline constexpr UI::CommandId kZoneOuterColor = 32811;
inline constexpr UI::CommandId kZoneInnerColor = 32812;
inline constexpr UI::CommandId kZoneBorderWheel = 1126;
inline constexpr UI::CommandId kZoneOuterWheel = 1131;
inline constexpr UI::CommandId kZoneInnerWheel = 1130;
inline constexpr UI::CommandId kZoneBorderDefault = 1142;
inline constexpr UI::CommandId kZoneOuterDefault = 1144;
inline constexpr UI::CommandId kZoneInnerDefault = 1147;
inline constexpr UI::CommandId kPlayVideo = 32780;
inline constexpr UI::CommandId kCameraCombo = 32782;
inline constexpr UI::CommandId kVideoPause = 32854;
inline constexpr UI::CommandId kVideoResume = 32855;
inline constexpr UI::CommandId kVideoBackward = 32856;
inline constexpr UI::CommandId kVideoForward = 32857;
inline constexpr UI::CommandId kVideoStep = 32858;
inline constexpr UI::CommandId kVideoGoto = 32859;
inline constexpr UI::CommandId kRecordVideo = 32815;
inline constexpr UI::CommandId kRecordQuality = 32816;
inline constexpr UI::CommandId kLiveTrace = 32799;
inline constexpr UI::CommandId kSelectAllTraces = 32771;
inline constexpr UI::CommandId kTraceExportCombo = 32803;
inline constexpr UI::CommandId kDataExport = 32802;
inline constexpr UI::CommandId kShowDataSheet = 32773;
inline constexpr UI::CommandId kShowActionSheet = 32807;
inline constexpr UI::CommandId kAdvancedExport = 32820;
inline constexpr UI::CommandId kCopyClipboard = 32814;
inline constexpr UI::CommandId kCustomScripts = 32836;
inline constexpr UI::CommandId kSyncData = 32817;
inline constexpr UI::CommandId kLoadSettings = 330;
inline constexpr UI::CommandId kSaveSettings = 331;
inline constexpr UI::CommandId kFileOpen = 57601;
inline constexpr UI::CommandId kFileClose = 57602;
inline constexpr UI::CommandId kFileSave = 57603;
inline constexpr UI::CommandId kFileSaveAs = 57604;
inline constexpr UI::CommandId kAutoRange = 1182;
inline constexpr UI::CommandId kSetStyle = 32837;
// The recent files of the File menu, newest first.
inline constexpr UI::CommandId kRecentFileFirst = 57616;
inline constexpr int kRecentFileCount = 6;
}  // namespace FrameCommand

// The frame's private messages for changed custom traces.
inline constexpr std::uint32_t WM_CUSTOM_TRACE_CHANGED = 0x0400 + 1050;  // wParam: custom-trace index
inline constexpr std::uint32_t WM_CUSTOM_TRACES_CHANGED = 0x0400 + 1051;
// Trace kinds of custom traces start here (kind = base + index).
inline constexpr int kCustomTraceKindBase = 220;

// What the update rules look at.
struct FrameCommandState {
  bool collecting = false;      // a data collection runs
  bool reviewShown = false;     // an opened experiment is shown
  bool recordFromFile = false;  // the record holds an experiment read from a file
  int detectedCameras = 0;
  bool camera0PlaysFile = false;
  bool camera0Recording = false;
  bool anyCapturing = false;      // a detected camera captures
  bool anyIdlePlaysFile = false;  // a detected camera that does not capture plays a file
  // The camera pane's current camera (none above index 3).
  bool currentPlaysFile = false;
  bool currentPaused = false;
  bool currentSeekable = false;  // its window allows stepping while the video plays
  int views = 0;                 // registered trace views
  bool hasMainView = false;
  bool mainAutoRangeEnabled = false;
  bool mainAutoRangeActive = false;
  bool activeIsTraceView = false;
  bool liveTrace = true;
  double selectionStop = 0.0;  // 0 or less: no selection
  bool dataSheetOpen = false;
  bool actionSheetOpen = false;
  bool recordHoldsData = false;
  bool recordModified = false;
  bool recordVersionsEqual = true;
  std::int32_t masterSampleDevice = 0;
  int recentFiles = 0;  // entries of the recent-file list
  // Switches of the configuration.
  bool autoThreshold = false;
  bool invertImage = false;
  bool ignoreLumen = false;
  bool selectAllTraces = false;
  bool recordVideo = false;
  bool synchronise = false;
};

// The state of command `id` under `state`; nothing for a command this table
// does not own.
std::optional<UI::CommandState> FrameCommandUpdate(UI::CommandId id, const FrameCommandState& state);
// Every command the table owns.
const std::vector<UI::CommandId>& FrameCommandIds();

// A camera window and its analysis control, as the commands use them.
class CommandCamera {
 public:
  virtual ~CommandCamera() = default;
  virtual bool HasControl() const = 0;
  virtual void SetAutoThreshold(bool on) = 0;
  virtual void InvertThreshold(bool on) = 0;
  // The control's switch and the window's own flag.
  virtual void IgnoreLumen(bool on) = 0;
  virtual void SetVideoScaleFactor(int factor) = 0;
  // 1 when the control plays the file; "" ends a playback.
  virtual int PlayVideoFile(const std::string& path) = 0;
  virtual bool IsVideoPlaying() = 0;
  virtual bool IsVideoPause() = 0;
  virtual void PauseCapture() = 0;
  virtual void ResumeCapture() = 0;
  virtual void VideoBackward() = 0;
  virtual void VideoForward() = 0;
  virtual void SeekFramesFromCurrentPosition(int frames) = 0;
  virtual void SetCurrentVideoTimeInSeconds(std::int64_t seconds) = 0;
  virtual void ApplyZoneColors() = 0;
  // Closes the window's docking pane as its close button does.
  virtual void ClosePane() = 0;
};

enum class ZoneEdge { Border = 0, Outer = 1, Inner = 2 };

// The frame's side of the commands.
class FrameCommandHost {
 public:
  virtual ~FrameCommandHost() = default;
  // The facts of FrameCommandState that are not configuration switches.
  virtual FrameCommandState Snapshot() = 0;
  virtual int RecordCameraCount() = 0;
  // Camera window i of camera i, in creation order; entries may be null.
  virtual std::vector<CommandCamera*> CameraWindows() = 0;
  // The camera pane's camera index.
  virtual int CurrentCamera() = 0;
  virtual bool RecordVideoEnabled() const = 0;
  virtual void SetRecordVideoEnabled(bool on) = 0;

  // Dialogs; nothing when cancelled.
  virtual std::optional<std::string> AskOpenFile(const std::string& extension, const std::string& filter) = 0;
  virtual std::optional<std::string> AskSaveFile(const std::string& extension, const std::string& filter) = 0;
  virtual std::optional<std::uint32_t> AskColor(std::uint32_t initial) = 0;
  virtual std::optional<std::string> AskWorkspaceName(const std::string& initial) = 0;
  // Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // OK/Cancel question; true for OK.
  virtual bool AskOkCancel(const std::string& text) = 0;
  // A "save changes?" question: Yes, No or Cancel.
  virtual SaveAnswer AskSaveChanges(const std::string& text) = 0;
  virtual void ShowError(const std::string& text) = 0;

  // Ribbon elements the commands read or fill.
  virtual std::uint32_t RibbonZoneColor(ZoneEdge edge) = 0;
  virtual void ShowRibbonZoneColor(ZoneEdge edge, std::uint32_t color) = 0;
  virtual int CameraComboSelection() = 0;
  virtual std::string CameraComboText() = 0;
  virtual void SelectCameraComboName(const std::string& name) = 0;
  virtual std::string GotoText() = 0;
  virtual void ClearGotoText() = 0;
  virtual int QualityComboSelection() = 0;  // -1 when none
  virtual int TraceExportSelection() = 0;
  virtual void ReloadRibbonBackground() = 0;

  // The camera pane: attaches a camera window; false when it refuses.
  virtual bool AttachCameraWindow(int index, const std::string& name) = 0;
  virtual std::string CurrentCameraName() = 0;
  virtual void RefreshVideoPaneColors(int camera) = 0;
  // Video pane i: camera i, sized to its window, time 0, repainted.
  virtual void ResetVideoPane(int index) = 0;
  // Video pane i: no camera (and no video), laid out again, hidden.
  virtual void ClearVideoPane(int index) = 0;

  // The frame, the record and the application object.
  virtual void SetVideoEnabled(bool on) = 0;
  virtual void PrepareCameras() = 0;
  virtual void RestartSynchronisedSampling() = 0;
  virtual void AddMarker(int camera, const std::string& text) = 0;
  virtual void SetLiveTrace(bool on) = 0;
  virtual void SetViewsSelectAll(bool on) = 0;
  virtual void ExportToDataSheet(int traceIndex) = 0;
  virtual void ShowDataSheet() = 0;
  virtual void ShowActionSheet() = 0;
  virtual void RunAdvancedExport() = 0;
  virtual void CopyActiveViewToClipboard() = 0;
  virtual void RunCustomTraceDialog() = 0;
  virtual void SetMainAutoRange(bool enabled, bool active) = 0;
  virtual void ReloadCustomTraces() = 0;
  // Takes the reloaded custom trace into every view that shows `kind`.
  virtual void ReconfigureViewsShowing(int kind) = 0;
  virtual void InitCustomTraces() = 0;
  // Saves the experiment: in place when it has its own file (else as Save
  // As), or under a name asked for when `askName`; false when it failed or
  // was cancelled.
  virtual bool SaveExperiment(bool askName) = 0;
  virtual void OpenDocument(const std::string& path) = 0;
  // The recent-file list, newest first.
  virtual std::vector<std::string> RecentFiles() = 0;
  virtual void CloseDocument() = 0;
  virtual void ResetTimeSlider() = 0;
  // `beforeChange` is asked once the archive is known to be sound (see
  // CCustomSettings::ImportSettingsArchive).
  virtual int ImportSettingsArchive(const std::string& path, const std::function<bool()>& beforeChange) = 0;
  virtual void MarkSettingsImported() = 0;
  virtual void RestartProgram() = 0;
  virtual void WriteWorkspaceName(const std::string& name) = 0;
  virtual void SaveWorkspaceState() = 0;
  virtual void SaveConfiguration() = 0;
  virtual bool ExportSettingsArchive(const std::string& path) = 0;
};

class MainFrameCommands {
 public:
  // One command: its id, its update rule and what it does.
  struct Row {
    UI::CommandId id;
    std::function<UI::CommandState(const FrameCommandState&)> update;
    std::function<void(MainFrameCommands&)> run;
  };
  // Every command the frame owns, in ribbon order, the recent files last.
  static const std::vector<Row>& Table();
  // The row of `id`; null when the table does not own it.
  static const Row* Find(UI::CommandId id);

  MainFrameCommands(Configuration& configuration, FrameCommandHost& host);

  // The snapshot with the configuration's switches filled in.
  FrameCommandState State();
  // Registers every command and update rule of the table on `router`.
  void Register(UI::CommandRouter& router);
  // Runs command `id` (no update rule checked); false when not one of ours.
  bool Run(UI::CommandId id);

  void StopFilePlayback();
  void ResetVideoPanes();
  // Every video pane without camera and video, and hidden (an experiment
  // closed).
  void ClearVideoPanes();
  // Dropped files: the same save question as Open, then each is opened.
  void OnDropFiles(const std::vector<std::string>& paths);
  void OnSysColorChange();
  void OnCustomTraceChanged(int index);
  void OnCustomTracesChanged();

 private:
  // The created camera windows with a control, at most the record's cameras
  // and four.
  std::vector<std::pair<int, CommandCamera*>> RecordCameras();
  CommandCamera* Current();
  void StepRefresh();
  void ToggleAutoThreshold();
  void ToggleInvert();
  void ToggleIgnoreLumen();
  void ApplyZoneColors();
  void ZoneButton(ZoneEdge edge);
  void ZoneWheel(ZoneEdge edge);
  void ZoneDefault(ZoneEdge edge);
  std::uint32_t& ZoneColor(ZoneEdge edge);
  void PlayVideo();
  void SelectCamera();
  void GotoTime();
  void ToggleRecordVideo();
  void SetQuality();
  void ToggleSync();
  void ImportSettings();

 public:
  // Loads the settings archive at `path` (Load User Config after its file
  // dialog, and a settings archive the desktop opens with the program) and
  // restarts the program on them; a file that is no readable archive is
  // refused with a message that names it and why. True when imported.
  bool ImportSettingsFrom(const std::string& path);

 private:
  void ExportSettings();
  // Asks to save a modified record; false when the save was wanted and did
  // not happen (the caller then stops).
  bool SaveBeforeReplacing();
  void OpenExperiment();
  // Entry `index` of the recent-file list, with Open's save question.
  void OpenRecentFile(int index);
  void AutoRange();

  Configuration& config_;
  FrameCommandHost& host_;
};

}  // namespace ORV

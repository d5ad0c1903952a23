#include "shell/frame/main_frame_commands.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/base/configuration.h"
#include "core/base/time_text.h"
#include "core/settings/settings_archive.h"
#include "platform/os/user_file.h"
#include "platform/ui/file_problem_text.h"
#include "platform/ui/string_table.h"

namespace ORV {
namespace {

using namespace FrameCommand;
using UI::CommandId;
using UI::CommandState;

constexpr int kMaxCameraWindows = 4;
constexpr const char* kVideoFilter = "AVI Files (*.avi)|*.avi|All Files (*.*)|*.*||";
constexpr const char* kSettingsFilter = "ORV Settings (*.orvsettings)|*.orvsettings|All Files (*.*)|*.*||";
constexpr const char* kExperimentFilter = "Tarvix Files (*.tvx)|*.tvx|All Files (*.*)|*.*||";
constexpr int kVideoPanes = 4;

CommandState Enabled(bool on, bool checked = false) {
  CommandState state;
  state.enabled = on;
  state.checked = checked;
  return state;
}

bool QualityEnabled(const FrameCommandState& s) {
  if (s.collecting) return false;
  if (s.detectedCameras == 0) return true;
  return !s.anyCapturing && !s.anyIdlePlaysFile;
}

std::string FormatString(std::uint32_t id, const std::string& argument) {
  std::string pattern = UI::LoadString(id);
  const auto at = pattern.find("%s");
  if (at != std::string::npos) pattern.replace(at, 2, argument);
  return pattern;
}

}  // namespace

const std::vector<CommandId>& FrameCommandIds() {
  static const std::vector<CommandId> ids{
      kAutoThreshold,    kInvertImage,    kIgnoreLumen,    kZoneBorderColor,   kZoneOuterColor,   kZoneInnerColor,
      kZoneBorderWheel,  kZoneOuterWheel, kZoneInnerWheel, kZoneBorderDefault, kZoneOuterDefault, kZoneInnerDefault,
      kPlayVideo,        kCameraCombo,    kVideoPause,     kVideoResume,       kVideoBackward,    kVideoForward,
      kVideoStep,        kVideoGoto,      kRecordVideo,    kRecordQuality,     kLiveTrace,        kSelectAllTraces,
      kTraceExportCombo, kDataExport,     kShowDataSheet,  kShowActionSheet,   kAdvancedExport,   kCopyClipboard,
      kCustomScripts,    kSyncData,       kLoadSettings,   kSaveSettings,      kFileOpen,         kFileClose,
      kFileSave,         kFileSaveAs,     kAutoRange,      kSetStyle};
  static const std::vector<CommandId> all = [] {
    std::vector<CommandId> list = ids;
    for (int i = 0; i < kRecentFileCount; ++i) list.push_back(kRecentFileFirst + static_cast<CommandId>(i));
    return list;
  }();
  return all;
}

std::optional<CommandState> FrameCommandUpdate(CommandId id, const FrameCommandState& s) {
  const bool view = s.views > 0;
  switch (id) {
    case kAutoThreshold:
      return Enabled(true, s.autoThreshold);
    case kInvertImage:
      return Enabled(true, s.invertImage);
    case kIgnoreLumen:
      return Enabled(true, s.ignoreLumen);
    case kZoneBorderColor:
    case kZoneOuterColor:
    case kZoneInnerColor:
    case kZoneBorderWheel:
    case kZoneOuterWheel:
    case kZoneInnerWheel:
    case kZoneBorderDefault:
    case kZoneOuterDefault:
    case kZoneInnerDefault:
    case kTraceExportCombo:
    case kCustomScripts:
    case kLoadSettings:
    case kSaveSettings:
    case kSetStyle:
      return Enabled(true);
    case kPlayVideo:
      return Enabled(!s.recordFromFile);
    case kCameraCombo:
      return Enabled(s.detectedCameras > 1);
    case kVideoPause:
      return Enabled(s.currentPlaysFile && !s.currentPaused);
    case kVideoResume:
    case kVideoStep:
      return Enabled(s.currentPlaysFile && s.currentPaused);
    case kVideoBackward:
    case kVideoForward:
      return Enabled(s.currentSeekable);
    case kVideoGoto:
      return Enabled(s.currentPlaysFile);
    case kRecordVideo:
      return Enabled(s.detectedCameras > 0 && !s.camera0PlaysFile && !s.collecting, s.recordVideo);
    case kRecordQuality:
      return Enabled(QualityEnabled(s));
    case kLiveTrace:
      return Enabled(view);
    case kSelectAllTraces:
      return Enabled(true, s.selectAllTraces);
    case kDataExport:
      return Enabled(s.selectionStop > 0.0 && view);
    case kShowDataSheet:
      return Enabled(!s.dataSheetOpen);
    case kShowActionSheet:
      return Enabled(!s.actionSheetOpen);
    case kAdvancedExport:
      return Enabled(s.recordHoldsData);
    case kCopyClipboard:
      return Enabled(view && s.activeIsTraceView);
    case kSyncData:
      return Enabled(!s.reviewShown && s.masterSampleDevice == 0, s.synchronise);
    case kFileOpen:
      return Enabled(!s.collecting);
    case kFileClose:
      return Enabled(s.reviewShown);
    case kFileSave:
      return Enabled(s.recordVersionsEqual && s.recordModified && !s.camera0Recording);
    case kFileSaveAs:
      return Enabled((s.recordModified || s.recordHoldsData) && !s.camera0Recording);
    case kAutoRange: {
      CommandState state = Enabled(s.hasMainView);
      if (s.hasMainView) {
        const bool on = s.mainAutoRangeEnabled && s.mainAutoRangeActive;
        state.checked = on;
        state.text = UI::LoadString(on ? UI::kEnabledString : UI::kDisabledString);
      }
      return state;
    }
    default:
      if (id >= kRecentFileFirst && id < kRecentFileFirst + kRecentFileCount)
        return Enabled(!s.collecting && static_cast<int>(id - kRecentFileFirst) < s.recentFiles);
      return std::nullopt;
  }
}

MainFrameCommands::MainFrameCommands(Configuration& configuration, FrameCommandHost& host)
    : config_(configuration), host_(host) {}

FrameCommandState MainFrameCommands::State() {
  FrameCommandState s = host_.Snapshot();
  s.autoThreshold = config_.AutoThreshold;
  s.invertImage = config_.InvertImage;
  s.ignoreLumen = config_.IgnoreLumen;
  s.selectAllTraces = config_.SelectAllTraces;
  s.recordVideo = host_.RecordVideoEnabled();
  s.synchronise = config_.SynchroniseDataCollection;
  return s;
}

void MainFrameCommands::Register(UI::CommandRouter& router) {
  for (const CommandId id : FrameCommandIds()) {
    router.OnCommand(id, [this, id] { Run(id); });
    router.OnUpdate(id, [this, id](UI::CmdUI& ui) {
      const auto state = FrameCommandUpdate(id, State());
      if (!state) return;
      ui.Enable(state->enabled);
      ui.SetCheck(state->checked);
      if (state->text) ui.SetText(*state->text);
    });
  }
}

bool MainFrameCommands::Run(CommandId id) {
  switch (id) {
    case kAutoThreshold:
      ToggleAutoThreshold();
      break;
    case kInvertImage:
      ToggleInvert();
      break;
    case kIgnoreLumen:
      ToggleIgnoreLumen();
      break;
    case kZoneBorderColor:
      ZoneButton(ZoneEdge::Border);
      break;
    case kZoneOuterColor:
      ZoneButton(ZoneEdge::Outer);
      break;
    case kZoneInnerColor:
      ZoneButton(ZoneEdge::Inner);
      break;
    case kZoneBorderWheel:
      ZoneWheel(ZoneEdge::Border);
      break;
    case kZoneOuterWheel:
      ZoneWheel(ZoneEdge::Outer);
      break;
    case kZoneInnerWheel:
      ZoneWheel(ZoneEdge::Inner);
      break;
    case kZoneBorderDefault:
      ZoneDefault(ZoneEdge::Border);
      break;
    case kZoneOuterDefault:
      ZoneDefault(ZoneEdge::Outer);
      break;
    case kZoneInnerDefault:
      ZoneDefault(ZoneEdge::Inner);
      break;
    case kPlayVideo:
      PlayVideo();
      break;
    case kCameraCombo:
      SelectCamera();
      break;
    case kVideoPause:
      if (auto* c = Current()) c->PauseCapture();
      break;
    case kVideoResume:
      if (auto* c = Current()) c->ResumeCapture();
      break;
    case kVideoBackward:
      if (auto* c = Current()) {
        c->VideoBackward();
        StepRefresh();
      }
      break;
    case kVideoForward:
      if (auto* c = Current()) {
        c->VideoForward();
        StepRefresh();
      }
      break;
    case kVideoStep:
      StepRefresh();
      break;
    case kVideoGoto:
      GotoTime();
      break;
    case kRecordVideo:
      ToggleRecordVideo();
      break;
    case kRecordQuality:
      SetQuality();
      break;
    case kLiveTrace:
      host_.SetLiveTrace(!host_.Snapshot().liveTrace);
      break;
    case kSelectAllTraces:
      config_.SelectAllTraces = !config_.SelectAllTraces;
      host_.SetViewsSelectAll(config_.SelectAllTraces);
      break;
    case kTraceExportCombo:
      // The summary chosen is the one the next start offers first.
      if (const int selection = host_.TraceExportSelection(); selection >= 0)
        config_.LastUsedAnalysisExportType = selection;
      break;
    case kDataExport:
      host_.ExportToDataSheet(host_.TraceExportSelection());
      break;
    case kShowDataSheet:
      host_.ShowDataSheet();
      config_.DataViewShown = true;
      break;
    case kShowActionSheet:
      host_.ShowActionSheet();
      config_.ActionViewShown = true;
      break;
    case kAdvancedExport:
      host_.RunAdvancedExport();
      break;
    case kCopyClipboard:
      host_.CopyActiveViewToClipboard();
      break;
    case kCustomScripts:
      host_.RunCustomTraceDialog();
      break;
    case kSyncData:
      ToggleSync();
      break;
    case kLoadSettings:
      ImportSettings();
      break;
    case kSaveSettings:
      ExportSettings();
      break;
    case kFileOpen:
      OpenExperiment();
      break;
    case kFileClose:
      host_.CloseDocument();
      break;
    case kFileSave:
      host_.SaveDocument(false);
      break;
    case kFileSaveAs:
      host_.SaveDocument(true);
      break;
    case kAutoRange:
      AutoRange();
      break;
    case kSetStyle:
      break;
    default:
      if (id >= kRecentFileFirst && id < kRecentFileFirst + kRecentFileCount) {
        OpenRecentFile(static_cast<int>(id - kRecentFileFirst));
        break;
      }
      return false;
  }
  return true;
}

std::vector<std::pair<int, CommandCamera*>> MainFrameCommands::RecordCameras() {
  const std::vector<CommandCamera*> windows = host_.CameraWindows();
  const int count = std::min({host_.RecordCameraCount(), kMaxCameraWindows, static_cast<int>(windows.size())});
  std::vector<std::pair<int, CommandCamera*>> cameras;
  for (int i = 0; i < count; ++i) {
    CommandCamera* window = windows[static_cast<std::size_t>(i)];
    if (window != nullptr && window->HasControl()) cameras.emplace_back(i, window);
  }
  return cameras;
}

CommandCamera* MainFrameCommands::Current() {
  const int index = host_.CurrentCamera();
  if (index < 0 || index >= kMaxCameraWindows) return nullptr;
  const std::vector<CommandCamera*> windows = host_.CameraWindows();
  if (index >= static_cast<int>(windows.size())) return nullptr;
  CommandCamera* window = windows[static_cast<std::size_t>(index)];
  return window != nullptr && window->HasControl() ? window : nullptr;
}

void MainFrameCommands::StepRefresh() {
  if (auto* c = Current(); c != nullptr && c->IsVideoPause()) c->SeekFramesFromCurrentPosition(1);
}

void MainFrameCommands::ToggleAutoThreshold() {
  const bool on = !config_.AutoThreshold;
  const auto cameras = RecordCameras();
  for (const auto& [index, camera] : cameras) camera->SetAutoThreshold(on);
  if (host_.RecordCameraCount() == 0 && host_.Snapshot().camera0PlaysFile) {
    const auto windows = host_.CameraWindows();
    if (!windows.empty() && windows[0] != nullptr && windows[0]->HasControl()) windows[0]->SetAutoThreshold(on);
  }
  config_.AutoThreshold = on;
}

void MainFrameCommands::ToggleInvert() {
  config_.InvertImage = !config_.InvertImage;
  for (const auto& [index, camera] : RecordCameras()) camera->InvertThreshold(config_.InvertImage);
}

void MainFrameCommands::ToggleIgnoreLumen() {
  config_.IgnoreLumen = !config_.IgnoreLumen;
  for (const auto& [index, camera] : RecordCameras()) camera->IgnoreLumen(config_.IgnoreLumen);
}

std::uint32_t& MainFrameCommands::ZoneColor(ZoneEdge edge) {
  switch (edge) {
    case ZoneEdge::Outer:
      return config_.ZoneOuterEdgeColor;
    case ZoneEdge::Inner:
      return config_.ZoneInnerEdgeColor;
    case ZoneEdge::Border:
      break;
  }
  return config_.ZoneBorderColor;
}

void MainFrameCommands::ApplyZoneColors() {
  for (const auto& [index, camera] : RecordCameras()) {
    camera->ApplyZoneColors();
    host_.RefreshVideoPaneColors(index);
  }
}

void MainFrameCommands::ZoneButton(ZoneEdge edge) {
  ZoneColor(edge) = host_.RibbonZoneColor(edge);
  ApplyZoneColors();
}

void MainFrameCommands::ZoneWheel(ZoneEdge edge) {
  const auto color = host_.AskColor(ZoneColor(edge));
  if (!color) return;
  ZoneColor(edge) = *color;
  host_.ShowRibbonZoneColor(edge, *color);
  ApplyZoneColors();
}

void MainFrameCommands::ZoneDefault(ZoneEdge edge) {
  ZoneColor(edge) = config_.DefaultZoneColors[static_cast<std::size_t>(edge)];
  ApplyZoneColors();
  host_.ShowRibbonZoneColor(edge, ZoneColor(edge));
}

void MainFrameCommands::PlayVideo() {
  const auto path = host_.AskOpenFile(".avi", kVideoFilter);
  if (!path || path->empty()) return;
  const auto windows = host_.CameraWindows();
  if (windows.empty() || windows[0] == nullptr || !windows[0]->HasControl()) return;
  if (windows[0]->PlayVideoFile(*path) != 1) return;
  host_.SetVideoEnabled(true);
  windows[0]->SetAutoThreshold(config_.AutoThreshold);
  if (host_.RecordVideoEnabled()) ToggleRecordVideo();
  host_.PrepareCameras();
}

void MainFrameCommands::SelectCamera() {
  const FrameCommandState s = host_.Snapshot();
  int index = 0;
  if (s.detectedCameras > 1) {
    const int selected = host_.CameraComboSelection();
    index = selected >= 0 && selected < s.detectedCameras ? selected : 0;
  }
  if (!host_.AttachCameraWindow(index, host_.CameraComboText())) host_.SelectCameraComboName(host_.CurrentCameraName());
}

void MainFrameCommands::GotoTime() {
  const std::string text = host_.GotoText();
  if (text.empty()) return;
  const bool clean = std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ':' || (c >= '0' && c <= '9');
  });
  std::int64_t seconds = 0;
  if (!clean || !ParseTimeText(text, seconds)) {
    host_.ShowError(UI::LoadString(UI::kInvalidTimeString));
    return;
  }
  const int index = host_.CurrentCamera();
  if (CommandCamera* camera = Current()) {
    if (host_.Snapshot().collecting)
      host_.AddMarker(index,
                      FormatString(UI::kGoTimeSVideoString, FormatTimeSecondsFraction(static_cast<double>(seconds))));
    camera->SetCurrentVideoTimeInSeconds(seconds);
    StepRefresh();
  }
  host_.ClearGotoText();
}

void MainFrameCommands::ToggleRecordVideo() {
  const bool on = !host_.RecordVideoEnabled();
  host_.SetRecordVideoEnabled(on);
  config_.VideoRecordingEnabled = on;
}

void MainFrameCommands::SetQuality() {
  const int selection = host_.QualityComboSelection();
  const std::array<std::uint16_t, 4> factors{config_.VideoRecordLowFactor, config_.VideoRecordMediumFactor,
                                             config_.VideoRecordHighFactor, config_.VideoRecordSameAsSourceFactor};
  if (selection < 0 || selection >= static_cast<int>(factors.size())) return;
  config_.VideoRecordFactor = factors[static_cast<std::size_t>(selection)];
  for (const auto& [index, camera] : RecordCameras()) camera->SetVideoScaleFactor(config_.VideoRecordFactor);
}

void MainFrameCommands::ToggleSync() {
  config_.SynchroniseDataCollection = !config_.SynchroniseDataCollection;
  host_.RestartSynchronisedSampling();
}

void MainFrameCommands::ImportSettings() {
  const auto path = host_.AskOpenFile(".orvsettings", kSettingsFilter);
  if (!path) return;
  ImportSettingsFrom(*path);
}

bool MainFrameCommands::ImportSettingsFrom(const std::string& path) {
  const auto refuse = [&](const UI::FileReason& reason) {
    host_.ShowError(UI::FileMessageText(UI::kSettingsCannotLoadNamedString, path, reason));
    return false;
  };
  if (const OS::FileCheck check = OS::CheckUserFile(path, kMaxSettingsArchiveBytes);
      check.problem != OS::FileProblem::None) {
    return refuse(UI::FileReasonOf(check, kMaxSettingsArchiveBytes));
  }
  // The imported settings take effect only in a new start: once the archive
  // is known to be sound, the user hears of the restart before anything is
  // replaced, and may still go back. Nothing was changed when the import
  // refuses the archive.
  const auto restartAgreed = [&] { return host_.AskOkCancel(FormatString(UI::kSettingsImportRestartString, path)); };
  switch (host_.ImportSettingsArchive(path, restartAgreed)) {
    case kSettingsOk:
      break;
    case kImportDeclined:
      return false;
    case kImportNoValidEntry:
      return refuse({UI::kFileReasonEmptyArchiveString, {}});
    case kImportNoWorkingFolder:
      return refuse(UI::SystemErrorReason(0));
    default:
      return refuse({UI::kFileReasonDamagedArchiveString, {}});
  }
  host_.MarkSettingsImported();
  host_.RestartProgram();
  return true;
}

void MainFrameCommands::ExportSettings() {
  const auto name = host_.AskWorkspaceName(config_.CustomUserWorkSpaceName);
  if (!name) return;
  const auto path = host_.AskSaveFile(".orvsettings", kSettingsFilter);
  if (!path) return;
  config_.CustomUserWorkSpaceName = *name;
  host_.WriteWorkspaceName(*name);
  host_.SaveWorkspaceState();
  host_.SaveConfiguration();
  if (!host_.ExportSettingsArchive(*path)) host_.ShowError("The settings could not be written to " + *path + ".");
}

bool MainFrameCommands::SaveBeforeReplacing() {
  if (!host_.Snapshot().recordModified) return true;
  switch (host_.AskSaveChanges(UI::LoadString(UI::kCurrentExperimentHasChangedString))) {
    case SaveAnswer::Yes:
      return host_.SaveExperiment();
    case SaveAnswer::No:
      return true;
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

void MainFrameCommands::OpenExperiment() {
  if (host_.Snapshot().collecting) return;
  if (!SaveBeforeReplacing()) return;
  const auto path = host_.AskOpenFile(".tvx", kExperimentFilter);
  if (path) host_.OpenDocument(*path);
}

void MainFrameCommands::OpenRecentFile(int index) {
  if (host_.Snapshot().collecting) return;
  const std::vector<std::string> files = host_.RecentFiles();
  if (index < 0 || index >= static_cast<int>(files.size())) return;
  // The list is read before the question: a save may put its file first.
  const std::string path = files[static_cast<std::size_t>(index)];
  if (!SaveBeforeReplacing()) return;
  host_.OpenDocument(path);
}

void MainFrameCommands::OnDropFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || host_.Snapshot().collecting) return;
  if (!SaveBeforeReplacing()) return;
  for (const std::string& path : paths) host_.OpenDocument(path);
  if (!host_.Snapshot().liveTrace) host_.ResetTimeSlider();
}

void MainFrameCommands::AutoRange() {
  const FrameCommandState s = host_.Snapshot();
  if (!s.hasMainView) return;
  if (s.mainAutoRangeEnabled && s.mainAutoRangeActive)
    host_.SetMainAutoRange(true, false);
  else
    host_.SetMainAutoRange(true, true);
}

void MainFrameCommands::StopFilePlayback() {
  const auto windows = host_.CameraWindows();
  const int count = std::min(kMaxCameraWindows, static_cast<int>(windows.size()));
  for (int i = 0; i < count; ++i) {
    CommandCamera* window = windows[static_cast<std::size_t>(i)];
    if (window == nullptr || !window->HasControl() || !window->IsVideoPlaying()) continue;
    window->PlayVideoFile("");
    window->ClosePane();
  }
}

void MainFrameCommands::ResetVideoPanes() {
  const int count = std::min(host_.RecordCameraCount(), kMaxCameraWindows);
  for (int i = 0; i < count; ++i) host_.ResetVideoPane(i);
}

void MainFrameCommands::ClearVideoPanes() {
  for (int i = 0; i < kVideoPanes; ++i) host_.ClearVideoPane(i);
}

void MainFrameCommands::OnSysColorChange() { host_.ReloadRibbonBackground(); }

void MainFrameCommands::OnCustomTraceChanged(int index) {
  host_.ReloadCustomTraces();
  if (index >= 0) host_.ReconfigureViewsShowing(kCustomTraceKindBase + index);
}

void MainFrameCommands::OnCustomTracesChanged() { host_.InitCustomTraces(); }

}  // namespace ORV

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

CommandState AlwaysEnabled(const FrameCommandState&) { return Enabled(true); }

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

const std::vector<MainFrameCommands::Row>& MainFrameCommands::Table() {
  using S = const FrameCommandState&;
  using C = MainFrameCommands;
  static const std::vector<Row> rows = [] {
    std::vector<Row> table{
        {kAutoThreshold, [](S s) { return Enabled(true, s.autoThreshold); }, [](C& c) { c.ToggleAutoThreshold(); }},
        {kInvertImage, [](S s) { return Enabled(true, s.invertImage); }, [](C& c) { c.ToggleInvert(); }},
        {kIgnoreLumen, [](S s) { return Enabled(true, s.ignoreLumen); }, [](C& c) { c.ToggleIgnoreLumen(); }},
        {kZoneBorderColor, AlwaysEnabled, [](C& c) { c.ZoneButton(ZoneEdge::Border); }},
        {kZoneOuterColor, AlwaysEnabled, [](C& c) { c.ZoneButton(ZoneEdge::Outer); }},
        {kZoneInnerColor, AlwaysEnabled, [](C& c) { c.ZoneButton(ZoneEdge::Inner); }},
        {kZoneBorderWheel, AlwaysEnabled, [](C& c) { c.ZoneWheel(ZoneEdge::Border); }},
        {kZoneOuterWheel, AlwaysEnabled, [](C& c) { c.ZoneWheel(ZoneEdge::Outer); }},
        {kZoneInnerWheel, AlwaysEnabled, [](C& c) { c.ZoneWheel(ZoneEdge::Inner); }},
        {kZoneBorderDefault, AlwaysEnabled, [](C& c) { c.ZoneDefault(ZoneEdge::Border); }},
        {kZoneOuterDefault, AlwaysEnabled, [](C& c) { c.ZoneDefault(ZoneEdge::Outer); }},
        {kZoneInnerDefault, AlwaysEnabled, [](C& c) { c.ZoneDefault(ZoneEdge::Inner); }},
        {kPlayVideo, [](S s) { return Enabled(!s.recordFromFile); }, [](C& c) { c.PlayVideo(); }},
        {kCameraCombo, [](S s) { return Enabled(s.detectedCameras > 1); }, [](C& c) { c.SelectCamera(); }},
        {kVideoPause, [](S s) { return Enabled(s.currentPlaysFile && !s.currentPaused); },
         [](C& c) {
           if (auto* camera = c.Current()) camera->PauseCapture();
         }},
        {kVideoResume, [](S s) { return Enabled(s.currentPlaysFile && s.currentPaused); },
         [](C& c) {
           if (auto* camera = c.Current()) camera->ResumeCapture();
         }},
        {kVideoBackward, [](S s) { return Enabled(s.currentSeekable); },
         [](C& c) {
           if (auto* camera = c.Current()) {
             camera->VideoBackward();
             c.StepRefresh();
           }
         }},
        {kVideoForward, [](S s) { return Enabled(s.currentSeekable); },
         [](C& c) {
           if (auto* camera = c.Current()) {
             camera->VideoForward();
             c.StepRefresh();
           }
         }},
        {kVideoStep, [](S s) { return Enabled(s.currentPlaysFile && s.currentPaused); }, [](C& c) { c.StepRefresh(); }},
        {kVideoGoto, [](S s) { return Enabled(s.currentPlaysFile); }, [](C& c) { c.GotoTime(); }},
        {kRecordVideo,
         [](S s) { return Enabled(s.detectedCameras > 0 && !s.camera0PlaysFile && !s.collecting, s.recordVideo); },
         [](C& c) { c.ToggleRecordVideo(); }},
        {kRecordQuality, [](S s) { return Enabled(QualityEnabled(s)); }, [](C& c) { c.SetQuality(); }},
        {kLiveTrace, [](S s) { return Enabled(s.views > 0); },
         [](C& c) { c.host_.SetLiveTrace(!c.host_.Snapshot().liveTrace); }},
        {kSelectAllTraces, [](S s) { return Enabled(true, s.selectAllTraces); },
         [](C& c) {
           c.config_.SelectAllTraces = !c.config_.SelectAllTraces;
           c.host_.SetViewsSelectAll(c.config_.SelectAllTraces);
         }},
        // The summary chosen is the one the next start offers first.
        {kTraceExportCombo, AlwaysEnabled,
         [](C& c) {
           if (const int selection = c.host_.TraceExportSelection(); selection >= 0)
             c.config_.LastUsedAnalysisExportType = selection;
         }},
        {kDataExport, [](S s) { return Enabled(s.selectionStop > 0.0 && s.views > 0); },
         [](C& c) { c.host_.ExportToDataSheet(c.host_.TraceExportSelection()); }},
        {kShowDataSheet, [](S s) { return Enabled(!s.dataSheetOpen); },
         [](C& c) {
           c.host_.ShowDataSheet();
           c.config_.DataViewShown = true;
         }},
        {kShowActionSheet, [](S s) { return Enabled(!s.actionSheetOpen); },
         [](C& c) {
           c.host_.ShowActionSheet();
           c.config_.ActionViewShown = true;
         }},
        {kAdvancedExport, [](S s) { return Enabled(s.recordHoldsData); }, [](C& c) { c.host_.RunAdvancedExport(); }},
        {kCopyClipboard, [](S s) { return Enabled(s.views > 0 && s.activeIsTraceView); },
         [](C& c) { c.host_.CopyActiveViewToClipboard(); }},
        {kCustomScripts, AlwaysEnabled, [](C& c) { c.host_.RunCustomTraceDialog(); }},
        {kSyncData, [](S s) { return Enabled(!s.reviewShown && s.masterSampleDevice == 0, s.synchronise); },
         [](C& c) { c.ToggleSync(); }},
        {kLoadSettings, AlwaysEnabled, [](C& c) { c.ImportSettings(); }},
        {kSaveSettings, AlwaysEnabled, [](C& c) { c.ExportSettings(); }},
        {kFileOpen, [](S s) { return Enabled(!s.collecting); }, [](C& c) { c.OpenExperiment(); }},
        {kFileClose, [](S s) { return Enabled(s.reviewShown); }, [](C& c) { c.host_.CloseDocument(); }},
        {kFileSave, [](S s) { return Enabled(s.recordVersionsEqual && s.recordModified && !s.camera0Recording); },
         [](C& c) { c.host_.SaveExperiment(false); }},
        {kFileSaveAs, [](S s) { return Enabled((s.recordModified || s.recordHoldsData) && !s.camera0Recording); },
         [](C& c) { c.host_.SaveExperiment(true); }},
        {kAutoRange,
         [](S s) {
           CommandState state = Enabled(s.hasMainView);
           if (s.hasMainView) {
             const bool on = s.mainAutoRangeEnabled && s.mainAutoRangeActive;
             state.checked = on;
             state.text = UI::LoadString(on ? UI::kEnabledString : UI::kDisabledString);
           }
           return state;
         },
         [](C& c) { c.AutoRange(); }},
        // The style button is hidden and does nothing.
        {kSetStyle, AlwaysEnabled, [](C&) {}},
    };
    for (int i = 0; i < kRecentFileCount; ++i) {
      table.push_back({kRecentFileFirst + static_cast<CommandId>(i),
                       [i](S s) { return Enabled(!s.collecting && i < s.recentFiles); },
                       [i](C& c) { c.OpenRecentFile(i); }});
    }
    return table;
  }();
  return rows;
}

const MainFrameCommands::Row* MainFrameCommands::Find(CommandId id) {
  const std::vector<Row>& rows = Table();
  const auto row = std::find_if(rows.begin(), rows.end(), [id](const Row& r) { return r.id == id; });
  return row == rows.end() ? nullptr : &*row;
}

const std::vector<CommandId>& FrameCommandIds() {
  static const std::vector<CommandId> ids = [] {
    std::vector<CommandId> list;
    for (const MainFrameCommands::Row& row : MainFrameCommands::Table()) list.push_back(row.id);
    return list;
  }();
  return ids;
}

std::optional<CommandState> FrameCommandUpdate(CommandId id, const FrameCommandState& s) {
  const MainFrameCommands::Row* row = MainFrameCommands::Find(id);
  if (row == nullptr) return std::nullopt;
  return row->update(s);
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
  for (const Row& row : Table()) {
    router.OnCommand(row.id, [this, &row] { row.run(*this); });
    router.OnUpdate(row.id, [this, &row](UI::CmdUI& ui) {
      const CommandState state = row.update(State());
      ui.Enable(state.enabled);
      ui.SetCheck(state.checked);
      if (state.text) ui.SetText(*state.text);
    });
  }
}

bool MainFrameCommands::Run(CommandId id) {
  const Row* row = Find(id);
  if (row == nullptr) return false;
  row->run(*this);
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
      return host_.SaveExperiment(false);
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

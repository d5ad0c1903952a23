#include "shell/frame/frame_command_host.h"

#include <QColorDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/settings/custom_settings.h"
#include "custom_traces/custom_trace_context.h"
#include "custom_traces/ui/custom_trace_dialog.h"
#include "platform/ui/app_services.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/string_table.h"
#include "shell/app/file_commands.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/main_frame.h"
#include "video/ui/video_pane.h"
#include "views/ui/advanced_export_dialog.h"

namespace ORV {

namespace {

// A camera window as the commands see it: the analysis calls every camera
// window has, and the video calls of windows that offer them (a window
// without playback plays no file).
class CameraOfWindow final : public CommandCamera {
 public:
  CameraOfWindow(CameraWindow& window, UI::PaneManager& panes)
      : window_(window), panes_(panes), video_(dynamic_cast<CommandCamera*>(&window)) {}
  bool HasControl() const override { return window_.HasControl(); }
  void SetAutoThreshold(bool on) override { window_.SetAutoThreshold(on); }
  void InvertThreshold(bool on) override { window_.InvertThreshold(on); }
  void IgnoreLumen(bool on) override { window_.IgnoreLumen(on); }
  void SetVideoScaleFactor(int factor) override {
    if (video_) video_->SetVideoScaleFactor(factor);
  }
  int PlayVideoFile(const std::string& path) override { return video_ ? video_->PlayVideoFile(path) : 0; }
  bool IsVideoPlaying() override { return window_.IsVideoPlaying(); }
  bool IsVideoPause() override { return video_ && video_->IsVideoPause(); }
  void PauseCapture() override {
    if (video_) video_->PauseCapture();
  }
  void ResumeCapture() override {
    if (video_) video_->ResumeCapture();
  }
  void VideoBackward() override {
    if (video_) video_->VideoBackward();
  }
  void VideoForward() override {
    if (video_) video_->VideoForward();
  }
  void SeekFramesFromCurrentPosition(int frames) override {
    if (video_) video_->SeekFramesFromCurrentPosition(frames);
  }
  void SetCurrentVideoTimeInSeconds(std::int64_t seconds) override {
    if (video_) video_->SetCurrentVideoTimeInSeconds(seconds);
  }
  void ApplyZoneColors() override {
    if (video_) video_->ApplyZoneColors();
  }
  void ClosePane() override {
    if (video_)
      video_->ClosePane();
    else
      panes_.OnPressCloseButton(window_.Pane());
  }

 private:
  CameraWindow& window_;
  UI::PaneManager& panes_;
  CommandCamera* video_;
};

}  // namespace

// Files dropped on the main window and changes of the system colours.
class FrameCommands::Events final : public QObject {
 public:
  explicit Events(MainFrameCommands& commands) : commands_(commands) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter: {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (!LocalFiles(drag->mimeData()).empty()) drag->acceptProposedAction();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const auto paths = LocalFiles(drop->mimeData());
        if (paths.empty()) return false;
        drop->acceptProposedAction();
        commands_.OnDropFiles(paths);
        return true;
      }
      case QEvent::ApplicationPaletteChange:
      case QEvent::PaletteChange:
        commands_.OnSysColorChange();
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr) return paths;
    for (const QUrl& url : data->urls())
      if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
  }
  MainFrameCommands& commands_;
};

class FrameCommands::Host final : public FrameCommandHost {
 public:
  Host(CMainFrame& frame, Configuration& config, ExperimentData& experiment, Links links)
      : frame_(frame), config_(config), experiment_(experiment), links_(std::move(links)) {}

  void SetApplication(FrameApplication* application) { links_.application = application; }

  FrameCommandState Snapshot() override {
    FrameCommandState s;
    FrameApplication* app = links_.application;
    s.collecting = experiment_.mode == kModeLive;
    s.reviewShown = experiment_.mode == kModeFile;
    s.recordFromFile = s.reviewShown;
    s.detectedCameras = frame_.CameraCount();
    const auto windows = Cameras();
    for (std::size_t i = 0; i < windows.size(); ++i) {
      CommandCamera* camera = windows[i];
      if (camera == nullptr || !camera->HasControl()) continue;
      const bool playing = camera->IsVideoPlaying();
      const bool capturing = frame_.CameraWindows()[i]->IsCapturing();
      if (i == 0) {
        s.camera0PlaysFile = playing;
        s.camera0Recording = frame_.CameraWindows()[i]->IsRecording();
      }
      s.anyCapturing = s.anyCapturing || capturing;
      s.anyIdlePlaysFile = s.anyIdlePlaysFile || (!capturing && playing);
      if (static_cast<int>(i) == CurrentCamera()) {
        s.currentPlaysFile = playing;
        s.currentPaused = playing && camera->IsVideoPause();
        s.currentSeekable = playing;
      }
    }
    s.recordHoldsData = experiment_.HasData();
    s.recordModified = experiment_.modified;
    s.recordVersionsEqual = experiment_.currentVersion == experiment_.fileVersion;
    s.recentFiles = static_cast<int>(frame_.RecentFiles().size());
    if (app) {
      s.views = app->TraceViewCount();
      s.liveTrace = app->LiveTrace();
      s.selectionStop = app->SelectionStop();
      s.dataSheetOpen = app->DataSheetOpen();
      s.actionSheetOpen = app->ActionSheetOpen();
      s.activeIsTraceView = app->ActiveIsTraceView();
      s.hasMainView = app->MainAutoRange(s.mainAutoRangeEnabled, s.mainAutoRangeActive);
    } else {
      s.liveTrace = config_.LiveTrace;
    }
    return s;
  }
  int RecordCameraCount() override { return static_cast<int>(experiment_.CameraCount()); }
  std::vector<CommandCamera*> CameraWindows() override { return Cameras(); }
  int CurrentCamera() override { return frame_.CurrentCamera(); }
  bool RecordVideoEnabled() const override { return config_.VideoRecordingEnabled; }
  void SetRecordVideoEnabled(bool on) override { config_.VideoRecordingEnabled = on; }

  std::optional<std::string> AskOpenFile(const std::string& extension, const std::string& filter) override {
    return UI::AskForFile(&frame_, UI::FileDialogRequest{false, {}, filter, extension, {}, {}});
  }
  std::optional<std::string> AskSaveFile(const std::string& extension, const std::string& filter) override {
    return UI::AskForFile(&frame_, UI::FileDialogRequest{true, {}, filter, extension, {}, {}});
  }
  std::optional<std::uint32_t> AskColor(std::uint32_t initial) override {
    const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                       static_cast<int>((initial >> 16) & 0xFF));
    const QColor color = QColorDialog::getColor(start, &frame_);
    if (!color.isValid()) return std::nullopt;
    return static_cast<std::uint32_t>(color.red() | (color.green() << 8) | (color.blue() << 16));
  }
  std::optional<std::string> AskWorkspaceName(const std::string& initial) override {
    Shell::CustomUserWorkspaceDialog dialog(&frame_);
    dialog.name = initial;
    if (dialog.DoModal() != UI::IDOK) return std::nullopt;
    return dialog.name;
  }
  bool AskYesNo(const std::string& text) override {
    return UI::MessageBox(&frame_, QString::fromStdString(text), "Tarvix 5", UI::MB_YESNO | UI::MB_ICONQUESTION) ==
           UI::IDYES;
  }
  bool AskOkCancel(const std::string& text) override {
    return UI::MessageBox(&frame_, QString::fromStdString(text), "Tarvix 5", UI::MB_OKCANCEL | UI::MB_ICONQUESTION) ==
           UI::IDOK;
  }
  SaveAnswer AskSaveChanges(const std::string& text) override {
    return Shell::AskSaveChangesBox(&frame_, QString::fromStdString(text));
  }
  void ShowError(const std::string& text) override {
    UI::MessageBox(&frame_, QString::fromStdString(text), "Tarvix 5", UI::MB_OK | UI::MB_ICONEXCLAMATION);
  }

  std::uint32_t RibbonZoneColor(ZoneEdge edge) override {
    auto* button = ColorButton(edge);
    return button ? button->GetColor() : 0;
  }
  void ShowRibbonZoneColor(ZoneEdge edge, std::uint32_t color) override {
    if (auto* button = ColorButton(edge)) button->SetColor(color);
  }
  int CameraComboSelection() override {
    auto* combo = Combo(ID_RIBBON_CAMERA_COMBO);
    return combo ? combo->GetCurSel() : 0;
  }
  std::string CameraComboText() override {
    auto* combo = Combo(ID_RIBBON_CAMERA_COMBO);
    return combo ? combo->GetItem(combo->GetCurSel()) : std::string();
  }
  void SelectCameraComboName(const std::string& name) override {
    if (auto* combo = Combo(ID_RIBBON_CAMERA_COMBO)) combo->SelectItem(std::string_view(name));
  }
  std::string GotoText() override {
    auto* edit = frame_.Ribbon() ? frame_.Ribbon()->FindByID<UI::RibbonEdit>(FrameCommand::kVideoGoto) : nullptr;
    return edit ? edit->GetEditText() : std::string();
  }
  void ClearGotoText() override {
    if (auto* edit = frame_.Ribbon() ? frame_.Ribbon()->FindByID<UI::RibbonEdit>(FrameCommand::kVideoGoto) : nullptr)
      edit->SetEditText({});
  }
  int QualityComboSelection() override {
    auto* combo = Combo(ID_RECORD_QUALITY_COMBO);
    return combo ? combo->GetCurSel() : -1;
  }
  int TraceExportSelection() override {
    auto* combo = Combo(ID_TRACE_EXPORT_COMBO);
    return combo ? combo->GetCurSel() : -1;
  }
  void ReloadRibbonBackground() override {
    if (frame_.Ribbon()) frame_.Ribbon()->update();
  }
  bool AttachCameraWindow(int index, const std::string& name) override { return frame_.AttachCameraPane(index, name); }
  std::string CurrentCameraName() override {
    const auto& captions = frame_.CameraCaptions();
    const auto at = static_cast<std::size_t>(frame_.CurrentCamera());
    return at < captions.size() ? captions[at] : std::string();
  }
  void RefreshVideoPaneColors(int camera) override {
    if (auto* pane = VideoPane(camera)) pane->Images().ApplyZoneColors();
  }
  void ResetVideoPane(int index) override {
    auto* pane = VideoPane(index);
    if (pane == nullptr) return;
    pane->SetCameraIndex(index);
    // An opened experiment's video is read here; otherwise nothing loads.
    pane->LoadVideo();
    pane->ResizeImageWindow();
    pane->Images().ShowFrameAt(0, true);
    pane->update();
  }
  void ClearVideoPane(int index) override {
    auto* pane = VideoPane(index);
    if (pane == nullptr) return;
    pane->SetCameraIndex(-1);
    // Without a camera the closed experiment's video is let go.
    pane->LoadVideo();
    pane->ResizeImageWindow();
    frame_.Panes().OnPressCloseButton(*pane);
  }

  void SetVideoEnabled(bool on) override { experiment_.SetVideoEnabled(on); }
  void PrepareCameras() override { frame_.PrepareCameras(); }
  void RestartSynchronisedSampling() override {
    if (links_.restartSampling) links_.restartSampling();
  }
  void AddMarker(int camera, const std::string& text) override { experiment_.AddMarkerNow(text, camera); }
  void SetLiveTrace(bool on) override {
    if (auto* app = links_.application) app->SetLiveTrace(on);
  }
  void SetViewsSelectAll(bool on) override {
    if (auto* app = links_.application) app->SetViewsSelectAll(on);
  }
  void ExportToDataSheet(int traceIndex) override {
    if (auto* app = links_.application) app->ExportToDataSheet(traceIndex);
  }
  void ShowDataSheet() override {
    if (auto* app = links_.application) app->ShowDataSheet();
  }
  void ShowActionSheet() override {
    if (auto* app = links_.application) app->ShowActionSheet();
  }
  void RunAdvancedExport() override { Views::OpenAdvancedExport(experiment_, frame_.InterfaceTypeCode(), &frame_); }
  void CopyActiveViewToClipboard() override {
    if (auto* app = links_.application) app->CopyActiveViewToClipboard();
  }
  void RunCustomTraceDialog() override {
    // The record's traces, which the dialog edits in place; it tells the
    // frame of each save and delete, and the frame takes them up.
    std::map<int, std::shared_ptr<Traces::CustomTracesWithLuaContext>> traces;
    for (const auto& [identity, name] : experiment_.GetCustomTraces())
      if (auto trace = experiment_.GetCustomTrace(identity)) traces.emplace(identity, std::move(trace));
    Traces::CustomTraceDialog dialog(Traces::CustomScriptsFolder(), &frame_);
    dialog.SetCustomTraces(traces);
    dialog.SetNotifyWindow(frame_.Target());
    dialog.DoModal();
  }
  void SetMainAutoRange(bool enabled, bool active) override {
    if (auto* app = links_.application) app->SetMainAutoRange(enabled, active);
  }
  void ReloadCustomTraces() override { experiment_.LoadCustomTraces({}); }
  void ReconfigureViewsShowing(int kind) override {
    if (auto* app = links_.application) app->ReconfigureViewsShowing(kind);
  }
  void InitCustomTraces() override { experiment_.InitCustomTraces(); }
  bool SaveExperiment(bool askName) override {
    Shell::ExperimentFileCommands* files = frame_.FileCommands();
    if (files == nullptr) return false;
    return askName ? files->SaveExperimentAs() : files->SaveExperiment();
  }
  void OpenDocument(const std::string& path) override {
    if (auto* app = links_.application) app->OpenDocument(path);
  }
  std::vector<std::string> RecentFiles() override { return frame_.RecentFiles(); }
  void CloseDocument() override {
    if (auto* app = links_.application) app->CloseDocument();
  }
  void ResetTimeSlider() override { frame_.ResetTimeSlider(); }
  int ImportSettingsArchive(const std::string& path, const std::function<bool()>& beforeChange) override {
    return CCustomSettings().ImportSettingsArchive(path, beforeChange);
  }
  void MarkSettingsImported() override {
    if (links_.markSettingsImported) links_.markSettingsImported();
  }
  void RestartProgram() override {
    if (auto* app = links_.application)
      app->RestartProgram();
    else
      ShowError("The settings were imported. They take effect when Tarvix 5 is started again.");
  }
  void WriteWorkspaceName(const std::string& name) override {
    config_.SetSettingsString("CustomUserWorkSpaceName", name);
  }
  void SaveWorkspaceState() override { links_.host.SaveWorkspaceState(frame_); }
  void SaveConfiguration() override { links_.host.SaveConfiguration(); }
  bool ExportSettingsArchive(const std::string& path) override {
    return CCustomSettings().ExportSettingsArchive(path) == 0;
  }

 private:
  std::vector<CommandCamera*> Cameras() {
    const auto& windows = frame_.CameraWindows();
    while (adapters_.size() < windows.size()) {
      CameraWindow* window = windows[adapters_.size()];
      adapters_.push_back(window ? std::make_unique<CameraOfWindow>(*window, frame_.Panes()) : nullptr);
    }
    std::vector<CommandCamera*> cameras;
    for (std::size_t i = 0; i < windows.size(); ++i) cameras.push_back(adapters_[i].get());
    return cameras;
  }
  Video::CVideoPane* VideoPane(int index) {
    return dynamic_cast<Video::CVideoPane*>(frame_.PaneOf(PaneKind::Video, index));
  }
  UI::RibbonColorButton* ColorButton(ZoneEdge edge) {
    static constexpr UI::CommandId kIds[] = {ID_ZONE_BORDER_COLOR_BUTTON, ID_ZONE_OUTER_COLOR_BUTTON,
                                             ID_ZONE_INNER_COLOR_BUTTON};
    return frame_.Ribbon() ? frame_.Ribbon()->FindByID<UI::RibbonColorButton>(kIds[static_cast<int>(edge)]) : nullptr;
  }
  UI::RibbonComboBox* Combo(UI::CommandId id) {
    return frame_.Ribbon() ? frame_.Ribbon()->FindByID<UI::RibbonComboBox>(id) : nullptr;
  }

  CMainFrame& frame_;
  Configuration& config_;
  ExperimentData& experiment_;
  Links links_;
  std::vector<std::unique_ptr<CameraOfWindow>> adapters_;
};

FrameCommands::FrameCommands(CMainFrame& frame, Configuration& configuration, ExperimentData& experiment, Links links)
    : frame_(frame),
      host_(std::make_unique<Host>(frame, configuration, experiment, std::move(links))),
      commands_(std::make_unique<MainFrameCommands>(configuration, *host_)) {
  commands_->Register(frame.Router());
  events_ = std::make_unique<Events>(*commands_);
  frame.installEventFilter(events_.get());
  frame.setAcceptDrops(true);
  frame.SetHandler(WM_CUSTOM_TRACE_CHANGED, [this](OS::WPARAM w, OS::LPARAM) -> OS::LRESULT {
    commands_->OnCustomTraceChanged(static_cast<int>(w));
    return 0;
  });
  frame.SetHandler(WM_CUSTOM_TRACES_CHANGED, [this](OS::WPARAM, OS::LPARAM) -> OS::LRESULT {
    commands_->OnCustomTracesChanged();
    return 0;
  });
}

FrameCommands::~FrameCommands() {
  frame_.removeEventFilter(events_.get());
  frame_.SetHandler(WM_CUSTOM_TRACE_CHANGED, {});
  frame_.SetHandler(WM_CUSTOM_TRACES_CHANGED, {});
}

MainFrameCommands& FrameCommands::Commands() { return *commands_; }

void FrameCommands::SetApplication(FrameApplication* application) { host_->SetApplication(application); }

}  // namespace ORV

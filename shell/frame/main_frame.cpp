#include "shell/frame/main_frame.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QColor>
#include <QMdiSubWindow>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/base/configuration.h"
#include "core/base/dpi.h"
#include "core/base/event_log.h"
#include "core/base/time_text.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/os/device_monitor.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/document_area.h"
#include "platform/ui/message_box.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/ribbon_status_bar.h"
#include "platform/ui/string_table.h"
#include "shell/app/small_dialogs.h"
#include "shell/device_messages.h"
#include "shell/fault_watch.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/frame_command_host.h"
#include "shell/frame/frame_markers.h"
#include "shell/frame/frame_time_window.h"
#include "shell/frame/status_elements.h"
#include "shell/glue/trace_view_link.h"

namespace ORV {

namespace {

// "F1" to "F12", appended in two steps (the release build's restrict check
// misreads a literal plus a temporary string).
std::string FunctionKeyName(int k) {
  std::string name = "F";
  name += std::to_string(k + 1);
  return name;
}
using UI::LoadQString;
using UI::LoadString;

std::uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The pane's layout as the pane manager takes it.
UI::PaneLayout LayoutOf(const PanePlan& plan) {
  UI::PaneLayout layout;
  layout.id = plan.id;
  layout.caption = plan.captionStringId != 0 ? LoadQString(plan.captionStringId) : QString::fromStdString(plan.caption);
  layout.defaultSize96 = QSize(plan.width, plan.height);
  layout.minimumSize96 = QSize(plan.minWidth, plan.minHeight);
  layout.fixedSize = plan.fixedSize;
  layout.allowedSides = plan.allowedSides;
  layout.homeSide = plan.homeSide;
  return layout;
}
}  // namespace

// The panes the device-message handling opens and closes.
class CMainFrame::DevicePanesOfFrame final : public DevicePanes {
 public:
  explicit DevicePanesOfFrame(CMainFrame& frame) : frame_(frame) {}
  void ShowSingleUnitPane(bool delayedAndInactive) override {
    if (UI::DockingPane* pane = frame_.PaneOf(PaneKind::Single))
      frame_.Panes().ShowPane(*pane, true, !delayedAndInactive);
  }
  void CloseDevicePane(std::uint32_t kind) override {
    const PaneKind paneKind = kind == kDeviceSinglePressureInterface ? PaneKind::Single
                              : kind == kDeviceMultiInterface        ? PaneKind::Multi
                                                                     : PaneKind::Flow;
    if (UI::DockingPane* pane = frame_.PaneOf(paneKind)) frame_.Panes().OnPressCloseButton(*pane);
  }

 private:
  CMainFrame& frame_;
};

// The fault watch's texts, messages and actions through the frame.
class CMainFrame::FaultsOfFrame final : public FaultWatchHost {
 public:
  explicit FaultsOfFrame(CMainFrame& frame) : frame_(frame) {}
  std::string Text(std::uint32_t id, std::initializer_list<std::string_view> args) override {
    return UI::LoadFormatted(id, args);
  }
  void Tell(const std::string& text) override {
    UI::ShowNotice(&frame_, QString::fromStdString(text), UI::ApplicationTitle(), UI::MB_OK | UI::MB_ICONWARNING);
  }
  void AddAction(const std::string& text) override {
    ExperimentData& experiment = frame_.services_.experiment;
    if (ApplicationHooks* hooks = experiment.Hooks()) hooks->AddAction(experiment.ExperimentClock().Now(), text);
  }
  bool Collecting() override { return frame_.services_.experiment.mode == kModeLive; }
  std::uint64_t SteadyMs() override { return ORV::SteadyMs(); }
  std::string CameraName(int index) override {
    if (index >= 0 && index < static_cast<int>(frame_.captions_.size()) && !frame_.captions_[index].empty())
      return frame_.captions_[index];
    return UI::LoadFormatted(UI::kCameraNameString, {std::to_string(index + 1)});
  }
  void SourceChanged(const WatchedSource& source, bool lost) override { frame_.OnSourceChanged(source, lost); }

 private:
  CMainFrame& frame_;
};

CMainFrame::CMainFrame(MainFrameServices services, std::shared_ptr<void> keepAlive)
    : keepAlive_(std::move(keepAlive)), services_(std::move(services)) {
  setObjectName("MainFrame");
  panes_ = std::make_unique<UI::PaneManager>(*this);
  inbox_ = std::make_shared<SampleInbox>(Target());
  devicePanes_ = std::make_unique<DevicePanesOfFrame>(*this);
  faultHost_ = std::make_unique<FaultsOfFrame>(*this);
  faults_ = std::make_unique<FaultWatch>(*faultHost_);
  SetHandler(WM_NEW_SAMPLE, [this](OS::WPARAM w, OS::LPARAM l) { return OnNewSample(w, l); });
  SetHandler(UI::WM_TIMER, [this](OS::WPARAM w, OS::LPARAM) { return OnTimer(w); });
  SetHandler(OS::WM_DEVICECHANGE, [this](OS::WPARAM w, OS::LPARAM) { return OnDeviceChange(w); });
  SetHandler(WM_HOTKEY, [this](OS::WPARAM w, OS::LPARAM) { return OnHotKey(w); });
  SetHandler(WM_DEVICE_FAILED, [this](OS::WPARAM w, OS::LPARAM l) {
    if (faults_) faults_->Lost({static_cast<std::uint32_t>(w), static_cast<int>(l)});
    return deviceMessages_ ? deviceMessages_->OnDeviceFailed(static_cast<std::uint32_t>(w)) : 1;
  });
  for (const std::uint32_t message : {Shell::WM_TIME_POSITION, Shell::WM_TIME_SPAN}) {
    SetHandler(message, [this, message](OS::WPARAM w, OS::LPARAM l) -> OS::LRESULT {
      if (timeWindow_) timeWindow_->HandleMessage(message, w, l);
      return 0;
    });
  }
  SetHandler(IdleMonitor::WM_PRESSURE_NOT_CONNECTED, [this](OS::WPARAM, OS::LPARAM) -> OS::LRESULT {
    std::string text;
    if (LoadString(UI::kPressureInterfaceConnectedString, text)) {
      UI::MessageBox(this, QString::fromStdString(text), UI::ApplicationTitle(), UI::MB_OK | UI::MB_ICONEXCLAMATION);
    }
    return 0;
  });
  setMinimumSize(kMinimumFrameWidth, kMinimumFrameHeight);
}

CMainFrame::~CMainFrame() {
  CloseMessageWindow();
  StopBackgroundWork();
  if (deviceNotifications_) services_.system.UnregisterDeviceNotifications();
  deviceMessages_.reset();
  idleMonitor_.reset();
  if (services_.sequencer) services_.sequencer->SetProgressBar(nullptr);
  // The ribbon, the status bar, the document area and the panes use the
  // router and the services, which are members: they go first.
  const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) delete child;
  ribbon_ = nullptr;
  statusBar_ = nullptr;
  navigation_ = nullptr;
  sequencerProgress_ = nullptr;
  heatBar_ = nullptr;
  documents_ = nullptr;
}

UI::RibbonStatusBar* CMainFrame::StatusBar() const { return statusBar_; }

void CMainFrame::StopBackgroundWork() {
  // The sampling reads the workers' caches: it ends first.
  services_.sampling.Stop();
  services_.instruments.DeleteWorkers();
}

UI::DockingPane* CMainFrame::PaneOf(PaneKind kind, int index) const {
  for (const auto& [plan, pane] : paneList_) {
    if (plan.kind == kind && plan.index == index) return pane;
  }
  return nullptr;
}

int CMainFrame::OnCreate() {
  Configuration& config = services_.configuration;
  ExperimentData& experiment = services_.experiment;
  FrameInstruments& instruments = services_.instruments;

  // Instruments, then cameras.
  instruments.ReloadPorts();
  productType_ = config.ProductType == kIncubationChamber ? kIncubationChamber : kPressureChamber;
  const std::uint32_t loaded = instruments.LoadDevices(kAllDevices);
  productType_ = ProductTypeAfterLoad(productType_, loaded);

  const CameraDetection detection = services_.detectCameras ? services_.detectCameras() : CameraDetection{};
  cameraKind_ = detection.cameraKind;
  cameraCount_ = std::clamp(detection.cameraCount, 0, kMaxCameras);
  std::vector<std::string> names(
      detection.deviceNames.begin(),
      detection.deviceNames.begin() + std::min<std::size_t>(detection.deviceNames.size(), cameraCount_));
  names.resize(cameraCount_);

  static constexpr std::array<std::uint32_t, 6> kRibbonTextIds{UI::kShowAnalysisWindowString,
                                                               UI::kShowVideoWindowString,
                                                               UI::kStartString,
                                                               UI::kStartDataCollectionTipString,
                                                               UI::kStopString,
                                                               UI::kStopDataCollectionString};
  for (std::size_t i = 0; i < kRibbonTextIds.size(); ++i) ribbonTexts_[i] = LoadString(kRibbonTextIds[i]);

  const CameraPlan cameras = PlanCameras(productType_, names);
  multipleCameras_ = cameras.multipleCameras;
  captions_ = cameras.captions;
  deviceNames_ = cameras.deviceNames;
  for (const std::string& name : cameras.registeredNames) experiment.AddCamera(name);
  flowFromMulti_ = instruments.FlowFromMulti();

  deviceNotifications_ = services_.system.RegisterDeviceNotifications(Target());

  documents_ = new UI::DocumentArea(this);
  documents_->setViewMode(QMdiArea::TabbedView);
  documents_->setTabsClosable(true);
  documents_->setTabsMovable(true);
  documents_->setDocumentMode(true);
  setCentralWidget(documents_);

  if (!CreateRibbon()) return -1;
  LoadZoneColors();
  ShowRecentFiles();

  statusBar_ = new CORVStatusbar(this);
  statusBar_->setObjectName("StatusBar");
  statusBar_->SetRouter(&router_);
  setDockNestingEnabled(true);
  // The instrument columns run the full height; the camera windows sit
  // between them at the bottom.
  setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
  setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
  setCorner(Qt::TopLeftCorner, Qt::LeftDockWidgetArea);
  setCorner(Qt::TopRightCorner, Qt::RightDockWidgetArea);
  if (!CreatePanes()) return -1;
  CreateStatusBar();
  if (services_.sequencer) services_.sequencer->SetProgressBar(sequencerProgress_);

  const SamplingPlan sampling = PlanSampling(config.SampleFrequency, cameraKind_, config.SynchroniseDataCollection);
  synchronised_ = sampling.synchronised;
  if (sampling.storeBack) config.SampleFrequency = sampling.configuredIndex;
  frequencyIndex_ = sampling.frequencyIndex;
  documents_->EnableWindowsDialog(router_, ID_WINDOWS_DIALOG, "Windows...");

  StartWorkers();
  if (SamplerDevices* devices = instruments.Devices()) {
    deviceMessages_ = std::make_unique<DeviceMessageHandler>(*devices, *devicePanes_, SteadyMs);
    deviceMessages_->WatchHeatController(instruments.HeatControllerLoaded());
    IdleMonitor::Experiment watch{
        [&experiment] { return experiment.mode == kModeFile; },
        [&experiment] { return experiment.mode == kModeLive; },
        [&experiment] { return experiment.videoEnabled.load(); },
        [&config] { return config.LiveTrace; },
    };
    idleMonitor_ = std::make_unique<IdleMonitor>(*devices, watch, Target(), SteadyMs);
  }

  UpdatePaneLayout(true, false);
  // The layout the user left at the last close, where one is kept.
  layoutRestored_ = services_.host.LoadWorkspaceState(*this);
  FillCombos();
  PassCameraSettings();

  SetTimer(IDT_IDLE_MONITOR, kIdleMonitorMs);
  SetTimer(IDT_CLOCK, kClockMs);
  SetTimer(IDT_STARTUP_CHECK, kStartupCheckMs);
  for (int k = 0; k < kFunctionKeys; ++k) services_.system.RegisterHotKey(Target(), IDHOT_F1 + k, k);

  UpdateMarkerButtons();
  SetTimespanText(config.TraceTimeSpan);

  if (!services_.sampling.Restart(CurrentSamplerSettings())) {
    LogError("CMainFrame::OnCreate() - the synchronised sampling did not start");
  }
  created_ = true;

  if (auto* border = ribbon_->FindByID<UI::RibbonColorButton>(ID_ZONE_BORDER_COLOR_BUTTON))
    border->SetColor(config.ZoneBorderColor);
  if (auto* inner = ribbon_->FindByID<UI::RibbonColorButton>(ID_ZONE_INNER_COLOR_BUTTON))
    inner->SetColor(config.ZoneInnerEdgeColor);
  if (auto* outer = ribbon_->FindByID<UI::RibbonColorButton>(ID_ZONE_OUTER_COLOR_BUTTON))
    outer->SetColor(config.ZoneOuterEdgeColor);
  if (auto* exportCombo = ribbon_->FindByID<UI::RibbonComboBox>(ID_TRACE_EXPORT_COMBO)) exportCombo->SetEditable(false);

  router_.OnCommand(ID_VIEW_CAMERA_BUTTON, [this] { OnViewCamera(); });
  router_.OnCommand(ID_APP_EXIT, [this] { close(); });
  router_.OnCommand(ID_RESET_BUTTON, [this] { OnResetLayout(); });
  CreateCollectionCommands();
  AddMarkerCommands(
      router_, this, services_.configuration, services_.glue, [this] { UpdateMarkerButtons(); },
      [this]() -> Shell::GlueTraceView* {
        QMdiSubWindow* active = documents_ ? documents_->currentSubWindow() : nullptr;
        auto* document = active ? dynamic_cast<TraceDocument*>(active->widget()) : nullptr;
        return document ? document->Link() : nullptr;
      });
  if (services_.glue) {
    timeWindow_ = std::make_unique<FrameTimeWindow>(*this, *services_.glue, services_.experiment, config);
    timeWindow_->ResetSlider();
  }
  commands_ = std::make_unique<FrameCommands>(
      *this, config, experiment,
      FrameCommands::Links{[this] { services_.sampling.Restart(CurrentSamplerSettings()); },
                           [this] { settingsImported_ = true; }, services_.host, nullptr});
  commands_->Commands().ResetVideoPanes();

  RunStartupChain();
  router_.StartIdleUpdates();
  // The title follows the experiment whenever the program has done what it
  // had to and waits.
  UpdateWindowTitle();
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { UpdateWindowTitle(); });
  return 0;
}

void CMainFrame::UpdateWindowTitle() {
  const std::string name = services_.experiment.Read([](const ExperimentContents& c) { return c.name; });
  const QString title = QString::fromStdString(FrameTitle(name, UI::ApplicationTitle().toStdString()));
  if (windowTitle() != title) setWindowTitle(title);
  const bool modified = services_.experiment.modified;
  if (isWindowModified() != modified) setWindowModified(modified);
}

void CMainFrame::PlaceForFirstStart(const QRect& available) {
  const QSize needed = sizeHint();
  const FirstPlacement place = PlaceAtFirstStart(available.left(), available.top(), available.width(),
                                                 available.height(), needed.width(), needed.height());
  setGeometry(place.left, place.top, place.width, place.height);
  if (place.maximised) setWindowState(windowState() | Qt::WindowMaximized);
}

bool CMainFrame::CreateRibbon() {
  auto* ribbon = new UI::RibbonBar(this);
  ribbon->setObjectName("Ribbon");
  std::string error;
  if (!ribbon->Create(router_, &error)) {
    LogError("CMainFrame::OnCreate() - the ribbon could not be made: " + error);
    delete ribbon;
    return false;
  }
  ribbon_ = ribbon;
  setMenuWidget(ribbon_);
  ribbon_->SetApplicationModes(5);  // "Show" and "Video Module"
  if (UI::RibbonElement* style = ribbon_->FindByID(ID_SET_STYLE)) {
    style->SetText(std::string());
    style->RemoveSubItems();
    style->SetVisible(false);
  }
  ribbon_->SetAccentColor(QColor(84, 107, 115));
  return true;
}

void CMainFrame::ShowRecentFiles() {
  recentFiles_ = services_.host.RecentFiles();
  if (ribbon_) ribbon_->Model().SetRecentFiles(recentFiles_);
}

void CMainFrame::AddRecentFile(const std::string& path) {
  services_.host.AddRecentFile(path);
  ShowRecentFiles();
}

void CMainFrame::LoadZoneColors() {
  for (const std::string& path : services_.configuration.ColorsXmlCandidates()) {
    std::vector<ZoneColor> border, outer, inner;
    if (Configuration::LoadZoneColors(path, border, outer, inner) < 0) continue;
    const std::pair<UI::CommandId, const std::vector<ZoneColor>*> buttons[] = {{ID_ZONE_BORDER_COLOR_BUTTON, &border},
                                                                               {ID_ZONE_OUTER_COLOR_BUTTON, &outer},
                                                                               {ID_ZONE_INNER_COLOR_BUTTON, &inner}};
    for (const auto& [id, colors] : buttons) {
      auto* button = ribbon_->FindByID<UI::RibbonColorButton>(id);
      if (!button) continue;
      std::vector<UI::RibbonColorButton::Swatch> palette;
      for (const ZoneColor& c : *colors) palette.push_back({c.color, c.description});
      button->SetPalette(std::move(palette));
    }
    return;
  }
}

bool CMainFrame::CreatePanes() {
  PaneFacts facts;
  facts.productType = productType_;
  facts.cameraCount = cameraCount_;
  facts.multipleCameras = multipleCameras_;
  facts.multiLoaded = services_.instruments.MultiLoaded();
  facts.singleLoaded = services_.instruments.SingleLoaded();
  facts.microscopeCount = services_.instruments.MicroscopeCount();
  facts.heatControllerLoaded = services_.instruments.HeatControllerLoaded();
  for (const PanePlan& plan : PlanPanes(facts)) {
    const UI::PaneLayout layout = LayoutOf(plan);
    UI::DockingPane* pane = nullptr;
    if (plan.kind == PaneKind::CameraWindow) {
      CameraWindowInfo info{plan.index, cameraKind_,
                            plan.index < static_cast<int>(deviceNames_.size()) ? deviceNames_[plan.index] : ""};
      CameraWindow* window = services_.panes.CreateCameraWindow(*panes_, layout, info);
      if (window) {
        cameraWindows_.push_back(window);
        pane = &window->Pane();
        if (cameraCount_ == 1 && cameraKind_ == kCameraTypeImagingSource && window->HasControl())
          window->SetMaxZones(4);
      }
    } else {
      pane = services_.panes.CreatePane(*panes_, layout, plan, multipleCameras_);
    }
    if (!pane) {
      LogError("CMainFrame::OnCreate() - the pane \"" + layout.caption.toStdString() + "\" could not be made");
      return false;
    }
    paneList_.emplace_back(plan, pane);
  }
  return true;
}

void CMainFrame::CreateStatusBar() {
  UI::RibbonStatusBar& bar = *statusBar_;
  auto navigation = std::make_unique<CNavigationControllerBar>();
  navigation->SetNavigate([this](std::int32_t position) { NavigateTo(position); });
  navigation_ = navigation.get();
  bar.AddElement(std::move(navigation), "Navigation", false);
  statusBar_->SetNavigationBar(navigation_);
  statusBar_->Popup().SetPictureSource(IndexImagePictures(services_.experiment));
  if (productType_ == kPressureChamber) {
    auto progress = std::make_unique<CORVRibbonProgressBar>(LoadString(UI::kSequencerStartedString));
    sequencerProgress_ = progress.get();
    bar.AddElement(std::move(progress), "Sequencer");
    bar.AddSeparator();
  }
  if (productType_ == kIncubationChamber) {
    auto heat = std::make_unique<CORVRibbonHeatControllerBar>(LoadString(UI::kFlowOffString));
    heatBar_ = heat.get();
    bar.AddElement(std::move(heat), "Heat controller");
    bar.AddSeparator();
  }
  const Configuration& config = services_.configuration;
  for (int k = 0; k < kFunctionKeys; ++k) {
    auto button = std::make_unique<UI::StatusBarButton>(kFunctionKeyButtons[k], FunctionKeyName(k));
    bar.AddElement(std::move(button), config.HotKeys[k]);
  }
  auto start = std::make_unique<UI::StatusBarButton>(ID_STATUS_START_BUTTON, ribbonTexts_[2]);
  start->SetToolTipText(ribbonTexts_[3]);
  bar.AddExtendedElement(std::move(start), "Start");
  bar.AddExtendedSeparator();
  bar.AddExtendedElement(std::make_unique<UI::StatusBarLabel>("\t\t\t\t\t\t\t"), "Start/Stop data collection", false);
  bar.AddExtendedSeparator();
  bar.AddExtendedElement(std::make_unique<UI::StatusBarLabel>(std::string(25, ' ')), "Clock");
  bar.AddExtendedSeparator();
  bar.AddExtendedElement(std::make_unique<UI::StatusBarLabel>(std::string(14, ' ')), "Elapsed time");
  bar.AddExtendedSeparator();
  bar.AddExtendedElement(std::make_unique<UI::StatusBarLabel>("------------"), "Instrument time");
  bar.AddExtendedSeparator();
  setStatusBar(nullptr);
  // The bar sits under the docks, across the whole window.
  auto* holder = new QStatusBar(this);
  holder->setSizeGripEnabled(true);
  holder->addWidget(statusBar_, 1);
  setStatusBar(holder);
}

void CMainFrame::OnViewCamera() {
  const bool review = InReview();
  const int cameras = static_cast<int>(services_.experiment.Read(
      [review](const ExperimentContents& c) { return c.CameraCount(review ? kModeFile : kModeLive); }));
  const int count = std::max(std::min(cameras, 4), review ? 0 : 1);
  for (int i = 0; i < count; ++i) {
    UI::DockingPane* pane = review
                                ? PaneOf(PaneKind::Video, i)
                                : (i < static_cast<int>(cameraWindows_.size()) ? &cameraWindows_[i]->Pane() : nullptr);
    if (!pane) continue;
    panes_->SetAutoHideMode(*pane, false, UI::CBRS_ALIGN_BOTTOM);
    panes_->ShowPane(*pane, true, false);
  }
}

void CMainFrame::OnResetLayout() {
  UnhideDockingPanes();
  services_.host.CleanWorkspaceState();
  UpdatePaneLayout(false, true);
  update();
}

void CMainFrame::NavigateTo(std::int32_t position) {
  // The time window moves the views, the video panes and the slider.
  if (timeWindow_) {
    timeWindow_->NavigateTo(position);
    return;
  }
  // Without it only the ribbon's position slider and edit follow.
  if (!ribbon_) return;
  if (auto* slider = ribbon_->FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER)) {
    slider->SetPos(std::clamp(position, slider->GetRangeMin(), slider->GetRangeMax()));
    if (auto* edit = ribbon_->FindByID<UI::RibbonEdit>(ID_TIMESPAN_EDIT))
      edit->SetEditText(FormatTimeSeconds(static_cast<std::uint32_t>(std::max(slider->GetPos(), 0))));
  }
}

void CMainFrame::ResetTimeSlider() {
  if (timeWindow_) timeWindow_->ResetSlider();
}

void CMainFrame::ShowVideoAt(double seconds) {
  for (const auto& [plan, pane] : paneList_) {
    if (plan.kind == PaneKind::Video && pane) services_.panes.ShowVideoAt(*pane, seconds);
  }
}

void CMainFrame::StartWorkers() {
  WorkerListeners listeners;
  listeners.periodStep = frequencyIndex_ >= 1 && frequencyIndex_ <= 5 ? frequencyIndex_ : 0;
  listeners.productType = productType_;
  listeners.frame = inbox_;
  listeners.failureTarget = Target();
  for (const auto& [plan, pane] : paneList_) {
    if (plan.kind == PaneKind::Microscope) listeners.microscopes.push_back(services_.panes.InboxOf(*pane, plan));
    if (plan.kind == PaneKind::Heater) listeners.heater = services_.panes.InboxOf(*pane, plan);
  }
  // The status bar's heat-controller bar shows the same readings as the
  // heater pane; they come to the frame's own inbox, which also sees the
  // controller answer again after it was lost. (A heat controller makes the
  // system an incubation system, which has the bar.)
  if (heatBar_) listeners.heatBar = inbox_;
  flowPresent_ = services_.instruments.StartWorkers(listeners);
}

bool CMainFrame::AttachCameraPane(int index, const std::string& caption) {
  UI::DockingPane* cameraPane = PaneOf(PaneKind::CameraPane);
  if (!cameraPane || index < 0 || index >= static_cast<int>(cameraWindows_.size()) ||
      !cameraWindows_[static_cast<std::size_t>(index)])
    return false;
  const auto at = static_cast<std::size_t>(index);
  const std::string name = !caption.empty() ? caption : at < captions_.size() ? captions_[at] : std::string();
  if (!services_.panes.AttachCameraPane(*cameraPane, *cameraWindows_[at], name, index)) return false;
  currentCamera_ = index;
  return true;
}

bool CMainFrame::RecordVideo() const { return cameraCount_ > 0 && services_.configuration.VideoRecordingEnabled; }

void CMainFrame::ConnectCamera(int index, const std::string& caption) {
  if (!AttachCameraPane(index, caption)) return;
  if (UI::DockingPane* cameraPane = PaneOf(PaneKind::CameraPane)) services_.panes.ConnectCameraPane(*cameraPane);
}

void CMainFrame::FillCombos() {
  if (auto* cameras = ribbon_->FindByID<UI::RibbonComboBox>(ID_RIBBON_CAMERA_COMBO)) {
    cameras->RemoveAllItems();
    for (const std::string& caption : captions_) cameras->AddItem(caption);
    cameras->SelectItem(0);
  }
  // The camera pane starts on the first camera window.
  AttachCameraPane(0);
  FillVideoQualityCombo();
  if (auto* exportCombo = ribbon_->FindByID<UI::RibbonComboBox>(ID_TRACE_EXPORT_COMBO)) {
    exportCombo->RemoveAllItems();
    for (const std::uint32_t id :
         {UI::kMeanValueString, UI::kMaximumValueString, UI::kMinimumValueString, UI::kAverageSlopeString})
      exportCombo->AddItem(LoadString(id));
    exportCombo->SelectItem(std::clamp(services_.configuration.LastUsedAnalysisExportType, 0, 3));
  }
}

void CMainFrame::FillVideoQualityCombo() {
  auto* quality = ribbon_ ? ribbon_->FindByID<UI::RibbonComboBox>(ID_RECORD_QUALITY_COMBO) : nullptr;
  if (!quality) return;
  const Configuration& config = services_.configuration;
  quality->RemoveAllItems();
  quality->AddItem(LoadString(UI::kLowString));
  quality->AddItem(LoadString(UI::kMediumString));
  quality->AddItem(LoadString(UI::kHighString));
  if (cameraKind_ == kCameraTypeImagingSource) quality->AddItem(LoadString(UI::kSameSourceString));
  if (config.VideoRecordFactor == config.VideoRecordLowFactor) {
    quality->SelectItem(0);
  } else if (config.VideoRecordFactor == config.VideoRecordHighFactor) {
    quality->SelectItem(2);
  } else {
    quality->SelectItem(1);
  }
}

void CMainFrame::PassCameraSettings() {
  const Configuration& config = services_.configuration;
  for (CameraWindow* window : cameraWindows_) {
    window->SetAutoThreshold(config.AutoThreshold);
    if (!window->HasControl()) continue;
    window->InvertThreshold(config.InvertImage);
    window->IgnoreLumen(config.IgnoreLumen);
  }
}

void CMainFrame::PrepareCameras() {
  PassCameraSettings();
  UpdatePaneLayout(false, false);
}

void CMainFrame::UpdateMarkerButtons() {
  const Configuration& config = services_.configuration;
  const std::string command = LoadString(UI::kCommandString);
  for (int k = 0; k < kFunctionKeys; ++k) {
    if (ribbon_) {
      if (UI::RibbonElement* button = ribbon_->FindByID(kFunctionKeyButtons[k])) {
        button->SetText(config.HotKeys[k].empty() ? FunctionKeyName(k) : config.HotKeys[k]);
        button->SetDescription(command);
      }
    }
    if (statusBar_) {
      if (UI::StatusBarElement* element = statusBar_->FindElement(kFunctionKeyButtons[k])) {
        element->SetLabel(config.HotKeys[k]);
        element->SetToolTipText(config.HotKeys[k]);
      }
    }
  }
}

void CMainFrame::SetTimespanText(int seconds) {
  if (!ribbon_) return;
  if (auto* edit = ribbon_->FindByID<UI::RibbonEdit>(ID_SCALETIME_EDIT_TIME))
    edit->SetEditText(FormatTimeSeconds(static_cast<std::uint32_t>(std::max(seconds, 0))));
}

SamplerSettings CMainFrame::CurrentSamplerSettings() const {
  SamplerSettings settings;
  // A lost source does not pace the synchronised sampling: the first camera
  // (mode 1) or the flow meter (mode 3); a pressure interface given up is
  // no longer loaded.
  const bool cameraLost = faults_ && faults_->IsLost({kCameraSource, 0});
  settings.synchronised = synchronised_ && !cameraLost;
  settings.frequencyIndex = frequencyIndex_;
  settings.cameraKind = cameraKind_;
  settings.multiPresent = services_.instruments.MultiLoaded();
  settings.multiConnected = settings.multiPresent;
  settings.flowPresent = flowPresent_ && !(faults_ && faults_->IsLost({kDeviceFlowMeter, 0}));
  settings.microscopePresent = services_.instruments.MicroscopeCount() > 0;
  settings.flowFromMulti = flowFromMulti_;
  return settings;
}

SamplerSettings CMainFrame::CollectionSamplerSettings() const {
  SamplerSettings settings = CurrentSamplerSettings();
  settings.synchronised =
      services_.configuration.SynchroniseDataCollection && cameraKind_ == 0 && !faults_->IsLost({kCameraSource, 0});
  return settings;
}

void CMainFrame::RunStartupChain() {
  // The wait runs outside the handlers of the GUI thread; the three steps
  // then run on it one after the other.
  QTimer::singleShot(150, this, [this] {
    UnhideDockingPanes();
    // The open views of the last run are reopened by the views' own part of
    // the program once it is there.
    UpdatePaneLayout(false, false);
    FitFixedPanes();
    startupChainDone_ = true;
  });
}

bool CMainFrame::InReview() const { return services_.experiment.mode == kModeFile; }

void CMainFrame::UnhideDockingPanes() {
  for (UI::DockingPane* pane : panes_->Panes()) {
    if (panes_->IsAutoHideMode(*pane)) panes_->SetAutoHideMode(*pane, false, UI::CBRS_ALIGN_ANY);
  }
}

void CMainFrame::DockAndUnhide(UI::DockingPane& pane, std::uint32_t side, bool dock) {
  if (!dock) return;
  panes_->DockToFrameWindow(pane, side);
  panes_->SetAutoHideMode(pane, false, UI::CBRS_ALIGN_ANY);
}

void CMainFrame::ShowOrHide(UI::DockingPane* pane, bool show) {
  if (!pane) return;
  if (!show) {
    panes_->ShowPane(*pane, false, false);
  } else if (!panes_->IsPaneVisible(*pane)) {
    panes_->ShowPane(*pane, true, true);
  }
}

void CMainFrame::UpdatePaneLayout(bool reset, bool force) {
  const bool m = reset || force;
  const bool review = InReview();
  ExperimentData& experiment = services_.experiment;

  if (statusBar_) {
    if (UI::StatusBarElement* progress = statusBar_->FindElement(ID_SEQUENCER_PROGRESS)) progress->SetVisible(!review);
    if (UI::StatusBarElement* navigation = statusBar_->FindElement(ID_NAVIGATION_BAR)) navigation->SetVisible(review);
    statusBar_->update();
  }
  if (ribbon_) {
    if (UI::RibbonElement* button = ribbon_->FindByID(ID_VIEW_CAMERA_BUTTON))
      button->SetText(review ? ribbonTexts_[1] : ribbonTexts_[0]);
  }

  const std::size_t recordCameras =
      experiment.Read([](const ExperimentContents& c) { return c.CameraCount(kModeFile); });
  for (int k = 0; k < 4; ++k) {
    UI::DockingPane* video = PaneOf(PaneKind::Video, k);
    if (!video) continue;
    DockAndUnhide(*video, UI::CBRS_ALIGN_BOTTOM, m);
    const bool hasRecords = review && static_cast<std::size_t>(k) < recordCameras &&
                            experiment.Read([k](const ExperimentContents& c) { return c.analysisData[k].size() > 0; });
    if (hasRecords) {
      if (!panes_->IsPaneVisible(*video)) panes_->ShowPane(*video, true, false);
    } else {
      panes_->ShowPane(*video, false, false);
    }
  }
  if (review && !reviewLaidOut_) {
    liveCameraWidths_.clear();
    for (CameraWindow* window : cameraWindows_)
      liveCameraWidths_.push_back(window->Pane().isVisible() ? window->Pane().width() : 0);
  }
  for (int i = 0; i < static_cast<int>(cameraWindows_.size()); ++i) {
    UI::DockingPane& pane = cameraWindows_[i]->Pane();
    DockAndUnhide(pane, UI::CBRS_ALIGN_BOTTOM, m);
    ShowOrHide(&pane, !review);
  }
  if (!review && reviewLaidOut_ && !m) {
    // The review's video panes shared the bottom dock area: the camera
    // windows take back the widths they had before it.
    QList<QDockWidget*> docks;
    QList<int> widths;
    for (std::size_t i = 0; i < cameraWindows_.size() && i < liveCameraWidths_.size(); ++i) {
      if (liveCameraWidths_[i] <= 0 || !cameraWindows_[i]->Pane().isVisible()) continue;
      docks.push_back(&cameraWindows_[i]->Pane());
      widths.push_back(liveCameraWidths_[i]);
    }
    if (!docks.isEmpty()) resizeDocks(docks, widths, Qt::Horizontal);
  }
  reviewLaidOut_ = review;
  if (!cameraWindows_.empty() && cameraWindows_[0]->HasControl() && cameraWindows_[0]->IsVideoPlaying()) {
    UI::DockingPane& pane = cameraWindows_[0]->Pane();
    panes_->DockToFrameWindow(pane, UI::CBRS_ALIGN_BOTTOM);
    ShowOrHide(&pane, true);
  }
  for (int m2 = 0; m2 < 4; ++m2) {
    UI::DockingPane* microscope = PaneOf(PaneKind::Microscope, m2);
    if (!microscope) continue;
    DockAndUnhide(*microscope, UI::CBRS_ALIGN_LEFT, m);
    ShowOrHide(microscope, !review && services_.instruments.MicroscopeConnected(m2));
  }
  if (UI::DockingPane* heater = PaneOf(PaneKind::Heater)) {
    if (m) panes_->DockToFrameWindow(*heater, UI::CBRS_ALIGN_RIGHT);
    ShowOrHide(heater, !review);
  }
  if (UI::DockingPane* cameraPane = PaneOf(PaneKind::CameraPane)) {
    if (m) panes_->DockToFrameWindow(*cameraPane, UI::CBRS_ALIGN_LEFT);
    const int counted = cameraCount_ - (experiment.videoEnabled ? 1 : 0);
    ShowOrHide(cameraPane, !review && counted >= 1);
  }
  const std::pair<PaneKind, bool> instrumentPanes[] = {
      {PaneKind::Flow, flowPresent_ || flowFromMulti_},
      {PaneKind::Single, services_.instruments.SingleLoaded()},
      {PaneKind::Multi, services_.instruments.MultiLoaded()},
      {PaneKind::Sequencer, true},
  };
  for (const auto& [kind, present] : instrumentPanes) {
    UI::DockingPane* pane = PaneOf(kind);
    if (!pane) continue;
    if (m) panes_->DockToFrameWindow(*pane, UI::CBRS_ALIGN_RIGHT);
    ShowOrHide(pane, !review && present);
  }
  if (m) FitFixedPanes();
}

void CMainFrame::FitFixedPanes() {
  // A pane that lays out a fixed size gets the height it asks for in its
  // column, title included (it scrolls when the column is shorter).
  QList<QDockWidget*> docks;
  QList<int> heights;
  for (const auto& [plan, pane] : paneList_) {
    if (pane->CalcFixedLayout().isEmpty()) continue;
    const std::uint32_t side = panes_->DockedSide(*pane);
    if (side != UI::CBRS_ALIGN_LEFT && side != UI::CBRS_ALIGN_RIGHT) continue;
    docks.push_back(pane);
    heights.push_back(pane->sizeHint().height());
  }
  if (!docks.isEmpty()) resizeDocks(docks, heights, Qt::Vertical);
}

OS::LRESULT CMainFrame::OnNewSample(OS::WPARAM kind, OS::LPARAM ticket) {
  std::optional<SampleRecord> record = inbox_->TakeRecord(ticket);
  // A reading of a source that was lost: it is back.
  int index = 0;
  if (const auto* microscope = record ? std::get_if<MicroscopeSample>(&*record) : nullptr)
    index = static_cast<int>(microscope->microscope);
  if (kind == kDeviceHeatController) {
    const auto* sample = record ? std::get_if<HeatControllerSample>(&*record) : nullptr;
    if (sample && heatBar_) heatBar_->SetState(HeatBarStateOf(*sample));
  } else {
    services_.sampling.OnNewSample(static_cast<std::uint32_t>(kind), record ? &*record : nullptr);
  }
  if (faults_) faults_->Back({static_cast<std::uint32_t>(kind), index});
  return 0;
}

void CMainFrame::OnSourceChanged(const WatchedSource& source, bool lost) {
  if (source.kind != kCameraSource) services_.sampling.SetSourceLost(source.kind, source.index, lost);
  if (!lost) {
    // The pane that closed when its instrument was given up comes back.
    const PaneKind kind = source.kind == kDeviceSinglePressureInterface ? PaneKind::Single
                          : source.kind == kDeviceMultiInterface        ? PaneKind::Multi
                                                                        : PaneKind::Flow;
    if (source.kind == kDeviceSinglePressureInterface || source.kind == kDeviceMultiInterface ||
        source.kind == kDeviceFlowMeter) {
      if (UI::DockingPane* pane = PaneOf(kind); pane && !InReview()) panes_->ShowPane(*pane, true, false);
    }
  }
  // A lost source that drove the synchronised sampling hands the pace on.
  if (created_ && !closed_) services_.sampling.Restart(CollectionSamplerSettings());
}

void CMainFrame::WatchCameras(bool restartNow) {
  for (std::size_t i = 0; i < cameraWindows_.size(); ++i) {
    CameraWindow& window = *cameraWindows_[i];
    if (!window.HasControl()) continue;
    FaultWatch::CameraReading reading;
    reading.lost = window.CameraLost();
    if (!reading.lost) {
      reading.capturing = window.IsCapturing();
      reading.measuringZones = window.MeasuringZones();
      reading.measurements = window.MeasurementCount();
      reading.frames = window.FrameCount();
      reading.torn = window.TornFrameCount();
    }
    if (faults_->WatchCamera(static_cast<int>(i), reading, restartNow)) window.RestartLostCamera();
  }
}

OS::LRESULT CMainFrame::OnTimer(OS::WPARAM id) {
  switch (id) {
    case IDT_IDLE_MONITOR: {
      if (deviceMessages_) deviceMessages_->Flush();
      if (idleMonitor_) idleMonitor_->OnTimer();
      std::string backupFile;
      const int backupError = services_.experiment.BackupError(&backupFile);
      faults_->CheckBackup(backupError, backupFile);
      WatchCameras(false);
      break;
    }
    case IDT_CLOCK:
      if (collection_) collection_->OnClockTimer();
      if (productType_ == kPressureChamber && services_.sequencer) services_.sequencer->OnClockTick();
      break;
    case IDT_STARTUP_CHECK:
      KillTimer(IDT_STARTUP_CHECK);
      services_.host.CheckForUpdatesAtStartup();
      break;
    default:
      break;
  }
  return 0;
}

void CMainFrame::CreateCollectionCommands() {
  collection_ = std::make_unique<FrameCollection>(*this, services_, [this] { return CollectionSamplerSettings(); });
  CollectionControl& control = collection_->Control();
  for (UI::CommandId id : {ID_START_STOP_BUTTON, ID_STATUS_START_BUTTON}) {
    router_.OnCommand(id, [&control] { control.OnStartStop(); });
    router_.OnUpdate(id, [&control](UI::CmdUI& cmd) { cmd.Enable(control.StartStopEnabled()); });
  }
  router_.OnCommand(ID_PAUSE_BUTTON, [&control] { control.OnPause(); });
  router_.OnUpdate(ID_PAUSE_BUTTON, [&control](UI::CmdUI& cmd) { cmd.Enable(control.PauseEnabled()); });
  for (int k = 0; k < kFunctionKeys; ++k) {
    router_.OnCommand(kFunctionKeyButtons[k],
                      [this, k, &control] { control.OnMarkerKey(services_.configuration.HotKeys[k]); });
  }
}

OS::LRESULT CMainFrame::OnHotKey(OS::WPARAM id) {
  const auto key = static_cast<std::int64_t>(id) - IDHOT_F1;
  if (key >= 0 && key < kFunctionKeys) router_.Execute(kFunctionKeyButtons[key]);
  return 0;
}

OS::LRESULT CMainFrame::OnDeviceChange(OS::WPARAM event) {
  // A camera that went away may be the device that came.
  if (event == OS::DBT_DEVICEARRIVAL && created_) WatchCameras(true);
  return deviceMessages_ ? deviceMessages_->OnDeviceChange(event) : 0;
}

bool CMainFrame::OnClose(bool ask) {
  if (closed_) return true;
  // The questions come before anything stops: a save that does not happen
  // leaves the program as it was.
  // Cancel on either question leaves the program open as it was.
  if (ask && productType_ == kPressureChamber && services_.host.SequenceChanged()) {
    switch (Shell::AskSaveChangesBox(this, LoadQString(UI::kCurrentSequenceHasBeenString))) {
      case SaveAnswer::Yes:
        services_.host.SaveSequence();
        break;
      case SaveAnswer::No:
        break;
      case SaveAnswer::Cancel:
        return false;
    }
  }
  if (ask && services_.experiment.modified) {
    switch (Shell::AskSaveChangesBox(this, LoadQString(UI::kCurrentExperimentHasBeenString))) {
      case SaveAnswer::Yes:
        if (!services_.host.SaveExperiment()) return false;
        break;
      case SaveAnswer::No:
        break;
      case SaveAnswer::Cancel:
        return false;
    }
  }

  KillTimer(IDT_CLOCK);
  services_.sampling.Stop();
  if (deviceNotifications_) {
    services_.system.UnregisterDeviceNotifications();
    deviceNotifications_ = false;
  }
  FrameInstruments& instruments = services_.instruments;
  instruments.StopMultiTimer();
  instruments.StopFlow();
  instruments.StopSingle();
  instruments.StopMulti();
  instruments.StopMicroscopes();
  // Capture and playback end here, on the GUI thread that owns the controls.
  for (CameraWindow* window : cameraWindows_) {
    if (!window->HasControl()) continue;
    if (window->IsCapturing() || window->IsVideoPlaying()) window->StopCapture();
  }
  for (int k = 0; k < kFunctionKeys; ++k) services_.system.UnregisterHotKey(IDHOT_F1 + k);
  if (!settingsImported_ && !services_.host.SettingsImported()) {
    services_.host.SaveWorkspaceState(*this);
    services_.host.SaveConfiguration();
  }
  closed_ = true;
  return true;
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // The docks' own share of a new height can leave a pane scrolling in a
  // column with room to spare: each gets what it asks for again.
  if (!startupChainDone_ || fitPending_ || event->size().height() == event->oldSize().height()) return;
  fitPending_ = true;
  QTimer::singleShot(0, this, [this] {
    fitPending_ = false;
    FitFixedPanes();
  });
}

void CMainFrame::EndWithoutQuestions() {
  if (collection_ && collection_->CollectionState() == kCollecting) collection_->Control().Stop(false);
  OnClose(false);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (OnClose()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace ORV

#include "shell/frame/program_frame.h"

#include <QWidget>
#include <algorithm>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/zone_data_queue.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"
#include "instruments/sampling_workers.h"
#include "instruments/ui/flow_pane.h"
#include "instruments/ui/heater_pane.h"
#include "instruments/ui/microscope_pane.h"
#include "instruments/ui/multi_myograph_pane.h"
#include "instruments/ui/multi_myograph_pane_logic.h"
#include "instruments/ui/myograph_pane.h"
#include "instruments/ui/pane_context.h"
#include "platform/os/device_monitor.h"
#include "platform/os/registry_store.h"
#include "platform/os/stand_in_devices.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/workspace_store.h"
#include "shell/app/file_commands.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/frame_sequencer.h"
#include "shell/frame/function_keys.h"
#include "shell/sampler_adapters.h"
#include "video/ui/video_pane.h"

namespace ORV {

namespace {

// The interface manager's devices and the workers that read them.
class ManagerInstruments final : public FrameInstruments {
 public:
  // Flow readings are stamped with the record's experiment clock.
  ManagerInstruments(InterfaceManager& manager, ExperimentData& experiment)
      : manager_(manager), experiment_(experiment), devices_(manager) {}
  ~ManagerInstruments() override { DeleteWorkers(); }

  void ReloadPorts() override { devices_.ReloadPorts(); }
  std::uint32_t LoadDevices(std::uint32_t mask) override { return manager_.LoadDevices(mask); }
  bool SingleLoaded() override { return manager_.SingleInterface().IsConnected(); }
  bool MultiLoaded() override { return manager_.MultiInterface().IsConnected(); }
  bool HeatControllerLoaded() override { return manager_.HeatControllerDevice().IsConnected(); }
  int MicroscopeCount() override { return manager_.MicroscopeCount(); }
  bool MicroscopeConnected(int index) override {
    Microscope* microscope = manager_.MicroscopeAt(static_cast<std::size_t>(index));
    return microscope != nullptr && microscope->IsConnected();
  }
  bool FlowFromMulti() override { return manager_.InternalFlowMeterInUse(); }
  SamplerDevices* Devices() override { return &devices_; }
  std::uint32_t InterfaceTypeCode() override { return MultiLoaded() ? manager_.MultiModelCode() : 0; }

  bool StartWorkers(const WorkerListeners& listeners) override {
    const int step = listeners.periodStep;
    if (SingleLoaded()) {
      single_ = std::make_unique<CInterfaceSampleThread>(manager_);
      if (step >= 1) single_->SetPeriodFactor(step);
      single_->AddListener(listeners.frame);
      single_->SetFailureTarget(listeners.failureTarget);
      single_->SetHolder(holder_);
      single_->Start();
    }
    if (MultiLoaded()) {
      multi_ = std::make_unique<CMultiInterfaceSampleThread>(manager_);
      multi_->AddListener(listeners.frame);
      multi_->SetFailureTarget(listeners.failureTarget);
      multi_->SetHolder(holder_);
      multi_->Start();
    }
    const bool flowMeter = manager_.BinaryFlowMeterConnected() ? manager_.BinaryFlowMeter().IsConnected()
                                                               : manager_.AsciiFlowMeter().IsConnected();
    const bool flowPresent = FlowFromMulti() || flowMeter;
    if (flowMeter) {
      flow_ = std::make_shared<CFlowSampleThread>(
          manager_, [&experiment = experiment_] { return experiment.ExperimentClock().Now(); });
      if (step >= 1) flow_->SetPeriodFactor(step);
      flow_->AddListener(listeners.frame);
      flow_->SetFailureTarget(listeners.failureTarget);
      flow_->Start(flow_);
    }
    for (int m = 0; m < MicroscopeCount() && m < static_cast<int>(listeners.microscopes.size()); ++m) {
      auto worker = std::make_unique<CMicroscopeThread>(m, manager_);
      worker->SetPeriodFactor(step >= 1 ? step : 3);
      if (listeners.microscopes[m]) worker->AddListener(listeners.microscopes[m]);
      // The frame hands the readings to the sampling, which records them.
      if (listeners.frame) worker->AddListener(listeners.frame);
      worker->SetFailureTarget(listeners.failureTarget);
      // With the pressure chamber the pressure interface measures the
      // temperature.
      if (listeners.productType == kPressureChamber && (SingleLoaded() || MultiLoaded()))
        worker->SetReadTemperature(false);
      worker->Start();
      microscopes_.push_back(std::move(worker));
    }
    if (HeatControllerLoaded() && (listeners.heater || listeners.heatBar)) {
      heater_ = std::make_unique<CHeatControllerThread>(manager_);
      if (step >= 1) heater_->SetPeriodFactor(step);
      for (const auto& listener : {listeners.heater, listeners.heatBar})
        if (listener) heater_->AddListener(listener);
      heater_->SetFailureTarget(listeners.failureTarget);
      heater_->Start();
    }
    return flowPresent;
  }

  void StopMultiTimer() override {
    if (multi_) multi_->Stop();
  }
  void StopFlow() override {
    if (flow_) flow_->Stop();
  }
  void StopSingle() override {
    if (single_) single_->Stop();
  }
  void StopMulti() override {
    if (multi_) multi_->Stop();
  }
  void StopMicroscopes() override {
    for (auto& worker : microscopes_) worker->Stop();
  }
  void DeleteWorkers() override {
    StopFlow();
    flow_.reset();
    multi_.reset();
    single_.reset();
    microscopes_.clear();
    heater_.reset();
  }

  const std::shared_ptr<PressureHolder>& Holder() const { return holder_; }

 private:
  InterfaceManager& manager_;
  ExperimentData& experiment_;
  InterfaceManagerDevices devices_;
  std::shared_ptr<PressureHolder> holder_ = std::make_shared<PressureHolder>();
  std::unique_ptr<CInterfaceSampleThread> single_;
  std::unique_ptr<CMultiInterfaceSampleThread> multi_;
  std::shared_ptr<CFlowSampleThread> flow_;
  std::vector<std::unique_ptr<CMicroscopeThread>> microscopes_;
  std::unique_ptr<CHeatControllerThread> heater_;
};

// The multi interface's own clock, as its pane reads it, for the status
// bar's instrument time (shown by the frame's clock timer).
class FrameInstrumentClock final : public DeviceClockDisplay {
 public:
  void SetFrame(CMainFrame* frame) { frame_ = frame; }
  void SetDeviceClockAvailable(bool available) override {
    available_ = available;
    if (!available) Show(false, 0, 0, 0);
  }
  void SetDeviceClock(int hours, int minutes, int seconds) override {
    if (available_) Show(true, hours, minutes, seconds);
  }

 private:
  void Show(bool shown, int hours, int minutes, int seconds) {
    if (FrameCollection* collection = frame_ ? frame_->Collection() : nullptr)
      collection->SetInstrumentTime(shown, hours, minutes, seconds);
  }

  CMainFrame* frame_ = nullptr;
  bool available_ = false;
};

// The instrument panes and the sequencer pane of instruments/ui, and the
// camera windows and camera pane of video/ui.
class ProgramPanes final : public FramePanes {
 public:
  ProgramPanes(Configuration& configuration, ExperimentData& experiment, InterfaceManager& manager,
               ProgramSequencer& sequencer, std::shared_ptr<ZoneDataHolderQueue> zoneQueue)
      : configuration_(configuration),
        experiment_(experiment),
        manager_(manager),
        sequencer_(sequencer),
        cameras_(configuration, experiment, zoneQueue) {}

  void SetFrame(CMainFrame* frame, FrameViews* views) {
    instrumentClock_.SetFrame(frame);
    cameras_.SetFrame(frame);
    cameras_.SetViews(views);
  }

  UI::DockingPane* CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, const PanePlan& plan,
                              bool multipleCameras) override {
    const InstrumentPaneContext context{experiment_, configuration_, &manager_, nullptr, &instrumentClock_};
    switch (plan.kind) {
      case PaneKind::Flow:
        return panes.Create<CFlowPane>(layout, context, layout.caption);
      case PaneKind::Single:
        return panes.Create<CMyographWnd>(layout, context, manager_.SingleInterface(), layout.caption);
      case PaneKind::Heater:
        return panes.Create<CHeaterPane>(layout, context, manager_.HeatControllerDevice(), layout.caption);
      case PaneKind::Microscope: {
        CMicroscopePane::Options options;
        options.index = plan.index;
        options.showCameraChoice = multipleCameras;
        std::vector<std::string> names = experiment_.Read([](const ExperimentContents& c) { return c.cameraLabels; });
        if (plan.index < static_cast<int>(names.size())) options.cameraName = names[plan.index];
        return panes.Create<CMicroscopePane>(layout, context, manager_.MicroscopeAt(plan.index), options,
                                             layout.caption);
      }
      case PaneKind::CameraPane:
        return cameras_.CreatePane(panes, layout, multipleCameras);
      case PaneKind::Video:
        return panes.Create<Video::CVideoPane>(layout, experiment_, configuration_, plan.index);
      case PaneKind::Multi:
        return panes.Create<CMyographMultiWnd>(layout, context, manager_.MultiInterface(), layout.caption);
      case PaneKind::Sequencer:
        return sequencer_.CreatePane(panes, layout, context);
      case PaneKind::CameraWindow:
        break;
    }
    return nullptr;
  }

  CameraWindow* CreateCameraWindow(UI::PaneManager& panes, const UI::PaneLayout& layout,
                                   const CameraWindowInfo& info) override {
    CameraWindow* window = cameras_.CreateWindow(panes, layout, info);
    if (info.index == 0) sequencer_.SetCameraWindow(dynamic_cast<FrameCameraWnd*>(window));
    return window;
  }
  bool AttachCameraPane(UI::DockingPane&, CameraWindow& window, const std::string& caption, int index) override {
    return cameras_.AttachPane(window, caption, index);
  }
  void ConnectCameraPane(UI::DockingPane&) override { cameras_.ConnectPane(); }

  std::shared_ptr<SampleInbox> InboxOf(UI::DockingPane& pane, const PanePlan& plan) override {
    if (plan.kind == PaneKind::Microscope) return static_cast<CMicroscopePane&>(pane).Inbox();
    if (plan.kind == PaneKind::Heater) return static_cast<CHeaterPane&>(pane).Inbox();
    return nullptr;
  }

  void ShowVideoAt(UI::DockingPane& pane, double seconds) override {
    auto* video = dynamic_cast<Video::CVideoPane*>(&pane);
    if (video && video->Images().VideoLoaded())
      video->Images().ShowFrameAt(static_cast<std::uint32_t>(std::max(seconds, 0.0)), true);
  }

 private:
  Configuration& configuration_;
  ExperimentData& experiment_;
  InterfaceManager& manager_;
  ProgramSequencer& sequencer_;
  FrameCameras cameras_;
  FrameInstrumentClock instrumentClock_;
};

// The synchronised sampler over the experiment record.
class ExperimentSampling final : public FrameSampling {
 public:
  ExperimentSampling(ExperimentData& experiment, std::shared_ptr<PressureHolder> holder,
                     std::shared_ptr<ZoneDataHolderQueue> zoneQueue)
      : sink_(experiment), pressure_(std::move(holder)), sampler_(sink_, pressure_, std::move(zoneQueue)) {}
  bool Restart(const SamplerSettings& settings) override { return sampler_.Restart(settings); }
  void Stop() override { sampler_.Stop(); }
  bool ResetForCollection(const SamplerSettings& settings) override { return sampler_.ResetForCollection(settings); }
  bool IsRunning() const override { return sampler_.IsRunning(); }
  void OnNewSample(std::uint32_t kind, const SampleRecord* record) override { sampler_.OnNewSample(kind, record); }
  void SetSourceLost(std::uint32_t kind, int index, bool lost) override { sampler_.SetSourceLost(kind, index, lost); }

 private:
  ExperimentSamplerSink sink_;
  HolderPressureSource<PressureHolder> pressure_;
  SyncSampler sampler_;
};

// Hot-plug through udev, and F1 .. F12 as application-wide and, where the
// display server allows it, system-wide keys.
class ProgramSystem final : public FrameSystem {
 public:
  void SetFrameWidget(QWidget* frame) { frame_ = frame; }

  // The machine's devices through udev, and those of the stand-in devices
  // (the simulated lab's, when the program started one) through their own
  // events.
  bool RegisterDeviceNotifications(std::shared_ptr<OS::MessageTarget> frame) override {
    monitors_.clear();
    std::unique_ptr<OS::DeviceEventSource> sources[] = {OS::MakeUdevDeviceEventSource(), OS::StandInDeviceEvents()};
    for (std::unique_ptr<OS::DeviceEventSource>& source : sources) {
      if (!source) continue;
      auto monitor = std::make_unique<OS::DeviceMonitor>(std::move(source), frame,
                                                         [](const std::string& text) { LogError(text); });
      if (monitor->Start()) monitors_.push_back(std::move(monitor));
    }
    return !monitors_.empty();
  }
  void UnregisterDeviceNotifications() override { monitors_.clear(); }

  bool RegisterHotKey(std::shared_ptr<OS::MessageTarget> frame, int id, int functionKey) override {
    return keys_.Register(frame_, std::move(frame), id, functionKey);
  }
  void UnregisterHotKey(int id) override { keys_.Unregister(id); }

 private:
  QWidget* frame_ = nullptr;
  std::vector<std::unique_ptr<OS::DeviceMonitor>> monitors_;
  FunctionKeys keys_;
};

class ProgramHost final : public FrameHost {
 public:
  ProgramHost(Configuration& configuration, ProgramSequencer& sequencer, ProgramFrameOptions options)
      : configuration_(configuration), sequencer_(sequencer), options_(std::move(options)) {}

  void SetFrame(CMainFrame* frame) { frame_ = frame; }

  // The close's and a new collection's save are the file commands' save,
  // as File > Save is: without them nothing is saved.
  bool SaveExperiment() override {
    Shell::ExperimentFileCommands* files = frame_ ? frame_->FileCommands() : nullptr;
    return files != nullptr && files->SaveExperiment();
  }
  bool CheckForUpdatesAtStartup() override { return options_.checkForUpdates && options_.checkForUpdates(); }
  bool SequenceChanged() override { return sequencer_.SequenceChanged(); }
  bool SaveSequence() override { return sequencer_.SaveSequence(); }
  bool SettingsImported() override { return options_.settingsImported && options_.settingsImported(); }
  void ClearSheets() override {
    if (options_.views) options_.views->ClearSheets();
  }
  void SetDrawNoSaveData(bool on) override {
    if (options_.views) options_.views->SetDrawNoSaveData(on);
  }
  bool LiveTrace() override { return options_.views ? options_.views->LiveTrace() : configuration_.LiveTrace; }
  void SetLiveTrace(bool on) override {
    if (options_.views) options_.views->SetLiveTrace(on);
  }
  void SaveConfiguration() override {
    if (options_.settingsStore) {
      configuration_.Save(*options_.settingsStore);
    } else {
      configuration_.Save();
    }
  }
  // The layout kept in the same store as the settings.
  bool LoadWorkspaceState(QMainWindow& frame) override { return UI::WorkspaceStore(Store()).LoadState(frame); }
  void SaveWorkspaceState(const QMainWindow& frame) override {
    if (!UI::WorkspaceStore(Store()).SaveState(frame))
      LogError("CMainFrame::OnClose() - the window layout was not saved");
  }
  void CleanWorkspaceState() override { UI::WorkspaceStore(Store()).CleanState(); }
  // The recent experiments kept in the same store.
  std::vector<std::string> RecentFiles() override { return UI::WorkspaceStore(Store()).RecentFiles(); }
  void AddRecentFile(const std::string& path) override {
    if (!UI::WorkspaceStore(Store()).AddToRecentFileList(path))
      LogError("The experiment " + path + " was not added to the recent files");
  }

 private:
  OS::RegistryStore& Store() const {
    return options_.settingsStore ? *options_.settingsStore : OS::RegistryStore::User();
  }

  Configuration& configuration_;
  ProgramSequencer& sequencer_;
  ProgramFrameOptions options_;
  CMainFrame* frame_ = nullptr;
};

// Everything the frame's services refer to, kept alive by the frame.
struct ProgramServices {
  ProgramServices(Configuration& configuration, ExperimentData& experiment, InterfaceManager& manager,
                  ProgramFrameOptions options)
      : instruments(manager, experiment),
        sequencer(configuration, experiment, manager),
        panes(configuration, experiment, manager, sequencer, zoneQueue),
        sampling(experiment, instruments.Holder(), zoneQueue),
        host(configuration, sequencer, std::move(options)) {}

  // The camera windows' zone records, drained by the sampler.
  std::shared_ptr<ZoneDataHolderQueue> zoneQueue = std::make_shared<ZoneDataHolderQueue>();
  ManagerInstruments instruments;
  ProgramSequencer sequencer;
  ProgramPanes panes;
  ExperimentSampling sampling;
  ProgramSystem system;
  ProgramHost host;
};

}  // namespace

std::unique_ptr<CMainFrame> CreateMainFrame(Configuration& configuration, ExperimentData& experiment,
                                            InterfaceManager& instruments, ProgramFrameOptions options) {
  Shell::TraceGlue* glue = options.glue;
  FrameViews* views = options.views;
  auto services = std::make_shared<ProgramServices>(configuration, experiment, instruments, std::move(options));
  MainFrameServices wiring{configuration,      experiment,       services->instruments, services->panes,
                           services->sampling, services->system, services->host,        [] { return DetectCameras(); }};
  wiring.glue = glue;
  wiring.sequencer = &services->sequencer;
  auto frame = std::make_unique<CMainFrame>(wiring, services);
  services->system.SetFrameWidget(frame.get());
  services->host.SetFrame(frame.get());
  services->panes.SetFrame(frame.get(), views);
  return frame;
}

}  // namespace ORV

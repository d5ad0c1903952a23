#pragma once
// What the main frame works with, each behind a narrow interface so that the
// frame runs on the real instruments and cameras, on the simulated lab, or on
// a test's fakes:
//   - FrameInstruments: opens the instruments and starts and stops their
//     sampling workers;
//   - FramePanes: makes the docking panes and the camera windows;
//   - CameraWindow: what the frame asks of a camera window and the analysis
//     control it hosts;
//   - FrameSampling: the synchronised sampling;
//   - FrameSystem: hot-plug notices and function-key hot keys;
//   - FrameHost: the application's side (saving, the settings-import flag);
//   - FrameSequencer: the protocol sequencer of a pressure-chamber system.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "instruments/sample_delivery.h"
#include "platform/os/message_target.h"
#include "shell/device_messages.h"
#include "shell/frame_plan.h"
#include "shell/sync_sampler.h"
#include "video/cameras/camera_interface.h"

class QMainWindow;

namespace ORV {
class Configuration;
class ExperimentData;
class SequencerProgressBar;
namespace Shell {
class TraceGlue;
}
namespace UI {
class DockingPane;
class PaneManager;
struct PaneLayout;
}  // namespace UI

// Who hears the samples of the workers the frame starts.
struct WorkerListeners {
  int periodStep = 3;  // 1-5 given to the workers; 0 leaves their own
  std::int32_t productType = kPressureChamber;
  std::shared_ptr<SampleInbox> frame;                     // single unit, multi interface, flow
  std::shared_ptr<OS::MessageTarget> failureTarget;       // WM_DEVICE_FAILED
  std::vector<std::shared_ptr<SampleInbox>> microscopes;  // one per microscope pane
  std::shared_ptr<SampleInbox> heater;                    // the heater pane (may be null)
  std::shared_ptr<SampleInbox> heatBar;                   // the status bar's heat-controller bar (may be null)
};

class FrameInstruments {
 public:
  virtual ~FrameInstruments() = default;
  // Empties the COM-port list and fills it again.
  virtual void ReloadPorts() = 0;
  // Opens the devices of the mask; the mask of those that loaded.
  virtual std::uint32_t LoadDevices(std::uint32_t mask) = 0;
  virtual bool SingleLoaded() = 0;
  virtual bool MultiLoaded() = 0;
  virtual bool HeatControllerLoaded() = 0;
  virtual int MicroscopeCount() = 0;
  virtual bool MicroscopeConnected(int index) = 0;
  // Flow is measured by the multi interface.
  virtual bool FlowFromMulti() = 0;
  // Starts the workers of the loaded devices; whether a flow meter (or the
  // multi interface's flow) is present.
  virtual bool StartWorkers(const WorkerListeners& listeners) = 0;
  // The steps of the frame's close, in its order.
  virtual void StopMultiTimer() = 0;
  virtual void StopFlow() = 0;
  virtual void StopSingle() = 0;
  virtual void StopMulti() = 0;
  virtual void StopMicroscopes() = 0;
  // The destructor's: stops and deletes every worker.
  virtual void DeleteWorkers() = 0;
  // The instruments as the hot-plug handling and the inactivity monitor
  // see them; null leaves both out.
  virtual SamplerDevices* Devices() { return nullptr; }
  // The type code of the connected pressure interface (the multi
  // interface's model code); 0 when none is connected.
  virtual std::uint32_t InterfaceTypeCode() { return 0; }
};

class CameraWindow {
 public:
  virtual ~CameraWindow() = default;
  virtual UI::DockingPane& Pane() = 0;
  // A window whose analysis control could not be made is skipped by the
  // calls below.
  virtual bool HasControl() const = 0;
  virtual void SetMaxZones(int zones) = 0;
  virtual void SetAutoThreshold(bool on) = 0;
  virtual void InvertThreshold(bool on) = 0;
  virtual void IgnoreLumen(bool on) = 0;
  virtual bool IsCapturing() = 0;
  virtual bool IsVideoPlaying() = 0;
  // The control writes the camera's video (Save waits for it to end).
  virtual bool IsRecording() { return false; }
  virtual void StopCapture() = 0;
  // A data collection: the start tick the analysis stamps its data with,
  // and the recording of the camera's video and analysis (the window
  // decides from its own setting whether video is written).
  virtual void SetExperimentStartTime(std::uint32_t tick) { (void)tick; }
  virtual void StartRecording() {}
  virtual void StopRecording() {}
  // What the frame watches to tell a camera that stopped delivering: the
  // zones it measures, the measurements it has handed on so far, the frames
  // its camera sent torn and whole, whether its camera went away, and
  // starting that camera again (true when it runs again).
  virtual int MeasuringZones() { return 0; }
  virtual std::uint64_t MeasurementCount() { return 0; }
  virtual std::uint64_t TornFrameCount() { return 0; }
  virtual std::uint64_t FrameCount() { return 0; }
  virtual bool CameraLost() { return false; }
  virtual bool RestartLostCamera() { return false; }
};

// The pane of a camera window and what it shows.
struct CameraWindowInfo {
  int index = 0;
  int cameraKind = kCameraTypeImagingSource;
  std::string deviceName;  // empty when there is no camera
};

class FramePanes {
 public:
  virtual ~FramePanes() = default;
  // Makes the pane `plan` describes through `panes` with `layout`; null when
  // it cannot be made.
  virtual UI::DockingPane* CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, const PanePlan& plan,
                                      bool multipleCameras) = 0;
  virtual CameraWindow* CreateCameraWindow(UI::PaneManager& panes, const UI::PaneLayout& layout,
                                           const CameraWindowInfo& info) = 0;
  // Binds the camera pane to a camera window, named `caption` in the pane;
  // false when the pane refused (the user kept the running capture).
  virtual bool AttachCameraPane(UI::DockingPane& /*cameraPane*/, CameraWindow& /*window*/,
                                const std::string& /*caption*/, int /*index*/) {
    return true;
  }
  // The camera pane's Capture/Stop command on the window it is bound to.
  virtual void ConnectCameraPane(UI::DockingPane& /*cameraPane*/) {}
  // A pane's sample inbox for the workers (microscope and heater panes);
  // null for the others.
  virtual std::shared_ptr<SampleInbox> InboxOf(UI::DockingPane& pane, const PanePlan& plan) = 0;
  // A video pane shows its frame at `seconds` of the experiment.
  virtual void ShowVideoAt(UI::DockingPane& pane, double seconds) {
    (void)pane;
    (void)seconds;
  }
};

class FrameSampling {
 public:
  virtual ~FrameSampling() = default;
  virtual bool Restart(const SamplerSettings& settings) = 0;
  virtual void Stop() = 0;
  virtual bool IsRunning() const = 0;
  // A collection starts: the running state from zero, the queued zone and
  // pressure data gone, then running again with `settings`.
  virtual bool ResetForCollection(const SamplerSettings& settings) { return Restart(settings); }
  virtual void OnNewSample(std::uint32_t kind, const SampleRecord* record) = 0;
  // A source is lost (or back): nothing it still holds is stored as a
  // measurement while it is lost (see SyncSampler::SetSourceLost).
  virtual void SetSourceLost(std::uint32_t kind, int index, bool lost) {
    (void)kind;
    (void)index;
    (void)lost;
  }
};

class FrameSystem {
 public:
  virtual ~FrameSystem() = default;
  // Hot-plug notices go to `frame` as WM_DEVICECHANGE; false when refused.
  virtual bool RegisterDeviceNotifications(std::shared_ptr<OS::MessageTarget> frame) = 0;
  virtual void UnregisterDeviceNotifications() = 0;
  // Key k (0-11) is F(k + 1); pressing it posts WM_HOTKEY (id) to `frame`.
  virtual bool RegisterHotKey(std::shared_ptr<OS::MessageTarget> frame, int id, int functionKey) = 0;
  virtual void UnregisterHotKey(int id) = 0;
};

class FrameHost {
 public:
  virtual ~FrameHost() = default;
  // Saves the experiment (asking for a name when it has none); false when
  // it failed or the user cancelled.
  virtual bool SaveExperiment() = 0;
  virtual bool SequenceChanged() = 0;
  virtual bool SaveSequence() = 0;
  // A settings archive was imported in this run: the running configuration
  // must not overwrite it.
  virtual bool SettingsImported() = 0;
  virtual void SaveConfiguration() = 0;
  // The automatic update check, once a few seconds after start-up (the
  // application decides whether it runs); true when it ran.
  virtual bool CheckForUpdatesAtStartup() { return false; }
  // The layout of the frame's panes kept between runs: given back at the
  // start (false when none is kept), stored at the close, forgotten by the
  // reset-layout command.
  virtual bool LoadWorkspaceState(QMainWindow& frame) {
    (void)frame;
    return false;
  }
  virtual void SaveWorkspaceState(const QMainWindow& frame) { (void)frame; }
  virtual void CleanWorkspaceState() {}
  // The experiments opened or saved last, newest first, kept between runs;
  // AddRecentFile puts one at the front.
  virtual std::vector<std::string> RecentFiles() { return {}; }
  virtual void AddRecentFile(const std::string& path) { (void)path; }
  // The application's sheets and trace views at a collection's start and
  // stop: both sheets emptied, the views' unsaved marking, live trace.
  virtual void ClearSheets() {}
  virtual void SetDrawNoSaveData(bool on) { (void)on; }
  virtual bool LiveTrace() { return false; }
  virtual void SetLiveTrace(bool on) { (void)on; }
};

// The protocol sequencer: the frame hands it the status bar's progress
// element once the bar is built (null takes it back before the bar goes) and
// runs one step of the sequence every second.
class FrameSequencer {
 public:
  virtual ~FrameSequencer() = default;
  virtual void SetProgressBar(SequencerProgressBar* bar) = 0;
  virtual void OnClockTick() = 0;
};

struct MainFrameServices {
  Configuration& configuration;
  ExperimentData& experiment;
  FrameInstruments& instruments;
  FramePanes& panes;
  FrameSampling& sampling;
  FrameSystem& system;
  FrameHost& host;
  std::function<CameraDetection()> detectCameras;
  // The application's trace glue: the frame's time window drives the trace
  // views through it. Null leaves the time window out.
  Shell::TraceGlue* glue = nullptr;
  // The sequencer; null leaves it out.
  FrameSequencer* sequencer = nullptr;
};

}  // namespace ORV

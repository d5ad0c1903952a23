#pragma once
// Fakes of the main frame's services that record, in order, what the frame
// asks of them, and a fixture that makes a frame on them.
#include <gtest/gtest.h>

#include <QPainter>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/pane_manager.h"
#include "shell/frame/main_frame.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

using Log = std::vector<std::string>;

// A plain docking pane that shows a line of text, in place of a real pane.
class StandInPane : public UI::DockingPane {
 public:
  StandInPane(const Configuration& configuration, const QString& objectName, const QString& title, QString note)
      : DockingPane(configuration, objectName, title), note_(std::move(note)) {}

 protected:
  void OnPaint(QPainter& painter) override {
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.setFont(PanelFont());
    painter.drawText(Client()->rect(), Qt::AlignCenter | Qt::TextWordWrap, note_);
  }

 private:
  QString note_;
};

class FakeInstruments final : public FrameInstruments {
 public:
  explicit FakeInstruments(Log& log) : log_(log) {}
  std::uint32_t loaded = 0;
  int microscopes = 0;
  WorkerListeners listeners;

  void ReloadPorts() override { log_.push_back("ports"); }
  std::uint32_t LoadDevices(std::uint32_t mask) override {
    log_.push_back("load " + std::to_string(mask));
    return loaded;
  }
  bool SingleLoaded() override { return loaded & 1; }
  bool MultiLoaded() override { return loaded & 8; }
  bool HeatControllerLoaded() override { return loaded & 32; }
  int MicroscopeCount() override { return microscopes; }
  bool MicroscopeConnected(int) override { return true; }
  bool FlowFromMulti() override { return false; }
  bool StartWorkers(const WorkerListeners& l) override {
    listeners = l;
    log_.push_back("workers step " + std::to_string(l.periodStep));
    return (loaded & 2) != 0;
  }
  void StopMultiTimer() override { log_.push_back("stop multi timer"); }
  void StopFlow() override { log_.push_back("stop flow"); }
  void StopSingle() override { log_.push_back("stop single"); }
  void StopMulti() override { log_.push_back("stop multi"); }
  void StopMicroscopes() override { log_.push_back("stop microscopes"); }
  void DeleteWorkers() override { log_.push_back("delete workers"); }

 private:
  Log& log_;
};

class FakeCameraWindow final : public StandInPane, public CameraWindow {
 public:
  FakeCameraWindow(const Configuration& c, int index, Log& log, bool capturing, bool playing)
      : StandInPane(c, QString("CameraWindow%1").arg(index), "Image Analysis", "camera"),
        index_(index),
        log_(log),
        capturing_(capturing),
        playing_(playing) {}
  UI::DockingPane& Pane() override { return *this; }
  bool HasControl() const override { return true; }
  void SetMaxZones(int z) override { Note("zones " + std::to_string(z)); }
  void SetAutoThreshold(bool on) override { Note("auto " + std::to_string(on)); }
  void InvertThreshold(bool on) override { Note("invert " + std::to_string(on)); }
  void IgnoreLumen(bool on) override { Note("lumen " + std::to_string(on)); }
  bool IsCapturing() override { return capturing_; }
  bool IsVideoPlaying() override { return playing_; }
  bool IsRecording() override { return recording; }
  void StopCapture() override { Note("stop capture"); }
  bool recording = false;

 private:
  void Note(const std::string& what) { log_.push_back("camera " + std::to_string(index_) + " " + what); }
  int index_;
  Log& log_;
  bool capturing_, playing_;
};

class FakePanes final : public FramePanes {
 public:
  FakePanes(const Configuration& c, Log& log) : config_(c), log_(log) {}
  std::vector<bool> capturing, playing;
  bool failKind = false;
  PaneKind failing = PaneKind::Heater;

  UI::DockingPane* CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, const PanePlan& plan,
                              bool) override {
    if (failKind && plan.kind == failing) return nullptr;
    return panes.Create<StandInPane>(layout, config_, QString("Pane%1_%2").arg(plan.id).arg(plan.index), layout.caption,
                                     "fake");
  }
  CameraWindow* CreateCameraWindow(UI::PaneManager& panes, const UI::PaneLayout& layout,
                                   const CameraWindowInfo& info) override {
    const auto at = static_cast<std::size_t>(info.index);
    return panes.Create<FakeCameraWindow>(layout, config_, info.index, log_, at < capturing.size() && capturing[at],
                                          at < playing.size() && playing[at]);
  }
  // Each binding of the camera pane: window index and caption.
  std::vector<std::pair<int, std::string>> attached;
  bool AttachCameraPane(UI::DockingPane&, CameraWindow&, const std::string& caption, int index) override {
    attached.emplace_back(index, caption);
    return true;
  }
  std::shared_ptr<SampleInbox> InboxOf(UI::DockingPane&, const PanePlan&) override { return nullptr; }
  void ShowVideoAt(UI::DockingPane& pane, double seconds) override {
    log_.push_back(pane.objectName().toStdString() + " at " + std::to_string(static_cast<int>(seconds)));
  }

 private:
  const Configuration& config_;
  Log& log_;
};

class FakeSampling final : public FrameSampling {
 public:
  explicit FakeSampling(Log& log) : log_(log) {}
  SamplerSettings settings;
  bool Restart(const SamplerSettings& s) override {
    settings = s;
    running_ = true;
    log_.push_back("sampling start");
    return true;
  }
  void Stop() override {
    if (running_) log_.push_back("sampling stop");
    running_ = false;
  }
  bool IsRunning() const override { return running_; }
  void OnNewSample(std::uint32_t, const SampleRecord*) override {}

 private:
  Log& log_;
  bool running_ = false;
};

class FakeSystem final : public FrameSystem {
 public:
  explicit FakeSystem(Log& log) : log_(log) {}
  std::vector<std::pair<int, int>> hotKeys;
  bool RegisterDeviceNotifications(std::shared_ptr<OS::MessageTarget>) override {
    log_.push_back("hot-plug on");
    return true;
  }
  void UnregisterDeviceNotifications() override { log_.push_back("hot-plug off"); }
  bool RegisterHotKey(std::shared_ptr<OS::MessageTarget>, int id, int key) override {
    hotKeys.emplace_back(id, key);
    return true;
  }
  void UnregisterHotKey(int id) override {
    if (id == IDHOT_F1) log_.push_back("hot keys off");
  }

 private:
  Log& log_;
};

class FakeHost final : public FrameHost {
 public:
  explicit FakeHost(Log& log) : log_(log) {}
  bool saveResult = true;
  bool sequenceChanged = false;
  bool settingsImported = false;
  bool SaveExperiment() override {
    log_.push_back("save experiment");
    return saveResult;
  }
  bool SequenceChanged() override { return sequenceChanged; }
  bool SaveSequence() override {
    log_.push_back("save sequence");
    return true;
  }
  bool SettingsImported() override { return settingsImported; }
  void SaveConfiguration() override { log_.push_back("save configuration"); }
  bool CheckForUpdatesAtStartup() override {
    ++updateChecks;
    return true;
  }
  int updateChecks = 0;

 private:
  Log& log_;
};

struct MainFrameTest : ::testing::Test {
  SandboxedHome home;
  Configuration config;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  Log log;
  FakeInstruments instruments{log};
  FakePanes panes{config, log};
  FakeSampling sampling{log};
  FakeSystem system{log};
  FakeHost host{log};
  CameraDetection cameras;

  std::unique_ptr<CMainFrame> Make(Shell::TraceGlue* glue = nullptr) {
    MainFrameServices services{config,   experiment, instruments, panes,
                               sampling, system,     host,        [this] { return cameras; }};
    services.glue = glue;
    return std::make_unique<CMainFrame>(services);
  }
  static CameraDetection Cameras(int kind, int count) {
    CameraDetection d;
    d.cameraKind = kind;
    d.cameraCount = count;
    for (int i = 0; i < count; ++i) d.deviceNames.push_back("cam " + std::to_string(i));
    return d;
  }
};

}  // namespace ORV::Test

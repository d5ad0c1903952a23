#pragma once
// The whole program, offscreen, on the simulated lab with four cameras, for
// the benchmarks that run it as a user would: private settings and data
// folders, the program started and its start-up finished, every camera
// capturing and measuring one zone, four live trace windows on request, and
// a data collection started and stopped without saving.
//
// Everything here runs on the user-interface thread.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/session.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/folders.h"
#include "platform/ui/app_services.h"
#include "platform/ui/document_area.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "shell/app/pelmora_app.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/main_frame.h"
#include "shell/frame_plan.h"
#include "shell/program/program.h"
#include "shell/program/simulated_lab_choice.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_pane.h"
#include "views/ui/trace_view_window.h"
#include "wall_clock_counters.h"

namespace ORV::Bench {

inline constexpr int kLabCameras = 4;

// Runs the event loop for `ms` milliseconds.
inline void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs the event loop until `done` says so; false after `limitMs`.
inline bool RunUntil(const std::function<bool()>& done, int limitMs) {
  const double end = WallSeconds() + limitMs / 1000.0;
  while (!done()) {
    if (WallSeconds() > end) return false;
    RunFor(20);
  }
  return true;
}

// Private settings, data and runtime folders, so the benchmark never meets
// the user's own program; the folder and all it holds are removed at the end.
struct Sandbox {
  Sandbox() : root(OS::MakePrivateWorkingDir("orv-bench-")) {
    if (root.empty()) return;
    const std::pair<const char*, const char*> folders[] = {{"HOME", "/home"},
                                                           {"XDG_CONFIG_HOME", "/config"},
                                                           {"XDG_DATA_HOME", "/data"},
                                                           {"XDG_STATE_HOME", "/state"},
                                                           {"XDG_RUNTIME_DIR", "/runtime"}};
    for (const auto& [variable, folder] : folders) {
      const std::string path = root + folder;
      OS::EnsureDir(path, 0700);
      setenv(variable, path.c_str(), 1);
    }
  }
  ~Sandbox() { OS::RemoveTree(root); }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  const std::string root;
};

// The environment of the simulated lab with four cameras at 30 frames a
// second, offscreen unless a display is asked for; before the application
// is made.
inline void SetLabEnvironment() {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", std::to_string(kLabCameras).c_str(), 1);
  setenv("ORV_SIMLAB_VESSEL", "live", 1);  // the plain picture, so the figures compare with earlier runs
  setenv("ORV_SIMLAB_FPS", "30", 1);
}

// The program's names and application services, once the application is
// made, and the simulated lab, as the program starts it; the lab must be
// kept until the program's objects are gone.
[[nodiscard]] inline std::shared_ptr<Sim::SimLab> InitLabApplication() {
  QApplication::setApplicationName(QStringLiteral("Tarvix 5"));
  QApplication::setOrganizationName(QStringLiteral("Orvanta"));
  UI::InitApplicationServices();
  return Shell::StartSimulatedLabWhenAsked();
}

// The first widget of type T inside `parent` (the views have no meta-object
// of their own, so Qt's own search cannot tell them apart).
template <class T>
T* FindWidget(QWidget& parent) {
  for (QWidget* widget : parent.findChildren<QWidget*>())
    if (auto* found = dynamic_cast<T*>(widget)) return found;
  return nullptr;
}

inline std::vector<Views::TraceViewWindow*> TraceWindows(CMainFrame& frame) {
  std::vector<Views::TraceViewWindow*> windows;
  if (frame.Documents() == nullptr) return windows;
  for (UI::CChildFrame* child : frame.Documents()->Frames())
    if (auto* window = FindWidget<Views::TraceViewWindow>(*child)) windows.push_back(window);
  return windows;
}

class ProgramOnLab {
 public:
  ProgramOnLab() {
    Shell::AppOptions options;
    options.eventLog = &log_;
    options.endProcess = [](int) {};
    program_ = std::make_unique<ORV::Program>(std::move(options));
    app_ = &program_->App();
  }
  ~ProgramOnLab() { Close(); }
  ProgramOnLab(const ProgramOnLab&) = delete;
  ProgramOnLab& operator=(const ProgramOnLab&) = delete;

  // Starts the program, waits for its start-up, lets every camera capture
  // and draws one zone on each. Empty when all of it came about, else what
  // did not.
  std::string Start() {
    if (!app_->InitInstance()) return "the program did not start";
    started_ = true;
    frame_ = dynamic_cast<CMainFrame*>(app_->MainWindow());
    if (frame_ == nullptr || frame_->CameraCount() != kLabCameras) return "the lab's four cameras were not found";
    frame_->resize(1600, 1000);
    if (!RunUntil([&] { return frame_->StartupChainDone(); }, 60000)) return "the program's start-up did not finish";

    auto* cameraPane = dynamic_cast<Video::CCameraPane*>(frame_->PaneOf(PaneKind::CameraPane));
    for (int camera = kLabCameras - 1; camera >= 0; --camera) {
      frame_->AttachCameraPane(camera);
      if (cameraPane && !frame_->CameraWindows()[camera]->IsCapturing()) cameraPane->CaptureButton()->click();
    }
    for (CameraWindow* window : frame_->CameraWindows()) {
      auto* wnd = dynamic_cast<FrameCameraWnd*>(window);
      if (wnd == nullptr) continue;
      if (!RunUntil([&] { return wnd->Model().VideoWidth() > 0 && wnd->ControlWidget()->width() > 100; }, 60000))
        return "a camera showed no picture";
      QWidget* video = wnd->ControlWidget();
      ORV::Test::DragOnControl(video, {video->width() * 0.06, video->height() * 0.4},
                               {video->width() * 0.94, video->height() * 0.55});
      if (!RunUntil([&] { return wnd->Model().ZoneCount() > 0; }, 10000))
        return "a camera's measuring zone was not drawn";
    }
    return {};
  }

  // Opens four live trace windows, side by side: the vessel diameters of
  // cameras 0 and 1, the inlet and the outlet pressure. The windows that
  // start-up reopened stay and are not among those returned.
  std::vector<Views::TraceViewWindow*> OpenTraceWindows() {
    const std::size_t before = TraceWindows(*frame_).size();
    for (int i = 0; i < 4; ++i) frame_->Router().Execute(Shell::ID_FILE_NEW);
    std::vector<Views::TraceViewWindow*> windows = TraceWindows(*frame_);
    windows.erase(windows.begin(), windows.begin() + static_cast<std::ptrdiff_t>(std::min(before, windows.size())));
    const int kinds[] = {kTraceVesselDiameter, kTraceVesselDiameter, kTraceInlet, kTraceOutlet};
    for (std::size_t i = 0; i < windows.size() && i < 4; ++i) {
      if (i == 1) windows[i]->View().OnSelectCamera(1);
      windows[i]->View().OnShowTraceKind(kinds[i]);
    }
    if (UI::DocumentArea* area = frame_->Documents()) {
      area->setViewMode(QMdiArea::SubWindowView);
      area->tileSubWindows();
    }
    return windows;
  }

  // Starts a data collection, with the cameras' video recorded or not.
  void StartCollection(bool video) {
    boxes_.Answer(video ? UI::IDYES : UI::IDNO);
    frame_->Router().Execute(ID_START_STOP_BUTTON);
  }
  bool Collecting() const { return program_->Experiment().mode == kModeLive; }

  // Stops a collection without saving it, then closes the program.
  void Close() {
    if (!started_) return;
    started_ = false;
    if (frame_ != nullptr) {
      if (Collecting()) {
        boxes_.Answer(UI::IDYES);
        frame_->Router().Execute(ID_START_STOP_BUTTON);
      }
      program_->Experiment().modified = false;
      frame_->close();
    }
    app_->ExitInstance(0);
  }

  CMainFrame& Frame() { return *frame_; }
  ExperimentData& Experiment() { return program_->Experiment(); }

 private:
  UI::ScriptedMessageBoxes boxes_;
  OS::MemoryEventLogBackend log_;
  std::unique_ptr<ORV::Program> program_;
  Shell::CPelmoraApp* app_ = nullptr;
  CMainFrame* frame_ = nullptr;
  bool started_ = false;
};

}  // namespace ORV::Bench

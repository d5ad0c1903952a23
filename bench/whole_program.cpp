// The whole program under load, offscreen, on the simulated lab: four
// cameras at 30 frames a second, each with a measuring zone, a running
// collection and four live trace windows (two vessel diameters, the inlet
// and outlet pressures). Two figures over a minute of steady running:
//   - cpu_cores: the process's CPU time (user and system, every thread) over
//     the wall time; target under 1;
//   - latency_median_ms: on the two pressure traces, the time from a
//     sample's arrival at the experiment record's receivers to the first
//     paint of its graph that shows it as the newest point; target 100 ms.
// ORV_BENCH_SECONDS changes the minute (for a quick look).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/session.h"
#include "core/storage/relative_time.h"
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
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_pane.h"
#include "views/ui/trace_view_window.h"

namespace {

using namespace ORV;

constexpr int kCameras = 4;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double WallSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Runs the event loop for `ms` milliseconds.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool RunUntil(const std::function<bool()>& done, int limitMs) {
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

// Notes when each pressure sample reaches the experiment record's receivers
// (its arrival), by its stamp. Any thread.
class Arrivals final : public PressureDataConsumer {
 public:
  void OnPressureData(const PMK4xData3& sample) override {
    std::lock_guard lock(mutex_);
    at_[sample.time] = WallSeconds();
    while (at_.size() > 4096) at_.erase(at_.begin());
  }
  std::optional<double> When(std::uint32_t stamp) {
    std::lock_guard lock(mutex_);
    const auto found = at_.find(stamp);
    if (found == at_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, double> at_;
};

// Sees every paint of a trace window's graph and notes how old the newest
// point the view has plotted is, when it is newer than at the last paint.
class PaintWatch final : public QObject {
 public:
  PaintWatch(Views::TraceViewWindow& window, Arrivals& arrivals, std::vector<double>& ages)
      : window_(window), arrivals_(arrivals), ages_(ages) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && measuring) {
      ++paints;
      const double shown = window_.View().CurrentTime();
      if (shown > lastShown_) {
        lastShown_ = shown;
        // The newest point plotted is the sample with this stamp.
        const auto stamp = static_cast<std::uint32_t>(std::llround(window_.View().StartTime() + shown * 1000.0));
        if (const std::optional<double> arrived = arrivals_.When(stamp))
          ages_.push_back((WallSeconds() - *arrived) * 1000.0);
      }
    }
    return QObject::eventFilter(watched, event);
  }
  bool measuring = false;
  int paints = 0;

 private:
  Views::TraceViewWindow& window_;
  Arrivals& arrivals_;
  std::vector<double>& ages_;
  double lastShown_ = 0.0;
};

// The first widget of type T inside `parent` (the views have no meta-object
// of their own, so Qt's own search cannot tell them apart).
template <class T>
T* FindWidget(QWidget& parent) {
  for (QWidget* widget : parent.findChildren<QWidget*>())
    if (auto* found = dynamic_cast<T*>(widget)) return found;
  return nullptr;
}

std::vector<Views::TraceViewWindow*> TraceWindows(CMainFrame& frame) {
  std::vector<Views::TraceViewWindow*> windows;
  if (frame.Documents() == nullptr) return windows;
  for (UI::CChildFrame* child : frame.Documents()->Frames())
    if (auto* window = FindWidget<Views::TraceViewWindow>(*child)) windows.push_back(window);
  return windows;
}

void BM_WholeProgramFourCamerasFourTraces(benchmark::State& state) {
  const char* seconds = std::getenv("ORV_BENCH_SECONDS");
  const int measureMs = (seconds != nullptr && std::atoi(seconds) > 0 ? std::atoi(seconds) : 60) * 1000;

  UI::ScriptedMessageBoxes boxes;
  OS::MemoryEventLogBackend log;
  Shell::AppOptions options;
  options.eventLog = &log;
  options.frameFactory = MakeMainAppFrame;
  options.glueHost = MakeProgramGlueHost;
  options.endProcess = [](int) {};
  Shell::CPelmoraApp app(std::move(options));
  if (!app.InitInstance()) {
    state.SkipWithError("the program did not start");
    return;
  }
  auto* frame = dynamic_cast<CMainFrame*>(app.MainWindow());
  ExperimentData& experiment = Session::Instance().Experiment();
  if (frame == nullptr || frame->CameraCount() != kCameras) {
    state.SkipWithError("the lab's four cameras were not found");
    app.ExitInstance(0);
    return;
  }
  // A step that does not come about ends the run as a failed start-up does.
  const auto giveUp = [&](const char* why) {
    state.SkipWithError(why);
    app.ExitInstance(0);
  };
  frame->resize(1600, 1000);
  if (!RunUntil([&] { return frame->StartupChainDone(); }, 60000)) {
    giveUp("the program's start-up did not finish");
    return;
  }

  // Every camera captures and measures one zone.
  auto* cameraPane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
  for (int camera = kCameras - 1; camera >= 0; --camera) {
    frame->AttachCameraPane(camera);
    if (cameraPane && !frame->CameraWindows()[camera]->IsCapturing()) cameraPane->CaptureButton()->click();
  }
  for (CameraWindow* window : frame->CameraWindows()) {
    auto* wnd = dynamic_cast<FrameCameraWnd*>(window);
    if (wnd == nullptr) continue;
    if (!RunUntil([&] { return wnd->Model().VideoWidth() > 0 && wnd->ControlWidget()->width() > 100; }, 60000)) {
      giveUp("a camera showed no picture");
      return;
    }
    QWidget* video = wnd->ControlWidget();
    ORV::Test::DragOnControl(video, {video->width() * 0.06, video->height() * 0.4},
                             {video->width() * 0.94, video->height() * 0.55});
    if (!RunUntil([&] { return wnd->Model().ZoneCount() > 0; }, 10000)) {
      giveUp("a camera's measuring zone was not drawn");
      return;
    }
  }

  // A collection without video recording, and four live traces.
  boxes.Answer(UI::IDNO);
  frame->Router().Execute(ID_START_STOP_BUTTON);
  // The views of the last run that start-up reopened stay; the four new
  // ones are the last four.
  const std::size_t before = TraceWindows(*frame).size();
  for (int i = 0; i < 4; ++i) frame->Router().Execute(Shell::ID_FILE_NEW);
  std::vector<Views::TraceViewWindow*> windows = TraceWindows(*frame);
  windows.erase(windows.begin(), windows.begin() + static_cast<std::ptrdiff_t>(std::min(before, windows.size())));
  const int kinds[] = {kTraceVesselDiameter, kTraceVesselDiameter, kTraceInlet, kTraceOutlet};
  // The latency is taken on the pressure traces, whose samples carry their
  // stamps to the view unchanged.
  std::vector<double> ages;
  Arrivals arrivals;
  const ScopedRegistration arrivalsRegistered = experiment.RegisterPressureConsumer(&arrivals);
  std::vector<std::unique_ptr<PaintWatch>> watches;
  for (std::size_t i = 0; i < windows.size() && i < 4; ++i) {
    if (i == 1) windows[i]->View().OnSelectCamera(1);
    windows[i]->View().OnShowTraceKind(kinds[i]);
    if (QWidget* graph = windows[i]->GraphWidget(); graph && kinds[i] >= kTraceInlet) {
      watches.push_back(std::make_unique<PaintWatch>(*windows[i], arrivals, ages));
      graph->installEventFilter(watches.back().get());
    }
  }
  // All four on screen at once, side by side.
  if (UI::DocumentArea* area = frame->Documents()) {
    area->setViewMode(QMdiArea::SubWindowView);
    area->tileSubWindows();
  }
  // Each new-window command opens one trace window; the latency is taken
  // on the graphs of the last two (the pressures).
  if (windows.size() < 4 || watches.size() < 2)
    std::cerr << "note: " << windows.size() << " of the four trace windows opened; the paint latency is taken on "
              << watches.size() << " of the two pressure graphs\n";

  // Warm up, then measure.
  RunFor(5000);
  for (auto& watch : watches) watch->measuring = true;
  double cpu = 0.0, wall = 0.0;
  for (auto _ : state) {
    const double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    RunFor(measureMs);
    cpu = CpuSeconds() - cpu0;
    wall = WallSeconds() - wall0;
    state.SetIterationTime(wall);
  }
  for (auto& watch : watches) watch->measuring = false;

  state.counters["cpu_cores"] = wall > 0 ? cpu / wall : 0.0;
  double median = -1.0;
  if (!ages.empty()) {
    std::sort(ages.begin(), ages.end());
    median = ages[ages.size() / 2];
  }
  state.counters["latency_median_ms"] = median;
  state.counters["latency_paints"] = static_cast<double>(ages.size());
  state.counters["trace_windows"] = static_cast<double>(windows.size());
  int paints = 0;
  for (auto& watch : watches) paints += watch->paints;
  state.counters["graph_paints"] = paints;
  if (!windows.empty()) state.counters["view0_time"] = windows.front()->View().CurrentTime();
  state.counters["zone_records_cam0"] =
      static_cast<double>(experiment.Read([](const ExperimentContents& c) { return c.zoneData[0].size(); }));

  // Stop without saving, then close.
  boxes.Answer(UI::IDYES);
  frame->Router().Execute(ID_START_STOP_BUTTON);
  experiment.modified = false;
  frame->close();
  app.ExitInstance(0);
}
BENCHMARK(BM_WholeProgramFourCamerasFourTraces)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  // Made before the application and removed after it is gone.
  const Sandbox sandbox;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", "4", 1);
  setenv("ORV_SIMLAB_VESSEL", "live", 1);  // the plain picture, so the figures compare with earlier runs
  setenv("ORV_SIMLAB_FPS", "30", 1);
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvix 5"));
  QApplication::setOrganizationName(QStringLiteral("Orvanta"));
  UI::InitApplicationServices();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

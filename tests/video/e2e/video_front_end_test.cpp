// The video front end end to end on the simulated lab: a vessel camera
// captured by the real analysis control inside a camera window, two zones
// drawn across the vessel, calibrated zone records in the zone-data queue
// compared with the vessel the simulator drew, then a recording made through
// the window and replayed in the video pane, whose measurements must be the
// live ones.
//
// The lab runs inside the control's library and starts once per process
// with the settings of the environment, so each vessel is a test of its own
// (CTest runs every test in its own process).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/experiment/zone_data_queue.h"
#include "platform/com/control.h"
#include "platform/os/registry_store.h"
#include "platform/sim/sim_lab.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_wnd.h"
#include "video/ui/video_pane.h"

namespace ORV::Video {
namespace {

namespace D = AnalysisView::Dispid;
namespace fs = std::filesystem;

constexpr float kCalibration = 0.5f;  // um per pixel
constexpr const char* kControlLibrary = ORV_ANALYSIS_CONTROL_DIR "/libORVAnalysisView3.so";
constexpr int kCameraWidth = 1280, kCameraHeight = 960;
constexpr int kZones = 2;
// Frames compared live, and frames recorded.
constexpr std::size_t kLiveRecords = 45;
constexpr std::size_t kRecordedRecords = 30;
// A guard against a hang, not a timing check.
constexpr int kWaitLimitMs = 120000;

// The outer diameter of zone `z` of a record, in micrometres.
double OuterDiameter(const ZoneData& r, std::size_t z) { return double(r.outerRight[z]) - double(r.outerLeft[z]); }

// Starts this process's simulated lab with one camera showing `vessel`;
// false when the lab was started with another vessel already (the test
// binary run by hand rather than through CTest).
bool UseLab(const char* vessel) {
  static std::string started;
  if (!started.empty()) return started == vessel;
  started = vessel;
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", "1", 1);
  setenv("ORV_SIMLAB_VESSEL", vessel, 1);
  ORV::Test::ProcessLab();
  return true;
}

// The outer diameter, in pixels, that the lab's first camera draws for the
// still vessel: its frames' truth, counted as the wall search counts edges.
int TruthDiameterPixels(Sim::LabVessel vessel) {
  auto preparation =
      std::make_shared<Sim::Preparation>(Sim::Preparation::SteadyClock(), Sim::LabPreparationModel(vessel));
  Sim::VesselCamera camera(preparation, Sim::LabCameraOptions(vessel, 0));
  Sim::VesselFrame frame;
  EXPECT_EQ(camera.Grab(0, frame), Sim::GrabResult::Frame);
  return frame.truth.outerRight - frame.truth.outerLeft;
}

// Takes every record of camera 0's pending queue.
std::vector<ZoneData> TakePending(ZoneDataHolderQueue& queue) {
  std::lock_guard lock(queue.mutex);
  auto& pending = queue.batches[0].pending;
  std::vector<ZoneData> records(pending.begin(), pending.end());
  pending.clear();
  return records;
}

std::size_t PendingCount(ZoneDataHolderQueue& queue) {
  std::lock_guard lock(queue.mutex);
  return queue.batches[0].pending.size();
}

class VideoFrontEndTest : public testing::Test {
 protected:
  void SetUp() override {
    config_.Calibration[0] = kCalibration;
    config_.ExperimentValues[0] = -1.0f;
    config_.BackupBufferDir = backupBase_.path();
    config_.RunningBackupDirectory = "run";
    fs::create_directories(fs::path(backupBase_.path()) / "run");
    experiment_.SetClock(clock_);
  }

  // The control library's task threads linger a while after its last
  // control has gone, and it cannot be unloaded meanwhile; the test waits
  // until it could be, so that none of them is left when the process ends.
  void TearDown() override {
    window_.reset();
    void* library = dlopen(kControlLibrary, RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) return;
    const auto canUnload = reinterpret_cast<Com::CanUnloadNowFn>(dlsym(library, Com::kCanUnloadNowEntry));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return canUnload() != 0; }, kWaitLimitMs));
    dlclose(library);
  }

  // Opens the camera window on the lab's camera, captures it and draws
  // two zones across the vessel.
  CameraWnd& CaptureWithZones() {
    CameraWndSetup setup;
    setup.experiment = &experiment_;
    setup.queue = queue_;
    setup.factory = &factory_;
    setup.hooks.videoRecordingOn = [] { return true; };
    setup.hooks.freeBytes = [](const std::string&) { return std::optional<std::uint64_t>(std::uint64_t{1} << 40); };
    window_ = std::make_unique<CameraWnd>(*experiment_.configuration, std::move(setup));
    CameraWnd* w = window_.get();
    w->resize(1000, 330);
    EXPECT_EQ(w->Create(), 0);
    w->show();
    const Com::Dispatcher control = w->Control();
    control.Invoke(D::SetMaxZones, std::int16_t{4});
    EXPECT_EQ(control.Invoke<std::uint32_t>(D::GetCameraCount), 1u);
    std::string name;
    control.Invoke(D::GetCameraName, std::int32_t{0}, &name);
    EXPECT_EQ(control.Invoke<std::int16_t>(D::StartCapture, name), 1) << name;
    w->SetCameraCaption(QString::fromStdString(name));
    // As the main frame does with the cameras it found.
    experiment_.AddCamera(name);
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w->Model().VideoWidth() > 0; }, kWaitLimitMs));

    QWidget* video = w->ControlWidget();
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return video->width() > 100; }, kWaitLimitMs));
    const double vw = video->width(), vh = video->height();
    for (double top : {0.2, 0.6}) {
      const int before = w->Model().ZoneCount();
      ORV::Test::DragOnControl(video, {vw * 0.06, vh * top}, {vw * 0.94, vh * (top + 0.15)});
      EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w->Model().ZoneCount() > before; }, kWaitLimitMs));
    }
    EXPECT_EQ(w->Model().ZoneCount(), kZones);
    // The records of frames analysed while the zones were drawn go: their
    // histories were still filling.
    WaitForRecords(5);
    TakePending(*queue_);
    return *w;
  }

  void WaitForRecords(std::size_t count) {
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return PendingCount(*queue_) >= count; }, kWaitLimitMs))
        << PendingCount(*queue_) << " of " << count << " records";
  }

  // Records while `count` more records arrive; the live records of that time.
  std::vector<ZoneData> Record(CameraWnd& w, std::size_t count) {
    TakePending(*queue_);
    clock_.running = true;
    w.StartRecording();
    EXPECT_GE(w.Control().Invoke<std::int16_t>(D::IsRecording), 1);
    WaitForRecords(count);
    w.StopRecording();
    clock_.running = false;
    return TakePending(*queue_);
  }

  // The experiment saved with its video as "<folder>/exp.tvx" and opened
  // again from that file.
  std::unique_ptr<ExperimentData> SavedAndOpened(const ORV::Test::TempDir& folder) {
    const std::string file = folder / "exp.tvx";
    const ExperimentFileContext context{ORV::Test::SharedClock()};
    EXPECT_EQ(SaveExperiment(experiment_, file, "exp.tvx", true, {}, context), 1);
    auto opened = std::make_unique<ExperimentData>(ORV::Test::SharedConfiguration(), ORV::Test::SharedClock());
    EXPECT_EQ(OpenExperiment(*opened, file, context), kOpenCurrentVersion);
    return opened;
  }

  // The outer diameters of the records' zones, checking that every record
  // carries both zones.
  static std::vector<double> Diameters(const std::vector<ZoneData>& records) {
    std::vector<double> diameters;
    for (const ZoneData& r : records) {
      EXPECT_EQ(r.zoneCount, kZones);
      EXPECT_EQ(r.valid, 1u);
      for (std::size_t z = 0; z < kZones; ++z) diameters.push_back(OuterDiameter(r, z));
    }
    return diameters;
  }

  // What a run on one vessel measured: the truth (µm), the diameters of the
  // queued records while only capturing, and those of the replay.
  struct Run {
    double truth = 0.0;
    std::vector<double> live;
    std::vector<double> replayed;
  };

  // Captures the lab's vessel with two zones, records, saves, opens and
  // replays the recording.
  Run CaptureRecordAndReplay(Sim::LabVessel vessel, const std::string& artifact) {
    Run run;
    run.truth = TruthDiameterPixels(vessel) * double(kCalibration);
    CameraWnd& w = CaptureWithZones();
    WaitForRecords(kLiveRecords);
    run.live = Diameters(TakePending(*queue_));
    const std::vector<ZoneData> recordedLive = Record(w, kRecordedRecords);
    w.Control().Invoke(D::StopCapture);
    ORV::Test::TempDir folder;
    std::unique_ptr<ExperimentData> opened = SavedAndOpened(folder);
    run.replayed = Replay(*opened, recordedLive, artifact);
    return run;
  }

  // Replays the recording in the video pane, its image window one window
  // pixel per camera pixel: one frame per analysis record, and on every
  // frame both zones' outer edges, measured with the pane's measuring line,
  // give a diameter the live queue carried while recording. Returns the
  // replayed diameters.
  std::vector<double> Replay(ExperimentData& opened, const std::vector<ZoneData>& live, const std::string& artifact) {
    std::set<double> liveDiameters[kZones];
    for (const ZoneData& r : live)
      for (std::size_t z = 0; z < kZones; ++z) liveDiameters[z].insert(OuterDiameter(r, z));

    CVideoPane pane(opened, config_, 0);
    EXPECT_EQ(pane.Create(), 0);
    pane.resize(1320, 1010);
    pane.show();
    EXPECT_TRUE(pane.LoadVideo());
    VideoPaneImages& images = pane.Images();
    const VideoPaneModel& model = images.Model();
    EXPECT_EQ(model.VideoWidth() * int(model.ScaleFactor()), kCameraWidth);
    images.resize(kCameraWidth, kCameraHeight);
    const std::size_t records = opened.Read([](const ExperimentContents& c) { return c.analysisData[0].size(); });
    // The n-th analysis record belongs to the n-th frame.
    EXPECT_EQ(std::size_t(model.FrameCount()), records);
    EXPECT_GE(records, kRecordedRecords / 2);

    std::vector<double> diameters;
    // The last record stands for the frame being analysed as the file was
    // read; the frames before it are the recording.
    for (int frame = 0; frame + 1 < model.FrameCount(); ++frame) {
      images.ShowFrameAt(std::uint32_t(frame), false);
      EXPECT_TRUE(model.FrameValid()) << frame;
      const std::vector<ZoneOverlay> zones = model.Zones();
      EXPECT_EQ(zones.size(), std::size_t(kZones)) << frame;
      for (std::size_t z = 0; z < zones.size() && z < kZones; ++z) {
        const ZoneOverlay& o = zones[z];
        const int y = int(std::lround((o.top + o.bottom) / 2));
        const double d = model.MeasuredLength(int(std::lround(o.outerLeft)), y, int(std::lround(o.outerRight)), y);
        diameters.push_back(d);
        EXPECT_TRUE(liveDiameters[z].count(d)) << "frame " << frame << " zone " << z + 1 << ": " << d << " um";
      }
    }

    // The measuring line drawn with the mouse across zone 1's outer edges
    // of the first frame, added to the data pad through its label.
    images.ShowFrameAt(0, false);
    const ZoneOverlay o = model.Zones().at(0);
    const int y = int(std::lround((o.top + o.bottom) / 2));
    auto mouse = [&images](QEvent::Type type, int x, int at) {
      const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
      QMouseEvent e(type, QPointF(x, at), images.mapToGlobal(QPointF(x, at)), Qt::LeftButton, held, Qt::NoModifier);
      QCoreApplication::sendEvent(&images, &e);
    };
    mouse(QEvent::MouseButtonPress, int(std::lround(o.outerLeft)), y);
    mouse(QEvent::MouseMove, int(std::lround(o.outerRight)), y);
    mouse(QEvent::MouseButtonRelease, int(std::lround(o.outerRight)), y);
    ORV::Test::SaveUiArtifact(pane, artifact);
    images.askLabel = [](double, float) { return std::optional<std::string>("outer diameter"); };
    const PaneRect label = model.LabelRect();
    mouse(QEvent::MouseButtonPress, label.left + 2, label.top + 2);
    mouse(QEvent::MouseButtonRelease, label.left + 2, label.top + 2);
    const auto samples = opened.DataPad().Samples();
    EXPECT_EQ(samples.size(), 1u);
    if (!samples.empty() && !diameters.empty()) {
      EXPECT_EQ(samples[0].value, diameters[0]);
    }
    return diameters;
  }

  ORV::Test::SandboxedHome home_;
  ORV::Test::TempDir backupBase_;
  OS::RegistryStore store_;
  const Com::ControlFactory factory_{store_, {ORV_ANALYSIS_CONTROL_DIR}};
  ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  Configuration& config_ = *experiment_.configuration;
  ORV::Test::TestClock clock_;
  std::shared_ptr<ZoneDataHolderQueue> queue_ = std::make_shared<ZoneDataHolderQueue>();
  std::unique_ptr<CameraWnd> window_;
};

// The share of `diameters` within half a micrometre of `truth`.
double ShareWithinHalfMicron(const std::vector<double>& diameters, double truth) {
  const auto within =
      std::count_if(diameters.begin(), diameters.end(), [truth](double d) { return std::abs(d - truth) <= 0.5; });
  return diameters.empty() ? 0.0 : double(within) / double(diameters.size());
}

TEST_F(VideoFrontEndTest, ExactVesselIsMeasuredExactlyLiveAndInTheReplayedRecording) {
  if (!UseLab("exact")) GTEST_SKIP() << "this process's simulated lab shows another vessel; run the test alone";
  const Run run = CaptureRecordAndReplay(Sim::LabVessel::kExact, "video_front_end_exact_replay");
  EXPECT_GE(run.live.size(), kLiveRecords * kZones);
  for (double d : run.live) EXPECT_EQ(d, run.truth);
  for (double d : run.replayed) EXPECT_EQ(d, run.truth);
}

TEST_F(VideoFrontEndTest, RealisticVesselIsMeasuredWithinHalfAMicronLiveAndInTheReplayedRecording) {
  if (!UseLab("still")) GTEST_SKIP() << "this process's simulated lab shows another vessel; run the test alone";
  const Run run = CaptureRecordAndReplay(Sim::LabVessel::kStill, "video_front_end_realistic_replay");
  EXPECT_GE(run.live.size(), kLiveRecords * kZones);
  EXPECT_GE(ShareWithinHalfMicron(run.live, run.truth), 0.95) << "truth " << run.truth << " um";
  EXPECT_GE(ShareWithinHalfMicron(run.replayed, run.truth), 0.95) << "truth " << run.truth << " um";
}

}  // namespace
}  // namespace ORV::Video

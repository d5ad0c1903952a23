// The camera window with the real analysis control capturing a camera of the
// simulated lab: zones drawn with the mouse, calibrated zone records in the
// camera's queue, the profile panels, and renders of it all.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QSlider>
#include <cstdlib>
#include <string>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/zone_data_queue.h"
#include "platform/os/registry_store.h"
#include "platform/sim/sim_lab.h"
#include "platform/ui/pane_manager.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_wnd.h"

namespace ORV::Video {
namespace {

namespace D = AnalysisView::Dispid;

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

// What a camera window on the simulated lab needs: a sandboxed home, the
// control's registry, an experiment with its clock (the camera calibrated
// to `micronsPerPixel`) and the zone queue.
struct LabWindowSetting {
  explicit LabWindowSetting(float micronsPerPixel) {
    experiment.SetClock(clock);
    experiment.configuration->Calibration[0] = micronsPerPixel;
  }
  CameraWndSetup Setup() {
    CameraWndSetup setup;
    setup.experiment = &experiment;
    setup.queue = queue;
    setup.factory = &factory;
    return setup;
  }
  ORV::Test::SandboxedHome home;
  OS::RegistryStore store;
  const Com::ControlFactory factory{store, {ORV_ANALYSIS_CONTROL_DIR}};
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Test::TestClock clock;
  std::shared_ptr<ZoneDataHolderQueue> queue = std::make_shared<ZoneDataHolderQueue>();
};

// Starts the window's capture of the lab's first camera; true once its
// picture has come and the control's widget has its size.
bool StartCapture(CameraWnd& w) {
  const Com::Dispatcher control = w.Control();
  std::string name;
  control.Invoke(D::GetCameraName, std::int32_t{0}, &name);
  if (control.Invoke<std::int16_t>(D::StartCapture, name) != 1) return false;
  w.SetCameraCaption(QString::fromStdString(name));
  return ORV::Test::ProcessEventsUntil([&] { return w.Model().VideoWidth() > 0 && w.ControlWidget()->width() > 100; });
}

TEST(CameraWndSimLabTest, CapturesASimulatedVesselAndQueuesCalibratedRecords) {
  if (!UseLab("live")) GTEST_SKIP() << "this process's simulated lab shows another vessel; run the test alone";
  LabWindowSetting lab(0.5f);
  const std::shared_ptr<ZoneDataHolderQueue>& queue = lab.queue;

  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    CameraWnd w(*lab.experiment.configuration, lab.Setup());
    w.resize(w.Scale(1000), w.Scale(330));
    ASSERT_EQ(w.Create(), 0);
    w.show();
    const Com::Dispatcher control = w.Control();
    control.Invoke(D::SetMaxZones, std::int16_t{4});
    ASSERT_GE(control.Invoke<std::uint32_t>(D::GetCameraCount), 1u);
    ASSERT_TRUE(StartCapture(w));

    QWidget* video = w.ControlWidget();
    const double vw = video->width(), vh = video->height();
    for (double top : {0.2, 0.6}) {
      const int before = w.Model().ZoneCount();
      ORV::Test::DragOnControl(video, {vw * 0.06, vh * top}, {vw * 0.94, vh * (top + 0.15)});
      ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w.Model().ZoneCount() > before; }));
    }
    // Records come once both zones of a frame are analysed.
    std::deque<ZoneData> records;
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] {
      std::lock_guard lock(queue->mutex);
      return queue->batches[0].pending.size() >= 5;
    }));
    {
      // Hand the newest record to the batch as the sampler does, for the panels.
      std::lock_guard lock(queue->mutex);
      ZoneDataBatch& b = queue->batches[0];
      records = b.pending;
      b.entries[0] = b.pending.back();
      b.count = 1;
      b.pending.clear();
    }
    // Both zones' column profiles reach the window's profile panels.
    ASSERT_TRUE(
        ORV::Test::ProcessEventsUntil([&] { return !w.Model().Profile(0).empty() && !w.Model().Profile(1).empty(); }));
    const ZoneData& r = records.back();
    EXPECT_EQ(r.zoneCount, 2);
    EXPECT_EQ(r.valid, 1u);
    for (std::size_t z = 0; z < 2; ++z) {
      EXPECT_GT(r.outerRight[z], r.outerLeft[z]) << z;
      EXPECT_GE(r.innerLeft[z], r.outerLeft[z]) << z;
      EXPECT_LE(r.innerRight[z], r.outerRight[z]) << z;
    }
    w.Client()->update();
    ORV::Test::ProcessEventsUntil([] { return false; }, 300);
    ORV::Test::SaveUiArtifact(w, "camera_wnd_simlab_" + std::to_string(dpi));
    control.Invoke(D::StopCapture);
  }
}

TEST(CameraWndSimLabTest, AutoThresholdMeasuresTheBrightfieldVesselAndTheSlidersShowItsCutOffs) {
  if (!UseLab("brightfield")) GTEST_SKIP() << "this process's simulated lab shows another vessel; run the test alone";
  LabWindowSetting lab(1.0f);  // the lab's brightfield camera: 1 um per pixel
  const std::shared_ptr<ZoneDataHolderQueue>& queue = lab.queue;
  CameraWnd w(*lab.experiment.configuration, lab.Setup());
  w.resize(1000, 330);
  ASSERT_EQ(w.Create(), 0);
  w.show();
  w.EnableAutoThreshold(true);
  const Com::Dispatcher control = w.Control();
  ASSERT_TRUE(StartCapture(w));
  QWidget* video = w.ControlWidget();
  // A zone across the vessel, which runs down the middle of the picture,
  // with some background on either side (a zone much wider than the vessel
  // spreads its columns so little that its lumen's level lies beyond what
  // cut-off 6.0 reaches).
  const double vw = video->width(), vh = video->height();
  ORV::Test::DragOnControl(video, {vw * 0.36, vh * 0.3}, {vw * 0.64, vh * 0.6});
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w.Model().ZoneCount() == 1; }));
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] {
    std::lock_guard lock(queue->mutex);
    return queue->batches[0].pending.size() >= 20;
  }));
  ZoneData r;
  {
    std::lock_guard lock(queue->mutex);
    r = queue->batches[0].pending.back();
  }
  // Walls and lumen, at the diameters the lab's camera draws now.
  const Sim::VesselGeometry now = ORV::Test::ProcessLab().GetPreparation()->Read().vessel;
  EXPECT_NEAR(r.outerRight[0] - r.outerLeft[0], now.outerDiameter, 3.0);
  EXPECT_NEAR(r.innerRight[0] - r.innerLeft[0], now.lumenDiameter, 3.0);
  EXPECT_GT(r.innerLeft[0], r.outerLeft[0]);
  EXPECT_LT(r.innerRight[0], r.outerRight[0]);
  // Selected, the zone's cut-off sliders come to show what it chose, disabled.
  ORV::Test::DragOnControl(video, {vw * 0.5, vh * 0.45}, {vw * 0.5, vh * 0.45});
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w.Model().SelectedZone() == 0; }));
  const auto chosen = [&w] {
    return w.Slider(SliderId::OuterCutOff)->value() != 300 && w.Slider(SliderId::InnerCutOff)->value() != 300;
  };
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil(chosen));
  EXPECT_EQ(w.Slider(SliderId::OuterCutOff)->value(),
            static_cast<int>(control.Invoke<double>(D::GetAnalysisCutOff, std::int32_t{0}) * 100));
  EXPECT_FALSE(w.Slider(SliderId::OuterCutOff)->isEnabled());
  EXPECT_FALSE(w.Slider(SliderId::InnerCutOff)->isEnabled());
  w.Client()->update();
  ORV::Test::ProcessEventsUntil([] { return false; }, 300);
  ORV::Test::SaveUiArtifact(w, "camera_wnd_simlab_brightfield");
  control.Invoke(D::StopCapture);
}

TEST(CameraWndSimLabTest, ThePictureUsesTheRoomOfALargeFrameAndTakesAZoneThere) {
  if (!UseLab("brightfield")) GTEST_SKIP() << "this process's simulated lab shows another vessel; run the test alone";
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    LabWindowSetting lab(1.0f);
    // The window docked below a frame's middle on a 2560 x 1440 screen, at
    // the size the program's frame lays camera windows out with.
    QMainWindow frame;
    frame.setCentralWidget(new QWidget(&frame));
    UI::PaneManager panes(frame);
    UI::PaneLayout layout;
    layout.defaultSize96 = layout.minimumSize96 = QSize(400, 160);
    layout.allowedSides = UI::CBRS_ALIGN_BOTTOM | UI::CBRS_ALIGN_TOP;
    layout.homeSide = UI::CBRS_ALIGN_BOTTOM;
    CameraWnd* docked = panes.Create<CameraWnd>(layout, *lab.experiment.configuration, lab.Setup());
    ASSERT_NE(docked, nullptr);
    CameraWnd& w = *docked;
    frame.resize(w.Scale(2560), w.Scale(1440));
    frame.show();
    w.EnableAutoThreshold(true);
    ASSERT_TRUE(StartCapture(w));
    // The picture grows to use the window's width, far beyond a thumbnail
    // (a 160-high window showed it at about 175 x 130).
    QWidget* video = w.ControlWidget();
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return video->height() >= w.Scale(400); }))
        << video->width() << " x " << video->height();
    EXPECT_LE(w.height(), frame.height() / 2) << "the frame's middle keeps its room";
    // A zone drawn across the vessel on it is measured.
    const double vw = video->width(), vh = video->height();
    ORV::Test::DragOnControl(video, {vw * 0.36, vh * 0.3}, {vw * 0.64, vh * 0.6});
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w.Model().ZoneCount() == 1; }));
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] {
      std::lock_guard lock(lab.queue->mutex);
      const std::deque<ZoneData>& pending = lab.queue->batches[0].pending;
      return pending.size() >= 10 && pending.back().innerRight[0] > pending.back().innerLeft[0];
    }));
    w.Client()->update();
    ORV::Test::ProcessEventsUntil([] { return false; }, 300);
    ORV::Test::SaveUiArtifact(w, "camera_wnd_simlab_large_" + std::to_string(dpi));
    w.Control().Invoke(D::StopCapture);
  }
}

}  // namespace
}  // namespace ORV::Video

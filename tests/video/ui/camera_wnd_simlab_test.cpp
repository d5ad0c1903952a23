// The camera window with the real analysis control capturing a camera of the
// simulated lab: zones drawn with the mouse, calibrated zone records in the
// camera's queue, the profile panels, and renders of it all.
#include <gtest/gtest.h>

#include <cstdlib>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/zone_data_queue.h"
#include "platform/os/registry_store.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_wnd.h"

namespace ORV::Video {
namespace {

namespace D = AnalysisView::Dispid;

TEST(CameraWndSimLabTest, CapturesASimulatedVesselAndQueuesCalibratedRecords) {
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", "1", 1);
  ORV::Test::SandboxedHome home;
  OS::RegistryStore store;
  const Com::ControlFactory factory(store, {ORV_ANALYSIS_CONTROL_DIR});
  ExperimentData experiment;
  ORV::Test::TestClock clock;
  experiment.SetClock(&clock);
  experiment.configuration->Calibration[0] = 0.5f;
  auto queue = std::make_shared<ZoneDataHolderQueue>();

  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    CameraWndSetup setup;
    setup.experiment = &experiment;
    setup.queue = queue;
    setup.factory = &factory;
    CameraWnd w(std::move(setup));
    w.resize(w.Scale(1000), w.Scale(330));
    ASSERT_EQ(w.Create(), 0);
    w.show();
    const Com::Dispatcher control = w.Control();
    control.Invoke(D::SetMaxZones, std::int16_t{4});
    ASSERT_GE(control.Invoke<std::uint32_t>(D::GetCameraCount), 1u);
    std::string name;
    control.Invoke(D::GetCameraName, std::int32_t{0}, &name);
    ASSERT_EQ(control.Invoke<std::int16_t>(D::StartCapture, name), 1) << name;
    w.SetCameraCaption(QString::fromStdString(name));
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w.Model().VideoWidth() > 0; }));

    QWidget* video = w.ControlWidget();
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return video->width() > 100; }));
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

}  // namespace
}  // namespace ORV::Video

// Auto Threshold in the whole main frame on the simulated lab's brightfield
// camera: the ribbon's switch reaches the camera window, whose zone then
// chooses its own cut-offs, and the window's cut-off sliders show, disabled,
// what the zone chose.
#include <gtest/gtest.h>

#include <QSlider>
#include <cstdlib>

#include "shell/frame/frame_cameras.h"
#include "shell/frame/frame_command_host.h"
#include "tests/shell/frame_simlab/frame_on_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_pane.h"

namespace ORV {
namespace {

namespace D = AnalysisView::Dispid;
using Video::SliderId;

TEST(AutoThresholdOnTheSimulatedLab, TheRibbonSwitchHasTheCameraZoneChooseItsCutOffs) {
  ORV::Test::SandboxedHome home;
  unsetenv("ORV_SIMLAB_VESSEL");  // the lab's default picture
  ASSERT_TRUE(ORV::Test::PrepareLab("1"));
  Configuration& configuration = ORV::Test::SharedConfiguration();
  ASSERT_FALSE(configuration.AutoThreshold);
  std::unique_ptr<CMainFrame> frame = ORV::Test::ShowFrameOnLab(1500, 940);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return frame->StartupChainDone(); }, 60000));
  ASSERT_EQ(frame->CameraWindows().size(), 1u);
  auto* window = dynamic_cast<FrameCameraWnd*>(frame->CameraWindows()[0]);
  ASSERT_NE(window, nullptr);

  UI::CommandRouter& router = frame->Router();
  ASSERT_TRUE(router.Execute(FrameCommand::kAutoThreshold));
  EXPECT_TRUE(configuration.AutoThreshold);
  router.UpdateIdle();
  EXPECT_TRUE(router.QueryState(FrameCommand::kAutoThreshold).checked);

  auto* pane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(pane->SetCameraWindow(frame->CameraCaptions()[0], window, 0));
  pane->ConnectCamera();
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return window->Model().VideoWidth() > 0; }, 60000));
  // A zone across the vessel (which runs down the middle of the picture),
  // then a click in it to select it.
  QWidget* video = window->ControlWidget();
  const double w = video->width(), h = video->height();
  ORV::Test::DragOnControl(video, {w * 0.33, h * 0.3}, {w * 0.67, h * 0.6});
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return window->Model().ZoneCount() == 1; }, 60000));
  ORV::Test::DragOnControl(video, {w * 0.5, h * 0.45}, {w * 0.5, h * 0.45});
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return window->Model().SelectedZone() == 0; }));

  // The zone chose its own cut-offs (the defaults are 3.0 and find no lumen
  // on this picture; the camera window's own tests measure the vessel with
  // them), and the window's disabled sliders show them.
  const Com::Dispatcher control = window->Control();
  const auto cutOff = [&](int dispid) { return control.Invoke<double>(dispid, std::int32_t{0}); };
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil(
      [&] { return cutOff(D::GetAnalysisCutOff) != 3.0 && cutOff(D::GetInnerAnalysisCutOff) != 3.0; }, 30000));
  const auto shown = [&](SliderId id, int dispid) {
    return window->Slider(id)->value() == static_cast<int>(cutOff(dispid) * 100);
  };
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] {
    return shown(SliderId::OuterCutOff, D::GetAnalysisCutOff) &&
           shown(SliderId::InnerCutOff, D::GetInnerAnalysisCutOff);
  }));
  EXPECT_FALSE(window->Slider(SliderId::OuterCutOff)->isEnabled());
  EXPECT_FALSE(window->Slider(SliderId::InnerCutOff)->isEnabled());
  ORV::Test::SaveUiArtifact(*frame, "main_window_auto_threshold");

  EXPECT_TRUE(frame->close());
  frame.reset();
}

}  // namespace
}  // namespace ORV

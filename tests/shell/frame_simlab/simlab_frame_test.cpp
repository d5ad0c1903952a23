// The whole main frame on the simulated lab: the instruments and cameras are
// found as hardware would be, the panes fill with live values, the camera
// windows show the vessel, and the window closes cleanly.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "instruments/ui/flow_pane.h"
#include "instruments/ui/heater_pane.h"
#include "instruments/ui/microscope_pane.h"
#include "platform/ui/icon_button.h"
#include "shell/frame/frame_cameras.h"
#include "tests/shell/frame_simlab/frame_on_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"
#include "video/ui/camera_pane.h"

namespace ORV {
namespace {

bool Filled(QLineEdit* edit) { return edit != nullptr && !edit->text().trimmed().isEmpty(); }

TEST(MainFrameOnTheSimulatedLab, ShowsLiveValuesAndCamerasThenClosesCleanly) {
  ORV::Test::SandboxedHome home;
  ASSERT_TRUE(ORV::Test::PrepareLab("2"));
  std::unique_ptr<CMainFrame> frame = ORV::Test::ShowFrameOnLab(1600, 1000);
  ASSERT_NE(frame, nullptr);

  // The lab's heat controller makes it an incubation chamber system with
  // both cameras in windows of their own.
  EXPECT_EQ(frame->ProductType(), kIncubationChamber);
  ASSERT_EQ(frame->CameraCount(), 2);
  ASSERT_EQ(frame->CameraWindows().size(), 2u);
  auto* flow = dynamic_cast<CFlowPane*>(frame->PaneOf(PaneKind::Flow));
  auto* heater = dynamic_cast<CHeaterPane*>(frame->PaneOf(PaneKind::Heater));
  auto* microscope = dynamic_cast<CMicroscopePane*>(frame->PaneOf(PaneKind::Microscope));
  ASSERT_NE(flow, nullptr);
  ASSERT_NE(heater, nullptr);
  ASSERT_NE(microscope, nullptr);
  EXPECT_NE(frame->PaneOf(PaneKind::Multi), nullptr);

  // The camera windows host the analysis control; the camera pane is bound
  // to the first and starts each camera's capture in turn.
  std::vector<FrameCameraWnd*> windows;
  for (CameraWindow* window : frame->CameraWindows()) {
    auto* wnd = dynamic_cast<FrameCameraWnd*>(window);
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(wnd->HasControl());
    windows.push_back(wnd);
  }
  auto* pane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->Model().CameraIndex(), 0);
  for (int i : {1, 0}) {
    ASSERT_TRUE(pane->SetCameraWindow(frame->CameraCaptions()[i], windows[i], i));
    pane->ConnectCamera();
    EXPECT_TRUE(windows[i]->IsCapturing()) << i;
  }
  EXPECT_EQ(pane->CaptureButton()->text(), QStringLiteral("Stop"));
  auto camerasLive = [&] {
    for (FrameCameraWnd* wnd : windows)
      if (wnd->Model().VideoWidth() <= 0) return false;
    return true;
  };
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil(
      [&] {
        return frame->StartupChainDone() && camerasLive() && Filled(flow->FlowEdit()) &&
               Filled(heater->CurrentEdit(0)) && Filled(microscope->LightEdit());
      },
      60000));
  EXPECT_TRUE(flow->isVisible());
  EXPECT_TRUE(heater->isVisible());

  ORV::Test::SaveUiArtifact(*frame, "main_window");

  EXPECT_TRUE(frame->close());
  EXPECT_TRUE(frame->IsClosed());
  frame.reset();
}

}  // namespace
}  // namespace ORV

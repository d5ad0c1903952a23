// The whole main frame on the simulated lab: the instruments and cameras are
// found as hardware would be, the panes fill with live values, the camera
// windows show the vessel, and the window closes cleanly.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <cstdlib>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "instruments/ui/flow_pane.h"
#include "instruments/ui/heater_pane.h"
#include "instruments/ui/microscope_pane.h"
#include "shell/frame/program_frame.h"
#include "shell/frame/stand_in_panes.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

bool Filled(QLineEdit* edit) { return edit != nullptr && !edit->text().trimmed().isEmpty(); }

TEST(MainFrameOnTheSimulatedLab, ShowsLiveValuesAndCamerasThenClosesCleanly) {
  ORV::Test::SandboxedHome home;
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", "2", 1);
  Configuration& configuration = Configuration::Instance();
  configuration.Load();
  ExperimentData& experiment = Session::Instance().Experiment();

  std::unique_ptr<CMainFrame> frame = CreateMainFrame(configuration, experiment, InterfaceManager::Instance());
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->resize(1500, 940);
  frame->show();

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

  auto camerasLive = [&] {
    for (CameraWindow* window : frame->CameraWindows()) {
      auto* preview = dynamic_cast<CameraPreviewWindow*>(window);
      if (preview == nullptr || preview->FramesShown() < 3) return false;
    }
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

// The ribbon commands of the whole main frame on the simulated lab: the
// update rules follow the live program (two cameras, no collection, nothing
// opened), the switches land in the configuration, and the main window is
// rendered before, between and after the commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/ribbon_bar.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/frame_command_host.h"
#include "shell/frame/program_frame.h"
#include "tests/shell/frame_simlab/frame_on_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "video/ui/camera_pane.h"
#include "video/ui/camera_wnd.h"

namespace ORV {
namespace {

using namespace FrameCommand;

// The main frame on the lab with the settings of the sandbox, shown at
// 1500 x 940 once its start-up chain has run; null (and a failure) when it
// did not come up.
std::unique_ptr<CMainFrame> StartedFrame() {
  if (!ORV::Test::PrepareLab("2")) return nullptr;
  std::unique_ptr<CMainFrame> frame = ORV::Test::ShowFrameOnLab(1500, 940);
  if (!frame) return nullptr;
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return frame->StartupChainDone(); }, 60000));
  return frame;
}

TEST(RibbonCommandsOnTheSimulatedLab, FollowTheLiveProgram) {
  ORV::Test::SandboxedHome home;
  Configuration& configuration = ORV::Test::SharedConfiguration();
  std::unique_ptr<CMainFrame> frame = StartedFrame();
  ASSERT_NE(frame, nullptr);
  ORV::Test::SaveUiArtifact(*frame, "commands_1_started");

  UI::CommandRouter& router = frame->Router();
  // Live, two cameras, nothing opened, no view yet.
  EXPECT_TRUE(router.QueryState(kCameraCombo).enabled);
  EXPECT_TRUE(router.QueryState(kRecordVideo).enabled);
  EXPECT_TRUE(router.QueryState(kRecordQuality).enabled);
  EXPECT_TRUE(router.QueryState(kPlayVideo).enabled);
  EXPECT_TRUE(router.QueryState(kFileOpen).enabled);
  EXPECT_FALSE(router.QueryState(kFileClose).enabled);
  EXPECT_FALSE(router.QueryState(kVideoPause).enabled);
  EXPECT_FALSE(router.QueryState(kDataExport).enabled);
  EXPECT_FALSE(router.QueryState(kAdvancedExport).enabled);

  const bool invert = configuration.InvertImage;
  const bool sync = configuration.SynchroniseDataCollection;
  ASSERT_TRUE(router.Execute(kInvertImage));
  ASSERT_TRUE(router.Execute(kIgnoreLumen));
  ASSERT_TRUE(router.Execute(kRecordVideo));
  EXPECT_EQ(configuration.InvertImage, !invert);
  EXPECT_TRUE(configuration.IgnoreLumen);
  EXPECT_TRUE(configuration.VideoRecordingEnabled);
  router.UpdateIdle();
  EXPECT_EQ(router.QueryState(kInvertImage).checked, !invert);
  EXPECT_TRUE(router.QueryState(kRecordVideo).checked);
  ORV::Test::ProcessEventsUntil([] { return false; }, 200);
  ORV::Test::SaveUiArtifact(*frame, "commands_2_switched");

  // The sampling restarts with the new setting and keeps the program live.
  ASSERT_TRUE(router.Execute(kSyncData));
  EXPECT_EQ(configuration.SynchroniseDataCollection, !sync);
  EXPECT_EQ(router.QueryState(kSyncData).checked, !sync) << "was " << sync;
  ASSERT_TRUE(router.Execute(kZoneBorderDefault));
  EXPECT_EQ(configuration.ZoneBorderColor, configuration.DefaultZoneColors[0]);
  EXPECT_EQ(frame->SendMessage(WM_CUSTOM_TRACES_CHANGED), 0);
  ORV::Test::ProcessEventsUntil([] { return false; }, 500);
  router.UpdateIdle();
  ORV::Test::SaveUiArtifact(*frame, "commands_3_after");

  EXPECT_TRUE(frame->close());
  frame.reset();
}

// Capture with Ctrl held on a frame grabber's source asks for its channel:
// the channel picked is the one the capture starts on and the one kept.
// The lab has no frame grabber; the camera pane is given a source of that
// name.
TEST(CameraPaneOnTheSimulatedLab, CtrlCaptureOnAFrameGrabberAsksForTheChannelAndKeepsIt) {
  ORV::Test::SandboxedHome home;
  Configuration& configuration = ORV::Test::SharedConfiguration();
  std::unique_ptr<CMainFrame> frame = StartedFrame();
  ASSERT_NE(frame, nullptr);
  auto* pane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
  auto* window = dynamic_cast<Video::CameraWnd*>(frame->CameraWindows().at(0));
  ASSERT_NE(pane, nullptr);
  ASSERT_NE(window, nullptr);

  struct Case {
    bool ctrl;
    int stored, picked, kept;
  };
  for (const Case& c : {Case{true, 1, 3, 3}, Case{false, 2, 4, 2}}) {
    SCOPED_TRACE(c.ctrl ? "with Ctrl" : "without Ctrl");
    configuration.PicoloChannel = c.stored;
    ASSERT_TRUE(pane->SetCameraWindow("Picolo Camera 1", window, 0));
    int asked = -1;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (auto* dialog = dynamic_cast<Shell::CPicoloChannelDialog*>(QApplication::activeModalWidget())) {
        asked = dialog->List()->currentIndex();
        dialog->List()->setCurrentIndex(c.picked);
        emit dialog->List()->activated(c.picked);
      }
    });
    answer.start(20);
    if (c.ctrl) QTest::keyPress(frame->windowHandle(), Qt::Key_Control, Qt::ControlModifier);
    ORV::Test::ProcessEventsUntil([] { return false; }, 50);
    pane->CaptureButton()->click();
    if (c.ctrl) QTest::keyRelease(frame->windowHandle(), Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(asked, c.ctrl ? c.stored : -1) << "the dialog opens on the stored channel";
    EXPECT_TRUE(frame->CameraWindows()[0]->IsCapturing());
    EXPECT_EQ(configuration.PicoloChannel, c.kept);
    pane->CaptureButton()->click();  // stops
    ASSERT_FALSE(frame->CameraWindows()[0]->IsCapturing());
  }
  EXPECT_TRUE(frame->close());
}

// A camera window's own Start and Stop capture (its context menu) act on
// its camera, whichever camera the camera pane drives.
TEST(CameraPaneOnTheSimulatedLab, ACameraWindowsStartAndStopCaptureActOnItsOwnCamera) {
  ORV::Test::SandboxedHome home;
  std::unique_ptr<CMainFrame> frame = StartedFrame();
  ASSERT_NE(frame, nullptr);
  const auto window = [&](int i) { return dynamic_cast<Video::CameraWnd*>(frame->CameraWindows().at(i)); };
  const auto capturing = [&](int i) { return frame->CameraWindows().at(i)->IsCapturing(); };
  frame->ConnectCamera(0, {});
  ASSERT_TRUE(capturing(0));
  ASSERT_EQ(frame->CurrentCamera(), 0);

  window(1)->Model().StartCaptureCommand();
  EXPECT_TRUE(capturing(1));
  EXPECT_TRUE(capturing(0)) << "the other camera goes on";
  EXPECT_EQ(frame->CurrentCamera(), 1) << "the pane drives the camera started";
  window(0)->Model().StopCaptureCommand();
  EXPECT_FALSE(capturing(0));
  EXPECT_TRUE(capturing(1));
  EXPECT_EQ(frame->CurrentCamera(), 0);
  EXPECT_TRUE(frame->close());
}

}  // namespace
}  // namespace ORV

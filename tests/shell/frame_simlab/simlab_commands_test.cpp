// The ribbon commands of the whole main frame on the simulated lab: the
// update rules follow the live program (two cameras, no collection, nothing
// opened), the switches land in the configuration, and the main window is
// rendered before, between and after the commands.
#include <gtest/gtest.h>

#include "platform/ui/ribbon_bar.h"
#include "shell/frame/frame_command_host.h"
#include "tests/shell/frame_simlab/frame_on_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

using namespace FrameCommand;

TEST(RibbonCommandsOnTheSimulatedLab, FollowTheLiveProgram) {
  ORV::Test::SandboxedHome home;
  ASSERT_TRUE(ORV::Test::PrepareLab("2"));
  Configuration& configuration = Configuration::Instance();
  std::unique_ptr<CMainFrame> frame = ORV::Test::ShowFrameOnLab(1500, 940);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return frame->StartupChainDone(); }, 60000));
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

}  // namespace
}  // namespace ORV

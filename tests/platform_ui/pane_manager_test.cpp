#include "platform/ui/pane_manager.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <memory>

#include "core/base/configuration.h"
#include "platform/os/folders.h"
#include "platform/ui/workspace_store.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

class TestPane : public DockingPane {
 public:
  TestPane(const Configuration& configuration, const QString& name) : DockingPane(configuration, name, name) {}
};

struct PaneRow {
  const char* name;
  PaneLayout layout;
};

// The frame's panes as the main frame makes them: the camera window, the
// camera and flow panes, and four video panes that share one id.
const std::vector<PaneRow>& FramePanes() {
  static const std::vector<PaneRow> rows = {
      {"CameraWnd0", {43268, "Image Analysis", {400, 160}, {400, 160}, false, 0xA800, CBRS_ALIGN_BOTTOM}},
      {"CameraPane", {256, "Camera", {200, 324}, {200, 324}, true, 0x5000, CBRS_ALIGN_LEFT}},
      {"FlowPane", {258, "Flow Meter", {200, 100}, {200, 100}, true, 0x4000, CBRS_ALIGN_RIGHT}},
      {"VideoPane0", {263, "Camera: 1", {200, 200}, {200, 200}, false, 0xA800, CBRS_ALIGN_BOTTOM}},
      {"VideoPane1", {263, "Camera: 2", {200, 200}, {200, 200}, false, 0xA800, CBRS_ALIGN_BOTTOM}},
      {"VideoPane2", {263, "Camera: 3", {200, 200}, {200, 200}, false, 0xA800, CBRS_ALIGN_BOTTOM}},
      {"VideoPane3", {263, "Camera: 4", {200, 200}, {200, 200}, false, 0xA800, CBRS_ALIGN_BOTTOM}},
  };
  return rows;
}

// A frame with the panes above, each at its home side.
struct Frame {
  explicit Frame(const Configuration& configuration) {
    window.setCentralWidget(new QWidget);
    window.resize(1000, 700);
    for (const PaneRow& row : FramePanes()) {
      EXPECT_NE(panes.Create<TestPane>(row.layout, configuration, QString::fromLatin1(row.name)), nullptr) << row.name;
    }
    window.show();
  }
  DockingPane& Pane(const char* name) { return *panes.FindByName(QString::fromLatin1(name)); }

  QMainWindow window;
  PaneManager panes{window};
};

class PaneManagerTest : public testing::Test {
 protected:
  std::string StoreFile() const { return home_.root() + "/registry.dat"; }

  ORV::Test::SandboxedHome home_;
  Configuration configuration_;
};

TEST_F(PaneManagerTest, PanesAreMadeWithTheirSpecAndFoundById) {
  Frame frame(configuration_);
  EXPECT_EQ(frame.panes.Panes().size(), FramePanes().size());
  EXPECT_EQ(frame.panes.FindAll(263).size(), 4u) << "the four video panes share one id";
  EXPECT_EQ(frame.panes.Find(263), &frame.Pane("VideoPane0"));
  EXPECT_EQ(frame.panes.Find(999), nullptr);

  DockingPane& camera = frame.Pane("CameraPane");
  EXPECT_EQ(camera.windowTitle(), QStringLiteral("Camera"));
  EXPECT_EQ(camera.allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  EXPECT_EQ(frame.panes.DockedSide(camera), CBRS_ALIGN_LEFT);
  EXPECT_EQ(camera.Client()->minimumSize(), QSize(200, 324));
  EXPECT_EQ(camera.Client()->maximumSize(), QSize(200, 324)) << "a fixed pane keeps its default size";
  EXPECT_EQ(frame.Pane("VideoPane1").allowedAreas(), Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);

  // A pane may dock only at its allowed sides.
  EXPECT_FALSE(frame.panes.DockToFrameWindow(frame.Pane("VideoPane1"), CBRS_ALIGN_LEFT));
  EXPECT_EQ(frame.panes.DockedSide(frame.Pane("VideoPane1")), CBRS_ALIGN_BOTTOM);
  EXPECT_TRUE(frame.panes.DockToFrameWindow(camera, CBRS_ALIGN_RIGHT));
  EXPECT_EQ(frame.panes.DockedSide(camera), CBRS_ALIGN_RIGHT);

  // The close box hides the pane and keeps it; showing brings it back.
  DockingPane& flow = frame.Pane("FlowPane");
  EXPECT_TRUE(flow.close());
  EXPECT_FALSE(frame.panes.IsPaneVisible(flow));
  EXPECT_EQ(frame.panes.FindByName(QStringLiteral("FlowPane")), &flow);
  frame.panes.ShowPane(flow, true, true);
  EXPECT_TRUE(frame.panes.IsPaneVisible(flow));
  frame.panes.OnPressCloseButton(flow);
  EXPECT_FALSE(frame.panes.IsPaneVisible(flow));

  // No pane is ever in auto-hide; un-hiding them changes nothing.
  frame.panes.UnhideDockingPanes();
  for (DockingPane* pane : frame.panes.Panes()) EXPECT_FALSE(frame.panes.IsAutoHideMode(*pane));
  EXPECT_FALSE(frame.panes.IsPaneVisible(flow));
}

TEST_F(PaneManagerTest, TheLayoutIsSavedAndRestoredOnTheNextStartAndCleanedToTheDefaults) {
  {
    OS::RegistryStore store(StoreFile());
    WorkspaceStore workspace(store);
    Frame frame(configuration_);
    frame.panes.DockToFrameWindow(frame.Pane("CameraPane"), CBRS_ALIGN_RIGHT);
    frame.panes.DockToFrameWindow(frame.Pane("VideoPane2"), CBRS_ALIGN_TOP);
    frame.panes.OnPressCloseButton(frame.Pane("VideoPane1"));
    frame.panes.OnPressCloseButton(frame.Pane("FlowPane"));
    ASSERT_TRUE(workspace.SaveState(frame.window));
  }
  const std::map<std::string, std::pair<std::uint32_t, bool>> saved = {
      {"CameraWnd0", {CBRS_ALIGN_BOTTOM, true}},  {"CameraPane", {CBRS_ALIGN_RIGHT, true}},
      {"FlowPane", {CBRS_ALIGN_RIGHT, false}},    {"VideoPane0", {CBRS_ALIGN_BOTTOM, true}},
      {"VideoPane1", {CBRS_ALIGN_BOTTOM, false}}, {"VideoPane2", {CBRS_ALIGN_TOP, true}},
      {"VideoPane3", {CBRS_ALIGN_BOTTOM, true}},
  };
  {
    // The next start makes the panes at their home sides, then loads.
    OS::RegistryStore store(StoreFile());
    WorkspaceStore workspace(store);
    Frame frame(configuration_);
    ASSERT_TRUE(workspace.LoadState(frame.window));
    for (const auto& [name, place] : saved) {
      EXPECT_EQ(frame.panes.DockedSide(frame.Pane(name.c_str())), place.first) << name;
      EXPECT_EQ(frame.panes.IsPaneVisible(frame.Pane(name.c_str())), place.second) << name;
    }
    workspace.CleanState();
    EXPECT_FALSE(workspace.HasState());
  }
  OS::RegistryStore store(StoreFile());
  WorkspaceStore workspace(store);
  Frame frame(configuration_);
  EXPECT_FALSE(workspace.LoadState(frame.window)) << "nothing left to load after a clean";
  for (const PaneRow& row : FramePanes()) {
    EXPECT_EQ(frame.panes.DockedSide(frame.Pane(row.name)), row.layout.homeSide) << row.name;
    EXPECT_TRUE(frame.panes.IsPaneVisible(frame.Pane(row.name))) << row.name;
  }
  // Resetting a moved pane docks it at home again.
  frame.panes.DockToFrameWindow(frame.Pane("CameraPane"), CBRS_ALIGN_RIGHT);
  frame.panes.DockAllAtHomeSides();
  EXPECT_EQ(frame.panes.DockedSide(frame.Pane("CameraPane")), CBRS_ALIGN_LEFT);
}

TEST_F(PaneManagerTest, ASaveKilledBeforeItsRenameLeavesThePreviousLayoutReadable) {
  {
    OS::RegistryStore store(StoreFile());
    WorkspaceStore workspace(store);
    Frame frame(configuration_);
    frame.panes.DockToFrameWindow(frame.Pane("CameraPane"), CBRS_ALIGN_RIGHT);
    ASSERT_TRUE(workspace.SaveState(frame.window));

    frame.panes.DockToFrameWindow(frame.Pane("CameraPane"), CBRS_ALIGN_LEFT);
    OS::SetAtomicWriteInterruptForTesting(true);
    EXPECT_FALSE(workspace.SaveState(frame.window)) << "a save that did not reach its file is reported";
    OS::SetAtomicWriteInterruptForTesting(false);
  }
  OS::RegistryStore store(StoreFile());
  EXPECT_EQ(store.TakeDamageReport(), "");
  WorkspaceStore workspace(store);
  Frame frame(configuration_);
  ASSERT_TRUE(workspace.LoadState(frame.window));
  EXPECT_EQ(frame.panes.DockedSide(frame.Pane("CameraPane")), CBRS_ALIGN_RIGHT);
}

TEST_F(PaneManagerTest, WorkspaceValuesLiveInTheCurrentSectionAndTheRecentFilesKeepSixNewestFirst) {
  {
    OS::RegistryStore store(StoreFile());
    WorkspaceStore workspace(store);
    EXPECT_EQ(workspace.GetRegistryBase(), "Workspace");
    EXPECT_TRUE(workspace.WriteInt("ApplicationLook", 212));
    workspace.SetRegistryBase("Version\\5\\Inlet");
    EXPECT_EQ(workspace.GetInt("ApplicationLook", 215), 215) << "another section";
    EXPECT_TRUE(workspace.WriteInt("MaximumLimit", 180));
    EXPECT_TRUE(workspace.WriteString("Note", "µm"));
    for (int i = 1; i <= 8; ++i) EXPECT_TRUE(workspace.AddToRecentFileList("/data/run" + std::to_string(i) + ".tvx"));
    EXPECT_TRUE(workspace.AddToRecentFileList("/data/run5.tvx"));
    EXPECT_FALSE(workspace.AddToRecentFileList(""));
  }
  OS::RegistryStore store(StoreFile());
  WorkspaceStore workspace(store);
  EXPECT_EQ(workspace.GetInt("ApplicationLook", 215), 212);
  workspace.SetRegistryBase("Version\\5\\Inlet");
  EXPECT_EQ(workspace.GetInt("MaximumLimit", 100), 180);
  EXPECT_EQ(workspace.GetString("Note", ""), "µm");
  EXPECT_EQ(store.GetDword(std::string(kProductRegistryRoot) + "\\Version\\5\\Inlet", "MaximumLimit", 0), 180u);
  EXPECT_EQ(workspace.RecentFiles(), (std::vector<std::string>{"/data/run5.tvx", "/data/run8.tvx", "/data/run7.tvx",
                                                               "/data/run6.tvx", "/data/run4.tvx", "/data/run3.tvx"}));
}

}  // namespace
}  // namespace ORV::UI

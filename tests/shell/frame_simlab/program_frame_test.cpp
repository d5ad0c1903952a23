// The main frame on the program's own services, on the simulated lab's
// cameras, with a simulated multi interface of the test's own as the
// pressure-chamber system's instrument and a clock the test moves (the
// lab's heat controller would make it the other product): the sequencer pane
// is the real one, a sequence started from it runs on the frame's clock timer
// while the status bar's progress element follows, and the reset-layout
// command forgets the layout saved in the settings store.
#include "shell/frame/program_frame.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"
#include "instruments/ui/sequencer_pane.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/os/usb_serial_enum.h"
#include "platform/sim/hid_transport.h"
#include "platform/ui/app_services.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "platform/ui/message_window.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/workspace_store.h"
#include "shell/frame/status_elements.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/hand_clock.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

using Test::HandClock;

class ProgramFrameTest : public ::testing::Test {
 protected:
  ProgramFrameTest() {
    setenv("ORV_SIMLAB", "1", 1);
    setenv("ORV_SIMLAB_CAMERAS", "2", 1);
    ORV::Test::ProcessLab();
    const std::string_view progIds[] = {AnalysisView::kProgId};
    EXPECT_EQ(Com::ControlFactory(OS::RegistryStore::User(), {ORV_ANALYSIS_CONTROL_DIR}).RegisterFromFolders(progIds),
              Com::S_OK);
    experiment.SetClock(clock);
    experiment.SetApplicationHooks(&hooks);
    configuration.Load(store);
    configuration.ProductType = kPressureChamber;
    hid.AddDevice(unit);
    InterfaceManager::Sources sources;
    sources.usb = std::make_shared<OS::FixedUsbSerialEnumerator>();
    sources.hid = &hid;
    manager = std::make_unique<InterfaceManager>(configuration, std::move(sources));
  }

  std::unique_ptr<CMainFrame> Make() {
    ProgramFrameOptions options;
    options.settingsStore = &store;
    auto frame = CreateMainFrame(configuration, experiment, *manager, options);
    EXPECT_EQ(frame->OnCreate(), 0);
    frame->resize(1400, 900);
    frame->show();
    return frame;
  }

  // One tick of the frame's status timer, `ms` after the last.
  void ClockTick(CMainFrame& frame, std::uint32_t ms) {
    clock.now += ms;
    frame.SendMessage(UI::WM_TIMER, IDT_CLOCK);
  }

  ORV::Test::SandboxedHome home;
  OS::RegistryStore store{home.root() + "/settings.dat"};
  Configuration configuration;
  HandClock clock{50000};
  ORV::Test::FakeHooks hooks;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  Sim::SimHidTransport hid;
  std::shared_ptr<Sim::MultiInterfaceUnit> unit = std::make_shared<Sim::MultiInterfaceUnit>();
  std::unique_ptr<InterfaceManager> manager;
};

SequencerTask Task(const std::string& name, std::int32_t seconds, std::int32_t p1) {
  SequencerTask task;
  task.name = name;
  task.duration = seconds;
  task.p1 = p1;
  task.showMarker = 0;
  return task;
}

TEST_F(ProgramFrameTest, ASequenceStartedFromThePaneRunsOnTheClockAndTheStatusBarShowsItsProgress) {
  std::unique_ptr<CMainFrame> frame = Make();
  ASSERT_EQ(frame->ProductType(), kPressureChamber);
  ASSERT_TRUE(manager->IsConnected(kDeviceMultiInterface));
  auto* pane = dynamic_cast<SequencerWnd*>(frame->PaneOf(PaneKind::Sequencer));
  ASSERT_NE(pane, nullptr);
  CORVRibbonProgressBar& progress = *frame->SequencerProgress();
  EXPECT_FALSE(progress.State().running);
  EXPECT_EQ(progress.State().text, "Sequencer not started");

  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return frame->StartupChainDone(); }, 60000));
  pane->Logic().AddTask(Task("Rest", 4, 60));
  pane->Logic().AddTask(Task("Dilate", 2, 80));
  pane->FillList();
  pane->UpdateButtons();
  pane->Button(SequencerWnd::kStartStopButton)->click();
  ASSERT_TRUE(pane->Logic().Running());
  EXPECT_EQ(pane->Button(SequencerWnd::kStartStopButton)->text(), QStringLiteral("Stop"));

  struct Step {
    std::uint32_t afterMs;
    bool running;
    int task, percent;
    std::string text;
  };
  const Step steps[] = {
      {1000, true, 0, 25, "Rest"},    //
      {1000, true, 0, 50, "Rest"},    //
      {2000, true, 1, 0, "Dilate"},   // the first task's four seconds are over
      {1000, true, 1, 50, "Dilate"},  //
      {1000, false, 1, 100, "Sequencer ended"},
  };
  for (const Step& step : steps) {
    ClockTick(*frame, step.afterMs);
    const SequencerProgressState state = progress.State();
    EXPECT_EQ(state.running, step.running) << step.text << " " << step.percent;
    EXPECT_EQ(state.taskCount, 2);
    EXPECT_EQ(state.taskIndex, step.task) << step.text;
    EXPECT_EQ(state.percent, step.percent) << step.text;
    EXPECT_EQ(state.text, step.text);
    if (step.task == 0 && step.percent == 50) {
      ORV::Test::SaveUiArtifact(*frame->StatusBar(), "status_bar_sequencer");
      ORV::Test::SaveUiArtifact(*frame, "main_window_sequencer");
    }
  }
  // The pane follows the end at once, and the instruments were set.
  EXPECT_FALSE(pane->Logic().Running());
  EXPECT_EQ(pane->Button(SequencerWnd::kStartStopButton)->text(), QStringLiteral("Start"));
  // (Whether the pressure had to be switched on first depends on the
  // unit's sample the sampling stored last; those actions are left out.)
  std::vector<std::string> tasks;
  for (const ActionData& action : hooks.actions)
    if (action.text.starts_with("Task")) tasks.push_back(action.text);
  EXPECT_EQ(tasks, (std::vector<std::string>{"Task started: Rest", "Task started: Dilate"}));
  EXPECT_EQ(unit->GetState().targetP1, 80.0f);

  // The close asks about the changed sequence and saves it where the user
  // says.
  experiment.modified = false;
  UI::ScriptedMessageBoxes boxes{UI::IDYES};
  UI::ScriptedFileDialogs files;
  files.Answer(home.root() + "/protocol");
  EXPECT_TRUE(frame->OnClose());
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(home.root() + "/protocol.seq"));
}

TEST_F(ProgramFrameTest, TheLayoutIsKeptBetweenRunsUntilTheResetForgetsIt) {
  const auto secondCameraSide = [](CMainFrame& frame) {
    return frame.Panes().DockedSide(frame.CameraWindows().at(1)->Pane());
  };
  {
    std::unique_ptr<CMainFrame> frame = Make();
    ASSERT_EQ(secondCameraSide(*frame), UI::CBRS_ALIGN_BOTTOM);
    frame->Panes().DockToFrameWindow(frame->CameraWindows()[1]->Pane(), UI::CBRS_ALIGN_TOP);
    ASSERT_EQ(secondCameraSide(*frame), UI::CBRS_ALIGN_TOP);
    ASSERT_TRUE(frame->OnClose(false));
  }
  ASSERT_TRUE(UI::WorkspaceStore(store).HasState());
  std::unique_ptr<CMainFrame> frame = Make();
  EXPECT_EQ(secondCameraSide(*frame), UI::CBRS_ALIGN_TOP) << "where the user left it";

  ASSERT_TRUE(frame->Router().Execute(ID_RESET_BUTTON));
  EXPECT_EQ(secondCameraSide(*frame), UI::CBRS_ALIGN_BOTTOM);
  EXPECT_FALSE(UI::WorkspaceStore(store).HasState()) << "the next start docks every pane at home";
}

}  // namespace
}  // namespace ORV

// The main frame's creation and close against fakes that record what the
// frame asks of them, in order.
#include "shell/frame/main_frame.h"

#include <gtest/gtest.h>

#include <QDockWidget>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/settings/custom_settings.h"
#include "platform/ui/app_services.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/ribbon_status_bar.h"
#include "shell/frame/frame_command_host.h"
#include "tests/shell/frame/frame_fakes.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

using namespace ORV::Test;

TEST_F(MainFrameTest, CreationOpensEverythingOnceInOrder) {
  config.ProductType = kPressureChamber;
  config.SampleFrequency = 6;
  config.InvertImage = true;
  instruments.loaded = 1 | 2 | 32;  // the heat controller answers
  cameras = Cameras(0, 1);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  EXPECT_TRUE(frame->IsCreated());

  EXPECT_EQ(frame->ProductType(), kIncubationChamber);
  EXPECT_EQ(frame->windowTitle(), "Untitled[*] - Tarvix 5");
  EXPECT_EQ(config.SampleFrequency, 3);  // stored back
  EXPECT_EQ(frame->FrequencyIndex(), 2);
  EXPECT_TRUE(frame->FlowPresent());
  EXPECT_EQ(log, (Log{"ports", "load 63", "hot-plug on", "camera 0 zones 4", "workers step 2", "camera 0 auto 0",
                      "camera 0 invert 1", "camera 0 lumen 0", "sampling start"}));
  EXPECT_EQ(experiment.Read([](const ExperimentContents& c) { return c.cameraNames; }).front(), "cam 0");

  EXPECT_TRUE(frame->HasTimer(IDT_IDLE_MONITOR));
  EXPECT_TRUE(frame->HasTimer(IDT_CLOCK));
  EXPECT_TRUE(frame->HasTimer(IDT_STARTUP_CHECK));
  ASSERT_EQ(system.hotKeys.size(), 12u);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(system.hotKeys[k], std::make_pair(36769 + k, k));
  EXPECT_EQ(frame->minimumSize(), QSize(800, 600));

  // The status bar of the incubation chamber: heat-controller bar, no
  // sequencer progress, the twelve marker buttons and the start button.
  UI::RibbonStatusBar* bar = frame->StatusBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_NE(bar->FindElement(ID_HEAT_CONTROLLER_BAR), nullptr);
  EXPECT_EQ(bar->FindElement(ID_SEQUENCER_PROGRESS), nullptr);
  EXPECT_FALSE(bar->FindElement(ID_NAVIGATION_BAR)->IsVisible());
  for (UI::CommandId id : kFunctionKeyButtons) EXPECT_NE(bar->FindElement(id), nullptr) << id;
  EXPECT_EQ(bar->FindElement(ID_STATUS_START_BUTTON)->Text(), "Start");

  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return frame->StartupChainDone(); }));
}

TEST_F(MainFrameTest, CameraWindowsFollowTheDetectedCameras) {
  struct Case {
    CameraDetection found;
    std::size_t windows;
    int count, step;
    bool maxZones;
  };
  const Case cases[] = {
      {Cameras(0, 0), 1, 0, 2, false},  // no camera: still one window
      {Cameras(0, 5), 4, 4, 2, false},  // at most four
      {Cameras(1, 2), 2, 2, 5, false},  // Lumenera: period step 5
      {Cameras(2, 1), 1, 1, 5, false},  // XIMEA
      {Cameras(0, 1), 1, 1, 2, true},   // one camera of kind 0 gets four zones
  };
  for (const Case& c : cases) {
    log.clear();
    cameras = c.found;
    auto frame = Make();
    ASSERT_EQ(frame->OnCreate(), 0);
    EXPECT_EQ(frame->CameraWindows().size(), c.windows) << c.found.cameraCount;
    EXPECT_EQ(frame->CameraCount(), c.count);
    EXPECT_EQ(frame->FrequencyIndex(), c.step);
    EXPECT_EQ(std::count(log.begin(), log.end(), "camera 0 zones 4"), c.maxZones ? 1 : 0);
    EXPECT_EQ(frame->CameraCaptions().size(), static_cast<std::size_t>(c.count));
  }
}

TEST_F(MainFrameTest, CameraWindowSizesScaleWithTheDpi) {
  ORV::Test::ScopedDpi dpi(144);
  cameras = Cameras(0, 1);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  UI::DockingPane& window = frame->CameraWindows().front()->Pane();
  EXPECT_EQ(window.Client()->minimumSize(), QSize(600, 240));
}

TEST_F(MainFrameTest, APaneThatCannotBeMadeFailsTheCreation) {
  instruments.loaded = 32;
  panes.failKind = true;
  auto frame = Make();
  EXPECT_EQ(frame->OnCreate(), -1);
  EXPECT_FALSE(frame->IsCreated());
}

TEST_F(MainFrameTest, CloseAsksThenStopsInOrder) {
  const Log stops{"sampling stop", "hot-plug off", "stop multi timer", "stop flow",
                  "stop single",   "stop multi",   "stop microscopes"};
  struct Case {
    const char* name;
    int productType;
    bool sequenceChanged, modified, saves, imported;
    std::vector<int> answers;
    int questions;
    Log before;  // what comes before the stops
    bool closes;
    Log after;
  };
  const int yes = UI::IDYES, no = UI::IDNO, cancel = UI::IDCANCEL;
  const Case cases[] = {
      {"nothing changed",
       kPressureChamber,
       false,
       false,
       true,
       false,
       {},
       0,
       {},
       true,
       {"camera 0 stop capture", "hot keys off", "save configuration"}},
      {"sequence and experiment saved",
       kPressureChamber,
       true,
       true,
       true,
       false,
       {yes, yes},
       2,
       {"save sequence", "save experiment"},
       true,
       {"camera 0 stop capture", "hot keys off", "save configuration"}},
      {"No goes on without saving",
       kPressureChamber,
       true,
       true,
       true,
       false,
       {no, no},
       2,
       {},
       true,
       {"camera 0 stop capture", "hot keys off", "save configuration"}},
      {"a failed save keeps the program open",
       kPressureChamber,
       false,
       true,
       false,
       false,
       {yes},
       1,
       {"save experiment"},
       false,
       {}},
      {"Cancel on the sequence question keeps the program open as it was",
       kPressureChamber,
       true,
       true,
       true,
       false,
       {cancel},
       1,
       {},
       false,
       {}},
      {"Cancel on the experiment question keeps the program open",
       kPressureChamber,
       true,
       true,
       true,
       false,
       {no, cancel},
       2,
       {},
       false,
       {}},
      {"no sequence question for the incubation chamber",
       kIncubationChamber,
       true,
       false,
       true,
       false,
       {},
       0,
       {},
       true,
       {"camera 0 stop capture", "hot keys off", "save configuration"}},
      {"imported settings are not overwritten",
       kPressureChamber,
       false,
       false,
       true,
       true,
       {},
       0,
       {},
       true,
       {"camera 0 stop capture", "hot keys off"}},
  };
  for (const Case& c : cases) {
    config.ProductType = c.productType;
    cameras = Cameras(0, 2);
    panes.capturing = {true, false};  // camera 1 neither captures nor plays
    host.sequenceChanged = c.sequenceChanged;
    host.saveResult = c.saves;
    host.settingsImported = c.imported;
    experiment.modified = c.modified;
    auto frame = Make();
    ASSERT_EQ(frame->OnCreate(), 0) << c.name;
    log.clear();
    UI::ScriptedMessageBoxes boxes;
    for (int a : c.answers) boxes.Answer(a);
    EXPECT_EQ(frame->OnClose(), c.closes) << c.name;
    EXPECT_EQ(static_cast<int>(boxes.Shown().size()), c.questions) << c.name;
    for (const UI::MessageBoxRecord& box : boxes.Shown())
      EXPECT_EQ(box.type, UI::MB_YESNOCANCEL | UI::MB_ICONQUESTION) << c.name << ": " << box.text.toStdString();
    Log expected = c.before;
    if (c.closes) {
      expected.insert(expected.end(), stops.begin(), stops.end());
      expected.insert(expected.end(), c.after.begin(), c.after.end());
    }
    EXPECT_EQ(log, expected) << c.name;
    EXPECT_EQ(frame->HasTimer(IDT_CLOCK), !c.closes) << c.name;
    EXPECT_EQ(sampling.IsRunning(), !c.closes) << c.name;
  }
}

TEST_F(MainFrameTest, APlayingVideoIsStoppedAtClose) {
  cameras = Cameras(0, 1);
  panes.playing = {true};
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  log.clear();
  EXPECT_TRUE(frame->OnClose());
  EXPECT_EQ(std::count(log.begin(), log.end(), "camera 0 stop capture"), 1);
  frame.reset();
  EXPECT_EQ(log.back(), "delete workers");
}

TEST_F(MainFrameTest, RibbonCommandsReachTheCameraWindowsAndTheSampling) {
  instruments.loaded = 32;  // incubation chamber: both cameras are the record's
  cameras = Cameras(0, 2);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  ASSERT_NE(frame->Commands(), nullptr);
  log.clear();
  config.InvertImage = false;
  EXPECT_TRUE(frame->Router().Execute(FrameCommand::kInvertImage));
  EXPECT_TRUE(frame->Router().QueryState(FrameCommand::kInvertImage).checked);
  EXPECT_TRUE(frame->Router().Execute(FrameCommand::kSyncData));
  EXPECT_EQ(log, (Log{"camera 0 invert 1", "camera 1 invert 1", "sampling start"}));
  EXPECT_FALSE(frame->Router().QueryState(FrameCommand::kFileClose).enabled);
  EXPECT_EQ(frame->SendMessage(WM_CUSTOM_TRACES_CHANGED), 0);
}

// The camera pane starts on the first camera window and follows the ribbon's
// camera choice; the commands then act on that camera.
TEST_F(MainFrameTest, TheCameraPaneFollowsTheChosenCamera) {
  cameras = Cameras(0, 2);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  ASSERT_EQ(panes.attached.size(), 1u);
  EXPECT_EQ(panes.attached[0].first, 0);
  EXPECT_EQ(frame->CurrentCamera(), 0);

  auto* combo = frame->Ribbon()->FindByID<UI::RibbonComboBox>(ID_RIBBON_CAMERA_COMBO);
  ASSERT_NE(combo, nullptr);
  combo->SelectItem(1);
  EXPECT_TRUE(frame->Router().Execute(ID_RIBBON_CAMERA_COMBO));
  ASSERT_EQ(panes.attached.size(), 2u);
  EXPECT_EQ(panes.attached[1].first, 1);
  EXPECT_EQ(frame->CurrentCamera(), 1);

  // No such window: nothing is bound and the current camera stays.
  EXPECT_FALSE(frame->AttachCameraPane(4));
  EXPECT_FALSE(frame->AttachCameraPane(-1));
  EXPECT_EQ(panes.attached.size(), 2u);
  EXPECT_EQ(frame->CurrentCamera(), 1);
}

// Lets the program wait for events once, as it does between any two of
// them: what the frame does when it is idle runs.
void RunUntilIdle() {
  QEventLoop loop;
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
}

TEST_F(MainFrameTest, TheTitleNamesTheExperimentAndShowsThatItChanged) {
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->show();
  RunUntilIdle();
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Untitled[*] - Tarvix 5"));
  EXPECT_EQ(frame->windowHandle()->title(), QStringLiteral("Untitled - Tarvix 5"));

  experiment.Update([](ExperimentContents& c) {
    c.name = "Rat aorta.tvx";
    return 0;
  });
  experiment.modified = true;
  RunUntilIdle();
  EXPECT_EQ(frame->windowHandle()->title(), QStringLiteral("Rat aorta* - Tarvix 5"));
  experiment.modified = false;  // saved
  RunUntilIdle();
  EXPECT_EQ(frame->windowHandle()->title(), QStringLiteral("Rat aorta - Tarvix 5"));
  EXPECT_FALSE(frame->isWindowModified());
}

TEST_F(MainFrameTest, QuitClosesTheProgramAfterTheSaveQuestionUnlessCancelled) {
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->show();
  experiment.modified = true;
  UI::ScriptedMessageBoxes boxes{UI::IDCANCEL, UI::IDNO};
  ASSERT_TRUE(frame->Router().Execute(ID_APP_EXIT));
  EXPECT_FALSE(frame->IsClosed());
  EXPECT_TRUE(frame->isVisible()) << "Cancel: the program stays as it was";
  EXPECT_TRUE(frame->HasTimer(IDT_CLOCK));
  EXPECT_TRUE(experiment.modified);
  ASSERT_TRUE(frame->Router().Execute(ID_APP_EXIT));
  EXPECT_TRUE(frame->IsClosed());
  EXPECT_FALSE(frame->isVisible());
  EXPECT_EQ(boxes.Shown().size(), 2u);
}

TEST_F(MainFrameTest, TheFirstStartTakesTheScreensAvailableArea) {
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  EXPECT_FALSE(frame->LayoutRestored()) << "nothing kept yet";
  const QSize needed = frame->sizeHint();
  frame->PlaceForFirstStart(QRect(QPoint(0, 0), needed + QSize(200, 100)));
  EXPECT_FALSE(frame->isMaximized());
  EXPECT_EQ(frame->geometry(), QRect(QPoint(0, 0), needed + QSize(200, 100)));
  frame->PlaceForFirstStart(QRect(QPoint(0, 0), needed - QSize(0, 50)));
  EXPECT_TRUE(frame->isMaximized()) << "a screen smaller than the layout";
}

// An archive imported from the ribbon is not overwritten by the running
// configuration when the frame closes; a failed import changes nothing.
TEST_F(MainFrameTest, ImportedSettingsSurviveTheClose) {
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  const std::string archive = home.root() + "/bench.orvsettings";
  ASSERT_EQ(CCustomSettings().ExportSettingsArchive(archive), 0);

  UI::ScriptedFileDialogs files;
  // An archive that is there is imported once the user heard that the
  // program restarts.
  UI::ScriptedMessageBoxes boxes{UI::IDOK, UI::IDOK, UI::IDOK};
  files.Answer(archive + ".missing");
  files.Answer(archive);
  ASSERT_TRUE(frame->Router().Execute(FrameCommand::kLoadSettings));
  ASSERT_EQ(boxes.Shown().size(), 1u) << "the missing archive is told, before any question";
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(),
            "The settings archive \"" + archive + ".missing\" could not be loaded: it does not exist.");
  ASSERT_TRUE(frame->Router().Execute(FrameCommand::kLoadSettings));
  ASSERT_EQ(boxes.Shown().size(), 3u);  // without the application: restart by hand
  EXPECT_EQ(boxes.Shown()[1].type & 0xF, UI::MB_OKCANCEL);
  ASSERT_EQ(files.Asked().size(), 2u);
  EXPECT_EQ(files.Asked()[0].defaultExtension, ".orvsettings");

  log.clear();
  ASSERT_TRUE(frame->OnClose(false));
  EXPECT_EQ(std::count(log.begin(), log.end(), "save configuration"), 0);
}

}  // namespace
}  // namespace ORV

// A data collection on the simulated lab through the whole main frame: it is
// started from the ribbon, runs, gets three markers from function keys and is
// stopped. The experiment then holds samples of every stream, the markers
// with their texts at their times and the matching actions, and the running
// backup, rebuilt as the next start would after a crash, holds the same.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/backup_files.h"
#include "core/experiment/session.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "shell/app/document_templates.h"
#include "shell/app/pelmora_app.h"
#include "shell/collection_control.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/program_frame.h"
#include "shell/glue/ui/document_glue_host.h"
#include "tests/shell/frame_simlab/frame_on_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_pane.h"
#include "views/ui/action_view.h"

namespace ORV {
namespace {

// What a comparison needs of an experiment: every record's time, and the
// markers and actions as (time, text).
struct Snapshot {
  std::vector<std::uint32_t> pressure;
  std::vector<float> pressureP1;
  std::vector<std::uint32_t> flow;
  std::array<std::vector<std::uint32_t>, 2> zones;
  std::array<std::vector<std::uint32_t>, 2> microscope;
  std::vector<std::pair<std::uint32_t, std::string>> markers;
  std::vector<std::pair<std::uint32_t, std::string>> actions;
};

Snapshot Take(ExperimentData& experiment) {
  Snapshot s;
  experiment.Read([&](const ExperimentContents& c) {
    for (const PMK4xData3& p : c.pressureSamples) {
      s.pressure.push_back(p.time);
      s.pressureP1.push_back(p.p1);
    }
    for (const FMASL1600Data& f : c.flowSamples) s.flow.push_back(f.time);
    for (std::size_t camera = 0; camera < 2; ++camera) {
      for (const ZoneData& z : c.zoneData[camera]) s.zones[camera].push_back(z.time);
      for (const MicroscopeData2& m : c.microscopeData[camera]) s.microscope[camera].push_back(m.time);
    }
    return 0;
  });
  experiment.WithStores([&](MarkerStore& markers, ActionStore& actions) {
    for (std::size_t i = 0; i < markers.Count(); ++i) {
      const MarkerData2 m = markers.Get(i);
      s.markers.emplace_back(m.time, m.text);
    }
    for (std::size_t i = 0; i < actions.Count(); ++i) {
      const ActionData a = actions.Get(i);
      s.actions.emplace_back(a.time, a.text);
    }
    return 0;
  });
  return s;
}

// Draws a zone on a camera window's analysis control as the user does, with
// a drag across the middle of the picture, and waits for the window to count
// it.
bool DrawZone(FrameCameraWnd& window) {
  QWidget* control = window.ControlWidget();
  const QPointF from(control->width() * 0.3, control->height() * 0.3);
  const QPointF to(control->width() * 0.7, control->height() * 0.7);
  ORV::Test::DragOnControl(control, from, to);
  return ORV::Test::ProcessEventsUntil([&window] { return window.Model().ZoneCount() > 0; }, 60000);
}

std::size_t PressureCount(ExperimentData& experiment) {
  return experiment.Read([](const ExperimentContents& c) { return c.pressureSamples.size(); });
}

TEST(CollectionOnTheSimulatedLab, RecordsEveryStreamMarkersAndActionsAndTheBackupHoldsTheSame) {
  ORV::Test::SandboxedHome home;
  ASSERT_TRUE(ORV::Test::PrepareLab("2"));
  Configuration& configuration = ORV::Test::SharedConfiguration();
  configuration.AutoBackup = true;
  configuration.VideoRecordingEnabled = false;
  configuration.HotKeys[0] = "Drug added";
  configuration.HotKeys[4] = "Washout";
  configuration.HotKeys[11] = "";
  ExperimentData& experiment = ORV::Test::SharedSession().Experiment();
  InterfaceManager instruments(configuration);

  // The application as it starts the program: the record's actions go to
  // the frame's action sheet, which keeps them in the experiment, and a
  // backup of an earlier run is looked for (there is none).
  Shell::CPelmoraApp app(Shell::AppWorld{configuration, ORV::Test::SharedClock(), &experiment}, Shell::AppOptions{});
  OS::RegistryStore settings;
  Shell::DocumentTemplates templates;
  Shell::DocumentGlueHost glueHost{templates, [](std::uint32_t, const std::string&) { return false; }};
  Shell::TraceGlue glue{experiment, glueHost, [](std::uint32_t id) { return UI::LoadString(id); }};
  const Com::ControlFactory graphs(settings, {ORV_GRAPH_CONTROL_DIR});
  FrameViews views{FrameViews::Setup{configuration, experiment, glue, templates, settings, &graphs}};
  struct ViewsSheet final : Shell::ActionSheet {
    explicit ViewsSheet(FrameViews& frameViews) : views(frameViews) {}
    ActionViewRows* Rows() override { return views.ActionSheet(); }
    void Add(std::uint32_t time, const std::string& text) override { views.AddAction(time, text); }
    FrameViews& views;
  } sheet{views};
  app.UseActionSheet(&sheet);
  experiment.SetApplicationHooks(&app);
  ASSERT_EQ(experiment.CheckBackupAtStartup(), 0);

  ProgramFrameOptions frameOptions;
  frameOptions.glue = &glue;
  frameOptions.views = &views;
  std::unique_ptr<CMainFrame> frame = CreateMainFrame(configuration, experiment, instruments, std::move(frameOptions));
  views.SetFrame(frame.get());
  ASSERT_EQ(frame->OnCreate(), 0);
  templates.RegisterWith(*frame->Documents());
  frame->resize(1500, 940);
  frame->show();
  ASSERT_EQ(frame->CameraWindows().size(), 2u);
  std::vector<FrameCameraWnd*> windows;
  for (CameraWindow* window : frame->CameraWindows()) windows.push_back(dynamic_cast<FrameCameraWnd*>(window));
  auto* pane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
  ASSERT_NE(pane, nullptr);
  // The first camera captures; the second is chosen in the camera pane but
  // not started, so the start offers to start it.
  for (int i : {1, 0}) {
    ASSERT_NE(windows[i], nullptr);
    ASSERT_TRUE(pane->SetCameraWindow(frame->CameraCaptions()[i], windows[i], i));
  }
  pane->ConnectCamera();
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil(
      [&] { return frame->StartupChainDone() && windows[0]->Model().VideoWidth() > 0; }, 60000));
  ASSERT_FALSE(windows[1]->IsCapturing());
  ASSERT_NE(windows[0]->ControlWidget(), nullptr);
  ASSERT_TRUE(DrawZone(*windows[0])) << "the zone drawn on camera 0";

  // Start: nothing to save, video recording stays off (No), and the camera
  // that is not capturing is started (Yes).
  UI::CommandRouter& router = frame->Router();
  {
    UI::ScriptedMessageBoxes boxes{UI::IDNO, UI::IDYES};
    ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
    EXPECT_EQ(boxes.Unscripted(), 0);
    ASSERT_EQ(boxes.Shown().size(), 2u);
  }
  EXPECT_TRUE(windows[1]->IsCapturing());
  EXPECT_EQ(pane->Model().CameraIndex(), 1);
  EXPECT_EQ(pane->Model().ButtonText(), "Stop");
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return windows[1]->Model().VideoWidth() > 0; }, 60000));
  ASSERT_NE(windows[1]->ControlWidget(), nullptr);
  ASSERT_TRUE(DrawZone(*windows[1])) << "the zone drawn on camera 1";
  ASSERT_EQ(experiment.mode, kModeLive);
  const std::string backup = experiment.BackupFolder();
  ASSERT_FALSE(backup.empty());
  ASSERT_TRUE(std::filesystem::exists(backup + "/" + kBackupIndexName));

  // Every stream delivers.
  auto everyStream = [&](std::size_t pressure) {
    return experiment.Read([pressure](const ExperimentContents& c) {
      return c.pressureSamples.size() >= pressure && !c.flowSamples.empty() && !c.zoneData[0].empty() &&
             !c.zoneData[1].empty() && !c.microscopeData[0].empty();
    });
  };
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return everyStream(5); }, 60000))
      << experiment.Read([](const ExperimentContents& c) {
           return std::to_string(c.pressureSamples.size()) + " pressure, " + std::to_string(c.flowSamples.size()) +
                  " flow, " + std::to_string(c.zoneData[0].size()) + "/" + std::to_string(c.zoneData[1].size()) +
                  " zones, " + std::to_string(c.microscopeData[0].size()) + "/" +
                  std::to_string(c.microscopeData[1].size()) + " microscope";
         });

  // Three markers by function key, each once the record has grown, so that
  // they lie at distinct times.
  frame->activateWindow();
  QApplication::setActiveWindow(frame.get());
  const std::pair<Qt::Key, std::string> keys[] = {
      {Qt::Key_F1, "Drug added"}, {Qt::Key_F5, "Washout"}, {Qt::Key_F12, ""}};
  std::vector<std::uint32_t> keyTimes;
  for (const auto& [key, text] : keys) {
    const std::size_t before = PressureCount(experiment);
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return PressureCount(experiment) > before + 2; }, 30000));
    const std::uint32_t low = experiment.ExperimentClock().Now();
    QTest::keyClick(frame.get(), key);
    ASSERT_TRUE(
        ORV::Test::ProcessEventsUntil([&] { return experiment.MarkerCount() == 2 * (keyTimes.size() + 1); }, 10000))
        << text;
    const MarkerData2 marker = experiment.GetMarker(experiment.MarkerCount() - 1);
    EXPECT_GE(marker.time, low) << text;
    EXPECT_LE(marker.time, experiment.ExperimentClock().Now()) << text;
    keyTimes.push_back(marker.time);
  }

  // Stop: Yes to the question; the record stops taking samples.
  {
    UI::ScriptedMessageBoxes boxes{UI::IDYES};
    ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
    EXPECT_EQ(boxes.Unscripted(), 0);
  }
  ASSERT_EQ(experiment.mode, kModeNone);
  const std::uint32_t stopTick = experiment.stopTick;
  const Snapshot record = Take(experiment);
  ORV::Test::ProcessEventsUntil([] { return false; }, 300);
  EXPECT_EQ(PressureCount(experiment), record.pressure.size()) << "samples stored after the stop";

  // Samples of every stream, all within the collection.
  EXPECT_GE(record.pressure.size(), 10u);
  EXPECT_FALSE(record.flow.empty());
  for (std::size_t camera = 0; camera < 2; ++camera) {
    EXPECT_FALSE(record.zones[camera].empty()) << camera;
  }
  EXPECT_FALSE(record.microscope[0].empty());
  EXPECT_TRUE(std::is_sorted(record.pressure.begin(), record.pressure.end()));
  EXPECT_GE(record.pressure.front(), experiment.startTick.load());

  // The markers: each key's text on both cameras at the key's time, then
  // "Data collection stopped" on both; one action each.
  std::vector<std::pair<std::uint32_t, std::string>> markers;
  std::vector<std::pair<std::uint32_t, std::string>> actions;
  for (std::size_t k = 0; k < keyTimes.size(); ++k) {
    for (int camera = 0; camera < 2; ++camera) markers.emplace_back(keyTimes[k], keys[k].second);
    actions.emplace_back(keyTimes[k], keys[k].second);
  }
  ASSERT_EQ(record.markers.size(), 8u);
  const std::uint32_t stopMarker = record.markers.back().first;
  for (int camera = 0; camera < 2; ++camera) markers.emplace_back(stopMarker, "Data collection stopped");
  actions.emplace_back(stopMarker, "Data collection stopped");
  EXPECT_EQ(record.markers, markers);
  EXPECT_EQ(record.actions, actions);
  ASSERT_NE(views.ActionSheet(), nullptr);
  EXPECT_EQ(views.ActionSheet()->Model().RowCount(), actions.size());
  EXPECT_GE(stopMarker, keyTimes.back());
  EXPECT_LE(stopMarker, stopTick);

  // The backup is kept after the stop and, rebuilt as the next start does
  // after a crash (the stores beside it survive), holds the same.
  ASSERT_TRUE(std::filesystem::exists(backup + "/" + kBackupIndexName));
  experiment.CloseStores();
  {
    ExperimentData rebuilt{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
    ASSERT_TRUE(rebuilt.OpenStores(configuration.GetTempWorkingDirectory()));
    ASSERT_EQ(rebuilt.ImportBackup(backup + "/"), 1u);
    const Snapshot copy = Take(rebuilt);
    EXPECT_EQ(copy.pressure, record.pressure);
    EXPECT_EQ(copy.pressureP1, record.pressureP1);
    EXPECT_EQ(copy.flow, record.flow);
    EXPECT_EQ(copy.zones, record.zones);
    EXPECT_EQ(copy.microscope, record.microscope);
    EXPECT_EQ(copy.markers, record.markers);
    EXPECT_EQ(copy.actions, record.actions);
    EXPECT_EQ(rebuilt.startTick, experiment.startTick);
    rebuilt.CloseStores();
  }
  ASSERT_TRUE(experiment.OpenStores(configuration.GetTempWorkingDirectory()));

  // The next collection discards it.
  {
    UI::ScriptedMessageBoxes boxes{UI::IDNO, UI::IDNO};
    ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
  }
  EXPECT_EQ(experiment.mode, kModeLive);
  EXPECT_FALSE(std::filesystem::exists(backup + "/" + kBackupIndexName));
  {
    UI::ScriptedMessageBoxes boxes{UI::IDYES};
    ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
  }
  EXPECT_EQ(experiment.mode, kModeNone);

  // The session's record is left empty for the next test of this program.
  experiment.Clear();
  EXPECT_TRUE(frame->close());
  frame.reset();
  views.SetFrame(nullptr);
  experiment.SetApplicationHooks(nullptr);
}

}  // namespace
}  // namespace ORV

// An experiment saved again and again on the whole program: a collection
// with video, a function-key marker, a marker added from the ribbon and a
// data-sheet row is saved with Save As, saved in place with Ctrl+S after a
// change, saved under another name unchanged, opened and saved once more.
// Every file holds the same markers, actions, videos, times and rows as the
// first (but for the row added in between), and the experiment that stays
// open keeps them all.
#include <QTest>
#include <filesystem>

#include "core/base/trace_kinds.h"
#include "shell/frame/frame_markers.h"
#include "tests/e2e/program_rig.h"
#include "tests/support/saved_experiment.h"
#include "video/ui/video_pane.h"

namespace ORV::E2E {
namespace {

namespace fs = std::filesystem;
using namespace FrameCommand;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

// One range of the trace view's diameter goes to the data sheet as a row.
void AddDataSheetRow(ProgramRig& rig, Views::TraceViewWindow& view, double from) {
  ExperimentData& experiment = rig.Experiment();
  const auto rows = [&] { return experiment.Read([](const ExperimentContents& c) { return c.calculations.size(); }); };
  const std::size_t before = rows();
  view.View().SelectRange(from, from + 2.0);
  view.View().OnGraphSelectTrace(from, from + 2.0);
  rig.Router().UpdateIdle();
  ASSERT_TRUE(rig.Router().Execute(kDataExport));
  ASSERT_TRUE(WaitFor([&] { return rows() > before; })) << "the range reaches the data sheet";
}

// Ctrl+S pressed in the main window.
void PressSave(ProgramRig& rig) {
  rig.Frame().activateWindow();
  QApplication::setActiveWindow(&rig.Frame());
  rig.Router().UpdateIdle();
  QTest::keySequence(&rig.Frame(), QKeySequence(QKeySequence::Save));
  RunUntilIdle();
}

std::size_t Count(const std::vector<std::tuple<std::uint32_t, std::string, std::uint32_t>>& markers,
                  const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(markers.begin(), markers.end(), [&](const auto& m) { return std::get<1>(m) == text; }));
}

TEST(RepeatedSaves, EveryFileHoldsTheWholeExperimentAndTheOpenOneKeepsIt) {
  // The plain picture, which the default cut-offs measure: the data-sheet
  // rows need measured frames.
  setenv("ORV_SIMLAB_VESSEL", "live", 1);
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ExperimentData& experiment = rig.Experiment();
  CMainFrame& frame = rig.Frame();
  UI::CommandRouter& router = rig.Router();
  Configuration& settings = rig.Settings();
  ORV::Test::TempDir work;

  // ---- a collection with video, a diameter trace in view ----
  rig.CaptureAndDrawZones();
  ASSERT_TRUE(router.Execute(kRecordVideo));
  ASSERT_TRUE(frame.RecordVideo());
  settings.HotKeys[0] = "Drug A";
  frame.UpdateMarkerButtons();
  router.Execute(Shell::ID_FILE_NEW);
  ASSERT_FALSE(TraceWindows(frame).empty());
  Views::TraceViewWindow& view = *TraceWindows(frame).back();
  view.View().OnShowTraceKind(kTraceVesselDiameter);
  rig.StartCollection();
  const auto recorded = [&](std::size_t n) {
    return WaitFor([&] { return ZoneRecords(experiment, 0) >= n && ZoneRecords(experiment, 1) >= n; });
  };
  ASSERT_TRUE(recorded(30));

  // ---- F1, then a marker of the user's own text from the ribbon ----
  frame.SendMessage(WM_HOTKEY, IDHOT_F1, 0);
  RunFor(300);
  router.UpdateIdle();
  ASSERT_TRUE(router.Execute(IDC_ADD_MARKER_BUTTON));
  ASSERT_TRUE(WaitFor([&] { return rig.answers.markerTexts == 1; }));
  ASSERT_TRUE(recorded(ZoneRecords(experiment, 0) + 20));
  rig.StopCollection();
  AddDataSheetRow(rig, view, 1.0);

  const auto liveMarkers = Markers(experiment);
  const auto liveActions = Actions(experiment);
  ASSERT_GE(liveMarkers.size(), 5u) << "F1 and the stop on both cameras, and the added marker";
  const std::uint32_t lastSample = experiment.lastSampleTime.load();

  // ---- Save As ----
  rig.dialogs.Answer(work / "a");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  const ORV::Test::SavedExperiment first = ORV::Test::ReadSavedExperiment(work / "a.tvx", settings);
  ASSERT_EQ(first.result, 1);
  EXPECT_EQ(Count(first.markers, "Drug A"), 2u);
  EXPECT_EQ(Count(first.markers, "Added"), 1u);
  EXPECT_EQ(first.markers.size(), liveMarkers.size());
  EXPECT_EQ(first.actions.size(), liveActions.size());
  EXPECT_EQ(first.calculations.size(),
            experiment.Read([](const ExperimentContents& c) { return c.calculations.size(); }));
  EXPECT_EQ(first.lastSampleTime, lastSample);
  ASSERT_EQ(first.videos.size(), 2u);
  for (std::size_t camera = 0; camera < 2; ++camera) {
    EXPECT_GT(first.videos[camera].size(), 1000u) << camera;
    EXPECT_GT(first.analysisRecords[camera], 10u) << camera;
  }

  // The experiment that stays open keeps what it showed.
  EXPECT_EQ(Markers(experiment), liveMarkers);
  EXPECT_EQ(Actions(experiment), liveActions);
  RunFor(500);
  EXPECT_EQ(experiment.lastSampleTime.load(), lastSample) << "the saved experiment's time stands still";

  // ---- a change, saved in place with Ctrl+S ----
  AddDataSheetRow(rig, view, 3.0);
  ASSERT_TRUE(experiment.modified.load());
  PressSave(rig);
  ASSERT_TRUE(WaitFor([&] { return !experiment.modified.load(); })) << "Ctrl+S saves";
  const ORV::Test::SavedExperiment second = ORV::Test::ReadSavedExperiment(work / "a.tvx", settings);
  EXPECT_EQ(second.DifferencesFrom(first),
            std::vector<std::string>{"data-sheet rows (" + std::to_string(second.calculations.size()) + " / " +
                                     std::to_string(first.calculations.size()) + ")"})
      << Lines(second.DifferencesFrom(first));
  EXPECT_GT(second.calculations.size(), first.calculations.size());

  // ---- Save As another name, nothing changed ----
  rig.dialogs.Answer(work / "b");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  const ORV::Test::SavedExperiment third = ORV::Test::ReadSavedExperiment(work / "b.tvx", settings);
  EXPECT_TRUE(third.DifferencesFrom(second).empty()) << Lines(third.DifferencesFrom(second));
  EXPECT_TRUE(fs::exists(work / "b_0.avi") && fs::exists(work / "b_1.avi"));

  // ---- opened in the program: its sheets and video panes show it; saved
  // again from there, and closed and opened once more ----
  rig.dialogs.Answer(work / "b.tvx");
  ASSERT_TRUE(router.Execute(kFileOpen));
  ASSERT_EQ(experiment.mode.load(), kModeFile);
  EXPECT_EQ(Markers(experiment).size(), liveMarkers.size());
  EXPECT_EQ(Actions(experiment), liveActions);
  for (int camera = 0; camera < 2; ++camera) {
    auto* pane = dynamic_cast<Video::CVideoPane*>(frame.PaneOf(PaneKind::Video, camera));
    ASSERT_NE(pane, nullptr) << camera;
    EXPECT_TRUE(pane->Images().Model().VideoLoaded()) << "camera " << camera << "'s video shows";
  }
  rig.dialogs.Answer(work / "c");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  const ORV::Test::SavedExperiment fourth = ORV::Test::ReadSavedExperiment(work / "c.tvx", settings);
  EXPECT_TRUE(fourth.DifferencesFrom(second).empty()) << Lines(fourth.DifferencesFrom(second));
  EXPECT_EQ(Markers(experiment).size(), liveMarkers.size()) << "the opened experiment keeps its markers";
  EXPECT_EQ(Actions(experiment), liveActions);

  ASSERT_TRUE(router.Execute(kFileClose));
  rig.dialogs.Answer(work / "c.tvx");
  ASSERT_TRUE(router.Execute(kFileOpen));
  rig.dialogs.Answer(work / "d");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  const ORV::Test::SavedExperiment fifth = ORV::Test::ReadSavedExperiment(work / "d.tvx", settings);
  EXPECT_TRUE(fifth.DifferencesFrom(second).empty()) << Lines(fifth.DifferencesFrom(second));
}

}  // namespace
}  // namespace ORV::E2E

namespace ORV::E2E {
namespace {

// Ctrl+S of an experiment never saved asks for its name, as Save As does;
// the stop's dialogs give the keyboard back to the main window, so the key
// reaches it without a click.
TEST(RepeatedSaves, CtrlSOfACollectionNeverSavedAsksForItsName) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ORV::Test::TempDir work;
  rig.Frame().activateWindow();
  QApplication::setActiveWindow(&rig.Frame());
  rig.StartCollection();
  ASSERT_TRUE(WaitFor([&] { return PressureSamples(rig.Experiment()) > 10; }));
  rig.StopCollection();
  ASSERT_TRUE(rig.Experiment().modified.load());
  const int details = rig.answers.experimentDetails;
  rig.dialogs.Answer(work / "first");
  RunUntilIdle();
  ASSERT_EQ(QApplication::activeWindow(), &rig.Frame()) << "the main window has the keyboard again";
  QWidget* focus = QApplication::focusWidget();
  QTest::keySequence(focus ? focus : &rig.Frame(), QKeySequence(QKeySequence::Save));
  RunUntilIdle();
  EXPECT_EQ(rig.answers.experimentDetails, details + 1) << "the details are asked";
  EXPECT_TRUE(std::filesystem::exists(work / "first.tvx"));
  EXPECT_FALSE(rig.Experiment().modified.load());
}

}  // namespace
}  // namespace ORV::E2E

namespace ORV::E2E {
namespace {

// The camera windows' sizes, in order.
std::vector<QSize> CameraWindowSizes(CMainFrame& frame) {
  std::vector<QSize> sizes;
  for (CameraWindow* window : frame.CameraWindows()) sizes.push_back(window->Pane().size());
  return sizes;
}

// An opened experiment shows its videos in place of the camera windows;
// closed, the camera windows come back as they were.
TEST(ReviewLayout, OpenThenCloseGivesTheCameraWindowsTheirSizeBack) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ORV::Test::TempDir work;
  CMainFrame& frame = rig.Frame();
  rig.CaptureAndDrawZones();
  ASSERT_TRUE(rig.Router().Execute(kRecordVideo));
  rig.StartCollection();
  ASSERT_TRUE(WaitFor([&] { return ZoneRecords(rig.Experiment(), 1) > 30; }));
  rig.StopCollection();
  rig.dialogs.Answer(work / "review");
  ASSERT_TRUE(rig.Router().Execute(kFileSaveAs));
  RunFor(300);
  const std::vector<QSize> before = CameraWindowSizes(frame);
  ASSERT_EQ(before.size(), 2u);

  rig.dialogs.Answer(work / "review.tvx");
  ASSERT_TRUE(rig.Router().Execute(kFileOpen));
  RunFor(300);
  ASSERT_TRUE(rig.Router().Execute(kFileClose));
  RunFor(300);
  const std::vector<QSize> after = CameraWindowSizes(frame);
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_NEAR(after[i].width(), before[i].width(), 4) << "camera window " << i + 1;
    EXPECT_NEAR(after[i].height(), before[i].height(), 4) << "camera window " << i + 1;
  }
  ORV::Test::SaveUiArtifact(frame, "e2e_review_closed");
}

}  // namespace
}  // namespace ORV::E2E

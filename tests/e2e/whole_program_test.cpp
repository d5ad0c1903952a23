// The whole program end to end, offscreen, on the simulated lab with two
// cameras: the application object brings up the real main frame, and the
// test works it as a user does, through the ribbon's command ids, the
// function keys and the panes' models. A collection is recorded with video
// and markers while the pressure target is changed from the multi interface
// pane; the experiment is saved, opened again and compared with what was
// recorded, its video is played back, its data sheet exported, and the
// settings archive written and read back. Every dialog is answered through
// the application's scripted message boxes and file dialogs.
//
// Nothing here measures time: every wait is bounded by a count or a state,
// with generous limits for a loaded machine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <optional>
#include <sstream>

#include "core/base/configuration.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/session.h"
#include "instruments/ui/multi_myograph_pane.h"
#include "platform/com/control_loader.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/document_area.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "shell/app/pelmora_app.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_application.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/main_frame_commands.h"
#include "shell/frame/program_frame.h"
#include "shell/frame_plan.h"
#include "shell/program_controls.h"
#include "tests/e2e/program_on_lab.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "tests/xlsx/writer/xlsx_test_util.h"
#include "video/ui/camera_pane.h"
#include "video/ui/video_pane.h"
#include "views/data_sheet/ui/data_view.h"
#include "views/ui/trace_view_window.h"

namespace ORV {
namespace {

using namespace FrameCommand;
using namespace E2E;
namespace fs = std::filesystem;

// A step that needs the main frame to open trace views and sheets as
// documents: a failure is reported, and the steps that use the documents are
// left out so the rest of the test still runs.
bool DocumentsReady(bool ready, const char* step) {
  EXPECT_TRUE(ready) << step << ": the main frame did not open the document";
  return ready;
}

// What the record holds of one recording, to compare before the save and
// after the open.
struct RecordFacts {
  std::size_t pressures = 0;
  std::array<std::size_t, 2> zones{};
  std::vector<TracePoint> diameter0;
  std::vector<TracePoint> inlet;
  std::vector<std::string> markerTexts;
  std::size_t calculations = 0;
};

RecordFacts FactsOf(ExperimentData& experiment) {
  RecordFacts facts;
  facts.pressures = PressureSamples(experiment);
  for (int camera = 0; camera < 2; ++camera) facts.zones[camera] = ZoneRecords(experiment, camera);
  facts.diameter0 = Trace(experiment, kTraceVesselDiameter, 0);
  facts.inlet = Trace(experiment, kTraceInlet, 0);
  for (const MarkerData2& marker : Markers(experiment)) facts.markerTexts.push_back(marker.text);
  std::sort(facts.markerTexts.begin(), facts.markerTexts.end());
  facts.calculations = experiment.Read([](const ExperimentContents& c) { return c.calculations.size(); });
  return facts;
}

void ExpectSameTrace(const std::vector<TracePoint>& a, const std::vector<TracePoint>& b, const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].time, b[i].time) << what << " point " << i;
    if (std::isfinite(a[i].value) || std::isfinite(b[i].value)) {
      EXPECT_FLOAT_EQ(a[i].value, b[i].value) << what << " point " << i;
    }
  }
}

TEST(WholeProgram, RecordsSavesReopensPlaysBackAndExports) {
  ProgramOnLab lab(2);
  ORV::Test::TempDir work;
  ASSERT_TRUE(lab.Start());
  CMainFrame* frame = lab.frame;
  Shell::CPelmoraApp& app = *lab.app;
  UI::ScriptedMessageBoxes& boxes = lab.boxes;
  UI::ScriptedFileDialogs& dialogs = lab.dialogs;
  DialogAnswers& answers = lab.answers;
  Configuration& configuration = lab.configuration();
  ExperimentData& experiment = lab.experiment();
  UI::CommandRouter& router = lab.router();

  // ---- the program comes up on the lab: two cameras in windows, live ----
  ASSERT_EQ(frame->CameraCount(), 2);
  ASSERT_EQ(frame->CameraWindows().size(), 2u);
  auto* multi = dynamic_cast<CMyographMultiWnd*>(frame->PaneOf(PaneKind::Multi));
  ASSERT_NE(multi, nullptr) << "the lab's multi interface has its pane";
  ASSERT_TRUE(WaitFor([&] { return frame->StartupChainDone() && PressureSamples(experiment) == 0; }));
  ASSERT_TRUE(WaitFor([&] { return multi->Logic().Active(); })) << "the multi interface answers";

  // ---- video recording on, then a collection starts ----
  ASSERT_TRUE(router.Execute(kRecordVideo));
  ASSERT_TRUE(configuration.VideoRecordingEnabled);
  configuration.HotKeys[0] = "Drug A";
  configuration.HotKeys[1] = "Wash";
  frame->UpdateMarkerButtons();
  // Each camera is chosen on the ribbon and started from the camera pane's
  // capture button.
  auto* cameraPane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
  ASSERT_NE(cameraPane, nullptr);
  for (int camera : {1, 0}) {
    ASSERT_TRUE(frame->AttachCameraPane(camera));
    cameraPane->CaptureButton()->click();
    EXPECT_TRUE(frame->CameraWindows()[camera]->IsCapturing()) << camera;
  }
  // A measuring zone across the vessel in each camera's picture.
  for (CameraWindow* window : frame->CameraWindows()) {
    auto* wnd = dynamic_cast<FrameCameraWnd*>(window);
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return wnd->Model().VideoWidth() > 0 && wnd->ControlWidget()->width() > 100; }));
    QWidget* video = wnd->ControlWidget();
    const double w = video->width(), h = video->height();
    ORV::Test::DragOnControl(video, {w * 0.06, h * 0.4}, {w * 0.94, h * 0.55});
    ASSERT_TRUE(WaitFor([&] { return wnd->Model().ZoneCount() > 0; }));
  }
  // Recording is on from the ribbon and every camera captures: the start
  // asks nothing.
  ASSERT_TRUE(frame->RecordVideo());
  ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
  ASSERT_TRUE(boxes.Shown().empty()) << boxes.Shown().front().text.toStdString();
  ASSERT_EQ(frame->Collection()->CollectionState(), kCollecting);
  for (CameraWindow* window : frame->CameraWindows()) EXPECT_TRUE(window->IsCapturing());
  ASSERT_TRUE(WaitFor([&] {
    return PressureSamples(experiment) >= 20 && ZoneRecords(experiment, 0) >= 20 && ZoneRecords(experiment, 1) >= 20;
  })) << "pressure "
      << PressureSamples(experiment) << ", zones " << ZoneRecords(experiment, 0) << " and "
      << ZoneRecords(experiment, 1);
  EXPECT_GT(MeanFrom(Trace(experiment, kTraceVesselDiameter, 0), 0), 0.0) << "the analysis measures the vessel";

  // ---- a diameter trace and a pressure trace in trace windows ----
  // The start-up may have opened the views of the last run: the two new
  // ones are the last two.
  const std::size_t viewsBefore = TraceWindows(*frame).size();
  router.Execute(Shell::ID_FILE_NEW);
  router.Execute(Shell::ID_FILE_NEW);
  const bool traceViews =
      DocumentsReady(TraceWindows(*frame).size() == viewsBefore + 2, "open a diameter and a pressure trace");
  Views::TraceViewWindow* diameterView = nullptr;
  if (traceViews) {
    std::vector<Views::TraceViewWindow*> windows = TraceWindows(*frame);
    diameterView = windows[viewsBefore];
    Views::TraceViewWindow* pressureView = windows[viewsBefore + 1];
    diameterView->View().OnShowTraceKind(kTraceVesselDiameter);
    pressureView->View().OnShowTraceKind(kTraceInlet);
    EXPECT_EQ(diameterView->View().TraceCode(), kTraceVesselDiameter);
    EXPECT_EQ(pressureView->View().TraceCode(), kTraceInlet);
  }
  RunFor(500);
  router.UpdateIdle();
  ORV::Test::SaveUiArtifact(*frame, "e2e_1_collecting");

  // ---- the pressure target changes from the multi interface pane, and
  // the vessel narrows in the record ----
  // Times below are the diameter trace's own (ms of the experiment clock).
  const auto lastTime = [&] {
    const std::vector<TracePoint> points = Trace(experiment, kTraceVesselDiameter, 0);
    return points.empty() ? 0u : points.back().time;
  };
  const std::uint32_t before = lastTime();
  const double diameterBefore = MeanFrom(Trace(experiment, kTraceVesselDiameter, 0), before > 3000 ? before - 3000 : 0);
  const PMK4xData3 pressureBefore = LastPressure(experiment);
  ASSERT_GT(pressureBefore.p1, 40.0f) << "the lab starts at its resting pressure";
  const std::size_t boxesBefore = boxes.Shown().size();
  for (int id : {MultiMyographPaneLogic::kTargetP1, MultiMyographPaneLogic::kTargetP2}) {
    CFocusEdit* entry = multi->Entry(id);
    ASSERT_NE(entry, nullptr);
    entry->setReadOnly(false);
    entry->setText(QStringLiteral("20"));
  }
  multi->OnCommand(MultiMyographPaneLogic::kChangePressures);
  ASSERT_TRUE(WaitFor([&] { return !multi->Busy(); }));
  for (std::size_t i = boxesBefore; i < boxes.Shown().size(); ++i)
    ADD_FAILURE() << "the pane said: " << boxes.Shown()[i].text.toStdString();
  ASSERT_TRUE(WaitFor([&] {
    const PMK4xData3 last = LastPressure(experiment);
    return last.targetP1 == 20.0f && last.p1 < 25.0f;
  })) << "the unit takes the new target: P1 "
      << LastPressure(experiment).p1 << " target " << LastPressure(experiment).targetP1;
  const std::uint32_t reached = lastTime();
  // The vessel follows with a lag of seconds: its diameter falls by more
  // than a tenth of the resting value. The analysis control is a library of
  // its own; it sees the program's simulated lab, so its cameras watch the
  // vessel the instruments act on.
  {
    double diameterAfter = 0.0;
    ASSERT_TRUE(WaitFor([&] {
      const std::uint32_t now = lastTime();
      if (now < reached + 5000) return false;
      diameterAfter = MeanFrom(Trace(experiment, kTraceVesselDiameter, 0), now - 1500);
      return diameterAfter > 0.0 && diameterAfter < diameterBefore * 0.9;
    })) << "diameter "
        << diameterBefore << " before, " << diameterAfter << " after";
  }

  // ---- markers from the function keys, on every camera ----
  const std::size_t markersBefore = experiment.MarkerCount();
  frame->SendMessage(WM_HOTKEY, IDHOT_F1, 0);
  RunFor(300);
  frame->SendMessage(WM_HOTKEY, IDHOT_F1 + 1, 0);
  EXPECT_EQ(experiment.MarkerCount(), markersBefore + 4) << "one marker per camera for each key";
  {
    std::vector<std::string> texts;
    for (const MarkerData2& marker : Markers(experiment)) texts.push_back(marker.text);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Drug A"), 2);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Wash"), 2);
  }
  RunFor(1000);

  // ---- stop: the question is answered Yes ----
  boxes.Answer(UI::IDYES);
  ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
  ASSERT_EQ(frame->Collection()->CollectionState(), kLiveIdle);
  EXPECT_TRUE(experiment.modified.load());
  const auto videos = experiment.Read([](const ExperimentContents& c) { return c.sourceVideoFiles; });
  EXPECT_EQ(videos.size(), 2u) << "each camera recorded its video";
  for (const std::string& video : videos) {
    EXPECT_TRUE(fs::exists(video)) << video;
    EXPECT_GT(fs::exists(video) ? fs::file_size(video) : 0u, 1000u) << video;
  }

  // ---- a range of the diameter trace goes to the data sheet ----
  if (traceViews) {
    const std::uint32_t start = experiment.startTick.load();
    const double from = (reached - start) / 1000.0;
    // A drag over the graph selects the range there and tells the view.
    diameterView->View().SelectRange(from, from + 3.0);
    diameterView->View().OnGraphSelectTrace(from, from + 3.0);
    router.UpdateIdle();
    EXPECT_TRUE(router.QueryState(kDataExport).enabled);
    ASSERT_TRUE(router.Execute(kDataExport));
    ASSERT_TRUE(WaitFor([&] { return DataSheet(*frame) != nullptr && DataSheet(*frame)->Model().HasTables(); }))
        << "the exported range shows in the data sheet";
  }
  const RecordFacts recorded = FactsOf(experiment);
  ASSERT_FALSE(recorded.diameter0.empty());
  ASSERT_FALSE(recorded.inlet.empty());
  EXPECT_EQ(recorded.markerTexts.size(), markersBefore + 4 + 2) << "the stop adds one marker per camera";

  // ---- save: the details dialog keeps the title, the file is named ----
  const std::string saved = work / "vessel.tvx";
  dialogs.Answer(work / "vessel");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  ASSERT_TRUE(fs::exists(saved));
  EXPECT_FALSE(experiment.modified.load());
  EXPECT_EQ(answers.experimentDetails, 1);

  // ---- open it (the live record goes), close it, open it again ----
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "first open" : "second open");
    dialogs.Answer(saved);
    ASSERT_TRUE(router.Execute(kFileOpen));
    ASSERT_EQ(experiment.mode.load(), kModeFile);
    const RecordFacts reopened = FactsOf(experiment);
    EXPECT_EQ(reopened.pressures, recorded.pressures);
    EXPECT_EQ(reopened.zones, recorded.zones);
    ExpectSameTrace(reopened.diameter0, recorded.diameter0, "diameter");
    ExpectSameTrace(reopened.inlet, recorded.inlet, "inlet pressure");
    EXPECT_EQ(reopened.markerTexts, recorded.markerTexts);
    EXPECT_EQ(reopened.calculations, recorded.calculations);
    if (round == 0) {
      router.UpdateIdle();
      EXPECT_TRUE(router.QueryState(kFileClose).enabled);
      ASSERT_TRUE(router.Execute(kFileClose));
      EXPECT_EQ(experiment.mode.load(), kModeNone);
      EXPECT_EQ(PressureSamples(experiment), 0u);
    }
  }
  if (traceViews) {
    router.Execute(Shell::ID_FILE_NEW);
    ASSERT_FALSE(TraceWindows(*frame).empty());
    TraceWindows(*frame).back()->View().OnShowTraceKind(kTraceVesselDiameter);
  }

  // ---- the recorded video plays back in the review's video panes ----
  for (int camera = 0; camera < 2; ++camera) {
    auto* pane = dynamic_cast<Video::CVideoPane*>(frame->PaneOf(PaneKind::Video, camera));
    ASSERT_NE(pane, nullptr) << camera;
    EXPECT_TRUE(pane->isVisible()) << "the review shows camera " << camera << "'s video";
    ASSERT_TRUE(pane->Images().Model().VideoLoaded()) << camera;
    EXPECT_GT(pane->Images().Model().FrameCount(), 10) << camera;
  }
  const double length = (recorded.diameter0.back().time - experiment.startTick.load()) / 1000.0;
  // The video begins when its camera started recording, which a loaded
  // machine may put a second or more after the experiment's start; before
  // that there is no picture to show. The positions (whole seconds) are
  // taken from the video's own start on.
  const std::int32_t videoStart = experiment.Read(
      [](const ExperimentContents& c) { return c.analysisData[0].size() > 0 ? c.analysisData[0][0].startTime : 0; });
  const double videoFrom = std::max(0.0, (videoStart - static_cast<double>(experiment.startTick.load())) / 1000.0);
  ASSERT_GE(length - videoFrom, 4.0) << "the video is long enough for three whole seconds apart";
  const double first = videoFrom + 1.0, last = length - 1.0;
  std::vector<int> shownFrames;
  for (const double at : {first, (first + last) / 2, last}) {
    frame->ShowVideoAt(at);
    RunFor(100);
    auto* pane = dynamic_cast<Video::CVideoPane*>(frame->PaneOf(PaneKind::Video, 0));
    EXPECT_TRUE(pane->Images().Model().FrameValid()) << at;
    shownFrames.push_back(pane->Images().Model().CurrentFrame());
  }
  EXPECT_LT(shownFrames[0], shownFrames[1]);
  EXPECT_LT(shownFrames[1], shownFrames[2]);
  ORV::Test::SaveUiArtifact(*frame, "e2e_2_review");

  // ---- the data sheet to a workbook and to CSV ----
  if (DocumentsReady(traceViews, "export the data sheet")) {
    ASSERT_TRUE(router.Execute(kShowDataSheet));
    Views::CDataView* sheet = DataSheet(*frame);
    ASSERT_NE(sheet, nullptr);
    // A range of the opened record goes to the sheet as well.
    Views::TraceViewWindow* review = TraceWindows(*frame).back();
    review->View().SelectRange(2.0, 5.0);
    review->View().OnGraphSelectTrace(2.0, 5.0);
    router.UpdateIdle();
    ASSERT_TRUE(router.Execute(kDataExport));
    ASSERT_TRUE(WaitFor([&] { return sheet->Model().HasTables(); })) << "the opened record's range is in the sheet";
    EXPECT_GT(FactsOf(experiment).calculations, 0u);
    const std::string workbook = work / "sheet.xlsx";
    // The sheet's own save dialog is answered with the workbook's name; no
    // spreadsheet application is started.
    sheet->chooseWorkbookPath = [&workbook] { return std::optional<std::string>(workbook); };
    sheet->openWorkbook = [](const std::string&) {};
    router.UpdateIdle();
    ASSERT_TRUE(router.Execute(Views::CDataView::kExportExcelCommand)) << "the ribbon's workbook export";
    ASSERT_TRUE(fs::exists(workbook));
    const char* sourceDir = std::getenv("ORV_TEST_SOURCE_DIR");
    ASSERT_NE(sourceDir, nullptr) << "ORV_TEST_SOURCE_DIR names the source tree";
    int status = 0;
    const std::string dump = XlsxTest::RunCommand(
        "PYTHONIOENCODING=utf-8 /usr/bin/python3 " +
            XlsxTest::ShellQuote(std::string(sourceDir) + "/tests/views/data_sheet/read_sheet.py") + " " +
            XlsxTest::ShellQuote(workbook) + " 2>&1",
        status);
    ASSERT_EQ(status, 0) << dump;
    EXPECT_NE(dump.find("sheet "), std::string::npos) << dump;
    const std::string csv = work / "sheet.csv";
    ASSERT_TRUE(sheet->ExportToCsv(csv, sheet->Model().MethodOrder().front()));
    std::ifstream in(csv);
    std::string header, row;
    ASSERT_TRUE(std::getline(in, header));
    ASSERT_TRUE(std::getline(in, row)) << "a row of values follows the header";
  }

  // ---- the settings archive: written, then read back ----
  const std::string archive = work / "bench.orvsettings";
  configuration.TraceTimeSpan = 123;
  dialogs.Answer(archive);
  ASSERT_TRUE(router.Execute(kSaveSettings));
  EXPECT_EQ(answers.workspaceNames, 1);
  ASSERT_TRUE(fs::exists(archive));
  EXPECT_EQ(configuration.CustomUserWorkSpaceName, "Bench workspace");
  configuration.TraceTimeSpan = 45;
  configuration.Save();
  // The import restarts the program. The restart is taken here, where the
  // test plays the new program by loading the settings again.
  auto* fileHost = dynamic_cast<FrameFileHost*>(app.Frame()->FileHost());
  ASSERT_NE(fileHost, nullptr);
  int restarts = 0;
  FrameApplicationLink link(
      *fileHost, [&app] { return app.FileCommands(); }, [&restarts] { ++restarts; });
  frame->Commands()->SetApplication(&link);
  dialogs.Answer(archive);
  ASSERT_TRUE(router.Execute(kLoadSettings));
  EXPECT_EQ(restarts, 1);
  ORV::Test::SaveUiArtifact(*frame, "e2e_3_after_exports");

  // ---- the program closes; the record, changed since its save, is
  // asked about, and Yes saves it to its own file without asking for one
  // ----
  experiment.AddMarker("Checked after the review", experiment.startTick.load() + 1000, 0);
  ASSERT_TRUE(experiment.modified.load());
  const std::size_t shownBeforeClose = boxes.Shown().size();
  const std::size_t fileDialogsBeforeClose = dialogs.Asked().size();
  const auto savedAt = fs::last_write_time(saved);
  boxes.Answer(UI::IDYES);
  EXPECT_TRUE(frame->close());
  EXPECT_EQ(boxes.Shown().size(), shownBeforeClose + 1u);
  EXPECT_EQ(dialogs.Asked().size(), fileDialogsBeforeClose) << "the opened file is saved where it is";
  EXPECT_GT(fs::last_write_time(saved), savedAt);
  EXPECT_FALSE(experiment.modified.load());
  frame->Commands()->SetApplication(nullptr);
  EXPECT_EQ(app.ExitInstance(0), 0);

  // The settings the next start reads are the archive's.
  configuration.Load();
  EXPECT_EQ(configuration.TraceTimeSpan, 123);
  EXPECT_EQ(configuration.CustomUserWorkSpaceName, "Bench workspace");
}

}  // namespace
}  // namespace ORV

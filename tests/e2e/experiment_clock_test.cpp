// One collection of the whole program on the simulated lab, read back from
// its saved file against the experiment clock: the start question is held
// open for seconds before it is answered, function-key and "Add" markers are
// put at known moments, the pressure target changes at a known moment, and
// after the stop a range goes to the data sheet. Every stamp in the file must
// come from the one clock that started once the questions were answered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/base/trace_kinds.h"
#include "core/storage/relative_time.h"
#include "instruments/ui/multi_myograph_pane.h"
#include "platform/ui/focus_edit.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/frame_markers.h"
#include "shell/frame/main_frame_commands.h"
#include "shell/frame_plan.h"
#include "shell/sync_sampler.h"
#include "tests/e2e/program_on_lab.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

using namespace FrameCommand;
using namespace E2E;
namespace fs = std::filesystem;

// What a loaded machine may add between a stamp and the test's seeing it.
// The fault this test guards against puts one experiment's stamps seconds
// apart (the start question stays open 3 s), well past it.
constexpr std::int64_t kOneClockSlackMs = 1000;

// A mark the test made: its text, the pressure samples the record held at
// that moment, and the experiment clock just before and after it.
struct Moment {
  std::string text;
  std::size_t samplesBefore = 0;
  std::uint32_t clockBefore = 0;
  std::uint32_t clockAfter = 0;
};

std::int64_t Apart(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b); }

TEST(WholeProgramClock, EveryStampComesFromOneClockAndAStoppedRecordKeepsItsSheetRows) {
  // The exact vessel has no noise: the inlet pressure leaves its resting
  // value with the first reading after the unit took a new target.
  setenv("ORV_SIMLAB_VESSEL", "exact", 1);
  ProgramOnLab lab(1);
  ORV::Test::TempDir work;
  ASSERT_TRUE(lab.Start());
  CMainFrame& frame = *lab.frame;
  ExperimentData& experiment = lab.experiment();
  UI::CommandRouter& router = lab.router();
  RelativeTime::Interface& clock = experiment.ExperimentClock();
  auto* multi = dynamic_cast<CMyographMultiWnd*>(frame.PaneOf(PaneKind::Multi));
  ASSERT_NE(multi, nullptr);
  ASSERT_TRUE(WaitFor([&] { return frame.StartupChainDone(); }));
  ASSERT_TRUE(WaitFor([&] { return multi->Logic().Active(); })) << "the multi interface answers";
  // The sampling's period: every stamp the sampling gives lies within it.
  const auto period = static_cast<std::uint32_t>(
      SyncSampler::ChooseTiming(
          {.frequencyIndex =
               PlanSampling(lab.configuration().SampleFrequency, frame.CameraKind(), false).frequencyIndex,
           .cameraKind = frame.CameraKind()})
          .periodMs);

  // A mean-pressure view for the "Add" marker and the data sheet.
  const std::size_t viewsBefore = TraceWindows(frame).size();
  router.Execute(Shell::ID_FILE_NEW);
  ASSERT_EQ(TraceWindows(frame).size(), viewsBefore + 1);
  Views::TraceViewWindow* view = TraceWindows(frame).back();
  view->View().OnShowTraceKind(kTraceMeanPressure);
  ASSERT_FALSE(frame.CameraWindows()[0]->IsCapturing());

  // ---- the start: recording stays off, and the question about the camera
  // that does not capture stays open for three seconds before Yes ----
  lab.boxes.Answer(UI::IDNO);
  lab.boxes.AnswerAfter(UI::IDYES, 3000);
  ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
  ASSERT_EQ(lab.boxes.Shown().size(), 2u);
  EXPECT_EQ(lab.boxes.Shown()[1].text.toStdString(), "Attached camera not capturing. Start camera?");
  ASSERT_EQ(frame.Collection()->CollectionState(), kCollecting);
  EXPECT_TRUE(frame.CameraWindows()[0]->IsCapturing()) << "Yes started the camera";
  ASSERT_TRUE(WaitFor([&] { return PressureSamples(experiment) >= 20; }));

  // Each mark is made right after a sample came in, so the newest sample
  // stored is the one taken at that moment.
  const auto freshSample = [&] {
    const std::size_t n = PressureSamples(experiment);
    EXPECT_TRUE(WaitFor([&] { return PressureSamples(experiment) > n; }));
    return PressureSamples(experiment);
  };
  std::vector<Moment> moments;
  lab.configuration().HotKeys[0] = "Drug A";
  frame.UpdateMarkerButtons();
  {
    Moment m{"Drug A", freshSample(), clock.Now()};
    frame.SendMessage(WM_HOTKEY, IDHOT_F1, 0);
    m.clockAfter = clock.Now();
    moments.push_back(m);
  }
  RunFor(300);
  {
    // "Add" asks for the text (the dialog is answered "Added").
    Moment m{"Added", freshSample(), clock.Now()};
    router.UpdateIdle();
    ASSERT_TRUE(router.Execute(IDC_ADD_MARKER_BUTTON));
    m.clockAfter = clock.Now();
    EXPECT_EQ(lab.answers.markerTexts, 1);
    moments.push_back(m);
  }

  // ---- the pressure target changes ----
  const float resting = LastPressure(experiment).p1;
  const std::size_t beforeCommand = PressureSamples(experiment);
  for (const auto& [id, text] :
       {std::pair{MultiMyographPaneLogic::kTargetP1, "20"}, std::pair{MultiMyographPaneLogic::kTargetP2, "20"},
        std::pair{MultiMyographPaneLogic::kGradient, "10"}}) {
    CFocusEdit* entry = multi->Entry(id);
    ASSERT_NE(entry, nullptr);
    entry->setReadOnly(false);
    entry->setText(QString::fromLatin1(text));
  }
  const std::uint32_t commandAt = clock.Now();
  multi->OnCommand(MultiMyographPaneLogic::kChangePressures);
  ASSERT_TRUE(WaitFor([&] { return !multi->Busy(); }));
  const std::uint32_t commandDone = clock.Now();
  ASSERT_TRUE(WaitFor([&] { return LastPressure(experiment).p1 < resting - 1.0f; })) << "the unit takes the target";
  RunFor(500);

  // ---- the stop ----
  lab.boxes.Answer(UI::IDYES);
  ASSERT_TRUE(router.Execute(ID_START_STOP_BUTTON));
  ASSERT_EQ(frame.Collection()->CollectionState(), kLiveIdle);
  const std::uint32_t start = experiment.startTick;
  const std::size_t recorded = PressureSamples(experiment);
  const double recordedEnd = Apart(LastPressure(experiment).time, start) / 1000.0;

  // After the stop the view shows what was recorded: it ends with the
  // recording and stays there. Its last update may come a moment after the
  // last sample's tick on a loaded machine; a view that goes on drawing runs
  // on for as long as the test waits.
  RunFor(1500);
  EXPECT_EQ(PressureSamples(experiment), recorded) << "the stopped record takes no samples";
  EXPECT_LE(view->View().CurrentTime(), recordedEnd + period / 1000.0 + 0.5);
  EXPECT_LE(view->View().XMax(), std::max(recordedEnd, static_cast<double>(view->View().WindowLength())) + 1.0);

  // ---- a range of the stopped record goes to the data sheet ----
  const double from = Apart(moments[0].clockBefore, start) / 1000.0;
  view->View().SelectRange(from, from + 1.0);
  view->View().OnGraphSelectTrace(from, from + 1.0);
  router.UpdateIdle();
  ASSERT_TRUE(router.Execute(kDataExport));
  // The export fills the sheet at once.
  const bool rowShown =
      WaitFor([&] { return DataSheet(frame) != nullptr && DataSheet(frame)->Model().HasTables(); }, 5000);
  EXPECT_TRUE(rowShown) << "the range at the first marker shows in the data sheet";
  const auto calculations = [&] { return experiment.Read([](const ExperimentContents& c) { return c.calculations; }); };
  // The row as the record and the sheet hold it, and its export.
  const auto expectTheRow = [&](const std::string& csv) {
    const std::vector<CalculationData> rows = calculations();
    EXPECT_EQ(rows.size(), 1u) << "the record keeps the row the sheet shows";
    if (!rows.empty()) {
      EXPECT_EQ(rows[0].zone, -1) << "mean pressure follows no zone";
    }
    const Views::DataSheetTable* table = DataSheet(frame)->Model().Table(0);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->captions.back(), "Mean Pressure");
    router.UpdateIdle();
    ASSERT_TRUE(router.QueryState(Views::CDataView::kExportCsvCommand).enabled) << "Export to CSV";
    lab.dialogs.Answer(csv);
    const int exportsBefore = lab.answers.csvExports;
    EXPECT_TRUE(router.Execute(Views::CDataView::kExportCsvCommand));
    EXPECT_EQ(lab.answers.csvExports, exportsBefore + 1) << "the CSV export's dialog was shown";
    std::ifstream in(csv);
    std::string header, row;
    EXPECT_TRUE(std::getline(in, header)) << csv;
    EXPECT_TRUE(std::getline(in, row)) << "a row follows the header in " << csv;
  };
  if (rowShown) expectTheRow(work / "stopped.csv");

  // ---- saved and opened again ----
  lab.dialogs.Answer(work / "timed");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  lab.dialogs.Answer(work / "timed.tvx");
  ASSERT_TRUE(router.Execute(kFileOpen));
  ASSERT_EQ(experiment.mode.load(), kModeFile);
  if (DataSheet(frame) == nullptr) {
    ASSERT_TRUE(router.Execute(kShowDataSheet));
  }
  ASSERT_TRUE(WaitFor([&] { return DataSheet(frame) != nullptr; }));
  if (rowShown) expectTheRow(work / "reopened.csv");

  const std::vector<PMK4xData3> samples = PressureList(experiment);
  ASSERT_EQ(samples.size(), recorded);
  const std::vector<MarkerData2> markers = Markers(experiment);
  const auto markerNamed = [&](const std::string& text) -> const MarkerData2* {
    for (const MarkerData2& marker : markers)
      if (marker.text == text) return &marker;
    return nullptr;
  };
  // Every marker at its moment, after the sample taken then and close to it.
  // A clock started before the start question (open 3 s above) puts them
  // seconds apart; a loaded machine only delays the test's seeing the sample
  // by a fraction of that, so the bound is a second, not a period.
  for (const Moment& m : moments) {
    SCOPED_TRACE(m.text);
    const MarkerData2* marker = markerNamed(m.text);
    ASSERT_NE(marker, nullptr);
    EXPECT_GE(Apart(marker->time, m.clockBefore), 0);
    EXPECT_LE(Apart(marker->time, m.clockAfter), 0);
    ASSERT_GE(m.samplesBefore, 1u);
    const std::int64_t fromSample = Apart(marker->time, samples[m.samplesBefore - 1].time);
    EXPECT_GE(fromSample, 0) << "the sample seen before the mark is stamped before it";
    EXPECT_LE(fromSample, kOneClockSlackMs)
        << "marker at " << marker->time << ", sample at " << samples[m.samplesBefore - 1].time;
  }
  // The pressure leaves its resting value within one period of the command
  // (and the slack of a loaded machine).
  {
    std::size_t k = beforeCommand;
    while (k < samples.size() && !(samples[k].p1 < resting)) ++k;
    ASSERT_LT(k, samples.size());
    EXPECT_GE(Apart(samples[k].time, commandAt), -static_cast<std::int64_t>(period))
        << "command at " << commandAt << ", change stored at " << samples[k].time;
    EXPECT_LE(Apart(samples[k].time, commandDone), static_cast<std::int64_t>(period) + kOneClockSlackMs)
        << "command done at " << commandDone << ", change stored at " << samples[k].time;
    // The target is read back with the reading that follows the command, so
    // the first sample that shows the unit following it carries it too.
    EXPECT_FLOAT_EQ(samples[k].targetP1, 20.0f) << "the target stored with the pressure's first response";
    EXPECT_FLOAT_EQ(samples[k].targetP2, 20.0f);
  }
  // The stop marker follows the last sample: a reading under way at the
  // stop is stored at most a period after it (and the slack of a loaded
  // machine, where that reading takes longer).
  {
    const MarkerData2* stop = markerNamed("Data collection stopped");
    ASSERT_NE(stop, nullptr);
    for (const PMK4xData3& sample : samples)
      ASSERT_LE(Apart(sample.time, stop->time), static_cast<std::int64_t>(period) + kOneClockSlackMs)
          << "a sample at " << sample.time << " after the stop marker at " << stop->time;
    EXPECT_GE(Apart(stop->time, start), Apart(moments.back().clockAfter, start));
  }
  ORV::Test::SaveUiArtifact(frame, "e2e_clock_reopened");
}

}  // namespace
}  // namespace ORV

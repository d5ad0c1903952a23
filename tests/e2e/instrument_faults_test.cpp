// The whole program under instrument and camera faults during a
// collection, on the simulated lab's fault switches: every instrument and
// camera that is unplugged, answers garbage, stops answering or stops
// delivering pictures is told once by name; the others go on being
// recorded; nothing is stored in the lost one's name while it is lost; when
// it is back it is read again, and the record's actions say when it was
// missing.
#include <QApplication>
#include <algorithm>

#include "core/experiment/experiment_data.h"
#include "platform/ui/string_table.h"
#include "shell/fault_watch.h"
#include "tests/e2e/program_rig.h"
#include "video/ui/camera_pane.h"

namespace ORV::E2E {
namespace {

// One fault of the table: the lab's device, its fault, what the program
// calls it and where its record lies.
struct Row {
  const char* device;
  Sim::LabFault fault;
  WatchedSource source;
  // Its samples' stamps; empty for the heat controller, whose readings are
  // no measurements of the record.
  std::function<std::vector<std::uint32_t>(ExperimentData&)> times;
};

std::string NameOf(CMainFrame& frame, const WatchedSource& source) { return frame.Faults()->NameOf(source); }

// What the user is told after the failing one's name.
const char* ToldAs(const Row& row) {
  if (row.source.kind != kCameraSource) return " stopped answering";
  return row.fault == Sim::LabFault::kTorn ? " delivers torn pictures" : " delivers no picture";
}

// Samples stamped in (from, to).
std::size_t Within(const std::vector<std::uint32_t>& times, std::uint32_t from, std::uint32_t to) {
  return static_cast<std::size_t>(
      std::count_if(times.begin(), times.end(), [&](std::uint32_t t) { return t > from && t < to; }));
}

void RunPhase(ProgramRig& rig, const std::vector<Row>& faulty, const std::vector<Row>& working) {
  ExperimentData& experiment = rig.Experiment();
  FaultWatch& faults = *rig.Frame().Faults();
  const std::size_t boxesBefore = rig.boxes.Shown().size();
  std::vector<std::size_t> workingBefore;
  for (const Row& row : working) workingBefore.push_back(row.times(experiment).size());

  // ---- the faults, at one moment ----
  const std::uint32_t injected = rig.Now();
  for (const Row& row : faulty) ASSERT_TRUE(rig.Lab().SetFault(row.device, row.fault)) << row.device;
  const auto states = [&] {
    std::string text;
    for (const Row& r : faulty) text += std::string(r.device) + (faults.IsLost(r.source) ? " lost; " : " working; ");
    return text;
  };
  ASSERT_TRUE(WaitFor([&] {
    return std::all_of(faulty.begin(), faulty.end(), [&](const Row& r) { return faults.IsLost(r.source); });
  })) << "every faulty device is noticed: "
      << states();
  const std::uint32_t noticed = rig.Now();
  // The others record meanwhile (on a loaded machine their pace may be
  // slower than the program's period: the test waits for their samples).
  const auto othersGoOn = [&] {
    for (std::size_t i = 0; i < working.size(); ++i)
      if (working[i].times(experiment).size() <= workingBefore[i] + 3) return false;
    return true;
  };
  WaitFor(othersGoOn);
  RunFor(1500);
  for (const Row& row : faulty) {
    const std::string name = NameOf(rig.Frame(), row.source);
    EXPECT_EQ(rig.BoxesWith(name + ToldAs(row), boxesBefore), 1) << row.device << ": told once, by name";
  }
  for (std::size_t i = 0; i < working.size(); ++i) {
    EXPECT_FALSE(faults.IsLost(working[i].source)) << working[i].device;
    EXPECT_GT(working[i].times(experiment).size(), workingBefore[i] + 3) << working[i].device << " goes on";
  }

  // ---- back, at one moment ----
  const std::uint32_t cleared = rig.Now();
  for (const Row& row : faulty) ASSERT_TRUE(rig.Lab().SetFault(row.device, Sim::LabFault::kNone)) << row.device;
  ASSERT_TRUE(WaitFor([&] {
    return std::none_of(faulty.begin(), faulty.end(), [&](const Row& r) { return faults.IsLost(r.source); });
  })) << "every device is read again: "
      << states();
  std::vector<std::size_t> backCounts;
  for (const Row& row : faulty) backCounts.push_back(row.times ? row.times(experiment).size() : 0);
  RunFor(1500);
  for (std::size_t i = 0; i < faulty.size(); ++i) {
    const Row& row = faulty[i];
    SCOPED_TRACE(row.device);
    if (row.times) {
      const std::vector<std::uint32_t> times = row.times(experiment);
      EXPECT_GT(times.size(), backCounts[i]) << "recorded again";
      // Nothing stored between the moment it was noticed lost and the
      // moment it could come back: a gap, not the last value again.
      EXPECT_EQ(Within(times, noticed, cleared), 0u);
    }
    const std::string name = NameOf(rig.Frame(), row.source);
    const std::optional<ActionData> lost = ActionStarting(experiment, name + " lost");
    const std::optional<ActionData> back = ActionStarting(experiment, name + " back after ");
    ASSERT_TRUE(lost && back) << "the record says when it was missing";
    EXPECT_GE(lost->time, injected);
    EXPECT_LE(lost->time, noticed);
    EXPECT_GE(back->time, cleared);
    EXPECT_GT(back->time, lost->time);
  }
  // Nothing more was told when they came back.
  EXPECT_EQ(rig.boxes.Shown().size(), boxesBefore + faulty.size());
}

TEST(InstrumentFaults, LostInstrumentsAndCamerasAreToldLeaveGapsAndAreTakenUpAgain) {
  // The fastest pace, so a silent heat controller is noticed within seconds.
  ProgramRig rig({}, [](Configuration& c) { c.SampleFrequency = 2; });
  ASSERT_TRUE(rig.Up());
  rig.CaptureAndDrawZones();
  rig.StartCollection();
  ASSERT_TRUE(WaitFor([&] {
    ExperimentData& e = rig.Experiment();
    return PressureTimes(e).size() > 20 && FlowTimes(e).size() > 3 && MicroscopeTimes(e, 0).size() > 3 &&
           ZoneTimes(e, 0).size() > 5 && ZoneTimes(e, 1).size() > 5;
  }));
  ORV::Test::SaveUiArtifact(rig.Frame(), "e2e_faults_1_collecting");

  const auto camera = [](int c) { return [c](ExperimentData& e) { return ZoneTimes(e, c); }; };
  const Row flowUnplugged{"flow", Sim::LabFault::kUnplugged, {kDeviceFlowMeter, 0}, FlowTimes};
  const Row microscopeGarbage{"microscope", Sim::LabFault::kGarbage, {kDeviceMicroscope, 0}, [](ExperimentData& e) {
                                return MicroscopeTimes(e, 0);
                              }};
  const Row camera2Stopped{"camera2", Sim::LabFault::kStopped, {kCameraSource, 1}, camera(1)};
  const Row multiUnplugged{"multi", Sim::LabFault::kUnplugged, {kDeviceMultiInterface, 0}, PressureTimes};
  const Row camera1Torn{"camera1", Sim::LabFault::kTorn, {kCameraSource, 0}, camera(0)};
  const Row multiWorking{"multi", Sim::LabFault::kNone, {kDeviceMultiInterface, 0}, PressureTimes};
  const Row camera1Working{"camera1", Sim::LabFault::kNone, {kCameraSource, 0}, camera(0)};
  const Row camera2Working{"camera2", Sim::LabFault::kNone, {kCameraSource, 1}, camera(1)};
  const Row flowWorking{"flow", Sim::LabFault::kNone, {kDeviceFlowMeter, 0}, FlowTimes};

  // Its readings are no measurements of the record: it is told, and its
  // loss and return are actions, like the others'.
  const Row heaterSilent{"heater", Sim::LabFault::kSilent, {kDeviceHeatController, 0}, {}};

  {
    SCOPED_TRACE("serial instruments, a silent heat controller and a camera");
    RunPhase(rig, {flowUnplugged, microscopeGarbage, heaterSilent, camera2Stopped}, {multiWorking, camera1Working});
  }
  {
    SCOPED_TRACE("the multi interface's HID device and a camera's torn pictures");
    RunPhase(rig, {multiUnplugged, camera1Torn}, {flowWorking, camera2Working});
  }
  {
    // The camera is started again on its view with its zones: it measures
    // again.
    SCOPED_TRACE("a camera unplugged and plugged in again");
    const Row camera1Unplugged{"camera1", Sim::LabFault::kUnplugged, {kCameraSource, 0}, camera(0)};
    RunPhase(rig, {camera1Unplugged}, {multiWorking, flowWorking, camera2Working});
  }
  // The multi interface's pane, closed when it was given up, is back.
  UI::DockingPane* multi = rig.Frame().PaneOf(PaneKind::Multi);
  ASSERT_NE(multi, nullptr);
  EXPECT_TRUE(multi->isVisible());
  ORV::Test::SaveUiArtifact(rig.Frame(), "e2e_faults_2_after");
  rig.StopCollection();
}

// A camera without zones has no measurement to tell its return: it is back,
// and its picture with it, once whole frames come again.
TEST(InstrumentFaults, ACameraWithoutZonesThatWasUnpluggedIsBackWithItsPictures) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  auto* cameraPane = dynamic_cast<Video::CCameraPane*>(rig.Frame().PaneOf(PaneKind::CameraPane));
  ASSERT_NE(cameraPane, nullptr);
  ASSERT_TRUE(rig.Frame().AttachCameraPane(0));
  if (!rig.Frame().CameraWindows()[0]->IsCapturing()) cameraPane->CaptureButton()->click();
  CameraWindow& window = *rig.Frame().CameraWindows()[0];
  ASSERT_TRUE(window.IsCapturing());
  ASSERT_EQ(window.MeasuringZones(), 0);
  rig.StartCollection();
  ASSERT_TRUE(WaitFor([&] { return window.FrameCount() > 5; }));

  FaultWatch& faults = *rig.Frame().Faults();
  const WatchedSource source{kCameraSource, 0};
  const std::string name = NameOf(rig.Frame(), source);
  const std::size_t boxesBefore = rig.boxes.Shown().size();
  ASSERT_TRUE(rig.Lab().SetFault("camera1", Sim::LabFault::kUnplugged));
  ASSERT_TRUE(WaitFor([&] { return faults.IsLost(source); }));
  RunFor(1500);
  ASSERT_TRUE(rig.Lab().SetFault("camera1", Sim::LabFault::kNone));
  ASSERT_TRUE(WaitFor([&] { return !faults.IsLost(source); })) << "back once it is plugged in";
  const std::uint64_t frames = window.FrameCount();
  EXPECT_TRUE(WaitFor([&] { return window.FrameCount() > frames + 5; })) << "its pictures come again";
  EXPECT_FALSE(window.CameraLost());

  EXPECT_EQ(rig.BoxesWith(name + " delivers no picture", boxesBefore), 1) << "told once, by name";
  EXPECT_EQ(rig.boxes.Shown().size(), boxesBefore + 1);
  const std::optional<ActionData> lost = ActionStarting(rig.Experiment(), name + " lost");
  const std::optional<ActionData> back = ActionStarting(rig.Experiment(), name + " back after ");
  ASSERT_TRUE(lost && back) << "the record says when it was missing";
  EXPECT_GT(back->time, lost->time);
  rig.StopCollection();
}

}  // namespace
}  // namespace ORV::E2E

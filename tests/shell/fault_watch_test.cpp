// What the user is told and the record says when an instrument, a camera or
// the running backup fails: told once for each loss, in words that name it;
// an action when it is lost and one when it is back (with how long it was
// missing) while a collection records; the frame hears of each change.
#include "shell/fault_watch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "instruments/device.h"
#include "platform/ui/string_ids.h"

namespace ORV {
namespace {

class FakeHost final : public FaultWatchHost {
 public:
  std::string Text(std::uint32_t id, std::initializer_list<std::string_view> args) override {
    std::string text = "<" + std::to_string(id) + ">";
    for (std::string_view a : args) text += " " + std::string(a);
    return text;
  }
  void Tell(const std::string& text) override { told.push_back(text); }
  void AddAction(const std::string& text) override { actions.push_back(text); }
  bool Collecting() override { return collecting; }
  std::uint64_t SteadyMs() override { return now; }
  std::string CameraName(int index) override { return "Camera " + std::to_string(index + 1) + " (DMx)"; }
  void SourceChanged(const WatchedSource& source, bool lost) override {
    changes.push_back({source.kind, source.index, lost});
  }

  struct Change {
    std::uint32_t kind;
    int index;
    bool lost;
    bool operator==(const Change&) const = default;
  };
  std::vector<std::string> told, actions;
  std::vector<Change> changes;
  bool collecting = true;
  std::uint64_t now = 10000;
};

std::string Id(std::uint32_t id) { return "<" + std::to_string(id) + ">"; }

TEST(FaultWatch, EachLossIsToldOnceByNameAndTheRecordSaysWhenItWasMissing) {
  const struct {
    WatchedSource source;
    std::string name;
    std::uint32_t message;
    FaultWatch::CameraFault fault = FaultWatch::CameraFault::kNoPicture;
  } cases[] = {
      {{kDeviceMultiInterface, 0}, Id(UI::kMultiInterfaceNameString), UI::kInstrumentLostString},
      {{kDeviceSinglePressureInterface, 0}, Id(UI::kSingleInterfaceNameString), UI::kInstrumentLostString},
      {{kDeviceFlowMeter, 0}, Id(UI::kFlowMeterNameString), UI::kInstrumentLostString},
      {{kDeviceMicroscope, 1}, Id(UI::kMicroscopeNameString) + " 2", UI::kInstrumentLostString},
      {{kDeviceHeatController, 0}, Id(UI::kHeatControllerNameString), UI::kInstrumentLostString},
      {{kCameraSource, 1}, "Camera 2 (DMx)", UI::kCameraLostString},
      {{kCameraSource, 2}, "Camera 3 (DMx)", UI::kCameraTornString, FaultWatch::CameraFault::kTornPictures},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    FaultWatch watch(host);
    watch.Back(c.source);  // back without having been lost: nothing
    EXPECT_TRUE(host.changes.empty());

    watch.Lost(c.source, c.fault);
    watch.Lost(c.source, c.fault);  // the worker or the watchdog reports again
    EXPECT_EQ(host.told, std::vector<std::string>{Id(c.message) + " " + c.name}) << "told once";
    EXPECT_EQ(host.actions, std::vector<std::string>{Id(UI::kInstrumentLostActionString) + " " + c.name});
    EXPECT_TRUE(watch.IsLost(c.source));
    EXPECT_FALSE(watch.IsLost({c.source.kind, c.source.index + 1})) << "only that one";

    host.now += 12345;
    watch.Back(c.source);
    watch.Back(c.source);
    EXPECT_EQ(host.actions.back(), Id(UI::kInstrumentBackActionString) + " " + c.name + " 12.3");
    EXPECT_EQ(host.actions.size(), 2u);
    EXPECT_EQ(host.told.size(), 1u) << "nothing to answer when it is back";
    EXPECT_EQ(host.changes, (std::vector<FakeHost::Change>{{c.source.kind, c.source.index, true},
                                                           {c.source.kind, c.source.index, false}}));
    // Lost again later: told again.
    watch.Lost(c.source, c.fault);
    EXPECT_EQ(host.told.size(), 2u);
  }
}

TEST(FaultWatch, WithoutACollectionTheUserIsToldButTheRecordGetsNothing) {
  FakeHost host;
  host.collecting = false;
  FaultWatch watch(host);
  watch.Lost({kDeviceFlowMeter, 0});
  watch.Back({kDeviceFlowMeter, 0});
  EXPECT_EQ(host.told.size(), 1u);
  EXPECT_TRUE(host.actions.empty());
  EXPECT_EQ(host.changes.size(), 2u);
}

TEST(FaultWatch, ABackupThatStopsIsToldOnceForEachFailure) {
  FakeHost host;
  FaultWatch watch(host);
  watch.CheckBackup(0, {});
  EXPECT_TRUE(host.told.empty());
  for (int second = 0; second < 3; ++second) watch.CheckBackup(ENOSPC, "/state/ORV-TX5/17/Pressure_0.dta");
  EXPECT_EQ(host.told,
            std::vector<std::string>{Id(UI::kBackupStoppedString) + " /state/ORV-TX5/17 " + std::strerror(ENOSPC)});
  EXPECT_EQ(host.actions, std::vector<std::string>{Id(UI::kBackupStoppedActionString) + " " + std::strerror(ENOSPC)});
  // A new backup writes again; its own failure is told again.
  watch.CheckBackup(0, {});
  watch.CheckBackup(EROFS, "/state/ORV-TX5/18/ZoneData_0.dta");
  EXPECT_EQ(host.told.size(), 2u);
  EXPECT_NE(host.told.back().find(std::strerror(EROFS)), std::string::npos);
}

// The frame's watch of its cameras, a second apart: when a camera is lost,
// when its window is to start it again, and when it is back. A camera that
// went away is back once it delivers again: its measurements where it
// measures zones, else its whole frames (a camera without zones has no
// measurement to move).
TEST(FaultWatch, ACameraIsStartedAgainUntilItDeliversAndThenBack) {
  using Reading = FaultWatch::CameraReading;
  const std::string name = "Camera 1 (DMx)";
  const std::string noPicture = Id(UI::kCameraLostString) + " " + name;
  const std::string tornPictures = Id(UI::kCameraTornString) + " " + name;
  struct Step {
    std::uint64_t advance;
    Reading reading;
    bool restartNow;  // a device arrived
    bool restart;     // the window is to start its camera again
    bool lost;
  };
  const Reading gone{.lost = true};
  const auto live = [](int zones, std::uint64_t measurements, std::uint64_t frames, std::uint64_t torn = 0) {
    return Reading{
        .capturing = true, .measuringZones = zones, .measurements = measurements, .frames = frames, .torn = torn};
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> told;
    std::size_t actions;  // lost and back
  } cases[] = {
      {"no zones: gone, started again every 3 s and at an arrival, back with its frames",
       {{0, live(0, 0, 100), false, false, false},
        {1000, gone, false, true, true},
        {1000, gone, false, false, true},
        {2000, gone, false, true, true},
        {100, gone, true, true, true},
        // Started, but no frame yet (still gone, or not there yet).
        {1000, live(0, 0, 100), false, false, true},
        {1000, live(0, 0, 160), false, false, false},
        {1000, live(0, 0, 175), false, false, false}},
       {noPicture},
       2},
      {"zones: gone, back with its measurements (frames alone are no return)",
       {{0, live(1, 50, 100), false, false, false},
        {1000, gone, false, true, true},
        {1000, live(1, 50, 130), false, false, true},
        {1000, live(1, 80, 160), false, false, false}},
       {noPicture},
       2},
      {"zones measuring nothing for 3 s: lost without a restart, back when it measures",
       {{0, live(1, 50, 100), false, false, false},
        {1000, live(1, 50, 100), false, false, false},
        {1999, live(1, 50, 100), false, false, false},
        {1, live(1, 50, 100), false, false, true},
        {1000, live(1, 50, 100), true, false, true},
        {1000, live(1, 51, 101), false, false, false}},
       {noPicture},
       2},
      {"zones and torn frames only: lost with torn pictures",
       {{0, live(2, 50, 100, 7), false, false, false}, {3000, live(2, 50, 100, 90), false, false, true}},
       {tornPictures},
       1},
      {"a camera that does not capture is not watched for silence",
       {{0, live(1, 50, 100), false, false, false},
        {5000, Reading{.measuringZones = 1, .measurements = 50, .frames = 100}, false, false, false}},
       {},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    FaultWatch watch(host);
    const WatchedSource source{kCameraSource, 0};
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      host.now += step.advance;
      EXPECT_EQ(watch.WatchCamera(0, step.reading, step.restartNow), step.restart) << "step " << i;
      EXPECT_EQ(watch.IsLost(source), step.lost) << "step " << i;
    }
    EXPECT_EQ(host.told, c.told) << "told once";
    ASSERT_EQ(host.actions.size(), c.actions);
    if (c.actions == 2) {
      EXPECT_EQ(host.actions[1].rfind(Id(UI::kInstrumentBackActionString) + " " + name, 0), 0u);
    }
  }
}

}  // namespace
}  // namespace ORV

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

}  // namespace
}  // namespace ORV

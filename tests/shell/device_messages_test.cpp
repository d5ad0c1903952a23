#include "shell/device_messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/device_monitor.h"

namespace ORV {
namespace {

class FakeDevices final : public SamplerDevices {
 public:
  bool multi = true, single = true, flow = true;
  std::uint32_t loadResult = 0;
  std::uint32_t connectedType = 0;  // the one type IsConnected answers true for; 0 none
  std::vector<std::string> calls;

  void ReloadPorts() override { calls.push_back("ports"); }
  bool MultiAnswers() override { return multi; }
  bool SingleAnswers() override { return single; }
  bool FlowAnswers() override { return flow; }
  std::uint32_t LoadDevices(std::uint32_t mask) override {
    calls.push_back("load " + std::to_string(mask));
    return loadResult;
  }
  bool IsConnected(std::uint32_t type) override { return connectedType != 0 && type == connectedType; }
  void ReopenMicroscopes() override { ++microscopeReopens; }
  bool HeatControllerAnswers() override { return heat; }
  bool heat = true;
  int microscopeReopens = 0;
  int Reloads() const {
    int n = 0;
    for (const auto& c : calls) n += c == "ports";
    return n;
  }
};

class FakePanes final : public DevicePanes {
 public:
  std::vector<std::string> calls;
  void ShowSingleUnitPane(bool delayedAndInactive) override {
    calls.push_back(delayedAndInactive ? "show delayed" : "show active");
  }
  void CloseDevicePane(std::uint32_t kind) override { calls.push_back("close " + std::to_string(kind)); }
};

class RecordingTarget final : public OS::MessageTarget {
 public:
  std::vector<std::uint32_t> posted;
  bool PostMessage(std::uint32_t message, OS::WPARAM, OS::LPARAM) override {
    posted.push_back(message);
    return true;
  }
};

TEST(DeviceMessages, ArrivalReloadsWhatDoesNotAnswer) {
  const struct {
    const char* name;
    bool multi, single, flow;
    std::uint32_t loadResult;
    std::vector<std::string> devices, panes;
  } cases[] = {
      {"all answer", true, true, true, 0, {"ports"}, {}},
      {"single missing, found", true, false, true, 1, {"ports", "load 1"}, {"show active"}},
      {"single missing, not found", true, false, true, 0, {"ports", "load 1"}, {}},
      {"multi silent", false, false, true, 0, {"ports", "load 8"}, {}},
      {"flow silent", true, true, false, 0, {"ports", "load 2"}, {}},
      {"multi and flow silent", false, true, false, 0, {"ports", "load 8", "load 2"}, {}},
  };
  for (const auto& c : cases) {
    FakeDevices devices;
    devices.multi = c.multi;
    devices.single = c.single;
    devices.flow = c.flow;
    devices.loadResult = c.loadResult;
    FakePanes panes;
    DeviceMessageHandler handler(devices, panes, [] { return std::uint64_t{0}; });
    EXPECT_EQ(handler.OnDeviceChange(OS::DBT_DEVICEARRIVAL), 0) << c.name;
    EXPECT_EQ(devices.calls, c.devices) << c.name;
    EXPECT_EQ(panes.calls, c.panes) << c.name;
  }
}

// A microscope or a heat controller pulled out and plugged in again comes up
// on a new terminal: an arrival opens the microscopes that are not connected
// again, and loads a heat controller in use that does not answer.
TEST(DeviceMessages, ArrivalAlsoOpensMicroscopesAndAHeatControllerInUseAgain) {
  const struct {
    const char* name;
    bool watched, answers;
    std::vector<std::string> devices;
  } cases[] = {
      {"heat controller in use answers", true, true, {"ports"}},
      {"heat controller in use gone", true, false, {"ports", "load 32"}},
      {"no heat controller in use", false, false, {"ports"}},
  };
  for (const auto& c : cases) {
    FakeDevices devices;
    devices.heat = c.answers;
    FakePanes panes;
    DeviceMessageHandler handler(devices, panes, [] { return std::uint64_t{0}; });
    handler.WatchHeatController(c.watched);
    handler.OnDeviceChange(OS::DBT_DEVICEARRIVAL);
    EXPECT_EQ(devices.calls, c.devices) << c.name;
    EXPECT_EQ(devices.microscopeReopens, 1) << c.name;
  }
}

TEST(DeviceMessages, RemovalOnlyRefreshesThePortsAndOtherEventsNothing) {
  FakeDevices devices;
  devices.multi = devices.single = devices.flow = false;
  FakePanes panes;
  std::uint64_t now = 0;
  DeviceMessageHandler handler(devices, panes, [&] { return now; });
  handler.OnDeviceChange(0x0007);  // a node-change notice
  EXPECT_TRUE(devices.calls.empty());
  handler.OnDeviceChange(OS::DBT_DEVICEREMOVECOMPLETE);
  EXPECT_EQ(devices.calls, std::vector<std::string>{"ports"});
  EXPECT_TRUE(panes.calls.empty());
}

TEST(DeviceMessages, ABurstOfArrivalsGivesABoundedNumberOfReloads) {
  FakeDevices devices;
  devices.flow = false;
  FakePanes panes;
  std::uint64_t now = 5000;
  DeviceMessageHandler handler(devices, panes, [&] { return now; });
  for (int i = 0; i < 50; ++i) {  // 50 arrivals within 100 ms
    handler.OnDeviceChange(OS::DBT_DEVICEARRIVAL);
    now += 2;
  }
  EXPECT_EQ(devices.Reloads(), 1);
  EXPECT_TRUE(handler.HasPending());
  handler.Flush();  // still within the quiet time
  EXPECT_EQ(devices.Reloads(), 1);
  now += 1000;  // the frame's next one-second timer
  handler.Flush();
  EXPECT_EQ(devices.Reloads(), 2);
  EXPECT_EQ(devices.calls.back(), "load 2");  // the noted arrival ran in full
  EXPECT_FALSE(handler.HasPending());
  now += 1000;
  handler.Flush();
  EXPECT_EQ(devices.Reloads(), 2);
}

TEST(DeviceMessages, FailedDevicesCloseTheirPanesAndEventsShowTheSingleUnit) {
  FakeDevices devices;
  FakePanes panes;
  DeviceMessageHandler handler(devices, panes, [] { return std::uint64_t{0}; });
  for (std::uint32_t kind : {1u, 8u, 2u, 16u, 32u, 0u}) EXPECT_EQ(handler.OnDeviceFailed(kind), 1);
  for (std::uint32_t kind : {8u, 1u, 16u}) EXPECT_EQ(handler.OnDeviceEvent(kind), 1);
  EXPECT_EQ(panes.calls, (std::vector<std::string>{"close 1", "close 8", "close 2", "show delayed"}));
}

// ---- the inactivity monitor ----

class IdleMonitorTest : public ::testing::Test {
 protected:
  std::unique_ptr<IdleMonitor> Make() {
    return std::make_unique<IdleMonitor>(devices_,
                                         IdleMonitor::Experiment{[&] { return fromFile_; }, [&] { return collecting_; },
                                                                 [&] { return video_; }, [&] { return liveTrace_; }},
                                         target_, [&] { return now_; });
  }
  // Runs the one-second timer until `until`.
  void RunUntil(IdleMonitor& monitor, std::uint64_t until) {
    while (now_ < until) {
      now_ += 1000;
      monitor.OnTimer();
    }
  }

  FakeDevices devices_;
  std::shared_ptr<RecordingTarget> target_ = std::make_shared<RecordingTarget>();
  std::uint64_t now_ = 1000000;
  bool fromFile_ = false, collecting_ = true, video_ = false, liveTrace_ = false;
};

TEST_F(IdleMonitorTest, CollectingWithNothingConnectedWarnsEveryFiveMinutes) {
  auto monitor = Make();
  const std::uint64_t start = now_;
  RunUntil(*monitor, start + IdleMonitor::kLimitMs);
  EXPECT_TRUE(target_->posted.empty());  // not over the limit yet
  RunUntil(*monitor, start + IdleMonitor::kLimitMs + 1000);
  EXPECT_EQ(target_->posted, std::vector<std::uint32_t>{IdleMonitor::WM_PRESSURE_NOT_CONNECTED});
  EXPECT_EQ(monitor->LastActivity(), now_);
  RunUntil(*monitor, now_ + IdleMonitor::kLimitMs);
  EXPECT_EQ(target_->posted.size(), 1u);
  RunUntil(*monitor, now_ + 1000);
  EXPECT_EQ(target_->posted.size(), 2u);
}

TEST_F(IdleMonitorTest, ActivityKeepsItQuiet) {
  const struct {
    const char* name;
    std::uint32_t connected;
    bool fromFile, collecting, video, liveTrace;
  } cases[] = {
      {"single unit connected", 1, false, true, false, false},
      {"fast multi interface model", 0x100001, false, true, false, false},
      {"camera present", 4, false, true, false, false},
      {"heat controller", 32, false, true, false, false},
      {"reviewing a file", 0, true, true, false, false},
      {"nothing collected, no video, no live trace", 0, false, false, false, false},
  };
  for (const auto& c : cases) {
    devices_.connectedType = c.connected;
    fromFile_ = c.fromFile;
    collecting_ = c.collecting;
    video_ = c.video;
    liveTrace_ = c.liveTrace;
    target_->posted.clear();
    auto monitor = Make();
    RunUntil(*monitor, now_ + 2 * IdleMonitor::kLimitMs);
    EXPECT_TRUE(target_->posted.empty()) << c.name;
  }
  // Video or a live trace alone counts as collecting.
  devices_.connectedType = 0;
  fromFile_ = collecting_ = false;
  video_ = true;
  auto monitor = Make();
  RunUntil(*monitor, now_ + IdleMonitor::kLimitMs + 1000);
  EXPECT_EQ(target_->posted.size(), 1u);
}

}  // namespace
}  // namespace ORV

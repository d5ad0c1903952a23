// Hot-plug: device events from a source reach the listener as
// WM_DEVICECHANGE arrival and removal, from the monitor's own thread, and
// the monitor stops at once.
#include "platform/os/device_monitor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <mutex>
#include <thread>

#include "tests/instruments/manager/recording_target.h"

namespace ORV::Test {
namespace {

// Events written into a pipe by the test; the test can hang the pipe up,
// and the monitor reopen it (a new pipe).
class FakeEventSource final : public OS::DeviceEventSource {
 public:
  FakeEventSource() { Open(); }
  ~FakeEventSource() override { Close(); }
  // 'a' arrival, 'r' removal, anything else an event of no interest.
  void Push(char event) {
    std::lock_guard lock(mutex_);
    ASSERT_EQ(::write(fds_[1], &event, 1), 1);
  }
  // Closes the writing end: the reading end reports a hang-up.
  void HangUp() {
    std::lock_guard lock(mutex_);
    ::close(fds_[1]);
    fds_[1] = -1;
  }
  // The next `count` reopens fail.
  void FailReopens(int count) {
    std::lock_guard lock(mutex_);
    failReopens_ = count;
  }
  int Reopens() const {
    std::lock_guard lock(mutex_);
    return reopens_;
  }

  int Fd() const override {
    std::lock_guard lock(mutex_);
    return fds_[0];
  }
  std::optional<OS::DeviceChange> Next(bool& more) override {
    char event = 0;
    more = ::read(Fd(), &event, 1) == 1;
    if (!more) return std::nullopt;
    if (event == 'a') return OS::DeviceChange::Arrival;
    if (event == 'r') return OS::DeviceChange::Removal;
    return std::nullopt;
  }
  bool Reopen() override {
    std::lock_guard lock(mutex_);
    ++reopens_;
    Close();
    if (failReopens_ > 0) {
      --failReopens_;
      return false;
    }
    Open();
    return fds_[0] >= 0;
  }

 private:
  void Open() {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  void Close() {
    for (int& fd : fds_) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }

  mutable std::mutex mutex_;
  int fds_[2] = {-1, -1};
  int failReopens_ = 0;
  int reopens_ = 0;
};

// The monitor's error log, written on its thread.
struct LogLines {
  std::mutex mutex;
  std::vector<std::string> lines;
  OS::DeviceMonitor::ErrorLog Sink() {
    return [this](const std::string& text) {
      std::lock_guard lock(mutex);
      lines.push_back(text);
    };
  }
  std::vector<std::string> Take() {
    std::lock_guard lock(mutex);
    return std::move(lines);
  }
};

TEST(DeviceMonitorTest, ArrivalsAndRemovalsArePostedInOrder) {
  auto source = std::make_unique<FakeEventSource>();
  FakeEventSource* events = source.get();
  auto target = std::make_shared<RecordingTarget>();
  OS::DeviceMonitor monitor(std::move(source), target);
  ASSERT_TRUE(monitor.Start());
  EXPECT_FALSE(monitor.Start());
  for (char e : std::string("axrr")) events->Push(e);
  ASSERT_TRUE(target->WaitFor(3));
  monitor.Stop();
  EXPECT_FALSE(monitor.IsRunning());
  EXPECT_EQ(target->Messages(), (std::vector<Posted>{{OS::WM_DEVICECHANGE, OS::DBT_DEVICEARRIVAL, 0},
                                                     {OS::WM_DEVICECHANGE, OS::DBT_DEVICEREMOVECOMPLETE, 0},
                                                     {OS::WM_DEVICECHANGE, OS::DBT_DEVICEREMOVECOMPLETE, 0}}));
  // Stopped: later events stay unread.
  events->Push('a');
  EXPECT_EQ(target->Count(), 3u);
  monitor.Stop();
}

// A hang-up of the event socket: the events queued before it are posted,
// the monitor logs it, reopens the source (retrying while that fails),
// tells the listener to look at the devices afresh, and goes on reporting.
TEST(DeviceMonitorTest, AHungUpSourceIsLoggedReportedAndReopened) {
  const std::string closed =
      "DeviceMonitor - the device event socket was closed; device changes may have been missed; reopening it";
  struct Case {
    const char* name;
    int failedReopens;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"reopens at once", 0, {closed}},
      {"reopens at the second try",
       1,
       {closed, "DeviceMonitor - the device event socket cannot be reopened; retrying every second",
        "DeviceMonitor - the device event socket is open again"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = std::make_unique<FakeEventSource>();
    FakeEventSource* events = source.get();
    events->FailReopens(c.failedReopens);
    auto target = std::make_shared<RecordingTarget>();
    LogLines log;
    OS::DeviceMonitor monitor(std::move(source), target, log.Sink());
    ASSERT_TRUE(monitor.Start());
    events->Push('a');
    events->Push('r');
    events->HangUp();
    ASSERT_TRUE(target->WaitFor(3));
    events->Push('a');
    ASSERT_TRUE(target->WaitFor(4));
    EXPECT_TRUE(monitor.IsRunning());
    monitor.Stop();
    EXPECT_EQ(target->Messages(), (std::vector<Posted>{{OS::WM_DEVICECHANGE, OS::DBT_DEVICEARRIVAL, 0},
                                                       {OS::WM_DEVICECHANGE, OS::DBT_DEVICEREMOVECOMPLETE, 0},
                                                       {OS::WM_DEVICECHANGE, OS::DBT_DEVNODES_CHANGED, 0},
                                                       {OS::WM_DEVICECHANGE, OS::DBT_DEVICEARRIVAL, 0}}));
    EXPECT_EQ(events->Reopens(), c.failedReopens + 1);
    EXPECT_EQ(log.Take(), c.log);
  }
}

TEST(DeviceMonitorTest, StopEndsARetryingMonitor) {
  auto source = std::make_unique<FakeEventSource>();
  FakeEventSource* events = source.get();
  events->FailReopens(1000);
  auto target = std::make_shared<RecordingTarget>();
  OS::DeviceMonitor monitor(std::move(source), target);
  ASSERT_TRUE(monitor.Start());
  events->HangUp();
  while (events->Reopens() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  monitor.Stop();
  EXPECT_FALSE(monitor.IsRunning());
  EXPECT_TRUE(target->Messages().empty());
}

TEST(DeviceMonitorTest, NothingStartsWithoutASource) {
  OS::DeviceMonitor monitor(nullptr, std::make_shared<RecordingTarget>());
  EXPECT_FALSE(monitor.Start());
  monitor.Stop();
}

TEST(DeviceMonitorTest, SystemMonitorStartsAndStops) {
  std::unique_ptr<OS::DeviceEventSource> source = OS::MakeUdevDeviceEventSource();
  if (!source) GTEST_SKIP() << "udev cannot be used here";
  OS::DeviceMonitor monitor(std::move(source), std::make_shared<RecordingTarget>());
  ASSERT_TRUE(monitor.Start());
  monitor.Stop();
  EXPECT_FALSE(monitor.IsRunning());
}

}  // namespace
}  // namespace ORV::Test

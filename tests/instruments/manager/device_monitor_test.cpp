// Hot-plug: device events from a source reach the listener as
// WM_DEVICECHANGE arrival and removal, from the monitor's own thread, and
// the monitor stops at once.
#include "platform/os/device_monitor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <mutex>

#include "tests/instruments/manager/recording_target.h"

namespace ORV::Test {
namespace {

// Events written into a pipe by the test.
class FakeEventSource final : public OS::DeviceEventSource {
 public:
  FakeEventSource() {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~FakeEventSource() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  // 'a' arrival, 'r' removal, anything else an event of no interest.
  void Push(char event) { ASSERT_EQ(::write(fds_[1], &event, 1), 1); }

  int Fd() const override { return fds_[0]; }
  std::optional<OS::DeviceChange> Next(bool& more) override {
    char event = 0;
    more = ::read(fds_[0], &event, 1) == 1;
    if (!more) return std::nullopt;
    if (event == 'a') return OS::DeviceChange::Arrival;
    if (event == 'r') return OS::DeviceChange::Removal;
    return std::nullopt;
  }

 private:
  int fds_[2] = {-1, -1};
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

#include "core/storage/relative_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/folders.h"
#include "platform/os/tick_source.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

using Clock = RelativeTime::RelativeTime;

// Records every notice it receives into a list that outlives it.
class RecordingSubscriber : public RelativeTime::SubscriberEvent {
 public:
  RecordingSubscriber(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  void Notify(bool running) override { log_.push_back(name_ + (running ? " running" : " stopped")); }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

class ClockTest : public testing::Test {
 protected:
  std::string StorePath() const { return dir_ / "RelativeTime"; }
  std::shared_ptr<RecordingSubscriber> Subscribe(Clock& clock, const std::string& name) {
    auto s = std::make_shared<RecordingSubscriber>(notices_, name);
    clock.Subscribe(s);
    return s;
  }
  std::vector<ClockSegment> StoredSegments() {
    ClockSegmentStore store;
    store.SetPath(StorePath());
    EXPECT_TRUE(store.Open());
    std::vector<ClockSegment> segments;
    for (std::size_t i = 0; i < store.Count(); ++i) segments.push_back(store.Get(i));
    return segments;
  }

  OS::ManualTickSource tick_{0};
  OS::ScopedTickSource tickGuard_{tick_};
  ORV::Test::TempDir dir_;
  std::vector<std::string> notices_;
};

enum class Op { None, Start, Pause, Stop };

// One step of a run: at `tick` do `op`, then check the clock.
struct Step {
  std::uint32_t tick;
  Op op;
  std::uint32_t now;
  std::uint32_t elapsed;
  bool running;
  int notices;  // notices the step gives
};

// Start at 1000, pause at 5000 (100 ms grace), resume at 8000, stop at 9500.
const Step kRun[] = {
    {500, Op::None, 500, 0, true, 0},         // idle: the tick count
    {1000, Op::Start, 1000, 0, true, 1},      //
    {3000, Op::None, 3000, 2000, true, 0},    //
    {5000, Op::Pause, 5000, 4000, true, 1},   //
    {5050, Op::None, 5050, 4000, true, 0},    // grace: still advancing
    {5099, Op::None, 5099, 4000, true, 0},    //
    {5100, Op::None, 5000, 4000, false, 0},   // paused: frozen
    {5200, Op::Pause, 5000, 4000, false, 0},  // a second pause does nothing
    {8000, Op::Start, 5000, 0, true, 1},      // resume: 3000 ms paused
    {8000, Op::Start, 5000, 0, true, 0},      // already running
    {9000, Op::None, 6000, 1000, true, 0},    //
    {9500, Op::Stop, 9500, 0, true, 1},       // idle again
    {9600, Op::None, 9600, 0, true, 0},
};

TEST_F(ClockTest, StartPauseResumeStopAcrossTheTickWrap) {
  // The same run shifted so that the u32 tick wraps before, during and after
  // the pause (and the first start falls on tick 0).
  const std::uint32_t bases[] = {0, 0u - 1000, 0u - 4000, 0u - 5020, 0u - 8500};
  for (const std::uint32_t base : bases) {
    SCOPED_TRACE(testing::Message() << "base " << base);
    Clock clock;
    notices_.clear();
    auto subscriber = Subscribe(clock, "s");
    std::size_t expectedNotices = 0;
    for (const Step& step : kRun) {
      SCOPED_TRACE(testing::Message() << "tick " << step.tick);
      tick_.Set(base + step.tick);
      switch (step.op) {
        case Op::Start:
          clock.Start();
          break;
        case Op::Pause:
          clock.Pause();
          break;
        case Op::Stop:
          clock.Stop();
          break;
        case Op::None:
          break;
      }
      expectedNotices += step.notices;
      EXPECT_EQ(clock.Now(), base + step.now);
      EXPECT_EQ(clock.Elapsed(), step.elapsed);
      EXPECT_EQ(clock.IsRunning(), step.running);
      EXPECT_EQ(notices_.size(), expectedNotices);
    }
    EXPECT_EQ(notices_, (std::vector<std::string>{"s running", "s stopped", "s running", "s stopped"}));
  }
}

TEST_F(ClockTest, DestroyedSubscribersAreSkipped) {
  Clock clock;
  auto first = Subscribe(clock, "first");
  auto gone = Subscribe(clock, "gone");
  auto last = Subscribe(clock, "last");
  gone.reset();
  tick_.Set(100);
  clock.Start();
  first.reset();
  clock.Pause();
  EXPECT_EQ(notices_, (std::vector<std::string>{"first running", "last running", "last stopped"}));
}

TEST_F(ClockTest, SegmentsPersistAndAReopenedStoreContinuesTheTimeBase) {
  {
    Clock clock;
    tick_.Set(10000);
    clock.OpenStore(StorePath());
    clock.Start();
    tick_.Set(15000);
    clock.Pause();
    tick_.Set(16000);
    clock.Start();
    tick_.Set(20000);
    EXPECT_EQ(clock.Now(), 19000u);
    clock.CloseStore();  // the process ends without stopping the clock
  }
  EXPECT_EQ(StoredSegments(), (std::vector<ClockSegment>{{10000, 15000, 10000, 15000, 0}, {16000, 0, 15000, 0, 1000}}));

  // A running segment goes on unchanged: no notice, no new segment.
  Clock clock;
  auto subscriber = Subscribe(clock, "s");
  tick_.Set(25000);
  clock.OpenStore(StorePath());
  EXPECT_EQ(clock.Now(), 25000u);  // the tick count until Start
  EXPECT_EQ(clock.Elapsed(), 9000u);
  EXPECT_TRUE(clock.IsRunning());
  clock.Start();
  EXPECT_EQ(clock.Now(), 24000u);
  EXPECT_TRUE(notices_.empty());

  tick_.Set(26000);
  clock.Pause();
  clock.CloseStore();
  EXPECT_EQ(StoredSegments().back(), (ClockSegment{16000, 26000, 15000, 25000, 1000}));

  // A paused segment resumes with the paused interval added, with one notice.
  Clock resumed;
  auto subscriber2 = Subscribe(resumed, "r");
  tick_.Set(30000);
  resumed.OpenStore(StorePath());
  resumed.Start();
  EXPECT_EQ(resumed.Now(), 25000u);
  tick_.Set(31000);
  EXPECT_EQ(resumed.Now(), 26000u);
  EXPECT_EQ(resumed.Elapsed(), 1000u);
  EXPECT_EQ(notices_, (std::vector<std::string>{"s stopped", "r running"}));

  // Without a path the store opens where it was.
  resumed.CloseStore();
  resumed.OpenStore();
  EXPECT_EQ(resumed.Store().Count(), 3u);
  EXPECT_EQ(resumed.Store().Get(2), (ClockSegment{30000, 0, 25000, 0, 5000}));

  // Stop empties the store and opens it again.
  resumed.Stop();
  EXPECT_TRUE(resumed.Store().IsOpen());
  EXPECT_EQ(resumed.Store().Count(), 0u);
  EXPECT_FALSE(OS::PathExists(StorePath() + "-unique"));
  EXPECT_EQ(notices_.back(), "r stopped");
  resumed.CloseStore();
  EXPECT_TRUE(StoredSegments().empty());
}

TEST_F(ClockTest, AfterARebootTheStoredTimeIsContinued) {
  struct Case {
    const char* name;
    bool pausedBeforeTheCrash;
    std::uint32_t continuesFrom;
  };
  // Started at tick 1,000,000 with the clock at 1,000,000; a running segment
  // continues from its start value (the crash time is not stored), a paused
  // one from its frozen value.
  const Case cases[] = {{"running", false, 1000000}, {"paused", true, 1004000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      Clock clock;
      tick_.Set(1000000);
      clock.OpenStore(StorePath());
      clock.Start();
      tick_.Set(1004000);
      if (c.pausedBeforeTheCrash) clock.Pause();
      clock.CloseStore();
    }
    ORV::Test::MemoryEventLog log;
    Clock clock;
    tick_.Set(5000);  // the system restarted
    clock.OpenStore(StorePath());
    EXPECT_EQ(clock.Now(), 5000u);
    tick_.Set(7000);
    clock.Start();
    EXPECT_EQ(clock.Now(), c.continuesFrom);
    EXPECT_EQ(clock.Elapsed(), 0u);
    tick_.Set(8000);
    EXPECT_EQ(clock.Now(), c.continuesFrom + 1000);
    EXPECT_NE(log.Dump().find("continues from " + std::to_string(c.continuesFrom)), std::string::npos) << log.Dump();
    clock.Stop();
  }
}

TEST_F(ClockTest, PauseOfAReopenedSegmentFreezesItsRunningValue) {
  {
    Clock clock;
    tick_.Set(1000);
    clock.OpenStore(StorePath());
    clock.Start();
    tick_.Set(2000);
    clock.Pause();
    tick_.Set(3000);
    clock.Start();  // 1000 ms paused
    clock.CloseStore();
  }
  Clock clock;
  tick_.Set(4000);
  clock.OpenStore(StorePath());
  clock.Pause();  // before any Start: the clock stood at 3000
  tick_.Set(6000);
  clock.Start();
  EXPECT_EQ(clock.Now(), 3000u);
}

TEST_F(ClockTest, WorksWithoutAStore) {
  Clock clock;
  clock.OpenStore(dir_ / "missing/RelativeTime");
  EXPECT_FALSE(clock.Store().IsOpen());
  tick_.Set(100);
  clock.Start();
  tick_.Set(300);
  clock.Pause();
  tick_.Set(1000);
  EXPECT_EQ(clock.Now(), 300u);
  clock.Stop();
  EXPECT_EQ(clock.Now(), 1000u);
}

// Each owner's clock is its own: pausing one leaves another's time base alone.
TEST_F(ClockTest, TwoClocksKeepTheirOwnTimeBases) {
  Clock driven;
  Clock idle;
  tick_.Set(100);
  driven.Start();
  tick_.Set(300);
  driven.Pause();
  tick_.Set(1000);
  EXPECT_EQ(driven.Now(), 300u);
  // The other, never started, still follows the tick as a stopped clock does.
  EXPECT_TRUE(idle.IsRunning());
  EXPECT_EQ(idle.Now(), 1000u);
}

TEST_F(ClockTest, ReadersRunWhileTheClockIsDriven) {
  Clock clock;
  clock.OpenStore(StorePath());
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      std::uint32_t sink = 0;
      while (!done.load()) sink += clock.Now() + clock.Elapsed() + (clock.IsRunning() ? 1 : 0);
      EXPECT_GE(sink, 0u);
    });
  }
  std::vector<std::shared_ptr<RecordingSubscriber>> subscribers;
  for (int i = 0; i < 200; ++i) {
    tick_.Advance(7);
    if (i % 20 == 0) subscribers.push_back(Subscribe(clock, "s"));
    switch (i % 4) {
      case 0:
        clock.Start();
        break;
      case 1:
        clock.Pause();
        break;
      case 2:
        clock.Start();
        break;
      default:
        if (i % 40 == 3) clock.Stop();
        break;
    }
  }
  done = true;
  for (auto& t : readers) t.join();
  // The last steps resumed the clock: it runs and its segments are stored.
  EXPECT_TRUE(clock.IsRunning());
  EXPECT_GT(clock.Store().Count(), 0u);
}

}  // namespace
}  // namespace ORV

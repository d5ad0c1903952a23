#include "core/threading/tick_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "core/threading/event.h"
#include "test_threads.h"

namespace ORV {
namespace {

using Utils::Sync::Event;
using namespace std::chrono_literals;

// The step the tests hand to the tick thread.
struct Step {
  std::atomic<std::uint64_t> calls{0};
  std::atomic<bool> inside{false};
  std::atomic<std::uint64_t> blockAt{0};  // call number that blocks on the gate (0 for none)
  std::atomic<std::uint64_t> throwAt{0};  // call number that throws (0 for none)
  Event blocked, gate;
  // Ticks given when the step reached call number `noteAt`.
  const TickThreadControl* control = nullptr;
  std::atomic<std::uint64_t> noteAt{0};
  std::atomic<std::uint64_t> ticksAtNote{0};

  static void Run(void* argument) {
    Step& s = *static_cast<Step*>(argument);
    s.inside = true;
    const std::uint64_t n = ++s.calls;
    if (n == s.noteAt) s.ticksAtNote = s.control->TickCount();
    if (n == s.blockAt) {
      s.blocked.Set();
      s.gate.Wait();
    }
    s.inside = false;
    if (n == s.throwAt) throw std::runtime_error("step failed");
  }
};

TEST(TickThread, RefusesBadStartsAndStartsAgainAfterStop) {
  Step step;
  TickThreadControl control;
  EXPECT_FALSE(control.Start(0, Step::Run, &step));
  EXPECT_FALSE(control.Start(-5, Step::Run, &step));
  EXPECT_FALSE(control.Start(5, nullptr, &step));
  EXPECT_FALSE(control.IsRunning());
  control.Stop();  // nothing to stop

  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(control.Start(2, Step::Run, &step));
    EXPECT_TRUE(control.IsRunning());
    EXPECT_FALSE(control.Start(3, Step::Run, &step)) << "one metronome at a time";
    EXPECT_EQ(control.PeriodMs(), 2);
    const std::uint64_t before = step.calls;
    ASSERT_TRUE(ThreadTest::Eventually([&] { return step.calls >= before + 5; }));
    control.Stop();
    EXPECT_FALSE(control.IsRunning());
    EXPECT_LE(step.calls - before, control.TickCount());
  }
}

TEST(TickThread, MissedTicksRunAsSoonAsALongStepReturns) {
  constexpr std::uint64_t kMissed = 200;
  Step step;
  TickThreadControl control;
  step.control = &control;
  step.blockAt = 3;
  ASSERT_TRUE(control.Start(2, Step::Run, &step));
  step.blocked.Wait();
  // Let the metronome run well ahead of the blocked step.
  const std::uint64_t ticksWhenBlocked = control.TickCount();
  ASSERT_TRUE(ThreadTest::Eventually([&] { return control.TickCount() >= ticksWhenBlocked + kMissed; }));
  const std::uint64_t ticksGiven = control.TickCount();
  step.noteAt = ticksGiven;
  step.gate.Set();
  // Every tick given while the step was blocked gets its own step, at once
  // rather than one per later tick.
  ASSERT_TRUE(ThreadTest::Eventually([&] { return step.calls >= ticksGiven; }));
  EXPECT_LT(step.ticksAtNote.load(), ticksGiven + kMissed / 2);
  control.Stop();
  EXPECT_LE(step.calls.load(), control.TickCount());
}

TEST(TickThread, ThrowingStepLosesOnlyItsBatch) {
  Step step;
  step.throwAt = 2;
  TickThreadControl control;
  ASSERT_TRUE(control.Start(1, Step::Run, &step));
  EXPECT_TRUE(ThreadTest::Eventually([&] { return step.calls >= 20; }));
  control.Stop();
}

TEST(TickThread, StopWaitsForTheRunningStepAndNoStepFollows) {
  Step step;
  step.blockAt = 2;
  TickThreadControl control;
  ASSERT_TRUE(control.Start(1, Step::Run, &step));
  step.blocked.Wait();

  std::atomic<bool> stopReturned{false};
  bool stepRunningAtReturn = true;
  std::thread stopper([&] {
    control.Stop();
    stepRunningAtReturn = step.inside;
    stopReturned = true;
  });
  // Longer than the metronome ever waited for a step before it gave up on it.
  std::this_thread::sleep_for(400ms);
  EXPECT_FALSE(stopReturned.load()) << "Stop returned while the step still ran";
  step.gate.Set();
  stopper.join();
  EXPECT_FALSE(stepRunningAtReturn);

  const std::uint64_t callsAtStop = step.calls;
  EXPECT_EQ(callsAtStop, 2u) << "ticks pending at the stop are not run";
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(step.calls.load(), callsAtStop);
}

}  // namespace
}  // namespace ORV

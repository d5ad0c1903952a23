// When tasks end: their time, the user's pauses, the waits for measured
// values, the loop and disabled tasks, on a hand-moved clock with no
// instrument connected (tasks then run their time and send nothing).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/instruments/sequencer/sequencer_fixture.h"

namespace ORV::Test {
namespace {

using SequencerTimingTest = SequencerTest;
constexpr std::uint32_t kStep = 100;  // ms between the moments the test looks at

TEST_F(SequencerTimingTest, ATaskEndsAfterItsDurationPlusWholeSecondsOfPause) {
  struct Case {
    const char* what;
    std::int32_t duration;
    std::uint32_t pauseAt, pauseMs;  // ms after the start; pauseMs 0: no pause
    std::uint32_t endsAt;            // the tick (seconds after the start) that ends it
    std::int32_t positionAt15;       // the bar's position after 15 ticks, when still running
  };
  const Case cases[] = {
      {"no duration", -1, 0, 0, 1, 0},
      {"duration 0", 0, 0, 0, 1, 0},
      {"30 s", 30, 0, 0, 30, 50},
      // The bar stands still at the paused position: 5 s of 30.
      {"30 s paused for 10.7 s", 30, 5500, 10700, 40, 17},
      {"30 s paused for 0.9 s", 30, 5500, 900, 30, 50},
      {"30 s paused twice for 0.6 s", 30, 5500, 600, 30, 50},
      // The pause does not carry the length past the largest number, where
      // it would turn negative and end the task at once.
      {"the longest duration, paused", std::numeric_limits<std::int32_t>::max(), 5500, 10700, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sequencer().tasks = {Task("T", c.duration)};
    bar_ = FakeProgressBar{};
    ASSERT_TRUE(sequencer().StartSequencer());
    EXPECT_EQ(sequencer().pulsationAllowed, 0);
    std::uint32_t endedAt = 0;
    int redrawsAtPause = 0;
    for (std::uint32_t t = kStep; t <= 60000 && endedAt == 0; t += kStep) {
      tick_.Advance(kStep);
      if (c.pauseMs != 0 && t == c.pauseAt) {
        sequencer().PauseSequencer();
        redrawsAtPause = bar_.redraws;
      }
      if (c.pauseMs != 0 && t == c.pauseAt + c.pauseMs) {
        EXPECT_EQ(bar_.redraws, redrawsAtPause) << "the bar moved during the pause";
        sequencer().ContinueSequencer();
        // A second pause of the same length in the twice-paused case.
        if (c.pauseMs == 600) {
          sequencer().PauseSequencer();
          tick_.Advance(c.pauseMs);
          t += c.pauseMs;
          sequencer().ContinueSequencer();
        }
      }
      if (t % 1000 != 0) continue;
      bool finished = false;
      sequencer().SequencerTick(finished);
      if (t == 15000) {
        EXPECT_EQ(bar_.position, c.positionAt15);
      }
      EXPECT_GE(bar_.position, 0);
      EXPECT_LE(bar_.position, 100);
      if (finished) endedAt = t / 1000;
    }
    EXPECT_EQ(endedAt, c.endsAt);
    if (c.endsAt == 0) {
      EXPECT_EQ(sequencer().running, 1);
      EXPECT_EQ(sequencer().addedSeconds, 10u);
      sequencer().StopSequencer();
    }
    EXPECT_EQ(sequencer().running, 0);
    EXPECT_EQ(bar_.shown, 0);
    EXPECT_EQ(bar_.statusText, "Sequencer ended");
    EXPECT_EQ(sequencer().addedSeconds, 0u);
  }
}

TEST_F(SequencerTimingTest, AWaitingTaskEndsAtTheFirstTickWithItsTargetsReached) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Sample {
    float p1, p2, temperature;
  };
  struct Case {
    const char* what;
    std::uint8_t waitP1, waitP2, waitTemperature;
    std::vector<Sample> samples;  // one per tick; the task ends at the last
  };
  const Case cases[] = {
      {"P1 within 1 mmHg of 60", 1, 0, 0, {{58.9f, 0, 0}, {61.1f, 0, 0}, {nan, 0, 0}, {59.0f, 0, 0}}},
      {"P1 at the upper edge", 1, 0, 0, {{61.0f, 0, 0}}},
      {"P2 within 1 mmHg of 40", 0, 1, 0, {{0, 41.5f, 0}, {0, 38.9f, 0}, {0, 40.9f, 0}}},
      {"temperature within 0.2 of 37", 0, 0, 1, {{0, 0, 36.7f}, {0, 0, 37.3f}, {0, 0, 36.85f}}},
      {"every wait", 1, 1, 1, {{60, 40, 36.0f}, {60, 45, 37.0f}, {55, 40, 37.0f}, {60.5f, 39.5f, 37.1f}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SequencerTask t = Task("Hold", 2);
    t.p1 = 60;
    t.p2 = 40;
    t.temperature = 37;
    t.waitP1 = c.waitP1;
    t.waitP2 = c.waitP2;
    t.waitTemperature = c.waitTemperature;
    sequencer().tasks = {t};
    ASSERT_TRUE(sequencer().StartSequencer());
    // Reached already, but the task's time is not over.
    const Sample& last = c.samples.back();
    SetSample([&](PMK4xData3& s) {
      s.p1 = last.p1;
      s.p2 = last.p2;
      s.temperature = last.temperature;
    });
    EXPECT_FALSE(TickAfter(1000));
    EXPECT_EQ(sequencer().running, 1);
    tick_.Advance(1000);
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
      SetSample([&](PMK4xData3& s) {
        s.p1 = c.samples[i].p1;
        s.p2 = c.samples[i].p2;
        s.temperature = c.samples[i].temperature;
      });
      const bool finished = TickAfter(1000);
      EXPECT_EQ(finished, i + 1 == c.samples.size()) << "sample " << i;
    }
    EXPECT_EQ(sequencer().running, 0);
  }
}

TEST_F(SequencerTimingTest, LoopAndDisabledTasks) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> enabled;  // one task of 1 s per entry
    bool loop;
    std::vector<std::int32_t> current;  // the current task after each tick
    std::vector<std::size_t> ignored;   // "Ignoring" actions after each tick
  };
  const Case cases[] = {
      // The first task starts at the tick that ends the last one.
      {"loop", {1, 1}, true, {1, 0, 1, 0}, {0, 0, 0, 0}},
      {"loop with the last task disabled: the first starts a tick later",
       {1, 1, 0},
       true,
       {1, -1, 0, 1, -1},
       {0, 1, 1, 1, 2}},
      {"loop with the first task disabled", {0, 1}, true, {1, 1, 1}, {2, 3, 4}},
      {"every task disabled walks the whole list each tick", {0, 0}, true, {-1, -1, -1}, {4, 6, 8}},
      {"no loop", {1, 0, 1}, false, {2, 2}, {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sequencer().tasks.clear();
    for (std::size_t i = 0; i < c.enabled.size(); ++i) {
      SequencerTask t = Task(std::string(1, static_cast<char>('A' + i)), 1);
      t.enabled = c.enabled[i];
      sequencer().tasks.push_back(t);
    }
    sequencer().loop = c.loop ? 1 : 0;
    hooks_.actions.clear();
    sequencer().StartSequencer();
    // The enabled tasks are ignored too with no instrument connected; count
    // only the disabled ones.
    const auto countDisabled = [&] {
      std::size_t n = 0;
      for (const ActionData& a : hooks_.actions) {
        for (std::size_t i = 0; i < c.enabled.size(); ++i) {
          if (c.enabled[i] == 0 && a.text == "Ignoring disabled Task '" + sequencer().tasks[i].name + "'") ++n;
        }
      }
      return n;
    };
    std::vector<std::int32_t> current;
    std::vector<std::size_t> ignored;
    for (std::size_t i = 0; i < c.current.size(); ++i) {
      const bool finished = TickAfter(1000);
      current.push_back(sequencer().currentTask);
      ignored.push_back(countDisabled());
      EXPECT_EQ(finished, !c.loop && i + 1 == c.current.size());
    }
    EXPECT_EQ(current, c.current);
    EXPECT_EQ(ignored, c.ignored);
    EXPECT_EQ(sequencer().running, c.loop ? 1 : 0);
    sequencer().StopSequencer();
    sequencer().loop = 0;
  }
}

TEST_F(SequencerTimingTest, StartWithNothingToRunEndsAtOnce) {
  SequencerTask off = Task("Off", 10);
  off.enabled = 0;
  for (const std::vector<SequencerTask>& list : {std::vector<SequencerTask>{}, std::vector<SequencerTask>{off, off}}) {
    sequencer().tasks = list;
    bar_.shown = 1;
    EXPECT_FALSE(sequencer().StartSequencer());
    EXPECT_EQ(sequencer().running, 0);
    EXPECT_EQ(bar_.shown, 0);
    EXPECT_EQ(bar_.statusText, "Sequencer ended");
    EXPECT_EQ(sequencer().currentTask, static_cast<std::int32_t>(list.size()));
    EXPECT_EQ(hooks_.actions.size(), list.size());
    hooks_.actions.clear();
  }
}

TEST_F(SequencerTimingTest, WithoutAProgressBarTheSequenceStandsStill) {
  sequencer().tasks = {Task("A", 1), Task("B", 1)};
  ASSERT_TRUE(sequencer().StartSequencer());
  sequencer().progressBar = nullptr;
  EXPECT_FALSE(TickAfter(5000));
  EXPECT_EQ(sequencer().currentTask, 0);
  sequencer().progressBar = &bar_;
  EXPECT_FALSE(TickAfter(1000));
  EXPECT_EQ(sequencer().currentTask, 1);
}

}  // namespace
}  // namespace ORV::Test

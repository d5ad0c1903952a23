// What a task sends to the pressure interfaces, in which order and with
// which pauses, what it records, and that a run stopped while its prompt is
// open sends nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/number_text.h"
#include "tests/instruments/sequencer/sequencer_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kWait = "wait 1000";

// The task of the acceptance rig: both pressures and the temperature.
SequencerTask DilateTask() {
  SequencerTask t = Task("Dilate", 60);
  t.p1 = 60;
  t.p2 = 40;
  t.temperature = 37;
  return t;
}

TEST_F(SequencerTest, SingleInterfaceGetsEachCommandWithItsPause) {
  struct Case {
    const char* what;
    bool pressureOn, heaterOn;
    const char* pressureReply;  // the unit's answer to the pressure start; nullptr: it acknowledges
    Lines wire;                 // the requests and the sequencer's pauses, in order
    Lines actions;              // before the task's own action
  };
  const std::string started = "Pressure started by Sequencer";
  const std::string failed = "Pressure failed to start (Sequencer)";
  const Case cases[] = {
      {"pressure and heater off",
       false,
       false,
       nullptr,
       {"=01221", kWait, "=012060", kWait, "=01221", kWait, "=012140", kWait, "=01111", "=011037.0", kWait},
       {started, started}},
      {"pressure and heater on", true, true, nullptr, {"=012060", kWait, "=012140", kWait, "=011037.0", kWait}, {}},
      // The start is logged as failed; the targets still go out.
      {"pressure start refused",
       false,
       true,
       ">00\r",
       {"=01221", kWait, "=012060", kWait, "=01221", kWait, "=012140", kWait, "=011037.0", kWait},
       {failed, failed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Sim::SingleInterfaceSim sim;
    if (c.pressureReply != nullptr) sim.SetReply("=01221", c.pressureReply);
    const std::size_t before = ConnectSingle(sim);
    Lines wire;
    std::size_t seen = before;
    const auto takeRequests = [&] {
      const auto all = sim.Requests();
      for (; seen < all.size(); ++seen) wire.push_back(all[seen]);
    };
    sequencer().SetSleeper([&](std::uint32_t ms) {
      takeRequests();
      wire.push_back("wait " + std::to_string(ms));
      tick_.Advance(ms);
    });
    SetSample([&](PMK4xData3& s) {
      s.switch4 = c.pressureOn ? 1 : 0;
      s.switch1 = c.heaterOn ? 1 : 0;
    });
    hooks_.actions.clear();
    consumer_.markers.clear();
    sequencer().tasks = {DilateTask()};

    const std::uint32_t start = Now();
    ASSERT_TRUE(sequencer().StartSequencer());
    takeRequests();
    EXPECT_EQ(wire, c.wire);

    // Every action of the task carries its start; the marker comes after
    // the pauses, at the time it is set.
    const std::uint32_t markerTime = Now();
    EXPECT_EQ(markerTime - start, 1000u * static_cast<std::uint32_t>(std::count(wire.begin(), wire.end(), kWait)));
    std::vector<ActionData> expected;
    for (const std::string& a : c.actions) expected.push_back({start, a});
    // The task's start is one action: the marker's.
    expected.push_back({markerTime, "Task started: Dilate"});
    EXPECT_EQ(hooks_.actions, expected);
    ASSERT_EQ(consumer_.markers.size(), 1u);
    EXPECT_EQ(consumer_.markers[0].text, "Task started: Dilate");
    EXPECT_EQ(consumer_.markers[0].time, markerTime);
    EXPECT_EQ(consumer_.markers[0].camera, 0u);
    EXPECT_EQ(bar_.shown, 1);
    EXPECT_EQ(bar_.taskName, "Dilate");
    EXPECT_EQ(bar_.taskCount, 1);
    EXPECT_EQ(bar_.currentTask, 0);

    // Stopping sends nothing.
    sequencer().StopSequencer();
    EXPECT_EQ(sim.Requests().size(), seen);
    EXPECT_EQ(bar_.statusText, "Sequencer ended");
    manager_->SingleInterface().Close();
  }
}

// The multi interface's requests as calls: the values each report carries
// (a kept value shows as the one the unit holds).
std::string Call(const Sim::Report& r) {
  const auto f32 = [&](std::size_t at) {
    return OS::FormatShortest(
        std::bit_cast<float>(static_cast<std::uint32_t>(r[at] << 24 | r[at + 1] << 16 | r[at + 2] << 8 | r[at + 3])));
  };
  const auto u16 = [&](std::size_t at) { return std::to_string(r[at] << 8 | r[at + 1]); };
  switch (r.at(2)) {
    case PressureMultiMyographK4x::kSetPressures:
      return "SetPressures(" + f32(3) + ", " + f32(7) + ", pulse " + u16(15) + ", pulsation " + std::to_string(r[18]) +
             ")";
    case PressureMultiMyographK4x::kGetTargets:
      return "GetTargets";
    case PressureMultiMyographK4x::kSetDigitalOutputs:
      return "SetDigitalOutputs(" + std::to_string(r[3]) + ", " + std::to_string(r[4]) + ", " + std::to_string(r[6]) +
             ", " + std::to_string(r[10]) + ")";
    case PressureMultiMyographK4x::kSetTemperatures:
      return "SetTemperatures(" + OS::FormatShortest((r[3] << 8 | r[4]) / 100.0) + ")";
    default:
      return "request " + std::to_string(r[2]);
  }
}

TEST_F(SequencerTest, MultiInterfaceGetsTheSettersForTheTask) {
  const std::string setPressureOn = "SetDigitalOutputs(255, 255, 1, 0)";
  const std::string reversed = "Pressures not sent by Sequencer: P2 must not be a larger value than P1";
  struct Case {
    const char* what;
    std::function<void(SequencerTask&)> change;  // of the task DilateTask gives
    bool pressureOn, heaterOn;
    Lines calls;
    Lines actions = {};  // before the task's own action
    std::function<void(Configuration&)> limits = {};
  };
  const Case cases[] = {
      {"pressures and temperature, heater off",
       {},
       true,
       false,
       {"SetPressures(60, 40, pulse 20, pulsation 0)", "GetTargets", "SetDigitalOutputs(1, 255, 255, 0)",
        "SetTemperatures(37)"}},
      {"pressure off: started before each target",
       {},
       false,
       true,
       {setPressureOn, setPressureOn, "SetPressures(60, 40, pulse 20, pulsation 0)", "GetTargets",
        "SetTemperatures(37)"},
       {"Pressure started by Sequencer", "Pressure started by Sequencer"}},
      {"inlet only: the outlet keeps its target",
       [](SequencerTask& t) {
         t.p2 = -1;
         t.temperature = -1;
       },
       true,
       true,
       {"SetPressures(60, 7, pulse 20, pulsation 0)", "GetTargets"}},
      {"values of none or outside the default limits are not sent",
       [](SequencerTask& t) {
         t.p1 = 251;
         t.p2 = -1;
         t.temperature = 46;
       },
       false,
       false,
       {}},
      {"temperature below the default limit",
       [](SequencerTask& t) { t.temperature = 19; },
       true,
       true,
       {"SetPressures(60, 40, pulse 20, pulsation 0)", "GetTargets"}},
      {"the configured limits hold",
       {},
       true,
       true,
       {"SetPressures(60, 7, pulse 20, pulsation 0)", "GetTargets"},
       {},
       [](Configuration& c) {
         c.MinimumPressure = 45;
         c.MinimumTemperature = 38;
       }},
      {"an outlet above the inlet sends neither",
       [](SequencerTask& t) {
         t.p1 = 40;
         t.p2 = 60;
       },
       false,
       true,
       {"SetTemperatures(37)"},
       {reversed}},
      {"pulsation",
       [](SequencerTask& t) {
         t.p1 = t.p2 = t.temperature = -1;
         t.pulsation = 1;
         t.pulseRate = 600;
       },
       true,
       true,
       {"SetPressures(11, 7, pulse 600, pulsation 1)"}},
      {"pulse rate outside 40..600",
       [](SequencerTask& t) {
         t.p1 = t.p2 = t.temperature = -1;
         t.pulsation = 1;
         t.pulseRate = 39;
       },
       true,
       true,
       {}},
      // Without a marker the sequencer writes the start itself.
      {"no marker on the traces",
       [](SequencerTask& t) {
         t.showMarker = 0;
         t.p1 = t.p2 = t.temperature = -1;
       },
       true,
       true,
       {}},
  };
  Sim::MultiInterfaceUnit::State state;
  state.targetP1 = 11;
  state.targetP2 = 7;
  const auto unit = ConnectMulti(state);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Configuration& configuration = ORV::Test::SharedConfiguration();
    configuration.MinimumPressure = 0;
    configuration.MaximumPressure = 250;
    configuration.MinimumTemperature = 20;
    configuration.MaximumTemperature = 45;
    if (c.limits) c.limits(configuration);
    SequencerTask task = DilateTask();
    if (c.change) c.change(task);
    sequencer().tasks = {task};
    SetSample([&](PMK4xData3& s) {
      s.switch4 = c.pressureOn ? 1 : 0;
      s.switch1 = c.heaterOn ? 1 : 0;
    });
    unit->Update([](Sim::MultiInterfaceUnit::State& s) {
      s.targetP1 = 11;
      s.targetP2 = 7;
    });
    // The device learns the unit's targets again, as kept values go out as those.
    float t1, t2, t3, gradient;
    ASSERT_TRUE(manager_->MultiInterface().GetTargets(t1, t2, t3, gradient));
    unit->ClearReceived();
    hooks_.actions.clear();
    consumer_.markers.clear();

    const std::uint32_t start = Now();
    ASSERT_TRUE(sequencer().StartSequencer());
    EXPECT_EQ(sequencer().pulsationAllowed, 1);
    Lines calls;
    for (const Sim::Report& r : unit->Received()) calls.push_back(Call(r));
    EXPECT_EQ(calls, c.calls);
    Lines actions = c.actions;
    actions.push_back("Task started: Dilate");
    EXPECT_EQ(ActionTexts(), actions);
    ASSERT_EQ(consumer_.markers.size(), task.showMarker != 0 ? 1u : 0u);
    if (task.showMarker != 0) {
      EXPECT_EQ(consumer_.markers[0].text, "Task started: Dilate");
    }
    EXPECT_EQ(hooks_.actions.front().time, start);
    // The sequencer's own pauses are for the single interface only.
    EXPECT_TRUE(pauses_.empty());
    sequencer().StopSequencer();
  }
}

TEST_F(SequencerTest, PromptHoldsTheRunAndAStopWhileItIsOpenEndsIt) {
  struct Case {
    const char* what;
    std::function<void(Sequencer&)> whileOpen;  // the user, while the prompt is open
    bool nextTaskSent;
    bool running;
  };
  const Case cases[] = {
      {"stop", [](Sequencer& s) { s.StopSequencer(); }, false, false},
      {"continue, pause and a tick do not end the prompt",
       [](Sequencer& s) {
         s.ContinueSequencer();
         s.PauseSequencer();
         s.ContinueSequencer();
         bool finished = false;
         s.SequencerTick(finished);
       },
       true, true},
      {"stop and start again",
       [](Sequencer& s) {
         s.StopSequencer();
         s.StartSequencer();
       },
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Sim::SingleInterfaceSim sim;
    ConnectSingle(sim);
    SetSample([](PMK4xData3& s) { s.switch4 = s.switch1 = 1; });
    SequencerTask wash = Task("Wash", 0);
    wash.promptUser = 1;
    wash.prompt = "Add 10 uL";
    SequencerTask dilate = Task("Dilate", 60);
    dilate.p1 = 60;
    sequencer().tasks = {wash, dilate};
    hooks_.prompts.clear();
    bool acted = false;
    hooks_.whilePromptOpen = [&] {
      // Ticks keep coming while the box is open; the user acts once.
      bool finished = false;
      sequencer().SequencerTick(finished);
      if (acted) return;
      acted = true;
      c.whileOpen(sequencer());
    };

    ASSERT_TRUE(sequencer().StartSequencer());
    const std::size_t sent = sim.Requests().size();
    const std::size_t actions = hooks_.actions.size();
    EXPECT_FALSE(TickAfter(1000));

    EXPECT_EQ(hooks_.prompts, (std::vector<SequencerHooks::Prompt>{{"Sequencer prompt", "Add 10 uL"}}));
    EXPECT_EQ(sequencer().promptOpen, 0);
    EXPECT_EQ(sequencer().paused, 0);
    EXPECT_EQ(sequencer().running, c.running ? 1 : 0);
    const Lines requests = sim.Requests();
    const Lines after(requests.begin() + static_cast<std::ptrdiff_t>(sent), requests.end());
    EXPECT_EQ(after, c.nextTaskSent ? Lines{"=012060"} : Lines{});
    EXPECT_EQ(sequencer().currentTask, c.nextTaskSent ? 1 : 0);
    if (!c.running) {
      EXPECT_EQ(hooks_.actions.size(), actions);
    }
    sequencer().StopSequencer();
    manager_->SingleInterface().Close();
  }
}

}  // namespace
}  // namespace ORV::Test

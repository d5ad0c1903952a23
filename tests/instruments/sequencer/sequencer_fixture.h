#pragma once
// A sequencer that runs on a hand-moved experiment clock, records
// its actions, markers, prompts and pauses, and reaches the instruments
// through an interface manager on the simulators.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"
#include "instruments/sequencer.h"
#include "platform/os/tick_source.h"
#include "platform/os/usb_serial_enum.h"
#include "platform/sim/hid_transport.h"
#include "platform/sim/multi_interface_unit.h"
#include "platform/sim/serial_responder.h"
#include "platform/sim/single_interface_sim.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

// The application, with the prompt box: each prompt is recorded and runs
// `whilePromptOpen`, as the user's actions while the box is open.
class SequencerHooks : public FakeHooks {
 public:
  void ShowInformation(const std::string& caption, const std::string& text) override {
    prompts.push_back({caption, text});
    if (whilePromptOpen) whilePromptOpen();
  }
  struct Prompt {
    std::string caption, text;
    bool operator==(const Prompt&) const = default;
  };
  std::vector<Prompt> prompts;
  std::function<void()> whilePromptOpen;
};

class FakeProgressBar : public SequencerProgressBar {
 public:
  void Redraw() override { ++redraws; }
  int redraws = 0;
};

class SequencerTest : public testing::Test {
 protected:
  SequencerTest() {
    Configuration& c = ORV::Test::SharedConfiguration();
    saved_ = {c.MinimumPressure, c.MaximumPressure, c.MinimumTemperature, c.MaximumTemperature,
              c.DevicePressureInterfaceTimeout};
    savedFile_ = c.LastOpenedSequenceFile;
    savedPort_ = c.LastUsedInterfacePort;
    session_ = std::make_unique<Session>(c, clock_);
    ExperimentData& data = session_->Experiment();
    data.SetApplicationHooks(&hooks_);
    data.AddImageAnalysisConsumer(&consumer_);
    EXPECT_TRUE(data.OpenStores(dir_.path()));
    InterfaceManager::Sources sources;
    sources.usb = std::make_shared<OS::FixedUsbSerialEnumerator>();
    sources.hid = &hid_;
    manager_ = std::make_unique<InterfaceManager>(c, std::move(sources));
    sequencer_ = std::make_unique<Sequencer>(c, data, *manager_);
    // The sequencer's pauses pass on the clock, so what follows them is
    // stamped later, as it would be.
    sequencer_->SetSleeper([this](std::uint32_t ms) {
      pauses_.push_back(ms);
      tick_.Advance(ms);
    });
    sequencer_->progressBar = &bar_;
  }
  ~SequencerTest() override {
    session_->Experiment().CloseStores();
    Configuration& c = ORV::Test::SharedConfiguration();
    c.MinimumPressure = saved_[0];
    c.MaximumPressure = saved_[1];
    c.MinimumTemperature = saved_[2];
    c.MaximumTemperature = saved_[3];
    c.DevicePressureInterfaceTimeout = saved_[4];
    c.LastOpenedSequenceFile = savedFile_;
    c.LastUsedInterfacePort = savedPort_;
  }

  // Connects the manager's single pressure interface to the simulator;
  // returns how many requests the simulator has seen so far.
  std::size_t ConnectSingle(Sim::SingleInterfaceSim& sim) {
    ORV::Test::SharedConfiguration().DevicePressureInterfaceTimeout = 1250;
    EXPECT_TRUE(sim.Start());
    manager_->SingleInterface().SetSleeper(deviceSleeper_.AsSleeper());
    EXPECT_TRUE(manager_->SingleInterface().Load(sim.DevicePath()));
    return sim.Requests().size();
  }
  // Connects the manager's multi interface to a simulated unit and lets the
  // manager learn its model; the unit's record of requests starts empty.
  std::shared_ptr<Sim::MultiInterfaceUnit> ConnectMulti(const Sim::MultiInterfaceUnit::State& state) {
    auto unit = std::make_shared<Sim::MultiInterfaceUnit>(64);
    unit->SetState(state);
    manager_->MultiInterface().SetSleeper(deviceSleeper_.AsSleeper());
    EXPECT_TRUE(manager_->MultiInterface().Load(hid_.AddDevice(unit)));
    manager_->IsPressure();
    unit->ClearReceived();
    return unit;
  }

  Sequencer& sequencer() { return *sequencer_; }
  std::uint32_t Now() { return clock_.Now(); }
  // The newest pressure sample as the sampling would have stored it.
  void SetSample(const std::function<void(PMK4xData3&)>& change) {
    session_->Experiment().Update([&](ExperimentContents& c) {
      change(c.lastPressure);
      return 0;
    });
  }
  // Moves the clock by `ms` and runs one tick; whether it ended the sequence.
  bool TickAfter(std::uint32_t ms) {
    tick_.Advance(ms);
    bool finished = false;
    sequencer_->SequencerTick(finished);
    return finished;
  }
  std::vector<std::string> ActionTexts() const {
    std::vector<std::string> texts;
    for (const ActionData& a : hooks_.actions) texts.push_back(a.text);
    return texts;
  }

  SandboxedHome home_;
  MemoryEventLog log_;
  TempDir dir_;
  OS::ManualTickSource tick_{100000};
  OS::ScopedTickSource tickGuard_{tick_};
  RelativeTime::RelativeTime clock_;  // idle: its time is the tick count
  SequencerHooks hooks_;
  RecordingConsumer consumer_;
  FakeProgressBar bar_;
  Sim::SimHidTransport hid_;
  Sim::RecordingSleeper deviceSleeper_;  // the drivers' own waits
  std::unique_ptr<InterfaceManager> manager_;
  std::vector<std::uint32_t> pauses_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Sequencer> sequencer_;

 private:
  std::array<std::int32_t, 5> saved_{};
  std::string savedFile_, savedPort_;
};

// A task with a name and the given duration, everything else default.
inline SequencerTask Task(const std::string& name, std::int32_t duration = -1) {
  SequencerTask t;
  t.name = name;
  t.duration = duration;
  return t;
}

}  // namespace ORV::Test

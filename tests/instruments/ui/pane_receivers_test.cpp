// The instrument panes on the experiment record's receiver lists: a pane
// destroyed while the sampler keeps publishing is never called again (a
// sanitizer build reports any call into a freed pane).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/pressure_myograph_k4x.h"
#include "instruments/ui/flow_pane.h"
#include "instruments/ui/multi_myograph_pane.h"
#include "instruments/ui/myograph_pane.h"
#include "platform/sim/single_interface_sim.h"
#include "tests/instruments/hid/hid_rig.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

class PaneReceiversTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(singleSim_.Start());
    singleSim_.SetVersion("K40Q", "V3.30");
    single_->SetSleeper(sleeper_.AsSleeper());
    single_->SetTimeout(1250);
    ASSERT_TRUE(single_->Load(singleSim_.DevicePath()));
    ASSERT_TRUE(multi_.device->Load(multi_.path));
    configuration_.ProductType = 1;
  }
  void TearDown() override { StopPublishing(); }

  // The sampler: a pressure and a flow sample every millisecond, on a thread
  // of their own, until the test ends.
  void StartPublishing() {
    publisher_ = std::thread([this] {
      while (!stop_.load()) {
        ORV::PMK4xData3 pressure;
        pressure.p1 = 61.5f;
        pressure.p2 = 40.5f;
        experiment_.AddPressureSample(pressure);
        ORV::FMASL1600Data flow;
        flow.flow = 250;
        experiment_.AddFlowSample(flow);
        published_.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  void StopPublishing() {
    stop_.store(true);
    if (publisher_.joinable()) publisher_.join();
  }
  // Lets the sampler publish `rounds` more times.
  void LetPublish(int rounds) {
    const int until = published_.load() + rounds;
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return published_.load() >= until; }));
  }

  ORV::Test::SandboxedHome home_;
  ORV::Sim::RecordingSleeper sleeper_;
  ORV::Sim::SingleInterfaceSim singleSim_;
  std::unique_ptr<ORV::PressureMyographK4x> single_ = std::make_unique<ORV::PressureMyographK4x>();
  ORV::Test::HidRig multi_{64};
  ORV::ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Configuration configuration_;
  ORV::InstrumentPaneContext context_{experiment_, configuration_};
  std::thread publisher_;
  std::atomic<bool> stop_{false};
  std::atomic<int> published_{0};
};

TEST_F(PaneReceiversTest, APaneDestroyedWhileSamplesKeepComingIsNeverCalledAgain) {
  // Each pane is made, shows a published value (so it was on the list), and
  // is destroyed with the sampler still publishing.
  const struct {
    const char* name;
    std::function<std::unique_ptr<ORV::UI::DockingPane>()> make;
    std::function<QString(ORV::UI::DockingPane&)> shown;
    QString expected;
  } cases[] = {
      {"single myograph",
       [&] { return std::make_unique<CMyographWnd>(context_, *single_, QStringLiteral("Pressure Interface")); },
       [](ORV::UI::DockingPane& p) {
         return static_cast<QLineEdit*>(static_cast<CMyographWnd&>(p).Control(ORV::MyographPaneLogic::kCurrentP1))
             ->text();
       },
       QStringLiteral("61.5")},
      {"multi myograph",
       [&] { return std::make_unique<CMyographMultiWnd>(context_, *multi_.device, QStringLiteral("Multi Interface")); },
       [](ORV::UI::DockingPane& p) {
         return static_cast<QLineEdit*>(
                    static_cast<CMyographMultiWnd&>(p).Control(ORV::MultiMyographPaneLogic::kCurrentP1))
             ->text();
       },
       QStringLiteral("61.5")},
      {"flow", [&] { return std::make_unique<CFlowPane>(context_, QStringLiteral("Flow Meter")); },
       [](ORV::UI::DockingPane& p) { return static_cast<CFlowPane&>(p).FlowEdit()->text(); }, QStringLiteral("250")},
  };
  StartPublishing();
  for (int round = 0; round < 3; ++round) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " round " + std::to_string(round));
      auto pane = c.make();
      ASSERT_EQ(pane->Create(), 0);
      ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return c.shown(*pane) == c.expected; }));
      pane.reset();
      LetPublish(20);
      // Messages the sampler posted to the pane before it went are dropped.
      QCoreApplication::processEvents();
    }
  }
}

}  // namespace

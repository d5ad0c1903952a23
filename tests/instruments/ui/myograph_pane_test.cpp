// The single myograph pane and its logic against the simulated single
// pressure interface.
#include "instruments/ui/myograph_pane.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <memory>
#include <thread>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/pressure_myograph_k4x.h"
#include "platform/sim/single_interface_sim.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/message_box.h"
#include "tests/instruments/ui/fake_entry.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::MyographPaneLogic;
using Outcome = MyographPaneLogic::Outcome;

using ORV::Test::FakeEntry;

ORV::PMK4xData3 Sample(float p1, float p2, bool pressureOn = true) {
  ORV::PMK4xData3 s;
  s.p1 = p1;
  s.p2 = p2;
  s.targetP1 = 60.9f;
  s.targetP2 = 40.0f;
  s.temperature = 36.84f;
  s.temperatureTarget = 37.0f;
  s.force = 1.256f;
  s.pH = 7.404f;
  s.switch1 = 1;
  s.switch4 = pressureOn ? 1 : 0;
  return s;
}

// A single pressure interface loaded on its simulator (firmware "V3.30").
class MyographFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    Load("V3.30");
  }
  void TearDown() override {
    ORV::Test::SharedConfiguration().DevicePressureInterfaceTimeout = timeout_;
    ORV::Test::SharedConfiguration().LastUsedInterfacePort = lastPort_;
  }
  void Load(const char* firmware) {
    sim_.SetVersion("K40Q", firmware);
    ORV::Test::SharedConfiguration().DevicePressureInterfaceTimeout = 1250;
    unit_ = std::make_unique<ORV::PressureMyographK4x>();
    unit_->SetSleeper(sleeper_.AsSleeper());
    ASSERT_TRUE(unit_->Load(sim_.DevicePath()));
    loaded_ = sim_.Received().size();
  }
  // The requests the unit received since the last call.
  std::string Sent() {
    const std::string all = sim_.Received();
    const std::string since = all.substr(loaded_);
    loaded_ = all.size();
    return since;
  }

  ORV::Test::SandboxedHome home_;
  const std::int32_t timeout_ = ORV::Test::SharedConfiguration().DevicePressureInterfaceTimeout;
  const std::string lastPort_ = ORV::Test::SharedConfiguration().LastUsedInterfacePort;
  ORV::Sim::RecordingSleeper sleeper_;
  ORV::Sim::SingleInterfaceSim sim_;
  std::unique_ptr<ORV::PressureMyographK4x> unit_;
  std::size_t loaded_ = 0;
};

class MyographLogicTest : public MyographFixture {
 protected:
  std::unique_ptr<MyographPaneLogic> Make(bool pressureOnly) {
    auto logic = std::make_unique<MyographPaneLogic>(*unit_, runner_, pressureOnly, MyographPaneLogic::Limits{},
                                                     &temperature_, p1_, p2_);
    logic->Start();
    Sent();
    return logic;
  }
  ORV::UI::InlineCommandRunner runner_;
  FakeEntry temperature_, p1_, p2_;
};

TEST_F(MyographLogicTest, TargetTemperatureTakesACommaAndStaysInsideTheConfiguredRange) {
  auto logic = Make(false);
  temperature_.Type("37,5");
  EXPECT_EQ(logic->ChangeTemperature(), Outcome::Done);
  EXPECT_EQ(Sent(), "=011037.5\r");
  EXPECT_EQ(temperature_.text, QStringLiteral("37.5"));
  EXPECT_FALSE(temperature_.editing);
  for (const char* refused : {"19.9", "45.1", "", "x"}) {
    temperature_.Type(refused);
    EXPECT_EQ(logic->ChangeTemperature(), Outcome::TemperatureOutOfRange) << refused;
    EXPECT_FALSE(temperature_.editing);
  }
  temperature_.Type("45");
  EXPECT_EQ(logic->ChangeTemperature(), Outcome::Done);
  EXPECT_EQ(Sent(), "=011045.0\r");
}

TEST_F(MyographLogicTest, PressureTargetsAreCheckedTogetherAndOnlyTheEditedOnesSent) {
  auto logic = Make(false);
  const struct {
    const char *p1, *p2;
    bool edit1, edit2;
    Outcome outcome;
    const char* sent;
  } cases[] = {
      {"60", "80", true, true, Outcome::P2AboveP1, ""},
      {"60", "60", true, true, Outcome::Done, "=012060\r=012160\r"},
      {"300", "40", false, true, Outcome::OutOfRange, ""},  // P1 above the maximum, only P2 edited
      {"60", "-1", false, true, Outcome::OutOfRange, ""},
      {"60", "30", false, true, Outcome::Done, "=012130\r"},
      {"250", "0", true, false, Outcome::Done, "=0120250\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.p1) + " " + c.p2);
    p1_.text = QString::fromLatin1(c.p1);
    p2_.text = QString::fromLatin1(c.p2);
    p1_.editing = c.edit1;
    p2_.editing = c.edit2;
    EXPECT_EQ(logic->ChangePressure(), c.outcome);
    EXPECT_EQ(Sent(), c.sent);
    EXPECT_TRUE(logic->SkipsNextSample());
  }
  EXPECT_EQ(sim_.GetState().targetP1, 250);
  EXPECT_EQ(sim_.GetState().targetP2, 30);

  // A target the unit does not take goes back to what it held.
  logic->TakeSample(Sample(50, 30));  // dropped after the command
  logic->TakeSample(Sample(50, 30));
  sim_.Unplug();
  p1_.Type("100");
  EXPECT_EQ(logic->ChangePressure(), Outcome::Done);
  EXPECT_EQ(p1_.text, QStringLiteral("60"));
}

TEST_F(MyographLogicTest, HeaterSwitchNeedsFirmware330AndEveryCommandDropsTheNextSample) {
  Load("V3.29");
  auto old = Make(false);
  EXPECT_EQ(old->FirmwareCode(), 2u);
  EXPECT_EQ(old->HeaterOn(), Outcome::OldFirmware);
  EXPECT_EQ(Sent(), "");

  Load("V3.30");
  auto logic = Make(false);
  EXPECT_EQ(logic->FirmwareCode(), 3u);
  const struct {
    const char* what;
    std::function<Outcome()> command;
    const char* sent;
  } commands[] = {
      {"heater on", [&] { return logic->HeaterOn(); }, "=01111\r"},
      {"heater off", [&] { return logic->HeaterOff(); }, "=01110\r"},
      {"pressure on", [&] { return logic->PressureOn(); }, "=01221\r"},
      {"pressure off", [&] { return logic->PressureOff(); }, "=01220\r"},
      {"zero force", [&] { return logic->ZeroForce(); }, "=0112\r"},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.what);
    logic->TakeSample(Sample(10, 5));
    EXPECT_EQ(c.command(), Outcome::Done);
    EXPECT_EQ(Sent(), c.sent);
    logic->TakeSample(Sample(99, 98));
    EXPECT_EQ(logic->ValueText(MyographPaneLogic::kCurrentP1), QStringLiteral("10.0")) << "dropped";
  }

  // Entries being edited keep what the user typed.
  p1_.Type("7");
  logic->TakeSample(Sample(20, 10));
  EXPECT_EQ(p1_.text, QStringLiteral("7"));
  EXPECT_EQ(p2_.text, QStringLiteral("40"));
  EXPECT_EQ(temperature_.text, QStringLiteral("37.0"));
  EXPECT_EQ(logic->ValueText(MyographPaneLogic::kForce), QStringLiteral("1.26"));
  EXPECT_EQ(logic->ValueText(MyographPaneLogic::kPH), QStringLiteral("7.40"));
  EXPECT_EQ(logic->ValueText(MyographPaneLogic::kCurrentTemperature), QStringLiteral("36.8"));
}

TEST_F(MyographLogicTest, EnableRulesFollowTheStates) {
  auto logic = Make(false);
  using L = MyographPaneLogic;
  const struct {
    const char* what;
    bool active, heater, pressure, editTemperature, editPressure;
    std::vector<int> enabled;
  } cases[] = {
      {"inactive", false, false, false, true, true, {}},
      {"all off",
       true,
       false,
       false,
       false,
       false,
       {L::kHeaterOn, L::kPressureOn, L::kCurrentTemperature, L::kTargetTemperature, L::kTargetP1, L::kTargetP2,
        L::kForce, L::kZeroForce, L::kPH}},
      {"on, editing",
       true,
       true,
       true,
       true,
       true,
       {L::kHeaterOff, L::kPressureOff, L::kChangeTemperature, L::kChangePressure, L::kCurrentP1, L::kCurrentP2,
        L::kCurrentTemperature, L::kTargetTemperature, L::kTargetP1, L::kTargetP2, L::kForce, L::kZeroForce, L::kPH}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    logic->SetActive(true);
    ORV::PMK4xData3 s = Sample(1, 1, c.pressure);
    s.switch1 = c.heater ? 1 : 0;
    logic->TakeSample(s);
    logic->SetActive(c.active);
    if (c.active) logic->TakeSample(s);
    temperature_.editing = c.editTemperature;
    p2_.editing = c.editPressure;
    for (int id = 33769; id <= 33785; ++id) {
      if (id == 33770 || id == 33771) continue;
      const bool expected = std::find(c.enabled.begin(), c.enabled.end(), id) != c.enabled.end();
      EXPECT_EQ(logic->Enabled(id), expected) << id;
    }
  }
}

TEST_F(MyographLogicTest, PressureOnlyLayoutHasNoHeaterAndEnterAppliesOnlyThePressures) {
  auto logic = Make(true);
  EXPECT_EQ(logic->HeaterOn(), Outcome::Refused);
  EXPECT_EQ(logic->ZeroForce(), Outcome::Refused);
  temperature_.Type("30");
  p1_.Type("70");
  logic->EnterKey();
  EXPECT_EQ(Sent(), "=012070\r");
}

class MyographPaneTest : public MyographFixture {
 protected:
  void Settle(CMyographWnd& pane) {
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !pane.Busy(); }));
    QCoreApplication::processEvents();
  }
  ORV::ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Configuration configuration_;
  ORV::InstrumentPaneContext context_{experiment_, configuration_};
};

TEST_F(MyographPaneTest, BothLayoutsShowLiveSamplesAtFixedPlaces) {
  using L = MyographPaneLogic;
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scaled(dpi);
    for (const bool pressureOnly : {false, true}) {
      SCOPED_TRACE(std::to_string(dpi) + (pressureOnly ? " pressure only" : " full"));
      configuration_.ProductType = pressureOnly ? 2 : 1;
      CMyographWnd pane(context_, *unit_, QStringLiteral("Pressure Interface"));
      ASSERT_EQ(pane.Create(), 0);
      EXPECT_EQ(pane.CalcFixedLayout(), QSize(200 * dpi / 96, 345 * dpi / 96));
      EXPECT_EQ(pane.Control(L::kHeaterOn) == nullptr, pressureOnly);
      EXPECT_EQ(pane.Control(L::kForce) == nullptr, pressureOnly);
      EXPECT_EQ(pane.Control(L::kTargetP1)->geometry(),
                pressureOnly ? pane.Rect96(71, 58, 121, 76) : pane.Rect96(71, 137, 121, 153));
      Settle(pane);
      std::thread sampler(
          [&] { experiment_.AddPressureSample(*std::make_unique<ORV::PMK4xData3>(Sample(60.4f, 39.6f))); });
      sampler.join();
      ASSERT_TRUE(ORV::Test::ProcessEventsUntil(
          [&] { return static_cast<QLineEdit*>(pane.Control(L::kCurrentP1))->text() == QStringLiteral("60.4"); }));
      EXPECT_EQ(pane.Entry(L::kTargetP1)->text(), QStringLiteral("60"));
      EXPECT_EQ(static_cast<QLineEdit*>(pane.Control(L::kPH))->text(), QStringLiteral("7.40"));
      pane.UpdateControls();
      EXPECT_FALSE(pane.Control(L::kPressureOn)->isEnabled());
      EXPECT_TRUE(pane.Control(L::kPressureOff)->isEnabled());
      EXPECT_FALSE(pane.Control(L::kChangePressure)->isEnabled());
      pane.Client()->resize(pane.CalcFixedLayout());
      ORV::Test::SaveUiArtifact(
          *pane.Client(), std::string("myograph_pane_") + (pressureOnly ? "pressure_" : "full_") + std::to_string(dpi));
    }
  }
}

TEST_F(MyographPaneTest, CommandsGoOutOnTheWorkerAndRefusalsShowTheirMessages) {
  using L = MyographPaneLogic;
  configuration_.ProductType = 1;
  CMyographWnd pane(context_, *unit_, QStringLiteral("Pressure Interface"));
  ASSERT_EQ(pane.Create(), 0);
  Settle(pane);
  Sent();
  ORV::UI::ScriptedMessageBoxes boxes;
  CFocusEdit* p1 = pane.Entry(L::kTargetP1);
  CFocusEdit* p2 = pane.Entry(L::kTargetP2);
  p1->setReadOnly(false);
  p1->setText(QStringLiteral("60"));
  p2->setReadOnly(false);
  p2->setText(QStringLiteral("80"));
  pane.UpdateControls();
  EXPECT_TRUE(pane.Control(L::kChangePressure)->isEnabled());
  pane.OnCommand(L::kChangePressure);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("P2 must not be a larger value than P1"));
  EXPECT_EQ(boxes.Shown()[0].caption, QStringLiteral("Entered value is out of range"));
  EXPECT_EQ(boxes.Shown()[0].type, ORV::UI::MB_ICONERROR);

  p2->setText(QStringLiteral("55"));
  pane.OnCommand(L::kChangePressure);
  Settle(pane);
  EXPECT_EQ(Sent(), "=012060\r=012155\r");
  EXPECT_TRUE(p1->isReadOnly());
  EXPECT_TRUE(p2->isReadOnly());

  CFocusEdit* t = pane.Entry(L::kTargetTemperature);
  t->setReadOnly(false);
  t->setText(QStringLiteral("19.9"));
  pane.OnCommand(L::kChangeTemperature);
  ASSERT_EQ(boxes.Shown().size(), 2u);
  // The message names the configured range (45 is the default maximum).
  EXPECT_EQ(boxes.Shown()[1].text, QStringLiteral("Value must be between 20.0 and 45.0 "));
  EXPECT_EQ(Sent(), "");
  pane.OnCommand(L::kHeaterOn);
  Settle(pane);
  EXPECT_EQ(Sent(), "=01111\r");
}

}  // namespace

// The simulated instruments attached to one preparation: what they measure
// comes from it, and the program's set commands change it.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/number_text.h"
#include "platform/sim/flow_meter_sli2000_sim.h"
#include "platform/sim/heat_controller_sim.h"
#include "platform/sim/microscope_sim.h"
#include "platform/sim/multi_interface_unit.h"
#include "platform/sim/preparation.h"
#include "platform/sim/single_interface_sim.h"
#include "tests/platform_sim/terminal_line.h"
#include "tests/platform_sim/unit_exchange.h"

namespace ORV::Sim {
namespace {

// A quiet preparation on a clock the test moves; the simulators' threads read
// the clock too.
class LinkTest : public ::testing::Test {
 protected:
  void Advance(double seconds) { now_.store(now_.load() + seconds); }

  std::atomic<double> now_{100.0};
  std::shared_ptr<Preparation> preparation_ =
      std::make_shared<Preparation>([this] { return now_.load(); }, Preparation::QuietModel());
};

void PutFloat(Report& r, float v) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  for (int shift : {24, 16, 8, 0}) r.push_back(static_cast<std::uint8_t>(bits >> shift));
}
float FloatAt(const Report& r, std::size_t at) {
  std::uint32_t bits = 0;
  for (std::size_t k = 0; k < 4; ++k) bits = (bits << 8) | r[at + k];
  return std::bit_cast<float>(bits);
}
int U16At(const Report& r, std::size_t at) { return (r[at] << 8) | r[at + 1]; }

TEST_F(LinkTest, MultiInterfaceUnitMeasuresThePreparationAndItsSetRequestsChangeIt) {
  MultiInterfaceUnit unit;
  unit.Attach(preparation_);

  // Targets 80 / 40 at 10 mmHg/s, pulsation on at 60 a minute, duty 50.
  Report set{1, 0x60, 0x09};
  PutFloat(set, 80.0f);
  PutFloat(set, 40.0f);
  PutFloat(set, 10.0f);
  set.insert(set.end(), {0, 60, 50, 1});
  EXPECT_EQ(U16At(Exchange(unit, set), 1), MultiInterfaceUnit::kAcknowledge);
  PreparationControls c = preparation_->Controls();
  EXPECT_EQ(c.targetP1, 80.0);
  EXPECT_EQ(c.targetP2, 40.0);
  EXPECT_EQ(c.gradient, 10.0);
  EXPECT_TRUE(c.pulsationOn);
  EXPECT_EQ(c.pulseRate, 60.0);
  EXPECT_EQ(c.dutyRate, 50.0);

  // Switch pulsation off again, then read the fast block between pulses.
  set[18] = 0;
  Exchange(unit, set);
  Advance(30.0);
  const Report fast = Exchange(unit, {1, 0x60, 0x04});
  const PreparationReading r = preparation_->Read();
  EXPECT_FLOAT_EQ(FloatAt(fast, 3), 80.0f);
  EXPECT_FLOAT_EQ(FloatAt(fast, 7), 40.0f);
  EXPECT_FLOAT_EQ(FloatAt(fast, 11), 7.4f);
  EXPECT_EQ(static_cast<std::int16_t>(U16At(fast, 15)), std::lround(r.flow));
  EXPECT_GT(r.flow, 10.0);
  EXPECT_EQ(U16At(fast, 17), 3700);  // the chamber, in hundredths
  EXPECT_FLOAT_EQ(FloatAt(fast, 19), 1.5f);

  // Heater off, pressure left alone, force zeroed; then a new heater target.
  Exchange(unit, {1, 0x60, 0x29, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1});
  c = preparation_->Controls();
  EXPECT_FALSE(c.heaterOn);
  EXPECT_TRUE(c.pressureOn);
  EXPECT_NEAR(preparation_->Read().force, 0.0, 1e-9);
  Exchange(unit, {1, 0x60, 0x31, 0x0D, 0xAC, 0, 0, 0, 0});  // 35.00
  EXPECT_DOUBLE_EQ(preparation_->Controls().heaterTarget, 35.0);
  // The slow block shows the settings back.
  const Report slow = Exchange(unit, {1, 0x60, 0x06});
  EXPECT_EQ(U16At(slow, 15), 3500);
  EXPECT_EQ(slow[21], 0);  // heater
  EXPECT_EQ(slow[24], 1);  // pressure
}

TEST_F(LinkTest, SerialInstrumentsMeasureThePreparationAndPassTheirCommandsOn) {
  SingleInterfaceSim single;
  HeatControllerSim heat;
  MicroscopeSim microscope;
  FlowMeterSLI2000Sim flow;
  for (PreparationLink* link : std::initializer_list<PreparationLink*>{&single, &heat, &microscope, &flow})
    link->Attach(preparation_);
  ASSERT_TRUE(single.Start() && heat.Start() && microscope.Start() && flow.Start());

  Line singleLine(single.DevicePath());
  EXPECT_EQ(singleLine.Exchange("=012080\r"), ">01\r");
  EXPECT_EQ(singleLine.Exchange("=012140\r"), ">01\r");
  EXPECT_EQ(preparation_->Controls().targetP1, 80.0);
  EXPECT_EQ(preparation_->Controls().targetP2, 40.0);
  Advance(30.0);
  EXPECT_EQ(singleLine.Exchange("?0107\r"), ">80.00,40.00,1.50,7.40,37.00\r");
  EXPECT_EQ(singleLine.Exchange("=01110\r"), ">01\r");
  EXPECT_FALSE(preparation_->Controls().heaterOn);
  Advance(120.0);  // the chamber cools
  const double cooled = preparation_->Read().temperature;
  ASSERT_LT(cooled, 30.0);

  Line heatLine(heat.DevicePath());
  const std::string chamber = OS::FormatFixed(static_cast<float>(cooled), 1);
  const std::string reply = heatLine.Exchange("?21\r");
  EXPECT_TRUE(reply.starts_with(">21;" + chamber + ";")) << reply;
  EXPECT_EQ(heatLine.Exchange("=22;36.5;37.0;37.0;37.0;\r"), "");
  EXPECT_DOUBLE_EQ(preparation_->Controls().heaterTarget, 36.5);

  Line microscopeLine(microscope.DevicePath());
  EXPECT_EQ(microscopeLine.Exchange("?41\r"), ">41;" + chamber + ";\r");

  Line flowLine(flow.DevicePath());
  const std::int16_t counts = ToCount(preparation_->Read().flow * FlowMeterSLI2000Sim::kCountsPerFlowUnit);
  const auto bits = static_cast<std::uint16_t>(counts);
  EXPECT_EQ(flowLine.Exchange(std::string{'\x7E', '\x00', '\x35', '\x00', '\xCA', '\x7E'}),
            FlowMeterSLI2000Sim::ReplyFrame(0x35, {static_cast<char>(bits >> 8), static_cast<char>(bits & 0xFF)}));
  EXPECT_GT(counts, 50);
}

// The simulated lab runs its instruments for as long as the program runs:
// switched to keep nothing, they answer as before and record nothing of what
// they were sent.
TEST_F(LinkTest, InstrumentsThatKeepNothingReceivedStillAnswerAndCountRequests) {
  MultiInterfaceUnit unit;
  unit.Attach(preparation_);
  Exchange(unit, {1, 0x60, 0x04});
  unit.KeepReceived(false);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(U16At(Exchange(unit, {1, 0x60, 0x04}), 1), 0x6004);
  EXPECT_EQ(unit.ReceivedCommands(), (std::vector<std::uint8_t>{0x04})) << "only the report sent before";

  MicroscopeSim microscope;
  microscope.Attach(preparation_);
  microscope.KeepReceived(false);
  ASSERT_TRUE(microscope.Start());
  Line line(microscope.DevicePath());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(line.Exchange("?41\r"), ">41;37.0;\r");
  EXPECT_TRUE(microscope.WaitForRequests(3, std::chrono::seconds(2)));
  EXPECT_EQ(microscope.Received(), "");
  EXPECT_TRUE(microscope.Requests().empty());
}

}  // namespace
}  // namespace ORV::Sim

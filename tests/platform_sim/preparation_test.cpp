// The simulated preparation on a virtual clock: the vessel's lag and
// myogenic response, the chamber's heating, the flow, and the commands.
#include "platform/sim/preparation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace ORV::Sim {
namespace {

// A preparation whose clock the test moves.
struct VirtualLab {
  explicit VirtualLab(PreparationControls controls = {}, Preparation::Model model = Preparation::QuietModel())
      : preparation([this] { return now; }, model, controls) {}
  void Advance(double seconds) { now += seconds; }

  double now = 1000.0;
  Preparation preparation;
};

PreparationControls AtPressure(double pressure, double temperature) {
  PreparationControls c;
  c.targetP1 = c.targetP2 = pressure;
  c.gradient = 0.0;  // steps at once, so only the vessel's own lag shows
  c.heaterTarget = temperature;
  return c;
}

TEST(PreparationTest, OuterDiameterFollowsAPressureStepWithItsTimeConstant) {
  const Preparation::Model model = Preparation::QuietModel();
  for (const double temperature : {20.0, 37.0}) {
    SCOPED_TRACE(temperature);
    VirtualLab lab(AtPressure(20.0, temperature));
    const double start = lab.preparation.Read().vessel.outerDiameter;
    lab.preparation.SetPressureTargets(80.0, 80.0, 0.0);
    lab.Advance(0.001);
    const double target = lab.preparation.SteadyOuterDiameter();
    ASSERT_GT(target - start, 20.0);

    // After one time constant 1 - 1/e of the way, after five nearly all.
    lab.Advance(model.diameterTimeConstant - 0.001);
    const double oneTau = lab.preparation.Read().vessel.outerDiameter;
    EXPECT_NEAR((oneTau - start) / (target - start), 1.0 - std::exp(-1.0), 0.01);
    lab.Advance(4.0 * model.diameterTimeConstant);
    EXPECT_NEAR(lab.preparation.Read().vessel.outerDiameter, target, 0.01 * (target - start));
  }
}

TEST(PreparationTest, MyogenicConstrictionAbove60MmHgWhenWarmOnly) {
  // Steady outer diameters at 20, 60 and 100 mmHg, cold and warm.
  const auto steady = [](double pressure, double temperature) {
    VirtualLab lab(AtPressure(pressure, temperature));
    return lab.preparation.Read().vessel.outerDiameter;
  };
  // Cold: passive, widening with pressure all the way.
  EXPECT_LT(steady(20, 20), steady(60, 20));
  EXPECT_LT(steady(60, 20), steady(100, 20));
  // Warm: the same below the threshold, constricted and narrowing above it.
  EXPECT_NEAR(steady(20, 37), steady(20, 20), 1e-9);
  EXPECT_NEAR(steady(60, 37), steady(60, 20), 1e-9);
  EXPECT_LT(steady(100, 37), 0.85 * steady(100, 20));
  EXPECT_LT(steady(100, 37), steady(60, 37));

  // Warming a cold vessel at 80 mmHg brings the tone in.
  VirtualLab lab(AtPressure(80.0, 20.0));
  const double cold = lab.preparation.Read().vessel.outerDiameter;
  lab.preparation.SetHeaterTarget(37.0);
  lab.Advance(600.0);
  EXPECT_LT(lab.preparation.Read().vessel.outerDiameter, 0.9 * cold);
}

TEST(PreparationTest, WallAreaStaysConstantSoTheLumenNarrowsMore) {
  VirtualLab lab(AtPressure(60.0, 37.0));
  const VesselGeometry wide = lab.preparation.Read().vessel;
  lab.preparation.SetPressureTargets(110.0, 110.0, 0.0);
  lab.Advance(60.0);
  const VesselGeometry narrow = lab.preparation.Read().vessel;
  ASSERT_LT(narrow.outerDiameter, wide.outerDiameter);
  const auto area = [](const VesselGeometry& g) {
    return g.outerDiameter * g.outerDiameter - g.lumenDiameter * g.lumenDiameter;
  };
  EXPECT_NEAR(area(narrow), area(wide), 1e-6 * area(wide));
  EXPECT_GT(narrow.WallThickness(), wide.WallThickness());
  EXPECT_EQ(lab.preparation.LumenFor(10.0), 0.0);  // a closed vessel has no lumen, never a negative one
}

TEST(PreparationTest, ChamberHeatsTowardsTheTargetAndCoolsWhenTheHeaterIsOff) {
  PreparationControls c = AtPressure(60.0, 37.0);
  c.heaterOn = false;
  VirtualLab lab(c);
  const Preparation::Model model = Preparation::QuietModel();
  EXPECT_DOUBLE_EQ(lab.preparation.Read().temperature, model.roomTemperature);

  lab.preparation.SetHeaterOn(true);
  lab.Advance(model.heatingTimeConstant);
  const double expected = 37.0 + (model.roomTemperature - 37.0) * std::exp(-1.0);
  EXPECT_NEAR(lab.preparation.Read().temperature, expected, 0.01);
  lab.Advance(10 * model.heatingTimeConstant);
  EXPECT_NEAR(lab.preparation.Read().temperature, 37.0, 0.01);

  lab.preparation.SetHeaterOn(false);
  lab.Advance(10 * model.coolingTimeConstant);
  EXPECT_NEAR(lab.preparation.Read().temperature, model.roomTemperature, 0.01);
}

TEST(PreparationTest, PressuresRampAtTheGradientAndFallWhenPressureIsOff) {
  PreparationControls c = AtPressure(20.0, 20.0);
  VirtualLab lab(c);
  lab.preparation.SetPressureTargets(80.0, 40.0, 5.0);  // mmHg per second
  lab.Advance(4.0);
  PreparationReading r = lab.preparation.Read();
  EXPECT_NEAR(r.p1, 40.0, 1e-6);
  EXPECT_NEAR(r.p2, 40.0, 1e-6);
  lab.Advance(100.0);
  r = lab.preparation.Read();
  EXPECT_NEAR(r.p1, 80.0, 1e-6);
  EXPECT_NEAR(r.p2, 40.0, 1e-6);

  // A target that is no number is refused; the pressures stay.
  lab.preparation.SetPressureTargets(std::nan(""), 40.0, 5.0);
  EXPECT_EQ(lab.preparation.Controls().targetP1, 80.0);

  lab.preparation.SetPressureOn(false);
  lab.Advance(120.0);
  r = lab.preparation.Read();
  EXPECT_LT(r.p1, 1.0);
  EXPECT_LT(r.p2, 1.0);
}

TEST(PreparationTest, FlowFollowsThePressureDifferenceAndTheLumenToTheFourthPower) {
  VirtualLab lab(AtPressure(60.0, 20.0));
  EXPECT_DOUBLE_EQ(lab.preparation.Read().flow, 0.0);

  lab.preparation.SetPressureTargets(70.0, 50.0, 0.0);  // same mean, same vessel
  lab.Advance(0.001);
  const PreparationReading r = lab.preparation.Read();
  const Preparation::Model m = Preparation::QuietModel();
  const double scale = r.vessel.lumenDiameter / m.flowReferenceLumen;
  EXPECT_NEAR(r.flow, m.flowPerMmHg * 20.0 * std::pow(scale, 4), 1e-6);
  EXPECT_GT(r.flow, 10.0);  // microlitres per minute, enough for the meters to show

  lab.preparation.SetPressureTargets(50.0, 70.0, 0.0);
  lab.Advance(0.001);
  EXPECT_NEAR(lab.preparation.Read().flow, -r.flow, 1e-6);
}

TEST(PreparationTest, PulsationRaisesPressureAndDiameterDuringTheDutyPart) {
  VirtualLab lab(AtPressure(40.0, 20.0));
  const Preparation::Model m = Preparation::QuietModel();
  const PreparationReading rest = lab.preparation.Read();
  lab.preparation.SetPulsation(true, 60.0, 25.0);  // one pulse a second, raised for a quarter of it
  lab.Advance(0.1);
  const PreparationReading high = lab.preparation.Read();
  EXPECT_NEAR(high.p1 - rest.p1, m.pulseAmplitude, 1e-6);
  EXPECT_NEAR(high.vessel.outerDiameter - rest.vessel.outerDiameter, m.pulseCompliance * m.pulseAmplitude, 0.01);
  lab.Advance(0.5);
  EXPECT_NEAR(lab.preparation.Read().p1, rest.p1, 1e-6);
  lab.preparation.SetPulsation(false, 60.0, 25.0);
  lab.Advance(0.5);  // the next period's start: no pulse any more
  EXPECT_NEAR(lab.preparation.Read().p1, rest.p1, 1e-6);
}

TEST(PreparationTest, NoiseAndDriftKeepReadingsCloseButAlive) {
  PreparationControls c = AtPressure(60.0, 37.0);
  VirtualLab lab(c, Preparation::Model{});
  const double steady = lab.preparation.SteadyOuterDiameter();
  double lowest = 1e9, highest = -1e9;
  for (int i = 0; i < 600; ++i) {
    lab.Advance(1.0);
    const PreparationReading r = lab.preparation.Read();
    lowest = std::min(lowest, r.vessel.outerDiameter);
    highest = std::max(highest, r.vessel.outerDiameter);
    ASSERT_NEAR(r.pH, 7.4, 0.05);
    ASSERT_NEAR(r.force, 1.5, 0.1);
    ASSERT_NEAR(r.temperature, 37.0, 0.2);
  }
  EXPECT_GT(highest - lowest, 2.0);  // the drift shows over minutes
  EXPECT_NEAR(lowest, steady, 6.0);
  EXPECT_NEAR(highest, steady, 6.0);

  lab.preparation.ZeroForce();
  EXPECT_NEAR(lab.preparation.Read().force, 0.0, 0.1);
}

}  // namespace
}  // namespace ORV::Sim

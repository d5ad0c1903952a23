// Trace points of the experiment record: the vessel formulas, the
// instrument kinds and their data sources, the flow in force at a time, and
// custom traces evaluated through their scripts.
#include "core/experiment/trace_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/base/configuration.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

constexpr float kUnset = -7.5f;  // what the caller put in the point

// Sets the flow source and the product type for one test and restores them.
class TraceValuesTest : public ExperimentFixture {
 protected:
  TraceValuesTest() : savedProduct_(ORV::Test::SharedConfiguration().ProductType) {}
  ~TraceValuesTest() override {
    SetFlowSource(kFlowFromFlowMeter);
    ORV::Test::SharedConfiguration().ProductType = savedProduct_;
  }

  void AddZone(int camera, const ZoneData& z) {
    data().Update([&](ExperimentContents& c) {
      c.zoneData[static_cast<std::size_t>(camera)].push_back(z);
      return 0;
    });
  }
  void AddFlow(std::uint32_t time, std::int16_t flow) {
    FMASL1600Data f;
    f.time = time;
    f.flow = flow;
    data().Update([&](ExperimentContents& c) {
      c.flowSamples.push_back(f);
      return 0;
    });
  }
  void AddPressure(const PMK4xData3& s) {
    data().Update([&](ExperimentContents& c) {
      c.pressureSamples.push_back(s);
      return 0;
    });
  }
  void AddMicroscope(int camera, std::uint32_t time, float temperature, std::int32_t ir) {
    MicroscopeData2 m;
    m.time = time;
    m.temperature = temperature;
    m.ir = ir;
    data().Update([&](ExperimentContents& c) {
      c.microscopeData[static_cast<std::size_t>(camera)].push_back(m);
      return 0;
    });
  }

  static PMK4xData3 Pressure(std::uint32_t time, float p1, float p2, float flow = 0.0f) {
    PMK4xData3 s;
    s.time = time;
    s.p1 = p1;
    s.p2 = p2;
    s.flow = flow;
    s.temperature = 37.25f;
    s.force = 3.5f;
    s.pH = 7.4f;
    s.pulseRate = 1.75f;
    return s;
  }

  // Zone `zone` holds the walls; every other zone holds other positions.
  static ZoneData Walls(std::uint32_t time, int zone, float ol, float orr, float il, float ir) {
    ZoneData z = MakeZone(time, kMaxZones, 500.0f);
    const auto i = static_cast<std::size_t>(zone);
    z.outerLeft[i] = ol;
    z.outerRight[i] = orr;
    z.innerLeft[i] = il;
    z.innerRight[i] = ir;
    return z;
  }

  // The point, starting from (0, kUnset); fails the test when there is none.
  TracePoint Point(int index, int kind, int camera, int zone) {
    TracePoint p{0, kUnset};
    EXPECT_TRUE(data().GetTraceValue(index, kind, camera, zone, p)) << "kind " << kind;
    return p;
  }
  int Count(int kind, int camera = 0, int zone = 0) {
    int n = -1;
    EXPECT_TRUE(data().GetSampleCount(kind, camera, zone, n)) << "kind " << kind;
    return n;
  }

  std::int32_t savedProduct_;
};

TEST_F(TraceValuesTest, VesselFormulasFromOneZonesWalls) {
  AddZone(1, Walls(500, 2, 10.0f, 110.0f, 30.0f, 90.0f));
  AddZone(1, Walls(600, 2, 0.0f, 110.0f, 30.0f, 90.0f));  // no outer left edge
  struct Case {
    int kind;
    float value;     // from walls 10/110, 30/90
    bool withoutOL;  // still computed when the outer left edge is 0
    float valueWithoutOL;
  };
  const Case cases[] = {
      {kTraceLeftWallThickness, 20.0f, false, 0},      {kTraceRightWallThickness, 20.0f, true, 20.0f},
      {kTraceAverageWallThickness, 20.0f, false, 0},   {kTraceVesselDiameter, 100.0f, false, 0},
      {kTraceLumenDiameter, 60.0f, true, 60.0f},       {kTraceVesselArea, 5026.5483f, false, 0},
      {kTraceLumenArea, 2827.4333f, true, 2827.4333f}, {kTraceCrossSectionalArea, 5026.5483f, false, 0},
      {kTraceMediaLumenRatio, 0.6666667f, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TraceKindName(c.kind).value_or("?"));
    EXPECT_EQ(Count(c.kind, 1, 2), 2);
    const TracePoint p = Point(0, c.kind, 1, 2);
    EXPECT_EQ(p.time, 500u);
    EXPECT_NEAR(p.value, c.value, std::fabs(c.value) * 2e-7f);
    // A value whose walls were not found is no number: a gap, never 0.
    const TracePoint q = Point(1, c.kind, 1, 2);
    EXPECT_EQ(q.time, 600u);
    if (c.withoutOL)
      EXPECT_FLOAT_EQ(q.value, c.valueWithoutOL);
    else
      EXPECT_TRUE(std::isnan(q.value)) << q.value;
  }
}

TEST_F(TraceValuesTest, ArgumentsOutsideTheRecordAreRefused) {
  AddZone(0, Walls(100, 0, 10.0f, 110.0f, 30.0f, 90.0f));
  AddPressure(Pressure(100, 60.0f, 40.0f));
  AddMicroscope(0, 100, 36.0f, 5);
  struct Case {
    int kind, camera, zone;
    bool ok;
  };
  const Case cases[] = {
      {kTraceVesselDiameter, -1, 0, false},
      {kTraceVesselDiameter, 4, 0, false},
      {kTraceVesselDiameter, 0, -1, false},
      {kTraceVesselDiameter, 0, 4, false},
      {kTraceShearStress, 0, 4, false},
      {kTraceInlet, -1, -1, true},
      {kTraceInlet, 9, 9, true},
      {kFirstCustomTraceId, 4, 0, false},
      {kFirstCustomTraceId, 0, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " camera " << c.camera << " zone " << c.zone);
    int n = -1;
    TracePoint p;
    EXPECT_EQ(data().GetSampleCount(c.kind, c.camera, c.zone, n), c.ok);
    EXPECT_EQ(data().GetTraceValue(0, c.kind, c.camera, c.zone, p), c.ok);
  }
  // An index beyond the list gives no point.
  TracePoint p;
  EXPECT_FALSE(data().GetTraceValue(1, kTraceVesselDiameter, 0, 0, p));
  EXPECT_FALSE(data().GetTraceValue(-1, kTraceVesselDiameter, 0, 0, p));
  EXPECT_FALSE(data().GetTraceValue(1, kTraceInlet, 0, 0, p));
  // Kinds without points: no count, a value call that sets nothing.
  for (int kind : {int{kTraceNone}, int{kTracePuller}, 219}) {
    SCOPED_TRACE(kind);
    int n = -1;
    EXPECT_FALSE(data().GetSampleCount(kind, 0, 0, n));
    TracePoint none{3, kUnset};
    EXPECT_TRUE(data().GetTraceValue(0, kind, 0, 0, none));
    EXPECT_EQ(none.time, 3u);
    EXPECT_EQ(none.value, kUnset);
  }
}

TEST_F(TraceValuesTest, PressureKindsReadThePressureSamples) {
  AddPressure(Pressure(1000, 80.0f, 20.0f, 12.0f));
  AddPressure(Pressure(2000, 60.0f, 40.0f, 12.0f));
  const struct {
    int kind;
    float value;
  } cases[] = {
      {kTraceInlet, 60.0f}, {kTraceOutlet, 40.0f}, {kTraceMeanPressure, 50.0f}, {kTraceTemperature, 37.25f},
      {kTraceForce, 3.5f},  {kTracePH, 7.4f},      {kTracePulse, 1.75f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(Count(c.kind, -1), 2);
    const TracePoint p = Point(1, c.kind, -1, -1);
    EXPECT_EQ(p.time, 2000u);
    EXPECT_FLOAT_EQ(p.value, c.value);
  }
  const PMK4xData3 copy = data().GetPressureSample(1);
  EXPECT_EQ(copy.time, 2000u);
  EXPECT_EQ(copy.p1, 60.0f);
  for (int outside : {-1, 2}) {
    const PMK4xData3 d = data().GetPressureSample(outside);
    EXPECT_EQ(d.time, 0u);
    EXPECT_EQ(d.index, -1);
    EXPECT_EQ(d.gradient, 5.0f);
    EXPECT_EQ(d.dutyRate, 50);
  }
}

TEST_F(TraceValuesTest, FlowSourceFlagChoosesTheFlowSamples) {
  AddZone(0, Walls(1500, 0, 10.0f, 110.0f, 30.0f, 90.0f));
  AddPressure(Pressure(1000, 80.0f, 20.0f, 7.9f));
  AddPressure(Pressure(2000, 60.0f, 40.0f, -4.2f));
  AddPressure(Pressure(3000, 60.0f, 40.0f, 9.0f));

  // No flow-meter samples: no shear stress, flow or resistance points.
  EXPECT_EQ(Count(kTraceShearStress), 0);
  EXPECT_EQ(Count(kTraceFlow), 0);
  EXPECT_EQ(Count(kTraceVascularResistance), 0);

  AddFlow(1200, 30);
  AddFlow(2500, -12);
  EXPECT_EQ(Count(kTraceShearStress), 1);
  EXPECT_EQ(Count(kTraceFlow), 2);
  EXPECT_EQ(Count(kTraceVascularResistance), 3);
  TracePoint f = Point(1, kTraceFlow, 0, 0);
  EXPECT_EQ(f.time, 2500u);
  EXPECT_EQ(f.value, -12.0f);
  // Resistance at 2000 uses the flow in force then (30), at 3000 the last (-12).
  EXPECT_FLOAT_EQ(Point(1, kTraceVascularResistance, 0, 0).value, static_cast<float>(20.0 * 1333.2239 / 30.0));
  EXPECT_FLOAT_EQ(Point(2, kTraceVascularResistance, 0, 0).value, static_cast<float>(20.0 * 1333.2239 / -12.0));
  // Shear stress at 1500: r = 30, Q = 30.
  const double shear = 30.0 / 60.0 * 0.028 * 1e9 / (3.14159265 * 30.0 * 30.0 * 30.0);
  TracePoint s = Point(0, kTraceShearStress, 0, 0);
  EXPECT_EQ(s.time, 1500u);
  EXPECT_FLOAT_EQ(s.value, static_cast<float>(shear));

  SetFlowSource(kFlowFromPressureSamples);
  EXPECT_EQ(Count(kTraceFlow), 3);
  f = Point(0, kTraceFlow, 0, 0);
  EXPECT_EQ(f.time, 1000u);
  EXPECT_FLOAT_EQ(f.value, 7.9f);
  // The flow in force is truncated: 7.9 -> 7 at 1500, -4.2 -> -4 at 2000.
  EXPECT_FLOAT_EQ(Point(0, kTraceShearStress, 0, 0).value, static_cast<float>(shear * 7.0 / 30.0));
  EXPECT_FLOAT_EQ(Point(1, kTraceVascularResistance, 0, 0).value, static_cast<float>(20.0 * 1333.2239 / -4.0));
}

TEST_F(TraceValuesTest, NoFlowGivesNonFiniteResistanceAndNoLumenNoShear) {
  SetFlowSource(kFlowFromPressureSamples);
  AddZone(0, Walls(100, 0, 10.0f, 110.0f, 30.0f, 30.0f));  // no lumen
  AddZone(0, Walls(200, 0, 10.0f, 110.0f, 30.0f, 90.0f));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  AddPressure(Pressure(100, 60.0f, 40.0f, 0.0f));
  AddPressure(Pressure(200, 40.0f, 40.0f, 0.0f));
  AddPressure(Pressure(300, 60.0f, 40.0f, nan));
  AddPressure(Pressure(400, 60.0f, 40.0f, inf));
  AddPressure(Pressure(500, 60.0f, 40.0f, 3.0e38f));
  AddPressure(Pressure(600, nan, 40.0f, 5.0f));

  EXPECT_EQ(Point(0, kTraceVascularResistance, 0, 0).value, inf);
  EXPECT_TRUE(std::isnan(Point(1, kTraceVascularResistance, 0, 0).value));
  EXPECT_EQ(Point(2, kTraceVascularResistance, 0, 0).value, inf);  // a NaN flow counts as none
  EXPECT_EQ(Point(3, kTraceVascularResistance, 0, 0).value, inf);
  EXPECT_EQ(Point(4, kTraceVascularResistance, 0, 0).value, inf);  // low 16 bits of 3e38 are 0
  EXPECT_TRUE(std::isnan(Point(5, kTraceVascularResistance, 0, 0).value));
  EXPECT_TRUE(std::isnan(Point(0, kTraceShearStress, 0, 0).value));  // no lumen found: a gap
  EXPECT_EQ(Point(1, kTraceShearStress, 0, 0).value, 0.0f);          // flow 0
}

TEST_F(TraceValuesTest, TemperatureOfTheIncubationChamberComesFromTheMicroscope) {
  AddPressure(Pressure(100, 60.0f, 40.0f));
  AddMicroscope(1, 150, 36.5f, 4);
  AddMicroscope(1, 250, 36.75f, 4);
  data().Update([](ExperimentContents& c) {
    c.cameraLabels = {"Camera 1", "Camera 2"};
    return 0;
  });

  ORV::Test::SharedConfiguration().ProductType = 1;
  EXPECT_EQ(Count(kTraceTemperature, 1), 1);
  EXPECT_FLOAT_EQ(Point(0, kTraceTemperature, 1, 0).value, 37.25f);

  ORV::Test::SharedConfiguration().ProductType = 2;
  EXPECT_EQ(Count(kTraceTemperature, 1), 2);
  const TracePoint p = Point(1, kTraceTemperature, 1, 0);
  EXPECT_EQ(p.time, 250u);
  EXPECT_FLOAT_EQ(p.value, 36.75f);
  EXPECT_EQ(Count(kTraceTemperature, -1), 0);  // camera 0 has no readings
  EXPECT_EQ(Count(kTraceTemperature, 2), 0);   // no such camera label
  TracePoint none;
  EXPECT_FALSE(data().GetTraceValue(2, kTraceTemperature, 1, 0, none));
}

TEST_F(TraceValuesTest, FlowInForceAtATime) {
  struct Case {
    std::uint32_t at, time;
    std::int16_t flow;
  };
  // Empty: the start value.
  FMASL1600Data none = data().GetFlowAt(50);
  EXPECT_EQ(none.time, 0u);
  EXPECT_EQ(none.flow, 0);
  EXPECT_EQ(none.index, -1);

  AddFlow(100, 11);
  AddFlow(200, 22);
  AddFlow(200, 23);
  AddFlow(300, 33);
  const Case cases[] = {
      {0, 100, 11},   {99, 100, 11},  {100, 100, 11}, {150, 100, 11},         {199, 100, 11},
      {200, 200, 23}, {299, 200, 23}, {300, 300, 33}, {0xFFFFFFFFu, 300, 33},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.at);
    const FMASL1600Data f = data().GetFlowAt(c.at);
    EXPECT_EQ(f.time, c.time);
    EXPECT_EQ(f.flow, c.flow);
  }

  // From the pressure samples: the time, the flow truncated to its 16 low bits.
  SetFlowSource(kFlowFromPressureSamples);
  AddPressure(Pressure(100, 0, 0, -3.9f));
  AddPressure(Pressure(200, 0, 0, 70000.5f));
  AddPressure(Pressure(300, 0, 0, -70000.0f));
  const Case fromPressure[] = {{0, 100, -3}, {250, 200, 4464}, {400, 300, -4464}};
  for (const Case& c : fromPressure) {
    SCOPED_TRACE(c.at);
    const FMASL1600Data f = data().GetFlowAt(c.at);
    EXPECT_EQ(f.time, c.time);
    EXPECT_EQ(f.flow, c.flow);
    EXPECT_EQ(f.index, -1);
  }
}

TEST_F(TraceValuesTest, FlowInForceMatchesALinearWalkOnRandomSamples) {
  std::mt19937 rng(20261209);
  std::vector<FMASL1600Data> samples(100000);
  std::uint32_t t = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    t += rng() % 4;  // repeated times too
    samples[i].time = t;
    samples[i].flow = static_cast<std::int16_t>(rng());
    samples[i].index = static_cast<std::int32_t>(i);
  }
  data().Update([&](ExperimentContents& c) {
    c.flowSamples.assign(samples.begin(), samples.end());
    return 0;
  });
  // The sample in force: the last at or before the time, the first before it.
  const auto linear = [&](std::uint32_t at) {
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < samples.size() && samples[i].time <= at; ++i) chosen = i;
    return samples[chosen];
  };
  for (int i = 0; i < 2000; ++i) {
    const std::uint32_t at = rng() % (t + 10);
    const FMASL1600Data got = data().GetFlowAt(at);
    const FMASL1600Data want = linear(at);
    ASSERT_EQ(got.index, want.index) << "at " << at;
    ASSERT_EQ(got.time, want.time);
    ASSERT_EQ(got.flow, want.flow);
  }
  // Walks forward and back over every time, as series and replots do.
  const auto inForce = [&](std::uint32_t at) {
    const auto later = std::upper_bound(samples.begin(), samples.end(), at,
                                        [](std::uint32_t x, const FMASL1600Data& s) { return x < s.time; });
    return later == samples.begin() ? 0 : later - samples.begin() - 1;
  };
  for (std::uint32_t at = 0; at < t + 3; ++at) ASSERT_EQ(data().GetFlowAt(at).index, inForce(at)) << "at " << at;
  for (std::uint32_t at = t + 3; at-- > 0;) ASSERT_EQ(data().GetFlowAt(at).index, inForce(at)) << "at " << at;
}

TEST_F(TraceValuesTest, CustomTraceRunsItsScriptOnTheSamplesOfTheIndex) {
  const auto add = [&](const char* name, const char* code) {
    auto definition = std::make_shared<Traces::CustomTraces>();
    definition->Name = name;
    definition->Code = code;
    return data().AddCustomTrace(definition);
  };
  const std::int32_t walls = add("walls", "return OuterLeft * 1000 + InnerRight * 10 + current_zone");
  const std::int32_t globals =
      add("globals", "return P1 * 10000 + (IR or 0) * 1000 + (MicroscopeTemp or 0) * 10 + (Flow or 0)");
  ASSERT_GE(walls, kFirstCustomTraceId);
  ASSERT_GT(globals, walls);

  AddZone(1, Walls(10, 1, 7.0f, 100.0f, 30.0f, 9.0f));
  AddZone(1, Walls(20, 3, 5.0f, 100.0f, 30.0f, 8.0f));
  AddPressure(Pressure(30, 2.0f, 0.0f, 9.0f));
  AddMicroscope(1, 40, 6.0f, 3);
  AddMicroscope(1, 41, 6.0f, 3);
  AddFlow(50, 4);
  AddFlow(60, 5);
  AddFlow(70, 6);

  EXPECT_EQ(Count(walls, 1), 3);
  // Zone 0 is taken as zone 1 for the script; the time is the pressure sample's.
  TracePoint p = Point(0, walls, 1, 0);
  EXPECT_EQ(p.time, 30u);
  EXPECT_EQ(p.value, 7091.0f);
  // No pressure sample at index 1: the microscope reading's time.
  p = Point(1, walls, 1, 3);
  EXPECT_EQ(p.time, 41u);
  EXPECT_EQ(p.value, 5083.0f);
  // Index 2 is reached by the flow samples only.
  EXPECT_EQ(Point(2, walls, -1, -1).time, 70u);
  TracePoint beyond;
  EXPECT_FALSE(data().GetTraceValue(3, walls, 1, 0, beyond));

  // P1, the IR level and temperature of the microscope, and the flow meter's
  // flow in place of the pressure sample's.
  EXPECT_EQ(Point(0, globals, 1, 0).value, 23064.0f);

  // An identity without a trace gives no point and is listed from then on.
  TracePoint missing;
  EXPECT_FALSE(data().GetTraceValue(0, globals + 5, 0, 0, missing));
  const auto listed = data().GetCustomTraces();
  EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [&](const auto& e) { return e.first == globals + 5; }));
}

}  // namespace
}  // namespace ORV::Test

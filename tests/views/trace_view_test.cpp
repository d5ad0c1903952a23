// The trace view's logic against a recording graph: the set-up's calls,
// the channels' drains, the trace values, the replot and the markers.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "custom_traces/custom_trace_context.h"
#include "tests/views/view_fixture.h"

namespace ORV::Views::Test {
namespace {

using TraceViewTest = ViewFixture;

std::vector<std::string> PlotCalls(const RecordingGraph& g) {
  std::vector<std::string> out;
  for (const std::string& c : g.calls)
    if (c.rfind("51 ", 0) == 0) out.push_back(c);
  return out;
}

TEST_F(TraceViewTest, SetupForACameraTraceMakesTheseCalls) {
  auto view = MakeView();
  view->OnZoneCreated(2, 0);
  view->ShowTrace(4);
  const std::vector<std::string> golden = {
      "50",                              // ClearGraph
      "59 I4 10",                        // SetGridXElements
      "60 I4 5",                         // SetGridYElements
      "put 36 BSTR \"%g\"",              // FormatAxisBottom
      "put 37 BSTR \"%.1f\"",            // FormatAxisLeft
      "put 13 I4 1",                     // ElementWidth
      "put 10 I4 3947580",               // ElementLineColor 0x3C3C3C
      "put 71 BOOL FALSE",               // UseAutoRange
      "put 9 BSTR \"µm\"",               // YLabel
      "44 R8 0 R8 60 R8 0 R8 100 I4 0",  // SetRange (live)
      "44 R8 0 R8 60 R8 0 R8 100 I4 0",  // SetRange of ConfigureGraphForTrace
  };
  EXPECT_EQ(graph_.calls, golden);
  EXPECT_EQ(view->SelectedZone(0), 1);
  EXPECT_EQ(view->ZoneButtonState().shown, 2);
  EXPECT_EQ(view->ZoneButtonState().bold, 0);
  EXPECT_EQ(view->Document().Title(), "Zone 1:Outer Diameter");
  EXPECT_EQ(host_.busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(TraceViewTest, SetupForAPressureTraceReplotsAndFitsTheRange) {
  data().startTick = 1000;
  Record();
  AddPressure(1500, 10.0f);
  AddPressure(2000, 12.0f);
  data().AddMarker("drug", 1750, 0);
  auto view = MakeView();
  view->OnZoneCreated(2, 0);
  view->SetSelectedZone(0, 2);
  view->Document().WriteTraceSettings(11, TraceSettings{0, 50, 6, 4, true, true});
  graph_.calls.clear();
  host_.busyCalls.clear();
  view->SetLive(false);
  view->ShowTrace(11);
  const std::vector<std::string> golden = {
      "50",
      "59 I4 6",
      "60 I4 4",
      "put 36 BSTR \"%g\"",
      "put 37 BSTR \"%.1f\"",
      "put 13 I4 1",
      "put 10 I4 3947580",
      "put 71 BOOL TRUE",
      "put 9 BSTR \"mmHg\"",
      // the replot of the stored samples, at seconds from the start
      "51 R8 0.5 R8 10 I2 0",
      "51 R8 1 R8 12 I2 0",
      // the marker, at the point nearest its time
      "65 R8 0.75 I2 0",
      "get 58 I4 0 I2 0",
      "53",
      "put 21 BSTR \"drug\"",
      "put 24 I4 0",
      "put 29 I4 16777215",
      "put 25 BOOL FALSE",
      "put 22 R8 0.75",
      "put 23 R8 10",
      "put 27 BOOL TRUE",
      "70",
      // ConfigureGraphForTrace: the Y range read back and applied
      "78 BYREF BYREF",
      "44 R8 0 R8 60 R8 2 R8 8 I4 1",
  };
  EXPECT_EQ(graph_.calls, golden);
  // A pressure trace follows no zone.
  EXPECT_EQ(view->SelectedZone(0), -1);
  EXPECT_EQ(view->ZoneButtonState().shown, 0);
  EXPECT_EQ(view->Annotations().size(), 1u);
  EXPECT_DOUBLE_EQ(view->YMin(), 2.0);
  EXPECT_DOUBLE_EQ(view->YMax(), 8.0);
}

TEST_F(TraceViewTest, CodeZeroOnlyRetitles) {
  auto view = MakeView();
  view->OnZoneCreated(1, 0);
  view->ShowTrace(11);
  graph_.calls.clear();
  view->ShowTrace(0);
  EXPECT_EQ(view->Document().TraceCode(), 0);
  EXPECT_EQ(view->Document().Title(), "Zone 1:None");
  EXPECT_EQ(view->TraceCode(), 11);  // the view keeps plotting its trace
  EXPECT_EQ(graph_.Count("50"), 0u);
}

TEST_F(TraceViewTest, AViewWithoutAGraphMakesNoCalls) {
  auto view = std::make_unique<CPelmoraView>(ViewParams());
  view->AttachGraph(nullptr, 0, false);
  view->ShowTrace(11);
  PMK4xData3 s;
  s.time = 100;
  view->OnPressureData(s);
  Drain(*view);
  view->OnMarkerAdded(MarkerData2{"m", 100, 0, 100});
  EXPECT_EQ(view->TraceCode(), 11);
  EXPECT_TRUE(graph_.calls.empty());
}

TEST_F(TraceViewTest, OneDrainTakesEveryQueuedSample) {
  auto view = MakeView();
  view->ShowTrace(12);
  graph_.calls.clear();
  PMK4xData3 s;
  s.time = 100;
  s.p2 = 4.0f;
  view->OnPressureData(s);
  s.time = 200;
  s.p2 = 5.0f;
  view->OnPressureData(s);
  const auto messages = posts_->Take();
  ASSERT_EQ(messages, (std::vector<std::uint32_t>{WM_PRESSURE_ARRIVED, WM_PRESSURE_ARRIVED}));
  view->HandleMessage(messages[0]);
  EXPECT_EQ(PlotCalls(graph_),
            (std::vector<std::string>{"51 R8 0.10000000000000001 R8 4 I2 0", "51 R8 0.20000000000000001 R8 5 I2 0"}));
  // The range is applied once, after the last queued sample.
  EXPECT_EQ(graph_.Count("44 "), 1u);
  graph_.calls.clear();
  view->HandleMessage(messages[1]);
  EXPECT_TRUE(graph_.calls.empty());
}

// The graph repaints from SetRange at most once in 250 ms, so a live view
// has its graph drawn from a timer after each drain that plotted: the
// timer's call applies the newest range and draws, and the drains meanwhile
// start no second timer. A camera trace's range skipped within its interval
// is applied by the timer too.
TEST_F(TraceViewTest, ALiveViewDrawsItsGraphSoonAfterADrainSoTheLastSampleOfABurstIsShown) {
  auto view = MakeView();
  view->ShowTrace(11);
  graph_.calls.clear();
  const auto pressure = [&](std::uint32_t time, float p1) {
    PMK4xData3 s;
    s.time = time;
    s.p1 = p1;
    view->OnPressureData(s);
    Drain(*view);
  };
  pressure(100, 4.0f);
  EXPECT_EQ(graph_.Count("44 "), 1u);
  EXPECT_EQ(host_.redrawTimers, (std::vector<int>{kLiveRedrawMs}));
  pressure(200, 5.0f);  // the timer runs: no second one
  EXPECT_EQ(graph_.Count("44 "), 2u);
  EXPECT_EQ(host_.redrawTimers.size(), 1u);
  EXPECT_EQ(host_.graphRedraws, 0);

  view->OnRedrawTimer();  // the newest range, then the graph drawn
  EXPECT_EQ(graph_.calls.back(), "44 R8 0 R8 60 R8 0 R8 100 I4 0");
  EXPECT_EQ(graph_.Count("44 "), 3u);
  EXPECT_EQ(host_.graphRedraws, 1);
  pressure(300, 6.0f);  // the next drain starts the timer anew
  EXPECT_EQ(host_.redrawTimers.size(), 2u);

  // A view that stopped being live neither calls nor draws from its timer.
  view->SetLive(false);
  graph_.calls.clear();
  view->OnRedrawTimer();
  EXPECT_TRUE(graph_.calls.empty());
  EXPECT_EQ(host_.graphRedraws, 1);

  // A camera trace within its interval leaves its range to the timer.
  CPelmoraView::Params p = ViewParams();
  p.steadyMs = [] { return std::int64_t{0}; };
  CPelmoraView camera(std::move(p));
  camera.AttachGraph(&graph_, 0xF0F0F0, false);
  camera.OnZoneCreated(1, 0);
  camera.ShowTrace(4);
  graph_.calls.clear();
  host_.redrawTimers.clear();
  camera.OnZoneValue(300, 0, 10, 50, 20, 40, 0);
  Drain(camera);
  EXPECT_EQ(graph_.Count("51 "), 1u);
  EXPECT_EQ(graph_.Count("44 "), 0u);
  EXPECT_EQ(host_.redrawTimers.size(), 1u);
  camera.OnRedrawTimer();
  EXPECT_EQ(graph_.Count("44 "), 1u);
  EXPECT_EQ(host_.graphRedraws, 2);
}

TEST_F(TraceViewTest, ZoneValuesOfOtherZonesAndCamerasAreNotQueued) {
  auto view = MakeView();
  view->OnZoneCreated(2, 0);
  view->ShowTrace(4);
  view->OnZoneValue(100, 1, 1, 2, 3, 4, 0);  // zone index 1 is zone 2; zone 1 is selected
  view->OnZoneValue(100, 0, 1, 2, 3, 4, 1);  // another camera
  EXPECT_EQ(posts_->Size(), 0u);
  view->OnZoneValue(0, 0, 1, 2, 3, 4, 0);  // time 0: queued, never plotted
  view->OnZoneValue(300, 0, 10, 50, 20, 40, 0);
  graph_.calls.clear();
  Drain(*view);
  EXPECT_EQ(PlotCalls(graph_), (std::vector<std::string>{"51 R8 0.29999999999999999 R8 40 I2 0"}));
}

TEST_F(TraceViewTest, TheWindowFollowsTheNewestSample) {
  auto view = MakeView();
  view->ShowTrace(11);
  PMK4xData3 s;
  s.time = 30000;
  view->OnPressureData(s);
  Drain(*view);
  EXPECT_DOUBLE_EQ(view->XMin(), 0.0);
  EXPECT_DOUBLE_EQ(view->XMax(), 60.0);
  s.time = 75000;
  view->OnPressureData(s);
  Drain(*view);
  EXPECT_DOUBLE_EQ(view->XMin(), 15.0);
  EXPECT_DOUBLE_EQ(view->XMax(), 75.0);
  EXPECT_DOUBLE_EQ(view->CurrentTime(), 75.0);
}

// A stopped collection is shown as recorded: what the sampling hands on
// after the stop is not drawn; before any collection (no data) and in the
// next one it is.
TEST_F(TraceViewTest, AfterTheStopTheViewDrawsNothingHandedOnLater) {
  auto view = MakeView();
  view->ShowTrace(11);
  const auto handOn = [&](std::uint32_t time) {
    PMK4xData3 s;
    s.time = time;
    view->OnPressureData(s);
    Drain(*view);
    return view->CurrentTime();
  };
  EXPECT_DOUBLE_EQ(handOn(1000), 1.0) << "live before a collection";
  Record();
  AddPressure(2000, 50.0f);
  data().mode = kModeNone;  // stopped
  data().stopTick = 2000;
  EXPECT_DOUBLE_EQ(handOn(2000), 2.0) << "recorded up to the stop";
  EXPECT_DOUBLE_EQ(handOn(2100), 2.0) << "handed on after the stop";
  data().mode = kModeLive;  // the next collection
  EXPECT_DOUBLE_EQ(handOn(2200), 2.2);
}

// ---- values ----

struct WallCase {
  int code;
  float ol, orr, il, ir;
  double expected;
};

TEST_F(TraceViewTest, CameraTraceValues) {
  const double pi = 3.14159265;
  const double kGap = std::numeric_limits<double>::quiet_NaN();
  const WallCase cases[] = {
      {1, 10, 50, 20, 40, 10},
      {2, 10, 50, 20, 40, 10},
      {3, 10, 50, 20, 40, 10},
      {4, 10, 50, 20, 40, 40},
      {5, 10, 50, 20, 40, 20},
      {6, 10, 50, 20, 40, pi * 400 - pi * 100},
      {7, 10, 50, 20, 40, pi * 100},
      {8, 10, 50, 20, 40, (1600 - 400) * 0.7853981625},
      {9, 10, 50, 20, 40, (40.0 - 20.0) / 20.0},
      // the lumen's right edge not right of its left (no lumen found): only
      // the outer diameter; the rest is a gap, not a number
      {1, 10, 50, 40, 40, kGap},
      {2, 10, 50, 40, 40, kGap},
      {3, 10, 50, 40, 40, kGap},
      {4, 10, 50, 40, 40, 40},
      {5, 10, 50, 40, 40, kGap},
      {6, 10, 50, 40, 40, kGap},
      {7, 10, 50, 40, 40, kGap},
      {8, 10, 50, 40, 40, kGap},
      {9, 10, 50, 40, 40, kGap},
      // no outer wall
      {4, 0, 50, 20, 40, kGap},
      {1, 0, 50, 20, 40, kGap},
      // nothing found
      {4, 0, 0, 0, 0, kGap},
      {5, 0, 0, 0, 0, kGap},
  };
  auto view = MakeView();
  for (const WallCase& c : cases) {
    view->ShowTrace(c.code);
    const double value = view->CameraTraceValue(c.ol, c.orr, c.il, c.ir);
    const std::string walls = "code " + std::to_string(c.code) + " walls " + std::to_string(c.ol) + " " +
                              std::to_string(c.orr) + " " + std::to_string(c.il) + " " + std::to_string(c.ir);
    if (std::isnan(c.expected))
      EXPECT_TRUE(std::isnan(value)) << walls << ": " << value;
    else
      EXPECT_NEAR(value, c.expected, 1e-3 * std::max(1.0, c.expected)) << walls;
  }
}

TEST_F(TraceViewTest, AutoRangeOnACameraTraceSeedsAndWidens) {
  auto view = MakeView();
  view->Document().WriteTraceSettings(4, TraceSettings{0, 100, 10, 5, true, true});
  view->ShowTrace(4);
  view->CameraTraceValue(10, 60, 20, 40);  // 50
  EXPECT_DOUBLE_EQ(view->YMin(), 50.0);
  EXPECT_DOUBLE_EQ(view->YMax(), 51.0);
  view->CameraTraceValue(10, 55, 20, 40);  // 45: only widens
  EXPECT_DOUBLE_EQ(view->YMin(), 44.0);
  EXPECT_DOUBLE_EQ(view->YMax(), 51.0);
}

TEST_F(TraceViewTest, InstrumentValues) {
  auto view = MakeView();
  PMK4xData3 s;
  s.time = 100;
  s.p1 = 0.1f;
  s.p2 = 0.2f;
  s.temperature = 36.5f;
  s.force = 2.5f;
  s.pH = 7.4f;
  view->ShowTrace(13);
  view->OnPressureData(s);
  Drain(*view);
  // Summed in single precision.
  EXPECT_EQ(view->CurrentTraceValue(), static_cast<double>((0.1f + 0.2f) * 0.5f));
  view->ShowTrace(17);
  EXPECT_DOUBLE_EQ(view->CurrentTraceValue(), 2.5);
  view->ShowTrace(18);
  EXPECT_FLOAT_EQ(static_cast<float>(view->CurrentTraceValue()), 7.4f);
  view->ShowTrace(16);
  EXPECT_FLOAT_EQ(static_cast<float>(view->CurrentTraceValue()), 36.5f);

  // Vascular resistance: with no flow a gap, else (P1 - P2) in dyn/cm² over the flow.
  view->ShowTrace(15);
  EXPECT_TRUE(std::isnan(view->CurrentTraceValue()));
  FMASL1600Data f;
  f.time = 100;
  f.flow = 4;
  view->OnFlowData(f);
  Drain(*view);
  EXPECT_NEAR(view->CurrentTraceValue(), (0.1 - 0.2) * 1333.2239 / 4, 1e-4);
}

TEST_F(TraceViewTest, TemperatureComesFromTheMicroscopeOnTheIncubationChamber) {
  devices_.productType = 2;
  devices_.pressureInterface = false;
  auto view = MakeView();
  view->ShowTrace(16);
  graph_.calls.clear();
  view->OnMicroscopeData(MicroscopeSample{500, 37.0f, 3, 0});
  view->OnMicroscopeData(MicroscopeSample{600, 99.0f, 3, 1});  // another camera's microscope
  Drain(*view);
  EXPECT_EQ(PlotCalls(graph_), (std::vector<std::string>{"51 R8 0.5 R8 37 I2 0"}));
}

TEST_F(TraceViewTest, ResistanceWithoutFlowIsAGap) {
  auto view = MakeView();
  view->ShowTrace(15);
  graph_.calls.clear();
  PMK4xData3 s;
  s.time = 1000;
  s.p1 = 60.0f;
  s.p2 = 40.0f;
  view->OnPressureData(s);
  Drain(*view);
  ASSERT_EQ(graph_.points.size(), 1u);
  EXPECT_TRUE(std::isnan(graph_.points[0].y));
  EXPECT_DOUBLE_EQ(view->LastPlottedValue(), 0.0);
}

TEST_F(TraceViewTest, ShearStressWithoutLumenIsAGap) {
  auto view = MakeView();
  view->OnZoneCreated(1, 0);
  view->ShowTrace(10);
  FMASL1600Data f;
  f.time = 50;
  f.flow = 20;
  view->OnFlowData(f);
  view->OnZoneValue(100, 0, 10, 50, 30, 30, 0);
  view->OnZoneValue(200, 0, 10, 50, 20, 40, 0);
  graph_.points.clear();
  Drain(*view);
  ASSERT_EQ(graph_.points.size(), 2u);
  EXPECT_TRUE(std::isnan(graph_.points[0].y)) << graph_.points[0].y;
  const double r = 10.0, d = r * r * r * 3.14159265;
  EXPECT_NEAR(graph_.points[1].y, 20 / 60.0 * 0.028 * 1e9 / d, 1e-6);
}

// ---- pulse ----

PMK4xData3 PulseSample(std::uint32_t time, float base) {
  PMK4xData3 s;
  s.time = time;
  for (std::size_t k = 0; k < 10; ++k) s.extended[k] = std::bit_cast<std::uint32_t>(base + static_cast<float>(k));
  return s;
}

TEST_F(TraceViewTest, PulseSpreadsTenSubSamplesOverTheIntervalLiveAndInTheReplot) {
  auto view = MakeView();
  view->ShowTrace(19);
  graph_.points.clear();
  view->OnPressureData(PulseSample(1000, 0.0f));
  Drain(*view);
  EXPECT_TRUE(graph_.points.empty());  // no previous sample yet
  view->OnPressureData(PulseSample(2000, 100.0f));
  Drain(*view);
  ASSERT_EQ(graph_.points.size(), 10u);
  for (std::size_t k = 0; k < 10; ++k) {
    EXPECT_DOUBLE_EQ(graph_.points[k].x, 1.0 + 0.1 * static_cast<double>(k));
    EXPECT_EQ(graph_.points[k].y, 100.0 + static_cast<double>(k));
  }
  const std::vector<Point> live = graph_.points;

  // The replot of the same samples draws the same points.
  Record();
  for (PMK4xData3 s : {PulseSample(1000, 0.0f), PulseSample(2000, 100.0f)}) data().AddPressureSample(s);
  Drain(*view);
  view->ShowTrace(19);
  ASSERT_EQ(graph_.points.size(), live.size());
  for (std::size_t k = 0; k < live.size(); ++k) {
    EXPECT_DOUBLE_EQ(graph_.points[k].x, live[k].x);
    EXPECT_EQ(graph_.points[k].y, live[k].y);
  }
}

// ---- replot ----

TEST_F(TraceViewTest, ReplotPlotsEveryStoredSampleOnceEvenWhenItIsAlsoQueued) {
  data().startTick = 1000;
  Record();
  auto view = MakeView();
  view->ShowTrace(11);
  graph_.points.clear();
  // Stored and queued alike; the first drained sample replots (a set-up is
  // pending after the construction only, so force one).
  for (std::uint32_t t = 1000; t <= 5000; t += 1000) AddPressure(t, static_cast<float>(t) / 1000.0f);
  view->ShowTrace(11);
  ASSERT_EQ(graph_.points.size(), 4u);  // the sample at the start is not plotted
  Drain(*view);
  EXPECT_EQ(graph_.points.size(), 4u);
  AddPressure(6000, 6.0f);
  Drain(*view);
  ASSERT_EQ(graph_.points.size(), 5u);
  EXPECT_DOUBLE_EQ(graph_.points.back().x, 5.0);
}

TEST_F(TraceViewTest, TheFirstDrainedSampleAfterConstructionReplots) {
  Record();
  for (std::uint32_t t = 100; t <= 300; t += 100) AddZones(t, 1);
  auto view = std::make_unique<CPelmoraView>(ViewParams());
  view->AttachGraph(&graph_, 0, false);
  EXPECT_TRUE(view->RebuildPending());
  view->SetSelectedZone(0, 1);
  // The trace code is set without a set-up (as a restored window does).
  view->Document().SetTraceKind(4);
  view->ShowTrace(4);
  EXPECT_FALSE(view->RebuildPending());
  EXPECT_EQ(graph_.points.size(), 3u);
}

TEST_F(TraceViewTest, ACustomTraceReplotBringsTheOtherStreamsForward) {
  Record();
  AddFlow(50, 7);
  AddZones(150, 1, 100.0f);
  AddFlow(250, 9);
  AddZones(350, 1, 200.0f);
  AddPressure(100, 1.0f);
  AddPressure(200, 2.0f);
  AddPressure(300, 3.0f);
  AddPressure(400, 4.0f);
  auto definition = std::make_shared<Traces::CustomTraces>();
  definition->Name = "Mix";
  definition->ScriptType = 0;
  definition->Code = "return P1 * 1000 + Flow * 10 + OuterLeft";
  const std::int32_t code = data().AddCustomTrace(definition);
  ASSERT_GE(code, 220);
  auto view = MakeView();
  view->OnZoneCreated(1, 0);
  view->ShowTrace(code);
  ASSERT_NE(view->CustomTrace(), nullptr);
  ASSERT_EQ(graph_.points.size(), 4u);
  // Each pressure sample sees the flow and the walls last recorded before it
  // (the first ones before the streams' first records).
  EXPECT_DOUBLE_EQ(graph_.points[0].y, 1000 + 70 + 100);
  EXPECT_DOUBLE_EQ(graph_.points[1].y, 2000 + 70 + 100);
  EXPECT_DOUBLE_EQ(graph_.points[2].y, 3000 + 90 + 100);
  EXPECT_DOUBLE_EQ(graph_.points[3].y, 4000 + 90 + 200);
}

// ---- markers ----

TEST_F(TraceViewTest, MarkersOfOtherCamerasGetNoAnnotationAndDeletionRenumbers) {
  data().AddCamera("cam1");
  auto view = MakeView();
  view->ShowTrace(11);
  view->OnMarkerAdded(MarkerData2{"a", 1000, 0, 1000});
  view->OnMarkerAdded(MarkerData2{"other", 1500, 1, 1500});
  view->OnMarkerAdded(MarkerData2{"b", 2000, 0, 2000});
  view->OnMarkerAdded(MarkerData2{"c", 3000, 0, 3000});
  EXPECT_EQ(view->Annotations(), (std::map<std::uint32_t, std::int16_t>{{1000, 0}, {2000, 1}, {3000, 2}}));
  EXPECT_FALSE(view->OnMarkerRemoved(1500));
  EXPECT_TRUE(view->OnMarkerRemoved(2000));
  EXPECT_EQ(view->Annotations(), (std::map<std::uint32_t, std::int16_t>{{1000, 0}, {3000, 1}}));
  EXPECT_EQ(graph_.calls.back(), "54 I2 1");
  // With no point to stand on, a marker stands at the last plotted value.
}

TEST_F(TraceViewTest, ANewExperimentClearsTheGraphAndTakesItsStart) {
  auto view = MakeView();
  view->ShowTrace(11);
  view->OnMarkerAdded(MarkerData2{"a", 1000, 0, 1000});
  graph_.calls.clear();
  view->OnExperimentStarted(5000);
  EXPECT_EQ(graph_.calls, (std::vector<std::string>{"50"}));
  EXPECT_TRUE(view->Annotations().empty());
  EXPECT_EQ(view->StartTime(), 5000u);
}

}  // namespace
}  // namespace ORV::Views::Test

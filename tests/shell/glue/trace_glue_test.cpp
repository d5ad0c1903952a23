// The trace glue against fake views whose graphs record the dispatch calls:
// the fan-out of selections, time ranges, spans and the live flag, and the
// export of range statistics and video measurements into the data sheet.
#include "shell/glue/trace_glue.h"

#include <gtest/gtest.h>

#include "core/experiment/experiment_data.h"
#include "platform/com/hresult.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/shell/glue/glue_fakes.h"

namespace ORV::Shell::Test {
namespace {

namespace Dispid = Graph::Dispid;

class TraceGlueTest : public ORV::Test::ExperimentFixture {
 protected:
  void SetUp() override {
    data().mode = kModeLive;
    data().startTick = 100000;
    ASSERT_TRUE(data().AddCamera("cam-A"));
  }
  FakeGlueHost host_;
  TraceGlue glue_{data(), host_, Text};
};

TEST_F(TraceGlueTest, SelectionGoesToEveryOtherViewAsItsSelectAllFlagSays) {
  FakeView source, plain, all;
  all.selectAll = true;
  for (FakeView* v : {&source, &plain, &all}) glue_.RegisterView(*v);
  glue_.RegisterView(plain);  // twice: still one entry
  ASSERT_EQ(glue_.Views().size(), 3u);
  EXPECT_EQ(glue_.MainView(), &source);

  glue_.SelectTraceRange(&source, 2.0, 5.0);
  EXPECT_TRUE(source.graph.calls.empty());
  EXPECT_EQ(plain.graph.calls, (std::vector<Call>{{Dispid::SelectTrace, {0.0, 0.0}}}));
  EXPECT_EQ(all.graph.calls, (std::vector<Call>{{Dispid::SelectTrace, {2.0, 5.0}}}));
  EXPECT_EQ(glue_.Selection().start, 2.0);
  EXPECT_EQ(glue_.Selection().stop, 5.0);

  // The range is forgotten only when the last view goes.
  glue_.UnregisterView(source);
  glue_.UnregisterView(plain);
  EXPECT_TRUE(glue_.Selection().Exists());
  EXPECT_EQ(glue_.MainView(), &all);
  glue_.UnregisterView(all);
  EXPECT_EQ(glue_.Selection().start, 0.0);
  EXPECT_FALSE(glue_.Selection().Exists());
}

TEST_F(TraceGlueTest, TimeRangeFitsAutoRangedViewsFirstAndFlatDataGetsHalfAUnit) {
  FakeView fixed, fitted, flat;
  fitted.autoRange = flat.autoRange = true;
  flat.graph.dataMin = flat.graph.dataMax = 3.0;
  for (FakeView* v : {&fixed, &fitted, &flat}) glue_.RegisterView(*v);

  glue_.SetTimeRange(10.0, 30.0);
  EXPECT_EQ(fixed.graph.calls, (std::vector<Call>{{Dispid::SetRange, {10, 30, -1, 1, 0}}}));
  EXPECT_EQ(fitted.graph.calls, (std::vector<Call>{{Dispid::SetRange, {10, 30, -2, -2, 1}},
                                                   {Dispid::GetRangesMinAndMax, {}},
                                                   {Dispid::SetRange, {10, 30, 2, 8, 0}}}));
  EXPECT_EQ(flat.graph.calls.back(), (Call{Dispid::SetRange, {10, 30, 3.0, 3.5, 0}}));
  for (FakeView* v : {&fixed, &fitted, &flat}) {
    EXPECT_EQ(v->reference, 10.0);
    EXPECT_EQ(v->xStart, 10.0);
    EXPECT_EQ(v->xEnd, 30.0);
  }
}

TEST_F(TraceGlueTest, TimeSpanKeepsTheStartUnlessTheReferenceTimeLiesBeyondTheSpan) {
  struct Case {
    double reference;
    bool autoRange;
    double start, end;
  } cases[] = {{30.0, false, 5.0, 65.0}, {90.0, true, 30.0, 90.0}, {60.0, false, 5.0, 65.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reference);
    FakeView view;
    view.reference = c.reference;
    view.autoRange = c.autoRange;
    view.xStart = 5.0;
    glue_.RegisterView(view);
    glue_.SetTimeSpan(60);
    EXPECT_EQ(view.span, 60);
    EXPECT_EQ(view.xStart, c.start);
    EXPECT_EQ(view.xEnd, c.end);
    EXPECT_EQ(view.graph.calls,
              (std::vector<Call>{{Dispid::SetRange, {c.start, c.end, -1, 1, c.autoRange ? 1.0 : 0.0}}}));
    glue_.UnregisterView(view);
  }
}

TEST_F(TraceGlueTest, LiveTraceSetsEveryViewAndTheButtonText) {
  FakeView a, b;
  glue_.RegisterView(a);
  glue_.RegisterView(b);
  glue_.SetLiveTrace(true);
  EXPECT_TRUE(a.followLive && b.followLive);
  EXPECT_EQ(host_.texts[ID_TRACE_START_STOP_BUTTON], "Stop Live Trace");
  glue_.SetLiveTrace(false);
  EXPECT_FALSE(a.followLive || b.followLive || glue_.LiveTrace());
  EXPECT_EQ(host_.texts[ID_TRACE_START_STOP_BUTTON], "Start Live Trace");
}

TEST_F(TraceGlueTest, AViewWithoutAGraphIsAPointerError) {
  Com::SetDispatchStrict(true);
  FakeView missing(false);
  glue_.RegisterView(missing);
  try {
    glue_.SetTimeRange(0.0, 10.0);
    FAIL() << "no error";
  } catch (const Com::DispatchError& e) {
    EXPECT_EQ(e.hr(), Com::E_POINTER);
  }
}

// ---- the export ----

CalculationData Row(std::int32_t method, std::int32_t kind, std::int32_t zone, double value, double stop, double start,
                    std::string comment, std::int32_t points, double sd, double se) {
  CalculationData r;
  r.kind = method, r.traceKind = kind, r.zone = zone, r.value = value, r.selectionEnd = stop;
  r.selectionStart = start, r.group = CalculationData::kGroupHead, r.comment = std::move(comment);
  r.count = points, r.sd = sd, r.standardError = se;
  return r;
}

TEST_F(TraceGlueTest, ExportAddsOneRowPerViewWithASelectionAndAStatistic) {
  data().AddMarker("Drug", 101000, 0);
  // The zone stored is the view's zone for traces that follow one, -1
  // ("none") for every other trace, whatever zone the view has selected.
  struct Case {
    const char* what;
    std::int32_t kind;
    int zone;
    double selStart;
    std::int32_t points;
    bool exported;
    int storedZone;
    bool cameraDriven = false;
  } cases[] = {
      {"camera trace with a zone", 5, 2, 2.0, 10, true, 2},
      {"instrument trace without a zone", 12, 0, 2.0, 4, true, -1},
      {"mean pressure while the view has a zone selected", 13, 3, 2.0, 4, true, -1},
      {"custom trace of the instruments", 220, 1, 2.0, 4, true, -1},
      {"custom trace of a camera zone", 221, 2, 2.0, 4, true, 2, true},
      {"camera trace without a zone", 5, 0, 2.0, 10, false, 0},
      {"no selection", 5, 2, 0.0, 10, false, 2},
      {"no trace", 0, 2, 2.0, 10, false, 2},
      {"the statistic failed", 5, 2, 2.0, 0, false, 2},
  };
  std::vector<std::unique_ptr<FakeView>> views;
  std::vector<CalculationData> expected;
  for (const Case& c : cases) {
    auto& v = *views.emplace_back(std::make_unique<FakeView>());
    v.kind = c.kind, v.zone = c.zone, v.cameraDriven = c.cameraDriven;
    v.graph.selStart = c.selStart, v.graph.selStop = 4.0;
    v.graph.value = 7.5, v.graph.points = c.points, v.graph.sd = 0.5, v.graph.se = 0.25;
    glue_.RegisterView(v);
    if (c.exported) expected.push_back(Row(0, c.kind, c.storedZone, 7.5, 4.0, 2.0, "Drug", c.points, 0.5, 0.25));
  }
  host_.open = true;
  glue_.ExportToDataSheet(CalculationData::kMean);

  EXPECT_EQ(host_.sheet.rows, expected);
  EXPECT_EQ(host_.opens, 0);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.calculations; }), expected);
  // The statistic is asked of the views that qualify, with the method as I2.
  const std::vector<Call> statistic = {{Dispid::GetActiveSelection, {}},
                                       {Dispid::CalculateAnalysisValue, {0}},
                                       {Dispid::GetNumberOfCalculatedAnalysisPoints, {}},
                                       {Dispid::GetStandardDeviationOfCalculatedAnalysisPoints, {}},
                                       {Dispid::GetStandardErrorOfCalculatedAnalysisPoints, {}}};
  EXPECT_EQ(views[0]->graph.calls, statistic);
  EXPECT_EQ(views[6]->graph.calls, (std::vector<Call>{{Dispid::GetActiveSelection, {}}}));
}

TEST_F(TraceGlueTest, ExportCommentsAreCutAndNamedByCameraWhenThereAreSeveral) {
  const std::string longText(300, 'x');
  data().AddMarker(longText, 101000, 0);
  data().AddMarker("Wash", 101000, 1);
  FakeView view;
  view.graph.selStart = 2.0, view.graph.selStop = 4.0, view.graph.points = 3;
  glue_.RegisterView(view);
  host_.open = true;

  glue_.ExportToDataSheet(CalculationData::kMaximum);
  ASSERT_EQ(host_.sheet.rows.size(), 1u);
  EXPECT_EQ(host_.sheet.rows[0].comment, std::string(252, 'x') + "...");

  ASSERT_TRUE(data().AddCamera("cam-B"));
  view.camera = 1;
  glue_.ExportToDataSheet(CalculationData::kMaximum);
  view.camera = 3;  // beyond the experiment's cameras: no name
  glue_.ExportToDataSheet(CalculationData::kMaximum);
  ASSERT_EQ(host_.sheet.rows.size(), 3u);
  EXPECT_EQ(host_.sheet.rows[1].comment, "cam-B: Wash");
  EXPECT_EQ(host_.sheet.rows[2].comment, ": ");
  EXPECT_EQ(host_.sheet.rows[1].kind, CalculationData::kMaximum);
}

TEST_F(TraceGlueTest, ExportOpensTheSheetFirstAndStopsWhenItCannot) {
  FakeView view;
  view.graph.selStart = 2.0, view.graph.selStop = 4.0, view.graph.points = 3;
  glue_.RegisterView(view);

  host_.canOpen = false;
  glue_.ExportToDataSheet(CalculationData::kMean);
  EXPECT_EQ(host_.opens, 1);
  EXPECT_TRUE(view.graph.calls.empty());
  EXPECT_TRUE(data().Read([](const ExperimentContents& c) { return c.calculations.empty(); }));

  host_.canOpen = true;
  glue_.ExportToDataSheet(CalculationData::kMean);
  EXPECT_EQ(host_.opens, 2);
  EXPECT_EQ(host_.sheet.refreshes, 1) << "a new sheet shows the stored calculations first";
  EXPECT_EQ(host_.sheet.rows.size(), 1u);
  glue_.ExportToDataSheet(CalculationData::kMean);
  EXPECT_EQ(host_.opens, 2);
  EXPECT_EQ(host_.sheet.refreshes, 1);

  glue_.RefreshDataView();
  EXPECT_EQ(host_.sheet.refreshes, 2);
}

TEST_F(TraceGlueTest, VideoMeasurementsMoveFromThePadWithoutStatistics) {
  FakeView view;
  view.graph.selStart = 2.0, view.graph.selStop = 4.0, view.graph.points = 3;
  glue_.RegisterView(view);
  data().DataPad().Add(1.5, 40, 2, 33.0, "Diameter");
  data().DataPad().Add(2.5, 60, 2, 35.0, "Diameter 2");
  host_.open = true;

  glue_.ExportToDataSheet(CalculationData::kVideoMeasurement);
  ASSERT_EQ(host_.sheet.rows.size(), 2u);
  const CalculationData& r = host_.sheet.rows[0];
  EXPECT_EQ(r.kind, CalculationData::kVideoMeasurement);
  EXPECT_EQ(r.traceKind, 0);
  EXPECT_EQ(r.zone, 0);
  EXPECT_EQ(r.value, 33.0);
  EXPECT_EQ(r.selectionStart, 1.5);
  EXPECT_EQ(r.selectionEnd, 1.5);
  EXPECT_EQ(r.comment, "Diameter");
  EXPECT_EQ(r.count, -1);
  EXPECT_EQ(r.sd, -1.0);
  EXPECT_EQ(r.standardError, -1.0);
  EXPECT_TRUE(data().DataPad().Samples().empty());
  EXPECT_TRUE(view.graph.calls.empty()) << "the views are not asked";
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.calculations.size(); }), 2u);
}

}  // namespace
}  // namespace ORV::Shell::Test

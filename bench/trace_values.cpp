// Every point of one built-in trace (vascular resistance, which looks up the
// flow in force per point) and of one custom trace over an 8-hour experiment
// sampled at 15 Hz (432,000 zone records, pressure samples and microscope
// readings, and a flow sample every 300 ms), the way a replot or an export
// walks a series.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bare_lua_loop.h"
#include "bench/eight_hour_record.h"
#include "core/base/configuration.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "custom_traces/custom_trace_definition.h"
#include "wall_clock_counters.h"

namespace {

constexpr int kPoints = ORV::Bench::kEightHourPoints;

ORV::ExperimentData& Experiment() {
  static ORV::ExperimentData* data = [] {
    // The experiment lives as long as the process, and with it its configuration and clock.
    static ORV::Configuration configuration;
    static ORV::RelativeTime::RelativeTime clock;
    auto* d = new ORV::ExperimentData(configuration, clock);
    d->Update([](ORV::ExperimentContents& c) {
      ORV::Bench::FillEightHours(c);
      for (std::uint32_t t = 0; t < 8u * 3600u * 1000u; t += 300) {
        ORV::FMASL1600Data s;
        s.time = t;
        s.flow = static_cast<std::int16_t>(10 + t % 50);
        c.flowSamples.push_back(s);
      }
      return 0;
    });
    return d;
  }();
  return *data;
}

void RunSeries(benchmark::State& state, int kind) {
  ORV::ExperimentData& data = Experiment();
  int count = 0;
  if (!data.GetSampleCount(kind, 0, 0, count) || count != kPoints) {
    state.SkipWithError("unexpected point count");
    return;
  }
  double sum = 0.0;
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      ORV::TracePoint p;
      data.GetTraceValue(i, kind, 0, 0, p);
      sum += p.value;
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["points"] = count;
  run.CountWallNanosecondsPer(state, "point", static_cast<double>(count) * static_cast<double>(state.iterations()));
  run.CountCpuShare(state);
}

void BM_VascularResistanceSeries(benchmark::State& state) { RunSeries(state, ORV::kTraceVascularResistance); }
BENCHMARK(BM_VascularResistanceSeries)->Unit(benchmark::kMillisecond)->Iterations(5);

// The anchor of the built-in trace: the same resistance values computed
// straight from the record's lists in one pass, under one lock, with a
// cursor on the flow samples; what a series costs above it is the cost of
// reading it point by point.
void BM_ResistanceFromTheListsAnchor(benchmark::State& state) {
  ORV::ExperimentData& data = Experiment();
  double sum = 0.0;
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    sum += data.Read([](const ORV::ExperimentContents& c) {
      double s = 0.0;
      std::size_t flow = 0;
      for (const ORV::PMK4xData3& p : c.pressureSamples) {
        while (flow + 1 < c.flowSamples.size() && c.flowSamples[flow + 1].time <= p.time) ++flow;
        const double dp = (static_cast<double>(p.p1) - static_cast<double>(p.p2)) * 1333.2239;
        s += static_cast<float>(dp / static_cast<double>(c.flowSamples[flow].flow));
      }
      return s;
    });
  }
  benchmark::DoNotOptimize(sum);
  state.counters["points"] = kPoints;
  run.CountWallNanosecondsPer(state, "point", static_cast<double>(kPoints) * static_cast<double>(state.iterations()));
  run.CountCpuShare(state);
}
BENCHMARK(BM_ResistanceFromTheListsAnchor)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CustomTraceSeries(benchmark::State& state) {
  auto definition = std::make_shared<ORV::Traces::CustomTraces>();
  definition->Name = "bench";
  definition->Code = "return (OuterDiameter - InnerDiameter) * 0.5 + (P1 + P2) / 2";
  const std::int32_t id = Experiment().AddCustomTrace(definition);
  if (id < ORV::kFirstCustomTraceId) {
    state.SkipWithError("custom trace not added");
    return;
  }
  RunSeries(state, id);
}
BENCHMARK(BM_CustomTraceSeries)->Unit(benchmark::kMillisecond)->Iterations(3);

// The anchor: the same script in a bare Lua loop setting 26 globals per point.
void BM_BareLuaLoop(benchmark::State& state) {
  double sum = 0.0;
  const ORV::Bench::RunClock run;
  for (auto _ : state)
    sum += ORV::Bench::BareLuaLoop("return (OuterDiameter - InnerDiameter) * 0.5 + (P1 + P2) / 2", kPoints);
  benchmark::DoNotOptimize(sum);
  state.counters["points"] = kPoints;
  run.CountWallNanosecondsPer(state, "point", static_cast<double>(kPoints) * static_cast<double>(state.iterations()));
  run.CountCpuShare(state);
}
BENCHMARK(BM_BareLuaLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

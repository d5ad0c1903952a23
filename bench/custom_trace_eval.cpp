// One simple custom trace evaluated over 8 hours of samples at 15 Hz
// (432,000 points), the way a replot or an export computes a custom series:
// per point the instrument globals, the zone's wall positions, then Run.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bare_lua_loop.h"
#include "custom_traces/custom_trace_context.h"
#include "wall_clock_counters.h"

namespace {

constexpr int kPoints = 8 * 3600 * 15;

void BM_CustomTraceSeries(benchmark::State& state) {
  auto trace = std::make_shared<ORV::Traces::CustomTraces>();
  trace->Code = "return (OuterDiameter - InnerDiameter) * 0.5 + (P1 + P2) / 2";
  ORV::Traces::CustomTracesWithLuaContext context;
  if (!context.SetTrace(trace)) {
    state.SkipWithError(context.LastError().c_str());
    return;
  }
  ORV::PMK4xData3 sample;
  double sum = 0.0;
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    for (int i = 0; i < kPoints; ++i) {
      const float f = static_cast<float>(i % 1000);
      sample.p1 = 60.0f + f * 0.01f;
      sample.p2 = 40.0f + f * 0.01f;
      sample.time = static_cast<std::uint32_t>(i) * 66u;
      auto lock = context.Lock();
      context.SetInstrumentGlobals(sample);
      context.walls[1][1] = ORV::Traces::WallPositions{100.0f + f, 300.0f + f, 150.0f + f, 250.0f + f};
      sum += context.Run(1, 1, sample.time);
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["points"] = kPoints;
  run.CountWallNanosecondsPer(state, "point", static_cast<double>(kPoints) * static_cast<double>(state.iterations()));
  run.CountCpuShare(state);
}
BENCHMARK(BM_CustomTraceSeries)->Unit(benchmark::kMillisecond)->Iterations(5);

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
BENCHMARK(BM_BareLuaLoop)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

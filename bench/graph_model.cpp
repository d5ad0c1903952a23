// The graph model on an 8-hour trace at 200 Hz: appending the points one by
// one as the live views do, and the range work of one live update (a 60 s
// window at the live end: the Y fit and the window's extent) and of one
// marker replot (the nearest point of a time).
#include "graph_control/graph_model.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <limits>
#include <vector>

#include "wall_clock_counters.h"

namespace {

constexpr double kRate = 200.0;
constexpr std::int64_t kEightHours = 8 * 3600 * 200;

double Signal(std::int64_t i) { return 80.0 + 20.0 * std::sin(static_cast<double>(i) * 0.001); }

void BM_PlotXY(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  std::vector<double> y(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) y[static_cast<std::size_t>(i)] = Signal(i);
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    ORV::Graph::GraphModel g;
    for (std::int64_t i = 0; i < n; ++i) g.PlotXY(static_cast<double>(i) / kRate, y[static_cast<std::size_t>(i)], 0);
    benchmark::DoNotOptimize(g.Elements()[0]->Count());
  }
  run.CountPerWallSecond(state, "points", static_cast<double>(state.iterations()) * static_cast<double>(n));
  run.CountCpuShare(state);
}
BENCHMARK(BM_PlotXY)->Arg(5'000'000)->Unit(benchmark::kMillisecond);

// The same with the allocator keeping freed memory, so that the figure shows
// the model's own cost and not the kernel's first touch of fresh pages (which
// on a virtual machine can cost more than the appends themselves).
void BM_PlotXY_ReusedMemory(benchmark::State& state) {
  static const bool once = [] {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    // Touch more than the vector's growth will ask for, once.
    std::vector<char> warm(256u << 20, 1);
    benchmark::DoNotOptimize(warm.data());
    return true;
  }();
  (void)once;
  BM_PlotXY(state);
}
BENCHMARK(BM_PlotXY_ReusedMemory)->Arg(5'000'000)->Unit(benchmark::kMillisecond);

ORV::Graph::GraphModel& EightHourGraph() {
  static ORV::Graph::GraphModel* g = [] {
    auto* m = new ORV::Graph::GraphModel;
    for (std::int64_t i = 0; i < kEightHours; ++i) m->PlotXY(static_cast<double>(i) / kRate, Signal(i), 0);
    return m;
  }();
  return *g;
}

// One live update: the window moves by one sample and the Y range is fitted.
void BM_SetRangeFit60s(benchmark::State& state) {
  auto& g = EightHourGraph();
  const double end = static_cast<double>(kEightHours) / kRate;
  double t = end - 600;
  for (auto _ : state) {
    t += 1.0 / kRate;
    if (t > end) t = end - 600;
    benchmark::DoNotOptimize(g.SetRange(t - 60, t, 0, 1, true));
  }
}
BENCHMARK(BM_SetRangeFit60s)->Unit(benchmark::kMicrosecond);

// The Y extent of a 60 s window at the live end.
void BM_GetRangesMinAndMax60s(benchmark::State& state) {
  auto& g = EightHourGraph();
  const double end = static_cast<double>(kEightHours) / kRate;
  g.SetRange(end - 60, end, -2, -2, false);
  for (auto _ : state) {
    double lo = 0, hi = 0;
    g.GetRangesMinAndMax(&lo, &hi);
    benchmark::DoNotOptimize(lo + hi);
  }
}
BENCHMARK(BM_GetRangesMinAndMax60s)->Unit(benchmark::kMicrosecond);

void BM_NearestIndexFromValue(benchmark::State& state) {
  auto& g = EightHourGraph();
  double t = 0;
  for (auto _ : state) {
    t = std::fmod(t + 1234.567, 28800.0);
    benchmark::DoNotOptimize(g.NearestIndexFromValue(t));
  }
}
BENCHMARK(BM_NearestIndexFromValue);

}  // namespace

BENCHMARK_MAIN();

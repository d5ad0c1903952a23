// Cost of one call through the dispatch layer, as the trace views make them
// for every plotted point: PlotXY(R8, R8, I2) with an int element index
// converted to I2, and a property get with two index arguments.
#include <benchmark/benchmark.h>

#include "platform/com/caller.h"

namespace {

using namespace ORV::Com;

struct Plot {
  double sumX = 0, sumY = 0;
  void PlotXY(double x, double y, std::int16_t) {
    sumX += x;
    sumY += y;
  }
  double GetY(std::int32_t index, std::int16_t) const { return index * 0.5; }
  static const DispatchTable<Plot>& Table() {
    static const DispatchTable<Plot> table = [] {
      DispatchTable<Plot> t;
      t.Method(51, "PlotXY", &Plot::PlotXY);
      t.IndexedProperty(58, "ElementYValue", &Plot::GetY, nullptr);
      return t;
    }();
    return table;
  }
};

void BM_PlotXY(benchmark::State& state) {
  Plot plot;
  DispatchObject<Plot> target(plot, Plot::Table());
  Dispatcher d(&target);
  double x = 0;
  for (auto _ : state) {
    d.Invoke(51, x, 2.0 * x, 0);
    x += 1;
  }
  benchmark::DoNotOptimize(plot.sumY);
}
BENCHMARK(BM_PlotXY);

void BM_IndexedGet(benchmark::State& state) {
  Plot plot;
  DispatchObject<Plot> target(plot, Plot::Table());
  Dispatcher d(&target);
  std::int32_t i = 0;
  double sum = 0;
  for (auto _ : state) sum += d.Get<double>(58, i++, std::int16_t{0});
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_IndexedGet);

}  // namespace

BENCHMARK_MAIN();

// The synchronised sampler's appends to the experiment record: per tick four
// cameras with 15 zone records of 4 zones each and one pressure sample, two
// receivers, the zone and pressure backup streams open; optionally while
// another thread keeps reading the lists.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/live_experiment.h"
#include "bench/wall_clock_counters.h"

namespace {

void SamplerTick(benchmark::State& state) {
  {
    ORV::Bench::LiveExperiment live;
    ORV::ExperimentData& data = live.data;

    std::atomic<bool> stop{false};
    std::thread reader;
    if (state.range(0) != 0) {
      reader = std::thread([&] {
        double seen = 0;
        while (!stop.load(std::memory_order_relaxed)) {
          seen += data.Read([](const ORV::ExperimentContents& c) {
            double s = static_cast<double>(c.pressureSamples.size());
            for (const auto& list : c.zoneData) s += list.empty() ? 0.0 : list.back().outerLeft[0];
            return s;
          });
          seen += data.HasData() ? 1 : 0;
        }
        benchmark::DoNotOptimize(seen);
      });
    }

    ORV::ZoneDataBatch batch;
    batch.count = ORV::ZoneDataBatch::kMaxEntries;
    for (auto& z : batch.entries) {
      z.zoneCount = 4;
      z.outerLeft = {1, 2, 3, 4};
    }
    std::uint32_t t = 0;
    const ORV::Bench::RunClock run;
    for (auto _ : state) {
      for (auto& z : batch.entries) z.time = ++t;
      for (int c = 0; c < ORV::kMaxCameras; ++c) data.AddZoneDataBatch(batch, c);
      ORV::PMK4xData3 p;
      p.time = t;
      data.AddPressureSample(p);
    }
    run.CountPerWallSecond(
        state, "zone_records",
        static_cast<double>(state.iterations()) * ORV::kMaxCameras * ORV::ZoneDataBatch::kMaxEntries);
    run.CountCpuShare(state);
    stop = true;
    if (reader.joinable()) reader.join();
  }
}
BENCHMARK(SamplerTick)->Arg(0)->Arg(1)->ArgName("reader")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// The synchronised sampler's appends to the experiment record: per tick four
// cameras with 15 zone records of 4 zones each and one pressure sample, two
// receivers, the zone and pressure backup streams open; optionally while
// another thread keeps reading the lists.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/os/folders.h"

namespace {

class Sink : public ORV::ImageAnalysisConsumer, public ORV::PressureDataConsumer {
 public:
  void OnZoneValue(std::uint32_t, int, float ol, float, float, float, int) override { sum += ol; }
  void OnMarkerAdded(const ORV::MarkerData2&) override {}
  bool OnMarkerRemoved(std::uint32_t) override { return true; }
  void OnPressureData(const ORV::PMK4xData3& s) override { sum += s.p1; }
  double sum = 0;
};

void SamplerTick(benchmark::State& state) {
  const std::string folder = ORV::OS::MakePrivateWorkingDir("orv-bench-");
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  {
    ORV::RelativeTime::RelativeTime clock;
    clock.Start();
    ORV::ExperimentData data;
    data.SetClock(&clock);
    data.mode = ORV::kModeLive;
    Sink a, b;
    for (Sink* s : {&a, &b}) {
      data.AddImageAnalysisConsumer(s);
      data.AddPressureConsumer(s);
    }
    for (int c = 0; c < ORV::kMaxCameras; ++c)
      data.Streams().zone[c].Open(folder + "/ZoneData_" + std::to_string(c) + ".dta");
    data.Streams().pressure.Open(folder + "/Pressure_0.dta");

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
    for (auto _ : state) {
      for (auto& z : batch.entries) z.time = ++t;
      for (int c = 0; c < ORV::kMaxCameras; ++c) data.AddZoneDataBatch(batch, c);
      ORV::PMK4xData3 p;
      p.time = t;
      data.AddPressureSample(p);
    }
    stop = true;
    if (reader.joinable()) reader.join();
    state.SetItemsProcessed(state.iterations() * ORV::kMaxCameras * ORV::ZoneDataBatch::kMaxEntries);
    data.Streams().CloseAll();
  }
  ORV::OS::RemoveTree(folder);
}
BENCHMARK(SamplerTick)->Arg(0)->Arg(1)->ArgName("reader")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// The advanced CSV export of four traces (outer diameter, inlet and outlet
// pressure, temperature) of an 8-hour experiment sampled at 15 Hz (432,000
// points each): the samples collected through the record's accessors, the
// text formatted and the file replaced. The anchor formats the same numbers
// without the record, so what the export costs above it is the collection
// and the file.
#include "views/advanced_export.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "bench/eight_hour_record.h"
#include "core/base/configuration.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"

namespace {

constexpr int kPoints = ORV::Bench::kEightHourPoints;

ORV::ExperimentData& Experiment() {
  static ORV::ExperimentData* data = [] {
    // The experiment lives as long as the process, and with it its configuration and clock.
    static ORV::Configuration configuration;
    static ORV::RelativeTime::RelativeTime clock;
    auto* d = new ORV::ExperimentData(configuration, clock);
    d->AddCamera("Camera 1");
    d->Update([](ORV::ExperimentContents& c) {
      c.zoneCount[0] = 1;
      ORV::Bench::FillEightHours(c);
      return 0;
    });
    return d;
  }();
  return *data;
}

std::vector<ORV::Views::AdvancedExportEntry> Entries() {
  return {{0, 0, ORV::kTraceVesselDiameter, "Camera 1:Zone 1:Outer Diameter", {}},
          {-1, -1, ORV::kTraceInlet, "P1", {}},
          {-1, -1, ORV::kTraceOutlet, "P2", {}},
          {-1, -1, ORV::kTraceTemperature, "Temperature", {}}};
}

std::string OutputPath() {
  return (std::filesystem::temp_directory_path() / ("advanced_export_bench_" + std::to_string(getpid()) + ".csv"))
      .string();
}

void BM_AdvancedExportFourTracesOf8Hours(benchmark::State& state) {
  ORV::ExperimentData& data = Experiment();
  auto entries = Entries();
  const std::string path = OutputPath();
  std::size_t rows = 0;
  for (auto _ : state) {
    std::string error;
    if (!ORV::Views::RunAdvancedExport(data, entries, path, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    for (const auto& e : entries) rows = std::max(rows, e.samples.size());
  }
  std::filesystem::remove(path);
  // Every trace of the record has a sample at each of its points: fewer or
  // more rows mean the export measured something else.
  if (!state.error_occurred() && rows != static_cast<std::size_t>(kPoints)) state.SkipWithError("unexpected row count");
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_AdvancedExportFourTracesOf8Hours)->Unit(benchmark::kMillisecond)->Iterations(3);

// The anchor: the text of the same samples already collected.
void BM_FormatOnlyAnchor(benchmark::State& state) {
  auto entries = Entries();
  ORV::Views::CollectAdvancedExport(Experiment(), entries);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = ORV::Views::FormatAdvancedExport(entries, 0);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_FormatOnlyAnchor)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

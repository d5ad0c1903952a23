// The running backup's disk sync: one second of recorded streams (two
// cameras' zone records at 30 per second, pressure at 25, flow and two
// microscopes at 10) appended, then handed to the system (FlushAll, what
// the flusher does four times a second) or also synced to the disk
// (SyncAll, once a second). The difference is the cost the flusher's thread
// pays per second for keeping the backup through a power cut; the sampling
// thread does not wait for it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/experiment/record_file_stream.h"

namespace {

struct Streams {
  Streams() {
    char pattern[] = "/tmp/orv-bench-XXXXXX";
    folder = ::mkdtemp(pattern) ? pattern : "";
    const std::string f = folder + "/";
    for (int c = 0; c < 2; ++c) {
      s.zone[c].Open(f + "ZoneData_" + std::to_string(c) + ".dta");
      s.microscope[c].Open(f + "Microscope_" + std::to_string(c) + ".dta");
    }
    s.pressure.Open(f + "Pressure_0.dta");
    s.flow.Open(f + "Flow_0.dta");
  }
  ~Streams() {
    s.CloseAll();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  // One second of records.
  void AppendSecond() {
    static const std::vector<std::uint8_t> zone(80, 1), pressure(124, 2), flow(16, 3), microscope(12, 4);
    for (int i = 0; i < 30; ++i)
      for (int c = 0; c < 2; ++c) s.zone[c].Append(zone);
    for (int i = 0; i < 25; ++i) s.pressure.Append(pressure);
    for (int i = 0; i < 10; ++i) {
      s.flow.Append(flow);
      for (int c = 0; c < 2; ++c) s.microscope[c].Append(microscope);
    }
  }

  std::string folder;
  ORV::BackupStreams s;
};

void BackupSecond(benchmark::State& state) {
  Streams streams;
  const bool sync = state.range(0) != 0;
  for (auto _ : state) {
    streams.AppendSecond();
    if (sync)
      streams.s.SyncAll();
    else
      streams.s.FlushAll();
  }
}

}  // namespace

BENCHMARK(BackupSecond)->Arg(0)->Arg(1)->ArgName("sync")->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();

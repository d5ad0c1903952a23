// The synchronised sampler's CPU per second of recording: four cameras with
// four zones each at 200 frames per second (XIMEA: one tick every 75 ms takes
// 15 frames per camera) and the multi interface at 200 readings per second.
// One iteration is one tick with the frames and readings that arrive in its
// 75 ms, pushed by the stand-in camera windows and pressure worker; the
// counter "cpu_percent_of_recorded_s" is the thread's processor time per
// second of recording (ticks of 75 ms), in percent of one core; beside it the
// processor share over the wall clock.
//
// Arg 0: into a sink that only counts; arg 1: into the experiment record
// with its receivers and zone and pressure backup streams open.
#include "shell/sync_sampler.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/live_experiment.h"
#include "bench/wall_clock_counters.h"
#include "instruments/data_holder.h"
#include "shell/sampler_adapters.h"

namespace {

class CountingSink final : public ORV::SamplerSink {
 public:
  std::size_t CameraCount() override { return ORV::kMaxCameras; }
  // The clock moves one tick each time the sampler reads it.
  std::uint32_t Now() override { return now += 75; }
  std::uint32_t now = 0;
  bool ClockRunning() override { return true; }
  void AddZoneDataBatch(ORV::ZoneDataBatch batch, int) override { stored += batch.count; }
  void AddMicroscopeSample(ORV::MicroscopeData2&, int) override { ++stored; }
  void AddPressureSample(ORV::PMK4xData3&) override { ++stored; }
  void AddFlowSample(ORV::FMASL1600Data&) override { ++stored; }
  std::uint64_t stored = 0;
};

constexpr double kTickSeconds = 0.075;

void RunTicks(benchmark::State& state, ORV::SamplerSink& sink) {
  auto holder = std::make_shared<ORV::DataHolder<ORV::PMK4xData3>>();
  ORV::HolderPressureSource<ORV::DataHolder<ORV::PMK4xData3>> pressure(holder);
  auto zones = std::make_shared<ORV::ZoneDataHolderQueue>();
  ORV::SyncSampler sampler(sink, pressure, zones);
  sampler.Configure({.cameraKind = 2, .multiPresent = true, .multiConnected = true});
  ORV::ZoneData frame;
  frame.zoneCount = 4;
  frame.outerLeft = {1, 2, 3, 4};
  frame.valid = 1;
  ORV::PMK4xData3 reading;
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    for (int i = 0; i < ORV::kFramesPerTick; ++i) {
      for (int c = 0; c < ORV::kMaxCameras; ++c) zones->Push(c, frame);
      holder->Put(reading);
    }
    sampler.Tick();
  }
  const double recorded = static_cast<double>(state.iterations()) * kTickSeconds;
  state.counters["cpu_percent_of_recorded_s"] = 100.0 * run.ThreadCpu() / recorded;
  run.CountCpuShare(state);
}

void SamplerCpuPerSecond(benchmark::State& state) {
  if (state.range(0) == 0) {
    CountingSink sink;
    RunTicks(state, sink);
    benchmark::DoNotOptimize(sink.stored);
    return;
  }
  ORV::Bench::LiveExperiment live;
  for (int c = 0; c < ORV::kMaxCameras; ++c) live.data.AddCamera("camera-" + std::to_string(c));
  ORV::ExperimentSamplerSink sink(live.data);
  RunTicks(state, sink);
}
BENCHMARK(SamplerCpuPerSecond)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// The simulated vessel camera: frames per second it draws on one core, for
// the plain look's realistic picture (blur and noise) and its exact one, and
// for the brightfield look, at 1280 x 960 and 640 x 480. The simulated lab
// needs 200 frames per second at 1280 x 960 for one camera.
#include "platform/sim/vessel_camera.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

#include "wall_clock_counters.h"

namespace {

using ORV::Sim::GrabResult;
using ORV::Sim::VesselCamera;
using ORV::Sim::VesselFrame;
using ORV::Sim::VesselGeometry;

VesselGeometry Pulsating(double t) {
  const double outer = 250.0 + 20.0 * std::sin(2.0 * std::numbers::pi * t);
  return {outer, std::sqrt(outer * outer - 14100.0)};
}

void BM_Grab(benchmark::State& state) {
  VesselCamera::Options o;
  o.width = static_cast<int>(state.range(0));
  o.height = static_cast<int>(state.range(1));
  o.frameRate = 200.0;
  // look: 0 plain, 1 plain and exact, 2 brightfield
  o.exact = state.range(2) == 1;
  if (state.range(2) == 2) o.look = VesselCamera::Look::kBrightfield;
  VesselCamera camera(Pulsating, o);
  VesselFrame frame;
  std::uint64_t index = 0;
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    if (camera.Grab(index++, frame) != GrabResult::Frame) state.SkipWithError("no frame");
    benchmark::DoNotOptimize(frame.pixels.data());
  }
  const auto frames = static_cast<double>(state.iterations());
  run.CountPerWallSecond(state, "frames", frames);
  run.CountPerWallSecond(state, "bytes", frames * o.width * o.height);
  run.CountCpuShare(state);
}
BENCHMARK(BM_Grab)
    ->ArgNames({"width", "height", "look"})
    ->Args({1280, 960, 0})
    ->Args({1280, 960, 1})
    ->Args({1280, 960, 2})
    ->Args({640, 480, 0})
    ->Args({640, 480, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

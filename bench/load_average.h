#pragma once
// The machine's load average, given beside every figure of the benchmarks:
// the machine is shared, and a figure means little without the load it was
// taken under.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

namespace ORV::Bench {

// The 1, 5 and 15 minute load averages as "load 1.23 0.98 0.75"; "load ?"
// when the system does not say.
inline std::string LoadAverageText() {
  double load[3] = {};
  if (getloadavg(load, 3) != 3) return "load ?";
  char text[64];
  std::snprintf(text, sizeof text, "load %.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

// The 1-minute load average as the counter "load_1min" of the run.
inline void CountLoadAverage(benchmark::State& state) {
  double load = 0.0;
  if (getloadavg(&load, 1) == 1) state.counters["load_1min"] = load;
}

}  // namespace ORV::Bench

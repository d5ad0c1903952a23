#pragma once
// Rates over the wall clock, and the processor share as a counter of its own.
//
// Google Benchmark's rate counters (kIsRate, SetItemsProcessed,
// SetBytesProcessed) divide by the processor time of the benchmark's own
// thread unless the benchmark runs on real or manual time: work done on other
// threads is left out, and on a loaded machine a rate shows that the thread
// never ran at. The counters here divide by the wall time of the run and say
// so in their names; how much of a processor the run took is counted apart.
//
// A RunClock is made right before a benchmark's timed loop and read right
// after it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <string>

#include "load_average.h"

namespace ORV::Bench {

// Processor time (user and system) of the calling thread, seconds.
inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor time (user and system) of every thread of the process, seconds.
inline double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class RunClock {
 public:
  RunClock() : wall_(WallSeconds()), thread_(ThreadCpuSeconds()), process_(ProcessCpuSeconds()) {}

  double Wall() const { return WallSeconds() - wall_; }
  double ThreadCpu() const { return ThreadCpuSeconds() - thread_; }
  double ProcessCpu() const { return ProcessCpuSeconds() - process_; }

  // "<what>_per_wall_s": `count` events over the wall time so far.
  void CountPerWallSecond(benchmark::State& state, const std::string& what, double count) const {
    const double wall = Wall();
    state.counters[what + "_per_wall_s"] = wall > 0.0 ? count / wall : 0.0;
  }
  // "wall_ns_per_<what>": the wall time so far per event, in nanoseconds.
  void CountWallNanosecondsPer(benchmark::State& state, const std::string& what, double count) const {
    state.counters["wall_ns_per_" + what] = count > 0.0 ? 1e9 * Wall() / count : 0.0;
  }
  // "cpu_share_main_thread" (the benchmark's thread) and "cpu_share_process"
  // (every thread, so above 1 when several run at once): processor seconds
  // per wall second so far. With them the machine's 1-minute load average.
  void CountCpuShare(benchmark::State& state) const {
    const double wall = Wall();
    state.counters["cpu_share_main_thread"] = wall > 0.0 ? ThreadCpu() / wall : 0.0;
    state.counters["cpu_share_process"] = wall > 0.0 ? ProcessCpu() / wall : 0.0;
    CountLoadAverage(state);
  }

 private:
  double wall_;
  double thread_;
  double process_;
};

}  // namespace ORV::Bench

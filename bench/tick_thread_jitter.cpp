// Period jitter of the tick thread.
//
// Runs the tick thread at 1 ms and at 67 ms (the whole-millisecond period of
// 15 Hz sampling) and stamps every step with the monotonic clock. Reports,
// in microseconds, the error of each interval between consecutive steps
// against the period, and how late each step came against its ideal time
// (k * period after the schedule's origin, taken as the earliest step
// relative to that grid, since no step can come before its tick).
//
//   bench_tick_thread_jitter [seconds per period]     (default 60; or
//   ORV_BENCH_SECONDS in the environment)
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/threading/tick_thread.h"

namespace {

std::int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Stamps {
  std::vector<std::int64_t> ns;
  std::atomic<std::size_t> count{0};

  static void Step(void* argument) {
    auto& s = *static_cast<Stamps*>(argument);
    const std::size_t i = s.count.load(std::memory_order_relaxed);
    if (i < s.ns.size()) {
      s.ns[i] = MonotonicNs();
      s.count.store(i + 1, std::memory_order_release);
    }
  }
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(std::ceil(p * v.size())) - (p > 0 ? 1 : 0));
  return v[i];
}

void Report(const char* what, const std::vector<double>& us) {
  std::printf("  %-28s median %8.1f us   p99 %8.1f us   max %9.1f us\n", what, Percentile(us, 0.5),
              Percentile(us, 0.99), us.empty() ? 0.0 : *std::max_element(us.begin(), us.end()));
}

void Measure(int periodMs, double seconds) {
  Stamps stamps;
  stamps.ns.resize(static_cast<std::size_t>(seconds * 1000.0 / periodMs) + 16);
  ORV::TickThreadControl control;
  if (!control.Start(periodMs, Stamps::Step, &stamps)) {
    std::printf("period %d ms: the tick thread did not start\n", periodMs);
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  control.Stop();

  const std::size_t n = stamps.count.load(std::memory_order_acquire);
  const double periodNs = periodMs * 1e6;
  std::vector<double> intervalError, lateness;
  double origin = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double offset = static_cast<double>(stamps.ns[i] - stamps.ns[0]) - i * periodNs;
    origin = std::min(origin, offset);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) {
      intervalError.push_back(std::fabs(static_cast<double>(stamps.ns[i] - stamps.ns[i - 1]) - periodNs) / 1e3);
    }
    lateness.push_back((static_cast<double>(stamps.ns[i] - stamps.ns[0]) - i * periodNs - origin) / 1e3);
  }
  std::printf("period %d ms, %.0f s: %zu steps, %llu ticks\n", periodMs, seconds, n,
              static_cast<unsigned long long>(control.TickCount()));
  Report("|interval - period|", intervalError);
  Report("step - ideal time", lateness);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60.0;
  if (const char* env = std::getenv("ORV_BENCH_SECONDS")) seconds = std::atof(env);
  if (argc > 1) seconds = std::atof(argv[1]);
  if (!(seconds > 0.0)) {
    std::fprintf(stderr, "usage: %s [seconds per period]\n", argv[0]);
    return 2;
  }
  for (int period : {1, 67}) Measure(period, seconds);
  return 0;
}

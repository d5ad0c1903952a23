// The whole program under load, offscreen, on the simulated lab: four
// cameras at 30 frames a second, each with a measuring zone, a running
// collection and four live trace windows (two vessel diameters, the inlet
// and outlet pressures). Over a minute of steady running:
//   - cpu_share_process: the process's processor time (user and system,
//     every thread) over the wall time; target under 1;
//   - latency_median_ms, latency_p99_ms, latency_max_ms: on the two pressure
//     traces, every sample's age at the first paint of its graph that shows
//     it, from the instrument reading's time to the experiment clock at that
//     paint; target p99 under 300 ms. The reading's time is the sample's
//     time less "sample_time_lead_ms": the sampler's times run ahead of the
//     experiment clock by a constant (its count starts before the clock at a
//     collection's start), taken in the warm-up as the most by which a
//     sample's time was ahead of the clock when the sample came.
//     "latency_samples" is the number of ages taken; "samples_undrawn_at_end"
//     the samples that came but no paint had shown when the minute was over
//     (the newest ones only, unless a graph stops drawing).
// ORV_BENCH_SECONDS changes the minute (for a quick look).
#include <benchmark/benchmark.h>

#include <QEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/storage/relative_time.h"
#include "program_on_lab.h"

namespace {

using namespace ORV;

// The time of every pressure sample that reaches the experiment record's
// receivers, in order. Any thread.
class SampleTimes final : public PressureDataConsumer {
 public:
  explicit SampleTimes(RelativeTime::Interface& clock) : clock_(clock) {}
  void OnPressureData(const PMK4xData3& sample) override {
    const auto ahead = static_cast<std::int32_t>(sample.time - clock_.Now());
    std::lock_guard lock(mutex_);
    times_.push_back(sample.time);
    lead_ = std::max(lead_, ahead);
  }
  // The most a sample's time was ahead of the experiment clock when the
  // sample came (0 when none was).
  std::int32_t Lead() {
    std::lock_guard lock(mutex_);
    return lead_;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return times_.size();
  }
  // Calls `shown(time)` for the samples from `next` on whose time is not
  // after `newest`, and moves `next` past them.
  template <class F>
  void TakeShown(std::size_t& next, std::uint32_t newest, F&& shown) {
    std::lock_guard lock(mutex_);
    for (; next < times_.size() && times_[next] <= newest; ++next) shown(times_[next]);
  }

 private:
  RelativeTime::Interface& clock_;
  std::mutex mutex_;
  std::vector<std::uint32_t> times_;
  std::int32_t lead_ = 0;
};

// Sees every paint of a trace window's graph; each sample that the paint
// shows for the first time gives its age.
class PaintWatch final : public QObject {
 public:
  PaintWatch(Views::TraceViewWindow& window, SampleTimes& samples, RelativeTime::Interface& clock,
             std::vector<double>& ages)
      : window_(window), samples_(samples), clock_(clock), ages_(ages) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && measuring_) {
      ++paints;
      const std::uint32_t now = clock_.Now();
      // The newest point plotted is the sample of this time.
      const Views::CPelmoraView& view = window_.View();
      const auto newest = static_cast<std::uint32_t>(std::llround(view.StartTime() + view.CurrentTime() * 1000.0));
      samples_.TakeShown(next_, newest, [&](std::uint32_t time) {
        ages_.push_back(static_cast<double>(static_cast<std::int32_t>(now - time) + lead_));
      });
    }
    return QObject::eventFilter(watched, event);
  }
  // From now on; samples that came before are left out. A sample was read
  // `lead` ms before its time says.
  void StartMeasuring(std::int32_t lead) {
    next_ = samples_.Count();
    lead_ = lead;
    measuring_ = true;
  }
  // Stops measuring; returns the samples no paint has shown.
  std::size_t StopMeasuring() {
    measuring_ = false;
    return samples_.Count() - next_;
  }
  int paints = 0;

 private:
  Views::TraceViewWindow& window_;
  SampleTimes& samples_;
  RelativeTime::Interface& clock_;
  std::vector<double>& ages_;
  std::size_t next_ = 0;
  std::int32_t lead_ = 0;
  bool measuring_ = false;
};

double Percentile(std::vector<double> sorted, double p) {
  if (sorted.empty()) return -1.0;
  const auto at = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size()))) - 1;
  return sorted[std::min(at, sorted.size() - 1)];
}

void BM_WholeProgramFourCamerasFourTraces(benchmark::State& state) {
  const char* seconds = std::getenv("ORV_BENCH_SECONDS");
  const int measureMs = (seconds != nullptr && std::atoi(seconds) > 0 ? std::atoi(seconds) : 60) * 1000;

  Bench::ProgramOnLab program;
  if (const std::string error = program.Start(); !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  ExperimentData& experiment = program.Experiment();

  // A collection without video recording, and four live traces; the
  // latency is taken on the pressure traces, whose samples carry their
  // times to the view unchanged.
  program.StartCollection(false);
  std::vector<Views::TraceViewWindow*> windows = program.OpenTraceWindows();
  std::vector<double> ages;
  SampleTimes samples(experiment.ExperimentClock());
  const ScopedRegistration samplesRegistered = experiment.RegisterPressureConsumer(&samples);
  std::vector<std::unique_ptr<PaintWatch>> watches;
  for (std::size_t i = 2; i < windows.size() && i < 4; ++i) {
    if (QWidget* graph = windows[i]->GraphWidget()) {
      watches.push_back(std::make_unique<PaintWatch>(*windows[i], samples, experiment.ExperimentClock(), ages));
      graph->installEventFilter(watches.back().get());
    }
  }
  if (windows.size() < 4 || watches.size() < 2)
    std::cerr << "note: " << windows.size() << " of the four trace windows opened; the paint latency is taken on "
              << watches.size() << " of the two pressure graphs\n";

  // Warm up, then measure.
  Bench::RunFor(5000);
  const std::int32_t lead = samples.Lead();
  for (auto& watch : watches) watch->StartMeasuring(lead);
  double cpu = 0.0, wall = 0.0;
  for (auto _ : state) {
    const Bench::RunClock run;
    Bench::RunFor(measureMs);
    cpu = run.ProcessCpu();
    wall = run.Wall();
    state.SetIterationTime(wall);
  }
  std::size_t undrawn = 0;
  int paints = 0;
  for (auto& watch : watches) {
    undrawn += watch->StopMeasuring();
    paints += watch->paints;
  }

  state.counters["cpu_share_process"] = wall > 0 ? cpu / wall : 0.0;
  std::sort(ages.begin(), ages.end());
  state.counters["latency_median_ms"] = Percentile(ages, 0.5);
  state.counters["latency_p99_ms"] = Percentile(ages, 0.99);
  state.counters["latency_max_ms"] = ages.empty() ? -1.0 : ages.back();
  state.counters["latency_samples"] = static_cast<double>(ages.size());
  state.counters["samples_undrawn_at_end"] = static_cast<double>(undrawn);
  state.counters["sample_time_lead_ms"] = lead;
  state.counters["trace_windows"] = static_cast<double>(windows.size());
  state.counters["pressure_graph_paints"] = paints;
  if (!windows.empty()) state.counters["view0_time"] = windows.front()->View().CurrentTime();
  state.counters["zone_records_cam0"] =
      static_cast<double>(experiment.Read([](const ExperimentContents& c) { return c.zoneData[0].size(); }));
  Bench::CountLoadAverage(state);
}
BENCHMARK(BM_WholeProgramFourCamerasFourTraces)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  // Made before the application and removed after it is gone.
  const Bench::Sandbox sandbox;
  Bench::SetLabEnvironment();
  QApplication qtApp(argc, argv);
  const auto lab = Bench::InitLabApplication();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// The replot of a trace view after its set-up: an eight-hour experiment of
// four cameras at 15 frames a second (432,000 zone records each) and a
// pressure interface at 10 samples a second, replotted into one view with
// the real graph control (libORVGraph3.so, through its dispatch interface).
// Target: under 200 ms for a camera trace.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "core/base/app_registry.h"
#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "graph_control/graph_interface.h"
#include "platform/os/registry_store.h"
#include "platform/ui/control_host.h"
#include "views/trace_view.h"
#include "wall_clock_counters.h"

namespace {

using namespace ORV;

constexpr std::uint32_t kHours = 8;
constexpr std::uint32_t kFrames = kHours * 3600 * 15;
constexpr std::uint32_t kPressureSamples = kHours * 3600 * 10;

struct Experiment {
  Experiment() {
    data.mode = kModeFile;
    data.startTick = 0;
    data.Update([](ExperimentContents& c) {
      for (int camera = 0; camera < kMaxCameras; ++camera) {
        c.fileCameraNames.push_back("Camera " + std::to_string(camera + 1));
        for (std::uint32_t i = 0; i < kFrames; ++i) {
          ZoneData z;
          z.time = 1 + i * 1000 / 15;
          z.zoneCount = 1;
          const float d = 200.0f + static_cast<float>(i % 900) * 0.05f;
          z.outerLeft[0] = 320.0f - d / 2;
          z.outerRight[0] = 320.0f + d / 2;
          z.innerLeft[0] = 320.0f - d / 2 + 15.0f;
          z.innerRight[0] = 320.0f + d / 2 - 15.0f;
          c.zoneData[static_cast<std::size_t>(camera)].push_back(z);
        }
        c.zoneCount[static_cast<std::size_t>(camera)] = 1;
      }
      for (std::uint32_t i = 0; i < kPressureSamples; ++i) {
        PMK4xData3 s;
        s.time = 1 + i * 100;
        s.p1 = 60.0f + static_cast<float>(i % 600) * 0.01f;
        s.p2 = 60.0f;
        c.pressureSamples.push_back(s);
      }
      return 0;
    });
  }
  Configuration configuration;
  RelativeTime::RelativeTime clock;
  ExperimentData data{configuration, clock};
};

Experiment& SharedExperiment() {
  static Experiment experiment;
  return experiment;
}

void Replot(benchmark::State& state, std::int32_t code) {
  Experiment& experiment = SharedExperiment();
  OS::RegistryStore store;
  AppRegistry registry(store);
  Views::CPelmoraView::Params p;
  p.experiment = &experiment.data;
  p.registry = &registry;
  p.texts = [](std::uint32_t) { return std::string("x"); };
  Views::CPelmoraView view(std::move(p));
  QWidget host;
  host.resize(800, 400);
  UI::ControlSite graph;
  if (Com::Failed(graph.Create(&host, Graph::kGraphProgId, Views::kGraphControlId))) {
    state.SkipWithError("the graph control library was not found");
    return;
  }
  view.AttachGraph(graph.control(), 0xF0F0F0, false);
  view.SetSelectedZone(0, 1);
  std::int64_t points = 0;
  const Bench::RunClock run;
  for (auto _ : state) {
    view.SetupGraphForTrace(code);
    points += graph.dispatch().Invoke<std::int32_t>(Graph::Dispid::NearestIndexFromValue, 1e9, std::int16_t{0}) + 1;
  }
  view.DetachGraph();
  state.counters["points"] = benchmark::Counter(static_cast<double>(points) / static_cast<double>(state.iterations()));
  run.CountPerWallSecond(state, "points", static_cast<double>(points));
  run.CountCpuShare(state);
}

void BM_ReplotOuterDiameter8h(benchmark::State& state) { Replot(state, 4); }
void BM_ReplotInletPressure8h(benchmark::State& state) { Replot(state, 11); }
// The view's own share: the same replot into a graph that only counts.
void BM_ReplotOuterDiameter8hViewOnly(benchmark::State& state) {
  Experiment& experiment = SharedExperiment();
  struct Counting final : Com::IDispatch {
    std::int64_t points = 0;
    Com::HRESULT Invoke(Com::DISPID id, unsigned, std::span<const Com::Variant>, Com::Variant* r) override {
      if (id == Graph::Dispid::PlotXY) ++points;
      if (r && id == Graph::Dispid::SetRange) *r = Com::Variant(true);
      return Com::S_OK;
    }
  } graph;
  OS::RegistryStore store;
  AppRegistry registry(store);
  Views::CPelmoraView::Params p;
  p.experiment = &experiment.data;
  p.registry = &registry;
  p.texts = [](std::uint32_t) { return std::string("x"); };
  Views::CPelmoraView view(std::move(p));
  view.AttachGraph(&graph, 0xF0F0F0, false);
  view.SetSelectedZone(0, 1);
  const Bench::RunClock run;
  for (auto _ : state) view.SetupGraphForTrace(4);
  view.DetachGraph();
  run.CountPerWallSecond(state, "points", static_cast<double>(graph.points));
  run.CountCpuShare(state);
}

BENCHMARK(BM_ReplotOuterDiameter8h)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplotOuterDiameter8hViewOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplotInletPressure8h)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// DrawGraph of a 1000 x 400 graph holding one trace of 1e5, 1e6 and 5.8e6
// points (5.8e6 is 8 hours at 200 Hz): the live view (the last 60 s) and the
// whole trace, each drawn as the control draws it (visible range, reduced
// per pixel column) and by walking every point.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "graph_control/ui/graph_painter.h"

namespace {

constexpr double kRate = 200.0;

ORV::Graph::GraphModel& Graph(std::int64_t n) {
  static std::map<std::int64_t, std::unique_ptr<ORV::Graph::GraphModel>> graphs;
  auto& g = graphs[n];
  if (!g) {
    g = std::make_unique<ORV::Graph::GraphModel>();
    g->SetDrawNoSaveData(false);
    g->SetElementLineColor(0x00C0FF);
    for (std::int64_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / kRate;
      g->PlotXY(t, 150 + 40 * std::sin(t * 0.05) + 5 * std::sin(t * 7.0), 0);
    }
  }
  return *g;
}

void Draw(benchmark::State& state, bool wholeTrace, bool fullWalk) {
  auto& g = Graph(state.range(0));
  const double end = static_cast<double>(state.range(0) - 1) / kRate;
  g.SetRange(wholeTrace ? 0 : end - 60, end, 90, 210, false);
  ORV::Graph::GraphPainter painter(g);
  painter.SetFullWalk(fullWalk);
  QImage image(1000, 400, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    painter.DrawGraph(p, image.rect());
  }
  state.counters["points"] = static_cast<double>(state.range(0));
}

void BM_DrawGraphLive60s(benchmark::State& state) { Draw(state, false, false); }
void BM_DrawGraphLive60sFullWalk(benchmark::State& state) { Draw(state, false, true); }
void BM_DrawGraphWholeTrace(benchmark::State& state) { Draw(state, true, false); }
void BM_DrawGraphWholeTraceFullWalk(benchmark::State& state) { Draw(state, true, true); }

#define ORV_SIZES ->Arg(100'000)->Arg(1'000'000)->Arg(5'760'000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_DrawGraphLive60s) ORV_SIZES;
BENCHMARK(BM_DrawGraphLive60sFullWalk) ORV_SIZES;
BENCHMARK(BM_DrawGraphWholeTrace) ORV_SIZES;
BENCHMARK(BM_DrawGraphWholeTraceFullWalk) ORV_SIZES;

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

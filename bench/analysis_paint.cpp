// Painting the analysis control's window: a 1280 x 960 camera picture with
// four zones, their walls and lumen edges, numbers and the recording label,
// painted into a window of the same size and into a smaller one (the overlay
// laid out afresh each time, as every repaint does). With four zones a frame, the default repaint
// divisor of 3 repaints every frame, so four cameras at 15 frames a second
// paint 60 times a second; the counter "cpu_share_at_4x15fps" is the part of
// one core those paints take (the process's processor time of 60 paints;
// target: under 0.10). Paints per second are over the wall clock.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "analysis_control/analysis_view.h"
#include "analysis_control/ui/analysis_painter.h"
#include "capture_fixtures.h"
#include "wall_clock_counters.h"

namespace {

using namespace BenchCapture;

class NoViewEvents : public ORV::ViewEvents {
 public:
  void ZoneCreated(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                   std::int32_t, float) override {}
  void ZoneSelected(std::int32_t) override {}
};

void BM_PaintControl(benchmark::State& state) {
  Events events;
  Clock clock;
  BenchCamera* camera = nullptr;
  ORV::CaptureEngineServices services;
  services.createCamera = [&camera](int) {
    auto c = std::make_unique<BenchCamera>();
    camera = c.get();
    return c;
  };
  ORV::CaptureEngine engine(events, services);
  engine.SetRelativeTime(&clock);
  engine.SetNotifyWindow(std::make_shared<Window>());
  engine.LoadCamera(0);
  engine.StartCapture("DMx 41AU02");
  engine.Analysis().SetMaxZones(4);
  for (int z = 0; z < 4; ++z) engine.Analysis().AddZone({290, 40 + 230 * z, 700, 200});
  for (int i = 0; i < 4; ++i) camera->Deliver(Frames()[i % 2]);
  while (engine.Analysis().PendingTasks() > 0) {
  }
  engine.StartRecording("/nonexistent/Record_1.avi");  // shows the recording label

  NoViewEvents viewEvents;
  ORV::AnalysisViewModel view(engine, viewEvents);
  const int width = static_cast<int>(state.range(0));
  const int height = width * kHeight / kWidth;
  view.SetClientSize(width, height);
  QImage window(width, height, QImage::Format_RGB32);
  const QRect client(0, 0, width, height);
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    const ORV::SharedCameraFrame::Image frame = engine.ShownFrame();
    QPainter p(&window);
    ORV::AnalysisView::PaintAnalysisView(p, client, frame.get(), view.BuildOverlay(), view);
    p.end();
    benchmark::DoNotOptimize(window.constBits());
  }
  const auto paints = static_cast<double>(state.iterations());
  run.CountPerWallSecond(state, "paints", paints);
  state.counters["cpu_share_at_4x15fps"] = run.ProcessCpu() / paints * 60.0;
  run.CountCpuShare(state);
}
// The window at the picture's size, and smaller (the picture stretched).
// The CPU time is the whole process's: Qt may scale the picture on threads
// of its own.
BENCHMARK(BM_PaintControl)->Arg(1280)->Arg(800)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

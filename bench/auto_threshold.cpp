// Auto threshold's cost: the zone analysis's time per frame with auto
// threshold off and on, side by side, on brightfield frames of the
// simulated vessel camera (1280 x 960, a vessel constricting over two
// minutes at 15 frames per second, two zones of 400 x 300 across it), all
// on the calling thread. Then the rule's own time per zone: a frame whose
// cut-offs are kept and one on which they are chosen anew.
//
//   bench_auto_threshold [passes]     (default 3: each frame analysed that often)
#include "analysis_control/auto_threshold.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "analysis_control/zone_analysis.h"
#include "platform/sim/vessel_camera.h"

namespace {

using Clock = std::chrono::steady_clock;

class CountingEvents : public ORV::AnalysisEvents {
 public:
  void ZoneAnalysisData(int, int, int, int, int) override { ++results; }
  void RawZoneData(int, const std::uint8_t*, int) override {}
  void IndexImage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint8_t*) override {}
  long results = 0;
};

class InlineExecutor : public ORV::AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<ORV::Threading::AsyncTask> task) override { task->OnFinished(task->Run()); }
};

constexpr double kFrameRate = 15.0;
constexpr int kFrames = 120 * 15;
const ORV::ZoneRect kZones[] = {{440, 150, 400, 300}, {440, 510, 400, 300}};

std::vector<ORV::Sim::VesselFrame> Frames() {
  ORV::Sim::VesselCamera::Options o;
  o.look = ORV::Sim::VesselCamera::Look::kBrightfield;
  o.frameRate = kFrameRate;
  o.micronsPerPixel = 1.0;
  o.blurSigma = 1.3;
  o.noiseSigma = 5.0;
  ORV::Sim::VesselCamera camera(
      [](double t) {
        const double s = std::clamp(t / 100.0, 0.0, 1.0);
        const double outer = 250.0 - 80.0 * (0.5 - 0.5 * std::cos(s * 3.141592653589793));
        return ORV::Sim::VesselGeometry{outer, std::sqrt(outer * outer - (250.0 * 250.0 - 220.0 * 220.0))};
      },
      o);
  std::vector<ORV::Sim::VesselFrame> frames(kFrames);
  for (int i = 0; i < kFrames; ++i) camera.Grab(static_cast<std::uint64_t>(i), frames[static_cast<std::size_t>(i)]);
  return frames;
}

struct Run {
  double usPerFrame = 0;
  int changes = 0;  // frames after which a zone's cut-offs had changed
};

Run Analyse(const std::vector<ORV::Sim::VesselFrame>& frames, bool autoThreshold, int passes) {
  CountingEvents events;
  ORV::ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  analysis.SetMaxZones(2);
  for (const ORV::ZoneRect& z : kZones) analysis.AddZone(z);
  analysis.EnableAutoThreshold(autoThreshold);
  for (int i = 0; i < 50; ++i) {
    const auto& f = frames[static_cast<std::size_t>(i)];
    analysis.PrepareZones({f.pixels.data(), f.width, f.height, f.width});  // warm up
  }
  Run run;
  double seconds = 0;
  double cutOff = analysis.GetAnalysisCutOff(0) + analysis.GetInnerAnalysisCutOff(0);
  for (int pass = 0; pass < passes; ++pass) {
    for (const auto& f : frames) {
      const auto start = Clock::now();
      analysis.PrepareZones({f.pixels.data(), f.width, f.height, f.width});
      seconds += std::chrono::duration<double>(Clock::now() - start).count();
      const double now = analysis.GetAnalysisCutOff(0) + analysis.GetInnerAnalysisCutOff(0);
      if (now != cutOff) ++run.changes;
      cutOff = now;
    }
  }
  run.usPerFrame = 1e6 * seconds / (static_cast<double>(passes) * static_cast<double>(frames.size()));
  return run;
}

// The rule alone on one zone's columns, in microseconds per call.
double RuleTime(const ORV::ColumnProfile& columns, double outer, double inner, int calls) {
  const auto start = Clock::now();
  int found = 0;
  for (int i = 0; i < calls; ++i) found += ORV::SearchWithAutoThreshold(columns, outer, inner, false).found ? 1 : 0;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (found != calls) std::printf("  (the vessel was not found in %d of %d calls)\n", calls - found, calls);
  return 1e6 * seconds / calls;
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::printf("brightfield frames 1280 x 960, %d frames (a two-minute constriction), two zones of 400 x 300\n",
              kFrames);
  const std::vector<ORV::Sim::VesselFrame> frames = Frames();

  const Run off = Analyse(frames, false, passes);
  const Run on = Analyse(frames, true, passes);
  std::printf("%-22s %12s %12s\n", "", "auto off", "auto on");
  std::printf("%-22s %9.1f us %9.1f us\n", "per frame (two zones)", off.usPerFrame, on.usPerFrame);
  std::printf("%-22s %12d %12d\n", "cut-off changes", off.changes, on.changes);
  std::printf("auto threshold adds %.1f us per frame, %.1f%% of the analysis with it off\n",
              on.usPerFrame - off.usPerFrame, 100.0 * (on.usPerFrame - off.usPerFrame) / off.usPerFrame);

  // The rule alone on zone 0 of the first frame.
  const ORV::Sim::VesselFrame& f = frames.front();
  const ORV::ZoneRect& z = kZones[0];
  ORV::GreyImage crop{z.width, z.height, {}};
  for (int y = z.y; y < z.y + z.height; ++y) {
    const auto* row = f.pixels.data() + static_cast<std::size_t>(y) * f.width + z.x;
    crop.pixels.insert(crop.pixels.end(), row, row + z.width);
  }
  const ORV::ColumnProfile columns = *ORV::MeasureColumns(crop.View());
  const ORV::AutoThresholdResult chosen = ORV::SearchWithAutoThreshold(columns, 3.0, 3.0, false);
  const auto measureStart = Clock::now();
  for (int i = 0; i < 2000; ++i) {
    const auto c = ORV::MeasureColumns(crop.View());
    if (!c) return 1;
  }
  const double measure = 1e6 * std::chrono::duration<double>(Clock::now() - measureStart).count() / 2000;
  std::printf("one zone: column sums %.1f us; rule keeping its cut-offs %.2f us; choosing anew %.2f us\n", measure,
              RuleTime(columns, chosen.outerCutOff, chosen.innerCutOff, 20000), RuleTime(columns, 3.0, 3.0, 2000));
  return 0;
}

// Auto threshold's cost: the zone analysis's time per frame with auto
// threshold off and on, side by side, on brightfield frames of the
// simulated vessel camera (1280 x 960, a vessel constricting over two
// minutes at 15 frames per second, two zones of 400 x 300 across it), all
// on the calling thread, with the load average beside the figures. Then the
// rule's own time per zone: a frame whose cut-offs are kept and one on
// which they are chosen anew.
//
//   bench_auto_threshold [passes]     (default 5 of each)
#include "analysis_control/auto_threshold.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "analysis_control/zone_analysis.h"
#include "load_average.h"
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

// One pass over the frames with auto threshold off or on: microseconds per
// frame, and the frames after which zone 0's cut-offs had changed.
struct Pass {
  double usPerFrame = 0;
  int changes = 0;
};

Pass Analyse(const std::vector<ORV::Sim::VesselFrame>& frames, bool autoThreshold) {
  CountingEvents events;
  ORV::ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  analysis.SetMaxZones(2);
  for (const ORV::ZoneRect& z : kZones) analysis.AddZone(z);
  analysis.EnableAutoThreshold(autoThreshold);
  Pass pass;
  double seconds = 0;
  double cutOffs = analysis.GetAnalysisCutOff(0) + analysis.GetInnerAnalysisCutOff(0);
  for (const auto& f : frames) {
    const auto start = Clock::now();
    analysis.PrepareZones({f.pixels.data(), f.width, f.height, f.width});
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    const double now = analysis.GetAnalysisCutOff(0) + analysis.GetInnerAnalysisCutOff(0);
    if (now != cutOffs) ++pass.changes;
    cutOffs = now;
  }
  pass.usPerFrame = 1e6 * seconds / static_cast<double>(frames.size());
  return pass;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Microseconds per call of `work`, the median of several rounds.
template <typename Work>
double Time(int calls, Work work) {
  std::vector<double> rounds;
  for (int round = 0; round < 7; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) work();
    rounds.push_back(1e6 * std::chrono::duration<double>(Clock::now() - start).count() / calls);
  }
  return Median(rounds);
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::printf("brightfield frames 1280 x 960, %d frames (a two-minute constriction), two zones of 400 x 300\n",
              kFrames);
  const std::vector<ORV::Sim::VesselFrame> frames = Frames();

  // Passes with auto threshold off and on alternate, so that both see the
  // same load; the median pass of each counts.
  std::vector<double> off, on;
  int changes = 0;
  for (int pass = 0; pass < passes; ++pass) {
    off.push_back(Analyse(frames, false).usPerFrame);
    const Pass p = Analyse(frames, true);
    on.push_back(p.usPerFrame);
    changes = p.changes;
  }
  const double offUs = Median(off), onUs = Median(on);
  std::printf("%-34s %10s %10s\n", "zone analysis (median of passes)", "auto off", "auto on");
  std::printf("%-34s %7.1f us %7.1f us   (%+.1f%%)\n", "per frame, both zones", offUs, onUs,
              100.0 * (onUs - offUs) / offUs);
  std::printf("zone 0's cut-offs changed after %d of %d frames with auto threshold on\n", changes, kFrames);
  std::printf("%s\n", ORV::Bench::LoadAverageText().c_str());

  // One zone's parts, on zone 0 of a frame mid-way through.
  const ORV::Sim::VesselFrame& f = frames[frames.size() / 2];
  const ORV::ZoneRect& z = kZones[0];
  ORV::GreyImage crop{z.width, z.height, {}};
  for (int y = z.y; y < z.y + z.height; ++y) {
    const auto* row = f.pixels.data() + static_cast<std::size_t>(y) * f.width + z.x;
    crop.pixels.insert(crop.pixels.end(), row, row + z.width);
  }
  const ORV::ColumnProfile columns = *ORV::MeasureColumns(crop.View());
  const ORV::AutoThresholdResult chosen = ORV::SearchWithAutoThreshold(columns, 3.0, 3.0, false);
  if (!chosen.found || !chosen.lumenFound) std::printf("(zone 0 of that frame: the vessel was not found)\n");
  const double sums = Time(2000, [&] { return ORV::MeasureColumns(crop.View()).has_value(); });
  const double plain = Time(20000, [&] {
    std::int32_t l = 0, r = 0;
    ORV::TakeOuterEdges(ORV::FindChanges(ORV::ThresholdColumns(columns, chosen.outerCutOff)), l, r);
    return ORV::TakeLumenEdges(ORV::FindChanges(ORV::ThresholdColumns(columns, chosen.innerCutOff)), l, r);
  });
  const double kept = Time(20000, [&] {
    return ORV::SearchWithAutoThreshold(columns, chosen.outerCutOff, chosen.innerCutOff, false).found;
  });
  const double anew = Time(500, [&] {
    return ORV::SearchWithAutoThreshold(columns, chosen.outerCutOff, chosen.innerCutOff, false, false, false).found;
  });
  std::printf(
      "one zone of 400 x 300: column sums %.2f us, plain search %.2f us, auto search keeping its\n"
      "cut-offs %.2f us, choosing anew %.2f us\n%s\n",
      sums, plain, kept, anew, ORV::Bench::LoadAverageText().c_str());
  return 0;
}

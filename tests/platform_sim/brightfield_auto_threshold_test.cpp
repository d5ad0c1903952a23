// Auto threshold on the brightfield vessel camera: a two-minute constriction
// measured frame by frame against the drawn truth, and a table of pictures
// each either measured or reported as not found, never with a wrong wall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis_control/zone_analysis.h"
#include "platform/sim/vessel_camera.h"

namespace ORV::Sim {
namespace {

constexpr double kFrameRate = 15.0;
constexpr double kWallArea = 250.0 * 250.0 - 220.0 * 220.0;  // um^2 / (pi / 4): a 250 um vessel with 15 um walls

// A vessel constricting from `from` to `to` um outside over `seconds`
// (smoothly, then holding), keeping its wall's area.
VesselCamera::GeometrySource Constriction(double from, double to, double seconds, double area = kWallArea) {
  return [=](double t) {
    const double s = std::clamp(t / seconds, 0.0, 1.0);
    const double outer = from + (to - from) * (0.5 - 0.5 * std::cos(s * 3.141592653589793));
    return VesselGeometry{outer, std::sqrt(std::max(outer * outer - area, 0.0))};
  };
}

VesselCamera::Options Brightfield(int width, int height) {
  VesselCamera::Options o;
  o.look = VesselCamera::Look::kBrightfield;
  o.width = width;
  o.height = height;
  o.frameRate = kFrameRate;
  o.micronsPerPixel = 1.0;
  o.blurSigma = 1.3;
  o.noiseSigma = 5.0;
  return o;
}

class Results : public AnalysisEvents {
 public:
  void ZoneAnalysisData(int, int vl, int vr, int ll, int lr) override { last = {vl, vr, ll, lr}; }
  void RawZoneData(int, const std::uint8_t*, int) override {}
  void IndexImage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint8_t*) override {}
  std::array<int, 4> last{};
};

class InlineExecutor : public AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override { task->OnFinished(task->Run()); }
};

// What one run of frames through a zone gave.
struct RunCounts {
  int frames = 0;
  int wallsFound = 0;  // this frame's search found both walls
  int lumenFound = 0;
  int outerWithin = 0;  // the reported outer diameter lies within 2 px of the truth
  int innerWithin = 0;
  int wrongWalls = 0;  // a wall of this frame's search more than 2 px from its truth
  int wrongLumen = 0;
};

RunCounts Measure(VesselCamera& camera, ZoneAnalysis& analysis, Results& events, const ZoneRect& zone, int frames) {
  RunCounts n;
  VesselFrame frame;
  for (int i = 0; i < frames; ++i) {
    EXPECT_EQ(camera.Grab(static_cast<std::uint64_t>(i), frame), GrabResult::Frame);
    analysis.PrepareZones({frame.pixels.data(), frame.width, frame.height, frame.width});
    const AnalysisZone z = analysis.GetZone(0);
    const int slot = z.historyIndex;
    const auto at = [&](ZoneRing ring) { return z.rings[ring][slot]; };
    const VesselEdges& t = frame.truth;
    ++n.frames;
    const auto off = [](double found, double truth) { return std::abs(found - truth) > 2.0; };
    if (at(kRingOuterLeft) > 0) {
      ++n.wallsFound;
      if (off(zone.x + at(kRingOuterLeft), t.exactOuterLeft) || off(zone.x + at(kRingOuterRight), t.exactOuterRight))
        ++n.wrongWalls;
    }
    if (at(kRingLumenLeft) > 0) {
      ++n.lumenFound;
      if (off(zone.x + at(kRingLumenLeft), t.exactLumenLeft) || off(zone.x + at(kRingLumenRight), t.exactLumenRight))
        ++n.wrongLumen;
    }
    if (std::abs((events.last[1] - events.last[0]) - (t.exactOuterRight - t.exactOuterLeft)) <= 2.0) ++n.outerWithin;
    if (std::abs((events.last[3] - events.last[2]) - (t.exactLumenRight - t.exactLumenLeft)) <= 2.0) ++n.innerWithin;
  }
  return n;
}

RunCounts RunWithAutoThreshold(VesselCamera::GeometrySource vessel, const VesselCamera::Options& options,
                               const ZoneRect& zone, int frames) {
  VesselCamera camera(std::move(vessel), options);
  Results events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  EXPECT_EQ(analysis.AddZone(zone), 0);
  analysis.EnableAutoThreshold(true);
  return Measure(camera, analysis, events, zone, frames);
}

TEST(BrightfieldAutoThreshold, MeasuresATwoMinuteConstrictionFrameByFrame) {
  const ZoneRect zone{30, 20, 380, 100};
  const RunCounts n = RunWithAutoThreshold(Constriction(250.0, 170.0, 100.0), Brightfield(440, 140), zone,
                                           static_cast<int>(120 * kFrameRate));
  std::printf("frames %d walls %d lumen %d outer within %d inner within %d wrong %d %d\n", n.frames, n.wallsFound,
              n.lumenFound, n.outerWithin, n.innerWithin, n.wrongWalls, n.wrongLumen);
  EXPECT_GE(n.wallsFound, 0.99 * n.frames);
  EXPECT_GE(n.lumenFound, 0.99 * n.frames);
  EXPECT_GE(n.outerWithin, 0.95 * n.frames);
  EXPECT_GE(n.innerWithin, 0.95 * n.frames);
  EXPECT_EQ(n.wrongWalls, 0);
  EXPECT_EQ(n.wrongLumen, 0);
}

TEST(BrightfieldAutoThreshold, EachPictureIsMeasuredOrNotFoundButNeverGivesAWrongWall) {
  // What a picture must give: its walls (or lumen) in nearly every frame,
  // in none, or either (but never wrong).
  enum Expect { kMeasured, kNotFound, kEither };
  struct Case {
    const char* name;
    std::function<void(VesselCamera::Options&)> look;
    double outer, lumen;  // um at the start
    double shrink;        // the share of its diameter the vessel loses over the run
    ZoneRect zone;
    Expect walls, lumenExpected;
  };
  const auto with = [](auto change) { return std::function<void(VesselCamera::Options&)>(change); };
  const auto same = with([](VesselCamera::Options&) {});
  const ZoneRect zone{30, 20, 380, 100};
  const std::vector<Case> cases = {
      {"typical", same, 250, 220, 0.1, zone, kMeasured, kMeasured},
      {"dimmer background", with([](auto& o) { o.brightfield.background = 185; }), 250, 220, 0.1, zone, kMeasured,
       kMeasured},
      // Too dim for cut-offs up to 6: the background alone is that many spreads dark.
      {"dim background", with([](auto& o) { o.brightfield.background = 120; }), 250, 220, 0.1, zone, kNotFound,
       kNotFound},
      {"bright background", with([](auto& o) { o.brightfield.background = 235; }), 250, 220, 0.1, zone, kMeasured,
       kMeasured},
      {"steep gradient", with([](auto& o) { o.brightfield.gradientX = 60; }), 250, 220, 0.1, zone, kEither, kEither},
      {"thin walls", same, 250, 234, 0.1, zone, kMeasured, kEither},
      {"thick walls", same, 250, 190, 0.1, zone, kMeasured, kMeasured},
      {"faint walls", with([](auto& o) {
         o.brightfield.wallDarkening = 25;
         o.brightfield.lineDarkening = 50;
         o.brightfield.lumenDarkening = 8;
       }),
       250, 220, 0.1, zone, kEither, kEither},
      {"dark walls", with([](auto& o) {
         o.brightfield.wallDarkening = 90;
         o.brightfield.lineDarkening = 160;
         o.brightfield.lumenDarkening = 25;
       }),
       250, 220, 0.1, zone, kMeasured, kMeasured},
      {"lumen as dark as the walls' body", with([](auto& o) { o.brightfield.lumenDarkening = 60; }), 250, 220, 0.1,
       zone, kMeasured, kEither},
      {"plain picture", with([](auto& o) { o.look = VesselCamera::Look::kPlain; }), 250, 220, 0.1, zone, kMeasured,
       kMeasured},
      {"wide zone", same, 250, 220, 0.1, ZoneRect{2, 20, 436, 100}, kEither, kEither},
      {"tight zone", same, 250, 220, 0.1, ZoneRect{80, 20, 280, 100}, kMeasured, kMeasured},
      {"zone's left side on the left wall", same, 250, 220, 0.0, ZoneRect{100, 20, 300, 100}, kNotFound, kNotFound},
      {"zone's right side on the right wall", same, 250, 220, 0.0, ZoneRect{0, 20, 340, 100}, kNotFound, kNotFound},
      {"zone's left side at the wall", same, 250, 220, 0.0, ZoneRect{94, 20, 300, 100}, kEither, kEither},
      {"vessel wider than the zone", same, 250, 220, 0.1, ZoneRect{130, 20, 180, 100}, kNotFound, kNotFound},
      {"no vessel", same, 0, 0, 0.0, zone, kNotFound, kNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VesselCamera::Options options = Brightfield(440, 140);
    options.brightfield.driftAmplitude = 0.0;
    c.look(options);
    const double area = c.outer * c.outer - c.lumen * c.lumen;
    const RunCounts n =
        RunWithAutoThreshold(Constriction(c.outer, (1.0 - c.shrink) * c.outer, 4.0, area), options, c.zone, 30);
    std::printf("%-36s walls %2d lumen %2d wrong %d %d\n", c.name, n.wallsFound, n.lumenFound, n.wrongWalls,
                n.wrongLumen);
    EXPECT_EQ(n.wrongWalls, 0);
    EXPECT_EQ(n.wrongLumen, 0);
    const auto expect = [&n](Expect e, int found) {
      if (e == kMeasured) {
        EXPECT_GE(found, 0.95 * n.frames);
      } else if (e == kNotFound) {
        EXPECT_EQ(found, 0);
      }
    };
    expect(c.walls, n.wallsFound);
    expect(c.lumenExpected, n.lumenFound);
  }
}

}  // namespace
}  // namespace ORV::Sim

// The simulated vessel camera: its frames measured by the zone analysis
// against their truth, its picture, and its faults.
#include "platform/sim/vessel_camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "analysis_control/analyse_image_task.h"
#include "analysis_control/zone_analysis.h"

namespace ORV::Sim {
namespace {

// A vessel pulsating once a second between 230 and 270 um outside, with the
// wall area of a 250 um vessel with 15 um walls.
VesselGeometry Pulsating(double t) {
  const double outer = 250.0 + 20.0 * std::sin(2.0 * std::numbers::pi * t);
  const double area = 250.0 * 250.0 - 220.0 * 220.0;
  return {outer, std::sqrt(outer * outer - area)};
}

VesselCamera::Options Small(bool exact) {
  VesselCamera::Options o;
  o.width = 800;
  o.height = 120;
  o.frameRate = 37.0;  // not a divisor of the pulse, so the edges wander over the pixels
  o.axis = 403.3;
  o.exact = exact;
  return o;
}

// The edges the analysis task finds in a zone of the frame, in sensor pixels.
struct Found {
  bool found = false;
  int outerLeft = 0, lumenLeft = 0, lumenRight = 0, outerRight = 0;
};
Found Search(const VesselFrame& frame, const ZoneRect& zone) {
  AnalyseImageAsyncTask task(0);
  task.crop.width = zone.width;
  task.crop.height = zone.height;
  for (int y = zone.y; y < zone.y + zone.height; ++y) {
    const std::uint8_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * frame.width + zone.x;
    task.crop.pixels.insert(task.crop.pixels.end(), row, row + zone.width);
  }
  task.Run();
  return {task.found != 0, zone.x + task.outerLeft, zone.x + task.lumenLeft, zone.x + task.lumenRight,
          zone.x + task.outerRight};
}

TEST(VesselCameraTest, ZoneAnalysisFindsTheTruthExactlyInExactModeAndWithinAPixelInRealisticMode) {
  const ZoneRect zone{50, 10, 700, 100};
  for (const bool exact : {true, false}) {
    SCOPED_TRACE(exact ? "exact" : "realistic");
    VesselCamera camera(Pulsating, Small(exact));
    const int tolerance = exact ? 0 : 1;
    VesselFrame frame;
    for (std::uint64_t i = 0; i < 100; ++i) {
      ASSERT_EQ(camera.Grab(i, frame), GrabResult::Frame);
      const Found f = Search(frame, zone);
      SCOPED_TRACE(i);
      ASSERT_TRUE(f.found);
      EXPECT_NEAR(f.outerLeft, frame.truth.outerLeft, tolerance);
      EXPECT_NEAR(f.lumenLeft, frame.truth.lumenLeft, tolerance);
      EXPECT_NEAR(f.lumenRight, frame.truth.lumenRight, tolerance);
      EXPECT_NEAR(f.outerRight, frame.truth.outerRight, tolerance);
    }
  }
}

// Records the zone results the analysis raises.
class ZoneResults : public AnalysisEvents {
 public:
  void ZoneAnalysisData(int, int vl, int vr, int ll, int lr) override { results.push_back({vl, vr, ll, lr}); }
  void RawZoneData(int, const std::uint8_t*, int) override {}
  void IndexImage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint8_t*) override {}
  std::vector<std::array<int, 4>> results;
};

class InlineExecutor : public AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override { task->OnFinished(task->Run()); }
};

TEST(VesselCameraTest, ZoneAnalysisReportsTheMeanOfTheTruthOverItsHistory) {
  VesselCamera camera(Pulsating, Small(true));
  ZoneResults events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  const ZoneRect zone{50, 10, 700, 100};
  ASSERT_EQ(analysis.AddZone(zone), 0);

  // The analysis reports the rounded mean of the last three frames' edges,
  // relative to the zone's left side.
  std::vector<VesselEdges> truths;
  VesselFrame frame;
  for (std::uint64_t i = 0; i < 100; ++i) {
    ASSERT_EQ(camera.Grab(i, frame), GrabResult::Frame);
    truths.push_back(frame.truth);
    analysis.PrepareZones({frame.pixels.data(), frame.width, frame.height, frame.width});
  }
  ASSERT_EQ(events.results.size(), truths.size());
  for (std::size_t i = 0; i < truths.size(); ++i) {
    const std::size_t from = i >= 2 ? i - 2 : 0;
    const auto mean = [&](int VesselEdges::*edge) {
      double sum = 0;
      for (std::size_t k = from; k <= i; ++k) sum += truths[k].*edge - zone.x;
      return static_cast<int>(sum / static_cast<double>(i - from + 1) + 0.5);
    };
    SCOPED_TRACE(i);
    EXPECT_EQ(events.results[i], (std::array<int, 4>{mean(&VesselEdges::outerLeft), mean(&VesselEdges::outerRight),
                                                     mean(&VesselEdges::lumenLeft), mean(&VesselEdges::lumenRight)}));
  }
}

TEST(VesselCameraTest, TruthFollowsTheGeometryOnTheSensor) {
  VesselCamera::Options o = Small(false);
  o.micronsPerPixel = 0.5;
  VesselCamera camera([](double) { return VesselGeometry{200.0, 150.0}; }, o);
  const VesselEdges e = camera.EdgesFor({200.0, 150.0});
  EXPECT_DOUBLE_EQ(e.exactOuterLeft, 403.3 - 200.0);
  EXPECT_DOUBLE_EQ(e.exactLumenRight, 403.3 + 150.0);
  EXPECT_EQ(e.outerLeft, 203);
  EXPECT_EQ(e.lumenLeft, 253);
  EXPECT_EQ(e.lumenRight, 553);
  EXPECT_EQ(e.outerRight, 603);
  // A vessel wider than the sensor is cut at its sides.
  const VesselEdges wide = camera.EdgesFor({1000.0, 900.0});
  EXPECT_EQ(wide.outerLeft, 0);
  EXPECT_EQ(wide.outerRight, 800);
  // A geometry that is no number draws no vessel (all edges on the axis).
  const VesselEdges none = camera.EdgesFor({std::nan(""), std::numeric_limits<double>::infinity()});
  EXPECT_EQ(none.outerLeft, 403);
  EXPECT_EQ(none.outerRight, 403);
}

TEST(VesselCameraTest, PictureHasDarkWallsBlurAndSeededNoise) {
  VesselCamera camera(Pulsating, Small(false));
  VesselFrame a, b, again;
  ASSERT_EQ(camera.Grab(5, a), GrabResult::Frame);
  ASSERT_EQ(camera.Grab(6, b), GrabResult::Frame);
  ASSERT_EQ(camera.Grab(5, again), GrabResult::Frame);
  EXPECT_EQ(a.pixels, again.pixels);  // the same frame index gives the same frame
  EXPECT_NE(a.pixels, b.pixels);
  EXPECT_DOUBLE_EQ(b.time - a.time, 1.0 / 37.0);

  // Column means and the spread of the background's pixels.
  const auto columnMean = [&a](int x) {
    double sum = 0;
    for (int y = 0; y < a.height; ++y) sum += a.pixels[static_cast<std::size_t>(y * a.width + x)];
    return sum / a.height;
  };
  const int wallMiddle = (a.truth.outerLeft + a.truth.lumenLeft) / 2;
  const int lumenMiddle = (a.truth.lumenLeft + a.truth.lumenRight) / 2;
  EXPECT_NEAR(columnMean(10), 200.0, 2.0);
  EXPECT_NEAR(columnMean(wallMiddle), 50.0, 2.0);
  EXPECT_NEAR(columnMean(lumenMiddle), 215.0, 2.0);
  double squares = 0;
  for (int y = 0; y < a.height; ++y)
    squares += std::pow(a.pixels[static_cast<std::size_t>(y * a.width + 10)] - 200.0, 2);
  EXPECT_NEAR(std::sqrt(squares / a.height), 8.0, 1.5);
  // Blurred: the wall's first column lies between background and wall.
  const double edge = columnMean(a.truth.outerLeft);
  EXPECT_GT(edge, 60.0);
  EXPECT_LT(edge, 190.0);

  // Exact: three grey levels and nothing between.
  VesselCamera exact(Pulsating, Small(true));
  VesselFrame e;
  ASSERT_EQ(exact.Grab(5, e), GrabResult::Frame);
  for (std::uint8_t p : e.pixels) ASSERT_TRUE(p == 200 || p == 50 || p == 215) << int(p);
}

TEST(VesselCameraTest, BrightfieldPictureHasWhatRealPicturesHave) {
  VesselCamera::Options o;
  o.look = VesselCamera::Look::kBrightfield;
  o.width = 600;
  o.height = 600;     // tall enough for column means to see through the walls' texture
  o.frameRate = 4.0;  // frame 45 lies a quarter of the drift's period in
  o.micronsPerPixel = 1.0;
  o.axis = 300.0;
  o.blurSigma = 1.3;
  o.noiseSigma = 5.0;
  VesselGeometry geometry{250.0, 220.0};
  VesselCamera camera([&](double) { return geometry; }, o);
  VesselFrame f, again, other;
  ASSERT_EQ(camera.Grab(0, f), GrabResult::Frame);
  ASSERT_EQ(camera.Grab(0, again), GrabResult::Frame);
  ASSERT_EQ(camera.Grab(1, other), GrabResult::Frame);
  EXPECT_EQ(f.pixels, again.pixels);
  EXPECT_NE(f.pixels, other.pixels);
  EXPECT_EQ(f.truth, camera.EdgesFor(geometry));  // no drift at time 0

  const auto column = [&f](double x, double* sd = nullptr) {
    const int c = static_cast<int>(x);
    double sum = 0, squares = 0;
    for (int y = 0; y < f.height; ++y) {
      const double v = f.pixels[static_cast<std::size_t>(y * f.width + c)];
      sum += v;
      squares += v * v;
    }
    const double mean = sum / f.height;
    if (sd) *sd = std::sqrt(squares / f.height - mean * mean);
    return mean;
  };
  // The background is uneven: about 170 on the left, 195 on the right.
  double backgroundSd = 0;
  EXPECT_NEAR(column(5, &backgroundSd), 183.0 - 25.0 * (0.5 - 5.5 / 600), 2.0);
  EXPECT_NEAR(column(595), 183.0 + 25.0 * (595.5 / 600 - 0.5), 2.0);
  // The lumen is about as bright as the background, and speckled.
  double lumenSd = 0;
  const double lumen = column(300, &lumenSd);
  EXPECT_NEAR(lumen, 183.0, 15.0);
  EXPECT_GT(lumenSd, 1.3 * backgroundSd);
  const VesselEdges& t = f.truth;
  for (const auto& [outer, inner] :
       {std::pair{t.exactOuterLeft, t.exactLumenLeft}, std::pair{t.exactOuterRight, t.exactLumenRight}}) {
    const double inward = inner > outer ? 1.0 : -1.0;  // from the outer edge towards the lumen
    // A bright halo just outside the wall.
    EXPECT_GT(column(outer - 3.0 * inward), column(outer - 20.0 * inward) + 3.0) << outer;
    // The wall is dark (grey 60 to 95 at its darkest) and textured along
    // the vessel.
    double darkest = 255.0;
    for (double x = outer; (x - inner) * inward < 0.0; x += inward) darkest = std::min(darkest, column(x));
    EXPECT_GE(darkest, 55.0) << outer;
    EXPECT_LE(darkest, 95.0) << outer;
    double wallSd = 0;
    column(outer + 0.4 * (inner - outer), &wallSd);
    EXPECT_GT(wallSd, 1.5 * backgroundSd);
    // It fades into the lumen over a ramp of several columns centred on the
    // lumen's edge: lighter at every step of two columns.
    double previous = column(inner - 4.0 * inward);
    for (const double step : {-2.0, 0.0, 2.0, 4.0}) {
      const double here = column(inner + step * inward);
      EXPECT_GT(here, previous + 3.0) << outer << " at " << step;
      previous = here;
    }
  }

  // A constricted vessel's lumen is darker.
  geometry = {170.0, 110.0};
  ASSERT_EQ(camera.Grab(0, other), GrabResult::Frame);
  double constricted = 0;
  for (int y = 0; y < other.height; ++y) constricted += other.pixels[static_cast<std::size_t>(y * other.width + 300)];
  EXPECT_LT(constricted / other.height, lumen - 8.0);
  geometry = {250.0, 220.0};

  // A quarter of the drift's period later the vessel lies its full drift
  // (12 pixels) to the right; the truth goes with it.
  ASSERT_EQ(camera.Grab(45, f), GrabResult::Frame);
  const VesselEdges rest = camera.EdgesFor(geometry);
  EXPECT_NEAR(f.truth.exactOuterLeft - rest.exactOuterLeft, 12.0, 1e-9);
  EXPECT_NEAR(f.truth.exactLumenRight - rest.exactLumenRight, 12.0, 1e-9);
  EXPECT_EQ(f.truth.outerLeft, rest.outerLeft + 12);
  EXPECT_LT(column(f.truth.exactOuterLeft + 1.5), column(f.truth.exactOuterLeft - 4.0) - 40.0);
}

TEST(VesselCameraTest, GainAndGammaChangeTheLevels) {
  VesselCamera camera(Pulsating, Small(true));
  VesselFrame f;
  camera.SetGain(0.5);
  ASSERT_EQ(camera.Grab(0, f), GrabResult::Frame);
  EXPECT_EQ(f.pixels[0], 100);
  camera.SetGain(1.0);
  camera.SetGamma(2.0);
  ASSERT_EQ(camera.Grab(0, f), GrabResult::Frame);
  EXPECT_EQ(f.pixels[0], static_cast<int>(std::round(255.0 * std::sqrt(200.0 / 255.0))));
}

TEST(VesselCameraTest, FaultsOnDemand) {
  VesselCamera camera(Pulsating, Small(true));
  VesselFrame f;

  camera.DropEvery(3);
  std::vector<GrabResult> results;
  for (std::uint64_t i = 0; i < 6; ++i) results.push_back(camera.Grab(i, f));
  EXPECT_EQ(results, (std::vector<GrabResult>{GrabResult::Frame, GrabResult::Frame, GrabResult::Dropped,
                                              GrabResult::Frame, GrabResult::Frame, GrabResult::Dropped}));
  camera.DropEvery(0);
  camera.DropNext(2);
  EXPECT_EQ(camera.Grab(10, f), GrabResult::Dropped);
  EXPECT_EQ(camera.Grab(11, f), GrabResult::Dropped);
  EXPECT_EQ(camera.Grab(12, f), GrabResult::Frame);
  EXPECT_EQ(f.index, 12u);

  camera.SetSize(640, 480);
  ASSERT_EQ(camera.Grab(13, f), GrabResult::Frame);
  EXPECT_EQ(f.width, 640);
  EXPECT_EQ(f.height, 480);
  EXPECT_EQ(f.pixels.size(), 640u * 480u);
  EXPECT_EQ(camera.Width(), 640);

  // Torn in either look: only the upper half's rows come.
  for (const VesselCamera::Look look : {VesselCamera::Look::kPlain, VesselCamera::Look::kBrightfield}) {
    VesselCamera::Options o = Small(false);
    o.look = look;
    VesselCamera torn(Pulsating, o);
    VesselFrame t;
    torn.SetTorn(true);
    ASSERT_EQ(torn.Grab(0, t), GrabResult::Frame);
    EXPECT_EQ(t.pixels.size(), 800u * 60u) << static_cast<int>(look);
    torn.SetTorn(false);
    ASSERT_EQ(torn.Grab(1, t), GrabResult::Frame);
    EXPECT_EQ(t.pixels.size(), 800u * 120u);
  }

  camera.Unplug();
  EXPECT_FALSE(camera.IsPresent());
  EXPECT_EQ(camera.Grab(14, f), GrabResult::Lost);
  EXPECT_EQ(f.index, 13u);  // a failed grab leaves the frame alone
}

TEST(VesselCameraTest, FramesOfThePreparationShowItsVessel) {
  double now = 50.0;
  auto preparation =
      std::make_shared<Preparation>([&now] { return now; }, Preparation::QuietModel(), PreparationControls{});
  VesselCamera::Options o = Small(true);
  o.frameRate = 10.0;
  VesselCamera camera(preparation, o);
  VesselFrame f;
  ASSERT_EQ(camera.Grab(0, f), GrabResult::Frame);
  EXPECT_DOUBLE_EQ(f.time, 50.0);
  EXPECT_EQ(f.geometry.outerDiameter, preparation->Read().vessel.outerDiameter);
  EXPECT_EQ(f.truth, camera.EdgesFor(f.geometry));
  ASSERT_EQ(camera.Grab(25, f), GrabResult::Frame);
  EXPECT_DOUBLE_EQ(f.time, 52.5);
}

}  // namespace
}  // namespace ORV::Sim

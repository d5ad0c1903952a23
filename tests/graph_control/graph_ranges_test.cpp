// SetRange with its conventions, the Y fit, the repaint throttle, the range
// queries, and the resumed scan against a full one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "graph_control/graph_model.h"
#include "platform/os/tick_source.h"

namespace ORV::Graph {
namespace {

struct RepaintCounter : GraphHost {
  int repaints = 0;
  void RepaintNow() override { ++repaints; }
};

// A graph whose repaint clock starts at tick 1000.
struct Fixture {
  OS::ManualTickSource ticks{1000};
  RepaintCounter host;
  GraphModel g{&host, &ticks};
  Fixture() {
    g.OnCreate();
    host.repaints = 0;
  }
  void Plot(std::initializer_list<std::pair<double, double>> pts) {
    for (auto [x, y] : pts) g.PlotXY(x, y, 0);
  }
};

TEST(GraphRanges, SetRangeConventions) {
  struct Case {
    const char* what;
    double xmin, xmax, ymin, ymax;
    bool fit;
    bool result;
    double XMin, XMax, YMin, YMax;
  };
  // Points with Y between 0 and 10 at X 0..10; the range starts at X 0..1, Y 0..1.
  const Case cases[] = {
      {"X only", 10, 20, -2, -2, true, true, 10, 20, 0, 1},
      {"Y only", -1, -1, 0, 5, false, true, 0, 1, 0, 5},
      {"Y far from the data", 0, 10, 0, 5000, false, false, 0, 10, 0, 1},
      {"Y near the data", 0, 10, -400, 400, false, true, 0, 10, -400, 400},
      {"equal Y bounds", 0, 10, 3, 3, true, true, 0, 1, 0, 1},
      {"reversed X", 10, 0, 0, 5, false, true, 0, 1, 0, 1},
      {"reversed Y", 0, 10, 5, 0, false, true, 0, 1, 0, 1},
      {"fit", 0, 10, 0, 1, true, true, 0, 10, -2, 12},
      {"no point in the window", 100, 200, 0, 5000, false, true, 100, 200, 0, 5000},
      {"NaN", std::nan(""), 20, -2, -2, false, false, 0, 1, 0, 1},
      {"infinite", 0, 10, 0, std::numeric_limits<double>::infinity(), false, false, 0, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    for (int i = 0; i <= 10; ++i) f.g.PlotXY(i, i, 0);
    EXPECT_EQ(f.g.SetRange(c.xmin, c.xmax, c.ymin, c.ymax, c.fit), c.result);
    EXPECT_DOUBLE_EQ(f.g.XMin(), c.XMin);
    EXPECT_DOUBLE_EQ(f.g.XMax(), c.XMax);
    EXPECT_DOUBLE_EQ(f.g.YMin(), c.YMin);
    EXPECT_DOUBLE_EQ(f.g.YMax(), c.YMax);
  }
}

TEST(GraphRanges, FitAddsADivisionOfMargin) {
  struct Case {
    double lo, hi;
    double YMin, YMax;
  };
  // YDivisions 5: the margin is the spread (at least 1) over 5.
  for (const Case& c : {Case{2, 6, 1.2, 6.8}, Case{2, 2.5, 1.8, 2.7}, Case{15000, 25000, 13000, 27000}}) {
    Fixture f;
    f.Plot({{1, c.lo}, {5, c.hi}, {20, 1e9}});
    EXPECT_TRUE(f.g.SetRange(0, 10, 0, 1, true));
    EXPECT_DOUBLE_EQ(f.g.YMin(), c.YMin);
    EXPECT_DOUBLE_EQ(f.g.YMax(), c.YMax);
  }
  // Hidden elements and points that are not finite take no part; with
  // nothing to fit, Y stays.
  Fixture f;
  f.Plot({{1, std::nan("")}, {2, std::numeric_limits<double>::infinity()}});
  f.g.AddElement();
  f.g.PlotXY(3, 50, 1);
  f.g.SetElementShow(false);
  EXPECT_TRUE(f.g.SetRange(0, 10, 0, 1, true));
  EXPECT_EQ(f.g.YMin(), 0);
  EXPECT_EQ(f.g.YMax(), 1);
  // Without UseAutoRange the requested Y is taken.
  f.g.SetUseAutoRange(false);
  f.g.SetRange(0, 10, 4, 9, true);
  EXPECT_EQ(f.g.YMin(), 4);
}

TEST(GraphRanges, RepaintsAtMostOnceInAQuarterSecond) {
  Fixture f;
  f.ticks.Advance(300);
  f.g.SetRange(0, 10, 0, 1, false);
  f.ticks.Advance(100);
  f.g.SetRange(0, 11, 0, 1, false);
  EXPECT_EQ(f.host.repaints, 1);
  f.ticks.Advance(151);
  f.g.SetRange(0, 12, 0, 1, false);
  EXPECT_EQ(f.host.repaints, 2);
  // The X-only path never repaints; the clock's wrap does not stop repaints.
  f.ticks.Advance(1000);
  f.g.SetRange(0, 12, -2, -2, false);
  EXPECT_EQ(f.host.repaints, 2);
  f.ticks.Set(0xFFFFFF00u);
  f.g.SetRange(0, 12, 0, 1, false);
  f.ticks.Set(200);
  f.g.SetRange(0, 12, 0, 1, false);
  EXPECT_EQ(f.host.repaints, 4);
}

TEST(GraphRanges, RangeQueriesOverTheWindow) {
  Fixture f;
  // No point in the window: 0.0 everywhere.
  double lo = -7, hi = -7;
  f.g.GetRangesMinAndMax(&lo, &hi);
  EXPECT_EQ(lo, 0.0);
  EXPECT_EQ(hi, 0.0);
  EXPECT_EQ(f.g.GetRangeMinY(), 0.0);
  EXPECT_EQ(f.g.GetRangeMaxY(), 0.0);

  f.Plot({{0.2, 1}, {0.8, 3}, {1.4, 100}, {2, 500}});
  f.g.SetRange(0, 1, -2, -2, false);
  f.g.GetRangesMinAndMax(&lo, &hi);  // X -0.5..1.5: Y 1..100, margin 99/40
  EXPECT_DOUBLE_EQ(lo, 1 - 99.0 / 40);
  EXPECT_DOUBLE_EQ(hi, 100 + 99.0 / 40);
  EXPECT_DOUBLE_EQ(f.g.GetRangeMinY(), 0.8);
  EXPECT_DOUBLE_EQ(f.g.GetRangeMaxY(), 3.2);
  // X -0.4..1.35: Y 1 and 3 only; either pointer may be null.
  f.g.SetRange(0.1, 0.85, -2, -2, false);
  f.g.GetRangesMinAndMax(&lo, nullptr);
  f.g.GetRangesMinAndMax(nullptr, &hi);
  EXPECT_DOUBLE_EQ(lo, 0.9);
  EXPECT_DOUBLE_EQ(hi, 3.1);

  // Values far above the old sentinels are found all the same.
  Fixture big;
  big.Plot({{0.5, 25000}, {0.6, 30000}});
  EXPECT_DOUBLE_EQ(big.g.GetRangeMinY(), 24999.8);
  big.g.GetRangesMinAndMax(&lo, &hi);
  EXPECT_DOUBLE_EQ(lo, 25000 - 125);
}

TEST(GraphRanges, AutoRangeFitsTheDataBounds) {
  Fixture f;
  f.Plot({{1.5, 2}, {7.2, 6}});
  f.g.AutoRange();
  EXPECT_EQ(f.g.XMin(), 1);
  EXPECT_EQ(f.g.XMax(), 8);
  EXPECT_DOUBLE_EQ(f.g.YMin(), 1.2);
  EXPECT_DOUBLE_EQ(f.g.YMax(), 6.8);

  // Without data the current ranges stand in for the bounds.
  Fixture empty;
  empty.g.SetRange(3, 4, 5, 6, false);
  empty.g.AutoRange();
  EXPECT_EQ(empty.g.XMin(), 3);
  EXPECT_EQ(empty.g.YMax(), 6);
}

// The Y extent of the shown elements' points with XMin <= X <= XMax, found
// by looking at every point.
std::pair<double, double> FullScan(const GraphModel& g) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const auto& e : g.Elements()) {
    if (!e->Shown) continue;
    for (const auto& p : e->Points())
      if (p.X >= g.XMin() && p.X <= g.XMax()) {
        lo = std::min(lo, p.Y);
        hi = std::max(hi, p.Y);
      }
  }
  return {lo, hi};
}

TEST(GraphRanges, ResumedScansGiveTheSameFitAsFullScans) {
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> op(0, 9);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int sequence = 0; sequence < 2000; ++sequence) {
    GraphModel g;
    double x = 0, windowStart = 0;
    const int elements = 1 + sequence % 3;
    for (int e = 1; e < elements; ++e) g.AddElement();
    for (int step = 0; step < 60; ++step) {
      const int o = op(rng);
      if (o < 5) {  // append a few points to one element
        const auto e = static_cast<std::int16_t>(rng() % g.Elements().size());
        for (int k = 0; k < 5; ++k) {
          x += unit(rng) < 0.2 ? 0 : unit(rng);
          g.PlotXY(x, unit(rng) * 100 - 50, e);
        }
      } else if (o < 8) {  // scroll forward, sometimes back
        windowStart = std::max(0.0, windowStart + (o == 7 ? -3 : 1) * unit(rng) * 4);
      } else if (o == 8) {
        g.DeleteElement(static_cast<std::int16_t>(rng() % g.Elements().size()));
      } else {
        g.SetElement(static_cast<std::int16_t>(rng() % g.Elements().size()));
        g.SetElementShow(unit(rng) < 0.8);
      }
      g.SetRange(windowStart, windowStart + 5, 0, 1, true);
      const auto [lo, hi] = FullScan(g);
      if (lo > hi) continue;  // nothing to fit: Y stays
      const double margin = std::max(hi - lo, 1.0) / 5;
      ASSERT_DOUBLE_EQ(g.YMin(), lo - margin) << "sequence " << sequence << " step " << step;
      ASSERT_DOUBLE_EQ(g.YMax(), hi + margin) << "sequence " << sequence << " step " << step;
    }
  }
}

TEST(GraphRanges, PointsOutOfOrderFallBackToAScan) {
  Fixture f;
  f.Plot({{5, 50}, {1, 10}, {3, 30}, {9, 90}});
  ASSERT_FALSE(f.g.Elements()[0]->SortedX());
  f.g.SetRange(2, 6, 0, 1, true);
  EXPECT_DOUBLE_EQ(f.g.YMin(), 30 - 4);
  EXPECT_DOUBLE_EQ(f.g.YMax(), 50 + 4);
  EXPECT_DOUBLE_EQ(f.g.GetRangeMaxY(), 50.2);
  // Overwriting an X out of order is noticed too.
  Fixture g2;
  g2.Plot({{1, 1}, {2, 2}, {3, 3}});
  g2.g.SetElementXValue(1, 0, 7);
  EXPECT_FALSE(g2.g.Elements()[0]->SortedX());
  g2.g.SetRange(5, 8, 0, 1, true);
  EXPECT_DOUBLE_EQ(g2.g.YMin(), 2 - 0.2);
}

}  // namespace
}  // namespace ORV::Graph

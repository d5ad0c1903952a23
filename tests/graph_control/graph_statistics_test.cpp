// The nearest-point look-up and the statistics over the selection.
#include <gtest/gtest.h>

#include <cmath>

#include "graph_control/graph_model.h"

namespace ORV::Graph {
namespace {

// A graph whose first element holds the points (x, y).
void PlotAll(GraphModel& g, std::initializer_list<std::pair<double, double>> pts) {
  for (auto [x, y] : pts) g.PlotXY(x, y, 0);
}

TEST(GraphStatistics, NearestIndexFromValue) {
  GraphModel g;
  EXPECT_EQ(g.NearestIndexFromValue(1.0), -1);
  PlotAll(g, {{0, 0}, {1, 0}, {2, 0}, {2, 0}, {3, 0}, {4, 0}});
  const std::pair<double, int> cases[] = {{-5, 0}, {0, 0},   {0.4, 0}, {0.5, 0}, {0.6, 1}, {1.9, 2},
                                          {2, 2},  {2.5, 2}, {2.6, 4}, {3.5, 4}, {4.5, 5}, {1e300, 5}};
  for (auto [x, expected] : cases) {
    EXPECT_EQ(g.NearestIndexFromValue(x), expected) << "x " << x;
    EXPECT_EQ(g.NearestIndexFromValue(x, 3), expected) << "x " << x;
  }
  EXPECT_EQ(g.NearestIndexFromValue(std::nan("")), -1);

  // Points out of order are searched one by one.
  GraphModel u;
  PlotAll(u, {{5, 0}, {1, 0}, {3, 0}});
  EXPECT_EQ(u.NearestIndexFromValue(2.9), 2);
  EXPECT_EQ(u.NearestIndexFromValue(0), 1);
}

struct Stat {
  double value;
  long count;
};

TEST(GraphStatistics, StatisticsUseThePointsInsideTheSelection) {
  // X 0..4, Y 2, 4, 6, 8, 10.
  struct Case {
    const char* what;
    double start, stop;
    Stat mean, max, min, slope;
  };
  const Case cases[] = {
      {"1.5..3.5", 1.5, 3.5, {7, 2}, {8, 2}, {6, 2}, {2, 2}},
      {"0.5..3.5", 0.5, 3.5, {6, 3}, {8, 3}, {4, 3}, {2, 3}},
      {"whole", -10, 10, {6, 5}, {10, 5}, {2, 5}, {2, 5}},
      {"bounds included", 1, 3, {6, 3}, {8, 3}, {4, 3}, {2, 3}},
      {"inside the first interval", 0.2, 0.8, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
      {"one point", 0.9, 1.1, {4, 1}, {4, 1}, {4, 1}, {0, 0}},
      {"start after stop", 3, 1, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
      {"stop 0", -3, 0, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GraphModel g;
    PlotAll(g, {{0, 2}, {1, 4}, {2, 6}, {3, 8}, {4, 10}});
    g.SelectTrace(c.start, c.stop);
    const Stat expected[] = {c.mean, c.max, c.min, c.slope};
    for (std::int16_t method = 0; method < 4; ++method) {
      // A previous statistic's figures never survive a failed one.
      g.SelectTrace(-10, 10);
      g.CalculateAnalysisValue(0);
      g.SelectTrace(c.start, c.stop);
      EXPECT_DOUBLE_EQ(g.CalculateAnalysisValue(method), expected[method].value) << "method " << method;
      EXPECT_EQ(g.GetNumberOfCalculatedAnalysisPoints(), expected[method].count) << "method " << method;
      if (expected[method].count == 0) {
        EXPECT_EQ(g.GetStandardDeviationOfCalculatedAnalysisPoints(), 0.0);
        EXPECT_EQ(g.GetStandardErrorOfCalculatedAnalysisPoints(), 0.0);
      }
    }
  }
}

TEST(GraphStatistics, MeanSetsDeviationAndError) {
  GraphModel g;
  PlotAll(g, {{0, 2}, {1, 4}, {2, 4}, {3, 4}, {4, 5}, {5, 5}, {6, 7}, {7, 9}});
  g.SelectTrace(-1, 8);
  EXPECT_DOUBLE_EQ(g.CalculateAnalysisValue(0), 5);
  const double sd = std::sqrt(32.0 / 7);
  EXPECT_DOUBLE_EQ(g.GetStandardDeviationOfCalculatedAnalysisPoints(), sd);
  EXPECT_DOUBLE_EQ(g.GetStandardErrorOfCalculatedAnalysisPoints(), sd / std::sqrt(8.0));
  // Maximum and minimum leave SD and SE as the mean set them.
  EXPECT_DOUBLE_EQ(g.CalculateAnalysisValue(1), 9);
  EXPECT_DOUBLE_EQ(g.GetStandardDeviationOfCalculatedAnalysisPoints(), sd);

  // One point: that value, SD 0 and SE 0.
  g.SelectTrace(2.5, 3.5);
  EXPECT_DOUBLE_EQ(g.CalculateAnalysisValue(0), 4);
  EXPECT_EQ(g.GetNumberOfCalculatedAnalysisPoints(), 1);
  EXPECT_EQ(g.GetStandardDeviationOfCalculatedAnalysisPoints(), 0.0);
  EXPECT_EQ(g.GetStandardErrorOfCalculatedAnalysisPoints(), 0.0);

  // An unknown method fails like an empty selection.
  EXPECT_EQ(g.CalculateAnalysisValue(4), 0.0);
  EXPECT_EQ(g.GetNumberOfCalculatedAnalysisPoints(), 0);
}

TEST(GraphStatistics, NegativeValuesGapsAndSelectionAccess) {
  GraphModel g;
  PlotAll(g, {{1, -7}, {2, std::nan("")}, {3, -3}, {4, -5}});
  g.SelectTrace(0.5, 4.5);
  double start = 0, stop = 0;
  g.GetActiveSelection(&start, &stop);
  EXPECT_EQ(start, 0.5);
  EXPECT_EQ(stop, 4.5);
  EXPECT_EQ(g.CalculateAnalysisValue(1), -3);
  EXPECT_EQ(g.CalculateAnalysisValue(2), -7);
  EXPECT_EQ(g.GetNumberOfCalculatedAnalysisPoints(), 3);  // the gap is no measurement
  // Only the first element counts.
  g.AddElement();
  g.PlotXY(2, 100, 1);
  EXPECT_EQ(g.CalculateAnalysisValue(1), -3);
}

}  // namespace
}  // namespace ORV::Graph

// The selection, the nearest-point look-up and the statistics over the
// selected points of the first element.
#include <algorithm>
#include <cmath>
#include <limits>

#include "graph_control/graph_model.h"

namespace ORV::Graph {

void GraphModel::SelectTrace(double start, double stop) {
  selStart_ = start;
  selStop_ = stop;
  Redraw();
}

void GraphModel::GetActiveSelection(double* start, double* stop) const {
  if (start) *start = selStart_;
  if (stop) *stop = selStop_;
}

std::int32_t GraphModel::NearestIndexFromValue(double x, std::int16_t /*element*/) const {
  if (elements_.empty() || std::isnan(x)) return -1;
  const GraphElement& e = *elements_.front();
  const auto& pts = e.Points();
  if (pts.empty()) return -1;
  std::size_t best = 0;
  if (e.SortedX()) {
    // The nearest point is the first at or beyond x or the one before it.
    const std::size_t i = e.LowerBound(x);
    if (i == pts.size()) {
      best = i - 1;
    } else if (i > 0 && x - pts[i - 1].X <= pts[i].X - x) {
      // Of equal X values the first one.
      best = e.LowerBound(pts[i - 1].X);
    } else {
      best = i;
    }
  } else {
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const double d = std::fabs(pts[i].X - x);
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
  }
  return best > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ? -1
                                                                                   : static_cast<std::int32_t>(best);
}

void GraphModel::FailStatistic() {
  lastCount_ = 0;
  lastSD_ = 0.0;
  lastSE_ = 0.0;
}

double GraphModel::CalculateAnalysisValue(std::int16_t method) {
  if (method < 0 || method > 3) {
    FailStatistic();
    return 0.0;
  }
  // One pass: count, sums for the mean and slope, extremes; a second pass
  // for the deviations once the means are known.
  long count = 0;
  double sumX = 0.0, sumY = 0.0;
  double maxY = -std::numeric_limits<double>::infinity(), minY = std::numeric_limits<double>::infinity();
  ForEachSelectedPoint([&](const ElementPoint& p) {
    ++count;
    sumX += p.X;
    sumY += p.Y;
    maxY = std::max(maxY, p.Y);
    minY = std::min(minY, p.Y);
  });
  if (count == 0) {
    FailStatistic();
    return 0.0;
  }
  const auto n = static_cast<double>(count);
  const double mx = sumX / n, my = sumY / n;
  double result = 0.0;
  switch (method) {
    case 0: {
      double squares = 0.0;
      ForEachSelectedPoint([&](const ElementPoint& p) { squares += (p.Y - my) * (p.Y - my); });
      lastSD_ = std::sqrt(squares / (count > 1 ? n - 1 : n));
      lastSE_ = lastSD_ / std::sqrt(n);
      result = my;
      break;
    }
    case 1:
      result = maxY;
      break;
    case 2:
      result = minY;
      break;
    case 3: {
      double sxy = 0.0, sxx = 0.0;
      ForEachSelectedPoint([&](const ElementPoint& p) {
        sxy += (p.X - mx) * (p.Y - my);
        sxx += (p.X - mx) * (p.X - mx);
      });
      // Points that all share one X have no slope.
      if (!(sxx > 0.0)) {
        FailStatistic();
        return 0.0;
      }
      result = sxy / sxx;
      break;
    }
  }
  lastCount_ = count;
  return result;
}

}  // namespace ORV::Graph

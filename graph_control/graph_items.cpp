#include "graph_control/graph_items.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ORV::Graph {

void GraphElement::Append(double x, double y) {
  // NaN X also breaks the order: comparisons with it are false.
  if (!points_.empty() && !(x >= points_.back().X)) sortedX_ = false;
  if (points_.empty() && std::isnan(x)) sortedX_ = false;
  points_.push_back({x, y});
  if (x < MinX) MinX = x;
  if (x > MaxX) MaxX = x;
  if (y < MinY) MinY = y;
  if (y > MaxY) MaxY = y;
  HasData = true;
}

void GraphElement::SetX(std::size_t index, double x) {
  points_[index].X = x;
  if (std::isnan(x) || (index > 0 && x < points_[index - 1].X) ||
      (index + 1 < points_.size() && x > points_[index + 1].X))
    sortedX_ = false;
}

std::size_t GraphElement::LowerBound(double lo, std::size_t from) const {
  from = std::min(from, points_.size());
  return static_cast<std::size_t>(std::partition_point(points_.begin() + static_cast<std::ptrdiff_t>(from),
                                                       points_.end(),
                                                       [lo](const ElementPoint& p) { return p.X < lo; }) -
                                  points_.begin());
}

std::pair<std::size_t, std::size_t> GraphElement::RangeOf(double lo, double hi) const {
  if (!sortedX_) return {0, points_.size()};
  const std::size_t first = LowerBound(lo);
  const auto last = std::partition_point(points_.begin() + static_cast<std::ptrdiff_t>(first), points_.end(),
                                         [hi](const ElementPoint& p) { return p.X <= hi; });
  return {first, static_cast<std::size_t>(last - points_.begin())};
}

std::int64_t MillisecondsOf(double x) {
  const double ms = std::trunc(x * 1000.0);
  if (std::isnan(ms)) return 0;
  // 2^63 is exactly representable; anything at or beyond it saturates.
  constexpr double kLimit = 9223372036854775808.0;
  if (ms >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (ms < -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(ms);
}

}  // namespace ORV::Graph

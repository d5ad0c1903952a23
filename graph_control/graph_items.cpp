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
  if ((points_.size() - 1) % kBlock == 0)
    blocks_.push_back({std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), false});
  YBlock& b = blocks_.back();
  if (std::isfinite(y)) {
    b.lo = std::min(b.lo, y);
    b.hi = std::max(b.hi, y);
  } else {
    b.gap = true;
  }
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

void GraphElement::Summarise(std::size_t block) {
  const std::size_t first = block * kBlock, last = std::min(points_.size(), first + kBlock);
  YBlock b{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), false};
  for (std::size_t i = first; i < last; ++i) {
    const double y = points_[i].Y;
    if (!std::isfinite(y)) {
      b.gap = true;
      continue;
    }
    b.lo = std::min(b.lo, y);
    b.hi = std::max(b.hi, y);
  }
  blocks_[block] = b;
}

bool GraphElement::YExtent(std::size_t first, std::size_t last, double& lo, double& hi) const {
  lo = std::numeric_limits<double>::infinity();
  hi = -lo;
  auto point = [&](std::size_t i) {
    const double y = points_[i].Y;
    if (!std::isfinite(y)) return false;
    lo = std::min(lo, y);
    hi = std::max(hi, y);
    return true;
  };
  std::size_t i = first;
  for (; i < last && i % kBlock != 0; ++i)
    if (!point(i)) return false;
  for (; i + kBlock <= last; i += kBlock) {
    const YBlock& b = blocks_[i / kBlock];
    if (b.gap) return false;
    lo = std::min(lo, b.lo);
    hi = std::max(hi, b.hi);
  }
  for (; i < last; ++i)
    if (!point(i)) return false;
  return true;
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

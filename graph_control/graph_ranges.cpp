// The visible ranges: SetRange with its conventions, the Y fit, the repaint
// throttle and the range queries.
#include <algorithm>
#include <cmath>
#include <limits>

#include "graph_control/graph_model.h"

namespace ORV::Graph {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// SetRange repaints at most once in this many milliseconds.
constexpr std::uint32_t kRepaintIntervalMs = 250;

// Folds the points of `e` with lo <= X <= hi from index `from` on into the
// running extent; returns the index of the first point at or beyond lo (the
// point count when there is none). Points whose Y is not finite are gaps.
template <class Extent>
std::size_t FoldY(const GraphElement& e, double lo, double hi, std::size_t from, Extent& ext) {
  const auto& pts = e.Points();
  if (e.SortedX()) {
    const std::size_t first = e.LowerBound(lo, from);
    for (std::size_t i = first; i < pts.size() && pts[i].X <= hi; ++i) ext.Add(pts[i].Y);
    return first;
  }
  for (const ElementPoint& p : pts)
    if (p.X >= lo && p.X <= hi) ext.Add(p.Y);
  return pts.size();
}

struct Extent {
  double lo = kInf, hi = -kInf;
  long count = 0;
  void Add(double y) {
    if (!std::isfinite(y)) return;
    lo = std::min(lo, y);
    hi = std::max(hi, y);
    ++count;
  }
};

}  // namespace

GraphModel::ScanResult GraphModel::ScanVisibleY() {
  Extent ext;
  for (const auto& e : elements_) {
    if (!e->Shown || !e->HasData) continue;
    // The scan may start where the previous one found the window's first
    // point, when every point before that still lies left of XMin.
    std::size_t from = 0;
    if (scanResume_ && scanResume_->elementId == e->Id() && e->SortedX() && scanResume_->index <= e->Count() &&
        (scanResume_->index == 0 || e->Points()[scanResume_->index - 1].X < xMin_))
      from = scanResume_->index;
    scanResume_.reset();
    const std::size_t first = FoldY(*e, xMin_, xMax_, from, ext);
    if (e->SortedX() && first < e->Count()) scanResume_ = ScanResume{e->Id(), first};
  }
  return {ext.lo, ext.hi, ext.count};
}

GraphModel::ScanResult GraphModel::ScanY(double lo, double hi) const {
  Extent ext;
  for (const auto& e : elements_)
    if (e->Count() > 0) FoldY(*e, lo, hi, 0, ext);
  return {ext.lo, ext.hi, ext.count};
}

bool GraphModel::SetRange(double xmin, double xmax, double ymin, double ymax, bool autoFit) {
  // A bound that is not a number is refused; the ranges stay as they were.
  if (!std::isfinite(xmin) || !std::isfinite(xmax) || !std::isfinite(ymin) || !std::isfinite(ymax)) return false;
  // -2 for both Y bounds: X only, no repaint.
  if (ymin == -2 && ymax == -2 && xmin != -1 && xmax != -1) {
    xMin_ = xmin;
    xMax_ = xmax;
    return true;
  }
  if (ymin == ymax || xmin > xmax || ymin > ymax) return true;
  // -1 for both X bounds: Y only.
  if (xmin != -1 && xmax != -1) {
    xMin_ = xmin;
    xMax_ = xmax;
  }
  bool result = true;
  if (ymin != -1 && ymax != -1) {
    const ScanResult s = ScanVisibleY();
    if (autoFit && props_.UseAutoRange && !elements_.empty()) {
      // With no point in the window there is nothing to fit: Y stays.
      if (s.count > 0) {
        const double d = s.hi - s.lo;
        const double margin = std::max(d, 1.0) / std::max(yDivisions_, 1);
        yMin_ = s.lo - margin;
        yMax_ = s.hi + margin;
      }
    } else if (s.count == 0 || (ymin > s.lo - 500 && ymax < s.hi + 500)) {
      yMin_ = ymin;
      yMax_ = ymax;
    } else {
      result = false;
    }
  }
  if (static_cast<std::uint32_t>(Now() - lastRedrawTick_) > kRepaintIntervalMs) {
    if (host_) host_->RepaintNow();
    lastRedrawTick_ = Now();
  }
  return result;
}

void GraphModel::AutoRange() {
  if (!bounds_.valid) {
    bounds_.minX = xMin_;
    bounds_.maxX = xMax_;
    bounds_.minY = yMin_;
    bounds_.maxY = yMax_;
  }
  SetRange(bounds_.minX, bounds_.maxX, bounds_.minY, bounds_.maxY, true);
}

void GraphModel::RestoreSavedRange() { SetRange(saved_.xMin, saved_.xMax, saved_.yMin, saved_.yMax, false); }

double GraphModel::GetRangeMinY() const {
  const ScanResult s = ScanY(xMin_, xMax_);
  return s.count ? s.lo - 0.2 : 0.0;
}

double GraphModel::GetRangeMaxY() const {
  const ScanResult s = ScanY(xMin_, xMax_);
  return s.count ? s.hi + 0.2 : 0.0;
}

void GraphModel::GetRangesMinAndMax(double* min, double* max) const {
  const ScanResult s = ScanY(xMin_ - 0.5, xMax_ + 0.5);
  double lo = 0.0, hi = 0.0;
  if (s.count) {
    const double m = std::max((s.hi - s.lo) / 20 * 0.5, 0.1);
    lo = s.lo - m;
    hi = s.hi + m;
  }
  if (min) *min = lo;
  if (max) *max = hi;
}

}  // namespace ORV::Graph

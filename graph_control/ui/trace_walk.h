#pragma once
// Turning a trace's points into the lines, bars and symbols drawn for it.
//
// Points are turned into pixels in double and clamped into the clip
// rectangle before they become integers, so far points cannot overflow; a
// point with a coordinate that is not finite is a gap in the line. A segment
// that runs along one edge of the clip rectangle is not drawn (points beyond
// the visible range collapse onto that edge).
#include <QLine>
#include <QPoint>
#include <QRect>
#include <cstddef>
#include <vector>

#include "graph_control/graph_items.h"

namespace ORV::Graph {

class PixelMapper {
 public:
  // `left`/`bottom` are the plot's origin edges, `clip` the inclusive pixel
  // bounds points are clamped into; the scales are pixels per data unit.
  PixelMapper(int left, int bottom, double xMin, double yMin, double xPixelsPerUnit, double yPixelsPerUnit,
              const QRect& clip);
  // False for a gap.
  bool Map(const ElementPoint& p, QPoint& out) const {
    double tx = (p.X - xMin_) * xPerUnit_ + 0.5;
    double ty = (p.Y - yMin_) * yPerUnit_ + 0.5;
    if (!(tx - tx == 0) || !(ty - ty == 0)) return false;  // NaN or infinite
    tx = tx < txLo_ ? txLo_ : (tx > txHi_ ? txHi_ : tx);
    ty = ty < tyLo_ ? tyLo_ : (ty > tyHi_ ? tyHi_ : ty);
    out = QPoint(left_ + static_cast<int>(tx), bottom_ - static_cast<int>(ty));
    return true;
  }
  // The pixel row of y clamped into the clip rectangle (its bottom for a gap).
  int Row(double y) const;
  // The pixel column of a finite x, as Map gives it.
  int Column(double x) const {
    double tx = (x - xMin_) * xPerUnit_ + 0.5;
    tx = tx < txLo_ ? txLo_ : (tx > txHi_ ? txHi_ : tx);
    return left_ + static_cast<int>(tx);
  }
  const QRect& Clip() const { return clip_; }

 private:
  int left_, bottom_;
  double xMin_, yMin_, xPerUnit_, yPerUnit_;
  double txLo_, txHi_, tyLo_, tyHi_;
  QRect clip_;
};

// The shapes of one trace, drawn afterwards in one go each.
struct TraceShapes {
  std::vector<QLine> lines;
  std::vector<QRect> bars;
  void Clear() {
    lines.clear();
    bars.clear();
  }
};

// Line types: 0-4 straight lines (solid, dash, dot, dash-dot, dash-dot-dot),
// 5 none, 6 step horizontal first, 7 step vertical first, 8 bars down to
// the baseline, 9 line with a stem to the baseline.
//
// Walks points [begin, end). With `reduce` each pixel column contributes only
// its first, lowest, highest and last point (in their order), which covers
// the same pixels for the solid, step and bar types; the caller decides when
// that holds. Stems are drawn only for points with xLo <= X <= xHi.
void WalkLines(const std::vector<ElementPoint>& points, std::size_t begin, std::size_t end, const PixelMapper& map,
               int lineType, int baseline, double xLo, double xHi, bool reduce, TraceShapes& out);

// WalkLines with the reduction, for an element whose points are sorted by X
// and a line type that allows it: the points [visibleBegin, visibleEnd)
// (whose X lie in the window) are split into pixel columns by binary search
// and each column's lowest and highest Y come from the element's block
// extents, so the cost follows the plot's width; the points before and
// after the window are walked one by one.
void WalkLinesSorted(const GraphElement& e, std::size_t begin, std::size_t visibleBegin, std::size_t visibleEnd,
                     std::size_t end, const PixelMapper& map, int lineType, int baseline, TraceShapes& out);

// True when reducing points per column leaves the picture of this line type
// unchanged.
bool LineTypeReducible(int lineType);

}  // namespace ORV::Graph

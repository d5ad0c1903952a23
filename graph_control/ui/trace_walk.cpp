#include "graph_control/ui/trace_walk.h"

#include <algorithm>
#include <cmath>

namespace ORV::Graph {

PixelMapper::PixelMapper(int left, int bottom, double xMin, double yMin, double xPixelsPerUnit, double yPixelsPerUnit,
                         const QRect& clip)
    : left_(left),
      bottom_(bottom),
      xMin_(xMin),
      yMin_(yMin),
      xPerUnit_(xPixelsPerUnit),
      yPerUnit_(yPixelsPerUnit),
      // The clamp limits are whole numbers, so truncation inside them stays
      // inside the clip rectangle.
      txLo_(clip.left() - left),
      txHi_(clip.right() - left),
      tyLo_(bottom - clip.bottom()),
      tyHi_(bottom - clip.top()),
      clip_(clip) {}

int PixelMapper::Row(double y) const {
  QPoint p;
  return Map({xMin_, y}, p) ? p.y() : clip_.bottom();
}

namespace {

// Turns the pixel points of a trace, in order, into its shapes.
class LineEmitter {
 public:
  LineEmitter(const QRect& clip, int lineType, int baseline, TraceShapes& out)
      : clip_(clip), type_(lineType), baseline_(baseline), out_(out) {}

  void Gap() { have_ = false; }

  void Point(QPoint p, bool stem) {
    if (have_ && p == q_) return;  // same pixel as the previous point
    if (!have_) {
      have_ = true;
      q_ = p;
      return;
    }
    const bool edge =
        (q_.x() == clip_.left() && p.x() == clip_.left()) || (q_.x() == clip_.right() && p.x() == clip_.right()) ||
        (q_.y() == clip_.top() && p.y() == clip_.top()) || (q_.y() == clip_.bottom() && p.y() == clip_.bottom());
    switch (type_) {
      case 5:
        break;
      case 6:
        if (!edge) Polyline({q_, QPoint(p.x(), q_.y()), p});
        break;
      case 7:
        if (!edge) Polyline({q_, QPoint(q_.x(), p.y()), p});
        break;
      case 8:
        Bar(q_, p);
        break;
      case 9:
        if (!edge) Line(q_, p);
        if (stem) Line(p, QPoint(p.x(), baseline_));
        break;
      default:
        if (!edge) Line(q_, p);
        break;
    }
    q_ = p;
  }

 private:
  void Line(QPoint a, QPoint b) {
    if (a != b) out_.lines.emplace_back(a, b);
  }
  void Polyline(std::initializer_list<QPoint> pts) {
    const QPoint* prev = nullptr;
    for (const QPoint& p : pts) {
      if (prev) Line(*prev, p);
      prev = &p;
    }
  }
  // The rectangle from Q to (P.x, baseline); the far column and row are not
  // filled, and an empty one draws nothing.
  void Bar(QPoint q, QPoint p) {
    const int x0 = std::min(q.x(), p.x()), x1 = std::max(q.x(), p.x());
    const int y0 = std::min(q.y(), baseline_), y1 = std::max(q.y(), baseline_);
    if (x1 > x0 && y1 > y0) out_.bars.emplace_back(x0, y0, x1 - x0, y1 - y0);
  }

  QRect clip_;
  int type_;
  int baseline_;
  TraceShapes& out_;
  bool have_ = false;
  QPoint q_;
};

// The points of one pixel column, reduced to the first, the lowest, the
// highest and the last.
class ColumnReducer {
 public:
  explicit ColumnReducer(LineEmitter& emitter) : emitter_(emitter) {}

  void Add(std::size_t i, QPoint p) {
    if (open_ && p.x() == first_.p.x()) {
      if (p.y() < top_.p.y()) top_ = {i, p};
      if (p.y() > bottom_.p.y()) bottom_ = {i, p};
      last_ = {i, p};
      return;
    }
    Flush();
    open_ = true;
    first_ = top_ = bottom_ = last_ = {i, p};
  }

  void Flush() {
    if (!open_) return;
    open_ = false;
    emitter_.Point(first_.p, false);
    const Indexed& a = top_.i < bottom_.i ? top_ : bottom_;
    const Indexed& b = top_.i < bottom_.i ? bottom_ : top_;
    emitter_.Point(a.p, false);
    emitter_.Point(b.p, false);
    emitter_.Point(last_.p, false);
  }

 private:
  struct Indexed {
    std::size_t i = 0;
    QPoint p;
  };
  LineEmitter& emitter_;
  bool open_ = false;
  Indexed first_, top_, bottom_, last_;
};

}  // namespace

bool LineTypeReducible(int lineType) { return !(lineType >= 1 && lineType <= 4) && lineType != 9; }

void WalkLines(const std::vector<ElementPoint>& points, std::size_t begin, std::size_t end, const PixelMapper& map,
               int lineType, int baseline, double xLo, double xHi, bool reduce, TraceShapes& out) {
  LineEmitter emitter(map.Clip(), lineType, baseline, out);
  QPoint p;
  if (!reduce) {
    for (std::size_t i = begin; i < end; ++i) {
      if (map.Map(points[i], p))
        emitter.Point(p, points[i].X >= xLo && points[i].X <= xHi);
      else
        emitter.Gap();
    }
    return;
  }
  ColumnReducer column(emitter);
  for (std::size_t i = begin; i < end; ++i) {
    if (map.Map(points[i], p)) {
      column.Add(i, p);
    } else {
      column.Flush();
      emitter.Gap();
    }
  }
  column.Flush();
}

void WalkLinesSorted(const GraphElement& e, std::size_t begin, std::size_t visibleBegin, std::size_t visibleEnd,
                     std::size_t end, const PixelMapper& map, int lineType, int baseline, TraceShapes& out) {
  // A column with few points is cheaper to walk than to search.
  constexpr std::size_t kShortRun = 16;
  const auto& pts = e.Points();
  LineEmitter emitter(map.Clip(), lineType, baseline, out);
  ColumnReducer column(emitter);
  QPoint p;
  auto walk = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (map.Map(pts[i], p)) {
        column.Add(i, p);
      } else {
        column.Flush();
        emitter.Gap();
      }
    }
  };
  walk(begin, visibleBegin);
  for (std::size_t i = visibleBegin; i < visibleEnd;) {
    const int x = map.Column(pts[i].X);
    const auto next = std::partition_point(pts.begin() + static_cast<std::ptrdiff_t>(i),
                                           pts.begin() + static_cast<std::ptrdiff_t>(visibleEnd),
                                           [&](const ElementPoint& q) { return map.Column(q.X) <= x; });
    const auto j = static_cast<std::size_t>(next - pts.begin());
    double lo = 0, hi = 0;
    if (j - i <= kShortRun || !e.YExtent(i, j, lo, hi)) {
      walk(i, j);  // few points, or a gap among them
    } else {
      // The first, the highest, the lowest and the last point of the column.
      QPoint top, bottom, last;
      map.Map(pts[i], p);
      map.Map({pts[i].X, hi}, top);
      map.Map({pts[i].X, lo}, bottom);
      map.Map(pts[j - 1], last);
      column.Add(i, p);
      column.Add(i + 1, top);
      column.Add(i + 2, bottom);
      column.Add(j - 1, last);
    }
    i = j;
  }
  walk(visibleEnd, end);
  column.Flush();
}

}  // namespace ORV::Graph

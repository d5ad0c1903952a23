#include "platform/ui/tracking/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ORV::Video {

RectI RectI::Normalized() const {
  return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

void Matrix::Append(const Matrix& o) {
  Matrix r;
  r.m11 = m11 * o.m11 + m12 * o.m21;
  r.m12 = m11 * o.m12 + m12 * o.m22;
  r.m21 = m21 * o.m11 + m22 * o.m21;
  r.m22 = m21 * o.m12 + m22 * o.m22;
  r.dx = dx * o.m11 + dy * o.m21 + o.dx;
  r.dy = dx * o.m12 + dy * o.m22 + o.dy;
  *this = r;
}

void Matrix::Rotate(double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  const double c = std::cos(a);
  const double s = std::sin(a);
  Append({c, s, -s, c, 0, 0});
}

bool Matrix::IsFinite() const {
  for (double v : {m11, m12, m21, m22, dx, dy})
    if (!std::isfinite(v)) return false;
  return true;
}

void ShapePath::MoveTo(PointF p) {
  points_.push_back(p);
  types_.push_back(kPathStart);
  figureOpen_ = true;
}

void ShapePath::LineTo(PointF p) {
  if (!figureOpen_) return MoveTo(p);
  points_.push_back(p);
  types_.push_back(kPathLine);
}

void ShapePath::BezierTo(PointF c1, PointF c2, PointF p) {
  if (!figureOpen_) MoveTo(points_.empty() ? c1 : points_.back());
  for (PointF q : {c1, c2, p}) {
    points_.push_back(q);
    types_.push_back(kPathBezier);
  }
}

void ShapePath::CloseFigure() {
  if (!types_.empty() && figureOpen_) types_.back() |= kPathClose;
  figureOpen_ = false;
}

void ShapePath::AddLine(PointF a, PointF b) {
  MoveTo(a);
  LineTo(b);
  figureOpen_ = false;
}

void ShapePath::AddRectangle(double x, double y, double width, double height) {
  MoveTo({x, y});
  LineTo({x + width, y});
  LineTo({x + width, y + height});
  LineTo({x, y + height});
  CloseFigure();
}

void ShapePath::Clear() {
  points_.clear();
  types_.clear();
  figureOpen_ = false;
}

void ShapePath::Transform(const Matrix& m) {
  for (PointF& p : points_) p = m.Map(p);
}

std::vector<std::vector<PointF>> ShapePath::Flatten() const {
  std::vector<std::vector<PointF>> figures;
  for (std::size_t i = 0; i < points_.size(); ++i) {
    const int kind = types_[i] & kPathTypeMask;
    if (kind == kPathStart || figures.empty()) {
      figures.emplace_back();
      figures.back().push_back(points_[i]);
    } else if (kind == kPathBezier && i + 2 < points_.size()) {
      const PointF p0 = figures.back().back();
      const PointF c1 = points_[i], c2 = points_[i + 1], p3 = points_[i + 2];
      constexpr int kSteps = 16;
      for (int k = 1; k <= kSteps; ++k) {
        const double t = double(k) / kSteps, u = 1.0 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        figures.back().push_back(
            {a * p0.x + b * c1.x + c * c2.x + d * p3.x, a * p0.y + b * c1.y + c * c2.y + d * p3.y});
      }
      i += 2;
    } else {
      figures.back().push_back(points_[i]);
    }
  }
  return figures;
}

void ShapePath::Bounds(double& left, double& top, double& right, double& bottom) const {
  left = top = right = bottom = 0.0;
  bool first = true;
  for (const auto& figure : Flatten())
    for (PointF p : figure) {
      if (first) {
        left = right = p.x;
        top = bottom = p.y;
        first = false;
      }
      left = std::min(left, p.x);
      right = std::max(right, p.x);
      top = std::min(top, p.y);
      bottom = std::max(bottom, p.y);
    }
}

RectI ShapePath::IntegerBounds() const {
  if (points_.empty()) return {};
  double l, t, r, b;
  Bounds(l, t, r, b);
  return {int(std::floor(l)), int(std::floor(t)), int(std::ceil(r)), int(std::ceil(b))};
}

bool ShapePath::IsVisible(PointF p) const {
  bool inside = false;
  for (const auto& figure : Flatten()) {
    const std::size_t n = figure.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
      const PointF a = figure[i], b = figure[j];
      if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
  }
  return inside;
}

}  // namespace ORV::Video

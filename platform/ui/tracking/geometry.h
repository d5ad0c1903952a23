#pragma once
// Plane geometry of the shape trackers: points, integer rectangles, affine
// matrices composed in append order, and shape paths of lines and cubic
// Bézier curves. Free of any toolkit so that the tracker model runs headless.
#include <cstdint>
#include <vector>

namespace ORV::Video {

struct PointF {
  double x = 0.0;
  double y = 0.0;
  friend bool operator==(const PointF&, const PointF&) = default;
};

// Edges as a window rectangle: left and top inside, right and bottom outside.
struct RectI {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  RectI Normalized() const;
  RectI Inflated(int dx, int dy) const { return {left - dx, top - dy, right + dx, bottom + dy}; }
  bool Contains(PointF p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const RectI&, const RectI&) = default;
};

// An affine map of row vectors: (x, y) -> (x m11 + y m21 + dx, x m12 + y m22 + dy).
// Every operation is appended: it acts after what the matrix already holds.
struct Matrix {
  double m11 = 1.0, m12 = 0.0, m21 = 0.0, m22 = 1.0, dx = 0.0, dy = 0.0;

  void Reset() { *this = Matrix{}; }
  bool IsIdentity() const { return *this == Matrix{}; }
  void Append(const Matrix& op);
  void Translate(double x, double y) { Append({1, 0, 0, 1, x, y}); }
  void Scale(double sx, double sy) { Append({sx, 0, 0, sy, 0, 0}); }
  void Rotate(double degrees);
  // x' = x + shearX y, y' = shearY x + y.
  void Shear(double shearX, double shearY) { Append({1, shearY, shearX, 1, 0, 0}); }
  PointF Map(PointF p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
  bool IsFinite() const;
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

// Point kinds of a shape path; kPathClose marks the last point of a closed
// figure.
enum : std::uint8_t { kPathStart = 0, kPathLine = 1, kPathBezier = 3, kPathTypeMask = 7, kPathClose = 0x80 };

class ShapePath {
 public:
  void StartFigure() { figureOpen_ = false; }
  void MoveTo(PointF p);
  void LineTo(PointF p);
  void BezierTo(PointF c1, PointF c2, PointF p);
  void CloseFigure();
  void AddLine(PointF a, PointF b);
  void AddRectangle(double x, double y, double width, double height);
  void Clear();

  const std::vector<PointF>& Points() const { return points_; }
  const std::vector<std::uint8_t>& Types() const { return types_; }
  std::size_t PointCount() const { return points_.size(); }
  bool Empty() const { return points_.empty(); }

  void Transform(const Matrix& m);
  // The figures as polygons, curves flattened into line pieces.
  std::vector<std::vector<PointF>> Flatten() const;
  // The float bounds: left, top, right, bottom of the flattened points.
  void Bounds(double& left, double& top, double& right, double& bottom) const;
  // Whole pixels covering the float bounds: floor of the minimum, ceiling of
  // the maximum. Empty for a path without points.
  RectI IntegerBounds() const;
  // Whether the point lies inside the filled path (alternate rule, every
  // figure closed).
  bool IsVisible(PointF p) const;

 private:
  std::vector<PointF> points_;
  std::vector<std::uint8_t> types_;
  bool figureOpen_ = false;
};

}  // namespace ORV::Video

#pragma once
// The items the graph holds: elements (traces) with their points, annotations
// (text labels at a position) and cursors (marker lines), and the font and
// colour values its properties carry. No Qt here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ORV::Graph {

// A colour as the program stores it: 0x00BBGGRR.
using ColorRef = std::uint32_t;

// A font as the control's properties describe it.
struct FontDesc {
  std::string face;
  double points = 8.0;
  int weight = 400;
  int charset = 0;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool operator==(const FontDesc&) const = default;
};

struct ElementPoint {
  double X = 0.0;
  double Y = 0.0;
};

// One trace. Its points are kept in the order plotted; every caller of the
// program plots X non-decreasing, and `SortedX` remembers whether that still
// holds so that a visible range is found by binary search (and by a plain
// scan once some caller broke the order).
class GraphElement {
 public:
  explicit GraphElement(std::string name, std::uint64_t id) : Name(std::move(name)), id_(id) {}

  bool Shown = true;
  bool HasData = false;
  ColorRef LineColor = 0;
  ColorRef PointColor = 0;
  std::int32_t LineType = 0;
  std::int32_t Width = 0;
  std::int32_t PointSymbol = 0;
  bool SolidPoint = true;
  std::string Name;
  // The element's own data bounds; they start at 0, so they always include 0.
  double MinX = 0.0, MinY = 0.0, MaxX = 0.0, MaxY = 0.0;

  const std::vector<ElementPoint>& Points() const { return points_; }
  std::size_t Count() const { return points_.size(); }
  bool SortedX() const { return sortedX_; }
  // A number no other element of the same graph ever had.
  std::uint64_t Id() const { return id_; }

  // Appends a point, widens the element's bounds and sets HasData.
  void Append(double x, double y);
  // Overwrites one coordinate of an existing point (bounds are not touched).
  void SetX(std::size_t index, double x);
  void SetY(std::size_t index, double y) {
    points_[index].Y = y;
    Summarise(index / kBlock);
  }

  // Indices [first, last) of the points with lo <= X <= hi when the points
  // are sorted by X; for unsorted points the whole list (callers filter).
  std::pair<std::size_t, std::size_t> RangeOf(double lo, double hi) const;
  // First index at or after `from` whose X is not below lo (sorted points).
  std::size_t LowerBound(double lo, std::size_t from = 0) const;

  // The lowest and highest Y of points [first, last); false when one of
  // them is not finite. Costs one step per block of points, so drawing a
  // long trace zoomed out follows the plot's width.
  bool YExtent(std::size_t first, std::size_t last, double& lo, double& hi) const;

 private:
  // The Y extent of each block of kBlock points, kept on append.
  static constexpr std::size_t kBlock = 64;
  struct YBlock {
    double lo, hi;
    bool gap;  // a Y that is not finite
  };
  void Summarise(std::size_t block);

  std::vector<ElementPoint> points_;
  std::vector<YBlock> blocks_;
  bool sortedX_ = true;
  std::uint64_t id_;
};

struct GraphAnnotation {
  std::string Caption;
  ColorRef Color = 0xFFFFFF;
  ColorRef BkColor = 0x787878;
  bool Horizontal = true;
  bool Visible = true;
  double X = 0.5;
  double Y = 0.5;
};

struct GraphCursor {
  ColorRef Color = 0xFFFFFF;
  std::int16_t Visible = 1;
  std::int16_t Mode = 0;  // 2: snaps to the nearest point of the current element
  double X = 0.0;
  double Y = 0.0;
  std::int16_t Style = 0;  // 0 both lines, 1 horizontal only, 2 vertical only
};

// X seconds as whole milliseconds, truncated toward zero and saturated at the
// 64-bit limits (NaN gives 0), the key of the annotation time index and the
// time the control reports for a moved annotation.
std::int64_t MillisecondsOf(double x);

}  // namespace ORV::Graph

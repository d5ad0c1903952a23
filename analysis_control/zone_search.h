#pragma once
// The wall search on one zone crop.
//
// The vessel runs vertically through the zone, so the search works on column
// means: each column gets a darkness value (255 - its mean), and a column
// counts as wall when its darkness is at least cut-off times the standard
// deviation of all columns' darkness. Walls are dark bands, the lumen the
// brighter band between them. The integer and floating-point steps below are
// exactly those of the recorded data, so found edges are reproducible to the
// pixel.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ORV {

// An 8-bit grey picture owned by someone else: `height` rows of `width`
// bytes, each row `stride` bytes after the one before.
struct GreyImageView {
  const std::uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;

  // True for an empty picture, or for pixels behind a stride that holds a row.
  bool IsValid() const;
  const std::uint8_t* Row(int y) const { return data + y * stride; }
};

// An 8-bit grey picture stored row after row without padding.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  GreyImageView View() const { return {pixels.data(), width, height, width}; }
};

// The columns' darkness and its spread.
struct ColumnProfile {
  std::vector<std::uint8_t> profile;  // per column: 255 - (column sum / rows), integer division
  int sd = 0;                         // sample standard deviation of the profile, truncated
};

// The columns of the zone's upper rows (the first half, rounded down) and
// of its lower rows: their sums, and each column's darkness as the profile
// has it, worked out when asked for.
struct ColumnHalves {
  std::vector<std::uint32_t> upperSums, lowerSums;
  std::uint32_t upperRows = 0, lowerRows = 0;

  bool Empty() const { return upperRows == 0 || lowerRows == 0 || upperSums.size() != lowerSums.size(); }
  int Width() const { return static_cast<int>(upperSums.size()); }
  int Upper(int column) const {
    return 255 - static_cast<int>(upperSums[static_cast<std::size_t>(column)] / upperRows);
  }
  int Lower(int column) const {
    return 255 - static_cast<int>(lowerSums[static_cast<std::size_t>(column)] / lowerRows);
  }
};

// Needs at least one row and two columns (a single column has no sample
// deviation); otherwise nothing. With `halves` (and two rows or more) the
// same pass fills them too.
std::optional<ColumnProfile> MeasureColumns(const GreyImageView& image, ColumnHalves* halves = nullptr);

// The columns as MeasureColumns has them, of the picture with each row y
// shifted by slope x (y - (height - 1) / 2) pixels (rounded; a row's end
// pixels stand in beyond its sides), with `leftSlope` for the columns left
// of `split` and `rightSlope` for the others: a vessel whose left wall runs
// through the zone at a slant of `leftSlope` pixels per row (to the right
// going down when positive), and its right wall at `rightSlope`, stands
// upright in them, where it crosses the zone's middle row.
std::optional<ColumnProfile> MeasureUprightColumns(const GreyImageView& image, double leftSlope, int split,
                                                   double rightSlope);

// One byte per column: 0 where profile / sd >= cutOff (a wall column), else
// 255. With sd 0 a column of darkness above 0 is a wall and one of 0 is not.
std::vector<std::uint8_t> ThresholdColumns(const ColumnProfile& columns, double cutOff);

// Both steps: the first row of the column mask (every row of a column holds
// the same value). When rawBuffer is given it receives the profile, one byte
// per column. Empty, leaving rawBuffer untouched, when MeasureColumns refuses
// the image.
std::vector<std::uint8_t> BinariseColumns(const GreyImageView& image, std::uint8_t* rawBuffer, double cutOff);

// The columns where the mask row changes value, walking from column 0 with a
// value of 255 before it; a row that ends on 0 adds the column count as a
// last change. The count is therefore always even.
std::vector<int> FindChanges(const std::vector<std::uint8_t>& maskRow);

// Outer walls from the first pass: with 2 changes the first and second, with
// 4 or more the first and last. False, leaving the outputs alone, otherwise.
bool TakeOuterEdges(const std::vector<int>& changes, std::int32_t& outerLeft, std::int32_t& outerRight);

// Lumen edges from the second pass: with 4 or more changes the second and the
// next-to-last. False, leaving the outputs alone, otherwise.
bool TakeLumenEdges(const std::vector<int>& changes, std::int32_t& lumenLeft, std::int32_t& lumenRight);

// Lumen edges read from the middle of the vessel outwards, for walls made of
// several dark lines: within the outer walls [outerLeft, outerRight) of a
// mask row, the first column after the last marked column left of the
// middle and the first marked column from the middle on. False, leaving the
// outputs alone, when the middle column is marked or one side has no marked
// column before its outer edge.
bool TakeLumenEdgesFromMiddle(const std::vector<std::uint8_t>& maskRow, std::int32_t outerLeft, std::int32_t outerRight,
                              std::int32_t& lumenLeft, std::int32_t& lumenRight);

}  // namespace ORV

#include "analysis_control/zone_search.h"

#include <algorithm>
#include <cmath>

namespace ORV {

bool GreyImageView::IsValid() const {
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  return data != nullptr && stride >= width;
}

namespace {

// The profile and its spread from the columns' sums over `rows` rows.
ColumnProfile ProfileOfSums(const std::vector<std::uint32_t>& sums, std::uint32_t rows) {
  const auto columns = static_cast<int>(sums.size());
  ColumnProfile result;
  result.profile.resize(sums.size());
  std::int64_t total = 0;
  for (int c = 0; c < columns; ++c) {
    const auto value = static_cast<std::uint8_t>(255 - sums[c] / rows);
    result.profile[c] = value;
    total += value;
  }
  // The mean and the variance are integer quotients; the sums are kept in
  // 64 bits so that no crop width can overflow them.
  const std::int64_t mean = total / columns;
  std::int64_t squares = 0;
  for (int c = 0; c < columns; ++c) {
    const std::int64_t d = result.profile[c] - mean;
    squares += d * d;
  }
  const std::int64_t variance = squares / (columns - 1);
  result.sd = static_cast<int>(std::sqrt(static_cast<double>(variance)));
  return result;
}

}  // namespace

std::optional<ColumnProfile> MeasureColumns(const GreyImageView& image, ColumnHalves* halves) {
  if (!image.IsValid() || image.height < 1 || image.width < 2) return std::nullopt;
  const int columns = image.width;
  const int upperRows = halves && image.height >= 2 ? image.height / 2 : 0;

  // One pass over the crop, row by row, so the inner loop runs over
  // contiguous bytes; the upper rows' sums are taken on the way.
  std::vector<std::uint32_t> sums(columns, 0);
  if (halves) *halves = {};
  for (int y = 0; y < image.height; ++y) {
    if (y == upperRows && upperRows > 0) halves->upperSums = sums;
    const std::uint8_t* row = image.Row(y);
    for (int c = 0; c < columns; ++c) sums[c] += row[c];
  }

  const auto rows = static_cast<std::uint32_t>(image.height);
  if (upperRows > 0) {
    halves->upperRows = static_cast<std::uint32_t>(upperRows);
    halves->lowerRows = rows - halves->upperRows;
    halves->lowerSums.resize(sums.size());
    for (int c = 0; c < columns; ++c) halves->lowerSums[c] = sums[c] - halves->upperSums[c];
  }
  return ProfileOfSums(sums, rows);
}

std::optional<ColumnProfile> MeasureUprightColumns(const GreyImageView& image, double leftSlope, int split,
                                                   double rightSlope) {
  if (!image.IsValid() || image.height < 1 || image.width < 2 || !std::isfinite(leftSlope) ||
      !std::isfinite(rightSlope))
    return std::nullopt;
  const int columns = image.width;
  split = std::clamp(split, 0, columns);
  const double middle = 0.5 * (image.height - 1);
  std::vector<std::uint32_t> sums(columns, 0);
  // Adds columns [from, to) of row `row` shifted by `shift` pixels: column c
  // takes the row's pixel c + offset, its end pixels beyond its sides.
  const auto add = [&](const std::uint8_t* row, int from, int to, double shift) {
    const int offset = static_cast<int>(std::clamp(std::round(shift), -double(columns), double(columns)));
    const int inFrom = std::clamp(-offset, from, to), inTo = std::clamp(columns - offset, inFrom, to);
    for (int c = from; c < inFrom; ++c) sums[c] += row[0];
    for (int c = inFrom; c < inTo; ++c) sums[c] += row[c + offset];
    for (int c = inTo; c < to; ++c) sums[c] += row[columns - 1];
  };
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.Row(y);
    add(row, 0, split, leftSlope * (y - middle));
    add(row, split, columns, rightSlope * (y - middle));
  }
  return ProfileOfSums(sums, static_cast<std::uint32_t>(image.height));
}

std::vector<std::uint8_t> ThresholdColumns(const ColumnProfile& columns, double cutOff) {
  std::vector<std::uint8_t> mask(columns.profile.size());
  const double sd = columns.sd;
  for (std::size_t c = 0; c < mask.size(); ++c) {
    const std::uint8_t p = columns.profile[c];
    bool wall;
    if (columns.sd == 0) {
      // p / 0 is infinite (a wall at any cut-off) for p > 0 and not a
      // number (never a wall) for p = 0; decided without dividing by zero.
      wall = p > 0;
    } else {
      wall = static_cast<double>(p) / sd >= cutOff;
    }
    mask[c] = wall ? 0 : 255;
  }
  return mask;
}

std::vector<std::uint8_t> BinariseColumns(const GreyImageView& image, std::uint8_t* rawBuffer, double cutOff) {
  const std::optional<ColumnProfile> columns = MeasureColumns(image);
  if (!columns) return {};
  if (rawBuffer) {
    for (std::size_t c = 0; c < columns->profile.size(); ++c) rawBuffer[c] = columns->profile[c];
  }
  return ThresholdColumns(*columns, cutOff);
}

std::vector<int> FindChanges(const std::vector<std::uint8_t>& maskRow) {
  std::vector<int> changes;
  std::uint8_t previous = 255;
  for (std::size_t c = 0; c < maskRow.size(); ++c) {
    if (maskRow[c] != previous) {
      changes.push_back(static_cast<int>(c));
      previous = maskRow[c];
    }
  }
  if (!maskRow.empty() && maskRow.back() == 0) changes.push_back(static_cast<int>(maskRow.size()));
  return changes;
}

bool TakeOuterEdges(const std::vector<int>& changes, std::int32_t& outerLeft, std::int32_t& outerRight) {
  const std::size_t n = changes.size();
  if (n != 2 && n < 4) return false;
  outerLeft = changes.front();
  outerRight = changes.back();
  return true;
}

bool TakeLumenEdges(const std::vector<int>& changes, std::int32_t& lumenLeft, std::int32_t& lumenRight) {
  const std::size_t n = changes.size();
  if (n < 4) return false;
  lumenLeft = changes[1];
  lumenRight = changes[n - 2];
  return true;
}

bool TakeLumenEdgesFromMiddle(const std::vector<std::uint8_t>& maskRow, std::int32_t outerLeft, std::int32_t outerRight,
                              std::int32_t& lumenLeft, std::int32_t& lumenRight) {
  const auto width = static_cast<std::int64_t>(maskRow.size());
  if (outerLeft < 0 || outerRight > width || outerRight - outerLeft < 3) return false;
  const std::int32_t middle = outerLeft + (outerRight - outerLeft) / 2;
  const auto marked = [&maskRow](std::int32_t c) { return maskRow[static_cast<std::size_t>(c)] == 0; };
  if (marked(middle)) return false;
  std::int32_t left = middle;
  while (left > outerLeft && !marked(left - 1)) --left;
  std::int32_t right = middle;
  while (right < outerRight && !marked(right)) ++right;
  if (left <= outerLeft || right >= outerRight) return false;
  lumenLeft = left;
  lumenRight = right;
  return true;
}

}  // namespace ORV

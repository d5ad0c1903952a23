#include "analysis_control/zone_search.h"

#include <cmath>

namespace ORV {

bool GreyImageView::IsValid() const {
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  return data != nullptr && stride >= width;
}

std::optional<ColumnProfile> MeasureColumns(const GreyImageView& image) {
  if (!image.IsValid() || image.height < 1 || image.width < 2) return std::nullopt;
  const int columns = image.width;

  // One pass over the crop, row by row, so the inner loop runs over
  // contiguous bytes.
  std::vector<std::uint32_t> sums(columns, 0);
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.Row(y);
    for (int c = 0; c < columns; ++c) sums[c] += row[c];
  }

  ColumnProfile result;
  result.profile.resize(columns);
  const auto rows = static_cast<std::uint32_t>(image.height);
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

}  // namespace ORV

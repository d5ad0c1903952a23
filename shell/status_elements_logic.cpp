#include "shell/status_elements_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ORV {

std::array<std::string, 4> HeatBarTexts(const HeatBarState& state, const std::string& offText) {
  std::array<std::string, 4> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!state.active[i]) {
      texts[i] = offText;
      continue;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f\u00B0", static_cast<double>(state.temperatures[i]));
    texts[i] = buffer;
  }
  return texts;
}

int HeatBarCellWidth(int width) { return static_cast<int>(std::lround(std::max(width - 4, 0) * 0.25)); }

SequencerProgressView SequencerProgressLayout(const SequencerProgressState& state, int width,
                                              const std::string& idleText) {
  SequencerProgressView view;
  if (!state.running || state.taskCount < 1) {
    view.text = idleText;
    return view;
  }
  view.showsTasks = true;
  const int inner = std::max(width - 4, 0);
  view.cellWidth = static_cast<int>(std::lround(static_cast<double>(inner) / state.taskCount));
  const int index = std::clamp(state.taskIndex, 0, state.taskCount - 1);
  const int percent = std::clamp(state.percent, 0, 100);
  view.fillRight =
      static_cast<int>(std::lround(static_cast<double>(view.cellWidth) * index + 3 + view.cellWidth / 100.0 * percent));
  view.fillRight = std::min(view.fillRight, width - 1);
  view.text = state.text;
  return view;
}

NavigationGeometry ComputeNavigationGeometry(const NavigationRange& range, int width) {
  NavigationGeometry g;
  std::int64_t span = static_cast<std::int64_t>(range.end) - range.start;
  if (span < 1) span = 1;
  if (span > static_cast<std::int64_t>(range.windowLength)) span += range.windowLength;
  g.span = span;
  g.scale = static_cast<double>(std::max(width - 4, 0)) / (static_cast<double>(span) + 0.5);
  const int right = width;
  const double offset = (static_cast<double>(range.position) - range.start) * g.scale;
  int left = static_cast<int>(std::clamp(std::lround(offset), -1000000L, 1000000L)) + 2;
  left = std::max(std::min(left, right - 2), 6);
  int thumbRight = static_cast<int>(std::min(std::lround(range.windowLength * g.scale), 1000000L)) + left;
  thumbRight = std::max(std::min(thumbRight, right - 2), 0);
  if (thumbRight <= left) {
    left -= 2;
    thumbRight += 2;
  }
  g.thumbLeft = left;
  g.thumbRight = thumbRight;
  return g;
}

std::optional<std::int32_t> NavigationPositionAt(const NavigationRange& range, const NavigationGeometry& geometry,
                                                 int x) {
  if (!(geometry.scale > 0.0)) return std::nullopt;
  const double position = range.start + (x - 2) / geometry.scale;
  if (position < range.start || position > range.end) return std::nullopt;
  return static_cast<std::int32_t>(std::lround(position));
}

}  // namespace ORV

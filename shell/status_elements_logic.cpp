#include "shell/status_elements_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/experiment/session_records.h"
#include "instruments/records/instrument_records.h"

namespace ORV {

HeatBarState HeatBarStateOf(const HeatControllerSample& sample) {
  HeatBarState state;
  state.connected = true;
  state.temperatures = sample.temperatures;
  for (std::size_t i = 0; i < state.active.size(); ++i) state.active[i] = sample.channelFlags[i] == 1;
  return state;
}

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

std::optional<std::size_t> IndexImageAt(const std::vector<ImageIndexRecord>& images, std::int32_t seconds) {
  if (images.empty()) return std::nullopt;
  const std::int64_t ms = static_cast<std::int64_t>(seconds) * 1000;
  const auto later = std::lower_bound(images.begin(), images.end(), ms, [](const ImageIndexRecord& r, std::int64_t t) {
    return static_cast<std::int64_t>(r.time) < t;
  });
  if (later == images.begin()) return 0;
  if (later == images.end()) return images.size() - 1;
  const auto earlier = later - 1;
  const bool nearerEarlier =
      ms - static_cast<std::int64_t>(earlier->time) <= static_cast<std::int64_t>(later->time) - ms;
  return static_cast<std::size_t>((nearerEarlier ? earlier : later) - images.begin());
}

std::optional<std::size_t> IndexImageStride(const ImageIndexRecord& record) {
  if (record.width == 0 || record.height == 0) return std::nullopt;
  const std::uint64_t stride = (static_cast<std::uint64_t>(record.width) + 3) / 4 * 4;
  if (stride * record.height > record.image.size()) return std::nullopt;
  return static_cast<std::size_t>(stride);
}

}  // namespace ORV

#pragma once
// What the main frame's own status-bar elements show, without drawing:
//   - the heat-controller bar: one cell text per chamber;
//   - the sequencer's progress bar: the filled width and the text;
//   - the experiment navigation bar: its span, scale and thumb, and the
//     position under a point;
//   - the navigation pop-up's hide deadline and the recorded picture it
//     shows.
// Coordinates are the element's own, 0 at its left edge.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ORV {

struct HeatControllerSample;
struct ImageIndexRecord;
// The heat controller's four chambers.
struct HeatBarState {
  bool connected = false;
  std::array<float, 4> temperatures{};
  std::array<bool, 4> active{};
};
// The bar's state from a reading of the heat controller: a chamber is
// active while its channel is switched on.
HeatBarState HeatBarStateOf(const HeatControllerSample& sample);
// The text of each cell: the temperature with one decimal and the degree
// sign while the chamber is active, else `offText`.
std::array<std::string, 4> HeatBarTexts(const HeatBarState& state, const std::string& offText);
// The width of each of the four cells of a bar `width` wide.
int HeatBarCellWidth(int width);

struct SequencerProgressState {
  bool running = false;
  std::int32_t taskCount = 0;
  std::int32_t taskIndex = 0;
  std::int32_t percent = 0;  // of the current task, 0-100
  std::string text;          // of the current task
};
struct SequencerProgressView {
  bool showsTasks = false;  // running with at least one task
  int cellWidth = 0;
  int fillLeft = 3;
  int fillRight = 3;  // the filled part; nothing when not above fillLeft
  std::string text;   // centred
};
SequencerProgressView SequencerProgressLayout(const SequencerProgressState& state, int width,
                                              const std::string& idleText);

struct NavigationRange {
  std::int32_t start = 0;
  std::int32_t end = 0;
  std::int32_t position = 0;
  std::uint32_t windowLength = 0;
};
struct NavigationGeometry {
  std::int64_t span = 1;
  double scale = 0.0;  // pixels per unit
  int thumbLeft = 0;
  int thumbRight = 0;
  bool operator==(const NavigationGeometry&) const = default;
};
// The geometry of a bar `width` wide.
NavigationGeometry ComputeNavigationGeometry(const NavigationRange& range, int width);
// The position under x; nothing outside [start, end] (or with no scale).
std::optional<std::int32_t> NavigationPositionAt(const NavigationRange& range, const NavigationGeometry& geometry,
                                                 int x);

// The pop-up hides itself once the mouse has left it alone for this long;
// its timer looks every kNavigationPopupTimerMs.
inline constexpr std::uint32_t kNavigationPopupHideMs = 500;
inline constexpr std::uint32_t kNavigationPopupTimerMs = 2000;

// The pop-up's visibility against a clock in milliseconds.
class NavigationPopupTimer {
 public:
  // Shown or moved at `now`.
  void Touch(std::uint64_t now) { deadline_ = now + kNavigationPopupHideMs; }
  // The timer ticked at `now`: whether a visible pop-up is to be hidden.
  bool ShouldHide(std::uint64_t now, bool visible) const { return visible && now >= deadline_; }

 private:
  std::uint64_t deadline_ = 0;
};

// The recorded picture nearest to `seconds` of the experiment among the
// index images (in time order); nothing when there are none.
std::optional<std::size_t> IndexImageAt(const std::vector<ImageIndexRecord>& images, std::int32_t seconds);
// The bytes of one row of an index image (rows are padded to 4 bytes);
// nothing when the record holds no whole picture of its stated size.
std::optional<std::size_t> IndexImageStride(const ImageIndexRecord& record);

}  // namespace ORV

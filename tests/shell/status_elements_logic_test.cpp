// What the frame's status-bar elements show: heat-bar texts, the sequencer's
// progress, the navigation bar's geometry and the position under a point,
// and when the navigation pop-up hides.
#include "shell/status_elements_logic.h"

#include <gtest/gtest.h>

#include "core/experiment/session_records.h"

namespace ORV {
namespace {

TEST(HeatBar, ShowsActiveChambersWithOneDecimalAndOffOtherwise) {
  HeatBarState state;
  state.connected = true;
  state.temperatures = {37.0f, 12.5f, 37.14f, 36.95f};
  state.active = {true, false, true, true};
  EXPECT_EQ(HeatBarTexts(state, "Off"), (std::array<std::string, 4>{"37.0\u00B0", "Off", "37.1\u00B0", "37.0\u00B0"}));
  EXPECT_EQ(HeatBarCellWidth(200), 49);
  EXPECT_EQ(HeatBarCellWidth(2), 0);
}

TEST(SequencerProgress, FillsTheCurrentTaskOrShowsTheIdleText) {
  const SequencerProgressView idle = SequencerProgressLayout({true, 0, 0, 50, "x"}, 200, "Sequencer not started");
  EXPECT_FALSE(idle.showsTasks);
  EXPECT_EQ(idle.text, "Sequencer not started");
  EXPECT_EQ(SequencerProgressLayout({false, 3, 1, 50, "x"}, 200, "idle").text, "idle");

  const SequencerProgressView running = SequencerProgressLayout({true, 4, 1, 50, "Task 2"}, 200, "idle");
  EXPECT_TRUE(running.showsTasks);
  EXPECT_EQ(running.cellWidth, 49);
  EXPECT_EQ(running.fillRight, 77);  // one cell and a half, 3 in
  EXPECT_EQ(running.text, "Task 2");
  // Out-of-range indexes and percentages stay inside the bar.
  EXPECT_LE(SequencerProgressLayout({true, 2, 9, 900, ""}, 200, "").fillRight, 199);
}

TEST(NavigationBar, GeometryTable) {
  struct Case {
    NavigationRange range;
    int width;
    std::int64_t span;
    int left, right;
  };
  const Case cases[] = {
      {{0, 1000, 0, 100}, 304, 1100, 6, 33},   // span longer than the window: the window is added
      {{0, 50, 0, 100}, 304, 50, 6, 302},      // window longer than the span: the thumb stops at the edge
      {{1000, 1000, 1000, 0}, 104, 1, 4, 8},   // nothing to show: pushed 2 apart each way
      {{0, 100, 100, 10}, 104, 110, 92, 101},  // at the end
      {{500, 100, 0, 0}, 104, 1, 4, 8},        // end before start counts as a span of 1
  };
  for (const Case& c : cases) {
    const NavigationGeometry g = ComputeNavigationGeometry(c.range, c.width);
    EXPECT_EQ(g.span, c.span) << c.range.start << ".." << c.range.end;
    EXPECT_EQ(g.thumbLeft, c.left) << c.range.start << ".." << c.range.end;
    EXPECT_EQ(g.thumbRight, c.right) << c.range.start << ".." << c.range.end;
  }
}

TEST(NavigationBar, APointMapsToAPositionInsideTheRangeOnly) {
  const NavigationRange range{0, 100, 100, 10};
  const NavigationGeometry g = ComputeNavigationGeometry(range, 104);
  EXPECT_EQ(NavigationPositionAt(range, g, 2), 0);
  EXPECT_EQ(NavigationPositionAt(range, g, 92), 99);
  EXPECT_EQ(NavigationPositionAt(range, g, 0), std::nullopt);
  EXPECT_EQ(NavigationPositionAt(range, g, 103), std::nullopt);
  EXPECT_EQ(NavigationPositionAt(range, NavigationGeometry{}, 50), std::nullopt);
}

TEST(NavigationPopup, HidesHalfASecondAfterTheLastMove) {
  NavigationPopupTimer timer;
  timer.Touch(1000);
  EXPECT_FALSE(timer.ShouldHide(1400, true));
  timer.Touch(1400);  // moved again
  EXPECT_FALSE(timer.ShouldHide(1800, true));
  EXPECT_TRUE(timer.ShouldHide(1900, true));
  EXPECT_FALSE(timer.ShouldHide(5000, false));  // hidden already
}

TEST(NavigationPopup, PicturesAreTheNearestWholeIndexImage) {
  std::vector<ImageIndexRecord> images(3);
  for (std::size_t i = 0; i < images.size(); ++i) images[i].time = static_cast<std::uint32_t>(10000 * (i + 1));
  const struct {
    std::int32_t seconds;
    std::optional<std::size_t> index;
  } cases[] = {{-5, 0}, {0, 0}, {15, 0}, {16, 1}, {30, 2}, {2000000000, 2}};
  for (const auto& c : cases) EXPECT_EQ(IndexImageAt(images, c.seconds), c.index) << c.seconds;
  EXPECT_EQ(IndexImageAt({}, 10), std::nullopt);

  ImageIndexRecord record;
  record.width = 5;
  record.height = 3;
  record.image.resize(24);
  EXPECT_EQ(IndexImageStride(record), 8u);
  record.image.resize(23);
  EXPECT_EQ(IndexImageStride(record), std::nullopt);
  record.width = 0;
  EXPECT_EQ(IndexImageStride(record), std::nullopt);
  record.width = 0xFFFFFFFF;  // no overflow into a small size
  record.height = 0xFFFFFFFF;
  EXPECT_EQ(IndexImageStride(record), std::nullopt);
}

}  // namespace
}  // namespace ORV

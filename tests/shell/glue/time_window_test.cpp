// The main frame's time window against fake views and a fake frame: zoom,
// the span and time-position edits, the slider and the two messages.
#include "shell/glue/time_window.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/base/time_text.h"
#include "core/experiment/experiment_data.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/shell/glue/glue_fakes.h"

namespace ORV::Shell::Test {
namespace {

class TimeWindowTest : public ORV::Test::ExperimentFixture {
 protected:
  void SetUp() override {
    glue_.RegisterView(main_);
    glue_.RegisterView(other_);
  }
  // The main view shows start..end.
  void ShowWindow(double start, double end) {
    main_.xStart = start;
    main_.xEnd = end;
  }
  FakeGlueHost glueHost_;
  TraceGlue glue_{data(), glueHost_, Text};
  FakeView main_, other_;
  FakeTimeHost host_;
  std::int32_t span_ = 20;
  TraceTimeWindow window_{glue_, host_, span_};
};

TEST_F(TimeWindowTest, ZoomInNeedsAWindowThatStaysAtLeastOneSecond) {
  struct Case {
    double start, end;
    bool enabled;
  } cases[] = {{0, 1, false}, {0, 2, true}, {5, 5.5, false}, {5, 6.5, true}, {10, 10, false}};
  for (const Case& c : cases) {
    ShowWindow(c.start, c.end);
    EXPECT_EQ(window_.CanZoomIn(), c.enabled) << c.start << ".." << c.end;
    window_.OnZoomIn();
    EXPECT_EQ(window_.History().size(), c.enabled ? 1u : 0u);
    while (window_.CanZoomOut()) window_.OnZoomOut();
  }
  glue_.UnregisterView(main_);
  glue_.UnregisterView(other_);
  EXPECT_FALSE(window_.CanZoomIn());
}

TEST_F(TimeWindowTest, ThreeZoomInsAndThreeZoomOutsRestoreTheFirstWindow) {
  ShowWindow(100.0, 119.4);
  other_.selectAll = true;
  window_.OnZoomIn();
  // The middle six eighths of 100..120, from the whole second of its start.
  EXPECT_EQ(main_.xStart, 102.0);
  EXPECT_EQ(main_.xEnd, 117.0);
  EXPECT_EQ(span_, 15);
  EXPECT_EQ(host_.edits[ID_SCALETIME_EDIT_TIME], "15");
  EXPECT_EQ(host_.edits[ID_TIMESPAN_EDIT], "1:42");
  EXPECT_EQ(host_.navSpan, 15);
  EXPECT_EQ(other_.graph.calls.at(2), (Call{Graph::Dispid::SelectTrace, {-1.0, -1.0}})) << "the selection is cleared";
  window_.OnZoomIn();
  window_.OnZoomIn();
  EXPECT_EQ(main_.xEnd - main_.xStart, 8.0);
  EXPECT_EQ(window_.History().size(), 3u);

  for (int i = 0; i < 3; ++i) window_.OnZoomOut();
  EXPECT_EQ(main_.xStart, 100.0);
  EXPECT_EQ(main_.xEnd, 120.0);
  EXPECT_EQ(other_.xEnd, 120.0);
  EXPECT_EQ(span_, 20);
  EXPECT_EQ(host_.edits[ID_SCALETIME_EDIT_TIME], "20");
  EXPECT_FALSE(window_.CanZoomOut());
  window_.OnZoomOut();  // nothing left: nothing happens
  EXPECT_EQ(main_.xStart, 100.0);
}

TEST_F(TimeWindowTest, SpanCommandCutsToTheRecordingAndRefusesWhatIsNoSpan) {
  struct Case {
    const char* text;
    std::uint32_t length;
    bool refused;
    int span;
    const char* shown;
  } cases[] = {
      {"1:00:00", 1800, false, 1800, "30:00"},  // cut to the recording, and shown
      {"1:00:00", 0, false, 3600, "1:00:00"},   // no recording: nothing is cut
      {"45", 1800, false, 45, "45"},
      {"1:2x", 1800, true, 20, "1:2x"},
      {"0", 1800, true, 20, "0"},
      {"-5", 1800, true, 20, "-5"},
      {"", 1800, true, 20, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    span_ = 20;
    main_.span = 20;
    host_.messages.clear();
    host_.navSpan = -1;
    host_.length = c.length;
    host_.edits[ID_SCALETIME_EDIT_TIME] = c.text;
    window_.OnSpan();
    EXPECT_EQ(host_.messages,
              c.refused ? std::vector<std::uint32_t>{UI::kEnteredTimeInvalidString} : std::vector<std::uint32_t>{});
    EXPECT_EQ(span_, c.span);
    EXPECT_EQ(main_.span, c.span);
    EXPECT_EQ(host_.edits[ID_SCALETIME_EDIT_TIME], c.shown);
    if (!c.refused) {
      EXPECT_EQ(host_.navSpan, c.span);
      EXPECT_EQ(host_.slider.page, c.span);
    } else {
      EXPECT_EQ(host_.navSpan, -1);
    }
  }
}

TEST_F(TimeWindowTest, TimePositionIsCutToTheRecordingAndMovesViewsSliderAndVideo) {
  struct Case {
    const char* text;
    std::uint32_t length;
    bool opened;
    double position;
    const char* shown;
    int slider;
  } cases[] = {
      {"40:00", 1800, true, 1800, "30:00", 1800},  // cut to the recording
      {"10:00", 1800, false, 600, "10:00", 600},   // live: the video panes stay
      {"junk", 1800, true, 0, "junk", 0},          // unparsable: 0
      {"-30", 1800, true, 0, "-30", 0},            // no time: 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    host_.length = c.length;
    window_.ResetSlider();
    host_.opened = c.opened;
    host_.videoAt.clear();
    host_.edits[ID_TIMESPAN_EDIT] = c.text;
    window_.OnTimePosition();
    EXPECT_EQ(host_.edits[ID_TIMESPAN_EDIT], c.shown);
    EXPECT_EQ(host_.slider.position, c.slider);
    EXPECT_EQ(main_.xStart, c.position);
    EXPECT_EQ(other_.xEnd, c.position + span_);
    EXPECT_EQ(host_.videoAt, c.opened ? std::vector<double>{c.position} : std::vector<double>{});
    if (c.opened) {
      EXPECT_EQ(host_.navPosition, static_cast<int>(c.position));
    }
  }
  // With no recording a position is never cut.
  host_.length = 0;
  host_.edits[ID_TIMESPAN_EDIT] = "2:00:00";
  window_.OnTimePosition();
  EXPECT_EQ(host_.edits[ID_TIMESPAN_EDIT], "2:00:00");
  EXPECT_EQ(main_.xStart, 7200.0);
}

TEST_F(TimeWindowTest, PositionMessageMovesFromTheOriginItNames) {
  host_.length = 100;
  window_.ResetSlider();
  host_.opened = true;
  struct Case {
    OS::WPARAM origin;
    OS::LPARAM delta;
    int position;
  } cases[] = {{1, 50, 50},
               {0, 10, 60},
               {0, -15, 45},
               {2, -5, 95},
               {1, -5, 0},
               {0, 1000, 100},
               {7, 30, 0},
               {2, 0, 100},
               {0, std::numeric_limits<OS::LPARAM>::min(), 0},
               {2, std::numeric_limits<OS::LPARAM>::max(), 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.origin) + " " + std::to_string(c.delta));
    EXPECT_TRUE(window_.HandleMessage(WM_TIME_POSITION, c.origin, c.delta));
    EXPECT_EQ(window_.Slider().position, c.position);
    EXPECT_EQ(host_.slider.position, c.position);
    EXPECT_EQ(main_.xStart, c.position);
    EXPECT_EQ(main_.xEnd, c.position + 20);
    EXPECT_EQ(host_.edits[ID_TIMESPAN_EDIT], FormatTimeSeconds(static_cast<std::uint32_t>(c.position)));
    EXPECT_EQ(host_.navPosition, c.position);
    EXPECT_EQ(host_.videoAt.back(), c.position);
  }
  EXPECT_FALSE(window_.HandleMessage(0x7FD, 0, 0));
}

TEST_F(TimeWindowTest, SpanMessageRoundsToWholeSecondsAndRunsTheSpanCommand) {
  struct Case {
    OS::LPARAM ms;
    int span;
    bool refused;
  } cases[] = {{29600, 30, false}, {30499, 30, false}, {1500, 2, false},
               {400, 20, true},    {-3000, 20, true},  {std::numeric_limits<OS::LPARAM>::min(), 20, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    span_ = 20;
    host_.messages.clear();
    EXPECT_TRUE(window_.HandleMessage(WM_TIME_SPAN, 0, c.ms));
    EXPECT_EQ(span_, c.span);
    EXPECT_EQ(main_.span, c.refused ? main_.span : c.span);
    EXPECT_EQ(host_.messages.size(), c.refused ? 1u : 0u);
  }
}

TEST_F(TimeWindowTest, SliderResetCoversTheRecordingAndCutsALongerSpan) {
  span_ = 60;
  host_.length = 45;
  window_.ResetSlider();
  EXPECT_EQ(span_, 45);
  EXPECT_EQ(host_.edits[ID_SCALETIME_EDIT_TIME], "45");
  EXPECT_EQ(host_.slider, (TimeSlider{0, 45, 45, 0}));
  EXPECT_EQ(main_.xStart, 0.0);
  EXPECT_EQ(main_.xEnd, 45.0);
  EXPECT_EQ(host_.navLength, 45);
  EXPECT_EQ(host_.navSpan, 45);
  EXPECT_EQ(host_.navPosition, 0);
  EXPECT_EQ(host_.statusInvalidated, 1);

  host_.edits.clear();
  span_ = 60;
  host_.length = 0;
  window_.ResetSlider();
  EXPECT_EQ(span_, 60);
  EXPECT_TRUE(host_.edits.empty());
  EXPECT_EQ(host_.slider, (TimeSlider{0, 0, 60, 0}));
}

TEST_F(TimeWindowTest, ExpandViewShowsTheSelectionAndZoomOutReturns) {
  ShowWindow(0.0, 60.0);
  struct Case {
    double start, stop;
    bool enabled;
  } cases[] = {{10.0, 10.5, false}, {0.0, 0.0, false}, {-1.0, -1.0, false}, {10.2, 15.7, true}};
  for (const Case& c : cases) {
    glue_.SelectTraceRange(&main_, c.start, c.stop);
    EXPECT_EQ(window_.CanExpandView(), c.enabled) << c.start << ".." << c.stop;
  }
  window_.OnExpandView();
  EXPECT_EQ(main_.xStart, 10.0);  // whole seconds from the selection's start
  EXPECT_EQ(main_.xEnd, 16.0);    // and its length raised to whole seconds
  EXPECT_EQ(span_, 6);
  EXPECT_FALSE(glue_.Selection().Exists()) << "the selection is cleared";
  EXPECT_FALSE(window_.CanExpandView());
  window_.OnZoomOut();
  EXPECT_EQ(main_.xStart, 0.0);
  EXPECT_EQ(main_.xEnd, 60.0);

  glue_.UnregisterView(main_);
  glue_.UnregisterView(other_);
  EXPECT_FALSE(window_.CanExpandView());
}

}  // namespace
}  // namespace ORV::Shell::Test

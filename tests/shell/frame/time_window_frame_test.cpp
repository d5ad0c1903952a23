// The frame's time window: the trace views move through the application's
// trace glue, and the slider, the navigation bar and the video panes follow.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ui/ribbon_bar.h"
#include "shell/frame/frame_time_window.h"
#include "shell/frame/status_elements.h"
#include "tests/shell/frame/frame_fakes.h"
#include "tests/shell/glue/glue_fakes.h"

namespace ORV::Test {
namespace {

struct FrameTimeWindowTest : MainFrameTest {
  FrameTimeWindowTest() {
    glue.RegisterView(view);
    // A recording of 600 s, opened from a file, shown 60 s at a time.
    experiment.startTick = 1000;
    experiment.stopTick = 601000;
    experiment.mode = kModeFile;
    config.TraceTimeSpan = 60;
  }
  bool Logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
  int SliderPos(CMainFrame& frame) const {
    auto* slider = frame.Ribbon()->FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER);
    return slider ? slider->GetPos() : -1;
  }

  Shell::Test::FakeGlueHost glueHost;
  Shell::TraceGlue glue{experiment, glueHost, Shell::Test::Text};
  Shell::Test::FakeView view;
};

TEST_F(FrameTimeWindowTest, StartsOverTheWholeRecordingAndNavigatesTheViewsAndPanes) {
  cameras = Cameras(kCameraTypeImagingSource, 1);
  std::unique_ptr<CMainFrame> frame = Make(&glue);
  ASSERT_EQ(frame->OnCreate(), 0);
  ASSERT_NE(frame->TimeWindow(), nullptr);

  // Start-up: the slider spans the recording, the views show its start.
  EXPECT_EQ(frame->TimeWindow()->Window().Slider(), (Shell::TimeSlider{0, 600, 60, 0}));
  EXPECT_DOUBLE_EQ(view.xStart, 0.0);
  EXPECT_DOUBLE_EQ(view.xEnd, 60.0);
  const NavigationRange& range = frame->NavigationBar()->Range();
  EXPECT_EQ(range.start, 0);
  EXPECT_EQ(range.end, 600);
  EXPECT_EQ(range.windowLength, 60u);

  // The navigation bar's position moves the slider, the views and every
  // video pane.
  log.clear();
  frame->NavigateTo(120);
  EXPECT_EQ(SliderPos(*frame), 120);
  EXPECT_DOUBLE_EQ(view.xStart, 120.0);
  EXPECT_DOUBLE_EQ(view.xEnd, 180.0);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& line) { return line.ends_with(" at 120"); }),
            4);
  EXPECT_EQ(frame->NavigationBar()->Range().position, 120);

  // Beyond the end the window stops at the end of the recording.
  frame->NavigateTo(5000);
  EXPECT_EQ(SliderPos(*frame), 600);

  // The views' messages: 0x7FC moves from the start, 0x7FE sets the span.
  frame->SendMessage(Shell::WM_TIME_POSITION, 1, 30);
  EXPECT_EQ(SliderPos(*frame), 30);
  EXPECT_DOUBLE_EQ(view.xStart, 30.0);
  frame->SendMessage(Shell::WM_TIME_SPAN, 0, 90400);
  EXPECT_EQ(view.span, 90);
  EXPECT_EQ(config.TraceTimeSpan, 90);
  EXPECT_EQ(frame->NavigationBar()->Range().windowLength, 90u);

  // An open resets the slider to the new recording.
  experiment.stopTick = 301000;
  frame->ResetTimeSlider();
  EXPECT_EQ(frame->TimeWindow()->Window().Slider().maximum, 300);
  EXPECT_EQ(SliderPos(*frame), 0);
  EXPECT_DOUBLE_EQ(view.xStart, 0.0);
}

TEST_F(FrameTimeWindowTest, WithoutTheGlueTheSliderAloneFollowsTheNavigation) {
  std::unique_ptr<CMainFrame> frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  EXPECT_EQ(frame->TimeWindow(), nullptr);
  auto* slider = frame->Ribbon()->FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER);
  ASSERT_NE(slider, nullptr);
  slider->SetRange(0, 600);
  // The slider and its edit follow the navigation, clamped to the range.
  frame->NavigateTo(120);
  EXPECT_EQ(SliderPos(*frame), 120);
  EXPECT_EQ(frame->Ribbon()->FindByID<UI::RibbonEdit>(ID_TIMESPAN_EDIT)->GetEditText(), "2:00");
  frame->NavigateTo(5000);
  EXPECT_EQ(SliderPos(*frame), 600);
  // The views' position message has no time window to move: ignored.
  frame->SendMessage(Shell::WM_TIME_POSITION, 1, 30);
  EXPECT_EQ(SliderPos(*frame), 600);
  // The views are not the frame's to move without the glue.
  EXPECT_DOUBLE_EQ(view.xStart, 0.0);
}

}  // namespace
}  // namespace ORV::Test

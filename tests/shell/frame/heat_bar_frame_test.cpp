// The status bar's heat-controller bar shows the heat controller worker's
// readings, as the heater pane does.
#include <gtest/gtest.h>

#include "shell/frame/status_elements.h"
#include "tests/shell/frame/frame_fakes.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::Test {
namespace {

TEST_F(MainFrameTest, TheHeatControllerBarShowsTheWorkersReadings) {
  instruments.loaded = 32;  // the heat controller: an incubation chamber system
  std::unique_ptr<CMainFrame> frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  CORVRibbonHeatControllerBar* bar = frame->HeatControllerBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(HeatBarTexts(bar->State(), "Off"), (std::array<std::string, 4>{"Off", "Off", "Off", "Off"}));
  ASSERT_NE(instruments.listeners.heatBar, nullptr) << "the worker is given the bar's receiver";

  HeatControllerSample sample;
  sample.channelFlags = {1, 0, 1, 0};
  sample.temperatures = {37.04f, 21.0f, 36.96f, 20.0f};
  instruments.listeners.heatBar->PostSample(kDeviceHeatController, sample);
  ASSERT_TRUE(ProcessEventsUntil([&] { return bar->State().active[0]; }));
  EXPECT_TRUE(bar->State().connected);
  EXPECT_EQ(HeatBarTexts(bar->State(), "Off"), (std::array<std::string, 4>{"37.0\u00B0", "Off", "37.0\u00B0", "Off"}));
}

TEST_F(MainFrameTest, WithoutAHeatControllerBarTheWorkerHasNoSecondReceiver) {
  std::unique_ptr<CMainFrame> frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  EXPECT_EQ(frame->HeatControllerBar(), nullptr);
  EXPECT_EQ(instruments.listeners.heatBar, nullptr);
}

}  // namespace
}  // namespace ORV::Test

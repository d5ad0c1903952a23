// The frame's timers on fakes: the start-up update check runs once and stops
// its timer; the clock timer writes the instrument's time and, on an
// experiment clock of the test's, the elapsed time of a collection.
#include <gtest/gtest.h>

#include "core/storage/relative_time.h"
#include "platform/ui/ribbon_status_bar.h"
#include "shell/frame/frame_collection.h"
#include "tests/shell/frame/frame_fakes.h"
#include "tests/support/hand_clock.h"
#include "tests/support/test_world.h"

using namespace ORV;
using namespace ORV::Test;

namespace {

using VirtualClock = HandClock;

std::string LabelText(CMainFrame& frame, const std::string& name) {
  UI::StatusBarElement* element = frame.StatusBar() ? frame.StatusBar()->FindLabelled(name) : nullptr;
  if (element) return element->Text();
  ADD_FAILURE() << "no label " << name;
  return {};
}

}  // namespace

TEST_F(MainFrameTest, StartupCheckRunsOnceAndStopsItsTimer) {
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  ASSERT_TRUE(frame->HasTimer(IDT_STARTUP_CHECK));
  frame->SendMessage(UI::WM_TIMER, IDT_STARTUP_CHECK, 0);
  EXPECT_EQ(host.updateChecks, 1);
  EXPECT_FALSE(frame->HasTimer(IDT_STARTUP_CHECK));
  // The other timers do not check.
  frame->SendMessage(UI::WM_TIMER, IDT_CLOCK, 0);
  frame->SendMessage(UI::WM_TIMER, IDT_IDLE_MONITOR, 0);
  EXPECT_EQ(host.updateChecks, 1);
}

TEST_F(MainFrameTest, ClockTimerShowsInstrumentAndElapsedTime) {
  VirtualClock clock;
  experiment.SetClock(clock);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  FrameCollection* collection = frame->Collection();
  ASSERT_NE(collection, nullptr);

  // Without a multi interface the instrument time is empty every second.
  frame->SendMessage(UI::WM_TIMER, IDT_CLOCK, 0);
  EXPECT_EQ(LabelText(*frame, "Instrument time"), "");
  collection->SetInstrumentTime(true, 1, 2, 3);
  frame->SendMessage(UI::WM_TIMER, IDT_CLOCK, 0);
  EXPECT_EQ(LabelText(*frame, "Instrument time"), "1:02:03  |");
  collection->SetInstrumentTime(false, 1, 2, 3);
  frame->SendMessage(UI::WM_TIMER, IDT_CLOCK, 0);
  EXPECT_EQ(LabelText(*frame, "Instrument time"), "");
  EXPECT_EQ(LabelText(*frame, "Clock").size(), 8u) << "hh:mm:ss";

  // The elapsed time while collecting; it stays when the collection ends.
  experiment.startTick = 1000;
  experiment.mode = kModeLive;
  const struct {
    std::uint32_t now;
    const char* text;
  } ticks[] = {{10000, "| 9 |"}, {60600, "| 1:00 |"}, {3600400, "| 59:59 |"}, {3601000, "| 1:00:00 |"}};
  for (const auto& t : ticks) {
    clock.now = t.now;
    frame->SendMessage(UI::WM_TIMER, IDT_CLOCK, 0);
    EXPECT_EQ(LabelText(*frame, "Elapsed time"), t.text) << t.now;
  }
  experiment.mode = kModeNone;
  clock.now = 9000000;
  frame->SendMessage(UI::WM_TIMER, IDT_CLOCK, 0);
  EXPECT_EQ(LabelText(*frame, "Elapsed time"), "| 1:00:00 |");
  experiment.SetClock(ORV::Test::SharedClock());
}

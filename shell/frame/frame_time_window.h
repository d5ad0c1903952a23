#pragma once
// The main frame's time window: the ribbon's time-position edit and slider,
// the span edit and the zoom buttons, driving the trace views through the
// application's trace glue. The video panes, the navigation bar and the
// status bar follow every move. GUI thread.
#include <cstdint>

#include "platform/os/message_target.h"
#include "shell/glue/time_window.h"
#include "shell/glue/ui/ribbon_time_window.h"

namespace ORV {

class CMainFrame;
class Configuration;
class ExperimentData;

class FrameTimeWindow {
 public:
  // Registers the six time-window commands on the frame's router; the
  // frame's ribbon must exist.
  FrameTimeWindow(CMainFrame& frame, Shell::TraceGlue& glue, ExperimentData& experiment, Configuration& configuration);

  // The trace views' messages that move the window (0x7FC) and set its
  // length (0x7FE); false for any other.
  bool HandleMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) {
    return window_.HandleMessage(message, wParam, lParam);
  }
  // Moves the window to `position` seconds from the start of the recording.
  void NavigateTo(std::int32_t position) { window_.MoveSlider(1, position); }
  // The slider over the whole recording, the views at its start.
  void ResetSlider() { window_.ResetSlider(); }
  Shell::TraceTimeWindow& Window() { return window_; }

 private:
  Shell::RibbonTimeWindowHost host_;
  Shell::TraceTimeWindow window_;
};

}  // namespace ORV

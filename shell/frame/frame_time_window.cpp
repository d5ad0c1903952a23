#include "shell/frame/frame_time_window.h"

#include "core/base/configuration.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/ribbon_status_bar.h"
#include "shell/frame/main_frame.h"
#include "shell/frame/status_elements.h"

namespace ORV {
namespace {

// The navigation bar with one part of its range changed, redrawn.
template <typename Change>
void ChangeNavigation(CMainFrame& frame, Change change) {
  CNavigationControllerBar* bar = frame.NavigationBar();
  if (!bar) return;
  NavigationRange range = bar->Range();
  change(range);
  bar->SetRange(range);
  if (UI::RibbonStatusBar* status = frame.StatusBar()) status->update();
}

Shell::TimeWindowFrameParts FrameParts(CMainFrame& frame) {
  Shell::TimeWindowFrameParts parts;
  parts.showVideoAt = [&frame](double seconds) { frame.ShowVideoAt(seconds); };
  parts.setNavigationPosition = [&frame](int seconds) {
    ChangeNavigation(frame, [seconds](NavigationRange& r) { r.position = seconds; });
  };
  parts.setNavigationSpan = [&frame](int seconds) {
    ChangeNavigation(frame, [seconds](NavigationRange& r) { r.windowLength = static_cast<std::uint32_t>(seconds); });
  };
  parts.resetNavigation = [&frame](int position, int start, int length, int span) {
    ChangeNavigation(frame, [=](NavigationRange& r) {
      r = NavigationRange{start, start + length, position, static_cast<std::uint32_t>(span < 0 ? 0 : span)};
    });
  };
  parts.invalidateStatusBar = [&frame] {
    if (UI::RibbonStatusBar* status = frame.StatusBar()) status->update();
  };
  return parts;
}

}  // namespace

FrameTimeWindow::FrameTimeWindow(CMainFrame& frame, Shell::TraceGlue& glue, ExperimentData& experiment,
                                 Configuration& configuration)
    : host_(frame.Ribbon()->Model(), experiment, &frame, FrameParts(frame)),
      window_(glue, host_, configuration.TraceTimeSpan) {
  Shell::RegisterTimeWindowCommands(frame.Router(), frame.Ribbon()->Model(), window_, glue, experiment);
}

}  // namespace ORV

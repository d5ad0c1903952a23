#pragma once
// The time window in the program: its edits and slider are the ribbon's,
// the recorded length and whether an opened experiment is shown come from
// the experiment record, a refused time is told in a message box, and the
// video panes, the navigation bar and the status bar are reached through
// the frame's callbacks. RegisterTimeWindowCommands routes the six
// commands with their update rules. GUI thread.
#include <functional>

#include "shell/glue/time_window.h"

class QWidget;

namespace ORV {
class ExperimentData;
namespace UI {
class CommandRouter;
class RibbonModel;
}  // namespace UI
}  // namespace ORV

namespace ORV::Shell {

// The frame's parts that follow the time window (each may be empty).
struct TimeWindowFrameParts {
  std::function<void(double seconds)> showVideoAt;
  std::function<void(int seconds)> setNavigationPosition;
  std::function<void(int seconds)> setNavigationSpan;
  std::function<void(int position, int start, int length, int span)> resetNavigation;
  std::function<void()> invalidateStatusBar;
};

class RibbonTimeWindowHost final : public TimeWindowHost {
 public:
  RibbonTimeWindowHost(UI::RibbonModel& ribbon, ExperimentData& experiment, QWidget* messageOwner,
                       TimeWindowFrameParts parts);

  std::string EditText(std::uint32_t id) const override;
  void SetEditText(std::uint32_t id, const std::string& text) override;
  void ShowSlider(const TimeSlider& slider) override;
  std::uint32_t RecordedLength() const override;
  bool ShowingOpenedExperiment() const override;
  void ShowVideoAt(double seconds) override;
  void SetNavigationPosition(int seconds) override;
  void SetNavigationSpan(int seconds) override;
  void ResetNavigation(int position, int start, int length, int span) override;
  void InvalidateStatusBar() override;
  void ShowMessage(std::uint32_t textId) override;

 private:
  UI::RibbonModel& ribbon_;
  ExperimentData& experiment_;
  QWidget* messageOwner_;
  TimeWindowFrameParts parts_;
};

// The time-position edit, the slider, the span edit, Zoom In, Zoom Out and
// Expand View, each with its update rule.
void RegisterTimeWindowCommands(UI::CommandRouter& router, UI::RibbonModel& ribbon, TraceTimeWindow& window,
                                TraceGlue& glue, ExperimentData& experiment);

}  // namespace ORV::Shell

#include "shell/glue/time_window.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/base/time_text.h"
#include "platform/ui/string_ids.h"
#include "shell/glue/trace_glue.h"

namespace ORV::Shell {
namespace {

// Whole seconds as the edits show them; a time before the start shows as 0.
std::string SecondsText(double seconds) {
  if (!(seconds > 0.0)) return FormatTimeSeconds(0);
  return FormatTimeSeconds(
      static_cast<std::uint32_t>(std::min(seconds, double(std::numeric_limits<std::uint32_t>::max()))));
}

int ToInt(std::int64_t v) {
  return static_cast<int>(
      std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

TraceTimeWindow::TraceTimeWindow(TraceGlue& glue, TimeWindowHost& host, std::int32_t& traceTimeSpan)
    : glue_(glue), host_(host), traceTimeSpan_(traceTimeSpan) {}

void TraceTimeWindow::SetWindow(double span, double start) {
  if (!(span >= 1.0)) return;
  const int seconds = ToInt(static_cast<std::int64_t>(std::min(span, double(std::numeric_limits<int>::max()))));
  host_.SetEditText(ID_SCALETIME_EDIT_TIME, SecondsText(seconds));
  traceTimeSpan_ = seconds;
  glue_.SetTimeSpan(seconds);
  glue_.SetTimeRange(start, start + span);
  glue_.SelectTraceRange(nullptr, -1.0, -1.0);
  host_.SetEditText(ID_TIMESPAN_EDIT, SecondsText(start));
  OnTimePosition();
  host_.SetNavigationSpan(seconds);
  host_.InvalidateStatusBar();
  host_.SetEditText(ID_SCALETIME_EDIT_TIME, SecondsText(seconds));
}

void TraceTimeWindow::OnTimePosition() {
  std::int64_t value = 0;
  if (ParseTimeText(host_.EditText(ID_TIMESPAN_EDIT), value)) {
    const std::uint32_t length = host_.RecordedLength();
    if (length != 0 && value > std::int64_t{length}) {
      value = length;
      host_.SetEditText(ID_TIMESPAN_EDIT, SecondsText(double(value)));
    }
  } else {
    value = 0;
  }
  slider_.position =
      ToInt(std::clamp<std::int64_t>(value, slider_.minimum, std::max(slider_.minimum, slider_.maximum)));
  host_.ShowSlider(slider_);
  const double position = static_cast<double>(value);
  glue_.SetTimeRange(position, position + traceTimeSpan_);
  if (host_.ShowingOpenedExperiment()) {
    host_.ShowVideoAt(position);
    host_.SetNavigationPosition(ToInt(value));
  }
}

void TraceTimeWindow::MoveSlider(OS::WPARAM origin, OS::LPARAM lParam) {
  // Any posted value is taken, but no sum may overflow.
  const std::int64_t delta = ToInt(lParam);
  std::int64_t position = 0;
  switch (origin) {
    case 0:
      position = std::int64_t{slider_.position} + delta;
      break;
    case 1:
      position = std::int64_t{slider_.minimum} + delta;
      break;
    case 2:
      position = std::int64_t{slider_.maximum} + delta;
      break;
    default:
      break;
  }
  slider_.position =
      ToInt(std::clamp<std::int64_t>(position, slider_.minimum, std::max(slider_.minimum, slider_.maximum)));
  host_.ShowSlider(slider_);
  const double at = slider_.position;
  glue_.SetTimeRange(at, at + traceTimeSpan_);
  host_.SetEditText(ID_TIMESPAN_EDIT, SecondsText(at));
  if (host_.ShowingOpenedExperiment()) {
    host_.ShowVideoAt(at);
    host_.SetNavigationPosition(slider_.position);
  }
}

void TraceTimeWindow::OnSpan() {
  std::int64_t value = 0;
  // A span below one second would give every view an empty or reversed
  // window and be kept in the settings.
  if (!ParseTimeText(host_.EditText(ID_SCALETIME_EDIT_TIME), value) || value < 1) {
    host_.ShowMessage(UI::kEnteredTimeInvalidString);
    return;
  }
  const std::uint32_t length = host_.RecordedLength();
  const bool cut = length != 0 && value > std::int64_t{length};
  if (cut) value = length;
  const int seconds = ToInt(value);
  traceTimeSpan_ = seconds;
  glue_.SetTimeSpan(seconds);
  host_.SetNavigationSpan(seconds);
  slider_.page = seconds;
  host_.ShowSlider(slider_);
  if (cut) host_.SetEditText(ID_SCALETIME_EDIT_TIME, SecondsText(seconds));
}

void TraceTimeWindow::ShowSpan(std::int64_t seconds) {
  // A length that rounds to nothing is shown as it is, so that the span
  // command refuses it rather than reading a wrapped value.
  host_.SetEditText(ID_SCALETIME_EDIT_TIME, seconds < 1 ? std::to_string(seconds) : SecondsText(double(seconds)));
}

bool TraceTimeWindow::MainWindow(double& start, double& span) const {
  const GlueTraceView* main = glue_.MainView();
  if (!main) return false;
  start = main->XStart();
  span = std::ceil(main->XEnd() - main->XStart());
  return true;
}

bool TraceTimeWindow::CanZoomIn() const {
  double start = 0.0, span = 0.0;
  if (!MainWindow(start, span)) return false;
  const double q = span * 0.125;
  return span - 2.0 * q >= 1.0;
}

void TraceTimeWindow::OnZoomIn() {
  double start = 0.0, span = 0.0;
  if (!MainWindow(start, span)) return;
  const double q = span * 0.125;
  if (!(span - 2.0 * q >= 1.0)) return;
  history_.push_back({start, ToInt(static_cast<std::int64_t>(span))});
  SetWindow(6.0 * q, start + q);
}

void TraceTimeWindow::OnZoomOut() {
  if (history_.empty()) return;
  const ZoomEntry entry = history_.back();
  history_.pop_back();
  SetWindow(entry.span, entry.start);
}

bool TraceTimeWindow::CanExpandView() const {
  const SelectedRange selection = glue_.Selection();
  return glue_.MainView() != nullptr && selection.Exists() && selection.stop - selection.start >= 1.0;
}

void TraceTimeWindow::OnExpandView() {
  double start = 0.0, span = 0.0;
  if (!MainWindow(start, span)) return;
  history_.push_back({start, ToInt(static_cast<std::int64_t>(span))});
  const SelectedRange selection = glue_.Selection();
  if (selection.Exists() && selection.stop > selection.start)
    SetWindow(std::ceil(selection.stop - selection.start), selection.start);
}

void TraceTimeWindow::ResetSlider() {
  const std::uint32_t length = host_.RecordedLength();
  if (length > 0 && traceTimeSpan_ > 0 && static_cast<std::uint32_t>(traceTimeSpan_) > length) {
    traceTimeSpan_ = static_cast<std::int32_t>(length);
    host_.SetEditText(ID_SCALETIME_EDIT_TIME, SecondsText(traceTimeSpan_));
  }
  slider_ = {0, ToInt(length), traceTimeSpan_, 0};
  host_.ShowSlider(slider_);
  glue_.SetTimeRange(0.0, traceTimeSpan_);
  host_.ResetNavigation(0, 0, ToInt(length), traceTimeSpan_);
  host_.InvalidateStatusBar();
}

bool TraceTimeWindow::HandleMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) {
  if (message == WM_TIME_POSITION) {
    MoveSlider(wParam, lParam);
    return true;
  }
  if (message == WM_TIME_SPAN) {
    // To the nearest whole second.
    ShowSpan((std::int64_t{ToInt(lParam)} + 500) / 1000);
    OnSpan();
    return true;
  }
  return false;
}

}  // namespace ORV::Shell

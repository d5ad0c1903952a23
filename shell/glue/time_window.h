#pragma once
// The main frame's time window of the trace views: the time-position edit,
// the position slider, the span edit, Zoom In, Zoom Out and Expand View, and
// the two messages by which the trace views and the action sheet move the
// window (0x7FC) and set its length (0x7FE). The views are driven through
// the trace glue; the ribbon controls, the video panes, the navigation bar
// and the status bar through the frame's host interface.
//
// The span is kept in the configuration's "TraceTimeSpan" (whole seconds).
// Edits show seconds as "h:mm:ss" and are read back by the same rules as
// every time the user types. User-interface thread only.
#include <cstdint>
#include <deque>
#include <string>

#include "platform/os/message_target.h"

namespace ORV::Shell {

class TraceGlue;

inline constexpr std::uint32_t ID_TIMESPAN_EDIT = 32797;
inline constexpr std::uint32_t ID_TIMESPAN_SLIDER = 32798;
inline constexpr std::uint32_t ID_SCALETIME_EDIT_TIME = 32824;
inline constexpr std::uint32_t ID_SCALETIME_BTN_x2 = 32818;
inline constexpr std::uint32_t ID_SCALETIME_BTN_DIVIDE2 = 32833;
inline constexpr std::uint32_t ID_EXPAND_VIEW_BUTTON = 32813;
// Moves the time position: wParam the origin (0 the current position, 1 the
// start, 2 the end), lParam the seconds from it.
inline constexpr std::uint32_t WM_TIME_POSITION = 0x7FC;
// Sets the span: lParam the new length in ms.
inline constexpr std::uint32_t WM_TIME_SPAN = 0x7FE;

struct TimeSlider {
  int minimum = 0;
  int maximum = 0;
  int page = 0;
  int position = 0;
  bool operator==(const TimeSlider&) const = default;
};

// What the time window drives of the main frame.
class TimeWindowHost {
 public:
  virtual ~TimeWindowHost() = default;
  // The text of a ribbon edit (32797 or 32824), and setting it.
  virtual std::string EditText(std::uint32_t id) const = 0;
  virtual void SetEditText(std::uint32_t id, const std::string& text) = 0;
  virtual void ShowSlider(const TimeSlider& slider) = 0;
  // The recorded experiment's length in whole seconds: (stop tick - start
  // tick) / 1000; 0 when there is none.
  virtual std::uint32_t RecordedLength() const = 0;
  // True while an experiment opened from a file (or imported) is shown.
  virtual bool ShowingOpenedExperiment() const = 0;
  // The video panes show their frames at this time.
  virtual void ShowVideoAt(double seconds) = 0;
  // The navigation bar: each call redraws it.
  virtual void SetNavigationPosition(int seconds) = 0;
  virtual void SetNavigationSpan(int seconds) = 0;
  virtual void ResetNavigation(int position, int start, int length, int span) = 0;
  virtual void InvalidateStatusBar() = 0;
  // Shows a message of the string table to the user.
  virtual void ShowMessage(std::uint32_t textId) = 0;
};

class TraceTimeWindow {
 public:
  // `traceTimeSpan` is the configuration's "TraceTimeSpan".
  TraceTimeWindow(TraceGlue& glue, TimeWindowHost& host, std::int32_t& traceTimeSpan);

  // Shows start..start + span in every view, remembers the span and clears
  // the selection; nothing for a span below 1 s.
  void SetWindow(double span, double start);
  // The time-position edit (32797) was entered.
  void OnTimePosition();
  // The span edit (32824) was entered; an unparsable span, or one below
  // 1 s, is refused with a message and changes nothing.
  void OnSpan();
  void OnZoomIn();
  void OnZoomOut();
  void OnExpandView();
  // Moves the slider `delta` seconds from `origin` (0 the current position,
  // 1 the minimum, 2 the maximum; any other origin goes to 0).
  void MoveSlider(OS::WPARAM origin, OS::LPARAM delta);
  // The slider over the whole recording, the views at its start.
  void ResetSlider();
  // 0x7FC and 0x7FE; false for other messages.
  bool HandleMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam);

  // Update rules.
  bool CanZoomIn() const;
  bool CanZoomOut() const { return !history_.empty(); }
  bool CanExpandView() const;

  const TimeSlider& Slider() const { return slider_; }
  struct ZoomEntry {
    double start = 0.0;
    int span = 0;
  };
  const std::deque<ZoomEntry>& History() const { return history_; }

 private:
  // The main view's window start and its length raised to whole seconds;
  // false when no view is registered.
  bool MainWindow(double& start, double& span) const;
  void ShowSpan(std::int64_t seconds);

  TraceGlue& glue_;
  TimeWindowHost& host_;
  std::int32_t& traceTimeSpan_;
  TimeSlider slider_;
  std::deque<ZoomEntry> history_;
};

}  // namespace ORV::Shell

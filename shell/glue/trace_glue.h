#pragma once
// The application's trace glue: it keeps the registered trace views, the
// data sheet and the session in step. One change (a selected range, the
// visible time range or span, live trace on or off) goes out to every
// registered view, and their graphs are driven only through the graph
// control's dispatch interface. The export of a range statistic reads each
// qualifying view's graph and adds one row per view to the session and the
// data sheet.
//
// User-interface thread only; views register and unregister themselves on
// that thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"

namespace ORV {
class ExperimentData;
struct CalculationData;
}  // namespace ORV

namespace ORV::Shell {

// What the glue reads and sets of one registered trace view.
class GlueTraceView {
 public:
  virtual ~GlueTraceView() = default;
  // The view's graph control; null when it has none (every fan-out then
  // reports E_POINTER for it).
  virtual Com::IDispatch* GraphControl() = 0;
  // 0 none, 1..10 camera kinds, above 10 instrument kinds and custom traces.
  virtual std::int32_t TraceKind() const = 0;
  virtual int CameraIndex() const = 0;
  // The zone the view shows of a camera; 0 when none.
  virtual int ZoneOfCamera(int camera) const = 0;
  virtual int TimeSpan() const = 0;
  virtual void SetTimeSpan(int seconds) = 0;
  virtual double ReferenceTime() const = 0;
  virtual void SetReferenceTime(double seconds) = 0;
  virtual double XStart() const = 0;
  virtual double XEnd() const = 0;
  virtual void SetXRange(double start, double end) = 0;
  virtual double YMin() const = 0;
  virtual double YMax() const = 0;
  virtual void SetYRange(double min, double max) = 0;
  virtual bool AutoRange() const = 0;
  virtual void SetFollowLive(bool on) = 0;
  virtual bool SelectAll() const = 0;
  // Whether the trace follows a camera zone (camera kinds, and custom traces
  // driven by camera samples); other traces have no zone.
  virtual bool FollowsZone() const { return TraceKind() >= 1 && TraceKind() <= 10; }
  // While the record collects, asks for a marker at the experiment clock's
  // current time and returns true; false, asking nothing, otherwise.
  virtual bool AskMarkerAtClockTime() { return false; }
};

// The open data sheet's view as the glue fills it.
class DataSheetRows {
 public:
  virtual ~DataSheetRows() = default;
  // Shows one record that the session already holds.
  virtual void AddMeasurementRow(const CalculationData& record) = 0;
  // Shows every calculation of the session again.
  virtual void Refresh() = 0;
};

// The documents and ribbon texts the glue needs of the application.
class TraceGlueHost {
 public:
  virtual ~TraceGlueHost() = default;
  // The open data sheet's view; null when no data sheet is open.
  virtual DataSheetRows* DataSheet() = 0;
  // Opens a new visible data sheet; its view, null when none could be made.
  virtual DataSheetRows* OpenDataSheet() = 0;
  // Sets a ribbon button's text; false when there is no such button.
  virtual bool SetCommandText(std::uint32_t id, const std::string& text) = 0;
};

// The live-trace button; it reads kStartLiveTraceString or
// kStopLiveTraceString of the string table.
inline constexpr std::uint32_t ID_TRACE_START_STOP_BUTTON = 32799;

struct SelectedRange {
  double start = 0.0;
  double stop = 0.0;  // no selection when 0 or less
  bool Exists() const { return stop > 0.0; }
};

class TraceGlue {
 public:
  // `texts` looks a text up by its string id.
  TraceGlue(ExperimentData& experiment, TraceGlueHost& host, std::function<std::string(std::uint32_t)> texts);

  // ---- the registered views ----
  // A view adds itself once its graph exists; adding it twice keeps one.
  void RegisterView(GlueTraceView& view);
  // A view leaves when it is destroyed; when the last one leaves, the
  // remembered range becomes 0, 0.
  void UnregisterView(GlueTraceView& view);
  const std::vector<GlueTraceView*>& Views() const { return views_; }
  // The first registered view; null when none is.
  GlueTraceView* MainView() const { return views_.empty() ? nullptr : views_.front(); }

  // ---- the fan-out ----
  // Remembers the range and selects it in every view but `source` (may be
  // null): the whole range in views that select all traces, nothing in the
  // others.
  void SelectTraceRange(const GlueTraceView* source, double start, double stop);
  SelectedRange Selection() const { return selection_; }
  // Every view shows start..end; a view with the automatic range fits its Y
  // range to the data in that window first.
  void SetTimeRange(double start, double end);
  // Every view takes the span and moves its X range to it.
  void SetTimeSpan(int seconds);
  // The application's and every view's live flag, and the live-trace
  // button's text.
  void SetLiveTrace(bool on);
  bool LiveTrace() const { return live_; }

  // ---- the data sheet ----
  // Shows the session's calculations again in the open data sheet.
  void RefreshDataView();
  // Adds the statistic `method` of every view's selection (or, for the
  // video-measurement method, the data pad's measurements) to the session
  // and the data sheet, opening the sheet when it is not open.
  void ExportToDataSheet(std::int32_t method);

 private:
  // The row of one view's selection; false when the view gives none.
  bool StatisticRow(GlueTraceView& view, std::int32_t method, CalculationData& row) const;
  std::string CameraName(int camera) const;

  ExperimentData& experiment_;
  TraceGlueHost& host_;
  std::function<std::string(std::uint32_t)> texts_;
  std::vector<GlueTraceView*> views_;
  SelectedRange selection_;
  bool live_ = true;
};

}  // namespace ORV::Shell

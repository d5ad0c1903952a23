#pragma once
// Fakes around the trace glue: a graph that records every dispatch call and
// answers the selection and statistic queries, trace views with plain
// fields, a data sheet that records its rows, and the frame's hosts.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/experiment/session_records.h"
#include "graph_control/graph_interface.h"
#include "platform/ui/string_ids.h"
#include "shell/glue/time_window.h"
#include "shell/glue/trace_glue.h"

namespace ORV::Shell::Test {

// One dispatch call: the member and its numeric arguments (by-reference
// arguments are left out).
struct Call {
  Com::DISPID id;
  std::vector<double> args;
  bool operator==(const Call&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Call& c) {
  os << c.id << "(";
  for (double a : c.args) os << a << " ";
  return os << ")";
}

class FakeGraph final : public Com::IDispatch {
 public:
  Com::HRESULT Invoke(Com::DISPID id, unsigned, std::span<const Com::Variant> args, Com::Variant* result) override {
    Call call{id, {}};
    for (const Com::Variant& a : args) {
      if (a.Holds<double>()) call.args.push_back(a.Get<double>());
      if (a.Holds<std::int32_t>()) call.args.push_back(a.Get<std::int32_t>());
      if (a.Holds<std::int16_t>()) call.args.push_back(a.Get<std::int16_t>());
    }
    calls.push_back(call);
    Com::Variant out;
    switch (id) {
      case Graph::Dispid::SetRange:
        out = Com::Variant(true);
        break;
      case Graph::Dispid::GetRangesMinAndMax:
        *args[0].Get<double*>() = dataMin;
        *args[1].Get<double*>() = dataMax;
        break;
      case Graph::Dispid::GetActiveSelection:
        *args[0].Get<double*>() = selStart;
        *args[1].Get<double*>() = selStop;
        break;
      case Graph::Dispid::CalculateAnalysisValue:
        out = Com::Variant(value);
        break;
      case Graph::Dispid::GetNumberOfCalculatedAnalysisPoints:
        out = Com::Variant(points);
        break;
      case Graph::Dispid::GetStandardDeviationOfCalculatedAnalysisPoints:
        out = Com::Variant(sd);
        break;
      case Graph::Dispid::GetStandardErrorOfCalculatedAnalysisPoints:
        out = Com::Variant(se);
        break;
      default:
        break;
    }
    if (result) *result = out;
    return Com::S_OK;
  }

  std::vector<Call> calls;
  double dataMin = 2.0, dataMax = 8.0;
  double selStart = 0.0, selStop = 0.0;
  double value = 0.0;
  std::int32_t points = 0;
  double sd = 0.0, se = 0.0;
};

class FakeView final : public GlueTraceView {
 public:
  explicit FakeView(bool withGraph = true) : hasGraph(withGraph) {}
  Com::IDispatch* GraphControl() override { return hasGraph ? &graph : nullptr; }
  std::int32_t TraceKind() const override { return kind; }
  int CameraIndex() const override { return camera; }
  int ZoneOfCamera(int c) const override { return c == camera ? zone : 0; }
  int TimeSpan() const override { return span; }
  void SetTimeSpan(int seconds) override { span = seconds; }
  double ReferenceTime() const override { return reference; }
  void SetReferenceTime(double s) override { reference = s; }
  double XStart() const override { return xStart; }
  double XEnd() const override { return xEnd; }
  void SetXRange(double s, double e) override { xStart = s, xEnd = e; }
  double YMin() const override { return yMin; }
  double YMax() const override { return yMax; }
  void SetYRange(double lo, double hi) override { yMin = lo, yMax = hi; }
  bool AutoRange() const override { return autoRange; }
  void SetFollowLive(bool on) override { followLive = on; }
  bool SelectAll() const override { return selectAll; }
  bool FollowsZone() const override { return cameraDriven || (kind >= 1 && kind <= 10); }
  bool AskMarkerAtClockTime() override {
    if (collecting) ++clockMarkers;
    return collecting;
  }

  FakeGraph graph;
  bool hasGraph;
  std::int32_t kind = 5;
  int camera = 0;
  int zone = 1;
  int span = 60;
  double reference = 0.0;
  double xStart = 0.0, xEnd = 60.0;
  double yMin = -1.0, yMax = 1.0;
  bool autoRange = false;
  bool followLive = false;
  bool selectAll = false;
  bool cameraDriven = false;  // a custom trace that follows a zone
  bool collecting = false;    // the record collects: "Add" takes the clock's time
  int clockMarkers = 0;
};

class FakeSheet final : public DataSheetRows {
 public:
  void AddMeasurementRow(const CalculationData& record) override { rows.push_back(record); }
  void Refresh() override { ++refreshes; }
  std::vector<CalculationData> rows;
  int refreshes = 0;
};

class FakeGlueHost final : public TraceGlueHost {
 public:
  DataSheetRows* DataSheet() override { return open ? &sheet : nullptr; }
  DataSheetRows* OpenDataSheet() override {
    ++opens;
    open = canOpen;
    return DataSheet();
  }
  bool SetCommandText(std::uint32_t id, const std::string& text) override {
    texts[id] = text;
    return true;
  }
  FakeSheet sheet;
  bool open = false;
  bool canOpen = true;
  int opens = 0;
  std::map<std::uint32_t, std::string> texts;
};

inline std::string Text(std::uint32_t id) {
  switch (id) {
    case UI::kStartLiveTraceString:
      return "Start Live Trace";
    case UI::kStopLiveTraceString:
      return "Stop Live Trace";
    default:
      return "";
  }
}

class FakeTimeHost final : public TimeWindowHost {
 public:
  std::string EditText(std::uint32_t id) const override {
    const auto it = edits.find(id);
    return it == edits.end() ? std::string() : it->second;
  }
  void SetEditText(std::uint32_t id, const std::string& text) override { edits[id] = text; }
  void ShowSlider(const TimeSlider& s) override { slider = s; }
  std::uint32_t RecordedLength() const override { return length; }
  bool ShowingOpenedExperiment() const override { return opened; }
  void ShowVideoAt(double seconds) override { videoAt.push_back(seconds); }
  void SetNavigationPosition(int s) override { navPosition = s; }
  void SetNavigationSpan(int s) override { navSpan = s; }
  void ResetNavigation(int position, int start, int len, int span) override {
    navPosition = position, navStart = start, navLength = len, navSpan = span;
  }
  void InvalidateStatusBar() override { ++statusInvalidated; }
  void ShowMessage(std::uint32_t id) override { messages.push_back(id); }

  std::map<std::uint32_t, std::string> edits;
  TimeSlider slider;
  std::uint32_t length = 0;
  bool opened = false;
  std::vector<double> videoAt;
  int navPosition = -1, navSpan = -1, navStart = -1, navLength = -1;
  int statusInvalidated = 0;
  std::vector<std::uint32_t> messages;
};

}  // namespace ORV::Shell::Test

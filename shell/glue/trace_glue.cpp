#include "shell/glue/trace_glue.h"

#include <algorithm>

#include "core/experiment/experiment_data.h"
#include "core/experiment/session_records.h"
#include "graph_control/graph_interface.h"
#include "platform/com/caller.h"
#include "platform/ui/string_ids.h"

namespace ORV::Shell {

namespace Dispid = Graph::Dispid;

TraceGlue::TraceGlue(ExperimentData& experiment, TraceGlueHost& host, std::function<std::string(std::uint32_t)> texts)
    : experiment_(experiment), host_(host), texts_(std::move(texts)) {}

void TraceGlue::RegisterView(GlueTraceView& view) {
  if (std::find(views_.begin(), views_.end(), &view) == views_.end()) views_.push_back(&view);
}

void TraceGlue::UnregisterView(GlueTraceView& view) {
  std::erase(views_, &view);
  if (views_.empty()) selection_ = {};
}

void TraceGlue::SelectTraceRange(const GlueTraceView* source, double start, double stop) {
  selection_ = {start, stop};
  for (GlueTraceView* view : views_) {
    if (view == source) continue;
    const Com::Dispatcher graph(view->GraphControl());
    if (view->SelectAll())
      graph.Invoke(Dispid::SelectTrace, start, stop);
    else
      graph.Invoke(Dispid::SelectTrace, 0.0, 0.0);
  }
}

void TraceGlue::SetTimeRange(double start, double end) {
  for (GlueTraceView* view : views_) {
    const Com::Dispatcher graph(view->GraphControl());
    view->SetReferenceTime(start);
    view->SetXRange(start, end);
    if (view->AutoRange()) {
      graph.Invoke<bool>(Dispid::SetRange, start, end, -2.0, -2.0, std::int32_t{1});
      double min = 0.0, max = 0.0;
      graph.Invoke(Dispid::GetRangesMinAndMax, &min, &max);
      // A flat trace still gets a Y range the graph can draw.
      if (min == max) max += 0.5;
      view->SetYRange(min, max);
    }
    graph.Invoke<bool>(Dispid::SetRange, start, end, view->YMin(), view->YMax(), std::int32_t{0});
  }
}

void TraceGlue::SetTimeSpan(int seconds) {
  for (GlueTraceView* view : views_) {
    view->SetTimeSpan(seconds);
    const double reference = view->ReferenceTime();
    if (reference > seconds)
      view->SetXRange(reference - seconds, reference);
    else
      view->SetXRange(view->XStart(), view->XStart() + seconds);
    Com::Dispatcher(view->GraphControl())
        .Invoke<bool>(Dispid::SetRange, view->XStart(), view->XEnd(), view->YMin(), view->YMax(),
                      std::int32_t{view->AutoRange() ? 1 : 0});
  }
}

void TraceGlue::SetLiveTrace(bool on) {
  live_ = on;
  for (GlueTraceView* view : views_) view->SetFollowLive(on);
  host_.SetCommandText(ID_TRACE_START_STOP_BUTTON, texts_(on ? UI::kStopLiveTraceString : UI::kStartLiveTraceString));
}

void TraceGlue::RefreshDataView() {
  if (DataSheetRows* sheet = host_.DataSheet()) sheet->Refresh();
}

std::string TraceGlue::CameraName(int camera) const {
  const bool fromFile = experiment_.mode.load() == kModeFile;
  return experiment_.Read([&](const ExperimentContents& c) {
    const std::vector<std::string>& names = fromFile ? c.fileCameraNames : c.cameraNames;
    return camera >= 0 && static_cast<std::size_t>(camera) < names.size() ? names[std::size_t(camera)] : std::string();
  });
}

bool TraceGlue::StatisticRow(GlueTraceView& view, std::int32_t method, CalculationData& row) const {
  const Com::Dispatcher graph(view.GraphControl());
  double start = 0.0, stop = 0.0;
  graph.Invoke(Dispid::GetActiveSelection, &start, &stop);
  const std::int32_t kind = view.TraceKind();
  const int camera = view.CameraIndex();
  // A trace without a zone is stored with zone -1 ("none"); a camera trace
  // that follows no zone has nothing to measure.
  const int zone = view.FollowsZone() ? view.ZoneOfCamera(camera) : -1;
  if (!(start > 0.0) || kind == 0 || (kind <= 10 && zone == 0)) return false;

  const double value = graph.Invoke<double>(Dispid::CalculateAnalysisValue, static_cast<std::int16_t>(method));
  const std::int32_t points = graph.Invoke<std::int32_t>(Dispid::GetNumberOfCalculatedAnalysisPoints);
  const double sd = graph.Invoke<double>(Dispid::GetStandardDeviationOfCalculatedAnalysisPoints);
  const double se = graph.Invoke<double>(Dispid::GetStandardErrorOfCalculatedAnalysisPoints);
  // A statistic over no points failed: its value is no measurement, and the
  // count, SD and SE may be left from an earlier one.
  if (points == 0) return false;

  std::string comment = experiment_.FindMarkerText(stop, static_cast<std::uint32_t>(camera));
  if (experiment_.CameraCount() > 1) comment = CameraName(camera) + ": " + comment;

  row = CalculationData{};
  row.kind = method;
  row.traceKind = kind;
  row.zone = zone;
  row.value = value;
  row.selectionEnd = stop;
  row.selectionStart = start;
  row.group = CalculationData::kGroupHead;
  row.comment = CutCalculationComment(comment);
  row.count = points;
  row.sd = sd;
  row.standardError = se;
  return true;
}

void TraceGlue::ExportToDataSheet(std::int32_t method) {
  DataSheetRows* sheet = host_.DataSheet();
  if (!sheet) {
    sheet = host_.OpenDataSheet();
    if (!sheet) return;
    sheet->Refresh();
  }
  if (method == CalculationData::kVideoMeasurement) {
    for (const CalculationData& row : experiment_.DataPad().TakeRows()) {
      experiment_.AddCalculationData(row);
      sheet->AddMeasurementRow(row);
    }
    return;
  }
  for (GlueTraceView* view : views_) {
    CalculationData row;
    if (!StatisticRow(*view, method, row)) continue;
    experiment_.AddCalculationData(row);
    sheet->AddMeasurementRow(row);
  }
}

}  // namespace ORV::Shell

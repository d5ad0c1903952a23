#include "shell/glue/trace_view_link.h"

#include <algorithm>

#include "views/trace_view.h"

namespace ORV::Shell {

TraceViewLink::TraceViewLink(TraceGlue& glue, Views::CPelmoraView& view, bool selectAll)
    : glue_(glue), view_(view), selectAll_(selectAll) {
  view_.SetLive(glue_.LiveTrace());
  glue_.RegisterView(*this);
}

TraceViewLink::~TraceViewLink() { glue_.UnregisterView(*this); }

Com::IDispatch* TraceViewLink::GraphControl() { return view_.Graph().target(); }
std::int32_t TraceViewLink::TraceKind() const { return view_.TraceCode(); }
int TraceViewLink::CameraIndex() const { return view_.CurrentCamera(); }
int TraceViewLink::ZoneOfCamera(int camera) const { return std::max(0, view_.SelectedZone(camera)); }
bool TraceViewLink::FollowsZone() const { return view_.IsCameraTrace(); }
bool TraceViewLink::AskMarkerAtClockTime() { return view_.AskMarkerAtClockTime(); }
int TraceViewLink::TimeSpan() const { return view_.WindowLength(); }
void TraceViewLink::SetTimeSpan(int seconds) { view_.SetWindowLength(seconds); }
double TraceViewLink::XStart() const { return view_.XMin(); }
double TraceViewLink::XEnd() const { return view_.XMax(); }
void TraceViewLink::SetXRange(double start, double end) { view_.SetXRange(start, end); }
double TraceViewLink::YMin() const { return view_.YMin(); }
double TraceViewLink::YMax() const { return view_.YMax(); }
void TraceViewLink::SetYRange(double min, double max) { view_.SetYRange(min, max); }
bool TraceViewLink::AutoRange() const { return view_.AutoRangeNow(); }
void TraceViewLink::SetFollowLive(bool on) {
  const bool was = view_.Live();
  view_.SetLive(on);
  // Switched on, a view that has live data shows the newest window at once
  // rather than with the next sample.
  if (on && !was && view_.CurrentTime() > 0.0) view_.ShowNewestWindow();
}

}  // namespace ORV::Shell

#pragma once
// A trace view as the glue drives it. The view keeps its X and Y ranges, its
// time span, its live flag and its automatic range; the link keeps what only
// the glue uses: the reference time and the select-all flag (taken from the
// "SelectAllTraces" setting when the view is made). The link registers the
// view with the glue while it exists, so it is made once the view's graph
// exists and destroyed before the view.
#include "shell/glue/trace_glue.h"

namespace ORV::Views {
class CPelmoraView;
}

namespace ORV::Shell {

class TraceViewLink final : public GlueTraceView {
 public:
  TraceViewLink(TraceGlue& glue, Views::CPelmoraView& view, bool selectAll);
  ~TraceViewLink() override;
  TraceViewLink(const TraceViewLink&) = delete;
  TraceViewLink& operator=(const TraceViewLink&) = delete;

  Views::CPelmoraView& View() { return view_; }
  // The user selected start..stop in this view's graph: every other view
  // follows.
  void SelectedInView(double start, double stop) { glue_.SelectTraceRange(this, start, stop); }
  void SetSelectAll(bool on) { selectAll_ = on; }

  Com::IDispatch* GraphControl() override;
  std::int32_t TraceKind() const override;
  int CameraIndex() const override;
  // The view's selected zone of the camera (1-4), 0 when it follows none.
  int ZoneOfCamera(int camera) const override;
  int TimeSpan() const override;
  void SetTimeSpan(int seconds) override;
  double ReferenceTime() const override { return reference_; }
  void SetReferenceTime(double seconds) override { reference_ = seconds; }
  double XStart() const override;
  double XEnd() const override;
  void SetXRange(double start, double end) override;
  double YMin() const override;
  double YMax() const override;
  void SetYRange(double min, double max) override;
  // The flag the view itself hands the graph's SetRange.
  bool AutoRange() const override;
  void SetFollowLive(bool on) override;
  bool SelectAll() const override { return selectAll_; }
  bool FollowsZone() const override;
  bool AskMarkerAtClockTime() override;

 private:
  TraceGlue& glue_;
  Views::CPelmoraView& view_;
  bool selectAll_;
  double reference_ = 0.0;
};

}  // namespace ORV::Shell

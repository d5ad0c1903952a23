// The trace view's life, its graph set-up, its configuration for a trace,
// zones and markers. The channels and the replot are in
// trace_view_channels.cpp.
#include "views/trace_view.h"

#include <algorithm>
#include <chrono>

#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "custom_traces/custom_trace_context.h"
#include "graph_control/graph_interface.h"

namespace ORV::Views {

namespace Dispid = Graph::Dispid;

namespace {

std::int64_t SteadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsCamera(int camera) { return camera >= 0 && camera < static_cast<int>(kMaxCameras); }

// An experiment read from a file is shown without its instruments: its
// traces count as recorded by all of them (the temperature by the
// microscope on the incubation chamber system, by the pressure interface
// otherwise).
DevicesPresent DevicesFor(const ExperimentData& experiment, DevicesPresent devices) {
  if (experiment.mode != kModeFile) return devices;
  devices.flowMeter = true;
  devices.microscope = true;
  if (devices.productType == 2)
    devices.heatController = true;
  else
    devices.pressureInterface = true;
  return devices;
}

}  // namespace

CPelmoraView::CPelmoraView(Params p)
    : experiment_(*p.experiment),
      doc_(*p.registry, p.settingsVersion, p.texts),
      self_(std::move(p.self)),
      host_(p.host),
      steadyMs_(p.steadyMs ? std::move(p.steadyMs) : std::function<std::int64_t()>(SteadyNowMs)),
      devices_(DevicesFor(*p.experiment, p.devices)),
      windowLength_(p.traceTimeSpan),
      xMax_(p.traceTimeSpan),
      live_(p.live),
      texts_(std::move(p.texts)) {
  for (auto& zone : selectedZone_) zone.store(-1);
  cameraCount_ = static_cast<int>(experiment_.CameraCount());
  experiment_.Read([&](const ExperimentContents& c) {
    for (std::size_t i = 0; i < zoneCount_.size(); ++i) zoneCount_[i] = static_cast<int>(c.zoneCount[i]);
    return 0;
  });
  startTime_ = experiment_.startTick;
  registrations_.push_back(experiment_.RegisterImageAnalysisConsumer(this));
  registrations_.push_back(experiment_.RegisterPressureConsumer(this));
  registrations_.push_back(experiment_.RegisterFlowConsumer(this));
  if (devices_.microscope) registrations_.push_back(experiment_.RegisterMicroscopeConsumer(this));
}

CPelmoraView::~CPelmoraView() {
  // Removing waits for a producer inside a receiver to leave it; after this
  // nothing calls the view or posts for it.
  registrations_.clear();
}

void CPelmoraView::AttachGraph(Com::IDispatch* graph, std::int32_t frameColor, bool noSaveData) {
  graph_.reset(graph);
  if (!graph_) return;
  graph_.Put(Dispid::ControlFrameColor, frameColor);
  graph_.Put(Dispid::PlotAreaColor, kPlotAreaColor);
  graph_.Put(Dispid::GridColor, kGridColor);
  graph_.Put(Dispid::ShowGrid, true);
  graph_.Invoke(Dispid::SetGridXElements, std::int32_t{xGrid_});
  graph_.Invoke(Dispid::SetGridYElements, std::int32_t{yGrid_});
  graph_.Put(Dispid::FormatAxisBottom, "%g");
  graph_.Put(Dispid::FormatAxisLeft, "%.1f");
  ApplyRange();
  graph_.Put(Dispid::ElementLineColor, std::int32_t{0});
  graph_.Put(Dispid::DrawNoSaveData, noSaveData);
}

// ---- configuring ----

bool CPelmoraView::IsCameraTrace(std::int32_t code) const {
  if (IsCustomTraceId(code)) return IsCameraCustomTrace();
  return code >= 0 && code <= 10;
}

int CPelmoraView::ScriptType() const {
  if (!custom_) return -1;
  const auto definition = custom_->GetTrace();
  return definition ? definition->ScriptType : -1;
}

bool CPelmoraView::IsCameraCustomTrace() const { return ScriptType() == 2; }

void CPelmoraView::ShowTrace(std::int32_t code) {
  if (code < kFirstCustomTraceId) {
    custom_.reset();
  } else {
    // Only a trace the experiment holds: looking up an unknown code would
    // enter an empty one into the experiment's list.
    custom_.reset();
    for (const auto& [identity, name] : experiment_.GetCustomTraces())
      if (identity == code) custom_ = experiment_.GetCustomTrace(code);
  }
  doc_.SetTraceSource(code, custom_);
  ConfigureGraphForTrace(code);
}

void CPelmoraView::ConfigureGraphForTrace(std::int32_t code) {
  SetupGraphForTrace(code);
  if (!graph_) return;
  if (autoRangeNow_) {
    double lo = 0.0, hi = 0.0;
    graph_.Invoke(Dispid::GetRangesMinAndMax, &lo, &hi);
    if (lo == hi) hi += 0.5;
    yMin_ = lo;
    yMax_ = hi;
  }
  ApplyRange();
  if (host_) host_->Invalidate();
}

void CPelmoraView::ApplyTraceSettings() {
  std::string unit;
  TraceSettings settings = doc_.ReadTraceSettings(doc_.TraceCode(), unit);
  settings.autoRange = true;
  doc_.WriteTraceSettings(doc_.TraceCode(), settings);
  SetupGraphForTrace(doc_.TraceCode());
  if (!graph_) return;
  graph_.Put(Dispid::UseAutoRange, useAutoRange_);
  graph_.Invoke<bool>(Dispid::SetRange, -1.0, -1.0, yMin_, yMax_, std::int32_t{autoRangeNow_});
}

void CPelmoraView::Retitle() {
  const int camera = currentCamera_;
  const int zone = SelectedZone(camera);
  if (cameraCount_ > 1 && IsCamera(camera) && camera < cameraCount_) {
    const std::uint32_t mode = experiment_.mode;
    const std::string label = experiment_.Read([&](const ExperimentContents& c) {
      const auto& labels = mode == kModeFile ? c.fileCameraNames : c.cameraLabels;
      return static_cast<std::size_t>(camera) < labels.size() ? labels[static_cast<std::size_t>(camera)]
                                                              : std::string();
    });
    doc_.UpdateTitleWithCamera(label, zone);
  } else {
    doc_.UpdateTitle(zone);
  }
}

void CPelmoraView::SetupGraphForTrace(std::int32_t code) {
  if (code == -1) code = code_;
  if (host_) host_->SetBusy(true);
  const int camera = currentCamera_;

  // The zone: traces that follow no zone clear it; camera traces take zone
  // 1 when the camera has zones and none is chosen.
  const bool cameraTrace = code <= 10 || (IsCustomTraceId(code) && IsCameraCustomTrace());
  if (IsCamera(camera)) {
    if (!cameraTrace)
      selectedZone_[camera] = -1;
    else if (zoneCount_[camera] > 0 && selectedZone_[camera] == -1)
      selectedZone_[camera] = 1;
  }
  Retitle();

  if (code != 0) {
    if (graph_) graph_.Invoke(Dispid::ClearGraph);
    annotations_.clear();
    rebuildPending_ = true;
    frozen_ = false;
    previousPulse_.reset();
    replotted_.fill(-1);

    TraceSettings settings;
    std::string unitText;
    if (!IsCustomTraceId(code)) {
      settings = doc_.ReadTraceSettings(code, unitText);
    } else if (const auto definition = custom_ ? custom_->GetTrace() : nullptr) {
      settings.minimum = definition->MinimumLimit;
      settings.maximum = definition->MaximumLimit;
      settings.horizontalLabels = definition->HorizontalLabels;
      settings.verticalLabels = definition->VerticalLabels;
      settings.showTraceUnit = definition->ShowUnit;
      settings.autoRange = definition->AutoRange;
      unitText = definition->UnitTypeString;
    }
    xGrid_ = settings.horizontalLabels;
    yGrid_ = settings.verticalLabels;
    useAutoRange_ = autoRangeNow_ = settings.autoRange;
    yMin_ = settings.minimum;
    yMax_ = settings.maximum;
    firstValue_ = true;

    if (graph_) {
      graph_.Invoke(Dispid::SetGridXElements, std::int32_t{xGrid_});
      graph_.Invoke(Dispid::SetGridYElements, std::int32_t{yGrid_});
      graph_.Put(Dispid::FormatAxisBottom, "%g");
      graph_.Put(Dispid::FormatAxisLeft, "%.1f");
      graph_.Put(Dispid::ElementWidth, std::int32_t{1});
      graph_.Put(Dispid::ElementLineColor, kTraceLineColor);
      graph_.Put(Dispid::UseAutoRange, useAutoRange_);
      graph_.Put(Dispid::YLabel, settings.showTraceUnit ? unitText : std::string());
      if (live_) ApplyRange();
    }
    code_ = code;
    AppendSamples();
  }
  if (host_) {
    host_->SetBusy(false);
    host_->Invalidate();
  }
}

std::string CPelmoraView::EmptyPlotHint() const {
  if (code_ != 0 || !graph_) return {};
  return "Right-click the plot to choose the trace it shows";
}

void CPelmoraView::SetAnnotationCaption(std::int16_t index, const std::string& text) {
  if (!graph_) return;
  graph_.Put(Dispid::Annotation, index);
  graph_.Put(Dispid::AnnoLabelCaption, text);
}

void CPelmoraView::SetMarkerCaption(std::uint32_t markerId, const std::string& text) {
  if (const auto it = annotations_.find(markerId); it != annotations_.end()) SetAnnotationCaption(it->second, text);
}

// ---- cameras and zones ----

void CPelmoraView::SetCurrentCamera(int camera) {
  if (!IsCamera(camera)) return;
  currentCamera_ = camera;
  ConfigureGraphForTrace(code_);
}

int CPelmoraView::SelectedZone(int camera) const { return IsCamera(camera) ? selectedZone_[camera].load() : -1; }

void CPelmoraView::SetSelectedZone(int camera, int zone) {
  if (IsCamera(camera)) selectedZone_[camera] = zone;
}

int CPelmoraView::ZoneCount(int camera) const { return IsCamera(camera) ? zoneCount_[camera] : 0; }

CPelmoraView::ZoneButtons CPelmoraView::ZoneButtonState() const {
  ZoneButtons b;
  const int camera = currentCamera_;
  if (!IsCamera(camera) || !IsCameraTrace(code_)) return b;
  b.shown = std::clamp(zoneCount_[camera], 0, 4);
  const int zone = selectedZone_[camera];
  b.bold = zone >= 1 && zone <= b.shown ? zone - 1 : -1;
  return b;
}

bool CPelmoraView::ControlBandFits(int width, int height) const {
  return width >= 200 && height >= ZoneCount(currentCamera_) * 24 + 54;
}

TraceWindowState CPelmoraView::State() const {
  TraceWindowState s;
  s.traceCode = code_;
  s.camera = currentCamera_;
  for (const auto& zone : selectedZone_) s.zones.push_back(zone.load());
  s.visibleStart = xMin_;
  s.visibleEnd = xMax_;
  return s;
}

void CPelmoraView::OnZoneCreated(int zoneCount, int camera) {
  if (!IsCamera(camera)) return;
  zoneCount_[camera] = zoneCount;
  if (zoneCount == 1 && selectedZone_[camera] == -1 && IsCameraTrace(code_) && code_ != 0) {
    ConfigureGraphForTrace(code_);
  } else if (host_) {
    host_->Invalidate();
  }
}

void CPelmoraView::OnZonesReset(int camera) {
  if (!IsCamera(camera)) return;
  zoneCount_[camera] = 0;
  selectedZone_[camera] = -1;
  ConfigureGraphForTrace(0);
}

// ---- markers ----

void CPelmoraView::OnMarkerAdded(const MarkerData2& marker) { AddMarkerAnnotation(marker); }

void CPelmoraView::AddMarkerAnnotation(const MarkerData2& marker) {
  if (code_ == 0 || static_cast<int>(marker.camera) != currentCamera_ || !graph_) return;
  const double t = Seconds(marker.time);
  const auto index = graph_.Invoke<std::int32_t>(Dispid::NearestIndexFromValue, t, std::int16_t{0});
  const double y = index >= 0 ? graph_.Get<double>(Dispid::ElementYValue, index, std::int16_t{0}) : lastPlotted_;
  graph_.Invoke(Dispid::AddAnnotation);
  graph_.Put(Dispid::AnnoLabelCaption, marker.text);
  graph_.Put(Dispid::AnnoLabelColor, std::int32_t{0});
  graph_.Put(Dispid::AnnoLabelBkColor, kPlotAreaColor);
  graph_.Put(Dispid::AnnoLabelHorizontal, false);
  graph_.Put(Dispid::AnnoLabelX, t);
  graph_.Put(Dispid::AnnoLabelY, y);
  graph_.Put(Dispid::AnnoVisible, true);
  const auto id = graph_.Invoke<std::int16_t>(Dispid::GetCurrentAnnotationID);
  if (id >= 0) annotations_[marker.id] = id;
}

bool CPelmoraView::OnMarkerRemoved(std::uint32_t markerId) {
  const auto it = annotations_.find(markerId);
  if (it == annotations_.end()) return false;
  const std::int16_t index = it->second;
  if (graph_) graph_.Invoke(Dispid::DeleteAnnotation, index);
  annotations_.erase(it);
  // The graph renumbers the annotations after the deleted one.
  for (auto& [id, i] : annotations_)
    if (i > index) --i;
  return true;
}

void CPelmoraView::OnExperimentStarted(std::uint32_t startTick) {
  startTime_ = startTick;
  annotations_.clear();
  previousPulse_.reset();
  replotted_.fill(-1);
  if (graph_) graph_.Invoke(Dispid::ClearGraph);
}

}  // namespace ORV::Views

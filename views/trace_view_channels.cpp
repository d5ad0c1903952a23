// The trace view's live road and its replot: the four receivers, the
// drains of their queues, the trace values and the replot of the whole
// trace from the experiment.
//
// Pulse: each pressure sample carries ten Pulse sub-samples taken since the
// previous sample. Live and replot place them alike: the ten points of a
// sample fill the interval from the previous sample's time up to (not
// including) its own, at previous + k * (t - previous) / 10, k = 0..9; the
// first sample after a set-up has no previous one and plots nothing. A
// replot thus draws the same picture as the live trace did.
//
// A replot plots every stored record from the experiment's start on and
// notes, per channel, the newest time it plotted; a live record up to that
// time is already on the graph and is not plotted again.
//
// A value that does not exist (a vascular resistance with no flow, a frame
// whose walls were not found) is plotted as a gap: the graph breaks the line there and keeps it out of the
// ranges.
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "core/base/shear_stress.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/trace_values.h"
#include "custom_traces/custom_trace_context.h"
#include "graph_control/graph_interface.h"
#include "views/trace_view.h"

namespace ORV::Views {

namespace Dispid = Graph::Dispid;

namespace {

constexpr double kMmHgToDyn = 1333.2239;  // dyn/cm² per mmHg
constexpr std::int32_t kIncubationChamber = 2;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// Reads one stored list of the experiment in chunks, so the data lock is
// held only for a copy of a few thousand records; the list's length is read
// again for every chunk, so records added meanwhile are included.
template <class T>
class StoredCursor {
 public:
  using Pick = const RecordList<T>& (*)(const ExperimentContents&, std::size_t camera);

  StoredCursor(const ExperimentData& experiment, Pick pick, std::size_t camera = 0)
      : experiment_(experiment), pick_(pick), camera_(camera) {}

  // The record under the cursor; null at the end of the list.
  const T* Peek() {
    if (pos_ == chunk_.size()) Fill();
    return pos_ < chunk_.size() ? &chunk_[pos_] : nullptr;
  }
  void Advance() { ++pos_; }

 private:
  static constexpr std::size_t kChunk = 8192;

  void Fill() {
    chunk_ = experiment_.Read([&](const ExperimentContents& c) {
      const RecordList<T>& list = pick_(c, camera_);
      std::vector<T> out;
      if (next_ < list.size()) {
        const std::size_t n = std::min(kChunk, list.size() - next_);
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i) out.push_back(list[next_ + i]);
      }
      return out;
    });
    next_ += chunk_.size();
    pos_ = 0;
  }

  const ExperimentData& experiment_;
  Pick pick_;
  std::size_t camera_;
  std::vector<T> chunk_;
  std::size_t pos_ = 0;
  std::size_t next_ = 0;
};

const RecordList<PMK4xData3>& PressureList(const ExperimentContents& c, std::size_t) { return c.pressureSamples; }
const RecordList<FMASL1600Data>& FlowList(const ExperimentContents& c, std::size_t) { return c.flowSamples; }
const RecordList<ZoneData>& ZoneList(const ExperimentContents& c, std::size_t camera) { return c.zoneData[camera]; }
const RecordList<MicroscopeData2>& MicroscopeList(const ExperimentContents& c, std::size_t camera) {
  return c.microscopeData[camera];
}

// Another stream brought forward to a driving record's time: the cursor
// moves on while the next record is earlier than that time, and the record
// under it is the one in force.
template <class T>
class InForce {
 public:
  InForce(const ExperimentData& experiment, typename StoredCursor<T>::Pick pick, std::size_t camera = 0)
      : cursor_(experiment, pick, camera) {
    if (const T* first = cursor_.Peek()) {
      current_ = *first;
      cursor_.Advance();
    }
  }
  const std::optional<T>& At(std::uint32_t time) {
    while (const T* next = cursor_.Peek()) {
      if (next->time >= time) break;
      current_ = *next;
      cursor_.Advance();
    }
    return current_;
  }

 private:
  StoredCursor<T> cursor_;
  std::optional<T> current_;
};

float PulseSubSample(const PMK4xData3& sample, std::size_t k) { return std::bit_cast<float>(sample.extended[k]); }

double VascularResistance(float p1, float p2, double flow) {
  if (flow == 0.0) return kNoValue;
  return (static_cast<double>(p1) - static_cast<double>(p2)) * kMmHgToDyn / flow;
}

// Not measured (a gap) where the lumen was not found.
double ShearStressOf(float innerLeft, float innerRight, double flow) {
  if (!LumenFound(innerLeft, innerRight)) return kNoValue;
  return ShearStress(static_cast<double>(innerLeft), static_cast<double>(innerRight), flow);
}

}  // namespace

// ---- receivers (any thread) ----

void CPelmoraView::OnZoneValue(std::uint32_t time, int zone, float outerLeft, float outerRight, float innerLeft,
                               float innerRight, int camera) {
  if (camera != currentCamera_.load() || camera < 0 || camera >= static_cast<int>(selectedZone_.size())) return;
  if (zone + 1 != selectedZone_[camera].load()) return;
  imageQueue_.Push(ImageAnalysisRecord{time, static_cast<std::uint32_t>(zone + 1), outerLeft, outerRight, innerLeft,
                                       innerRight, camera},
                   self_.get());
}

void CPelmoraView::OnPressureData(const PMK4xData3& sample) { pressureQueue_.Push(sample, self_.get()); }
void CPelmoraView::OnFlowData(const FMASL1600Data& sample) { flowQueue_.Push(sample, self_.get()); }
void CPelmoraView::OnMicroscopeData(const MicroscopeSample& sample) { microscopeQueue_.Push(sample, self_.get()); }

// ---- common steps of the drains ----

std::optional<std::uint32_t> CPelmoraView::StoppedAt() const {
  if (experiment_.mode.load() != kModeNone || !experiment_.HasData()) return std::nullopt;
  return experiment_.stopTick.load();
}

bool CPelmoraView::AfterTheStop(const std::optional<std::uint32_t>& stopped, std::uint32_t time) {
  return stopped && static_cast<std::int32_t>(time - *stopped) > 0;
}

bool CPelmoraView::HandleMessage(std::uint32_t message) {
  switch (message) {
    case WM_IMAGE_ANALYSIS_ARRIVED:
      OnImageAnalysisArrived();
      return true;
    case WM_PRESSURE_ARRIVED:
      OnPressureArrived();
      return true;
    case WM_MICROSCOPE_ARRIVED:
      OnMicroscopeArrived();
      return true;
    case WM_FLOW_ARRIVED:
      OnFlowArrived();
      return true;
    default:
      return false;
  }
}

void CPelmoraView::AdvanceWindow(double t) {
  currentTime_ = t;
  const double w = windowLength_;
  if (t - w < 0) {
    xMin_ = 0.0;
    xMax_ = w;
  } else {
    xMin_ = t - w;
    xMax_ = t;
  }
}

void CPelmoraView::ReplotIfPending() {
  if (rebuildPending_) AppendSamples();
}

void CPelmoraView::ApplyRange() {
  if (graph_) graph_.Invoke<bool>(Dispid::SetRange, xMin_, xMax_, yMin_, yMax_, std::int32_t{autoRangeNow_});
}

void CPelmoraView::ApplyLiveRange(bool now) {
  if (now) ApplyRange();
  if (!graph_ || !host_ || redrawTimerRunning_) return;
  redrawTimerRunning_ = true;
  host_->StartRedrawTimer(kLiveRedrawMs);
}

void CPelmoraView::OnRedrawTimer() {
  redrawTimerRunning_ = false;
  if (!live_ || frozen_ || !graph_) return;
  ApplyRange();
  if (IsCameraTrace(code_)) TakeFittedRange();
  if (host_) host_->RedrawGraph();
}

void CPelmoraView::TakeFittedRange() {
  if (!autoRangeNow_ || !graph_) return;
  double lo = 0.0, hi = 0.0;
  graph_.Invoke(Dispid::GetRangesMinAndMax, &lo, &hi);
  yMin_ = lo;
  yMax_ = hi;
}

void CPelmoraView::Plot(double x, double y) {
  if (graph_) graph_.Invoke(Dispid::PlotXY, x, y, std::int16_t{0});
  if (std::isfinite(y)) lastPlotted_ = y;
}

void CPelmoraView::PlotPulse(double t, const PMK4xData3& sample) {
  if (previousPulse_ && t > *previousPulse_) {
    const double previous = *previousPulse_;
    const double d = (t - previous) / 10.0;
    for (std::size_t k = 0; k < 10; ++k) Plot(previous + static_cast<double>(k) * d, PulseSubSample(sample, k));
  }
  previousPulse_ = t;
}

double CPelmoraView::RunCustom(const std::function<void(Traces::CustomTracesWithLuaContext&)>& prepare, int camera,
                               int zone, std::uint32_t time) {
  // One evaluation (inputs, then the script) under the context's lock: an
  // export may evaluate the same trace on a worker meanwhile.
  auto lock = custom_->Lock();
  prepare(*custom_);
  return custom_->Run(camera, zone, time);
}

// ---- the drains (user-interface thread) ----

void CPelmoraView::OnPressureArrived() {
  PMK4xData3 record;
  bool last = false;
  const std::optional<std::uint32_t> stopped = StoppedAt();
  while (pressureQueue_.Take(record, last)) {
    if (frozen_ || AfterTheStop(stopped, record.time)) continue;
    lastPressure_ = record;
    const double t = Seconds(record.time);
    const int camera = currentCamera_;
    if (IsCustomTraceId(code_) && custom_) {
      AdvanceWindow(t);
      if (rebuildPending_) {
        AppendSamples();
      } else if (!Replotted(kPressureChannel, record.time)) {
        const double value = RunCustom(
            [&](Traces::CustomTracesWithLuaContext& trace) {
              trace.SetVesselGlobals(-1, -1);
              trace.SetInstrumentGlobals(lastPressure_);
            },
            camera, SelectedZone(camera), 0);
        Plot(t, value);
      }
    } else if ((code_ >= 11 && code_ != kTraceFlow && code_ < kFirstCustomTraceId) || IsCustomTraceId(code_)) {
      AdvanceWindow(t);
      ReplotIfPending();
      if (!Replotted(kPressureChannel, record.time)) {
        if (code_ == kTracePulse) {
          PlotPulse(t, record);
        } else {
          Plot(t, CurrentTraceValue());
        }
      }
    } else {
      continue;  // camera traces and Flow come by other channels
    }
    if (live_ && last) ApplyLiveRange();
  }
}

void CPelmoraView::OnImageAnalysisArrived() {
  ImageAnalysisRecord record;
  bool last = false;
  bool applied = false;
  const std::optional<std::uint32_t> stopped = StoppedAt();
  while (imageQueue_.Take(record, last)) {
    if (frozen_ || AfterTheStop(stopped, record.time)) continue;
    const int camera = currentCamera_;
    const int selected = SelectedZone(record.camera);
    const int zone = static_cast<int>(record.zone);
    const bool skip = record.time == 0 || record.camera != camera || code_ == 0 || !IsCameraTrace(code_) ||
                      (selected != -1 && selected != zone && zone != -1);
    if (!skip) {
      const double t = Seconds(record.time);
      AdvanceWindow(t);
      ReplotIfPending();
      if (Replotted(kImageChannel, record.time)) {
        // already on the graph from the replot
      } else if (IsCustomTraceId(code_)) {
        if (custom_) {
          const double value = RunCustom(
              [&](Traces::CustomTracesWithLuaContext& trace) {
                trace.walls[std::max(record.camera, 0)][std::max(zone, 1)] =
                    Traces::WallPositions{record.outerLeft, record.outerRight, record.innerLeft, record.innerRight};
                trace.SetGlobalNumber("Flow", static_cast<double>(lastFlow_.flow));
                trace.SetHasFlow(true);
                trace.SetGlobalNumber("IR", static_cast<double>(lastMicroscope_.setting));
                trace.SetGlobalNumber("MicroscopeTemp", lastMicroscope_.temperature);
                trace.SetInstrumentGlobals(lastPressure_);
              },
              record.camera, zone, record.time);
          Plot(t, value);
          if (live_ && last) {
            ApplyLiveRange();
            applied = true;
          }
        }
      } else if (code_ >= 1 && code_ <= 10) {
        double value = 0.0;
        if (code_ == kTraceShearStress) {
          value = ShearStressOf(record.innerLeft, record.innerRight, lastFlow_.flow);
        } else {
          value = CameraTraceValue(record.outerLeft, record.outerRight, record.innerLeft, record.innerRight);
        }
        if (autoRangeNow_ && std::isfinite(value)) {
          yMin_ = std::min(yMin_, value);
          yMax_ = std::max(yMax_, value);
          if (yMin_ == yMax_) yMax_ += 0.5;
        }
        Plot(t, value);
        if (live_ && last) {
          const std::int64_t now = steadyMs_();
          if (now - lastRangeMs_ >= kCameraRangeIntervalMs) {
            ApplyLiveRange();
            lastRangeMs_ = now;
            applied = true;
          } else {
            ApplyLiveRange(false);
          }
        }
      }
    }
    if (last && applied) {
      TakeFittedRange();
      applied = false;
    }
  }
}

void CPelmoraView::OnMicroscopeArrived() {
  MicroscopeSample record;
  bool last = false;
  const std::optional<std::uint32_t> stopped = StoppedAt();
  while (microscopeQueue_.Take(record, last)) {
    if (frozen_ || AfterTheStop(stopped, record.time)) continue;
    const int camera = currentCamera_;
    if (static_cast<int>(record.microscope) != camera) continue;
    lastMicroscope_ = record;
    const double t = Seconds(record.time);
    double value = 0.0;
    if (devices_.productType == kIncubationChamber && !devices_.pressureInterface && code_ == kTraceTemperature) {
      AdvanceWindow(t);
      ReplotIfPending();
      if (Replotted(kMicroscopeChannel, record.time)) continue;
      value = CurrentTraceValue();
    } else if (IsCustomTraceId(code_) && custom_) {
      AdvanceWindow(t);
      value = RunCustom(
          [&](Traces::CustomTracesWithLuaContext& trace) {
            trace.SetGlobalNumber("IR", static_cast<double>(record.setting));
            trace.SetGlobalNumber("MicroscopeTemp", record.temperature);
          },
          camera, SelectedZone(camera), record.time);
    } else {
      continue;
    }
    Plot(t, value);
    if (live_ && last) ApplyLiveRange();
  }
}

void CPelmoraView::OnFlowArrived() {
  FMASL1600Data record;
  bool last = false;
  const std::optional<std::uint32_t> stopped = StoppedAt();
  while (flowQueue_.Take(record, last)) {
    if (frozen_ || AfterTheStop(stopped, record.time)) continue;
    lastFlow_ = record;
    const double t = Seconds(record.time);
    const int camera = currentCamera_;
    if (code_ == kTraceFlow) {
      AdvanceWindow(t);
      ReplotIfPending();
      if (Replotted(kFlowChannel, record.time)) continue;
      Plot(t, record.flow);
    } else if (IsCustomTraceId(code_) && custom_) {
      AdvanceWindow(t);
      const int zone = SelectedZone(camera);
      const double value = RunCustom(
          [&](Traces::CustomTracesWithLuaContext& trace) {
            trace.SetGlobalNumber("Flow", static_cast<double>(record.flow));
            trace.SetHasFlow(true);
          },
          camera, zone == -1 ? 1 : zone, record.time);
      Plot(t, value);
    } else {
      continue;
    }
    if (live_ && last) ApplyLiveRange();
  }
}

// ---- values ----

double CPelmoraView::CurrentTraceValue() {
  const PMK4xData3& p = lastPressure_;
  switch (code_) {
    case kTraceInlet:
      return p.p1;
    case kTraceOutlet:
      return p.p2;
    case kTraceMeanPressure:
      return (p.p1 + p.p2) * 0.5f;
    case kTraceVascularResistance:
      return VascularResistance(p.p1, p.p2, lastFlow_.flow);
    case kTraceTemperature:
      return devices_.productType == kIncubationChamber ? lastMicroscope_.temperature : p.temperature;
    case kTraceForce:
      return p.force;
    case kTracePH:
      return p.pH;
    default:
      break;
  }
  if (IsCustomTraceId(code_) && custom_) {
    return RunCustom([&](Traces::CustomTracesWithLuaContext& trace) { trace.SetInstrumentGlobals(p); }, 0, 0, p.time);
  }
  return 0.0;
}

double CPelmoraView::CameraTraceValue(float outerLeft, float outerRight, float innerLeft, float innerRight) {
  double value = 0.0;
  if (code_ >= 1 && code_ <= 9) {
    // A frame whose walls were not found is a gap, never a value of 0.
    const std::optional<float> measured = VesselValue(code_, outerLeft, outerRight, innerLeft, innerRight);
    value = measured ? static_cast<double>(*measured) : kNoValue;
  } else if (IsCustomTraceId(code_) && custom_) {
    value = RunCustom([](Traces::CustomTracesWithLuaContext&) {}, 0, 0, 0);
  }
  if (useAutoRange_ && std::isfinite(value)) {
    if (firstValue_) {
      yMin_ = yMax_ = value;
      firstValue_ = false;
    }
    if (value >= yMax_)
      yMax_ = value + 1.0;
    else if (value <= yMin_)
      yMin_ = value - 1.0;
  }
  return value;
}

// ---- the replot ----

void CPelmoraView::AppendSamples() {
  frozen_ = true;
  const int camera = currentCamera_;
  const int zone = SelectedZone(camera);
  if (code_ == 0) {
    // nothing to replot
  } else if (IsCustomTraceId(code_)) {
    if (custom_) ReplotCustom();
  } else if (code_ <= 10) {
    // A camera trace plots only the zone it follows.
    if (zone > 0) ReplotZones();
  } else if (code_ == kTraceFlow) {
    ReplotFlow();
  } else if (!devices_.pressureInterface) {
    if (code_ == kTraceTemperature && devices_.microscope) ReplotMicroscope();
  } else {
    ReplotPressure();
  }
  ReplotMarkers();
  rebuildPending_ = false;
  frozen_ = false;
}

void CPelmoraView::ReplotZones() {
  const int camera = currentCamera_;
  if (camera < 0 || camera >= static_cast<int>(kMaxCameras)) return;
  const auto z = static_cast<std::size_t>(SelectedZone(camera) - 1);
  StoredCursor<ZoneData> zones(experiment_, ZoneList, static_cast<std::size_t>(camera));
  for (const ZoneData* r = zones.Peek(); r; zones.Advance(), r = zones.Peek()) {
    if (z >= static_cast<std::size_t>(r->ZonesHeld()) || r->time <= startTime_) continue;
    double value = 0.0;
    if (code_ == kTraceShearStress) {
      value = ShearStressOf(r->innerLeft[z], r->innerRight[z], experiment_.GetFlowAt(r->time).flow);
    } else {
      value = CameraTraceValue(r->outerLeft[z], r->outerRight[z], r->innerLeft[z], r->innerRight[z]);
    }
    Plot(Seconds(r->time), value);
    replotted_[kImageChannel] = r->time;
  }
}

void CPelmoraView::ReplotFlow() {
  StoredCursor<FMASL1600Data> flows(experiment_, FlowList);
  for (const FMASL1600Data* r = flows.Peek(); r; flows.Advance(), r = flows.Peek()) {
    lastFlow_ = *r;
    if (r->time <= startTime_) continue;
    Plot(Seconds(r->time), r->flow);
    replotted_[kFlowChannel] = r->time;
  }
}

void CPelmoraView::ReplotMicroscope() {
  const int camera = currentCamera_;
  if (camera < 0 || camera >= static_cast<int>(kMaxCameras)) return;
  StoredCursor<MicroscopeData2> readings(experiment_, MicroscopeList, static_cast<std::size_t>(camera));
  for (const MicroscopeData2* r = readings.Peek(); r; readings.Advance(), r = readings.Peek()) {
    lastMicroscope_ = r->ToSample();
    if (r->time <= startTime_) continue;
    Plot(Seconds(r->time), r->temperature);
    replotted_[kMicroscopeChannel] = r->time;
  }
}

void CPelmoraView::ReplotPressure() {
  std::optional<InForce<FMASL1600Data>> flow;
  if (code_ == kTraceVascularResistance) flow.emplace(experiment_, FlowList);
  StoredCursor<PMK4xData3> samples(experiment_, PressureList);
  for (const PMK4xData3* r = samples.Peek(); r; samples.Advance(), r = samples.Peek()) {
    lastPressure_ = *r;
    if (r->time < startTime_) continue;
    const double t = Seconds(r->time);
    if (code_ == kTracePulse) {
      PlotPulse(t, *r);
    } else if (r->time > startTime_) {
      double value = 0.0;
      if (code_ == kTraceVascularResistance) {
        // The flow sample in force at the sample's time: the last one not
        // after it, else the first.
        const auto& in = flow->At(r->time + 1);
        value = VascularResistance(r->p1, r->p2, in ? in->flow : 0.0);
      } else {
        value = CurrentTraceValue();
      }
      Plot(t, value);
    }
    replotted_[kPressureChannel] = r->time;
  }
}

void CPelmoraView::ReplotCustom() {
  const int camera = std::max(currentCamera_.load(), 0);
  const auto cam = static_cast<std::size_t>(camera);
  // The script sees the zone the view follows, as it does live.
  const int zone = std::max(SelectedZone(camera), 1);
  const auto z = static_cast<std::size_t>(zone - 1);
  const int driver = ScriptType();

  std::optional<InForce<PMK4xData3>> pressure;
  std::optional<InForce<FMASL1600Data>> flow;
  std::optional<InForce<ZoneData>> walls;
  if (driver != 0) pressure.emplace(experiment_, PressureList);
  if (driver != 1) flow.emplace(experiment_, FlowList);
  if (driver != 2) walls.emplace(experiment_, ZoneList, cam);

  const auto plot = [&](std::uint32_t time, const PMK4xData3* p, const FMASL1600Data* f, const ZoneData* w,
                        const MicroscopeData2* m, Channel channel) {
    if (time <= startTime_) return;
    if (!p && pressure) {
      const auto& in = pressure->At(time);
      p = in ? &*in : nullptr;
    }
    if (!f && flow) {
      const auto& in = flow->At(time);
      f = in ? &*in : nullptr;
    }
    if (!w && walls) {
      const auto& in = walls->At(time);
      w = in ? &*in : nullptr;
    }
    const double value = RunCustom(
        [&](Traces::CustomTracesWithLuaContext& trace) {
          if (p) trace.SetInstrumentGlobals(*p);
          if (f) {
            trace.SetGlobalNumber("Flow", static_cast<double>(f->flow));
            trace.SetHasFlow(true);
          }
          if (m) {
            trace.SetGlobalNumber("IR", static_cast<double>(m->ir));
            trace.SetGlobalNumber("MicroscopeTemp", m->temperature);
          }
          if (w && z < static_cast<std::size_t>(w->ZonesHeld()))
            trace.walls[camera][zone] =
                Traces::WallPositions{w->outerLeft[z], w->outerRight[z], w->innerLeft[z], w->innerRight[z]};
        },
        camera, zone, time);
    Plot(Seconds(time), value);
    replotted_[channel] = time;
  };

  switch (driver) {
    case 0: {
      StoredCursor<PMK4xData3> c(experiment_, PressureList);
      for (const PMK4xData3* r = c.Peek(); r; c.Advance(), r = c.Peek())
        plot(r->time, r, nullptr, nullptr, nullptr, kPressureChannel);
      break;
    }
    case 1: {
      StoredCursor<FMASL1600Data> c(experiment_, FlowList);
      for (const FMASL1600Data* r = c.Peek(); r; c.Advance(), r = c.Peek())
        plot(r->time, nullptr, r, nullptr, nullptr, kFlowChannel);
      break;
    }
    case 2: {
      StoredCursor<ZoneData> c(experiment_, ZoneList, cam);
      for (const ZoneData* r = c.Peek(); r; c.Advance(), r = c.Peek())
        plot(r->time, nullptr, nullptr, r, nullptr, kImageChannel);
      break;
    }
    case 3: {
      StoredCursor<MicroscopeData2> c(experiment_, MicroscopeList, cam);
      for (const MicroscopeData2* r = c.Peek(); r; c.Advance(), r = c.Peek())
        plot(r->time, nullptr, nullptr, nullptr, r, kMicroscopeChannel);
      break;
    }
    default:
      break;
  }
}

void CPelmoraView::ReplotMarkers() {
  const std::size_t count = experiment_.MarkerCount();
  for (std::size_t i = 0; i < count; ++i) AddMarkerAnnotation(experiment_.GetMarker(i));
}

}  // namespace ORV::Views

// Trace points computed from the experiment record: vessel quantities from
// the zone records' wall positions, instrument values from the pressure,
// flow-meter and microscope samples, and custom traces through their scripts.
#include "core/experiment/trace_values.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <limits>
#include <optional>

#include "core/base/configuration.h"
#include "core/base/shear_stress.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "custom_traces/custom_trace_context.h"

namespace ORV {

namespace {

std::atomic<int> flowSource{kFlowFromFlowMeter};

constexpr double kAreaPi = 3.14159265;  // pi as the area formulas use it
constexpr double kQuarterPi = 0.7853981625;
constexpr double kMmHgToDyn = 1333.2239;  // dyn/cm² per mmHg

// The temperature trace reads the microscope records on this product.
constexpr std::int32_t kIncubationChamber = 2;

int CountOf(std::size_t n) { return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

template <class List>
bool Within(const List& list, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

// A pressure sample's flow truncated toward zero, kept in the 16 low bits.
// A flow that is not finite counts as 0.
std::int16_t FlowLow16(float flow) {
  if (!std::isfinite(flow)) return 0;
  const double t = std::trunc(static_cast<double>(flow));
  // Beyond 2^62 every float is a multiple of 2^16: its low 16 bits are 0.
  if (std::fabs(t) >= 4611686018427387904.0) return 0;
  const auto v = static_cast<std::int64_t>(t);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu));
}

// The sample in force at t: the last whose time is not above t, the first
// when all are later, none when the list is empty. The lists are in time
// order, so a binary search finds it. A series walks forward in time, so the
// answer is mostly the last one or the one after it: `hint` keeps the last
// answer and is checked first (it is only a guess, valid for any list).
template <class List, class TimeOf>
std::optional<std::size_t> InForce(const List& list, std::uint32_t t, TimeOf timeOf, std::size_t& hint) {
  if (list.empty()) return std::nullopt;
  const std::size_t n = list.size();
  const auto holds = [&](std::size_t i) { return timeOf(list[i]) <= t && (i + 1 == n || t < timeOf(list[i + 1])); };
  if (hint < n && holds(hint)) return hint;
  if (hint + 1 < n && holds(hint + 1)) return ++hint;
  const auto later = std::upper_bound(list.begin(), list.end(), t,
                                      [&](std::uint32_t time, const auto& s) { return time < timeOf(s); });
  hint = later == list.begin() ? 0 : static_cast<std::size_t>(later - list.begin()) - 1;
  return hint;
}

// The last answers of InForce on this thread, per list.
thread_local std::size_t pressureHint = 0;
thread_local std::size_t flowHint = 0;

FMASL1600Data FlowAt(const ExperimentContents& c, std::uint32_t t, int source) {
  FMASL1600Data result;
  result.time = 0;
  result.flow = 0;
  result.index = -1;
  if (source == kFlowFromPressureSamples) {
    const auto at = InForce(
        c.pressureSamples, t, [](const PMK4xData3& s) { return s.time; }, pressureHint);
    if (at) {
      result.time = c.pressureSamples[*at].time;
      result.flow = FlowLow16(c.pressureSamples[*at].flow);
    }
  } else {
    const auto at = InForce(
        c.flowSamples, t, [](const FMASL1600Data& s) { return s.time; }, flowHint);
    if (at) result = c.flowSamples[*at];
  }
  return result;
}

// Samples in the list the flow is taken from.
std::size_t FlowSourceCount(const ExperimentContents& c, int source) {
  return source == kFlowFromPressureSamples ? c.pressureSamples.size() : c.flowSamples.size();
}

}  // namespace

std::optional<float> VesselValue(int kind, float ol, float orr, float il, float ir) {
  const float wallL = il - ol, wallR = orr - ir, outer = orr - ol, inner = ir - il;
  const bool lumen = LumenFound(il, ir);
  const bool both = ol > 0 && orr > ol && lumen;
  switch (kind) {
    case kTraceLeftWallThickness:
      if (ol > 0 && il > 0 && ir > il) return wallL;
      break;
    case kTraceRightWallThickness:
      if (orr > 0 && ir > 0 && ir > il) return wallR;
      break;
    case kTraceAverageWallThickness:
      if (ol > 0 && orr > 0 && il > 0 && ir > il) return (wallL + wallR) * 0.5f;
      break;
    case kTraceVesselDiameter:
      if (ol > 0 && orr > ol) return outer;
      break;
    case kTraceLumenDiameter:
      if (lumen) return inner;
      break;
    case kTraceVesselArea:
      if (both) {
        const double ro = static_cast<double>(outer) * 0.5, ri = static_cast<double>(inner) * 0.5;
        return static_cast<float>(ro * ro * kAreaPi - ri * ri * kAreaPi);
      }
      break;
    case kTraceLumenArea:
      if (lumen) {
        const double ri = static_cast<double>(inner) * 0.5;
        return static_cast<float>(ri * ri * kAreaPi);
      }
      break;
    case kTraceCrossSectionalArea:
      if (both) {
        const double o = outer, i = inner;
        return static_cast<float>((o * o - i * i) * kQuarterPi);
      }
      break;
    case kTraceMediaLumenRatio:
      if (both) {
        const double o = outer, i = inner;
        return static_cast<float>((o - i) / i);
      }
      break;
    default:
      break;
  }
  return std::nullopt;
}

namespace {

// (P1 - P2) converted to dyn/cm² over the flow; infinite (or NaN for equal
// pressures) when the flow is 0.
float VascularResistance(float p1, float p2, std::int16_t flow) {
  const double dp = (static_cast<double>(p1) - static_cast<double>(p2)) * kMmHgToDyn;
  if (flow == 0) {
    if (dp > 0) return std::numeric_limits<float>::infinity();
    if (dp < 0) return -std::numeric_limits<float>::infinity();
    return std::numeric_limits<float>::quiet_NaN();
  }
  return static_cast<float>(dp / static_cast<double>(flow));
}

bool IncubationChamber(const Configuration* configuration) {
  return configuration != nullptr && configuration->ProductType == kIncubationChamber;
}

}  // namespace

void SetFlowSource(int flag) { flowSource.store(flag); }
int GetFlowSource() { return flowSource.load(); }

FMASL1600Data ExperimentData::GetFlowAt(std::uint32_t time) const {
  const int source = GetFlowSource();
  return Read([&](const ExperimentContents& c) { return FlowAt(c, time, source); });
}

PMK4xData3 ExperimentData::GetPressureSample(int index) const {
  return Read([&](const ExperimentContents& c) {
    return Within(c.pressureSamples, index) ? c.pressureSamples[static_cast<std::size_t>(index)] : PMK4xData3{};
  });
}

bool ExperimentData::GetSampleCount(int kind, int camera, int zone, int& count) const {
  if (kind <= 0 || (kind >= kTracePuller && kind < kFirstCustomTraceId)) return false;
  if (IsVesselTraceKind(kind)) {
    if (!IsCameraIndex(camera) || zone < 0 || zone >= kMaxZones) return false;
  } else if (camera < 0) {
    camera = 0;
  }
  const int source = GetFlowSource();
  const bool incubation = IncubationChamber(configuration);
  const bool needsCamera = IsCustomTraceId(kind) || (kind == kTraceTemperature && incubation);
  if (needsCamera && !IsCameraIndex(camera)) return false;
  if (IsCustomTraceId(kind) && zone >= kMaxZones) return false;
  const auto cam = static_cast<std::size_t>(camera);

  count = Read([&](const ExperimentContents& c) -> int {
    if (kind <= kTraceMediaLumenRatio) return CountOf(c.zoneData[cam].size());
    switch (kind) {
      case kTraceShearStress:
        return FlowSourceCount(c, source) > 0 ? CountOf(c.zoneData[cam].size()) : 0;
      case kTraceFlow:
        return CountOf(FlowSourceCount(c, source));
      case kTraceVascularResistance:
        return FlowSourceCount(c, source) > 0 ? CountOf(c.pressureSamples.size()) : 0;
      case kTraceTemperature:
        if (!incubation) return CountOf(c.pressureSamples.size());
        return cam < c.cameraLabels.size() ? CountOf(c.microscopeData[cam].size()) : 0;
      case kTraceInlet:
      case kTraceOutlet:
      case kTraceMeanPressure:
      case kTraceForce:
      case kTracePH:
      case kTracePulse:
        return CountOf(c.pressureSamples.size());
      default:  // custom traces
        return CountOf(std::max(
            {c.pressureSamples.size(), c.flowSamples.size(), c.zoneData[cam].size(), c.microscopeData[cam].size()}));
    }
  });
  return true;
}

bool ExperimentData::GetTraceValue(int index, int kind, int camera, int zone, TracePoint& out) {
  if (kind <= 0 || (kind >= kTracePuller && kind < kFirstCustomTraceId)) return true;
  if (IsVesselTraceKind(kind)) {
    if (!IsCameraIndex(camera) || zone < 0 || zone >= kMaxZones) return false;
  } else if (camera < 0) {
    camera = 0;
  }
  if (index < 0) return false;
  const auto at = static_cast<std::size_t>(index);
  const int source = GetFlowSource();

  if (IsVesselTraceKind(kind)) {
    const auto cam = static_cast<std::size_t>(camera);
    const auto z = static_cast<std::size_t>(zone);
    return Read([&](const ExperimentContents& c) {
      if (at >= c.zoneData[cam].size()) return false;
      const ZoneData& r = c.zoneData[cam][at];
      out.time = r.time;
      const float ol = r.outerLeft[z], orr = r.outerRight[z], il = r.innerLeft[z], ir = r.innerRight[z];
      if (kind == kTraceShearStress) {
        const double q = FlowAt(c, r.time, source).flow;
        out.value =
            LumenFound(il, ir) ? static_cast<float>(ShearStress(0.0, static_cast<double>(ir - il), q)) : kNotMeasured;
      } else {
        out.value = VesselValue(kind, ol, orr, il, ir).value_or(kNotMeasured);
      }
      return true;
    });
  }

  if (kind == kTraceTemperature && IncubationChamber(configuration)) {
    if (!IsCameraIndex(camera)) return false;
    const auto cam = static_cast<std::size_t>(camera);
    return Read([&](const ExperimentContents& c) {
      if (at >= c.microscopeData[cam].size()) return false;
      out.time = c.microscopeData[cam][at].time;
      out.value = c.microscopeData[cam][at].temperature;
      return true;
    });
  }

  if (kind == kTraceFlow && source != kFlowFromPressureSamples) {
    return Read([&](const ExperimentContents& c) {
      if (at >= c.flowSamples.size()) return false;
      out.time = c.flowSamples[at].time;
      out.value = c.flowSamples[at].flow;
      return true;
    });
  }

  if (kind < kFirstCustomTraceId) {
    return Read([&](const ExperimentContents& c) {
      if (at >= c.pressureSamples.size()) return false;
      const PMK4xData3& s = c.pressureSamples[at];
      out.time = s.time;
      switch (kind) {
        case kTraceInlet:
          out.value = s.p1;
          break;
        case kTraceOutlet:
          out.value = s.p2;
          break;
        case kTraceMeanPressure:
          out.value = (s.p2 + s.p1) * 0.5f;
          break;
        case kTraceFlow:
          out.value = s.flow;
          break;
        case kTraceVascularResistance:
          out.value = VascularResistance(s.p1, s.p2, FlowAt(c, s.time, source).flow);
          break;
        case kTraceTemperature:
          out.value = s.temperature;
          break;
        case kTraceForce:
          out.value = s.force;
          break;
        case kTracePH:
          out.value = s.pH;
          break;
        case kTracePulse:
          out.value = s.pulseRate;
          break;
        default:
          break;
      }
      return true;
    });
  }

  // A custom trace: the script sees the zone's walls, the pressure sample,
  // the microscope reading and the flow-meter sample of this index, as far
  // as each list reaches it.
  if (!IsCameraIndex(camera) || zone >= kMaxZones) return false;
  const std::shared_ptr<Traces::CustomTracesWithLuaContext> trace = GetCustomTrace(kind);
  if (trace == nullptr) return false;
  const int scriptZone = std::max(zone, 1);
  const auto cam = static_cast<std::size_t>(camera);
  struct Inputs {
    std::optional<ZoneData> zone;
    std::optional<PMK4xData3> pressure;
    std::optional<MicroscopeData2> microscope;
    std::optional<FMASL1600Data> flow;
  };
  // Copied out under the data lock, so the script runs without holding it.
  const Inputs in = Read([&](const ExperimentContents& c) {
    Inputs i;
    if (at < c.zoneData[cam].size()) i.zone = c.zoneData[cam][at];
    if (at < c.pressureSamples.size()) i.pressure = c.pressureSamples[at];
    if (at < c.microscopeData[cam].size()) i.microscope = c.microscopeData[cam][at];
    if (at < c.flowSamples.size()) i.flow = c.flowSamples[at];
    return i;
  });
  if (!in.zone && !in.pressure && !in.microscope && !in.flow) return false;

  std::uint32_t time = 0;
  auto lock = trace->Lock();
  if (in.zone) {
    const auto z = static_cast<std::size_t>(scriptZone);
    trace->walls[camera][scriptZone] = Traces::WallPositions{in.zone->outerLeft[z], in.zone->outerRight[z],
                                                             in.zone->innerLeft[z], in.zone->innerRight[z]};
  }
  if (in.pressure) {
    trace->SetInstrumentGlobals(*in.pressure);
    time = in.pressure->time;
  }
  if (in.microscope) {
    trace->SetGlobalNumber("IR", static_cast<double>(in.microscope->ir));
    trace->SetGlobalNumber("MicroscopeTemp", in.microscope->temperature);
    if (time == 0) time = in.microscope->time;
  }
  if (in.flow) {
    trace->SetGlobalNumber("Flow", static_cast<double>(in.flow->flow));
    trace->SetHasFlow(true);
    if (time == 0) time = in.flow->time;
  }
  out.time = time;
  out.value = static_cast<float>(trace->Run(camera, scriptZone, time));
  return true;
}

}  // namespace ORV

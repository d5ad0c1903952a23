#pragma once
// What the plots and exports of the experiment record read: one point of a
// trace, and where the record takes flow values from.
#include <cstdint>
#include <limits>
#include <optional>

namespace ORV {

// One point of a trace: the time (ms of the experiment clock) and the value.
struct TracePoint {
  std::uint32_t time = 0;
  float value = 0.0f;
};

// Where the experiment's flow values come from. The interface manager sets
// it when it decides about the pressure interface's internal flow meter:
// kFlowFromPressureSamples while the internal flow meter is in use (the flow
// is the pressure samples' flow field), kFlowFromFlowMeter otherwise (the
// flow-meter samples). Process-wide; kFlowFromFlowMeter until set.
enum FlowSource : int {
  kFlowFromFlowMeter = 0,
  kFlowFromPressureSamples = 1,
};
void SetFlowSource(int flag);
int GetFlowSource();

// The value of a point where nothing was measured (a frame whose walls were
// not found): not a number, so a plot breaks its line there and statistics
// leave the point out. Stored records keep 0 for a wall not found; this is
// what every reader makes of it.
inline constexpr float kNotMeasured = std::numeric_limits<float>::quiet_NaN();

// The value of vessel kind 1..9 (wall thicknesses, diameters, areas, media
// to lumen ratio) from one zone's outer-left, outer-right, inner-left and
// inner-right wall positions; nothing when the positions do not allow it
// (a wall not found, or the lumen's right edge not right of its left).
std::optional<float> VesselValue(int kind, float outerLeft, float outerRight, float innerLeft, float innerRight);

// Whether a zone's lumen was found: its left edge found and the right edge
// right of it. Shear stress needs it.
inline bool LumenFound(float innerLeft, float innerRight) { return innerLeft > 0 && innerRight > innerLeft; }

}  // namespace ORV

#pragma once
// One custom trace made evaluable: its definition compiled into a Lua state
// of its own, fed per sample with the vessel dimensions of one camera zone,
// the instrument readings and the time, and run for the trace value.
//
// The user's code becomes the body of a function; the script reads globals:
//   vessel (from the stored wall positions of the zone): OuterLeft,
//     OuterRight, OuterDiameter, VesselArea, InnerLeft, InnerRight,
//     InnerDiameter, LumenArea, LeftWallThickness, RightWallThickness,
//     AverageWallThickness, CrossSectionalArea, MediaLumenRatio,
//     VascularResistance and MeanPressure (both always 0), ShearStress
//     (when "Flow" holds a number);
//   instrument: Temp, P1, P2, P4, Force, PH, Pulse, and Flow when the sample
//     carries one;
//   set by callers: Flow, IR, MicroscopeTemp;
//   integers: current_camera, current_zone, current_time;
//   the definition's constants.
//
// Scripts are untrusted (they travel in experiment files and settings
// archives) and run in a LuaSandbox. Every operation takes the context's own
// lock, so the user-interface thread and an export worker can share one
// context; a caller that needs several calls to form one evaluation (set
// globals, store walls, Run) holds Lock() across them.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "custom_traces/custom_trace_definition.h"
#include "custom_traces/lua_sandbox.h"
#include "instruments/records/instrument_records.h"

namespace ORV::Traces {

// Outer left, outer right, inner left and inner right wall position of a zone.
struct WallPositions {
  float OuterLeft = 0.0f;
  float OuterRight = 0.0f;
  float InnerLeft = 0.0f;
  float InnerRight = 0.0f;
};

// Zone number -> wall positions; camera number -> zones. Indexing a missing
// key inserts a zeroed entry.
using ZoneWallMap = std::map<std::int32_t, WallPositions>;
using CameraZoneWallMap = std::map<std::int32_t, ZoneWallMap>;

class CustomTracesWithLuaContext {
 public:
  explicit CustomTracesWithLuaContext(const LuaLimits& limits = LuaLimits{});
  ~CustomTracesWithLuaContext();
  CustomTracesWithLuaContext(const CustomTracesWithLuaContext&) = delete;
  CustomTracesWithLuaContext& operator=(const CustomTracesWithLuaContext&) = delete;

  // Holds the context for a sequence of calls; every operation below also
  // takes it by itself.
  std::unique_lock<std::recursive_mutex> Lock() const;

  // Keeps the definition (even when its code does not compile, so that the
  // trace stays listed and can be saved again) and compiles it. True when it
  // compiled.
  bool SetTrace(std::shared_ptr<CustomTraces> trace);
  std::shared_ptr<CustomTraces> GetTrace() const;

  // Builds a fresh state for the held definition: loads the wrapped code,
  // sets the constants and defines the script's function, so the first Run
  // already gives the script's value. False, with LastError(), when the code
  // does not compile or its definition fails.
  bool Compile();
  bool IsCompiled() const;

  // The global setters do nothing and return false while no script is
  // compiled. The script sees the values from its next run on; Compile
  // starts a fresh state without them. SetVesselGlobals sets the vessel
  // globals of one camera zone from `walls` and ShearStress when "Flow"
  // holds a number; Run calls it itself. A value whose walls were not found
  // (a position of 0, a lumen edge not right of the other) is not a number,
  // as are all of them for camera or zone -1; VascularResistance and
  // MeanPressure are 0.
  bool SetVesselGlobals(std::int32_t camera, std::int32_t zone);
  // Temp, P1, P2, P4, Force, PH, Pulse, and Flow when the sample has one.
  bool SetInstrumentGlobals(const ORV::PMK4xData3& sample);
  // For values computed elsewhere: "Flow" from a flow meter, "IR", "MicroscopeTemp".
  bool SetGlobalNumber(std::string_view name, double value);

  // Evaluates the script once for a camera zone at a time (camera below 1
  // counts as 0, zone below 2 as 1) and returns its value; no value when the
  // script is not compiled, fails, overruns its limits or returns something
  // that is not a number, with the reason in LastError(). A script that
  // returns nothing gives 0.001.
  std::optional<double> Evaluate(std::int32_t camera, std::int32_t zone, std::uint32_t time);
  // The same, with not a number (a gap) in place of no value.
  double Run(std::int32_t camera, std::int32_t zone, std::uint32_t time);

  // Why the last Compile, Evaluate or SetVesselGlobals failed; empty after
  // one that succeeded.
  std::string LastError() const;

  // Set by callers once they have given the context a flow value.
  void SetHasFlow(bool hasFlow);
  bool HasFlow() const;

  // Latest wall positions per camera and zone; touch only while holding Lock().
  CameraZoneWallMap walls;

 private:
  struct PendingGlobals;
  struct VesselArgs;
  static int VesselBody(struct lua_State* L, void* arg);
  static int CompileBody(struct lua_State* L, void* arg);
  static int RunBody(struct lua_State* L, void* arg);

  bool Protected(LuaSandbox::Body body, void* arg, int results);
  bool RunVessel(LuaSandbox::Body body, VesselArgs& args, int results);

  mutable std::recursive_mutex mutex_;
  LuaSandbox sandbox_;
  std::shared_ptr<CustomTraces> trace_;
  bool compiled_ = false;
  bool hasFlow_ = false;
  std::string lastError_;
  std::string compileError_;
  std::unique_ptr<PendingGlobals> pending_;
};

// The wrapper chunk the user's code is compiled in: the code becomes the body
// of local_innerfunc, called by ORVRunFunc, which turns a missing result into
// 0.001. Messages in LastError() count lines from the code's first line.
std::string BuildWrapperChunk(std::string_view code);

// Whether `code` compiles as a custom trace: it is loaded inside the wrapper
// chunk, as Compile loads it, without running anything. False with the Lua
// message in `error` when it does not.
bool CheckScriptSyntax(std::string_view code, std::string& error);

}  // namespace ORV::Traces

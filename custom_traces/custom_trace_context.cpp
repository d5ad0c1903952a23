#include "custom_traces/custom_trace_context.h"

#include <lua.hpp>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/base/helpers.h"
#include "platform/os/number_text.h"

namespace ORV::Traces {

namespace {

// The vessel formulas use pi to nine digits.
constexpr double kVesselPi = 3.14159265;

// Sets globals without metamethods: a script that gives _G a metatable must
// not run code from here.
class Globals {
 public:
  explicit Globals(lua_State* L) : L_(L) {
    lua_rawgeti(L_, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    index_ = lua_gettop(L_);
  }
  void Number(std::string_view name, double value) {
    lua_pushlstring(L_, name.data(), name.size());
    lua_pushnumber(L_, value);
    lua_rawset(L_, index_);
  }
  void Integer(const char* name, lua_Integer value) {
    lua_pushstring(L_, name);
    lua_pushinteger(L_, value);
    lua_rawset(L_, index_);
  }
  void String(std::string_view name, std::string_view value) {
    lua_pushlstring(L_, name.data(), name.size());
    lua_pushlstring(L_, value.data(), value.size());
    lua_rawset(L_, index_);
  }
  // Pushes the global's value.
  int Get(const char* name) {
    lua_pushstring(L_, name);
    return lua_rawget(L_, index_);
  }
  int index() const { return index_; }

 private:
  lua_State* L_;
  int index_;
};

// Truncates toward zero into the int32 range (NaN gives 0).
std::int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

// Messages name the chunk "script" and count the wrapper's first line; make
// a leading "script:<n>:" count from the code's first line.
std::string CodeLineNumbers(std::string message) {
  constexpr std::string_view kPrefix = "script:";
  if (message.compare(0, kPrefix.size(), kPrefix) != 0) return message;
  std::size_t end = kPrefix.size();
  while (end < message.size() && message[end] >= '0' && message[end] <= '9') ++end;
  if (end == kPrefix.size() || end >= message.size() || message[end] != ':' || end - kPrefix.size() > 9) return message;
  const long long line = OS::LeadingInt(std::string_view(message).substr(kPrefix.size(), end - kPrefix.size()));
  return std::string(kPrefix) + OS::FormatInt(line > 1 ? line - 1 : line) + message.substr(end);
}

const char* LuaTypeName(lua_State* L, int index) { return lua_typename(L, lua_type(L, index)); }

}  // namespace

std::string BuildWrapperChunk(std::string_view code) {
  std::string chunk;
  chunk.reserve(code.size() + 160);
  chunk += "function local_innerfunc()\n";
  chunk += code;
  chunk +=
      "\n"
      "end\n"
      "\n"
      "function ORVRunFunc ()\n"
      "  local r = local_innerfunc()\n"
      "  if r == nil then\n"
      "    r = 0.0010\n"
      "  end\n"
      "  return r\n"
      "end\n";
  return chunk;
}

CustomTracesWithLuaContext::CustomTracesWithLuaContext(const LuaLimits& limits) : sandbox_(limits) {}

CustomTracesWithLuaContext::~CustomTracesWithLuaContext() = default;

std::unique_lock<std::recursive_mutex> CustomTracesWithLuaContext::Lock() const {
  return std::unique_lock<std::recursive_mutex>(mutex_);
}

bool CustomTracesWithLuaContext::SetTrace(std::shared_ptr<CustomTraces> trace) {
  auto lock = Lock();
  trace_ = std::move(trace);
  return Compile();
}

std::shared_ptr<CustomTraces> CustomTracesWithLuaContext::GetTrace() const {
  auto lock = Lock();
  return trace_;
}

bool CustomTracesWithLuaContext::Protected(LuaSandbox::Body body, void* arg, int results) {
  if (sandbox_.Call(body, arg, results, lastError_)) return true;
  lastError_ = CodeLineNumbers(std::move(lastError_));
  return false;
}

namespace {
struct CompileArgs {
  std::string_view chunk;
  const std::vector<CustomTraceConstant>* constants;
};
}  // namespace

// Script errors leave the bodies below by longjmp, so they hold nothing
// that needs a destructor.
int CustomTracesWithLuaContext::CompileBody(lua_State* L, void* arg) {
  const auto& a = *static_cast<const CompileArgs*>(arg);
  LuaSandbox::LoadText(L, a.chunk, "=script");
  Globals g(L);
  for (const CustomTraceConstant& c : *a.constants) {
    if (c.type == CustomTraceConstant::kInteger) {
      g.Number(c.Name(), static_cast<double>(c.integer));
    } else if (c.type == CustomTraceConstant::kString) {
      g.String(c.Name(), c.Text());
    }
  }
  lua_settop(L, g.index() - 1);
  // Running the chunk defines local_innerfunc and ORVRunFunc, so the first
  // Run already calls the script.
  lua_call(L, 0, 0);
  return 0;
}

bool CustomTracesWithLuaContext::Compile() {
  auto lock = Lock();
  compiled_ = false;
  if (trace_ == nullptr) {
    sandbox_.Close();
    lastError_ = compileError_ = "the custom trace has no definition";
    return false;
  }
  const std::string chunk = BuildWrapperChunk(trace_->Code);
  CompileArgs args{chunk, &trace_->Constants};
  if (sandbox_.Open(lastError_)) compiled_ = Protected(CompileBody, &args, 0);
  compileError_ = lastError_;
  return compiled_;
}

bool CustomTracesWithLuaContext::IsCompiled() const {
  auto lock = Lock();
  return compiled_;
}

struct CustomTracesWithLuaContext::VesselArgs {
  WallPositions walls;
  std::int32_t camera;
  std::int32_t zone;
  std::uint32_t time;
};

int CustomTracesWithLuaContext::VesselBody(lua_State* L, void* arg) {
  const auto& a = *static_cast<const VesselArgs*>(arg);
  double v[15] = {};
  enum {
    OuterLeft, OuterRight, OuterDiameter, VesselArea, InnerLeft, InnerRight, InnerDiameter, LumenArea,
    LeftWallThickness, RightWallThickness, AverageWallThickness, CrossSectionalArea, MediaLumenRatio,
    VascularResistance, MeanPressure
  };
  static const char* const kNames[15] = {
      "OuterLeft", "OuterRight", "OuterDiameter", "VesselArea", "InnerLeft", "InnerRight", "InnerDiameter",
      "LumenArea", "LeftWallThickness", "RightWallThickness", "AverageWallThickness", "CrossSectionalArea",
      "MediaLumenRatio", "VascularResistance", "MeanPressure"};
  Globals g(L);
  bool haveShear = false;
  double shear = 0.0;
  if (a.camera != -1 && a.zone != -1) {
    const WallPositions& w = a.walls;
    const float ol = w.OuterLeft, orr = w.OuterRight, il = w.InnerLeft, ir = w.InnerRight;
    const double OL = ol, OR = orr, IL = il, IR = ir;
    // Diameters and wall thicknesses are single-precision differences; the
    // areas and ratios are computed in double from the widened positions.
    v[OuterLeft] = OL;
    v[OuterRight] = OR;
    v[OuterDiameter] = static_cast<float>(orr - ol);
    v[InnerLeft] = IL;
    v[InnerRight] = IR;
    v[InnerDiameter] = static_cast<float>(ir - il);
    const double ro = (OR - OL) * 0.5, ri = (IR - IL) * 0.5;
    if (OL > 0 && OR > OL && IL > 0 && IR > IL) v[VesselArea] = kVesselPi * ro * ro - kVesselPi * ri * ri;
    if (IL > 0 && IR > IL) v[LumenArea] = kVesselPi * ri * ri;
    if (OL > 0 && IL > 0 && IR > IL) v[LeftWallThickness] = static_cast<float>(il - ol);
    if (OR > 0 && IR > 0 && IR > IL) v[RightWallThickness] = static_cast<float>(orr - ir);
    if (OL > 0 && OR > 0 && IL > 0 && IR > IL) {
      v[AverageWallThickness] = static_cast<float>((orr - ir) + (il - ol)) * 0.5;
      v[CrossSectionalArea] = ((OR - OL) * (OR - OL) - (IR - IL) * (IR - IL)) * 0.7853981625;
    }
    if (OL > 0 && OR > OL && IL > 0 && IR > IL) v[MediaLumenRatio] = ((OR - OL) - (IR - IL)) / (IR - IL);
    if (g.Get("Flow") != LUA_TNIL) {
      int isnum = 0;
      const double flow = lua_tonumberx(L, -1, &isnum);
      if (isnum) {
        haveShear = true;
        shear = ORV::ShearStress(IL, IR, TruncateToInt32(flow));
      }
    }
    lua_pop(L, 1);
  }
  for (int i = 0; i < 15; ++i) g.Number(kNames[i], v[i]);
  if (haveShear) g.Number("ShearStress", shear);
  lua_settop(L, g.index() - 1);
  return 0;
}

bool CustomTracesWithLuaContext::SetVesselGlobals(std::int32_t camera, std::int32_t zone) {
  auto lock = Lock();
  if (!sandbox_.IsOpen()) return false;
  VesselArgs args{{}, camera, zone, 0};
  if (camera != -1 && zone != -1) args.walls = walls[camera][zone];
  return Protected(VesselBody, &args, 0);
}

int CustomTracesWithLuaContext::InstrumentBody(lua_State* L, void* arg) {
  const auto& s = *static_cast<const ORV::PMK4xData3*>(arg);
  // P4 is the last of the ten extended channel values, read as a float.
  const std::uint32_t p4Bits = s.extended[9];
  float p4 = 0.0f;
  static_assert(sizeof p4 == sizeof p4Bits);
  std::memcpy(&p4, &p4Bits, sizeof p4);
  Globals g(L);
  g.Number("Temp", s.temperature);
  g.Number("P1", s.p1);
  g.Number("P2", s.p2);
  g.Number("P4", p4);
  g.Number("Force", s.force);
  g.Number("PH", s.pH);
  g.Number("Pulse", s.pulseRate);
  if (s.flowValid != 0) g.Number("Flow", s.flow);
  lua_settop(L, g.index() - 1);
  return 0;
}

bool CustomTracesWithLuaContext::SetInstrumentGlobals(const ORV::PMK4xData3& sample) {
  auto lock = Lock();
  if (!sandbox_.IsOpen()) return false;
  return Protected(InstrumentBody, const_cast<ORV::PMK4xData3*>(&sample), 0);
}

namespace {
struct NumberArgs {
  std::string_view name;
  double value;
};
}  // namespace

int CustomTracesWithLuaContext::NumberBody(lua_State* L, void* arg) {
  const auto& a = *static_cast<const NumberArgs*>(arg);
  Globals g(L);
  g.Number(a.name, a.value);
  lua_settop(L, g.index() - 1);
  return 0;
}

bool CustomTracesWithLuaContext::SetGlobalNumber(std::string_view name, double value) {
  auto lock = Lock();
  if (!sandbox_.IsOpen()) return false;
  NumberArgs args{name, value};
  return Protected(NumberBody, &args, 0);
}

int CustomTracesWithLuaContext::RunBody(lua_State* L, void* arg) {
  const auto& a = *static_cast<const VesselArgs*>(arg);
  VesselBody(L, arg);
  Globals g(L);
  g.Integer("current_camera", a.camera);
  g.Integer("current_zone", a.zone);
  g.Integer("current_time", static_cast<lua_Integer>(a.time));
  g.Get("ORVRunFunc");
  lua_call(L, 0, 1);
  return 1;
}

std::optional<double> CustomTracesWithLuaContext::Evaluate(std::int32_t camera, std::int32_t zone,
                                                           std::uint32_t time) {
  auto lock = Lock();
  if (!compiled_) {
    lastError_ = compileError_.empty() ? "the script is not compiled" : compileError_;
    return std::nullopt;
  }
  VesselArgs args{{}, camera < 1 ? 0 : camera, zone < 2 ? 1 : zone, time};
  args.walls = walls[args.camera][args.zone];
  if (!Protected(RunBody, &args, 1)) return std::nullopt;
  lua_State* L = sandbox_.state();
  std::optional<double> value;
  int isnum = 0;
  const int type = lua_type(L, -1);
  const double number = lua_tonumberx(L, -1, &isnum);
  if (type == LUA_TNUMBER || (type == LUA_TSTRING && isnum)) {
    value = number;
  } else {
    lastError_ = std::string("the script returned a ") + LuaTypeName(L, -1) + ", not a number";
  }
  sandbox_.Pop();
  return value;
}

double CustomTracesWithLuaContext::Run(std::int32_t camera, std::int32_t zone, std::uint32_t time) {
  return Evaluate(camera, zone, time).value_or(0.0);
}

std::string CustomTracesWithLuaContext::LastError() const {
  auto lock = Lock();
  return lastError_;
}

void CustomTracesWithLuaContext::SetHasFlow(bool hasFlow) {
  auto lock = Lock();
  hasFlow_ = hasFlow;
}

bool CustomTracesWithLuaContext::HasFlow() const {
  auto lock = Lock();
  return hasFlow_;
}

}  // namespace ORV::Traces

#include "custom_traces/custom_trace_context.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <lua.hpp>

#include "core/base/shear_stress.h"
#include "platform/os/number_text.h"

namespace ORV::Traces {

namespace {

// The vessel formulas use pi to nine digits.
constexpr double kVesselPi = 3.14159265;

// The globals set on every sample. Their name strings are made once per
// state and kept in the registry, so setting one costs a table store, not a
// string lookup.
enum Key : int {
  kOuterLeft,
  kOuterRight,
  kOuterDiameter,
  kVesselArea,
  kInnerLeft,
  kInnerRight,
  kInnerDiameter,
  kLumenArea,
  kLeftWallThickness,
  kRightWallThickness,
  kAverageWallThickness,
  kCrossSectionalArea,
  kMediaLumenRatio,
  kVascularResistance,
  kMeanPressure,  // the fifteen vessel values
  kShearStress,
  kTemp,
  kP1,
  kP2,
  kP4,
  kForce,
  kPH,
  kPulse,
  kFlow,
  kCurrentCamera,
  kCurrentZone,
  kCurrentTime,
  kRunFunc,
  kKeyCount
};
constexpr int kVesselValues = kMeanPressure + 1;
constexpr std::string_view kKeyNames[kKeyCount] = {"OuterLeft",
                                                   "OuterRight",
                                                   "OuterDiameter",
                                                   "VesselArea",
                                                   "InnerLeft",
                                                   "InnerRight",
                                                   "InnerDiameter",
                                                   "LumenArea",
                                                   "LeftWallThickness",
                                                   "RightWallThickness",
                                                   "AverageWallThickness",
                                                   "CrossSectionalArea",
                                                   "MediaLumenRatio",
                                                   "VascularResistance",
                                                   "MeanPressure",
                                                   "ShearStress",
                                                   "Temp",
                                                   "P1",
                                                   "P2",
                                                   "P4",
                                                   "Force",
                                                   "PH",
                                                   "Pulse",
                                                   "Flow",
                                                   "current_camera",
                                                   "current_zone",
                                                   "current_time",
                                                   "ORVRunFunc"};
const char kKeysTag = 0;  // registry key (by address) of the table of key strings

void MakeKeys(lua_State* L) {
  lua_createtable(L, kKeyCount, 0);
  for (int k = 0; k < kKeyCount; ++k) {
    lua_pushlstring(L, kKeyNames[k].data(), kKeyNames[k].size());
    lua_rawseti(L, -2, k + 1);
  }
  lua_rawsetp(L, LUA_REGISTRYINDEX, &kKeysTag);
}

// Sets globals without metamethods: a script that gives _G a metatable must
// not run code from here. Pushes the globals and the key table; Done() pops
// them.
class Globals {
 public:
  explicit Globals(lua_State* L) : L_(L) {
    lua_rawgeti(L_, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    globals_ = lua_gettop(L_);
    lua_rawgetp(L_, LUA_REGISTRYINDEX, &kKeysTag);
    keys_ = globals_ + 1;
  }
  void Number(Key k, double value) {
    lua_rawgeti(L_, keys_, k + 1);
    lua_pushnumber(L_, value);
    lua_rawset(L_, globals_);
  }
  void Integer(Key k, lua_Integer value) {
    lua_rawgeti(L_, keys_, k + 1);
    lua_pushinteger(L_, value);
    lua_rawset(L_, globals_);
  }
  void Number(std::string_view name, double value) {
    lua_pushlstring(L_, name.data(), name.size());
    lua_pushnumber(L_, value);
    lua_rawset(L_, globals_);
  }
  void String(std::string_view name, std::string_view value) {
    lua_pushlstring(L_, name.data(), name.size());
    lua_pushlstring(L_, value.data(), value.size());
    lua_rawset(L_, globals_);
  }
  // Pushes the global's value and returns its type.
  int Get(Key k) {
    lua_rawgeti(L_, keys_, k + 1);
    return lua_rawget(L_, globals_);
  }
  void Done() { lua_settop(L_, globals_ - 1); }

 private:
  lua_State* L_;
  int globals_;
  int keys_;
};

// Truncates toward zero into the int32 range (NaN gives 0).
std::int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
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

// Globals given by the setters wait here until the next evaluation and are
// stored in the state at its start, in one protected call with it. Only the
// last value given to a global matters, so each global has one slot.
struct CustomTracesWithLuaContext::PendingGlobals {
  std::array<double, kKeyCount> value{};
  std::array<bool, kKeyCount> set{};
  std::vector<std::pair<std::string, double>> named;  // globals without a slot
  // Which slots the compiled code can read, and the other names it
  // mentions; `all` when it can reach the globals table itself.
  std::array<bool, kKeyCount> used{};
  std::vector<std::string> words;
  bool all = true;

  bool Uses(std::string_view name) const { return all || std::find(words.begin(), words.end(), name) != words.end(); }

  void Set(std::string_view name, double v) {
    for (int k = 0; k < kKeyCount; ++k) {
      if (name == kKeyNames[k]) {
        Set(static_cast<Key>(k), v);
        return;
      }
    }
    if (!Uses(name)) return;
    for (auto& [n, old] : named) {
      if (n == name) {
        old = v;
        return;
      }
    }
    named.emplace_back(name, v);
  }
  void Set(Key k, double v) {
    value[k] = v;
    set[k] = used[k];
  }
  void Clear() {
    set.fill(false);
    named.clear();
  }

  // Finds the names `code` mentions. A script reads a global only by naming
  // it, unless it reaches the globals table through _G, _ENV or a chunk it
  // loads: then every global is given as before. Words in strings and
  // comments count too, which only gives a few values more.
  void Scan(std::string_view code) {
    words.clear();
    all = false;
    const auto isStart = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    const auto isPart = [&](char c) { return isStart(c) || (c >= '0' && c <= '9'); };
    for (std::size_t i = 0; i < code.size();) {
      if (!isStart(code[i])) {
        // Skip the rest of a number, so that 1e5 does not name "e5".
        const bool digit = code[i] >= '0' && code[i] <= '9';
        ++i;
        while (digit && i < code.size() && isPart(code[i])) ++i;
        continue;
      }
      std::size_t end = i + 1;
      while (end < code.size() && isPart(code[end])) ++end;
      const std::string_view word = code.substr(i, end - i);
      if (word == "_G" || word == "_ENV" || word == "load") all = true;
      if (std::find(words.begin(), words.end(), word) == words.end()) words.emplace_back(word);
      i = end;
    }
    for (int k = 0; k < kKeyCount; ++k) used[k] = Uses(kKeyNames[k]);
    // ShearStress is computed from the script's "Flow".
    if (used[kShearStress]) used[kFlow] = true;
    used[kRunFunc] = true;
  }
};

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

namespace {
int LoadOnlyBody(lua_State* L, void* arg) {
  LuaSandbox::LoadText(L, *static_cast<const std::string*>(arg), "=script");
  return 0;
}
}  // namespace

bool CheckScriptSyntax(std::string_view code, std::string& error) {
  LuaSandbox sandbox;
  if (!sandbox.Open(error)) return false;
  const std::string chunk = BuildWrapperChunk(code);
  if (!sandbox.Call(LoadOnlyBody, const_cast<std::string*>(&chunk), 0, error)) return false;
  error.clear();
  return true;
}

CustomTracesWithLuaContext::CustomTracesWithLuaContext(const LuaLimits& limits)
    : sandbox_(limits), pending_(std::make_unique<PendingGlobals>()) {}

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
  MakeKeys(L);
  LuaSandbox::LoadText(L, a.chunk, "=script");
  Globals g(L);
  for (const CustomTraceConstant& c : *a.constants) {
    if (c.type == CustomTraceConstant::kInteger) {
      g.Number(c.Name(), static_cast<double>(c.integer));
    } else if (c.type == CustomTraceConstant::kString) {
      g.String(c.Name(), c.Text());
    }
  }
  g.Done();
  // Running the chunk defines local_innerfunc and ORVRunFunc, so the first
  // Run already calls the script.
  lua_call(L, 0, 0);
  return 0;
}

bool CustomTracesWithLuaContext::Compile() {
  auto lock = Lock();
  compiled_ = false;
  pending_->Clear();
  if (trace_ == nullptr) {
    sandbox_.Close();
    lastError_ = compileError_ = "the custom trace has no definition";
    return false;
  }
  pending_->Scan(trace_->Code);
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
  const PendingGlobals* pending;
  WallPositions walls;
  std::int32_t camera;
  std::int32_t zone;
  std::uint32_t time;
};

int CustomTracesWithLuaContext::VesselBody(lua_State* L, void* arg) {
  const auto& a = *static_cast<const VesselArgs*>(arg);
  Globals g(L);
  for (int k = 0; k < kKeyCount; ++k) {
    if (a.pending->set[k]) g.Number(static_cast<Key>(k), a.pending->value[k]);
  }
  for (const auto& [name, value] : a.pending->named) g.Number(name, value);

  // A wall that was not found (stored as 0) gives no value: the values that
  // need it are not a number, so the script's result is a gap too rather
  // than a number computed from zeros.
  constexpr double kNotFound = std::numeric_limits<double>::quiet_NaN();
  double v[kVesselValues];
  std::fill(std::begin(v), std::end(v), kNotFound);
  v[kVascularResistance] = 0.0;
  v[kMeanPressure] = 0.0;
  bool haveShear = false;
  double shear = 0.0;
  const auto& used = a.pending->used;
  if (a.camera != -1 && a.zone != -1) {
    const float ol = a.walls.OuterLeft, orr = a.walls.OuterRight, il = a.walls.InnerLeft, ir = a.walls.InnerRight;
    const double OL = ol, OR = orr, IL = il, IR = ir;
    // Diameters and wall thicknesses are single-precision differences; the
    // areas and ratios are computed in double from the widened positions.
    if (OL > 0) v[kOuterLeft] = OL;
    if (OR > 0) v[kOuterRight] = OR;
    if (OL > 0 && OR > OL) v[kOuterDiameter] = static_cast<float>(orr - ol);
    if (IL > 0) v[kInnerLeft] = IL;
    if (IR > 0) v[kInnerRight] = IR;
    if (IL > 0 && IR > IL) v[kInnerDiameter] = static_cast<float>(ir - il);
    const double ro = (OR - OL) * 0.5, ri = (IR - IL) * 0.5;
    if (OL > 0 && OR > OL && IL > 0 && IR > IL) v[kVesselArea] = kVesselPi * ro * ro - kVesselPi * ri * ri;
    if (IL > 0 && IR > IL) v[kLumenArea] = kVesselPi * ri * ri;
    if (OL > 0 && IL > 0 && IR > IL) v[kLeftWallThickness] = static_cast<float>(il - ol);
    if (OR > 0 && IR > 0 && IR > IL) v[kRightWallThickness] = static_cast<float>(orr - ir);
    if (OL > 0 && OR > 0 && IL > 0 && IR > IL) {
      v[kAverageWallThickness] = static_cast<float>((orr - ir) + (il - ol)) * 0.5;
      v[kCrossSectionalArea] = ((OR - OL) * (OR - OL) - (IR - IL) * (IR - IL)) * 0.7853981625;
    }
    if (OL > 0 && OR > OL && IL > 0 && IR > IL) v[kMediaLumenRatio] = ((OR - OL) - (IR - IL)) / (IR - IL);
    if (used[kShearStress]) {
      g.Get(kFlow);
      int isnum = 0;
      const double flow = lua_tonumberx(L, -1, &isnum);
      lua_pop(L, 1);
      if (isnum) {
        haveShear = true;
        shear = IL > 0 && IR > IL ? ORV::ShearStress(IL, IR, TruncateToInt32(flow)) : kNotFound;
      }
    }
  }
  for (int k = 0; k < kVesselValues; ++k) {
    if (used[k]) g.Number(static_cast<Key>(k), v[k]);
  }
  if (haveShear) g.Number(kShearStress, shear);
  g.Done();
  return 0;
}

bool CustomTracesWithLuaContext::RunVessel(LuaSandbox::Body body, VesselArgs& args, int results) {
  args.pending = pending_.get();
  const bool ok = Protected(body, &args, results);
  pending_->Clear();
  return ok;
}

bool CustomTracesWithLuaContext::SetVesselGlobals(std::int32_t camera, std::int32_t zone) {
  auto lock = Lock();
  if (!compiled_) return false;
  VesselArgs args{nullptr, {}, camera, zone, 0};
  if (camera != -1 && zone != -1) args.walls = walls[camera][zone];
  return RunVessel(VesselBody, args, 0);
}

bool CustomTracesWithLuaContext::SetInstrumentGlobals(const ORV::PMK4xData3& sample) {
  auto lock = Lock();
  if (!compiled_) return false;
  // P4 is the last of the ten extended channel values, read as a float.
  const std::uint32_t p4Bits = sample.extended[9];
  float p4 = 0.0f;
  static_assert(sizeof p4 == sizeof p4Bits);
  std::memcpy(&p4, &p4Bits, sizeof p4);
  PendingGlobals& p = *pending_;
  p.Set(kTemp, sample.temperature);
  p.Set(kP1, sample.p1);
  p.Set(kP2, sample.p2);
  p.Set(kP4, p4);
  p.Set(kForce, sample.force);
  p.Set(kPH, sample.pH);
  p.Set(kPulse, sample.pulseRate);
  if (sample.flowValid != 0) p.Set(kFlow, sample.flow);
  return true;
}

bool CustomTracesWithLuaContext::SetGlobalNumber(std::string_view name, double value) {
  auto lock = Lock();
  if (!compiled_) return false;
  pending_->Set(name, value);
  return true;
}

int CustomTracesWithLuaContext::RunBody(lua_State* L, void* arg) {
  const auto& a = *static_cast<const VesselArgs*>(arg);
  VesselBody(L, arg);
  Globals g(L);
  const auto& used = a.pending->used;
  if (used[kCurrentCamera]) g.Integer(kCurrentCamera, a.camera);
  if (used[kCurrentZone]) g.Integer(kCurrentZone, a.zone);
  if (used[kCurrentTime]) g.Integer(kCurrentTime, static_cast<lua_Integer>(a.time));
  g.Get(kRunFunc);
  lua_call(L, 0, 1);
  lua_replace(L, 1);  // the result in place of the globals table
  lua_settop(L, 1);
  return 1;
}

std::optional<double> CustomTracesWithLuaContext::Evaluate(std::int32_t camera, std::int32_t zone, std::uint32_t time) {
  auto lock = Lock();
  if (!compiled_) {
    lastError_ = compileError_.empty() ? "the script is not compiled" : compileError_;
    return std::nullopt;
  }
  VesselArgs args{nullptr, {}, camera < 1 ? 0 : camera, zone < 2 ? 1 : zone, time};
  args.walls = walls[args.camera][args.zone];
  if (!RunVessel(RunBody, args, 1)) return std::nullopt;
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
  // A script that fails gives no value: a gap, never a 0 among the values.
  return Evaluate(camera, zone, time).value_or(std::numeric_limits<double>::quiet_NaN());
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

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "custom_traces/custom_trace_context.h"
#include "tests/support/test_support.h"

namespace ORV::Traces {
namespace {

std::shared_ptr<CustomTracesWithLuaContext> Make(const std::string& code,
                                                 std::vector<CustomTraceConstant> constants = {},
                                                 const LuaLimits& limits = LuaLimits{}) {
  auto trace = std::make_shared<CustomTraces>();
  trace->Code = code;
  trace->Constants = std::move(constants);
  auto context = std::make_shared<CustomTracesWithLuaContext>(limits);
  context->SetTrace(trace);
  return context;
}

CustomTraceConstant Constant(const char* name, std::int32_t type, std::int64_t integer, const char* text = "") {
  CustomTraceConstant c;
  c.SetName(name);
  c.type = type;
  c.integer = integer;
  c.SetText(text);
  return c;
}

ORV::PMK4xData3 Sample() {
  ORV::PMK4xData3 s;
  s.temperature = 37.5f;
  s.p1 = 80.25f;
  s.p2 = 60.5f;
  s.force = 1.5f;
  s.pH = 7.25f;
  s.pulseRate = 0.75f;
  s.flow = 12.9f;
  s.flowValid = 1;
  const float p4 = 33.5f;
  std::memcpy(&s.extended[9], &p4, sizeof p4);
  return s;
}

// Walls (10, 30, 15, 25) on camera 1 zone 1, the sample above, IR and the
// microscope temperature, then one Run at 5000 ms.
std::optional<double> EvaluateWithInputs(CustomTracesWithLuaContext& c) {
  auto lock = c.Lock();
  c.SetInstrumentGlobals(Sample());
  c.SetGlobalNumber("IR", 812);
  c.SetGlobalNumber("MicroscopeTemp", 36.75);
  c.walls[1][1] = WallPositions{10, 30, 15, 25};
  return c.Evaluate(1, 1, 5000);
}

TEST(CustomTraceContext, ScriptsReadEveryGlobal) {
  const double kShear = 12 / 60.0 * 0.028 * 1e9 / (5.0 * 5.0 * 5.0 * 3.14159265);
  struct Case {
    const char* code;
    double expected;
  };
  const Case cases[] = {
      {"return 2*OuterDiameter", 40},
      {"return OuterLeft", 10},
      {"return OuterRight", 30},
      {"return InnerLeft", 15},
      {"return InnerRight", 25},
      {"return InnerDiameter", 10},
      {"return VesselArea", 3.14159265 * 100 - 3.14159265 * 25},
      {"return LumenArea", 3.14159265 * 25},
      {"return LeftWallThickness", 5},
      {"return RightWallThickness", 5},
      {"return AverageWallThickness", 5},
      {"return CrossSectionalArea", 300 * 0.7853981625},
      {"return MediaLumenRatio", 1},
      {"return VascularResistance + MeanPressure", 0},
      {"return ShearStress", kShear},
      {"return Temp", 37.5},
      {"return P1", 80.25},
      {"return P2", 60.5},
      {"return P4", 33.5},
      {"return Force", 1.5},
      {"return PH", 7.25},
      {"return Pulse", 0.75},
      {"return Flow", static_cast<double>(12.9f)},
      {"return IR", 812},
      {"return MicroscopeTemp", 36.75},
      {"return current_camera * 10000 + current_zone * 1000 + current_time", 10000 + 1000 + 5000},
      {"return math.type(current_time) == 'integer' and 1 or 0", 1},
      {"return Gain", 7},
      {"return math.type(Gain) == 'float' and 1 or 0", 1},
      {"return #Unit", 7},
      {"return Unknown == nil and 1 or 0", 1},
      {"local x = 3", 0.001},
      {"return '12'", 12},
      {"return math.floor(P1 + 0.5) // 2", 40},
      {"return tonumber(('P=12.5 mmHg'):match('[%d%.]+')) + select('#', 1, 2)", 14.5},
      {"local t = {3, 1, 2} table.sort(t) return t[1] * 100 + t[3] + #table.concat(t, ',')", 108},
      {"local ok, e = pcall(error, 'x') return ok and 0 or 1", 1},
      {"return load('return 2 + 3')()", 5},
      {"print('discarded') return 1", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    auto context = Make(c.code, {Constant("Gain", CustomTraceConstant::kInteger, 7),
                                 Constant("Unit", CustomTraceConstant::kString, 0, "dyne/cm"),
                                 Constant("Unknown", CustomTraceConstant::kUnknown, 3)});
    ASSERT_TRUE(context->IsCompiled()) << context->LastError();
    const auto value = EvaluateWithInputs(*context);
    ASSERT_TRUE(value.has_value()) << context->LastError();
    EXPECT_NEAR(*value, c.expected, 1e-9 * std::max(1.0, std::abs(c.expected))) << "the first run gives the value";
    EXPECT_EQ(context->LastError(), "");
  }
}

TEST(CustomTraceContext, FailuresGiveNoValueAndAMessage) {
  struct Case {
    const char* code;
    const char* message;
    bool compiles;
  };
  const Case cases[] = {
      {"local a =\nreturn +", "script:2:", false},
      {"end x = 1", "<eof> expected near 'end'", false},
      {"error('broken sensor')", "broken sensor", true},
      {"\n\nreturn nil + 1", "script:3: attempt to perform arithmetic", true},
      {"return undefinedFunction()", "undefinedFunction", true},
      {"return 'ab'", "returned a string, not a number", true},
      {"return true", "returned a boolean, not a number", true},
      {"return {}", "returned a table, not a number", true},
      {"error({})", "error object is a table value", true},
      // Nothing outside the sandbox is reachable.
      {"os.exit(3)", "global 'os'", true},
      {"return io.open('/etc/passwd')", "global 'io'", true},
      {"return require('os')", "global 'require'", true},
      {"return dofile('/etc/passwd')", "global 'dofile'", true},
      {"return loadfile('/etc/passwd')", "global 'loadfile'", true},
      {"return package.loadlib('libc.so.6', 'system')", "global 'package'", true},
      {"return debug.getregistry()", "global 'debug'", true},
      {"collectgarbage('stop')", "global 'collectgarbage'", true},
      {"return string.dump(print)", "field 'dump'", true},
      {"return assert(load(string.char(27) .. 'LuaS' .. string.rep('\\0', 40)))()", "binary chunk", true},
      {"setmetatable({}, {__gc = function() while true do end end})", "finalizers", true},
      {"ORVRunFunc = nil return 1", "", true},  // the first run gives 1; see below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    auto context = Make(c.code);
    EXPECT_EQ(context->IsCompiled(), c.compiles) << context->LastError();
    ASSERT_NE(context->GetTrace(), nullptr) << "the definition is kept either way";
    if (std::string(c.message).empty()) {
      EXPECT_EQ(context->Evaluate(0, 0, 0), 1.0);
      EXPECT_FALSE(context->Evaluate(0, 0, 0).has_value());
      EXPECT_NE(context->LastError().find("attempt to call a nil value"), std::string::npos) << context->LastError();
      continue;
    }
    EXPECT_FALSE(EvaluateWithInputs(*context).has_value());
    EXPECT_NE(context->LastError().find(c.message), std::string::npos) << context->LastError();
    EXPECT_TRUE(std::isnan(context->Run(1, 1, 0))) << "a failed run is a gap, not 0";
  }
}

TEST(CustomTraceContext, OverrunsStopTheScriptUntilItIsCompiledAgain) {
  // A generous time limit, so that a loaded machine cannot turn a budget or
  // memory overrun into a time overrun; the time limit has its own case.
  LuaLimits slowMachine;
  slowMachine.time = std::chrono::minutes(2);
  LuaLimits unlimitedBudget;
  unlimitedBudget.instructions = std::uint64_t{1} << 60;
  unlimitedBudget.time = std::chrono::milliseconds(100);
  // No time at all: the first reading of the clock starts it, the next ends
  // the call. Joining long strings runs few instructions, so only the
  // allocator's reading stops it before the memory cap.
  LuaLimits noTime = unlimitedBudget;
  noTime.time = std::chrono::milliseconds(0);
  struct Case {
    const char* code;
    const char* message;
    LuaLimits limits = LuaLimits{};
  };
  const Case cases[] = {
      {"while true do end", "budget of 10000000 instructions"},
      {"while true do end", "ran longer than 100 ms", unlimitedBudget},
      {"while true do pcall(function() while true do end end) end", "budget"},
      {"while true do xpcall(function() while true do end end, function(e) return e end) end", "budget"},
      // load runs its reader protected; a reader that overruns ends the call too.
      {"while true do load(function() while true do end end) end", "budget"},
      {"load(ORVRunFunc)", "budget"},
      {"return string.rep('a', 5000):find('.-.-.-.-b')", "budget"},
      {"return #string.rep('', 1e18)", "budget"},
      {"local t = setmetatable({}, {__len = function() return 1e15 end}) table.insert(t, 1, 0)", "budget"},
      {"return table.move({}, 1, 1e15, 1, {})", "budget"},
      {"local t, s = {}, string.rep('x', 4096) while true do t[#t + 1] = s .. #t end", "64 MiB of memory"},
      {"local function f() return f() + 1 end return f()", "memory"},
      {"local s = 'x' while true do s = s .. s end", "64 MiB of memory"},
      {"local s = 'x' while true do s = s .. s end", "ran longer than 0 ms", noTime},
      {"local t, s = {}, string.rep('x', 4096) while true do pcall(function() t[#t + 1] = s .. #t end) end", "memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    auto context = Make("if current_time == 1 then return 1 end\n" + std::string(c.code), {},
                        c.limits.time == LuaLimits{}.time ? slowMachine : c.limits);
    ASSERT_TRUE(context->IsCompiled()) << context->LastError();
    EXPECT_FALSE(context->Evaluate(0, 0, 0).has_value());
    EXPECT_NE(context->LastError().find(c.message), std::string::npos) << context->LastError();
    EXPECT_FALSE(context->Evaluate(0, 0, 1).has_value()) << "a stopped script does not run";
    EXPECT_NE(context->LastError().find("stopped"), std::string::npos) << context->LastError();
    ASSERT_TRUE(context->Compile());
    EXPECT_EQ(context->Evaluate(0, 0, 1), 1.0);
  }
}

// Every context has its own cap, and all of them together one more: a
// context that would go past it is stopped with a message that says so.
TEST(CustomTraceContext, AllContextsTogetherStayUnderOneCap) {
  const std::size_t saved = LuaSandbox::TotalMemoryLimit();
  LuaSandbox::SetTotalMemoryLimit(std::size_t{8} << 20);
  const char* code = "keep = keep or string.rep('k', 3 << 20) return #keep";
  auto first = Make(code);
  auto second = Make(code);
  ASSERT_TRUE(first->IsCompiled() && second->IsCompiled());
  EXPECT_EQ(first->Evaluate(0, 0, 0), 3145728.0) << first->LastError();
  EXPECT_GE(LuaSandbox::TotalMemoryInUse(), std::size_t{3} << 20);
  EXPECT_FALSE(second->Evaluate(0, 0, 0).has_value());
  EXPECT_NE(second->LastError().find("all custom traces together would use more than their 8 MiB of memory"),
            std::string::npos)
      << second->LastError();
  // The first keeps what it holds; once it is gone the second has room.
  EXPECT_EQ(first->Evaluate(0, 0, 1), 3145728.0);
  first.reset();
  ASSERT_TRUE(second->Compile());
  EXPECT_EQ(second->Evaluate(0, 0, 0), 3145728.0) << second->LastError();
  LuaSandbox::SetTotalMemoryLimit(saved);
}

TEST(CustomTraceContext, AMemoryRefusalThatCollectionRecoversStopsNothing) {
  // Garbage piles up against a 1 MiB cap until a block is turned down; the
  // collection that follows frees room and the script goes on. A later
  // failure that has nothing to do with memory stays the script's own.
  LuaLimits small;
  small.memoryBytes = std::size_t{1} << 20;
  small.time = std::chrono::minutes(2);  // a loaded, sanitized build is slow; time is not what this tests
  auto context = Make(
      "local keep = string.rep('k', 400000)\n"
      "for i = 1, 200 do local garbage = keep:sub(1, 100000) .. i end\n"
      "local chunk, message = load('x =')\n"
      "local ok = pcall(error, 'x')\n"
      "return (chunk == nil and message:find('expected') and not ok) and #keep or 0",
      {}, small);
  ASSERT_TRUE(context->IsCompiled()) << context->LastError();
  EXPECT_EQ(context->Evaluate(0, 0, 0), 400000.0) << context->LastError();
}

// A script is given only the values its code names, unless it reaches the
// globals table (through _G or a loaded chunk), when it is given them all.
// Either way every name reads the same, sample after sample, including the
// values a sample leaves alone (no flow, no walls).
TEST(CustomTraceContext, NamedAndReachedGlobalsReadTheSame) {
  const char* names[] = {"OuterLeft",
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
                         "IR",
                         "MicroscopeTemp",
                         "current_camera",
                         "current_zone",
                         "current_time"};
  // The reaching scripts spell each name in two pieces, so that their code
  // does not name it. Every name at once, weighted by its place, nil
  // counting as -1.
  const auto split = [](const std::string& n) { return "'" + n.substr(0, 1) + "' .. '" + n.substr(1) + "'"; };
  std::string named = "local s = 0\n";
  std::string reached = "local s = 0\nlocal names = {";
  int weight = 1;
  for (const char* n : names) {
    named += "s = s + " + std::to_string(weight) + " * (" + n + " or -1)\n";
    reached += split(n) + ", ";
    ++weight;
  }
  named += "return s";
  reached += "}\nfor i, n in ipairs(names) do s = s + i * (_G[n] or -1) end\nreturn s";

  std::vector<std::string> codes = {named, reached};
  for (const char* n : names) {
    codes.push_back(std::string("return ") + n + " or -1");
    codes.push_back("return load('return ' .. " + split(n) + ")() or -1");
  }
  for (std::size_t i = 0; i < codes.size(); i += 2) {
    SCOPED_TRACE(codes[i]);
    auto direct = Make(codes[i]);
    auto indirect = Make(codes[i + 1]);
    ASSERT_TRUE(direct->IsCompiled()) << direct->LastError();
    ASSERT_TRUE(indirect->IsCompiled()) << indirect->LastError();
    for (int sample = 0; sample < 4; ++sample) {
      std::optional<double> values[2];
      int k = 0;
      for (auto* c : {direct.get(), indirect.get()}) {
        auto lock = c->Lock();
        ORV::PMK4xData3 s = Sample();
        s.p1 += static_cast<float>(sample);
        s.flow += static_cast<float>(sample);
        s.flowValid = sample == 2 ? 0 : 1;
        if (sample != 3) c->SetInstrumentGlobals(s);
        if (sample == 1) c->SetGlobalNumber("IR", 812 + sample);
        c->walls[1][1] = WallPositions{10.0f + static_cast<float>(sample), 30, 15, 25};
        values[k++] = c->Evaluate(1, sample == 3 ? 2 : 1, 5000u + static_cast<std::uint32_t>(sample));
      }
      ASSERT_TRUE(values[0].has_value()) << direct->LastError();
      ASSERT_TRUE(values[1].has_value()) << indirect->LastError();
      // A wall not found reads as not a number either way.
      if (!(std::isnan(*values[0]) && std::isnan(*values[1]))) {
        EXPECT_EQ(*values[0], *values[1]) << "sample " << sample;
      }
    }
  }
}

TEST(CustomTraceContext, VesselGlobalsFollowTheWallConditions) {
  // Outer left at 0 (not found): only the lumen, its area and the right wall
  // are numbers; what needs the outer left edge is not a number (x ~= x), and
  // without a number in "Flow" there is no shear stress.
  auto probe = Make(
      "return (VesselArea ~= VesselArea and LeftWallThickness ~= LeftWallThickness "
      "and AverageWallThickness ~= AverageWallThickness and CrossSectionalArea ~= CrossSectionalArea "
      "and MediaLumenRatio ~= MediaLumenRatio and OuterLeft ~= OuterLeft and OuterDiameter ~= OuterDiameter "
      "and OuterRight == 30 and InnerDiameter == 10 and math.abs(LumenArea - 78.53981625) < 1e-9 "
      "and RightWallThickness == 5 and ShearStress == nil) and 1 or 0");
  probe->walls[2][3] = WallPositions{0, 30, 15, 25};
  EXPECT_EQ(probe->Run(2, 3, 0), 1.0);
  // Nothing found: every vessel value is no number, and neither is a result
  // computed from them.
  auto diameter = Make("return OuterDiameter * 2");
  diameter->walls[1][1] = WallPositions{0, 0, 0, 0};
  EXPECT_TRUE(std::isnan(diameter->Run(1, 1, 0)));

  // Diameters and wall thicknesses are float differences, areas and ratios
  // double arithmetic on the widened positions.
  {
    const float ol = 0.1f, orr = 0.35f, il = 0.15f, ir = 0.3f;
    const double OL = ol, OR = orr, IL = il, IR = ir;
    struct Precision {
      const char* code;
      double expected;
    };
    const Precision precise[] = {
        {"return OuterDiameter", static_cast<float>(orr - ol)},
        {"return LeftWallThickness", static_cast<float>(il - ol)},
        {"return AverageWallThickness", static_cast<float>((orr - ir) + (il - ol)) * 0.5},
        {"return CrossSectionalArea", ((OR - OL) * (OR - OL) - (IR - IL) * (IR - IL)) * 0.7853981625},
        {"return MediaLumenRatio", ((OR - OL) - (IR - IL)) / (IR - IL)},
    };
    for (const Precision& p : precise) {
      SCOPED_TRACE(p.code);
      auto context = Make(p.code);
      context->walls[1][1] = WallPositions{ol, orr, il, ir};
      EXPECT_EQ(context->Run(1, 1, 0), p.expected);
    }
  }

  // "Flow" 12.9 is taken as 12, a numeric text counts, equal inner walls (no
  // lumen found) give no number, and a flow beyond the integer range is
  // clamped rather than undefined.
  const double kShear12 = 12 / 60.0 * 0.028 * 1e9 / (125 * 3.14159265);
  auto shear = Make("return ShearStress");
  struct Case {
    const char* flowCode;
    WallPositions walls;
    double expected;
  };
  const Case cases[] = {
      {"Flow = 12.9", {10, 30, 15, 25}, kShear12},
      {"Flow = '12.2'", {10, 30, 15, 25}, kShear12},
      {"Flow = 12", {10, 30, 20, 20}, std::numeric_limits<double>::quiet_NaN()},
      {"Flow = -1e300", {10, 30, 15, 25}, -2147483648.0 / 60.0 * 0.028 * 1e9 / (125 * 3.14159265)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flowCode);
    auto context = Make(std::string("if current_time == 0 then ") + c.flowCode + " return 0 end return ShearStress");
    context->walls[1][1] = c.walls;
    ASSERT_EQ(context->Run(1, 1, 0), 0.0);
    if (std::isnan(c.expected))
      EXPECT_TRUE(std::isnan(context->Run(1, 1, 1)));
    else
      EXPECT_DOUBLE_EQ(context->Run(1, 1, 1), c.expected);
  }
  shear->SetGlobalNumber("Flow", 12.9);
  shear->walls[1][1] = WallPositions{10, 30, 15, 25};
  EXPECT_DOUBLE_EQ(shear->Run(1, 1, 0), kShear12);
}

TEST(CustomTraceContext, CameraAndZoneAreClamped) {
  auto context = Make("return current_camera * 100 + current_zone * 10 + OuterLeft");
  context->walls[0][1] = WallPositions{3, 4, 0, 0};
  context->walls[2][2] = WallPositions{5, 6, 0, 0};
  EXPECT_EQ(context->Run(0, 0, 0), 13.0);
  EXPECT_EQ(context->Run(-3, 1, 0), 13.0);
  EXPECT_EQ(context->Run(2, 2, 0), 225.0);
  EXPECT_TRUE(std::isnan(context->Run(1, -7, 0))) << "a zone never written reads as walls not found";
}

TEST(CustomTraceContext, EachGlobalHoldsTheLastValueGiven) {
  auto context = Make("return Flow * 1000 + IR + (Extra or 0)");
  ORV::PMK4xData3 withFlow = Sample();
  withFlow.flow = 7.0f;
  ORV::PMK4xData3 withoutFlow = withFlow;
  withoutFlow.flowValid = 0;

  context->SetGlobalNumber("Flow", 5);
  context->SetInstrumentGlobals(withFlow);
  context->SetGlobalNumber("IR", 1);
  context->SetGlobalNumber("IR", 2);
  EXPECT_EQ(context->Run(0, 0, 0), 7002.0) << "the sample's flow came last";

  context->SetInstrumentGlobals(withFlow);
  context->SetGlobalNumber("Flow", 5);
  EXPECT_EQ(context->Run(0, 0, 0), 5002.0) << "the flow number came last; IR keeps its value";

  context->SetInstrumentGlobals(withoutFlow);
  context->SetGlobalNumber("Extra", 0.5);
  EXPECT_EQ(context->Run(0, 0, 0), 5002.5) << "a sample without flow leaves Flow alone";

  context->SetGlobalNumber("Extra", 100);
  ASSERT_TRUE(context->Compile());
  context->SetGlobalNumber("Flow", 1);
  context->SetGlobalNumber("IR", 0);
  EXPECT_EQ(context->Run(0, 0, 0), 1000.0) << "a compile starts without the values given before it";
}

TEST(CustomTraceContext, ScriptStateLastsUntilTheNextCompile) {
  auto context = Make("count = (count or 0) + 1 return count");
  EXPECT_EQ(context->Run(0, 0, 0), 1.0);
  EXPECT_EQ(context->Run(0, 0, 0), 2.0);
  EXPECT_EQ(context->Run(0, 0, 0), 3.0);
  ASSERT_TRUE(context->Compile());
  EXPECT_EQ(context->Run(0, 0, 0), 1.0);
}

TEST(CustomTraceContext, ManyFailingRunsLeaveTheContextUsable) {
  auto context = Make("if current_time % 2 == 0 then error('even') end return current_time");
  for (std::uint32_t t = 0; t < 10000; t += 2) ASSERT_FALSE(context->Evaluate(0, 0, t).has_value());
  EXPECT_EQ(context->Run(0, 0, 10001), 10001.0);
}

TEST(CustomTraceContext, ContextsWithoutACompiledScript) {
  CustomTracesWithLuaContext empty;
  EXPECT_TRUE(std::isnan(empty.Run(1, 1, 0)));
  EXPECT_FALSE(empty.SetGlobalNumber("Flow", 1));
  EXPECT_FALSE(empty.SetInstrumentGlobals(Sample()));
  EXPECT_FALSE(empty.SetVesselGlobals(1, 1));
  EXPECT_FALSE(empty.LastError().empty());

  EXPECT_FALSE(empty.SetTrace(nullptr));
  EXPECT_EQ(empty.GetTrace(), nullptr);
  EXPECT_FALSE(empty.Evaluate(0, 0, 0).has_value());

  auto broken = Make("return (");
  broken->SetGlobalNumber("Flow", 3);
  EXPECT_FALSE(broken->Evaluate(0, 0, 0).has_value());
  EXPECT_NE(broken->LastError().find("unexpected symbol"), std::string::npos)
      << "the compile error is still the reason: " << broken->LastError();

  // Fixing the shared definition and compiling again brings the trace back.
  broken->GetTrace()->Code = "return 5";
  EXPECT_TRUE(broken->Compile());
  EXPECT_EQ(broken->Run(0, 0, 0), 5.0);
}

TEST(CustomTraceContext, NumbersIgnoreTheUserLocale) {
  ORV::Test::CommaLocale comma;
  auto context = Make("return 0.5 + tonumber('1.25') + '0.125'");
  EXPECT_EQ(context->Run(0, 0, 0), 1.875);
}

}  // namespace
}  // namespace ORV::Traces

#include "custom_traces/lua_sandbox.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <lua.hpp>
#include <string_view>

#include "core/base/event_log.h"
#include "platform/os/number_text.h"

namespace ORV::Traces {

namespace {

enum class Overrun { None, Instructions, Time, Memory, TotalMemory };

// The memory every sandbox holds, together, and its cap.
std::atomic<std::size_t> g_totalUsed{0};
std::atomic<std::size_t> g_totalLimit{LuaSandbox::kDefaultTotalMemoryBytes};

// The allocator reads the clock each time this many bytes more were
// asked for: work that is all allocation and copying (joining long
// strings) runs few instructions, so the count hook alone sees the time
// late.
constexpr std::size_t kClockEveryBytes = std::size_t{1} << 20;

}  // namespace

struct LuaSandbox::Shared {
  LuaLimits limits;
  std::size_t used = 0;        // bytes held by the state
  bool refused = false;        // the last attempt to grow memory was turned down because of the cap
  std::uint64_t executed = 0;  // instructions and charged library work in this call
  std::chrono::steady_clock::time_point deadline;
  bool timing = false;         // the deadline of this call is set
  bool inCall = false;         // a Call runs
  std::size_t sinceClock = 0;  // bytes asked for since the allocator last read the clock
  bool totalRefused = false;   // the last refusal was for the cap across all sandboxes
  Overrun overrun = Overrun::None;
  bool stopped = false;
  std::string stopMessage;
};

namespace {

using Shared = LuaSandbox::Shared;

// The count hook runs every this many instructions.
constexpr int kHookInterval = 100;

Shared& SharedOf(lua_State* L) {
  void* ud = nullptr;
  lua_getallocf(L, &ud);
  return *static_cast<Shared*>(ud);
}

// Whether the call's time ran out, read from the allocator (which cannot
// raise an error: it refuses the block, and the overrun recorded makes the
// memory error that follows end the call).
bool TimeRanOut(Shared& s, std::size_t grow) {
  if (!s.inCall) return false;
  s.sinceClock += grow;
  if (s.sinceClock < kClockEveryBytes) return false;
  s.sinceClock = 0;
  const auto now = std::chrono::steady_clock::now();
  if (!s.timing) {
    s.deadline = now + s.limits.time;
    s.timing = true;
    return false;
  }
  if (now <= s.deadline) return false;
  s.overrun = Overrun::Time;
  return true;
}

// Takes `grow` bytes from the cap across all sandboxes; false when it has
// no room for them.
bool TakeFromTotal(std::size_t grow) {
  std::size_t total = g_totalUsed.load();
  do {
    if (grow > g_totalLimit.load() || total > g_totalLimit.load() - grow) return false;
  } while (!g_totalUsed.compare_exchange_weak(total, total + grow));
  return true;
}

void* Allocate(void* ud, void* ptr, std::size_t osize, std::size_t nsize) {
  auto& s = *static_cast<Shared*>(ud);
  if (ptr == nullptr) osize = 0;  // then osize only tells the kind of object
  if (nsize == 0) {
    std::free(ptr);
    s.used -= osize;
    g_totalUsed -= osize;
    return nullptr;
  }
  const std::size_t grow = nsize > osize ? nsize - osize : 0;
  if (grow > 0) {
    // After an overrun nothing more is granted: Lua's emergency collection
    // retries the block, and the call must end.
    if (s.overrun != Overrun::None || TimeRanOut(s, grow)) return nullptr;
    const std::size_t room = s.limits.memoryBytes - std::min(s.used, s.limits.memoryBytes);
    if (grow > room) {
      s.refused = true;
      s.totalRefused = false;
      return nullptr;
    }
    if (!TakeFromTotal(grow)) {
      s.refused = true;
      s.totalRefused = true;
      return nullptr;
    }
  }
  void* block = std::realloc(ptr, nsize);
  if (block == nullptr) {
    g_totalUsed -= grow;
    return nullptr;
  }
  // Lua retries a refused block after a full collection; once one is granted,
  // an earlier refusal no longer explains a later failure.
  if (grow > 0) s.refused = false;
  if (nsize < osize) g_totalUsed -= osize - nsize;
  s.used = s.used - osize + nsize;
  return block;
}

int Panic(lua_State* L) {
  // Every call into a state is protected, so this means a fault in this file.
  const char* msg = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "unknown error";
  ORV::LogError(std::string("Custom traces: unprotected script engine error: ") + msg);
  return 0;  // Lua aborts after this
}

[[noreturn]] void RaiseOverrun(lua_State* L, Overrun kind) {
  SharedOf(L).overrun = kind;
  luaL_error(L, "script stopped");
  std::abort();  // not reached: luaL_error does not return
}

// The clock starts at the first hook of a call rather than at its start:
// a short call never reads it, and a long one is at most one interval late.
void CountHook(lua_State* L, lua_Debug*) {
  auto& s = SharedOf(L);
  s.executed += kHookInterval;
  if (s.executed > s.limits.instructions) RaiseOverrun(L, Overrun::Instructions);
  const auto now = std::chrono::steady_clock::now();
  if (!s.timing) {
    s.deadline = now + s.limits.time;
    s.timing = true;
  } else if (now > s.deadline) {
    RaiseOverrun(L, Overrun::Time);
  }
}

// Charges work done inside one library call to the budget before the call
// starts, so a call that would overrun it never begins.
void Charge(lua_State* L, double work) {
  auto& s = SharedOf(L);
  const double left = static_cast<double>(s.limits.instructions) - static_cast<double>(s.executed);
  if (!(work <= left)) RaiseOverrun(L, Overrun::Instructions);
  s.executed += static_cast<std::uint64_t>(work);
}

// Whether a protected run that just failed was stopped by an overrun, which
// must end the whole call: the script's pcall, xpcall and load hand it on
// instead of catching it. A memory failure (`outOfMemory`) is one when the
// cap turned the block down.
bool MustPropagate(lua_State* L, bool outOfMemory) {
  auto& s = SharedOf(L);
  if (outOfMemory && s.refused && s.overrun == Overrun::None)
    s.overrun = s.totalRefused ? Overrun::TotalMemory : Overrun::Memory;
  return s.overrun != Overrun::None;
}

int FinishProtected(lua_State* L, int status) {
  if (status == LUA_OK) return lua_gettop(L);
  if (MustPropagate(L, status == LUA_ERRMEM)) return lua_error(L);
  lua_pushboolean(L, 0);
  lua_pushvalue(L, -2);
  return 2;
}

int SafePcall(lua_State* L) {
  luaL_checkany(L, 1);
  lua_pushboolean(L, 1);
  lua_insert(L, 1);
  return FinishProtected(L, lua_pcall(L, lua_gettop(L) - 2, LUA_MULTRET, 0));
}

int SafeXpcall(lua_State* L) {
  const int n = lua_gettop(L);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  lua_pushboolean(L, 1);
  lua_pushvalue(L, 1);
  lua_rotate(L, 3, 2);  // f, handler, true, f, args...
  return FinishProtected(L, lua_pcall(L, n - 2, LUA_MULTRET, 2));
}

// load() with the mode forced to text: no binary chunks. load runs a reader
// function protected, so like pcall it must hand on an overrun (or a memory
// refusal) that happened inside the reader instead of returning it as a
// message: otherwise a reader that loads itself again runs without end.
// load keeps its failure's status to itself, so any failure (a nil result)
// may be a memory one; a refusal still in force says it was.
int SafeLoad(lua_State* L) {
  int top = lua_gettop(L);
  if (top < 3) {
    lua_settop(L, 3);
    top = 3;
  }
  lua_pushliteral(L, "t");
  lua_replace(L, 3);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, top, LUA_MULTRET);
  if (lua_isnil(L, 1) && MustPropagate(L, true)) return lua_error(L);
  return lua_gettop(L);
}

// Finalizers run with the hook switched off, so a table may not get one.
int SafeSetmetatable(lua_State* L) {
  if (lua_type(L, 2) == LUA_TTABLE) {
    lua_pushliteral(L, "__gc");
    if (lua_rawget(L, 2) != LUA_TNIL) return luaL_error(L, "finalizers (__gc) are not available to scripts");
    lua_pop(L, 1);
  }
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

int Discard(lua_State*) { return 0; }

// Library functions whose work is one long C loop, with the measure of
// that work charged before they run.
enum Charged : lua_Integer { kFind, kMatch, kGmatch, kGsub, kRep, kSort, kInsert, kRemove, kMove, kConcat };

bool HasPatternSpecials(std::string_view p) { return p.find_first_of("^$*+?.([%-") != std::string_view::npos; }

// Index just past the single-character class that starts at p[i].
std::size_t ClassEnd(std::string_view p, std::size_t i) {
  if (p[i] == '%') return std::min(i + 2, p.size());
  if (p[i] != '[') return i + 1;
  std::size_t j = i + 1;
  if (j < p.size() && p[j] == '^') ++j;
  do {
    if (j >= p.size()) return p.size();
    if (p[j++] == '%' && j < p.size()) ++j;
  } while (j < p.size() && p[j] != ']');
  return std::min(j + 1, p.size());
}

// An upper bound on the steps of the backtracking matcher: every start
// position, times the subject length for each repeated or back-referring
// item (two for an optional one).
double PatternWork(lua_State* L, Charged kind) {
  std::size_t n = 0, m = 0;
  const char* s = lua_type(L, 1) == LUA_TSTRING || lua_type(L, 1) == LUA_TNUMBER ? lua_tolstring(L, 1, &n) : nullptr;
  const char* pat = lua_type(L, 2) == LUA_TSTRING || lua_type(L, 2) == LUA_TNUMBER ? lua_tolstring(L, 2, &m) : nullptr;
  if (s == nullptr || pat == nullptr) return 1;  // the library reports the bad argument
  const std::string_view p(pat, m);
  const double len = static_cast<double>(n) + 1.0;
  if (kind == kFind && (lua_toboolean(L, 4) || !HasPatternSpecials(p))) return len + static_cast<double>(m);
  const bool anchored = kind != kGmatch && !p.empty() && p[0] == '^';
  double work = anchored ? 1.0 : len;
  std::size_t i = anchored ? 1 : 0;
  while (i < p.size() && work < 1e30) {
    const char c = p[i];
    if (c == '(' || c == ')') {
      ++i;
      continue;
    }
    if (c == '%' && i + 1 < p.size()) {
      const char d = p[i + 1];
      if (d == 'b') {
        work *= len;
        i += 4;
        continue;
      }
      if (d == 'f') {
        i = i + 2 < p.size() ? ClassEnd(p, i + 2) : p.size();
        continue;
      }
      if (d >= '0' && d <= '9') {
        work *= len;
        i += 2;
        continue;
      }
    }
    i = ClassEnd(p, i);
    if (i < p.size()) {
      const char q = p[i];
      if (q == '*' || q == '+' || q == '-') {
        work *= len;
        ++i;
      } else if (q == '?') {
        work *= 2.0;
        ++i;
      }
    }
  }
  return work + len;
}

double OptInteger(lua_State* L, int index, double fallback) {
  int isnum = 0;
  const lua_Integer v = lua_tointegerx(L, index, &isnum);
  return isnum ? static_cast<double>(v) : fallback;
}

double LibraryWork(lua_State* L, Charged kind) {
  switch (kind) {
    case kFind:
    case kMatch:
    case kGmatch:
    case kGsub:
      return PatternWork(L, kind);
    case kRep:
      return std::max(0.0, OptInteger(L, 2, 0.0)) + 1.0;
    case kMove:
      return std::max(0.0, OptInteger(L, 3, 0.0) - OptInteger(L, 2, 0.0)) + 1.0;
    case kSort:
    case kInsert:
    case kRemove:
    case kConcat: {
      if (lua_type(L, 1) != LUA_TTABLE) return 1;
      const double n = static_cast<double>(luaL_len(L, 1));
      if (kind == kSort) return n * std::log2(n + 2.0) * 2.0 + 1.0;
      if (kind == kConcat) return std::max(0.0, OptInteger(L, 4, n) - OptInteger(L, 3, 1.0)) + 1.0;
      return std::max(0.0, n) + 1.0;
    }
  }
  return 1;
}

int ChargedCall(lua_State* L) {
  Charge(L, LibraryWork(L, static_cast<Charged>(lua_tointeger(L, lua_upvalueindex(2)))));
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

// Removes every field of the table at `t` whose name is not listed.
void KeepOnly(lua_State* L, int t, std::initializer_list<std::string_view> names) {
  lua_pushnil(L);
  while (lua_next(L, t) != 0) {
    lua_pop(L, 1);
    std::size_t len = 0;
    const char* key = lua_type(L, -1) == LUA_TSTRING ? lua_tolstring(L, -1, &len) : nullptr;
    const bool keep =
        key != nullptr && std::find(names.begin(), names.end(), std::string_view(key, len)) != names.end();
    if (!keep) {
      lua_pushvalue(L, -1);
      lua_pushnil(L);
      lua_rawset(L, t);  // clearing a field during traversal is allowed
    }
  }
}

// Replaces t[name] by fn, with the old value as fn's first upvalue and
// `extra` upvalues pushed by the caller after it.
void Wrap(lua_State* L, int t, const char* name, lua_CFunction fn, int extra = 0) {
  lua_getfield(L, t, name);
  if (extra > 0) lua_insert(L, -extra - 1);
  lua_pushcclosure(L, fn, 1 + extra);
  lua_setfield(L, t, name);
}

void WrapCharged(lua_State* L, int t, const char* name, Charged kind) {
  lua_pushinteger(L, kind);
  Wrap(L, t, name, ChargedCall, 1);
}

int OpenLibraries(lua_State* L, void*) {
  luaL_requiref(L, "_G", luaopen_base, 1);
  luaL_requiref(L, "string", luaopen_string, 1);
  luaL_requiref(L, "table", luaopen_table, 1);
  luaL_requiref(L, "math", luaopen_math, 1);
  const int math = lua_gettop(L), table = math - 1, string = math - 2, g = math - 3;
  KeepOnly(L, g, {"_G",           "_VERSION", "assert",   "error",    "getmetatable", "ipairs", "load",   "next",
                  "pairs",        "pcall",    "print",    "rawequal", "rawget",       "rawlen", "rawset", "select",
                  "setmetatable", "tonumber", "tostring", "type",     "xpcall",       "string", "table",  "math"});
  lua_pushcfunction(L, SafePcall);
  lua_setfield(L, g, "pcall");
  lua_pushcfunction(L, SafeXpcall);
  lua_setfield(L, g, "xpcall");
  lua_pushcfunction(L, Discard);
  lua_setfield(L, g, "print");
  Wrap(L, g, "load", SafeLoad);
  Wrap(L, g, "setmetatable", SafeSetmetatable);

  KeepOnly(L, string,
           {"byte", "char", "find", "format", "gmatch", "gsub", "len", "lower", "match", "pack", "packsize", "rep",
            "reverse", "sub", "unpack", "upper"});
  WrapCharged(L, string, "find", kFind);
  WrapCharged(L, string, "match", kMatch);
  WrapCharged(L, string, "gmatch", kGmatch);
  WrapCharged(L, string, "gsub", kGsub);
  WrapCharged(L, string, "rep", kRep);

  WrapCharged(L, table, "sort", kSort);
  WrapCharged(L, table, "insert", kInsert);
  WrapCharged(L, table, "remove", kRemove);
  WrapCharged(L, table, "move", kMove);
  WrapCharged(L, table, "concat", kConcat);
  lua_settop(L, 0);
  return 0;
}

struct Trampoline {
  LuaSandbox::Body body;
  void* arg;
};

int RunBody(lua_State* L) {
  auto* t = static_cast<Trampoline*>(lua_touserdata(L, 1));
  lua_remove(L, 1);
  return t->body(L, t->arg);
}

// The error object as text, without calling into the state (no metamethods,
// no allocation).
std::string ErrorText(lua_State* L, int status) {
  switch (lua_type(L, -1)) {
    case LUA_TSTRING: {
      std::size_t len = 0;
      const char* s = lua_tolstring(L, -1, &len);
      return std::string(s, len);
    }
    case LUA_TNUMBER:
      return ORV::OS::FormatShortest(lua_tonumber(L, -1));
    default:
      if (status == LUA_ERRMEM) return "not enough memory";
      return std::string("error object is a ") + lua_typename(L, lua_type(L, -1)) + " value";
  }
}

std::string OverrunText(const Shared& s) {
  switch (s.overrun) {
    case Overrun::Instructions:
      return "the script did not finish within its budget of " +
             ORV::OS::FormatInt(static_cast<long long>(s.limits.instructions)) + " instructions";
    case Overrun::Time:
      return "the script ran longer than " + ORV::OS::FormatInt(static_cast<long long>(s.limits.time.count())) + " ms";
    case Overrun::Memory:
      return "the script used more than its " + ORV::OS::FormatInt(static_cast<long long>(s.limits.memoryBytes >> 20)) +
             " MiB of memory";
    case Overrun::TotalMemory:
      return "all custom traces together would use more than their " +
             ORV::OS::FormatInt(static_cast<long long>(g_totalLimit.load() >> 20)) + " MiB of memory";
    case Overrun::None:
      break;
  }
  return {};
}

}  // namespace

void LuaSandbox::SetTotalMemoryLimit(std::size_t bytes) { g_totalLimit = bytes; }

std::size_t LuaSandbox::TotalMemoryLimit() { return g_totalLimit.load(); }

std::size_t LuaSandbox::TotalMemoryInUse() { return g_totalUsed.load(); }

LuaSandbox::LuaSandbox(const LuaLimits& limits) : shared_(std::make_unique<Shared>()) { shared_->limits = limits; }

LuaSandbox::~LuaSandbox() { Close(); }

bool LuaSandbox::Open(std::string& error) {
  Close();
  L_ = lua_newstate(Allocate, shared_.get());
  if (L_ == nullptr) {
    error = "the script engine could not start: not enough memory";
    return false;
  }
  lua_atpanic(L_, Panic);
  lua_sethook(L_, CountHook, LUA_MASKCOUNT, kHookInterval);
  if (!Call(OpenLibraries, nullptr, 0, error)) {
    Close();
    return false;
  }
  return true;
}

void LuaSandbox::Close() {
  if (L_ != nullptr) {
    lua_close(L_);
    L_ = nullptr;
  }
  auto& s = *shared_;
  s.used = 0;
  s.refused = false;
  s.executed = 0;
  s.overrun = Overrun::None;
  s.stopped = false;
  s.stopMessage.clear();
  base_ = 0;
}

bool LuaSandbox::IsOpen() const { return L_ != nullptr; }

bool LuaSandbox::Call(Body body, void* arg, int results, std::string& error) {
  error.clear();
  if (L_ == nullptr) {
    error = "the script is not compiled";
    return false;
  }
  auto& s = *shared_;
  if (s.stopped) {
    error = s.stopMessage;
    return false;
  }
  s.executed = 0;
  s.overrun = Overrun::None;
  s.refused = false;
  s.totalRefused = false;
  s.timing = false;
  s.sinceClock = 0;
  base_ = lua_gettop(L_);
  Trampoline t{body, arg};
  lua_pushcfunction(L_, RunBody);
  lua_pushlightuserdata(L_, &t);
  s.inCall = true;
  const int status = lua_pcall(L_, 1, results, 0);
  s.inCall = false;
  if (status == LUA_OK) return true;
  if (MustPropagate(L_, status == LUA_ERRMEM)) {
    error = OverrunText(s);
    s.stopped = true;
    s.stopMessage = "stopped because " + error + "; it runs again once it is compiled again";
  } else {
    error = ErrorText(L_, status);
  }
  lua_settop(L_, base_);
  return false;
}

void LuaSandbox::LoadText(lua_State* L, std::string_view text, const char* chunkName) {
  const int status = luaL_loadbufferx(L, text.data(), text.size(), chunkName, "t");
  if (status == LUA_OK) return;
  // A load's memory failure is raised on as an ordinary error, so it is
  // recorded here while its status is known.
  MustPropagate(L, status == LUA_ERRMEM);
  lua_error(L);
}

void LuaSandbox::Pop() {
  if (L_ != nullptr) lua_settop(L_, base_);
}

lua_State* LuaSandbox::state() const { return L_; }

bool LuaSandbox::stopped() const { return shared_->stopped; }

std::size_t LuaSandbox::memoryInUse() const { return shared_->used; }

}  // namespace ORV::Traces

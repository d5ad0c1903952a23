#pragma once
// A Lua 5.3 state for scripts that arrive in other people's files (experiment
// files, settings archives), so everything it runs is treated as untrusted:
//
//  - only the safe parts of the base, string, table and math libraries exist:
//    no io, os, package, debug, require, dofile, loadfile, collectgarbage or
//    string.dump; `load` accepts text chunks only; `print` discards its text;
//    tables cannot get __gc finalizers (Lua runs those with the hook off);
//  - the whole state lives under a memory cap, and all sandboxes together
//    under one more (kDefaultTotalMemoryBytes unless set), so that many
//    custom traces cannot hold gigabytes between them;
//  - every protected call gets an instruction budget and a time limit. Library
//    functions whose work is not made of Lua instructions (pattern matching,
//    sorting, string.rep, the table loops) charge their work to the same
//    budget before they start, so no single call can run unbounded; the
//    allocator reads the clock too (after every MiB asked for), so work that
//    is mostly allocation and copying cannot run past the time limit;
//  - a budget, time or memory overrun cannot be caught by the script's own
//    pcall/xpcall, and after one the sandbox refuses further calls until it is
//    opened again, so a broken script costs one overrun, not one per sample.
//
// Every call into the state that may allocate or run script code goes through
// Call(), inside a protected call: an error never reaches Lua's panic handler.
// Not thread-safe: the owner serialises its use.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct lua_State;

namespace ORV::Traces {

struct LuaLimits {
  std::size_t memoryBytes = std::size_t{64} << 20;
  std::uint64_t instructions = 10'000'000;
  std::chrono::milliseconds time{2000};
};

class LuaSandbox {
 public:
  static constexpr std::size_t kDefaultTotalMemoryBytes = std::size_t{256} << 20;

  // The cap on the memory of all sandboxes together (any thread).
  static void SetTotalMemoryLimit(std::size_t bytes);
  static std::size_t TotalMemoryLimit();
  static std::size_t TotalMemoryInUse();

  explicit LuaSandbox(const LuaLimits& limits = LuaLimits{});
  ~LuaSandbox();
  LuaSandbox(const LuaSandbox&) = delete;
  LuaSandbox& operator=(const LuaSandbox&) = delete;

  // Closes any open state and makes a new one with the restricted libraries.
  // False (with the reason in `error`) when the state could not be made.
  bool Open(std::string& error);
  void Close();
  bool IsOpen() const;

  // Runs `body(L, arg)` in a protected call with a fresh budget. On success
  // the body's `results` values are left on the stack (the caller reads them
  // and calls Pop()); on failure nothing is left and `error` holds the
  // message: the script's own error, or the overrun that stopped it. After
  // an overrun every later Call fails with a "stopped" message until Open.
  // Errors leave a body by longjmp: it must hold no object with a destructor.
  using Body = int (*)(lua_State* L, void* arg);
  bool Call(Body body, void* arg, int results, std::string& error);

  // Inside a Body: loads `text` as a text chunk named `chunkName` and pushes
  // it, or raises the syntax error (a load that hits the memory cap counts as
  // an overrun).
  static void LoadText(lua_State* L, std::string_view text, const char* chunkName);

  // Restores the stack height from before the last successful Call.
  void Pop();

  lua_State* state() const;
  bool stopped() const;
  std::size_t memoryInUse() const;

  struct Shared;  // allocator and hook state, reachable from the lua_State

 private:
  std::unique_ptr<Shared> shared_;
  lua_State* L_ = nullptr;
  int base_ = 0;
};

}  // namespace ORV::Traces

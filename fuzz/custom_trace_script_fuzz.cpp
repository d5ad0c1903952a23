// Runs arbitrary bytes as the code of a custom trace: compiling and
// evaluating must end, within the limits, without a crash or an exit.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "custom_traces/custom_trace_context.h"

using namespace ORV::Traces;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto trace = std::make_shared<CustomTraces>();
  trace->Code.assign(reinterpret_cast<const char*>(data), size);
  LuaLimits limits;
  limits.memoryBytes = std::size_t{16} << 20;
  limits.instructions = 200'000;
  CustomTracesWithLuaContext context(limits);
  if (!context.SetTrace(trace)) {
    if (context.LastError().empty()) std::abort();
    return 0;
  }
  context.SetGlobalNumber("Flow", 12.5);
  context.walls[1][1] = WallPositions{10, 30, 15, 25};
  for (std::uint32_t t = 0; t < 3; ++t) {
    if (!context.Evaluate(1, 1, t) && context.LastError().empty()) std::abort();
  }
  return 0;
}

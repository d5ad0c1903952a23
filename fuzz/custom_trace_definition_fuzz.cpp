// Reads arbitrary bytes as a custom-trace definition file. A refused file
// must say why; an accepted one must survive being written and read again,
// and its code is compiled and run once under tight limits.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "custom_traces/custom_trace_context.h"
#include "custom_traces/custom_trace_definition.h"

using namespace ORV::Traces;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto trace = std::make_shared<CustomTraces>();
  std::string error;
  if (!ParseCustomTraceXml(std::string_view(reinterpret_cast<const char*>(data), size), *trace, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  // What is written can be read, and writing settles after one round.
  CustomTraces second, third;
  const std::string once = FormatCustomTraceXml(*trace);
  if (!ParseCustomTraceXml(once, second, error)) std::abort();
  if (second.Code != trace->Code || second.Constants != trace->Constants) std::abort();
  const std::string twice = FormatCustomTraceXml(second);
  if (!ParseCustomTraceXml(twice, third, error) || FormatCustomTraceXml(third) != twice) std::abort();

  LuaLimits limits;
  limits.memoryBytes = std::size_t{16} << 20;
  limits.instructions = 200'000;
  CustomTracesWithLuaContext context(limits);
  context.SetTrace(trace);
  context.walls[1][1] = WallPositions{10, 30, 15, 25};
  context.Evaluate(1, 1, 1000);
  return 0;
}

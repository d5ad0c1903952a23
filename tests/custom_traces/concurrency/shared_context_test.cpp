#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "custom_traces/custom_trace_context.h"

namespace ORV::Traces {
namespace {

// The user-interface thread and an export worker evaluate one shared
// context, each holding it across its own set-globals, walls, Run sequence,
// while a third thread recompiles it.
TEST(SharedCustomTraceContext, ThreadsSeeOnlyTheirOwnInputs) {
  auto trace = std::make_shared<CustomTraces>();
  trace->Code = "return OuterDiameter * 1000 + P1";
  auto context = std::make_shared<CustomTracesWithLuaContext>();
  ASSERT_TRUE(context->SetTrace(trace));

  constexpr int kRuns = 20000;
  std::atomic<int> wrong{0};
  std::atomic<bool> done{false};
  auto evaluate = [&](float outerRight, float p1) {
    ORV::PMK4xData3 sample;
    sample.p1 = p1;
    const double expected = (outerRight - 10.0) * 1000 + p1;
    for (int i = 0; i < kRuns; ++i) {
      auto lock = context->Lock();
      context->SetInstrumentGlobals(sample);
      context->walls[1][1] = WallPositions{10, outerRight, 15, 20};
      if (context->Run(1, 1, static_cast<std::uint32_t>(i)) != expected) ++wrong;
    }
  };
  std::thread recompile([&] {
    while (!done) {
      context->SetTrace(trace);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread ui(evaluate, 30.0f, 1.0f);
  std::thread worker(evaluate, 50.0f, 2.0f);
  ui.join();
  worker.join();
  done = true;
  recompile.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace ORV::Traces
